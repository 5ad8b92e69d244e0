#!/usr/bin/env python3
"""Bytes per object file in a program, read from the GNU ld map file beside it.

    python3 resources/size_breakdown.py build/win32/resources/setup.map [--top N] [--libraries]

The map lists, below "Linker script and memory map", every input section that the link kept:
its name, address, size and the object it came from, either a plain object (crt2.o) or a
library member (libgcc.a(_udivdi3.o)). Long section names put the address and size on the
next line. Sizes here are of the sections' contents; the file adds its headers and rounds each
section up to 512 bytes. Sections the linker made itself (.reloc) are shown as "(linker)", the
members of a DLL's import library that only add import entries as one line per library, and
the output of link-time optimisation (all of our sources and zlib in one object) as
"(link-time optimised)"; build with -DZORV_SIZE_LTO=OFF to see each source file.
"""
import argparse
import collections
import os
import re
import sys

# An input section: " NAME ADDRESS SIZE OBJECT", or " NAME" alone with the rest on the next line.
INPUT = re.compile(r"^ (\S+)\s+0x([0-9a-fA-F]+)\s+0x([0-9a-fA-F]+)(?:\s+(.*\S))?\s*$")
INPUT_NAME_ONLY = re.compile(r"^ (\S+)\s*$")
CONTINUED = re.compile(r"^\s+0x([0-9a-fA-F]+)\s+0x([0-9a-fA-F]+)\s+(.*\S)\s*$")
OUTPUT_SECTION = re.compile(r"^(\.\S+)")
# The columns of the table: output sections grouped by what they hold.
GROUPS = {".text": "code", ".data": "data", ".rdata": "data", ".CRT": "data", ".tls": "data",
          ".bss": "bss", ".eh_frame": "unwind", ".pdata": "unwind", ".xdata": "unwind",
          ".idata": "imports", ".rsrc": "resources"}
COLUMNS = ["code", "data", "unwind", "imports", "resources", "other"]


def short_name(origin):
    """'/usr/lib/.../libz.a(inflate.o)' -> 'libz.a(inflate.o)'; objects.a members lose the
    archive, since they are our own sources."""
    if re.search(r"\.ltrans\d*\.ltrans\.o$", origin):
        return "(link-time optimised)"
    match = re.match(r"^(.*?)([^/]+\.a)\((.*)\)$", origin)
    if match:
        library, member = match.group(2), match.group(3)
        if library == "objects.a":
            return member.removesuffix(".obj")
        return f"{library}({member})"
    return os.path.basename(origin)


def library_of(name):
    match = re.match(r"^([^( ]+\.a)[ (]", name)
    if match:
        return match.group(1)
    return "(our code)" if name.endswith((".cpp", ".c")) else name


def read_map(path):
    """Yields (output section, input section, size, object) for every kept input section."""
    with open(path, encoding="utf-8", errors="replace") as f:
        lines = f.read().splitlines()
    try:
        start = lines.index("Linker script and memory map")
    except ValueError:
        sys.exit(f"{path}: no memory map in this file")
    output = None
    pending = None
    for line in lines[start + 1:]:
        match = OUTPUT_SECTION.match(line)
        if match:
            output, pending = match.group(1), None
            continue
        if pending:
            match = CONTINUED.match(line)
            if match:
                yield output, pending, int(match.group(2), 16), match.group(3)
            pending = None
            continue
        match = INPUT.match(line)
        if match and not line.startswith(" *"):
            size, origin = int(match.group(3), 16), match.group(4)
            if origin is None:
                continue  # a fill or an assignment
            yield output, match.group(1), size, origin
            continue
        match = INPUT_NAME_ONLY.match(line)
        if match and not line.startswith(" *"):
            pending = match.group(1)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("map")
    parser.add_argument("--top", type=int, default=0, help="print only the N largest objects")
    parser.add_argument("--libraries", action="store_true", help="also sum per library")
    args = parser.parse_args()

    per_object = collections.defaultdict(collections.Counter)
    for output, _section, size, origin in read_map(args.map):
        if size == 0 or output is None or output.startswith((".debug", ".zdebug", ".stab")):
            continue
        name = "(linker)" if " " in origin else short_name(origin)
        group = GROUPS.get(output, "other")
        if group == "bss":
            continue  # takes no room in the file
        per_object[name][group] += size

    # Members that hold nothing but import entries, folded into one line per import library.
    for name in [n for n, counts in per_object.items() if set(counts) == {"imports"}]:
        library = library_of(name)
        if library != name:
            folded = per_object[f"{library} (imports)"]
            folded.update(per_object.pop(name))

    def table(rows, title):
        print(f"{'bytes':>7} " + " ".join(f"{c:>7}" for c in COLUMNS) + f"  {title}")
        for name, counts in rows:
            print(f"{sum(counts.values()):>7} " + " ".join(f"{counts[c]:>7}" for c in COLUMNS)
                  + f"  {name}")

    rows = sorted(per_object.items(), key=lambda item: (-sum(item[1].values()), item[0]))
    total = collections.Counter()
    for _name, counts in rows:
        total.update(counts)
    shown = rows[:args.top] if args.top else rows
    table(shown, "object")
    if len(shown) < len(rows):
        rest = collections.Counter()
        for _name, counts in rows[len(shown):]:
            rest.update(counts)
        table([(f"... {len(rows) - len(shown)} more", rest)], "")
    table([("total", total)], "")

    if args.libraries:
        per_library = collections.defaultdict(collections.Counter)
        for name, counts in rows:
            per_library[library_of(name)].update(counts)
        print()
        table(sorted(per_library.items(), key=lambda item: -sum(item[1].values())), "library")


if __name__ == "__main__":
    main()
