"""Shared helpers for the scenery pictures: SVG rendering to arrays, periodic noise, saving."""
import os

import numpy as np
from PIL import Image, ImageFont

import assetkit
from assetkit import FONT_BOLD

HERE = os.path.dirname(os.path.abspath(__file__))
FONT_BOLD_OBLIQUE = "/usr/share/fonts/truetype/dejavu/DejaVuSans-BoldOblique.ttf"


def render_svg_array(svg_text, width, height):
    """SVG source rendered by rsvg-convert, as an RGBA numpy array (float 0..1)."""
    return np.asarray(assetkit.render_svg(svg_text, width, height), dtype=np.float32) / 255.0


def save_rgba(arr, path):
    """Save a float RGBA (straight alpha, 0..1) or uint8 array as PNG without metadata."""
    if arr.dtype != np.uint8:
        arr = np.clip(arr * 255.0 + 0.5, 0, 255).astype(np.uint8)
    mode = "RGBA" if arr.shape[2] == 4 else "RGB"
    Image.fromarray(arr, mode).save(path, optimize=False, compress_level=9)


def over(dst, src):
    """Porter-Duff 'over' for straight-alpha float RGBA arrays."""
    sa = src[..., 3:4]
    da = dst[..., 3:4]
    oa = sa + da * (1.0 - sa)
    safe = np.where(oa > 1e-6, oa, 1.0)
    rgb = (src[..., :3] * sa + dst[..., :3] * da * (1.0 - sa)) / safe
    return np.concatenate([rgb, oa], axis=-1)


def periodic_noise(h, w, beta, seed, fmin=0.0):
    """Seamless (wrap-around) fractal noise, zero mean, unit std.

    White noise shaped in the frequency domain by 1/f^beta; the inverse FFT of any
    spectrum is periodic, so the result tiles without a seam."""
    rng = np.random.default_rng(seed)
    white = rng.standard_normal((h, w))
    fy = np.fft.fftfreq(h)[:, None]
    fx = np.fft.fftfreq(w)[None, :]
    f = np.sqrt(fx * fx + fy * fy)
    f[0, 0] = 1.0
    amp = 1.0 / np.power(f, beta)
    amp[0, 0] = 0.0
    if fmin > 0:
        amp[f < fmin] = 0.0
    n = np.real(np.fft.ifft2(np.fft.fft2(white) * amp))
    n -= n.mean()
    n /= n.std() + 1e-9
    return n.astype(np.float32)


def periodic_blur(a, sigma_y, sigma_x=None):
    """Gaussian blur with wrap-around edges (keeps tiles seamless). a: HxW or HxWxC."""
    if sigma_x is None:
        sigma_x = sigma_y
    h, w = a.shape[:2]
    fy = np.fft.fftfreq(h)[:, None]
    fx = np.fft.fftfreq(w)[None, :]
    k = np.exp(-2.0 * (np.pi ** 2) * ((fy * sigma_y) ** 2 + (fx * sigma_x) ** 2))
    if a.ndim == 3:
        k = k[..., None]
        F = np.fft.fft2(a, axes=(0, 1))
        return np.real(np.fft.ifft2(F * k, axes=(0, 1))).astype(np.float32)
    return np.real(np.fft.ifft2(np.fft.fft2(a) * k)).astype(np.float32)


def smoothstep(e0, e1, x):
    t = np.clip((x - e0) / (e1 - e0), 0.0, 1.0)
    return t * t * (3.0 - 2.0 * t)


def hsv_to_rgb(h, s, v):
    """Vectorised HSV -> RGB, all inputs arrays in 0..1."""
    h = np.mod(h, 1.0) * 6.0
    i = np.floor(h).astype(np.int32) % 6
    f = h - np.floor(h)
    p = v * (1 - s)
    q = v * (1 - s * f)
    t = v * (1 - s * (1 - f))
    r = np.choose(i, [v, q, p, p, t, v])
    g = np.choose(i, [t, v, v, q, p, p])
    b = np.choose(i, [p, p, t, v, v, q])
    return np.stack([r, g, b], axis=-1)


_font_cache = {}


def text_advance(text, size, path=FONT_BOLD):
    """Advance widths (px) of each character of text in a DejaVu font at the given size."""
    key = (path, size)
    if key not in _font_cache:
        _font_cache[key] = ImageFont.truetype(path, size)
    font = _font_cache[key]
    return [font.getlength(ch) for ch in text]


def arc_text(text, cx, cy, radius, size, fill, start_deg=None, bottom=False,
             stroke=None, stroke_width=0, spacing=0.0, family="DejaVu Sans",
             weight="bold", path=FONT_BOLD):
    """SVG for text set letter by letter along a circle around (cx, cy).

    Top arcs read clockwise with letters upright outward; bottom arcs read left to
    right with letters upright inward."""
    adv = [a + spacing for a in text_advance(text, size, path)]
    total = sum(adv) - spacing
    deg_per_px = 180.0 / (np.pi * radius)
    span = total * deg_per_px
    out = []
    pos = 0.0
    extra = ""
    if stroke:
        extra = (f' stroke="{stroke}" stroke-width="{stroke_width}" paint-order="stroke"'
                 f' stroke-linejoin="round"')
    for ch, a in zip(text, adv):
        mid = pos + (a - spacing) / 2.0
        if not bottom:
            ang = -span / 2.0 + mid * deg_per_px  # 0 = top
            tr = f"rotate({ang:.3f} {cx} {cy})"
            x, y = cx, cy - radius
        else:
            ang = span / 2.0 - mid * deg_per_px  # 0 = bottom
            tr = f"rotate({ang:.3f} {cx} {cy})"
            x, y = cx, cy + radius + size * 0.72
        if ch != " ":
            out.append(f'<text x="{x:.2f}" y="{y:.2f}" transform="{tr}" text-anchor="middle" '
                       f'font-family="{family}" font-weight="{weight}" font-size="{size}" '
                       f'fill="{fill}"{extra}>{ch}</text>')
        pos += a
    return "\n".join(out)


def shadow_filter(fid, dx=8, dy=10, blur=7, opacity=0.45, color="#000"):
    """Soft drop shadow built from primitives librsvg renders."""
    return (f'<filter id="{fid}" x="-20%" y="-20%" width="140%" height="140%">'
            f'<feGaussianBlur in="SourceAlpha" stdDeviation="{blur}" result="b"/>'
            f'<feOffset in="b" dx="{dx}" dy="{dy}" result="o"/>'
            f'<feFlood flood-color="{color}" flood-opacity="{opacity}" result="c"/>'
            f'<feComposite in="c" in2="o" operator="in" result="s"/>'
            f'<feMerge><feMergeNode in="s"/><feMergeNode in="SourceGraphic"/></feMerge>'
            f'</filter>')
