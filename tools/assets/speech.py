"""Speaks every sound of the exercise and encodes it as Ogg Vorbis.

Each sentence of speech_ru.txt is synthesised on its own with both Russian voices Debian
offers: Festival's msu_ru_nsh_clunits (unit selection from a recorded speaker) and
espeak-ng's formant voice. Both are measured (length, peak, clipped samples, gaps inside a
sentence, syllables per second) and the report goes to build/assets/voice_report.txt. The
voice to use is recorded in voice.txt beside this file, with the measurements it was chosen on:
a run uses that voice or fails, it never switches voices on its own. VORLEN_VOICE=festival or
VORLEN_VOICE=espeak chooses again and records the new choice.

A clip is laid out on a time line: sentences with calm pauses between them, a gentle tempo
change (pitch kept) when the sentences must fit a fixed length, a point in time where a
sentence must start ("@ seconds"), and the little chimes of the failure and praise sounds.
"""

import array
import math
import os
import shutil
import subprocess
import sys
import wave

from tones import write_tones, GENTLE_FAIL, SPARKLE

HERE = os.path.dirname(os.path.abspath(__file__))

# clip -> (length in seconds, sample rate, channels, chime laid under the speech)
CLIPS = {
    "rc/137": (24.2, 22050, 1, None),
    "rc/139": (19.6, 22050, 1, None),
    "rc/140": (19.6, 22050, 1, None),
    "rc/141": (19.6, 22050, 1, None),
    "rc/142": (19.6, 22050, 1, None),
    "rc/143": (8.5, 22050, 1, None),
    "rc/145": (3.7, 22050, 1, GENTLE_FAIL),
    "rc/146": (1.0, 22050, 1, None),
    "rc/147": (1.0, 22050, 1, None),
    "rc/148": (1.0, 22050, 1, None),
    "named/ENDHELPSOUND": (5.7, 22050, 1, None),
    "named/bravo_sound": (2.0, 44100, 2, SPARKLE),
    "named/gotovo_sound": (2.0, 11025, 2, SPARKLE),
    "named/molodec_sound": (2.0, 44100, 2, SPARKLE),
    "named/otlichno_sound": (2.0, 44100, 2, SPARKLE),
    "named/ura_sound": (2.0, 22050, 2, SPARKLE),
}

LEAD, TAIL = 0.25, 0.3          # silence before the first and after the last word
GAP_MIN, GAP_MAX = 0.8, 1.2     # pauses between sentences: a seven-year-old needs about a second
CALM_TEMPO = 0.92               # a little slower than the voice's own pace, for young listeners
TEMPO_MIN, TEMPO_MAX = 0.85, 1.3
SILENT_DB = -40.0               # below this (relative to full scale) a 20 ms window counts as silence

VOICES = {
    "festival": "Festival msu_ru_nsh_clunits",
    "espeak": "espeak-ng -v ru",
}


def run(*cmd):
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def sox(*args):
    run("sox", "-D", "-V1", *args)


def read_script(path):
    """Returns {clip: [segments]}, each segment (start second or None, [sentences])."""
    clips, current = {}, None
    with open(path, encoding="utf-8") as f:
        for raw in f:
            text = raw.strip()
            if not text or text.startswith("#"):
                continue
            if text.startswith("[") and text.endswith("]"):
                current = clips.setdefault(text[1:-1], [(None, [])])
            elif text.startswith("@"):
                current.append((float(text[1:]), []))
            else:
                current[-1][1].append(text)
    return clips


# -------------------------------------------------------------- measuring --

def samples(path):
    with wave.open(path, "rb") as w:
        assert w.getsampwidth() == 2 and w.getnchannels() == 1
        data = array.array("h", w.readframes(w.getnframes()))
        if sys.byteorder == "big":
            data.byteswap()
        return data, w.getframerate()


