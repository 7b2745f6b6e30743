#!/usr/bin/env python3
"""The Debian package: built, unpacked, validated, and started from its menu entry.

Usage: package_test.py CPACK CPACK_CONFIG DATA_DIR [unittest options]

Builds the package with `cpack -G DEB` into a scratch folder and unpacks it
there with `dpkg-deb -x`: nothing is installed into the system. Checks what
it holds, renders its man pages, runs lintian, desktop-file-validate and
appstreamcli validate on it, then starts the program as its desktop entry
says (its Exec, found under the unpacked root) from an empty working
directory on an Xvfb display with openbox, and checks that the window shows
the shipped maze and carries the entry's StartupWMClass.
"""

import glob
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

from xsession import (DISPLAY_ENV, LANGUAGES, MAP_FILE, OPEN, SCREEN, START_CELL,  # noqa: E402
                      TEXTURE_FILE, TIMEOUT, TRAIL, WALL, ProgramTest, Screenshot, cells_with,
                      click, press, read_map, start_display, wait_until, x_tool)

CPACK = ""
CPACK_CONFIG = ""
DATA_DIR = ""

ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)
DESKTOP_ENTRY = "usr/share/applications/pathwick.desktop"
SHARE_DIR = "usr/share/pathwick"
PROGRAMS = ("pathwick", "pathwick-trace", "pathwick-record", "pathwick-maze")
# The sections every man page has, and those of some pages beyond them.
MAN_SECTIONS = ("EXIT STATUS", "SEE ALSO")
MORE_MAN_SECTIONS = {"pathwick": ("KEYS", "DRAWING A MAZE", "MAP FORMAT", "FILES"),
                     "pathwick-trace": ("OUTPUT", "SUMMARY"),
                     "pathwick-record": ("FILES",),
                     "pathwick-maze": ("THE MAZE", "OUTPUT", "EXAMPLES")}
# lintian tags that a package built with Debian's flags and stripped as
# Debian strips must not get.
HARDENING_AND_STRIP_TAGS = r"(hardening-[a-z-]+|binary-has-unneeded-section)"
CJK_FONT_PACKAGE = "fonts-wqy-microhei"
CATALOG_LANGUAGES = ("en", "zh")  # the message catalogs, po/*.po
ENGLISH = "en_US.UTF-8"

FIRST_CELL_ENTERED = (1, 0)  # east of the start, open in the shipped map

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


def man_pages():
    """Program -> its man page in the package, for every program in usr/bin."""
    pages = {}
    for program in sorted(os.listdir(in_root("usr/bin"))):
        found = glob.glob(in_root(f"usr/share/man/man*/{glob.escape(program)}.*.gz"))
        pages[program] = found[0] if len(found) == 1 else None
    return pages


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
        for program in PROGRAMS:
            self.assertTrue(os.access(in_root(f"usr/bin/{program}"), os.X_OK), program)
        for name in (MAP_FILE, TEXTURE_FILE):
            with open(in_root(f"{SHARE_DIR}/{name}"), "rb") as shipped, \
                    open(os.path.join(DATA_DIR, name), "rb") as source:
                self.assertEqual(shipped.read(), source.read(), f"{name} differs from data/")
        for name in ("copyright", "changelog.gz"):
            self.assertTrue(os.path.isfile(in_root(f"usr/share/doc/pathwick/{name}")), name)
        for language in CATALOG_LANGUAGES:
            catalog = f"usr/share/locale/{language}/LC_MESSAGES/pathwick.mo"
            self.assertTrue(os.path.isfile(in_root(catalog)), catalog)
        self.assertEqual(len(metainfo_files()), 1)
        icon = read_desktop_entry(in_root(DESKTOP_ENTRY))["Icon"]
        for size in ICON_SIZES:
            path = in_root(f"usr/share/icons/hicolor/{size}x{size}/apps/{icon}.png")
            self.assertEqual(png_size(path), (size, size), path)

    def test_man_pages_list_every_option_of_their_programs_help_and_teach_the_rest(self):
        no_display = {name: value for name, value in os.environ.items() if name != "DISPLAY"}
        for program, page in man_pages().items():
            with self.subTest(program):
                self.assertIsNotNone(page, f"{program} has no man page")
                help_text = run(in_root(f"usr/bin/{program}"), "--help", env=no_display).stdout
                options = set(re.findall(r"--[a-z][a-z-]*", help_text))
                self.assertIn("--help", options)
                with gzip.open(page, "rt") as stream:
                    text = stream.read().replace("\\-", "-")
                self.assertRegex(text, rf"\.SH NAME\n{re.escape(program)} - \w")
                for option in options:
                    self.assertIn(option, text)
                sections = re.findall(r'^\.SH "?([^"\n]+)"?$', text, re.MULTILINE)
                for section in MAN_SECTIONS + MORE_MAN_SECTIONS.get(program, ()):
                    self.assertIn(section, sections)

    def test_man_pages_render_without_warnings(self):
        for program, page in man_pages().items():
            with self.subTest(program):
                shown = run("man", "--warnings=w", "-l", page, env=dict(os.environ, MANWIDTH="80"))
                self.assertEqual((shown.returncode, shown.stderr), (0, ""))
                self.assertIn("EXIT STATUS", shown.stdout)


