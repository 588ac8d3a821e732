"""SVG-drawn pictures: record-shop frame and speaker sides, KRV logo, sun, PRESENTS."""
import numpy as np

from assetkit import SCENERY_INK
from common import render_svg_array, shadow_filter

W, H = 1920, 1080


# --------------------------------------------------------------------------- sun

def sun():
    """Sun with a face-free disc of 360 px and twenty long, thin blade-like rays reaching to
    the picture's edge. In the intro it turns behind the 560 px record on black, so the rays
    keep most of their width out past r = 300 (where they show around the record) and carry
    a warm glow of their own; in the brick-wall scene it lies over the text scroller, so the
    rays stay slim with clear gaps between them and the disc's glow stays close to it."""
    S, c = 760, 380
    n = 20
    disc = 180                      # disc radius
    base = disc - 14                # rays start under the disc's outline
    rays, glow = [], []
    for i in range(n):
        a = 2 * np.pi * i / n - np.pi / 2
        long_ray = i % 2 == 0
        tip = 372 if long_ray else 350
        w0, w1 = (11.0, 8.5) if long_ray else (10.0, 7.5)   # half-widths at base and shoulder
        shoulder = base + 0.72 * (tip - base)
        ux, uy = np.cos(a), np.sin(a)            # along the ray
        vx, vy = -uy, ux                         # across it

        def at(r, w):
            return f"{c + r * ux + w * vx:.1f} {c + r * uy + w * vy:.1f}"

        blade = (f"M{at(base, -w0)} L{at(shoulder, -w1)} L{at(tip, 0)} "
                 f"L{at(shoulder, w1)} L{at(base, w0)} Z")
        half = f"M{at(base, -w0)} L{at(shoulder, -w1)} L{at(tip, 0)} L{at(base, 0)} Z"
        light, dark = ("#ffd43b", "#ff9a1f") if long_ray else ("#ffb02e", "#f2701a")
        glow.append(f'<path d="{blade}" fill="#ffb21f"/>')
        rays.append(
            f'<path d="{blade}" fill="{dark}"/>'
            f'<path d="{half}" fill="{light}"/>'
            f'<path d="{blade}" fill="none" stroke="{SCENERY_INK}" stroke-width="5" '
            f'stroke-linejoin="round"/>')
    r_ring, r_shade, r_light = disc - 32, disc - 14, disc - 48
    svg = f"""<svg xmlns="http://www.w3.org/2000/svg" width="{S}" height="{S}">
<defs>
 <filter id="glow" x="-30%" y="-30%" width="160%" height="160%">
  <feGaussianBlur stdDeviation="16"/></filter>
 <filter id="rayglow" x="-10%" y="-10%" width="120%" height="120%">
  <feGaussianBlur stdDeviation="5"/></filter>
 <radialGradient id="disc" cx="0.4" cy="0.36" r="0.75">
  <stop offset="0" stop-color="#fff27a"/><stop offset="0.55" stop-color="#ffc629"/>
  <stop offset="1" stop-color="#ff8a17"/></radialGradient>
</defs>
<circle cx="{c}" cy="{c}" r="{disc + 22}" fill="#ffb21f" opacity="0.5" filter="url(#glow)"/>
<g opacity="0.55" filter="url(#rayglow)">{''.join(glow)}</g>
{''.join(rays)}
<circle cx="{c}" cy="{c}" r="{disc}" fill="url(#disc)" stroke="{SCENERY_INK}" stroke-width="10"/>
<circle cx="{c}" cy="{c}" r="{r_ring}" fill="none" stroke="#ff9a1f" stroke-width="5" opacity="0.7"/>
<path d="M{c + r_shade - 4} {c + 44} A {r_shade} {r_shade} 0 0 1 {c + 44} {c + r_shade - 4}"
      stroke="#f0661a" stroke-width="16" fill="none" stroke-linecap="round" opacity="0.8"/>
<path d="M{c - r_light + 8} {c - 44} A {r_light} {r_light} 0 0 1 {c - 44} {c - r_light + 8}"
      stroke="#fffbe0" stroke-width="18" fill="none" stroke-linecap="round"/>
<circle cx="{c - r_light + 2}" cy="{c + 4}" r="9" fill="#fffbe0"/>
</svg>"""
    return render_svg_array(svg, S, S)


# --------------------------------------------------------------------------- PRESENTS

