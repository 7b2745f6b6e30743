#!/usr/bin/env python3
"""Takes the README's screenshot: the real program in its framed window, mid-search.

Usage: tools/screenshot.py [--seconds S] [PATHWICK [DATA_DIR [OUTPUT]]]
       (defaults: build/pathwick, data, docs/screenshot.png)

Starts a private Xvfb with openbox, runs PATHWICK --windowed in DATA_DIR,
caps the speed at its top setting (Up), starts the search (Return), waits S
seconds and saves the window's outer frame, title bar and menu bar included,
as a PNG. With the cap the picture shows the same stage of the search on any
machine that keeps up with 111 frames per second: by default about 2900
frames in, with trail, dead ends and the exit all in view.

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
from xsession import (DISPLAY_ENV, TIMEOUT, focused_window,  # noqa: E402
                      outer_frame, start_display, stop_process, wait_until, x_tool)

MAIN_WINDOW_CLASS = "^PathwickClass$"
DEFAULT_SECONDS = 26.0  # about 2900 frames at the top speed setting


def take_screenshot(pathwick, data_dir, output, seconds):
    with contextlib.ExitStack() as stack:
        home = stack.enter_context(tempfile.TemporaryDirectory(prefix="pathwick-shot-"))
        start_display(home, stack.callback)
        program = subprocess.Popen([os.path.abspath(pathwick), "--windowed"], cwd=data_dir,
                                   env=DISPLAY_ENV)
        stack.callback(stop_process, program)
        window = int(wait_until(
            lambda: x_tool("xdotool", "search", "--onlyvisible", "--class",
                           MAIN_WINDOW_CLASS).split(),
            "the program's window")[0])
        wait_until(lambda: focused_window() == window, "the window to take the focus")
        x_tool("xdotool", "mousemove", "1023", "767")  # out of the picture
        x_tool("xdotool", "key", "Up", "Return")
        time.sleep(seconds)
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
    parser.add_argument("output", nargs="?", default=os.path.join(ROOT, "docs", "screenshot.png"))
    arguments = parser.parse_args()
    take_screenshot(arguments.pathwick, arguments.data_dir, os.path.abspath(arguments.output),
                    arguments.seconds)


if __name__ == "__main__":
    main()
