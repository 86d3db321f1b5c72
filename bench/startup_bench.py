#!/usr/bin/env python3
"""Start-up time: launch to the first frame on the display, under a fresh Xvfb without a window
manager, median of five launches each. The program prints when its first frame was presented
(VORLEN_STARTUP_TIMING) on the machine-wide monotonic clock, so the launch and the frame are
read on one clock. A bare SDL window, plain and full screen, gives the floor in the same run.

usage: startup_bench.py BUILD_DIR [runs]
"""
import os
import signal
import statistics
import subprocess
import sys
import time


def start_xvfb():
    for display in range(91, 120):
        if os.path.exists(f"/tmp/.X11-unix/X{display}"):
            continue
        xvfb = subprocess.Popen(["Xvfb", f":{display}", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            if os.path.exists(f"/tmp/.X11-unix/X{display}"):
                return xvfb, f":{display}"
            time.sleep(0.05)
        xvfb.kill()
    sys.exit("cannot start Xvfb")


def launch(command, env):
    start = time.monotonic_ns()
    proc = subprocess.Popen(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    try:
        for line in proc.stdout:
            if line.startswith("first frame at "):
                return (int(line.split()[3]) - start) / 1e6
        return None
    finally:
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    xvfb, display = start_xvfb()
    env = dict(os.environ, DISPLAY=display, VORLEN_STARTUP_TIMING="1", SDL_AUDIODRIVER="dummy")
    env.pop("SDL_VIDEODRIVER", None)
    env.pop("WAYLAND_DISPLAY", None)
    cases = [("bare SDL window, software renderer", [f"{build}/bench/bare_window"]),
             ("bare SDL window, full screen", [f"{build}/bench/bare_window", "fullscreen"]),
             ("vorlen, first complete frame", [f"{build}/vorlen"])]
    try:
        results = {}
        for name, command in cases:
            times = [launch(command, env) for _ in range(runs)]
            times = [t for t in times if t is not None]
            if not times:
                print(f"{name:40s} no frame reported")
                continue
            results[name] = statistics.median(times)
            print(f"{name:40s} median {results[name]:7.1f} ms   (runs: {', '.join(f'{t:.0f}' for t in times)})")
        floor = results.get(cases[0][0])
        ours = results.get(cases[2][0])
        if floor and ours:
            print(f"{'our own work after the bare window':40s}        {ours - floor:7.1f} ms")
    finally:
        xvfb.terminate()
        xvfb.wait()


if __name__ == "__main__":
    main()
