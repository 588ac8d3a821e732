#!/usr/bin/env python3
"""Generate the scenery pictures: plates, paper, vignette, record-shop frame,
repeating textures, the intro's sun/vinyl/PRESENTS and the record labels.

usage: build.py OUTDIR SHEETDIR
Writes OUTDIR/gfx/<key>.png for every picture and SHEETDIR/scenery-preview.png.
Everything is seeded, so the same sources always give the same bytes."""
import os
import sys
import time
from multiprocessing import Pool

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import numpy as np  # noqa: E402
from PIL import Image  # noqa: E402

import common  # noqa: E402
import drawings  # noqa: E402
import textures  # noqa: E402
import records  # noqa: E402

# key -> (function, expected (width, height))
PICTURES = {
    "brickwall": (textures.brickwall, (1024, 1024)),
    "white": (textures.white, (1920, 1080)),
    "mask": (textures.mask, (1920, 1080)),
    "spectrum": (textures.spectrum, (1024, 1080)),
    "frame": (drawings.frame, (1920, 1080)),
    "frame-sides": (drawings.frame_sides, (1920, 1080)),
    "big-vinyl": (records.big_vinyl, (900, 900)),
    "vinyl": (records.vinyl, (560, 560)),
    "galaxy": (textures.galaxy, (512, 512)),
    "blueprint": (lambda: textures.blueprint(
        open(os.path.join(common.HERE, "blueprint-drawings.svg"), encoding="utf-8").read()),
        (512, 512)),
    "vantiebg": (textures.vantiebg, (512, 512)),
    "krv-white": (drawings.krv_white, (812, 636)),
    "sun": (drawings.sun, (760, 760)),
    "presents": (drawings.presents, (1100, 220)),
    "achtung-fulkod": (records.label_achtung_fulkod, (330, 330)),
    "faceplant": (records.label_faceplant, (330, 330)),
    "memoryleek": (records.label_memoryleek, (330, 330)),
    "oj": (records.label_oj, (330, 330)),
    "spp": (records.label_spp, (330, 330)),
    "black": (textures.black, (1920, 1080)),
}


def make(args):
    key, gfx = args
    t0 = time.time()
    fn, (w, h) = PICTURES[key]
    img = fn()
    if img.shape[0] != h or img.shape[1] != w:
        raise SystemExit(f"{key}: made {img.shape[1]}x{img.shape[0]}, expected {w}x{h}")
    common.save_rgba(img, os.path.join(gfx, key + ".png"))
    return key, time.time() - t0


def checkerboard(w, h, cell=12):
    y, x = np.mgrid[0:h, 0:w]
    c = ((x // cell + y // cell) % 2).astype(np.uint8)
    v = np.where(c[..., None] > 0, np.uint8(205), np.uint8(150))
    return Image.fromarray(np.repeat(v, 3, axis=2), "RGB").convert("RGBA")


def preview(gfx, sheet_path):
    from PIL import ImageDraw, ImageFont
    font = ImageFont.truetype(common.FONT_BOLD, 16)
    cw, ch, lab = 300, 230, 26
    cols = 5
    keys = list(PICTURES)
    rows = (len(keys) + cols - 1) // cols
    sheet = Image.new("RGBA", (cols * cw, rows * (ch + lab)), (40, 36, 48, 255))
    d = ImageDraw.Draw(sheet)
    for i, key in enumerate(keys):
        im = Image.open(os.path.join(gfx, key + ".png")).convert("RGBA")
        w, h = im.size
        s = min((cw - 16) / w, (ch - 12) / h)
        tw, th = max(1, round(w * s)), max(1, round(h * s))
        thumb = im.resize((tw, th), Image.LANCZOS)
        bg = checkerboard(tw, th)
        bg.alpha_composite(thumb)
        x0 = (i % cols) * cw + (cw - tw) // 2
        y0 = (i // cols) * (ch + lab) + (ch - th) // 2 + 4
        sheet.paste(bg, (x0, y0))
        label = f"{key}  {w}x{h}"
        tl = d.textlength(label, font=font)
        d.text(((i % cols) * cw + (cw - tl) / 2, (i // cols) * (ch + lab) + ch), label,
               font=font, fill=(240, 236, 228, 255))
    sheet.convert("RGB").save(sheet_path, optimize=False, compress_level=9)


def main():
    if len(sys.argv) != 3:
        raise SystemExit("usage: build.py OUTDIR SHEETDIR")
    out, sheets = sys.argv[1], sys.argv[2]
    gfx = os.path.join(out, "gfx")
    os.makedirs(gfx, exist_ok=True)
    os.makedirs(sheets, exist_ok=True)
    only = os.environ.get("SCENERY_ONLY")
    keys = only.split(",") if only else list(PICTURES)
    t0 = time.time()
    with Pool(2) as pool:
        for key, dt in pool.imap_unordered(make, [(k, gfx) for k in keys]):
            print(f"  scenery: {key:16s} {dt:5.2f} s")
    if not only:
        preview(gfx, os.path.join(sheets, "scenery-preview.png"))
    print(f"scenery: {len(keys)} pictures in {time.time() - t0:.1f} s")


if __name__ == "__main__":
    main()