class ValidatorTest(unittest.TestCase):
    def test_lintian_reports_no_errors_and_no_hardening_or_strip_tags(self):
        done = run("lintian", "-I", "--pedantic", "--fail-on", "error", PACKAGE)
        tags = [line for line in done.stdout.splitlines() if re.match(r"[EWIPX]: ", line)]
        for line in tags:
            print(f"lintian {line}", file=sys.stderr)
        unwanted = [line for line in tags if line.startswith("E: ")
                    or re.search(rf": {HARDENING_AND_STRIP_TAGS} ", line)]
        self.assertEqual(unwanted, [])
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)

    def test_desktop_entry_and_metainfo_validate(self):
        commands = [["desktop-file-validate", in_root(DESKTOP_ENTRY)]]
        commands += [["appstreamcli", "validate", "--no-net", path] for path in metainfo_files()]
        for command in commands:
            with self.subTest(command[0]):
                done = run(*command)
                self.assertEqual(done.returncode, 0, done.stdout + done.stderr)


class RecorderTest(unittest.TestCase):
    def test_recorder_started_in_an_empty_folder_records_the_shipped_maze(self):
        recorder = in_root("usr/bin/pathwick-record")
        workdir = tempfile.mkdtemp(prefix="pathwick-package-cwd-")
        self.addCleanup(shutil.rmtree, workdir, True)
        # Without the installed map and texture it would refuse, with 2.
        done = run(recorder, "--to", "1", "first.gif", cwd=workdir)
        self.assertEqual(done.returncode, 0, done.stderr)
        with open(os.path.join(workdir, "first.gif"), "rb") as stream:
            self.assertEqual(stream.read(6), b"GIF89a")


