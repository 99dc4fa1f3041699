#!/usr/bin/env python3
"""Writes the C# source of what the .NET assembly takes from the built library rather than copying
it: its numbered constants, two defaults of its table of limits, and a typed builder for each
payload kind of its table:

    python3 dotnet/constants.py module/tessera_api.h build/libtessera_api.so OUT.cs

Numbers are the library's (tessera_constant); the header says which enum each belongs to and
documents it, and a member whose number in the header is not the library's fails the run.
`TESSERA_LEVEL_X` becomes the public enum Level, the members of tessera_field_type the public enum
FieldType and those of tessera_field_fact the internal enum FieldFact, `TESSERA_OK` and
`TESSERA_ERROR_X` the internal enum Status, `#define TESSERA_X (N)` an internal constant of the
class Library, and the limits dark.default and light.default its constants DarkDefault and
LightDefault. The public enum Format has a member for every format that the library's
tessera_format_name(0, 1, ...) names ("pbm-plain" becomes PbmPlain), documented with the header's
comment where the header's enum has it, and with the library's name and extension. Payload gets a
static method for each kind of tessera_payload_kind ("wifi" becomes Payload.Wifi), its parameters
the kind's fields (the required ones first, as text, a flag as bool?), documented with the table's
help. Fails when a member of the header's enums has no number of its own, or when the header's
formats are not the library's."""

import ctypes
import html
import re
import sys

MEMBER = re.compile(r"\b(TESSERA_[A-Z0-9_]+)\s*=\s*(-?\d+),?[ \t]*(/\*.*?\*/)?", re.S)
DEFINE = re.compile(r"#define\s+(TESSERA_[A-Z0-9_]+)\s+\((-?\d+)\)")
ENUM_BODY = re.compile(r"\benum\b[^{;]*\{(.*?)\}", re.S)
# An enum with the comment before it: (comment, name or spaces, body).
COMMENTED_ENUM = re.compile(r"(/\*(?:(?!\*/).)*\*/)\s*(?:typedef\s+)?enum\b([^{;]*)\{(.*?)\}",
                            re.S)


def pascal(words):
    """FORMAT_UTF8 -> Utf8, ERROR_CANNOT_ENCODE -> CannotEncode, pbm-plain -> PbmPlain."""
    return "".join(word[:1].upper() + word[1:].lower() for word in re.split("[_-]", words))


def open_library(library):
    """The built library at the path `library`, its functions that this script calls declared."""
    api = ctypes.CDLL(library)
    text, number = ctypes.c_char_p, ctypes.c_int
    for function, result, arguments in (
            (api.tessera_format_name, text, [number]),
            (api.tessera_format_extension, text, [number]),
            (api.tessera_constant, number, [number, ctypes.POINTER(text), ctypes.POINTER(number)]),
            (api.tessera_limit, number, [number, ctypes.POINTER(text),
                                         ctypes.POINTER(ctypes.c_longlong)]),
            (api.tessera_payload_kind, text, [number]),
            (api.tessera_payload_kind_help, text, [text]),
            (api.tessera_payload_field_text, text, [text, number, number]),
            (api.tessera_payload_field_number, number, [text, number, number]),
            (api.tessera_payload_field_choice, text, [text, number, number])):
        function.restype, function.argtypes = result, arguments
    return api


def library_formats(library):
    """The library's formats in their order: (name, extension or None) for 0, 1, ..."""
    api = open_library(library)
    formats = []
    while (name := api.tessera_format_name(len(formats))) is not None:
        extension = api.tessera_format_extension(len(formats))
        formats.append((name.decode("ascii"), extension and extension.decode("ascii")))
    if not formats:
        sys.exit(f"{library} names no format")
    return formats


def library_rows(table, value_type):
    """The rows of one of the library's tables of names (tessera_constant, tessera_limit): a dict
    of each name to its value."""
    rows, name, value = {}, ctypes.c_char_p(), value_type()
    while table(len(rows), ctypes.byref(name), ctypes.byref(value)):
        rows[name.value.decode("ascii")] = value.value
    if not rows:
        sys.exit("the library's table of names is empty")
    return rows


