"""Shared helpers for the figure pictures: shapely geometry to SVG paths and deterministic
PNG writing."""
import io

from shapely import affinity
from shapely.geometry import MultiPolygon, Polygon, box, Point
from shapely.ops import unary_union


def fmt(v):
    s = f"{v:.2f}".rstrip("0").rstrip(".")
    return "0" if s in ("-0", "") else s


def ring_d(coords):
    pts = list(coords)
    if len(pts) > 1 and pts[0] == pts[-1]:
        pts = pts[:-1]
    return "M" + " L".join(f"{fmt(x)},{fmt(y)}" for x, y in pts) + " Z"


def geom_d(g):
    """SVG path data for a (multi)polygon, holes included (use fill-rule evenodd)."""
    if g is None or g.is_empty:
        return ""
    polys = []
    if isinstance(g, Polygon):
        polys = [g]
    elif isinstance(g, MultiPolygon):
        polys = list(g.geoms)
    else:  # geometry collection: keep the polygonal parts
        for part in getattr(g, "geoms", []):
            if isinstance(part, (Polygon, MultiPolygon)):
                polys.extend([part] if isinstance(part, Polygon) else list(part.geoms))
    out = []
    for p in polys:
        out.append(ring_d(p.exterior.coords))
        for hole in p.interiors:
            out.append(ring_d(hole.coords))
    return " ".join(out)


def path(g, fill, extra=""):
    d = geom_d(g)
    if not d:
        return ""
    return f'<path d="{d}" fill="{fill}" fill-rule="evenodd" {extra}/>'


def solid(g):
    """The polygon(s) with every hole filled in."""
    if isinstance(g, Polygon):
        return Polygon(g.exterior)
    return unary_union([Polygon(p.exterior) for p in getattr(g, "geoms", []) if isinstance(p, Polygon)])


def ellipse(cx, cy, rx, ry, res=24):
    return affinity.scale(Point(cx, cy).buffer(1.0, resolution=res), rx, ry, origin=(cx, cy))


def rrect(x0, y0, x1, y1, r):
    r = min(r, (x1 - x0) / 2 - 0.01, (y1 - y0) / 2 - 0.01)
    return box(x0 + r, y0 + r, x1 - r, y1 - r).buffer(r, resolution=16)


def blur_filter(fid, std):
    return (f'<filter id="{fid}" x="-50%" y="-50%" width="200%" height="200%">'
            f'<feGaussianBlur stdDeviation="{fmt(std)}"/></filter>')


def svg_doc(w, h, body, defs=""):
    return (f'<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" '
            f'width="{w}" height="{h}" viewBox="0 0 {w} {h}"><defs>{defs}</defs>{body}</svg>')


def save_png(img, path_out):
    """Write an RGBA PNG with no metadata, so equal pixels always give equal bytes."""
    img = img.convert("RGBA")
    buf = io.BytesIO()
    img.save(buf, format="PNG", optimize=False, compress_level=9)
    with open(path_out, "wb") as f:
        f.write(buf.getvalue())
