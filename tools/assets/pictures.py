"""Boards, bell buttons, the help-screen pictures, the praise cloud, the icon and the text marks."""

import math
import os

import cairo
from PIL import Image

from draw import (OUTLINE, centred_text, ellipse, fill_stroke, line, polygon, rgb, rounded_rect, save,
                  set_colour, shade, star, surface)

SLOTS = [(55, 54), (233, 54), (411, 55), (589, 55)]
CARD_W, CARD_H = 156, 179
BELL_AT = (695, 495)

# per episode base number: sky top, sky bottom, ground (top half backdrop), table (calm lower half), slot ink
THEMES = {
    128: dict(sky=("#8fd0f5", "#d8f0fb"), hills="#e8c25a", table="#f6ebc8", ink="#8a6414", ring="#c0562a"),
    101: dict(sky=("#9fd8f0", "#e2f4fa"), hills="#6fb35a", table="#e3efd2", ink="#3d6b2a", ring="#4a9a3c"),
    110: dict(sky=("#c9c1ef", "#efeafc"), hills="#a995d8", table="#f3ecf8", ink="#5a4494", ring="#8a6cd0"),
    119: dict(sky=("#ffd3dc", "#fff1f3"), hills="#7cc46a", table="#fbe5e2", ink="#a43044", ring="#e0506a"),
}


# ------------------------------------------------------------------ boards --

def _cloud_puffs(cr, x, y, scale):
    for dx, dy, r in ((0, 0, 18), (20, -8, 22), (42, 0, 17), (22, 6, 18)):
        ellipse(cr, x + dx * scale, y + dy * scale, r * scale, r * scale * 0.8)
    cr.set_source_rgba(1, 1, 1, 0.85)
    cr.fill()


def _backdrop(cr, theme, base):
    sky = cairo.LinearGradient(0, 0, 0, 300)
    sky.add_color_stop_rgb(0, *rgb(theme["sky"][0])[:3])
    sky.add_color_stop_rgb(1, *rgb(theme["sky"][1])[:3])
    cr.set_source(sky)
    cr.paint()
    _cloud_puffs(cr, 20, 28, 0.8)
    _cloud_puffs(cr, 740, 22, 0.7)
    # a low band of hills or a field behind the slots, seen only around them
    hills = rgb(theme["hills"])
    cr.move_to(0, 262)
    for x in range(0, 801, 40):
        cr.line_to(x, 250 + 10 * math.sin(x / 90.0 + base))
    cr.line_to(800, 300)
    cr.line_to(0, 300)
    cr.close_path()
    set_colour(cr, hills)
    cr.fill()
    # the calm lower half where the cards wait: a plain tablecloth with a soft border
    table = rgb(theme["table"])
    cr.rectangle(0, 285, 800, 315)
    set_colour(cr, table)
    cr.fill()
    cr.rectangle(0, 285, 800, 6)
    set_colour(cr, shade(rgb(theme["ink"]), 1.3))
    cr.fill()
    rounded_rect(cr, 12, 300, 776, 290, 18)
    cr.set_source_rgba(1, 1, 1, 0.35)
    cr.fill()


def _slot(cr, number, x, y, theme):
    ink = rgb(theme["ink"])
    rounded_rect(cr, x + 3, y + 4, CARD_W, CARD_H, 10)
    cr.set_source_rgba(0, 0, 0, 0.15)
    cr.fill()
    rounded_rect(cr, x, y, CARD_W, CARD_H, 10)
    cr.set_source_rgba(1, 1, 1, 0.80)
    cr.fill()
    rounded_rect(cr, x + 1.5, y + 1.5, CARD_W - 3, CARD_H - 3, 9)
    set_colour(cr, ink)
    cr.set_line_width(3)
    cr.set_dash([10, 6])
    cr.stroke()
    cr.set_dash([])
    # the slot's number, large and pale inside, and in a bold badge above
    centred_text(cr, str(number), x + CARD_W / 2, y + CARD_H / 2, 96, shade(ink, 1.75))
    ellipse(cr, x + CARD_W / 2, 27, 21, 21)
    fill_stroke(cr, rgb(theme["ring"]), (1, 1, 1), 3)
    centred_text(cr, str(number), x + CARD_W / 2, 27, 26, (1, 1, 1), outline=shade(ink, 0.8), outline_width=2)


