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
import re
import select
import subprocess
import sys
import tempfile
import time

SCREEN = "1024x768x24"
MAIN_WINDOW_CLASS = "^PathwickClass$"
TIMEOUT = 10.0  # seconds any start-up step may take
DEFAULT_SECONDS = 26.0  # about 2900 frames at the top speed setting


def wait_until(condition, what):
    """Polls `condition` until it returns something true, and returns that."""
    deadline = time.monotonic() + TIMEOUT
    while not (result := condition()):
        if time.monotonic() > deadline:
            sys.exit(f"screenshot: timed out waiting for {what}")
        time.sleep(0.05)
    return result


def stopped_at_exit(stack, process):
    """Stops `process` when `stack` closes."""

    def stop():
        if process.poll() is None:
            process.terminate()
            try:
                process.wait(timeout=3)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()

    stack.callback(stop)
    return process


def start_xvfb(stack):
    """Starts Xvfb on a free display number and returns the number."""
    read_end, write_end = os.pipe()
    stopped_at_exit(stack, subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", SCREEN, "-nolisten", "tcp"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    os.close(write_end)
    with os.fdopen(read_end, "rb") as reader:
        if not select.select([reader], [], [], TIMEOUT)[0]:
            sys.exit("screenshot: Xvfb did not start")
        number = reader.readline().strip()
    if not number:
        sys.exit("screenshot: Xvfb exited at start")
    return int(number)


class Display:
    """A private X display with openbox managing its windows."""

    def __init__(self, stack):
        home = stack.enter_context(tempfile.TemporaryDirectory(prefix="pathwick-shot-"))
        self.env = dict(os.environ, DISPLAY=f":{start_xvfb(stack)}", HOME=home)
        stopped_at_exit(stack, subprocess.Popen(
            ["openbox"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        wait_until(lambda: "window id" in self.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"),
                   "openbox")

    def run(self, *command):
        """Runs an X client on the display; its output, or '' when it fails."""
        done = subprocess.run(command, env=self.env, capture_output=True, timeout=TIMEOUT)
        return done.stdout.decode("utf-8", "replace") if done.returncode == 0 else ""

    def focused_window(self):
        output = self.run("xdotool", "getwindowfocus").strip()
        return int(output) if output else None

    def outer_frame(self, window):
        """'WxH+X+Y' of the top-level window around `window`: its frame."""
        while True:
            tree = self.run("xwininfo", "-id", str(window), "-tree")
            parent = re.search(r"Parent window id: (0x[0-9a-f]+)(.*)", tree)
            if "(the root window)" in parent.group(2):
                break
            window = int(parent.group(1), 16)
        info = self.run("xwininfo", "-id", str(window))
        x, y, width, height = (
            re.search(rf"{label}:\s+(-?\d+)", info).group(1)
            for label in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"))
        return f"{width}x{height}+{x}+{y}"


def take_screenshot(pathwick, data_dir, output, seconds):
    with contextlib.ExitStack() as stack:
        display = Display(stack)
        stopped_at_exit(stack, subprocess.Popen(
            [os.path.abspath(pathwick), "--windowed"], cwd=data_dir, env=display.env))
        window = wait_until(
            lambda: display.run("xdotool", "search", "--onlyvisible", "--class",
                                MAIN_WINDOW_CLASS).split(),
            "the program's window")[0]
        wait_until(lambda: display.focused_window() == int(window), "the window to take the focus")
        display.run("xdotool", "mousemove", "1023", "767")  # out of the picture
        display.run("xdotool", "key", "Up", "Return")
        time.sleep(seconds)
        frame = display.outer_frame(window)
        subprocess.run(["import", "-window", "root", "-crop", frame, "+repage", "-strip", output],
                       env=display.env, check=True, timeout=TIMEOUT)
    print(f"screenshot: wrote {output} ({frame.split('+')[0]})")


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seconds", type=float, default=DEFAULT_SECONDS,
                        help=f"search time before the picture (default {DEFAULT_SECONDS:g})")
    parser.add_argument("pathwick", nargs="?", default=os.path.join(root, "build", "pathwick"))
    parser.add_argument("data_dir", nargs="?", default=os.path.join(root, "data"))
    parser.add_argument("output", nargs="?", default=os.path.join(root, "docs", "screenshot.png"))
    arguments = parser.parse_args()
    take_screenshot(arguments.pathwick, arguments.data_dir, os.path.abspath(arguments.output),
                    arguments.seconds)


if __name__ == "__main__":
    main()
