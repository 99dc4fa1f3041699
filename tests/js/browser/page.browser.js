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

test("a shape, a gradient, a region's colour and a logo: the preview reads, the verifier says so", async () => {
  await page.select("#shape", "dot");
  await page.select("#gradient", "linear");
  await page.$eval("#regions input[data-region='finder-dark']", (box) => {
    box.checked = true;
    box.dispatchEvent(new Event("input"));
  });
  const logo = path.join(folder, "logo.svg");
  fs.writeFileSync(
    logo,
    '<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 2 2"><circle cx="1" cy="1" r="1" fill="#c00"/></svg>',
  );
  await (await page.$("#logo")).uploadFile(logo);
  await page.waitForFunction(() => !document.querySelector("#logo-size").disabled);
  assert.equal(
    await page.$eval("#verdict", (e) => e.textContent),
    "Verified: it reads with margin.",
  );
  assert.deepEqual(await previewTexts("styled.png"), [TYPED]);
  // Back to a plain symbol for the tests after this one.
  await page.select("#shape", "square");
  await page.select("#gradient", "");
  await page.$eval("#regions input[data-region='finder-dark']", (box) => {
    box.checked = false;
    box.dispatchEvent(new Event("input"));
  });
  await page.$eval("#logo", (input) => {
    input.value = "";
    input.dispatchEvent(new Event("change"));
  });
  await page.waitForFunction(() => document.querySelector("#logo-size").disabled);
});

// Sets the control `selector` to `value` as a person would, and waits for the page to follow.
async function setControl(selector, value) {
  await page.$eval(
    selector,
    (control, to) => {
      if (control.type === "checkbox") control.checked = to;
      else control.value = to;
      control.dispatchEvent(new Event("input"));
    },
    value,
  );
}

const shownMessage = () => page.$eval("#message", (e) => (e.hidden ? "" : e.textContent));

test("a payload of the library's kinds is made from its fields and read back", async () => {
  const kinds = await page.evaluate(() => Object.keys(tessera.payload));
  const offered = await page.$$eval("#payload-kind option", (all) => all.map((o) => o.value));
  assert.deepEqual(offered, ["", ...kinds]);
  await setControl("#payload-kind", "wifi");
  assert.equal(await page.$eval("#text", (e) => e.closest("label").hidden), true);
  assert.deepEqual(
    await page.$$eval("#payload-fields [data-field]", (all) => all.map((e) => e.id)),
    ["payload-ssid", "payload-security", "payload-password", "payload-hidden"],
  );
  await setControl("#payload-ssid", "Home; net");
  await setControl("#payload-password", "p:w");
  await setControl("#payload-hidden", true);
  assert.deepEqual(await previewTexts("wifi.png"), ["WIFI:T:WPA;S:Home\\; net;P:p\\:w;H:true;;"]);
  await setControl("#payload-kind", "geo");
  await setControl("#payload-latitude", "91");
  await setControl("#payload-longitude", "2");
  assert.equal(
    await shownMessage(),
    "This geo payload is refused: latitude: '91' is out of range: -90 to 90.",
  );
  await setControl("#payload-kind", "");
  assert.equal(await shownMessage(), "");
  assert.deepEqual(await previewTexts("text-again.png"), [TYPED]);
});

test("rMQR offers its sizes and levels, and GS1 data is read as such", async () => {
  await setControl("#rmqr", true);
  const sizes = await page.$$eval("#version option", (all) => all.map((o) => o.text));
  assert.equal(sizes.length, 33);
  assert.deepEqual([sizes[1], sizes[13], sizes[32]], ["R7x43", "R11x59", "R17x139"]);
  assert.deepEqual(
    await page.$$eval("#level option", (all) => all.filter((o) => !o.disabled).map((o) => o.value)),
    ["M", "H"],
  );
  await setText("LOT 42");
  await page.select("#version", "13");
  assert.match(
    await page.$eval("#info", (e) => e.textContent),
    /^rMQR R11x59 \(59 × 11 modules\), level H, mask 0$/,
  );
  await setControl("#micro", true);
  assert.equal(await page.$eval("#rmqr", (e) => e.checked), false);
  await setControl("#micro", false);
  await setText("[01]09501101530003[10]AB");
  await setControl("#gs1", true);
  assert.match(await page.$eval("#info", (e) => e.textContent), /, GS1$/);
  assert.deepEqual(await previewTexts("gs1.png"), ["010950110153000310AB"]);
  await setControl("#gs1", false);
  await setText(TYPED);
});

test("the page asked for nothing beyond its own files", () => {
  assert.deepEqual(foreign, []);
});