def presents():
    w, h = 1100, 220
    x, y = w / 2, 166
    common_attrs = ('font-family="DejaVu Sans" font-weight="bold" font-size="160" '
                    'letter-spacing="6" text-anchor="middle"')
    svg = f"""<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{h}">
<defs>
 {shadow_filter("sh", 7, 9, 5, 0.5)}
 <linearGradient id="face" x1="0" y1="0" x2="0" y2="1">
  <stop offset="0.35" stop-color="#ffffff"/><stop offset="0.62" stop-color="#ffffff"/>
  <stop offset="0.64" stop-color="#d8e4f2"/><stop offset="1" stop-color="#b9cbe3"/>
 </linearGradient>
</defs>
<g transform="translate({x} 0) skewX(-8) translate({-x + 10} 0)">
 <g filter="url(#sh)">
  <text x="{x}" y="{y}" {common_attrs} fill="{SCENERY_INK}" stroke="{SCENERY_INK}" stroke-width="22"
        stroke-linejoin="round">PRESENTS</text>
 </g>
 <text x="{x}" y="{y}" {common_attrs} fill="url(#face)">PRESENTS</text>
</g>
</svg>"""
    return render_svg_array(svg, w, h)


# --------------------------------------------------------------------------- KRV logo

def krv_white():
    w, h = 812, 636
    # Letters drawn as thick clipped strokes, then cut by stencil bridges in the mask.
    lh = 250
    lw = 180
    gap = 26
    x0 = (w - (3 * lw + 2 * gap)) / 2
    y0 = 184
    sw = 54

    def letter(ix, body, bridges):
        lx = x0 + ix * (lw + gap)
        return (f'<g transform="translate({lx:.1f} {y0})"><clipPath id="c{ix}">'
                f'<rect x="0" y="0" width="{lw}" height="{lh}"/></clipPath>'
                f'<g clip-path="url(#c{ix})" fill="none" stroke="#fff" stroke-width="{sw}" '
                f'stroke-linejoin="miter" stroke-miterlimit="8">{body}</g></g>',
                f'<g transform="translate({lx:.1f} {y0})">{bridges}</g>')

    k = letter(0,
               f'<path d="M29 -20 V{lh + 20}"/><path d="M205 -40 L66 158"/>'
               f'<path d="M98 116 L202 {lh + 40}"/>',
               f'<rect x="58" y="-5" width="13" height="{lh + 10}"/>')
    r = letter(1,
               f'<path d="M29 -20 V{lh + 20}"/>'
               f'<path d="M0 27 H92 A 60 58 0 0 1 92 143 H0"/>'
               f'<path d="M98 150 L186 {lh + 40}"/>',
               f'<rect x="58" y="-5" width="13" height="{lh + 10}"/>')
    v = letter(2,
               f'<path d="M-34 -70 L{lw / 2} {lh + 22} L{lw + 34} -70"/>',
               f'<rect x="{lw / 2 - 6.5}" y="150" width="13" height="{lh - 150 + 5}"/>')

    def octagon(inset, cut):
        a, b = inset, inset
        c, d = w - inset, h - inset
        return (f"M{a + cut} {b} H{c - cut} L{c} {b + cut} V{d - cut} L{c - cut} {d} H{a + cut} "
                f"L{a} {d - cut} V{b + cut} Z")

    def star(x, y, s):
        pts = []
        for i in range(10):
            rr = s if i % 2 == 0 else s * 0.42
            a = -np.pi / 2 + i * np.pi / 5
            pts.append(f"{x + rr * np.cos(a):.1f},{y + rr * np.sin(a):.1f}")
        return f'<polygon points="{" ".join(pts)}" fill="#fff"/>'

    band_y = 476
    svg = f"""<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{h}">
<defs>
 <mask id="cut" maskUnits="userSpaceOnUse" x="0" y="0" width="{w}" height="{h}">
  <rect width="{w}" height="{h}" fill="#fff"/>
  <g fill="#000">{k[1]}{r[1]}{v[1]}</g>
  <text x="{w / 2}" y="{band_y + 62}" text-anchor="middle" font-family="DejaVu Sans"
        font-weight="bold" font-size="44" letter-spacing="10" fill="#000">DEMO CREW</text>
  <rect x="{w / 2 - 257}" y="{band_y + 41}" width="14" height="14" transform="rotate(45 {w / 2 - 250} {band_y + 48})" fill="#000"/>
  <rect x="{w / 2 + 243}" y="{band_y + 41}" width="14" height="14" transform="rotate(45 {w / 2 + 250} {band_y + 48})" fill="#000"/>
 </mask>
</defs>
<g mask="url(#cut)">
 <path d="{octagon(14, 70)}" fill="none" stroke="#fff" stroke-width="22" stroke-linejoin="round"/>
 <path d="{octagon(42, 58)}" fill="none" stroke="#fff" stroke-width="6" stroke-linejoin="round"/>
 {k[0]}{r[0]}{v[0]}
 <path d="M{w / 2 - 280} {band_y} H{w / 2 + 280} L{w / 2 + 300} {band_y + 48} L{w / 2 + 280}
          {band_y + 96} H{w / 2 - 280} L{w / 2 - 300} {band_y + 48} Z" fill="#fff"/>
 {star(w / 2, 118, 34)}{star(w / 2 - 86, 128, 22)}{star(w / 2 + 86, 128, 22)}
 <rect x="{x0}" y="124" width="{w / 2 - 120 - x0}" height="10" rx="5" fill="#fff"/>
 <rect x="{w / 2 + 120}" y="124" width="{w / 2 - 120 - x0}" height="10" rx="5" fill="#fff"/>
 <rect x="{x0}" y="146" width="{w / 2 - 150 - x0}" height="5" rx="2.5" fill="#fff"/>
 <rect x="{w / 2 + 150}" y="146" width="{w / 2 - 150 - x0}" height="5" rx="2.5" fill="#fff"/>
</g>
</svg>"""
    return render_svg_array(svg, w, h)


