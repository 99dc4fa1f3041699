// The BMP digests of tests/data/bmp_digests.tsv: the door calls that tests/module/
// bmp_digest_test.cpp makes from a fixed seed, made again here the same way (its generator, step
// for step), each checked against its row's options, data kind and length before its result and
// file are compared.
"use strict";
const test = require("node:test");
const assert = require("node:assert/strict");
const { make, ready } = require("../../js");
const { Random, ALPHANUMERIC } = require("../../js/bench/workloads.js");
const { readTable, sha256 } = require("./support.js");
const { door } = require("./door.js");

const SEED = 0x7e55e7a5eed5n;
const VERSIONS = 40;
const LEVELS = 4;
const COMBINATIONS = VERSIONS * LEVELS * 9; // every version, level and mask (automatic, 0-7)
const ROUNDS = 2;
const FILE_BUDGET = 320 * 1024;
const MAX_SCALE = 20;
const DEFAULT_LEVEL = 1;
const MAX_INPUT = 7089;
const MIXES = ["digits", "alnum", "bytes", "kanji", "mixed", "alternating", "words"];
const [DIGITS, ALNUM, BYTES, KANJI, MIXED, ALTERNATING, WORDS] = MIXES.keys();
const code = (c) => c.charCodeAt(0);

function appendOf(random, mix, out) {
  if (mix === DIGITS) out.push(code("0") + random.between(0, 9));
  else if (mix === ALNUM) out.push(code(ALPHANUMERIC[random.between(0, 44)]));
  else if (mix === BYTES) out.push(random.between(0, 255));
  else if (mix === KANJI) {
    const high = random.between(0, 3) === 0;
    out.push(high ? random.between(0xe0, 0xea) : random.between(0x81, 0x9f));
    out.push(random.between(0x40, 0xfc));
  } else out.push(random.between(code("a"), code("z")));
}

function makeData(random, mix, length) {
  const data = [];
  while (data.length < length) {
    if (mix === MIXED) {
      const kind = random.between(0, 4);
      const run = random.between(1, 12);
      for (let i = 0; i < run; i++) appendOf(random, kind, data);
    } else if (mix === ALTERNATING) {
      data.push(
        data.length % 2 ? code("A") + random.between(0, 25) : code("0") + random.between(0, 9),
      );
    } else if (mix === WORDS) {
      const word = random.between(1, 9);
      for (let i = 0; i < word; i++) {
        const c = random.between(0, 5) === 0 ? code("A") : code("a");
        data.push(c + random.between(0, 25));
      }
      data.push(random.between(0, 7) === 0 ? code(".") : code(" "));
    } else appendOf(random, mix, data);
  }
  return data.slice(0, length);
}

// Data bits of each version and level, from the library.
const capacity = [];
function dataBits(version, level) {
  capacity[version] ??= [];
  capacity[version][level] ??= make("1", {
    version,
    level: "LMQH"[level],
    strict: true,
  }).dataBits().capacity;
  return capacity[version][level];
}

function lengthFor(random, mix, version, level) {
  const bits = dataBits(version, level) - 20;
  let full = Math.floor(bits / 8);
  if (mix === DIGITS) full = Math.floor((bits * 3) / 10);
  else if (mix === ALNUM || mix === ALTERNATING) full = Math.floor((bits * 2) / 11);
  else if (mix === KANJI) full = Math.floor(bits / 13) * 2;
  const length = Math.floor((full * random.between(70, 104)) / 100);
  return Math.max(length, 1);
}

function imageBytes(version, scale) {
  const side = (4 * version + 17 + 8) * scale;
  return Math.floor(side / 8) * side;
}

function makeCall(id, random) {
  const combination = id % COMBINATIONS;
  const version = 1 + (combination % VERSIONS);
  const level = Math.floor(combination / VERSIONS) % LEVELS;
  const mask = Math.floor(combination / (VERSIONS * LEVELS)) - 1;
  let scale = random.between(1, MAX_SCALE);
  if (random.between(0, 15) !== 0) {
    while (scale > 1 && imageBytes(version, scale) > FILE_BUDGET) --scale;
  }
  const mix = Number(random.next() % BigInt(MIXES.length));
  const [L, M, S] = [`/L${level}`, `/M${mask}`, `/S${scale}`];
  const pair = Number(random.next() % 7n);
  const options = [
    [L, M],
    [L, S],
    [M, S],
  ][pair] ?? [null, [L, M, S, "/EN"][pair - 3]];
  const effectiveLevel = pair === 0 || pair === 1 || pair === 3 ? level : DEFAULT_LEVEL;
  if (pair >= 3) options[0] = `/V${random.between(1, version)}`;
  return {
    options,
    mix,
    data: makeData(random, mix, lengthFor(random, mix, version, effectiveLevel)),
  };
}

function extraCalls() {
  const random = new Random(SEED + 1n);
  const calls = [];
  for (const scale of [20, 19, 13]) {
    for (const mix of [DIGITS, BYTES, MIXED]) {
      const data = makeData(random, mix, lengthFor(random, mix, 40, DEFAULT_LEVEL));
      calls.push({ options: ["/V40", `/S${scale}`], mix, data });
    }
  }
  calls.push({ options: ["/L0", "/S1"], mix: DIGITS, data: makeData(random, DIGITS, MAX_INPUT) });
  calls.push({
    options: ["/L0", "/S2"],
    mix: DIGITS,
    data: makeData(random, DIGITS, MAX_INPUT + 1),
  });
  calls.push({
    options: ["/L0", "/S1"],
    mix: ALTERNATING,
    data: makeData(random, ALTERNATING, 4296),
  });
  calls.push({ options: ["/L0", "/S3"], mix: BYTES, data: makeData(random, BYTES, 2953) });
  const twoModes = Array.from({ length: MAX_INPUT }, (_, i) => code(i % 2 ? "x" : "7"));
  calls.push({ options: ["/L0", "/S1"], mix: MIXED, data: twoModes });
  return calls;
}

test.before(ready);

test("every recorded door call gives the same result and BMP bytes", () => {
  const rows = readTable("bmp_digests.tsv");
  const random = new Random(SEED);
  const calls = [];
  for (let id = 0; id < ROUNDS * COMBINATIONS; id++) calls.push(makeCall(id, random));
  calls.push(...extraCalls());
  assert.equal(rows.length, calls.length);
  rows.forEach((row, id) => {
    const call = calls[id];
    const where = `row ${row.id}`;
    assert.deepEqual(
      [call.options.join(" "), MIXES[call.mix], String(call.data.length)],
      [row.options, row.mix, row.length],
      where,
    );
    const text = "/T" + call.data.map((b) => "%" + b.toString(16).padStart(2, "0")).join("");
    const { result, bmp } = door([text, "/O{out}", ...call.options]);
    assert.equal(String(result), row.result, where);
    if (result === 0) assert.equal(sha256(bmp), row.file_sha256, where);
  });
});
