"""The libraries found and loaded (the order is the package's documentation), their calls
declared, the records they take, and the numbers they define: the statuses, the levels and the
table of limits, read from the API library (tessera_constant, tessera_limit) when the package is
imported, never copied. Raises TesseraError on import when the API library cannot be loaded."""
import ctypes
import glob
import os
import sys

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


class _StyleOptions(ctypes.Structure):
    """The style record; its fields are laid out once the library has said how many regions it
    colours (below)."""


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
    package = os.path.dirname(os.path.abspath(__file__))
    here = os.path.dirname(package)  # the folder the package is in: python/ in the source tree
    for folder in (package, os.path.join(here, "..", "build-run"),
                   os.path.join(here, "..", "build")):
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


def _constants():
    """The numbered constants of the API library's header, by name ("TESSERA_OK": 0, ...)."""
    api, found, index = _api(), {}, 0
    name, value = ctypes.c_char_p(), ctypes.c_int()
    while api.tessera_constant(index, ctypes.byref(name), ctypes.byref(value)):
        found[name.value.decode("ascii")] = value.value
        index += 1
    return found


_CONSTANTS = _constants()
# The result codes of the library's call, which are also the API's first statuses.
WRITTEN = _CONSTANTS["TESSERA_OK"]
NOTHING_TO_DO = _CONSTANTS["TESSERA_ERROR_NOTHING_TO_DO"]
CANNOT_ENCODE = _CONSTANTS["TESSERA_ERROR_CANNOT_ENCODE"]
CANNOT_WRITE = _CONSTANTS["TESSERA_ERROR_CANNOT_WRITE"]
# The API's other statuses that this package meets.
_BAD_ARGUMENT = _CONSTANTS["TESSERA_ERROR_BAD_ARGUMENT"]
_BUFFER_TOO_SMALL = _CONSTANTS["TESSERA_ERROR_BUFFER_TOO_SMALL"]
_FORMAT_NOT_AVAILABLE = _CONSTANTS["TESSERA_ERROR_FORMAT_NOT_AVAILABLE"]
_NO_MEMORY = _CONSTANTS["TESSERA_ERROR_NO_MEMORY"]
_DEFAULT = _CONSTANTS["TESSERA_DEFAULT"]  # a setting left to the library
# tessera_save()'s format argument that takes the format the path's extension names.
_FORMAT_FROM_PATH = _CONSTANTS["TESSERA_FORMAT_FROM_PATH"]
_OPTION_SLOTS = _CONSTANTS["TESSERA_OPTION_SLOTS"]  # the option strings of one tessera() call
_MESSAGE_ROOM = _CONSTANTS["TESSERA_MESSAGE_ROOM"]  # room for a one-line reason
_REGION_COUNT = _CONSTANTS["TESSERA_STYLE_REGIONS"]
_StyleOptions._fields_ = [
    ("size", ctypes.c_size_t), ("shape", ctypes.c_int), ("finder", ctypes.c_int),
    ("regions", ctypes.c_uint32 * _REGION_COUNT), ("gradient", ctypes.c_int),
    ("gradient_from", ctypes.c_uint32), ("gradient_to", ctypes.c_uint32),
    ("gradient_angle", ctypes.c_int), ("logo_percent", ctypes.c_int), ("logo", ctypes.c_void_p),
    ("logo_size", ctypes.c_size_t), ("title", ctypes.c_char_p), ("description", ctypes.c_char_p),
    ("cmyk", ctypes.c_int), ("cmyk_percent", ctypes.c_int * 4), ("printed_unit", ctypes.c_int),
    ("printed_size", ctypes.c_double)]
# The levels' letters by number: _LEVELS[TESSERA_LEVEL_Q] is "Q".
_LEVELS = "".join(name[-1] for _, name in sorted(
    (value, name) for name, value in _CONSTANTS.items() if name.startswith("TESSERA_LEVEL_")))
