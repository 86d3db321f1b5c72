#!/usr/bin/env python3
"""Checks the embedded media under data/ against what the program expects of them.

Usage: check_media.py DATA_DIR

Every expected file must exist and have the right shape: PNG size and colour
type (and a few pixel facts where the program depends on them, such as the
bell's transparent corners), Ogg Vorbis channels, sample rate and length, Ogg
Theora frame size, pixel format, frame rate and frame count. Clouds must lie
wholly inside their pictures and the names on the cards stand on one baseline.
Prints one line per failing file and exits with status 1 when anything fails.

Standard library only: this runs in the normal test run, where the tools that
make the media are not installed. With --decode (the generator passes it) the
sounds and films are decoded too, with oggdec and ffmpeg: every speech clip
must leave a pause of at least 0.7 s after each of its sentences but the last
(sentences counted in the generator's script), and a round face in the
films must still be round once the praise window has squeezed the 320 x 240
frame into 320 x 200.
"""

import array
import math
import os
import re
import struct
import subprocess
import sys
import wave
import zlib

RGB, RGBA = 2, 6
COLOUR_NAMES = {0: "grey", 2: "RGB", 3: "palette", 4: "grey+alpha", 6: "RGBA"}


class MediaError(Exception):
    """A file is malformed or does not match its expected shape."""


# ---------------------------------------------------------------- tables --

def _episode_pictures():
    rows = []
    for base in (128, 101, 110, 119):
        rows.append(("rc/%d.png" % base, 800, 600, RGB, ()))
        for k in range(1, 6):
            rows.append(("rc/%d.png" % (base + k), 156, 179, RGB, ()))
        for k in range(6, 9):
            rows.append(("rc/%d.png" % (base + k), 96, 96, RGBA, ("corners_clear", "centre_opaque")))
    return rows


def _skin_pictures():
    rows = [
        ("DefaultBackGround", 800, 600, RGB),
        ("ExitButton", 21, 21, RGBA),
        ("EscButton", 37, 25, RGB),
        ("F1Button", 37, 25, RGB),
        ("F12Button", 37, 25, RGB),
        ("SliderSliderVertical", 19, 10, RGBA),
        ("SliderSliderVerticalHover", 19, 10, RGBA),
        ("SliderSliderHorizontal", 11, 20, RGBA),
        ("SliderSliderHorizontalHover", 11, 20, RGBA),
        ("ScrollSlider", 16, 2, RGB),
        ("ScrollSliderHorizontal", 2, 16, RGB),
        ("ScrollBackground", 16, 16, RGB),
        ("ScrollButtonUp", 16, 16, RGBA),
        ("ScrollButtonDown", 16, 16, RGBA),
        ("EditBarBackGround", 1, 1, RGB),
        ("EditBarKaretka", 1, 19, RGB),
        ("SelectionMask", 1, 1, RGBA),
        ("EditBarBorderL", 8, 1, RGB),
        ("EditBarBorderR", 8, 1, RGB),
        ("EditBarBorderT", 1, 8, RGB),
        ("EditBarBorderB", 1, 8, RGB),
    ]
    for name in ("CheckBoxUnchecked", "CheckBoxChecked", "CheckBoxDisUnchecked", "CheckBoxDisChecked"):
        rows.append((name, 16, 16, RGB))
    for name in ("RadioButtonUnchecked", "RadioButtonChecked", "RadioButtonDisUnchecked", "RadioButtonDisChecked"):
        rows.append((name, 16, 16, RGBA))
    for name in ("EditBarCornerLT", "EditBarCornerRT", "EditBarCornerLB", "EditBarCornerRB"):
        rows.append((name, 8, 8, RGBA))
    buttons = [("PrintButton", 84), ("SaveAsButton", 148), ("RetryButton", 109), ("CloseButton", 111),
               ("StartPopStartButton", 84), ("OptionsButton", 109), ("CancelButton", 111),
               ("SubmitButton", 109)]
    for name, width in buttons:
        for suffix in ("", "Nuv", "Klick"):
            rows.append((name + suffix, width, 47, RGBA))
    return [("skin/%s.png" % n, w, h, c, ()) for n, w, h, c in rows]


