#!/usr/bin/env python3
"""Tests of pathwick-maze, the maze generator's command-line tool.

Usage: maze_tool_test.py PATHWICK_MAZE PATHWICK_TRACE [unittest options]

Checks that fixed seeds give fixed mazes (the same table the Windows program
is checked against under Wine), the seed printed without --seed, the output
file and its safe replacement, the usage errors, and that pathwick-trace finds
the exit of every maze that has one and none in a maze made without.
"""

import os
import re
import stat
import subprocess
import sys
import tempfile
import unittest

TOOL = ""
TRACE = ""

# The mazes of fixed seeds, row 0 first. A change to the generator changes
# them, and with them every maze a user kept a seed for: that needs a reason.
KNOWN_MAZES = {
    ("--seed", "1"): [
        "1 0 1 1 1 0 1 0 0 1",
        "1 0 0 0 1 1 1 1 1 1",
        "1 1 0 1 1 0 0 1 0 1",
        "0 1 0 1 0 0 1 1 0 0",
        "1 1 0 1 1 0 0 1 1 1",
        "1 0 0 0 1 9 0 0 1 0",
        "1 1 1 0 0 0 0 1 1 1",
        "0 0 1 1 1 0 0 1 0 1",
        "1 0 1 0 1 1 0 0 0 1",
        "1 1 1 0 0 1 1 1 1 1",
    ],
    ("--seed", "2024", "--exits", "2", "--loops", "3"): [
        "1 0 0 9 1 0 0 0 0 9",
        "1 1 0 0 1 1 0 0 1 1",
        "0 1 0 0 0 1 1 1 1 0",
        "1 1 1 1 0 0 1 0 0 0",
        "1 0 1 0 0 1 1 1 0 1",
        "1 1 1 0 1 1 0 1 1 1",
        "0 0 1 0 1 0 0 1 0 1",
        "1 1 1 0 0 0 0 1 0 1",
        "1 0 1 0 1 1 1 1 1 1",
        "1 1 1 1 1 0 0 1 0 1",
    ],
    ("--seed", "9223372036854775807", "--exits", "0", "--loops", "8"): [
        "1 0 1 0 1 1 1 0 0 1",
        "1 1 1 1 1 0 1 1 1 1",
        "0 1 0 0 1 0 0 1 0 1",
        "0 1 1 1 1 0 0 1 0 0",
        "1 1 0 0 1 1 1 1 1 1",
        "1 0 0 0 0 1 0 1 0 1",
        "1 0 0 1 0 1 0 1 1 1",
        "1 1 1 1 1 1 1 1 0 1",
        "1 0 1 0 0 0 0 1 0 1",
        "1 1 1 1 1 1 1 1 1 1",
    ],
}

SEED_LINE = re.compile(r"^pathwick-maze: seed (\d+)\n$")
MAX_EXITS = 5
MAX_LOOPS = 8


def known_map_text(arguments, line_end="\n"):
    return "".join(row + line_end for row in KNOWN_MAZES[arguments])


def run(*arguments, **options):
    return subprocess.run([TOOL, *arguments], capture_output=True, text=True, timeout=30,
                          **options)


class KnownMazeTest(unittest.TestCase):
    def test_fixed_seeds_give_the_known_mazes_and_print_no_seed(self):
        for arguments in KNOWN_MAZES:
            with self.subTest(arguments=arguments):
                result = run(*arguments)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(result.stdout, known_map_text(arguments))
                self.assertEqual(result.stderr, "")

    def test_without_a_seed_the_seed_printed_makes_the_same_maze_again(self):
        first = run("--loops", "2")
        self.assertEqual(first.returncode, 0)
        seed = SEED_LINE.match(first.stderr)
        self.assertIsNotNone(seed, f"no seed line: {first.stderr!r}")
        again = run("--loops", "2", "--seed", seed.group(1))
        self.assertEqual(again.stdout, first.stdout)