def payload_kinds(api):
    """The library's payload kinds in its order: (kind, help, fields), each field (name, help,
    takes, default, required, flag, choices) in the kind's order."""
    fact = {name: number for name, number in library_rows(api.tessera_constant, ctypes.c_int)
            .items() if name.startswith("TESSERA_FIELD_")}
    text = lambda kind, index, name: api.tessera_payload_field_text(kind, index, fact[name])
    kinds = []
    while (kind := api.tessera_payload_kind(len(kinds))) is not None:
        fields = []
        while (name := text(kind, len(fields), "TESSERA_FIELD_NAME")) is not None:
            index = len(fields)
            choices = []
            while (choice := api.tessera_payload_field_choice(kind, index, len(choices))):
                choices.append(choice.decode("utf-8"))
            takes = text(kind, index, "TESSERA_FIELD_TAKES")
            number = lambda name: api.tessera_payload_field_number(kind, index, fact[name])
            fields.append((name.decode("ascii"), text(kind, index, "TESSERA_FIELD_HELP")
                           .decode("utf-8"), takes and takes.decode("utf-8"),
                           text(kind, index, "TESSERA_FIELD_DEFAULT").decode("utf-8"),
                           number("TESSERA_FIELD_REQUIRED") == 1,
                           number("TESSERA_FIELD_KIND_OF_VALUE") == fact["TESSERA_FIELD_FLAG"],
                           choices))
        kinds.append((kind.decode("ascii"), api.tessera_payload_kind_help(kind).decode("utf-8"),
                      fields))
    return kinds


def comment_text(comment):
    return " ".join(comment[2:-2].replace("*", " ").split()) if comment else ""


def read(header, constants):
    """The header's text, its enum members (name, number, comment) and its #defines (name,
    number), with the numbers of `constants`, the library's table; fails for a member or define
    whose number there is not the header's."""
    text = open(header, encoding="utf-8").read()
    named = sum(len(re.findall(r"\bTESSERA_[A-Z0-9_]+", re.sub(r"/\*.*?\*/", "", body, flags=re.S)))
                for body in ENUM_BODY.findall(text))  # comments may name other constants
    members = MEMBER.findall(text)
    if len(members) != named:
        sys.exit(f"{header}: {named - len(members)} enum members have no number of their own")
    defines = DEFINE.findall(text)
    for symbol, number in [(m[0], m[1]) for m in members] + defines:
        if constants.get(symbol) != int(number):
            sys.exit(f"{header}: {symbol} is {number}, but the library's table of constants "
                     f"has {constants.get(symbol)}")
    return text, members, defines


def xml(text):
    """`text` as the text of an XML documentation comment."""
    return html.escape(text, quote=False)


def summary(text):
    return f"/// <summary>{xml(text)}</summary>"


def enum_lines(text, members, prefix, name, header_name=None, access="public"):
    """The C# enum `name` of the header's members whose names start with `prefix` (and, with
    `header_name`, that belong to the header's enum of that name), documented with the header's
    comments."""
    comment, body = next(((c, body) for c, named, body in COMMENTED_ENUM.findall(text)
                          if prefix in body and header_name in (None, named.strip())),
                         ("", text))
    body = re.sub(r"/\*.*?\*/", "", body, flags=re.S)  # comments may name other constants
    lines = [f"    {summary(comment_text(comment))}", f"    {access} enum {name}", "    {"]
    for symbol, number, comment in members:
        if not symbol.startswith(prefix) or not re.search(rf"\b{symbol}\b", body):
            continue
        lines.append(f"        {summary(comment_text(comment) or f'{symbol} of the C API.')}")
        lines.append(f"        {pascal(symbol[len(prefix):])} = {number},")
    if len(lines) == 3:
        sys.exit(f"no {prefix}* constants for the enum {name}")
    return lines + ["    }"]