# (path, width, height, colour type, extra pixel checks)
PICTURES = _episode_pictures() + _skin_pictures() + [
    ("rc/500.png", 64, 64, RGBA, ()),
    ("named/oblako_png.png", 506, 350, RGBA, ("edges_clear",)),
    ("named/KEYBOARDPIC.png", 524, 230, RGBA, ("edges_clear",)),
    ("named/MOUSE.png", 246, 246, RGBA, ()),
    ("named/KEYSPACE.png", 112, 14, RGB, ()),
    ("named/ws_tab.png", 10, 5, RGBA, ()),
    ("named/ws_pilcrow.png", 11, 21, RGBA, ()),
    ("named/ws_space.png", 3, 3, RGB, ()),
    ("named/ws_linefeed.png", 1, 1, RGBA, ("all_clear",)),
]

MONO, STEREO = 1, 2

# (path, channels or None for either, sample rate or None for any, shortest s, longest s)
SOUNDS = [
    ("rc/137.ogg", None, None, 23.0, 25.5),
    ("rc/139.ogg", None, None, 16.0, 20.0),
    ("rc/140.ogg", None, None, 16.0, 20.0),
    ("rc/141.ogg", None, None, 16.0, 20.0),
    ("rc/142.ogg", None, None, 16.0, 20.0),
    ("rc/143.ogg", None, None, 7.5, 9.5),
    ("rc/145.ogg", None, None, 3.2, 4.2),
    ("rc/146.ogg", None, None, 0.6, 1.6),
    ("rc/147.ogg", None, None, 0.6, 1.6),
    ("rc/148.ogg", None, None, 0.6, 1.6),
    ("named/ENDHELPSOUND.ogg", None, None, 4.6, 5.8),
    ("named/bravo_sound.ogg", STEREO, 44100, 1.5, 2.5),
    ("named/gotovo_sound.ogg", STEREO, 11025, 1.5, 2.5),
    ("named/molodec_sound.ogg", STEREO, 44100, 1.5, 2.5),
    ("named/otlichno_sound.ogg", STEREO, 44100, 1.5, 2.5),
    ("named/ura_sound.ogg", STEREO, 22050, 1.5, 2.5),
]

# (path, width, height, frames per second, frame count)
FILMS = [("named/%s_film.ogv" % word, 320, 240, 12, 26)
         for word in ("bravo", "gotovo", "molodec", "otlichno", "ura")]

# The whole folder is compiled into the executable; keep it lean.
MAX_TOTAL_BYTES = 15 * 1024 * 1024


# ------------------------------------------------------------------- PNG --

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def png_chunks(data):
    """Yields (type, payload) for each chunk, checking lengths and CRCs."""
    if not data.startswith(PNG_SIGNATURE):
        raise MediaError("not a PNG file (bad signature)")
    pos = len(PNG_SIGNATURE)
    while True:
        if pos + 8 > len(data):
            raise MediaError("PNG truncated before IEND")
        length, ctype = struct.unpack(">I4s", data[pos:pos + 8])
        end = pos + 8 + length + 4
        if length > 0x7FFFFFFF or end > len(data):
            raise MediaError("PNG chunk %r truncated" % ctype)
        payload = data[pos + 8:pos + 8 + length]
        crc, = struct.unpack(">I", data[end - 4:end])
        if zlib.crc32(ctype + payload) & 0xFFFFFFFF != crc:
            raise MediaError("PNG chunk %r has a bad CRC" % ctype)
        yield ctype, payload
        if ctype == b"IEND":
            return
        pos = end


def png_header(data):
    """Returns (width, height, bit depth, colour type, interlace) from IHDR."""
    for ctype, payload in png_chunks(data):
        if ctype != b"IHDR" or len(payload) != 13:
            raise MediaError("PNG does not start with a valid IHDR chunk")
        width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", payload)
        if width == 0 or height == 0:
            raise MediaError("PNG has an empty size")
        return width, height, depth, colour, interlace
    raise MediaError("PNG has no chunks")


