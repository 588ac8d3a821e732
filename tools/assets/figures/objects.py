"""The title's objects and effect sprites: the symbol heart, bomb, paint drips, jet, cross
star and the particle sprites.  Each function returns (svg_text, width, height)."""
import math

from shapely import affinity
from shapely.geometry import Point, Polygon
from shapely.ops import unary_union

from assetkit import FIGURE_INK
from common import blur_filter, fmt, svg_doc
from lettering import shape_sticker


def star_points(cx, cy, r_out, r_in, n=5, rot=-90.0):
    pts = []
    for i in range(2 * n):
        r = r_out if i % 2 == 0 else r_in
        a = math.radians(rot + 180.0 * i / n)
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return pts


def pts_attr(pts):
    return " ".join(f"{fmt(x)},{fmt(y)}" for x, y in pts)


# --- symbol: a heart sticker standing in for the word "love" ---------------------------------

def symbol():
    W = H = 260
    lobe_l = Point(-27, 0).buffer(31, resolution=32)
    lobe_r = Point(27, 0).buffer(31, resolution=32)
    tip = Polygon([(-56.5, 9), (56.5, 9), (0, 66)]).buffer(4, resolution=8)
    body = Polygon([(-55, 2), (55, 2), (0, 60)])
    heart = unary_union([lobe_l, lobe_r, tip, body]).buffer(0)
    heart = affinity.rotate(heart, -8, origin=(0, 20))

    def gloss(scale, off):
        # a glossy highlight on the upper-left lobe and a glint dot
        ox, oy = off
        c = affinity.rotate(Point(-30, -8), -8, origin=(0, 20))
        x, y = ox + c.x * scale, oy + c.y * scale
        return (f'<ellipse cx="{fmt(x)}" cy="{fmt(y)}" rx="{fmt(13 * scale)}" ry="{fmt(7 * scale)}" '
                f'transform="rotate(-40 {fmt(x)} {fmt(y)})" fill="#ffffff" fill-opacity="0.9"/>'
                f'<circle cx="{fmt(x + 17 * scale)}" cy="{fmt(y - 10 * scale)}" r="{fmt(3.4 * scale)}" '
                f'fill="#ffffff" fill-opacity="0.9"/>')

    svg = shape_sticker([heart], ["#ff1f4b"], (W, H), margin=4, depth=(5, 7), extra=gloss)
    return svg, W, H


# --- bomb ----------------------------------------------------------------------------------

