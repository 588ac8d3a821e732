#!/usr/bin/python3
"""Draws klomp's application icon from the show's own pictures: the spinning record of the
intro in front of its sun, as square PNGs in the hicolor sizes.

    make-icons.py GFXDIR OUTDIR

writes OUTDIR/<n>x<n>/apps/klomp.png for n in 16 32 48 64 128 256. The same pictures give the
same bytes.
"""

import os
import sys

from PIL import Image

SIZES = (16, 32, 48, 64, 128, 256)
MASTER = 1024


def fitted(picture, side):
    """The picture scaled (keeping its shape) so that its longer side is `side`."""
    scale = side / max(picture.size)
    size = (max(1, round(picture.width * scale)), max(1, round(picture.height * scale)))
    return picture.resize(size, Image.LANCZOS)


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make-icons.py GFXDIR OUTDIR")
    gfx, out = sys.argv[1], sys.argv[2]
    sun = Image.open(os.path.join(gfx, "sun.png")).convert("RGBA")
    record = Image.open(os.path.join(gfx, "vinyl.png")).convert("RGBA")

    master = Image.new("RGBA", (MASTER, MASTER), (0, 0, 0, 0))
    for picture, side in ((sun, MASTER), (record, round(MASTER * 0.64))):
        layer = fitted(picture, side)
        master.alpha_composite(layer, ((MASTER - layer.width) // 2, (MASTER - layer.height) // 2))

    for n in SIZES:
        folder = os.path.join(out, f"{n}x{n}", "apps")
        os.makedirs(folder, exist_ok=True)
        master.resize((n, n), Image.LANCZOS).save(os.path.join(folder, "klomp.png"), optimize=False)


if __name__ == "__main__":
    main()
