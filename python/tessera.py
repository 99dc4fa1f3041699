"""QR Code symbols as BMP files, through the tessera shared library (ctypes, no dependencies).

    import tessera
    tessera.encode("Hello", "hello.bmp", level="H", scale=8)   # 0 when written

The library is found through the environment variable TESSERA_LIBRARY (a path), then beside this
module and in the lib folders of the prefix this module is installed under, then by the system's
library search.
"""

import ctypes
import ctypes.util
import glob
import os

__all__ = ["encode", "TesseraError", "WRITTEN", "NOTHING_TO_DO", "CANNOT_ENCODE", "CANNOT_WRITE"]

# The library's result codes.
WRITTEN = 0
NOTHING_TO_DO = 1
CANNOT_ENCODE = 2
CANNOT_WRITE = 3

_LEVELS = "LMQH"
_MAX_VERSION = 40
_MAX_MASK = 7
_MIN_SCALE, _MAX_SCALE = 1, 20
_DEFAULT_LEVEL, _DEFAULT_SCALE = "M", 4
# The library takes exactly four option strings per call.
_OPTION_SLOTS = 4
# Bytes that stand for themselves in a "/T" value; every other byte is sent as %XX.
_PLAIN = frozenset(b"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 -_.:/+*$")

_library = None


class TesseraError(OSError):
    """The shared library cannot be found or loaded."""


def _candidates():
    explicit = os.environ.get("TESSERA_LIBRARY")
    if explicit:
        yield explicit
        return
    names = ("libtessera.so", "libtessera.dylib", "tessera.dll")
    here = os.path.dirname(os.path.abspath(__file__))
    for name in names:
        yield os.path.join(here, name)
    # Installed as <prefix>/share/tessera/python/tessera.py beside <prefix>/lib*/.
    prefix = os.path.normpath(os.path.join(here, "..", "..", ".."))
    for pattern in ("lib*", os.path.join("lib*", "*"), "bin"):
        for name in names:
            yield from sorted(glob.glob(os.path.join(prefix, pattern, name)))
    found = ctypes.util.find_library("tessera")
    if found:
        yield found
    yield from names


def _load():
    global _library
    if _library is None:
        errors = []
        for path in _candidates():
            if os.path.sep in path and not os.path.exists(path):
                continue
            try:
                library = ctypes.CDLL(path)
            except OSError as error:
                errors.append(f"{path}: {error}")
                continue
            library.tessera.argtypes = [ctypes.c_char_p] * _OPTION_SLOTS
            library.tessera.restype = ctypes.c_int
            _library = library
            break
        else:
            raise TesseraError("the tessera library cannot be loaded; set TESSERA_LIBRARY to its "
                               "path (" + "; ".join(errors or ["not found"]) + ")")
    return _library


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
    if isinstance(data, str):
        data = data.encode("utf-8")
    if not isinstance(data, (bytes, bytearray, memoryview)):
        raise TypeError("data must be bytes or str")
    data = bytes(data)

    if isinstance(level, int) and not isinstance(level, bool) and 0 <= level < len(_LEVELS):
        level = _LEVELS[level]
    if not isinstance(level, str) or len(level) != 1 or level.upper() not in _LEVELS:
        raise ValueError(f"level must be L, M, Q or H (or 0-3), not {level!r}")
    level = level.upper()
    if not _is_int(version) or not 0 <= version <= _MAX_VERSION:
        raise ValueError(f"version must be 0 to {_MAX_VERSION}, not {version!r}")
    if strict and version == 0:
        raise ValueError("strict needs a version")
    if mask is not None and (not _is_int(mask) or not 0 <= mask <= _MAX_MASK):
        raise ValueError(f"mask must be None or 0 to {_MAX_MASK}, not {mask!r}")
    if not _is_int(scale) or not _MIN_SCALE <= scale <= _MAX_SCALE:
        raise ValueError(f"scale must be {_MIN_SCALE} to {_MAX_SCALE}, not {scale!r}")

    path = os.fsencode(path)
    if b"\0" in path:
        raise ValueError("path must not contain a zero byte")
    options = [b"/T" + _escape(data), b"/O" + path]
    if level != _DEFAULT_LEVEL:
        options.append(b"/L%d" % _LEVELS.index(level))
    if version:
        options.append(b"/V%d" % version)
    if strict:
        options.append(b"/EN")
    if mask is not None:
        options.append(b"/M%d" % mask)
    if scale != _DEFAULT_SCALE:
        options.append(b"/S%d" % scale)
    if len(options) > _OPTION_SLOTS:
        raise ValueError("at most two of level, version, strict, mask and scale may differ from "
                         "their defaults in one call")
    options += [b""] * (_OPTION_SLOTS - len(options))
    return _load().tessera(*options)


def _is_int(value):
    return isinstance(value, int) and not isinstance(value, bool)
