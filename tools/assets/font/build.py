#!/usr/bin/python3
"""Builds the show's font, Colored Crayons, from the stroke skeletons in letters.txt.

    /usr/bin/python3 build.py OUTDIR SHEETDIR

writes OUTDIR/colored-crayons/colored-crayons.ttf and a preview picture, SHEETDIR/font-preview.png.

Every letter is a handful of crayon strokes. A stroke follows its skeleton with a slow hand
wobble and is thickened with round caps to a width that swells and thins a little along its
length; the strokes of a letter are unioned into one shape. The shape's edges are then
roughened like wax dragged over paper, and a few small bites and pin-holes give it some grain.
The outlines go into the font as quadratic TrueType contours. All the randomness comes from
generators seeded per letter, so the same sources always give the same bytes.
"""

import hashlib
import math
import os
import sys

import numpy as np
from shapely.geometry import LinearRing, LineString, MultiLineString, MultiPolygon, Point, Polygon
from shapely.affinity import rotate, translate
from shapely.ops import unary_union
from shapely.validation import make_valid
from shapely.geometry.polygon import orient

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.basePen import BasePen
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTFont

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))

import assetkit  # noqa: E402
FAMILY = "Colored Crayons"
FILE_NAME = "colored-crayons"

UNITS_PER_EM = 1000
CAP_HEIGHT = 700
STROKE = 136                      # nominal crayon width, a little under a fifth of the cap height
RADIUS = STROKE / 2
GRID = (CAP_HEIGHT - STROKE) / 100.0  # font units per skeleton grid unit
SIDE_BEARING = 36
SPACE_ADVANCE = 300
ASCENDER = 900
DESCENDER = -200

SAMPLE_STEP = 12.0                # spacing of the samples along a stroke, font units
EDGE_STEP = 13.0                  # spacing of the points along a roughened edge
MAX_POINTS = 380                  # most outline points in one glyph

SECONDS_1904_TO_1970 = 2082844800


# ---------------------------------------------------------------------------------------------
# Skeletons

def read_letters(path):
    """Returns [(char, [(smooth, [item, ...]), ...]), ...] in file order."""
    letters = []
    with open(path, encoding="utf-8") as f:
        for raw in f:
            line = raw.split("#", 1)[0].strip()
            if not line:
                continue
            if line.startswith("[") and line.endswith("]") and len(line) == 3:
                letters.append((line[1], []))
                continue
            if not letters:
                raise ValueError("stroke before the first letter: %r" % raw)
            smooth = line.startswith("~")
            if smooth:
                line = line[1:].strip()
            items = []
            for tok in line.split():
                if tok.startswith("*"):
                    items.append(("width", float(tok[1:])))
                elif tok.startswith("@"):
                    vals = [float(v) for v in tok[1:].split(",")]
                    if len(vals) != 6:
                        raise ValueError("an arc needs cx,cy,rx,ry,a0,a1: %r" % tok)
                    items.append(("arc", vals))
                else:
                    x, y = (float(v) for v in tok.split(","))
                    items.append(("pt", (x, y)))
            letters[-1][1].append((smooth, items))
    return letters


def catmull_rom(pts, per_segment=10):
    pts = np.asarray(pts, dtype=float)
    if len(pts) < 3:
        return pts
    ext = np.vstack([2 * pts[0] - pts[1], pts, 2 * pts[-1] - pts[-2]])
    out = []
    for i in range(1, len(ext) - 2):
        p0, p1, p2, p3 = ext[i - 1], ext[i], ext[i + 1], ext[i + 2]
        for t in np.linspace(0.0, 1.0, per_segment, endpoint=False):
            t2, t3 = t * t, t * t * t
            out.append(0.5 * ((2 * p1) + (-p0 + p2) * t + (2 * p0 - 5 * p1 + 4 * p2 - p3) * t2
                              + (-p0 + 3 * p1 - 3 * p2 + p3) * t3))
    out.append(pts[-1])
    return np.array(out)


