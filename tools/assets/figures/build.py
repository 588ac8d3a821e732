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
from concurrent.futures import ThreadPoolExecutor

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, os.path.dirname(HERE)]

import assetkit  # noqa: E402
import objects  # noqa: E402
import stencil  # noqa: E402
import walker  # noqa: E402
from common import save_png  # noqa: E402
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


def build_one(item, gfx):
    key, make = item
    svg, w, h = make()
    img = assetkit.render_svg(svg, w, h)
    post = getattr(make, "post", None)
    if post:
        img = post(img)
    save_png(img, os.path.join(gfx, key + ".png"))
    return key, img


def outputs(outdir, sheetdir):
    return assetkit.picture_outputs(outdir, sheetdir, [key for key, _ in PICTURES],
                                    "figures-preview.png")


def build(outdir, sheetdir):
    gfx = assetkit.make_picture_folders(outdir, sheetdir)
    with ThreadPoolExecutor(max_workers=max(2, min(4, os.cpu_count() or 2))) as pool:
        results = list(pool.map(lambda it: build_one(it, gfx), PICTURES))
    assetkit.contact_sheet(results, os.path.join(sheetdir, "figures-preview.png"), 6, 300, 300)


if __name__ == "__main__":
    assetkit.main(outputs, build)
