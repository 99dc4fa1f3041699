"""Payloads: the texts phones read as a network, a contact, a payment and more, made by the
library from fields (tessera.payload.wifi(...), one builder per kind, with the kind's fields as
its arguments), and Payload, such a text with the limits it sets its symbol."""
import ctypes
import inspect
import itertools
import types

from ._library import (_CONSTANTS, CANNOT_ENCODE, EncodeError, WRITTEN, _BAD_ARGUMENT,
                       _BUFFER_TOO_SMALL, _LEVELS, _MESSAGE_ROOM, _api)
from ._checks import _raise
from ._symbol import Symbol


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
_FIELD_NAME = _CONSTANTS["TESSERA_FIELD_NAME"]
_FIELD_HELP = _CONSTANTS["TESSERA_FIELD_HELP"]
_FIELD_DEFAULT = _CONSTANTS["TESSERA_FIELD_DEFAULT"]
_FIELD_REQUIRED = _CONSTANTS["TESSERA_FIELD_REQUIRED"]
_FIELD_KIND_OF_VALUE = _CONSTANTS["TESSERA_FIELD_KIND_OF_VALUE"]
_FIELD_FLAG = _CONSTANTS["TESSERA_FIELD_FLAG"]


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
