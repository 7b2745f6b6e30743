#!/usr/bin/env python3
"""Tests of the pathwick-trace command-line tool.

Usage: trace_tool_test.py PATHWICK_TRACE DATA_DIR [unittest options]

Runs the tool on small mazes written to a temporary directory and on the
shipped data/MazeMap.txt, and checks its output, its ends and its errors.
"""

import os
import re
import subprocess
import sys
import tempfile
import unittest

TOOL = ""
DATA_DIR = ""

# Explorer states, as the tool prints them.
FOUND_EXIT_STATE = 3
NO_EXIT_STATE = 4

CAN_MOVE = "I see next position can move"
NEXT_HEADING = "Let me  try to next directory!"
FOUND_EXIT = "Ha ha! I find the maze's exit!! Yeah!"
NO_EXIT = "It's so bad the maze has no exit!!"

INT = re.compile(r"-?\d+")


def make_grid(cells):
    """A 10x10 grid, row 0 first, all walls except `cells` {(x, y): code}."""
    grid = [[0] * 10 for _ in range(10)]
    for (x, y), code in cells.items():
        grid[y][x] = code
    return grid


def map_text(grid):
    return "".join(" ".join(str(code) for code in row) + "\n" for row in grid)


class Frame:
    """One frame line of the trace."""

    def __init__(self, fields):
        (self.frame, self.state, self.x, self.y, self.heading, self.angle, self.progress,
         self.depth) = (int(field) for field in fields[:8])
        self.message = fields[8]


class Trace:
    """The checked and parsed stdout of one run."""

    def __init__(self, test, stdout):
        test.assertTrue(stdout.endswith("\n"), "output must end with a line break")
        lines = stdout[:-1].split("\n")
        test.assertIn("grid", lines, "no 'grid' line")
        grid_at = lines.index("grid")
        self.frames = [self._parse_frame(test, line) for line in lines[:grid_at]]
        test.assertEqual([f.frame for f in self.frames], list(range(1, len(self.frames) + 1)),
                         "frames must be numbered from 1 without gaps")
        grid_lines = lines[grid_at + 1:]
        test.assertEqual(len(grid_lines), 10, "the grid must have 10 lines")
        for line in grid_lines:
            test.assertRegex(line, r"^-?\d+( -?\d+){9}$", "10 integers separated by one blank")
        self.grid = [[int(code) for code in line.split(" ")] for line in grid_lines]

    @staticmethod
    def _parse_frame(test, line):
        fields = line.split("\t")
        test.assertEqual(len(fields), 9, f"9 TAB-separated fields expected: {line!r}")
        for field in fields[:8]:
            test.assertRegex(field, INT, f"integer field expected in {line!r}")
        return Frame(fields)

    def dead_ends(self):
        return sum(row.count(2) for row in self.grid)


def run_tool(*args, **kwargs):
    return subprocess.run([TOOL, *args], capture_output=True, text=True, timeout=120, **kwargs)


def run_tool_on_process_substitution(path):
    """The tool given `<(cat path)`: a pipe named by a /dev/fd path."""
    return subprocess.run(["bash", "-c", '"$0" <(cat "$1")', TOOL, path], capture_output=True,
                          text=True, timeout=120)


def run_tool_on_standard_input(path):
    """`cat path | pathwick-trace -`."""
    with open(path) as stream:
        return run_tool("-", input=stream.read())


class TraceToolTest(unittest.TestCase):
    def setUp(self):
        self._dir = tempfile.TemporaryDirectory()
        self.addCleanup(self._dir.cleanup)

    def write_map(self, text, name="maze.txt"):
        path = os.path.join(self._dir.name, name)
        with open(path, "w") as f:
            f.write(text)
        return path

    def trace(self, *args, expect_warning=False):
        """Runs the tool, expects success, returns the parsed Trace."""
        result = run_tool(*args)
        self.assertEqual(result.returncode, 0, result.stderr)
        if not expect_warning:
            self.assertEqual(result.stderr, "")
        return Trace(self, result.stdout), result.stderr


ALL_WALLS = make_grid({})
EXIT_NORTH = make_grid({(0, 0): 1, (0, 1): 9})
CORRIDOR_EAST = make_grid({**{(x, 0): 1 for x in range(9)}, (9, 0): 9})
TWO_OPEN = make_grid({(0, 0): 1, (1, 0): 1})
# East from the start into a one-cell branch (2, 0) to back out of, then
# through the start again and north to the exit at (0, 2).
BRANCH = make_grid({(0, 0): 1, (1, 0): 1, (2, 0): 1, (0, 1): 1, (0, 2): 9})
# The explorer rocks in front of the marker and never ends its search.
MARKER_AHEAD = make_grid({(0, 0): 1, (1, 0): 8})


