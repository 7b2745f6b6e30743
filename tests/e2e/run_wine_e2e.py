#!/usr/bin/env python3
"""End-to-end tests of the Windows program: pathwick.exe under Wine.

Usage: run_wine_e2e.py PATHWICK_EXE DATA_DIR GLYPH_LISTS_TEST POINTER_CAPTURE_TEST
                       [unittest options, such as -k NAME]

Starts its own Xvfb (1024x768) with openbox and a fresh 64-bit Wine prefix in
a scratch folder, then runs the program there in a scratch directory holding
copies of MazeMap.txt and Stone.BMP from DATA_DIR, and drives it as
run_e2e.py drives the Linux program. The logic above the platform seam is
tested elsewhere; these tests cover what the Win32 backend adds: the boxes,
the two windows, the menu resource, keys, closing, and the picture.

Wine is told not to decorate its windows, so that it draws the Win32 caption
and frame itself as Windows would: an X window's geometry is then the Win32
window rectangle, frame included. The Chinese texts need the zh_CN.UTF-8
locale (scripts/install-deps.sh generates it); without it Wine draws them as
empty boxes.
"""

import contextlib
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

from xsession import (ABOUT_CAPTION, CORRIDOR, DISPLAY_ENV, EDIT_MAP, LANGUAGES, MAP_FILE, NEW_EXIT,
                      OPENED_CELL, QUESTION_CAPTION, SCENE_SIZE, SCREEN, SETTLE, TEXTURE_FILE,
                      TIMEOUT, TITLE, TITLE_LINE_COLOUR, UNTEXTURED_WALL, WALL, ProgramTest,
                      Screenshot, SharedDataFileTests, SharedEditTests, SharedGentleTests,
                      SharedStudyTests, assert_centred, cells_with, click, edit_files, file_text,
                      focused_window, geometry, map_text, outer_frame, press, read_map,
                      read_only_folder, start_display, wait_until)

PATHWICK_EXE = ""
DATA_DIR = ""
GLYPH_LISTS_TEST = ""
POINTER_CAPTURE_TEST = ""

WINE_LOCALE = "zh_CN.UTF-8"
WINE_ENV = {}
WINEBOOT_TIMEOUT = 180.0  # a first wineboot takes 20 to 40 s
WINESERVER_LINGER = 60  # seconds the server waits for a next program
WINE_FONTS_DIR = "/usr/share/wine/fonts"  # fonts-wine's files

FRAMED_OUTER = (0, 0, 420, 420)
HELP_BOX_MAX_WIDTH = 420
MENU_ITEM_COUNT = 8
NOTICE_CAPTION = "Pathwick"  # the caption of help, error and warning boxes
EXIT_ITEM = 6  # 退出, the seventh item
ABOUT_ITEM = 5  # 关于, the sixth item
SLOWEST_FPS = 15  # the frame rate at the lowest speed setting
SPEED_RANGE_PRESSES = 18  # Up or Down presses across the whole range, 15 to 105
# The arrow's speed, in scene units a second, as measured over SPEED_SPAN:
# below the limit at the lowest setting; above the floor, clear of what the
# cap allows, once it is lifted. Uncapped, Wine on a busy machine without a
# GPU may draw fewer than 30 frames a second, so the floor is not a multiple of
# the capped speed.
CAPPED_SPEED_LIMIT = SLOWEST_FPS * 1.2
UNCAPPED_SPEED_FLOOR = SLOWEST_FPS * 1.5
START_ITEM, PAUSE_ITEM, RESUME_ITEM = 0, 1, 2  # 开始, 暂停, 继续
# Wine's default metrics: the menu bar's height, and the centre of the
# caption's close button from the window's top-right corner.
MENU_BAR_HEIGHT = 19
CLOSE_BUTTON_FROM_TOP_RIGHT = (-15, 12)
# The box's face inside its frame and caption, in pixels from its edges.
BOX_FACE_INSET = (4, 24, 4, 4)  # left, top, right, bottom
BOX_FACE_WAIT = 1.5  # seconds from the box's showing to the reading of its face
# The advance GDI gives the space in the fonts Wine picks (4 in the raster
# System font and in the CJK font, 5 in DejaVu Sans).
SPACE_ADVANCE = 4

# The cell colours that the Linux program shows on this display (its fill
# table, rounded to 8 bits the way Mesa rounds them).
CELL_COLOURS = {
    1: (102, 102, 76),  # open
    2: (128, 128, 128),  # dead end
    3: (0, 178, 0),  # trail
    8: (128, 128, 255),  # marker
    9: (0, 255, 0),  # exit
    WALL: UNTEXTURED_WALL,  # without a texture
}