def stroke_path(smooth, items):
    """The skeleton of one stroke as a polyline in grid units."""
    pts = []
    for kind, val in items:
        if kind == "width":
            continue
        if kind == "pt":
            pts.append(val)
        else:
            cx, cy, rx, ry, a0, a1 = val
            n = max(8, int(abs(a1 - a0) / 4))
            for a in np.linspace(math.radians(a0), math.radians(a1), n + 1):
                pts.append((cx + rx * math.cos(a), cy + ry * math.sin(a)))
    pts = np.array(pts, dtype=float)
    if smooth:
        pts = catmull_rom(pts)
    # drop repeated points
    keep = [0] + [i for i in range(1, len(pts)) if np.hypot(*(pts[i] - pts[i - 1])) > 1e-6]
    return pts[keep]


def resample(pts, step):
    seg = np.hypot(*np.diff(pts, axis=0).T)
    s = np.concatenate([[0.0], np.cumsum(seg)])
    total = s[-1]
    if total <= 0:
        return pts[:1], np.zeros(1)
    n = max(2, int(math.ceil(total / step)) + 1)
    t = np.linspace(0.0, total, n)
    return np.column_stack([np.interp(t, s, pts[:, 0]), np.interp(t, s, pts[:, 1])]), t


class Wobble:
    """A smooth, deterministic 1-D noise: a few sines with random wavelengths and phases."""

    def __init__(self, rng, shortest, longest, count=3):
        self.k = 2 * math.pi / rng.uniform(shortest, longest, count)
        self.phase = rng.uniform(0, 2 * math.pi, count)
        w = rng.uniform(0.6, 1.0, count)
        self.w = w / math.sqrt(np.sum(w * w) / 2)   # about unit amplitude

    def __call__(self, s):
        s = np.asarray(s, dtype=float)
        return np.sum(self.w[:, None] * np.sin(self.k[:, None] * s[None, :] + self.phase[:, None]),
                      axis=0)


# ---------------------------------------------------------------------------------------------
# Crayon strokes

def crayon_stroke(rng, smooth, items):
    grid = stroke_path(smooth, items)
    pts = np.column_stack([grid[:, 0] * GRID, grid[:, 1] * GRID + RADIUS])
    pressure = rng.uniform(0.97, 1.05)
    for kind, val in items:
        if kind == "width":
            pressure *= val
    if len(pts) == 1:                                    # a dot
        return Point(pts[0]).buffer(RADIUS * 1.12 * pressure, resolution=12)

    # the hand is never quite where the skeleton says: a small shift and turn of the whole
    # stroke, then a slow wobble along it
    centre = pts.mean(axis=0)
    turn = math.radians(rng.uniform(-1.5, 1.5))
    c, s_ = math.cos(turn), math.sin(turn)
    pts = (pts - centre) @ np.array([[c, s_], [-s_, c]]) + centre + rng.uniform(-5, 5, 2)
    pts, s = resample(pts, SAMPLE_STEP)
    wx, wy = Wobble(rng, 180, 520), Wobble(rng, 180, 520)
    pts = pts + np.column_stack([wx(s), wy(s)]) * 6.0

    width = Wobble(rng, 120, 400)
    radius = RADIUS * pressure * (1.0 + 0.1 * width(s))
    pieces = []
    for i in range(len(pts) - 1):
        r = 0.5 * (radius[i] + radius[i + 1])
        pieces.append(LineString(pts[i:i + 2]).buffer(r, resolution=8))
    return unary_union(pieces)


def ring_normals(ring):
    nxt = np.roll(ring, -1, axis=0)
    prv = np.roll(ring, 1, axis=0)
    t = nxt - prv
    t /= np.maximum(np.hypot(t[:, 0], t[:, 1]), 1e-9)[:, None]
    return np.column_stack([t[:, 1], -t[:, 0]])


