#!/usr/bin/env python3
"""The Windows program's packages: the installer under Wine, and the zip.

Usage: run_wine_installer_e2e.py CPACK CPACK_CONFIG DATA_DIR [unittest options]

Makes both packages of the Windows build with `cpack -G NSIS` and
`cpack -G ZIP` (CPACK_CONFIG is the build's CPackConfig.cmake) into a scratch
folder. The installer is installed silently (/S) into a fresh 64-bit Wine
prefix, in its own Xvfb with openbox (as run_wine_e2e.py sets them up); the
program is started as its Start-menu shortcut says, and shows the shipped
maze; the silent uninstall leaves no file, folder, shortcut or registry key
behind. Run by hand, in English, the installer shows its branding line and
the picture drawn from the icon, and its finish page's "Run Pathwick" box
starts the program.
"""

import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

from run_wine_e2e import WINE_ENV, WinePathwickTest, run_wine_tool, start_wine
from xsession import (ARROW, MAP_FILE, SETTLE, TEXTURE_FILE, TIMEOUT, TITLE, Screenshot, geometry,
                      press, read_map, start_display, stop_process, wait_until)
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from maze_tool_test import KNOWN_MAZES, known_map_text  # noqa: E402

CPACK = ""
CPACK_CONFIG = ""
DATA_DIR = ""
PACKAGES = {}  # generator -> the package file made
VERSION = ""

KEYS_SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "packaging",
                           "KEYS.txt")
SHIPPED_FILES = {"pathwick.exe", "pathwick-maze.exe", MAP_FILE, TEXTURE_FILE, "KEYS.txt"}
INSTALL_DIR = r"C:\Program Files\Pathwick"
START_MENU_DIR = r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Pathwick"
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pathwick"
UNINSTALL_TIMEOUT = 60.0
INSTALLER_CAPTION = "Pathwick Setup"
BRANDING = "Pathwick 1.0.0"  # the project's version, at the foot of every page
RUN_BOX = 'L"&Run Pathwick"'  # the finish page's box, as Wine logs its text
INSTALLER_PAGES = 8  # more than the installer has
INSTALLER_START_TIMEOUT = 60.0
INSTALLER_PICTURE_OLIVE = (102, 102, 76)  # the welcome picture's background
PE_MACHINE_AMD64 = 0x8664

# Shell link (.lnk) flags: which parts the file holds, in this order.
LINK_HAS_ID_LIST = 0x1
LINK_HAS_LINK_INFO = 0x2
LINK_STRINGS = ((0x4, "name"), (0x8, "relative path"), (0x10, "working folder"),
                (0x20, "arguments"), (0x40, "icon"))
LINK_IS_UNICODE = 0x80
LINK_INFO_HAS_LOCAL_PATH = 0x1


def read_shortcut(path):
    """The target and the other strings of a shell link (.lnk) file, by name."""
    with open(path, "rb") as stream:
        data = stream.read()
    flags = struct.unpack_from("<I", data, 0x14)[0]
    offset = 0x4C  # after the header
    if flags & LINK_HAS_ID_LIST:
        offset += 2 + struct.unpack_from("<H", data, offset)[0]
    link = {}
    if flags & LINK_HAS_LINK_INFO:
        size, _, info_flags, _, local_path = struct.unpack_from("<5I", data, offset)
        if info_flags & LINK_INFO_HAS_LOCAL_PATH:
            link["target"] = data[offset + local_path:].split(b"\0", 1)[0].decode("latin-1")
        offset += size
    width, encoding = (2, "utf-16-le") if flags & LINK_IS_UNICODE else (1, "latin-1")
    for flag, name in LINK_STRINGS:
        if flags & flag:
            count = struct.unpack_from("<H", data, offset)[0]
            text = data[offset + 2:offset + 2 + count * width].decode(encoding)
            link[name] = text.rstrip("\0")
            offset += 2 + count * width
    return link


def unix_path(windows_path):
    done = subprocess.run(["winepath", "-u", windows_path], env=WINE_ENV, capture_output=True,
                          text=True, check=True)
    return done.stdout.strip()


def prefix_tree():
    """Every file and folder in the prefix's C: drive, but the users' Temp
    folders: the NSIS uninstaller runs from a copy of itself there, which it
    cannot remove while it runs (Windows clears Temp in its own time)."""
    drive = os.path.join(WINE_ENV["WINEPREFIX"], "drive_c")
    found = set()
    for folder, folders, files in os.walk(drive):
        folders[:] = [name for name in folders if name.lower() != "temp"]
        found.update(os.path.relpath(os.path.join(folder, name), drive)
                     for name in folders + files)
    return found


