"""The built-in skin: buttons, key caps, scroll, check-box, radio, slider and edit-bar pieces."""

import math
import os

import cairo
from PIL import Image

from draw import (centred_text, ellipse, fill_stroke, line, polygon, rgb, rounded_rect, save, set_colour,
                  shade, surface, text_extent)

GREEN = rgb("#2f9e44")
RED = rgb("#d9372b")

# name, width, colour, caption
BUTTONS = [
    ("PrintButton", 84, GREEN, "Печать"),
    ("SaveAsButton", 148, GREEN, "Сохранить как..."),
    ("RetryButton", 109, GREEN, "Повторить"),
    ("CloseButton", 111, RED, "Закрыть"),
    ("StartPopStartButton", 84, GREEN, "Пуск"),
    ("OptionsButton", 109, GREEN, "Настройки"),
    ("CancelButton", 111, RED, "Отмена"),
    ("SubmitButton", 109, GREEN, "Применить"),
]

# hover is brighter, pressed is darker and sits one pixel lower
STATES = [("", 1.0, 0), ("Nuv", 1.12, 0), ("Klick", 0.72, 1)]


def glossy_button(width, height, colour, caption, factor, press):
    s, cr = surface(width, height)
    base = shade(colour, factor)
    x, y, w, h = 1.5, 1.5 + press, width - 3, height - 4
    # soft shadow
    rounded_rect(cr, x + 0.5, y + 1.5, w, h, 12)
    cr.set_source_rgba(0, 0, 0, 0.25 if not press else 0.12)
    cr.fill()
    rounded_rect(cr, x, y, w, h, 12)
    grad = cairo.LinearGradient(0, y, 0, y + h)
    grad.add_color_stop_rgb(0, *shade(base, 1.25)[:3])
    grad.add_color_stop_rgb(0.5, *base[:3])
    grad.add_color_stop_rgb(1, *shade(base, 0.75)[:3])
    cr.set_source(grad)
    cr.fill_preserve()
    set_colour(cr, shade(base, 0.55))
    cr.set_line_width(1.2)
    cr.stroke()
    # the gloss: a pale band over the upper half
    rounded_rect(cr, x + 4, y + 2.5, w - 8, h * 0.45, 9)
    gloss = cairo.LinearGradient(0, y + 2, 0, y + h * 0.5)
    gloss.add_color_stop_rgba(0, 1, 1, 1, 0.6)
    gloss.add_color_stop_rgba(1, 1, 1, 1, 0.08)
    cr.set_source(gloss)
    cr.fill()
    size = 15
    while text_extent(cr, caption, size).x_advance > w - 12 and size > 9:
        size -= 0.5
    centred_text(cr, caption, width / 2, y + h / 2 + 0.5, size, (1, 1, 1),
                 outline=shade(base, 0.5)[:3] + (0.9,), outline_width=2)
    return s


def key_cap(label):
    s, cr = surface(37, 25)
    cr.set_source_rgb(0.90, 0.90, 0.90)
    cr.paint()
    rounded_rect(cr, 0.5, 0.5, 36, 24, 4)
    fill_stroke(cr, (0.62, 0.63, 0.65), (0.35, 0.36, 0.38), 1)
    rounded_rect(cr, 3, 2, 31, 18, 3)
    grad = cairo.LinearGradient(0, 2, 0, 20)
    grad.add_color_stop_rgb(0, 0.97, 0.97, 0.98)
    grad.add_color_stop_rgb(1, 0.80, 0.81, 0.83)
    cr.set_source(grad)
    cr.fill()
    centred_text(cr, label, 18.5, 11, 10.5 if len(label) < 3 else 9.5, (0.15, 0.16, 0.2))
    return s


def exit_button():
    s, cr = surface(21, 21)
    rounded_rect(cr, 0.5, 0.5, 20, 20, 4)
    grad = cairo.LinearGradient(0, 0, 0, 21)
    grad.add_color_stop_rgb(0, *shade(RED, 1.3)[:3])
    grad.add_color_stop_rgb(1, *shade(RED, 0.8)[:3])
    cr.set_source(grad)
    cr.fill_preserve()
    set_colour(cr, shade(RED, 0.5))
    cr.set_line_width(1)
    cr.stroke()
    line(cr, [(6, 6), (15, 15)], (1, 1, 1), 2.6)
    line(cr, [(15, 6), (6, 15)], (1, 1, 1), 2.6)
    return s


