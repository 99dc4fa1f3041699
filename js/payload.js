// tessera for JavaScript, its payloads: the fields of each kind as the library's table describes
// them, and the text of a kind made from fields (payload.wifi({ ssid, ... })) and encoded within
// the limits it sets its symbol (makePayload). A part of index.js, which hands it the shared `lib`.
"use strict";

(function (root, part) {
  if (typeof module === "object" && module.exports) module.exports = part;
  else (root.tesseraParts = root.tesseraParts || {}).payload = part;
})(typeof globalThis !== "undefined" ? globalThis : this, function (lib) {
  const {
    EncodeError, SCRATCH, bytesOf, cString, check, encode, ready, settingValues,
    withBuffer, writeSettings
  } = lib;

  // The fields of the kind named by the library's string at `kindAt`, in its table's order:
  // { name, help, takes (null but for text), default ("" for none), required, type ("text",
  // "choice" or "flag"), choices, multiline, maxCharacters (0: any) }.
  function payloadFields(kindAt) {
    const types = {
      [lib.C.TESSERA_FIELD_TEXT]: "text",
      [lib.C.TESSERA_FIELD_CHOICE]: "choice",
      [lib.C.TESSERA_FIELD_FLAG]: "flag",
    };
    const fields = [];
    for (let index = 0; ; index++) {
      const text = (fact) => {
        const at = lib.wasm._tessera_payload_field_text(kindAt, index, fact);
        return at === 0 ? null : cString(at);
      };
      const number = (fact) => lib.wasm._tessera_payload_field_number(kindAt, index, fact);
      const name = text(lib.C.TESSERA_FIELD_NAME);
      if (name === null) return fields;
      const choices = [];
      for (let at; (at = lib.wasm._tessera_payload_field_choice(kindAt, index, choices.length)); )
        choices.push(cString(at));
      fields.push(
        Object.freeze({
          name,
          help: text(lib.C.TESSERA_FIELD_HELP),
          takes: text(lib.C.TESSERA_FIELD_TAKES),
          default: text(lib.C.TESSERA_FIELD_DEFAULT),
          required: number(lib.C.TESSERA_FIELD_REQUIRED) === 1,
          type: types[number(lib.C.TESSERA_FIELD_KIND_OF_VALUE)],
          choices: Object.freeze(choices),
          multiline: number(lib.C.TESSERA_FIELD_MULTILINE) === 1,
          maxCharacters: number(lib.C.TESSERA_FIELD_MAX_CHARACTERS),
        }),
      );
    }
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
        lib.wasm.HEAPU8.set(bytes, at);
        lib.wasm.HEAPU8[at + bytes.length] = 0;
        pointers.push(at);
        at += bytes.length + 1;
      }
      for (let i = 0; i < count; i++) {
        lib.wasm.HEAPU32[(block >> 2) + i] = pointers[1 + 2 * i];
        lib.wasm.HEAPU32[(block >> 2) + count + i] = pointers[2 + 2 * i];
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
      const sizeAt = lib.scratch + SCRATCH.size;
      const levelAt = lib.scratch + SCRATCH.used;
      const mostAt = lib.scratch + SCRATCH.capacity;
      const at = lib.scratch + SCRATCH.message;
      const query = (buffer, length) =>
        lib.wasm._tessera_payload_build(kindAt, names, values, count, buffer, length, sizeAt,
          levelAt, mostAt, at, lib.messageBytes);
      const status = query(0, 0);
      if (status === lib.C.TESSERA_ERROR_BAD_ARGUMENT) throw new RangeError(cString(at));
      if (status !== lib.C.TESSERA_ERROR_BUFFER_TOO_SMALL) check(status, caller);
      const length = lib.wasm.HEAPU32[sizeAt >> 2];
      const text = withBuffer(length, (buffer) => {
        check(query(buffer, length), caller);
        return cString(buffer);
      });
      return {
        text,
        level: lib.levelNames[lib.wasm.HEAP32[levelAt >> 2]] ?? null,
        maxVersion: lib.wasm.HEAP32[mostAt >> 2],
      };
    });
  }

  // Encodes the payload `kind` made from `fields` with `options` (make()'s) within its limits:
  // a payload that sets a level (a payment: M, at most version 13) takes exactly that level, its
  // text as bytes and no larger version, and options that ask otherwise are refused. Returns the
  // symbol as make() does. Throws RangeError for fields or options refused (the library's reason),
  // EncodeError when the text does not fit.
  function makePayload(kind, fields, options) {
    if (!lib.wasm) return ready().then(() => makePayload(kind, fields, options));
    const built = buildPayload(kind, fields);
    writeSettings(settingValues(options));
    withFields(kind, fields, "makePayload", (kindAt, names, values, count) => {
      const at = lib.scratch + SCRATCH.message;
      const pointerAt = lib.scratch + SCRATCH.pointer;
      const status = lib.wasm._tessera_payload_encode(kindAt, names, values, count,
        lib.scratch + SCRATCH.settings, pointerAt, at, lib.messageBytes);
      if (status === lib.C.TESSERA_OK) lib.wasm._tessera_symbol_free(lib.wasm.HEAPU32[pointerAt >> 2]);
      else if (status === lib.C.TESSERA_ERROR_BAD_ARGUMENT) throw new RangeError(cString(at));
      else if (status === lib.C.TESSERA_ERROR_CANNOT_ENCODE) throw new EncodeError(cString(at), status);
      else check(status, "makePayload");
    });
    return encode(built.text, built.level ? { ...options, level: built.level } : options);
  }

  return { buildPayload, makePayload, payloadFields };
});