def decode_wine_string(text):
    """A string as Wine's debug output quotes it: \\XXXX for a UTF-16 unit
    outside printable ASCII, a backslash before a backslash or a quote, and
    \\n, \\r, \\t."""
    controls = {"n": "\n", "r": "\r", "t": "\t"}
    units = re.sub(r"\\(?:([0-9a-f]{4})|(.))",
                   lambda m: chr(int(m.group(1), 16)) if m.group(1)
                   else controls.get(m.group(2), m.group(2)), text)
    return units.encode("utf-16-le", "surrogatepass").decode("utf-16-le")


def press_times(key, count):
    for _ in range(count):
        press(key)


def run_wine_tool(*command, timeout=TIMEOUT, env=None):
    subprocess.run(command, env=env or WINE_ENV, check=True, timeout=timeout,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_prefix(env):
    """Creates the Wine prefix that `env` names, in its locale, and keeps its
    server running until the tests end."""
    # No Mono or Gecko; no desktop menu entries for Start-menu shortcuts
    # (winemenubuilder would write them in HOME and note them in the
    # registry). A server that outlives each program, so that no start
    # waits for a new one; it ends by itself should the tests die before
    # they stop it.
    os.mkdir(env["WINEPREFIX"])
    unittest.addModuleCleanup(subprocess.run, ("wineserver", "--kill"), env=env)
    # The prefix's first start has been seen to fail at once (wineboot exit
    # status 53, once in many runs): it gets a second try with a new server.
    for attempt in range(2):
        run_wine_tool("wineserver", f"--persistent={WINESERVER_LINGER}", env=env)
        try:
            run_wine_tool("wineboot", "--init", timeout=WINEBOOT_TIMEOUT, env=env)
            break
        except subprocess.CalledProcessError:
            subprocess.run(("wineserver", "--kill"), env=env)
            if attempt == 1:
                raise
    # Undecorated: Wine draws the caption and frame itself, and an X
    # window's geometry is the Win32 window rectangle.
    run_wine_tool("wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Decorated",
                  "/d", "N", "/f", env=env)


def start_wine(home):
    """Creates the Wine prefix of the Chinese locale, WINE_ENV's."""
    locales = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.lower()
    if WINE_LOCALE.lower().replace("-", "") not in locales.split():
        raise RuntimeError(f"the locale {WINE_LOCALE} is missing: run scripts/install-deps.sh")
    WINE_ENV.update(DISPLAY_ENV, WINEPREFIX=os.path.join(home, "wine"), WINEARCH="win64",
                    WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d",
                    LC_ALL=WINE_LOCALE)
    make_prefix(WINE_ENV)


# A prefix keeps the fonts and font substitutes chosen for the locale it was
# made in: run in another, its windows may draw every Latin character as a
# box, depending on the fonts the machine has (with ghostscript's fonts,
# say). A program run in another locale gets a prefix made in that one.
OTHER_LOCALE_ENVS = {}


def locale_env(locale):
    """The environment of WINE_ENV's for `locale`, with a prefix made in it."""
    if locale == WINE_LOCALE:
        return WINE_ENV
    if locale not in OTHER_LOCALE_ENVS:
        env = dict(WINE_ENV, LC_ALL=locale,
                   WINEPREFIX=f"{WINE_ENV['WINEPREFIX']}-{locale.split('.')[0]}")
        make_prefix(env)
        OTHER_LOCALE_ENVS[locale] = env
    return OTHER_LOCALE_ENVS[locale]


def setUpModule():
    home = tempfile.mkdtemp(prefix="pathwick-wine-e2e-home-")
    unittest.addModuleCleanup(shutil.rmtree, home, True)
    start_display(home)
    start_wine(home)


@contextlib.contextmanager
def wine_fonts_in_the_windows_folder(test):
    """Wine's own fonts (fonts-wine) in C:\\windows\\Fonts, where Windows keeps
    its fonts, while the test runs: the device context's default font is
    then the raster System font, as on Windows."""
    if not os.path.isdir(WINE_FONTS_DIR):
        test.fail(f"{WINE_FONTS_DIR} is missing: run scripts/install-deps.sh (fonts-wine)")
    target = os.path.join(WINE_ENV["WINEPREFIX"], "drive_c", "windows", "Fonts")
    names = os.listdir(WINE_FONTS_DIR)
    for name in names:
        shutil.copy(os.path.join(WINE_FONTS_DIR, name), target)
    try:
        yield
    finally:
        for name in names:
            os.remove(os.path.join(target, name))


@contextlib.contextmanager
def screen_dpi(dpi):
    """The screen's scale, in dots per inch, for the programs started meanwhile."""
    key = r"HKCU\Control Panel\Desktop"
    run_wine_tool("wine", "reg", "add", key, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi),
                  "/f")
    try:
        yield
    finally:
        run_wine_tool("wine", "reg", "delete", key, "/v", "LogPixels", "/f")