# --------------------------------------------------------------------------- record shop

def _woofer(cx, cy, r):
    return f"""
<circle cx="{cx}" cy="{cy}" r="{r + 10}" fill="#c9ced8" stroke="{SCENERY_INK}" stroke-width="7"/>
<circle cx="{cx}" cy="{cy}" r="{r}" fill="#2a2a33" stroke="{SCENERY_INK}" stroke-width="4"/>
<circle cx="{cx}" cy="{cy}" r="{r - 10}" fill="url(#cone)" stroke="#16161c" stroke-width="3"/>
<circle cx="{cx}" cy="{cy}" r="{r * 0.62:.1f}" fill="none" stroke="#3c3c48" stroke-width="3"/>
<circle cx="{cx}" cy="{cy}" r="{r * 0.3:.1f}" fill="url(#cap)" stroke="{SCENERY_INK}" stroke-width="5"/>
<path d="M{cx - r * 0.72:.1f} {cy - r * 0.25:.1f} A {r * 0.76:.1f} {r * 0.76:.1f} 0 0 1
         {cx - r * 0.25:.1f} {cy - r * 0.72:.1f}" stroke="#ffffff" stroke-opacity="0.35"
      stroke-width="6" fill="none" stroke-linecap="round"/>
{''.join(f'<circle cx="{cx + (r + 5) * np.cos(a):.1f}" cy="{cy + (r + 5) * np.sin(a):.1f}" r="3.5" fill="{SCENERY_INK}"/>' for a in np.linspace(0, 2 * np.pi, 8, endpoint=False) + np.pi / 8)}
"""


def _speaker_panel():
    """Left speaker tower, 0..230 px wide; the right one is its mirror image."""
    return f"""
<g filter="url(#panelsh)">
 <rect x="-20" y="-20" width="242" height="{H + 40}" rx="18" fill="#3b2346" stroke="{SCENERY_INK}" stroke-width="9"/>
</g>
<rect x="-4" y="-4" width="30" height="{H + 8}" fill="#56346a"/>
<rect x="186" y="-4" width="30" height="{H + 8}" fill="#2a1733"/>
<rect x="22" y="60" width="164" height="196" rx="10" fill="#2a1733" stroke="{SCENERY_INK}" stroke-width="5"/>
{_tweeter(104, 158)}
{_woofer(104, 430, 78)}
{_woofer(104, 710, 78)}
{_vu(104, 570)}
<rect x="38" y="900" width="132" height="36" rx="18" fill="#120a18" stroke="{SCENERY_INK}" stroke-width="6"/>
<rect x="46" y="906" width="116" height="8" rx="4" fill="#000" opacity="0.6"/>
<rect x="30" y="980" width="148" height="8" rx="4" fill="#56346a"/>
<rect x="30" y="1000" width="148" height="8" rx="4" fill="#56346a"/>
<rect x="30" y="1020" width="148" height="8" rx="4" fill="#56346a"/>
"""


