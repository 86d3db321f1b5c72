#!/usr/bin/env python3
"""Start-up time: launch to the first frame on the display, under a fresh Xvfb without a window
manager, median of five launches each. A probe preloaded into the program (the test build's
first_frame_probe.so, which stands in for SDL_RenderPresent) prints when its first frame was
presented, on the machine-wide monotonic clock, so the launch and the frame are read on one
clock. A bare SDL window, plain and full screen, gives the floor in the same run, timed by the
same probe.

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
        if os.path.exists(f"/tmp/.X11-unix/X{display}") or os.path.exists(f"/tmp/.X{display}-lock"):
            continue
        xvfb = subprocess.Popen(["Xvfb", f":{display}", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            if xvfb.poll() is not None:  # another server took the display meanwhile
                break
            if os.path.exists(f"/tmp/.X11-unix/X{display}"):
                return xvfb, f":{display}"
            time.sleep(0.05)
        xvfb.kill()
        xvfb.wait()
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


def probe(build):
    """The module that reports the first frame (tests/support/first_frame_probe.cpp)."""
    return os.path.abspath(f"{build}/tests/first_frame_probe.so")


def program_env(display, build):
    """The environment the program and the bare window run in on `display`: the X11 driver,
    no sound card (SDL's dummy audio driver, which the program answers with its silent output),
    and the probe that reports the first frame."""
    env = dict(os.environ, DISPLAY=display, LD_PRELOAD=probe(build), SDL_AUDIODRIVER="dummy")
    env.pop("SDL_VIDEODRIVER", None)
    env.pop("WAYLAND_DISPLAY", None)
    return env


def measure(build, display, runs=5):
    """Median launch-to-first-frame in ms of the bare window ("bare"), the bare full-screen window
    ("bare_fullscreen") and the program ("vorlen"), printing each as it goes; a case that
    reported no frame is left out."""
    env = program_env(display, build)
    cases = [("bare", "bare SDL window, software renderer", [f"{build}/bench/bare_window"]),
             ("bare_fullscreen", "bare SDL window, full screen", [f"{build}/bench/bare_window", "fullscreen"]),
             ("vorlen", "vorlen, first complete frame", [f"{build}/vorlen"])]
    results = {}
    for key, name, command in cases:
        times = [launch(command, env) for _ in range(runs)]
        times = [t for t in times if t is not None]
        if not times:
            print(f"{name:40s} no frame reported")
            continue
        results[key] = statistics.median(times)
        print(f"{name:40s} median {results[key]:7.1f} ms   (runs: {', '.join(f'{t:.0f}' for t in times)})")
    if "bare" in results and "vorlen" in results:
        print(f"{'our own work after the bare window':40s}        {results['vorlen'] - results['bare']:7.1f} ms")
    return results


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    xvfb, display = start_xvfb()
    try:
        measure(build, display, runs)
    finally:
        xvfb.terminate()
        xvfb.wait()


if __name__ == "__main__":
    main()