# The fonts the program's text is drawn in, and how each is set up. Debian's
# Wine 8 looks for fonts-wine's files in a folder it cannot open, so by
# default the prefix has no font of Wine's own: the default font is the
# locale's TrueType CJK font (through Wine's font links), as it is for
# every Wine without fonts-wine.
FONT_SETUPS = {
    "the default font of a prefix without Wine's fonts": lambda test: contextlib.nullcontext(),
    "the raster System font of Wine's fonts": wine_fonts_in_the_windows_folder,
}


class WinePathwickTest(ProgramTest):
    """Runs pathwick.exe in a scratch directory and drives it. Wine gives each
    of its windows the X class of the program file."""

    WINDOW_CLASSES = r"^pathwick\.exe$"

    def start(self, *arguments, missing=(), map_codes=None, map_file=MAP_FILE,
              texture_file=TEXTURE_FILE, program=None, workdir=None, locale=None):
        """Starts the program (`program`, by default the one under test) with
        copies of the data files but those `missing`;
        `map_codes` (100 cell codes, row 0 first) replaces the shipped map.
        The copies go to `map_file` and `texture_file`, paths in the
        program's working directory. Wine logs the text of every message
        box the program opens; box_texts() reads them. `workdir`, a
        folder that holds the files already, replaces the scratch folder;
        `locale` replaces the Chinese one, and Wine logs the menu items too
        (loaded_menu_captions() reads them)."""
        self.workdir = workdir
        if workdir is None:
            workdir = tempfile.mkdtemp(prefix="pathwick-wine-e2e-")
            self.addCleanup(shutil.rmtree, workdir, True)
            self.workdir = workdir
        else:
            missing = (MAP_FILE, TEXTURE_FILE)
        for name, copy in ((MAP_FILE, map_file), (TEXTURE_FILE, texture_file)):
            if name not in missing:
                copy = os.path.join(workdir, copy)
                os.makedirs(os.path.dirname(copy), exist_ok=True)
                shutil.copy(os.path.join(DATA_DIR, name), copy)
        if map_codes is not None:
            with open(os.path.join(workdir, map_file), "w") as stream:
                stream.write(" ".join(map(str, map_codes)))
        self.start_program(program or PATHWICK_EXE, workdir, *arguments, locale=locale)

    def start_program(self, program, workdir, *arguments, locale=None):
        """Starts `program` (a path on this side) in `workdir`, logging the
        text of every message box it opens in a scratch folder; in `locale`,
        if given, with the menu items logged too."""
        logs = tempfile.mkdtemp(prefix="pathwick-wine-log-")
        self.addCleanup(shutil.rmtree, logs, True)
        self.wine_log = os.path.join(logs, "wine.log")
        env = dict(WINE_ENV, WINEDEBUG="-all,+msgbox")
        if locale:
            env = dict(locale_env(locale), WINEDEBUG="-all,+msgbox,+menu")
        with open(self.wine_log, "wb") as log:
            super().start(["wine", program, *arguments], workdir, env, stderr=log)

    def logged_strings(self, pattern):
        """The strings of the Wine log that `pattern` quotes, decoded."""
        with open(self.wine_log, encoding="ascii", errors="replace") as log:
            return [decode_wine_string(quoted) for quoted in re.findall(pattern, log.read())]

    def box_texts(self):
        """The texts of the message boxes opened so far, as the program gave them."""
        return self.logged_strings(r':MSGBOX_OnInit L"((?:[^"\\]|\\.)*)"')

    def loaded_menu_captions(self):
        """The captions of the program's menu items (ids 40001 to 40008) in
        the order they were loaded."""
        return self.logged_strings(
            r'set_menu_item_info to: \{ ID=0x9c4[1-8], Text=L"((?:[^"\\]|\\.)*)"')

    def main_menu_items(self):
        """Centres of the menu bar's captions: the bar lies right above the drawing area."""
        scene = self.scene
        return self.menu_items((scene.x, scene.y - MENU_BAR_HEIGHT + 3, scene.x + scene.width,
                                scene.y - 3))

    def close_button(self, window):
        x, y, width, _ = geometry(window)
        dx, dy = CLOSE_BUTTON_FROM_TOP_RIGHT
        return x + width + dx, y + dy


