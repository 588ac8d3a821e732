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

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, os.path.dirname(HERE)]

from PIL import Image  # noqa: E402

import assetkit  # noqa: E402
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


def outputs(outdir, sheetdir):
    return assetkit.picture_outputs(outdir, sheetdir, PICTURES, "scenery-preview.png")


def build(outdir, sheetdir):
    gfx = assetkit.make_picture_folders(outdir, sheetdir)
    only = os.environ.get("SCENERY_ONLY")
    keys = only.split(",") if only else list(PICTURES)
    t0 = time.time()
    with Pool(2) as pool:
        for key, dt in pool.imap_unordered(make, [(k, gfx) for k in keys]):
            print(f"  scenery: {key:16s} {dt:5.2f} s")
    if not only:
        pictures = [(key, Image.open(os.path.join(gfx, key + ".png"))) for key in PICTURES]
        assetkit.contact_sheet(pictures, os.path.join(sheetdir, "scenery-preview.png"), 5, 300, 230)
    print(f"scenery: {len(keys)} pictures in {time.time() - t0:.1f} s")


if __name__ == "__main__":
    assetkit.main(outputs, build)