def rough_ring(rng, coords, step):
    """Resamples a closed ring and pushes its points in and out like a waxy crayon edge."""
    pts = np.asarray(coords, dtype=float)[:-1]
    closed = np.vstack([pts, pts[:1]])
    seg = np.hypot(*np.diff(closed, axis=0).T)
    s = np.concatenate([[0.0], np.cumsum(seg)])
    total = s[-1]
    n = max(12, int(round(total / step)))
    t = np.linspace(0.0, total, n, endpoint=False)
    ring = np.column_stack([np.interp(t, s, closed[:, 0]), np.interp(t, s, closed[:, 1])])
    # the wobble must close up on itself, so use whole numbers of waves around the ring
    slow = np.zeros(n)
    for _ in range(3):
        waves = max(1, int(round(total / rng.uniform(50, 140))))
        slow += np.sin(2 * math.pi * waves * t / total + rng.uniform(0, 2 * math.pi))
    slow *= 1.6
    grit = rng.normal(0.0, 1.0, n)
    grit = 0.5 * grit + 0.25 * (np.roll(grit, 1) + np.roll(grit, -1))
    offset = slow + 4.4 * grit
    ring = ring + ring_normals(ring) * offset[:, None]
    return ring


def polygons_of(geom):
    if geom.is_empty:
        return []
    if isinstance(geom, Polygon):
        return [geom]
    if isinstance(geom, MultiPolygon):
        return list(geom.geoms)
    return [p for part in getattr(geom, "geoms", []) for p in polygons_of(part)]


def clean(geom, min_area=400.0, min_hole=150.0):
    """Valid polygons only, with crumbs and slivers left behind by the roughening dropped."""
    geom = make_valid(geom)
    out = []
    for p in polygons_of(geom):
        if p.area < min_area:
            continue
        holes = [h for h in p.interiors if Polygon(h).area >= min_hole]
        out.append(Polygon(p.exterior, holes))
    return unary_union(out) if out else Polygon()


def roughen(rng, geom, step):
    parts = []
    for p in polygons_of(geom):
        shell = rough_ring(rng, p.exterior.coords, step)
        holes = [rough_ring(rng, h.coords, step) for h in p.interiors]
        poly = Polygon(shell)
        poly = make_valid(poly)
        for h in holes:
            poly = poly.difference(make_valid(Polygon(h)))
        parts.append(poly)
    return clean(unary_union(parts))


def wax_grain(rng, geom):
    """A bite or two out of the edge and now and then a pin-hole where the crayon skipped."""
    edge = geom.boundary
    length = edge.length
    marks = []
    for _ in range(int(rng.integers(1, 3))):
        at = edge.interpolate(rng.uniform(0, length))
        marks.append(Point(at.x, at.y).buffer(rng.uniform(8, 12), resolution=4))
    inner = geom.buffer(-(RADIUS * 0.45))
    if not inner.is_empty and rng.uniform() < 0.6:
        minx, miny, maxx, maxy = inner.bounds
        for _ in range(100):
            x, y = rng.uniform(minx, maxx), rng.uniform(miny, maxy)
            if inner.contains(Point(x, y)):
                r = rng.uniform(8, 11)
                ang = np.linspace(0, 2 * math.pi, 7, endpoint=False) + rng.uniform(0, 1)
                rr = r * rng.uniform(0.75, 1.25, 7)
                marks.append(Polygon(np.column_stack([x + rr * np.cos(ang),
                                                      y + rr * 1.1 * np.sin(ang)])))
                break
    return clean(geom.difference(unary_union(marks)), min_hole=40.0)


def letter_shape(ch, strokes):
    rng = np.random.default_rng(20240 + 131 * ord(ch))
    shape = unary_union([crayon_stroke(rng, sm, it) for sm, it in strokes])
    # each letter leans a little and sits a little off the line, as if drawn one at a time
    lean = rng.uniform(-2.2, 2.2)
    shape = rotate(shape, lean, origin="centroid")
    shape = translate(shape, 0, rng.uniform(-10, 10))
    shape = clean(shape)
    step = EDGE_STEP
    rough = roughen(rng, shape, step)
    rough = wax_grain(rng, rough)
    # keep the point count sensible: coarser edges for the long letters
    tol = 0.8
    while True:
        simple = clean(rough.simplify(tol, preserve_topology=True), min_hole=40.0)
        count = sum(len(p.exterior.coords) - 1 + sum(len(h.coords) - 1 for h in p.interiors)
                    for p in polygons_of(simple))
        if count <= MAX_POINTS or tol > 6:
            break
        tol *= 1.4
    return simple


