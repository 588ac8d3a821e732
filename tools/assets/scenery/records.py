"""Vinyl records (numpy grooves and shine) and the five round record labels (SVG)."""
import numpy as np

from assetkit import SCENERY_INK
from common import arc_text, over, render_svg_array, shadow_filter, smoothstep


def _record(size, radius, dead_r, seed):
    """Black record: uneven groove rings, track gaps, a diagonal shine and a lit rim."""
    c = size / 2.0
    y, x = np.mgrid[0:size, 0:size].astype(np.float32) + 0.5
    dx, dy = x - c, y - c
    r = np.hypot(dx, dy)
    th = np.arctan2(dy, dx)
    rng = np.random.default_rng(seed)
    # Per-radius groove brightness, sampled every quarter pixel then smoothed a little.
    n = int(radius * 4) + 8
    g = rng.normal(0, 1, n)
    g = np.convolve(g, np.ones(3) / 3, mode="same")
    ring = np.interp(r * 4, np.arange(n), g).astype(np.float32)
    # Track gaps: smooth dark bands at a few radii between dead wax and the rim.
    lead_in = radius - 14
    gaps = np.sort(rng.uniform(dead_r + 25, lead_in - 20, 5))
    gap = np.zeros_like(r)
    for gr in gaps:
        gap = np.maximum(gap, np.exp(-((r - gr) / 2.2) ** 2))
    grooved = (r > dead_r + 4) & (r < lead_in)
    val = np.full_like(r, 0.055)
    val = val + np.where(grooved, 0.018 * ring + 0.01, 0.0) - 0.03 * gap * grooved
    # Shine: two opposite lobes across the diagonal, stronger on the grooves.
    a = np.mod(th - np.pi / 4, np.pi) - np.pi / 2
    lobe = np.exp(-(a / 0.30) ** 2)
    lobe2 = np.exp(-((np.mod(th + np.pi / 4, np.pi) - np.pi / 2) / 0.18) ** 2) * 0.35
    sheen = (lobe + lobe2) * (0.55 + 0.45 * smoothstep(dead_r, radius, r))
    sheen_g = sheen * np.where(grooved, 0.30 + 0.06 * ring, 0.12)
    val = val + sheen_g
    # Lit rim and a raised edge just inside it.
    rim = np.exp(-((r - (radius - 3.0)) / 1.6) ** 2) * (0.18 + 0.3 * lobe)
    val = val + rim
    rgb = np.stack([val * 0.96, val * 0.97, val * 1.06], -1)
    # Faint cool tint in the shine so it reads as a glossy surface.
    rgb = rgb + (sheen_g * 0.15)[..., None] * np.array([0.2, 0.35, 0.6], np.float32)
    alpha = np.clip(radius - r + 0.5, 0, 1)
    return np.concatenate([np.clip(rgb, 0, 1), alpha[..., None]], -1).astype(np.float32), r


def vinyl():
    """The intro's record, 560 px: small enough that the sun's rays show around it."""
    size = 560
    rec, r = _record(size, 274.0, 105.0, 71)
    label = render_svg_array(_vinyl_label_svg(size), size, size)
    out = over(rec, label)
    out[..., 3] *= np.clip(r - 7.0 + 0.5, 0, 1)  # spindle hole
    return out


VINYL_DESIGN = 800  # the label is drawn on an 800 px design and scaled to the record


