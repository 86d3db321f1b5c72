#!/usr/bin/env python3
"""`make bench`: runs every benchmark, letting each print its own report, then ends with one
table (Markdown) of the figures that matter: what was measured, the value, its aim, and the ratio
to a baseline measured in the same run where there is one.

The Google Benchmark suites run three repetitions and give their median processor time per
iteration; the program's own benches give medians of their rounds; the CPU shares of the running
program are one window of 10-15 s each. Other work on the machine moves all of them.

usage: summary.py BUILD_DIR
"""
import json
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import classroom_bench  # noqa: E402
import program_cpu_bench  # noqa: E402
import startup_bench  # noqa: E402

FRAME_60HZ_MS = 1000.0 / 60.0
FILM_FRAME_MS = 1000.0 / 12.0


class Figures:
    def __init__(self):
        self.values = {}
        self.failed = []

    def get(self, key):
        return self.values.get(key)


def heading(text):
    print(f"\n== {text}", flush=True)


def run(figures, name, command, env=None):
    """Runs one bench with its output going straight to ours; False (and noted) if it failed."""
    heading(name)
    try:
        code = subprocess.run(command, env=env, timeout=600).returncode
    except (OSError, subprocess.TimeoutExpired) as e:
        print(f"{name}: {e}")
        code = -1
    if code != 0:
        figures.failed.append(name)
        print(f"{name}: ended with status {code}")
    return code == 0


def read_pairs(path, prefix, figures):
    """`key value` lines into figures as prefix.key (numbers where they are numbers)."""
    if not os.path.exists(path):
        return
    with open(path) as f:
        for line in f:
            parts = line.split()
            if len(parts) != 2:
                continue
            try:
                figures.values[f"{prefix}.{parts[0]}"] = float(parts[1])
            except ValueError:
                figures.values[f"{prefix}.{parts[0]}"] = parts[1]


def read_google(path, prefix, figures):
    """The median processor time per iteration of each benchmark, in ms, as prefix.name."""
    if not os.path.exists(path):
        return
    with open(path) as f:
        report = json.load(f)
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}
    for b in report.get("benchmarks", []):
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        if b.get("run_type") == "iteration" and b.get("repetitions", 1) > 1:
            continue
        name = b.get("run_name", b["name"])
        figures.values[f"{prefix}.{name}"] = b["cpu_time"] * scale[b.get("time_unit", "ns")]


def google(figures, build, binary, tmp):
    out = os.path.join(tmp, binary + ".json")
    run(figures, binary, [os.path.join(build, "bench", binary), "--benchmark_repetitions=3",
                          "--benchmark_display_aggregates_only=true", f"--benchmark_out={out}",
                          "--benchmark_out_format=json"])
    read_google(out, binary, figures)


def own(figures, build, binary, tmp, env=None, extra=()):
    out = os.path.join(tmp, binary + ".txt")
    run(figures, binary, [os.path.join(build, "bench", binary), "--summary", out, *extra], env=env)
    read_pairs(out, binary, figures)


# ---------------------------------------------------------------------------------------------
# The table


def ms(v):
    if v is None:
        return None
    return f"{v * 1000:.0f} µs" if v < 1 else f"{v:.1f} ms" if v < 100 else f"{v:.0f} ms"


def pct(v):
    return None if v is None else f"{v:.2f} %"


