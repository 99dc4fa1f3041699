// tessera for JavaScript, its calls: values handed to the WebAssembly module and back. Settings
// and render options checked and written into the module's records, data as UTF-8 bytes, buffers
// of module memory freed when their use returns or throws, a symbol encoded for the length of a
// call, and a failed status turned into the error it means (EncodeError, RangeError or Error,
// with the library's sentence). A part of index.js, which hands it the shared `lib`.
"use strict";

(function (root, part) {
  if (typeof module === "object" && module.exports) module.exports = part;
  else (root.tesseraParts = root.tesseraParts || {}).calls = part;
})(typeof globalThis !== "undefined" ? globalThis : this, function (lib) {
  const {
    COLOURS, EncodeError, LEVEL_PREFIX, LONE_SURROGATE, MAKE_OPTIONS, RENDER_BYTES,
    RENDER_FIELDS, SCRATCH, SETTINGS_BYTES, SETTINGS_FIELDS, SWITCHES, formatNumbers, utf8Decoder,
    utf8Encoder
  } = lib;

  // Encodes `bytes` with the setting `values` and calls `use` with the C symbol, which is freed
  // when `use` returns or throws. Throws EncodeError or RangeError when the data cannot be encoded.
  function withEncoded(bytes, values, use) {
    return withBuffer(bytes.length, (buffer) => {
      lib.wasm.HEAPU8.set(bytes, buffer);
      const settingsAt = lib.scratch + SCRATCH.settings;
      const status = lib.wasm._tessera_encode(
        buffer,
        bytes.length,
        settingsAt,
        lib.scratch + SCRATCH.pointer,
      );
      if (status !== lib.C.TESSERA_OK) throw encodeFailure(status, buffer, bytes.length);
      const pointer = lib.wasm.HEAPU32[(lib.scratch + SCRATCH.pointer) >> 2];
      try {
        return use(pointer);
      } finally {
        lib.wasm._tessera_symbol_free(pointer);
      }
    });
  }

  // Calls `use` with `length` bytes of WebAssembly memory, freed when it returns or throws.
  function withBuffer(length, use) {
    const buffer = lib.wasm._malloc(Math.max(length, 1));
    if (!buffer) throw new Error(statusMessage(lib.C.TESSERA_ERROR_NO_MEMORY));
    try {
      return use(buffer);
    } finally {
      lib.wasm._free(buffer);
    }
  }

  // Calls `use` with room for at least `length` bytes of module memory. Room of up to
  // KEPT_ROOM_BYTES is kept from call to call, so that a render of an ordinary symbol is one call
  // into memory already there; larger room is freed when `use` returns or throws.
  const FIRST_ROOM_BYTES = 1 << 14;
  const KEPT_ROOM_BYTES = 1 << 20;
  let kept = { at: 0, length: 0 };
  function withRoom(length, use) {
    if (length > KEPT_ROOM_BYTES) return withBuffer(length, (at) => use(at, length));
    if (length > kept.length || kept.at === 0) {
      const wanted = Math.max(length, FIRST_ROOM_BYTES, kept.length);
      const at = lib.wasm._malloc(wanted);
      if (!at) throw new Error(statusMessage(lib.C.TESSERA_ERROR_NO_MEMORY));
      if (kept.at !== 0) lib.wasm._free(kept.at);
      kept = { at, length: wanted };
    }
    return use(kept.at, kept.length);
  }

  // The error for a failed tessera_encode() (the settings are checked before): the library's own
  // sentence for data that does not fit.
  function encodeFailure(status, buffer, length) {
    if (status === lib.C.TESSERA_ERROR_CANNOT_ENCODE)
      return new EncodeError(explain(buffer, length), status);
    return new Error(statusMessage(status));
  }

  function explain(buffer, length) {
    const at = lib.scratch + SCRATCH.message;
    const settingsAt = lib.scratch + SCRATCH.settings;
    const status = lib.wasm._tessera_explain_encode_failure(
      buffer,
      length,
      settingsAt,
      at,
      lib.messageBytes,
    );
    if (status !== lib.C.TESSERA_OK && status !== lib.C.TESSERA_ERROR_BUFFER_TOO_SMALL) {
      return statusMessage(status);
    }
    return cString(at);
  }

  function check(status, what) {
    if (status === lib.C.TESSERA_OK) return;
    const message = `${what}: ${statusMessage(status)}`;
    throw status === lib.C.TESSERA_ERROR_BAD_ARGUMENT ? new RangeError(message) : new Error(message);
  }

  function statusMessage(status) {
    return cString(lib.wasm._tessera_status_message(status));
  }

  function cString(at) {
    const heap = lib.wasm.HEAPU8;
    let end = at;
    while (heap[end] !== 0) end++;
    return utf8Decoder.decode(heap.subarray(at, end));
  }

  function formatNumber(kind, caller) {
    if (typeof kind !== "string")
      throw new TypeError(`${caller}: the kind must be a format name such as "png"`);
    let number = formatNumbers.get(kind);
    if (number === undefined) {
      const name = utf8Encoder.encode(kind + "\0");
      if (name.length > lib.messageBytes || kind.includes("\0")) number = -1;
      else {
        lib.wasm.HEAPU8.set(name, lib.scratch + SCRATCH.message);
        number = lib.wasm._tessera_format_from_name(lib.scratch + SCRATCH.message);
      }
      if (number < 0) throw new RangeError(`${caller}: no format is named '${kind}'`);
      formatNumbers.set(kind, number);
    }
    return number;
  }

  // The bytes of `data`: a string as UTF-8 (one with a lone surrogate has none, and is refused),
  // bytes copied, so that the symbol does not change when the caller's array does.
  function bytesOf(data) {
    if (typeof data === "string") {
      const lone = LONE_SURROGATE.exec(data);
      if (lone) {
        const unit = lone[0].charCodeAt(0).toString(16).toUpperCase();
        throw new RangeError(
          `the text has a lone surrogate (U+${unit}) at index ${lone.index}, which UTF-8 cannot hold`,
        );
      }
      return utf8Encoder.encode(data);
    }
    if (data instanceof ArrayBuffer) return new Uint8Array(data).slice();
    if (ArrayBuffer.isView(data))
      return new Uint8Array(data.buffer, data.byteOffset, data.byteLength).slice();
    throw new TypeError("data must be a string or a Uint8Array");
  }

  // The options as the numbers to write into tessera_settings; absent ones keep the library's
  // defaults.
  function settingValues(options) {
    const values = {};
    for (const [name, value] of entriesOf(options, MAKE_OPTIONS, "make")) {
      if (SWITCHES.has(name)) values[name] = switchValue(value, name);
      else if (name === "level") values.level = levelNumber(value);
      else if (name === "version" && typeof value === "string") values.version = rmqrSize(value);
      else if (name === "fit") [values.fitWidth, values.fitHeight] = box(value);
      else values[name] = integer(value, name);
    }
    // A size named "R11x59" or a height asks for rMQR.
    if (typeof options?.version === "string" || values.rmqrHeight) values.rmqr = 1;
    return values;
  }

  // The rMQR version of a size's name ("R11x59"), as the library knows the names.
  function rmqrSize(name) {
    const bytes = utf8Encoder.encode(name + "\0");
    let number = 0;
    if (bytes.length <= lib.messageBytes && !name.includes("\0")) {
      lib.wasm.HEAPU8.set(bytes, lib.scratch + SCRATCH.message);
      number = lib.wasm._tessera_rmqr_version(lib.scratch + SCRATCH.message);
    }
    if (number === 0) {
      throw new TypeError(
        `version must be a number or an rMQR size such as "R11x59", not ${JSON.stringify(name)}`,
      );
    }
    return number;
  }

  // The box to fit, [width, height] in modules.
  function box(value) {
    if (!Array.isArray(value) || value.length !== 2)
      throw new TypeError(`fit must be [width, height] in modules, not ${JSON.stringify(value)}`);
    return [integer(value[0], "fit width"), integer(value[1], "fit height")];
  }

  // A level letter in either case; the library has a constant for each.
  function levelNumber(value) {
    const number =
      typeof value === "string" && value.length === 1
        ? lib.C[LEVEL_PREFIX + value.toUpperCase()]
        : undefined;
    if (number === undefined) {
      throw new RangeError(
        `the level must be one of ${lib.levelNames.join(", ")}, not ${JSON.stringify(value)}`,
      );
    }
    return number;
  }

  function writeSettings(values) {
    const at = lib.scratch + SCRATCH.settings;
    lib.wasm._tessera_settings_init_sized(at, SETTINGS_BYTES);
    for (const name of Object.keys(values))
      lib.wasm.HEAP32[(at + SETTINGS_FIELDS[name]) >> 2] = values[name];
  }

  function writeRenderOptions(options, caller) {
    const at = lib.scratch + SCRATCH.options;
    lib.wasm._tessera_render_options_init_sized(at, RENDER_BYTES);
    for (const [name, value] of entriesOf(options, RENDER_FIELDS, caller)) {
      if (COLOURS.has(name)) lib.wasm.HEAPU32[(at + RENDER_FIELDS[name]) >> 2] = colour(value, name);
      else lib.wasm.HEAP32[(at + RENDER_FIELDS[name]) >> 2] = integer(value, name);
    }
  }

  // The options that are given (not undefined or null); a name outside `fields` is refused.
  function entriesOf(options, fields, caller) {
    if (options === undefined || options === null) return [];
    if (typeof options !== "object") throw new TypeError(`${caller}: options must be an object`);
    const entries = [];
    for (const [name, value] of Object.entries(options)) {
      if (!Object.prototype.hasOwnProperty.call(fields, name)) {
        throw new TypeError(`${caller}: unknown option '${name}'`);
      }
      if (value !== undefined && value !== null) entries.push([name, value]);
    }
    return entries;
  }

  // 1 or 0 for a switch given as a boolean (or 1 or 0): "no" is not false.
  function switchValue(value, name) {
    if (value === true || value === 1) return 1;
    if (value === false || value === 0) return 0;
    throw new TypeError(`${name} must be true or false, not ${JSON.stringify(value)}`);
  }

  // A whole number that fits the C int, which the library then checks against its range.
  function integer(value, name) {
    if (typeof value !== "number")
      throw new TypeError(`${name} must be a number, not ${typeof value}`);
    if (!Number.isInteger(value) || value < 0 || value !== (value | 0)) {
      throw new RangeError(`${name} must be a whole number, not ${value}`);
    }
    return value;
  }

  // A colour as 0xRRGGBBAA: a number, or "RRGGBB" / "RRGGBBAA" with or without "#" (opaque when
  // alpha is left out).
  function colour(value, name) {
    if (typeof value === "number" && Number.isInteger(value) && value >= 0 && value <= 0xffffffff) {
      return value;
    }
    const match = typeof value === "string" && /^#?([0-9a-f]{6})([0-9a-f]{2})?$/i.exec(value);
    if (!match)
      throw new RangeError(
        `${name} must be "#RRGGBB", "#RRGGBBAA" or 0xRRGGBBAA, not ${JSON.stringify(value)}`,
      );
    return parseInt(match[1] + (match[2] ?? "ff"), 16) >>> 0;
  }

  return {
    bytesOf, cString, check, formatNumber, settingValues, withBuffer, withEncoded, withRoom,
    writeRenderOptions, writeSettings,
  };
});
