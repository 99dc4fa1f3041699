// Every conformance vector in JavaScript: the module matrices of tests/data/encoder.tsv and the
// BMP files of the export vectors that make() expresses, byte for byte; and PNG, SVG and BMP
// bytes equal to the native command's.
"use strict";
const test = require("node:test");
const assert = require("node:assert/strict");
const { execFileSync } = require("node:child_process");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const { make, ready, EncodeError } = require("..");
const { COMMAND, readTable, sha256, matrixText } = require("./support.js");

test.before(ready);

function encoderOptions(row) {
  return {
    level: "LMQH"[Number(row.level)],
    version: Number(row.requestedVersion),
    strict: row.allowLargerVersion === "0",
    mask: Number(row.maskNumber) < 0 ? undefined : Number(row.maskNumber),
  };
}

test("every encoder vector: the matrix, version, mask and size, or EncodeError", () => {
  const rows = readTable("encoder.tsv");
  assert.equal(rows.length, 600);
  for (const row of rows) {
    const data = Buffer.from(row.data_hex, "hex");
    const options = encoderOptions(row);
    const where = `vector ${row.id}`;
    if (row.encode_result === "0") {
      assert.throws(() => make(data, options), EncodeError, where);
      continue;
    }
    const s = make(data, options);
    assert.deepEqual(
      [s.version, s.mask, s.size, s.level],
      [Number(row.version), Number(row.mask_applied), Number(row.symbolSize), options.level],
      where,
    );
    assert.equal(sha256(matrixText(s)), row.modules_sha256, where);
  }
});

// The bytes of a "/T" value as the library decodes them: %XX with hex digits (others count 0).
function textOption(value) {
  const digit = (c) => (c !== undefined && /[0-9a-f]/i.test(c) ? parseInt(c, 16) : 0);
  const out = [];
  for (let at = 0; at < value.length; ) {
    if (value[at] === "%") {
      out.push((digit(value[at + 1]) << 4) | digit(value[at + 2]));
      at += 3;
    } else {
      out.push(value.charCodeAt(at++));
    }
  }
  return Uint8Array.from(out);
}

// make() and toBMP() arguments of an export row, or null when the row uses what they do not
// express: a file, repeated or unknown letters, values out of range or not plain numbers.
const NUMERIC = {
  L: ["level", 0, 3],
  V: ["version", 1, 40],
  M: ["mask", 0, 7],
  S: ["scale", 1, 20],
};
function exportArguments(options) {
  let data = null;
  let output = false;
  const settings = {};
  const seen = new Set();
  for (const option of options) {
    if (option === "") continue;
    if (option.length < 2 || option[0] !== "/") return null;
    const letter = option[1].toUpperCase();
    const value = option.slice(2);
    if (seen.has(letter)) return null;
    seen.add(letter);
    if (letter === "T") data = textOption(value);
    else if (letter === "O") output = value === "{out}";
    else if (letter === "E" && value === "N") settings.strict = true;
    else if (letter in NUMERIC && /^(0|[1-9][0-9]*)$/.test(value)) {
      const [name, low, high] = NUMERIC[letter];
      if (Number(value) < low || Number(value) > high) return null;
      settings[name] = name === "level" ? "LMQH"[Number(value)] : Number(value);
    } else return null;
  }
  if (data === null || !output || (settings.strict && !settings.version)) return null;
  const { scale, ...encode } = settings;
  return { data, encode, scale };
}

test("the export vectors that make() expresses: the BMP file's size and digest", (t) => {
  let checked = 0;
  for (const row of readTable("export.tsv")) {
    const options = [1, 2, 3, 4].map((i) =>
      Buffer.from(row[`option${i}_hex`], "hex").toString("latin1"),
    );
    const call = exportArguments(options);
    if (call === null) continue;
    const where = `vector ${row.id}`;
    checked++;
    if (row.result === "2") {
      assert.throws(() => make(call.data, call.encode), EncodeError, where);
      continue;
    }
    assert.equal(row.result, "0", where);
    const bmp = make(call.data, call.encode).toBMP({ scale: call.scale });
    assert.equal(String(bmp.length), row.file_size, where);
    assert.equal(sha256(bmp), row.file_sha256, where);
  }
  assert.ok(checked >= 100, `only ${checked} export vectors checked`);
  t.diagnostic(`${checked} export vectors checked`);
});

test(
  "PNG, SVG and BMP bytes equal the native command's",
  { skip: !fs.existsSync(COMMAND) && `no ${COMMAND}` },
  () => {
    const folder = fs.mkdtempSync(path.join(os.tmpdir(), "tessera-js-"));
    try {
      const rows = readTable("encoder.tsv").filter(
        (row, i) => row.encode_result === "1" && i % 20 === 0,
      );
      rows.forEach((row, i) => {
        const data = Buffer.from(row.data_hex, "hex");
        const options = encoderOptions(row);
        const scale = 1 + (i % 6);
        const input = path.join(folder, "data");
        fs.writeFileSync(input, data);
        const flags = ["-i", input, "-l", options.level, "-s", String(scale)];
        if (options.version) flags.push("-v", String(options.version));
        if (options.strict && options.version) flags.push("--strict-version");
        if (options.mask !== undefined) flags.push("-m", String(options.mask));
        const s = make(data, options);
        for (const [type, bytes] of [
          ["png", s.toPNG({ scale })],
          ["svg", Buffer.from(s.toSVG({ scale }))],
          ["bmp", s.toBMP({ scale })],
        ]) {
          const out = path.join(folder, `out.${type}`);
          execFileSync(COMMAND, [...flags, "-t", type, "-o", out]);
          assert.ok(Buffer.from(bytes).equals(fs.readFileSync(out)), `vector ${row.id} as ${type}`);
        }
      });
    } finally {
      fs.rmSync(folder, { recursive: true, force: true });
    }
  },
);