def rows(f):
    """(figure, measured, aim, ratio, within aim: True/False/None) for each row."""
    g = f.get
    out = []

    bare, bare_fs, ours = g("startup.bare"), g("startup.bare_fullscreen"), g("startup.vorlen")
    out.append(("Cold start to first frame (Xvfb, median of 5 launches)",
                ours and bare and f"{ms(ours)}: {ours - bare:+.0f} ms of our own after the bare window's {ms(bare)}",
                "≤ 150 ms after the bare window", ours and bare_fs and f"{ours / bare_fs:.2f}× the bare full-screen "
                f"window ({ms(bare_fs)})", ours and bare and ours - bare <= 150))

    still = g("program.start_screen_pct")
    out.append(("Idle CPU: start screen, caret blinking (real program, Xvfb, 10 s)", pct(still), "≤ 0.5 % of a core",
                None, still is not None and still <= 0.5))
    narration = g("program.narration_pct")
    out.append(("CPU while the instruction's speech plays (real program, Xvfb, 15 s; no sound card: "
                "SDL_AUDIODRIVER=dummy, our silent output)", pct(narration), "≤ 0.5 % of a core",
                None,
                narration is not None and narration <= 0.5))

    peak, start = g("bench_pass.peak_rss_mib"), g("bench_pass.start_rss_mib")
    out.append(("Peak resident memory over a whole pass (VmHWM; the App driven by window messages, full-screen "
                "Xvfb window, a clock the benchmark drives)", peak and f"{peak:.1f} MiB", "< 80 MiB",
                peak and start and f"{peak / start:.2f}× resident at the start screen ({start:.1f} MiB)",
                peak is not None and peak < 80))

    drag = g("bench_main_loop.drag_median_ms")
    out.append(("Drag step: mouse move posted to frame presented (a board, offscreen 800×600; median)", ms(drag),
                "≤ 16.7 ms (60 Hz)", None, drag is not None and drag <= FRAME_60HZ_MS))
    board = g("bench_pass.board_drag_ms")
    out.append(("Drag step on the first board: move handled, frame drawn and presented to the full-screen "
                "window (median)", ms(board), "≤ 16.7 ms (60 Hz)", None, board is not None and board <= FRAME_60HZ_MS))
    small, large = g("bench_engine.BM_Frame/800/600"), g("bench_engine.BM_Frame/1920/1080")
    out.append(("Whole frame: board + 40 cards, presented to 800×600", ms(small), "≤ 16.7 ms (60 Hz)", None,
                small is not None and small <= FRAME_60HZ_MS))
    out.append(("Whole frame: the same presented to 1920×1080", ms(large), "≤ 16.7 ms (60 Hz)",
                large and small and f"{large / small:.2f}× the 800×600 frame",
                large is not None and large <= FRAME_60HZ_MS))

    film = g("bench_theora.BM_DecodeAndConvert/1")
    scalar, sse = g("bench_theora.BM_Convert/0"), g("bench_theora.BM_Convert/1")
    out.append(("Film frame 320×240: Theora decode + SSE2 colour conversion", ms(film), "≤ 83 ms (a 12 fps frame)",
                scalar and sse and f"conversion {scalar / sse:.1f}× faster than scalar ({ms(scalar)} → {ms(sse)})",
                film is not None and film <= FILM_FRAME_MS))
    view = g("bench_theora.BM_ViewFrame")
    out.append(("Film view frame (decode, convert, upload to its texture)", ms(view), "≤ 83 ms (a 12 fps frame)",
                None, view is not None and view <= FILM_FRAME_MS))

    mb, n = g("classroom.workbook_mb"), g("classroom.programs")
    school = f"{mb:.0f} MB workbook (2,000 pupils × 5 passes)" if mb else "school-size workbook"
    merge = g("classroom.merge_ms")
    out.append((f"Classroom: one pass merged into the {school}: lock, stream, atomic replace (median of 5)",
                ms(merge), "< 100 ms", None, merge is not None and merge < 100))
    lost, last, wait = g("classroom.lost"), g("classroom.last_s"), g("classroom.gui_wait_ms")
    count = f"{n:.0f}" if n else "30"
    out.append((f"Classroom: {count} programs ending at once on it, each through its exit path: passes lost",
                lost is not None and f"{lost:.0f} (left in journals: {g('classroom.journal_left'):.0f})", "0", None,
                lost is not None and lost == 0))
    out.append((f"Classroom: the same, the lesson's end to the last pass in the workbook", last and f"{last:.1f} s",
                "< 10 s", None, last is not None and last < 10))
    out.append((f"Classroom: the same, the longest the GUI thread waited to hand a pass over", ms(wait), "< 20 ms",
                None, wait is not None and wait < 20))
    start, together = g("classroom.start_ms"), g("classroom.start_together_ms")
    out.append((f"Start: Enter to the instruction's first frame with the {school} in the folder", ms(start),
                "< 100 ms", together and f"{ms(together)} with {count} programs starting at once",
                start is not None and start < 100))

    size = g("bench_results_book.workbook_mb")
    label = f"Workbook, 2,000 pupils × 5 passes ({size:.0f} MB)" if size else "Workbook, 2,000 pupils × 5 passes"
    for key, what, aim in (("open", "read the pupil's rows (the printout's data)", 1000.0), ("pass", "add one pass", None),
                           ("save", "save, merging under the lock", 1000.0),
                           ("quiet_save", "save, nobody else saved meanwhile", 1000.0)):
        v = g(f"bench_results_book.{key}_ms")
        out.append((f"{label}: {what} (median of 5)", v is not None and f"{ms(v)} (processor "
                    f"{ms(g(f'bench_results_book.{key}_cpu_ms'))})", aim and "≤ 1 s" or "—", None,
                    None if aim is None else v is not None and v <= aim))

    play, cold = g("bench_sound.play_to_sound_ms"), g("bench_sound.play_to_sound_cold_ms")
    out.append(("Sound: Play to first sound at the output (silent output; median of 10)", ms(play), "< 50 ms",
                cold and f"after 2 s still: {ms(cold)}", play is not None and play < 50))
    idle = g("bench_sound.idle_cpu_pct")
    out.append(("Sound system alone, nothing playing (10 s)", pct(idle), "< 0.05 % of a core", None,
                idle is not None and idle < 0.05))
    speech = g("bench_sound.instruction_cpu_pct")
    out.append(("Sound system alone, the 24 s instruction (per second of sound)", pct(speech), "< 1 % of a core", None,
                speech is not None and speech < 1))

    cold_text, warm_text = g("bench_text.DescriptionColdCache/iterations:20"), g("bench_text.DescriptionWarmCache")
    out.append(("Text: start screen description laid out and drawn, cold glyph cache", ms(cold_text),
                "≤ 16.7 ms (one frame)", warm_text and cold_text and f"{cold_text / warm_text:.0f}× the warm cache "
                f"({ms(warm_text)})", cold_text is not None and cold_text <= FRAME_60HZ_MS))

    loop = g("bench_main_loop.still_cpu_pct")
    out.append(("Main loop, still screen with a 500 ms timer (offscreen, 10 s)", pct(loop), "≤ 0.5 % of a core", None,
                loop is not None and loop <= 0.5))
    late = g("bench_main_loop.timer_late_median_ms")
    out.append(("Timer lateness (median)", ms(late), "≤ 1 ms", None, late is not None and late <= 1.0))
    return out


