#!/usr/bin/env python3
"""The frame-rate cap of the real program: how exact it holds, and the CPU it takes.

Usage: bench/cap_rounds.py [--rounds N] [--seconds S] [--data DIR]
                           [--settings SETTING,...]
                           [LABEL=[ENV=VALUE,...:]PROGRAM[ ARGUMENT...] ...]

Each LABEL=PROGRAM is one way of running the program, as in
window_rounds.py (with arguments if wanted: quote the whole way); with none
given, one: "shipped", build/pathwick as it is. Compare a build from
before a change, or the program with --gentle, by naming them all.

In one private Xvfb with openbox, every round runs each way at each setting,
first with nothing of the benchmark's own running beside it ("idle", which
says nothing of the rest of the machine: the load average is printed with
every run), then beside two CPU burners (processes that spin at the same
priority as the program, one for each of two cores). The settings are the
speed settings 15, 100 and 105 (caps of 66, 10 and 9 ms: 15.15, 100.00 and
111.11 frames a second), and on request "full" (full speed, uncapped) and
"full-min" (full speed with the window minimized). Each run:
`PROGRAM --windowed` in DATA_DIR, Return to start the search, Down, Up or End
to reach the setting, one second to warm up, then S seconds counted.

Frames are counted at the X server: the program's every buffer swap sends
its picture with one PutImage (or MIT-SHM ShmPutImage) request, which the
RECORD extension reports with the server's millisecond time, so the count
also gives the longest gap between two frames. Processor time (user and
system, all threads) comes from /proc/PID/stat. The table gives, for each
run, the frames per second, the longest gap, the share of a core the
program took, and the processor time per frame.

Needs what the end-to-end tests need (Xvfb, openbox, xdotool) and
python3-xlib: sh scripts/install-deps.sh installs them.
"""

import argparse
import contextlib
import os
import statistics
import struct
import subprocess
import sys
import tempfile
import threading
import time

from Xlib import display as xdisplay
from Xlib.ext import record

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
sys.path.insert(0, os.path.join(ROOT, "bench"))
from window_rounds import parse_way, start_windowed  # noqa: E402
from xsession import DISPLAY_ENV, process_usage, start_display, stop_process, x_tool  # noqa: E402

# What each run measures: the speed setting (or full speed), the keys that
# reach it from the start setting of 100, and whether the window is then
# minimized.
SETTINGS = {
    "15": (["Down"] * 17, False),
    "100": (["Down", "Up"], False),
    "105": (["Up"], False),
    "full": (["End"], False),
    "full-min": (["End"], True),
}
PUT_IMAGE = 72  # core request opcode
SHM_PUT_IMAGE = 3  # MIT-SHM minor opcode
WARM_UP = 1.0  # seconds from the last key until counting starts
BURNERS = 2


class FrameCounter:
    """Server times (ms) of the image requests of the client that owns
    `window`, from the moment it is made until stop()."""

    def __init__(self, window):
        self.control = xdisplay.Display(DISPLAY_ENV["DISPLAY"])
        self.data = xdisplay.Display(DISPLAY_ENV["DISPLAY"])
        shm = self.control.query_extension("MIT-SHM")
        shm_range = (shm.major_opcode, shm.major_opcode, SHM_PUT_IMAGE, SHM_PUT_IMAGE) \
            if shm else (0, 0, 0, 0)
        self.context = self.control.record_create_context(
            record.FromServerTime, [window],
            [{"core_requests": (PUT_IMAGE, PUT_IMAGE), "core_replies": (0, 0),
              "ext_requests": shm_range, "ext_replies": (0, 0, 0, 0),
              "delivered_events": (0, 0), "device_events": (0, 0), "errors": (0, 0),
              "client_started": False, "client_died": False}])
        self.control.sync()  # the context exists before the other connection enables it
        self.times = []
        self.lock = threading.Lock()
        self.thread = threading.Thread(
            target=self.data.record_enable_context, args=(self.context, self.on_data),
            daemon=True)
        self.thread.start()

    def on_data(self, reply):
        if reply.category != record.FromClient:
            return
        data = bytes(reply.data)
        times = []
        # The requests of one reply share its server time. A request's length
        # is in 4-byte units, 0 meaning a BIG-REQUESTS length in the next 4.
        while len(data) >= 4:
            (length,) = struct.unpack_from("=2xH", data)
            if length == 0:
                (length,) = struct.unpack_from("=I", data, 4)
            times.append(reply.server_time)
            data = data[max(4 * length, 4):]
        with self.lock:
            self.times.extend(times)

    def frames_since(self, start_index):
        with self.lock:
            return self.times[start_index:]

    def count(self):
        with self.lock:
            return len(self.times)

    def stop(self):
        self.control.record_disable_context(self.context)
        self.control.sync()
        self.thread.join(timeout=5)
        self.control.record_free_context(self.context)
        self.control.close()


