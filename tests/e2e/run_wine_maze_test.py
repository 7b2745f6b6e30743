#!/usr/bin/env python3
"""pathwick-maze.exe under Wine: the same mazes as the Linux tool's.

Usage: run_wine_maze_test.py PATHWICK_MAZE_EXE [unittest options]

Runs the Windows tool in a fresh 64-bit Wine prefix in a scratch folder (no
display: it is a console program) and checks it against the mazes that the
Linux tool's test pins for fixed seeds: the same numbers, with the CR LF line
ends of the Windows map writer, on standard output and in a file whose name
no code page holds. Also its seed line and its usage errors.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from maze_tool_test import KNOWN_MAZES, SEED_LINE, known_map_text  # noqa: E402

PATHWICK_MAZE_EXE = ""
WINE_ENV = {}
WINEBOOT_TIMEOUT = 180.0  # a first wineboot takes 20 to 40 s
WINESERVER_LINGER = 60  # seconds the server waits for a next program
TIMEOUT = 60.0


def run_wine(*arguments, cwd=None):
    """Runs the tool under Wine; its output as bytes, so line ends show."""
    return subprocess.run(["wine", PATHWICK_MAZE_EXE, *arguments], env=WINE_ENV, cwd=cwd,
                          capture_output=True, timeout=TIMEOUT)


def run_wine_tool(*command, timeout=TIMEOUT):
    subprocess.run(command, env=WINE_ENV, check=True, timeout=timeout,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def setUpModule():
    home = tempfile.mkdtemp(prefix="pathwick-wine-maze-")
    unittest.addModuleCleanup(shutil.rmtree, home, True)
    environment = {name: value for name, value in os.environ.items() if name != "DISPLAY"}
    WINE_ENV.update(environment, HOME=home, WINEPREFIX=os.path.join(home, "wine"),
                    WINEARCH="win64", WINEDEBUG="-all",
                    WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d")
    os.mkdir(WINE_ENV["WINEPREFIX"])
    run_wine_tool("wineserver", f"--persistent={WINESERVER_LINGER}")
    unittest.addModuleCleanup(run_wine_tool, "wineserver", "--kill")
    run_wine_tool("wineboot", "--init", timeout=WINEBOOT_TIMEOUT)


class WineMazeTest(unittest.TestCase):
    def test_fixed_seeds_give_the_mazes_of_the_linux_tool(self):
        for arguments in KNOWN_MAZES:
            with self.subTest(arguments=arguments):
                result = run_wine(*arguments)
                self.assertEqual((result.returncode, result.stderr), (0, b""))
                self.assertEqual(result.stdout.decode("ascii"), known_map_text(arguments, "\r\n"))

    def test_a_file_named_outside_every_code_page_gets_the_maze(self):
        arguments = next(iter(KNOWN_MAZES))
        with tempfile.TemporaryDirectory(prefix="pathwick-wine-maze-out-") as folder:
            name = "迷宫 🧭.txt"
            result = run_wine(*arguments, name, cwd=folder)
            self.assertEqual((result.returncode, result.stdout, result.stderr), (0, b"", b""))
            self.assertEqual(os.listdir(folder), [name])
            with open(os.path.join(folder, name), "rb") as file:
                self.assertEqual(file.read().decode("ascii"), known_map_text(arguments, "\r\n"))

    def test_without_a_seed_the_seed_printed_makes_the_same_maze_again(self):
        first = run_wine("--exits", "2")
        self.assertEqual(first.returncode, 0)
        seed = SEED_LINE.match(first.stderr.decode().replace("\r\n", "\n"))
        self.assertIsNotNone(seed, f"no seed line: {first.stderr!r}")
        self.assertEqual(run_wine("--exits", "2", "--seed", seed.group(1)).stdout, first.stdout)

    def test_a_usage_error(self):
        result = run_wine("--exits", "6")
        self.assertEqual(result.returncode, 2)
        self.assertEqual(re.sub(rb"\r\n", b"\n", result.stderr),
                         b"pathwick-maze: option '--exits' takes a whole number from 0 to 5, "
                         b"not '6'\nTry 'pathwick-maze --help' for more information.\n")


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    PATHWICK_MAZE_EXE = os.path.abspath(sys.argv[1])
    unittest.main(argv=sys.argv[:1] + sys.argv[2:], verbosity=2)
