// tessera for JavaScript: QR Code symbols from the C API compiled to WebAssembly (tessera_wasm.js,
// built by scripts/build-js.sh). Loaded by `require`, by `import` (index.mjs), or in a page as a
// classic script after tessera_wasm.js, where it defines the global `tessera`.
//
// Every status, level, range and format comes from the C API: the numbers through the header's
// constants that the build puts on the module, the words through tessera_check_settings,
// tessera_check_render_options, tessera_explain_encode_failure and tessera_status_message. Memory
// handed to WebAssembly is freed before each call returns; a symbol keeps its data and settings in
// JavaScript and encodes them again to render.
"use strict";

(function (root, factory) {
  if (typeof module === "object" && module.exports) {
    module.exports = factory(require("./tessera_wasm.js"));
  } else {
    root.tessera = factory(root.createTesseraModule);
  }
})(typeof globalThis !== "undefined" ? globalThis : this, function (createModule) {
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
  // returns through pointers.
  const STRUCTURE_BYTES = 64;
  const MESSAGE_BYTES = 512;
  // The style record as this glue lays it out, to the end of its last field (printed_size, a
  // double at byte 128); the module fills that much and reads no more (checked when it loads).
  const STYLE_BYTES = 136;
  // The parts of a style handed over as they are rather than set by name: where the style record
  // keeps their pointers (a logo's size follows its pointer), checked when the module loads
  // against logo_percent, the field before them, as tessera_style_set() fills it.
  const STYLE_POINTERS = { logo: 88, title: 96, desc: 100 };
  const LOGO_PERCENT_AT = 84;
  // tessera_verify()'s verdicts by number (TESSERA_VERIFY_*).
  const VERDICTS = ["reads", "warnings", "unreadable"];
  const SCRATCH = {
    settings: 0,
    options: STRUCTURE_BYTES,
    pointer: 2 * STRUCTURE_BYTES, // tessera_symbol*, then size_t
    size: 2 * STRUCTURE_BYTES + 4,
    used: 2 * STRUCTURE_BYTES + 8,
    capacity: 2 * STRUCTURE_BYTES + 12,
    message: 2 * STRUCTURE_BYTES + 16,
    bytes: 2 * STRUCTURE_BYTES + 16 + MESSAGE_BYTES,
  };

  const utf8Encoder = new TextEncoder();
  // A surrogate code unit that is not half of a pair (a pair is one code point in a "u" pattern).
  const LONE_SURROGATE = /\p{Surrogate}/u;
  const utf8Decoder = new TextDecoder();
  const BASE64_DIGITS = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

  // `bytes` in base64 with padding, the same in Node and browsers.
  function base64Of(bytes) {
    let text = "";
    for (let i = 0; i < bytes.length; i += 3) {
      const n = Math.min(3, bytes.length - i);
      const group = (bytes[i] << 16) | ((n > 1 ? bytes[i + 1] : 0) << 8) | (n > 2 ? bytes[i + 2] : 0);
      for (let k = 0; k < 4; k++) text += k <= n ? BASE64_DIGITS[(group >> (18 - 6 * k)) & 63] : "=";
    }
    return text;
  }

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
  let C = null; // the header's constants
  let levelNames = null; // the level letters by number
  const formatNumbers = new Map(); // format number by name

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
    const base = module._malloc(SCRATCH.bytes);
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

  // The fields of the kind named by the library's string at `kindAt`, in its table's order:
  // { name, help, takes (null but for text), default ("" for none), required, type ("text",
  // "choice" or "flag"), choices, multiline, maxCharacters (0: any) }.
  function payloadFields(kindAt) {
    const types = {
      [C.TESSERA_FIELD_TEXT]: "text",
      [C.TESSERA_FIELD_CHOICE]: "choice",
      [C.TESSERA_FIELD_FLAG]: "flag",
    };
    const fields = [];
    for (let index = 0; ; index++) {
      const text = (fact) => {
        const at = wasm._tessera_payload_field_text(kindAt, index, fact);
        return at === 0 ? null : cString(at);
      };
      const number = (fact) => wasm._tessera_payload_field_number(kindAt, index, fact);
      const name = text(C.TESSERA_FIELD_NAME);
      if (name === null) return fields;
      const choices = [];
      for (let at; (at = wasm._tessera_payload_field_choice(kindAt, index, choices.length)); )
        choices.push(cString(at));
      fields.push(
        Object.freeze({
          name,
          help: text(C.TESSERA_FIELD_HELP),
          takes: text(C.TESSERA_FIELD_TAKES),
          default: text(C.TESSERA_FIELD_DEFAULT),
          required: number(C.TESSERA_FIELD_REQUIRED) === 1,
          type: types[number(C.TESSERA_FIELD_KIND_OF_VALUE)],
          choices: Object.freeze(choices),
          multiline: number(C.TESSERA_FIELD_MULTILINE) === 1,
          maxCharacters: number(C.TESSERA_FIELD_MAX_CHARACTERS),
        }),
      );
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
    const checked = wasm._tessera_check_settings(scratch + SCRATCH.settings, at, MESSAGE_BYTES);
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

  // The (name, text) pairs of a payload's fields: strings as they are, numbers and booleans as
  // their text; undefined and null leave a field out.
  function fieldEntries(fields, caller) {
    if (typeof fields !== "object" || fields === null)
      throw new TypeError(`${caller}: the fields must be an object`);
    const entries = [];
    for (const [name, value] of Object.entries(fields)) {
      if (value === undefined || value === null) continue;
      if (!["string", "number", "boolean"].includes(typeof value))
        throw new TypeError(`${name} must be a string, a number or a boolean`);
      entries.push([name, String(value)]);
    }
    return entries;
  }

  // Calls `use(kind, names, values, count)` with the kind and the fields as C strings and arrays of
  // pointers to them in WebAssembly memory, freed when it returns or throws.
  function withFields(kind, fields, caller, use) {
    const strings = [kind, ...fieldEntries(fields, caller).flat()].map((text) => {
      const bytes = bytesOf(text);
      if (bytes.includes(0)) throw new RangeError(`${caller}: a field holds a NUL character`);
      return bytes;
    });
    const count = (strings.length - 1) / 2;
    const total = strings.reduce((sum, bytes) => sum + bytes.length + 1, 0);
    return withBuffer(total + 8 * count, (block) => {
      const pointers = [];
      let at = block + 8 * count;
      for (const bytes of strings) {
        wasm.HEAPU8.set(bytes, at);
        wasm.HEAPU8[at + bytes.length] = 0;
        pointers.push(at);
        at += bytes.length + 1;
      }
      for (let i = 0; i < count; i++) {
        wasm.HEAPU32[(block >> 2) + i] = pointers[1 + 2 * i];
        wasm.HEAPU32[(block >> 2) + count + i] = pointers[2 + 2 * i];
      }
      return use(pointers[0], block, block + 4 * count, count);
    });
  }

  // The text of the payload `kind` made from `fields` by the library, with the level (a letter or
  // null: any) and the largest version (or 0: any) of its symbol. Throws RangeError with the
  // library's reason, which names the field, when it refuses them.
  function buildPayload(kind, fields) {
    const caller = `payload.${kind}`;
    return withFields(kind, fields, caller, (kindAt, names, values, count) => {
      const sizeAt = scratch + SCRATCH.size;
      const levelAt = scratch + SCRATCH.used;
      const mostAt = scratch + SCRATCH.capacity;
      const at = scratch + SCRATCH.message;
      const query = (buffer, length) =>
        wasm._tessera_payload_build(kindAt, names, values, count, buffer, length, sizeAt,
          levelAt, mostAt, at, MESSAGE_BYTES);
      const status = query(0, 0);
      if (status === C.TESSERA_ERROR_BAD_ARGUMENT) throw new RangeError(cString(at));
      if (status !== C.TESSERA_ERROR_BUFFER_TOO_SMALL) check(status, caller);
      const length = wasm.HEAPU32[sizeAt >> 2];
      const text = withBuffer(length, (buffer) => {
        check(query(buffer, length), caller);
        return cString(buffer);
      });
      return {
        text,
        level: levelNames[wasm.HEAP32[levelAt >> 2]] ?? null,
        maxVersion: wasm.HEAP32[mostAt >> 2],
      };
    });
  }

  // Encodes the payload `kind` made from `fields` with `options` (make()'s) within its limits:
  // a payload that sets a level (a payment: M, at most version 13) takes exactly that level, its
  // text as bytes and no larger version, and options that ask otherwise are refused. Returns the
  // symbol as make() does. Throws RangeError for fields or options refused (the library's reason),
  // EncodeError when the text does not fit.
  function makePayload(kind, fields, options) {
    if (!wasm) return ready().then(() => makePayload(kind, fields, options));
    const built = buildPayload(kind, fields);
    writeSettings(settingValues(options));
    withFields(kind, fields, "makePayload", (kindAt, names, values, count) => {
      const at = scratch + SCRATCH.message;
      const pointerAt = scratch + SCRATCH.pointer;
      const status = wasm._tessera_payload_encode(kindAt, names, values, count,
        scratch + SCRATCH.settings, pointerAt, at, MESSAGE_BYTES);
      if (status === C.TESSERA_OK) wasm._tessera_symbol_free(wasm.HEAPU32[pointerAt >> 2]);
      else if (status === C.TESSERA_ERROR_BAD_ARGUMENT) throw new RangeError(cString(at));
      else if (status === C.TESSERA_ERROR_CANNOT_ENCODE) throw new EncodeError(cString(at), status);
      else check(status, "makePayload");
    });
    return encode(built.text, built.level ? { ...options, level: built.level } : options);
  }

  class QrSymbol {
    #data;
    #settings;
    #fill;

    constructor(fields, data, settings, fill) {
      Object.assign(this, fields);
      this.#data = data;
      this.#settings = settings;
      this.#fill = fill;
    }

    // The symbol as SVG text; options: scale, margin, dark, light.
    toSVG(options) {
      return utf8Decoder.decode(this.#render("svg", options, "toSVG"));
    }

    // The symbol as the bytes of a PNG file; options: scale, margin, dark, light, dpi.
    toPNG(options) {
      return this.#render("png", options, "toPNG");
    }

    // The symbol as the bytes of a 1-bit BMP file; options: scale, margin, dark, light, dpi.
    toBMP(options) {
      return this.#render("bmp", options, "toBMP");
    }

    // The bits the data takes in this symbol and the data bits its version holds at its level:
    // { used, capacity }.
    dataBits() {
      return { ...this.#fill };
    }

    // The symbol in any format the library names ("png", "svg", "txt", ...) as bytes (text as
    // UTF-8); options: scale, margin, dark, light, dpi, as the format takes them.
    toBytes(kind, options) {
      return this.#render(kind, options, "toBytes");
    }

    // The symbol as a data URI ("data:image/png;base64,..."), for img src and CSS: toBytes(kind,
    // options) with the format's media type from the library.
    toDataURL(kind = "png", options) {
      const bytes = this.#render(kind, options, "toDataURL");
      const media = cString(wasm._tessera_format_media_type(formatNumber(kind, "toDataURL")));
      return `data:${media};base64,${base64Of(bytes)}`;
    }

    // Whether the symbol, drawn as toBytes(kind, options) draws it, still reads: sampled at every
    // module's centre, the changes weighed per block against its error correction, with the
    // contrast, quiet zone and printed size checked. { verdict: "reads" | "warnings" |
    // "unreadable", problems: [one line each] }.
    verify(kind = "png", options) {
      return this.#draw(kind, options, "verify", (pointer, number, optionsAt, styleAt) => {
        const verdictAt = scratch + SCRATCH.size;
        return withBuffer(4 * MESSAGE_BYTES, (text) => {
          const status = wasm._tessera_verify(pointer, number, optionsAt, styleAt, verdictAt, text,
                                              4 * MESSAGE_BYTES);
          if (status === C.TESSERA_ERROR_BAD_ARGUMENT)
            throw new RangeError(`verify: ${cString(text)}`);
          if (status !== C.TESSERA_ERROR_BUFFER_TOO_SMALL) check(status, "verify");
          const lines = cString(text).split("\n").filter((line) => line !== "");
          return { verdict: VERDICTS[wasm.HEAP32[verdictAt >> 2]], problems: lines };
        });
      });
    }

    #render(kind, options, caller) {
      return this.#draw(kind, options, caller, (pointer, number, optionsAt, styleAt) => {
        const sizeAt = scratch + SCRATCH.size;
        const query = wasm._tessera_render_styled(pointer, number, optionsAt, styleAt, 0, 0, sizeAt);
        if (query !== C.TESSERA_ERROR_BUFFER_TOO_SMALL) check(query, caller);
        const length = wasm.HEAPU32[sizeAt >> 2];
        return withBuffer(length, (buffer) => {
          check(wasm._tessera_render_styled(pointer, number, optionsAt, styleAt, buffer, length,
                                            sizeAt), caller);
          return wasm.HEAPU8.slice(buffer, buffer + length);
        });
      });
    }

    // Calls `use` with the C symbol, the format's number, the render options and the style (its
    // `style` option: parts by the command's flag names, { shape: "dot", "data-dark": "1F2937" },
    // and a logo, title and desc handed over as they are), all checked: RangeError names what is
    // refused.
    #draw(kind, options, caller, use) {
      const number = formatNumber(kind, caller);
      if (options !== undefined && options !== null && typeof options !== "object")
        throw new TypeError(`${caller}: options must be an object`);
      const { style, ...render } = options ?? {};
      writeRenderOptions(render, caller);
      const optionsAt = scratch + SCRATCH.options;
      const at = scratch + SCRATCH.message;
      const checked = wasm._tessera_check_render_options(number, optionsAt, at, MESSAGE_BYTES);
      if (checked === C.TESSERA_ERROR_BAD_ARGUMENT)
        throw new RangeError(`${caller}: ${cString(at)}`);
      check(checked, caller);
      if (!wasm._tessera_format_available(number)) {
        throw new Error(`${caller}: ${kind} output is not available in this build of the library`);
      }
      writeSettings(this.#settings);
      if (style !== undefined && style !== null && typeof style !== "object")
        throw new TypeError(`${caller}: style must be an object`);
      const { logo, title, desc, ...parts } = style ?? {};
      const handed = handedOver({ logo, title, desc }, caller);
      const handedBytes = Object.values(handed).reduce((sum, bytes) => sum + bytes.length, 0);
      return withBuffer(STYLE_BYTES + handedBytes, (styleAt) => {
        writeStyle(styleAt, parts, caller);
        let next = styleAt + STYLE_BYTES;
        for (const [name, bytes] of Object.entries(handed)) {
          wasm.HEAPU8.set(bytes, next);
          wasm.HEAPU32[(styleAt + STYLE_POINTERS[name]) >> 2] = next;
          if (name === "logo") wasm.HEAPU32[(styleAt + STYLE_POINTERS.logo + 4) >> 2] = bytes.length;
          next += bytes.length;
        }
        return withEncoded(this.#data, this.#settings, (pointer) => {
          const refused = wasm._tessera_check_style(pointer, number, optionsAt, styleAt, at,
                                                    MESSAGE_BYTES);
          if (refused === C.TESSERA_ERROR_BAD_ARGUMENT)
            throw new RangeError(`${caller}: ${cString(at)}`);
          check(refused, caller);
          return use(pointer, number, optionsAt, styleAt);
        });
      });
    }
  }

  // The bytes of the parts of a style handed over as they are, by name: a logo (a PNG as bytes,
  // an SVG as text or bytes) and an SVG's title and description (text, ended by a NUL). Parts
  // not given are left out; a part of the wrong kind is a TypeError.
  function handedOver(parts, caller) {
    const bytes = {};
    for (const [name, value] of Object.entries(parts)) {
      if (value === undefined || value === null) continue;
      if (typeof value === "string") {
        if (LONE_SURROGATE.test(value))
          throw new RangeError(`${caller}: style.${name} has a lone surrogate, which has no UTF-8`);
        bytes[name] = utf8Encoder.encode(name === "logo" ? value : `${value}\u0000`);
      } else if (name === "logo" && (value instanceof Uint8Array || value instanceof ArrayBuffer))
        bytes[name] = new Uint8Array(value);
      else
        throw new TypeError(`${caller}: style.${name} must be ${name === "logo" ? "bytes or SVG text" : "text"}`);
    }
    return bytes;
  }

  // Fills the style record at `at` from `style`: each part set by name through the library, which
  // refuses (RangeError) what it does not take.
  function writeStyle(at, style, caller) {
    wasm._tessera_style_options_init_sized(at, STYLE_BYTES);
    for (const [name, value] of Object.entries(style)) {
      if (value === undefined || value === null) continue;
      const text = utf8Encoder.encode(`${name}\0${Array.isArray(value) ? value.join(",") : value}\0`);
      const status = withBuffer(text.length + MESSAGE_BYTES, (buffer) => {
        wasm.HEAPU8.set(text, buffer);
        const split = text.indexOf(0);
        return wasm._tessera_style_set(at, buffer, buffer + split + 1, scratch + SCRATCH.message,
                                       MESSAGE_BYTES);
      });
      if (status === C.TESSERA_ERROR_BAD_ARGUMENT)
        throw new RangeError(`${caller}: ${cString(scratch + SCRATCH.message)}`);
      check(status, caller);
    }
  }

  // Encodes `bytes` with the setting `values` and calls `use` with the C symbol, which is freed
  // when `use` returns or throws. Throws EncodeError or RangeError when the data cannot be encoded.
  function withEncoded(bytes, values, use) {
    return withBuffer(bytes.length, (buffer) => {
      wasm.HEAPU8.set(bytes, buffer);
      const settingsAt = scratch + SCRATCH.settings;
      const status = wasm._tessera_encode(
        buffer,
        bytes.length,
        settingsAt,
        scratch + SCRATCH.pointer,
      );
      if (status !== C.TESSERA_OK) throw encodeFailure(status, buffer, bytes.length);
      const pointer = wasm.HEAPU32[(scratch + SCRATCH.pointer) >> 2];
      try {
        return use(pointer);
      } finally {
        wasm._tessera_symbol_free(pointer);
      }
    });
  }

  // Calls `use` with `length` bytes of WebAssembly memory, freed when it returns or throws.
  function withBuffer(length, use) {
    const buffer = wasm._malloc(Math.max(length, 1));
    if (!buffer) throw new Error(statusMessage(C.TESSERA_ERROR_NO_MEMORY));
    try {
      return use(buffer);
    } finally {
      wasm._free(buffer);
    }
  }

  // The error for a failed tessera_encode() (the settings are checked before): the library's own
  // sentence for data that does not fit.
  function encodeFailure(status, buffer, length) {
    if (status === C.TESSERA_ERROR_CANNOT_ENCODE)
      return new EncodeError(explain(buffer, length), status);
    return new Error(statusMessage(status));
  }

  function explain(buffer, length) {
    const at = scratch + SCRATCH.message;
    const settingsAt = scratch + SCRATCH.settings;
    const status = wasm._tessera_explain_encode_failure(
      buffer,
      length,
      settingsAt,
      at,
      MESSAGE_BYTES,
    );
    if (status !== C.TESSERA_OK && status !== C.TESSERA_ERROR_BUFFER_TOO_SMALL) {
      return statusMessage(status);
    }
    return cString(at);
  }

  function check(status, what) {
    if (status === C.TESSERA_OK) return;
    const message = `${what}: ${statusMessage(status)}`;
    throw status === C.TESSERA_ERROR_BAD_ARGUMENT ? new RangeError(message) : new Error(message);
  }

  function statusMessage(status) {
    return cString(wasm._tessera_status_message(status));
  }

  function cString(at) {
    const heap = wasm.HEAPU8;
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
      if (name.length > MESSAGE_BYTES || kind.includes("\0")) number = -1;
      else {
        wasm.HEAPU8.set(name, scratch + SCRATCH.message);
        number = wasm._tessera_format_from_name(scratch + SCRATCH.message);
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
    if (bytes.length <= MESSAGE_BYTES && !name.includes("\0")) {
      wasm.HEAPU8.set(bytes, scratch + SCRATCH.message);
      number = wasm._tessera_rmqr_version(scratch + SCRATCH.message);
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
        ? C[LEVEL_PREFIX + value.toUpperCase()]
        : undefined;
    if (number === undefined) {
      throw new RangeError(
        `the level must be one of ${levelNames.join(", ")}, not ${JSON.stringify(value)}`,
      );
    }
    return number;
  }

  function writeSettings(values) {
    const at = scratch + SCRATCH.settings;
    wasm._tessera_settings_init_sized(at, SETTINGS_BYTES);
    for (const name of Object.keys(values))
      wasm.HEAP32[(at + SETTINGS_FIELDS[name]) >> 2] = values[name];
  }

  function writeRenderOptions(options, caller) {
    const at = scratch + SCRATCH.options;
    wasm._tessera_render_options_init_sized(at, RENDER_BYTES);
    for (const [name, value] of entriesOf(options, RENDER_FIELDS, caller)) {
      if (COLOURS.has(name)) wasm.HEAPU32[(at + RENDER_FIELDS[name]) >> 2] = colour(value, name);
      else wasm.HEAP32[(at + RENDER_FIELDS[name]) >> 2] = integer(value, name);
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
  // regions: ["finder-dark", ...], settings: ["shape", "finder", ..., "size"] } (the names the
  // `style` option takes, and the values of shape and finder).
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
    };
  }

  // The top of the module's heap in bytes: what its allocator has taken from WebAssembly memory.
  // It grows only when memory is not handed back (or when more is needed at once than before).
  function heapBytes() {
    if (!wasm) throw new Error("tessera: the module is not loaded yet (await ready())");
    return wasm._sbrk(0) >>> 0;
  }

  return { make, makePayload, payload, ready, formats, styles, heapBytes, EncodeError, QrSymbol };
});