def _tweeter(cx, cy):
    return f"""
<circle cx="{cx}" cy="{cy}" r="52" fill="#c9ced8" stroke="{SCENERY_INK}" stroke-width="6"/>
<circle cx="{cx}" cy="{cy}" r="40" fill="#1c1c24" stroke="{SCENERY_INK}" stroke-width="3"/>
<circle cx="{cx}" cy="{cy}" r="22" fill="url(#cap)" stroke="{SCENERY_INK}" stroke-width="4"/>
<circle cx="{cx - 8}" cy="{cy - 8}" r="6" fill="#ffffff" opacity="0.8"/>
"""


def frame_sides():
    panel = _speaker_panel()
    svg = f"""<svg xmlns="http://www.w3.org/2000/svg" width="{W}" height="{H}">
<defs>
 {shadow_filter("panelsh", 14, 6, 10, 0.55)}
 {_speaker_defs()}
</defs>
<g>{panel}
 <g transform="translate(104 830)">{_badge()}</g>
</g>
<g transform="translate({W} 0) scale(-1 1)">{panel}</g>
<g transform="translate({W - 104} 830)">{_badge()}</g>
</svg>"""
    return render_svg_array(svg, W, H)


def _vu(cx, cy):
    cols = ["#39d353", "#39d353", "#39d353", "#a6e22e", "#ffd42a", "#ff8a1f", "#ff3b4e"]
    leds = "".join(
        f'<rect x="{cx - 63 + 18 * i}" y="{cy - 7}" width="13" height="14" rx="3" fill="{c}" '
        f'stroke="{SCENERY_INK}" stroke-width="2.5" opacity="{1.0 if i < 5 else 0.45}"/>'
        for i, c in enumerate(cols))
    return (f'<rect x="{cx - 72}" y="{cy - 16}" width="144" height="32" rx="8" fill="#120a18" '
            f'stroke="{SCENERY_INK}" stroke-width="5"/>{leds}')


def _badge():
    return f"""<rect x="-44" y="-17" width="88" height="34" rx="8" fill="#c9ced8" stroke="{SCENERY_INK}" stroke-width="5"/>
<text x="0" y="11" text-anchor="middle" font-family="DejaVu Sans" font-weight="bold" font-size="26"
      fill="{SCENERY_INK}" letter-spacing="3">KRV</text>"""


def _speaker_defs():
    return """
 <radialGradient id="cone" cx="0.4" cy="0.38" r="0.7">
  <stop offset="0" stop-color="#4a4a58"/><stop offset="0.7" stop-color="#23232c"/>
  <stop offset="1" stop-color="#121218"/></radialGradient>
 <radialGradient id="cap" cx="0.35" cy="0.32" r="0.8">
  <stop offset="0" stop-color="#ff9bd0"/><stop offset="0.5" stop-color="#e8307c"/>
  <stop offset="1" stop-color="#8a1248"/></radialGradient>
"""


def _bunting(x0, x1, y0, sag, n, seed):
    rng = np.random.default_rng(seed)
    cols = ["#ff3b6b", "#ffd42a", "#21c4c4", "#8b5cf6", "#ff8a1f", "#5ad04a"]
    out = []
    pts = []
    for i in range(41):
        t = i / 40
        pts.append((x0 + (x1 - x0) * t, y0 + sag * 4 * t * (1 - t)))
    out.append(f'<polyline points="{" ".join(f"{a:.1f},{b:.1f}" for a, b in pts)}" '
               f'fill="none" stroke="{SCENERY_INK}" stroke-width="4"/>')
    for i in range(n):
        t0 = (i + 0.12) / n
        t1 = (i + 0.88) / n
        tm = (t0 + t1) / 2
        ax, ay = x0 + (x1 - x0) * t0, y0 + sag * 4 * t0 * (1 - t0)
        bx, by = x0 + (x1 - x0) * t1, y0 + sag * 4 * t1 * (1 - t1)
        mx, my = x0 + (x1 - x0) * tm, y0 + sag * 4 * tm * (1 - tm) + 46
        col = cols[int(rng.integers(0, len(cols)))]
        out.append(f'<path d="M{ax:.1f} {ay:.1f} L{bx:.1f} {by:.1f} L{mx:.1f} {my:.1f} Z" '
                   f'fill="{col}" stroke="{SCENERY_INK}" stroke-width="4" stroke-linejoin="round"/>'
                   f'<path d="M{ax + 5:.1f} {ay + 4:.1f} L{(ax + mx) / 2 + 2:.1f} {(ay + my) / 2:.1f}" '
                   f'stroke="#fff" stroke-opacity="0.5" stroke-width="4" stroke-linecap="round"/>')
    return "".join(out)