# ---------------------------------------------------------------------------------------------
# TrueType outlines

def int_rings(geom, dx):
    """The shape's rings in integer font units, outer rings clockwise and holes counter-clockwise,
    in a fixed order."""
    rings = []
    polys = sorted(polygons_of(geom), key=lambda p: (round(p.bounds[0]), round(p.bounds[1])))
    for p in polys:
        p = orient(p, sign=-1.0)
        for ring in [p.exterior] + sorted(p.interiors, key=lambda h: (h.bounds[0], h.bounds[1])):
            pts = np.rint(np.asarray(ring.coords)[:-1] + [dx, 0]).astype(int)
            keep = [i for i in range(len(pts)) if not np.array_equal(pts[i], pts[i - 1])]
            pts = pts[keep]
            if len(pts) >= 3:
                rings.append(pts)
    return rings


def corner_flags(pts, limit_deg=38.0):
    """On-curve at sharp turns and at the ends of long straight runs, off-curve elsewhere, so the
    waxy edge becomes a smooth quadratic spline that still keeps its corners."""
    p = pts.astype(float)
    a = p - np.roll(p, 1, axis=0)
    b = np.roll(p, -1, axis=0) - p
    la = np.hypot(a[:, 0], a[:, 1])
    lb = np.hypot(b[:, 0], b[:, 1])
    cosang = np.sum(a * b, axis=1) / np.maximum(la * lb, 1e-9)
    sharp = cosang < math.cos(math.radians(limit_deg))
    long_run = (la > 3.5 * EDGE_STEP) | (lb > 3.5 * EDGE_STEP)
    return sharp | long_run


def draw_rings(rings):
    pen = TTGlyphPen(None)
    for pts in rings:
        on = corner_flags(pts)
        n = len(pts)
        if not on.any():
            pen.qCurveTo(*[tuple(int(v) for v in q) for q in pts], None)
            pen.closePath()
            continue
        start = int(np.argmax(on))
        order = [(start + k) % n for k in range(n)]
        pen.moveTo(tuple(int(v) for v in pts[start]))
        offs = []
        for i in order[1:] + [start]:
            q = tuple(int(v) for v in pts[i])
            if on[i]:
                if offs:
                    pen.qCurveTo(*offs, q)
                elif i != start:
                    pen.lineTo(q)
                offs = []
            else:
                offs.append(q)
        pen.closePath()
    return pen.glyph()


def notdef_glyph():
    pen = TTGlyphPen(None)
    for (x0, y0, x1, y1), cw in (((50, 0, 450, 700), True), ((110, 60, 390, 640), False)):
        pts = [(x0, y0), (x0, y1), (x1, y1), (x1, y0)]
        if not cw:
            pts.reverse()
        pen.moveTo(pts[0])
        for q in pts[1:]:
            pen.lineTo(q)
        pen.closePath()
    return pen.glyph()


GLYPH_NAMES = {" ": "space", ".": "period"}


