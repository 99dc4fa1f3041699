// Payloads: the texts of tests/payload/texts.jsonl from the same fields, refusals naming the
// field, and symbols within a payment's limits.
"use strict";
const test = require("node:test");
const assert = require("node:assert/strict");
const fs = require("node:fs");
const path = require("node:path");
const tessera = require("../../js");
const { DATA } = require("./support.js");

const ROWS = path.join(DATA, "..", "payload", "texts.jsonl");
const IBAN = "DE89370400440532013000";

test("every row gives its text from the same fields", async () => {
  await tessera.ready();
  const rows = fs.readFileSync(ROWS, "utf8").split("\n").filter(Boolean).map(JSON.parse);
  assert.equal(rows.length, 24);
  for (const { kind, payload, ...fields } of rows) {
    assert.equal(tessera.payload[kind](fields), payload, JSON.stringify(fields));
  }
  assert.deepEqual(Object.keys(tessera.payload), [
    "wifi", "vcard", "mecard", "epc", "geo", "email", "tel", "sms", "event", "otp",
  ]);
  assert.equal(
    tessera.payload.wifi({ ssid: "Home", password: "p;w", hidden: true, security: undefined }),
    "WIFI:T:WPA;S:Home;P:p\\;w;H:true;;",
  );
  assert.equal(tessera.payload.geo({ latitude: 48.8583, longitude: -2 }), "geo:48.8583,-2");
  assert.throws(() => tessera.payload.tel({ number: ["1"] }), TypeError);
  assert.throws(() => tessera.payload.tel("1"), TypeError);
});

test("each builder describes its kind's fields", async () => {
  await tessera.ready();
  const rows = fs.readFileSync(ROWS, "utf8").split("\n").filter(Boolean).map(JSON.parse);
  for (const { kind, payload, ...fields } of rows) {
    const names = tessera.payload[kind].fields.map((field) => field.name);
    for (const name of Object.keys(fields)) assert.ok(names.includes(name), `${kind}: ${name}`);
  }
  const wifi = tessera.payload.wifi;
  assert.equal(wifi.help, "a WiFi network to join");
  assert.deepEqual(
    wifi.fields.map((f) => [f.name, f.type, f.required, f.takes, f.choices.length > 0]),
    [
      ["ssid", "text", true, "TEXT", false],
      ["security", "choice", false, null, true],
      ["password", "text", false, "TEXT", false],
      ["hidden", "flag", false, null, true],
    ],
  );
  assert.deepEqual(wifi.fields[3].choices, ["false", "true"]);
  assert.ok(wifi.fields[1].choices.includes("nopass"));
  assert.ok(tessera.payload.vcard.fields.find((f) => f.name === "note").multiline);
});

test("bad fields are refused naming the field", async () => {
  await tessera.ready();
  for (const [kind, fields, reason] of [
    ["epc", { name: "A", iban: "DE89370400440532013001" },
      "iban: 'DE89370400440532013001' has a wrong check digit"],
    ["epc", { name: "A", iban: IBAN, amount: 0 }, "amount: '0' is out of range: 0.01 to 999999999.99"],
    ["epc", { name: "n".repeat(71), iban: IBAN }, "name: 71 characters; at most 70 are taken"],
    ["wifi", { ssid: "H", security: "WEP", password: "abcdefg" },
      "password: a WEP key is 5 or 13 ASCII characters or 10 or 26 hex digits, not 7 characters"],
    ["geo", { latitude: 91, longitude: 0 }, "latitude: '91' is out of range: -90 to 90"],
    ["wifi", { ssid: "H", colour: "red" }, "'colour': no such field"],
  ]) {
    assert.throws(() => tessera.payload[kind](fields), { name: "RangeError", message: reason });
    assert.throws(() => tessera.makePayload(kind, fields), { name: "RangeError", message: reason });
  }
});

test("a payment's symbol is level M, at most version 13", async () => {
  const fields = { name: "Förderverein", iban: IBAN, amount: "5" };
  const symbol = await tessera.makePayload("epc", fields);
  assert.equal(symbol.level, "M");
  assert.ok(symbol.version <= 13);
  assert.throws(() => tessera.makePayload("epc", fields, { level: "H" }), {
    name: "RangeError",
    message: "the payload's symbol is level M, not H",
  });
  assert.equal(tessera.makePayload("tel", { number: "1" }, { level: "H" }).level, "H");
});
