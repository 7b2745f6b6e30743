#!/usr/bin/env python3
"""Frame rate and page faults per frame of the real program in a real X window.

Usage: bench/window_rounds.py [--rounds N] [--seconds S] [--data DIR]
                              [LABEL=[ENV=VALUE,...:]PROGRAM[ ARGUMENT...] ...]

Each LABEL=PROGRAM is one way of running the program, with arguments if
wanted (quote the whole way); with none given, two:
"shipped" (build/pathwick as it is) and "tuned" (the same binary with
GLIBC_TUNABLES=glibc.malloc.trim_threshold=1073741824, which keeps freed
memory in the heap from outside). Environment settings go before the
program, separated by commas and ending in ":", for example
    tuned=GLIBC_TUNABLES=glibc.malloc.trim_threshold=1073741824:build/pathwick

In one private Xvfb with openbox, every round starts each way of running in
turn, each round beginning with the next way: `PROGRAM --windowed` in
DATA_DIR, Return to start the search, one second to warm up, then S seconds
counted. Taking turns lets every way meet the same
load from the rest of the machine, so compare the ways round by round.

Frames are counted by the program itself: about once a second the script
reads the frames-per-second figure from the title line on the screen
(matching the embedded font's glyphs). From /proc/PID/stat it takes the
process's minor page faults and its processor time (all threads, user and
system) over the counted seconds. The frame rate is the mean of the figures
read; faults and processor time per frame are their rates divided by it.
Unlike the frame rate, these two hardly depend on the load.

Needs what the end-to-end tests need (Xvfb, openbox, xdotool, x11-utils,
ImageMagick): sh scripts/install-deps.sh installs them.
"""

import argparse
import contextlib
import os
import re
import shlex
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
# The end-to-end tests' X session: Xvfb with openbox, and its X clients.
from xsession import (DISPLAY_ENV, TITLE, TITLE_LINE_COLOUR, Scene,  # noqa: E402
                      Screenshot, drawing_area, focused_window, process_usage, start_display,
                      stop_process, wait_until, x_tool)

MAIN_WINDOW_CLASS = "^PathwickClass$"
FONT_SOURCE = os.path.join(ROOT, "shell", "text", "fixed_font_6x13.cpp")
CELL_WIDTH, CELL_HEIGHT = 6, 13
TITLE_PREFIX = TITLE + " ---FPS: "
TITLE_BAND = (0, 335, 360, 360)  # scene units: the framed window's title line
TUNABLE = "GLIBC_TUNABLES=glibc.malloc.trim_threshold=1073741824"
WARM_UP = 1.0  # seconds from Return until counting starts
SAMPLE_PERIOD = 1.0  # seconds between two readings


def load_glyphs():
    """Glyph rows (bottom row first) -> character, from the embedded font."""
    glyphs = {}
    with open(FONT_SOURCE) as source:
        for rows, code in re.findall(r"\{(0x[^}]*)\},\s*// (\d+) ", source.read()):
            glyphs.setdefault(tuple(int(row, 16) for row in rows.split(",")), chr(int(code)))
    return glyphs


GLYPHS = load_glyphs()


def read_cell(ink, left, top):
    """The character whose glyph cell has its top-left pixel at (left, top) in
    `ink`, a set of (x, y) screen pixels; '?' when no glyph matches."""
    rows = []
    for row in range(CELL_HEIGHT - 1, -1, -1):  # bottom row first
        bits = 0
        for column in range(CELL_WIDTH):
            if (left + column, top + row) in ink:
                bits |= 0x80 >> column
        rows.append(bits)
    return GLYPHS.get(tuple(rows), "?")


def read_fps(shot, scene):
    """The frames-per-second figure at the end of the title line, or None."""
    x0, y0, x1, y1 = scene.rect(*TITLE_BAND)
    ink = {(x, y) for y in range(y0, y1) for x in range(x0, x1)
           if shot.pixel(x, y) == TITLE_LINE_COLOUR}
    if not ink:
        return None
    first_column = min(x for x, _ in ink)
    first_row = min(y for _, y in ink)
    # The line's cells start at its first inked column; find the row where
    # the known text reads back exactly.
    for top in range(first_row - CELL_HEIGHT + 1, first_row + 1):
        text = "".join(read_cell(ink, first_column + CELL_WIDTH * i, top)
                       for i in range(len(TITLE_PREFIX) + 5))
        if text.startswith(TITLE_PREFIX):
            digits = re.match(r"\d+", text[len(TITLE_PREFIX):])
            return int(digits.group()) if digits else None
    return None


