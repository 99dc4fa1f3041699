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
  2. beside this module (as a wheel holds it);
  3. in the build folders of the source tree this module sits in: build-run/ (scripts/run.sh),
     then build/ (scripts/test.sh);
  4. in the lib folders of the prefix, when this module is installed as
     <prefix>/share/tessera/python/tessera.py;
  5. by the system's loader, under the library's versioned name.
When none loads, TesseraError names every path tried and why it failed.
"""

import base64
import ctypes
import errno
import glob
import inspect
import itertools
import os
import re
import sys
import threading
import types

__all__ = ["make", "make_structured", "formats", "Symbol", "save_all", "EncodeError", "encode",
           "payload", "Payload",
           "TesseraError", "WRITTEN", "NOTHING_TO_DO", "CANNOT_ENCODE", "CANNOT_WRITE"]

# The result codes of the library's call, which are also the API's first statuses.
WRITTEN = 0
NOTHING_TO_DO = 1
CANNOT_ENCODE = 2
CANNOT_WRITE = 3
# The API's other statuses that this module meets.
_BAD_ARGUMENT = 4
_BUFFER_TOO_SMALL = 5
_FORMAT_NOT_AVAILABLE = 6
_NO_MEMORY = 7
_DEFAULT = -1  # a setting left to the library

_LEVELS = "LMQH"
_FORMAT_FROM_PATH = -1
# The library takes exactly four option strings per call.
_OPTION_SLOTS = 4
# Bytes that stand for themselves in a "/T" value; every other byte is sent as %XX.
_PLAIN = frozenset(b"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 -_.:/+*$")
_MESSAGE_ROOM = 512
# Renders go into a buffer kept per thread, which grows to the largest render up to this size
# (a larger one gets a buffer of its own), so that a render is made once, not measured first.
_FIRST_RENDER_ROOM = 1 << 14
_KEPT_RENDER_ROOM = 1 << 20
_render_room = threading.local()
# Format numbers by name, and checked settings and render options by their arguments, as the
# library gave them; a few hundred kinds of call at most are kept.
_format_numbers = {}
_checked_settings = {}
_checked_options = {}
_KEPT_OPTIONS = 256
_PLAIN_TYPES = (type(None), bool, int, str)
# The range of a C int, which every number of the libraries' settings and options is.
_INT_BITS = 8 * ctypes.sizeof(ctypes.c_int)
_INT_MAX = 2 ** (_INT_BITS - 1) - 1
# The major version in the libraries' file names (libtessera_api.so.1), which changes only when
# their calls do.
_SONAME_VERSION = 1

_libraries = {}
_limits = {}


class TesseraError(OSError):
    """A tessera library cannot be found or loaded."""


class EncodeError(ValueError):
    """The data is empty or does not fit the symbol asked for."""


class _Settings(ctypes.Structure):
    _fields_ = [("size", ctypes.c_size_t), ("level", ctypes.c_int), ("version", ctypes.c_int),
                ("strict_version", ctypes.c_int), ("mask", ctypes.c_int), ("utf8", ctypes.c_int),
                ("micro", ctypes.c_int), ("boost", ctypes.c_int), ("rmqr", ctypes.c_int),
                ("rmqr_height", ctypes.c_int), ("gs1", ctypes.c_int), ("fit_width", ctypes.c_int),
                ("fit_height", ctypes.c_int)]


# The style record's regions: as many as the library names (tessera_style_name), which
# MakeTest checks.
_REGION_COUNT = 14


class _StyleOptions(ctypes.Structure):
    _fields_ = [("size", ctypes.c_size_t), ("shape", ctypes.c_int), ("finder", ctypes.c_int),
                ("regions", ctypes.c_uint32 * _REGION_COUNT), ("gradient", ctypes.c_int),
                ("gradient_from", ctypes.c_uint32), ("gradient_to", ctypes.c_uint32),
                ("gradient_angle", ctypes.c_int), ("logo_percent", ctypes.c_int),
                ("logo", ctypes.c_void_p), ("logo_size", ctypes.c_size_t),
                ("title", ctypes.c_char_p), ("description", ctypes.c_char_p),
                ("cmyk", ctypes.c_int), ("cmyk_percent", ctypes.c_int * 4),
                ("printed_unit", ctypes.c_int), ("printed_size", ctypes.c_double)]


class _RenderOptions(ctypes.Structure):
    _fields_ = [("size", ctypes.c_size_t), ("scale", ctypes.c_int), ("margin", ctypes.c_int),
                ("dark", ctypes.c_uint32), ("light", ctypes.c_uint32), ("dpi", ctypes.c_int)]


def _file_names(stem):
    """The library's file names on this system: the versioned one first."""
    if sys.platform == "win32":
        return (f"{stem}.dll",)
    if sys.platform == "darwin":
        return (f"lib{stem}.{_SONAME_VERSION}.dylib", f"lib{stem}.dylib")
    return (f"lib{stem}.so.{_SONAME_VERSION}", f"lib{stem}.so")


