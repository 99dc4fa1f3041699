// Helpers of the package's tests: the conformance tables, digests and the native command.
"use strict";
const crypto = require("node:crypto");
const fs = require("node:fs");
const path = require("node:path");

const REPOSITORY = path.resolve(__dirname, "..", "..");
const DATA = process.env.TESSERA_TEST_DATA || path.join(REPOSITORY, "tests", "data");
// The native command that the bytes are compared with (ctest names it; else the test build's).
const COMMAND = process.env.TESSERA_COMMAND || path.join(REPOSITORY, "build", "tessera");

// The rows of tests/data/<name> as objects keyed by the column names of its first line.
function readTable(name) {
  const lines = fs.readFileSync(path.join(DATA, name), "ascii").split("\n").filter(Boolean);
  const columns = lines[0].replace(/^# /, "").split("\t");
  return lines.slice(1).map((line) => {
    const cells = line.split("\t");
    return Object.fromEntries(columns.map((column, i) => [column, cells[i]]));
  });
}

function sha256(bytes) {
  return crypto.createHash("sha256").update(bytes).digest("hex");
}

// The module matrix as the vectors write it: per row, '0'/'1' per module, then a newline.
function matrixText(symbol) {
  let text = "";
  for (let y = 0; y < symbol.size; y++) {
    for (let x = 0; x < symbol.size; x++) text += symbol.modules[y * symbol.size + x];
    text += "\n";
  }
  return text;
}

module.exports = { REPOSITORY, DATA, COMMAND, readTable, sha256, matrixText };
