"""Soft synthetic chimes laid under some of the sounds, written as 16-bit mono WAV."""

import array
import math
import sys
import wave

# (start s, frequency Hz, decay s, loudness 0..1)
GENTLE_FAIL = [(0.15, 659.25, 0.35, 0.30), (0.55, 523.25, 0.55, 0.30)]  # a soft falling "oh-oh"
SPARKLE = [(0.95 + 0.09 * i, f, 0.35, 0.14) for i, f in enumerate((1046.5, 1318.5, 1568.0, 2093.0, 2637.0))]


def write_tones(path, notes, rate, length):
    n = int(round(length * rate))
    mix = [0.0] * n
    for start, freq, decay, loud in notes:
        first = int(start * rate)
        for i in range(first, min(n, first + int(decay * 6 * rate))):
            t = (i - first) / rate
            env = min(1.0, t / 0.008) * math.exp(-t / decay)
            value = math.sin(2 * math.pi * freq * t)
            if 2 * freq < 0.45 * rate:  # a touch of overtone, where the rate allows it
                value += 0.25 * math.sin(4 * math.pi * freq * t)
            mix[i] += loud * env * value
    data = array.array("h", (max(-32767, min(32767, int(round(v * 32767)))) for v in mix))
    if sys.byteorder == "big":
        data.byteswap()
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(data.tobytes())
