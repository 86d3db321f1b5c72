"""The five praise films: 26 frames at 12 per second, drawn with cairo and encoded as Ogg Theora.

Each film says its praise word in big letters that bounce in, over a cheerful animation: a burst
of stars, a smiling sun, falling confetti, a school "five" on a medal, and rising balloons. The
praise window draws the whole 320 x 240 picture into a 320 x 200 rectangle, so every frame is
laid out in 320 x 200 and stretched by 1.2 upwards when it is written: after the window's squeeze
a circle is round again and the letters keep their shape.
"""

import math
import os
import random
import subprocess
import sys

import cairo

from draw import OUTLINE, centred_text, ellipse, fill_stroke, line, rgb, rounded_rect, set_colour, shade, star

W, H = 320, 200            # the layout, as the pupil sees it
FRAME_H = 240              # the encoded frame, squeezed back to H by the praise window
STRETCH = FRAME_H / float(H)
FRAMES, FPS = 26, 12
CONFETTI_COLOURS = ["#ff4d4d", "#ffb000", "#2fbf4a", "#2f8fff", "#b04fff", "#ff6fc8"]


def pop(frame, start=0, length=6):
    t = (frame - start) / float(length)
    if t <= 0:
        return 0.0
    if t >= 1:
        return 1.0
    return 1.0 + math.sin(t * math.pi * 1.2) * (1 - t) * 0.35 - (1 - t) ** 2


def sky(cr, top, bottom):
    g = cairo.LinearGradient(0, 0, 0, H)
    g.add_color_stop_rgb(0, *rgb(top)[:3])
    g.add_color_stop_rgb(1, *rgb(bottom)[:3])
    cr.set_source(g)
    cr.paint()


def word(cr, text, frame, colour, y=150, size=46):
    scale = max(pop(frame, 2, 7), 0.001)
    wobble = math.sin(frame * 0.7) * 0.04 if frame > 9 else 0
    cr.save()
    cr.translate(W / 2, y)
    cr.scale(scale, scale)
    cr.rotate(wobble)
    centred_text(cr, text, 2, 3, size, (0, 0, 0, 0.25))
    centred_text(cr, text, 0, 0, size, rgb(colour), outline=(1, 1, 1), outline_width=7)
    cr.restore()


def smiley(cr, cx, cy, r, frame):
    ellipse(cr, cx, cy, r, r)
    fill_stroke(cr, rgb("#ffd84a"), rgb("#e08a00"), 3)
    blink = frame % 13 == 8
    for dx in (-0.35, 0.35):
        if blink:
            line(cr, [(cx + dx * r - 5, cy - 0.2 * r), (cx + dx * r + 5, cy - 0.2 * r)], OUTLINE, 3)
        else:
            ellipse(cr, cx + dx * r, cy - 0.2 * r, 4.5, 6.5)
            set_colour(cr, OUTLINE)
            cr.fill()
    for dx in (-0.6, 0.6):
        ellipse(cr, cx + dx * r, cy + 0.15 * r, 7, 4.5)
        cr.set_source_rgba(1, 0.4, 0.4, 0.5)
        cr.fill()
    cr.arc(cx, cy + 0.05 * r, 0.55 * r, 0.15 * math.pi, 0.85 * math.pi)
    set_colour(cr, OUTLINE)
    cr.set_line_width(3.5)
    cr.set_line_cap(cairo.LINE_CAP_ROUND)
    cr.stroke()


def hand(cr, side, colour="#ffd84a", ink="#e08a00"):
    """An open hand with its wrist at (0, 0) and fingers up; the thumb points towards -side."""
    fingers = [((-9.75 + 6.5 * i, -24), (-9.75 + 6.5 * i, -24 - length)) for i, length in enumerate((12, 16, 15, 11))]
    thumb = ((-side * 7, -12), (-side * 19, -24))
    for width, paint in ((10.5, ink), (5.5, colour)):  # ink first, then the colour inside it
        for a, b in fingers + [thumb]:
            line(cr, [a, b], rgb(paint), width + (1.5 if a == thumb[0] else 0))
        rounded_rect(cr, -12 - (width - 5.5) / 2, -28 - (width - 5.5) / 2, 24 + width - 5.5, 28 + width - 5.5,
                     8)
        set_colour(cr, rgb(paint))
        cr.fill()
    # the cuff of a sleeve at the wrist
    rounded_rect(cr, -13, -2, 26, 10, 3)
    fill_stroke(cr, rgb("#2f8fff"), OUTLINE, 2)


# ----------------------------------------------------------------- films --