def _candidates(variable, stem):
    """The paths to try for a library, in the order of this module's documentation."""
    explicit = os.environ.get(variable)
    if explicit:
        yield explicit
        return
    names = _file_names(stem)
    here = os.path.dirname(os.path.abspath(__file__))
    for folder in (here, os.path.join(here, "..", "build-run"), os.path.join(here, "..", "build")):
        for name in names:
            yield os.path.normpath(os.path.join(folder, name))
    share = os.path.join("share", "tessera", "python")
    if here.endswith(os.sep + share):
        prefix = here[:-len(share) - 1]
        for pattern in ("lib*", os.path.join("lib*", "*"), "bin"):
            for name in names:
                yield from sorted(glob.glob(os.path.join(prefix, pattern, name)))
    yield names[0]  # the system's loader


def _open(variable, stem, declare):
    if stem not in _libraries:
        tried = []
        for path in _candidates(variable, stem):
            if os.path.dirname(path) and not os.path.exists(path):
                tried.append(f"{path}: no such file")
                continue
            try:
                library = ctypes.CDLL(path)
                declare(library)
            except (OSError, AttributeError) as error:
                tried.append(f"{path}: {error}")
                continue
            _libraries[stem] = library
            break
        else:
            raise TesseraError(f"the {stem} library cannot be loaded (set {variable} to its "
                               "path); tried " + "; ".join(tried))
    return _libraries[stem]


def _declare_one_export(library):
    library.tessera.argtypes = [ctypes.c_char_p] * _OPTION_SLOTS
    library.tessera.restype = ctypes.c_int


def _declare_api(library):
    P, C, I, S = ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int, ctypes.c_size_t
    signatures = {
        "tessera_settings_init_sized": (I, [ctypes.POINTER(_Settings), S]),
        "tessera_render_options_init_sized": (I, [ctypes.POINTER(_RenderOptions), S]),
        "tessera_encode": (I, [C, S, ctypes.POINTER(_Settings), ctypes.POINTER(P)]),
        "tessera_explain_encode_failure": (I, [C, S, ctypes.POINTER(_Settings), C, S]),
        "tessera_check_settings": (I, [ctypes.POINTER(_Settings), C, S]),
        "tessera_check_render_options": (I, [I, ctypes.POINTER(_RenderOptions), C, S]),
        "tessera_symbol_free": (None, [P]),
        "tessera_symbol_size": (I, [P]),
        "tessera_symbol_version": (I, [P]),
        "tessera_symbol_level": (I, [P]),
        "tessera_symbol_mask": (I, [P]),
        "tessera_symbol_is_micro": (I, [P]),
        "tessera_symbol_height": (I, [P]),
        "tessera_symbol_is_rmqr": (I, [P]),
        "tessera_symbol_is_gs1": (I, [P]),
        "tessera_rmqr_version": (I, [C]),
        "tessera_symbol_data_bits": (I, [P]),
        "tessera_symbol_capacity_bits": (I, [P]),
        "tessera_symbol_structured": (I, [P, ctypes.POINTER(I), ctypes.POINTER(I),
                                          ctypes.POINTER(I)]),
        "tessera_encode_structured": (I, [C, S, ctypes.POINTER(_Settings), I,
                                          ctypes.POINTER(P), S, ctypes.POINTER(S)]),
        "tessera_explain_structured_failure": (I, [C, S, ctypes.POINTER(_Settings), I, C, S]),
        "tessera_symbol_modules": (I, [P, C, S]),
        "tessera_render": (I, [P, I, ctypes.POINTER(_RenderOptions), C, S, ctypes.POINTER(S)]),
        "tessera_save": (I, [P, C, I, ctypes.POINTER(_RenderOptions)]),
        "tessera_save_all": (I, [ctypes.POINTER(P), ctypes.POINTER(C), S, I,
                                 ctypes.POINTER(_RenderOptions), ctypes.POINTER(I)]),
        "tessera_save_explained": (I, [P, C, I, ctypes.POINTER(_RenderOptions),
                                       ctypes.POINTER(I), C, S]),
        "tessera_format_from_name": (I, [C]),
        "tessera_format_from_path": (I, [C]),
        "tessera_format_name": (C, [I]),
        "tessera_format_extension": (C, [I]),
        "tessera_format_available": (I, [I]),
        "tessera_format_media_type": (C, [I]),
        "tessera_constant": (I, [I, ctypes.POINTER(C), ctypes.POINTER(I)]),
        "tessera_limit": (I, [I, ctypes.POINTER(C), ctypes.POINTER(ctypes.c_longlong)]),
        "tessera_status_message": (C, [I]),
        "tessera_style_options_init_sized": (I, [ctypes.POINTER(_StyleOptions), S]),
        "tessera_style_name": (C, [I, I]),
        "tessera_style_set": (I, [ctypes.POINTER(_StyleOptions), C, C, C, S]),
        "tessera_render_styled": (I, [P, I, ctypes.POINTER(_RenderOptions),
                                      ctypes.POINTER(_StyleOptions), C, S, ctypes.POINTER(S)]),
        "tessera_check_style": (I, [P, I, ctypes.POINTER(_RenderOptions),
                                    ctypes.POINTER(_StyleOptions), C, S]),
        "tessera_save_styled": (I, [P, C, I, ctypes.POINTER(_RenderOptions),
                                    ctypes.POINTER(_StyleOptions)]),
        "tessera_verify": (I, [P, I, ctypes.POINTER(_RenderOptions),
                               ctypes.POINTER(_StyleOptions), ctypes.POINTER(I), C, S]),
        "tessera_library_version": (C, []),
        "tessera_payload_kind": (C, [I]),
        "tessera_payload_kind_help": (C, [C]),
        "tessera_payload_field_text": (C, [C, I, I]),
        "tessera_payload_field_number": (I, [C, I, I]),
        "tessera_payload_field_choice": (C, [C, I, I]),
        "tessera_payload_build": (I, [C, ctypes.POINTER(C), ctypes.POINTER(C), S, C, S,
                                      ctypes.POINTER(S), ctypes.POINTER(I), ctypes.POINTER(I),
                                      C, S]),
        "tessera_payload_encode": (I, [C, ctypes.POINTER(C), ctypes.POINTER(C), S,
                                       ctypes.POINTER(_Settings), ctypes.POINTER(P), C, S]),
    }
    for name, (result, arguments) in signatures.items():
        function = getattr(library, name)
        function.restype, function.argtypes = result, arguments