def _vinyl_label_svg(size):
    c = VINYL_DESIGN / 2
    R = 146
    text = arc_text("KRV RECORDINGS \u2022 SIDE A", c, c, R - 26, 17, "#ffe9d0",
                    spacing=1.5)
    bottom = arc_text("33\u2153 RPM \u2022 STEREO", c, c, R - 44, 14,
                      "#ffe9d0", bottom=True, spacing=1.2)
    return f"""<svg xmlns="http://www.w3.org/2000/svg" width="{size}" height="{size}"
     viewBox="0 0 {VINYL_DESIGN} {VINYL_DESIGN}">
<defs>
 <radialGradient id="lg" cx="0.42" cy="0.38" r="0.7">
  <stop offset="0" stop-color="#f04438"/><stop offset="1" stop-color="#b4151c"/>
 </radialGradient>
</defs>
<circle cx="{c}" cy="{c}" r="{R}" fill="url(#lg)" stroke="{SCENERY_INK}" stroke-width="5"/>
<circle cx="{c}" cy="{c}" r="{R - 12}" fill="none" stroke="#ffe9d0" stroke-width="2" opacity="0.8"/>
{text}
{bottom}
<text x="{c}" y="{c - 34}" text-anchor="middle" font-family="DejaVu Sans" font-weight="bold"
      font-size="46" fill="#fff6e8" stroke="{SCENERY_INK}" stroke-width="6" paint-order="stroke"
      stroke-linejoin="round">KLOMP</text>
<rect x="{c - 70}" y="{c + 30}" width="140" height="3" fill="#ffe9d0"/>
<text x="{c}" y="{c + 56}" text-anchor="middle" font-family="DejaVu Sans" font-weight="bold"
      font-size="15" fill="#ffe9d0">A1 \u2022 ZILCHY</text>
<path d="M {c - R + 20} {c} A {R - 20} {R - 20} 0 0 1 {c - 60} {c - R + 40}" fill="none"
      stroke="#ffffff" stroke-width="8" stroke-linecap="round" opacity="0.25"/>
<circle cx="{c}" cy="{c}" r="16" fill="#7d0f14" stroke="{SCENERY_INK}" stroke-width="3"/>
</svg>"""


def big_vinyl():
    size = 900
    rec, r = _record(size, 446.0, 172.0, 72)
    # Plain dark centre; a thin raised ring marks where the label sits.
    centre = np.clip(168.0 - r + 0.5, 0, 1)
    rec[..., :3] = rec[..., :3] * (1 - centre[..., None]) + 0.075 * centre[..., None]
    ridge = np.exp(-((r - 171.0) / 1.5) ** 2) * 0.12
    rec[..., :3] += ridge[..., None]
    rec[..., 3] *= np.clip(r - 11.0 + 0.5, 0, 1)
    return np.clip(rec, 0, 1)


# --------------------------------------------------------------------------- labels

S = 330
C = S / 2


def _label(body, defs="", hole=11):
    """Wrap label artwork: clip to the disc, dark rim, spindle hole punched out."""
    return f"""<svg xmlns="http://www.w3.org/2000/svg" width="{S}" height="{S}">
<defs>
 <clipPath id="disc"><circle cx="{C}" cy="{C}" r="{C - 3}"/></clipPath>
 <mask id="hole"><rect width="{S}" height="{S}" fill="#fff"/>
  <circle cx="{C}" cy="{C}" r="{hole}" fill="#000"/></mask>
 {shadow_filter("sh", 3, 4, 3, 0.5)}
 <radialGradient id="gloss" cx="0.35" cy="0.3" r="0.8">
  <stop offset="0" stop-color="#fff" stop-opacity="0.22"/>
  <stop offset="0.5" stop-color="#fff" stop-opacity="0"/>
  <stop offset="1" stop-color="#000" stop-opacity="0.22"/>
 </radialGradient>
 {defs}
</defs>
<g mask="url(#hole)">
 <g clip-path="url(#disc)">
{body}
  <circle cx="{C}" cy="{C}" r="{C}" fill="url(#gloss)"/>
 </g>
 <circle cx="{C}" cy="{C}" r="{C - 4}" fill="none" stroke="{SCENERY_INK}" stroke-width="6"/>
 <circle cx="{C}" cy="{C}" r="{hole + 3}" fill="none" stroke="{SCENERY_INK}" stroke-width="5"/>
</g>
</svg>"""


def _txt(x, y, s, size, fill, stroke=SCENERY_INK, sw=0, anchor="middle", extra=""):
    st = (f' stroke="{stroke}" stroke-width="{sw}" paint-order="stroke" stroke-linejoin="round"'
          if sw else "")
    return (f'<text x="{x}" y="{y}" text-anchor="{anchor}" font-family="DejaVu Sans" '
            f'font-weight="bold" font-size="{size}" fill="{fill}"{st} {extra}>{s}</text>')


