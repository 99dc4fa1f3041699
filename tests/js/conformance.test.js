// Every conformance vector in JavaScript: the module matrices of tests/data/encoder.tsv and the
// results and BMP files of the door calls of export.tsv, byte for byte; and the bytes of every
// format the library lists equal to the native command's, also whichever render room they take.
"use strict";
const test = require("node:test");
const assert = require("node:assert/strict");
const { execFileSync } = require("node:child_process");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const { make, ready, formats, EncodeError } = require("../../js");
const { COMMAND, readTable, sha256, matrixText } = require("./support.js");
const { door } = require("./door.js");

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

test("every export vector through make() and toBMP(): the result, the file's size and digest", () => {
  const rows = readTable("export.tsv");
  assert.equal(rows.length, 400);
  for (const row of rows) {
    const options = [1, 2, 3, 4].map((i) =>
      Buffer.from(row[`option${i}_hex`], "hex").toString("latin1"),
    );
    const where = `vector ${row.id}`;
    const { result, bmp } = door(options);
    assert.equal(String(result), row.result, where);
    if (result !== 0) continue;
    assert.equal(String(bmp.length), row.file_size, where);
    assert.equal(sha256(bmp), row.file_sha256, where);
  }
});

test(
  "toPNG, toSVG, toBMP and every format's bytes equal the native command's",
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
          ...formats().map(({ name }) => [name, s.toBytes(name, { scale })]),
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

test(
  "renders that fit the kept room, grow it and pass it equal the native command's",
  { skip: !fs.existsSync(COMMAND) && `no ${COMMAND}` },
  () => {
    // A render draws into room kept from call to call: 16 KiB at first, grown to what a render
    // needs up to 1 MiB, and a temporary room beyond that. A fresh process meets the rows' rooms
    // in this order (each row's bytes are checked to be of a size that does).
    const FIRST_ROOM = 1 << 14;
    const KEPT_ROOM = 1 << 20;
    const long = "7".repeat(7089); // version 40 at level L
    const rows = [
      { room: "fits", data: "kept", type: "svg", scale: 1 },
      { room: "grows", data: long, type: "txt", scale: 1 },
      { room: "fits", data: "kept", type: "png", scale: 2 },
      { room: "temporary", data: long, type: "txt", scale: 4 },
      { room: "fits", data: "kept", type: "bmp", scale: 3 },
    ];
    const script =
      `const tessera = require(${JSON.stringify(path.join(__dirname, "..", "..", "js"))});` +
      'const { createHash } = require("node:crypto");' +
      "tessera.ready().then(() => {" +
      "  for (const { data, type, scale } of JSON.parse(process.argv[1])) {" +
      '    const bytes = tessera.make(data, { level: "L" }).toBytes(type, { scale });' +
      '    console.log(createHash("sha256").update(bytes).digest("hex"));' +
      "  }" +
      "});";
    const rendered = execFileSync(process.execPath, ["-e", script, JSON.stringify(rows)], {
      encoding: "utf8",
    }).split("\n");
    const folder = fs.mkdtempSync(path.join(os.tmpdir(), "tessera-js-"));
    try {
      let kept = FIRST_ROOM;
      rows.forEach((row, i) => {
        const where = `row ${i}: ${row.type} at scale ${row.scale}, room ${row.room}`;
        const input = path.join(folder, "data");
        const out = path.join(folder, `out.${row.type}`);
        fs.writeFileSync(input, row.data);
        execFileSync(COMMAND, ["-i", input, "-l", "L", "-s", String(row.scale), "-t", row.type,
                               "-o", out]);
        const expected = fs.readFileSync(out);
        assert.equal(rendered[i], sha256(expected), where);
        const length = expected.length;
        if (row.room === "temporary") assert.ok(length > KEPT_ROOM, where);
        else if (row.room === "grows") assert.ok(length > kept && length <= KEPT_ROOM, where);
        else assert.ok(length <= kept, where);
        if (row.room === "grows") kept = length;
      });
    } finally {
      fs.rmSync(folder, { recursive: true, force: true });
    }
  },
);
