"""Symbol, a finished symbol: its facts and modules, its bytes in any format, plain or styled,
verified, and saved (a file never left partial); save_all(), many files at once. Styles are
records made from keyword arguments by the names the library lists."""
import base64
import ctypes
import errno
import functools
import os
import threading

from ._library import (_CONSTANTS, CANNOT_WRITE, TesseraError, WRITTEN, _BAD_ARGUMENT,
                       _BUFFER_TOO_SMALL, _DEFAULT, _FORMAT_FROM_PATH, _FORMAT_NOT_AVAILABLE,
                       _LEVELS, _MESSAGE_ROOM, _RenderOptions, _StyleOptions, _api, _libraries)
from ._checks import (_KEPT_OPTIONS, _checked, _checked_options, _colour, _defaults,
                      _format_numbers, _kept, _raise, _whole)

# Renders go into a buffer kept per thread, which grows to the largest render up to this size
# (a larger one gets a buffer of its own), so that a render is made once, not measured first.
_FIRST_RENDER_ROOM = 1 << 14
_KEPT_RENDER_ROOM = 1 << 20
_render_room = threading.local()


# tessera_style_name()'s list of the parts of a style set by name, and the verdicts of
# tessera_verify() by number ("reads" for TESSERA_VERIFY_READS, ...).
_STYLE_SETTINGS = _CONSTANTS["TESSERA_STYLE_SETTING"]
_VERDICTS = tuple(name[len("TESSERA_VERIFY_"):].lower() for _, name in sorted(
    (value, name) for name, value in _CONSTANTS.items() if name.startswith("TESSERA_VERIFY_")))


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
        self._modules = None

    # The facts, asked of the library when first read and kept: a symbol made only to be drawn
    # makes no call for them.
    size = functools.cached_property(lambda self: _api().tessera_symbol_size(self._handle))
    version = functools.cached_property(lambda self: _api().tessera_symbol_version(self._handle))
    mask = functools.cached_property(lambda self: _api().tessera_symbol_mask(self._handle))
    micro = functools.cached_property(
        lambda self: _api().tessera_symbol_is_micro(self._handle) == 1)
    rmqr = functools.cached_property(lambda self: _api().tessera_symbol_is_rmqr(self._handle) == 1)
    gs1 = functools.cached_property(lambda self: _api().tessera_symbol_is_gs1(self._handle) == 1)
    height = functools.cached_property(lambda self: _api().tessera_symbol_height(self._handle))

    @functools.cached_property
    def level(self):
        level = _api().tessera_symbol_level(self._handle)
        return _LEVELS[level] if 0 <= level < len(_LEVELS) else None

    # Facts that few callers read, asked of the library each time they are read.
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