def bomb():
    W, H = 300, 340
    cx, cy, r = 138, 212, 104
    spark = (236, 58)
    defs = (blur_filter("glow", 9) + blur_filter("soft", 3) +
            '<radialGradient id="ball" cx="0.36" cy="0.32" r="0.75">'
            '<stop offset="0" stop-color="#5b5670"/><stop offset="0.45" stop-color="#2c2838"/>'
            '<stop offset="1" stop-color="#14111c"/></radialGradient>'
            '<linearGradient id="capg" x1="0" y1="0" x2="1" y2="0">'
            '<stop offset="0" stop-color="#8b8aa0"/><stop offset="0.45" stop-color="#c9c8d8"/>'
            '<stop offset="1" stop-color="#55546a"/></linearGradient>')
    b = []
    # fuse: a rope curving up from the cap to the spark, outline then twisted rope
    fuse = f"M185,118 C198,92 178,78 196,64 S226,66 {spark[0]},{spark[1]}"
    b.append(f'<path d="{fuse}" fill="none" stroke="{FIGURE_INK}" stroke-width="19" stroke-linecap="round"/>')
    b.append(f'<path d="{fuse}" fill="none" stroke="#c8965a" stroke-width="9" stroke-linecap="round"/>')
    b.append(f'<path d="{fuse}" fill="none" stroke="#8a5a2b" stroke-width="9" stroke-dasharray="4 5"/>')
    # cap (the neck of the bomb), tilted toward the fuse
    b.append(f'<g transform="rotate(38 178 128)">'
             f'<rect x="146" y="104" width="64" height="46" rx="8" fill="url(#capg)" stroke="{FIGURE_INK}" stroke-width="8"/>'
             f'<rect x="146" y="104" width="64" height="12" rx="5" fill="#e9e8f4" fill-opacity="0.7"/></g>')
    # body
    b.append(f'<circle cx="{cx}" cy="{cy}" r="{r}" fill="url(#ball)" stroke="{FIGURE_INK}" stroke-width="9"/>')
    # rim shade on the lower right and highlights on the upper left
    b.append(f'<path d="M{cx + 92},{cy - 30} A{r - 10},{r - 10} 0 0 1 {cx - 40},{cy + 88} '
             f'A{r + 10},{r + 20} 0 0 0 {cx + 92},{cy - 30} Z" fill="#0b0910" fill-opacity="0.55"/>')
    b.append(f'<ellipse cx="{cx - 42}" cy="{cy - 46}" rx="34" ry="20" transform="rotate(-38 {cx - 42} {cy - 46})" '
             f'fill="#ffffff" fill-opacity="0.75"/>')
    b.append(f'<circle cx="{cx - 70}" cy="{cy - 4}" r="8" fill="#ffffff" fill-opacity="0.6"/>')
    b.append(f'<path d="M{cx - 86},{cy + 26} A{r - 16},{r - 16} 0 0 0 {cx - 30},{cy + 80}" fill="none" '
             f'stroke="#ffffff" stroke-opacity="0.25" stroke-width="6" stroke-linecap="round"/>')
    # the spark: glow, orange burst, yellow burst, white core and flying bits
    sx, sy = spark
    b.append(f'<circle cx="{sx}" cy="{sy}" r="28" fill="#ffb020" fill-opacity="0.8" filter="url(#glow)"/>')
    b.append(f'<polygon points="{pts_attr(star_points(sx, sy, 36, 14, 9, -80))}" fill="#ff5a14" '
             f'stroke="{FIGURE_INK}" stroke-width="4" stroke-linejoin="round"/>')
    b.append(f'<polygon points="{pts_attr(star_points(sx, sy, 24, 10, 7, -60))}" fill="#ffd21f"/>')
    b.append(f'<circle cx="{sx}" cy="{sy}" r="7" fill="#ffffff"/>')
    for ang, d0, d1 in ((-20, 42, 52), (35, 42, 52), (-100, 42, 52), (80, 40, 50), (-165, 44, 52)):
        a = math.radians(ang)
        b.append(f'<line x1="{fmt(sx + d0 * math.cos(a))}" y1="{fmt(sy + d0 * math.sin(a))}" '
                 f'x2="{fmt(sx + d1 * math.cos(a))}" y2="{fmt(sy + d1 * math.sin(a))}" '
                 f'stroke="#ffd21f" stroke-width="5" stroke-linecap="round"/>')
    return svg_doc(W, H, "".join(b), defs), W, H


# --- paint drips ---------------------------------------------------------------------------

def black_drop():
    """A black drip hanging from its top centre (55, 0): a run that thins and ends in a drop."""
    W, H = 110, 300
    d = ("M20,0 L90,0 C88,26 74,40 72,70 C70,110 68,150 70,190 C71,205 80,216 86,232 "
         "C96,262 78,292 55,292 C32,292 14,262 24,232 C30,216 39,205 40,190 "
         "C42,150 40,110 38,70 C36,40 22,26 20,0 Z")
    defs = ('<linearGradient id="ink" x1="0" y1="0" x2="1" y2="0">'
            '<stop offset="0" stop-color="#2a2733"/><stop offset="0.35" stop-color="#0c0b10"/>'
            '<stop offset="1" stop-color="#050408"/></linearGradient>')
    b = [f'<path d="{d}" fill="url(#ink)"/>',
         # wet shine: a thin streak down the run and a glint on the drop
         '<path d="M46,20 C46,70 46,140 47,196" fill="none" stroke="#8c8a99" stroke-opacity="0.55" '
         'stroke-width="4" stroke-linecap="round"/>',
         '<ellipse cx="41" cy="252" rx="7" ry="13" transform="rotate(18 41 252)" fill="#ffffff" fill-opacity="0.7"/>',
         '<circle cx="44" cy="274" r="2.6" fill="#ffffff" fill-opacity="0.5"/>']
    return svg_doc(W, H, "".join(b), defs), W, H


