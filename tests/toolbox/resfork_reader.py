#!/usr/bin/env python3
"""An independent reader of classic resource files (resource-fork layout kept as a
file's data), written from the layout alone, with the Python standard library only.
It checks the files Tonefade's build and plug-in write.

The layout: a 16-byte header of four big-endian 32-bit values (offset of the data,
offset of the map, length of the data, length of the map); in the data area each
resource is a 32-bit length and its bytes; the map holds a copy of the header, a
4-byte next-map handle, a 2-byte file reference, 2-byte attributes, the 2-byte offsets
of the type list and of the name list (from the start of the map), then the type list
(count - 1, then per type: code, count - 1, offset of its reference list from the
start of the type list), the reference lists (id, name offset or -1, attributes,
3-byte data offset, 4-byte handle) and the name list (Pascal strings).

Usage:
  resfork_reader.py dump FILE
  resfork_reader.py check-bundle RSRC_FILE REZ_SOURCE
  resfork_reader.py check-prefs PROBE_PROGRAM FOLDER
"""

import json
import os
import re
import struct
import subprocess
import sys
from dataclasses import dataclass

FINDER_INFO = "user.com.apple.FinderInfo"


class ResourceFileError(ValueError):
    pass


@dataclass
class Resource:
    type: bytes
    id: int
    name: bytes  # None when the resource has no name
    attributes: int
    data: bytes


def _need(condition, message):
    if not condition:
        raise ResourceFileError(message)


def parse(blob):
    """The map attributes and the resources of a resource file, in file order."""
    _need(len(blob) >= 16, "shorter than the header")
    data_offset, map_offset, data_length, map_length = struct.unpack_from(">IIII", blob, 0)
    _need(data_offset >= 16 and map_offset >= 16, "areas overlap the header")
    _need(data_offset + data_length <= len(blob), "data area past the end of the file")
    _need(map_offset + map_length <= len(blob), "map past the end of the file")
    _need(data_offset + data_length <= map_offset or map_offset + map_length <= data_offset,
          "data area and map overlap")
    _need(map_length >= 30, "map too short")
    rmap = blob[map_offset:map_offset + map_length]
    data = blob[data_offset:data_offset + data_length]
    attributes, type_list, name_list = struct.unpack_from(">HHH", rmap, 22)
    _need(28 <= type_list and type_list + 2 <= map_length, "type list outside the map")
    _need(name_list <= map_length, "name list outside the map")
    type_count = (struct.unpack_from(">H", rmap, type_list)[0] + 1) & 0xFFFF
    _need(type_list + 2 + 8 * type_count <= map_length, "type list runs past the map")
    resources, seen = [], set()
    for t in range(type_count):
        code, count, refs = struct.unpack_from(">4sHH", rmap, type_list + 2 + 8 * t)
        count += 1
        start = type_list + refs
        _need(start + 12 * count <= map_length, "reference list runs past the map")
        for r in range(count):
            resource = _reference(rmap, data, name_list, code, start + 12 * r)
            _need((code, resource.id) not in seen, "two resources share type and id")
            seen.add((code, resource.id))
            resources.append(resource)
    return attributes, resources


def _reference(rmap, data, name_list, code, at):
    rid, name_offset, attributes, high, low = struct.unpack_from(">hHBBH", rmap, at)
    offset = high << 16 | low
    name = None
    if name_offset != 0xFFFF:
        where = name_list + name_offset
        _need(where < len(rmap) and where + 1 + rmap[where] <= len(rmap), "name runs past the map")
        name = bytes(rmap[where + 1:where + 1 + rmap[where]])
    _need(offset + 4 <= len(data), "data offset past the data area")
    (length,) = struct.unpack_from(">I", data, offset)
    _need(offset + 4 + length <= len(data), "data runs past the data area")
    return Resource(code, rid, name, attributes, bytes(data[offset + 4:offset + 4 + length]))


def string_list(data):
    """The strings of a 'STR#' resource, decoded from Mac Roman."""
    _need(len(data) >= 2, "string list without a count")
    (count,) = struct.unpack_from(">H", data, 0)
    at, strings = 2, []
    for _ in range(count):
        _need(at < len(data) and at + 1 + data[at] <= len(data), "string list cut short")
        strings.append(data[at + 1:at + 1 + data[at]].decode("mac_roman"))
        at += 1 + data[at]
    _need(at == len(data), "bytes after the last string")
    return strings


def finder_info(path):
    """Type and creator from the file's extended attribute, or None where there is none."""
    try:
        info = os.getxattr(path, FINDER_INFO)
    except OSError:
        return None
    return info[0:4], info[4:8]


def read_file(path):
    with open(path, "rb") as f:
        blob = f.read()
    header = blob[:16]
    attributes, resources = parse(blob)
    map_offset = struct.unpack_from(">I", blob, 4)[0]
    _need(blob[map_offset:map_offset + 16] == header, "the map's copy of the header differs")
    return attributes, resources


