// The package's contract: require and import, a Promise on the first call and the symbol after,
// data as text or bytes, and the bits a symbol's data takes.
"use strict";
const test = require("node:test");
const assert = require("node:assert/strict");
const tessera = require("..");

test("the first make() gives a Promise, later ones the symbol", async () => {
  const first = tessera.make("first");
  assert.ok(first instanceof Promise);
  const symbol = await first;
  assert.ok(symbol instanceof tessera.QrSymbol);
  assert.ok(tessera.make("second") instanceof tessera.QrSymbol);
  assert.deepEqual([symbol.version, symbol.level, symbol.size, symbol.micro], [1, "M", 21, false]);
});

test("require and import, by path and by the package's name, give the same functions", async () => {
  const imported = await import("../index.mjs");
  const named = await import("tessera-qr");
  for (const other of [imported, imported.default, named, require("tessera-qr")]) {
    assert.equal(other.make, tessera.make);
    assert.equal(other.EncodeError, tessera.EncodeError);
  }
});

test("text is UTF-8; bytes, Buffers and ArrayBuffers are taken as they are", async () => {
  await tessera.ready();
  const utf8 = [0xc3, 0xa9, 0x20, 0xe6, 0xbc, 0xa2];
  const expected = tessera.make("é 漢").modules;
  for (const data of [
    Uint8Array.from(utf8),
    Buffer.from(utf8),
    Uint8Array.from(utf8).buffer,
    new DataView(Uint8Array.from([0, ...utf8]).buffer, 1),
  ]) {
    assert.deepEqual(tessera.make(data).modules, expected);
  }
  assert.notDeepEqual(tessera.make("é 漢", { utf8: true }).modules, expected);
});

test("formats(): the library's formats and the extensions of their files", async () => {
  await tessera.ready();
  const formats = tessera.formats();
  assert.deepEqual(formats[0], { name: "bmp", extension: "bmp" });
  assert.deepEqual(
    formats.filter(({ name }) => ["utf8", "pbm", "pbm-plain"].includes(name)),
    [
      { name: "utf8", extension: null },
      { name: "pbm", extension: "pbm" },
      { name: "pbm-plain", extension: "pbm" },
    ],
  );
});

test("a symbol keeps its own copy of the bytes it was made from", async () => {
  await tessera.ready();
  const bytes = new TextEncoder().encode("the caller's bytes");
  const symbol = tessera.make(bytes);
  const png = symbol.toPNG();
  bytes.fill(0x41);
  assert.deepEqual(symbol.toPNG(), png);
  assert.deepEqual(symbol.modules, tessera.make("the caller's bytes").modules);
  // Pairs of surrogates are one character: a smiling face in four UTF-8 bytes.
  assert.deepEqual(
    tessera.make("\ud83d\ude00").modules,
    tessera.make(Uint8Array.of(0xf0, 0x9f, 0x98, 0x80)).modules,
  );
});

test("dataBits: the stream's bits against the version's data bits", async () => {
  await tessera.ready();
  // 8 digits at 1-L: mode 4 + count 10 + 3 + 3 digits in 10 bits each + 2 digits in 7 bits; 19
  // data codewords. "AB" at 1-H: 4 + 9 + 11; 9 codewords.
  assert.deepEqual(tessera.make("12345678", { level: "L" }).dataBits(), {
    used: 41,
    capacity: 152,
  });
  assert.deepEqual(tessera.make("AB", { level: "H" }).dataBits(), { used: 24, capacity: 72 });
});

test("rMQR by name, height or box, and GS1: the library's facts and cells", async () => {
  await tessera.ready();
  const { make } = tessera;
  const r = make("12345", { version: "r7X43" });
  assert.deepEqual(
    [r.rmqr, r.micro, r.version, r.level, r.size, r.height],
    [true, false, 1, "M", 43, 7],
  );
  // Row by row: the top row is the finder's, timing, an alignment pattern and the corner.
  const top = [...r.modules.subarray(0, 43)].map((c) => (c ? "#" : ".")).join("");
  assert.equal(top, "#######.#.#.#.#.#.#.###.#.#.#.#.#.#.#.#.###");
  // A quiet zone of 2: 47 x 11 modules of text, two characters a module.
  const text = new TextDecoder().decode(r.toBytes("txt")).split("\n");
  assert.deepEqual([text[0].length, text.length - 1], [94, 11]);
  const tall = make("12345", { rmqrHeight: 17, level: "H" });
  assert.deepEqual([tall.rmqr, tall.size, tall.height, tall.level], [true, 43, 17, "H"]);
  const gs1 = make("[01]09501101530003[17]261231[10]ABC", { gs1: true, version: 2, strict: true });
  assert.deepEqual([gs1.gs1, gs1.rmqr, gs1.size, gs1.height], [true, false, 25, 25]);
  const fitted = make("1234567890", { fit: [50, 12] });
  assert.deepEqual([fitted.rmqr, fitted.size, fitted.height], [true, 43, 7]);
});
