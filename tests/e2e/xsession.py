"""What the end-to-end tests share: a private X session and the program in it.

start_display() starts Xvfb (1024x768, or 3840x2160 at a density asked for)
with a window manager (openbox unless told otherwise); the helpers below drive it with xdotool, read window
geometry (xwininfo, xprop) and the pixels of root-window screenshots
(ImageMagick's import). ProgramTest drives one run of
the program; each test file says how to start it and how to find its windows.
"""

import ctypes
import ctypes.util
import os
import re
import select
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

SCREEN = (1024, 768)
DENSE_SCREEN = (3840, 2160)  # a 4K screen, for sessions at a density asked for
TITLE = "Pathwick --Demo Corvinder 2002-5-18"
QUESTION_CAPTION = "迷宫DEMO"
ABOUT_CAPTION = "迷宫搜索Demo"
# The programs run in the C locale, which shows the program's own, Chinese,
# texts, unless a test names another (LANGUAGES): LANG is set, and the
# variables that would override it are dropped.
DEFAULT_LOCALE = "C.UTF-8"


class Texts:
    """The texts of the question, the About box and the menu in one language."""

    def __init__(self, question, question_caption, about, about_caption, menu):
        self.question, self.question_caption = question, question_caption
        self.about, self.about_caption, self.menu = about, about_caption, menu


# A locale of each language the program has, with its texts: Chinese, the
# program's own, and English (po/en.po, ui/pathwick.rc).
LANGUAGES = {
    "zh_CN.UTF-8": Texts("是否要工作在全屏模式?", QUESTION_CAPTION,
                         "迷宫搜索Demo\n 用OpenGL加速\n\n   Orlanvey 2002-5-18", ABOUT_CAPTION,
                         ["开始", "暂停", "继续", "加速", "减速", "关于", "退出", "全速"]),
    "en_US.UTF-8": Texts("Run in full screen mode?", "Maze Demo",
                         "Maze Search Demo\n Accelerated with OpenGL\n\n   Orlanvey 2002-5-18",
                         "Maze Search Demo",
                         ["Start", "Pause", "Resume", "Faster", "Slower", "About", "Exit",
                          "Full speed"]),
}
MAP_FILE = "MazeMap.txt"
TEXTURE_FILE = "Stone.BMP"

TIMEOUT = 10.0  # the longest any single wait may take, in seconds
SETTLE = 0.3  # time for a key or click to reach the next frame
STILL_SPAN = 1.0  # a still picture is compared over this long
RESTING_SHARE = 0.1  # of a core: far above a blocked program, far below a drawing one
SPEED_SPAN = 1.0  # seconds over which the arrow's speed is measured
# The display's refresh rate that --gentle follows where the display does not
# tell it (Xvfb does not), and what the measured speed may exceed it by.
ASSUMED_REFRESH = 60
SPEED_MARGIN = 1.2
COST_SPAN = 2.0  # seconds over which a program's share of a core is compared

SCENE_SIZE = 360  # scene units on each side, mapped onto a centred square
MAZE_LOW, MAZE_HIGH = 30, 330  # the maze's extent in scene units
WALL, OPEN, DEAD_END, TRAIL, MARKER, EXIT = 0, 1, 2, 3, 8, 9  # cell codes of the map
CORRIDOR = [1] * 10 + [WALL] * 90  # row 0 open, the rest walls: a straight run east
UNTEXTURED_WALL = (102, 51, 0)  # (0.4, 0.2, 0.0) * 255
TITLE_LINE_COLOUR = (255, 0, 255)  # drawn in every frame
# The fill colours of open cells, the exit and the trail, the arrow's colour,
# and the cell the arrow starts on.
OPEN_CELL = (102, 102, 76)  # (0.4, 0.4, 0.3) * 255
EXIT_CELL = (0, 255, 0)
TRAIL_CELL = (0, 178, 0)  # (0, 0.7, 0) * 255
DEAD_END_CELL = (128, 128, 128)
ARROW = (255, 0, 0)
START_CELL = (0, 0)
COLOUR_TOLERANCE = 2
KEY_HELP_COLOUR = (0, 255, 0)
MENU_CAPTION_GAP = 6  # pixels: wider than any gap inside a caption, narrower than between two
SLOWEST_SPEED_PRESSES = 17  # Down presses from the start setting to 15 frames per second

DISPLAY_ENV = {}

# The window managers a session can run, each with the command that starts
# it. xfwm4 keeps its settings in a D-Bus service, so it gets a session bus
# of its own; its compositor is left off, as it only adds drawing work.
WINDOW_MANAGERS = {
    "openbox": ["openbox"],
    "icewm": ["icewm"],
    "fluxbox": ["fluxbox"],
    "xfwm4": ["dbus-run-session", "--", "xfwm4", "--compositor=off"],
    "metacity": ["metacity", "--no-composite"],
    # i3 reads the configuration that start_window_manager writes (without
    # one it opens its first-run wizard); awesome runs Debian's own rc.lua.
    "i3": ["i3", "-c", "{home}/i3.config"],
    "awesome": ["awesome"],
    # kwin runs its D-Bus services on a session bus of its own, as xfwm4;
    # without a GPU it composites nothing (KWIN_COMPOSE=N).
    "kwin": ["dbus-run-session", "--", "kwin_x11"],
    # mutter, GNOME's, on X (it composites, in software here), with its
    # settings' service on a session bus of its own.
    "mutter": ["dbus-run-session", "--", "mutter", "--x11"],
}
# What a manager needs in its environment besides the display's: Qt's X11
# platform for kwin, whatever the machine's session may ask for.
MANAGER_ENVIRONMENT = {"kwin": {"QT_QPA_PLATFORM": "xcb", "KWIN_COMPOSE": "N"}}
# Tiling managers size the framed window themselves.
TILING_MANAGERS = {"i3"}
# i3's defaults, with its bar at the bottom (showing no status).
I3_CONFIG = """# i3 config file (v4)
font pango:monospace 10
bar {
    status_command exec sleep infinity
}
"""
WINDOW_MANAGER_TIMEOUT = 30.0  # xfwm4 with its D-Bus services takes seconds on a busy machine