class SearchEndTest(TraceToolTest):
    """The run stops right after the frame that shows the end message."""

    # name, maze, frame in which the state turns to the end state, end state,
    # pose (x, y, angle) and depth in that frame, final grid.
    CASES = [
        ("all walls", ALL_WALLS, 58, NO_EXIT_STATE, (0, 0, 270), 0, ALL_WALLS),
        ("exit north of start", EXIT_NORTH, 50, FOUND_EXIT_STATE, (0, 1, 90), 2, EXIT_NORTH),
        ("corridor east to exit", CORRIDOR_EAST, 279, FOUND_EXIT_STATE, (9, 0, 0), 10,
         make_grid({(0, 0): 1, **{(x, 0): 3 for x in range(1, 9)}, (9, 0): 9})),
        ("two open cells", TWO_OPEN, 442, NO_EXIT_STATE, (0, 0, 270), 0,
         make_grid({(0, 0): 2, (1, 0): 2})),
    ]

    def test_stops_after_the_frame_with_the_end_message(self):
        for name, maze, end_frame, end_state, pose, depth, final_grid in self.CASES:
            with self.subTest(name):
                trace, _ = self.trace(self.write_map(map_text(maze)))
                frames = trace.frames
                self.assertEqual(len(frames), end_frame + 1)
                before, turned, last = frames[end_frame - 2], frames[end_frame - 1], frames[-1]
                self.assertNotEqual(before.state, end_state)
                self.assertEqual(turned.state, end_state)
                self.assertEqual((turned.x, turned.y, turned.angle), pose)
                self.assertEqual(turned.depth, depth)
                # The frame that ends the search sets no message of its own.
                self.assertNotIn(turned.message, (FOUND_EXIT, NO_EXIT))
                self.assertEqual(last.state, end_state)
                self.assertEqual(last.message, FOUND_EXIT if end_state == FOUND_EXIT_STATE
                                 else NO_EXIT)
                self.assertEqual(trace.grid, final_grid)

    def test_frame_fields_follow_the_explorer(self):
        trace, _ = self.trace(self.write_map(map_text(EXIT_NORTH)))
        # Frame 1 probes east and moves on to heading 1; frame 20 starts the move north.
        first, start_move = trace.frames[0], trace.frames[19]
        self.assertEqual((first.state, first.heading, first.angle, first.depth, first.message),
                         (2, 1, 0, 1, NEXT_HEADING))
        self.assertEqual((start_move.state, start_move.heading, start_move.angle,
                          start_move.progress, start_move.depth, start_move.message),
                         (1, 1, 90, 1, 2, CAN_MOVE))

    def test_shipped_maze_finds_its_exit_after_backing_out_of_dead_ends(self):
        trace, _ = self.trace(os.path.join(DATA_DIR, "MazeMap.txt"))
        self.assertEqual(trace.frames[-1].state, FOUND_EXIT_STATE)
        self.assertEqual(trace.frames[-1].message, FOUND_EXIT)
        self.assertGreaterEqual(trace.dead_ends(), 5)
        # Watchable at 100 frames per second in about a minute.
        self.assertLess(len(trace.frames), 6000)


class FrameLimitTest(TraceToolTest):
    def test_frames_option_caps_the_run(self):
        path = self.write_map(map_text(ALL_WALLS))  # ends after frame 59
        for limit, expected in [(0, 0), (1, 1), (58, 58), (59, 59), (1000, 59)]:
            with self.subTest(limit=limit):
                trace, _ = self.trace("--frames", str(limit), path)
                self.assertEqual(len(trace.frames), expected)

    def test_grid_after_a_cut_run_is_the_grid_of_that_frame(self):
        # By frame 40 the explorer has entered column 1 and probed column 2.
        trace, _ = self.trace("--frames", "40", self.write_map(map_text(CORRIDOR_EAST)))
        self.assertEqual(trace.grid[0][:4], [1, 3, 3, 1])


