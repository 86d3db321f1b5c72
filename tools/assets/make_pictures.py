"""Draws every picture under data/ and the review contact sheet."""

import os
import sys

from cards import make_cards
from contact_sheet import contact_sheet
from pictures import make_pictures
from skin import make_skin


def main(data, sheet):
    boards = make_pictures(data)
    cards = make_cards(data)
    skin = make_skin(os.path.join(data, "skin"))
    numbered = sorted(((k, v) for k, v in {**boards, **cards}.items() if k.isdigit()), key=lambda kv: int(kv[0]))
    named = [(k, v) for k, v in boards.items() if not k.isdigit()]
    os.makedirs(os.path.dirname(sheet), exist_ok=True)
    contact_sheet(numbered + named + list(skin.items()), sheet)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
