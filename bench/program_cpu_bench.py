#!/usr/bin/env python3
"""Processor time of the running program, under a fresh Xvfb without a window manager and with
no sound card (SDL's dummy audio driver: the program's silent output keeps the sounds' time).
Two phases of one launch, each read from /proc/<pid>/stat (utime + stime of every thread):

  start screen   from the first frame on, the name bar's caret blinking, nothing else
  narration      a name typed and Return pressed with xdotool: the instruction overlay with its
                 ~24 s speech, measured over 15 s of it

The program is killed at the end, so it writes no workbook; its results folder is a temporary
one all the same.

usage: program_cpu_bench.py BUILD_DIR [still_seconds] [narration_seconds]
"""
import os
import signal
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from startup_bench import program_env, start_xvfb  # noqa: E402

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime, stime: fields 14 and 15


def share_of_core(pid, seconds):
    """Percent of one core used by `pid` over the next `seconds` of wall time."""
    cpu, wall = cpu_seconds(pid), time.monotonic()
    time.sleep(seconds)
    return 100.0 * (cpu_seconds(pid) - cpu) / (time.monotonic() - wall)


def measure(build, display, still=10.0, narration=15.0):
    """{"start_screen_pct", "narration_pct"}, printing each; a phase that could not be reached is
    left out (and says why)."""
    results = {}
    with tempfile.TemporaryDirectory(prefix="vorlen-cpu-bench-") as data:
        env = dict(program_env(display, build), XDG_DATA_HOME=data, VORLEN_DEBUG="1")
        proc = subprocess.Popen([f"{build}/vorlen"], env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                text=True)
        trace = []  # the program's trace lines: sounds starting and stopping
        reader = threading.Thread(target=lambda: trace.extend(proc.stderr), daemon=True)
        reader.start()
        try:
            framed = any(line.startswith("first frame at ") for line in proc.stdout)
            if not framed:
                print("  start screen: no frame reported")
                return results
            time.sleep(1.0)  # fontconfig's and the first frames' work is the start-up's
            results["start_screen_pct"] = share_of_core(proc.pid, still)
            print(f"  start screen, caret blinking   {results['start_screen_pct']:6.2f} % of one core over {still:.0f} s", flush=True)

            xdo = ["xdotool", "search", "--sync", "--pid", str(proc.pid)]
            subprocess.run(xdo + ["windowfocus"], env=env, check=True, timeout=10,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            before = len(trace)
            subprocess.run(["xdotool", "type", "--delay", "60", "Petya"], env=env, check=True, timeout=10)
            subprocess.run(["xdotool", "key", "Return"], env=env, check=True, timeout=10)
            time.sleep(1.5)  # the overlay and the first board are built, the speech starts
            started = [line for line in trace[before:] if "звук играет" in line]
            if not started:
                print("  narration: no sound started after Return")
                return results
            mark = len(trace)
            pct = share_of_core(proc.pid, narration)
            if any("звук остановился" in line or "звук стой" in line for line in trace[mark:]):
                print("  narration: the speech ended before the measurement did")
                return results
            results["narration_pct"] = pct
            print(f"  narration playing              {pct:6.2f} % of one core over {narration:.0f} s", flush=True)
        finally:
            proc.send_signal(signal.SIGKILL)  # no workbook written
            proc.wait()
    return results


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    still = float(sys.argv[2]) if len(sys.argv) > 2 else 10.0
    narration = float(sys.argv[3]) if len(sys.argv) > 3 else 15.0
    xvfb, display = start_xvfb()
    try:
        measure(build, display, still, narration)
    finally:
        xvfb.terminate()
        xvfb.wait()


if __name__ == "__main__":
    main()