def _crate(x, y):
    """Wooden crate of records with coloured sleeves sticking up."""
    sleeves = []
    cols = ["#ff3b6b", "#21c4c4", "#ffd42a", "#8b5cf6", "#ff8a1f", "#f4f0e6", "#5ad04a"]
    for i in range(7):
        sy = y - 64 + i * 9 + (i * 37 % 11)
        tilt = ((i * 5) % 7 - 3) * 1.6
        sleeves.append(
            f'<g transform="rotate({tilt:.1f} {x + 105} {y + 60})">'
            f'<rect x="{x + 14}" y="{sy}" width="182" height="120" rx="3" fill="{cols[i]}" '
            f'stroke="{SCENERY_INK}" stroke-width="5"/>'
            f'<rect x="{x + 22}" y="{sy + 6}" width="166" height="5" rx="2" fill="#ffffff" '
            f'opacity="0.45"/></g>')
    return f"""
{''.join(sleeves)}
<rect x="{x}" y="{y}" width="210" height="104" rx="6" fill="#c98a4b" stroke="{SCENERY_INK}" stroke-width="7"/>
<rect x="{x + 6}" y="{y + 6}" width="198" height="12" fill="#e4a967"/>
<path d="M{x} {y + 52} H{x + 210}" stroke="{SCENERY_INK}" stroke-width="5"/>
<rect x="{x + 80}" y="{y + 28}" width="50" height="14" rx="7" fill="#6e4424" stroke="{SCENERY_INK}" stroke-width="4"/>
<text x="{x + 105}" y="{y + 88}" text-anchor="middle" font-family="DejaVu Sans" font-weight="bold"
      font-size="24" fill="#fff2d8" stroke="{SCENERY_INK}" stroke-width="5" paint-order="stroke">$1 BIN</text>
"""


def _boombox(x, y):
    return f"""
<path d="M{x + 50} {y} V{y - 34} H{x + 180} V{y}" fill="none" stroke="{SCENERY_INK}" stroke-width="16"
      stroke-linejoin="round"/>
<path d="M{x + 50} {y} V{y - 34} H{x + 180} V{y}" fill="none" stroke="#c9ced8" stroke-width="7"
      stroke-linejoin="round"/>
<rect x="{x}" y="{y}" width="230" height="110" rx="14" fill="#e8307c" stroke="{SCENERY_INK}" stroke-width="7"/>
<rect x="{x + 8}" y="{y + 7}" width="214" height="12" rx="6" fill="#ff7fb5"/>
<circle cx="{x + 48}" cy="{y + 64}" r="32" fill="#2a2a33" stroke="{SCENERY_INK}" stroke-width="5"/>
<circle cx="{x + 48}" cy="{y + 64}" r="12" fill="#c9ced8" stroke="{SCENERY_INK}" stroke-width="3"/>
<circle cx="{x + 182}" cy="{y + 64}" r="32" fill="#2a2a33" stroke="{SCENERY_INK}" stroke-width="5"/>
<circle cx="{x + 182}" cy="{y + 64}" r="12" fill="#c9ced8" stroke="{SCENERY_INK}" stroke-width="3"/>
<rect x="{x + 88}" y="{y + 38}" width="54" height="32" rx="4" fill="#21c4c4" stroke="{SCENERY_INK}" stroke-width="4"/>
<circle cx="{x + 104}" cy="{y + 54}" r="6" fill="{SCENERY_INK}"/><circle cx="{x + 126}" cy="{y + 54}" r="6" fill="{SCENERY_INK}"/>
<rect x="{x + 88}" y="{y + 80}" width="12" height="10" fill="{SCENERY_INK}"/>
<rect x="{x + 106}" y="{y + 80}" width="12" height="10" fill="{SCENERY_INK}"/>
<rect x="{x + 124}" y="{y + 80}" width="12" height="10" fill="{SCENERY_INK}"/>
"""