def rez_source(path):
    """The string lists of a tonefade-rez source: {id: (name, limit, [strings])}."""
    header = re.compile(r"""^resource\s+'STR#'\s+(-?\d+)(?:\s+"((?:[^"\\]|\\.)*)")?(?:\s+max\s+(\d+))?$""")
    entry = re.compile(r'^"((?:[^"\\]|\\.)*)"$')
    unescape = lambda s: re.sub(r"\\(.)", r"\1", s)
    lists, current = {}, None
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.strip()
            if not line or line.startswith("#"):
                continue
            if current is None:
                m = header.match(line)
                _need(m is not None, f"line {number}: not a list header")
                current = int(m.group(1))
                lists[current] = (unescape(m.group(2) or ""), int(m.group(3) or 255), [])
            elif line == "end":
                current = None
            else:
                m = entry.match(line)
                _need(m is not None, f"line {number}: not an entry")
                lists[current][2].append(unescape(m.group(1)))
    return lists


def check_bundle(rsrc_path, source_path):
    _, resources = read_file(rsrc_path)
    expected = rez_source(source_path)
    found = {r.id: r for r in resources}
    _need(all(r.type == b"STR#" for r in resources), "a resource other than a string list")
    _need(sorted(found) == sorted(expected), f"lists {sorted(found)} instead of {sorted(expected)}")
    for rid, (name, limit, strings) in expected.items():
        resource = found[rid]
        _need(resource.name == name.encode("mac_roman"), f"list {rid} is named {resource.name!r}")
        actual = string_list(resource.data)
        _need(actual == strings, f"list {rid} holds {actual} instead of {strings}")
        _need(all(len(s.encode("mac_roman")) <= limit for s in actual), f"list {rid} exceeds {limit}")
    for rid, count in ((128, 3), (129, 6), (130, 1), (17000, 1)):
        _need(len(expected.get(rid, ("", 0, []))[2]) >= count, f"list {rid} has fewer than {count} entries")
    _need(len(expected[130][2][0]) <= 31, "the button title does not fit 31 characters")
    info = finder_info(rsrc_path)
    _need(info is None or info == (b"rsrc", b"qvl "), f"type and creator {info}")
    print(f"{rsrc_path}: {len(resources)} string lists as in {os.path.basename(source_path)}")


RECORD = struct.Struct("<II4d4d18H6h3H3Hh256s2x")
MISC = b"Config save for Qorvel iMovie plug-in"


def check_prefs(probe, folder):
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, "vardo-Prefs")
    if os.path.exists(path):
        os.remove(path)
    saved = json.loads(subprocess.run([probe, folder], check=True, capture_output=True, text=True).stdout)
    _, resources = read_file(path)
    _need(len(resources) == 1, f"{len(resources)} resources instead of one")
    r = resources[0]
    _need((r.type, r.id, r.name) == (b"Pref", 1, b"Config Settings"), f"resource {r.type} {r.id} {r.name}")
    _need(len(r.data) == RECORD.size == saved["recordSize"], f"record of {len(r.data)} bytes")
    v = RECORD.unpack(r.data)
    _need(v[0:2] == (RECORD.size, 3), f"size and version {v[0:2]}")
    _need(list(v[2:6]) == saved["startRel"] and list(v[6:10]) == saved["endRel"], "rectangles differ")
    _need([list(v[10 + 3 * i:13 + 3 * i]) for i in range(6)] == saved["colors"], "colours differ")
    _need(list(v[28:34]) == saved["sliders"], "sliders differ")
    _need(list(v[34:37]) == saved["frameStartColor"] and list(v[37:40]) == saved["frameEndColor"],
          "frame colours differ")
    _need(v[40] == saved["mediaType"], "media type differs")
    _need(v[41] == bytes([len(MISC)]) + MISC + bytes(255 - len(MISC)), "miscString differs")
    _need(r.data[390:] == b"\0\0", "reserved bytes are not zero")
    info = finder_info(path)
    _need(info is None or info == (b"Pref", b"qvl "), f"type and creator {info}")
    print(f"{path}: one 'Pref' 1 record of {len(r.data)} bytes holding what was saved")


def dump(path):
    attributes, resources = parse(open(path, "rb").read())
    print(f"map attributes {attributes:#06x}")
    for r in resources:
        name = "" if r.name is None else f' "{r.name.decode("mac_roman")}"'
        print(f"'{r.type.decode('mac_roman')}' {r.id}{name} attributes {r.attributes:#04x} {len(r.data)} bytes")


def main(argv):
    commands = {"dump": (dump, 1), "check-bundle": (check_bundle, 2), "check-prefs": (check_prefs, 2)}
    if len(argv) < 2 or argv[1] not in commands or len(argv) != 2 + commands[argv[1]][1]:
        print(__doc__, file=sys.stderr)
        return 2
    try:
        commands[argv[1]][0](*argv[2:])
    except (ResourceFileError, OSError, subprocess.CalledProcessError) as e:
        print(f"{argv[1]}: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
