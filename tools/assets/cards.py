"""The twenty picture cards: four stories of how one thing becomes another, plus one odd card each.

One style for all: a white card with a thin frame, a pale picture panel, a flat drawing inked
with a dark brown line, and the object's name underneath in large letters.
"""

import math
import os

import cairo

from draw import (OUTLINE, baseline_text, centred_text, ellipse, fill_stroke, line, polygon, rgb, rounded_rect, save,
                  set_colour, shade, star, surface, text_extent)

W, H = 156, 179
PANEL = (7, 7, 142, 138)  # x, y, w, h of the picture panel
CAPTION_BASELINE = 166    # every card's name stands on this line

GOLD = rgb("#f0c04a")
WHEAT_STEM = rgb("#d9a93a")
GREEN = rgb("#5aab3c")
LEAF = rgb("#4f9e35")
WOOD = rgb("#c98b4a")
BARK = rgb("#8a5a2e")
PALE_WOOD = rgb("#f0cf93")
RED = rgb("#e0302a")
PINK = rgb("#ef7fb0")


# ----------------------------------------------------------------- pieces --

def strawberry(cr, cx, cy, s, ripe=True):
    cr.move_to(cx, cy + 14 * s)
    cr.curve_to(cx - 16 * s, cy + 4 * s, cx - 14 * s, cy - 12 * s, cx, cy - 10 * s)
    cr.curve_to(cx + 14 * s, cy - 12 * s, cx + 16 * s, cy + 4 * s, cx, cy + 14 * s)
    cr.close_path()
    fill_stroke(cr, RED if ripe else rgb("#b9d96a"), OUTLINE, 1.8)
    for dx, dy in ((-5, -3), (0, -4), (5, -3), (-3, 3), (3, 3), (0, 8), (-7, 2), (7, 2)):
        ellipse(cr, cx + dx * s, cy + dy * s, 0.9 * s, 1.3 * s)
        cr.set_source_rgb(1, 0.9, 0.4)
        cr.fill()
    star(cr, cx, cy - 10 * s, 7 * s, 2.5 * s, 5)
    fill_stroke(cr, GREEN, OUTLINE, 1.5)


def wheat_ear(cr, x0, y0, x1, y1, grains=7):
    """A stalk from (x0, y0) up to (x1, y1) with an ear of paired grains and awns."""
    line(cr, [(x0, y0), (x1, y1)], shade(WHEAT_STEM, 0.8), 3)
    dx, dy = x1 - x0, y1 - y0
    length = math.hypot(dx, dy)
    ux, uy = dx / length, dy / length
    nx, ny = -uy, ux
    angle = math.atan2(uy, ux)
    for j in range(grains):
        px, py = x1 - ux * j * 7.5, y1 - uy * j * 7.5
        for side in (-1, 1):
            gx, gy = px + nx * side * 4.5, py + ny * side * 4.5
            # awn
            line(cr, [(gx, gy), (gx + (ux + nx * side * 0.5) * 16, gy + (uy + ny * side * 0.5) * 16)],
                 shade(WHEAT_STEM, 0.7), 1)
            ellipse(cr, gx, gy, 6, 3.4, angle + side * 0.45)
            fill_stroke(cr, GOLD, OUTLINE, 1.4)
    ellipse(cr, x1 + ux * 3, y1 + uy * 3, 4, 3, angle)
    fill_stroke(cr, GOLD, OUTLINE, 1.4)


def wrapped_candy(cr, cx, cy, colour, angle):
    cr.save()
    cr.translate(cx, cy)
    cr.rotate(angle)
    for side in (-1, 1):
        polygon(cr, [(side * 9, 0), (side * 19, -8), (side * 17, 0), (side * 19, 8)])
        fill_stroke(cr, shade(colour, 1.2), OUTLINE, 1.5)
    ellipse(cr, 0, 0, 11, 8)
    fill_stroke(cr, colour, OUTLINE, 1.8)
    line(cr, [(-5, -6), (-5, 6)], (1, 1, 1), 1.5)
    line(cr, [(2, -7), (2, 7)], (1, 1, 1), 1.5)
    cr.restore()


def log_piece(cr, x, y, length, r):
    """A log lying left to right, its cut end facing us on the right."""
    cr.rectangle(x, y - r, length, 2 * r)
    fill_stroke(cr, BARK, None)
    ellipse(cr, x, y, r * 0.45, r)
    fill_stroke(cr, BARK, None)
    cr.move_to(x, y - r)
    cr.line_to(x + length, y - r)
    cr.move_to(x, y + r)
    cr.line_to(x + length, y + r)
    set_colour(cr, OUTLINE)
    cr.set_line_width(2.2)
    cr.stroke()
    ellipse(cr, x, y, r * 0.45, r)
    set_colour(cr, OUTLINE)
    cr.set_line_width(2.2)
    cr.stroke()
    for k in range(3):  # bark lines
        line(cr, [(x + 8 + k * length / 3.5, y - r * 0.5), (x + 18 + k * length / 3.5, y - r * 0.55)],
             shade(BARK, 0.7), 1.5)
    ellipse(cr, x + length, y, r * 0.62, r)
    fill_stroke(cr, PALE_WOOD, OUTLINE, 2.2)
    for f in (0.65, 0.35):
        ellipse(cr, x + length, y, r * 0.62 * f, r * f)
        set_colour(cr, shade(PALE_WOOD, 0.75))
        cr.set_line_width(1.3)
        cr.stroke()