def _load():
    """The one-export library, libtessera.so."""
    return _open("TESSERA_LIBRARY", "tessera", _declare_one_export)


def _limit(name):
    """Row `name` ("scale.image") of the library's table of limits, read once."""
    if not _limits:
        row, value = ctypes.c_char_p(), ctypes.c_longlong()
        index = 0
        while _api().tessera_limit(index, ctypes.byref(row), ctypes.byref(value)):
            _limits[row.value.decode("ascii")] = value.value
            index += 1
    return _limits[name]


def _api():
    """The API library, libtessera_api.so."""
    return _open("TESSERA_API_LIBRARY", "tessera_api", _declare_api)


def __getattr__(name):
    """tessera.__version__: the release of the API library in use, such as "1.1.0"; and
    tessera.payload, the payload builders, made from the library's table on first use."""
    if name == "__version__":
        return _api().tessera_library_version().decode("ascii")
    if name == "payload":
        globals()["payload"] = _payload_builders()
        return globals()["payload"]
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")


def _bytes_of(data):
    if isinstance(data, str):
        return data.encode("utf-8")
    if isinstance(data, (bytes, bytearray, memoryview)):
        return bytes(data)
    raise TypeError("data must be bytes or str")


def _check_one_export_scale(scale):
    """Refuses a scale that the library's BMP does not take, with the library's reason."""
    if _whole("scale", scale, 0) == 0:  # the API's "default"; the call has no such value
        raise ValueError("scale must be a positive number of pixels per module, not 0")
    options = _defaults(_RenderOptions)
    options.scale = scale
    text = ctypes.create_string_buffer(_MESSAGE_ROOM)
    _checked(_api().tessera_check_render_options(0, ctypes.byref(options), text, _MESSAGE_ROOM),
             text)


def _is_int(value):
    return isinstance(value, int) and not isinstance(value, bool)


def _level_number(level):
    if level is None:
        return _DEFAULT
    if isinstance(level, str) and len(level) == 1 and level.upper() in _LEVELS:
        return _LEVELS.index(level.upper())
    raise ValueError(f"level must be L, M, Q or H, or None for the default, not {level!r}")


def _whole(name, value, default):
    """`value`, or `default` for None; the library checks the range of what a C int holds."""
    if value is None:
        return default
    if not _is_int(value) or value < 0:
        raise ValueError(f"{name} must be a whole number, not {value!r}")
    if value > _INT_MAX:
        raise ValueError(f"{name} is out of range, not {value!r}")
    return value


def _switch(name, value):
    """1 or 0 for a switch given as a bool (or 1 or 0)."""
    if value is True or value is False or (_is_int(value) and value in (0, 1)):
        return int(value)
    raise ValueError(f"{name} must be True or False, not {value!r}")


def _checked(status, text):
    """Raises ValueError with the library's reason unless `status` is 0."""
    if status == _BAD_ARGUMENT:
        raise ValueError(text.value.decode("utf-8", "replace"))
    if status != WRITTEN:
        _raise(status)


def _raise(status, path=None):
    message = _api().tessera_status_message(status).decode("utf-8", "replace")
    if status == CANNOT_WRITE:
        raise OSError(f"{message}: {os.fsdecode(path)}" if path is not None else message)
    if status == _NO_MEMORY:
        raise MemoryError(message)
    if status == _BAD_ARGUMENT:
        raise ValueError(message)
    raise TesseraError(message)


def _defaults(record):
    """A new `record` (_Settings, _RenderOptions or _StyleOptions) filled by the library at this
    module's size of it, which the library reads no further than."""
    made = record()
    init = {_Settings: _api().tessera_settings_init_sized,
            _RenderOptions: _api().tessera_render_options_init_sized,
            _StyleOptions: _api().tessera_style_options_init_sized}[record]
    status = init(ctypes.byref(made), ctypes.sizeof(record))
    if status != WRITTEN:
        _raise(status)
    return made


