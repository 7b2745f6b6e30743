#!/usr/bin/env python3
"""End-to-end tests: the real pathwick program in a real X window.

Usage: run_e2e.py PATHWICK DATA_DIR

Starts its own Xvfb (1024x768) with openbox, runs the program in a scratch
directory holding copies of MazeMap.txt and Stone.BMP from DATA_DIR, drives it
with xdotool and checks window geometry (xwininfo, xprop) and the pixels of
root-window screenshots (ImageMagick's import).
"""

import os
import re
import select
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

PATHWICK = ""
DATA_DIR = ""

SCREEN = (1024, 768)
TITLE = "Pathwick --Demo Corvinder 2002-5-18"
QUESTION_CAPTION = "迷宫DEMO"
ABOUT_CAPTION = "迷宫搜索Demo"
MAP_FILE = "MazeMap.txt"
TEXTURE_FILE = "Stone.BMP"

TIMEOUT = 10.0  # the longest any single wait may take, in seconds
SETTLE = 0.3  # time for a key or click to reach the next frame
STILL_SPAN = 1.0  # a still picture is compared over this long

SCENE_SIZE = 360  # scene units on each side, mapped onto a centred square
MAZE_LOW, MAZE_HIGH = 30, 330  # the maze's extent in scene units
WALL = 0
UNTEXTURED_WALL = (102, 51, 0)  # (0.4, 0.2, 0.0) * 255
TITLE_LINE_COLOUR = (255, 0, 255)  # drawn in every frame
KEY_HELP_COLOUR = (0, 255, 0)
MENU_CAPTION_GAP = 6  # pixels: wider than any gap inside a caption, narrower than between two
SLOWEST_SPEED_PRESSES = 17  # Down presses from the start setting to 15 frames per second

DISPLAY_ENV = {}


def wait_until(condition, what, timeout=TIMEOUT):
    """Polls `condition` until it returns something true, and returns that."""
    deadline = time.monotonic() + timeout
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout:.0f} s waiting for {what}")
        time.sleep(0.05)


def x_tool(*command):
    """Runs an X client on the test display and returns its output ('' on failure)."""
    done = subprocess.run(command, env=DISPLAY_ENV, capture_output=True, timeout=TIMEOUT)
    return done.stdout.decode("utf-8", "replace") if done.returncode == 0 else ""


def press(key):
    x_tool("xdotool", "key", key)


def click(x, y):
    x_tool("xdotool", "mousemove", str(x), str(y), "click", "1")


def stop_process(process):
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=3)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


# --- The virtual display ---------------------------------------------------


def read_display_number(read_end):
    """Reads the display number that Xvfb -displayfd reports once it is ready."""
    text = b""
    deadline = time.monotonic() + TIMEOUT
    while not text.endswith(b"\n"):
        remaining = deadline - time.monotonic()
        if remaining <= 0 or not select.select([read_end], [], [], remaining)[0]:
            raise RuntimeError("Xvfb did not start")
        chunk = os.read(read_end, 64)
        if not chunk:
            raise RuntimeError("Xvfb exited at start")
        text += chunk
    return int(text)


def start_display(home):
    """Starts Xvfb on a free display number, then openbox; registers their stop."""
    read_end, write_end = os.pipe()
    width, height = SCREEN
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
         "-nolisten", "tcp"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    unittest.addModuleCleanup(stop_process, xvfb)
    os.close(write_end)
    try:
        number = read_display_number(read_end)
    finally:
        os.close(read_end)
    DISPLAY_ENV.update(os.environ, DISPLAY=f":{number}", HOME=home)
    log_path = os.path.join(home, "openbox.log")
    with open(log_path, "wb") as log:
        openbox = subprocess.Popen(["openbox"], env=DISPLAY_ENV, stdout=log, stderr=log)
    unittest.addModuleCleanup(stop_process, openbox)
    try:
        wait_until(lambda: "window id" in x_tool("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"),
                   "openbox to manage the display")
    except AssertionError as error:
        with open(log_path, errors="replace") as log:
            raise RuntimeError(f"{error} (openbox exit status {openbox.poll()}, "
                               f"output: {log.read()!r})") from None


def setUpModule():
    home = tempfile.mkdtemp(prefix="pathwick-e2e-home-")
    unittest.addModuleCleanup(shutil.rmtree, home, True)
    start_display(home)


# --- Windows and screenshots ------------------------------------------------


