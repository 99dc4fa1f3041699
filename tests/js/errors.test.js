// What make() and the renderers refuse, with which error and words; and that 100,000 calls
// (symbols, renderings and failures) hand every byte of WebAssembly memory back.
"use strict";
const test = require("node:test");
const assert = require("node:assert/strict");
const { make, ready, heapBytes, EncodeError } = require("../../js");

test.before(ready);

test("bad data and settings: the error and the library's words", () => {
  const cases = [
    [() => make(42), TypeError, /^data must be a string or a Uint8Array$/],
    [() => make("a", { levle: "H" }), TypeError, /^make: unknown option 'levle'$/],
    [() => make("a", "H"), TypeError, /^make: options must be an object$/],
    [() => make("a", { level: "X" }), RangeError, /^the level must be one of L, M, Q, H, not "X"$/],
    [() => make("a", { level: "LM" }), RangeError, /not "LM"$/],
    [() => make("a", { level: 2 }), RangeError, /not 2$/],
    [
      () => make("a", { version: 41 }),
      RangeError,
      /^the version must be 1 to 40 \(0 for the smallest\), not '41'$/,
    ],
    [() => make("a", { version: -1 }), RangeError, /^version must be a whole number, not -1$/],
    [() => make("a", { version: 1.5 }), RangeError, /^version must be a whole number, not 1.5$/],
    [() => make("a", { version: 2 ** 32 + 1 }), RangeError, /^version must be a whole number/],
    [
      () => make("a", { version: "2" }),
      TypeError,
      /^version must be a number or an rMQR size such as "R11x59", not "2"$/,
    ],
    [() => make("1", { rmqr: true, level: "Q" }), RangeError, /^rMQR has no level Q: take M or H$/],
    [() => make("1", { version: "R9x43", rmqrHeight: 11 }), RangeError, /^R9x43 is 9 modules/],
    [() => make("1", { gs1: true, micro: true }), RangeError, /^GS1 data is for QR Code and rMQR/],
    [() => make("1", { fit: [20] }), TypeError, /^fit must be \[width, height\] in modules/],
    [() => make("1", { fit: [20, 20], version: 2 }), RangeError, /^a box to fit chooses/],
    [() => make("1", { fit: [10, 10] }), EncodeError, /^the data cannot be encoded: no symbol 10x/],
    [
      () => make("[01]09501101530004", { gs1: true }),
      EncodeError,
      /^the data cannot be encoded: GS1 \(01\): the check digit is 3, not 4$/,
    ],
    [() => make("a", { mask: 8 }), RangeError, /^the mask must be 0 to 7, not '8'$/],
    [() => make("a", { micro: "no" }), TypeError, /^micro must be true or false, not "no"$/],
    [() => make("a", { utf8: 2 }), TypeError, /^utf8 must be true or false, not 2$/],
    [
      () => make("1", { micro: true, version: 1, level: "L" }),
      RangeError,
      /^M1 has no error-correction level: leave the level out, or take M2 or above$/,
    ],
    [() => make("1", { micro: true, version: 2, level: "Q" }), RangeError, /^M2 has no level Q/],
    [
      () => make("ab\ud800c"),
      RangeError,
      /^the text has a lone surrogate \(U\+D800\) at index 2, which UTF-8 cannot hold$/,
    ],
    [() => make("\udc00"), RangeError, /lone surrogate \(U\+DC00\) at index 0/],
    [() => make(""), EncodeError, /^the data cannot be encoded: it is empty$/],
    [() => make(new Uint8Array(0)), EncodeError, /it is empty$/],
    [
      () => make("1".repeat(7090), { level: "L" }),
      EncodeError,
      /needs \d+ bits and version 40 at level L holds at most 23648$/,
    ],
    [
      () => make("x".repeat(100), { version: 1, strict: true }),
      EncodeError,
      /version 1 at level M holds 128 \(a larger version is not allowed\)$/,
    ],
  ];
  for (const [call, kind, words] of cases) {
    assert.throws(call, (e) => e instanceof kind && words.test(e.message), String(call));
  }
  assert.equal(new EncodeError("x", 2).name, "EncodeError");
});

test("bad render options and formats: the error and the library's words", () => {
  const s = make("render options");
  const cases = [
    [() => s.toPNG({ scale: 21 }), RangeError, /^toPNG: the scale must be 1 to 20, not '21'$/],
    [() => s.toBMP({ scale: -1 }), RangeError, /^scale must be a whole number, not -1$/],
    [
      () => s.toSVG({ margin: 65 }),
      RangeError,
      /^toSVG: the margin must be 0 to 64 modules, not '65'$/,
    ],
    [() => s.toSVG({ dpi: 300 }), RangeError, /^toSVG: svg states no resolution/],
    [() => s.toBMP({ dark: "#ff000080" }), RangeError, /^toBMP: bmp has no transparency/],
    [
      () => s.toBytes("txt", { light: "eeeeee" }),
      RangeError,
      /^toBytes: txt output has no colours/,
    ],
    [
      () => s.toPNG({ dark: "red" }),
      RangeError,
      /^dark must be "#RRGGBB", "#RRGGBBAA" or 0xRRGGBBAA, not "red"$/,
    ],
    [() => s.toPNG({ light: 2 ** 32 }), RangeError, /^light must be/],
    [() => s.toPNG({ size: 3 }), TypeError, /^toPNG: unknown option 'size'$/],
    [() => s.toBytes("gif"), RangeError, /^toBytes: no format is named 'gif'$/],
    [() => s.toBytes(2), TypeError, /^toBytes: the kind must be a format name/],
  ];
  for (const [call, kind, words] of cases) {
    assert.throws(call, (e) => e instanceof kind && words.test(e.message), String(call));
  }
  // Absent, undefined and 0 leave the scale to the library: 4 pixels per module.
  const side = (s.size + 8) * 4;
  for (const options of [undefined, {}, { scale: undefined }, { scale: 0 }]) {
    assert.match(s.toSVG(options), new RegExp(`width="${side}" height="${side}"`));
  }
  // A format by name gives the same bytes as its own method.
  assert.deepEqual(s.toBytes("PNG", { scale: 2 }), s.toPNG({ scale: 2 }));
});

test("100,000 calls do not grow the module's heap", () => {
  const CALLS = 100000;
  const words = [
    "https://example.org/products/item?id=",
    "HELLO WORLD ",
    "ÄÖÜ 漢字 ",
    "0123456789",
  ];
  const once = (i) => {
    const data = words[i % words.length].repeat(1 + (i % 7)) + i;
    if (i % 97 === 0) assert.throws(() => make(data.repeat(400), { level: "H" }), EncodeError);
    else if (i % 89 === 0) assert.throws(() => make(data, { mask: 9 }), RangeError);
    else {
      const s = make(i % 3 ? data : new TextEncoder().encode(data), { level: "LMQH"[i % 4] });
      if (i % 101 === 0) s.toPNG({ scale: 1 + (i % 5) });
      if (i % 103 === 0) s.toSVG();
      if (i % 107 === 0) s.toBMP();
      if (i % 109 === 0) s.dataBits();
    }
  };
  // The allocator's layout: the library keeps its encoding records from call to call, so the heap's
  // high-water mark is set by the largest render, the PNG every 101 calls, whose 140 shapes (data,
  // level, scale) all come once in the first 101 * 140 calls.
  for (let i = 0; i < 101 * 140; i++) once(i);
  const before = heapBytes();
  for (let i = 0; i < CALLS; i++) once(i);
  assert.equal(heapBytes(), before);
});