def _settings(level, version, strict, mask, utf8, micro=False, boost=False, rmqr=False,
              rmqr_height=None, gs1=False, fit=None):
    settings = _defaults(_Settings)
    api = _api()
    settings.level = _level_number(level)
    settings.version = _whole("version", version, 0)
    settings.strict_version = _switch("strict", strict)
    settings.mask = _whole("mask", mask, _DEFAULT)
    settings.utf8 = _switch("utf8", utf8)
    settings.micro = _switch("micro", micro)
    settings.boost = _switch("boost", boost)
    settings.rmqr = _switch("rmqr", rmqr)
    settings.rmqr_height = _whole("rmqr_height", rmqr_height, 0)
    settings.gs1 = _switch("gs1", gs1)
    if fit is not None:
        if not isinstance(fit, (tuple, list)) or len(fit) != 2:
            raise TypeError(f"fit must be (width, height) in modules, not {fit!r}")
        settings.fit_width = _whole("fit width", fit[0], 0)
        settings.fit_height = _whole("fit height", fit[1], 0)
    text = ctypes.create_string_buffer(_MESSAGE_ROOM)
    _checked(api.tessera_check_settings(ctypes.byref(settings), text, _MESSAGE_ROOM), text)
    return settings


def _colour(name, value, default):
    """A colour as 0xRRGGBBAA from "#RRGGBB", "RRGGBBAA" (with or without '#') or an int."""
    if value is None:
        return default
    if _is_int(value) and 0 <= value <= 0xFFFFFFFF:
        return value
    if isinstance(value, str):
        digits = value[1:] if value.startswith("#") else value
        if len(digits) in (6, 8) and all(c in "0123456789abcdefABCDEF" for c in digits):
            return int(digits, 16) << 8 | 0xFF if len(digits) == 6 else int(digits, 16)
    raise ValueError(f"{name} must be RRGGBB or RRGGBBAA, not {value!r}")


def _version_settings(version, micro, rmqr):
    """The version number and the Micro QR and rMQR switches of `version`: None, a number, "M"
    and a number from 1 ("M1"), or the name of an rMQR size ("R11x59"); the library checks the
    range and knows the names."""
    if isinstance(version, str):
        if re.fullmatch("[Mm][1-9][0-9]*", version):
            return int(version[1:]), True, rmqr
        number = 0
        if version.isascii() and "\0" not in version:
            number = _api().tessera_rmqr_version(version.encode("ascii"))
        if number == 0:
            raise ValueError(f"version must be a number, M1 to M4 for Micro QR or an rMQR size "
                             f"R7x43 to R17x139, not {version!r}")
        return number, micro, True
    return version, micro, rmqr


def _make_settings(level, version, strict, mask, utf8, micro, boost, rmqr, rmqr_height, gs1, fit):
    """The checked settings record of make()'s arguments."""
    version, micro, rmqr = _version_settings(version, _switch("micro", micro),
                                             _switch("rmqr", rmqr))
    rmqr = rmqr or (rmqr_height is not None and rmqr_height != 0)
    return _settings(level, version, strict, mask, utf8, micro, boost, rmqr, rmqr_height, gs1, fit)


def _kept(store, key, build):
    """What build() returns, kept in `store` for a `key` of plain values (None, bool, int, str;
    their types are part of the key, so that True and 1 stay apart), up to _KEPT_OPTIONS keys.
    What is kept is only read afterwards."""
    types = tuple(type(value) for value in key)
    if not all(kind in _PLAIN_TYPES for kind in types):
        return build()
    key += types
    made = store.get(key)
    if made is None:
        made = build()
        if len(store) < _KEPT_OPTIONS:
            store[key] = made
    return made


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


class Payload(str):
    """The text of a payload made by tessera.payload: a str, and what it asks of its symbol.

    .kind ("epc"), .fields (the fields given, as the library took them), .level ("M", or None:
    any) and .max_version (13, or None: any). make() encodes it within those limits."""

    def __new__(cls, text, kind, fields, level, max_version):
        made = super().__new__(cls, text)
        made.kind, made.fields = kind, dict(fields)
        made.level = _LEVELS[level] if 0 <= level < len(_LEVELS) else None
        made.max_version = max_version or None
        return made


def _c_strings(values):
    return (ctypes.c_char_p * max(len(values), 1))(*[v.encode("utf-8") for v in values])


def _payload_text(kind, fields):
    """The Payload of `kind` made from `fields` (name: str) by the library; ValueError with its
    reason, which names the field, when it refuses them."""
    api = _api()
    names, values = _c_strings(list(fields)), _c_strings(list(fields.values()))
    size, level, most = ctypes.c_size_t(0), ctypes.c_int(), ctypes.c_int()
    reason = ctypes.create_string_buffer(_MESSAGE_ROOM)
    args = (kind.encode("ascii"), names, values, len(fields))
    status = api.tessera_payload_build(*args, None, 0, ctypes.byref(size), None, None, reason,
                                       _MESSAGE_ROOM)
    if status == _BUFFER_TOO_SMALL:
        text = ctypes.create_string_buffer(size.value)
        status = api.tessera_payload_build(*args, text, size.value, ctypes.byref(size),
                                           ctypes.byref(level), ctypes.byref(most), reason,
                                           _MESSAGE_ROOM)
    if status == _BAD_ARGUMENT:
        raise ValueError(reason.value.decode("utf-8", "replace"))
    if status != WRITTEN:
        _raise(status)
    return Payload(text.value.decode("utf-8"), kind, fields, level.value, most.value)


