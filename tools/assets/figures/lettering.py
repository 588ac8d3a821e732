"""Chunky block letters built from shapely geometry, and the die-cut word stickers of the
title.  Every glyph is drawn on a cap height of 100 units with 30-unit strokes; (0, 0) is
the top-left corner of the glyph box, y grows downwards."""
from shapely import affinity
from shapely.geometry import LineString, Polygon, box
from shapely.ops import unary_union

from assetkit import FIGURE_INK
from common import blur_filter, ellipse, fmt, path, rrect, solid, svg_doc

S = 30.0          # stroke weight
CAP = box(-500, 0, 500, 100)   # clips strokes to the cap height, giving flat tops and feet


def stroke(pts, w=S):
    return LineString(pts).buffer(w / 2, cap_style=2, join_style=2, mitre_limit=4.0)


def clip(g):
    return g.intersection(CAP)


def left_square(g, x0, y0, y1, w):
    """Square off the left side of a rounded shape (for B, P)."""
    return unary_union([g, box(x0, y0, x0 + w, y1)])


def g_A():
    w = 100
    legs = stroke([(10, 130), (w / 2, -20), (w - 10, 130)], 32)
    bar = box(22, 66, w - 22, 88)
    return clip(unary_union([legs, bar])).buffer(0), w


def g_I():
    return box(0, 0, S + 2, 100), S + 2


def g_N():
    w = 92
    g = unary_union([box(0, 0, S, 100), box(w - S, 0, w, 100),
                     Polygon([(0, 0), (S + 4, 0), (w, 100), (w - S - 4, 100)])])
    return g, w


def g_apos():
    return Polygon([(0, 0), (26, 0), (20, 44), (5, 44)]), 26


def g_T():
    w = 92
    return unary_union([box(0, 0, w, S), box(w / 2 - S / 2 - 1, 0, w / 2 + S / 2 + 1, 100)]), w


def g_Z():
    w = 86
    g = unary_union([box(0, 0, w, 28), box(0, 72, w, 100),
                     Polygon([(w - 38, 27), (w, 27), (w, 34), (38, 73), (0, 73), (0, 66)])])
    return g, w


def g_L():
    w = 72
    return unary_union([box(0, 0, S + 2, 100), box(0, 71, w, 100)]), w


def ring(w, open_right=False):
    outer = ellipse(w / 2, 50, w / 2, 50)
    inner = ellipse(w / 2, 50, w / 2 - S, 50 - 27)
    g = outer.difference(inner)
    if open_right:
        g = g.difference(Polygon([(w / 2 + 4, 50), (w + 10, 8), (w + 10, 92)]))
        g = g.difference(box(w * 0.62, 37, w + 10, 63))
    return g


def g_C():
    w = 92
    return ring(w, True), w


def g_O():
    w = 100
    return ring(w), w


def g_H():
    w = 92
    return unary_union([box(0, 0, S, 100), box(w - S, 0, w, 100), box(0, 37, w, 63)]), w


def g_Y():
    w = 98
    arms = stroke([(2, -25), (w / 2, 56), (w - 2, -25)], 32)
    stem = box(w / 2 - 16, 50, w / 2 + 16, 100)
    return clip(unary_union([arms, stem])).buffer(0), w


def g_B():
    # thinner bars than stems so the two counters stay open after outlining
    w = 90
    top = left_square(rrect(0, 0, w - 8, 54, 26), 0, 0, 54, 30)
    bot = left_square(rrect(0, 44, w, 100, 28), 0, 44, 100, 30)
    holes = unary_union([rrect(S, 21, w - 8 - 24, 38, 8), rrect(S, 60, w - 25, 80, 9)])
    return unary_union([top, bot]).difference(holes), w


def g_U():
    w = 92
    outer = unary_union([box(0, 0, w, 52), ellipse(w / 2, 52, w / 2, 48)])
    inner = unary_union([box(S, -1, w - S, 52), ellipse(w / 2, 52, w / 2 - S, 48 - 27)])
    return outer.difference(inner), w


def g_K():
    w = 94
    upper = stroke([(24, 64), (w - 12, -30)], 34)
    lower = stroke([(32, 38), (w - 12, 130)], 34)
    return clip(unary_union([box(0, 0, S + 2, 100), upper, lower])).buffer(0).intersection(box(0, 0, w, 100)), w


def g_M():
    w = 118
    v = stroke([(S / 2 + 2, -10), (w / 2, 70), (w - S / 2 - 2, -10)], 30)
    g = unary_union([box(0, 0, S + 2, 100), box(w - S - 2, 0, w, 100), v])
    return clip(g).buffer(0), w