def label_achtung_fulkod():
    # Hazard-yellow label: striped warning ring, red FULKOD banner.
    n = 28
    stripes = []
    for i in range(n):
        a0 = 2 * np.pi * i / n
        a1 = a0 + np.pi / n
        pts = []
        for a, rr in ((a0, 128), (a0 + 0.12, 170), (a1 + 0.12, 170), (a1, 128)):
            pts.append(f"{C + rr * np.cos(a):.2f},{C + rr * np.sin(a):.2f}")
        stripes.append(f'<polygon points="{" ".join(pts)}" fill="{SCENERY_INK}"/>')
    tri = lambda x, y, s: (  # noqa: E731
        f'<path d="M{x} {y - s} L{x + s * 1.1} {y + s * 0.85} L{x - s * 1.1} {y + s * 0.85} Z" '
        f'fill="{SCENERY_INK}" stroke="{SCENERY_INK}" stroke-width="4" stroke-linejoin="round"/>'
        f'<path d="M{x} {y - s + 9} L{x + s * 1.1 - 10} {y + s * 0.85 - 4} '
        f'L{x - s * 1.1 + 10} {y + s * 0.85 - 4} Z" fill="#ffd21a"/>'
        f'<rect x="{x - 2.5}" y="{y - s * 0.35}" width="5" height="{s * 0.7}" rx="2" fill="{SCENERY_INK}"/>'
        f'<circle cx="{x}" cy="{y + s * 0.55}" r="3" fill="{SCENERY_INK}"/>')
    body = f"""
<circle cx="{C}" cy="{C}" r="{C}" fill="#ffd21a"/>
{''.join(stripes)}
<circle cx="{C}" cy="{C}" r="128" fill="#ffd21a" stroke="{SCENERY_INK}" stroke-width="5"/>
<circle cx="{C}" cy="{C}" r="112" fill="none" stroke="{SCENERY_INK}" stroke-width="2" stroke-dasharray="6 5"/>
{_txt(C, 110, "ACHTUNG!", 29, SCENERY_INK)}
{tri(C - 72, C - 2, 20)}
{tri(C + 72, C - 2, 20)}
<g filter="url(#sh)">
<path d="M52 196 H278 L266 221 L278 246 H52 L64 221 Z" fill="#e6262e" stroke="{SCENERY_INK}" stroke-width="5"
      stroke-linejoin="round"/>
</g>
<rect x="70" y="201" width="190" height="6" rx="3" fill="#ff7a7f"/>
{_txt(C, 238, "FULKOD", 40, "#ffffff", sw=6)}
{_txt(C, 264, "45 RPM • SIDE A", 10, SCENERY_INK)}
"""
    return render_svg_array(_label(body), S, S)


def label_faceplant():
    # Jungle-green label with big leaves fanning out from the centre.
    leaves = []
    for i, ang in enumerate(range(0, 360, 45)):
        fill, vein = ("#3fae3c", "#1d6b25") if i % 2 == 0 else ("#8fd630", "#4d8f1c")
        leaves.append(
            f'<g transform="rotate({ang + 22.5} {C} {C})">'
            f'<path d="M{C} {C - 40} C {C + 40} {C - 70}, {C + 34} {C - 118}, {C} {C - 142} '
            f'C {C - 34} {C - 118}, {C - 40} {C - 70}, {C} {C - 40} Z" fill="{fill}" '
            f'stroke="{SCENERY_INK}" stroke-width="5" stroke-linejoin="round"/>'
            f'<path d="M{C} {C - 46} V {C - 128}" stroke="{vein}" stroke-width="3.5" '
            f'stroke-linecap="round"/>'
            f'<path d="M{C - 12} {C - 92} C {C - 20} {C - 98}, {C - 22} {C - 106}, {C - 20} {C - 112}" '
            f'stroke="#ffffff" stroke-opacity="0.55" stroke-width="4" fill="none" stroke-linecap="round"/>'
            f'</g>')
    top = arc_text("FACEPLANT", C, C, 136, 30, "#ffffff", stroke=SCENERY_INK, stroke_width=6, spacing=3)
    bottom = arc_text("GREEN FINGERS \u2022 33\u2153", C, C, 140, 13, "#eaffc8", bottom=True,
                      spacing=1)
    body = f"""
<circle cx="{C}" cy="{C}" r="{C}" fill="#1c4a26"/>
<circle cx="{C}" cy="{C}" r="150" fill="none" stroke="#2e6b34" stroke-width="26"/>
{''.join(leaves)}
<circle cx="{C}" cy="{C}" r="54" fill="#ff7eb0" stroke="{SCENERY_INK}" stroke-width="5"/>
<circle cx="{C - 18}" cy="{C - 16}" r="6" fill="{SCENERY_INK}"/>
<circle cx="{C + 18}" cy="{C - 16}" r="6" fill="{SCENERY_INK}"/>
<circle cx="{C - 16}" cy="{C - 18}" r="2" fill="#fff"/>
<circle cx="{C + 20}" cy="{C - 18}" r="2" fill="#fff"/>
<path d="M{C - 26} {C + 22} Q {C} {C + 44} {C + 26} {C + 22}" stroke="{SCENERY_INK}" stroke-width="5"
      fill="none" stroke-linecap="round"/>
<ellipse cx="{C - 34}" cy="{C + 8}" rx="7" ry="4" fill="#ff4d8d"/>
<ellipse cx="{C + 34}" cy="{C + 8}" rx="7" ry="4" fill="#ff4d8d"/>
<path d="M{C - 36} {C - 30} A 44 44 0 0 1 {C + 10} {C - 48}" stroke="#fff" stroke-opacity="0.6"
      stroke-width="5" fill="none" stroke-linecap="round"/>
{top}
{bottom}
"""
    return render_svg_array(_label(body), S, S)