class MenuEntryTest(ProgramTest):
    """Starts the program as a desktop does from the menu entry, in a working
    directory without the maze: the program finds the one installed with it."""

    WINDOW_CLASSES = "^(PathwickClass|FLTK)$"

    @classmethod
    def setUpClass(cls):
        home = tempfile.mkdtemp(prefix="pathwick-package-home-")
        cls.addClassCleanup(shutil.rmtree, home, True)
        start_display(home, cls.addClassCleanup)

    def entry_command(self):
        """The entry's Exec, found on a PATH that starts with the package's
        bin folder, an empty working directory and the environment."""
        entry = read_desktop_entry(in_root(DESKTOP_ENTRY))
        self.assertNotIn("Path", entry, "the program needs no working directory of its own")
        workdir = tempfile.mkdtemp(prefix="pathwick-package-cwd-")
        self.addCleanup(shutil.rmtree, workdir, True)
        arguments = [word for word in shlex.split(entry["Exec"]) if not word.startswith("%")]
        env = dict(DISPLAY_ENV, PATH=in_root("usr/bin") + os.pathsep + os.environ["PATH"])
        program = shutil.which(arguments[0], path=env["PATH"])
        self.assertTrue(program and program.startswith(ROOT + os.sep),
                        f"Exec runs {program}, not the package's program")
        return [program, *arguments[1:]], workdir, env

    def test_entry_starts_the_program_on_the_shipped_maze(self):
        command, workdir, env = self.entry_command()
        # In English, which the program reads from the package's catalogs.
        self.start(command, workdir, dict(env, LANG=ENGLISH))
        self.answer_question("Return", caption=LANGUAGES[ENGLISH].question_caption)
        window = self.main_window()
        wm_class = re.findall(r'"([^"]*)"', x_tool("xprop", "-id", str(window), "WM_CLASS"))
        self.assertEqual(wm_class[1:], [read_desktop_entry(in_root(DESKTOP_ENTRY))["StartupWMClass"]],
                         "the window's class is not the entry's StartupWMClass")
        self.assert_shows_the_map(read_map(os.path.join(DATA_DIR, MAP_FILE)))

        # Return reloads the maze from the file chosen at start: the cell the
        # search entered shows open again. The search runs at 15 frames a
        # second, so that Shift stops it before it enters the cell again.
        self.slow_down()
        press("ctrl")
        wait_until(lambda: self.cell_shows(Screenshot(), FIRST_CELL_ENTERED, TRAIL),
                   "the search to enter and leave its first cell")
        # One xdotool call for both keys, so that no frame falls between them.
        x_tool("xdotool", "key", "--delay", "0", "Return", "shift")
        wait_until(lambda: self.cell_shows(Screenshot(), FIRST_CELL_ENTERED, OPEN),
                   "Return to reload the shipped maze")
        press("Escape")
        self.assert_exits_with_1()

    def test_edit_mode_in_an_empty_folder_draws_on_all_walls_and_never_writes_the_installed_maze(self):
        command, workdir, env = self.entry_command()
        installed = in_root(f"{SHARE_DIR}/{MAP_FILE}")
        with open(installed, "rb") as stream:
            installed_bytes = stream.read()
        self.start([command[0], "--windowed", "--edit"], workdir, env)
        self.main_window()
        shot = Screenshot()
        open_in_shipped_maze = [cell for cell in cells_with(read_map(installed), 1)
                                if cell != START_CELL]
        self.assertTrue(all(self.cell_shows(shot, cell, WALL) for cell in open_in_shipped_maze),
                        "the edit starts from the installed maze, not from all walls")

        click(*centre(self.scene.cell(*FIRST_CELL_ENTERED)))
        # Off the picture again, where the next test's window will not have it.
        x_tool("xdotool", "mousemove", str(SCREEN[0] - 1), str(SCREEN[1] - 1))
        edited = os.path.join(workdir, MAP_FILE)
        wait_until(lambda: os.path.exists(edited), "the map file in the working directory")
        expected = [0] * 100
        expected[FIRST_CELL_ENTERED[0] + 10 * FIRST_CELL_ENTERED[1]] = 1
        self.assertEqual(read_map(edited), expected)
        with open(installed, "rb") as stream:
            self.assertEqual(stream.read(), installed_bytes, "the installed maze was written")
        press("Escape")
        self.assert_exits_with_1()

    def test_edit_mode_on_a_link_to_the_installed_maze_edits_the_users_copy(self):
        command, workdir, env = self.entry_command()
        installed = in_root(f"{SHARE_DIR}/{MAP_FILE}")
        with open(installed, "rb") as stream:
            installed_bytes = stream.read()
        os.symlink(installed, os.path.join(workdir, "linked.txt"))
        data_home = os.path.join(workdir, "data")
        self.start([command[0], "--windowed", "--edit", "--map", "linked.txt"], workdir,
                   dict(env, XDG_DATA_HOME=data_home))
        self.main_window()
        click(*centre(self.scene.cell(*FIRST_CELL_ENTERED)))
        x_tool("xdotool", "mousemove", str(SCREEN[0] - 1), str(SCREEN[1] - 1))
        copy = os.path.join(data_home, "pathwick", MAP_FILE)
        expected = read_map(installed)
        expected[FIRST_CELL_ENTERED[0] + 10 * FIRST_CELL_ENTERED[1]] = 9  # Open goes to Exit
        wait_until(lambda: os.path.exists(copy) and read_map(copy) == expected,
                   "the click in the user's copy of the maze")
        with open(installed, "rb") as stream:
            self.assertEqual(stream.read(), installed_bytes, "the installed maze was written")
        press("Escape")
        self.assert_exits_with_1()


def centre(rect):
    left, top, right, bottom = rect
    return (left + right) // 2, (top + bottom) // 2


if __name__ == "__main__":
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    CPACK, CPACK_CONFIG, DATA_DIR = sys.argv[1], sys.argv[2], os.path.abspath(sys.argv[3])
    unittest.main(argv=sys.argv[:1] + sys.argv[4:], verbosity=2)
