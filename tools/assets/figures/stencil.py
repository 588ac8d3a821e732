"""stencilart: a three-layer spray-paint stencil of a hooded kid carrying a boombox on the
shoulder.  The layers (off-white, pink, black) are flat cut shapes with the little bridges a
real stencil needs; after rendering, a seeded overspray haze and paint stipple are added
around the cut edges so it looks sprayed rather than printed.

The show stands it at the bottom edge with its origin (280, 360) there, so only the top 360 px
show at first: the hood, the face and the boombox peek up under the title words, and the rest
of the figure comes into view as it is flung off the screen.  The figure is drawn on a
560x900 design grid (feet on y = 860) and set into the picture at 0.9 scale, its hood near the
top edge."""
import numpy as np
from PIL import Image, ImageFilter

from common import svg_doc

W, H = 560, 760
# Design grid to picture: x' = 0.9 x + 28 (the body's centre line x = 280 stays put),
# y' = 0.9 y - 32 (the hood's top, y = 58, comes to about 20 px).
PLACE = "translate(28 -32) scale(0.9)"
BLACK, PINK, LIGHT = "#15121a", "#ff2e88", "#f3ece2"


def stencil_svg():
    b = []
    # ---- pink layer: the hoodie (hood, body, sleeves) --------------------------------
    hoodie = ("M196,120 C214,68 300,56 330,108 C346,136 346,176 336,214 "
              "C380,232 404,262 410,300 L412,360 C426,370 446,356 452,340 L462,300 "
              "L500,294 L492,356 C484,396 448,418 412,408 L408,520 C410,540 396,552 380,552 "
              "L188,552 C172,552 160,540 162,520 L166,330 C160,380 156,430 160,470 "
              "L150,476 C140,440 138,370 150,300 C158,262 176,236 204,222 C188,190 186,150 196,120 Z")
    b.append(f'<path d="{hoodie}" fill="{PINK}"/>')
    # ---- off-white layer: face, hands, soles, speaker cones ----------------------------
    b.append(f'<path d="M252,128 C282,120 312,136 318,168 C322,190 316,206 318,218 '
             f'C308,232 284,240 262,232 C246,206 240,160 252,128 Z" fill="{LIGHT}"/>')          # face
    b.append(f'<path d="M454,252 C468,238 496,240 502,258 C506,276 492,292 472,294 '
             f'C458,294 448,276 454,252 Z" fill="{LIGHT}"/>')                                    # hand on boombox
    b.append(f'<path d="M132,818 L274,818 L276,846 C276,854 270,860 262,860 L140,860 C132,860 128,852 130,844 Z" '
             f'fill="{LIGHT}"/>')                                                                 # left sole
    b.append(f'<path d="M290,818 L440,818 L442,844 C444,852 440,860 432,860 L300,860 C292,860 288,854 288,846 Z" '
             f'fill="{LIGHT}"/>')                                                                 # right sole
    # ---- black layer --------------------------------------------------------------------
    blk = []
    # hood opening shadow around the face (bridged at the chin)
    blk.append("M210,214 C196,160 204,108 248,96 C296,86 330,112 332,150 L326,150 "
               "C318,118 290,104 262,112 C236,120 228,160 240,214 Z")
    # eye shadow band under the hood, nose and mouth shadows
    blk.append("M256,150 C276,142 300,146 320,156 L318,172 C304,166 292,168 282,176 "
               "C272,172 262,168 252,168 Z")
    blk.append("M318,182 L332,196 L318,200 Z")
    blk.append("M282,212 C292,214 302,212 310,208 L308,216 C298,220 290,220 282,218 Z")
    # jaw shadow
    blk.append("M246,200 C254,224 270,236 292,238 L262,246 C248,240 240,222 240,206 Z")
    # boombox: body, handle, speakers cut as rings (with bridges), tape deck
    blk.append("M300,170 L516,140 L532,246 L318,278 Z")
    blk.append("M352,150 L356,118 L470,102 L476,134 L462,136 L458,116 L368,128 L366,148 Z")
    # hoodie folds and shading
    blk.append("M166,330 C174,300 190,272 212,258 L220,266 C200,286 186,314 180,344 Z")
    blk.append("M352,260 C370,300 378,350 380,400 L366,402 C364,354 356,306 340,266 Z")
    blk.append("M300,250 L318,252 L312,330 L296,330 Z")
    blk.append("M188,470 L380,470 L382,486 L186,486 Z")           # pocket seam
    blk.append("M176,520 L394,520 L396,552 L174,552 Z")            # hem band
    # sleeve cuff, arm shadow
    blk.append("M412,360 C426,372 446,360 452,342 L462,346 C454,372 430,386 410,376 Z")
    blk.append("M462,300 L500,294 L498,310 L464,316 Z")
    # baggy pants, two legs with a gap, folds as cut slits
    blk.append("M180,556 L282,556 L278,610 L272,772 C250,780 200,780 176,772 C168,700 168,630 180,556 Z")
    blk.append("M290,556 L392,556 C400,630 404,700 408,772 C380,780 330,780 298,772 L292,610 Z")
    # sneakers: toes turned out, uppers bridged off the legs and the soles
    blk.append("M140,812 C138,796 150,786 172,784 L260,782 C268,790 272,800 272,812 Z")
    blk.append("M292,812 C292,800 296,790 304,782 L392,784 C418,786 432,798 432,812 Z")
    body = " ".join(blk)
    b.append(f'<path d="{body}" fill="{BLACK}"/>')
    # cut-outs inside the black: speaker rings, tape window, leg folds, laces
    cut = []
    for cx, cy in ((352, 226), (478, 208)):
        cut.append(f'<circle cx="{cx}" cy="{cy}" r="30" fill="none" stroke="{LIGHT}" stroke-width="9" '
                   f'stroke-dasharray="40 7"/>')
        cut.append(f'<circle cx="{cx}" cy="{cy}" r="9" fill="{PINK}"/>')
    cut.append(f'<path d="M392,196 L438,190 L442,218 L396,224 Z" fill="{PINK}"/>')
    cut.append(f'<path d="M322,186 L340,184 L342,192 L324,194 Z M500,160 L514,158 L516,166 L502,168 Z" fill="{LIGHT}"/>')
    cut.append(f'<path d="M232,600 C226,650 222,700 226,744 M340,620 C348,670 354,710 354,748 '
               f'M200,640 L206,700 M372,650 L380,720" fill="none" stroke="{PINK}" stroke-width="6" '
               f'stroke-linecap="round"/>')
    cut.append(f'<path d="M176,804 C196,794 220,794 242,800 M318,800 C340,794 366,794 392,804" fill="none" '
               f'stroke="{PINK}" stroke-width="6" stroke-linecap="round"/>')
    b.extend(cut)
    # paint runs: drips hanging from heavy spots
    drips = [(214, 552, 58, 5.5, BLACK), (372, 552, 36, 4.5, BLACK), (252, 776, 14, 4.0, BLACK),
             (330, 486, 24, 4.5, BLACK), (180, 470, 46, 5.0, PINK), (440, 408, 40, 4.5, PINK),
             (486, 238, 34, 4.5, BLACK)]
    for x, y, ln, w, col in drips:
        b.append(f'<path d="M{x},{y - 4} L{x},{y + ln}" stroke="{col}" stroke-width="{w}" stroke-linecap="round"/>')
        b.append(f'<circle cx="{x}" cy="{y + ln + 1}" r="{w * 0.85:.2f}" fill="{col}"/>')
    return svg_doc(W, H, f'<g transform="{PLACE}">' + "".join(b) + "</g>")