def png_pixels(data):
    """Decodes an 8-bit, non-interlaced RGB or RGBA PNG into rows of bytes."""
    width, height, depth, colour, interlace = png_header(data)
    if depth != 8 or colour not in (RGB, RGBA) or interlace != 0:
        raise MediaError("PNG is not 8-bit non-interlaced RGB/RGBA")
    idat = b"".join(p for t, p in png_chunks(data) if t == b"IDAT")
    try:
        raw = zlib.decompress(idat)
    except zlib.error as exc:
        raise MediaError("PNG image data does not inflate: %s" % exc)
    bpp = 3 if colour == RGB else 4
    stride = width * bpp
    if len(raw) < height * (stride + 1):
        raise MediaError("PNG image data is short")
    rows, prev = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        ftype, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if ftype == 1:
                line[i] = (line[i] + a) & 255
            elif ftype == 2:
                line[i] = (line[i] + b) & 255
            elif ftype == 3:
                line[i] = (line[i] + ((a + b) >> 1)) & 255
            elif ftype == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[i] = (line[i] + pred) & 255
            elif ftype != 0:
                raise MediaError("PNG row %d has unknown filter %d" % (y, ftype))
        rows.append(bytes(line))
        prev = line
    return width, height, bpp, rows


def _alpha(rows, bpp, x, y):
    return rows[y][x * bpp + 3] if bpp == 4 else 255


def _edge(width, height):
    for x in range(width):
        yield x, 0
        yield x, height - 1
    for y in range(height):
        yield 0, y
        yield width - 1, y