def label_memoryleek():
    # Circuit-board label: navy with cyan traces and a leek plugged in across the middle.
    rng = np.random.default_rng(81)
    traces = []
    for _ in range(26):
        x, y = rng.uniform(20, S - 20), rng.uniform(20, S - 20)
        pts = [(x, y)]
        for _ in range(3):
            d = rng.integers(0, 8)
            ln = rng.uniform(18, 60)
            ang = d * np.pi / 4
            x += ln * np.cos(ang)
            y += ln * np.sin(ang)
            pts.append((x, y))
        p = " ".join(f"{a:.1f},{b:.1f}" for a, b in pts)
        traces.append(f'<polyline points="{p}" fill="none" stroke="#25c6d9" stroke-width="3" '
                      f'stroke-linejoin="round" opacity="0.55"/>')
        traces.append(f'<circle cx="{pts[-1][0]:.1f}" cy="{pts[-1][1]:.1f}" r="5" fill="#0c1638" '
                      f'stroke="#49e3f0" stroke-width="2.5" opacity="0.8"/>')
    chips = "".join(
        f'<rect x="{x}" y="{y}" width="34" height="22" rx="3" fill="#10132a" stroke="#49e3f0" '
        f'stroke-width="2"/>' + "".join(
            f'<rect x="{x + 4 + 7 * k}" y="{y - 5}" width="3" height="5" fill="#c9d6e0"/>'
            f'<rect x="{x + 4 + 7 * k}" y="{y + 22}" width="3" height="5" fill="#c9d6e0"/>'
            for k in range(4))
        for x, y in ((70, 214), (226, 214)))
    leek = f"""
<g transform="rotate(-28 {C} {C})" filter="url(#sh)">
 <path d="M{C + 5} {C - 12} C {C + 60} {C - 30}, {C + 100} {C - 60}, {C + 140} {C - 92}
          C {C + 110} {C - 40}, {C + 70} {C - 4}, {C + 5} {C + 4} Z" fill="#2f8f2a"
       stroke="{SCENERY_INK}" stroke-width="5" stroke-linejoin="round"/>
 <path d="M{C + 5} {C - 6} C {C + 70} {C - 8}, {C + 110} {C + 10}, {C + 148} {C + 36}
          C {C + 100} {C + 30}, {C + 60} {C + 18}, {C + 5} {C + 12} Z" fill="#3fae3c"
       stroke="{SCENERY_INK}" stroke-width="5" stroke-linejoin="round"/>
 <path d="M{C + 5} {C - 13} L {C + 150} {C - 34} L {C + 158} {C - 22} L {C + 5} {C + 13} Z"
       fill="#6fd14a" stroke="{SCENERY_INK}" stroke-width="5" stroke-linejoin="round"/>
 <path d="M{C + 20} {C - 6} L {C + 140} {C - 24}" stroke="#b6f07a" stroke-width="3"
       stroke-linecap="round"/>
 <path d="M{C - 115} {C - 14} C {C - 124} {C - 14}, {C - 130} {C + 14}, {C - 115} {C + 14}
          L {C + 10} {C + 14} L {C + 10} {C - 14} Z" fill="#f6f4e8" stroke="{SCENERY_INK}"
       stroke-width="5" stroke-linejoin="round"/>
 <path d="M{C - 30} {C - 14} C {C - 10} {C - 14}, {C - 5} {C - 14}, {C + 10} {C - 14}
          L {C + 10} {C + 14} C {C - 5} {C + 14}, {C - 10} {C + 14}, {C - 30} {C + 14} Z"
       fill="#cfe98a" stroke="{SCENERY_INK}" stroke-width="4" stroke-linejoin="round"/>
 <path d="M{C - 106} {C - 6} H {C - 40}" stroke="#ffffff" stroke-width="5" stroke-linecap="round"/>
 <path d="M{C - 100} {C + 6} H {C - 50}" stroke="#d6d2be" stroke-width="3" stroke-linecap="round"/>
 <path d="M{C - 124} {C - 8} l -14 -7 M{C - 126} {C} l -16 0 M{C - 124} {C + 8} l -14 7
          M{C - 125} {C - 3} l -12 -12 M{C - 125} {C + 3} l -12 12" stroke="#f6f4e8"
       stroke-width="3" stroke-linecap="round"/>
</g>"""
    top = arc_text("MEMORYLEEK", C, C, 134, 30, "#7ff3ff", stroke=SCENERY_INK, stroke_width=6, spacing=2)
    bottom = arc_text("0xDEADBEEF \u2022 SEGFAULT MIX", C, C, 138, 13, "#9fe8f2", bottom=True,
                      spacing=1)
    body = f"""
<circle cx="{C}" cy="{C}" r="{C}" fill="#0f1e4a"/>
<circle cx="{C}" cy="{C}" r="148" fill="none" stroke="#1b2f6b" stroke-width="30"/>
{''.join(traces)}
{chips}
<circle cx="{C}" cy="{C}" r="118" fill="none" stroke="#49e3f0" stroke-width="2" stroke-dasharray="2 6"/>
{leek}
{top}
{bottom}
"""
    return render_svg_array(_label(body), S, S)


