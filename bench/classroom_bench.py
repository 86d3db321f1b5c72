#!/usr/bin/env python3
"""A classroom ending a lesson together on one school-size shared workbook.

N programs (bench_classroom_pupil, the real application on hidden windows, each with its own
results journal as each computer has) start a pass in the same results folder, which holds a
workbook of 2,000 pupils of five passes each. When every one is ready, all of them are told at
once that the lesson is over, and each ends through the program's own exit path. Measured:
passes lost (a pupil whose rows are not in the workbook afterwards), the time from the end of the
lesson until the last program has ended (each ends once the workbook holds its pass, or after its
bound with the pass kept in its journal), one pass merged into the workbook alone, the longest the GUI thread waited to hand a pass over,
and, from one program alone beforehand, Enter on the start screen to the instruction's first
frame with that workbook in the folder.

usage: classroom_bench.py BUILD_DIR [N]   (prints "key value" lines as its last output)
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

PUPILS, PASSES = 2000, 5


def pupil(build, results, journal, n, env):
    return subprocess.Popen([os.path.join(build, "bench", "bench_classroom_pupil"), results, journal, str(n)],
                            stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=env, text=True)


def ready(process):
    """The start figure, once the program says it is ready."""
    start = None
    for line in process.stdout:
        parts = line.split()
        if parts[:1] == ["start_ms"]:
            start = float(parts[1])
        if parts[:1] == ["ready"]:
            return start
    raise RuntimeError("a program ended before it was ready")


def measure(build, n=30):
    env = dict(os.environ, SDL_VIDEODRIVER="offscreen", SDL_AUDIODRIVER="dummy")
    figures = {}
    with tempfile.TemporaryDirectory(prefix="vorlen-classroom-", dir=os.path.join(build, "bench")) as tmp:
        results = os.path.join(tmp, "results")
        os.mkdir(results)
        subprocess.run([os.path.join(build, "bench", "bench_classroom_pupil"), "--make-workbook", results,
                        str(PUPILS), str(PASSES)], check=True, env=env)
        workbook = [os.path.join(results, f) for f in os.listdir(results) if f.endswith(".xls")][0]
        figures["workbook_mb"] = os.path.getsize(workbook) / 1e6
        timed = subprocess.run([os.path.join(build, "bench", "bench_classroom_pupil"), "--time-merges", results],
                               check=True, env=env, capture_output=True, text=True).stdout
        for line in timed.splitlines():
            key, value = line.split()
            figures[key] = float(value)

        # One program alone: what a pupil waits for when pressing Start.
        alone = pupil(build, results, os.path.join(tmp, "journal-alone"), "alone", env)
        figures["start_ms"] = ready(alone)
        alone.communicate("\n", timeout=120)

        programs = [pupil(build, results, os.path.join(tmp, f"journal-{k}"), k, env) for k in range(n)]
        starts = [ready(p) for p in programs]
        figures["start_together_ms"] = statistics.median(starts)
        lesson_end = time.monotonic()
        for p in programs:
            p.stdin.write("\n")
            p.stdin.flush()
        hand_over, ended = [], []
        pending = list(programs)
        while pending:
            for p in list(pending):
                if p.poll() is not None:
                    ended.append(time.monotonic() - lesson_end)
                    for line in p.stdout:
                        parts = line.split()
                        if parts[:1] == ["hand_over_ms"]:
                            hand_over.append(float(parts[1]))
                    pending.remove(p)
            time.sleep(0.01)
        with open(workbook, "rb") as f:
            text = f.read()
        lost = sum(1 for k in range(n) if f"Класс {k}\"".encode() not in text or
                   f"09-December-2026 15:44 {k}<".encode() not in text)
        left = sum(len(os.listdir(os.path.join(tmp, f"journal-{k}")))
                   for k in range(n) if os.path.isdir(os.path.join(tmp, f"journal-{k}")))
        figures.update({"programs": n, "lost": lost, "journal_left": left, "last_s": max(ended),
                        "gui_wait_ms": max(hand_over) if hand_over else float("nan"),
                        "failed": sum(1 for p in programs if p.returncode != 0)})
    print(f"classroom: {n} programs ending at once on a {figures['workbook_mb']:.1f} MB workbook")
    print(f"  one pass merged into it: {figures['merge_ms']:.1f} ms median, {figures['merge_worst_ms']:.1f} ms worst")
    print(f"  passes lost {figures['lost']}, left in journals {figures['journal_left']}, "
          f"programs failed {figures['failed']}")
    print(f"  last pass in the workbook {figures['last_s']:.2f} s after the lesson's end")
    print(f"  longest GUI-thread wait to hand a pass over {figures['gui_wait_ms']:.2f} ms")
    print(f"  Enter to the instruction's first frame: {figures['start_ms']:.1f} ms alone, "
          f"{figures['start_together_ms']:.1f} ms median with {n} starting together")
    return figures


if __name__ == "__main__":
    build_dir = sys.argv[1] if len(sys.argv) > 1 else "build"
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 30
    for key, value in measure(build_dir, count).items():
        print(key, value)