def check_pixels(data, checks):
    width, height, bpp, rows = png_pixels(data)
    problems = []
    corners = [(0, 0), (width - 1, 0), (0, height - 1), (width - 1, height - 1)]
    if "corners_clear" in checks and any(_alpha(rows, bpp, x, y) != 0 for x, y in corners):
        problems.append("corners are not transparent")
    if "centre_opaque" in checks and _alpha(rows, bpp, width // 2, height // 2) != 255:
        problems.append("centre is not opaque")
    if "edges_clear" in checks and any(_alpha(rows, bpp, x, y) != 0 for x, y in _edge(width, height)):
        problems.append("is cut off at the picture's edge (opaque pixels on the border)")
    if "all_clear" in checks and any(_alpha(rows, bpp, x, y) != 0
                                     for y in range(height) for x in range(width)):
        problems.append("is not fully transparent")
    return problems


def check_picture(data, width, height, colour, checks=()):
    """Returns a list of problems (empty when the picture matches)."""
    w, h, depth, c, _ = png_header(data)
    for _ in png_chunks(data):  # walks to IEND: catches truncation and bad CRCs
        pass
    problems = []
    if (w, h) != (width, height):
        problems.append("size %dx%d, expected %dx%d" % (w, h, width, height))
    if c != colour or depth != 8:
        problems.append("%d-bit %s, expected 8-bit %s" % (depth, COLOUR_NAMES.get(c, c), COLOUR_NAMES[colour]))
    if not problems and checks:
        problems += check_pixels(data, checks)
    return problems


# ------------------------------------------------------------------- Ogg --

def _ogg_crc_table():
    table = []
    for i in range(256):
        r = i << 24
        for _ in range(8):
            r = ((r << 1) ^ 0x04C11DB7) if r & 0x80000000 else (r << 1)
        table.append(r & 0xFFFFFFFF)
    return table


_OGG_CRC = _ogg_crc_table()


def ogg_crc(data):
    crc = 0
    for byte in data:
        crc = ((crc << 8) & 0xFFFFFFFF) ^ _OGG_CRC[((crc >> 24) & 0xFF) ^ byte]
    return crc


def ogg_pages(data):
    """Yields (serial, header flags, granule position, segment lengths, body) per page."""
    pos = 0
    if not data:
        raise MediaError("empty file")
    while pos < len(data):
        if data[pos:pos + 4] != b"OggS":
            raise MediaError("no Ogg page at byte %d" % pos)
        if pos + 27 > len(data):
            raise MediaError("Ogg page header truncated at byte %d" % pos)
        version, flags, granule, serial, _, crc, nseg = struct.unpack("<BBqIIIB", data[pos + 4:pos + 27])
        if version != 0:
            raise MediaError("Ogg page at byte %d has version %d" % (pos, version))
        lacing = data[pos + 27:pos + 27 + nseg]
        body_start = pos + 27 + nseg
        body_end = body_start + sum(lacing)
        if len(lacing) != nseg or body_end > len(data):
            raise MediaError("Ogg page at byte %d truncated" % pos)
        page = bytearray(data[pos:body_end])
        page[22:26] = b"\0\0\0\0"
        if ogg_crc(page) != crc:
            raise MediaError("Ogg page at byte %d has a bad checksum" % pos)
        yield serial, flags, granule, list(lacing), data[body_start:body_end]
        pos = body_end


def ogg_stream(data):
    """Returns (first packet, last granule position) of the file's first logical stream."""
    first_serial = None
    first_packet = bytearray()
    first_done = False
    last_granule = None
    saw_eos = False
    for serial, flags, granule, lacing, body in ogg_pages(data):
        if first_serial is None:
            if not flags & 2:
                raise MediaError("first Ogg page is not a stream start")
            first_serial = serial
        if serial != first_serial:
            continue
        offset = 0
        for seg in lacing:
            if not first_done:
                first_packet += body[offset:offset + seg]
                if seg < 255:
                    first_done = True
            offset += seg
        if granule != -1:
            last_granule = granule
        if flags & 4:
            saw_eos = True
    if not first_done:
        raise MediaError("Ogg stream has no complete first packet")
    if last_granule is None:
        raise MediaError("Ogg stream has no granule position")
    if not saw_eos:
        raise MediaError("Ogg stream has no end-of-stream page (truncated?)")
    return bytes(first_packet), last_granule


def vorbis_info(data):
    """Returns (channels, sample rate, duration in seconds)."""
    packet, granule = ogg_stream(data)
    if len(packet) < 30 or packet[:7] != b"\x01vorbis":
        raise MediaError("not an Ogg Vorbis stream")
    version, channels, rate = struct.unpack("<IBI", packet[7:16])
    if version != 0 or channels == 0 or rate == 0:
        raise MediaError("Vorbis identification header is invalid")
    return channels, rate, granule / rate


def theora_info(data):
    """Returns (width, height, pixel format, frames per second, frame count)."""
    packet, granule = ogg_stream(data)
    if len(packet) < 42 or packet[:7] != b"\x80theora":
        raise MediaError("not an Ogg Theora stream")
    vmaj, vmin, vrev = packet[7], packet[8], packet[9]
    if vmaj != 3 or vmin != 2:
        raise MediaError("unsupported Theora version %d.%d.%d" % (vmaj, vmin, vrev))
    picw = int.from_bytes(packet[14:17], "big")
    pich = int.from_bytes(packet[17:20], "big")
    frn, frd = struct.unpack(">II", packet[22:30])
    if frd == 0:
        raise MediaError("Theora frame rate has a zero denominator")
    tail = int.from_bytes(packet[40:42], "big")  # QUAL(6) KFGSHIFT(5) PF(2) RES(3)
    shift = (tail >> 5) & 0x1F
    pixel_format = (tail >> 3) & 0x3
    frame = (granule >> shift) + (granule & ((1 << shift) - 1))
    # From 3.2.1 on the granule position counts frames from 1; before that from 0.
    count = frame if vrev >= 1 else frame + 1
    return picw, pich, pixel_format, frn / frd, count


# --------------------------------------------------------------- checking --

def _read(folder, rel):
    path = os.path.join(folder, rel)
    if not os.path.isfile(path):
        raise MediaError("missing")
    with open(path, "rb") as f:
        return f.read()


def check_sound(data, channels, rate, shortest, longest):
    ch, sr, seconds = vorbis_info(data)
    problems = []
    if channels is not None and ch != channels:
        problems.append("%d channel(s), expected %d" % (ch, channels))
    if rate is not None and sr != rate:
        problems.append("%d Hz, expected %d Hz" % (sr, rate))
    if not shortest <= seconds <= longest:
        problems.append("%.2f s long, expected %.1f to %.1f s" % (seconds, shortest, longest))
    return problems


def check_film(data, width, height, fps, frames):
    w, h, pf, rate, count = theora_info(data)
    problems = []
    if (w, h) != (width, height):
        problems.append("frame %dx%d, expected %dx%d" % (w, h, width, height))
    if pf != 0:
        problems.append("pixel format is not 4:2:0")
    if abs(rate - fps) > 1e-6:
        problems.append("%.3f frames/s, expected %d" % (rate, fps))
    if count != frames:
        problems.append("%d frames, expected %d" % (count, frames))
    return problems


def check_folder(folder):
    """Returns a list of 'path: problem' lines for everything that fails."""
    failures = []
    jobs = ([(row[0], check_picture, row[1:]) for row in PICTURES] +
            [(row[0], check_sound, row[1:]) for row in SOUNDS] +
            [(row[0], check_film, row[1:]) for row in FILMS])
    for rel, check, expected in jobs:
        try:
            problems = check(_read(folder, rel), *expected)
        except MediaError as exc:
            problems = [str(exc)]
        for problem in problems:
            failures.append("%s: %s" % (rel, problem))
    total = 0
    for root, _, files in os.walk(folder):
        total += sum(os.path.getsize(os.path.join(root, f)) for f in files)
    if total > MAX_TOTAL_BYTES:
        failures.append("%s: %.1f MB in all, more than %.0f MB" % (folder, total / 1e6, MAX_TOTAL_BYTES / 1e6))
    return failures


# ------------------------------------------------------- card captions --

CARD_CAPTION_TOP = 146   # below the picture panel
CAPTION_INK = 110        # a caption pixel is darker than this in every channel


def caption_baseline(data):
    """The row the card's name stands on: the last row that holds at least a third of the ink
    of the name's fullest row (descenders hold far less), or None when there is no name."""
    width, height, bpp, rows = png_pixels(data)
    counts = []
    for y in range(CARD_CAPTION_TOP, height - 3):
        row = rows[y]
        counts.append(sum(1 for x in range(3, width - 3)
                          if max(row[x * bpp], row[x * bpp + 1], row[x * bpp + 2]) < CAPTION_INK))
    if not counts or max(counts) == 0:
        return None
    full = max(counts)
    return CARD_CAPTION_TOP + max(i for i, c in enumerate(counts) if c * 3 >= full)


def check_captions(folder):
    """All card names on one baseline, within a pixel."""
    baselines = {}
    failures = []
    for rel, w, h, _, _ in PICTURES:
        if (w, h) != (156, 179):
            continue
        try:
            baseline = caption_baseline(_read(folder, rel))
        except MediaError:
            continue  # already reported by the picture check
        if baseline is None:
            failures.append("%s: the card has no name under its picture" % rel)
        else:
            baselines[rel] = baseline
    if baselines:
        common = sorted(baselines.values())[len(baselines) // 2]
        for rel, baseline in sorted(baselines.items()):
            if abs(baseline - common) > 1:
                failures.append("%s: the name stands on row %d, the other cards' on row %d" % (rel, baseline, common))
    return failures


# ------------------------------------------------------------- decoding --

SILENCE_DBFS = -40.0
MIN_PAUSE = 0.7
SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "assets", "speech_ru.txt")


def sentence_counts(script_path):
    """{clip: number of sentences spoken} from the generator's script; a line may hold more than
    one sentence, and each needs its pause."""
    counts, current = {}, None
    with open(script_path, encoding="utf-8") as f:
        for raw in f:
            text = raw.strip()
            if not text or text.startswith("#") or text.startswith("@"):
                continue
            if text.startswith("[") and text.endswith("]"):
                current = text[1:-1]
                counts[current] = 0
            else:
                counts[current] += max(1, len(re.findall(r"[.!?…]+(?=\s|$)", text)))
    return counts


def pauses(samples, rate, window_s=0.02):
    """Lengths in seconds of the silent stretches between speech (not before or after it)."""
    window = max(1, int(rate * window_s))
    threshold = 32768 * 10 ** (SILENCE_DBFS / 20)
    loud = []
    for i in range(0, len(samples) - window + 1, window):
        chunk = samples[i:i + window]
        loud.append(math.sqrt(sum(v * v for v in chunk) / window) >= threshold)
    result, run, seen_speech = [], 0, False
    for is_loud in loud:
        if is_loud:
            if seen_speech and run:
                result.append(run * window / rate)
            seen_speech, run = True, 0
        else:
            run += 1
    return result


def decode_vorbis(path):
    wav = subprocess.run(["oggdec", "-Q", "-o", "-", path], check=True, stdout=subprocess.PIPE).stdout
    import io
    with wave.open(io.BytesIO(wav)) as w:
        channels, rate = w.getnchannels(), w.getframerate()
        data = array.array("h", w.readframes(w.getnframes()))
    if sys.byteorder == "big":
        data.byteswap()
    return data[::channels], rate


def check_pauses(folder, counts):
    """Every speech clip of the script: a pause of MIN_PAUSE or more after each sentence but the
    last."""
    failures = []
    for clip in sorted(counts):
        if counts[clip] < 2:
            continue
        samples, rate = decode_vorbis(os.path.join(folder, clip + ".ogg"))
        gaps = pauses(samples, rate)
        wanted = counts.get(clip, 1) - 1
        long_gaps = sorted(g for g in gaps if g >= MIN_PAUSE)
        if len(long_gaps) < wanted:
            failures.append("%s.ogg: %d pause(s) of %.1f s or more between %d sentences; pauses of 0.2 s or more: %s" %
                            (clip, len(long_gaps), MIN_PAUSE, wanted + 1,
                             ", ".join("%.2f" % g for g in gaps if g >= 0.2) or "none"))
    return failures


# a round face in a film frame: (film, frame, centre x, centre y as the pupil sees it)
ROUND_FACES = [("molodec", 25, 160, 60), ("gotovo", 25, 160, 62)]
SHOWN_W, SHOWN_H = 320, 200


def decode_frame(path, index):
    """Frame index of a film as the praise window shows it: scaled to 320 x 200, RGB."""
    return subprocess.run(["ffmpeg", "-loglevel", "error", "-i", path, "-vf",
                           "select=eq(n\\,%d),scale=%d:%d" % (index, SHOWN_W, SHOWN_H), "-frames:v", "1",
                           "-f", "rawvideo", "-pix_fmt", "rgb24", "-"], check=True, stdout=subprocess.PIPE).stdout


def face_aspect(rgb, cx, cy, width=SHOWN_W):
    """Width over height of the yellow face around (cx, cy): half widths to the left and right
    over the distance up to the outline (the mouth is in the way below)."""
    def yellow(x, y):
        r, g, b = rgb[(y * width + x) * 3:(y * width + x) * 3 + 3]
        return r > 200 and g > 180 and b < 150

    if not yellow(cx, cy):
        return None
    reach = []
    for dx, dy in ((-1, 0), (1, 0), (0, -1)):
        n = 0
        while yellow(cx + dx * (n + 1), cy + dy * (n + 1)):
            n += 1
        reach.append(n + 0.5)
    return (reach[0] + reach[1]) / 2 / reach[2]


def check_film_shapes(folder):
    failures = []
    for film, index, cx, cy in ROUND_FACES:
        rel = "named/%s_film.ogv" % film
        aspect = face_aspect(decode_frame(os.path.join(folder, rel), index), cx, cy)
        if aspect is None:
            failures.append("%s: no face at (%d, %d) in frame %d" % (rel, cx, cy, index))
        elif abs(aspect - 1) > 0.05:
            failures.append("%s: the round face is %.2f times as wide as high on screen" % (rel, aspect))
    return failures


def main(argv):
    decode = "--decode" in argv[1:]
    args = [a for a in argv[1:] if a != "--decode"]
    if len(args) != 1:
        print("usage: %s [--decode] DATA_DIR" % os.path.basename(argv[0]), file=sys.stderr)
        return 2
    folder = args[0]
    if not os.path.isdir(folder):
        print("%s: not a folder" % folder, file=sys.stderr)
        return 2
    failures = check_folder(folder) + check_captions(folder)
    if decode:
        failures += check_pauses(folder, sentence_counts(SCRIPT)) + check_film_shapes(folder)
    for line in failures:
        print(line, file=sys.stderr)
    count = len(PICTURES) + len(SOUNDS) + len(FILMS)
    if failures:
        print("media check: %d problem(s) in %d expected files" % (len(failures), count), file=sys.stderr)
        return 1
    print("media check: all %d files match" % count)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
