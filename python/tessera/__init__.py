"""QR Code symbols through the tessera libraries (ctypes, no dependencies).

    import tessera
    symbol = tessera.make("Hello", level="H")          # the symbol itself
    symbol.version, symbol.level, symbol.mask, symbol.size, symbol.modules
    symbol.save("hello.png", scale=8)                  # or .svg, .bmp, .txt, ...
    png = symbol.to_bytes("png")                       # any format, in memory
    symbol.save("dots.svg", shape="dot", finder="rounded", data_dark="1F2937")   # styled
    symbol.verify("png", shape="dot")                  # ("reads", []) when it reads with margin
    symbol.to_data_uri("svg")                          # "data:image/svg+xml;base64,..."
    tessera.formats()                                  # {"bmp": "bmp", ..., "pbm-plain": "pbm"}
    tessera.save_all([(symbol, "a.png"), (other, "b.png")])   # many files, one sync

    tessera.encode("Hello", "hello.bmp", level="H", scale=8)   # the library's one call: 0 when written

    text = tessera.payload.wifi("My Net", password="p;w")      # WIFI:T:WPA;S:My Net;P:p\\;w;;
    tessera.make(tessera.payload.epc(name="Red Cross", iban="DE89 3704 0044 0532 0130 00",
                                     amount="12.50", text="Donation"))  # level M, version <= 13

make() and Symbol use the API library (libtessera_api.so.1, tessera_api.dll); encode() calls the
library's only export in libtessera.so.1 (tessera.dll). Each is looked for, in this order:
  1. the path in TESSERA_API_LIBRARY (TESSERA_LIBRARY for encode()), when it is set, and then
     only that;
  2. beside this package's files (as a wheel holds them);
  3. in the build folders of the source tree this package sits in: build-run/ (scripts/run.sh),
     then build/ (scripts/test.sh);
  4. in the lib folders of the prefix, when this package is installed as
     <prefix>/share/tessera/python/tessera/;
  5. by the system's loader, under the library's versioned name.
When none loads, TesseraError names every path tried and why it failed. The API library is loaded
when the package is imported: its statuses and levels are read from it (_library.py).

The package's files: _library.py (finding and loading the libraries, their records and numbers),
_checks.py (arguments checked into records), _symbol.py (Symbol, save_all), _payload.py (payloads)
and this one (make, make_structured, formats, encode).
"""
import ctypes
import itertools
import os

from ._library import (CANNOT_ENCODE, CANNOT_WRITE, NOTHING_TO_DO, WRITTEN, EncodeError,
                       TesseraError, _BAD_ARGUMENT, _DEFAULT, _LEVELS, _MESSAGE_ROOM,
                       _OPTION_SLOTS, _RenderOptions, _api, _limit, _load)
# What the package's tests reach by name beside the public names.
from ._library import (_BUFFER_TOO_SMALL, _FORMAT_NOT_AVAILABLE, _NO_MEMORY, _REGION_COUNT,
                       _Settings, _StyleOptions, _file_names, _libraries)
from ._checks import (_bytes_of, _checked, _checked_settings, _defaults, _is_int, _kept,
                      _make_settings, _raise, _settings, _switch, _version_settings, _whole)
from ._symbol import Symbol, save_all
from ._payload import Payload, _make_payload, _payload_builders

__all__ = ["make", "make_structured", "formats", "Symbol", "save_all", "EncodeError", "encode",
           "payload", "Payload",
           "TesseraError", "WRITTEN", "NOTHING_TO_DO", "CANNOT_ENCODE", "CANNOT_WRITE"]

# Bytes that stand for themselves in a "/T" value; every other byte is sent as %XX.
_PLAIN = frozenset(b"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 -_.:/+*$")


def __getattr__(name):
    """tessera.__version__: the release of the API library in use, such as "1.1.0"; and
    tessera.payload, the payload builders, made from the library's table on first use."""
    if name == "__version__":
        return _api().tessera_library_version().decode("ascii")
    if name == "payload":
        globals()["payload"] = _payload_builders()
        return globals()["payload"]
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")


