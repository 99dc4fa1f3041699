// tessera for JavaScript: QR Code symbols from the C API compiled to WebAssembly (tessera_wasm.js,
// built by scripts/build-js.sh). Loaded by `require`, by `import` (index.mjs), or in a page as a
// classic script after tessera_wasm.js and its parts (calls.js, payload.js, symbol.js), where it
// defines the global `tessera`. This file loads the module and holds what its parts share.
//
// Every status, level, range and format comes from the C API: the numbers through the header's
// constants that the build puts on the module, the words through tessera_check_settings,
// tessera_check_render_options, tessera_explain_encode_failure and tessera_status_message. Memory
// handed to WebAssembly is freed before each call returns; a symbol keeps its data and settings in
// JavaScript and encodes them again to render.
"use strict";

(function (root, factory) {
  if (typeof module === "object" && module.exports) {
    module.exports = factory(require("./tessera_wasm.js"), {
      calls: require("./calls.js"),
      payload: require("./payload.js"),
      symbol: require("./symbol.js"),
    });
  } else {
    root.tessera = factory(root.createTesseraModule, root.tesseraParts);
  }
})(typeof globalThis !== "undefined" ? globalThis : this, function (createModule, parts) {
  // The C structures as WebAssembly lays them out (size_t, int and uint32_t all four bytes): the
  // byte offset of each field after `size`, by the name the JavaScript options give it.
  const SETTINGS_FIELDS = {
    level: 4,
    version: 8,
    strict: 12,
    mask: 16,
    utf8: 20,
    micro: 24,
    boost: 28,
    rmqr: 32,
    rmqrHeight: 36,
    gs1: 40,
    fitWidth: 44,
    fitHeight: 48,
  };
  // The options make() takes: the fields, but the box's two as `fit: [width, height]`.
  const MAKE_OPTIONS = { ...SETTINGS_FIELDS, fit: 0 };
  delete MAKE_OPTIONS.fitWidth;
  delete MAKE_OPTIONS.fitHeight;
  const RENDER_FIELDS = { scale: 4, margin: 8, dark: 12, light: 16, dpi: 20 };
  // The size of each record as this glue lays it out: up to the end of its last field, every
  // field four bytes wide. The module fills that much and reads no more.
  const recordBytes = (fields) => Math.max(...Object.values(fields)) + 4;
  const SETTINGS_BYTES = recordBytes(SETTINGS_FIELDS);
  const RENDER_BYTES = recordBytes(RENDER_FIELDS);
  // The settings that are switches (non-zero: on); the others are integers.
  const SWITCHES = new Set(["strict", "utf8", "micro", "boost", "rmqr", "gs1"]);
  const COLOURS = new Set(["dark", "light"]);
  const LEVEL_PREFIX = "TESSERA_LEVEL_";

  // One block of WebAssembly memory, taken once, for the structures and the values the API
  // returns through pointers, and last the room for a one-line reason (TESSERA_MESSAGE_ROOM).
  const STRUCTURE_BYTES = 64;
  // The style record as this glue lays it out, to the end of its last field (printed_size, a
  // double at byte 128); the module fills that much and reads no more (checked when it loads).
  const STYLE_BYTES = 136;
  // The parts of a style handed over as they are rather than set by name: where the style record
  // keeps their pointers (a logo's size follows its pointer), checked when the module loads
  // against logo_percent, the field before them, as tessera_style_set() fills it.
  const STYLE_POINTERS = { logo: 88, title: 96, desc: 100 };
  const LOGO_PERCENT_AT = 84;
  const SCRATCH = {
    settings: 0,
    options: STRUCTURE_BYTES,
    pointer: 2 * STRUCTURE_BYTES, // tessera_symbol*, then size_t
    size: 2 * STRUCTURE_BYTES + 4,
    used: 2 * STRUCTURE_BYTES + 8,
    capacity: 2 * STRUCTURE_BYTES + 12,
    message: 2 * STRUCTURE_BYTES + 16,
  };

  const utf8Encoder = new TextEncoder();
  // A surrogate code unit that is not half of a pair (a pair is one code point in a "u" pattern).
  const LONE_SURROGATE = /\p{Surrogate}/u;
  const utf8Decoder = new TextDecoder();

  // Data that does not fit (or is empty): the message says how many bits it needs and how many
  // the symbol holds. `status` is the C API's status.
  class EncodeError extends Error {
    constructor(message, status) {
      super(message);
      this.name = "EncodeError";
      this.status = status;
    }
  }

  // Payload builders, one per kind of the library's table (payload.wifi({ ssid, ... })), added
  // when the module loads, each with the kind's `help` and `fields` as the table describes them.
  const payload = {};

  let wasm = null; // the loaded module
  let loading = null; // its Promise while it loads
  let scratch = 0;
  let messageBytes = 0; // the room for a reason at SCRATCH.message
  let C = null; // the header's constants
  let levelNames = null; // the level letters by number
  const formatNumbers = new Map(); // format number by name

  // What the parts share: the loaded module's state (read through getters, as attach() sets it
  // once), the records' layout, and the functions each part returns, added in order (calls.js
  // first: the others use it).
  const lib = {
    get wasm() {
      return wasm;
    },
    get C() {
      return C;
    },
    get scratch() {
      return scratch;
    },
    get messageBytes() {
      return messageBytes;
    },
    get levelNames() {
      return levelNames;
    },
    SETTINGS_FIELDS, MAKE_OPTIONS, RENDER_FIELDS, SETTINGS_BYTES, RENDER_BYTES, SWITCHES, COLOURS,
    LEVEL_PREFIX, STYLE_BYTES, STYLE_POINTERS, SCRATCH, utf8Encoder, utf8Decoder,
    LONE_SURROGATE, EncodeError, formatNumbers, ready, encode,
  };
  for (const name of ["calls", "payload", "symbol"]) Object.assign(lib, parts[name](lib));
  const {
    QrSymbol, buildPayload, makePayload, payloadFields, bytesOf, cString, check, settingValues,
    withBuffer, withEncoded, writeSettings,
  } = lib;

  // Resolves when the WebAssembly module is ready; make() is synchronous from then on.
  function ready() {
    if (wasm) return Promise.resolve();
    if (!loading) {
      if (typeof createModule !== "function") {
        return Promise.reject(new Error("tessera_wasm.js is not loaded (scripts/build-js.sh)"));
      }
      loading = createModule().then(attach);
    }
    return loading;
  }

  function attach(module) {
    const constants = module.constants;
    const base = module._malloc(SCRATCH.message + constants.TESSERA_MESSAGE_ROOM);
    if (!base) throw new Error("tessera: no memory for the module's scratch block");
    // The module takes the glue's records at their size, or refuses them here once.
    checkLayout(
      module._tessera_settings_init_sized(base + SCRATCH.settings, SETTINGS_BYTES),
      constants,
      "settings",
    );
    checkLayout(
      module._tessera_render_options_init_sized(base + SCRATCH.options, RENDER_BYTES),
      constants,
      "render options",
    );
    checkStyleLayout(module);
    levelNames = [];
    for (const name of Object.keys(constants)) {
      if (name.startsWith(LEVEL_PREFIX))
        levelNames[constants[name]] = name.slice(LEVEL_PREFIX.length);
    }
    scratch = base;
    messageBytes = constants.TESSERA_MESSAGE_ROOM;
    C = constants;
    wasm = module;
    for (let index = 0; wasm._tessera_payload_kind(index) !== 0; index++) {
      const kindAt = wasm._tessera_payload_kind(index); // the library's own string
      const kind = cString(kindAt);
      const build = (fields) => buildPayload(kind, fields).text;
      build.help = cString(wasm._tessera_payload_kind_help(kindAt));
      build.fields = Object.freeze(payloadFields(kindAt));
      payload[kind] = build;
    }
  }

  function checkStyleLayout(module) {
    const at = module._malloc(STYLE_BYTES + 16);
    if (!at) throw new Error("tessera: no memory for the module's scratch block");
    try {
      checkLayout(module._tessera_style_options_init_sized(at, STYLE_BYTES), module.constants,
                  "style record");
      const value = at + STYLE_BYTES;
      module.HEAPU8.set(utf8Encoder.encode("logo-size\u000037\u0000"), value);
      module._tessera_style_set(at, value, value + 10, 0, 0);
      if (module.HEAP32[(at + LOGO_PERCENT_AT) >> 2] !== 37) {
        throw new Error("tessera: the module's style record is not the one this glue knows");
      }
    } finally {
      module._free(at);
    }
  }

  function checkLayout(status, constants, what) {
    if (status !== constants.TESSERA_OK)
      throw new Error(`tessera: the module refuses this glue's ${what} (status ${status})`);
  }

  // Encodes `data` (a string, taken as UTF-8, or bytes) with `options` as one symbol. Returns the
  // symbol once the module is ready, and a Promise of it while the module loads (the first call).
  // Throws (or rejects with) EncodeError when the data is empty or does not fit, RangeError for a
  // setting out of its range, TypeError for data or options of the wrong kind.
  function make(data, options) {
    if (wasm) return encode(data, options);
    return ready().then(() => encode(data, options));
  }

  function encode(data, options) {
    const bytes = bytesOf(data);
    const values = settingValues(options);
    writeSettings(values);
    const at = scratch + SCRATCH.message;
    const checked = wasm._tessera_check_settings(scratch + SCRATCH.settings, at, messageBytes);
    if (checked === C.TESSERA_ERROR_BAD_ARGUMENT) throw new RangeError(cString(at));
    check(checked, "make");
    const symbol = withEncoded(bytes, values, (pointer) => {
      const size = wasm._tessera_symbol_size(pointer);
      const height = wasm._tessera_symbol_height(pointer);
      const cells = size * height;
      const modules = new Uint8Array(cells);
      withBuffer(cells, (buffer) => {
        check(wasm._tessera_symbol_modules(pointer, buffer, cells), "modules");
        modules.set(wasm.HEAPU8.subarray(buffer, buffer + cells));
      });
      return new QrSymbol(
        {
          size,
          version: wasm._tessera_symbol_version(pointer),
          level: levelNames[wasm._tessera_symbol_level(pointer)] ?? null,
          mask: wasm._tessera_symbol_mask(pointer),
          micro: wasm._tessera_symbol_is_micro(pointer) !== 0,
          height,
          rmqr: wasm._tessera_symbol_is_rmqr(pointer) !== 0,
          gs1: wasm._tessera_symbol_is_gs1(pointer) !== 0,
          modules,
        },
        bytes,
        values,
        {
          used: wasm._tessera_symbol_data_bits(pointer),
          capacity: wasm._tessera_symbol_capacity_bits(pointer),
        },
      );
    });
    return symbol;
  }




  // The formats this build renders, in the order of the library's table: their names ("png", ...,
  // "pbm-plain") and the extensions of their files ("png", ..., "pbm"; null for the terminal
  // styles). Asked of the library, which numbers its formats from 0 and names no more after them.
  function formats() {
    if (!wasm) throw new Error("tessera: the module is not loaded yet (await ready())");
    const list = [];
    for (let number = 0; wasm._tessera_format_name(number) !== 0; number++) {
      if (!wasm._tessera_format_available(number)) continue;
      const extension = wasm._tessera_format_extension(number);
      list.push({
        name: cString(wasm._tessera_format_name(number)),
        extension: extension === 0 ? null : cString(extension),
      });
    }
    return list;
  }

  // The library's names of the parts of a style: { shapes: ["square", "dot", ...], finders: [...],
  // regions: ["finder-dark", ...], settings: ["shape", "finder", ..., "size"], gradients:
  // ["linear", "radial"] } (the names the `style` option takes, and the values of shape, finder
  // and the kind of a gradient).
  function styles() {
    if (!wasm) throw new Error("tessera: the module is not loaded yet (await ready())");
    const list = (number) => {
      const names = [];
      for (let i = 0; wasm._tessera_style_name(number, i) !== 0; i++) {
        names.push(cString(wasm._tessera_style_name(number, i)));
      }
      return names;
    };
    return {
      shapes: list(C.TESSERA_STYLE_SHAPE),
      finders: list(C.TESSERA_STYLE_FINDER),
      regions: list(C.TESSERA_STYLE_REGION),
      settings: list(C.TESSERA_STYLE_SETTING),
      gradients: list(C.TESSERA_STYLE_GRADIENT),
    };
  }

  // The library's table of limits (tessera_limit), one number a row by name: every range and
  // default of a setting ({ "margin.low": 0, "margin.high": 64, "scale.image": 4, ... }).
  function limits() {
    if (!wasm) throw new Error("tessera: the module is not loaded yet (await ready())");
    const nameAt = scratch + SCRATCH.pointer;
    const valueAt = scratch + SCRATCH.message; // a long long, eight bytes aligned
    const rows = {};
    for (let index = 0; wasm._tessera_limit(index, nameAt, valueAt) !== 0; index++) {
      const low = wasm.HEAPU32[valueAt >> 2];
      const high = wasm.HEAP32[(valueAt >> 2) + 1];
      rows[cString(wasm.HEAPU32[nameAt >> 2])] = high * 2 ** 32 + low;
    }
    return rows;
  }

  // The top of the module's heap in bytes: what its allocator has taken from WebAssembly memory.
  // It grows only when memory is not handed back (or when more is needed at once than before).
  function heapBytes() {
    if (!wasm) throw new Error("tessera: the module is not loaded yet (await ready())");
    return wasm._sbrk(0) >>> 0;
  }

  return {
    make, makePayload, payload, ready, formats, styles, limits, heapBytes, EncodeError, QrSymbol,
  };
});
