// rMQR symbols, and GS1 data in QR Code, read back by an independent reader, the zxing-wasm package
// (zxing-cpp 2 compiled to WebAssembly), as a black box: rmqr_dump prints our matrices, each is
// drawn with a quiet zone of 4 modules, and the reader must find one symbol of the same size (or
// version) and level holding the same bytes; GS1 data with the symbology identifier ]Q3 and a
// group separator (0x1D) after each variable-length field, plain data with ]Q1.
import { execFileSync } from "node:child_process";
import { readFileSync } from "node:fs";
import { createRequire } from "node:module";
import { test } from "node:test";
import assert from "node:assert/strict";
import { prepareZXingModule, readBarcodes } from "zxing-wasm/reader";

const require = createRequire(import.meta.url);
prepareZXingModule({
  overrides: { wasmBinary: readFileSync(require.resolve("zxing-wasm/reader/zxing_reader.wasm")) },
});

const QUIET_ZONE = 4;  // enough for either kind
const SCALE = 3;

// The symbol's rows ('1' dark) as RGBA pixels, black on white, with its quiet zone.
function imageOf(rows) {
  const width = (rows[0].length + 2 * QUIET_ZONE) * SCALE;
  const height = (rows.length + 2 * QUIET_ZONE) * SCALE;
  const data = new Uint8ClampedArray(width * height * 4).fill(255);
  rows.forEach((row, y) => {
    [...row].forEach((cell, x) => {
      if (cell !== "1") return;
      for (let dy = 0; dy < SCALE; dy++) {
        for (let dx = 0; dx < SCALE; dx++) {
          const p = (((y + QUIET_ZONE) * SCALE + dy) * width + (x + QUIET_ZONE) * SCALE + dx) * 4;
          data[p] = data[p + 1] = data[p + 2] = 0;
        }
      }
    });
  });
  return { data, width, height };
}

const symbols = execFileSync(process.env.TESSERA_RMQR_DUMP, { maxBuffer: 1 << 26 })
  .toString()
  .trim()
  .split("\n")
  .map((line) => {
    const [name, level, gs1, hex, rows] = line.split("\t");
    return { name, level, gs1: gs1 === "1", hex, rows: rows.split("/") };
  });

// What the reader made of each symbol that it did not read back as written.
async function misreadings(wanted) {
  const wrong = [];
  for (const s of symbols.filter(wanted)) {
    const format = s.name.startsWith("R") ? "RMQRCode" : "QRCode";
    const found = await readBarcodes(imageOf(s.rows), { formats: [format], isPure: true });
    const got = found.map((r) => [r.version, r.ecLevel, r.symbologyIdentifier, Buffer.from(r.bytes).toString("hex")]);
    const expected = [s.name, s.level, s.gs1 ? "]Q3" : "]Q1", s.hex];
    if (JSON.stringify(got) !== JSON.stringify([expected])) wrong.push({ expected, got });
  }
  return wrong;
}

test("every size, level and mode reads back byte-exact", async () => {
  const plain = symbols.filter((s) => !s.gs1);
  assert.equal(new Set(plain.map((s) => s.name + s.level)).size, 64);
  assert.deepEqual(await misreadings((s) => !s.gs1), []);
});

test("GS1 data in rMQR and QR Code reads back as GS1 with its separators", async () => {
  const gs1 = symbols.filter((s) => s.gs1);
  assert.ok(gs1.length >= 60);
  assert.ok(gs1.some((s) => s.name.startsWith("R")) && gs1.some((s) => !s.name.startsWith("R")));
  assert.ok(gs1.some((s) => s.hex.includes("1d")));
  assert.deepEqual(await misreadings((s) => s.gs1), []);
});