def window_names():
    """Name -> id of every visible window of the program: its main window (X class
    PathwickClass) and the toolkit's boxes (X class FLTK)."""
    names = {}
    for line in x_tool("xdotool", "search", "--onlyvisible", "--class",
                       "^(PathwickClass|FLTK)$").split():
        names[x_tool("xdotool", "getwindowname", line).rstrip("\n")] = int(line)
    return names


def window_named(name):
    return wait_until(lambda: window_names().get(name), f"the window '{name}'")


def focused_window():
    output = x_tool("xdotool", "getwindowfocus").strip()
    return int(output) if output else None


def geometry(window):
    """(x, y, width, height) of a window on the screen."""
    info = x_tool("xwininfo", "-id", str(window))
    values = [int(re.search(rf"{label}:\s+(-?\d+)", info).group(1))
              for label in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height")]
    return tuple(values)


def parent_of(window):
    """The parent window, or None when the parent is the root window."""
    tree = x_tool("xwininfo", "-id", str(window), "-tree")
    parent = re.search(r"Parent window id: (0x[0-9a-f]+)(.*)", tree)
    return None if "(the root window)" in parent.group(2) else int(parent.group(1), 16)


def outer_frame(window):
    """The geometry of the top-level window around `window`: its frame, if it has one."""
    while (parent := parent_of(window)) is not None:
        window = parent
    return geometry(window)


def drawing_area(window):
    """The geometry of the OpenGL area: the framed window's child window, or the window."""
    children = x_tool("xwininfo", "-id", str(window), "-children")
    child = re.search(r"^\s+(0x[0-9a-f]+) .*\d+x\d+[+-]\d+[+-]\d+\s+[+-]-?\d+[+-]-?\d+$",
                      children, re.MULTILINE)
    return geometry(int(child.group(1), 16)) if child else geometry(window)


class Screenshot:
    """The root window's pixels."""

    def __init__(self):
        done = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"],
                              env=DISPLAY_ENV, capture_output=True, timeout=TIMEOUT, check=True)
        # A binary PPM: "P6", width, height, 255, one whitespace byte, then RGB bytes.
        header = re.match(rb"P6\s+(\d+)\s+\d+\s+255\s", done.stdout)
        assert header, "import wrote an unexpected image format"
        self.width = int(header.group(1))
        self.pixels = done.stdout[header.end():]

    def pixel(self, x, y):
        offset = 3 * (y * self.width + x)
        return tuple(self.pixels[offset:offset + 3])

    def contains(self, colour):
        wanted = bytes(colour)
        offset = self.pixels.find(wanted)
        while offset >= 0 and offset % 3:
            offset = self.pixels.find(wanted, offset + 1)
        return offset >= 0

    def area(self, rect):
        x0, y0, x1, y1 = rect
        return [self.pixel(x, y) for y in range(y0, y1) for x in range(x0, x1)]


class Scene:
    """Maps scene units onto the screen: the largest centred square of the drawing area."""

    def __init__(self, area):
        self.x, self.y, self.width, self.height = area
        self.size = min(self.width, self.height)
        self.left = (self.width - self.size) // 2
        self.bottom = (self.height - self.size) // 2

    def rect(self, x0, y0, x1, y1, inset=0):
        """Screen rectangle (x0, y0, x1, y1) of a scene rectangle, shrunk by `inset` pixels."""
        scale = self.size / SCENE_SIZE
        left = self.x + self.left + round(x0 * scale) + inset
        right = self.x + self.left + round(x1 * scale) - inset
        top = self.y + self.height - self.bottom - round(y1 * scale) + inset
        bottom = self.y + self.height - self.bottom - round(y0 * scale) - inset
        return left, top, right, bottom

    def cell(self, column, row, inset=3):
        return self.rect(30 * column + 30, 30 * row + 30, 30 * column + 60, 30 * row + 60, inset)

    def maze(self):
        return self.rect(MAZE_LOW, MAZE_LOW, MAZE_HIGH, MAZE_HIGH)


def assert_centred(inner, outer, tolerance=3):
    """The rectangle `inner` (x, y, width, height) is centred on `outer`."""
    for axis in (0, 1):
        inner_centre = inner[axis] + inner[axis + 2] / 2
        outer_centre = outer[axis] + outer[axis + 2] / 2
        assert abs(inner_centre - outer_centre) <= tolerance, f"{inner} is not centred on {outer}"