def _make_payload(text, settings):
    api = _api()
    fields = text.fields
    handle = ctypes.c_void_p()
    reason = ctypes.create_string_buffer(_MESSAGE_ROOM)
    status = api.tessera_payload_encode(text.kind.encode("ascii"), _c_strings(list(fields)),
                                        _c_strings(list(fields.values())), len(fields),
                                        ctypes.byref(settings), ctypes.byref(handle), reason,
                                        _MESSAGE_ROOM)
    message = reason.value.decode("utf-8", "replace")
    if status == CANNOT_ENCODE:
        raise EncodeError(message)
    if status == _BAD_ARGUMENT:
        raise ValueError(message)
    if status != WRITTEN:
        _raise(status)
    return Symbol(handle)


# The library's facts of a field (tessera_field_fact) and kinds of value (tessera_field_type).
_FIELD_NAME, _FIELD_HELP, _FIELD_DEFAULT, _FIELD_REQUIRED, _FIELD_KIND_OF_VALUE = 0, 1, 3, 4, 5
_FIELD_FLAG = 2


def _field_value(name, value):
    """A field's value as the library takes it: text, a bool as "true"/"false", a number."""
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, (str, int, float)) or type(value).__name__ == "Decimal":
        return str(value)
    raise TypeError(f"{name} must be text, a number or a bool, not {type(value).__name__}")


def _payload_builder(kind):
    """The function tessera.payload.<kind>: the kind's fields as arguments, the required ones
    first and positional, the others by keyword, with the table's defaults and help."""
    api = _api()
    fields, parameters, lines = [], [], []
    for index in itertools.count():
        name = api.tessera_payload_field_text(kind, index, _FIELD_NAME)
        if name is None:
            break
        name = name.decode("ascii")
        required = api.tessera_payload_field_number(kind, index, _FIELD_REQUIRED) == 1
        flag = api.tessera_payload_field_number(kind, index, _FIELD_KIND_OF_VALUE) == _FIELD_FLAG
        default = api.tessera_payload_field_text(kind, index, _FIELD_DEFAULT).decode("utf-8")
        fields.append(name)
        parameters.append(inspect.Parameter(
            name, inspect.Parameter.POSITIONAL_OR_KEYWORD if required
            else inspect.Parameter.KEYWORD_ONLY,
            default=inspect.Parameter.empty if required
            else default == "true" if flag else default or None))
        help_line = api.tessera_payload_field_text(kind, index, _FIELD_HELP).decode("utf-8")
        lines.append(f"{name}: {help_line}")
    parameters.sort(key=lambda p: p.kind)  # the required fields first, in their order
    signature = inspect.Signature(parameters)
    kind_name = kind.decode("ascii")

    def build(*args, **kwargs):
        bound = signature.bind(*args, **kwargs)
        given = {name: _field_value(name, value) for name, value in bound.arguments.items()
                 if value is not None}
        return _payload_text(kind_name, given)

    build.__name__ = build.__qualname__ = kind_name
    build.__signature__ = signature
    help_text = api.tessera_payload_kind_help(kind).decode("utf-8")
    build.__doc__ = (f"The text of {help_text}, a Payload (str); ValueError names a field "
                     "refused.\n\n" + "\n".join(lines))
    return build


def _payload_builders():
    """tessera.payload: a function per kind of the library's table (wifi, vcard, epc, ...)."""
    api = _api()
    builders = {}
    for index in itertools.count():
        kind = api.tessera_payload_kind(index)
        if kind is None:
            break
        builders[kind.decode("ascii")] = _payload_builder(kind)
    return types.SimpleNamespace(**builders)


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


# tessera_style_name()'s list of the parts of a style set by name, and the verdicts of
# tessera_verify().
_STYLE_SETTINGS = 3
_VERDICTS = ("reads", "warnings", "unreadable")


def _style_names(library):
    names, index = [], 0
    while library.tessera_style_name(_STYLE_SETTINGS, index) is not None:
        names.append(library.tessera_style_name(_STYLE_SETTINGS, index).decode("ascii"))
        index += 1
    return names


def _style(parts):
    """A style record from keyword arguments: each part the library names ("shape", "finder",
    "finder-dark", ..., "gradient", "logo-size", "cmyk", "size") with "_" for "-", as text the
    command takes (a tuple for cmyk), and logo (bytes, or a path to a PNG or SVG file), title and
    desc. Returns the record and what it points into, which must live as long."""
    api = _api()
    record = _defaults(_StyleOptions)
    kept = []
    names = _style_names(api)
    for key, value in parts.items():
        if value is None:
            continue
        name = key.replace("_", "-")
        if key == "logo":
            data = value if isinstance(value, (bytes, bytearray)) else open(value, "rb").read()
            buffer = ctypes.create_string_buffer(bytes(data), len(data))
            kept.append(buffer)
            record.logo, record.logo_size = ctypes.cast(buffer, ctypes.c_void_p), len(data)
        elif key in ("title", "desc"):
            text = str(value).encode("utf-8")
            kept.append(text)
            setattr(record, "title" if key == "title" else "description", text)
        elif name in names:
            if isinstance(value, (tuple, list)):
                value = ",".join(str(part) for part in value)
            text = ctypes.create_string_buffer(_MESSAGE_ROOM)
            status = api.tessera_style_set(ctypes.byref(record), name.encode("ascii"),
                                           str(value).encode("utf-8"), text, _MESSAGE_ROOM)
            _checked(status, text)
        else:
            raise TypeError(f"unexpected keyword argument {key!r}")
    return record, kept