class QuestionTest(WinePathwickTest):
    def test_cancel_and_escape_give_the_framed_window_with_its_menu_bar(self):
        # Tab takes the focus from OK to Cancel, and space presses Cancel.
        for way, keys in {"Cancel": ("Tab", "space"), "Escape": ("Escape",)}.items():
            with self.subTest(way):
                self.start()
                box = self.window_named(QUESTION_CAPTION)
                assert_centred(geometry(box), (0, 0, *SCREEN))
                self.answer_question(*keys)
                window = self.main_window()
                self.assertEqual(outer_frame(window), FRAMED_OUTER)
                self.assertEqual(len(self.main_menu_items()), MENU_ITEM_COUNT)
                wall = Screenshot().area(self.scene.cell(*cells_with(self.shipped_map(), WALL)[0]))
                self.assertGreater(len(set(wall)), 10, "a wall cell is drawn flat")
                press("Escape")
                self.assert_exits_with_1()

    def test_ok_gives_a_borderless_screen_sized_window_above_the_others(self):
        self.start()
        self.answer_question("Return")
        self.assert_full_screen(self.main_window())
        press("Escape")
        self.assert_exits_with_1()

    @staticmethod
    def shipped_map():
        return read_map(os.path.join(DATA_DIR, MAP_FILE))


class LanguageTest(WinePathwickTest):
    def test_question_menu_and_about_box_speak_the_ui_language(self):
        # Wine takes the user's UI language from the locale.
        for locale, texts in LANGUAGES.items():
            with self.subTest(locale):
                self.start(locale=locale)
                self.answer_question("Escape", caption=texts.question_caption)
                window = self.main_window()
                click(*self.main_menu_items()[ABOUT_ITEM])
                self.focused_window_named(texts.about_caption)
                press("Return")
                wait_until(lambda: focused_window() == window, "the focus back after the About box")
                press("Escape")
                self.assert_exits_with_1()
                self.assertEqual(self.box_texts(), [texts.question, texts.about])
                self.assertEqual(self.loaded_menu_captions(), texts.menu)


class CommandTest(WinePathwickTest):
    def setUp(self):
        self.start("--windowed")
        self.window = self.main_window()
        self.slow_down()

    def test_return_shift_and_ctrl_start_pause_and_resume(self):
        self.assert_keys_start_pause_and_resume()

    def test_menu_items_do_what_their_keys_do(self):
        items = self.main_menu_items()
        click(*items[START_ITEM])
        self.assert_moving()
        click(*items[PAUSE_ITEM])
        self.assert_still()
        click(*items[RESUME_ITEM])
        self.assert_moving()

    def test_f1_shows_the_about_box_and_the_frames_stop_until_ok(self):
        press("Return")
        self.assert_moving()
        self.assert_about_box_stops_the_frames_until_ok(self.window)


class PictureTest(WinePathwickTest):
    def test_the_title_line_has_a_gap_where_each_space_is(self):
        # Spaces that do not advance leave at most the gap that the glyphs'
        # own side bearings make, narrower than a space, so every space must
        # show as a gap at least the space's advance wide (anywhere else in
        # the line such gaps are rare: the raster font's "1" before "8").
        spaces = f"{TITLE} ---FPS: 0".count(" ")
        for fonts, font_setup in FONT_SETUPS.items():
            with self.subTest(fonts), font_setup(self):
                self.start("--windowed")
                self.main_window()
                # The framed window's title line takes the top 20 scene units.
                left, top, right, bottom = self.scene.rect(0, SCENE_SIZE - 20, SCENE_SIZE,
                                                           SCENE_SIZE)
                shot = Screenshot()
                inked = [column for column in range(left, right)
                         if any(shot.pixel(column, row) == TITLE_LINE_COLOUR
                                for row in range(top, bottom))]
                gaps = [later - earlier - 1 for earlier, later in zip(inked, inked[1:])
                        if later - earlier > 1]
                self.assertGreaterEqual(len([gap for gap in gaps if gap >= SPACE_ADVANCE]),
                                        spaces, f"gaps between the title's glyphs: {gaps}")
                press("Escape")
                self.assert_exits_with_1()

    def test_the_about_box_face_is_drawn_where_it_covers_the_picture(self):
        # The framed window as reported with a black box: the map and texture
        # named in Chinese, in a folder with a Chinese name, F1 before the
        # search starts, the face read 1.5 s later. Full screen with the
        # search running.
        named = UnicodeFileNameTest
        starts = {"--windowed": dict(arguments=("--windowed", f"--map={named.MAP}", "--texture",
                                                named.TEXTURE),
                                     map_file=named.MAP, texture_file=named.TEXTURE),
                  "--fullscreen": dict(arguments=("--fullscreen",))}
        for window, start in starts.items():
            with self.subTest(window):
                self.start(*start.pop("arguments"), **start)
                self.main_window()
                if window == "--fullscreen":
                    press("Return")
                press("F1")
                box = geometry(self.focused_window_named(ABOUT_CAPTION))
                self.assert_over_the_picture(box)
                time.sleep(BOX_FACE_WAIT)
                x, y, width, height = box
                left, top, right, bottom = BOX_FACE_INSET
                face = Screenshot().area((x + left, y + top, x + width - right,
                                          y + height - bottom))
                black = face.count((0, 0, 0))
                self.assertLess(black, len(face) // 4,
                                f"{black} of the face's {len(face)} pixels are black")
                press("Return")
                wait_until(lambda: ABOUT_CAPTION not in self.window_names(),
                           "the About box to close")
                self.focused_window_named(TITLE)
                press("Escape")
                self.assert_exits_with_1()

    def assert_over_the_picture(self, box):
        x, y, width, height = box
        scene = self.scene
        self.assertTrue(scene.x <= x and x + width <= scene.x + scene.width and
                        scene.y <= y and y + height <= scene.y + scene.height,
                        f"the box {box} does not lie over the picture")


