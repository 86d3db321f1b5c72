"""Small drawing helpers shared by the picture, card and film generators.

Everything is drawn with cairo into ARGB surfaces and saved through Pillow, which
lets each file be written as plain 8-bit RGB or RGBA and keeps the bytes stable
from run to run (no time stamps, fixed compression level).
"""

import math
import os

import cairo
from PIL import Image

FONT = "DejaVu Sans"
OUTLINE = (0.23, 0.16, 0.10)  # the dark brown line every drawing is inked with


def rgb(hex_colour, alpha=1.0):
    hex_colour = hex_colour.lstrip("#")
    r, g, b = (int(hex_colour[i:i + 2], 16) / 255 for i in (0, 2, 4))
    return (r, g, b, alpha)


def shade(colour, factor):
    """Brighter for factor > 1, darker for factor < 1; keeps alpha."""
    r, g, b = colour[:3]
    if factor >= 1:
        t = factor - 1
        r, g, b = (c + (1 - c) * t for c in (r, g, b))
    else:
        r, g, b = (c * factor for c in (r, g, b))
    return (r, g, b) + tuple(colour[3:])


def surface(width, height):
    s = cairo.ImageSurface(cairo.FORMAT_ARGB32, width, height)
    return s, cairo.Context(s)


def to_image(surf, mode):
    surf.flush()
    w, h = surf.get_width(), surf.get_height()
    img = Image.frombuffer("RGBA", (w, h), bytes(surf.get_data()), "raw", "BGRa", surf.get_stride(), 1)
    if mode == "RGB":
        background = Image.new("RGBA", (w, h), (255, 255, 255, 255))
        img = Image.alpha_composite(background, img).convert("RGB")
    return img


def save(surf_or_image, path, mode):
    img = surf_or_image if isinstance(surf_or_image, Image.Image) else to_image(surf_or_image, mode)
    if img.mode != mode:
        img = img.convert(mode)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    img.save(path, "PNG", optimize=True)
    return img


def set_colour(cr, colour):
    if len(colour) == 3:
        cr.set_source_rgb(*colour)
    else:
        cr.set_source_rgba(*colour)


def rounded_rect(cr, x, y, w, h, r):
    r = min(r, w / 2, h / 2)
    cr.new_sub_path()
    cr.arc(x + w - r, y + r, r, -math.pi / 2, 0)
    cr.arc(x + w - r, y + h - r, r, 0, math.pi / 2)
    cr.arc(x + r, y + h - r, r, math.pi / 2, math.pi)
    cr.arc(x + r, y + r, r, math.pi, 3 * math.pi / 2)
    cr.close_path()


def ellipse(cr, cx, cy, rx, ry, angle=0.0):
    cr.save()
    cr.translate(cx, cy)
    cr.rotate(angle)
    cr.scale(rx, ry)
    cr.new_sub_path()
    cr.arc(0, 0, 1, 0, 2 * math.pi)
    cr.restore()


def fill_stroke(cr, fill, line=OUTLINE, width=2.5):
    """Fills the current path and inks its outline."""
    if fill is not None:
        set_colour(cr, fill)
        if line is None:
            cr.fill()
            return
        cr.fill_preserve()
    set_colour(cr, line)
    cr.set_line_width(width)
    cr.set_line_join(cairo.LINE_JOIN_ROUND)
    cr.set_line_cap(cairo.LINE_CAP_ROUND)
    cr.stroke()


def line(cr, points, colour=OUTLINE, width=2.5):
    cr.move_to(*points[0])
    for p in points[1:]:
        cr.line_to(*p)
    set_colour(cr, colour)
    cr.set_line_width(width)
    cr.set_line_cap(cairo.LINE_CAP_ROUND)
    cr.set_line_join(cairo.LINE_JOIN_ROUND)
    cr.stroke()


def polygon(cr, points):
    cr.move_to(*points[0])
    for p in points[1:]:
        cr.line_to(*p)
    cr.close_path()


def text_extent(cr, text, size, bold=True, face=FONT):
    cr.select_font_face(face, cairo.FONT_SLANT_NORMAL,
                        cairo.FONT_WEIGHT_BOLD if bold else cairo.FONT_WEIGHT_NORMAL)
    cr.set_font_size(size)
    return cr.text_extents(text)


def centred_text(cr, text, cx, cy, size, colour, bold=True, face=FONT, outline=None, outline_width=3):
    """Draws text centred on (cx, cy) by its ink box; with an outline it reads on any picture."""
    ext = text_extent(cr, text, size, bold, face)
    x = cx - ext.width / 2 - ext.x_bearing
    y = cy - ext.height / 2 - ext.y_bearing
    cr.move_to(x, y)
    cr.text_path(text)
    if outline is not None:
        set_colour(cr, outline)
        cr.set_line_width(outline_width)
        cr.set_line_join(cairo.LINE_JOIN_ROUND)
        cr.stroke_preserve()
    set_colour(cr, colour)
    cr.fill()


def baseline_text(cr, text, cx, baseline, size, colour, bold=True, face=FONT):
    """Draws text centred on cx by its ink, standing on the baseline: a row of captions lines up
    whether or not a word has letters that reach below the line."""
    ext = text_extent(cr, text, size, bold, face)
    cr.move_to(cx - ext.width / 2 - ext.x_bearing, baseline)
    cr.text_path(text)
    set_colour(cr, colour)
    cr.fill()


def vertical_gradient(y0, y1, stops):
    g = cairo.LinearGradient(0, y0, 0, y1)
    for offset, colour in stops:
        g.add_color_stop_rgba(offset, *(tuple(colour) + (1.0,))[:4])
    return g


def star(cr, cx, cy, r_out, r_in, points=5, angle=-math.pi / 2):
    pts = []
    for i in range(points * 2):
        r = r_out if i % 2 == 0 else r_in
        a = angle + i * math.pi / points
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    polygon(cr, pts)
