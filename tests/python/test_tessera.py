"""Tests of the tessera package over the libraries that it finds (TESSERA_LIBRARY and
TESSERA_API_LIBRARY may name them).

Run: python3 tests/python/test_tessera.py        (after scripts/test.sh has built build/)
"""

import base64
import errno
import hashlib
import inspect
import io
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

# The module of the source tree (python/), or the one in TESSERA_PYTHON_PATH (an installed copy).
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.environ.get("TESSERA_PYTHON_PATH", os.path.join(HERE, "..", "..", "python")))
import tessera  # noqa: E402

DATA = os.environ.get("TESSERA_TEST_DATA", os.path.join(HERE, "..", "data"))


def decode_text_option(value):
    """The bytes of a "/T" value, as the library decodes them."""
    def digit(at):
        if at >= len(value):
            return 0
        c = chr(value[at])
        return int(c, 16) if c in "0123456789abcdefABCDEF" else 0
    out, at = bytearray(), 0
    while at < len(value):
        if value[at] == ord("%"):
            out.append(digit(at + 1) << 4 | digit(at + 2))
            at += 3
        else:
            out.append(value[at])
            at += 1
    return bytes(out)


def as_encode_arguments(options):
    """The encode() arguments of a row's four options, or None when the row uses anything that
    encode() does not express: a file, repeated or unknown letters, values out of range or not
    plain numbers, or more options than fit."""
    data, kwargs, letters = None, {}, set()
    ranges = {"L": (0, 3, "level"), "V": (1, 40, "version"), "M": (0, 7, "mask"),
              "S": (1, 20, "scale")}
    for option in options:
        if not option:
            continue
        if len(option) < 2 or option[:1] != b"/":
            return None
        letter, value = chr(option[1]).upper(), option[2:]
        if letter in letters:
            return None
        letters.add(letter)
        if letter == "T":
            data = decode_text_option(value)
        elif letter == "O":
            if value != b"{out}":
                return None
        elif letter == "E":
            if value != b"N":
                return None
            kwargs["strict"] = True
        elif letter in ranges:
            low, high, name = ranges[letter]
            if not value.isdigit() or value[:1] == b"0" and len(value) > 1:
                return None
            number = int(value)
            if not low <= number <= high:
                return None
            kwargs[name] = "LMQH"[number] if name == "level" else number
        else:
            return None
    if data is None or "O" not in letters or (kwargs.get("strict") and "version" not in kwargs):
        return None
    return data, kwargs


class PayloadTest(unittest.TestCase):
    """tessera.payload: the texts of tests/payload/texts.jsonl from the same fields, refusals
    naming the field, and symbols within the payload's limits."""

    ROWS = os.path.join(DATA, "..", "payload", "texts.jsonl")
    IBAN = "DE89370400440532013000"

    def test_every_row_gives_its_text_and_limits(self):
        with open(self.ROWS, encoding="utf-8") as file:
            rows = [json.loads(line) for line in file]
        self.assertEqual(len(rows), 24)
        for row in rows:
            kind, text = row.pop("kind"), row.pop("payload")
            with self.subTest(text=text):
                made = getattr(tessera.payload, kind)(**row)
                self.assertEqual(made, text)
                self.assertIsInstance(made, tessera.Payload)
                self.assertEqual((made.kind, made.fields), (kind, row))
                payment = kind == "epc"
                self.assertEqual((made.level, made.max_version),
                                 ("M", 13) if payment else (None, None))

    def test_arguments_come_from_the_librarys_table(self):
        self.assertEqual(str(inspect.signature(tessera.payload.wifi)),
                         "(ssid, *, security='WPA', password=None, hidden=False)")
        self.assertEqual(str(inspect.signature(tessera.payload.geo)),
                         "(latitude, longitude, *, altitude=None)")
        self.assertIn("iban: the beneficiary's account", tessera.payload.epc.__doc__)
        self.assertEqual(tessera.payload.wifi("Home", password="p;w", hidden=True),
                         "WIFI:T:WPA;S:Home;P:p\\;w;H:true;;")
        self.assertEqual(tessera.payload.geo(48.8583, -2, altitude=None), "geo:48.8583,-2")
        with self.assertRaises(TypeError):
            tessera.payload.wifi("Home", "WPA")  # the fields after the required ones are keywords
        with self.assertRaises(TypeError):
            tessera.payload.tel(number=["1"])

    def test_bad_fields_are_refused_naming_the_field(self):
        for call, reason in [
                (lambda: tessera.payload.epc("A", "DE89370400440532013001"),
                 "iban: 'DE89370400440532013001' has a wrong check digit"),
                (lambda: tessera.payload.epc("A", self.IBAN, amount=0),
                 "amount: '0' is out of range: 0.01 to 999999999.99"),
                (lambda: tessera.payload.epc("n" * 71, self.IBAN),
                 "name: 71 characters; at most 70 are taken"),
                (lambda: tessera.payload.wifi("H", security="WEP", password="abcdefg"),
                 "password: a WEP key is 5 or 13 ASCII characters or 10 or 26 hex digits, not 7 characters"),
                (lambda: tessera.payload.geo(91, 0), "latitude: '91' is out of range: -90 to 90"),
        ]:
            with self.subTest(reason=reason):
                with self.assertRaises(ValueError) as caught:
                    call()
                self.assertEqual(str(caught.exception), reason)

    def test_make_keeps_a_payments_limits(self):
        payment = tessera.payload.epc("F\u00f6rderverein", self.IBAN, amount="5")
        symbol = tessera.make(payment)
        self.assertEqual(symbol.level, "M")
        self.assertLessEqual(symbol.version, 13)
        with self.assertRaises(ValueError) as caught:
            tessera.make(payment, level="H")
        self.assertEqual(str(caught.exception), "the payload's symbol is level M, not H")
        self.assertEqual(tessera.make(tessera.payload.tel("1"), level="H").level, "H")


class EncodeTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)

    def path(self, name="out.bmp"):
        return os.path.join(self.folder.name, name)

    def read(self, name="out.bmp"):
        with open(self.path(name), "rb") as file:
            return file.read()

    def test_matches_the_export_vectors_that_it_can_express(self):
        with open(os.path.join(DATA, "export.tsv"), encoding="ascii") as table:
            rows = [line.rstrip("\n").split("\t") for line in table if not line.startswith("#")]
        checked = 0
        for row in rows:
            arguments = as_encode_arguments([bytes.fromhex(cell) for cell in row[1:5]])
            if arguments is None:
                continue
            data, kwargs = arguments
            with self.subTest(vector=row[0], **{k: str(v) for k, v in kwargs.items()}):
                out = self.path(f"vector{row[0]}.bmp")
                result = tessera.encode(data, out, **kwargs)
                self.assertEqual(str(result), row[5])
                if result == 0:
                    with open(out, "rb") as file:
                        content = file.read()
                    self.assertEqual(str(len(content)), row[6])
                    self.assertEqual(hashlib.sha256(content).hexdigest(), row[7])
                else:
                    self.assertFalse(os.path.exists(out))
                checked += 1
        print(f"{checked} export vectors checked", file=sys.stderr)
        self.assertGreaterEqual(checked, 100)

    def test_every_byte_reaches_the_library_unchanged(self):
        library = tessera._load()  # the library that the module found
        data = bytes(range(256))
        escaped = b"".join(b"%%%02x" % b for b in data)
        self.assertEqual(library.tessera(b"/T" + escaped, b"/O" + self.path("direct.bmp").encode(),
                                         b"/L0", b""), 0)
        self.assertEqual(tessera.encode(data, self.path(), level="L"), 0)
        self.assertEqual(self.read(), self.read("direct.bmp"))

    def test_text_is_utf8_and_paths_may_be_bytes_or_path_like(self):
        import pathlib
        self.assertEqual(tessera.encode("h\u00e9llo \u4e16\u754c", pathlib.Path(self.path("a.bmp"))), 0)
        self.assertEqual(tessera.encode("h\u00e9llo \u4e16\u754c".encode(), self.path("b.bmp").encode()), 0)
        self.assertEqual(self.read("a.bmp"), self.read("b.bmp"))

    def test_options_change_the_symbol(self):
        # Version 1 at scale 4 is 116 pixels a side: rows of 16 bytes, 1918 bytes in all.
        self.assertEqual(tessera.encode("Hi", self.path()), 0)
        self.assertEqual(len(self.read()), 1918)
        # Version 5 (37 modules) at scale 2: 90 pixels, rows of 12 bytes.
        self.assertEqual(tessera.encode("Hi", self.path(), version=5, scale=2), 0)
        self.assertEqual(len(self.read()), 62 + 12 * 90)
        self.assertEqual(tessera.encode("Hi", self.path("h.bmp"), level="H", mask=3), 0)
        self.assertEqual(tessera.encode("Hi", self.path("h3.bmp"), level=3, mask=3), 0)
        self.assertEqual(self.read("h.bmp"), self.read("h3.bmp"))
        self.assertNotEqual(self.read("h.bmp"), self.read())

    def test_result_codes(self):
        folder = self.path("folder")
        os.mkdir(folder)
        cases = [
            (("Hello", ""), 1),
            ((b"", self.path()), 2),
            (("x" * 3000, self.path()), 2),
            (("Hello there, more than version 1 holds", self.path()), {"version": 1, "strict": True}, 2),
            (("Hello", folder), 3),
            (("Hello", os.path.join(folder, "missing", "a.bmp")), 3),
        ]
        for case in cases:
            args, expected = case[0], case[-1]
            kwargs = case[1] if len(case) == 3 else {}
            with self.subTest(args=args[1], **{k: str(v) for k, v in kwargs.items()}):
                self.assertEqual(tessera.encode(*args, **kwargs), expected)
        self.assertFalse(os.path.exists(self.path()))

    def test_rejects_arguments_out_of_range(self):
        for kwargs in [{"level": "X"}, {"level": 4}, {"level": "LM"}, {"level": True},
                       {"version": -1}, {"version": 41}, {"version": 1.0}, {"strict": True},
                       {"mask": 8}, {"mask": -1}, {"scale": 0}, {"scale": 21},
                       {"level": "H", "version": 5, "scale": 8}, {"scale": 2 ** 32 + 4},
                       {"version": 2 ** 32 + 1}, {"version": 5, "strict": "no"}]:
            with self.subTest(**{k: repr(v) for k, v in kwargs.items()}):
                with self.assertRaises(ValueError):
                    tessera.encode("Hello", self.path(), **kwargs)
        with self.assertRaises(ValueError):
            tessera.encode("Hello", self.path() + "\0x")
        with self.assertRaises(TypeError):
            tessera.encode(12345, self.path())
        self.assertFalse(os.path.exists(self.path()))


