#!/usr/bin/env python3
"""Writes, or checks, the digest list that the Windows client compares tessera.dll against.

Each row is one call of the Linux library's `tessera` with four option strings chosen from a fixed
seed: texts of every mode with %XX escapes, input files, levels, versions, /EN, masks and scales,
valid and invalid, in varied slot order. The row keeps the options (hex), the result code and the
written file's size and SHA-256. In an option, {out} stands for a fresh output path and {data} for
the folder of this list.

  make_digests.py --library build/libtessera.so            rewrite data/linux_digests.tsv
  make_digests.py --library build/libtessera.so --check    fail unless every row still holds
"""
import argparse
import ctypes
import hashlib
import os
import random
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "data")
LIST = os.path.join(DATA, "linux_digests.tsv")
SEED = 20261208
CALLS = 320
COLUMNS = ["id", "option1_hex", "option2_hex", "option3_hex", "option4_hex", "result",
           "file_size", "file_sha256"]

ALNUM = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:"

# Input files named by /I rows, made from the same seed and committed beside the list.
def InputFiles(rng):
    return {
        "input-numeric.txt": "".join(rng.choice("0123456789") for _ in range(180)).encode(),
        "input-text.txt": "Grüße aus tessera: https://example.org/Q?x=1\r\n".encode() * 3,
        "input-binary.bin": bytes(rng.randrange(256) for _ in range(150)),
        "input-kanji.txt": bytes(b for _ in range(40) for b in KanjiPair(rng)),
    }


def KanjiPair(rng):
    if rng.random() < 0.5:
        return [rng.randrange(0x81, 0xA0), rng.randrange(0x40, 0xFD)]
    return [rng.randrange(0xE0, 0xEB), rng.randrange(0x40, 0xFD)]


def Escaped(data):
    return "".join("%%%02X" % b for b in data)


def TextOption(rng):
    kind = rng.randrange(7)
    if kind == 0:
        value = "".join(rng.choice("0123456789") for _ in range(rng.randrange(1, 400)))
    elif kind == 1:
        value = "".join(rng.choice(ALNUM) for _ in range(rng.randrange(1, 250))).replace("%", "%25")
    elif kind == 2:
        value = "".join(rng.choice("abcdefghijklmnopqrstuvwxyz ,.!?") for _ in range(rng.randrange(1, 200)))
    elif kind == 3:
        value = Escaped(bytes(rng.randrange(256) for _ in range(rng.randrange(1, 120))))
    elif kind == 4:
        value = Escaped(bytes(b for _ in range(rng.randrange(1, 60)) for b in KanjiPair(rng)))
    elif kind == 5:  # mixed runs, so segments of several modes meet in one symbol
        parts = []
        for _ in range(rng.randrange(2, 6)):
            parts.append(TextOption(rng)[2:][: rng.randrange(1, 40)].rstrip("%0123456789ABCDEF") or "x")
            parts.append("".join(rng.choice("0123456789") for _ in range(rng.randrange(1, 30))))
        value = "".join(parts)
    else:  # escape edge cases: short escapes, %% and %00
        value = rng.choice(["", "%4", "%", "%G1", "%%41", "a+b%00c", "%41%62c", "%e6%97%a5"]) + "x" * rng.randrange(0, 5)
    return "/" + rng.choice("Tt") + value


def Options(rng, inputs):
    data = []
    if rng.random() < 0.15:
        data.append("/I{data}/" + rng.choice(sorted(inputs)))
    else:
        data.append(TextOption(rng))
    if rng.random() < 0.05:
        data.append(TextOption(rng))  # a second data option: the first one wins
    extras = [
        "/L%d" % rng.randrange(4), "/l%d" % rng.randrange(0, 5), "/V%d" % rng.randrange(1, 41),
        "/v%d" % rng.randrange(0, 45), "/EN", "/M%d" % rng.randrange(8), "/m%d" % rng.randrange(-1, 9),
        "/S%d" % rng.randrange(1, 9), "/S%d" % rng.randrange(1, 21), "/S %d" % rng.randrange(1, 6),
        "/Q1", "", "not an option",
    ]
    options = data + ["/O{out}" if rng.random() < 0.97 else "/Xnone"]
    if rng.random() < 0.12:  # a version too small for much data, and no larger one allowed
        options += ["/EN", "/V%d" % rng.randrange(1, 6)]
    while len(options) < 4:
        options.append(rng.choice(extras))
    options = options[:4]
    rng.shuffle(options)
    return options


def Rows(library, workdir):
    rng = random.Random(SEED)
    inputs = InputFiles(rng)
    rows = []
    for n in range(CALLS):
        options = Options(rng, inputs)
        out = os.path.join(workdir, "out-%d.bmp" % n)
        args = [o.replace("{out}", out).replace("{data}", DATA).encode("latin-1") for o in options]
        result = library.tessera(*args)
        size, digest = "-", "-"
        if os.path.exists(out):
            content = open(out, "rb").read()
            size, digest = str(len(content)), hashlib.sha256(content).hexdigest()
            os.remove(out)
        rows.append([str(n)] + [o.encode("latin-1").hex() for o in options] + [str(result), size, digest])
    return inputs, rows


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--library", required=True, help="path of the Linux libtessera.so")
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args()
    library = ctypes.CDLL(os.path.abspath(args.library))
    library.tessera.argtypes = [ctypes.c_char_p] * 4
    library.tessera.restype = ctypes.c_int

    if not args.check:
        for name, content in InputFiles(random.Random(SEED)).items():
            with open(os.path.join(DATA, name), "wb") as f:
                f.write(content)
    with tempfile.TemporaryDirectory() as workdir:
        inputs, rows = Rows(library, workdir)
    text = "# " + "\t".join(COLUMNS) + "\n" + "".join("\t".join(r) + "\n" for r in rows)

    if args.check:
        for name, content in inputs.items():
            with open(os.path.join(DATA, name), "rb") as f:
                if f.read() != content:
                    sys.exit("input file %s differs from its seed" % name)
        with open(LIST) as f:
            committed = f.read()
        if committed != text:
            bad = [a.split("\t")[0] for a, b in zip(committed.splitlines(), text.splitlines()) if a != b]
            sys.exit("%s differs from the library in rows: %s" % (LIST, " ".join(bad[:20])))
        print("%d calls match the library" % len(rows))
        return
    with open(LIST, "w") as f:
        f.write(text)
    results = [r[5] for r in rows]
    print("wrote %d rows: %s" % (len(rows), {c: results.count(c) for c in sorted(set(results))}))


if __name__ == "__main__":
    main()
