// W1-W6 encoded to a module matrix by tessera's make() and, side by side in the same run, by the
// `qrcode` npm package's create() (a black box, timed only; a dev dependency, never one of the
// package's). Each sample times a batch of about 2 ms; the two encoders take turns, 31 samples
// each, so that both see the same machine. Prints the median per encode (the lowest in brackets),
// the ratio of qrcode's median to tessera's, the load average and the module's size.
// Then the renders of W1-W3: tessera's toSVG() and toPNG() of a made symbol beside its make(),
// and beside them qrcode's and the `fast_qr` package's matrix, SVG and PNG (where it has one) of
// the same text, all taking turns in the same way.
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

// fast_qr is an ES module with its WebAssembly beside it, in a package that Node takes for
// CommonJS: its source is imported as it stands and given its module's bytes.
async function loadFastQr() {
  const source = fs.readFileSync(require.resolve("fast_qr/fast_qr.js"), "utf8");
  const fastQr = await import("data:text/javascript," + encodeURIComponent(source));
  fastQr.initSync(fs.readFileSync(require.resolve("fast_qr/fast_qr_bg.wasm")));
  return fastQr;
}

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

async function timeBatch(call, count, awaited = false) {
  const start = process.hrtime.bigint();
  if (awaited) for (let i = 0; i < count; i++) await call();
  else for (let i = 0; i < count; i++) call();
  return Number(process.hrtime.bigint() - start) / count;
}

// Calls per sample so that one takes about SAMPLE_NS.
async function batchSize(call, awaited = false) {
  let count = 1;
  while ((await timeBatch(call, count, awaited)) * count < SAMPLE_NS / 4) count *= 2;
  const each = await timeBatch(call, count, awaited);
  return Math.max(1, Math.round(SAMPLE_NS / each));
}

// Every entry's median and lowest per call, the entries taking turns, SAMPLES samples each.
async function sampleInTurns(entries) {
  for (const e of entries) {
    e.count = await batchSize(e.call, e.awaited);
    e.times = [];
  }
  for (let s = 0; s < SAMPLES; s++) {
    for (let k = 0; k < entries.length; k++) {
      const e = entries[(k + s) % entries.length];
      e.times.push(await timeBatch(e.call, e.count, e.awaited));
    }
  }
  for (const e of entries) {
    e.median = median(e.times);
    e.low = Math.min(...e.times);
  }
}

// The renders of one text workload, with the size of each result.
async function renderRows(workload, fastQr) {
  const { data, level } = workload;
  const symbol = tessera.make(data, { level });
  const entries = [
    { name: "tessera make().modules", call: () => tessera.make(data, { level }).modules },
    { name: "tessera toSVG()", call: () => symbol.toSVG() },
    { name: "tessera toPNG()", call: () => symbol.toPNG() },
    { name: "qrcode create()", call: () => QRCode.create(data, { errorCorrectionLevel: level }) },
    {
      name: "qrcode toString(svg)",
      call: () => {
        let svg = null;
        QRCode.toString(data, { type: "svg", errorCorrectionLevel: level }, (e, text) => {
          svg = text;
        });
        return svg;
      },
    },
    {
      name: "qrcode toBuffer(png)",
      awaited: true,
      call: () => QRCode.toBuffer(data, { type: "png", errorCorrectionLevel: level }),
    },
    { name: "fast_qr qr()", call: () => fastQr.qr(data) },
    // qr_svg() takes its options object over: each call gets a new one.
    { name: "fast_qr qr_svg()", call: () => fastQr.qr_svg(data, new fastQr.SvgOptions()) },
  ];
  for (const e of entries) {
    const result = await e.call();
    e.size = result && result.length !== undefined ? result.length : "-";
  }
  // A call that makes nothing of the workload (fast_qr gives up on 7089 digits) is not timed.
  const made = entries.filter((e) => e.size !== 0);
  await sampleInTurns(made);
  return made;
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
      e.count = await batchSize(e.call);
      e.times = [];
    }
    for (let s = 0; s < SAMPLES; s++) {
      const order = s % 2 ? [...encoders].reverse() : encoders;
      for (const e of order) e.times.push(await timeBatch(e.call, e.count));
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
  const fastQr = await loadFastQr();
  console.log("");
  console.log("| workload | call | median | ratio to tessera make() | length |");
  console.log("|---|---|---|---|---|");
  for (const workload of sideBySideWorkloads()
    .filter((w) => w.kind === "text")
    .slice(0, 3)) {
    const entries = await renderRows(workload, fastQr);
    for (const e of entries) {
      console.log(
        `| ${workload.name} | ${e.name} | ${microseconds(e.median)} µs (${microseconds(e.low)}) | ` +
          `${(e.median / entries[0].median).toFixed(1)}x | ${e.size} |`,
      );
    }
  }
  console.log(
    `load average after the renders: ${os
      .loadavg()
      .map((l) => l.toFixed(2))
      .join(" ")}`,
  );
  const size = moduleSize();
  console.log("");
  console.log(
    `tessera_wasm.js: ${size.glue} bytes; its .wasm: ${size.wasm} bytes, ${size.gzipped} gzipped (gzip -9)`,
  );
}

const LOAD_BEFORE = os.loadavg();
main();