def scroll_arrow(up):
    s, cr = surface(16, 16)
    rounded_rect(cr, 0.5, 0.5, 15, 15, 3)
    grad = cairo.LinearGradient(0, 0, 0, 16)
    grad.add_color_stop_rgb(0, 0.55, 0.70, 0.93)
    grad.add_color_stop_rgb(1, 0.20, 0.40, 0.75)
    cr.set_source(grad)
    cr.fill_preserve()
    cr.set_source_rgb(0.12, 0.25, 0.50)
    cr.set_line_width(1)
    cr.stroke()
    pts = [(4, 10), (8, 5), (12, 10)] if up else [(4, 6), (8, 11), (12, 6)]
    polygon(cr, pts)
    cr.set_source_rgb(1, 1, 1)
    cr.fill()
    return s


def scroll_slider(horizontal):
    # one row-pair of the thumb: blue-grey edges, white middle; turned for horizontal thumbs
    w, h = (2, 16) if horizontal else (16, 2)
    s, cr = surface(w, h)
    cr.set_source_rgb(1, 1, 1)
    cr.paint()
    cr.set_source_rgb(0.45, 0.55, 0.68)
    if horizontal:
        cr.rectangle(0, 0, 2, 2)
        cr.rectangle(0, 14, 2, 2)
    else:
        cr.rectangle(0, 0, 2, 2)
        cr.rectangle(14, 0, 2, 2)
    cr.fill()
    cr.set_source_rgb(0.74, 0.80, 0.88)
    if horizontal:
        cr.rectangle(0, 2, 2, 1)
        cr.rectangle(0, 13, 2, 1)
    else:
        cr.rectangle(2, 0, 1, 2)
        cr.rectangle(13, 0, 1, 2)
    cr.fill()
    return s


def check_box(checked, disabled):
    s, cr = surface(16, 16)
    cr.set_source_rgb(1, 1, 1)
    cr.paint()
    frame = (0.62, 0.62, 0.64) if disabled else (0.20, 0.35, 0.60)
    cr.rectangle(0.5, 0.5, 15, 15)
    fill_stroke(cr, (0.93, 0.93, 0.93) if disabled else (1, 1, 1), frame, 1)
    if checked:
        line(cr, [(3.5, 8), (6.5, 11.5), (12.5, 4.5)], (0.6, 0.6, 0.6) if disabled else (0.1, 0.55, 0.2), 2.2)
    return s


def radio_button(checked, disabled):
    s, cr = surface(16, 16)
    ellipse(cr, 8, 8, 7.2, 7.2)
    fill_stroke(cr, (0.93, 0.93, 0.93) if disabled else (1, 1, 1),
                (0.62, 0.62, 0.64) if disabled else (0.20, 0.35, 0.60), 1.2)
    if checked:
        ellipse(cr, 8, 8, 3.6, 3.6)
        cr.set_source_rgb(*((0.6, 0.6, 0.6) if disabled else (0.1, 0.55, 0.2)))
        cr.fill()
    return s


def slider_thumb(width, height, hover):
    s, cr = surface(width, height)
    rounded_rect(cr, 0.5, 0.5, width - 1, height - 1, 3)
    top, bottom = ((0.70, 0.84, 1.0), (0.35, 0.55, 0.88)) if hover else ((0.60, 0.72, 0.90), (0.28, 0.45, 0.75))
    grad = cairo.LinearGradient(0, 0, 0, height)
    grad.add_color_stop_rgb(0, *top)
    grad.add_color_stop_rgb(1, *bottom)
    cr.set_source(grad)
    cr.fill_preserve()
    cr.set_source_rgb(0.15, 0.28, 0.50)
    cr.set_line_width(1)
    cr.stroke()
    return s


def edit_corner(which):
    # rounded corner of the edit frame: white inside, dark (0, 13, 13) arc
    s, cr = surface(8, 8)
    cx = 8 if "L" in which[0] else 0
    cy = 8 if "T" in which[1] else 0
    cr.move_to(cx, cy)
    cr.arc(cx, cy, 7.5, 0, 2 * math.pi)
    cr.set_source_rgb(1, 1, 1)
    cr.fill()
    cr.arc(cx, cy, 7.5, 0, 2 * math.pi)
    cr.set_source_rgb(0, 13 / 255, 13 / 255)
    cr.set_line_width(1)
    cr.stroke()
    return s