def drop():
    """A glossy pink drop hanging from its top centre (32, 0); drawn so it survives a 3x
    vertical stretch: thin outline, vertical highlight streak, no round glints on the neck."""
    W, H = 64, 128
    d = ("M18,0 L46,0 C45,20 42,36 44,58 C46,72 58,80 58,98 C58,114 46,124 32,124 "
         "C18,124 6,114 6,98 C6,80 18,72 20,58 C22,36 19,20 18,0 Z")
    defs = ('<linearGradient id="pk" x1="0" y1="0" x2="1" y2="0">'
            '<stop offset="0" stop-color="#ff6ab4"/><stop offset="0.5" stop-color="#ff1f8f"/>'
            '<stop offset="1" stop-color="#c2005e"/></linearGradient>')
    b = [f'<path d="{d}" fill="url(#pk)" stroke="{FIGURE_INK}" stroke-width="3.5" stroke-linejoin="round"/>',
         '<path d="M26,4 C26,30 25,50 24,66" fill="none" stroke="#ffffff" stroke-opacity="0.6" '
         'stroke-width="3.5" stroke-linecap="round"/>',
         '<path d="M15,92 C15,84 19,79 23,76" fill="none" stroke="#ffffff" stroke-opacity="0.9" '
         'stroke-width="5" stroke-linecap="round"/>',
         '<path d="M50,104 C48,112 42,117 35,118" fill="none" stroke="#8a0045" stroke-opacity="0.6" '
         'stroke-width="4" stroke-linecap="round"/>']
    return svg_doc(W, H, "".join(b), defs), W, H


# --- cross star ----------------------------------------------------------------------------

def cross_star():
    W = H = 300
    c = 150.0
    R, k = 134.0, 24.0     # point radius and waist (how far the sides curve in)
    tips = [(c, c - R), (c + R, c), (c, c + R), (c - R, c)]
    waist = [(c + k, c - k), (c + k, c + k), (c - k, c + k), (c - k, c - k)]
    d = f"M{fmt(tips[0][0])},{fmt(tips[0][1])} "
    for i in range(4):
        w, t = waist[i], tips[(i + 1) % 4]
        d += f"Q{fmt(w[0])},{fmt(w[1])} {fmt(t[0])},{fmt(t[1])} "
    d += "Z"
    defs = blur_filter("glow", 10)
    b = [f'<path d="{d}" fill="#ffe14a" fill-opacity="0.6" filter="url(#glow)" transform="translate(150 150) scale(0.9) translate(-150 -150)"/>',
         f'<path d="{d}" fill="#ffd21f" stroke="{FIGURE_INK}" stroke-width="9" stroke-linejoin="round"/>']
    # facets: each arm is split along its axis, lit from the top left like a cut gem
    def mid(p, q):
        return ((p[0] + q[0]) / 2, (p[1] + q[1]) / 2)
    faces = []
    for i in range(4):
        t0, w, t1 = tips[i], waist[i], tips[(i + 1) % 4]
        m = (0.25 * t0[0] + 0.5 * w[0] + 0.25 * t1[0], 0.25 * t0[1] + 0.5 * w[1] + 0.25 * t1[1])
        c0, c1 = mid(t0, w), mid(w, t1)
        faces.append(f"M{fmt(c)},{fmt(c)} L{fmt(t0[0])},{fmt(t0[1])} Q{fmt(c0[0])},{fmt(c0[1])} "
                     f"{fmt(m[0])},{fmt(m[1])} Z")
        faces.append(f"M{fmt(c)},{fmt(c)} L{fmt(m[0])},{fmt(m[1])} Q{fmt(c1[0])},{fmt(c1[1])} "
                     f"{fmt(t1[0])},{fmt(t1[1])} Z")
    # face order: top-right, right-top, right-bottom, bottom-right, bottom-left, left-bottom,
    # left-top, top-left
    tones = ["#ffd21f", "#ffdf4a", "#ff9d00", "#ffab10", "#ffc21a", "#ffb814", "#fff08a", "#ffe46a"]
    for f, tone in zip(faces, tones):
        b.append(f'<path d="{f}" fill="{tone}"/>')
    b.append(f'<path d="{d}" fill="none" stroke="{FIGURE_INK}" stroke-width="9" stroke-linejoin="round"/>')
    # highlights: a streak up the top arm and a gleam in the middle
    b.append(f'<path d="M{fmt(c - 6)},{fmt(c - 30)} L{fmt(c - 4)},{fmt(c - R + 26)}" stroke="#ffffff" '
             f'stroke-width="7" stroke-linecap="round" stroke-opacity="0.9"/>')
    b.append(f'<path d="M{fmt(c - 30)},{fmt(c - 6)} L{fmt(c - R + 30)},{fmt(c - 4)}" stroke="#ffffff" '
             f'stroke-width="6" stroke-linecap="round" stroke-opacity="0.7"/>')
    b.append(f'<circle cx="{fmt(c - 8)}" cy="{fmt(c - 8)}" r="9" fill="#ffffff"/>')
    return svg_doc(W, H, "".join(b), defs), W, H


# --- jet -----------------------------------------------------------------------------------

