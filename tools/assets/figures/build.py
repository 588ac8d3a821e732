#!/usr/bin/python3
"""Builds the figure pictures of the show: the title words and objects, the walker and the
effect sprites.

    build.py OUTDIR SHEETDIR

writes OUTDIR/gfx/<key>.png for every picture and SHEETDIR/figures-preview.png, a contact
sheet for people to look at.  Every picture is drawn as SVG from the Python sources in this
folder, rendered with rsvg-convert and written without metadata, so the same sources always
give the same bytes."""
import os
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from PIL import Image, ImageDraw, ImageFont  # noqa: E402

import objects  # noqa: E402
import stencil  # noqa: E402
import walker  # noqa: E402
from common import render_svg, save_png  # noqa: E402
from lettering import word_sticker  # noqa: E402

YELLOW, PINK, CYAN, LIME, ORANGE, PURPLE = "#ffd21f", "#ff2e88", "#19c3ff", "#8be22b", "#ff5a1f", "#b45cff"


def word(text, colours, size, tilts, lifts):
    def make():
        return word_sticker(text, colours, size, tilts=tilts, lifts=lifts), size[0], size[1]
    return make


# key -> function returning (svg, width, height); the order is the order of the preview sheet
PICTURES = [
    ("aint", word("AIN'T", [YELLOW], (440, 230), [-4, 3, -2, 5, 3], [2, -5, 3, -8, -2])),
    ("zilchy", word("ZILCHY", [PINK], (600, 230), [3, -3, 2, -4, 3, -2], [0, -5, 3, -3, 4, -4])),
    ("but", word("BUT", [CYAN], (420, 230), [-3, 4, -2], [2, -5, 3])),
    ("a", word("A", [LIME], (200, 230), [-6], [0])),
    ("symbol", objects.symbol),
    ("klomp", word("KLOMP", [ORANGE, CYAN, LIME, YELLOW, PURPLE], (720, 250),
                   [-5, 3, -2, 4, -3], [3, -4, 4, -5, 2])),
    ("stencilart", stencil.stencilart),
    ("bomb", objects.bomb),
    ("black-drop", objects.black_drop),
    ("jas39", objects.jas39),
    ("drop", objects.drop),
    ("cross-star", objects.cross_star),
] + [(f"bravo-{i + 1}", walker.pose_maker(i)) for i in range(walker.POSES)] + [
    ("particle-star-gold", lambda: objects.particle_star("#ffd21f", "#ffb000")),
    ("particle-star-pink", lambda: objects.particle_star("#ff5ab0", "#ff1f8f")),
    ("particle-star-cyan", lambda: objects.particle_star("#5fe4ff", "#00b4ff")),
    ("particle-sparkle", objects.particle_sparkle),
    ("particle-dot", objects.particle_dot),
]


def build_one(item, tmpdir, gfx):
    key, make = item
    svg, w, h = make()
    img = render_svg(svg, w, h, tmpdir, key)
    post = getattr(make, "post", None)
    if post:
        img = post(img)
    save_png(img, os.path.join(gfx, key + ".png"))
    return key, img


def checkerboard(w, h, cell=12):
    board = Image.new("RGB", (w, h), (205, 205, 210))
    d = ImageDraw.Draw(board)
    for y in range(0, h, cell):
        for x in range((y // cell) % 2 * cell, w, 2 * cell):
            d.rectangle([x, y, x + cell - 1, y + cell - 1], fill=(240, 240, 244))
    return board


def preview(results, out_path):
    cell_w, cell_h, label_h, cols = 300, 300, 22, 6
    rows = (len(results) + cols - 1) // cols
    sheet = Image.new("RGB", (cols * cell_w, rows * (cell_h + label_h)), (40, 38, 46))
    try:
        font = ImageFont.truetype("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", 13)
    except OSError:
        font = ImageFont.load_default()
    d = ImageDraw.Draw(sheet)
    for n, (key, img) in enumerate(results):
        cx, cy = (n % cols) * cell_w, (n // cols) * (cell_h + label_h)
        pad = 8
        k = min((cell_w - 2 * pad) / img.width, (cell_h - 2 * pad) / img.height, 3.0)
        tw, th = max(1, round(img.width * k)), max(1, round(img.height * k))
        small = img.resize((tw, th), Image.LANCZOS)
        board = checkerboard(tw, th).convert("RGBA")
        board.alpha_composite(small)
        sheet.paste(board.convert("RGB"), (cx + (cell_w - tw) // 2, cy + (cell_h - th) // 2))
        label = f"{key}  {img.width}x{img.height}"
        tl = d.textlength(label, font=font)
        d.text((cx + (cell_w - tl) / 2, cy + cell_h + 3), label, fill=(235, 235, 240), font=font)
    sheet.save(out_path, format="PNG", optimize=False, compress_level=9)


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: build.py OUTDIR SHEETDIR")
    gfx = os.path.join(sys.argv[1], "gfx")
    sheets = sys.argv[2]
    os.makedirs(gfx, exist_ok=True)
    os.makedirs(sheets, exist_ok=True)
    with tempfile.TemporaryDirectory(prefix="klomp-figures-") as tmpdir:
        with ThreadPoolExecutor(max_workers=max(2, min(4, os.cpu_count() or 2))) as pool:
            results = list(pool.map(lambda it: build_one(it, tmpdir, gfx), PICTURES))
    preview(results, os.path.join(sheets, "figures-preview.png"))


if __name__ == "__main__":
    main()