def rows(name):
    with open(os.path.join(DATA, name), encoding="ascii") as table:
        return [line.rstrip("\n").split("\t") for line in table if not line.startswith("#")]


def matrix_text(symbol):
    return "".join("".join(str(cell) for cell in row) + "\n" for row in symbol.modules)


class MakeTest(unittest.TestCase):
    """The contract of make() and Symbol over the API library."""

    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)

    def path(self, name):
        return os.path.join(self.folder.name, name)

    def test_matrices_equal_the_encoder_vectors(self):
        checked = 0
        for row in rows("encoder.tsv"):
            data, level, version, larger, mask = bytes.fromhex(row[1]), *map(int, row[2:6])
            with self.subTest(vector=row[0]):
                kwargs = dict(level="LMQH"[level], version=version or None,
                              strict=larger == 0 and version > 0, mask=None if mask < 0 else mask)
                if row[12] == "0":
                    with self.assertRaises(tessera.EncodeError):
                        tessera.make(data, **kwargs)
                    continue
                symbol = tessera.make(data, **kwargs)
                self.assertEqual((symbol.version, symbol.mask, symbol.size, symbol.level),
                                 (int(row[13]), int(row[14]), int(row[15]), "LMQH"[level]))
                self.assertEqual(hashlib.sha256(matrix_text(symbol).encode()).hexdigest(), row[17])
                checked += 1
        self.assertGreaterEqual(checked, 500)

    def test_bmp_bytes_equal_the_librarys_file(self):
        checked = 0
        for row in rows("export.tsv"):
            arguments = as_encode_arguments([bytes.fromhex(cell) for cell in row[1:5]])
            if arguments is None or row[5] != "0":
                continue
            data, kwargs = arguments
            scale = kwargs.pop("scale", None)
            with self.subTest(vector=row[0]):
                content = tessera.make(data, **kwargs).to_bytes("bmp", scale)
                self.assertEqual(hashlib.sha256(content).hexdigest(), row[7])
                checked += 1
        self.assertGreaterEqual(checked, 50)

    def test_one_call_takes_every_setting(self):
        symbol = tessera.make("tessera", level="H", version=5, strict=True, mask=3)
        self.assertEqual((symbol.version, symbol.level, symbol.mask, symbol.size),
                         (5, "H", 3, 37))
        self.assertEqual(len(symbol.modules), 37)
        self.assertTrue(all(len(row) == 37 and set(row) <= {0, 1} for row in symbol.modules))
        # The top-left finder pattern: a dark ring, a light ring, a dark 3 x 3 centre.
        self.assertEqual(bytes(symbol.modules[0][:8]), bytes([1, 1, 1, 1, 1, 1, 1, 0]))
        self.assertEqual(bytes(symbol.modules[1][:8]), bytes([1, 0, 0, 0, 0, 0, 1, 0]))
        self.assertEqual(bytes(symbol.modules[3][:8]), bytes([1, 0, 1, 1, 1, 0, 1, 0]))
        self.assertEqual(tessera.make("x").level, "M")
        self.assertEqual(matrix_text(tessera.make("h\u00e9")), matrix_text(tessera.make("h\u00e9".encode())))

    def test_every_format_in_memory_and_on_disk(self):
        symbol = tessera.make("formats")
        starts = {"bmp": b"BM", "png": b"\x89PNG", "svg": b"<?xml", "txt": b"  ",
                  "utf8": b"\x1b[30;47m", "ansi": b"\x1b[47m", "eps": b"%!PS", "pdf": b"%PDF",
                  "xpm": b"/* XPM */\n", "pbm": b"P4\n", "pbm-plain": b"P1\n"}
        formats = tessera.formats()
        self.assertLessEqual(set(starts) - set(formats), {"png"})  # PNG needs an image library
        for kind, extension in formats.items():
            with self.subTest(kind=kind):
                content = symbol.to_bytes(kind)
                self.assertTrue(content.startswith(starts[kind]), content[:12])
                if extension is None:
                    continue
                symbol.save(self.path("out." + extension), kind)
                with open(self.path("out." + extension), "rb") as file:
                    self.assertEqual(file.read(), content)
        self.assertEqual(formats["pbm-plain"], "pbm")
        self.assertIsNone(formats["utf8"])
        self.assertEqual(symbol.to_bytes("BMP", 2), symbol.to_bytes("bmp", scale=2))
        self.assertEqual(symbol._repr_svg_(), symbol.to_bytes("svg").decode())
        png = symbol._repr_png_()
        self.assertTrue(png is None or png.startswith(b"\x89PNG"))
        with open(self.path("file-object"), "wb") as file:
            symbol.save(file, "svg", 3)
        with open(self.path("file-object"), "rb") as file:
            self.assertEqual(file.read(), symbol.to_bytes("svg", 3))
        symbol.save(self.path("named.data"), kind="txt")
        with open(self.path("named.data"), "rb") as file:
            self.assertEqual(file.read(), symbol.to_bytes("txt"))

    def test_renders_in_turn_are_whole_at_every_size(self):
        # Renders share a buffer that grows: each one, small after large and large after small
        # (and one larger than the buffer kept), is the file that save() writes; a refused option
        # is refused each time it is asked for.
        small, large = tessera.make("in turn"), tessera.make("7" * 7089, level="L")
        for symbol, kind, scale in [(small, "png", 1), (large, "bmp", 20), (small, "svg", 2),
                                    (large, "png", 4), (large, "bmp", 3), (small, "bmp", 20)]:
            with self.subTest(size=symbol.size, kind=kind, scale=scale):
                symbol.save(self.path("turn." + kind), kind, scale)
                with open(self.path("turn." + kind), "rb") as file:
                    self.assertEqual(symbol.to_bytes(kind, scale), file.read())
        for _ in range(2):
            with self.assertRaises(ValueError):
                small.to_bytes("bmp", scale=21)

    def test_errors(self):
        symbol = tessera.make("errors")
        with self.assertRaises(tessera.EncodeError) as caught:
            tessera.make("a" * 1274, level="H")
        self.assertIsInstance(caught.exception, ValueError)
        self.assertEqual(str(caught.exception), "the data cannot be encoded: it needs 10212 "
                         "bits and version 40 at level H holds at most 10208")
        with self.assertRaises(tessera.EncodeError):
            tessera.make(b"")
        tessera.make("x", version=1), tessera.make("x", mask=1)  # kept; True is not 1 though
        for kwargs in [{"level": "X"}, {"level": 2}, {"version": 41}, {"version": -1},
                       {"version": True}, {"mask": True},
                       {"mask": 8}, {"mask": 1.5}, {"version": 2 ** 32 + 1}, {"mask": 2 ** 32},
                       {"version": "M0"}, {"version": "M\u0663"}, {"version": "M1 "},
                       {"micro": "no"}, {"utf8": "yes"}, {"boost": 2}, {"strict": None}]:
            with self.subTest(**{k: repr(v) for k, v in kwargs.items()}):
                with self.assertRaises(ValueError) as caught:
                    tessera.make("x", **kwargs)
                self.assertNotIsInstance(caught.exception, tessera.EncodeError)
        for kind, kwargs in [("gif", {}), ("bmp", {"scale": 21}), ("bmp", {"margin": 65}),
                             ("txt", {"dark": "#112233"}), ("svg", {"dpi": 300}),
                             ("bmp", {"light": "FFFFFF00"}), ("png", {"dark": "red"}),
                             ("bmp", {"scale": 2 ** 32 + 4}), ("bmp", {"margin": 2 ** 32}),
                             ("bmp", {"dpi": 2 ** 32 + 300}), ("png\x00svg", {}), ("p\u0578g", {})]:
            with self.subTest(kind=kind, **{k: repr(v) for k, v in kwargs.items()}):
                with self.assertRaises(ValueError):
                    symbol.to_bytes(kind, **kwargs)
        with self.assertRaises(TypeError):
            tessera.make(12345)
        with self.assertRaises(OSError) as caught:
            symbol.save(self.path("missing/folder/a.bmp"))
        self.assertEqual((caught.exception.errno, caught.exception.strerror,
                          caught.exception.filename),
                         (errno.ENOENT, "the folder does not exist",
                          self.path("missing/folder/a.bmp")))
        with self.assertRaises(ValueError):
            symbol.save(self.path("a.jpeg"))
        self.assertFalse(os.path.exists(self.path("a.jpeg")))

    def test_save_all(self):
        symbols = [tessera.make(f"code {i}") for i in range(70)]  # more than one group
        paths = [self.path(f"{i}.{'svg' if i % 2 else 'bmp'}") for i in range(70)]
        tessera.save_all(zip(symbols, paths), scale=2, margin=1)
        for i in (0, 1, 69):
            with open(paths[i], "rb") as file:
                self.assertEqual(file.read(), symbols[i].to_bytes("svg" if i % 2 else "bmp", 2,
                                                                  margin=1))
        tessera.save_all([(symbols[0], self.path("as.txt"))], kind="svg")
        with open(self.path("as.txt"), "rb") as file:
            self.assertEqual(file.read(), symbols[0].to_bytes("svg"))
        tessera.save_all([])
        # Checked before anything is written.
        for items, error in [([(symbols[0], self.path("x.bmp")), (symbols[1], self.path("y.gif"))],
                              ValueError),
                             ([(symbols[0], self.path("x.bmp")), ("not a symbol", "y.bmp")],
                              TypeError),
                             ([(symbols[0], self.path("x.txt")), (symbols[1], self.path("y.bmp"))],
                              ValueError)]:  # scale 30: not taken by either
            with self.subTest(items=items):
                with self.assertRaises(error):
                    tessera.save_all(items, scale=30)
                self.assertFalse(os.path.exists(self.path("x.bmp")))
        # A file that cannot be written: the others are, and the first failure is raised.
        with self.assertRaises(OSError) as caught:
            tessera.save_all([(symbols[0], self.path("ok.bmp")),
                              (symbols[1], self.path("missing/a.bmp")),
                              (symbols[2], self.path("missing/b.bmp"))])
        self.assertIn("missing/a.bmp", str(caught.exception))
        self.assertTrue(os.path.exists(self.path("ok.bmp")))

    def test_structured_append_and_boost(self):
        data = "0123456789" * 30 + " and some text"
        symbols = tessera.make_structured(data, 4, level="M")
        self.assertEqual([s.part for s in symbols], [(i, 4) for i in range(4)])
        parity = 0
        for b in data.encode():
            parity ^= b
        self.assertEqual({s.parity for s in symbols}, {parity})
        self.assertEqual(len({(s.version, s.level) for s in symbols}), 1)
        filled = tessera.make_structured(data, version=3, level="L")
        self.assertTrue(all(s.version == 3 for s in filled))
        self.assertGreater(len(filled), 1)
        self.assertIsNone(tessera.make(data).part)
        with self.assertRaises(tessera.EncodeError):
            tessera.make_structured("ab", 3)
        for count in (17, 2 ** 32 + 2):
            with self.assertRaises(ValueError):
                tessera.make_structured("abc", count)
        # "HELLO WORLD" takes 74 bits: version 1 holds them at Q (104), not at H (72).
        boosted = tessera.make("HELLO WORLD", level="L", boost=True)
        self.assertEqual((boosted.version, boosted.level, boosted.data_bits,
                          boosted.capacity_bits), (1, "Q", 74, 104))

    def test_micro_qr(self):
        m1 = tessera.make("12345", micro=True)
        self.assertEqual((m1.micro, m1.version, m1.level, m1.size), (True, 1, None, 11))
        self.assertEqual(repr(m1)[:31], "<tessera.Symbol version M1, lev")
        m3 = tessera.make("hello", version="M2", level="L")
        self.assertEqual((m3.micro, m3.version, m3.level, m3.size), (True, 3, "L", 15))
        self.assertEqual(tessera.make("HELLO", version="M4", level="M", boost=True).level, "Q")
        # A quiet zone of 2 modules unless asked: 15 modules + 4 = 19 lines of text.
        self.assertEqual(m3.to_bytes("txt").count(b"\n"), 19)
        self.assertEqual(m3.to_bytes("txt", margin=4).count(b"\n"), 23)
        for kwargs in [{"level": "H"}, {"version": "M5"}, {"mask": 4}, {"utf8": True},
                       {"version": "M1", "level": "L"}, {"version": "M2", "level": "Q"}]:
            with self.subTest(**{k: repr(v) for k, v in kwargs.items()}):
                with self.assertRaises(ValueError):
                    tessera.make("1", micro=True, **kwargs)
        with self.assertRaises(tessera.EncodeError):
            tessera.make("7" * 36, micro=True)

    def test_styles_verify_and_data_uris(self):
        symbol = tessera.make("https://example.com/styled", level="H")
        api = tessera._api()
        regions = [api.tessera_style_name(2, i) for i in range(tessera._REGION_COUNT + 1)]
        self.assertEqual(regions[-1], None)
        self.assertEqual(regions[0], b"finder-dark")
        plain, dots = symbol.to_bytes("png"), symbol.to_bytes("png", shape="dot", finder="rounded")
        self.assertNotEqual(dots, plain)
        self.assertEqual(symbol.to_bytes("png", shape="square"), plain)
        svg = symbol.to_bytes("svg", title="Our site", desc="A link", data_dark="1F2937")
        for part in (b"<title>Our site</title>", b"<desc>A link</desc>", b'role="img"', b"1f2937"):
            self.assertIn(part, svg.lower() if part == b"1f2937" else svg)
        self.assertEqual(symbol.verify("png", shape="dot", finder="rounded"), ("reads", []))
        verdict, lines = symbol.verify("png", dark="BBBBBB")
        self.assertEqual((verdict, len(lines)), ("unreadable", 1))
        self.assertIn("contrast", lines[0])
        self.assertEqual(symbol.verify("svg", margin=1)[0], "warnings")
        uri = symbol.to_data_uri("svg", shape="dot")
        self.assertTrue(uri.startswith("data:image/svg+xml;base64,"))
        self.assertEqual(base64.b64decode(uri.split(",", 1)[1]), symbol.to_bytes("svg", shape="dot"))
        symbol.save(self.path("dots.png"), shape="dot", finder="rounded")
        with open(self.path("dots.png"), "rb") as file:
            self.assertEqual(file.read(), dots)
        with self.assertRaisesRegex(ValueError, "shape takes square, dot, .* not 'star'"):
            symbol.to_bytes("png", shape="star")
        with self.assertRaisesRegex(ValueError, "txt output takes no styles"):
            symbol.to_bytes("txt", shape="dot")
        with self.assertRaises(TypeError):
            symbol.to_bytes("png", colour="red")
        # A logo given to make() takes level H unless a level (or a payload's) is given, and is
        # drawn by every call that names no other.
        logo = tessera.make("1").to_bytes("png", margin=0)
        branded = tessera.make("https://example.com/styled", logo=logo)
        self.assertEqual(branded.level, "H")
        self.assertEqual(branded.to_bytes("png"), symbol.to_bytes("png", logo=logo))
        self.assertEqual(branded.verify("png"), ("reads", []))
        self.assertEqual(branded.to_bytes("png", logo=None), plain)
        for made, level in [(tessera.make("x", logo=logo, level="Q"), "Q"),
                            (tessera.make(tessera.payload.epc("Red Cross",
                                                              "DE89370400440532013000"),
                                          logo=logo), "M")]:
            self.assertEqual(made.level, level)
        rmqr = tessera.make("https://example.com/styled", rmqr=True)
        self.assertEqual(rmqr.verify("png", shape="dot"), ("reads", []))
        self.assertIn(b"<path ", rmqr.to_bytes("svg", shape="dot"))

    def test_rmqr_gs1_and_fit(self):
        r = tessera.make("12345", version="R7x43", level="H")
        self.assertEqual((r.rmqr, r.micro, r.version, r.level, r.size, r.height, r.name),
                         (True, False, 1, "H", 43, 7, "R7x43"))
        self.assertEqual([len(row) for row in r.modules], [43] * 7)
        self.assertEqual(repr(r)[:35], "<tessera.Symbol version R7x43, leve")
        # A quiet zone of 2 unless asked: 11 lines of 47 modules, two characters each.
        lines = r.to_bytes("txt").split(b"\n")
        self.assertEqual((len(lines) - 1, len(lines[0])), (11, 94))
        self.assertEqual(tessera.make("12345", rmqr_height=13).name, "R13x27")
        gs1 = tessera.make("[01]09501101530003[17]261231[10]ABC", gs1=True, version=2,
                           strict=True)
        self.assertEqual((gs1.gs1, gs1.size, gs1.height, gs1.name), (True, 25, 25, "2"))
        self.assertEqual(tessera.make("1234567890", fit=(50, 12)).name, "R7x43")
        for kwargs in [{"rmqr": True, "level": "L"}, {"version": "R7x44"}, {"rmqr_height": 8},
                       {"gs1": True, "micro": True}, {"fit": (20, 20), "version": 3},
                       {"rmqr": True, "mask": 1}]:
            with self.subTest(**{k: repr(v) for k, v in kwargs.items()}):
                with self.assertRaises(ValueError):
                    tessera.make("1", **kwargs)
        with self.assertRaises(TypeError):
            tessera.make("1", fit=20)
        with self.assertRaisesRegex(tessera.EncodeError, r"GS1 \(01\): the check digit is 3"):
            tessera.make("[01]09501101530004", gs1=True)

    def test_file_objects_take_every_byte(self):
        symbol = tessera.make("short writes")

        class Trickle(io.RawIOBase):
            """A raw file that takes at most 10 bytes a call; `most` 0 takes none."""
            def __init__(self, most=10):
                super().__init__()
                self.most, self.taken = most, bytearray()

            def writable(self):
                return True

            def write(self, data):
                self.taken += bytes(data[:self.most])
                return min(len(data), self.most)

        trickle = Trickle()
        symbol.save(trickle, "svg")
        self.assertEqual(bytes(trickle.taken), symbol.to_bytes("svg"))
        with self.assertRaises(OSError):
            symbol.save(Trickle(0), "svg")

    def test_the_library_is_found_without_a_variable_or_named_with_every_path_tried(self):
        library = tessera._libraries["tessera_api"]._name
        environment = {k: v for k, v in os.environ.items()
                       if k not in ("TESSERA_LIBRARY", "TESSERA_API_LIBRARY")}
        source = os.path.dirname(os.path.abspath(tessera.__file__))  # the package's folder
        script = "import tessera; print(tessera.make('Hi').size)"
        for tree, link in (("built", "build-run"), ("bare", None)):
            python = os.path.join(self.folder.name, tree, "python")
            shutil.copytree(source, os.path.join(python, "tessera"),
                            ignore=shutil.ignore_patterns("__pycache__"))
            if link:
                os.makedirs(os.path.join(self.folder.name, tree, link))
                os.symlink(library, os.path.join(self.folder.name, tree, link,
                                                 tessera._file_names("tessera_api")[0]))
            run = subprocess.run([sys.executable, "-c", script], cwd=self.folder.name,
                                 env=dict(environment, PYTHONPATH=python), capture_output=True,
                                 text=True, check=False)
            with self.subTest(tree=tree):
                if link:
                    self.assertEqual((run.returncode, run.stdout), (0, "21\n"), run.stderr)
                    continue
                if run.returncode == 0:
                    self.skipTest("the system's loader has a tessera API library")
                for folder in (os.path.join("python", "tessera"), "build-run", "build"):
                    self.assertIn(os.path.join(self.folder.name, tree, folder,
                                               tessera._file_names("tessera_api")[0]), run.stderr)

    def test_status_numbers_and_levels_are_the_librarys(self):
        import ctypes
        api, constants, index = tessera._api(), {}, 0
        name, value = ctypes.c_char_p(), ctypes.c_int()
        while api.tessera_constant(index, ctypes.byref(name), ctypes.byref(value)):
            constants[name.value.decode("ascii")] = value.value
            index += 1
        self.assertEqual(api.tessera_constant(index, None, None), 0)
        self.assertEqual({
            "TESSERA_OK": tessera.WRITTEN,
            "TESSERA_ERROR_NOTHING_TO_DO": tessera.NOTHING_TO_DO,
            "TESSERA_ERROR_CANNOT_ENCODE": tessera.CANNOT_ENCODE,
            "TESSERA_ERROR_CANNOT_WRITE": tessera.CANNOT_WRITE,
            "TESSERA_ERROR_BAD_ARGUMENT": tessera._BAD_ARGUMENT,
            "TESSERA_ERROR_BUFFER_TOO_SMALL": tessera._BUFFER_TOO_SMALL,
            "TESSERA_ERROR_FORMAT_NOT_AVAILABLE": tessera._FORMAT_NOT_AVAILABLE,
            "TESSERA_ERROR_NO_MEMORY": tessera._NO_MEMORY,
            "TESSERA_DEFAULT": tessera._DEFAULT,
            "TESSERA_FORMAT_FROM_PATH": tessera._library._FORMAT_FROM_PATH,
            "TESSERA_OPTION_SLOTS": tessera._library._OPTION_SLOTS,
            "TESSERA_MESSAGE_ROOM": tessera._library._MESSAGE_ROOM,
            "TESSERA_STYLE_REGIONS": tessera._REGION_COUNT,
            **{f"TESSERA_LEVEL_{letter}": tessera._LEVELS.index(letter) for letter in "LMQH"},
            **{f"TESSERA_FIELD_{name}": getattr(tessera._payload, f"_FIELD_{name}")
               for name in ("NAME", "HELP", "DEFAULT", "REQUIRED", "KIND_OF_VALUE", "FLAG")},
            "TESSERA_STYLE_SETTING": tessera._symbol._STYLE_SETTINGS,
            **{f"TESSERA_VERIFY_{verdict.upper()}": number
               for number, verdict in enumerate(tessera._symbol._VERDICTS)},
        }.items() - constants.items(), set())

    def test_records_end_where_the_librarys_do(self):
        import ctypes
        api, text = tessera._api(), ctypes.create_string_buffer(512)
        for record, init, check, last in (
                (tessera._Settings, api.tessera_settings_init_sized,
                 lambda at: api.tessera_check_settings(at, text, 512), ("fit_width", "fit_height")),
                (tessera._RenderOptions, api.tessera_render_options_init_sized,
                 lambda at: api.tessera_check_render_options(0, at, text, 512), ("dpi",)),
                (tessera._StyleOptions, api.tessera_style_options_init_sized,
                 lambda at: api.tessera_style_set(at, b"shape", b"dot", text, 512),
                 ("printed_size",))):
            with self.subTest(record.__name__):
                size = ctypes.sizeof(record)
                room = ctypes.create_string_buffer(size + 4)
                at = ctypes.cast(room, ctypes.POINTER(record))
                self.assertEqual(init(at, size + 4), tessera.WRITTEN)
                for name in last:  # the binding's last field is the library's
                    setattr(at.contents, name, 21)
                self.assertEqual(check(at), tessera.WRITTEN, text.value)
                room[size] = 1  # and the library knows no field past it
                self.assertEqual(check(at), tessera._BAD_ARGUMENT)
                self.assertRegex(text.value, b"size field|record that cannot be read")


if __name__ == "__main__":
    unittest.main()
