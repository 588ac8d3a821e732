#!/usr/bin/env python3
"""Builds the die-cut stickers.

    /usr/bin/python3 build.py OUTDIR SHEETDIR

Every sticker is drawn by hand in <key>.svg (the artwork only, on a transparent
canvas). This script renders each one with rsvg-convert and then cuts it out:
holes in the silhouette are closed, a white border of BORDER px is grown around
it and a soft grey shadow is laid down-right of the whole thing. The result goes
to OUTDIR/gfx/<key>.png with the sticker centred in its picture. A contact sheet
of all stickers goes to SHEETDIR/stickers-preview.png.
"""

import os
import sys
import xml.etree.ElementTree as ET
from concurrent.futures import ThreadPoolExecutor

import numpy as np
from PIL import Image, ImageFilter
from scipy import ndimage

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))

import assetkit  # noqa: E402

KEYS = [
    "luigi", "sorter", "star", "whoopsie", "drinks", "movie_idol", "heart", "gun",
    "prisonbreak", "fist", "splat", "charlie", "duck", "1202", "bong", "portrait",
    "charlie2000", "finger", "ring", "zib", "vantie", "tripple",
    "c_alpha", "c_bravo", "c_charlie",
]

BORDER = 14          # white die-cut border, px
BRIDGE = 12          # gaps up to 2 * (BORDER + BRIDGE) px between parts are bridged
PAD = 64             # working room around the artwork
MARGIN = 22          # room left around the cut-out for the shadow
LONG_SIDE = 450      # longer side of a finished sticker picture, px (about)
CREDIT_WIDTH = 640   # width of the credit stickers, px
SHADOW_DX, SHADOW_DY = 7, 9
SHADOW_BLUR = 5.0
SHADOW_ALPHA = 0.42


def render_artwork(key):
    path = os.path.join(HERE, key + ".svg")
    root = ET.parse(path).getroot()
    w, h = float(root.get("width")), float(root.get("height"))
    # Scale the drawing so the finished picture has about the wanted size.
    wide = key.startswith("c_")
    zoom = (CREDIT_WIDTH - 2 * (MARGIN + BORDER)) / w if wide else \
        (LONG_SIDE - 2 * (MARGIN + BORDER)) / max(w, h)
    return assetkit.rsvg_convert(path, "--format=png", "--zoom=%.4f" % zoom)


def die_cut(art):
    """Art (RGBA) -> finished sticker picture with white border and shadow."""
    w, h = art.size
    W, H = w + 2 * PAD, h + 2 * PAD
    rgba = np.zeros((H, W, 4), np.float64)
    a = np.asarray(art, np.float64) / 255.0
    rgba[PAD:PAD + h, PAD:PAD + w] = a

    # Silhouette: everything fairly opaque, with the holes closed.
    solid = ndimage.binary_fill_holes(rgba[..., 3] > 0.5)
    # Grow it by the border plus a margin, close the holes again, then shrink it back
    # by the margin: the border gets round corners, notches fill in and small parts
    # that sit close together end up on one piece of sticker.
    grown = ndimage.distance_transform_edt(~solid) <= BORDER + BRIDGE
    grown = ndimage.binary_fill_holes(grown)
    inside = ndimage.distance_transform_edt(grown)
    cut = np.clip(inside - BRIDGE + 0.5, 0.0, 1.0)

    # Shadow: blurred, offset copy of the cut shape.
    sh = Image.fromarray((cut * 255).astype(np.uint8))
    sh = sh.transform(sh.size, Image.AFFINE, (1, 0, -SHADOW_DX, 0, 1, -SHADOW_DY),
                      resample=Image.BILINEAR)
    sh = sh.filter(ImageFilter.GaussianBlur(SHADOW_BLUR))
    sha = np.asarray(sh, np.float64) / 255.0 * SHADOW_ALPHA
    shadow_rgb = np.array([0.08, 0.07, 0.10])

    # Layers bottom to top: shadow, white sticker paper, artwork.
    out_a = sha
    out_rgb = shadow_rgb[None, None, :] * sha[..., None]          # premultiplied
    out_rgb = np.ones(3)[None, None, :] * cut[..., None] + out_rgb * (1 - cut[..., None])
    out_a = cut + out_a * (1 - cut)
    aa = rgba[..., 3:4]
    out_rgb = rgba[..., :3] * aa + out_rgb * (1 - aa)
    out_a = aa[..., 0] + out_a * (1 - aa[..., 0])

    # Crop so that the cut-out sits exactly in the middle of the picture.
    ys, xs = np.nonzero(cut > 0)
    y0, y1, x0, x1 = ys.min() - MARGIN, ys.max() + 1 + MARGIN, xs.min() - MARGIN, xs.max() + 1 + MARGIN
    out_rgb, out_a = out_rgb[y0:y1, x0:x1], out_a[y0:y1, x0:x1]

    rgb = np.where(out_a[..., None] > 1e-6, out_rgb / np.maximum(out_a[..., None], 1e-6), 0)
    out = np.dstack([rgb, out_a])
    out = np.clip(np.round(out * 255.0), 0, 255).astype(np.uint8)
    return Image.fromarray(out, "RGBA")


def build_one(key, gfx_dir):
    pic = die_cut(render_artwork(key))
    pic.save(os.path.join(gfx_dir, key + ".png"), optimize=False, compress_level=9)
    return key, pic


def outputs(outdir, sheetdir):
    return assetkit.picture_outputs(outdir, sheetdir, KEYS, "stickers-preview.png")


def build(outdir, sheetdir):
    gfx_dir = assetkit.make_picture_folders(outdir, sheetdir)
    with ThreadPoolExecutor(max_workers=max(2, os.cpu_count() or 2)) as pool:
        pics = list(pool.map(lambda k: build_one(k, gfx_dir), KEYS))
    assetkit.contact_sheet(pics, os.path.join(sheetdir, "stickers-preview.png"), 5, 260, 260)


if __name__ == "__main__":
    assetkit.main(outputs, build)
