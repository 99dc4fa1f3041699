// The package's contract: require and import, a Promise on the first call and the symbol after,
// data as text or bytes, the PNG's pixels, and the bits a symbol's data takes.
"use strict";
const test = require("node:test");
const assert = require("node:assert/strict");
const zlib = require("node:zlib");
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

// The grey pixels of a 1-bit PNG without filters or interlacing: 1 white, 0 black.
function pngPixels(png) {
  const view = Buffer.from(png);
  assert.equal(view.toString("latin1", 1, 4), "PNG");
  const width = view.readUInt32BE(16);
  assert.deepEqual([view[24], view[25], view[28]], [1, 0, 0]); // depth 1, grey, no interlace
  const idat = [];
  for (let at = 8; at < view.length; ) {
    const length = view.readUInt32BE(at);
    if (view.toString("latin1", at + 4, at + 8) === "IDAT")
      idat.push(view.subarray(at + 8, at + 8 + length));
    at += 12 + length;
  }
  const raw = zlib.inflateSync(Buffer.concat(idat));
  const stride = 1 + Math.ceil(width / 8);
  const rows = [];
  for (let y = 0; y * stride < raw.length; y++) {
    assert.equal(raw[y * stride], 0);
    rows.push(
      Array.from(
        { length: width },
        (_, x) => (raw[y * stride + 1 + (x >> 3)] >> (7 - (x & 7))) & 1,
      ),
    );
  }
  return { width, rows };
}

test("toPNG draws every module as scale x scale pixels inside the margin", async () => {
  await tessera.ready();
  const s = tessera.make("PNG pixels", { level: "Q" });
  for (const [scale, margin] of [
    [1, 4],
    [3, 0],
    [2, 5],
  ]) {
    const { width, rows } = pngPixels(s.toPNG({ scale, margin }));
    assert.equal(width, (s.size + 2 * margin) * scale);
    assert.equal(rows.length, width);
    for (let y = 0; y < width; y++) {
      for (let x = 0; x < width; x++) {
        const u = Math.floor(x / scale) - margin;
        const v = Math.floor(y / scale) - margin;
        const inside = u >= 0 && v >= 0 && u < s.size && v < s.size;
        const dark = inside && s.modules[v * s.size + u] === 1;
        assert.equal(rows[y][x], dark ? 0 : 1, `scale ${scale} margin ${margin} pixel ${x},${y}`);
      }
    }
  }
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