def _arrow(cr, x, y, colour):
    polygon(cr, [(x - 8, y - 5), (x + 2, y - 5), (x + 2, y - 11), (x + 11, y), (x + 2, y + 11),
                 (x + 2, y + 5), (x - 8, y + 5)])
    fill_stroke(cr, colour, (1, 1, 1), 1.5)


def board(base):
    theme = THEMES[base]
    s, cr = surface(800, 600)
    _backdrop(cr, theme, base)
    for i, (x, y) in enumerate(SLOTS):
        _slot(cr, i + 1, x, y, theme)
    for left, right in zip(SLOTS, SLOTS[1:]):
        _arrow(cr, (left[0] + CARD_W + right[0]) / 2, 145, rgb(theme["ring"]))
    # a soft round mat under the bell so its place is easy to find
    ellipse(cr, BELL_AT[0] + 48, BELL_AT[1] + 52, 50, 46)
    cr.set_source_rgba(0, 0, 0, 0.08)
    cr.fill()
    return s


# ------------------------------------------------------------------- bells --

def bell_shape(cr, cx, cy, size, body, line_width=2.5):
    """A school hand bell: body, rim and clapper, about size pixels tall, centred on (cx, cy)."""
    k = size / 60.0
    top, rim = cy - 26 * k, cy + 20 * k
    # handle knob
    ellipse(cr, cx, top - 5 * k, 6 * k, 6 * k)
    fill_stroke(cr, shade(body, 0.85), OUTLINE, line_width)
    # clapper
    ellipse(cr, cx, rim + 6 * k, 7 * k, 6 * k)
    fill_stroke(cr, shade(body, 0.7), OUTLINE, line_width)
    cr.move_to(cx - 25 * k, rim)
    cr.curve_to(cx - 22 * k, rim - 10 * k, cx - 18 * k, top + 20 * k, cx - 16 * k, top + 10 * k)
    cr.curve_to(cx - 14 * k, top - 2 * k, cx + 14 * k, top - 2 * k, cx + 16 * k, top + 10 * k)
    cr.curve_to(cx + 18 * k, top + 20 * k, cx + 22 * k, rim - 10 * k, cx + 25 * k, rim)
    cr.close_path()
    grad = cairo.LinearGradient(cx - 25 * k, 0, cx + 25 * k, 0)
    grad.add_color_stop_rgb(0, *shade(body, 0.8)[:3])
    grad.add_color_stop_rgb(0.35, *shade(body, 1.45)[:3])
    grad.add_color_stop_rgb(1, *shade(body, 0.7)[:3])
    cr.set_source(grad)
    cr.fill_preserve()
    set_colour(cr, OUTLINE)
    cr.set_line_width(line_width)
    cr.stroke()
    rounded_rect(cr, cx - 29 * k, rim - 3 * k, 58 * k, 8 * k, 4 * k)
    fill_stroke(cr, shade(body, 0.9), OUTLINE, line_width)
    # a shine on the left
    ellipse(cr, cx - 8 * k, top + 16 * k, 3 * k, 9 * k, 0.25)
    cr.set_source_rgba(1, 1, 1, 0.7)
    cr.fill()


def bell_button(base, factor):
    theme = THEMES[base]
    s, cr = surface(96, 96)
    ring = shade(rgb(theme["ring"]), factor)
    ellipse(cr, 48, 49, 45, 45)
    cr.set_source_rgba(0, 0, 0, 0.25)
    cr.fill()
    ellipse(cr, 48, 47, 44, 44)
    grad = cairo.RadialGradient(38, 32, 4, 48, 47, 46)
    grad.add_color_stop_rgb(0, *shade(ring, 1.6)[:3])
    grad.add_color_stop_rgb(1, *ring[:3])
    cr.set_source(grad)
    cr.fill_preserve()
    set_colour(cr, shade(ring, 0.55))
    cr.set_line_width(2.5)
    cr.stroke()
    ellipse(cr, 48, 47, 36, 36)
    set_colour(cr, (1, 1, 1, 0.55))
    cr.set_line_width(2)
    cr.stroke()
    bell_shape(cr, 48, 50, 56, shade(rgb("#f2b51d"), factor))
    return s


# ---------------------------------------------------------- help and praise --

