// tessera for JavaScript, its symbols: QrSymbol, a finished symbol's facts and modules, its bytes
// in any format, plain or styled (the style written into the module's record by name), and what
// tessera_verify() says of them. A part of index.js, which hands it the shared `lib`.
"use strict";

(function (root, part) {
  if (typeof module === "object" && module.exports) module.exports = part;
  else (root.tesseraParts = root.tesseraParts || {}).symbol = part;
})(typeof globalThis !== "undefined" ? globalThis : this, function (lib) {
  const {
    LONE_SURROGATE, SCRATCH, STYLE_BYTES, STYLE_POINTERS, cString, check,
    formatNumber, utf8Decoder, utf8Encoder, withBuffer, withEncoded, withRoom, writeRenderOptions,
    writeSettings
  } = lib;

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
      const media = cString(lib.wasm._tessera_format_media_type(formatNumber(kind, "toDataURL")));
      return `data:${media};base64,${base64Of(bytes)}`;
    }

    // Whether the symbol, drawn as toBytes(kind, options) draws it, still reads: sampled at every
    // module's centre, the changes weighed per block against its error correction, with the
    // contrast, quiet zone and printed size checked. { verdict: "reads" | "warnings" |
    // "unreadable", problems: [one line each] }.
    verify(kind = "png", options) {
      return this.#draw(kind, options, "verify", (pointer, number, optionsAt, styleAt) => {
        const verdictAt = lib.scratch + SCRATCH.size;
        return withBuffer(4 * lib.messageBytes, (text) => {
          const status = lib.wasm._tessera_verify(pointer, number, optionsAt, styleAt, verdictAt, text,
                                              4 * lib.messageBytes);
          if (status === lib.C.TESSERA_ERROR_BAD_ARGUMENT)
            throw new RangeError(`verify: ${cString(text)}`);
          if (status !== lib.C.TESSERA_ERROR_BUFFER_TOO_SMALL) check(status, "verify");
          const lines = cString(text).split("\n").filter((line) => line !== "");
          return { verdict: verdictName(lib.wasm.HEAP32[verdictAt >> 2]), problems: lines };
        });
      });
    }

    #render(kind, options, caller) {
      return this.#draw(kind, options, caller, (pointer, number, optionsAt, styleAt) => {
        const sizeAt = lib.scratch + SCRATCH.size;
        const render = (at, room) =>
          lib.wasm._tessera_render_styled(pointer, number, optionsAt, styleAt, at, room, sizeAt);
        // Most symbols' bytes fit the kept room: one render. Others are drawn again into room
        // of the size the first call reported.
        const copy = (at, room) => {
          const status = render(at, room);
          if (status === lib.C.TESSERA_ERROR_BUFFER_TOO_SMALL) return null;
          check(status, caller);
          return lib.wasm.HEAPU8.slice(at, at + lib.wasm.HEAPU32[sizeAt >> 2]);
        };
        const first = withRoom(0, copy);
        if (first !== null) return first;
        const length = lib.wasm.HEAPU32[sizeAt >> 2];
        return withRoom(length, (at, room) => {
          check(render(at, room), caller);
          return lib.wasm.HEAPU8.slice(at, at + length);
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
      const optionsAt = lib.scratch + SCRATCH.options;
      const at = lib.scratch + SCRATCH.message;
      const checked = lib.wasm._tessera_check_render_options(number, optionsAt, at, lib.messageBytes);
      if (checked === lib.C.TESSERA_ERROR_BAD_ARGUMENT)
        throw new RangeError(`${caller}: ${cString(at)}`);
      check(checked, caller);
      if (!lib.wasm._tessera_format_available(number)) {
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
          lib.wasm.HEAPU8.set(bytes, next);
          lib.wasm.HEAPU32[(styleAt + STYLE_POINTERS[name]) >> 2] = next;
          if (name === "logo") lib.wasm.HEAPU32[(styleAt + STYLE_POINTERS.logo + 4) >> 2] = bytes.length;
          next += bytes.length;
        }
        return withEncoded(this.#data, this.#settings, (pointer) => {
          const refused = lib.wasm._tessera_check_style(pointer, number, optionsAt, styleAt, at,
                                                    lib.messageBytes);
          if (refused === lib.C.TESSERA_ERROR_BAD_ARGUMENT)
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
    lib.wasm._tessera_style_options_init_sized(at, STYLE_BYTES);
    for (const [name, value] of Object.entries(style)) {
      if (value === undefined || value === null) continue;
      const text = utf8Encoder.encode(`${name}\0${Array.isArray(value) ? value.join(",") : value}\0`);
      const status = withBuffer(text.length + lib.messageBytes, (buffer) => {
        lib.wasm.HEAPU8.set(text, buffer);
        const split = text.indexOf(0);
        return lib.wasm._tessera_style_set(at, buffer, buffer + split + 1, lib.scratch + SCRATCH.message,
                                       lib.messageBytes);
      });
      if (status === lib.C.TESSERA_ERROR_BAD_ARGUMENT)
        throw new RangeError(`${caller}: ${cString(lib.scratch + SCRATCH.message)}`);
      check(status, caller);
    }
  }

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

  // tessera_verify()'s verdict `number` as a word: "reads" for TESSERA_VERIFY_READS, ...
  function verdictName(number) {
    const prefix = "TESSERA_VERIFY_";
    const name = Object.keys(lib.C).find((key) => key.startsWith(prefix) && lib.C[key] === number);
    return name.slice(prefix.length).toLowerCase();
  }

  return { QrSymbol };
});
