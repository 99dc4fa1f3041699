#!/usr/bin/env python3
"""Writes a NuGet package: the zip layout that `nuget pack` writes (the Open Packaging Conventions:
[Content_Types].xml, _rels/.rels pointing at the manifest, then the files), made so that the same
inputs give the same bytes: entries sorted by name, every time stamp the given one, fixed modes.

    python3 dotnet/nupkg.py OUT.nupkg MANIFEST VERSION EPOCH NAME=FILE...

MANIFEST is the package's manifest (dotnet/package-manifest.xml), a template whose $version$
becomes VERSION and whose <id> names the package; NAME=FILE puts FILE into the package as NAME
(forward slashes). A file named LICENSE becomes the package's license. EPOCH is the time stamp, in
seconds since 1970 (SOURCE_DATE_EPOCH), and must fall in 1980 or later as zip dates do."""

import os
import sys
import time
import zipfile
from xml.etree import ElementTree
from xml.sax.saxutils import quoteattr

MANIFEST = "http://schemas.microsoft.com/packaging/2010/07/manifest"
CONTENT_TYPES = "http://schemas.openxmlformats.org/package/2006/content-types"
RELATIONSHIPS = "http://schemas.openxmlformats.org/package/2006/relationships"
RELATIONSHIPS_TYPE = "application/vnd.openxmlformats-package.relationships+xml"
OCTET = "application/octet"
LICENSE = "LICENSE"


def extension(name):
    """What follows the last dot of the last component of `name` ("rels" for _rels/.rels)."""
    last = name.rsplit("/", 1)[-1]
    return last.rsplit(".", 1)[1] if "." in last else ""


def content_types(names):
    """[Content_Types].xml: a default type per extension, an override for names without one."""
    extensions = sorted({extension(name) for name in names} - {"", "rels"})
    lines = ['<?xml version="1.0" encoding="utf-8"?>', f'<Types xmlns="{CONTENT_TYPES}">',
             f'  <Default Extension="rels" ContentType="{RELATIONSHIPS_TYPE}" />']
    lines += [f"  <Default Extension={quoteattr(e)} ContentType=\"{OCTET}\" />" for e in extensions]
    lines += [f"  <Override PartName={quoteattr('/' + n)} ContentType=\"{OCTET}\" />"
              for n in sorted(names) if not extension(n)]
    return "\n".join(lines + ["</Types>", ""])


def relationships(manifest):
    return "\n".join([
        '<?xml version="1.0" encoding="utf-8"?>', f'<Relationships xmlns="{RELATIONSHIPS}">',
        f'  <Relationship Type="{MANIFEST}" Target="/{manifest}" Id="manifest" />',
        "</Relationships>", ""])


def manifest(template, version, licensed):
    text = open(template, encoding="utf-8").read().replace("$version$", version)
    if licensed:
        text = text.replace("</authors>",
                            f"</authors>\n    <license type=\"file\">{LICENSE}</license>", 1)
    return text


def package_id(template):
    """The text of the manifest's <metadata><id>, whatever namespace the manifest declares."""
    root = ElementTree.parse(template).getroot()
    namespace = root.tag[:root.tag.index("}") + 1] if root.tag.startswith("{") else ""
    found = root.find(f"{namespace}metadata/{namespace}id")
    if found is None or not (found.text or "").strip():
        sys.exit(f"{template} has no <metadata><id>")
    return found.text.strip()


def main(out, template, version, epoch, pairs):
    files = dict(pair.split("=", 1) for pair in pairs)
    # NuGet finds the manifest inside a package by this extension, so the entry keeps it.
    manifest_entry = package_id(template) + ".nuspec"
    entries = {name: open(path, "rb").read() for name, path in files.items()}
    entries[manifest_entry] = manifest(template, version, LICENSE in files).encode("utf-8")
    entries["_rels/.rels"] = relationships(manifest_entry).encode("utf-8")
    entries["[Content_Types].xml"] = content_types(entries).encode("utf-8")
    stamp = time.gmtime(int(epoch))[:6]
    if stamp[0] < 1980:
        sys.exit(f"the time stamp {epoch} falls before 1980, which zip cannot store")
    with zipfile.ZipFile(out, "w") as package:
        for name in sorted(entries):
            info = zipfile.ZipInfo(name, stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 3  # Unix, so that the mode below is read
            info.external_attr = 0o644 << 16
            package.writestr(info, entries[name], compresslevel=9)


if __name__ == "__main__":
    if len(sys.argv) < 6:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5:])
