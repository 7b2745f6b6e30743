#!/usr/bin/env python3
"""The Debian package: built, unpacked, validated, and started from its menu entry.

Usage: package_test.py CPACK CPACK_CONFIG DATA_DIR [unittest options]

Builds the package with `cpack -G DEB` into a scratch folder and unpacks it
there with `dpkg-deb -x`: nothing is installed into the system. Checks what
it holds, runs lintian, desktop-file-validate and appstreamcli validate on it,
then starts the program as its desktop entry says (its Exec in its Path, both
under the unpacked root) on an Xvfb display with openbox, and checks that the
window shows the shipped maze.
"""

import gzip
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "e2e"))

from xsession import (DISPLAY_ENV, MAP_FILE, TEXTURE_FILE, TIMEOUT, ProgramTest,  # noqa: E402
                      Screenshot, press, read_map, start_display)

CPACK = ""
CPACK_CONFIG = ""
DATA_DIR = ""

ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)
DESKTOP_ENTRY = "usr/share/applications/pathwick.desktop"
SHARE_DIR = "usr/share/pathwick"
# Each program and its man page.
MAN_PAGES = {"pathwick": "usr/share/man/man6/pathwick.6.gz",
             "pathwick-trace": "usr/share/man/man1/pathwick-trace.1.gz",
             "pathwick-record": "usr/share/man/man1/pathwick-record.1.gz"}
CJK_FONT_PACKAGE = "fonts-wqy-microhei"

# Cell colours in the picture: the fill colours of open cells and the exit,
# and the arrow standing on the start cell.
OPEN_CELL = (102, 102, 76)
EXIT_CELL = (0, 255, 0)
START_CELL = (0, 0)
COLOUR_TOLERANCE = 2

PACKAGE = ""  # the .deb file
ROOT = ""  # where it is unpacked


def run(*command, **options):
    return subprocess.run(command, capture_output=True, text=True, timeout=240, **options)


def setUpModule():
    global PACKAGE, ROOT
    scratch = tempfile.mkdtemp(prefix="pathwick-package-")
    unittest.addModuleCleanup(shutil.rmtree, scratch, True)
    built = run(CPACK, "-G", "DEB", "--config", CPACK_CONFIG, "-B", scratch)
    if built.returncode != 0:
        raise RuntimeError(f"cpack failed:\n{built.stdout}{built.stderr}")
    packages = [name for name in os.listdir(scratch) if name.endswith(".deb")]
    if len(packages) != 1:
        raise RuntimeError(f"cpack made {packages}, not one package")
    PACKAGE = os.path.join(scratch, packages[0])
    ROOT = os.path.join(scratch, "root")
    subprocess.run(["dpkg-deb", "-x", PACKAGE, ROOT], check=True, timeout=TIMEOUT)


def in_root(path):
    return os.path.join(ROOT, path.lstrip("/"))


def control_field(name):
    return run("dpkg-deb", "-f", PACKAGE, name).stdout.strip()


def png_size(path):
    with open(path, "rb") as stream:
        header = stream.read(24)
    assert header[:8] == b"\x89PNG\r\n\x1a\n", f"{path} is not a PNG file"
    return int.from_bytes(header[16:20], "big"), int.from_bytes(header[20:24], "big")


def read_desktop_entry(path):
    """The keys of the [Desktop Entry] group."""
    entry, group = {}, None
    with open(path, encoding="utf-8") as stream:
        for line in stream:
            line = line.strip()
            if line.startswith("["):
                group = line
            elif group == "[Desktop Entry]" and "=" in line and not line.startswith("#"):
                key, value = line.split("=", 1)
                entry[key.strip()] = value.strip()
    return entry


def metainfo_files():
    folder = in_root("usr/share/metainfo")
    return [os.path.join(folder, name) for name in sorted(os.listdir(folder))]