def spray(img):
    """Overspray: a stippled haze of each colour just outside the cut edges, and a few
    flecks of paint.  Seeded, so the result never changes."""
    rng = np.random.RandomState(2024)
    a = np.asarray(img, dtype=np.float32) / 255.0
    alpha = a[..., 3]
    prem = a[..., :3] * alpha[..., None]
    # soft haze: blur premultiplied colour and alpha
    hz = Image.fromarray((np.dstack([prem, alpha]) * 255).astype(np.uint8), "RGBA")
    blurred = np.asarray(hz.filter(ImageFilter.GaussianBlur(7)), dtype=np.float32) / 255.0
    b_alpha = blurred[..., 3]
    b_col = blurred[..., :3] / np.maximum(b_alpha[..., None], 1e-4)
    grain = rng.random_sample(alpha.shape)
    dots = (grain < b_alpha * 0.9).astype(np.float32)     # dense near the edge, sparse further out
    haze_a = np.clip(b_alpha * 0.28 + dots * 0.55 * b_alpha, 0, 1) * (1 - alpha)
    # stray flecks near the figure
    near = np.asarray(Image.fromarray((alpha * 255).astype(np.uint8)).filter(
        ImageFilter.GaussianBlur(22)), dtype=np.float32) / 255.0
    fleck = (rng.random_sample(alpha.shape) < near * 0.004).astype(np.float32)
    fleck_img = Image.fromarray((fleck * 255).astype(np.uint8)).filter(ImageFilter.GaussianBlur(1.1))
    fleck = np.clip(np.asarray(fleck_img, dtype=np.float32) / 255.0 * 9.0, 0, 1) * (1 - alpha) * 0.85
    ink = np.array([0x15, 0x12, 0x1a], dtype=np.float32) / 255.0
    out_a = alpha + haze_a + fleck * (1 - alpha - haze_a).clip(0, 1)
    out_a = np.clip(out_a, 0, 1)
    col = (a[..., :3] * alpha[..., None] + b_col * haze_a[..., None]
           + ink * (fleck * (1 - alpha - haze_a).clip(0, 1))[..., None]) / np.maximum(out_a[..., None], 1e-4)
    # slight roughness inside the paint too: a faint mottle
    mottle = 1.0 - 0.06 * rng.random_sample(alpha.shape)
    col = col * mottle[..., None]
    out = np.dstack([np.clip(col, 0, 1), out_a])
    return Image.fromarray(np.round(out * 255).astype(np.uint8), "RGBA")


def stencilart():
    return stencil_svg(), W, H


stencilart.post = spray
