// The package's contract: require and import, a Promise on the first call and the symbol after,
// data as text or bytes, and the bits a symbol's data takes.
"use strict";
const test = require("node:test");
const assert = require("node:assert/strict");
const { execFileSync } = require("node:child_process");
const path = require("node:path");
const tessera = require("../../js");

// The package's folder, and require() as a file inside it has it: the package's own name
// resolves there as it does for its users.
const PACKAGE = path.join(__dirname, "..", "..", "js");
const inPackage = require("node:module").createRequire(path.join(PACKAGE, "package.json"));

test("the first make() gives a Promise, later ones the symbol", async () => {
  const first = tessera.make("first");
  assert.ok(first instanceof Promise);
  const symbol = await first;
  assert.ok(symbol instanceof tessera.QrSymbol);
  assert.ok(tessera.make("second") instanceof tessera.QrSymbol);
  assert.deepEqual([symbol.version, symbol.level, symbol.size, symbol.micro], [1, "M", 21, false]);
});

test("require and import, by path and by the package's name, give the same functions", async () => {
  const imported = await import("../../js/index.mjs");
  for (const other of [imported, imported.default, inPackage("tessera-qr")]) {
    assert.equal(other.make, tessera.make);
    assert.equal(other.EncodeError, tessera.EncodeError);
  }
  // import by name, in a module of the package's folder: the module that import by path gives.
  const script =
    'const [a, b] = await Promise.all([import("tessera-qr"), import("./index.mjs")]);' +
    "console.log(a.make === b.make && a.default.make === b.make);";
  const same = execFileSync(process.execPath, ["--input-type=module", "-e", script], {
    cwd: PACKAGE,
    encoding: "utf8",
  });
  assert.equal(same.trim(), "true");
});

test("text is UTF-8; bytes, Buffers and ArrayBuffers are taken as they are", async () => {
  await tessera.ready();
  const utf8 = [0xc3, 0xa9, 0x20, 0xe6, 0xbc, 0xa2];
  const expected = tessera.make("é 漢").modules;
  for (const data of [
    Uint8Array.from(utf8),
    Buffer.from(utf8),
    Uint8Array.from(utf8).buffer,
    new DataView(Uint8Array.from([0, ...utf8]).buffer, 1),
  ]) {
    assert.deepEqual(tessera.make(data).modules, expected);
  }
  assert.notDeepEqual(tessera.make("é 漢", { utf8: true }).modules, expected);
});

test("formats(): the library's formats and the extensions of their files", async () => {
  await tessera.ready();
  const formats = tessera.formats();
  assert.deepEqual(formats[0], { name: "bmp", extension: "bmp" });
  assert.deepEqual(
    formats.filter(({ name }) => ["utf8", "pbm", "pbm-plain"].includes(name)),
    [
      { name: "utf8", extension: null },
      { name: "pbm", extension: "pbm" },
      { name: "pbm-plain", extension: "pbm" },
    ],
  );
});

test("limits(): the library's rows, each the edge of what it takes", async () => {
  await tessera.ready();
  const limits = tessera.limits();
  const symbol = tessera.make("edges");
  for (const [option, row] of [
    ["margin", "margin"],
    ["scale", "scale"],
    ["dpi", "dpi"],
  ]) {
    const { [`${row}.low`]: low, [`${row}.high`]: high } = limits;
    assert.ok(symbol.toPNG({ [option]: low }) && symbol.toPNG({ [option]: high }), option);
    assert.throws(() => symbol.toPNG({ [option]: high + 1 }), RangeError, option);
  }
  assert.equal(limits["light.default"], 0xffffffff);
  // The logo's size, and the gradient kinds as the page offers them.
  const logo = tessera.make("1").toPNG({ margin: 0 });
  const held = tessera.make("edges", { level: "H" });
  assert.ok(held.toPNG({ style: { logo, "logo-size": limits["logo.low"] } }));
  assert.throws(() => held.toPNG({ style: { logo, "logo-size": limits["logo.high"] + 1 } }),
                { name: "RangeError",
                  message: new RegExp(`${limits["logo.low"]}-${limits["logo.high"]} \\(default ${limits["logo.default"]}\\)`) });
  for (const kind of tessera.styles().gradients)
    assert.match(held.toSVG({ style: { gradient: `${kind}:000000,333333` } }), /Gradient/, kind);
  assert.throws(() => held.toSVG({ style: { gradient: "conic:000000,333333" } }), RangeError);
});

test("a symbol keeps its own copy of the bytes it was made from", async () => {
  await tessera.ready();
  const bytes = new TextEncoder().encode("the caller's bytes");
  const symbol = tessera.make(bytes);
  const png = symbol.toPNG();
  bytes.fill(0x41);
  assert.deepEqual(symbol.toPNG(), png);
  assert.deepEqual(symbol.modules, tessera.make("the caller's bytes").modules);
  // Pairs of surrogates are one character: a smiling face in four UTF-8 bytes.
  assert.deepEqual(
    tessera.make("\ud83d\ude00").modules,
    tessera.make(Uint8Array.of(0xf0, 0x9f, 0x98, 0x80)).modules,
  );
});

test("dataBits: the stream's bits against the version's data bits", async () => {
  await tessera.ready();
  // 8 digits at 1-L: mode 4 + count 10 + 3 + 3 digits in 10 bits each + 2 digits in 7 bits; 19
  // data codewords. "AB" at 1-H: 4 + 9 + 11; 9 codewords.
  assert.deepEqual(tessera.make("12345678", { level: "L" }).dataBits(), {
    used: 41,
    capacity: 152,
  });
  assert.deepEqual(tessera.make("AB", { level: "H" }).dataBits(), { used: 24, capacity: 72 });
});