def burner():
    """A process that spins until killed."""
    return subprocess.Popen([sys.executable, "-c", "while True: pass"])


def run_once(command, env, data_dir, setting, seconds):
    """Runs the program once at `setting`; returns (frames per second,
    longest gap in ms, share of a core, processor ms per frame), the rate
    and the gap None when fewer than two frames came."""
    keys, minimize = SETTINGS[setting]
    with contextlib.ExitStack() as stack:
        process, window = start_windowed(stack, command, env, data_dir)
        counter = FrameCounter(window)
        stack.callback(counter.stop)
        x_tool("xdotool", "mousemove", "1023", "767", "key", "Return", *keys)
        if minimize:
            x_tool("xdotool", "windowminimize", str(window))
        time.sleep(WARM_UP)
        start_index = counter.count()
        start_time, (_, start_cpu) = time.monotonic(), process_usage(process.pid)
        time.sleep(seconds)
        _, cpu = process_usage(process.pid)
        elapsed = time.monotonic() - start_time
        times = counter.frames_since(start_index)
        # Ended from outside, not with Escape: on a loaded machine an Escape
        # sent here has been seen to reach the next run's window while it
        # opened, and close it.
        stop_process(process)
    core_share = (cpu - start_cpu) / elapsed
    if len(times) < 2:
        return None, None, core_share, None
    frames_per_second = (len(times) - 1) * 1000 / (times[-1] - times[0])
    longest_gap = max(b - a for a, b in zip(times, times[1:]))
    return frames_per_second, longest_gap, core_share, 1000 * core_share / frames_per_second


def figure(value, width, precision):
    return f"{'-':>{width}}" if value is None else f"{value:>{width}.{precision}f}"


def load_average():
    with open("/proc/loadavg") as loadavg:
        return loadavg.read().split()[0]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=2)
    parser.add_argument("--seconds", type=float, default=6.0)
    parser.add_argument("--data", default=os.path.join(ROOT, "data"))
    parser.add_argument("--settings", default="15,100,105",
                        help="a comma-separated list of: " + ", ".join(SETTINGS))
    parser.add_argument("ways", nargs="*", default=["shipped=build/pathwick"])
    args = parser.parse_args()
    ways = [parse_way(way) for way in args.ways]
    settings = args.settings.split(",")
    for setting in settings:
        if setting not in SETTINGS:
            parser.error(f"unknown setting '{setting}'")
    results = {}
    with contextlib.ExitStack() as stack:
        home = stack.enter_context(tempfile.TemporaryDirectory(prefix="pathwick-cap-"))
        start_display(home, stack.callback)
        print(f"{'round':>5} {'load':<8} {'way':<10} {'setting':>8} {'frames/s':>9} "
              f"{'gap ms':>7} {'core':>6} {'CPU ms/frame':>13} {'loadavg':>8}")
        for round_number in range(1, args.rounds + 1):
            for load in ("idle", "burners"):
                with contextlib.ExitStack() as burning:
                    if load == "burners":
                        for _ in range(BURNERS):
                            burning.callback(stop_process, burner())
                    shift = (round_number - 1) % len(ways)
                    for setting in settings:
                        for label, env, command in ways[shift:] + ways[:shift]:
                            row = run_once(command, env, os.path.abspath(args.data), setting,
                                           args.seconds)
                            results.setdefault((load, label, setting), []).append(row)
                            fps, gap, core, cpu_ms = row
                            print(f"{round_number:>5} {load:<8} {label:<10} {setting:>8} "
                                  f"{figure(fps, 9, 2)} {figure(gap, 7, 0)} {100 * core:>5.1f}% "
                                  f"{figure(cpu_ms, 13, 2)} {load_average():>8}", flush=True)
    print("\nmedian over the rounds (frames/s, longest gap ms, share of a core, CPU ms/frame):")
    for (load, label, setting), rows in results.items():
        medians = [statistics.median(v for v in column if v is not None)
                   if any(v is not None for v in column) else None for column in zip(*rows)]
        fps, gap, core, cpu_ms = medians
        print(f"  {load:<8} {label:<10} {setting:>8}: {figure(fps, 7, 2)} {figure(gap, 6, 0)} "
              f"{100 * core:5.1f}% {figure(cpu_ms, 6, 2)}")


if __name__ == "__main__":
    main()