def film_bravo(cr, frame):
    sky(cr, "#2a2f7a", "#6a4fc0")
    rnd = random.Random(7)
    for i in range(14):
        angle = 2 * math.pi * i / 14 + 0.2
        dist = 20 + frame * (6 + rnd.random() * 4)
        x = W / 2 + math.cos(angle) * dist
        y = 90 + math.sin(angle) * dist * 0.8
        r = 7 + rnd.random() * 7
        star(cr, x, y, r, r * 0.45, 5, angle=frame * 0.3 + i)
        fill_stroke(cr, rgb(["#ffd23f", "#ff8fd0", "#8fe3ff"][i % 3]), (1, 1, 1), 1.5)
    for i in range(25):  # twinkles in the night sky
        x, y = rnd.random() * W, rnd.random() * H
        tw = 0.5 + 0.5 * math.sin(frame * 0.9 + i)
        ellipse(cr, x, y, 1.5 + tw, 1.5 + tw)
        cr.set_source_rgba(1, 1, 1, 0.4 + 0.6 * tw)
        cr.fill()
    s = max(pop(frame, 0, 6), 0.001)
    cr.save()
    cr.translate(W / 2, 58)
    cr.scale(s, s)
    cr.rotate(math.sin(frame * 0.5) * 0.12)
    star(cr, 0, 0, 40, 18)
    fill_stroke(cr, rgb("#ffd23f"), rgb("#e08a00"), 3)
    cr.restore()
    word(cr, "Браво!", frame, "#ff3b6b", y=140)


def film_gotovo(cr, frame):
    sky(cr, "#7fd0ff", "#e9f8ff")
    rise = 92 - 30 * min(frame / 10.0, 1.0)
    cr.save()
    cr.translate(W / 2, rise)
    cr.rotate(frame * 0.12)
    for i in range(12):
        cr.save()
        cr.rotate(i * math.pi / 6)
        cr.move_to(48, -7)
        cr.line_to(70 + 6 * math.sin(frame * 0.8 + i), 0)
        cr.line_to(48, 7)
        cr.close_path()
        fill_stroke(cr, rgb("#ffb000"), rgb("#e07a00"), 2)
        cr.restore()
    cr.restore()
    smiley(cr, W / 2, rise, 44, frame)
    # green hill with a flag that says the job is finished
    ellipse(cr, W / 2, 242, 260, 80)
    fill_stroke(cr, rgb("#5cc24a"), rgb("#2f7f2a"), 3)
    word(cr, "Готово!", frame, "#1f7a2a", y=150)


def film_molodec(cr, frame):
    sky(cr, "#fff3c4", "#ffd7e8")
    rnd = random.Random(11)
    for i in range(60):
        x0 = rnd.random() * W
        speed = 7 + rnd.random() * 7
        y = -20 + (rnd.random() * 120 + frame * speed) % (H + 40) - 20
        x = x0 + 10 * math.sin(frame * 0.5 + i)
        cr.save()
        cr.translate(x, y)
        cr.rotate(frame * 0.4 * (1 if i % 2 else -1) + i)
        cr.scale(1, 0.4 + 0.6 * abs(math.sin(frame * 0.6 + i)))
        cr.rectangle(-5, -3, 10, 6)
        set_colour(cr, rgb(CONFETTI_COLOURS[i % len(CONFETTI_COLOURS)]))
        cr.fill()
        cr.restore()
    smiley(cr, W / 2, 60, 40, frame)
    # two open hands waving beside the face, palms to us, thumbs towards the face
    for side in (-1, 1):
        a = math.sin(frame * 0.9) * 0.3 * side
        cr.save()
        cr.translate(W / 2 + side * 70, 88)
        cr.rotate(a + side * 0.35)
        hand(cr, side)
        cr.restore()
    word(cr, "Молодец!", frame, "#e0302a", y=144, size=42)


def film_otlichno(cr, frame):
    sky(cr, "#d6f5d0", "#fff8d8")
    cr.save()
    cr.translate(W / 2, 62)
    cr.rotate(frame * 0.05)
    for i in range(16):
        cr.save()
        cr.rotate(i * math.pi / 8)
        cr.move_to(0, 0)
        cr.line_to(150, -16)
        cr.line_to(150, 16)
        cr.close_path()
        cr.set_source_rgba(1, 0.85, 0.3, 0.35 if i % 2 else 0.15)
        cr.fill()
        cr.restore()
    cr.restore()
    # a medal with the top school mark
    s = max(pop(frame, 0, 6), 0.001)
    cr.save()
    cr.translate(W / 2, 62)
    cr.scale(s, s)
    for side in (-1, 1):
        cr.move_to(side * 8, 20)
        cr.line_to(side * 26, 62)
        cr.line_to(side * 14, 56)
        cr.line_to(side * 4, 66)
        cr.close_path()
        fill_stroke(cr, rgb("#2f8fff") if side < 0 else rgb("#e0302a"), OUTLINE, 2)
    star(cr, 0, 0, 46, 30, 12)
    fill_stroke(cr, rgb("#ffc400"), rgb("#c07a00"), 3)
    ellipse(cr, 0, 0, 28, 28)
    fill_stroke(cr, rgb("#fff2b0"), rgb("#c07a00"), 2)
    centred_text(cr, "5", 0, 1, 40, rgb("#e0302a"))
    cr.restore()
    for i in range(6):
        a = frame * 0.35 + i * math.pi / 3
        x, y = W / 2 + math.cos(a) * 90, 62 + math.sin(a) * 45
        star(cr, x, y, 8, 3.5)
        fill_stroke(cr, rgb("#ffd23f"), rgb("#e08a00"), 1.2)
    word(cr, "Отлично!", frame, "#2a6fc9", y=148, size=42)