class MapFileTest(TraceToolTest):
    def test_file_that_cannot_be_read_is_an_error(self):
        for name, path in [("missing", os.path.join(self._dir.name, "no-such-maze.txt")),
                           ("directory", self._dir.name)]:
            with self.subTest(name):
                result = run_tool(path)
                self.assertEqual(result.returncode, 2)
                self.assertEqual(result.stdout, "")
                self.assertRegex(result.stderr,
                                 rf"^pathwick-trace: cannot (open|read) '{re.escape(path)}': \S")

    def test_standard_input_that_cannot_be_read_is_an_error(self):
        directory = os.open(self._dir.name, os.O_RDONLY)
        self.addCleanup(os.close, directory)
        result = run_tool("-", stdin=directory)
        self.assertEqual(result.returncode, 2)
        self.assertEqual(result.stdout, "")
        self.assertRegex(result.stderr, r"^pathwick-trace: cannot read standard input: \S")

    def test_pipe_and_standard_input_trace_as_the_file_does(self):
        # The shipped maze, and a short one that is read up to its end.
        for path, cells in [(os.path.join(DATA_DIR, "MazeMap.txt"), 100),
                            (self.write_map("1 9 1\n"), 3)]:
            from_file = run_tool(path)
            self.assertEqual(from_file.returncode, 0, from_file.stderr)
            for way, run in [("process substitution", run_tool_on_process_substitution),
                             ("standard input", run_tool_on_standard_input)]:
                with self.subTest(way, cells=cells):
                    result = run(path)
                    self.assertEqual(result.returncode, 0, result.stderr)
                    self.assertEqual(result.stdout, from_file.stdout)
                    if cells < 100:
                        self.assertRegex(result.stderr, rf"read only {cells} of 100 cells")
                    else:
                        self.assertEqual(result.stderr, "")

    def test_short_file_warns_and_runs_on_what_was_read(self):
        # content, cells read before the first failed extraction
        for content, cells in [("1 1 1\n", 3), ("1 1 x 1 1\n", 2), ("", 0)]:
            with self.subTest(content=content):
                trace, warning = self.trace(self.write_map(content), expect_warning=True)
                self.assertRegex(warning, rf"\b{cells} of 100 cells")
                self.assertEqual(trace.frames[-1].message, NO_EXIT)
                # Only the cells read can have been entered; the rest stay walls.
                unread = [code for row in trace.grid for code in row][cells:]
                self.assertEqual(unread, [0] * (100 - cells))

    def test_endless_run_of_digits_is_given_up_at_once(self):
        # What comes before the run is read; the run fails its cell and ends
        # the reading. `yes` writes until the tool has gone.
        for before, cells, first_cells in [("", 0, [0, 0]), ("1 9 ", 2, [1, 9])]:
            with self.subTest(before=before):
                result = subprocess.run(
                    ["bash", "-c", '{ printf %s "$1"; yes 1111 | tr -d "\\n"; } | "$0" -', TOOL,
                     before], capture_output=True, text=True, timeout=20)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertRegex(result.stderr, rf"read only {cells} of 100 cells")
                self.assertEqual(Trace(self, result.stdout).grid[0][:2], first_cells)

    def test_extra_integers_after_the_grid_are_ignored_without_warning(self):
        self.trace(self.write_map(map_text(EXIT_NORTH) + "7 7 7\n"))

    @unittest.skipUnless(os.path.exists("/dev/full"), "needs /dev/full")
    def test_failed_write_is_reported(self):
        path = self.write_map(map_text(ALL_WALLS))
        with open("/dev/full", "w") as full:
            result = subprocess.run([TOOL, path], stdout=full, stderr=subprocess.PIPE,
                                    text=True, timeout=60)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("pathwick-trace: cannot write", result.stderr)


SUMMARY_HEADER = ("map\toutcome\tframes\tcells entered\tdead ends marked\tlongest way back"
                  "\tbacked out")


class SummaryTest(TraceToolTest):
    """--summary: one line of figures per map, worked out by hand from the
    search's rules: a forward move costs 31 frames, a quarter turn 18, a probe
    1; the end message shows one frame after the search ends; the longest way
    back counts the start entry as the trace's depth does."""

    def summary(self, *args):
        result = run_tool("--summary", *args)
        lines = result.stdout.split("\n")
        self.assertEqual(lines[0], SUMMARY_HEADER)
        self.assertEqual(lines[-1], "", "output must end with a line break")
        return result, [line.split("\t") for line in lines[1:-1]]

    def test_figures_of_hand_worked_mazes_in_one_run(self):
        # maze: outcome, frames, entered, dead ends, longest way back, backed out
        cases = {
            "walls.txt": (ALL_WALLS, ["no exit", "59", "0", "0", "1", "0"]),
            "north.txt": (EXIT_NORTH, ["exit", "51", "1", "0", "2", "0"]),
            "corridor.txt": (CORRIDOR_EAST, ["exit", "280", "9", "0", "10", "0"]),
            # East cell, then the start again (it is not marked), then both
            # backed out of; the last give-up at the start moves nowhere.
            "two.txt": (TWO_OPEN, ["no exit", "443", "2", "2", "3", "2"]),
            # (1, 0), (2, 0), back out of (2, 0) to (1, 0) arriving in frame
            # 168, the start again in 237, (0, 1) in 323, the exit in 391.
            "branch.txt": (BRANCH, ["exit", "392", "5", "1", "5", "1"]),
        }
        paths = [self.write_map(map_text(maze), name) for name, (maze, _) in cases.items()]
        result, rows = self.summary(*paths)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr, "")
        expected = [[path, *figures] for path, (_, figures) in zip(paths, cases.values())]
        self.assertEqual(rows, expected)

    def test_frame_limit_cuts_every_map(self):
        # (name, maze, --frames, figures)
        cases = [
            ("marker", MARKER_AHEAD, 100, ["frame limit", "100", "0", "0", "1", "0"]),
            # Probes that enter a cell in frames 1, 32, 63 and 94.
            ("corridor", CORRIDOR_EAST, 100, ["frame limit", "100", "4", "0", "5", "0"]),
            # The end message shows in frame 59: a limit of 59 still sees it.
            ("walls at 59", ALL_WALLS, 59, ["no exit", "59", "0", "0", "1", "0"]),
            ("walls at 58", ALL_WALLS, 58, ["frame limit", "58", "0", "0", "1", "0"]),
        ]
        for name, maze, limit, figures in cases:
            with self.subTest(name):
                path = self.write_map(map_text(maze))
                result, rows = self.summary("--frames", str(limit), path)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(rows, [[path, *figures]])

    def test_map_that_cannot_be_read_is_left_out_and_fails_the_run(self):
        good = self.write_map(map_text(EXIT_NORTH))
        missing = os.path.join(self._dir.name, "no-such-maze.txt")
        result, rows = self.summary(missing, good)
        self.assertEqual(result.returncode, 2)
        self.assertEqual([row[:2] for row in rows], [[good, "exit"]])
        self.assertRegex(result.stderr, rf"^pathwick-trace: cannot open '{re.escape(missing)}': \S")