class ScaleTest(WinePathwickTest):
    """The framed window on a screen scaled to 150 % (Windows' LogPixels
    setting, which Wine reads at each program start)."""

    def test_the_framed_window_grows_with_the_scale_and_its_picture_with_it(self):
        scenes = {}
        for dpi, outer in ((96, FRAMED_OUTER), (144, (0, 0, 630, 630))):
            with self.subTest(dpi=dpi), screen_dpi(dpi):
                self.start("--windowed")
                window = self.main_window()
                self.assertEqual(outer_frame(window), outer)
                scenes[dpi] = self.scene.size
                press("Escape")
                self.assert_exits_with_1()
        # Caption, menu bar and frame grow by the same factor: a menu bar in
        # two rows would leave the picture about 30 pixels smaller.
        self.assertAlmostEqual(scenes[144] / scenes[96], 1.5, delta=0.02)


class GlyphListTest(unittest.TestCase):
    """glyph-lists-test.exe compares each glyph the font lists draw with the
    character as GDI draws it in the window's font. The unsmoothed bitmaps
    that wglUseFontBitmapsA compiles lose pixels of small TrueType glyphs
    under Wine (in the CJK font at 16 pixels a hyphen is a dot), which the
    program mends; the raster System font of Wine's fonts loses none."""

    def test_every_glyph_has_the_pixels_gdi_draws_at_each_scale_and_locale(self):
        for fonts, font_setup in FONT_SETUPS.items():
            for dpi in (96, 144):
                for locale in ("C.UTF-8", WINE_LOCALE):
                    with self.subTest(fonts, dpi=dpi, locale=locale), font_setup(self), \
                            screen_dpi(dpi):
                        done = subprocess.run(["wine", GLYPH_LISTS_TEST],
                                              env=dict(WINE_ENV, LC_ALL=locale),
                                              capture_output=True, text=True, errors="replace",
                                              timeout=60)
                        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)


class PointerCaptureTest(unittest.TestCase):
    """pointer-capture-test.exe sends the window the mouse messages of
    presses, drags and releases: the window's own release at the end of a
    drag reports no more releases; a capture someone else ends reports both
    buttons released."""

    def test_only_a_capture_taken_away_reports_releases(self):
        done = subprocess.run(["wine", POINTER_CAPTURE_TEST], env=WINE_ENV, capture_output=True,
                              text=True, errors="replace", timeout=60)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)


class SpeedTest(WinePathwickTest):
    """The speed keys, seen in how fast the arrow runs along a straight
    corridor (ProgramTest.speed)."""
    def test_down_end_and_up_change_the_speed(self):
        self.start("--windowed", map_codes=CORRIDOR)
        self.main_window()
        self.slow_down()
        self.assertLess(self.speed(), CAPPED_SPEED_LIMIT,
                        "Down does not cap the frames at 15 a second")
        press("End")
        self.assertGreater(self.speed(), UNCAPPED_SPEED_FLOOR, "End does not remove the cap")
        self.slow_down()
        press_times("Up", SPEED_RANGE_PRESSES)
        self.assertGreater(self.speed(), UNCAPPED_SPEED_FLOOR, "Up does not speed the search up")


