#!/usr/bin/python3
"""Draws the sprite contact sheet: every sprite of assets/sprites.json as the show cuts it.

    /usr/bin/python3 build.py OUTDIR SHEETDIR

OUTDIR is the asset folder (<repo>/assets); the texture files named in textures.json are
relative to the folder above it, as they are for the program. Writes
SHEETDIR/sprites-contact-sheet.png and nothing else; the show never reads it.

Each cell shows the sprite's texture rectangle, worked out the way the sprite registry does
it (autocenter: the whole picture with its origin at the centre; rectW/rectH -1: the whole
width/height; a missing rectW/rectH: 0), scaled to fit and laid on a checkerboard so that
transparency shows. A thin frame marks the rectangle's edge and a cross its origin; under it
are the key, the rectangle's size and the origin. Sprites whose rectangle is empty, reaches
past its texture or whose texture is unknown get a red cell saying so.
"""

import json
import os
import sys

from PIL import Image, ImageDraw, ImageFont

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

from assetkit import FONT_BOLD as FONT, checkerboard, main  # noqa: E402

FONT_PLAIN = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"

COLUMNS = 8
CELL = 236              # square room for one picture
PAD = 12                # between cells
LABEL = 40              # two lines of text under each picture
MAX_ZOOM = 3            # small pictures are blown up at most this much (nearest neighbour)
BACKGROUND = (38, 36, 44)
TEXT = (238, 236, 230)
DIM = (170, 168, 178)
EDGE = (90, 200, 255)
ORIGIN = (255, 40, 160)
BAD = (200, 40, 50)


def cut(entry, size):
    """(rect, origin) of a sprite entry on a texture of `size`, as the registry sets them."""
    w, h = size
    if entry.get("autocenter", False):
        return (0, 0, w, h), (w // 2, h // 2)
    rw, rh = int(entry.get("rectW", 0)), int(entry.get("rectH", 0))
    rect = (int(entry.get("rectX", 0)), int(entry.get("rectY", 0)),
            w if rw == -1 else rw, h if rh == -1 else rh)
    return rect, (float(entry.get("originX", 0)), float(entry.get("originY", 0)))


def number(v):
    return f"{v:g}" if isinstance(v, float) else str(v)


def outputs(outdir, sheetdir):
    return [os.path.join(sheetdir, "sprites-contact-sheet.png")]


def build(outdir, sheets):
    assets = os.path.abspath(outdir)
    root = os.path.dirname(assets)
    os.makedirs(sheets, exist_ok=True)
    with open(os.path.join(assets, "sprites.json"), encoding="utf-8") as f:
        sprites = json.load(f)["sprites"]
    with open(os.path.join(assets, "textures.json"), encoding="utf-8") as f:
        textures = json.load(f)["textures"]

    font = ImageFont.truetype(FONT, 14)
    small = ImageFont.truetype(FONT_PLAIN, 12)
    keys = sorted(sprites)
    rows = (len(keys) + COLUMNS - 1) // COLUMNS
    pitch_x, pitch_y = CELL + PAD, CELL + LABEL + PAD
    sheet = Image.new("RGBA", (COLUMNS * pitch_x + PAD, rows * pitch_y + PAD), BACKGROUND)
    d = ImageDraw.Draw(sheet)
    cache = {}
    problems = 0

    for n, key in enumerate(keys):
        x0 = PAD + (n % COLUMNS) * pitch_x
        y0 = PAD + (n // COLUMNS) * pitch_y
        entry = sprites[key]
        tex_key = entry.get("texture")
        detail, problem = "", None
        if tex_key not in textures:
            problem = f"no texture {tex_key}"
        else:
            path = os.path.join(root, textures[tex_key]["file"])
            if path not in cache:
                cache[path] = Image.open(path).convert("RGBA") if os.path.exists(path) else None
            image = cache[path]
            if image is None:
                problem = "file missing"
            else:
                (rx, ry, rw, rh), (ox, oy) = cut(entry, image.size)
                detail = f"{rw}x{rh}  origin ({number(ox)}, {number(oy)})"
                if rw <= 0 or rh <= 0:
                    problem = "empty rectangle"
                elif rx < 0 or ry < 0 or rx + rw > image.width or ry + rh > image.height:
                    problem = "rectangle past the texture"
        if problem:
            problems += 1
            d.rectangle([x0, y0, x0 + CELL - 1, y0 + CELL - 1], fill=BAD)
            d.text((x0 + CELL / 2, y0 + CELL / 2), problem, font=font, fill=TEXT, anchor="mm")
        else:
            picture = image.crop((rx, ry, rx + rw, ry + rh))
            zoom = min(CELL / rw, CELL / rh, MAX_ZOOM)
            tw, th = max(1, round(rw * zoom)), max(1, round(rh * zoom))
            resample = Image.LANCZOS if zoom < 1 else Image.NEAREST
            board = checkerboard(tw, th, 10)
            board.alpha_composite(picture.resize((tw, th), resample))
            px, py = x0 + (CELL - tw) // 2, y0 + (CELL - th) // 2
            sheet.paste(board, (px, py))
            d.rectangle([px - 1, py - 1, px + tw, py + th], outline=EDGE)
            cx, cy = px + ox * zoom, py + oy * zoom
            for dx, dy in ((-1, 0), (1, 0), (0, -1), (0, 1)):
                d.line([cx, cy, cx + dx * 9, cy + dy * 9], fill=ORIGIN, width=3)
        d.text((x0 + CELL / 2, y0 + CELL + 4), key, font=font, fill=TEXT, anchor="mt")
        d.text((x0 + CELL / 2, y0 + CELL + 22), detail, font=small, fill=DIM, anchor="mt")

    out = os.path.join(sheets, "sprites-contact-sheet.png")
    sheet.convert("RGB").save(out, optimize=False, compress_level=9)
    print(f"sheets: {len(keys)} sprites on {out}" + (f", {problems} with problems" if problems else ""))


if __name__ == "__main__":
    main(outputs, build)