def label_oj():
    # Orange-slice label: rind, pith, juicy segments and big OJ lettering.
    segs = []
    n = 10
    for i in range(n):
        a0 = 2 * np.pi * i / n + 0.06
        a1 = 2 * np.pi * (i + 1) / n - 0.06
        r0, r1 = 22, 128
        p = (f"M{C + r0 * np.cos((a0 + a1) / 2):.1f} {C + r0 * np.sin((a0 + a1) / 2):.1f} "
             f"L{C + r1 * np.cos(a0):.1f} {C + r1 * np.sin(a0):.1f} "
             f"A {r1} {r1} 0 0 1 {C + r1 * np.cos(a1):.1f} {C + r1 * np.sin(a1):.1f} Z")
        segs.append(f'<path d="{p}" fill="#ff9418" stroke="#ffe7a8" stroke-width="5" '
                    f'stroke-linejoin="round"/>')
        am = (a0 + a1) / 2
        for k in range(3):
            rr = 60 + 22 * k
            segs.append(f'<ellipse cx="{C + rr * np.cos(am):.1f}" cy="{C + rr * np.sin(am):.1f}" '
                        f'rx="9" ry="3.5" transform="rotate({np.degrees(am):.1f} '
                        f'{C + rr * np.cos(am):.1f} {C + rr * np.sin(am):.1f})" fill="#ffc04d"/>')
    bottom = arc_text("FRESH SQUEEZED \u2022 100% PULP", C, C, 142, 13, "#fff4d6", bottom=True,
                      spacing=1)
    body = f"""
<circle cx="{C}" cy="{C}" r="{C}" fill="#f26b0f"/>
<circle cx="{C}" cy="{C}" r="136" fill="#fff1c4" stroke="#d9570a" stroke-width="3"/>
{''.join(segs)}
<g filter="url(#sh)">
 {_txt(C - 2, C - 30, "OJ", 100, "#ffffff", sw=12, extra='letter-spacing="4"')}
</g>
<path d="M{C - 88} {C - 98} A 20 20 0 0 1 {C - 60} {C - 104}" stroke="#fff" stroke-width="5"
      fill="none" stroke-linecap="round" opacity="0.8"/>
<rect x="{C - 64}" y="{C + 32}" width="128" height="28" rx="14" fill="#2a9d3c" stroke="{SCENERY_INK}"
      stroke-width="4"/>
{_txt(C, C + 52, "SIDE B", 17, "#ffffff")}
<path d="M{C + 70} {C - 112} C {C + 90} {C - 140}, {C + 122} {C - 120}, {C + 116} {C - 96}
         C {C + 98} {C - 94}, {C + 82} {C - 98}, {C + 70} {C - 112} Z" fill="#39b54a"
      stroke="{SCENERY_INK}" stroke-width="4"/>
<path d="M{C + 80} {C - 108} Q {C + 98} {C - 112} {C + 108} {C - 102}" stroke="#1f7a2c"
      stroke-width="3" fill="none"/>
{bottom}
"""
    return render_svg_array(_label(body), S, S)