def _check_one_export_scale(scale):
    """Refuses a scale that the library's BMP does not take, with the library's reason."""
    if _whole("scale", scale, 0) == 0:  # the API's "default"; the call has no such value
        raise ValueError("scale must be a positive number of pixels per module, not 0")
    options = _defaults(_RenderOptions)
    options.scale = scale
    text = ctypes.create_string_buffer(_MESSAGE_ROOM)
    _checked(_api().tessera_check_render_options(0, ctypes.byref(options), text, _MESSAGE_ROOM),
             text)


def make(data, *, level=None, version=None, strict=False, mask=None, utf8=False, micro=False,
         boost=False, rmqr=False, rmqr_height=None, gs1=False, fit=None, logo=None):
    """Encodes `data` (bytes, or str encoded as UTF-8) as one QR Code symbol.

    level: "L", "M", "Q" or "H", or None for the default (M; for Micro QR L, M1 included);
    version: 1-40, "M1" to "M4" for Micro QR, or None for the smallest that holds the data;
    strict: with a version, fail rather than take a larger one; mask: 0-7 (Micro QR 0-3), or
    None for the best; utf8: mark the data as UTF-8 text (ECI 26) and form no Kanji pairs, so that
    readers show the same text; micro: a Micro QR symbol; boost: the highest level the chosen
    version holds, never below `level`; rmqr: an rMQR symbol (rectangular, levels M and H, no
    mask; a version "R7x43" to "R17x139" implies it); rmqr_height: 7, 9, ..., 17, the narrowest
    rMQR of that height; gs1: `data` is a GS1 element string, "[01]09501101530003[10]AB", checked
    and written with FNC1 first (QR Code and rMQR); fit: (width, height) in modules, the symbol of
    smallest area among QR Code, Micro QR and rMQR that fits the box with its quiet zone;
    logo: a PNG or SVG logo (bytes, or a path) that every drawing of the symbol carries unless it
    is given another, and that takes level H unless a level is given (Micro QR keeps its own).

    A Payload (from tessera.payload) is encoded within its limits: one that sets a level (a
    payment: M, at most version 13) takes exactly that level, its text as bytes and no larger
    version, and settings that ask otherwise raise ValueError.

    Returns a Symbol. Raises EncodeError (a ValueError) when the data is empty or does not fit,
    ValueError for settings out of range, TypeError for data that is not bytes or str.
    """
    # A logo takes level H unless a level is given (or the payload has its own); Micro QR has none.
    if logo is not None and level is None and not (isinstance(data, Payload) and data.level) \
            and not _version_settings(version, _switch("micro", micro), _switch("rmqr", rmqr))[1]:
        level = "H"
    arguments = (level, version, strict, mask, utf8, micro, boost, rmqr, rmqr_height, gs1, fit)
    settings = _kept(_checked_settings, arguments, lambda: _make_settings(*arguments))
    if isinstance(data, Payload):
        return _make_payload(data, settings)._with_logo(logo)
    data = _bytes_of(data)
    api = _api()
    handle = ctypes.c_void_p()
    status = api.tessera_encode(data, len(data), ctypes.byref(settings), ctypes.byref(handle))
    if status == CANNOT_ENCODE:
        text = ctypes.create_string_buffer(_MESSAGE_ROOM)
        api.tessera_explain_encode_failure(data, len(data), ctypes.byref(settings), text,
                                           _MESSAGE_ROOM)
        raise EncodeError(text.value.decode("utf-8", "replace"))
    if status != WRITTEN:
        _raise(status)
    return Symbol(handle)._with_logo(logo)