def fabric_pattern(cr, x0, y0, x1, y1, kind):
    """Fills the current clip with a cloth pattern."""
    if kind == "dots":
        for yy in range(int(y0), int(y1) + 10, 10):
            for xx in range(int(x0) + (yy // 10 % 2) * 5, int(x1) + 10, 10):
                ellipse(cr, xx, yy, 2, 2)
        cr.set_source_rgb(1, 1, 1)
        cr.fill()
    elif kind == "checks":
        cr.set_source_rgba(1, 1, 1, 0.45)
        for xx in range(int(x0), int(x1) + 12, 12):
            cr.rectangle(xx, y0, 5, y1 - y0)
        for yy in range(int(y0), int(y1) + 12, 12):
            cr.rectangle(x0, yy, x1 - x0, 5)
        cr.fill()
    elif kind == "stripes":
        cr.set_source_rgba(1, 1, 1, 0.6)
        for xx in range(int(x0), int(x1) + 10, 10):
            cr.rectangle(xx, y0, 3, y1 - y0)
        cr.fill()


def cloth_roll(cr, x, y, length, r, colour, kind):
    cr.save()
    cr.rectangle(x, y - r, length, 2 * r)
    set_colour(cr, colour)
    cr.fill_preserve()
    cr.clip()
    fabric_pattern(cr, x, y - r, x + length, y + r, kind)
    cr.restore()
    cr.rectangle(x, y - r, length, 2 * r)
    set_colour(cr, OUTLINE)
    cr.set_line_width(2.2)
    cr.stroke()
    ellipse(cr, x, y, r * 0.4, r)
    fill_stroke(cr, shade(colour, 0.8), OUTLINE, 2.2)
    ellipse(cr, x + length, y, r * 0.45, r)
    fill_stroke(cr, shade(colour, 1.15), OUTLINE, 2.2)
    # the spiral of the rolled cloth, and the cardboard tube
    for f in (0.72, 0.45):
        ellipse(cr, x + length, y, r * 0.45 * f, r * f)
        set_colour(cr, shade(colour, 0.7))
        cr.set_line_width(1.3)
        cr.stroke()
    ellipse(cr, x + length, y, r * 0.12, r * 0.25)
    fill_stroke(cr, rgb("#c8a070"), OUTLINE, 1.2)


def leaf(cr, x, y, length, width, angle, colour=LEAF):
    cr.save()
    cr.translate(x, y)
    cr.rotate(angle)
    cr.move_to(0, 0)
    cr.curve_to(length * 0.3, -width, length * 0.75, -width, length, 0)
    cr.curve_to(length * 0.75, width, length * 0.3, width, 0, 0)
    cr.close_path()
    fill_stroke(cr, colour, OUTLINE, 1.8)
    line(cr, [(2, 0), (length * 0.85, 0)], shade(colour, 0.65), 1.2)
    cr.restore()


def strawberry_leaf(cr, x, y, size, angle):
    """A strawberry leaf at the end of its stalk at (x, y): three broad leaflets with sharp teeth
    round their outer half and the pleated veins strawberry leaves have."""
    for da in (-0.8, 0, 0.8):
        cr.save()
        cr.translate(x, y)
        cr.rotate(angle + da)
        length = size * (1.0 if da == 0 else 0.9)
        pts = []
        n = 30
        for i in range(n):
            a = 2 * math.pi * i / n
            px = length * 0.52 * (1 + math.cos(a)) + length * 0.06
            py = length * 0.4 * math.sin(a) * (0.75 + 0.25 * (1 + math.cos(a)) / 2)
            if px > length * 0.4 and i % 2:  # teeth on the outer half
                px, py = length * 0.58 + (px - length * 0.58) * 0.86, py * 0.86
            pts.append((px, py))
        polygon(cr, pts)
        fill_stroke(cr, LEAF, OUTLINE, 1.5)
        vein = shade(LEAF, 0.62)
        line(cr, [(length * 0.08, 0), (length * 1.0, 0)], vein, 1.2)
        for k in range(1, 5):
            vx = length * (0.2 + 0.17 * k)
            for sgn in (-1, 1):
                line(cr, [(vx - length * 0.12, 0), (vx, sgn * length * 0.3 * (1.05 - 0.12 * k))], vein, 1.0)
        cr.restore()


def flower(cr, x, y, r):
    for i in range(5):
        a = -math.pi / 2 + i * 2 * math.pi / 5
        ellipse(cr, x + r * math.cos(a), y + r * math.sin(a), r * 0.75, r * 0.75)
        fill_stroke(cr, (1, 1, 1), OUTLINE, 1.3)
    ellipse(cr, x, y, r * 0.6, r * 0.6)
    fill_stroke(cr, rgb("#ffd23a"), OUTLINE, 1.3)


def soil(cr, cx, y, w):
    ellipse(cr, cx, y, w, 9)
    fill_stroke(cr, rgb("#9a6a3c"), OUTLINE, 2)


# ------------------------------------------------------------------ cards --
# Each drawing works in card pixels; the panel is (7, 7)-(149, 145).

def card_wheat(cr):
    for x0, x1, y1 in ((78, 40, 30), (78, 62, 18), (78, 94, 18), (78, 116, 30)):
        wheat_ear(cr, x0, 138, x1, y1)
    wheat_ear(cr, 78, 138, 78, 14, 8)
    leaf(cr, 78, 118, 40, 5, -2.4, rgb("#b8c24a"))
    leaf(cr, 78, 118, 40, 5, -0.7, rgb("#b8c24a"))
    rounded_rect(cr, 68, 106, 20, 12, 4)
    fill_stroke(cr, rgb("#d6453a"), OUTLINE, 2)


def card_flour(cr):
    # the sack
    cr.move_to(52, 52)
    cr.curve_to(30, 70, 26, 120, 36, 136)
    cr.curve_to(60, 144, 96, 144, 120, 136)
    cr.curve_to(130, 120, 126, 70, 104, 52)
    cr.close_path()
    fill_stroke(cr, rgb("#f3ead6"), OUTLINE, 2.5)
    # gathered top above the tie
    polygon(cr, [(52, 52), (44, 30), (58, 38), (68, 24), (78, 36), (90, 24), (98, 38), (112, 30), (104, 52)])
    fill_stroke(cr, rgb("#e9dcc0"), OUTLINE, 2.5)
    rounded_rect(cr, 48, 48, 60, 9, 4)
    fill_stroke(cr, rgb("#b07a3a"), OUTLINE, 2)
    # flour peeking out at the top
    ellipse(cr, 78, 34, 12, 5)
    fill_stroke(cr, (1, 1, 1), OUTLINE, 1.5)
    # a wheat ear printed on the sack, and its word
    wheat_ear(cr, 78, 118, 78, 78, 4)
    centred_text(cr, "МУКА", 78, 128, 17, rgb("#2a5ab0"))
    # a little heap of flour spilled beside it
    ellipse(cr, 120, 136, 14, 5)
    fill_stroke(cr, (1, 1, 1), OUTLINE, 1.8)


def card_dough(cr):
    # a wooden board dusted with flour
    rounded_rect(cr, 12, 74, 132, 62, 10)
    fill_stroke(cr, PALE_WOOD, OUTLINE, 2.5)
    for y in (88, 104, 120):
        line(cr, [(20, y), (136, y + 2)], shade(PALE_WOOD, 0.85), 1.2)
    for x, y, rx, ry in ((34, 122, 16, 6), (118, 88, 14, 5), (112, 126, 18, 6), (40, 86, 10, 4)):
        ellipse(cr, x, y, rx, ry)
        cr.set_source_rgba(1, 1, 1, 0.85)
        cr.fill()
    # the kneaded lump: uneven, folded over itself, with the dents of fingers
    cr.move_to(30, 106)
    cr.curve_to(22, 92, 34, 70, 54, 70)
    cr.curve_to(62, 60, 84, 58, 94, 66)
    cr.curve_to(104, 62, 124, 70, 126, 88)
    cr.curve_to(130, 104, 116, 112, 104, 110)
    cr.curve_to(84, 118, 50, 118, 30, 106)
    cr.close_path()
    grad = cairo.RadialGradient(64, 76, 4, 76, 90, 52)
    grad.add_color_stop_rgb(0, 1.0, 0.98, 0.93)
    grad.add_color_stop_rgb(1, 0.95, 0.89, 0.76)
    cr.set_source(grad)
    cr.fill_preserve()
    set_colour(cr, OUTLINE)
    cr.set_line_width(2.5)
    cr.stroke()
    crease = rgb("#c9a86a")
    for pts in (((40, 96), (54, 84), (74, 88)), ((62, 106), (84, 98), (108, 102)), ((88, 72), (100, 76), (112, 90)),
                ((56, 76), (64, 72), (70, 80))):
        cr.move_to(*pts[0])
        cr.curve_to(pts[0][0] + 4, pts[0][1] - 6, pts[1][0], pts[1][1], *pts[2])
        set_colour(cr, crease)
        cr.set_line_width(2)
        cr.set_line_cap(cairo.LINE_CAP_ROUND)
        cr.stroke()
    for x, y in ((78, 76), (88, 82), (98, 88)):
        ellipse(cr, x, y, 3.5, 2.4)
        set_colour(cr, rgb("#dcc08a"))
        cr.fill()
    for x, y in ((48, 80), (84, 66), (104, 96), (68, 96), (52, 104), (116, 82), (40, 90), (92, 106)):
        ellipse(cr, x, y, 2.2, 1.5)
        cr.set_source_rgba(1, 1, 1, 1)
        cr.fill()
    # a rolling pin in front
    cr.save()
    cr.translate(78, 128)
    cr.rotate(-0.08)
    for hx in (-58, 42):
        rounded_rect(cr, hx, -4, 16, 8, 4)
        fill_stroke(cr, WOOD, OUTLINE, 2)
    rounded_rect(cr, -44, -8, 88, 16, 7)
    fill_stroke(cr, rgb("#e3a866"), OUTLINE, 2.5)
    line(cr, [(-36, -3), (36, -3)], (1, 1, 1, 0.55), 2.5)
    cr.restore()


def bread_slice(cr, x, y, s):
    cr.move_to(x - 16 * s, y + 20 * s)
    cr.line_to(x - 16 * s, y - 6 * s)
    cr.curve_to(x - 28 * s, y - 10 * s, x - 22 * s, y - 30 * s, x, y - 26 * s)
    cr.curve_to(x + 22 * s, y - 30 * s, x + 28 * s, y - 10 * s, x + 16 * s, y - 6 * s)
    cr.line_to(x + 16 * s, y + 20 * s)
    cr.close_path()
    fill_stroke(cr, rgb("#b86a28"), OUTLINE, 2.2)
    cr.move_to(x - 12 * s, y + 16 * s)
    cr.line_to(x - 12 * s, y - 8 * s)
    cr.curve_to(x - 22 * s, y - 12 * s, x - 16 * s, y - 25 * s, x, y - 22 * s)
    cr.curve_to(x + 16 * s, y - 25 * s, x + 22 * s, y - 12 * s, x + 12 * s, y - 8 * s)
    cr.line_to(x + 12 * s, y + 16 * s)
    cr.close_path()
    set_colour(cr, rgb("#fbe7b8"))
    cr.fill()
    for dx, dy in ((-5, -12), (4, -6), (-3, 4), (6, 8), (-7, 10), (5, -16)):
        ellipse(cr, x + dx * s, y + dy * s, 1.4 * s, 1.1 * s)
        set_colour(cr, rgb("#e2c17f"))
        cr.fill()


def card_bread(cr):
    # a long loaf at the back
    ellipse(cr, 78, 58, 62, 26, -0.12)
    grad = cairo.LinearGradient(0, 32, 0, 86)
    grad.add_color_stop_rgb(0, *rgb("#e6a04a")[:3])
    grad.add_color_stop_rgb(1, *rgb("#a85e20")[:3])
    cr.set_source(grad)
    cr.fill_preserve()
    set_colour(cr, OUTLINE)
    cr.set_line_width(2.5)
    cr.stroke()
    for k in range(5):
        x = 38 + k * 20
        line(cr, [(x, 56 + (4 - k) * 2.5 - 10), (x + 12, 56 + (4 - k) * 2.5 + 4)], rgb("#fbe0a8"), 3.5)
    # slices in front
    bread_slice(cr, 52, 112, 1.0)
    bread_slice(cr, 100, 114, 1.05)


def card_tea(cr):
    # saucer
    ellipse(cr, 70, 128, 54, 10)
    fill_stroke(cr, (1, 1, 1), OUTLINE, 2.2)
    # cup
    cr.move_to(32, 66)
    cr.curve_to(34, 110, 46, 126, 70, 126)
    cr.curve_to(94, 126, 106, 110, 108, 66)
    cr.close_path()
    fill_stroke(cr, (1, 1, 1), OUTLINE, 2.5)
    for x, y in ((48, 90), (70, 100), (92, 88), (58, 112), (84, 114)):
        ellipse(cr, x, y, 4, 4)
        set_colour(cr, rgb("#e0403a"))
        cr.fill()
    ellipse(cr, 70, 66, 38, 8)
    fill_stroke(cr, rgb("#b5651d"), OUTLINE, 2.2)
    # handle
    cr.arc(110, 88, 12, -1.3, 1.3)
    set_colour(cr, OUTLINE)
    cr.set_line_width(7)
    cr.stroke()
    cr.arc(110, 88, 12, -1.3, 1.3)
    cr.set_source_rgb(1, 1, 1)
    cr.set_line_width(3.5)
    cr.stroke()
    # steam
    for x in (56, 72, 88):
        cr.move_to(x, 56)
        cr.curve_to(x - 8, 46, x + 8, 38, x, 26)
        cr.set_source_rgba(0.55, 0.6, 0.7, 0.9)
        cr.set_line_width(3)
        cr.stroke()
    # sweets
    wrapped_candy(cr, 122, 112, rgb("#8a4fd0"), -0.4)
    wrapped_candy(cr, 114, 131, rgb("#2fa0e0"), 0.15)


def card_tree(cr):
    """A birch: white bark with black marks, a light airy crown and no fruit."""
    soil(cr, 78, 140, 40)
    # branches into the crown
    for pts in (((76, 74), (56, 54)), ((80, 66), (104, 46)), ((78, 90), (46, 76)), ((80, 84), (112, 72))):
        line(cr, pts, OUTLINE, 5)
        line(cr, pts, (0.97, 0.97, 0.95), 2.5)
    # the crown: light green, taller than wide, with thin twigs hanging at its edge
    blobs = [(78, 46, 26), (58, 60, 20), (100, 60, 20), (64, 36, 17), (94, 34, 17), (78, 25, 14), (48, 78, 14),
             (108, 78, 14), (78, 66, 20)]
    for x, y, r in blobs:
        ellipse(cr, x, y, r, r * 1.05)
    set_colour(cr, OUTLINE)
    cr.set_line_width(5)
    cr.stroke()
    for x, y, r in blobs:
        ellipse(cr, x, y, r, r * 1.05)
    set_colour(cr, rgb("#8cc84b"))
    cr.fill()
    for x, y in ((40, 86), (50, 94), (116, 86), (106, 94)):
        line(cr, [(x, y - 8), (x - 1, y), (x, y + 8)], shade(GREEN, 0.8), 1.5)
        for k in range(3):
            leaf(cr, x, y - 4 + k * 5, 6, 2.5, 1.2 + 0.6 * (k % 2), rgb("#8cc84b"))
    for x, y in ((66, 32), (92, 50), (56, 62), (98, 72), (80, 21)):
        ellipse(cr, x, y, 6, 4)
        set_colour(cr, rgb("#b5e27a"))
        cr.fill()
    # the white trunk, slim, with the black marks of birch bark
    cr.move_to(70, 140)
    cr.curve_to(73, 120, 74, 100, 75, 72)
    cr.line_to(82, 72)
    cr.curve_to(83, 96, 84, 120, 87, 140)
    cr.close_path()
    fill_stroke(cr, (0.97, 0.97, 0.95), OUTLINE, 2.5)
    for y, x0, w in ((76, 75, 5), (86, 79, 4), (96, 74, 6), (106, 80, 5), (116, 73, 7), (126, 80, 6),
                     (134, 72, 6)):
        line(cr, [(x0, y), (x0 + w, y - 1)], OUTLINE, 2.5)


def card_logs(cr):
    log_piece(cr, 20, 112, 76, 19)
    log_piece(cr, 34, 120, 80, 20)
    log_piece(cr, 22, 80, 84, 20)
    log_piece(cr, 30, 44, 76, 18)
    # an axe stuck in the top log
    line(cr, [(118, 30), (138, 110)], OUTLINE, 7)
    line(cr, [(118, 30), (138, 110)], WOOD, 4)
    polygon(cr, [(106, 24), (126, 18), (130, 34), (112, 42)])
    fill_stroke(cr, rgb("#b8c0cc"), OUTLINE, 2)


def card_boards(cr):
    # a neat stack of sawn planks: flat faces on top, square ends facing us
    for i in range(5):
        y = 126 - i * 17
        x = 18 + (i % 2) * 6
        polygon(cr, [(x, y), (x + 100, y), (x + 120, y - 12), (x + 20, y - 12)])
        fill_stroke(cr, shade(PALE_WOOD, 1.05 - i * 0.02), OUTLINE, 2)
        for k in range(3):
            yy = y - 3 - k * 3.5
            line(cr, [(x + 10 + k * 3, yy), (x + 100 + k * 3 - 8, yy)], shade(PALE_WOOD, 0.78), 1)
        polygon(cr, [(x + 100, y), (x + 120, y - 12), (x + 120, y - 6), (x + 100, y + 6)])
        fill_stroke(cr, shade(PALE_WOOD, 0.8), OUTLINE, 2)
        cr.rectangle(x, y, 100, 6)
        fill_stroke(cr, WOOD, OUTLINE, 2)
    # a saw resting on the stack
    polygon(cr, [(30, 34), (112, 20), (114, 32), (34, 44)])
    fill_stroke(cr, rgb("#c9d0da"), OUTLINE, 2)
    for k in range(10):
        x = 36 + k * 8
        polygon(cr, [(x, 44 - k * 1.2), (x + 4, 48 - k * 1.2), (x + 8, 43 - k * 1.4)])
        fill_stroke(cr, rgb("#c9d0da"), OUTLINE, 1)
    rounded_rect(cr, 110, 14, 26, 20, 6)
    fill_stroke(cr, RED, OUTLINE, 2)


def card_chair(cr):
    wood, dark = WOOD, shade(WOOD, 0.75)
    # back legs and back rest
    for x in (48, 100):
        rounded_rect(cr, x, 20, 9, 120, 3)
        fill_stroke(cr, dark, OUTLINE, 2)
    for y in (26, 46):
        rounded_rect(cr, 46, y, 64, 12, 3)
        fill_stroke(cr, wood, OUTLINE, 2)
    for x in (64, 82):
        cr.rectangle(x, 38, 7, 8)
        fill_stroke(cr, wood, OUTLINE, 1.6)
    cr.rectangle(57, 58, 43, 26)
    fill_stroke(cr, wood, OUTLINE, 2)
    # seat in perspective
    polygon(cr, [(36, 96), (118, 96), (108, 80), (46, 80)])
    fill_stroke(cr, shade(wood, 1.2), OUTLINE, 2.2)
    cr.rectangle(36, 96, 82, 9)
    fill_stroke(cr, dark, OUTLINE, 2.2)
    # front legs
    for x in (38, 108):
        rounded_rect(cr, x, 104, 9, 38, 3)
        fill_stroke(cr, wood, OUTLINE, 2)
    line(cr, [(47, 126), (108, 126)], OUTLINE, 4)


def card_apple(cr):
    cr.move_to(78, 50)
    cr.curve_to(100, 32, 138, 46, 132, 88)
    cr.curve_to(128, 124, 100, 142, 78, 130)
    cr.curve_to(56, 142, 28, 124, 24, 88)
    cr.curve_to(18, 46, 56, 32, 78, 50)
    cr.close_path()
    grad = cairo.RadialGradient(58, 66, 6, 78, 88, 62)
    grad.add_color_stop_rgb(0, 1.0, 0.45, 0.4)
    grad.add_color_stop_rgb(1, 0.78, 0.08, 0.08)
    cr.set_source(grad)
    cr.fill_preserve()
    set_colour(cr, OUTLINE)
    cr.set_line_width(2.5)
    cr.stroke()
    ellipse(cr, 52, 70, 7, 13, 0.5)
    cr.set_source_rgba(1, 1, 1, 0.7)
    cr.fill()
    line(cr, [(78, 52), (82, 26)], OUTLINE, 5)
    line(cr, [(78, 52), (82, 26)], BARK, 2.5)
    leaf(cr, 83, 34, 34, 10, -0.5)


def cotton_boll(cr, x, y, r):
    # the brown husk opening like a star, with the white fluff inside
    star(cr, x, y + r * 0.4, r * 1.35, r * 0.6, 4, angle=math.pi / 4)
    fill_stroke(cr, rgb("#8a5a2e"), OUTLINE, 1.8)
    for dx, dy, rr in ((-0.5, 0.1, 0.62), (0.5, 0.1, 0.62), (0, -0.45, 0.62), (0, 0.45, 0.55)):
        ellipse(cr, x + dx * r, y + dy * r, rr * r, rr * r)
        fill_stroke(cr, (1, 1, 1), OUTLINE, 1.6)
    for dx, dy in ((-0.5, 0.1), (0.5, 0.1), (0, -0.45)):
        ellipse(cr, x + dx * r - 2, y + dy * r - 2, r * 0.18, r * 0.14)
        cr.set_source_rgb(0.85, 0.88, 0.95)
        cr.fill()


def card_cotton(cr):
    line(cr, [(70, 142), (72, 96), (52, 58)], OUTLINE, 7)
    line(cr, [(70, 142), (72, 96), (52, 58)], BARK, 4)
    line(cr, [(72, 104), (108, 62)], OUTLINE, 6)
    line(cr, [(72, 104), (108, 62)], BARK, 3)
    line(cr, [(71, 124), (40, 108)], OUTLINE, 5)
    line(cr, [(71, 124), (40, 108)], BARK, 2.5)
    leaf(cr, 72, 118, 36, 12, -0.3)
    leaf(cr, 70, 84, 32, 10, -2.8)
    cotton_boll(cr, 50, 46, 20)
    cotton_boll(cr, 110, 50, 20)
    cotton_boll(cr, 38, 100, 15)
    cotton_boll(cr, 106, 112, 14)
    line(cr, [(71, 130), (100, 116)], OUTLINE, 5)
    line(cr, [(71, 130), (100, 116)], BARK, 2.5)


def card_rolls(cr):
    cloth_roll(cr, 16, 112, 92, 22, PINK, "dots")
    cloth_roll(cr, 30, 70, 92, 22, rgb("#4aa0e0"), "checks")
    cloth_roll(cr, 22, 30, 84, 18, rgb("#f4c430"), "stripes")
    # a loose end of the pink cloth hanging from the bottom roll
    cr.move_to(118, 112)
    cr.curve_to(128, 122, 124, 130, 136, 136)
    cr.line_to(120, 139)
    cr.curve_to(112, 132, 112, 124, 108, 130)
    cr.close_path()
    fill_stroke(cr, PINK, OUTLINE, 2)


def card_pattern(cr):
    def piece(points):
        polygon(cr, points)
        cr.save()
        set_colour(cr, PINK)
        cr.fill_preserve()
        cr.clip()
        fabric_pattern(cr, 0, 0, W, H, "dots")
        cr.restore()
        polygon(cr, points)
        set_colour(cr, OUTLINE)
        cr.set_line_width(2.2)
        cr.stroke()
        # dashed seam line just inside the edge
        cx = sum(p[0] for p in points) / len(points)
        cy = sum(p[1] for p in points) / len(points)
        polygon(cr, [(cx + (x - cx) * 0.84, cy + (y - cy) * 0.84) for x, y in points])
        cr.set_dash([4, 3])
        set_colour(cr, shade(PINK, 0.5))
        cr.set_line_width(1.3)
        cr.stroke()
        cr.set_dash([])

    # bodice, skirt and a sleeve, laid out flat
    piece([(18, 20), (34, 14), (42, 24), (56, 24), (64, 14), (80, 20), (74, 36), (74, 62), (24, 62), (24, 36)])
    piece([(30, 76), (72, 76), (90, 138), (12, 138)])
    piece([(90, 22), (130, 22), (138, 44), (82, 44)])
    # scissors
    cr.save()
    cr.translate(112, 96)
    cr.rotate(0.6)
    polygon(cr, [(-4, -4), (-2, -46), (3, -4)])
    fill_stroke(cr, rgb("#c9d0da"), OUTLINE, 1.8)
    polygon(cr, [(-3, -4), (8, -44), (5, -2)])
    fill_stroke(cr, rgb("#dfe4ea"), OUTLINE, 1.8)
    for dx in (-9, 9):
        ellipse(cr, dx, 10, 8, 10)
        set_colour(cr, OUTLINE)
        cr.set_line_width(7)
        cr.stroke()
        ellipse(cr, dx, 10, 8, 10)
        set_colour(cr, RED)
        cr.set_line_width(4)
        cr.stroke()
    ellipse(cr, 0, -4, 2.5, 2.5)
    fill_stroke(cr, rgb("#888888"), OUTLINE, 1)
    cr.restore()


def card_dress(cr):
    pts = [(60, 22), (68, 30), (88, 30), (96, 22), (112, 30), (118, 50), (104, 56), (100, 50), (98, 74),
           (128, 136), (28, 136), (58, 74), (56, 50), (52, 56), (38, 50), (44, 30)]
    polygon(cr, pts)
    cr.save()
    set_colour(cr, PINK)
    cr.fill_preserve()
    cr.clip()
    fabric_pattern(cr, 0, 0, W, H, "dots")
    cr.restore()
    polygon(cr, pts)
    set_colour(cr, OUTLINE)
    cr.set_line_width(2.5)
    cr.stroke()
    # collar, belt with a bow, hem frill
    cr.move_to(60, 22)
    cr.curve_to(66, 40, 90, 40, 96, 22)
    fill_stroke(cr, (1, 1, 1), OUTLINE, 2)
    polygon(cr, [(58, 72), (98, 72), (99, 80), (56, 80)])
    fill_stroke(cr, rgb("#b03a7a"), OUTLINE, 2)
    for side in (-1, 1):
        polygon(cr, [(78, 76), (78 + side * 14, 68), (78 + side * 14, 84)])
        fill_stroke(cr, rgb("#b03a7a"), OUTLINE, 1.8)
    ellipse(cr, 78, 76, 4, 4)
    fill_stroke(cr, rgb("#b03a7a"), OUTLINE, 1.6)
    for k in range(9):
        x = 30 + k * 10.8
        cr.arc(x + 5.4, 136, 5.4, 0, math.pi)
    fill_stroke(cr, (1, 1, 1), OUTLINE, 1.6)


def card_feather(cr):
    cr.save()
    cr.translate(78, 78)
    cr.rotate(0.6)
    # vane
    cr.move_to(0, 62)
    cr.curve_to(-26, 30, -24, -40, 2, -66)
    cr.curve_to(24, -40, 26, 30, 0, 62)
    cr.close_path()
    grad = cairo.LinearGradient(-24, 0, 24, 0)
    grad.add_color_stop_rgb(0, *rgb("#3a7fd0")[:3])
    grad.add_color_stop_rgb(0.5, *rgb("#8fd0ff")[:3])
    grad.add_color_stop_rgb(1, *rgb("#2f6ab8")[:3])
    cr.set_source(grad)
    cr.fill_preserve()
    set_colour(cr, OUTLINE)
    cr.set_line_width(2.5)
    cr.stroke()
    # barbs and a notch
    for k in range(9):
        y = 44 - k * 12
        line(cr, [(0, y), (-17 + abs(k - 4) * 1.5, y - 12)], shade(rgb("#1f4f8a"), 1.0), 1.2)
        line(cr, [(0, y), (17 - abs(k - 4) * 1.5, y - 12)], shade(rgb("#1f4f8a"), 1.0), 1.2)
    polygon(cr, [(-22, -4), (-10, -2), (-21, 4)])
    set_colour(cr, rgb("#eef6fb"))
    cr.fill()
    # shaft
    line(cr, [(0, 76), (0, 58), (2, -62)], OUTLINE, 4.5)
    line(cr, [(0, 76), (0, 58), (2, -62)], rgb("#f4f0e0"), 2)
    cr.restore()


def card_strawberry_plant(cr):
    soil(cr, 78, 136, 56)
    for x1, y1, a in ((38, 70, -2.3), (78, 44, -1.57), (118, 70, -0.85), (52, 100, -2.75), (104, 100, -0.4)):
        line(cr, [(78, 132), (x1, y1)], shade(GREEN, 0.8), 3)
        strawberry_leaf(cr, x1, y1, 26, a)
    for x, y in ((30, 112), (126, 110)):
        line(cr, [(78, 132), (x, y)], shade(GREEN, 0.8), 2)
        flower(cr, x, y, 7)
    # the first small berry, still green, hanging from its stalk
    cr.move_to(78, 132)
    cr.curve_to(84, 110, 96, 104, 100, 112)
    set_colour(cr, shade(GREEN, 0.8))
    cr.set_line_width(2)
    cr.stroke()
    strawberry(cr, 100, 124, 0.75, ripe=False)


def card_berry_bush(cr):
    soil(cr, 78, 136, 56)
    for x1, y1, a in ((40, 58, -2.2), (78, 40, -1.57), (116, 58, -0.9)):
        line(cr, [(78, 132), (x1, y1)], shade(GREEN, 0.8), 3)
        strawberry_leaf(cr, x1, y1, 24, a)
    for x, y, ripe in ((34, 108, True), (58, 114, True), (96, 110, True), (122, 104, True), (78, 88, False)):
        line(cr, [(78, 120), (x, y - 14)], shade(GREEN, 0.8), 2)
        strawberry(cr, x, y, 1.05 if ripe else 0.8, ripe)


def card_basket(cr):
    # handle behind
    cr.arc(78, 80, 50, math.pi, 2 * math.pi)
    set_colour(cr, OUTLINE)
    cr.set_line_width(10)
    cr.stroke()
    cr.arc(78, 80, 50, math.pi, 2 * math.pi)
    set_colour(cr, WOOD)
    cr.set_line_width(6)
    cr.stroke()
    # berries heaped in it
    for x, y in ((44, 74), (62, 66), (82, 64), (102, 68), (118, 76), (54, 82), (74, 80), (94, 80), (112, 86)):
        strawberry(cr, x, y, 1.0)
    # the woven basket
    body = [(22, 86), (134, 86), (120, 140), (36, 140)]
    polygon(cr, body)
    fill_stroke(cr, rgb("#d9a35a"), OUTLINE, 2.5)
    cr.save()
    polygon(cr, body)
    cr.clip()
    for k in range(6):
        y = 92 + k * 9
        line(cr, [(20, y), (136, y)], rgb("#a8702e"), 1.6)
    for k in range(12):
        x = 26 + k * 10
        line(cr, [(x, 86), (x + (78 - x) * 0.12, 140)], rgb("#a8702e"), 1.6)
    cr.restore()
    rounded_rect(cr, 18, 82, 120, 10, 5)
    fill_stroke(cr, rgb("#c58a40"), OUTLINE, 2.2)


def card_jam(cr):
    # glass jar with jam
    rounded_rect(cr, 32, 48, 92, 94, 16)
    fill_stroke(cr, rgb("#b0122a"), OUTLINE, 2.5)
    rounded_rect(cr, 38, 52, 16, 80, 8)
    cr.set_source_rgba(1, 1, 1, 0.35)
    cr.fill()
    # label with a berry
    rounded_rect(cr, 50, 84, 56, 42, 6)
    fill_stroke(cr, rgb("#fff6e0"), OUTLINE, 2)
    strawberry(cr, 78, 100, 0.85)
    centred_text(cr, "ВАРЕНЬЕ", 78, 119, 8.5, rgb("#b0122a"))
    # lid covered with a checked cloth, tied with string
    rounded_rect(cr, 28, 36, 100, 16, 5)
    fill_stroke(cr, rgb("#e64040"), OUTLINE, 2.2)
    polygon(cr, [(30, 40), (22, 22), (40, 30), (60, 18), (78, 28), (96, 18), (116, 30), (134, 22), (126, 40)])
    cr.save()
    set_colour(cr, rgb("#e64040"))
    cr.fill_preserve()
    cr.clip()
    fabric_pattern(cr, 0, 0, W, 60, "checks")
    cr.restore()
    polygon(cr, [(30, 40), (22, 22), (40, 30), (60, 18), (78, 28), (96, 18), (116, 30), (134, 22), (126, 40)])
    set_colour(cr, OUTLINE)
    cr.set_line_width(2.2)
    cr.stroke()
    line(cr, [(30, 46), (126, 46)], rgb("#f5e6b0"), 3)


def card_jug(cr):
    clay = rgb("#c86a3a")
    # handle
    cr.move_to(98, 40)
    cr.curve_to(136, 34, 138, 88, 108, 100)
    set_colour(cr, OUTLINE)
    cr.set_line_width(11)
    cr.stroke()
    cr.move_to(98, 40)
    cr.curve_to(136, 34, 138, 88, 108, 100)
    set_colour(cr, clay)
    cr.set_line_width(6)
    cr.stroke()
    # body with neck and spout
    cr.move_to(62, 30)
    cr.line_to(44, 20)
    cr.curve_to(54, 18, 60, 16, 64, 20)
    cr.line_to(94, 20)
    cr.curve_to(96, 30, 90, 40, 94, 52)
    cr.curve_to(126, 70, 124, 128, 100, 140)
    cr.line_to(56, 140)
    cr.curve_to(32, 128, 30, 70, 62, 52)
    cr.curve_to(66, 40, 62, 34, 62, 30)
    cr.close_path()
    grad = cairo.LinearGradient(34, 0, 122, 0)
    grad.add_color_stop_rgb(0, *shade(clay, 0.8)[:3])
    grad.add_color_stop_rgb(0.35, *shade(clay, 1.3)[:3])
    grad.add_color_stop_rgb(1, *shade(clay, 0.7)[:3])
    cr.set_source(grad)
    cr.fill_preserve()
    set_colour(cr, OUTLINE)
    cr.set_line_width(2.5)
    cr.stroke()
    # painted stripes
    for y, w in ((76, 40), (92, 44)):
        cr.move_to(78 - w, y)
        cr.curve_to(78 - w / 2, y + 6, 78 + w / 2, y + 6, 78 + w, y)
        set_colour(cr, rgb("#f3e2b8"))
        cr.set_line_width(3)
        cr.stroke()
    for k in range(5):
        ellipse(cr, 54 + k * 12, 108, 3, 3)
        set_colour(cr, rgb("#f3e2b8"))
        cr.fill()


# base number -> (stage 1..4, odd), each (drawing, name under the picture)
EPISODES = {
    128: [(card_wheat, "Колосья"), (card_flour, "Мука"), (card_dough, "Тесто"), (card_bread, "Хлеб"),
          (card_tea, "Чай")],
    101: [(card_tree, "Дерево"), (card_logs, "Брёвна"), (card_boards, "Доски"), (card_chair, "Стул"),
          (card_apple, "Яблоко")],
    110: [(card_cotton, "Хлопок"), (card_rolls, "Ткань"), (card_pattern, "Выкройка"), (card_dress, "Платье"),
          (card_feather, "Перо")],
    119: [(card_strawberry_plant, "Куст"), (card_berry_bush, "Ягоды"), (card_basket, "Корзинка"),
          (card_jam, "Варенье"), (card_jug, "Кувшин")],
}


def card(drawing, caption):
    s, cr = surface(W, H)
    cr.set_source_rgb(1, 1, 1)
    cr.paint()
    cr.rectangle(1, 1, W - 2, H - 2)
    set_colour(cr, rgb("#6b4a2b"))
    cr.set_line_width(2)
    cr.stroke()
    x, y, w, h = PANEL
    rounded_rect(cr, x, y, w, h, 8)
    grad = cairo.LinearGradient(0, y, 0, y + h)
    grad.add_color_stop_rgb(0, *rgb("#e4f3fc")[:3])
    grad.add_color_stop_rgb(1, *rgb("#fdf6e3")[:3])
    cr.set_source(grad)
    cr.fill()
    cr.save()
    rounded_rect(cr, x, y, w, h, 8)
    cr.clip()
    drawing(cr)
    cr.restore()
    rounded_rect(cr, x, y, w, h, 8)
    set_colour(cr, rgb("#c9b89a"))
    cr.set_line_width(1.2)
    cr.stroke()
    size = 17
    while text_extent(cr, caption, size).x_advance > W - 16:
        size -= 0.5
    baseline_text(cr, caption, W / 2, CAPTION_BASELINE, size, rgb("#3b2a1a"))
    return s


def make_cards(data):
    out = {}
    for base, cards in EPISODES.items():
        for k, (drawing, caption) in enumerate(cards, start=1):
            path = os.path.join(data, "rc", "%d.png" % (base + k))
            save(card(drawing, caption), path, "RGB")
            out[str(base + k)] = path
    return out