def registry_mentions(word):
    """Lines of the machine's and the user's software keys that name `word`."""
    lines = []
    for root in ("HKLM\\Software", "HKCU\\Software"):
        with tempfile.TemporaryDirectory() as scratch:
            exported = os.path.join(scratch, "export.reg")
            run_wine_tool("wine", "reg", "export", root, exported, "/y")
            with open(exported, encoding="utf-16") as stream:
                lines += [line for line in stream if word.lower() in line.lower()]
    return lines


def registry_values(key):
    """The values of a registry key by name, each as (type, data), or None
    without the key."""
    done = subprocess.run(["wine", "reg", "query", key], env=WINE_ENV, capture_output=True,
                          text=True)
    if done.returncode != 0:
        return None
    values = {}
    for line in done.stdout.splitlines():
        match = re.match(r"\s+(\S+)\s+(REG_\w+)\s+(.*)$", line)
        if match:
            values[match.group(1)] = (match.group(2), match.group(3))
    return values


def folder_kib(path):
    """The size of the files in a folder and its subfolders, in KiB."""
    return sum(os.path.getsize(os.path.join(folder, name))
               for folder, _, names in os.walk(path) for name in names) / 1024


def pe_machine(path):
    """The machine field of a PE file's header (0x8664 for x86-64)."""
    with open(path, "rb") as stream:
        data = stream.read(4096)
    header = struct.unpack_from("<I", data, 0x3C)[0]
    return struct.unpack_from("<H", data, header + 4)[0]


def make_packages(scratch):
    os.mkdir(scratch)
    for generator in ("NSIS", "ZIP"):
        before = set(os.listdir(scratch))
        done = subprocess.run([CPACK, "-G", generator, "--config", CPACK_CONFIG, "-B", scratch],
                              capture_output=True, text=True, timeout=300)
        if done.returncode != 0:
            raise RuntimeError(f"cpack -G {generator} failed: {done.stdout}{done.stderr}")
        made = [name for name in set(os.listdir(scratch)) - before
                if name.endswith((".exe", ".zip"))]
        PACKAGES[generator] = os.path.join(scratch, made[0]) if len(made) == 1 else None


def setUpModule():
    global VERSION
    with open(CPACK_CONFIG) as stream:
        VERSION = re.search(r'set\(CPACK_PACKAGE_VERSION "([^"]+)"\)', stream.read()).group(1)
    home = tempfile.mkdtemp(prefix="pathwick-wine-installer-")
    unittest.addModuleCleanup(shutil.rmtree, home, True)
    make_packages(os.path.join(home, "packages"))
    start_display(home)
    start_wine(home)


def keys_with_windows_line_ends():
    with open(KEYS_SOURCE, "rb") as stream:
        return stream.read().replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


class InstallerTest(WinePathwickTest):
    maxDiff = None

    def test_silent_install_starts_from_the_start_menu_and_silent_uninstall_leaves_nothing(self):
        installer = PACKAGES["NSIS"]
        self.assertEqual(os.path.basename(installer or ""), f"pathwick-{VERSION}-win64-setup.exe")
        self.assertEqual(pe_machine(installer), PE_MACHINE_AMD64, "not a 64-bit installer")
        before = prefix_tree()
        run_wine_tool("wine", installer, "/S", timeout=120)

        install_dir = unix_path(INSTALL_DIR)
        self.assertEqual(set(os.listdir(install_dir)), SHIPPED_FILES | {"Uninstall.exe"})
        with open(os.path.join(install_dir, "KEYS.txt"), "rb") as stream:
            self.assertEqual(stream.read(), keys_with_windows_line_ends())
        self.assertEqual(set(os.listdir(unix_path(START_MENU_DIR))),
                         {"Pathwick.lnk", "Uninstall.lnk"})
        shortcut = read_shortcut(os.path.join(unix_path(START_MENU_DIR), "Pathwick.lnk"))
        self.assertEqual((shortcut.get("target"), shortcut.get("working folder")),
                         (INSTALL_DIR + r"\pathwick.exe", INSTALL_DIR))
        entry = registry_values(UNINSTALL_KEY) or {}
        strings = {"DisplayName": "Pathwick", "DisplayVersion": VERSION, "Publisher": "Pathwick",
                   "DisplayIcon": INSTALL_DIR + r"\pathwick.exe",
                   "UninstallString": f'"{INSTALL_DIR}\\Uninstall.exe"'}
        flags = {"NoModify": "0x1", "NoRepair": "0x1"}
        self.assertEqual({name: entry.get(name) for name in [*strings, *flags]},
                         {**{name: ("REG_SZ", data) for name, data in strings.items()},
                          **{name: ("REG_DWORD", data) for name, data in flags.items()}})
        size_type, size = entry.get("EstimatedSize", (None, "0"))
        self.assertEqual(size_type, "REG_DWORD")
        self.assertAlmostEqual(int(size, 16), folder_kib(install_dir), delta=2,
                               msg="EstimatedSize is not the install folder's size in KiB")

        # As the shortcut starts it: its target, in its working folder.
        self.start_program(unix_path(shortcut["target"]), unix_path(shortcut["working folder"]))
        self.answer_question("Escape")
        self.main_window()
        self.assert_shows_the_map(read_map(os.path.join(DATA_DIR, MAP_FILE)))
        press("Escape")
        self.assert_exits_with_1()

        # The installed maze tool, stripped, runs alone and makes the known mazes.
        arguments = next(iter(KNOWN_MAZES))
        maze = subprocess.run(["wine", os.path.join(install_dir, "pathwick-maze.exe"), *arguments],
                              env=WINE_ENV, capture_output=True, timeout=60)
        self.assertEqual((maze.returncode, maze.stdout.decode("ascii")),
                         (0, known_map_text(arguments, "\r\n")))

        # The uninstaller goes on from a copy of itself after its start returns.
        run_wine_tool("wine", os.path.join(install_dir, "Uninstall.exe"), "/S")
        start_menu = unix_path(START_MENU_DIR)
        wait_until(lambda: not os.path.exists(install_dir) and not os.path.exists(start_menu),
                   "the uninstaller to remove its folders", UNINSTALL_TIMEOUT)
        self.assertEqual(sorted(prefix_tree() ^ before), [], "files or folders left or removed")
        self.assertEqual(registry_mentions("pathwick"), [], "registry values left")


