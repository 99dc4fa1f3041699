// The library's door, tessera(), in terms of make() and toBMP(): its four option strings read
// by the rules of the README ("Calling tessera from C"), and the result code and file bytes it
// gives for them.
"use strict";
const { make, EncodeError } = require("../../js");

const DEFAULT_SCALE = 4;
const LIMITS = { L: [0, 3], V: [1, 40], M: [0, 7], S: [1, 20] };
const INT32_LIMIT = 2 ** 31;

// A number as strtol reads it (white space, a sign, digits up to the first non-digit), held to
// the 32-bit range.
function number(value) {
  const [, sign, digits] = /^[ \t\n\v\f\r]*([+-]?)([0-9]*)/.exec(value);
  const magnitude = Math.min(Number(digits || "0"), INT32_LIMIT);
  return sign === "-" ? -magnitude : Math.min(magnitude, INT32_LIMIT - 1);
}

// The bytes of a "/T" value: %XX with hex digits (any other character, or none, counts 0).
function text(value) {
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

// `options`: strings of one byte per character. Returns { result, bmp } (bmp when result is 0).
function door(options) {
  let data = null;
  let output = false;
  const settings = {};
  const given = {};
  for (const option of options) {
    if (option[0] !== "/") continue;
    const letter = (option[1] ?? "").toUpperCase();
    const value = option.slice(2);
    if (letter === "T" && (data === null || data.length === 0)) data = text(value);
    else if (letter === "O") output = value !== "";
    else if (letter === "E" && /^[Nn]/.test(value)) settings.strict = true;
    else if (letter in LIMITS) {
      const n = number(value);
      const [low, high] = LIMITS[letter];
      given[letter] = n >= low && n <= high ? n : undefined;
    }
  }
  if (data === null || !output) return { result: 1 };
  if (given.L !== undefined) settings.level = "LMQH"[given.L];
  if (given.V !== undefined) settings.version = given.V;
  if (given.M !== undefined) settings.mask = given.M;
  let symbol;
  try {
    symbol = make(data, settings);
  } catch (error) {
    if (error instanceof EncodeError) return { result: 2 };
    throw error;
  }
  return { result: 0, bmp: symbol.toBMP({ scale: given.S ?? DEFAULT_SCALE }) };
}

module.exports = { door };