def g_P():
    w = 86
    bowl = left_square(rrect(0, 0, w, 68, 32), 0, 0, 68, 30)
    hole = rrect(S, 23, w - S + 2, 45, 9)
    return unary_union([bowl.difference(hole), box(0, 0, S + 2, 100)]), w


GLYPHS = {"A": g_A, "I": g_I, "N": g_N, "'": g_apos, "T": g_T, "Z": g_Z, "L": g_L, "C": g_C,
          "H": g_H, "Y": g_Y, "B": g_B, "U": g_U, "K": g_K, "O": g_O, "M": g_M, "P": g_P}


def shade_of(hex_colour, f):
    r, g, b = (int(hex_colour[i:i + 2], 16) for i in (1, 3, 5))
    if f < 0:   # darken
        k = 1 + f
        r, g, b = r * k, g * k, b * k
    else:       # lighten towards white
        r, g, b = r + (255 - r) * f, g + (255 - g) * f, b + (255 - b) * f
    return "#%02x%02x%02x" % (round(r), round(g), round(b))


def word_sticker(text, colours, size, gap=6, tilts=None, lifts=None, **kw):
    """SVG for a die-cut sticker of the word: chunky letters with a 3-D shade block, a dark
    outline, a white die-cut border and a soft shadow, fitted inside size=(w, h)."""
    W, H = size
    letters = []
    x = 0.0
    for i, ch in enumerate(text):
        g, w = GLYPHS[ch]()
        g = affinity.translate(g, x, 0)
        cx = x + w / 2
        if tilts:
            g = affinity.rotate(g, tilts[i % len(tilts)], origin=(cx, 50))
        if lifts:
            g = affinity.translate(g, 0, lifts[i % len(lifts)])
        letters.append(g)
        x += w + gap
    return shape_sticker(letters, colours, size, **kw)


def shape_sticker(letters, colours, size, margin=6, outline=8.0, border=14.0, depth=(5.0, 7.0),
                  shadow=(8.0, 10.0), extra=None):
    """Die-cut sticker of the given shapes (any units; fitted to size=(w, h)).  extra(scale,
    offset) may return more SVG drawn on top of the faces."""
    W, H = size
    # outline, border, shade and shadow grow by fixed pixel amounts: leave room for them
    minx, miny, maxx, maxy = unary_union(letters).bounds
    grow = outline + border
    avail_w = W - 2 * margin - 2 * grow - shadow[0] - depth[0] - 2
    avail_h = H - 2 * margin - 2 * grow - shadow[1] - depth[1] - 2
    scale = min(avail_w / (maxx - minx), avail_h / (maxy - miny))
    sl = [affinity.scale(g, scale, scale, origin=(0, 0)) for g in letters]
    allg = unary_union(sl)
    minx, miny, maxx, maxy = allg.bounds
    # centre the sticker (letters + shade + border) leaving room for the shadow bottom-right
    ox = (W - shadow[0] - depth[0] - (maxx - minx)) / 2 - minx
    oy = (H - shadow[1] - depth[1] - (maxy - miny)) / 2 - miny
    sl = [affinity.translate(g, ox, oy) for g in sl]
    swept = []   # the shade block: the letter swept along the depth direction
    for g in sl:
        steps = [affinity.translate(g, depth[0] * t / 6, depth[1] * t / 6) for t in range(7)]
        swept.append(unary_union(steps))
    body = unary_union(swept)
    ink = body.buffer(outline, resolution=12)
    cut = solid(ink.buffer(border, resolution=16))
    shadow_g = affinity.translate(cut, *shadow)

    defs = blur_filter("soft", 5.5)
    parts = [path(shadow_g, "#000", 'fill-opacity="0.34" filter="url(#soft)"'),
             path(cut, "#ffffff"),
             path(cut, "none", 'stroke="#d9d4cf" stroke-width="1.5"'),
             path(ink, FIGURE_INK)]
    for i, (g, sw) in enumerate(zip(sl, swept)):
        base = colours[i % len(colours)]
        parts.append(path(sw, shade_of(base, -0.42)))
        parts.append(path(g, base))
        inner = g.buffer(-scale * 4.0)
        hl = inner.difference(affinity.translate(inner, scale * 4.0, scale * 5.0))
        hl = hl.buffer(-0.6).buffer(0.6)
        parts.append(path(hl, "#ffffff", 'fill-opacity="0.82"'))
        # a small band of shade along the lower right inside the face
        low = inner.difference(affinity.translate(inner, -scale * 3.0, -scale * 4.0))
        parts.append(path(low, shade_of(base, -0.2), 'fill-opacity="0.9"'))
    if extra:
        parts.append(extra(scale, (ox, oy)))
    return svg_doc(W, H, "".join(parts), defs)