def jas39():
    """A delta-canard fighter in side view, nose right, afterburner lit."""
    W, H = 500, 170
    defs = (blur_filter("glow", 6) +
            '<linearGradient id="hull" x1="0" y1="0" x2="0" y2="1">'
            '<stop offset="0" stop-color="#c3cedb"/><stop offset="0.45" stop-color="#93a3b6"/>'
            '<stop offset="1" stop-color="#5f6f84"/></linearGradient>'
            '<linearGradient id="glass" x1="0" y1="0" x2="1" y2="1">'
            '<stop offset="0" stop-color="#9ff0ff"/><stop offset="0.6" stop-color="#2aa8e0"/>'
            '<stop offset="1" stop-color="#0d4f8a"/></linearGradient>'
            '<linearGradient id="flame" x1="1" y1="0" x2="0" y2="0">'
            '<stop offset="0" stop-color="#ffffff"/><stop offset="0.25" stop-color="#ffe14a"/>'
            '<stop offset="0.7" stop-color="#ff6a1a"/><stop offset="1" stop-color="#ff2a4a" stop-opacity="0"/>'
            '</linearGradient>')
    o = f'stroke="{FIGURE_INK}" stroke-width="6" stroke-linejoin="round"'
    b = []
    # afterburner
    b.append('<path d="M56,84 L14,100 L56,116 Z" fill="#ff7a1a" fill-opacity="0.9" filter="url(#glow)"/>')
    b.append('<path d="M58,85 C40,88 20,94 4,100 C20,106 40,112 58,115 Z" fill="url(#flame)"/>')
    b.append('<path d="M58,91 C44,94 30,97 18,100 C30,103 44,106 58,109 Z" fill="#ffe14a"/>')
    b.append('<path d="M58,95 C50,97 42,99 34,100 C42,101 50,103 58,105 Z" fill="#ffffff"/>')
    # far-side canard and tail parts, darker
    # tail fin
    b.append(f'<path d="M88,86 L112,20 L140,18 L146,26 L186,82 Z" fill="url(#hull)" {o}/>')
    b.append('<path d="M116,30 L136,28 L142,36 L122,40 Z" fill="#f5f8fb" fill-opacity="0.6"/>')
    # fuselage
    hull = ("M60,86 L96,80 L180,78 C230,76 270,70 300,68 L330,66 C380,66 420,78 450,88 "
            "C468,94 480,98 494,102 C470,108 440,112 410,114 L330,120 L200,122 L110,118 L60,114 Z")
    b.append(f'<path d="{hull}" fill="url(#hull)" {o}/>')
    # nozzle
    b.append(f'<path d="M50,84 L66,86 L66,114 L50,116 Z" fill="#3a3f4c" {o}/>')
    # belly shade and spine highlight
    b.append('<path d="M110,114 L200,118 L330,116 L410,110 C440,108 465,105 488,102 '
             'C470,108 440,112 410,114 L330,120 L200,122 L110,118 Z" fill="#4a586c" fill-opacity="0.7"/>')
    b.append('<path d="M100,86 L180,83 C230,81 270,76 300,73" fill="none" stroke="#ffffff" '
             'stroke-opacity="0.55" stroke-width="4" stroke-linecap="round"/>')
    # radome tip
    b.append(f'<path d="M450,88 C468,94 480,98 494,102 C480,105 466,107 452,109 C456,101 455,94 450,88 Z" '
             f'fill="#3f4656" {o}/>')
    # air intake under the cockpit
    b.append(f'<path d="M296,84 C306,80 322,80 330,82 L326,96 L300,98 Z" fill="#23262f" {o}/>')
    # delta wing seen edge-on from slightly above
    b.append(f'<path d="M120,106 L262,98 L290,104 L178,124 L112,122 Z" fill="#7c8ca0" {o}/>')
    b.append('<path d="M128,109 L258,101" stroke="#ffffff" stroke-opacity="0.45" stroke-width="3" stroke-linecap="round"/>')
    # wingtip missile
    b.append(f'<path d="M150,128 L226,128 L238,132 L226,136 L150,136 Z" fill="#e8ecf1" stroke="{FIGURE_INK}" '
             f'stroke-width="4" stroke-linejoin="round"/>')
    b.append(f'<path d="M150,128 L140,124 L140,140 L150,136 Z" fill="#d9342b" stroke="{FIGURE_INK}" stroke-width="3" '
             f'stroke-linejoin="round"/>')
    # near canard
    b.append(f'<path d="M330,100 L364,94 L378,102 L334,108 Z" fill="#8b9bb0" {o}/>')
    # canopy with pilot
    b.append(f'<path d="M312,70 C330,44 374,40 398,58 C410,66 418,74 424,80 L330,74 Z" fill="url(#glass)" {o}/>')
    b.append('<path d="M338,72 C338,56 348,46 360,46 C372,46 378,56 376,70 Z" fill="#2f8a3a" '
             'stroke="#1b1420" stroke-width="3"/>')
    b.append('<path d="M360,50 C370,50 376,56 376,64 L362,64 Z" fill="#ffb020" stroke="#1b1420" stroke-width="2.5"/>')
    b.append('<path d="M326,64 C338,50 360,46 380,50" fill="none" stroke="#ffffff" stroke-opacity="0.85" '
             'stroke-width="5" stroke-linecap="round"/>')
    # roundel on the tail and panel lines
    b.append('<circle cx="136" cy="56" r="13" fill="#1d5fd1" stroke="#1b1420" stroke-width="3"/>')
    b.append(f'<polygon points="{pts_attr(star_points(136, 56, 8, 3.4, 3, -90))}" fill="#ffd21f"/>')
    b.append('<path d="M248,80 L250,118 M410,84 L412,112" stroke="#1b1420" stroke-opacity="0.35" stroke-width="2"/>')
    b.append('<text x="404" y="100" font-family="DejaVu Sans" font-weight="bold" font-size="13" '
             'fill="#1b1420" fill-opacity="0.6">39</text>')
    return svg_doc(W, H, "".join(b), defs), W, H