def format_lines(members, formats):
    """The C# enum Format: a member for each of the library's `formats`, with the comment of the
    header's member of that number where there is one."""
    prefix = "TESSERA_FORMAT_"
    comments = {}
    for symbol, number, comment in members:
        if symbol.startswith(prefix):
            if int(number) >= len(formats) or pascal(formats[int(number)][0]) != pascal(
                    symbol[len(prefix):]):
                sys.exit(f"the header's {symbol} = {number} is not the library's format {number}")
            comments[int(number)] = comment_text(comment)
    lines = ["    " + summary("The library's output formats, numbered as it numbers them."),
             "    public enum Format", "    {"]
    for number, (name, extension) in enumerate(formats):
        saved = f"files .{extension}" if extension else "no files"
        described = f": {comments[number]}" if comments.get(number) else ""
        text = f'The format "{name}" ({saved}){described}.'
        lines.append(f"        {summary(text)}")
        lines.append(f"        {pascal(name)} = {number},")
    return lines + ["    }"]


def builder_lines(kinds):
    """The C# methods of Payload that make each of the library's payload `kinds`: Wifi(ssid, ...)
    for "wifi", its required fields first, then the others, optional; a flag as bool?, whose
    value is its first choice (off) or its second (on) as the library names them."""
    lines = ["    public sealed partial class Payload", "    {"]
    for kind, help_text, fields in kinds:
        if not re.fullmatch(r"[a-z][a-z0-9]*", kind):
            sys.exit(f"the payload kind '{kind}' makes no C# name")
        ordered = sorted(fields, key=lambda field: not field[4])  # the required first
        lines.append(f"        /// <summary>The payload {kind}: {xml(help_text)}. A null argument "
                     "takes the field's default; throws as Build.</summary>")
        parameters, values = [], []
        for name, field_help, takes, default, required, flag, choices in ordered:
            if not re.fullmatch(r"[a-z][a-z0-9]*", name):
                sys.exit(f"the field '{name}' of {kind} makes no C# name")
            facts = ["required"] if required else []
            facts += [f"one of {', '.join(choices)}"] if choices and not flag else []
            facts += [takes] if takes else []
            facts += [f"default {default}"] if default and not flag else []
            facts = f" ({'; '.join(facts)})" if facts else ""
            lines.append(f'        /// <param name="{name}">{xml(field_help + facts)}</param>')
            parameters.append(f"bool? {name} = null" if flag else
                              f"string {name}" + ("" if required else " = null"))
            values.append(f'Flag({name}, "{choices[0]}", "{choices[1]}")' if flag else name)
        lines += [f"        public static Payload {pascal(kind)}({', '.join(parameters)})",
                  "        {",
                  f'            return FromFields("{kind}", new[] {{ ' +
                  ", ".join(f'"{field[0]}"' for field in ordered) + " },",
                  f"                              new[] {{ {', '.join(values)} }});",
                  "        }", ""]
    return lines[:-1] + ["    }"]


def main(header, library, out):
    api = open_library(library)
    text, members, defines = read(header, library_rows(api.tessera_constant, ctypes.c_int))
    limits = library_rows(api.tessera_limit, ctypes.c_longlong)
    statuses = [(pascal(symbol[len("TESSERA_"):].replace("ERROR_", "", 1)), number)
                for symbol, number, _ in members
                if symbol == "TESSERA_OK" or symbol.startswith("TESSERA_ERROR_")]
    source = [
        f"// Made from {header} and {library} by dotnet/constants.py.",
        "namespace Tessera",
        "{",
        *enum_lines(text, members, "TESSERA_LEVEL_", "Level"),
        "",
        *enum_lines(text, members, "TESSERA_FIELD_", "FieldType", "tessera_field_type"),
        "",
        *enum_lines(text, members, "TESSERA_FIELD_", "FieldFact", "tessera_field_fact", "internal"),
        "",
        *format_lines(members, library_formats(library)),
        "",
        "    internal enum Status",
        "    {",
        *[f"        {name} = {number}," for name, number in statuses],
        "    }",
        "",
        "    internal static partial class Library",
        "    {",
        *[f"        internal const int {pascal(symbol[len('TESSERA_'):])} = {number};"
          for symbol, number in defines],
        *[f"        internal const uint {name} = 0x{limits[row]:08X};"
          for row, name in (("dark.default", "DarkDefault"), ("light.default", "LightDefault"))],
        "    }",
        "",
        *builder_lines(payload_kinds(api)),
        "}",
        "",
    ]
    with open(out, "w", encoding="utf-8", newline="\n") as file:
        file.write("\n".join(source))


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit("usage: constants.py HEADER LIBRARY OUT.cs")
    main(*sys.argv[1:])