class Symbol:
    """A finished symbol: its facts, its modules, and its bytes in any format.

    .version (1-40, 1-4 with .micro, 1-32 with .rmqr), .level ("L" "M" "Q" "H", None for M1),
    .mask, .size (modules across), .height (modules down), .name ("R11x59", "M2", "5"),
    .modules (a bytes row per module row), .micro, .rmqr, .gs1, .part ((index, count) of a structured-append set, else None), .parity,
    .data_bits and .capacity_bits (how full it is)."""

    def __init__(self, handle):
        self._handle = handle
        self._logo = None  # make(logo=...): drawn unless a call gives another
        api = _api()
        self.size = api.tessera_symbol_size(handle)
        self.version = api.tessera_symbol_version(handle)
        self.mask = api.tessera_symbol_mask(handle)
        self.micro = api.tessera_symbol_is_micro(handle) == 1
        self.rmqr = api.tessera_symbol_is_rmqr(handle) == 1
        self.gs1 = api.tessera_symbol_is_gs1(handle) == 1
        self.height = api.tessera_symbol_height(handle)
        level = api.tessera_symbol_level(handle)
        self.level = _LEVELS[level] if 0 <= level < len(_LEVELS) else None
        self._modules = None

    # Facts that few callers read, asked of the library when read.
    data_bits = property(lambda self: _api().tessera_symbol_data_bits(self._handle))
    capacity_bits = property(lambda self: _api().tessera_symbol_capacity_bits(self._handle))
    part = property(lambda self: self._structured()[0])
    parity = property(lambda self: self._structured()[1])

    def _structured(self):
        """(index, count) and the parity of a structured-append part, or (None, None)."""
        index, count, parity = ctypes.c_int(), ctypes.c_int(), ctypes.c_int()
        if not _api().tessera_symbol_structured(self._handle, ctypes.byref(index),
                                                ctypes.byref(count), ctypes.byref(parity)):
            return None, None
        return (index.value, count.value), parity.value

    @property
    def modules(self):
        """A bytes row per module row (1 dark, 0 light), read from the library on first use."""
        if self._modules is None:
            cells = ctypes.create_string_buffer(self.size * self.height)
            if _api().tessera_symbol_modules(self._handle, cells,
                                             self.size * self.height) != WRITTEN:
                raise TesseraError("the symbol's modules cannot be read")
            raw = cells.raw
            self._modules = tuple(raw[row * self.size:(row + 1) * self.size]
                                  for row in range(self.height))
        return self._modules

    def __del__(self):
        handle, self._handle = getattr(self, "_handle", None), None
        if handle and _libraries.get("tessera_api") is not None:
            _libraries["tessera_api"].tessera_symbol_free(handle)

    def _with_logo(self, logo):
        self._logo = logo
        return self

    def _style_of(self, style):
        """The style keywords of a call, with the logo make() was given unless they name one."""
        return style if self._logo is None or "logo" in style else {"logo": self._logo, **style}

    def __repr__(self):
        return f"<tessera.Symbol version {self.name}, level {self.level}, mask {self.mask}>"

    @property
    def name(self):
        """The version as the command's -v names it: "5", "M2" or "R11x59"."""
        if self.rmqr:
            return f"R{self.height}x{self.size}"
        return f"M{self.version}" if self.micro else str(self.version)

    def _options(self, format_number, scale, margin, dark, light, dpi):
        options = _defaults(_RenderOptions)
        api = _api()
        options.scale = _whole("scale", scale, 0)
        options.margin = _whole("margin", margin, _DEFAULT)
        options.dark = _colour("dark", dark, options.dark)
        options.light = _colour("light", light, options.light)
        options.dpi = _whole("dpi", dpi, 0)
        text = ctypes.create_string_buffer(_MESSAGE_ROOM)
        _checked(api.tessera_check_render_options(format_number, ctypes.byref(options), text,
                                                  _MESSAGE_ROOM), text)
        return options

    @staticmethod
    def _format(kind):
        number = _format_numbers.get(kind) if isinstance(kind, str) else None
        if number is not None:
            return number
        if not isinstance(kind, str):
            raise ValueError(f"kind must be a format name such as 'png', not {kind!r}")
        number = -1
        if kind.isascii() and "\0" not in kind:
            number = _api().tessera_format_from_name(kind.encode("ascii"))
        if number < 0:
            raise ValueError(f"no format is named {kind!r}")
        if len(_format_numbers) < _KEPT_OPTIONS:
            _format_numbers[kind] = number
        return number

    def _render_options(self, number, scale, margin, dark, light, dpi):
        """_options(), kept for arguments that are plain values seen before."""
        return _kept(_checked_options, (number, scale, margin, dark, light, dpi),
                     lambda: self._options(number, scale, margin, dark, light, dpi))

    def to_bytes(self, kind, scale=None, *, margin=None, dark=None, light=None, dpi=None,
                 **style):
        """The symbol as `kind` (a name of formats(): "bmp", "png", "svg", "txt", ...), at
        `scale` pixels per module (None: 4 for images, 1 for text), with a quiet zone of `margin`
        modules (None: 4), `dark` and `light` colours ("#RRGGBB" or "RRGGBBAA") and a resolution
        of `dpi` for PNG and BMP. Text kinds are returned as bytes too (UTF-8). Keywords beyond
        these style it: shape="dot", finder="rounded", data_dark="1F2937", gradient=
        "linear:000000,0000FF,45", logo=b"..." or a path, logo_size=20, title=, desc=,
        cmyk=(0, 0, 0, 100), size="30mm" (the command's flags, "_" for "-")."""
        number = self._format(kind)
        checked = self._render_options(number, scale, margin, dark, light, dpi)
        style = self._style_of(style)
        if style:
            return self._styled(number, checked, style)
        options = ctypes.byref(checked)
        api = _api()
        size = ctypes.c_size_t(0)
        buffer = getattr(_render_room, "buffer", None)
        if buffer is None:
            buffer = ctypes.create_string_buffer(_FIRST_RENDER_ROOM)
            _render_room.buffer = buffer
        status = api.tessera_render(self._handle, number, options, buffer, len(buffer),
                                    ctypes.byref(size))
        if status == _BUFFER_TOO_SMALL:
            buffer = ctypes.create_string_buffer(size.value)
            if size.value <= _KEPT_RENDER_ROOM:
                _render_room.buffer = buffer
            status = api.tessera_render(self._handle, number, options, buffer, size.value,
                                        ctypes.byref(size))
        if status == _FORMAT_NOT_AVAILABLE:
            raise TesseraError(f"{kind} output is not available in this build of the library")
        if status != WRITTEN:
            _raise(status)
        return ctypes.string_at(buffer, size.value)

    def _styled(self, number, options, style):
        """The styled bytes of format `number`."""
        record, kept = _style(style)
        api = _api()
        text = ctypes.create_string_buffer(_MESSAGE_ROOM)
        size = ctypes.c_size_t(0)
        status = api.tessera_render_styled(self._handle, number, ctypes.byref(options),
                                           ctypes.byref(record), None, 0, ctypes.byref(size))
        if status == _BAD_ARGUMENT:
            api.tessera_check_style(self._handle, number, ctypes.byref(options),
                                    ctypes.byref(record), text, _MESSAGE_ROOM)
            _checked(status, text)
        if status != _BUFFER_TOO_SMALL:
            _raise(status)
        buffer = ctypes.create_string_buffer(size.value)
        status = api.tessera_render_styled(self._handle, number, ctypes.byref(options),
                                           ctypes.byref(record), buffer, size.value,
                                           ctypes.byref(size))
        if status != WRITTEN:
            _raise(status)
        del kept
        return buffer.raw[:size.value]

    def verify(self, kind="png", scale=None, *, margin=None, dark=None, light=None, dpi=None,
               **style):
        """Whether the symbol, drawn as to_bytes() would draw it with the same arguments, still
        reads: ("reads", []) with margin, else ("warnings" or "unreadable", [one line per
        problem]). The drawing is sampled at every module's centre and the changes weighed per
        block against its error correction; contrast, quiet zone and printed size are checked."""
        number = self._format(kind)
        options = self._options(number, scale, margin, dark, light, dpi)
        record, kept = _style(self._style_of(style))
        api = _api()
        verdict = ctypes.c_int(0)
        text = ctypes.create_string_buffer(4 * _MESSAGE_ROOM)
        status = api.tessera_verify(self._handle, number, ctypes.byref(options),
                                    ctypes.byref(record), ctypes.byref(verdict), text,
                                    4 * _MESSAGE_ROOM)
        if status == _BAD_ARGUMENT:
            _checked(status, text)
        if status not in (WRITTEN, _BUFFER_TOO_SMALL):
            _raise(status)
        del kept
        lines = text.value.decode("utf-8", "replace").splitlines()
        return _VERDICTS[verdict.value], lines

    def to_data_uri(self, kind="png", scale=None, **options):
        """The symbol as a data URI ("data:image/png;base64,..."), for HTML and CSS: to_bytes()
        with the same arguments, styles included."""
        data = self.to_bytes(kind, scale, **options)
        media = _api().tessera_format_media_type(self._format(kind)).decode("ascii")
        return f"data:{media};base64," + base64.b64encode(data).decode("ascii")

    def _path_format(self, path, kind):
        """The format number for saving at `path` (bytes): `kind`'s, or its extension's."""
        number = _api().tessera_format_from_path(path) if kind is None else self._format(kind)
        if number < 0:
            raise ValueError(f"the extension of {os.fsdecode(path)!r} names no format; give kind=")
        return number

    def save(self, target, kind=None, scale=None, *, margin=None, dark=None, light=None,
             dpi=None, **style):
        """Writes the symbol to `target`: a path (str, bytes or path-like), created or replaced
        whole and never left partial, or a binary file object, whose write() is called until it
        has taken every byte. `kind` None takes the format from the extension of the path (or of
        the file object's name). Raises OSError when writing fails (with the error number, the
        reason and the path for a path, as the command says them), ValueError for a kind or
        option that is not taken. Style keywords are to_bytes()'s."""
        style = self._style_of(style)
        if style and not hasattr(target, "write"):
            path = _path_bytes(target)
            number = self._path_format(path, kind)
            options = self._options(number, scale, margin, dark, light, dpi)
            record, kept = _style(style)
            api = _api()
            status = api.tessera_save_styled(self._handle, path, number, ctypes.byref(options),
                                             ctypes.byref(record))
            if status == _BAD_ARGUMENT:
                text = ctypes.create_string_buffer(_MESSAGE_ROOM)
                api.tessera_check_style(self._handle, number, ctypes.byref(options),
                                        ctypes.byref(record), text, _MESSAGE_ROOM)
                _checked(status, text)
            del kept
            if status == CANNOT_WRITE:
                raise OSError(errno.EIO, "the file cannot be written", os.fsdecode(path))
            if status != WRITTEN:
                _raise(status)
            return
        if hasattr(target, "write"):
            if kind is None:
                name = getattr(target, "name", None)
                number = -1 if not isinstance(name, (str, bytes)) else \
                    _api().tessera_format_from_path(os.fsencode(name))
                if number < 0:
                    raise ValueError("give kind= for a file object without a known extension")
                kind = _api().tessera_format_name(number).decode("ascii")
            _write_all(target, self.to_bytes(kind, scale, margin=margin, dark=dark, light=light,
                                             dpi=dpi, **style))
            return
        path = _path_bytes(target)
        api = _api()
        number = self._path_format(path, kind)
        options = self._options(number, scale, margin, dark, light, dpi)
        error = ctypes.c_int(0)
        reason = ctypes.create_string_buffer(_MESSAGE_ROOM)
        status = api.tessera_save_explained(self._handle, path, number, ctypes.byref(options),
                                            ctypes.byref(error), reason, _MESSAGE_ROOM)
        if status == _FORMAT_NOT_AVAILABLE:
            raise TesseraError(f"{api.tessera_format_name(number).decode()} output is not "
                               "available in this build of the library")
        if status == CANNOT_WRITE:
            raise OSError(error.value, reason.value.decode("utf-8", "replace"), os.fsdecode(path))
        if status != WRITTEN:
            _raise(status)

    def _repr_png_(self):
        try:
            return self.to_bytes("png")
        except TesseraError:
            return None

    def _repr_svg_(self):
        return self.to_bytes("svg").decode("utf-8")