class OutputFileTest(unittest.TestCase):
    ARGUMENTS = ("--seed", "1")

    def setUp(self):
        self.dir = tempfile.TemporaryDirectory(prefix="pathwick-maze-test-")
        self.addCleanup(self.dir.cleanup)
        self.path = os.path.join(self.dir.name, "MazeMap.txt")

    def read(self):
        with open(self.path, encoding="ascii", newline="") as file:
            return file.read()

    def test_a_file_or_dash_gets_what_standard_output_gets(self):
        with open(self.path, "w") as file:
            file.write("old map, longer than the new one " * 20)
        result = run(*self.ARGUMENTS, self.path)
        self.assertEqual((result.returncode, result.stdout, result.stderr), (0, "", ""))
        self.assertEqual(self.read(), known_map_text(self.ARGUMENTS))
        self.assertEqual(os.listdir(self.dir.name), ["MazeMap.txt"], "a file left behind")
        self.assertEqual(run(*self.ARGUMENTS, "-").stdout, known_map_text(self.ARGUMENTS))

    def test_a_pipe_or_device_is_written_as_standard_output_is(self):
        # /dev/stdout links to the pipe, which no rename could replace.
        result = run(*self.ARGUMENTS, "/dev/stdout")
        self.assertEqual((result.returncode, result.stdout, result.stderr),
                         (0, known_map_text(self.ARGUMENTS), ""))
        fifo = os.path.join(self.dir.name, "fifo")
        os.mkfifo(fifo)
        writer = subprocess.Popen([TOOL, *self.ARGUMENTS, fifo], stderr=subprocess.PIPE)
        with open(fifo, encoding="ascii", newline="") as stream:
            self.assertEqual(stream.read(), known_map_text(self.ARGUMENTS))
        self.assertEqual(writer.wait(timeout=30), 0)
        writer.stderr.close()
        self.assertEqual(sorted(os.listdir(self.dir.name)), ["fifo"], "a file left behind")
        full = run(*self.ARGUMENTS, "/dev/full")
        self.assertEqual((full.returncode, full.stderr),
                         (1, "pathwick-maze: cannot write '/dev/full': No space left on device\n"))

    def test_a_file_that_cannot_be_replaced_stays_as_it_was(self):
        with open(self.path, "w") as file:
            file.write("old map\n")
        os.chmod(self.path, stat.S_IRUSR)
        cases = {
            "a read-only file": (self.path, "old map\n"),
            "a missing folder": (os.path.join(self.dir.name, "missing", "MazeMap.txt"), None),
        }
        for name, (path, kept) in cases.items():
            with self.subTest(name):
                result = run(*self.ARGUMENTS, path)
                self.assertEqual(result.returncode, 1)
                self.assertRegex(result.stderr,
                                 rf"^pathwick-maze: cannot write '{re.escape(path)}': .+\n$")
                self.assertEqual(result.stdout, "")
                if kept is not None:
                    self.assertEqual(self.read(), kept)
        self.assertEqual(os.listdir(self.dir.name), ["MazeMap.txt"], "a file left behind")


class CommandLineTest(unittest.TestCase):
    def test_usage_errors(self):
        cases = {
            ("--exits", str(MAX_EXITS + 1)):
                f"option '--exits' takes a whole number from 0 to {MAX_EXITS}, not '6'",
            ("--loops", "-1"):
                f"option '--loops' takes a whole number from 0 to {MAX_LOOPS}, not '-1'",
            ("--seed", "9223372036854775808"):
                "option '--seed' takes a whole number from 0 to 9223372036854775807, not "
                "'9223372036854775808'",
            ("--seed",): "option '--seed' needs a value",
            ("--seed=",): "option '--seed' needs a value",
            ("--colour", "red"): "unknown option '--colour'",
            ("one.txt", "two.txt"): "more than one output file: 'two.txt'",
        }
        for arguments, problem in cases.items():
            with self.subTest(arguments=arguments):
                result = run(*arguments)
                self.assertEqual(result.returncode, 2)
                self.assertEqual(result.stdout, "")
                self.assertEqual(result.stderr, f"pathwick-maze: {problem}\n"
                                 "Try 'pathwick-maze --help' for more information.\n")

    def test_help_and_version(self):
        help_text = run("--help")
        self.assertEqual(help_text.returncode, 0)
        self.assertTrue(help_text.stdout.startswith("Usage: pathwick-maze [OPTION]... [OUTPUT]\n"))
        for option in ("--exits N", "--loops N", "--seed N", "--help", "--version"):
            self.assertIn(option, help_text.stdout)
        # The largest seed, which the error above names too.
        self.assertIn("0 to\n              9223372036854775807 (2^63 - 1)", help_text.stdout)
        version = run("--version")
        self.assertEqual(version.returncode, 0)
        self.assertRegex(version.stdout, r"^pathwick-maze \d+\.\d+\.\d+\n$")


class TraceTest(unittest.TestCase):
    """pathwick-trace --summary on the tool's mazes, several in one run."""

    SEEDS = ("0", "5", "77", "31337", "4000000000")

    def test_the_search_finds_an_exit_where_there_is_one_and_none_without(self):
        with tempfile.TemporaryDirectory(prefix="pathwick-maze-trace-") as folder:
            expected = {}
            for seed in self.SEEDS:
                for exits, loops in ((1, 0), (0, 0), (MAX_EXITS, 3), (0, MAX_LOOPS)):
                    path = os.path.join(folder, f"maze-{seed}-{exits}-{loops}.txt")
                    result = run("--seed", seed, "--exits", str(exits), "--loops", str(loops), path)
                    self.assertEqual(result.returncode, 0, result.stderr)
                    expected[path] = "exit" if exits else "no exit"
            summary = subprocess.run([TRACE, "--summary", *expected], capture_output=True,
                                     text=True, timeout=60)
        self.assertEqual(summary.returncode, 0, summary.stderr)
        lines = summary.stdout.splitlines()[1:]
        self.assertEqual({line.split("\t")[0]: line.split("\t")[1] for line in lines}, expected)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    TOOL, TRACE = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