def label_spp():
    # Retro sunburst in purple and magenta with chunky yellow SPP lettering.
    rays = []
    n = 24
    for i in range(n):
        a0 = 2 * np.pi * i / n
        a1 = a0 + 2 * np.pi / n
        col = "#7a1fa2" if i % 2 else "#c2188f"
        rays.append(f'<path d="M{C} {C} L{C + 200 * np.cos(a0):.1f} {C + 200 * np.sin(a0):.1f} '
                    f'L{C + 200 * np.cos(a1):.1f} {C + 200 * np.sin(a1):.1f} Z" fill="{col}"/>')
    stars = "".join(
        f'<path d="M{x} {y - s} L{x + s * 0.28} {y - s * 0.28} L{x + s} {y} L{x + s * 0.28} '
        f'{y + s * 0.28} L{x} {y + s} L{x - s * 0.28} {y + s * 0.28} L{x - s} {y} '
        f'L{x - s * 0.28} {y - s * 0.28} Z" fill="#fff6a8" stroke="{SCENERY_INK}" stroke-width="3" '
        f'stroke-linejoin="round"/>'
        for x, y, s in ((52, 168, 14), (280, 168, 14), (250, 252, 12), (82, 248, 10)))
    top = arc_text("SUPER PARTY PLATTER", C, C, 138, 15, "#ffffff", spacing=1.5)
    body = f"""
{''.join(rays)}
<circle cx="{C}" cy="{C}" r="150" fill="none" stroke="#2a0a3d" stroke-width="28" opacity="0.85"/>
<circle cx="{C}" cy="{C}" r="136" fill="none" stroke="#ffd42a" stroke-width="3"/>
{top}
<g filter="url(#sh)">
 <g transform="skewX(-10) translate(22 0)">
 {_txt(C, C - 26, "SPP", 92, "#ffd42a", sw=12, extra='letter-spacing="2"')}
 </g>
</g>
<g transform="skewX(-10) translate(22 0)">
 {_txt(C, C - 26, "SPP", 92, "url(#spg)", extra='letter-spacing="2"')}
</g>
{stars}
<rect x="{C - 62}" y="{C + 34}" width="124" height="26" rx="6" fill="#2a0a3d" stroke="#ffd42a" stroke-width="3"/>
{_txt(C, C + 53, "STEREO 78", 15, "#ffd42a")}
"""
    defs = """<linearGradient id="spg" x1="0" y1="0" x2="0" y2="1">
 <stop offset="0" stop-color="#fff39a"/><stop offset="0.55" stop-color="#ffd42a"/>
 <stop offset="0.56" stop-color="#ff9d1c"/><stop offset="1" stop-color="#ff7a1c"/></linearGradient>"""
    return render_svg_array(_label(body, defs), S, S)
