// W1-W6 encoded to a module matrix by tessera's make() and, side by side in the same run, by the
// `qrcode` npm package's create() (a black box, timed only; a dev dependency, never one of the
// package's). Each sample times a batch of about 2 ms; the two encoders take turns, 31 samples
// each, so that both see the same machine. Prints the median per encode (the lowest in brackets),
// the ratio of qrcode's median to tessera's, the load average and the module's size.
//
//   cd js && npm ci --ignore-scripts && node bench/bench.js
"use strict";
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const zlib = require("node:zlib");
const QRCode = require("qrcode");
const tessera = require("..");
const { sideBySideWorkloads } = require("./workloads.js");

const SAMPLES = 31;
const SAMPLE_NS = 2e6;

// qrcode takes text as it is, bytes as one byte segment, and Shift_JIS Kanji as a Kanji segment
// of stand-in characters that its toSJISFunc turns back into their codes.
function qrcodeCall(workload) {
  const options = { errorCorrectionLevel: workload.level };
  if (workload.kind === "text") return () => QRCode.create(workload.data, options);
  if (workload.kind === "bytes")
    return () => QRCode.create([{ data: workload.data, mode: "byte" }], options);
  const codes = new Map();
  let text = "";
  for (let i = 0; i < workload.data.length; i += 2) {
    const stand = String.fromCharCode(0x4e00 + i / 2);
    codes.set(stand, (workload.data[i] << 8) | workload.data[i + 1]);
    text += stand;
  }
  const kanjiOptions = { ...options, toSJISFunc: (c) => codes.get(c) };
  return () => QRCode.create([{ data: text, mode: "kanji" }], kanjiOptions);
}

function timeBatch(call, count) {
  const start = process.hrtime.bigint();
  for (let i = 0; i < count; i++) call();
  return Number(process.hrtime.bigint() - start) / count;
}

// Calls per sample so that one takes about SAMPLE_NS.
function batchSize(call) {
  let count = 1;
  while (timeBatch(call, count) * count < SAMPLE_NS / 4) count *= 2;
  return Math.max(1, Math.round((count * SAMPLE_NS) / (timeBatch(call, count) * count)));
}

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[sorted.length >> 1];
}

function microseconds(ns) {
  return (ns / 1000).toFixed(2);
}

// The size of the WebAssembly module inside tessera_wasm.js, raw and gzipped.
function moduleSize() {
  const glue = fs.readFileSync(path.join(__dirname, "..", "tessera_wasm.js"), "latin1");
  const base64 = /data:application\/octet-stream;base64,([A-Za-z0-9+/=]+)/.exec(glue)[1];
  const wasm = Buffer.from(base64, "base64");
  return {
    glue: glue.length,
    wasm: wasm.length,
    gzipped: zlib.gzipSync(wasm, { level: 9 }).length,
  };
}

async function main() {
  await tessera.ready();
  const rows = [];
  for (const workload of sideBySideWorkloads()) {
    const encoders = [
      { name: "tessera", call: () => tessera.make(workload.data, { level: workload.level }) },
      { name: "qrcode", call: qrcodeCall(workload) },
    ];
    const versions = encoders.map((e) => e.call().version);
    for (const e of encoders) {
      e.count = batchSize(e.call);
      e.times = [];
    }
    for (let s = 0; s < SAMPLES; s++) {
      const order = s % 2 ? [...encoders].reverse() : encoders;
      for (const e of order) e.times.push(timeBatch(e.call, e.count));
    }
    rows.push({ workload, versions, encoders });
  }
  console.log(`Node ${process.version}, ${os.cpus()[0].model}, ${os.cpus().length} cores`);
  console.log(
    `load average before: ${LOAD_BEFORE.map((l) => l.toFixed(2)).join(" ")}, after: ${os
      .loadavg()
      .map((l) => l.toFixed(2))
      .join(" ")}`,
  );
  console.log("");
  console.log(
    "| workload | level | version (tessera / qrcode) | tessera | qrcode | qrcode / tessera |",
  );
  console.log("|---|---|---|---|---|---|");
  for (const { workload, versions, encoders } of rows) {
    const [t, q] = encoders.map((e) => ({ median: median(e.times), low: Math.min(...e.times) }));
    console.log(
      `| ${workload.name} ${workload.description} | ${workload.level} | ${versions.join(" / ")} | ` +
        `${microseconds(t.median)} µs (${microseconds(t.low)}) | ${microseconds(q.median)} µs (${microseconds(q.low)}) | ` +
        `${(q.median / t.median).toFixed(1)}x |`,
    );
  }
  const size = moduleSize();
  console.log("");
  console.log(
    `tessera_wasm.js: ${size.glue} bytes; its .wasm: ${size.wasm} bytes, ${size.gzipped} gzipped (gzip -9)`,
  );
}

const LOAD_BEFORE = os.loadavg();
main();