def print_table(figures):
    heading("Summary (medians; a loaded 2-core machine moves every figure)")
    print("| Figure | Measured | Aim | Ratio (same run) | Within aim |")
    print("|---|---|---|---|---|")
    for figure, measured, aim, ratio, ok in rows(figures):
        verdict = "—" if ok is None and measured else "yes" if ok else "**no**" if measured else "not measured"
        print(f"| {figure} | {measured or '—'} | {aim} | {ratio or '—'} | {verdict} |")


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    figures = Figures()
    with tempfile.TemporaryDirectory(prefix="vorlen-bench-") as tmp:
        for binary in ("bench_engine", "bench_text", "bench_theora"):
            google(figures, build, binary, tmp)
        own(figures, build, "bench_main_loop", tmp)
        own(figures, build, "bench_sound", tmp)
        own(figures, build, "bench_results_book", tmp)
        heading("a classroom ending a lesson together")
        try:
            for key, value in classroom_bench.measure(build).items():
                figures.values[f"classroom.{key}"] = value
        except (OSError, RuntimeError, subprocess.SubprocessError) as e:
            print(f"classroom: {e}")
            figures.failed.append("classroom")

        xvfb, display = startup_bench.start_xvfb()
        try:
            heading("start-up under Xvfb")
            for key, value in startup_bench.measure(build, display).items():
                figures.values[f"startup.{key}"] = value
            heading("the running program's processor time under Xvfb")
            for key, value in program_cpu_bench.measure(build, display).items():
                figures.values[f"program.{key}"] = value
            env = dict(startup_bench.program_env(display, build), SDL_VIDEODRIVER="x11")
            env.pop("LD_PRELOAD")
            own(figures, build, "bench_pass", tmp, env=env)
        finally:
            xvfb.terminate()
            xvfb.wait()
    print_table(figures)
    if figures.failed:
        print(f"\nfailed: {', '.join(figures.failed)}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