def _path_bytes(path):
    path = os.fsencode(path)
    if b"\0" in path:
        raise ValueError("path must not contain a zero byte")
    return path


def save_all(items, kind=None, scale=None, *, margin=None, dark=None, light=None, dpi=None):
    """Writes many symbols at once: each (symbol, path) of `items` as symbol.save(path, ...)
    writes it, with the same options for all, but with about one sync for all of them instead of
    one per file. Every file is written in full beside its name, their data is synced once, then
    each takes its name, then the names are synced once (in groups of up to 64 files), so a crash
    leaves each file old or new, whole.

    Every argument is checked before anything is written: TypeError for an item that is not a
    (Symbol, path) pair, ValueError for a kind, extension or option that is not taken. A file that
    cannot be written does not stop the others; OSError is then raised for the first of them."""
    pairs = [tuple(item) for item in items]
    if not all(len(pair) == 2 and isinstance(pair[0], Symbol) for pair in pairs):
        raise TypeError("items must be (Symbol, path) pairs")
    if not pairs:
        return
    paths = [_path_bytes(path) for _, path in pairs]
    numbers = {symbol._path_format(path, kind) for (symbol, _), path in zip(pairs, paths)}
    for number in sorted(numbers):  # the options checked for every format they go to
        options = pairs[0][0]._options(number, scale, margin, dark, light, dpi)
    count = len(pairs)
    handles = (ctypes.c_void_p * count)(*[symbol._handle for symbol, _ in pairs])
    names = (ctypes.c_char_p * count)(*paths)
    results = (ctypes.c_int * count)()
    number = _FORMAT_FROM_PATH if kind is None else Symbol._format(kind)
    status = _api().tessera_save_all(handles, names, count, number, ctypes.byref(options),
                                     results)
    if status != WRITTEN:
        first = next(i for i in range(count) if results[i] != WRITTEN)
        _raise(results[first], paths[first])
def _write_all(file, content):
    """Writes all of `content` to a binary file object, whose write() may take less at a time."""
    written = 0
    while written < len(content):
        taken = file.write(content[written:] if written else content)
        if taken is None or taken <= 0:
            raise OSError(errno.EAGAIN if taken is None else errno.EIO,
                          f"the file object took none of the last {len(content) - written} of "
                          f"{len(content)} bytes")
        written += taken


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