def frame():
    top_h = 64
    counter_y = 1014
    bulbs = "".join(
        f'<circle cx="{x}" cy="{top_h - 2}" r="8" fill="#fff2a8" stroke="{SCENERY_INK}" stroke-width="4"/>'
        f'<circle cx="{x - 2}" cy="{top_h - 5}" r="2.5" fill="#fff"/>'
        for x in range(250, 1680, 60) if not (800 < x < 1120))
    planks = "".join(
        f'<path d="M{x} {counter_y + 30} V{H + 10}" stroke="#6e4424" stroke-width="4"/>'
        for x in range(250, 1700, 90))
    svg = f"""<svg xmlns="http://www.w3.org/2000/svg" width="{W}" height="{H}">
<defs>
 {shadow_filter("sh", 0, 10, 9, 0.55)}
 {shadow_filter("sh2", 8, 8, 6, 0.45)}
 <filter id="halo" x="-50%" y="-50%" width="200%" height="200%"><feGaussianBlur stdDeviation="9"/></filter>
 <linearGradient id="board" x1="0" y1="0" x2="0" y2="1">
  <stop offset="0" stop-color="#1d5f66"/><stop offset="1" stop-color="#134349"/></linearGradient>
 <linearGradient id="wood" x1="0" y1="0" x2="0" y2="1">
  <stop offset="0" stop-color="#b8773d"/><stop offset="1" stop-color="#8a5428"/></linearGradient>
</defs>
<!-- header board with bulbs and the shop sign -->
<g filter="url(#sh)">
 <rect x="-20" y="-20" width="{W + 40}" height="{top_h + 20}" fill="url(#board)" stroke="{SCENERY_INK}" stroke-width="8"/>
</g>
<rect x="-10" y="4" width="{W + 20}" height="8" fill="#2d8a93"/>
<g opacity="0.55" filter="url(#halo)">
 {''.join(f'<circle cx="{x}" cy="{top_h - 2}" r="14" fill="#ffe680"/>' for x in range(250, 1680, 60) if not (800 < x < 1120))}
</g>
{bulbs}
<g filter="url(#sh2)">
 <path d="M770 -10 H1150 V50 Q1150 70 1130 70 H790 Q770 70 770 50 Z" fill="#ffd42a" stroke="{SCENERY_INK}" stroke-width="8"/>
</g>
<rect x="786" y="4" width="348" height="8" rx="4" fill="#fff3a0"/>
<text x="960" y="54" text-anchor="middle" font-family="DejaVu Sans" font-weight="bold" font-size="40"
      letter-spacing="2" fill="#e8307c" stroke="{SCENERY_INK}" stroke-width="7" paint-order="stroke"
      stroke-linejoin="round">KLOMP RECORDS</text>
{_bunting(205, 455, top_h + 4, 60, 5, 3)}
{_bunting(1465, 1715, top_h + 4, 60, 5, 4)}
<!-- counter with items standing on it at both ends -->
<g filter="url(#sh2)">{_crate(250, counter_y - 104)}</g>
<g filter="url(#sh2)">{_boombox(1468, counter_y - 110)}</g>
<g filter="url(#sh)">
 <rect x="-20" y="{counter_y}" width="{W + 40}" height="{H - counter_y + 20}" fill="url(#wood)" stroke="{SCENERY_INK}" stroke-width="8"/>
</g>
<rect x="-10" y="{counter_y + 5}" width="{W + 20}" height="7" fill="#e4a967"/>
<path d="M-10 {counter_y + 26} H{W + 10}" stroke="{SCENERY_INK}" stroke-width="6"/>
{planks}
<g transform="translate(960 {counter_y + 46})">
 <rect x="-120" y="-14" width="240" height="28" rx="14" fill="#21c4c4" stroke="{SCENERY_INK}" stroke-width="5"/>
 <text x="0" y="9" text-anchor="middle" font-family="DejaVu Sans" font-weight="bold" font-size="20"
       fill="#ffffff" stroke="{SCENERY_INK}" stroke-width="4" paint-order="stroke" letter-spacing="3">NEW ARRIVALS</text>
</g>
<g transform="translate(620 {counter_y + 46})">
 <rect x="-60" y="-14" width="120" height="28" rx="4" fill="#f4f0e6" stroke="{SCENERY_INK}" stroke-width="4"/>
 <text x="0" y="8" text-anchor="middle" font-family="DejaVu Sans" font-weight="bold" font-size="17"
       fill="{SCENERY_INK}">OPEN 24/7</text>
</g>
<g transform="translate(1300 {counter_y + 46}) rotate(-4)">
 <rect x="-60" y="-14" width="120" height="28" rx="4" fill="#ff3b6b" stroke="{SCENERY_INK}" stroke-width="4"/>
 <text x="0" y="8" text-anchor="middle" font-family="DejaVu Sans" font-weight="bold" font-size="17"
       fill="#fff">VINYL 4 LIFE</text>
</g>
</svg>"""
    img = render_svg_array(svg, W, H)
    # Keep the middle 1000x940 fully clear for the spinning record (trims soft shadows).
    img[70:1010, 460:1460, 3] = 0.0
    return img
