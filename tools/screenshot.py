#!/usr/bin/env python3
"""Takes the README's screenshots: the real program in its framed window, mid-search or being drawn on.

Usage: tools/screenshot.py [--seconds S | --edit] [PATHWICK [DATA_DIR [OUTPUT]]]
       (defaults: build/pathwick, data, docs/screenshot.png or with --edit docs/edit.png)

Starts a private Xvfb with openbox, runs PATHWICK --windowed in DATA_DIR,
caps the speed at its top setting (Up), starts the search (Return), waits S
seconds and saves the window's outer frame, title bar and menu bar included,
as a PNG. With the cap the picture shows the same stage of the search on any
machine that keeps up with 111 frames per second: by default about 2900
frames in, with trail, dead ends and the exit all in view.

With --edit it runs PATHWICK --windowed --edit in a scratch folder holding
only the texture, so the map starts as all walls, clicks a way and an exit
into it (left and right clicks) and saves the window as the drawing stands.

Needs Xvfb, openbox, xdotool, xwininfo (x11-utils) and ImageMagick's import:
sh scripts/install-deps.sh installs them.
"""

import argparse
import contextlib
import os
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
# The end-to-end tests' X session: Xvfb with openbox, and its X clients.
from xsession import (DISPLAY_ENV, TIMEOUT, TEXTURE_FILE, Scene, click,  # noqa: E402
                      drawing_area, focused_window, outer_frame, start_display, stop_process,
                      wait_until, x_tool)

MAIN_WINDOW_CLASS = "^PathwickClass$"
DEFAULT_SECONDS = 26.0  # about 2900 frames at the top speed setting


# The way drawn with --edit, cell by cell from the start, left clicks that
# open walls; then the right clicks that put two exits.
DRAWN_WAY = [(0, 0), (0, 1), (0, 2), (0, 3), (1, 3), (2, 3), (3, 3), (3, 2), (3, 1), (4, 1),
             (5, 1), (6, 1), (7, 1), (8, 1), (8, 2), (8, 3), (6, 2), (6, 3), (6, 4), (6, 5),
             (5, 5), (4, 5), (3, 5), (3, 6), (3, 7), (2, 7), (1, 7), (1, 8), (4, 7), (5, 7)]
DRAWN_EXITS = [(8, 4), (6, 7)]


def draw_a_maze(window):
    scene = Scene(drawing_area(window))
    for cells, button in ((DRAWN_WAY, 1), (DRAWN_EXITS, 3)):
        for cell in cells:
            left, top, right, bottom = scene.cell(*cell)
            click((left + right) // 2, (top + bottom) // 2, button)


def take_screenshot(pathwick, data_dir, output, seconds, edit):
    with contextlib.ExitStack() as stack:
        home = stack.enter_context(tempfile.TemporaryDirectory(prefix="pathwick-shot-"))
        start_display(home, stack.callback)
        command = [os.path.abspath(pathwick), "--windowed"]
        if edit:
            workdir = stack.enter_context(tempfile.TemporaryDirectory(prefix="pathwick-edit-"))
            subprocess.run(["cp", os.path.join(data_dir, TEXTURE_FILE), workdir], check=True)
            command.append("--edit")
        else:
            workdir = data_dir
        program = subprocess.Popen(command, cwd=workdir, env=DISPLAY_ENV)
        stack.callback(stop_process, program)
        window = int(wait_until(
            lambda: x_tool("xdotool", "search", "--onlyvisible", "--class",
                           MAIN_WINDOW_CLASS).split(),
            "the program's window")[0])
        wait_until(lambda: focused_window() == window, "the window to take the focus")
        if edit:
            draw_a_maze(window)
            time.sleep(0.5)
        else:
            x_tool("xdotool", "key", "Up", "Return")
            time.sleep(seconds)
        x_tool("xdotool", "mousemove", "1023", "767")  # out of the picture
        x, y, width, height = outer_frame(window)
        frame = f"{width}x{height}+{x}+{y}"
        subprocess.run(["import", "-window", "root", "-crop", frame, "+repage", "-strip", output],
                       env=DISPLAY_ENV, check=True, timeout=TIMEOUT)
    print(f"screenshot: wrote {output} ({width}x{height})")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seconds", type=float, default=DEFAULT_SECONDS,
                        help=f"search time before the picture (default {DEFAULT_SECONDS:g})")
    parser.add_argument("pathwick", nargs="?", default=os.path.join(ROOT, "build", "pathwick"))
    parser.add_argument("data_dir", nargs="?", default=os.path.join(ROOT, "data"))
    parser.add_argument("--edit", action="store_true",
                        help="draw a maze in edit mode instead of searching (docs/edit.png)")
    parser.add_argument("output", nargs="?")
    arguments = parser.parse_args()
    output = arguments.output or os.path.join(
        ROOT, "docs", "edit.png" if arguments.edit else "screenshot.png")
    take_screenshot(arguments.pathwick, arguments.data_dir, os.path.abspath(output),
                    arguments.seconds, arguments.edit)


if __name__ == "__main__":
    main()