def build_font(out_path):
    letters = read_letters(os.path.join(HERE, "letters.txt"))
    glyphs = {".notdef": notdef_glyph(), "space": TTGlyphPen(None).glyph()}
    metrics = {".notdef": (500, 50), "space": (SPACE_ADVANCE, 0)}
    cmap = {0x20: "space", 0xA0: "space"}
    order = [".notdef", "space"]
    for ch, strokes in sorted(letters, key=lambda l: ord(l[0])):
        name = GLYPH_NAMES.get(ch, ch)
        shape = letter_shape(ch, strokes)
        minx, _, maxx, _ = shape.bounds
        width = int(math.ceil(maxx)) - int(math.floor(minx))
        bearing = SIDE_BEARING if ch != "." else SIDE_BEARING + 14
        glyphs[name] = draw_rings(int_rings(shape, bearing - math.floor(minx)))
        metrics[name] = (width + 2 * bearing, bearing)
        cmap[ord(ch)] = name
        if "A" <= ch <= "Z":
            cmap[ord(ch.lower())] = name
        order.append(name)

    epoch = int(os.environ.get("SOURCE_DATE_EPOCH", "0"))
    fb = FontBuilder(UNITS_PER_EM, isTTF=True)
    fb.setupGlyphOrder(order)
    fb.setupCharacterMap(cmap)
    fb.setupGlyf(glyphs)
    glyf = fb.font["glyf"]
    hm = {}
    for name in order:
        g = glyf[name]
        g.recalcBounds(glyf)
        adv, lsb = metrics[name]
        hm[name] = (adv, g.xMin if g.numberOfContours else 0)
    fb.setupHorizontalMetrics(hm)
    fb.setupHorizontalHeader(ascent=ASCENDER, descent=DESCENDER, lineGap=0)
    fb.setupNameTable({
        "copyright": "Drawn for the klomp demo",
        "familyName": FAMILY,
        "styleName": "Regular",
        "uniqueFontIdentifier": "klomp: %s Regular: 1.000" % FAMILY,
        "fullName": FAMILY,
        "version": "Version 1.000",
        "psName": "ColoredCrayons-Regular",
        "manufacturer": "klomp",
        "designer": "klomp",
        "description": "Hand-drawn wax crayon capitals for the klomp demo.",
    })
    y_max = max(glyf[n].yMax for n in order if glyf[n].numberOfContours)
    y_min = min(glyf[n].yMin for n in order if glyf[n].numberOfContours)
    widths = [hm[n][0] for n in order if hm[n][0] > 0]
    fb.setupOS2(
        version=4,
        xAvgCharWidth=int(round(sum(widths) / len(widths))),
        usWeightClass=400,
        usWidthClass=5,
        fsType=0,
        sTypoAscender=ASCENDER,
        sTypoDescender=DESCENDER,
        sTypoLineGap=0,
        usWinAscent=max(ASCENDER, y_max),
        usWinDescent=max(-DESCENDER, -y_min),
        sxHeight=CAP_HEIGHT,
        sCapHeight=CAP_HEIGHT,
        achVendID="KLMP",
        fsSelection=0x40 | 0x80,       # regular, use the typographic metrics
        ulUnicodeRange1=1,             # Basic Latin
        ulCodePageRange1=1,            # Latin 1
        usDefaultChar=0,
        usBreakChar=0x20,
        usMaxContext=0,
    )
    fb.setupPost(underlinePosition=-120, underlineThickness=60)
    head = fb.font["head"]
    head.created = head.modified = epoch + SECONDS_1904_TO_1970
    head.fontRevision = 1.0
    fb.font.recalcTimestamp = False
    os.makedirs(os.path.dirname(out_path), exist_ok=True)
    fb.save(out_path)
    return letters


# ---------------------------------------------------------------------------------------------
# Checks and preview

class FlattenPen(BasePen):
    def __init__(self):
        super().__init__(None)
        self.rings, self.cur = [], []

    def _moveTo(self, p):
        self.cur = [p]

    def _lineTo(self, p):
        self.cur.append(p)

    def _qCurveToOne(self, p1, p2):
        p0 = self.cur[-1]
        for t in (0.25, 0.5, 0.75, 1.0):
            u = 1 - t
            self.cur.append((u * u * p0[0] + 2 * u * t * p1[0] + t * t * p2[0],
                             u * u * p0[1] + 2 * u * t * p1[1] + t * t * p2[1]))

    def _closePath(self):
        if len(self.cur) >= 3:
            self.rings.append(self.cur)
        self.cur = []