def cloud_path(cr, x0, y0, x1, y1, bump):
    """A puffy cloud outline filling the box, built from round bumps along a rounded rectangle."""
    cr.new_path()
    w, h = x1 - x0, y1 - y0
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    n = max(8, int((w + h) * 2 / bump))
    for i in range(n):
        a = 2 * math.pi * i / n
        # superellipse point on the box edge
        ca, sa = math.cos(a), math.sin(a)
        px = cx + (w / 2 - bump * 0.7) * math.copysign(abs(ca) ** 0.5, ca)
        py = cy + (h / 2 - bump * 0.7) * math.copysign(abs(sa) ** 0.5, sa)
        r = bump * (0.85 + 0.25 * ((i * 7) % 3) / 2)
        cr.new_sub_path()
        cr.arc(px, py, r, 0, 2 * math.pi)
    cr.new_sub_path()
    rounded_rect(cr, x0 + bump * 0.6, y0 + bump * 0.6, w - bump * 1.2, h - bump * 1.2, bump)


def draw_cloud(cr, x0, y0, x1, y1, bump, fill=(1, 1, 1), edge=rgb("#7fb2e0")):
    cr.save()
    cr.translate(3, 5)
    cloud_path(cr, x0, y0, x1, y1, bump)
    cr.set_source_rgba(0.2, 0.35, 0.6, 0.18)
    cr.set_fill_rule(cairo.FILL_RULE_WINDING)
    cr.fill()
    cr.restore()
    cloud_path(cr, x0, y0, x1, y1, bump)
    set_colour(cr, edge)
    cr.set_line_width(5)
    cr.stroke()
    cloud_path(cr, x0, y0, x1, y1, bump)
    set_colour(cr, fill)
    cr.fill()


def praise_cloud():
    s, cr = surface(506, 350)
    draw_cloud(cr, 18, 18, 484, 328, 34, fill=(1, 1, 1), edge=rgb("#8cc0ee"))
    # a soft frame where the film plays (93, 76)-(413, 276)
    rounded_rect(cr, 89, 72, 328, 208, 10)
    set_colour(cr, rgb("#bfdcf5"))
    cr.fill()
    for i, (x, y) in enumerate(((60, 60), (446, 58), (52, 290), (452, 292), (250, 34), (250, 312))):
        star(cr, x, y, 11 if i < 4 else 9, 5)
        fill_stroke(cr, rgb("#ffd23f"), rgb("#e09a00"), 1.5)
    return s


# the space bar in keyboard coordinates: the highlight is drawn at (237, 502) with the keyboard at (107, 347)
SPACE_BAR = (130, 155, 112, 14)