def wall_cells():
    """(column, row) of the wall cells of the shipped map; row 0 comes first in the file."""
    with open(os.path.join(DATA_DIR, MAP_FILE)) as stream:
        codes = [int(value) for value in stream.read().split()[:100]]
    return [(index % 10, index // 10) for index, code in enumerate(codes) if code == WALL]


def runs(flags, min_gap):
    """[first, last] index of each run of true flags; runs less than min_gap apart merge."""
    found = []
    for index, flag in enumerate(flags):
        if flag and found and index - found[-1][1] <= min_gap:
            found[-1][1] = index
        elif flag:
            found.append([index, index])
    return found


# --- The program --------------------------------------------------------------


class PathwickTest(unittest.TestCase):
    """Runs the program in a scratch directory and drives it."""

    def start(self, *arguments, missing=()):
        workdir = tempfile.mkdtemp(prefix="pathwick-e2e-")
        self.addCleanup(shutil.rmtree, workdir, True)
        for name in (MAP_FILE, TEXTURE_FILE):
            if name not in missing:
                shutil.copy(os.path.join(DATA_DIR, name), workdir)
        self.program = subprocess.Popen([PATHWICK, *arguments], cwd=workdir, env=DISPLAY_ENV)
        self.addCleanup(stop_process, self.program)

    def answer_question(self, key):
        box = window_named(QUESTION_CAPTION)
        wait_until(lambda: focused_window() == box, "the question to take the focus")
        press(key)

    def main_window(self):
        """Waits for the program's window to show and to take the focus."""
        window = window_named(TITLE)
        wait_until(lambda: focused_window() == window, "the window to take the focus")
        wait_until(lambda: Screenshot().contains(TITLE_LINE_COLOUR), "the first frame")
        self.scene = Scene(drawing_area(window))
        return window

    def menu_items(self, window):
        """Centres of the menu bar's captions: runs of columns with dark text pixels."""
        x, y, width, _ = geometry(window)
        left, top, bottom = x + 3, y + 3, self.scene.y - 3  # inside the bar's border

        def inked_columns():
            shot = Screenshot()
            inked = [any(sum(shot.pixel(column, row)) < 300 for row in range(top, bottom))
                     for column in range(left, x + width - 3)]
            return inked if any(inked) else None

        captions = runs(wait_until(inked_columns, "the menu bar"), MENU_CAPTION_GAP)
        return [(left + (first + last) // 2, (top + bottom) // 2) for first, last in captions]

    def maze_picture(self):
        return Screenshot().area(self.scene.maze())

    def assert_moving(self):
        before = self.maze_picture()
        wait_until(lambda: self.maze_picture() != before, "the maze picture to change")

    def assert_still(self):
        time.sleep(SETTLE)
        before = self.maze_picture()
        time.sleep(STILL_SPAN)
        self.assertTrue(before == self.maze_picture(), "the maze picture changed")

    def slow_down(self):
        """Caps the frame rate at its lowest, so that the search outlasts the test."""
        for _ in range(SLOWEST_SPEED_PRESSES):
            press("Down")

    def assert_exits_with_1(self):
        self.assertEqual(self.program.wait(timeout=TIMEOUT), 1)


class FramedWindowTest(PathwickTest):
    """Cancel on the question: the framed window with its menu bar."""

    def setUp(self):
        self.start()
        self.answer_question("Escape")
        self.window = self.main_window()

    def test_outer_frame_is_420_square_at_the_corner_with_a_menu_bar_of_eight_items(self):
        self.assertEqual(outer_frame(self.window), (0, 0, 420, 420))
        self.assertGreater(self.scene.y, geometry(self.window)[1], "no room for the menu bar")
        self.assertEqual(len(self.menu_items(self.window)), 8)
        press("Escape")
        self.assert_exits_with_1()

    def test_walls_carry_the_stone_texture(self):
        pixels = Screenshot().area(self.scene.cell(*wall_cells()[0]))
        self.assertGreater(len(set(pixels)), 10, "a wall cell is drawn flat")
        self.assertTrue(all(blue == 0 for _, _, blue in pixels), "the texture keeps its blue")

    def test_keys_start_pause_and_resume_the_search(self):
        self.slow_down()
        self.assert_still()  # the explorer waits for a start
        press("Return")
        self.assert_moving()
        press("shift")
        self.assert_still()
        press("ctrl")
        self.assert_moving()
        press("Escape")
        self.assert_exits_with_1()

    def test_keys_with_alt_held_run_no_command(self):
        self.slow_down()
        press("alt+Return")
        self.assert_still()
        press("Return")
        self.assert_moving()

    def test_menu_items_pause_and_resume_like_their_keys(self):
        self.slow_down()
        press("Return")
        self.assert_moving()
        items = self.menu_items(self.window)
        click(*items[1])  # 暂停, pause
        self.assert_still()
        click(*items[2])  # 继续, resume
        self.assert_moving()

    def test_about_box_opens_centred_over_the_window_and_stops_the_frames_until_ok(self):
        self.slow_down()
        press("Return")
        self.assert_moving()
        press("F1")
        box = window_named(ABOUT_CAPTION)
        wait_until(lambda: focused_window() == box, "the About box to take the focus")
        assert_centred(geometry(box), geometry(self.window))
        self.assert_still()
        press("Return")
        wait_until(lambda: ABOUT_CAPTION not in window_names(), "the About box to close")
        self.assert_moving()


class QuestionTest(PathwickTest):
    def test_question_opens_centred_on_the_screen(self):
        self.start()
        box = window_named(QUESTION_CAPTION)
        assert_centred(geometry(box), (0, 0, *SCREEN))
        self.answer_question("Escape")
        self.main_window()
        press("Escape")
        self.assert_exits_with_1()


class FullScreenTest(PathwickTest):
    def test_ok_opens_a_borderless_screen_sized_window_above_the_others(self):
        self.start()
        self.answer_question("Return")
        window = self.main_window()
        self.assertEqual(geometry(window), (0, 0, *SCREEN))
        self.assertEqual(outer_frame(window), (0, 0, *SCREEN), "the window has a frame")
        self.assertIn("_NET_WM_STATE_ABOVE", x_tool("xprop", "-id", str(window), "_NET_WM_STATE"))
        key_help = Screenshot().area(self.scene.rect(0, 335, SCENE_SIZE, SCENE_SIZE))
        self.assertIn(KEY_HELP_COLOUR, key_help, "no key help in green")
        press("Escape")
        self.assert_exits_with_1()


class EndingTest(PathwickTest):
    def test_every_way_of_closing_ends_with_exit_code_1(self):
        ways = {
            "Escape": lambda window: press("Escape"),
            "menu item 退出": lambda window: click(*self.menu_items(window)[6]),
            "window manager close": lambda window: press("alt+F4"),
        }
        for way, close in ways.items():
            with self.subTest(way):
                self.start("--windowed")
                self.window = self.main_window()
                close(self.window)
                self.assert_exits_with_1()

    def test_keys_queued_behind_escape_are_never_handled(self):
        # F1 would open the About box, and the program would wait for it.
        self.start("--windowed")
        self.main_window()
        x_tool("xdotool", "key", "--delay", "0", "Escape", "F1")
        self.assert_exits_with_1()

    def test_without_a_display_it_says_so_and_exits_with_1_at_once(self):
        environment = {name: value for name, value in DISPLAY_ENV.items() if name != "DISPLAY"}
        started = time.monotonic()
        done = subprocess.run([PATHWICK], env=environment, capture_output=True,
                              timeout=TIMEOUT)
        self.assertEqual(done.returncode, 1)
        self.assertLess(time.monotonic() - started, 3.0)
        self.assertIn(b"display", done.stderr.lower())


class DataFileTest(PathwickTest):
    def test_without_the_texture_walls_are_plain_brown(self):
        self.start("--windowed", missing=(TEXTURE_FILE,))
        self.main_window()
        shot = Screenshot()
        for cell in wall_cells()[:3]:
            for pixel in set(shot.area(self.scene.cell(*cell))):
                for channel, expected in zip(pixel, UNTEXTURED_WALL):
                    self.assertAlmostEqual(channel, expected, delta=2, msg=f"wall cell {cell}")
        press("Escape")
        self.assert_exits_with_1()

    def test_without_the_map_it_still_runs(self):
        self.start("--windowed", missing=(MAP_FILE,))
        self.main_window()
        centre = Screenshot().area(self.scene.cell(5, 5))
        self.assertTrue(any(sum(pixel) > 30 for pixel in centre), "the maze is not drawn")
        press("Escape")
        self.assert_exits_with_1()


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    PATHWICK, DATA_DIR = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    unittest.main(argv=sys.argv[:1], verbosity=2)
