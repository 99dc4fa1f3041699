#!/usr/bin/env python3
"""Gives a .NET assembly written by Mono's mcs a module id made from its own bytes, in place:

    python3 dotnet/stable_mvid.py ASSEMBLY.dll

mcs draws the module id (MVID) at random, so two builds of the same sources differ in those 16 bytes
alone. They become the first 16 bytes of the SHA-256 of the file with them zeroed, so the same
sources give the same file (as a deterministic compiler makes it). The id is the only GUID that
mcs writes: the script fails when the #GUID heap holds anything else."""

import hashlib
import struct
import sys

CLI_HEADER_DIRECTORY = 14
GUID_SIZE = 16


def u16(data, at):
    return struct.unpack_from("<H", data, at)[0]


def u32(data, at):
    return struct.unpack_from("<I", data, at)[0]


def file_offset(data, sections, rva):
    """The file offset of the relative virtual address `rva`."""
    for at in sections:
        size, address, raw = u32(data, at + 8), u32(data, at + 12), u32(data, at + 20)
        if address <= rva < address + max(size, u32(data, at + 16)):
            return raw + rva - address
    sys.exit(f"no section holds the address {rva:#x}")


def guid_heap(data):
    """(offset, size) of the metadata's #GUID heap."""
    pe = u32(data, 0x3C)
    if data[pe:pe + 4] != b"PE\0\0":
        sys.exit("not a PE file")
    sections_count, optional_size = u16(data, pe + 6), u16(data, pe + 20)
    optional = pe + 24
    directories = optional + (96 if u16(data, optional) == 0x10B else 112)
    sections = [optional + optional_size + 40 * i for i in range(sections_count)]
    cli = file_offset(data, sections, u32(data, directories + 8 * CLI_HEADER_DIRECTORY))
    root = file_offset(data, sections, u32(data, cli + 8))
    if data[root:root + 4] != b"BSJB":
        sys.exit("no metadata")
    streams = root + 16 + u32(data, root + 12)  # after the version string: flags, count
    header = streams + 4
    for _ in range(u16(data, streams + 2)):
        offset, size = u32(data, header), u32(data, header + 4)
        end = data.index(b"\0", header + 8)
        name = data[header + 8:end].decode("ascii")
        header = header + 8 + (end - header - 8 + 4) // 4 * 4  # the name is padded to 4 bytes
        if name == "#GUID":
            return root + offset, size
    sys.exit("no #GUID heap")


def main(path):
    data = bytearray(open(path, "rb").read())
    offset, size = guid_heap(data)
    if size != GUID_SIZE:
        sys.exit(f"{path}: the #GUID heap holds {size} bytes, not the module id alone")
    data[offset:offset + GUID_SIZE] = bytes(GUID_SIZE)
    data[offset:offset + GUID_SIZE] = hashlib.sha256(data).digest()[:GUID_SIZE]
    open(path, "wb").write(data)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