def edit_border(side):
    vertical = side in "LR"
    w, h = (8, 1) if vertical else (1, 8)
    s, cr = surface(w, h)
    cr.set_source_rgb(1, 1, 1)
    cr.paint()
    cr.set_source_rgb(0, 13 / 255, 13 / 255)
    pos = {"L": (0, 0), "R": (7, 0), "T": (0, 0), "B": (0, 7)}[side]
    cr.rectangle(pos[0], pos[1], 1, 1)
    cr.fill()
    return s


def plain(width, height, colour):
    s, cr = surface(width, height)
    cr.set_source_rgba(*colour)
    cr.paint()
    return s


def background():
    s, cr = surface(800, 600)
    cr.set_source_rgb(229 / 255, 230 / 255, 230 / 255)
    cr.paint()
    cr.rectangle(0, 0, 800, 64)
    cr.set_source_rgb(216 / 255, 217 / 255, 217 / 255)
    cr.fill()
    return s


def make_skin(out):
    """Writes every skin picture to out/<Name>.png; returns {name: path} in registration order."""
    pictures = {
        "DefaultBackGround": (background(), "RGB"),
        "ExitButton": (exit_button(), "RGBA"),
        "EscButton": (key_cap("Esc"), "RGB"),
        "F1Button": (key_cap("F1"), "RGB"),
        "F12Button": (key_cap("F12"), "RGB"),
        "SliderSliderVertical": (slider_thumb(19, 10, False), "RGBA"),
        "SliderSliderVerticalHover": (slider_thumb(19, 10, True), "RGBA"),
        "SliderSliderHorizontal": (slider_thumb(11, 20, False), "RGBA"),
        "SliderSliderHorizontalHover": (slider_thumb(11, 20, True), "RGBA"),
        "ScrollSlider": (scroll_slider(False), "RGB"),
        "ScrollSliderHorizontal": (scroll_slider(True), "RGB"),
        "ScrollBackground": (plain(16, 16, (223 / 255, 223 / 255, 224 / 255, 1)), "RGB"),
        "ScrollButtonUp": (scroll_arrow(True), "RGBA"),
        "ScrollButtonDown": (scroll_arrow(False), "RGBA"),
        "CheckBoxUnchecked": (check_box(False, False), "RGB"),
        "CheckBoxChecked": (check_box(True, False), "RGB"),
        "CheckBoxDisUnchecked": (check_box(False, True), "RGB"),
        "CheckBoxDisChecked": (check_box(True, True), "RGB"),
        "RadioButtonUnchecked": (radio_button(False, False), "RGBA"),
        "RadioButtonChecked": (radio_button(True, False), "RGBA"),
        "RadioButtonDisUnchecked": (radio_button(False, True), "RGBA"),
        "RadioButtonDisChecked": (radio_button(True, True), "RGBA"),
        "EditBarBackGround": (plain(1, 1, (1, 1, 1, 1)), "RGB"),
        "EditBarKaretka": (plain(1, 19, (0, 0, 0, 1)), "RGB"),
        "EditBarCornerLT": (edit_corner("LT"), "RGBA"),
        "EditBarCornerRT": (edit_corner("RT"), "RGBA"),
        "EditBarCornerLB": (edit_corner("LB"), "RGBA"),
        "EditBarCornerRB": (edit_corner("RB"), "RGBA"),
        "EditBarBorderL": (edit_border("L"), "RGB"),
        "EditBarBorderR": (edit_border("R"), "RGB"),
        "EditBarBorderT": (edit_border("T"), "RGB"),
        "EditBarBorderB": (edit_border("B"), "RGB"),
    }
    # written directly: a premultiplied cairo pixel would not round-trip alpha 28 exactly
    pictures["SelectionMask"] = (Image.new("RGBA", (1, 1), (0, 86, 255, 28)), "RGBA")
    for name, width, colour, caption in BUTTONS:
        for suffix, factor, press in STATES:
            pictures[name + suffix] = (glossy_button(width, 47, colour, caption, factor, press), "RGBA")
    paths = {}
    for name, (surf, mode) in pictures.items():
        paths[name] = os.path.join(out, name + ".png")
        save(surf, paths[name], mode)
    return paths
