"""Draws every picture under data/ and the review contact sheet."""

import os
import sys

from cards import make_cards
from contact_sheet import contact_sheet
from pictures import make_pictures
from skin import make_skin


def main(data, sheet, film_stills=None):
    boards = make_pictures(data)
    cards = make_cards(data)
    skin = make_skin(os.path.join(data, "skin"))
    numbered = sorted(((k, v) for k, v in {**boards, **cards}.items() if k.isdigit()), key=lambda kv: int(kv[0]))
    named = [(k, v) for k, v in boards.items() if not k.isdigit()]
    os.makedirs(os.path.dirname(sheet), exist_ok=True)
    # a frame of each film as the praise window shows it (320 x 200), when the films are made
    films = []
    if film_stills and os.path.isdir(film_stills):
        films = [("film " + f[:-4], os.path.join(film_stills, f)) for f in sorted(os.listdir(film_stills))]
    contact_sheet(numbered + named + films + list(skin.items()), sheet)


if __name__ == "__main__":
    main(*sys.argv[1:4])
