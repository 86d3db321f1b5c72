"""One PNG showing every picture at its own size, with its name, for reviewing the set at a glance."""

from PIL import Image, ImageDraw, ImageFont

FONT_FILE = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"


def contact_sheet(paths, out, width=1700):
    font = ImageFont.truetype(FONT_FILE, 11)
    items = [(label, Image.open(path).convert("RGBA")) for label, path in paths]
    x = y = 10
    row_h = 0
    placed = []
    for label, img in items:
        w, h = img.size
        cell_w = max(w, 7 * len(label)) + 14  # room for the name under small pictures
        if x + cell_w > width:
            x, y = 10, y + row_h + 22
            row_h = 0
        placed.append((label, img, x, y))
        x += cell_w
        row_h = max(row_h, h)
    sheet = Image.new("RGBA", (width, y + row_h + 32), (90, 96, 104, 255))
    draw = ImageDraw.Draw(sheet)
    checker = Image.new("RGBA", (16, 16), (200, 200, 200, 255))
    ImageDraw.Draw(checker).rectangle((0, 0, 7, 7), fill=(235, 235, 235, 255))
    ImageDraw.Draw(checker).rectangle((8, 8, 15, 15), fill=(235, 235, 235, 255))
    for label, img, x, y in placed:
        w, h = img.size
        for cx in range(0, w, 16):
            for cy in range(0, h, 16):
                sheet.paste(checker.crop((0, 0, min(16, w - cx), min(16, h - cy))), (x + cx, y + cy))
        sheet.alpha_composite(img, (x, y))
        draw.text((x, y + h + 3), label, fill=(255, 255, 255, 255), font=font)
    sheet.convert("RGB").save(out, "PNG")