class UsageTest(TraceToolTest):
    def test_help_goes_to_stdout(self):
        result = run_tool("--help")
        self.assertEqual(result.returncode, 0)
        self.assertTrue(result.stdout.startswith("Usage: pathwick-trace"), result.stdout)
        self.assertEqual(result.stderr, "")

    def test_bad_usage_says_what_is_wrong_in_one_line_and_points_to_help(self):
        path = self.write_map(map_text(EXIT_NORTH))
        whole_number = "takes a whole number from 0 up, not"
        for args, problem in [
                ([], "no map file given"),
                (["--frames"], "option '--frames' needs a value"),
                (["--frames=", path], "option '--frames' needs a value"),
                (["--frames", "-1", path], f"option '--frames' {whole_number} '-1'"),
                (["--frames=ten", path], f"option '--frames' {whole_number} 'ten'"),
                (["--frames", "5x", path], f"option '--frames' {whole_number} '5x'"),
                (["--frames", "+5", path], f"option '--frames' {whole_number} '+5'"),
                (["--frames", "99999999999999999999999", path],
                 f"option '--frames' {whole_number} '99999999999999999999999'"),
                (["--summary=yes", path], "option '--summary' takes no value"),
                (["--fast", path], "unknown option '--fast'"),
                ([path, path], f"more than one map file: '{path}' (--summary takes several)"),
                (["--summary", "--frames"], "option '--frames' needs a value")]:
            with self.subTest(args=args):
                result = run_tool(*args)
                self.assertEqual(result.returncode, 2)
                self.assertEqual(result.stdout, "")
                self.assertEqual(result.stderr, f"pathwick-trace: {problem}\n"
                                 "Try 'pathwick-trace --help' for more information.\n")

    def test_options_in_either_spelling_and_after_the_map_and_double_dash_ends_them(self):
        path = self.write_map(map_text(ALL_WALLS))
        for args in [["--frames", "3", path], ["--frames=3", path], [path, "--frames=3"]]:
            with self.subTest(args=args):
                trace, _ = self.trace(*args)
                self.assertEqual(len(trace.frames), 3)
        # After "--" an argument that looks like an option is a map file.
        self.write_map(map_text(EXIT_NORTH), name="--frames=3")
        result = run_tool("--frames", "1000", "--", "--frames=3", cwd=self._dir.name)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(Trace(self, result.stdout).frames[-1].message, FOUND_EXIT)

    def test_standard_input_named_twice_is_read_once_and_the_second_is_an_error(self):
        with open(os.path.join(DATA_DIR, "MazeMap.txt")) as stream:
            result = run_tool("--summary", "-", "-", input=stream.read())
        self.assertEqual(result.returncode, 2)
        lines = result.stdout.split("\n")
        self.assertEqual(lines[0], SUMMARY_HEADER)
        self.assertEqual([line.split("\t")[:2] for line in lines[1:-1]], [["-", "exit"]])
        self.assertEqual(result.stderr, "pathwick-trace: cannot read standard input twice\n")

if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit("usage: trace_tool_test.py PATHWICK_TRACE DATA_DIR [unittest options]")
    TOOL, DATA_DIR = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    unittest.main(argv=[sys.argv[0], *sys.argv[3:]])