def keyboard_picture():
    s, cr = surface(524, 230)
    # the bumps reach 0.4 bump past the box, the edge line and the shadow a few pixels more:
    # the box leaves room for all of them inside the picture
    draw_cloud(cr, 15, 14, 505, 211, 24, fill=rgb("#eef6ff"), edge=rgb("#9cc8ef"))
    rounded_rect(cr, 40, 22, 420, 166, 12)
    fill_stroke(cr, rgb("#5b6472"), rgb("#2b313a"), 2.5)
    rounded_rect(cr, 46, 26, 408, 156, 9)
    set_colour(cr, rgb("#6d7787"))
    cr.fill()

    def key(x, y, w, h=20, label=None, colour=rgb("#f4f6f9")):
        rounded_rect(cr, x + 1, y + 2, w, h, 4)
        cr.set_source_rgba(0, 0, 0, 0.35)
        cr.fill()
        rounded_rect(cr, x, y, w, h, 4)
        grad = cairo.LinearGradient(0, y, 0, y + h)
        grad.add_color_stop_rgb(0, *colour[:3])
        grad.add_color_stop_rgb(1, *shade(colour, 0.86)[:3])
        cr.set_source(grad)
        cr.fill()
        if label:
            centred_text(cr, label, x + w / 2, y + h / 2, 8.5, (0.25, 0.27, 0.32))

    rows = ["ЙЦУКЕНГШЩЗХЪ", "ФЫВАПРОЛДЖЭ", "ЯЧСМИТЬБЮ"]
    pitch = 25
    # Esc and the function keys in a lower row above, in groups of four as on a real keyboard
    key(56, 30, 22, 16, label="Esc")
    for i in range(12):
        key(106 + i * pitch + (i // 4) * 12, 30, 22, 16, label="F%d" % (i + 1))
    # the Russian layout's Ё left of the digits, then the letters, shifted like a real keyboard
    key(56, 52, 22, label="Ё")
    for i, ch in enumerate("1234567890"):
        key(56 + (i + 1) * pitch, 52, 22, label=ch)
    for r, letters in enumerate(rows):
        y = 52 + (r + 1) * 25
        x0 = 56 + (r + 1) * 8
        for i, ch in enumerate(letters):
            key(x0 + i * pitch, y, 22, label=ch)
    # bottom row: the space bar exactly where the highlight goes
    sx, sy, sw, sh = SPACE_BAR
    by = sy - 3
    key(56, by, 30)
    key(90, by, 36)
    key(sx, by, sw)
    key(sx + sw + 4, by, 36)
    key(sx + sw + 44, by, 30)
    # arrows and the Enter key at the right
    for i, label in enumerate(("◀", "▼", "▶")):
        key(370 + i * 25, by, 22, label=label)
    key(395, by - 25, 22, label="▲")
    key(395, 77, 55, 45, label="Enter")
    return s


def space_highlight():
    s, cr = surface(112, 14)
    grad = cairo.LinearGradient(0, 0, 0, 14)
    grad.add_color_stop_rgb(0, *rgb("#fff27a")[:3])
    grad.add_color_stop_rgb(1, *rgb("#ffb300")[:3])
    cr.set_source(grad)
    cr.paint()
    cr.rectangle(0.5, 0.5, 111, 13)
    set_colour(cr, rgb("#c46a00"))
    cr.set_line_width(1)
    cr.stroke()
    centred_text(cr, "ПРОБЕЛ", 56, 7, 9, rgb("#7a3a00"))
    return s


def mouse_picture():
    s, cr = surface(246, 246)
    ellipse(cr, 123, 123, 119, 119)
    grad = cairo.RadialGradient(100, 90, 10, 123, 123, 120)
    grad.add_color_stop_rgb(0, *rgb("#f4fbff")[:3])
    grad.add_color_stop_rgb(1, *rgb("#bfe0f7")[:3])
    cr.set_source(grad)
    cr.fill_preserve()
    set_colour(cr, rgb("#7fb2e0"))
    cr.set_line_width(4)
    cr.stroke()
    # cable
    cr.move_to(123, 52)
    cr.curve_to(123, 30, 150, 30, 160, 12)
    set_colour(cr, rgb("#555b66"))
    cr.set_line_width(4)
    cr.stroke()
    # mouse body
    cr.move_to(123, 50)
    cr.curve_to(175, 50, 182, 110, 178, 150)
    cr.curve_to(174, 205, 150, 222, 123, 222)
    cr.curve_to(96, 222, 72, 205, 68, 150)
    cr.curve_to(64, 110, 71, 50, 123, 50)
    cr.close_path()
    body = cairo.LinearGradient(68, 0, 178, 0)
    body.add_color_stop_rgb(0, 0.98, 0.98, 1.0)
    body.add_color_stop_rgb(1, 0.78, 0.80, 0.85)
    cr.set_source(body)
    cr.fill_preserve()
    set_colour(cr, rgb("#3a4150"))
    cr.set_line_width(3)
    cr.stroke()
    # left button pressed: coloured
    cr.move_to(123, 50)
    cr.curve_to(71, 50, 64, 110, 68, 118)
    cr.line_to(123, 118)
    cr.close_path()
    fill_stroke(cr, rgb("#ffb347"), rgb("#3a4150"), 3)
    line(cr, [(123, 50), (123, 118)], rgb("#3a4150"), 3)
    line(cr, [(69, 118), (177, 118)], rgb("#3a4150"), 3)
    rounded_rect(cr, 117, 66, 12, 26, 6)
    fill_stroke(cr, rgb("#8a93a3"), rgb("#3a4150"), 2)
    # the hand: palm over the back of the mouse, fingers on the buttons
    skin = rgb("#f6c9a0")
    ink = rgb("#8a5230")
    fingers = [(88, 78, -0.10, 62), (113, 70, -0.02, 66), (138, 76, 0.06, 60), (160, 98, 0.16, 48)]
    for fx, fy, angle, length in reversed(fingers):
        cr.save()
        cr.translate(fx, fy)
        cr.rotate(angle)
        rounded_rect(cr, -11, 0, 22, length + 40, 11)
        fill_stroke(cr, skin, ink, 2.5)
        # fingernail
        rounded_rect(cr, -6, 4, 12, 12, 5)
        fill_stroke(cr, shade(skin, 1.4), shade(ink, 1.3), 1.2)
        cr.restore()
    # thumb at the left side
    cr.save()
    cr.translate(70, 170)
    cr.rotate(-0.9)
    rounded_rect(cr, -12, -10, 24, 58, 12)
    fill_stroke(cr, skin, ink, 2.5)
    cr.restore()
    cr.move_to(72, 150)
    cr.curve_to(70, 200, 95, 236, 130, 238)
    cr.curve_to(168, 238, 186, 205, 180, 150)
    cr.curve_to(170, 135, 80, 135, 72, 150)
    cr.close_path()
    fill_stroke(cr, skin, ink, 2.5)
    # sleeve leaving the circle
    cr.save()
    ellipse(cr, 123, 123, 117, 117)
    cr.clip()
    rounded_rect(cr, 82, 222, 100, 40, 8)
    fill_stroke(cr, rgb("#4f8fd8"), rgb("#2a5a9a"), 2.5)
    cr.restore()
    # "click" marks by the pressed button
    for a in (-2.6, -2.2, -1.8):
        line(cr, [(92 + 26 * math.cos(a), 60 + 26 * math.sin(a)), (92 + 40 * math.cos(a), 60 + 40 * math.sin(a))],
             rgb("#e07000"), 3)
    return s


def icon():
    s, cr = surface(64, 64)
    rounded_rect(cr, 2, 2, 60, 60, 14)
    grad = cairo.LinearGradient(0, 2, 0, 62)
    grad.add_color_stop_rgb(0, *rgb("#5fb8ff")[:3])
    grad.add_color_stop_rgb(1, *rgb("#2a6fc9")[:3])
    cr.set_source(grad)
    cr.fill_preserve()
    set_colour(cr, rgb("#1c4f94"))
    cr.set_line_width(2)
    cr.stroke()
    bell_shape(cr, 32, 34, 40, rgb("#f2b51d"), 2)
    return s


# ------------------------------------------------------------- text marks --

MARK = (32, 28, 25, 255)


def mark_pictures():
    """The text view's whitespace marks, drawn pixel by pixel so they stay crisp."""
    tab = Image.new("RGBA", (10, 5), (0, 0, 0, 0))
    for x in range(0, 9):
        tab.putpixel((x, 2), MARK)
    for x, y in ((6, 0), (7, 1), (8, 2), (9, 2), (7, 3), (6, 4)):
        tab.putpixel((x, y), MARK)
    pilcrow = Image.new("RGBA", (11, 21), (0, 0, 0, 0))
    # the bowl: a filled half-disc on the left, then two stems down to the foot
    bowl = [(2, 4, 5), (1, 5, 5), (1, 6, 5), (1, 7, 5), (1, 8, 5), (2, 9, 5), (3, 10, 5)]
    for x0, y, x1 in bowl:
        for x in range(x0, x1 + 1):
            pilcrow.putpixel((x, y), MARK)
    for x in range(3, 10):
        pilcrow.putpixel((x, 3), MARK)
    for y in range(3, 18):
        pilcrow.putpixel((6, y), MARK)
        pilcrow.putpixel((9, y), MARK)
    space = Image.new("RGB", (3, 3), MARK[:3])
    linefeed = Image.new("RGBA", (1, 1), (0, 0, 0, 0))
    return {"ws_tab": (tab, "RGBA"), "ws_pilcrow": (pilcrow, "RGBA"), "ws_space": (space, "RGB"),
            "ws_linefeed": (linefeed, "RGBA")}


# ------------------------------------------------------------------- entry --

def make_pictures(data):
    """Writes boards, bells, help and praise pictures, icon and marks; returns {label: path}."""
    out = {}

    def put(label, surf, rel, mode):
        path = os.path.join(data, rel)
        save(surf, path, mode)
        out[label] = path

    for base in (128, 101, 110, 119):
        put(str(base), board(base), "rc/%d.png" % base, "RGB")
        for k, factor in ((6, 1.0), (7, 1.15), (8, 0.72)):
            put(str(base + k), bell_button(base, factor), "rc/%d.png" % (base + k), "RGBA")
    put("500", icon(), "rc/500.png", "RGBA")
    put("oblako_png", praise_cloud(), "named/oblako_png.png", "RGBA")
    put("KEYBOARDPIC", keyboard_picture(), "named/KEYBOARDPIC.png", "RGBA")
    put("KEYSPACE", space_highlight(), "named/KEYSPACE.png", "RGB")
    put("MOUSE", mouse_picture(), "named/MOUSE.png", "RGBA")
    for name, (img, mode) in mark_pictures().items():
        put(name, img, "named/%s.png" % name, mode)
    return out