def check_font(path):
    font = TTFont(path)
    glyf = font["glyf"]
    gs = font.getGlyphSet()
    cmap = font.getBestCmap()
    problems = []
    for ch in "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz .":
        if ord(ch) not in cmap:
            problems.append("no glyph for %r" % ch)
    for name in font.getGlyphOrder():
        g = glyf[name]
        if not g.numberOfContours:
            continue
        coords, _, _ = g.getCoordinates(glyf)
        if len(coords) > 400:
            problems.append("%s has %d points" % (name, len(coords)))
        pen = FlattenPen()
        gs[name].draw(pen)
        rings = [LinearRing(r) for r in pen.rings]
        for r in rings:
            if not r.is_simple:
                problems.append("%s: a contour crosses itself" % name)
        if not MultiLineString(rings).is_simple:
            problems.append("%s: contours touch each other" % name)
        for i, r in enumerate(rings):
            inside = sum(Polygon(o).contains(Point(r.coords[0])) for j, o in enumerate(rings) if j != i)
            clockwise = not r.is_ccw
            if clockwise != (inside % 2 == 0):
                problems.append("%s: contour %d winds the wrong way" % (name, i))
    return font, problems


def draw_preview(font_path, sheet_path):
    from PIL import Image, ImageDraw, ImageFont

    W = 2600
    rows = [
        (128, "THE QUICK BROWN FOX JUMPS"),
        (128, "OVER THE LAZY DOG."),
        (128, "ABCDEFGHIJKLMNOPQRSTUVWXYZ"),
        (256, "ABCDEFGHIJKLM"),
        (256, "NOPQRSTUVWXYZ"),
        (256, "LAZY DOG."),
    ]
    heights = [int(size * 1.25) + 40 for size, _ in rows] + [200, 340]
    img = Image.new("RGB", (W, sum(heights) + 40), (92, 128, 170))
    d = ImageDraw.Draw(img)
    y = 20
    for (size, text), h in zip(rows, heights):
        f = ImageFont.truetype(font_path, size)
        d.text((40, y + 12), text, font=f, fill="white", stroke_width=12, stroke_fill="black")
        y += h
    # one letter at a time, the pen moving on by each letter's own bounds with the outline
    # around it, as the show places them
    glyf, cmap = TTFont(font_path)["glyf"], TTFont(font_path).getBestCmap()
    size, outline = 128, 12
    scale = size / UNITS_PER_EM
    f = ImageFont.truetype(font_path, size)
    pen_x = 40
    for ch in "CRAYONS IN THE KLOMP.":
        g = glyf[cmap[ord(ch)]]
        if not g.numberOfContours:
            pen_x += SPACE_ADVANCE * scale
            continue
        d.text((pen_x + outline - g.xMin * scale, y + 20), ch, font=f, fill="white",
               stroke_width=outline, stroke_fill="black")
        pen_x += (g.xMax - g.xMin) * scale + 2 * outline
    # bare coloured letters, to see the wax texture without the outline
    y += heights[-2]
    f = ImageFont.truetype(font_path, 256)
    colours = [(230, 57, 70), (255, 183, 3), (42, 157, 143), (255, 255, 255), (131, 56, 236),
               (251, 86, 7), (58, 134, 255)]
    x = 40
    for i, ch in enumerate("COLORED CRAYONS"):
        d.text((x, y + 10), ch, font=f, fill=colours[i % len(colours)])
        x += f.getlength(ch)
    os.makedirs(os.path.dirname(sheet_path), exist_ok=True)
    img.save(sheet_path, optimize=False)


def outputs(out_dir, sheet_dir):
    return [os.path.join(out_dir, FILE_NAME, FILE_NAME + ".ttf"),
            os.path.join(sheet_dir, "font-preview.png")]


def build(out_dir, sheet_dir):
    font_path, preview_path = outputs(out_dir, sheet_dir)
    build_font(font_path)
    font, problems = check_font(font_path)
    if problems:
        sys.exit("colored-crayons.ttf: " + "; ".join(problems))
    draw_preview(font_path, preview_path)
    with open(font_path, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()[:16]
    print("%s: %d glyphs, %d bytes, sha256 %s" % (
        font_path, len(font.getGlyphOrder()), os.path.getsize(font_path), digest))


if __name__ == "__main__":
    assetkit.main(outputs, build)