# metacity draws a drop shadow around its frames (a one-pixel darker line,
# then a soft fade), also with its compositor off. Under it the desktop is
# yellow instead of white: a shadow is then the desktop darkened, (k, k, 0),
# which no frame pixel is, and visible_frame leaves it out.
SHADOWED_DESKTOP = (255, 255, 0)
MANAGERS_WITH_SHADOWS = {"metacity", "mutter"}
SESSION = {"shadows": False, "screen": SCREEN}  # set by start_display


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


def click(x, y, button=1):
    """Presses and releases mouse `button` (1 left, 3 right) at (x, y)."""
    x_tool("xdotool", "mousemove", str(x), str(y), "click", str(button))


def stop_process(process):
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=3)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def stop_process_group(process):
    """Stops a process started in a session of its own, and what it started."""
    try:
        os.killpg(process.pid, signal.SIGTERM)
    except ProcessLookupError:
        pass
    stop_process(process)


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


def start_display(home, add_cleanup=unittest.addModuleCleanup, window_manager="openbox",
                  dpi=None):
    """Starts Xvfb on a free display number, then the window manager named
    (one of WINDOW_MANAGERS, or None for none); registers their stop with
    `add_cleanup` (the test module's cleanups unless told otherwise).
    DISPLAY_ENV is then the environment for X clients, with HOME at `home`.
    With `dpi`, the screen is DENSE_SCREEN at that density, and the resource
    database holds Xft.dpi with it, as desktops publish their scale."""
    read_end, write_end = os.pipe()
    width, height = SCREEN if dpi is None else DENSE_SCREEN
    density = [] if dpi is None else ["-dpi", str(dpi)]
    # A white desktop (-wr): frames have dark outer edges, which a black one
    # would hide from visible_frame. (Yellow under a manager with shadows.)
    xvfb = subprocess.Popen(
        # -noreset: without a window manager the server would reset each time
        # its last client leaves, and refuse connections while it does.
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
         *density, "-wr", "-noreset", "-nolisten", "tcp"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    add_cleanup(stop_process, xvfb)
    os.close(write_end)
    try:
        number = read_display_number(read_end)
    finally:
        os.close(read_end)
    DISPLAY_ENV.update(os.environ, DISPLAY=f":{number}", HOME=home, LANG=DEFAULT_LOCALE)
    for name in ("LANGUAGE", "LC_ALL", "LC_MESSAGES"):
        DISPLAY_ENV.pop(name, None)
    SESSION["shadows"] = window_manager in MANAGERS_WITH_SHADOWS
    SESSION["screen"] = (width, height)
    if dpi is not None:
        subprocess.run(["xrdb", "-merge"], input=f"Xft.dpi: {dpi}\n", text=True, env=DISPLAY_ENV,
                       check=True, timeout=TIMEOUT)
    if SESSION["shadows"]:
        paint_desktop(SHADOWED_DESKTOP)
    if window_manager is not None:
        start_window_manager(window_manager, home, add_cleanup)


def paint_desktop(colour):
    """Gives the root window a background of one colour (ImageMagick's display
    sets it and exits, with status 1 even when it worked)."""
    red, green, blue = colour
    subprocess.run(["display", "-window", "root", f"xc:#{red:02x}{green:02x}{blue:02x}"],
                   env=DISPLAY_ENV, capture_output=True, timeout=TIMEOUT)
    wait_until(lambda: Screenshot().pixel(0, 0) == colour, "the desktop's colour")


def start_window_manager(name, home, add_cleanup):
    """Starts the window manager `name`, waits until it manages the display
    and returns its process."""
    if name == "fluxbox":
        # Without this its style sets a wallpaper through fbsetbg, which finds
        # no wallpaper setter and says so in a window of its own.
        os.makedirs(os.path.join(home, ".fluxbox"), exist_ok=True)
        with open(os.path.join(home, ".fluxbox", "overlay"), "w") as overlay:
            overlay.write("background: none\n")
    if name == "i3":
        with open(os.path.join(home, "i3.config"), "w") as config:
            config.write(I3_CONFIG)
    log_path = os.path.join(home, f"{name}.log")
    # NO_AT_BRIDGE: no accessibility bus for xfwm4's toolkit.
    environment = dict(DISPLAY_ENV, NO_AT_BRIDGE="1", **MANAGER_ENVIRONMENT.get(name, {}))
    with open(log_path, "wb") as log:
        manager = subprocess.Popen([part.format(home=home) for part in WINDOW_MANAGERS[name]],
                                   env=environment, stdout=log,
                                   stderr=log, start_new_session=True)
    add_cleanup(stop_process_group, manager)
    try:
        if name == "kwin":
            # Its selection first: it sets the root window's hints before it
            # has taken the screen, and may yet fail to. (fluxbox and awesome
            # never own the selection.)
            wait_until(manager_selection_owned, f"{name} to own the manager selection",
                       WINDOW_MANAGER_TIMEOUT)
        wait_until(lambda: "window id" in x_tool("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"),
                   f"{name} to manage the display", WINDOW_MANAGER_TIMEOUT)
        # openbox announces itself before it has set up the screen, and a
        # window mapped in between may never show; its client list comes once
        # it manages windows. xfwm4 publishes no list until it has a client,
        # nor does awesome, whose configuration names the desktops instead.
        ready = {"xfwm4": None, "awesome": "_NET_DESKTOP_NAMES"}.get(name, "_NET_CLIENT_LIST")
        if ready:
            wait_until(lambda: f"{ready}(" in x_tool("xprop", "-root", ready),
                       f"{name} to finish starting", WINDOW_MANAGER_TIMEOUT)
    except AssertionError as error:
        with open(log_path, errors="replace") as log:
            raise RuntimeError(f"{error} ({name} exit status {manager.poll()}, "
                               f"output: {log.read()!r})") from None
    return manager


def manager_selection_owned():
    """Whether a client owns WM_S0, the selection of the window manager of
    screen 0 (Xlib through ctypes: the X tools have no query for it)."""
    xlib = ctypes.CDLL(ctypes.util.find_library("X11"))
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XInternAtom.restype = ctypes.c_ulong
    xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    xlib.XGetSelectionOwner.restype = ctypes.c_ulong
    xlib.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = xlib.XOpenDisplay(DISPLAY_ENV["DISPLAY"].encode())
    if not display:
        return False
    try:
        return xlib.XGetSelectionOwner(display, xlib.XInternAtom(display, b"WM_S0", 0)) != 0
    finally:
        xlib.XCloseDisplay(display)


# --- Windows and screenshots ------------------------------------------------


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


def top_level(window):
    """The top-level window around `window`: its frame, if it has one."""
    while (parent := parent_of(window)) is not None:
        window = parent
    return window


def outer_frame(window):
    """The geometry of the top-level window around `window`."""
    return geometry(top_level(window))


def box_outline(window):
    """What a box is centred by: the window with the frame that the window
    manager reports (_NET_FRAME_EXTENTS), or the window alone where it
    reports none. (metacity's frame windows hold invisible borders too.)"""
    x, y, width, height = geometry(window)
    text = x_tool("xprop", "-id", str(window), "_NET_FRAME_EXTENTS")
    if "=" not in text:
        return x, y, width, height
    left, right, top, bottom = (int(value) for value in text.split("=")[1].split(","))
    return x - left, y - top, width + left + right, height + top + bottom


def visible_frame(window, desktop, margin=20):
    """The window's outer frame as the user sees it: where the screen's pixels
    differ from `desktop`, a screenshot taken before the window opened, within
    `margin` pixels of its X geometry. A window manager's X geometry may
    include invisible borders or leave out an X border."""
    x, y, width, height = outer_frame(window)
    screen_width, screen_height = SESSION["screen"]
    rect = (max(0, x - margin), max(0, y - margin), min(screen_width, x + width + margin),
            min(screen_height, y + height + margin))
    return Screenshot().changes_from(desktop, rect, shadows=SESSION["shadows"])


def is_shadow_over(pixel, under):
    """Whether `pixel` is `under` darkened, as a drop shadow darkens what lies
    beneath it: every channel scaled by one factor, more than 0 and less than
    1 (give or take rounding). Black is no shadow: shadows fade out."""
    if pixel == under:
        return True
    brightest = max(range(3), key=lambda channel: under[channel])
    if under[brightest] == 0:
        return False
    factor = pixel[brightest] / under[brightest]
    return 0 < factor < 1 and all(abs(pixel[channel] - under[channel] * factor) <= 2
                                  for channel in range(3))


def drawing_area(window):
    """The geometry of the OpenGL area: the window's child window, or the window."""
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

    def extent_of(self, colour, rect):
        """The bounding box (x0, y0, x1, y1), ends excluded, of the pixels of
        exactly `colour` in `rect` (x0, y0, x1, y1), or None."""
        wanted = bytes(colour)
        x0, y0, x1, y1 = rect
        rows, columns = [], []
        for y in range(y0, y1):
            line = self.row(y, x0, x1)
            hits = [x0 + offset // 3 for offset in range(0, len(line), 3)
                    if line[offset:offset + 3] == wanted] if wanted in line else []
            if hits:
                rows.append(y)
                columns += [hits[0], hits[-1]]
        if not rows:
            return None
        return min(columns), rows[0], max(columns) + 1, rows[-1] + 1

    def extent_of_ink(self, rect):
        """The bounding box (x0, y0, x1, y1), ends excluded, of the dark
        (text) pixels in `rect` (x0, y0, x1, y1), or None."""
        x0, y0, x1, y1 = rect
        inked = [(x, y) for y in range(y0, y1) for x in range(x0, x1)
                 if sum(self.pixel(x, y)) < 300]
        if not inked:
            return None
        return (min(x for x, _ in inked), min(y for _, y in inked),
                max(x for x, _ in inked) + 1, max(y for _, y in inked) + 1)

    def row(self, y, x0, x1):
        return self.pixels[3 * (y * self.width + x0):3 * (y * self.width + x1)]

    def changes_from(self, before, rect, shadows=False):
        """The bounding box (x, y, width, height) of the pixels in `rect`
        (x0, y0, x1, y1) that differ from the screenshot `before`, or None.
        With `shadows`, a pixel that is a shadow over its pixel in `before`
        (is_shadow_over) counts as unchanged."""
        x0, y0, x1, y1 = rect
        unchanged = is_shadow_over if shadows else (lambda pixel, under: pixel == under)
        rows, columns = [], []
        for y in range(y0, y1):
            now, then = self.row(y, x0, x1), before.row(y, x0, x1)
            if now == then:
                continue
            differing = [x for x in range(x1 - x0)
                         if not unchanged(now[3 * x:3 * x + 3], then[3 * x:3 * x + 3])]
            if differing:
                rows.append(y)
                columns += [x0 + differing[0], x0 + differing[-1]]
        if not rows:
            return None
        return min(columns), rows[0], max(columns) - min(columns) + 1, rows[-1] - rows[0] + 1


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


def is_centred(inner, outer, tolerance=3):
    """Whether the rectangle `inner` (x, y, width, height) is centred on `outer`."""
    return all(abs(inner[axis] + inner[axis + 2] / 2 - outer[axis] - outer[axis + 2] / 2)
               <= tolerance for axis in (0, 1))


def assert_centred(inner, outer, tolerance=3):
    assert is_centred(inner, outer, tolerance), f"{inner} is not centred on {outer}"


def assert_box_centred(box, outer, tolerance=3):
    """The box's outline (box_outline) is, or soon becomes, centred on
    `outer`: a box can learn its frame only once it is shown, and then moves."""
    seen = []
    try:
        wait_until(lambda: seen.append(box_outline(box)) or is_centred(seen[-1], outer, tolerance),
                   "a centred box")
    except AssertionError:
        raise AssertionError(f"{seen[-1]} is not centred on {outer}") from None


def near(pixel, colour):
    """Whether `pixel` shows `colour`, give or take rounding."""
    return all(abs(channel - wanted) <= COLOUR_TOLERANCE for channel, wanted in zip(pixel, colour))


def read_map(path):
    """The cell codes of a map file, row 0 (the bottom row) first."""
    with open(path) as stream:
        return [int(value) for value in stream.read().split()[:100]]


def cells_with(codes, wanted):
    """(column, row) of every cell whose code is `wanted`."""
    return [(index % 10, index // 10) for index, code in enumerate(codes) if code == wanted]


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


def process_usage(pid):
    """(minor page faults, processor seconds: user and system, all threads)
    of process `pid` so far."""
    with open(f"/proc/{pid}/stat") as stat:
        # Counted from field 3, after the parenthesised command name: minflt
        # is field 10, utime and stime fields 14 and 15, in clock ticks.
        fields = stat.read().rsplit(")", 1)[1].split()
    return int(fields[7]), (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def processor_share(pid, span):
    """The share of one core that process `pid` used over the next `span` seconds."""
    _, before = process_usage(pid)
    time.sleep(span)
    return (process_usage(pid)[1] - before) / span


class ProgramTest(unittest.TestCase):
    """Drives one run of the program. A subclass sets WINDOW_CLASSES, a regular
    expression for the X classes of the program's windows, and calls start()."""

    WINDOW_CLASSES = None

    def start(self, command, workdir, env, stderr=None, stdin=None):
        # The server takes an ended program's windows away only once it has
        # seen the program's connection close, which on a busy machine can
        # be after the next program has started: the windows found by name
        # must be the new program's.
        if getattr(self, "program", None) is None or self.program.poll() is not None:
            wait_until(lambda: not self.window_names(), "the last program's windows to go")
        self.program = subprocess.Popen(command, cwd=workdir, env=env, stderr=stderr, stdin=stdin)
        self.addCleanup(stop_process, self.program)

    def window_names(self):
        """Name -> id of every visible window of the program."""
        names = {}
        for line in x_tool("xdotool", "search", "--onlyvisible", "--class",
                           self.WINDOW_CLASSES).split():
            names[x_tool("xdotool", "getwindowname", line).rstrip("\n")] = int(line)
        return names

    def window_named(self, name):
        return wait_until(lambda: self.window_names().get(name), f"the window '{name}'")

    def focused_window_named(self, name):
        window = self.window_named(name)
        wait_until(lambda: focused_window() == window, f"the window '{name}' to take the focus")
        return window

    def answer_question(self, *keys, caption=QUESTION_CAPTION):
        self.focused_window_named(caption)
        for key in keys:
            press(key)

    def main_window(self):
        """Waits for the program's window to show, take the focus and draw."""
        window = self.focused_window_named(TITLE)
        wait_until(lambda: Screenshot().contains(TITLE_LINE_COLOUR), "the first frame")
        self.scene = Scene(drawing_area(window))
        return window

    def menu_items(self, band):
        """Centres of the menu bar's captions (menu_captions)."""
        _, top, _, bottom = band
        return [((first + last) // 2, (top + bottom) // 2)
                for first, last in self.menu_captions(band)]

    def menu_captions(self, band):
        """The first and last screen column of each of the menu bar's
        captions: runs of columns with dark text pixels in `band`, a screen
        rectangle (x0, y0, x1, y1) inside the bar."""
        left, top, right, bottom = band

        def inked_columns():
            shot = Screenshot()
            inked = [any(sum(shot.pixel(column, row)) < 300 for row in range(top, bottom))
                     for column in range(left, right)]
            return inked if any(inked) else None

        captions = runs(wait_until(inked_columns, "the menu bar"), MENU_CAPTION_GAP)
        return [(left + first, left + last) for first, last in captions]

    def assert_keys_start_pause_and_resume(self):
        """From a waiting explorer: Return starts the search, Shift pauses it
        and Ctrl resumes it."""
        self.assert_still()
        press("Return")
        self.assert_moving()
        press("shift")
        self.assert_still()
        press("ctrl")
        self.assert_moving()

    def assert_about_box_stops_the_frames_until_ok(self, window):
        """From a running search: F1 opens the About box, its frame centred
        over the window's, and no frame runs until OK closes it."""
        press("F1")
        box = self.focused_window_named(ABOUT_CAPTION)
        assert_box_centred(box, box_outline(window))
        self.assert_still()
        press("Return")
        wait_until(lambda: ABOUT_CAPTION not in self.window_names(), "the About box to close")
        self.assert_moving()

    def assert_full_screen(self, window):
        """`window` covers the screen without a frame, stays above the others
        and shows the key help."""
        self.assertEqual(geometry(window), (0, 0, *SCREEN))
        self.assertEqual(outer_frame(window), (0, 0, *SCREEN), "the window has a frame")
        self.assertIn("_NET_WM_STATE_ABOVE", x_tool("xprop", "-id", str(window), "_NET_WM_STATE"))
        key_help = Screenshot().area(self.scene.rect(0, 335, SCENE_SIZE, SCENE_SIZE))
        self.assertIn(KEY_HELP_COLOUR, key_help, "no key help in green")

    def assert_maze_drawn(self):
        centre = Screenshot().area(self.scene.cell(5, 5))
        self.assertTrue(any(sum(pixel) > 30 for pixel in centre), "the maze is not drawn")

    def cell_shows(self, shot, cell, code):
        """Whether `cell` (column, row) of the screenshot `shot` shows `code`:
        stone for a wall (many shades, no blue), otherwise the fill colour of
        an open cell, the trail or the exit."""
        pixels = shot.area(self.scene.cell(*cell))
        if code == WALL:
            return len(set(pixels)) > 10 and all(blue == 0 for _, _, blue in pixels)
        expected = {TRAIL: TRAIL_CELL, EXIT: EXIT_CELL, DEAD_END: DEAD_END_CELL}.get(code, OPEN_CELL)
        return all(near(pixel, expected) for pixel in set(pixels))

    def assert_shows_the_map(self, codes):
        """The picture shows the map `codes` (row 0 first) as loaded; the
        start cell, under the arrow, is not looked at."""
        shot = Screenshot()
        cells = [((index % 10, index // 10), code) for index, code in enumerate(codes)]
        wrong = [(cell, code) for cell, code in cells
                 if cell != START_CELL and not self.cell_shows(shot, cell, code)]
        self.assertEqual(wrong, [], "cells (column, row) that do not show their map code")

    def cell_filled(self, cell, colour):
        """Every pixel of `cell` (but those of the arrow) shows `colour`."""
        pixels = set(Screenshot().area(self.scene.cell(*cell))) - {ARROW}
        return bool(pixels) and all(near(pixel, colour) for pixel in pixels)

    def cell_centre(self, cell):
        left, top, right, bottom = self.scene.cell(*cell)
        return (left + right) // 2, (top + bottom) // 2


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

    def arrow_x(self):
        """The x of the arrow's centre, in scene units."""
        maze = self.scene.maze()
        shot = Screenshot()
        columns = [column for column in range(maze[0], maze[2]) for row in range(maze[1], maze[3])
                   if shot.pixel(column, row) == ARROW]
        self.assertTrue(columns, "no arrow in the maze")
        return sum(columns) / len(columns) * SCENE_SIZE / self.scene.size

    def speed(self):
        """Scene units a second that the arrow runs after a restart (Return)
        along CORRIDOR: one unit a frame, so frames a second. The figure the
        program shows would be a poor measure: capped, it is the rate of the
        last frame alone, and the screenshots that would read it delay
        frames."""
        press("Return")
        time.sleep(SETTLE)
        start_x, start_time = self.arrow_x(), time.monotonic()
        time.sleep(SPEED_SPAN)
        return (self.arrow_x() - start_x) / (time.monotonic() - start_time)

    def assert_resting(self, how):
        """The program takes (nearly) no processor time, as when it draws no
        frames; `how` says what the window is."""
        time.sleep(SETTLE)
        share = processor_share(self.program.pid, STILL_SPAN)
        self.assertLess(share, RESTING_SHARE, f"the share of a core the program took {how}")

    def assert_exits_with_1(self):
        self.assertEqual(self.program.wait(timeout=TIMEOUT), 1)


# Edit mode: a small maze, a way east from the start cell that a wall closes;
# the user opens the wall (left click) and puts an exit behind it (right
# click). The marker stands for the codes no click gave, which the file keeps.
EDIT_MAP = [1, 1] + [WALL] * 53 + [8] + [WALL] * 44
OPENED_CELL, NEW_EXIT = (2, 0), (3, 0)
EDITED_MAP = [1, 1, 1, 9] + EDIT_MAP[4:]
EDITED_MAP_TEXT = "".join(" ".join(map(str, EDITED_MAP[row * 10:row * 10 + 10])) + "\n"
                          for row in range(10))


def file_text(path):
    """The text of the file at `path`, line ends as they are."""
    with open(path, newline="") as stream:
        return stream.read()


def read_only_folder(test, files):
    """A new folder holding `files` ({name: bytes}) that nobody may write,
    not even root: for root (whom permission bits do not stop) a tmpfs of
    its own, mounted read-only; for anyone else a folder and files without
    write permission. Skips the test where root may not mount."""
    folder = tempfile.mkdtemp(prefix="pathwick-read-only-")
    test.addCleanup(shutil.rmtree, folder, True)
    as_root = os.geteuid() == 0
    if as_root:
        if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", folder],
                          capture_output=True).returncode != 0:
            test.skipTest("root writes any folder, and this process may not mount a read-only one")
        test.addCleanup(subprocess.run, ["umount", "-l", folder], capture_output=True)
    for name, contents in files.items():
        with open(os.path.join(folder, name), "wb") as stream:
            stream.write(contents)
    if as_root:
        subprocess.run(["mount", "-o", "remount,ro", folder], check=True)
    else:
        # Its files too: a writable file is written where it is.
        for name in files:
            os.chmod(os.path.join(folder, name), 0o444)
        os.chmod(folder, 0o555)
        test.addCleanup(os.chmod, folder, 0o755)
    return folder


def edit_files(data_dir):
    """The files of an edit-mode run: EDIT_MAP and the shipped texture."""
    with open(os.path.join(data_dir, TEXTURE_FILE), "rb") as texture:
        return {MAP_FILE: " ".join(map(str, EDIT_MAP)).encode(), TEXTURE_FILE: texture.read()}


class SharedEditTests:
    """Edit-mode tests that hold alike for every build of the program. A test
    file mixes them into its ProgramTest subclass, whose start() takes the
    program's arguments and `map_codes`, and sets `workdir`, the program's
    working directory. `line_end` is the line end the program writes."""

    line_end = "\n"

    def test_clicks_open_a_way_to_a_new_exit_that_the_file_keeps_and_the_search_finds(self):
        self.start("--windowed", "--edit", map_codes=EDIT_MAP)
        self.main_window()
        map_path = os.path.join(self.workdir, MAP_FILE)
        click(*self.cell_centre(OPENED_CELL))
        click(*self.cell_centre(NEW_EXIT), button=3)

        expected_text = EDITED_MAP_TEXT.replace("\n", self.line_end)
        wait_until(lambda: file_text(map_path) == expected_text,
                   "the map file to hold the edits")
        wait_until(lambda: self.cell_filled(OPENED_CELL, OPEN_CELL), "the opened cell")
        wait_until(lambda: self.cell_filled(NEW_EXIT, EXIT_CELL), "the new exit")
        self.assert_still()  # the explorer waits on its start cell

        press("Return")
        wait_until(lambda: self.cell_filled((1, 0), TRAIL_CELL) and
                   self.cell_filled(OPENED_CELL, TRAIL_CELL) and
                   ARROW in Screenshot().area(self.scene.cell(*NEW_EXIT)),
                   "the explorer to reach the new exit")
        self.assert_still()  # the search is over
        # The search's marks stay on the screen, never in the file.
        self.assertEqual(file_text(map_path), expected_text)
        press("Escape")
        self.assert_exits_with_1()


    def test_two_windows_clicked_in_turn_with_no_pause_keep_every_click(self):
        # Two programs edit one map; each click is written at once, and each
        # writer reloads a map the other changed before writing its own
        # cells. Clicked in turn as fast as the clicks go, every click must
        # reach the file: a write that lands between the other's reading and
        # writing would be lost.
        self.start("--windowed", "--edit", map_codes=[OPEN] + [WALL] * 99)
        first = self.main_window()
        self.start("--windowed", "--edit", workdir=self.workdir, missing=(MAP_FILE, TEXTURE_FILE))
        second = wait_until(lambda: [window for window in self.windows_titled(TITLE)
                                     if window != first], "the second window")[0]
        scenes = []
        for window, x in ((first, 0), (second, SCREEN[0] // 2)):
            x_tool("xdotool", "windowmove", str(window), str(x), "0")
            time.sleep(SETTLE)
            self.scene = Scene(drawing_area(window))
            wait_until(lambda: self.cell_shows(Screenshot(), (9, 9), WALL), "the map drawn")
            scenes.append(self.scene)
        map_path = os.path.join(self.workdir, MAP_FILE)
        walls = cells_with(read_map(map_path), WALL)
        # Each press goes to its window as an event of its own (xdotool's
        # --window): a real press in a window without the focus is first
        # the window manager's, which takes the focus and replays it, and
        # on a busy machine the replay has been seen to reach the window
        # the pointer had moved on to.
        windows = (first, second)
        for turn, cell in enumerate(walls):
            self.scene = scenes[turn % 2]
            x, y = self.cell_centre(cell)
            x_tool("xdotool", "mousemove", str(x), str(y), "click", "--window",
                   str(windows[turn % 2]), "1")

        def kept():
            return len(walls) - len(cells_with(read_map(map_path), WALL))

        try:
            wait_until(lambda: kept() == len(walls), "every click in the file")
        except AssertionError:
            pass
        self.assertEqual(kept(), len(walls), "clicks kept in the file")

    def windows_titled(self, title):
        """The visible windows of the program whose name is `title`."""
        return [int(window) for window in
                x_tool("xdotool", "search", "--onlyvisible", "--class",
                       self.WINDOW_CLASSES).split()
                if x_tool("xdotool", "getwindowname", window).rstrip("\n") == title]


class SharedDataFileTests:
    """Data file tests that hold alike for every build of the program. A test
    file mixes them into its ProgramTest subclass, whose start() takes the
    program's arguments and `missing`, the data files to leave out."""

    def test_without_the_map_it_still_runs(self):
        self.start("--windowed", missing=(MAP_FILE,))
        self.main_window()
        self.assert_maze_drawn()
        press("Escape")
        self.assert_exits_with_1()


# A study session: the start cell open, every other cell a wall. Clicks open
# a way north to an exit; a drag then opens a corridor east from the cell
# north of the start, which the search tries before the exit.
STUDY_MAP = [OPEN] + [WALL] * 99
# The search through the corridor and back takes some 500 ticks: uncapped,
# Wine without a GPU on a busy machine may draw fewer than 30 frames a second.
SEARCH_TIMEOUT = 4 * TIMEOUT
STUDY_CLICKS = (((0, 1), 1), ((0, 2), 3))  # (cell, xdotool button)
STUDY_DRAWN = [OPEN] + [WALL] * 9 + [OPEN] + [WALL] * 9 + [EXIT] + [WALL] * 79
STUDY_CORRIDOR = [(column, 1) for column in range(1, 4)]
STUDY_PAINTED = [OPEN if (index % 10, index // 10) in STUDY_CORRIDOR else code
                 for index, code in enumerate(STUDY_DRAWN)]


def map_text(codes, line_end):
    return "".join(" ".join(map(str, codes[row * 10:row * 10 + 10])) + line_end
                   for row in range(10))


class SharedGentleTests:
    """--gentle: while the window is minimized, or covered whole where
    COVER_RESTS says the platform tells, no frame is drawn, so the program
    takes (nearly) no processor time; shown again, it goes on."""

    COVER_RESTS = True

    def test_gentle_draws_no_faster_than_the_display_and_costs_less_than_full_speed(self):
        """Uncapped (End), --gentle draws at the display's rate, whether or
        not the driver makes the swaps wait for it, and takes less of the
        processor than the program without it where that draws faster (on a
        busy machine it may not); at the lowest cap it takes no more."""
        measured = {}
        for gentle in (False, True):
            self.start(*(("--gentle",) if gentle else ()), "--windowed", map_codes=CORRIDOR)
            self.main_window()
            press("End")
            speed = self.speed()
            uncapped = processor_share(self.program.pid, COST_SPAN)
            self.slow_down()
            time.sleep(SETTLE)
            measured[gentle] = speed, uncapped, processor_share(self.program.pid, COST_SPAN)
            press("Escape")
            self.assert_exits_with_1()
        figures = "speed, share uncapped, share capped: plain %.0f %.2f %.2f, gentle %.0f %.2f %.2f" % (
            measured[False] + measured[True])
        (plain_speed, plain_uncapped, plain_capped) = measured[False]
        (gentle_speed, gentle_uncapped, gentle_capped) = measured[True]
        self.assertLess(gentle_speed, ASSUMED_REFRESH * SPEED_MARGIN, figures)
        # Shares of a core a little apart are the same on a busy machine.
        noise = 0.05
        if plain_speed > ASSUMED_REFRESH * SPEED_MARGIN * SPEED_MARGIN:
            self.assertLess(gentle_uncapped, plain_uncapped, figures)
        else:
            self.assertLess(gentle_uncapped, plain_uncapped + noise, figures)
        self.assertLess(gentle_capped, plain_capped + noise, figures)

    def test_gentle_window_rests_while_out_of_sight(self):
        self.start("--gentle", "--windowed")
        window = self.main_window()
        press("Return")
        self.assert_moving()
        x_tool("xdotool", "windowminimize", str(window))
        wait_until(lambda: "IsUnMapped" in x_tool("xwininfo", "-id", str(window)),
                   "the window to be minimized")
        self.assert_resting("minimized")
        x_tool("xdotool", "windowactivate", str(window))
        wait_until(lambda: focused_window() == window, "the keys back")
        self.assert_moving()
        if self.COVER_RESTS:
            # An xterm over the whole window, its frame included.
            cover = subprocess.Popen(["xterm", "-geometry", "100x50+0+0"], env=DISPLAY_ENV,
                                     stderr=subprocess.DEVNULL)
            self.addCleanup(stop_process, cover)
            wait_until(lambda: x_tool("xdotool", "search", "--onlyvisible", "--class", "^XTerm$"),
                       "the xterm to show")
            self.assert_resting("covered")
            stop_process(cover)
            self.assert_moving()
            wait_until(lambda: focused_window() == window, "the keys back")
        press("Escape")
        self.assert_exits_with_1()


class SharedStudyTests:
    """One session of drawing, running, going back to drawing, painting and
    stepping, alike for every build of the program (mixed in as
    SharedEditTests is). The status line is read from the picture: its red
    pixels, as a shape. What the decisions' messages look like is learnt
    from a straight run at the lowest speed, where each stays on screen for
    more than a second: "Let me  try to next directory!" from the first
    tick, "I see next position can move" from the 20th."""

    line_end = "\n"

    def status_line(self):
        """The red pixels below the maze, as offsets from their top-left
        corner; empty when there is no text."""
        shot = Screenshot()
        left, top, right, bottom = self.scene.rect(0, 0, SCENE_SIZE, MAZE_LOW)
        inked = [(x, y) for y in range(top, bottom) for x in range(left, right)
                 if shot.pixel(x, y) == ARROW]
        if not inked:
            return frozenset()
        x0, y0 = min(x for x, _ in inked), min(y for _, y in inked)
        return frozenset((x - x0, y - y0) for x, y in inked)

    def steady_status(self, passing=()):
        """The status line once two readings in a row agree, those `passing`
        left out."""
        last = [None]

        def agreed():
            now = self.status_line()
            same = now == last[0]
            last[0] = now
            return now if same and now and now not in passing else None

        return wait_until(agreed, "a steady status line")

    def learn_statuses(self, after, count):
        """The first `count` steady status lines that follow `after`, in order."""
        seen = [after]
        last = [None]

        def collect():
            now = self.status_line()
            if now and now == last[0] and now != seen[-1]:
                seen.append(now)
            last[0] = now
            return len(seen) > count

        wait_until(collect, f"{count} status lines", timeout=3 * TIMEOUT)
        return seen[1:]

    def arrow_in(self, cell):
        return ARROW in Screenshot().area(self.scene.cell(*cell, inset=0))

    def assert_held_with(self, status, cell, what, reached=lambda: True):
        """The explorer holds, in `cell`, saying `status`. `reached` tells
        that the step has got to the decision where the status line alone
        cannot: one that says what the decision before it said."""
        wait_until(lambda: self.status_line() == status and reached(), what)
        self.assert_still()
        self.assertEqual(self.status_line(), status, f"{what}: the status line changed")
        self.assertTrue(self.arrow_in(cell), f"{what}: the arrow is not in {cell}")

    def test_each_stop_names_its_decision_also_in_front_of_a_marker(self):
        # Row 0: open, open, a marker (8), which the search can neither enter
        # nor count as blocked.
        self.start("--windowed", map_codes=[OPEN, OPEN, MARKER] + [WALL] * 97)
        self.main_window()
        resting = self.steady_status()
        press("space")
        can_move = self.steady_status(passing=(resting,))
        self.assert_held_with(can_move, (0, 0), "the first decision: east is open")
        press("space")
        # In front of the marker: what the search says of a wall there, the
        # next heading, not the line of the move before.
        next_heading = self.steady_status(passing=(can_move,))
        self.assert_held_with(next_heading, (1, 0), "the stop in front of the marker")
        self.assertNotIn(next_heading, (resting, can_move))
        press("space")
        self.assert_held_with(next_heading, (1, 0), "the stop in front of the marker again")
        press("Escape")
        self.assert_exits_with_1()

    def test_n_draws_a_new_maze_into_the_map_file_with_edit(self):
        self.start("--windowed", "--edit", map_codes=STUDY_MAP)
        self.main_window()
        map_path = os.path.join(self.workdir, MAP_FILE)
        drawn = file_text(map_path)
        asks_for_clicks = self.steady_status()
        press("n")
        wait_until(lambda: file_text(map_path) != drawn, "the new maze in the map file")
        codes = [int(code) for code in file_text(map_path).split()]
        self.assertEqual((len(codes), codes.count(EXIT)), (100, 1))
        self.assertNotEqual(self.steady_status(), asks_for_clicks,
                            "the status line does not name the new maze")
        self.assert_shows_the_map(codes)
        # The explorer waits on it: clicks still draw.
        cell = next((index % 10, index // 10) for index, code in enumerate(codes)
                    if code == WALL)
        click(*self.cell_centre(cell), button=1)
        codes[cell[0] + 10 * cell[1]] = OPEN
        wait_until(lambda: [int(code) for code in file_text(map_path).split()] == codes,
                   "the click on the new maze in the map file")
        press("Escape")
        self.assert_exits_with_1()

    def test_draw_run_go_back_paint_and_step(self):
        self.start("--windowed", "--edit", map_codes=STUDY_MAP)
        self.main_window()
        map_path = os.path.join(self.workdir, MAP_FILE)
        asks_for_clicks = self.steady_status()

        # Draw, then run at the lowest speed, learning the decisions' lines.
        for cell, button in STUDY_CLICKS:
            click(*self.cell_centre(cell), button=button)
        wait_until(lambda: file_text(map_path) == map_text(STUDY_DRAWN, self.line_end),
                   "the map file to hold the clicks")
        self.slow_down()
        press("Return")
        next_heading, can_move = self.learn_statuses(asks_for_clicks, 2)
        press("End")
        wait_until(lambda: self.arrow_in((0, 2)) and self.cell_filled((0, 1), TRAIL_CELL),
                   "the search to find the exit")
        # The arrow shows in the exit while it walks in, the probe's line
        # still on, which slow frames (Wine) may show twice in a row.
        found = self.steady_status(passing=(can_move,))
        self.assertEqual(len({asks_for_clicks, next_heading, can_move, found}), 4,
                         "two of the status lines look alike")

        # Backspace: the map as drawn, waiting for clicks.
        press("BackSpace")
        wait_until(lambda: self.status_line() == asks_for_clicks, "the status line to ask again")
        self.assert_shows_the_map(STUDY_DRAWN)

        # Draw again: a corridor in one move of the pointer.
        (first_x, first_y), (last_x, last_y) = (self.cell_centre(STUDY_CORRIDOR[0]),
                                                self.cell_centre(STUDY_CORRIDOR[-1]))
        x_tool("xdotool", "mousemove", str(first_x), str(first_y), "mousedown", "1",
               "mousemove", str(last_x), str(last_y), "mouseup", "1")
        wait_until(lambda: file_text(map_path) == map_text(STUDY_PAINTED, self.line_end),
                   "the map file to hold the corridor")
        self.assert_shows_the_map(STUDY_PAINTED)

        # Run: the search goes down the corridor and back before the exit.
        press("Return")
        wait_until(lambda: self.arrow_in((0, 2)) and
                   all(self.cell_filled(cell, DEAD_END_CELL) for cell in STUDY_CORRIDOR),
                   "the search to try the corridor and find the exit", SEARCH_TIMEOUT)

        # Step from the start: the probe east (blocked), the probe north
        # (open) and, north of the start, the probe east into the corridor.
        press("BackSpace")
        wait_until(lambda: self.status_line() == asks_for_clicks, "the status line to ask again")
        press("space")
        self.assert_held_with(next_heading, (0, 0), "the first decision")
        press("space")
        self.assert_held_with(can_move, (0, 0), "the second decision")
        press("space")
        # It says "can move" as the second did: its probe into the corridor
        # marks the cell ahead.
        self.assert_held_with(can_move, (0, 1), "the third decision",
                              reached=lambda: self.cell_filled((1, 1), TRAIL_CELL))
        press("ctrl")
        wait_until(lambda: self.status_line() == found, "the search to run on to the exit",
                   SEARCH_TIMEOUT)
        press("Escape")
        self.assert_exits_with_1()