class HelpTest(WinePathwickTest):
    def test_slash_question_mark_shows_the_help_in_a_box_of_short_lines(self):
        self.start("/?")
        box = self.focused_window_named(NOTICE_CAPTION)
        _, _, width, height = geometry(box)
        # One option or key a line: a narrow box, taller than wide.
        self.assertLess(width, HELP_BOX_MAX_WIDTH)
        self.assertGreater(height, width)
        press("Return")
        self.assertEqual(self.program.wait(timeout=TIMEOUT), 0)

    def test_bad_usage_shows_what_is_wrong_and_where_help_is_in_a_box_and_exits_with_2(self):
        self.start("--windowed=yes")
        self.focused_window_named(NOTICE_CAPTION)
        self.assertEqual(self.box_texts(), ["option '--windowed' takes no value\n"
                                            "Try 'pathwick --help' for more information."])
        press("Return")
        self.assertEqual(self.program.wait(timeout=TIMEOUT), 2)


class EndingTest(WinePathwickTest):
    def test_escape_the_exit_item_and_the_close_button_end_with_exit_code_1(self):
        ways = {
            "Escape": lambda window: press("Escape"),
            "menu item 退出": lambda window: click(*self.main_menu_items()[EXIT_ITEM]),
            "close button": lambda window: click(*self.close_button(window)),
        }
        for way, close in ways.items():
            with self.subTest(way):
                self.start("--windowed")
                close(self.main_window())
                self.assert_exits_with_1()


class GentleTest(SharedGentleTests, WinePathwickTest):
    # Windows composes every window since Windows 8, so a covered window
    # still has pixels to draw: only minimizing counts.
    COVER_RESTS = False