def start_windowed(stack, command, env, data_dir):
    """Starts `command` with --windowed in `data_dir`, to be stopped when
    `stack` closes, and waits until its window has the focus and has drawn;
    returns (process, window)."""
    process = subprocess.Popen([*command, "--windowed"], cwd=data_dir, env={**DISPLAY_ENV, **env})
    stack.callback(stop_process, process)
    window = int(wait_until(
        lambda: x_tool("xdotool", "search", "--onlyvisible", "--class",
                       MAIN_WINDOW_CLASS).split(), "the program's window")[0])
    wait_until(lambda: focused_window() == window, "the window to take the focus")
    wait_until(lambda: Screenshot().contains(TITLE_LINE_COLOUR), "the first frame")
    return process, window


def run_once(command, env, data_dir, seconds):
    """Runs the program once; returns (frames per second, faults per second,
    processor seconds per second)."""
    with contextlib.ExitStack() as stack:
        process, window = start_windowed(stack, command, env, data_dir)
        x_tool("xdotool", "mousemove", "1023", "767", "key", "Return")
        time.sleep(WARM_UP)
        start_time, (start_faults, start_cpu) = time.monotonic(), process_usage(process.pid)
        figures = []
        while time.monotonic() - start_time < seconds:
            time.sleep(SAMPLE_PERIOD)
            # The window manager may still move the window at first.
            figure = read_fps(Screenshot(), Scene(drawing_area(window)))
            if figure:
                figures.append(figure)
        faults, cpu = process_usage(process.pid)
        seconds = time.monotonic() - start_time
        x_tool("xdotool", "key", "Escape")
        process.wait(timeout=10)
    if not figures:
        raise RuntimeError(f"{command[0]}: no frames-per-second figure read from the screen")
    return statistics.mean(figures), (faults - start_faults) / seconds, (cpu - start_cpu) / seconds


def parse_way(text):
    """LABEL=[ENV=VALUE,...:]PROGRAM[ ARGUMENT...] -> (label, env, command)."""
    label, _, rest = text.partition("=")
    settings, _, command = rest.rpartition(":")
    env = dict(setting.split("=", 1) for setting in settings.split(",") if setting)
    program, *arguments = shlex.split(command)
    return label, env, [os.path.abspath(program), *arguments]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=4)
    parser.add_argument("--seconds", type=float, default=6.0)
    parser.add_argument("--data", default=os.path.join(ROOT, "data"))
    parser.add_argument("ways", nargs="*",
                        default=["shipped=build/pathwick", f"tuned={TUNABLE}:build/pathwick"])
    args = parser.parse_args()
    ways = [parse_way(way) for way in args.ways]
    results = {label: [] for label, _, _ in ways}
    with contextlib.ExitStack() as stack:
        home = stack.enter_context(tempfile.TemporaryDirectory(prefix="pathwick-rounds-"))
        start_display(home, stack.callback)
        print(f"{'round':>5} {'way':<12} {'frames/s':>9} {'faults/s':>10} {'faults/frame':>13} "
              f"{'CPU ms/frame':>13}")
        for round_number in range(1, args.rounds + 1):
            # Each round starts with the next way, so that none always
            # follows the same one.
            shift = (round_number - 1) % len(ways)
            for label, env, command in ways[shift:] + ways[:shift]:
                fps, faults, cpu = run_once(command, env, os.path.abspath(args.data),
                                            args.seconds)
                results[label].append((fps, faults / fps, 1000 * cpu / fps))
                print(f"{round_number:>5} {label:<12} {fps:>9.0f} {faults:>10.0f} "
                      f"{faults / fps:>13.1f} {1000 * cpu / fps:>13.2f}", flush=True)
    print("\nmedian over the rounds:")
    for label, rounds in results.items():
        fps, faults, cpu = (statistics.median(column) for column in zip(*rounds))
        print(f"  {label:<12} {fps:>6.0f} frames/s {faults:>8.1f} faults/frame "
              f"{cpu:>7.2f} CPU ms/frame")
    first = ways[0][0]
    for label in list(results)[1:]:
        for what, column in (("frame rate", 0), ("CPU time per frame", 2)):
            ratios = [a[column] / b[column] for a, b in zip(results[first], results[label])]
            print(f"  {first} / {label}, {what}, round by round: "
                  + " ".join(f"{ratio:.2f}" for ratio in ratios)
                  + f" (median {statistics.median(ratios):.2f})")


if __name__ == "__main__":
    main()