def measure(path):
    data, rate = samples(path)
    if not data:
        return dict(seconds=0.0, peak_db=-120.0, clipped=0, longest_gap=0.0)
    peak = max(abs(min(data)), max(data))
    clipped = sum(1 for s in data if s >= 32767 or s <= -32768)
    window = max(1, rate // 50)
    threshold = 32768 * 10 ** (SILENT_DB / 20)
    run_len = longest = 0
    for i in range(0, len(data) - window, window):
        chunk = data[i:i + window]
        rms = math.sqrt(sum(s * s for s in chunk) / window)
        run_len = run_len + 1 if rms < threshold else 0
        longest = max(longest, run_len)
    return dict(seconds=len(data) / rate, peak_db=20 * math.log10(max(peak, 1) / 32768),
                clipped=clipped, longest_gap=longest * window / rate)


def syllables(text):
    return sum(1 for ch in text.lower() if ch in "аеёиоуыэюя")


# ------------------------------------------------------------- synthesis --

def synthesise(voice, text, out_wav, work):
    raw = out_wav + ".raw.wav"
    if voice == "festival":
        txt = out_wav + ".txt"
        with open(txt, "w", encoding="utf-8") as f:
            f.write(text + "\n")
        run("text2wave", "-eval", "(voice_msu_ru_nsh_clunits)", txt, "-o", raw)
    else:
        run("espeak-ng", "-v", "ru", "-s", "150", "-w", raw, text)
    # trim the voice's own leading and trailing silence; one channel, 16 bit, 22050 Hz
    sox(raw, "-b", "16", "-c", "1", out_wav, "rate", "-v", "22050",
        "silence", "1", "0.02", "0.3%", "reverse", "silence", "1", "0.02", "0.3%", "reverse")


def synthesise_all(script, work):
    """Synthesises every sentence with both voices; returns {voice: {sentence: (wav, measures)}}."""
    done = {}
    for voice in VOICES:
        done[voice] = {}
        n = 0
        for segments in script.values():
            for _, sentences in segments:
                for text in sentences:
                    if text in done[voice]:
                        continue
                    n += 1
                    wav = os.path.join(work, "%s_%03d.wav" % (voice, n))
                    try:
                        synthesise(voice, text, wav, work)
                        done[voice][text] = (wav, measure(wav))
                    except (subprocess.CalledProcessError, OSError) as exc:
                        done[voice][text] = (None, dict(error=str(exc)))
    return done


def judge(done, script):
    """Chooses the voice and writes the comparison; returns (voice, report lines)."""
    lines = ["Voice comparison (each sentence synthesised alone, leading/trailing silence trimmed)", ""]
    faults = {}
    for voice, sentences in done.items():
        total = sum(m.get("seconds", 0) for _, m in sentences.values())
        sylls = sum(syllables(t) for t in sentences)
        errors = [t for t, (_, m) in sentences.items() if "error" in m]
        clipped = sum(m.get("clipped", 0) for _, m in sentences.values())
        peak = max((m["peak_db"] for _, m in sentences.values() if "peak_db" in m), default=-120)
        gaps = sorted(((m["longest_gap"], t) for t, (_, m) in sentences.items() if "longest_gap" in m),
                      reverse=True)
        faults[voice] = []
        if errors:
            faults[voice].append("%d sentence(s) failed" % len(errors))
        if clipped:
            faults[voice].append("%d clipped samples" % clipped)
        if gaps and gaps[0][0] > 0.6:
            faults[voice].append("a %.2f s gap inside a sentence" % gaps[0][0])
        lines += ["%s:" % VOICES[voice],
                  "  sentences %d, speech %.1f s, %d syllables, %.2f syllables/s" %
                  (len(sentences), total, sylls, sylls / total if total else 0),
                  "  peak %.1f dBFS, clipped samples %d" % (peak, clipped),
                  "  longest pause inside a sentence %.2f s (%s)" % (gaps[0] if gaps else (0, "-")),
                  "  faults: %s" % (", ".join(faults[voice]) or "none"), ""]
    lines += ["Per sentence: seconds festival / espeak-ng"]
    for text in done["festival"]:
        f = done["festival"][text][1].get("seconds", 0)
        e = done["espeak"][text][1].get("seconds", 0)
        lines.append("  %5.2f / %5.2f  %s" % (f, e, text))
    preferred = "festival" if not faults["festival"] else "espeak"
    chosen = os.environ.get("VORLEN_VOICE") or recorded_voice()
    if chosen not in VOICES:
        raise SystemExit("speech: no voice recorded in %s; choose one with VORLEN_VOICE=festival or "
                         "VORLEN_VOICE=espeak" % VOICE_FILE)
    if faults[chosen] and any("failed" in f for f in faults[chosen]):
        raise SystemExit("speech: the recorded voice %s does not work here (%s); install it, or choose again "
                         "with VORLEN_VOICE" % (VOICES[chosen], ", ".join(faults[chosen])))
    if preferred != chosen and not os.environ.get("VORLEN_VOICE"):
        raise SystemExit("speech: the measurements now favour %s over the recorded %s; see %s and choose with "
                         "VORLEN_VOICE" % (VOICES[preferred], VOICES[chosen], VOICE_FILE))
    lines += ["", "voice: %s" % chosen]
    return chosen, lines


VOICE_FILE = os.path.join(HERE, "voice.txt")


def recorded_voice():
    """The voice named on the 'voice:' line of voice.txt, or None."""
    try:
        with open(VOICE_FILE, encoding="utf-8") as f:
            for text in f:
                if text.startswith("voice:"):
                    return text.split(":", 1)[1].strip()
    except FileNotFoundError:
        pass
    return None


# ----------------------------------------------------------------- layout --

def fit(available, speech, count):
    """Returns (tempo, pause) so count sentences of speech seconds fill the available time."""
    if count == 0:
        return 1.0, 0.0
    if count == 1:
        tempo = CALM_TEMPO if speech / CALM_TEMPO <= available else speech / available
        return min(max(tempo, TEMPO_MIN), TEMPO_MAX), 0.0
    tempo = CALM_TEMPO
    pause = (available - speech / tempo) / (count - 1)
    if pause < GAP_MIN:
        tempo = speech / (available - GAP_MIN * (count - 1))
    elif pause > GAP_MAX:
        tempo = max(TEMPO_MIN, speech / (available - GAP_MAX * (count - 1)))
    tempo = min(max(tempo, TEMPO_MIN), TEMPO_MAX)
    pause = max(0.2, (available - speech / tempo) / (count - 1))
    return tempo, pause


def segment_span(starts, i, length, tail):
    """The time segment i's sentences may take: from its start to a calm pause before the next
    pinned sentence, or to the clip's tail."""
    end = starts[i + 1] - GAP_MIN if i + 1 < len(starts) else length - tail
    return starts[i], end


def silence(path, seconds, rate):
    sox("-n", "-r", str(rate), "-b", "16", "-c", "1", path, "trim", "0", "%.4f" % max(seconds, 0.0))


def build_clip(name, segments, layout, voice_wavs, work, data, log):
    length, rate, channels, chime = layout
    pieces, clock = [], 0.0
    lead, tail = min(LEAD, length * 0.08), min(TAIL, length * 0.1)
    starts = [s if s is not None else lead for s, _ in segments]
    for i, (_, sentences) in enumerate(segments):
        start, end = segment_span(starts, i, length, tail)
        if not sentences:
            continue
        if start > clock:
            gap = os.path.join(work, "%s_gap%d.wav" % (name.replace("/", "_"), i))
            silence(gap, start - clock, rate)
            pieces.append(gap)
            clock = start
        natural = [samples(voice_wavs[t])[0] for t in sentences]
        speech = sum(len(d) for d in natural) / 22050
        tempo, pause = fit(end - start, speech, len(sentences))
        log.append("%-22s segment at %5.2f s: %d sentence(s), speech %.2f s, tempo %.2f, pause %.2f s" %
                   (name, start, len(sentences), speech, tempo, pause))
        for j, text in enumerate(sentences):
            out = os.path.join(work, "%s_s%d_%d.wav" % (name.replace("/", "_"), i, j))
            effects = ["rate", "-v", str(rate)]
            if abs(tempo - 1.0) > 0.005:
                effects = ["tempo", "-s", "%.4f" % tempo] + effects
            sox(voice_wavs[text], out, *effects)
            pieces.append(out)
            clock += len(samples(out)[0]) / rate
            if j + 1 < len(sentences):
                gap = os.path.join(work, "%s_p%d_%d.wav" % (name.replace("/", "_"), i, j))
                silence(gap, pause, rate)
                pieces.append(gap)
                clock += pause
    if clock > length:
        log.append("%-22s WARNING: speech runs %.2f s past the clip's end and is cut" % (name, clock - length))
    voice = os.path.join(work, name.replace("/", "_") + "_voice.wav")
    lead = os.path.join(work, name.replace("/", "_") + "_lead.wav")
    silence(lead, 0.0001, rate)
    sox(lead, *pieces, voice, "pad", "0", "%.4f" % length, "trim", "0", "%.4f" % length)
    mixed = voice
    if chime is not None:
        tones = os.path.join(work, name.replace("/", "_") + "_tones.wav")
        write_tones(tones, chime, rate, length)
        mixed = os.path.join(work, name.replace("/", "_") + "_mixed.wav")
        sox("-m", "-v", "1", voice, "-v", "1", tones, mixed)
    final = os.path.join(work, name.replace("/", "_") + "_final.wav")
    sox("--norm=-1.5", mixed, "-c", str(channels), final)
    target = os.path.join(data, name + ".ogg")
    os.makedirs(os.path.dirname(target), exist_ok=True)
    serial = sum(ord(c) for c in name) & 0x7FFFFFFF
    quality = "2" if rate <= 22050 else "1"
    run("oggenc", "-Q", "-q", quality, "--serial", str(serial), "-o", target, final)
    return target


def main(data, build):
    work = os.path.join(build, "speech")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    script = read_script(os.path.join(HERE, "speech_ru.txt"))
    missing = set(CLIPS) ^ set(script)
    if missing:
        raise SystemExit("speech_ru.txt and the clip table disagree about: %s" % ", ".join(sorted(missing)))
    done = synthesise_all(script, work)
    voice, report = judge(done, script)
    wavs = {t: w for t, (w, _) in done[voice].items()}
    log = [""]
    for name, segments in script.items():
        build_clip(name, segments, CLIPS[name], wavs, work, data, log)
    with open(os.path.join(build, "voice_report.txt"), "w", encoding="utf-8") as f:
        f.write("\n".join(report + log) + "\n")
    # the record that goes beside the generator once the whole run has passed its checks
    with open(os.path.join(build, "voice.txt"), "w", encoding="utf-8") as f:
        f.write("# The voice every speech clip is made with, and the measurements it was chosen on.\n"
                "# Written by speech.py; change it with VORLEN_VOICE=festival|espeak make assets.\n\n")
        f.write("\n".join(report) + "\n")
    print(report[-1])


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
