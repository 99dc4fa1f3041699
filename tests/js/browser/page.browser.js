// The generator page (web/index.html from file://) in headless Chromium, driven by puppeteer-core:
// typed text comes back from a screenshot of the preview through zxing-cpp, the shown level
// follows the control, data that does not fit gets a message, the downloads (a button for each of
// the library's formats that makes files) read back, and the page asks for nothing beyond its own
// files. Run by .ci/stages/50-js.sh.
"use strict";
const test = require("node:test");
const assert = require("node:assert/strict");
const { execFileSync } = require("node:child_process");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const { pathToFileURL } = require("node:url");
// puppeteer-core is installed in the package's folder (npm ci in js/).
const puppeteer = require("node:module").createRequire(
  path.join(__dirname, "..", "..", "..", "js", "package.json"),
)("puppeteer-core");

const PAGE = pathToFileURL(path.resolve(__dirname, "..", "..", "..", "web", "index.html")).href;
const CHROMIUM = process.env.TESSERA_CHROMIUM || "/usr/bin/chromium";
// Chromium as root needs --no-sandbox; the others keep it from reaching out to the network.
const CHROMIUM_FLAGS = [
  "--no-sandbox",
  "--disable-gpu",
  "--disable-quic",
  "--no-first-run",
  "--disable-background-networking",
  "--disable-component-update",
  "--disable-sync",
];
const LOCAL_SCHEMES = new Set(["file:", "data:", "blob:"]);
const TYPED = "tessera typed this: Grüße, 世界 #42";

let browser;
let page;
let folder;
const foreign = []; // requests for anything but the page's own files

// The texts zxing-cpp reads in the image file at `file`.
function read(file) {
  const output = execFileSync("/usr/bin/python3", [path.join(__dirname, "read_qr.py"), file], {
    encoding: "utf8",
  });
  return JSON.parse(output);
}

async function previewTexts(name) {
  await page.waitForFunction(() => {
    const image = document.querySelector("#symbol");
    return image.complete && image.naturalWidth > 0;
  });
  const file = path.join(folder, name);
  await (await page.$("#preview")).screenshot({ path: file });
  return read(file);
}

async function setText(text) {
  await page.$eval(
    "#text",
    (area, value) => {
      area.value = value;
      area.dispatchEvent(new Event("input"));
    },
    text,
  );
}

test.before(async () => {
  folder = fs.mkdtempSync(path.join(os.tmpdir(), "tessera-page-"));
  browser = await puppeteer.launch({
    executablePath: CHROMIUM,
    headless: true,
    args: CHROMIUM_FLAGS,
    userDataDir: path.join(folder, "profile"),
  });
  page = await browser.newPage();
  await page.setViewport({ width: 1100, height: 900 });
  await page.setRequestInterception(true);
  page.on("request", (request) => {
    if (LOCAL_SCHEMES.has(new URL(request.url()).protocol)) return request.continue();
    foreign.push(request.url());
    return request.abort();
  });
  await page.goto(PAGE);
  await page.waitForSelector("body[data-state=ready]", { timeout: 20000 });
});

test.after(async () => {
  if (browser) await browser.close();
  fs.rmSync(folder, { recursive: true, force: true });
});

test("typed text comes back from the preview through a real reader", async () => {
  await page.click("#text", { clickCount: 3 });
  await page.keyboard.press("Backspace");
  await page.type("#text", TYPED);
  assert.equal(await page.$eval("#text", (e) => e.value), TYPED);
  assert.deepEqual(await previewTexts("typed.png"), [TYPED]);
  assert.match(
    await page.$eval("#info", (e) => e.textContent),
    /^Version \d+ \(\d+ × \d+ modules\), level M, mask \d$/,
  );
  assert.match(
    await page.$eval("#fill-text", (e) => e.textContent),
    /^\d+ of \d+ data bits used \(\d+% full\)$/,
  );
});

test("changing the level changes the shown level and the symbol", async () => {
  const before = await page.$eval("#symbol", (e) => e.src);
  await page.select("#level", "H");
  await page.waitForFunction(() => / level H, /.test(document.querySelector("#info").textContent));
  assert.notEqual(await page.$eval("#symbol", (e) => e.src), before);
  assert.deepEqual(await previewTexts("level-h.png"), [TYPED]);
});

test("data that does not fit gets a message, and fitting data clears it", async () => {
  await setText("x".repeat(2000));
  const message = await page.$eval("#message", (e) => (e.hidden ? "" : e.textContent));
  assert.match(
    message,
    /^This text does not fit: the data cannot be encoded: it needs \d+ bits and version 40 at level H holds at most 10208/,
  );
  assert.equal(await page.$eval("#download-png", (e) => e.disabled), true);
  await setText(TYPED);
  assert.equal(await page.$eval("#message", (e) => e.hidden), true);
});

test("the PNG, XPM and PBM downloads are the symbol", async () => {
  const buttons = await page.$$eval("#downloads button", (all) => all.map((b) => b.id));
  assert.ok(buttons.includes("download-pbm-plain") && !buttons.includes("download-utf8"));
  const downloads = path.join(folder, "downloads");
  fs.mkdirSync(downloads);
  const session = await page.createCDPSession();
  await session.send("Page.setDownloadBehavior", { behavior: "allow", downloadPath: downloads });
  for (const name of ["png", "xpm", "pbm"]) {
    await page.click(`#download-${name}`);
    const file = path.join(downloads, `qr-code.${name}`);
    for (let waited = 0; !fs.existsSync(file) && waited < 10000; waited += 100) {
      await new Promise((resolve) => setTimeout(resolve, 100));
    }
    assert.deepEqual(read(file), [TYPED], name);
  }
});

test("a format that refuses the colours says so, and the other downloads stay", async () => {
  const setDark = (value) =>
    page.$eval(
      "#dark",
      (input, colour) => {
        input.value = colour;
        input.dispatchEvent(new Event("input"));
      },
      value,
    );
  await setDark("#123456");
  await page.click("#download-pbm");
  assert.match(
    await page.$eval("#message", (e) => (e.hidden ? "" : e.textContent)),
    /^toBytes: pbm output has no colours of its own, so not '123456FF'\.$/,
  );
  assert.equal(await page.$eval("#download-png", (e) => e.disabled), false);
  await setDark("#000000");
  assert.equal(await page.$eval("#message", (e) => e.hidden), true);
});

test("the page asked for nothing beyond its own files", () => {
  assert.deepEqual(foreign, []);
});