def film_ura(cr, frame):
    sky(cr, "#8fd8ff", "#d8f3ff")
    rnd = random.Random(5)
    for i in range(7):
        x = 30 + i * 44 + rnd.random() * 10
        y = 230 - frame * (8 + rnd.random() * 4) + rnd.random() * 40
        sway = math.sin(frame * 0.4 + i) * 6
        colour = rgb(CONFETTI_COLOURS[i % len(CONFETTI_COLOURS)])
        cr.move_to(x + sway, y + 26)
        cr.curve_to(x + sway - 6, y + 40, x + sway + 6, y + 50, x + sway, y + 64)
        set_colour(cr, (0.4, 0.4, 0.4))
        cr.set_line_width(1.2)
        cr.stroke()
        ellipse(cr, x + sway, y, 18, 23)
        fill_stroke(cr, colour, shade(colour, 0.6), 2)
        ellipse(cr, x + sway - 6, y - 8, 4, 7, 0.4)
        cr.set_source_rgba(1, 1, 1, 0.6)
        cr.fill()
    for i in range(30):
        x = rnd.random() * W
        y = (rnd.random() * H + frame * 9) % H
        cr.rectangle(x, y, 5, 5)
        set_colour(cr, rgb(CONFETTI_COLOURS[i % len(CONFETTI_COLOURS)]))
        cr.fill()
    word(cr, "Ура!", frame, "#ff5a00", y=100, size=64)


FILMS = [("bravo", film_bravo), ("gotovo", film_gotovo), ("molodec", film_molodec),
         ("otlichno", film_otlichno), ("ura", film_ura)]


def frame_context(surface):
    """A context on a W x FRAME_H surface that takes W x H layout coordinates."""
    cr = cairo.Context(surface)
    cr.scale(1, STRETCH)
    return cr


def squeeze(frame_bytes):
    """The frame as the praise window shows it: W x FRAME_H drawn into W x H."""
    src = cairo.ImageSurface.create_for_data(bytearray(frame_bytes), cairo.FORMAT_RGB24, W, FRAME_H)
    out = cairo.ImageSurface(cairo.FORMAT_RGB24, W, H)
    cr = cairo.Context(out)
    cr.scale(1, 1 / STRETCH)
    cr.set_source_surface(src, 0, 0)
    cr.get_source().set_filter(cairo.FILTER_GOOD)
    cr.paint()
    out.flush()
    return out


def render(draw_frame):
    frames = []
    for frame in range(FRAMES):
        s = cairo.ImageSurface(cairo.FORMAT_RGB24, W, FRAME_H)
        cr = frame_context(s)
        draw_frame(cr, frame)
        s.flush()
        frames.append(bytes(s.get_data()))
    return frames


def encode(frames, target):
    os.makedirs(os.path.dirname(target), exist_ok=True)
    cmd = ["ffmpeg", "-y", "-loglevel", "error", "-f", "rawvideo", "-pix_fmt", "bgr0", "-s", "%dx%d" % (W, FRAME_H),
           "-r", str(FPS), "-i", "-", "-c:v", "libtheora", "-q:v", "6", "-g", "13", "-pix_fmt", "yuv420p",
           "-fflags", "+bitexact", "-flags:v", "+bitexact", "-map_metadata", "-1", "-an", target]
    subprocess.run(cmd, input=b"".join(frames), check=True)


def main(data, build):
    stills = []
    for name, draw_frame in FILMS:
        frames = render(draw_frame)
        encode(frames, os.path.join(data, "named", "%s_film.ogv" % name))
        stills.append((name, frames))
    # frames 0, 6, 12, 18, 25 of every film as the praise window shows them, for review, and
    # frame 18 of each on its own for the contact sheet
    os.makedirs(os.path.join(build, "films"), exist_ok=True)
    sheet = cairo.ImageSurface(cairo.FORMAT_RGB24, 5 * (W + 6), len(stills) * (H + 6))
    cr = cairo.Context(sheet)
    for row, (name, frames) in enumerate(stills):
        for col, index in enumerate((0, 6, 12, 18, 25)):
            shown = squeeze(frames[index])
            cr.set_source_surface(shown, col * (W + 6), row * (H + 6))
            cr.paint()
            if index == 18:
                shown.write_to_png(os.path.join(build, "films", "%s_film.png" % name))
    sheet.write_to_png(os.path.join(build, "film_frames.png"))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
