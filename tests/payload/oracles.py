"""Independent readers and makers of payloads for payload_test.cpp. Each line of FILE is a case:
columns "name=hex" (the value's UTF-8 in hex) joined by tabs.

  oracles.py vcards FILE   column "vcard" is a vCard, the others its fields: prints each field
                           vobject reads otherwise, then "N vcards read"
  oracles.py epc FILE      column "epc" is a payment: prints segno's EPC QR code of its lines
                           ('1' dark, rows joined by '/'), or '-' when segno does not take them
"""
import decimal
import sys

import segno.helpers
import vobject

TEL_TYPES = {"VOICE": "phone", "CELL": "cell", "FAX": "fax"}
ADR_PARTS = ("street", "city", "region", "code", "country")


def read_cases(path):
    with open(path, encoding="ascii") as lines:
        for line in lines:
            columns = (column.split("=", 1) for column in line.rstrip("\n").split("\t"))
            yield {name: bytes.fromhex(value).decode("utf-8") for name, value in columns}


def vcard_fields(card):
    """The fields of the library's vCard record as vobject reads `card`."""
    got = {"name": card.fn.value, "first": card.n.value.given, "last": card.n.value.family}
    for key in ("title", "email", "url", "note", "bday"):
        if key in card.contents:
            got["birthday" if key == "bday" else key] = card.contents[key][0].value
    if "org" in card.contents:  # one organization, no units
        got["org"] = card.org.value[0] if len(card.org.value) == 1 else card.org.value
    for tel in card.contents.get("tel", []):
        got[TEL_TYPES[tel.params["TYPE"][0]]] = tel.value
    if "adr" in card.contents:
        address = card.adr.value
        for part, value in zip(ADR_PARTS, (address.street, address.city, address.region,
                                           address.code, address.country)):
            got[part] = value
    return {key: value for key, value in got.items() if value}


def check_vcards(path):
    count = 0
    for case in read_cases(path):
        card = vobject.readOne(case.pop("vcard"))
        expected = dict(case)
        if "note" in expected:
            expected["note"] = expected["note"].replace("\r\n", "\n").replace("\r", "\n")
        if "name" not in expected:  # the full name is the first and the last
            expected["name"] = " ".join(n for n in (case.get("first"), case.get("last")) if n)
        got = vcard_fields(card)
        for key in sorted(set(got) | set(expected)):
            if got.get(key) != expected.get(key):
                print(f"{key}: read {got.get(key)!r}, made of {expected.get(key)!r}")
        count += 1
    print(f"{count} vcards read")


def epc_rows(path):
    for case in read_cases(path):
        lines = (case["epc"].split("\n") + [""] * 11)[:11]
        bic, name, iban, amount, purpose, reference, text = lines[4:]
        if not amount or not (text or reference):
            print("-")
            continue
        symbol = segno.helpers.make_epc_qr(
            name=name, iban=iban, amount=decimal.Decimal(amount[len("EUR"):]), text=text or None,
            reference=reference or None, bic=bic or None, purpose=purpose or None, encoding=1)
        print("/".join("".join("1" if m else "0" for m in row) for row in symbol.matrix))


if __name__ == "__main__":
    {"vcards": check_vcards, "epc": epc_rows}[sys.argv[1]](sys.argv[2])
