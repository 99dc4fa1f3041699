"""Arguments checked and made into the library's records: data as bytes, whole numbers and
switches in range, levels, colours, settings (read back as the library checks them, kept per kind
of call), and a status turned into the exception it means. Each raises TypeError or ValueError
for what the caller gave, TesseraError or MemoryError for what the library met."""
import ctypes
import os
import re
import types

from ._library import (CANNOT_WRITE, TesseraError, WRITTEN, _BAD_ARGUMENT, _DEFAULT, _LEVELS,
                       _MESSAGE_ROOM, _NO_MEMORY, _RenderOptions, _Settings,
                       _StyleOptions, _api)

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


def _bytes_of(data):
    if isinstance(data, str):
        return data.encode("utf-8")
    if isinstance(data, (bytes, bytearray, memoryview)):
        return bytes(data)
    raise TypeError("data must be bytes or str")


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
