// W1-W6 of bench/workloads.cpp, made the same way: the same splitmix64 sequence from the same
// seed, so that the bytes equal the C++ benchmark's.
"use strict";

const MASK64 = (1n << 64n) - 1n;
const SEED = 0x5eedbe7c4n;
const ALPHANUMERIC = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";

// splitmix64, as the C++ benchmarks and tests have it (64-bit arithmetic in BigInt).
class Random {
  constructor(seed) {
    this.state = seed;
  }
  next() {
    this.state = (this.state + 0x9e3779b97f4a7c15n) & MASK64;
    let z = this.state;
    z = ((z ^ (z >> 30n)) * 0xbf58476d1ce4e5b9n) & MASK64;
    z = ((z ^ (z >> 27n)) * 0x94d049bb133111ebn) & MASK64;
    return z ^ (z >> 31n);
  }
  // Uniform in [0, n).
  below(n) {
    return Number(this.next() % BigInt(n));
  }
  // Uniform in [low, high].
  between(low, high) {
    return low + this.below(high - low + 1);
  }
}

function words(random, length) {
  let text = "";
  while (text.length < length) {
    const word = 2 + random.below(8);
    for (let i = 0; i < word; i++) {
      const base = random.below(3) === 0 ? 65 : 97;
      text += String.fromCharCode(base + random.below(26));
    }
    text += random.below(6) === 0 ? ". " : " ";
  }
  return text.slice(0, length);
}

// Level-1 Kanji of Shift_JIS: lead bytes 0x89-0x97, trail bytes 0x40-0x7E and 0x80-0xFC.
function kanji(random, count) {
  const bytes = new Uint8Array(2 * count);
  for (let i = 0; i < count; i++) {
    const lead = 0x89 + random.below(0x97 - 0x89 + 1);
    let trail = 0x40 + random.below(0xfc - 0x40);
    if (trail >= 0x7f) trail++;
    bytes[2 * i] = lead;
    bytes[2 * i + 1] = trail;
  }
  return bytes;
}

function digits(random, count) {
  let text = "";
  for (let i = 0; i < count; i++) text += String.fromCharCode(48 + random.below(10));
  return text;
}

// [{ name, description, level, data (string or Uint8Array), kind: "text" | "bytes" | "kanji" }]
function sideBySideWorkloads() {
  const random = new Random(SEED);
  const w = [];
  w.push({
    name: "W1",
    description: "40-byte URL",
    level: "M",
    data: "https://example.org/products/item?id=123",
    kind: "text",
  });
  w.push({
    name: "W2",
    description: "500 bytes of words",
    level: "M",
    data: words(random, 500),
    kind: "text",
  });
  w.push({
    name: "W3",
    description: "7089 digits",
    level: "L",
    data: digits(random, 7089),
    kind: "text",
  });
  const bytes = new Uint8Array(2953);
  for (let i = 0; i < bytes.length; i++) bytes[i] = random.below(256);
  w.push({ name: "W4", description: "2953 random bytes", level: "L", data: bytes, kind: "bytes" });
  let mixed = digits(random, 300);
  for (let i = 0; i < 200; i++) mixed += ALPHANUMERIC[random.below(ALPHANUMERIC.length)];
  for (let i = 0; i < 100; i++) mixed += String.fromCharCode(97 + random.below(26));
  w.push({
    name: "W5",
    description: "300 digits, 200 alphanumeric, 100 lower case",
    level: "Q",
    data: mixed,
    kind: "text",
  });
  w.push({
    name: "W6",
    description: "300 Kanji (600 Shift_JIS bytes)",
    level: "M",
    data: kanji(random, 300),
    kind: "kanji",
  });
  return w;
}

module.exports = { Random, ALPHANUMERIC, sideBySideWorkloads };