def make_structured(data, count=None, *, level=None, version=None, strict=False, mask=None,
                    utf8=False, boost=False):
    """Encodes `data` as structured append: several symbols that a reader joins again.

    count: 2-16 symbols of parts as equal in length as whole characters allow; None with a
    `version`: symbols of that version filled in order, the last taking the rest, at most 16 (one
    plain symbol when it all fits one). The symbols share the level and one version, the smallest
    that holds the largest part; the other settings are make()'s.

    Returns the list of Symbols in order; each has .part = (index, count) and .parity.
    """
    data = _bytes_of(data)
    settings = _settings(level, version, strict, mask, utf8, False, boost)
    number = 0 if count is None else _whole("count", count, 0)
    api = _api()
    room = 16
    handles = (ctypes.c_void_p * room)()
    made = ctypes.c_size_t(0)
    status = api.tessera_encode_structured(data, len(data), ctypes.byref(settings), number,
                                           handles, room, ctypes.byref(made))
    if status in (CANNOT_ENCODE, _BAD_ARGUMENT):
        text = ctypes.create_string_buffer(_MESSAGE_ROOM)
        api.tessera_explain_structured_failure(data, len(data), ctypes.byref(settings), number,
                                               text, _MESSAGE_ROOM)
        error = EncodeError if status == CANNOT_ENCODE else ValueError
        raise error(text.value.decode("utf-8", "replace") or
                    api.tessera_status_message(status).decode())
    if status != WRITTEN:
        _raise(status)
    return [Symbol(ctypes.c_void_p(handles[i])) for i in range(made.value)]


def formats():
    """The formats that this build of the API library renders, in the order of the library's
    table: a dict of each name ("png", ..., "pbm-plain") to the extension of its files ("png",
    ..., "pbm"), None for the terminal styles."""
    api = _api()
    found = {}
    for number in itertools.count():
        name = api.tessera_format_name(number)
        if name is None:
            return found
        if api.tessera_format_available(number):
            extension = api.tessera_format_extension(number)
            found[name.decode("ascii")] = extension and extension.decode("ascii")


def _escape(data):
    """The "/T" value that the library decodes back to exactly `data`."""
    return b"".join(bytes([b]) if b in _PLAIN else b"%%%02X" % b for b in data)


def encode(data, path, level="M", version=0, strict=False, mask=None, scale=4):
    """Encodes `data` (bytes, or str taken as UTF-8) as one QR Code symbol and writes it as a
    1-bit BMP file at `path`.

    level: "L", "M", "Q" or "H" (or 0-3); version: 1-40, 0 for the smallest that holds the data;
    strict: with a version, fail rather than take a larger one; mask: 0-7, None for the lowest
    penalty; scale: pixels per module, 1-20.

    Returns the library's result: 0 written, 1 nothing to do (empty path), 2 the data cannot be
    encoded (empty or too long), 3 the file cannot be created. Raises ValueError for arguments out
    of range, and when more than two of level, version, strict, mask and scale differ from their
    defaults: the library's call carries four options, and the data and the path take two.
    Raises TesseraError when the library cannot be loaded.
    """
    data = _bytes_of(data)
    if _is_int(level) and 0 <= level < len(_LEVELS):
        level = _LEVELS[level]
    if version == 0:
        version = None
    if strict and version is None:
        raise ValueError("strict needs a version")
    # The library's call takes any value and falls back to defaults; the API's checks refuse
    # what is out of range instead.
    settings = _settings(level, version, strict, mask, False)
    if not _is_int(scale):
        raise ValueError(f"scale must be a whole number, not {scale!r}")
    _check_one_export_scale(scale)

    path = os.fsencode(path)
    if b"\0" in path:
        raise ValueError("path must not contain a zero byte")
    options = [b"/T" + _escape(data), b"/O" + path]
    # What the library's call takes without /L and /S: its default level and image scale.
    if settings.level not in (_DEFAULT, _limit("level.default")):
        options.append(b"/L%d" % settings.level)
    if version:
        options.append(b"/V%d" % version)
    if strict:
        options.append(b"/EN")
    if mask is not None:
        options.append(b"/M%d" % mask)
    if scale != _limit("scale.image"):
        options.append(b"/S%d" % scale)
    if len(options) > _OPTION_SLOTS:
        raise ValueError("at most two of level, version, strict, mask and scale may differ from "
                         "their defaults in one call")
    options += [b""] * (_OPTION_SLOTS - len(options))
    return _load().tessera(*options)