class DataFileTest(SharedDataFileTests, WinePathwickTest):
    def test_cells_have_the_colours_of_the_linux_program_and_flat_walls_without_texture(self):
        # Every code with a colour of its own, all over the grid; the arrow
        # stands on the open cell at column 0, row 0.
        codes = [1] + [list(CELL_COLOURS)[index % len(CELL_COLOURS)] for index in range(1, 100)]
        self.start("--windowed", missing=(TEXTURE_FILE,), map_codes=codes)
        self.main_window()
        shot = Screenshot()
        for index, code in enumerate(codes[1:], start=1):
            cell = (index % 10, index // 10)
            for pixel in set(shot.area(self.scene.cell(*cell))):
                self.assertEqual(pixel, CELL_COLOURS[code], f"cell {cell} with code {code}")
        press("Escape")
        self.assert_exits_with_1()


class UnicodeFileNameTest(WinePathwickTest):
    """Files named on the command line in Chinese, in a folder with a Chinese
    name. The emoji lies outside every ANSI code page (and outside UTF-16's
    first 65536 characters): only a program that reads its command line as
    UTF-16 can get that name."""

    FOLDER = "迷宫文件夹"
    MAP = FOLDER + "/迷宫.txt"
    TEXTURE = FOLDER + "/石墙🧱.bmp"
    CORRIDOR = [1] * 9 + [9] + [WALL] * 90  # row 0 open up to the exit at its end

    def test_map_and_texture_load_through_their_unicode_names(self):
        # No default files: all that shows comes through the named ones.
        self.start("--windowed", f"--map={self.MAP}", "--texture", self.TEXTURE,
                   map_codes=self.CORRIDOR, map_file=self.MAP, texture_file=self.TEXTURE)
        self.main_window()
        shot = Screenshot()
        self.assertEqual(set(shot.area(self.scene.cell(5, 0))), {CELL_COLOURS[1]},
                         "the open cells of the named map are not drawn")
        self.assertEqual(set(shot.area(self.scene.cell(9, 0))), {CELL_COLOURS[9]})
        wall = shot.area(self.scene.cell(5, 5))
        self.assertGreater(len(set(wall)), 10, "the walls carry no texture")
        press("Escape")
        self.assert_exits_with_1()

    def test_started_elsewhere_it_reads_the_files_beside_it_in_a_unicode_folder(self):
        # The zip's folder, unpacked under the Chinese name; the working
        # directory has no data files.
        folder = os.path.join(tempfile.mkdtemp(prefix="pathwick-wine-zip-"), self.FOLDER + "🧱")
        self.addCleanup(shutil.rmtree, os.path.dirname(folder), True)
        os.mkdir(folder)
        shutil.copy(PATHWICK_EXE, folder)
        shutil.copy(os.path.join(DATA_DIR, TEXTURE_FILE), folder)
        with open(os.path.join(folder, MAP_FILE), "w") as stream:
            stream.write(" ".join(map(str, self.CORRIDOR)))
        self.start("--windowed", missing=(MAP_FILE, TEXTURE_FILE),
                   program=os.path.join(folder, os.path.basename(PATHWICK_EXE)))
        self.main_window()
        shot = Screenshot()
        self.assertEqual(set(shot.area(self.scene.cell(5, 0))), {CELL_COLOURS[1]},
                         "the map beside the program is not read")
        self.assertGreater(len(set(shot.area(self.scene.cell(5, 5)))), 10,
                           "the texture beside the program is not read")
        press("Escape")
        self.assert_exits_with_1()

    def test_missing_named_map_is_reported_with_its_name_as_typed_and_the_program_runs_on(self):
        name = self.FOLDER + "\\不在这里🧭.txt"
        self.start("--windowed", "--map", name)
        box = self.focused_window_named(NOTICE_CAPTION)
        self.assertEqual(self.box_texts(),
                         [f"cannot read the map file '{name}': it does not exist; "
                          "every cell stays a wall"])
        press("Return")
        wait_until(lambda: box not in self.window_names().values(), "the box to close")
        self.main_window()
        self.assert_maze_drawn()
        press("Escape")
        self.assert_exits_with_1()


class EditTest(SharedEditTests, WinePathwickTest):
    line_end = "\r\n"  # a Windows program writes Windows text files

    def test_a_map_that_cannot_be_written_shows_one_warning_box_and_the_screen_and_file_stay(self):
        for case in ("read-only file", "read-only folder"):
            with self.subTest(case):
                if case == "read-only file":
                    self.start("--windowed", "--edit", map_codes=EDIT_MAP)
                    # Wine gives a file without write permission the read-only attribute.
                    os.chmod(os.path.join(self.workdir, MAP_FILE), 0o444)
                    reason = "the file is read-only"
                else:
                    self.start("--windowed", "--edit",
                               workdir=read_only_folder(self, edit_files(DATA_DIR)))
                    reason = None  # Windows' own words, in the prefix's language
                map_path = os.path.join(self.workdir, MAP_FILE)
                before = file_text(map_path)
                window = self.main_window()
                click(*self.cell_centre(OPENED_CELL))
                box = self.focused_window_named(NOTICE_CAPTION)
                press("Return")
                wait_until(lambda: box not in self.window_names().values(), "the box to close")
                self.focused_window_named(TITLE)
                click(*self.cell_centre(NEW_EXIT), button=3)
                time.sleep(SETTLE)

                texts = self.box_texts()
                self.assertEqual(len(texts), 1, texts)
                self.assertRegex(texts[0], "^cannot write the map file 'MazeMap.txt': " +
                                 (reason or ".+") + "; the edit is undone$")
                shot = Screenshot()
                for cell in (OPENED_CELL, NEW_EXIT):
                    self.assertGreater(len(set(shot.area(self.scene.cell(*cell)))), 10,
                                       f"cell {cell} lost its stone")
                self.assertEqual(file_text(map_path), before)
                self.assertEqual(self.window_names().get(TITLE), window)
                press("Escape")
                self.assert_exits_with_1()

    def test_a_linked_map_keeps_its_links_and_every_name_shows_the_edit(self):
        # Wine counts the Unix side's hard links (nNumberOfLinks), and gives
        # a Unix symbolic link's target as the file's final path; a rename
        # over the map's name would leave the other name with the old maze,
        # or put a file where the link was.
        def hard_link(map_path, shared):
            os.link(map_path, shared)

        def symbolic_link(map_path, shared):
            os.rename(map_path, shared)
            os.symlink(os.path.relpath(shared, self.workdir), map_path)

        edited = EDIT_MAP[:]
        edited[OPENED_CELL[0] + 10 * OPENED_CELL[1]] = 1
        expected = map_text(edited, self.line_end)
        for link in (hard_link, symbolic_link):
            with self.subTest(link.__name__):
                self.start("--windowed", "--edit", map_codes=EDIT_MAP)
                map_path = os.path.join(self.workdir, MAP_FILE)
                os.mkdir(os.path.join(self.workdir, "maps"))
                shared = os.path.join(self.workdir, "maps", "Shared.txt")
                link(map_path, shared)
                inode = os.stat(shared).st_ino
                self.main_window()
                click(*self.cell_centre(OPENED_CELL))

                wait_until(lambda: file_text(shared) == expected, "the other name to hold the edit")
                self.assertEqual(file_text(map_path), expected)
                if link is hard_link:  # written where it is
                    self.assertEqual(os.stat(shared).st_ino, inode)
                self.assertEqual(os.path.islink(map_path), link is symbolic_link)
                # No new file left beside either name.
                self.assertEqual(sorted(os.listdir(os.path.join(self.workdir, "maps"))),
                                 ["Shared.txt"])
                self.assertEqual([name for name in os.listdir(self.workdir) if MAP_FILE in name],
                                 [MAP_FILE])
                press("Escape")
                self.assert_exits_with_1()

    def test_a_hidden_system_map_is_replaced_and_keeps_its_attributes(self):
        # Wine keeps a file's DOS attributes in an extended attribute of the
        # Unix file, which a new file renamed over it must be given again.
        self.start("--windowed", "--edit", map_codes=EDIT_MAP)
        map_path = os.path.join(self.workdir, MAP_FILE)
        # (Wine's attrib takes one attribute a call.)
        self.run_in_workdir("attrib", "+h", MAP_FILE)
        self.run_in_workdir("attrib", "+s", MAP_FILE)
        self.assertEqual(self.dos_attributes(MAP_FILE), {"A", "H", "S"})
        inode = os.stat(map_path).st_ino
        self.main_window()
        click(*self.cell_centre(OPENED_CELL))

        edited = EDIT_MAP[:]
        edited[OPENED_CELL[0] + 10 * OPENED_CELL[1]] = 1
        wait_until(lambda: file_text(map_path) == map_text(edited, self.line_end),
                   "the map file to hold the edit")
        self.assertNotEqual(os.stat(map_path).st_ino, inode, "written in place, not replaced")
        self.assertEqual(self.dos_attributes(MAP_FILE), {"A", "H", "S"})
        press("Escape")
        self.assert_exits_with_1()

    def run_in_workdir(self, *command):
        """Runs a command of Wine's cmd in the program's working directory;
        its output."""
        return subprocess.run(["wine", "cmd", "/c", *command], env=WINE_ENV, cwd=self.workdir,
                              check=True, capture_output=True, text=True, errors="replace",
                              timeout=TIMEOUT).stdout

    def dos_attributes(self, name):
        """The attribute letters that attrib shows before the file's name."""
        line = self.run_in_workdir("attrib", name).strip()
        return set(line[:line.index(":") - 1].replace(" ", ""))

    def test_in_the_programs_own_folder_it_edits_a_copy_in_documents_and_says_so(self):
        # As the Start-menu shortcut starts it: in the installation's folder.
        folder = tempfile.mkdtemp(prefix="pathwick-wine-installed-")
        self.addCleanup(shutil.rmtree, folder, True)
        for name, contents in edit_files(DATA_DIR).items():
            with open(os.path.join(folder, name), "wb") as stream:
                stream.write(contents)
        shutil.copy(PATHWICK_EXE, folder)
        installed = file_text(os.path.join(folder, MAP_FILE))
        users = os.path.join(WINE_ENV["WINEPREFIX"], "drive_c", "users")
        copies = os.path.join(users, "*", "Documents", "Pathwick")
        self.addCleanup(lambda: [shutil.rmtree(found, True) for found in glob.glob(copies)])
        self.start("--windowed", "--edit", workdir=folder,
                   program=os.path.join(folder, os.path.basename(PATHWICK_EXE)))
        # Wine takes its time over a program file it has not run from there.
        wait_until(lambda: self.window_names().get(NOTICE_CAPTION), "the notice box",
                   timeout=3 * TIMEOUT)
        self.focused_window_named(NOTICE_CAPTION)
        self.assertRegex(self.box_texts()[0], r"^the installed maze is not edited: the edits go "
                         r"to 'C:\\users\\[^\\]+\\Documents\\Pathwick\\MazeMap\.txt'$")
        press("Return")
        self.main_window()
        click(*self.cell_centre(OPENED_CELL))

        edited = EDIT_MAP[:]
        edited[OPENED_CELL[0] + 10 * OPENED_CELL[1]] = 1
        expected = map_text(edited, self.line_end)
        wait_until(lambda: [file_text(os.path.join(found, MAP_FILE))
                            for found in glob.glob(copies)] == [expected],
                   "the copy in Documents to hold the edit")
        self.assertEqual(file_text(os.path.join(folder, MAP_FILE)), installed)
        press("Escape")
        self.assert_exits_with_1()


class StudyTest(SharedStudyTests, WinePathwickTest):
    line_end = "\r\n"


if __name__ == "__main__":
    if len(sys.argv) < 5:
        sys.exit(__doc__)
    PATHWICK_EXE, DATA_DIR, GLYPH_LISTS_TEST, POINTER_CAPTURE_TEST = map(os.path.abspath,
                                                                         sys.argv[1:5])
    unittest.main(argv=sys.argv[:1] + sys.argv[5:], verbosity=2)
