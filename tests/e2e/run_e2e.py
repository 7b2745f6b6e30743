#!/usr/bin/env python3
"""End-to-end tests: the real pathwick program in a real X window.

Usage: run_e2e.py PATHWICK DATA_DIR

Starts its own Xvfb (1024x768) with openbox, runs the program in a scratch
directory holding copies of MazeMap.txt and Stone.BMP from DATA_DIR, drives it
with xdotool and checks window geometry (xwininfo, xprop) and the pixels of
root-window screenshots (ImageMagick's import).
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

from xsession import (DISPLAY_ENV, MAP_FILE, QUESTION_CAPTION, SCREEN, TEXTURE_FILE, TIMEOUT,
                      UNTEXTURED_WALL, WALL, ProgramTest, Screenshot, assert_centred, cells_with,
                      click, geometry, outer_frame, press, read_map, start_display, x_tool)

PATHWICK = ""
DATA_DIR = ""


def setUpModule():
    home = tempfile.mkdtemp(prefix="pathwick-e2e-home-")
    unittest.addModuleCleanup(shutil.rmtree, home, True)
    start_display(home)


def window_icons(window):
    """The images of the window's _NET_WM_ICON: {(width, height): ARGB pixels, rows top first}."""
    text = x_tool("xprop", "-id", str(window), "-notype", "32c", "_NET_WM_ICON")
    if "=" not in text:
        return {}
    values = [int(value, 0) for value in text.split("=", 1)[1].split(",")]
    icons = {}
    while len(values) >= 2:
        width, height = values[:2]
        icons[(width, height)] = values[2:2 + width * height]
        values = values[2 + width * height:]
    return icons


def wall_cells():
    """(column, row) of the wall cells of the shipped map."""
    return cells_with(read_map(os.path.join(DATA_DIR, MAP_FILE)), WALL)


class PathwickTest(ProgramTest):
    """Runs the program in a scratch directory and drives it. Its windows: the
    main window (X class PathwickClass) and the toolkit's boxes (X class FLTK)."""

    WINDOW_CLASSES = "^(PathwickClass|FLTK)$"

    def start(self, *arguments, missing=()):
        workdir = tempfile.mkdtemp(prefix="pathwick-e2e-")
        self.addCleanup(shutil.rmtree, workdir, True)
        for name in (MAP_FILE, TEXTURE_FILE):
            if name not in missing:
                shutil.copy(os.path.join(DATA_DIR, name), workdir)
        super().start([PATHWICK, *arguments], workdir, DISPLAY_ENV)

    def main_menu_items(self, window):
        """Centres of the menu bar's captions: the bar lies between the
        window's top and the drawing area."""
        x, y, width, _ = geometry(window)
        return self.menu_items((x + 3, y + 3, x + width - 3, self.scene.y - 3))


class FramedWindowTest(PathwickTest):
    """Cancel on the question: the framed window with its menu bar."""

    def setUp(self):
        self.start()
        self.answer_question("Escape")
        self.window = self.main_window()

    def test_outer_frame_is_420_square_at_the_corner_with_a_menu_bar_of_eight_items(self):
        self.assertEqual(outer_frame(self.window), (0, 0, 420, 420))
        self.assertGreater(self.scene.y, geometry(self.window)[1], "no room for the menu bar")
        self.assertEqual(len(self.main_menu_items(self.window)), 8)
        press("Escape")
        self.assert_exits_with_1()

    def test_window_carries_the_program_icon_in_four_sizes(self):
        icons = window_icons(self.window)
        self.assertEqual(sorted(icons), [(16, 16), (32, 32), (48, 48), (64, 64)])
        for size in (16, 64):
            # The arrow's middle, right of the wall: opaque red.
            argb = icons[(size, size)][(size // 2) * size + size * 64 // 100]
            self.assertEqual(argb >> 24, 0xFF, f"{size} px: not opaque")
            self.assertGreater((argb >> 16) & 0xFF, 200, f"{size} px: not red")
            self.assertLess((argb >> 8) & 0xFF, 40, f"{size} px: not red")

    def test_walls_carry_the_stone_texture(self):
        pixels = Screenshot().area(self.scene.cell(*wall_cells()[0]))
        self.assertGreater(len(set(pixels)), 10, "a wall cell is drawn flat")
        self.assertTrue(all(blue == 0 for _, _, blue in pixels), "the texture keeps its blue")

    def test_keys_start_pause_and_resume_the_search(self):
        self.slow_down()
        self.assert_keys_start_pause_and_resume()
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
        items = self.main_menu_items(self.window)
        click(*items[1])  # 暂停, pause
        self.assert_still()
        click(*items[2])  # 继续, resume
        self.assert_moving()

    def test_about_box_opens_centred_over_the_window_and_stops_the_frames_until_ok(self):
        self.slow_down()
        press("Return")
        self.assert_moving()
        self.assert_about_box_stops_the_frames_until_ok(self.window)


class QuestionTest(PathwickTest):
    def test_question_opens_centred_on_the_screen(self):
        self.start()
        box = self.window_named(QUESTION_CAPTION)
        assert_centred(geometry(box), (0, 0, *SCREEN))
        self.answer_question("Escape")
        self.main_window()
        press("Escape")
        self.assert_exits_with_1()


class FullScreenTest(PathwickTest):
    def test_ok_opens_a_borderless_screen_sized_window_above_the_others(self):
        self.start()
        self.answer_question("Return")
        self.assert_full_screen(self.main_window())
        press("Escape")
        self.assert_exits_with_1()


class EndingTest(PathwickTest):
    def test_every_way_of_closing_ends_with_exit_code_1(self):
        ways = {
            "Escape": lambda window: press("Escape"),
            "menu item 退出": lambda window: click(*self.main_menu_items(window)[6]),
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
        self.assert_maze_drawn()
        press("Escape")
        self.assert_exits_with_1()


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    PATHWICK, DATA_DIR = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    unittest.main(argv=sys.argv[:1], verbosity=2)