class InstallerPagesTest(WinePathwickTest):
    """The installer's pages, run by hand: Wine gives its windows the X class
    of the installer's file, and the program's windows that of pathwick.exe."""

    WINDOW_CLASSES = r"^pathwick(-.+-setup)?\.exe$"

    def test_pages_show_the_branding_and_picture_and_the_finish_page_runs_pathwick(self):
        # In English: the installer speaks the user's language. Wine logs
        # every text a window gets (+win); Return takes the default button,
        # Next, through the pages to the finish page.
        logs = tempfile.mkdtemp(prefix="pathwick-wine-installer-log-")
        self.addCleanup(shutil.rmtree, logs, True)
        log_path = os.path.join(logs, "installer.log")

        def logged():
            with open(log_path, encoding="ascii", errors="replace") as log:
                return log.read()

        with open(log_path, "wb") as log:
            installer = subprocess.Popen(["wine", PACKAGES["NSIS"]], stderr=log,
                                         env=dict(WINE_ENV, LC_ALL="C.UTF-8", WINEDEBUG="-all,+win"))
        self.addCleanup(stop_process, installer)
        # A first GUI program in a fresh prefix may take long to show.
        wait_until(lambda: INSTALLER_CAPTION in self.window_names(), "the installer's window",
                   INSTALLER_START_TIMEOUT)
        setup = self.focused_window_named(INSTALLER_CAPTION)
        time.sleep(SETTLE)  # the page's first painting
        self.assertIn(f'set_window_text L"{BRANDING}"', logged(), "no branding line")
        x, y, width, height = geometry(setup)
        page = Screenshot().area((x, y, x + width, y + height))
        self.assertGreater(page.count(INSTALLER_PICTURE_OLIVE), width * height // 20,
                           "no welcome picture")
        self.assertIn(ARROW, page, "no arrow in the welcome picture")

        for _ in range(INSTALLER_PAGES):
            if RUN_BOX in logged():
                break
            press("Return")
            time.sleep(SETTLE * 3)
        self.assertIn(RUN_BOX, logged(), "no run box on the finish page")
        # The box is ticked: Finish starts the program, which asks its question.
        press("Return")
        self.answer_question("Escape")
        self.main_window()
        press("Escape")
        wait_until(lambda: TITLE not in self.window_names(), "the program to end")
        self.assertEqual(installer.wait(timeout=TIMEOUT), 0)
        run_wine_tool("wine", os.path.join(unix_path(INSTALL_DIR), "Uninstall.exe"), "/S")
        wait_until(lambda: not os.path.exists(unix_path(INSTALL_DIR)),
                   "the uninstaller to remove its folder", UNINSTALL_TIMEOUT)


class ZipTest(unittest.TestCase):
    def test_zip_holds_one_folder_with_the_program_and_keys_with_windows_line_ends(self):
        package = PACKAGES["ZIP"]
        folder = f"pathwick-{VERSION}-win64"
        self.assertEqual(os.path.basename(package or ""), folder + ".zip")
        with zipfile.ZipFile(package) as archive:
            self.assertEqual(set(archive.namelist()),
                             {f"{folder}/{name}" for name in SHIPPED_FILES})
            self.assertEqual(archive.read(f"{folder}/KEYS.txt"), keys_with_windows_line_ends())


if __name__ == "__main__":
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    CPACK, CPACK_CONFIG, DATA_DIR = sys.argv[1], sys.argv[2], os.path.abspath(sys.argv[3])
    unittest.main(argv=sys.argv[:1] + sys.argv[4:], verbosity=2)