class ContentsTest(unittest.TestCase):
    def test_name_version_and_dependencies(self):
        version = control_field("Version")
        self.assertEqual(os.path.basename(PACKAGE), f"pathwick_{version}_amd64.deb")
        depends = [item.split()[0] for item in control_field("Depends").split(", ")]
        for package in (CJK_FONT_PACKAGE, "libc6", "libfltk1.3", "libfltk-gl1.3", "libx11-6",
                        "libosmesa6", "libgif7"):
            self.assertIn(package, depends)

    def test_changelog_and_metainfo_carry_the_package_version(self):
        version = control_field("Version")
        with gzip.open(in_root("usr/share/doc/pathwick/changelog.gz"), "rt") as stream:
            self.assertRegex(stream.readline(), rf"^pathwick \({re.escape(version)}\) ")
        (metainfo,) = metainfo_files()
        with open(metainfo, encoding="utf-8") as stream:
            releases = re.findall(r'<release\s+version="([^"]+)"', stream.read())
        self.assertEqual(releases[:1], [version], "the newest release in the metainfo")

    def test_files_are_in_place(self):
        for program in MAN_PAGES:
            self.assertTrue(os.access(in_root(f"usr/bin/{program}"), os.X_OK), program)
        for name in (MAP_FILE, TEXTURE_FILE):
            with open(in_root(f"{SHARE_DIR}/{name}"), "rb") as shipped, \
                    open(os.path.join(DATA_DIR, name), "rb") as source:
                self.assertEqual(shipped.read(), source.read(), f"{name} differs from data/")
        for name in ("copyright", "changelog.gz"):
            self.assertTrue(os.path.isfile(in_root(f"usr/share/doc/pathwick/{name}")), name)
        self.assertEqual(len(metainfo_files()), 1)
        icon = read_desktop_entry(in_root(DESKTOP_ENTRY))["Icon"]
        for size in ICON_SIZES:
            path = in_root(f"usr/share/icons/hicolor/{size}x{size}/apps/{icon}.png")
            self.assertEqual(png_size(path), (size, size), path)

    def test_man_pages_list_every_option_of_their_programs_help(self):
        no_display = {name: value for name, value in os.environ.items() if name != "DISPLAY"}
        for program, page in MAN_PAGES.items():
            with self.subTest(program):
                help_text = run(in_root(f"usr/bin/{program}"), "--help", env=no_display).stdout
                options = set(re.findall(r"--[a-z][a-z-]*", help_text))
                self.assertIn("--help", options)
                with gzip.open(in_root(page), "rt") as stream:
                    text = stream.read().replace("\\-", "-")
                self.assertRegex(text, rf"\.SH NAME\n{re.escape(program)} - \w")
                for option in options:
                    self.assertIn(option, text)


class ValidatorTest(unittest.TestCase):
    def test_lintian_reports_no_errors(self):
        done = run("lintian", "--fail-on", "error", PACKAGE)
        tags = [line for line in done.stdout.splitlines() if re.match(r"[EWIPX]: ", line)]
        for line in tags:
            print(f"lintian {line}", file=sys.stderr)
        errors = [line for line in tags if line.startswith("E: ")]
        self.assertEqual(errors, [])
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)

    def test_desktop_entry_and_metainfo_validate(self):
        commands = [["desktop-file-validate", in_root(DESKTOP_ENTRY)]]
        commands += [["appstreamcli", "validate", "--no-net", path] for path in metainfo_files()]
        for command in commands:
            with self.subTest(command[0]):
                done = run(*command)
                self.assertEqual(done.returncode, 0, done.stdout + done.stderr)


class MenuEntryTest(ProgramTest):
    """Starts the program as a desktop does from the menu entry."""

    WINDOW_CLASSES = "^(PathwickClass|FLTK)$"

    @classmethod
    def setUpClass(cls):
        home = tempfile.mkdtemp(prefix="pathwick-package-home-")
        cls.addClassCleanup(shutil.rmtree, home, True)
        start_display(home, cls.addClassCleanup)

    def entry_command(self):
        """The entry's Exec, found on a PATH that starts with the package's
        bin folder, its working directory and its environment."""
        entry = read_desktop_entry(in_root(DESKTOP_ENTRY))
        self.assertTrue(os.path.isabs(entry["Path"]), entry["Path"])
        workdir = in_root(entry["Path"])
        arguments = [word for word in shlex.split(entry["Exec"]) if not word.startswith("%")]
        env = dict(DISPLAY_ENV, PATH=in_root("usr/bin") + os.pathsep + os.environ["PATH"])
        program = shutil.which(arguments[0], path=env["PATH"])
        self.assertTrue(program and program.startswith(ROOT + os.sep),
                        f"Exec runs {program}, not the package's program")
        return [program, *arguments[1:]], workdir, env

    def cell_matches(self, shot, cell, code):
        """Whether the cell shows `code`: stone for a wall (many shades, no
        blue), otherwise the fill colour of an open cell or the exit."""
        pixels = shot.area(self.scene.cell(*cell))
        if code == 0:
            return len(set(pixels)) > 10 and all(blue == 0 for _, _, blue in pixels)
        expected = EXIT_CELL if code == 9 else OPEN_CELL
        return all(abs(channel - wanted) <= COLOUR_TOLERANCE
                   for pixel in set(pixels) for channel, wanted in zip(pixel, expected))

    def test_entry_starts_the_program_on_the_shipped_maze(self):
        command, workdir, env = self.entry_command()
        self.start(command, workdir, env)
        self.answer_question("Return")
        self.main_window()
        shot = Screenshot()
        codes = read_map(os.path.join(DATA_DIR, MAP_FILE))
        cells = [((index % 10, index // 10), code) for index, code in enumerate(codes)]
        wrong = [(cell, code) for cell, code in cells
                 if cell != START_CELL and not self.cell_matches(shot, cell, code)]
        self.assertEqual(wrong, [], "cells (column, row) that do not show their map code")
        press("Escape")
        self.assert_exits_with_1()


if __name__ == "__main__":
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    CPACK, CPACK_CONFIG, DATA_DIR = sys.argv[1], sys.argv[2], os.path.abspath(sys.argv[3])
    unittest.main(argv=sys.argv[:1] + sys.argv[4:], verbosity=2)