test("toDataURL: the format's media type and its bytes in base64, as Node's encoder gives them", async () => {
  const symbol = await tessera.make("data URI");
  for (const [kind, media] of [["png", "image/png"], ["svg", "image/svg+xml"], ["bmp", "image/bmp"],
                               ["pdf", "application/pdf"], ["utf8", "application/octet-stream"]]) {
    const bytes = symbol.toBytes(kind, { margin: 1 });
    assert.equal(symbol.toDataURL(kind, { margin: 1 }),
                 `data:${media};base64,${Buffer.from(bytes).toString("base64")}`, kind);
  }
  assert.match(symbol.toDataURL(), /^data:image\/png;base64,iVBORw0KGgo/);
  assert.throws(() => symbol.toDataURL("jpeg"), RangeError);
});

test("styles by the command's flag names, refused as the command refuses them, and verify", async () => {
  const symbol = await tessera.make("https://example.com/styled", { level: "H" });
  const { shapes, finders, regions, settings } = tessera.styles();
  assert.deepEqual(shapes, ["square", "dot", "rounded", "classy", "diamond", "hbars", "vbars"]);
  assert.deepEqual(finders, ["square", "rounded", "dot"]);
  assert.deepEqual([regions.length, regions[0], regions[13]], [14, "finder-dark", "quiet-zone"]);
  assert.deepEqual(settings.slice(0, 2), ["shape", "finder"]);
  const dots = symbol.toPNG({ scale: 8, style: { shape: "dot", finder: "rounded", "data-dark": "1F2937" } });
  assert.notDeepEqual(dots, symbol.toPNG({ scale: 8 }));
  assert.deepEqual(symbol.toPNG({ scale: 8, style: { shape: "square" } }), symbol.toPNG({ scale: 8 }));
  assert.deepEqual(symbol.verify("png", { style: { shape: "dot" } }), { verdict: "reads", problems: [] });
  const grey = symbol.verify("png", { dark: "BBBBBB" });
  assert.equal(grey.verdict, "unreadable");
  assert.match(grey.problems[0], /contrast/);
  assert.throws(() => symbol.toSVG({ style: { shape: "star" } }),
                { name: "RangeError", message: /^toSVG: shape takes square, dot, .* not 'star'$/ });
  assert.throws(() => symbol.toBytes("txt", { style: { shape: "dot" } }),
                { name: "RangeError", message: "toBytes: txt output takes no styles" });
  // A logo, a title and a description are handed over as they are: SVG text embedded whole, PNG
  // bytes (here the library's own PNG of a small symbol) drawn, too large a logo refused.
  const logoSvg = '<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 2 2"><circle r="1"/></svg>';
  const svg = symbol.toSVG({ style: { logo: logoSvg, title: "Our site", desc: "A <link>" } });
  for (const part of ['role="img"', 'aria-label="Our site"', "<title>Our site</title>",
                      "<desc>A &lt;link&gt;</desc>",
                      `href="data:image/svg+xml;base64,${Buffer.from(logoSvg).toString("base64")}"`])
    assert.ok(svg.includes(part), part);
  const logoPng = tessera.make("1").toPNG({ margin: 0 });
  const withLogo = symbol.toPNG({ scale: 8, style: { logo: logoPng } });
  assert.notDeepEqual(withLogo, symbol.toPNG({ scale: 8 }));
  assert.deepEqual(symbol.toPNG({ scale: 8, style: { logo: logoPng.buffer } }), withLogo);
  assert.deepEqual(symbol.verify("png", { style: { logo: logoPng } }), { verdict: "reads", problems: [] });
  assert.throws(() => symbol.toPNG({ style: { logo: logoPng, "logo-size": 60 } }),
                { name: "RangeError", message: /^toPNG: a logo of 60% hides more .* is the largest that fits$/ });
  assert.throws(() => symbol.toSVG({ style: { title: 5 } }),
                { name: "TypeError", message: "toSVG: style.title must be text" });
  const rmqr = tessera.make("https://example.com/styled", { rmqr: true });
  assert.deepEqual(rmqr.verify("png", { style: { shape: "dot" } }), { verdict: "reads", problems: [] });
  assert.notDeepEqual(rmqr.toPNG({ style: { shape: "dot" } }), rmqr.toPNG());
});

test("rMQR by name, height or box, and GS1: the library's facts and cells", async () => {
  await tessera.ready();
  const { make } = tessera;
  const r = make("12345", { version: "r7X43" });
  assert.deepEqual(
    [r.rmqr, r.micro, r.version, r.level, r.size, r.height],
    [true, false, 1, "M", 43, 7],
  );
  // Row by row: the top row is the finder's, timing, an alignment pattern and the corner.
  const top = [...r.modules.subarray(0, 43)].map((c) => (c ? "#" : ".")).join("");
  assert.equal(top, "#######.#.#.#.#.#.#.###.#.#.#.#.#.#.#.#.###");
  // A quiet zone of 2: 47 x 11 modules of text, two characters a module.
  const text = new TextDecoder().decode(r.toBytes("txt")).split("\n");
  assert.deepEqual([text[0].length, text.length - 1], [94, 11]);
  const tall = make("12345", { rmqrHeight: 17, level: "H" });
  assert.deepEqual([tall.rmqr, tall.size, tall.height, tall.level], [true, 43, 17, "H"]);
  const gs1 = make("[01]09501101530003[17]261231[10]ABC", { gs1: true, version: 2, strict: true });
  assert.deepEqual([gs1.gs1, gs1.rmqr, gs1.size, gs1.height], [true, false, 25, 25]);
  const fitted = make("1234567890", { fit: [50, 12] });
  assert.deepEqual([fitted.rmqr, fitted.size, fitted.height], [true, 43, 7]);
});
