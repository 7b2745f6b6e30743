#!/usr/bin/env python3
"""Holds the program's includes to its floors: a file includes files of its
own room or of rooms below, never above (docs/DEVELOPING.md, "The house").

Usage: layers_test.py SOURCE_DIR
"""
import pathlib
import re
import sys
import unittest

# The rooms, lowest first. A backend's folder stands above the seam's shared
# pieces beside platform.h, which must not reach into one backend.
FLOORS = [
    "shell/files",
    "shell/platform",
    "shell/platform/backend",
    "shell/text",
    "explorer",
    "shell/app",
    "ui",
    "shell/main",
]
BACKENDS = ("x11", "win32", "offscreen", "web")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def room_of(path):
    """The room of a path relative to the source folder, or None outside."""
    parts = pathlib.PurePosixPath(path).parts
    if parts[:2] == ("shell", "platform"):
        return "shell/platform/backend" if len(parts) > 3 and parts[2] in BACKENDS else "shell/platform"
    if parts[0] == "shell" and len(parts) > 2:
        return "shell/" + parts[1]
    return parts[0] if parts[0] in ("explorer", "ui") else None


def upward_includes(source_dir):
    """Every include that runs up a floor, as 'file -> included'."""
    found = []
    for folder in ("shell", "explorer", "ui"):
        for file in sorted((source_dir / folder).rglob("*")):
            if file.suffix not in (".cpp", ".h"):
                continue
            name = file.relative_to(source_dir).as_posix()
            floor = FLOORS.index(room_of(name))
            for included in INCLUDE.findall(file.read_text(encoding="utf-8")):
                room = room_of(included)
                if room is not None and FLOORS.index(room) > floor:
                    found.append(f"{name} -> {included}")
    return found


class LayersTest(unittest.TestCase):
    def test_room_of_places_every_kind_of_path(self):
        cases = {
            "shell/files/bmp_file.h": "shell/files",
            "shell/platform/platform.h": "shell/platform",
            "shell/platform/x11/boxes_fltk.h": "shell/platform/backend",
            "shell/main/launch.h": "shell/main",
            "ui/frame.h": "ui",
            "tools/output_file.h": None,
        }
        for path, room in cases.items():
            with self.subTest(path=path):
                self.assertEqual(room_of(path), room)

    def test_no_include_runs_up_a_floor(self):
        self.assertEqual(upward_includes(SOURCE_DIR), [])


if __name__ == "__main__":
    SOURCE_DIR = pathlib.Path(sys.argv.pop(1))
    unittest.main()