# --- particles -----------------------------------------------------------------------------

def particle_star(core, glow):
    W = H = 48
    c = 24
    defs = blur_filter("g1", 4.5) + blur_filter("g2", 1.2)
    b = [f'<circle cx="{c}" cy="{c}" r="14" fill="{glow}" fill-opacity="0.7" filter="url(#g1)"/>',
         f'<polygon points="{pts_attr(star_points(c, c + 1, 17, 7.2))}" fill="{glow}" filter="url(#g2)"/>',
         f'<polygon points="{pts_attr(star_points(c, c + 1, 15, 6.4))}" fill="{core}"/>',
         f'<polygon points="{pts_attr(star_points(c, c + 1, 7, 3.2))}" fill="#ffffff" fill-opacity="0.9" '
         f'filter="url(#g2)"/>']
    return svg_doc(W, H, "".join(b), defs), W, H


def particle_sparkle():
    W = H = 64
    c = 32
    defs = blur_filter("g1", 5) + blur_filter("g2", 1.0)

    def rays(long_r, short_r, width):
        s = ""
        for ang, r in ((0, long_r), (90, long_r), (180, long_r), (270, long_r),
                       (45, short_r), (135, short_r), (225, short_r), (315, short_r)):
            a = math.radians(ang)
            wa = math.radians(ang + 90)
            ww = width if r == long_r else width * 0.6
            tip = (c + r * math.cos(a), c + r * math.sin(a))
            s1 = (c + ww * math.cos(wa), c + ww * math.sin(wa))
            s2 = (c - ww * math.cos(wa), c - ww * math.sin(wa))
            s += f"M{fmt(s1[0])},{fmt(s1[1])} L{fmt(tip[0])},{fmt(tip[1])} L{fmt(s2[0])},{fmt(s2[1])} Z "
        return s

    b = [f'<circle cx="{c}" cy="{c}" r="12" fill="#cfe9ff" fill-opacity="0.8" filter="url(#g1)"/>',
         f'<path d="{rays(29, 13, 5)}" fill="#bfe4ff" filter="url(#g2)"/>',
         f'<path d="{rays(27, 11, 3.2)}" fill="#ffffff"/>',
         f'<circle cx="{c}" cy="{c}" r="5" fill="#ffffff"/>']
    return svg_doc(W, H, "".join(b), defs), W, H


def particle_dot():
    W = H = 32
    defs = ('<radialGradient id="d" cx="0.5" cy="0.5" r="0.5">'
            '<stop offset="0" stop-color="#ffffff" stop-opacity="1"/>'
            '<stop offset="0.22" stop-color="#ffffff" stop-opacity="0.95"/>'
            '<stop offset="0.5" stop-color="#fff4dc" stop-opacity="0.45"/>'
            '<stop offset="0.78" stop-color="#ffe8c0" stop-opacity="0.12"/>'
            '<stop offset="1" stop-color="#ffe8c0" stop-opacity="0"/></radialGradient>')
    return svg_doc(W, H, '<circle cx="16" cy="16" r="15" fill="url(#d)"/>', defs), W, H
