"""Pictures made with numpy: plates, paper, vignette and the repeating textures."""
import numpy as np
from PIL import Image, ImageDraw, ImageFont

from common import (FONT_BOLD_OBLIQUE, periodic_blur, periodic_noise, smoothstep,
                    hsv_to_rgb, render_svg_array, over)


def black():
    a = np.zeros((1080, 1920, 4), np.float32)
    a[..., 3] = 1.0
    return a


def white():
    """Off-white paper: warm base, cloudy density, fine grain and scattered fibres."""
    h, w = 1080, 1920
    base = np.array([0.965, 0.950, 0.915], np.float32)
    cloud = periodic_noise(h, w, 1.6, 11)
    grain = periodic_noise(h, w, 0.3, 12)
    shade = 1.0 + 0.012 * cloud + 0.010 * grain
    rgb = base[None, None, :] * shade[..., None]

    # Fibres: short wavy strands, some darker and some lighter than the paper.
    rng = np.random.default_rng(13)
    layer = Image.new("L", (2 * w, 2 * h), 128)  # drawn at 2x, then reduced for soft edges
    d = ImageDraw.Draw(layer)
    for _ in range(2600):
        x, y = rng.uniform(0, w), rng.uniform(0, h)
        ang = rng.uniform(0, np.pi)
        length = rng.uniform(8, 38)
        bend = rng.uniform(-0.06, 0.06)
        tone = int(128 + rng.choice([-1, 1]) * rng.uniform(14, 34))
        pts = []
        for k in range(8):
            t = k / 7.0 * length
            a = ang + bend * t
            pts.append((2 * x, 2 * y))
            x += np.cos(a) * length / 7.0
            y += np.sin(a) * length / 7.0
        d.line(pts, fill=tone, width=2)
    layer = layer.resize((w, h), Image.BOX)
    fib = (np.asarray(layer, np.float32) - 128.0) / 128.0
    rgb = rgb * (1.0 + 0.16 * fib[..., None])
    # Faint warm yellowing toward the edges, like an old sheet.
    y, x = np.mgrid[0:h, 0:w].astype(np.float32)
    e = np.hypot((x - w / 2) / (w / 2), (y - h / 2) / (h / 2))
    age = smoothstep(0.7, 1.5, e)[..., None]
    rgb = rgb * (1 - 0.06 * age) + np.array([0.92, 0.85, 0.70]) * 0.06 * age
    return np.concatenate([np.clip(rgb, 0, 1), np.ones((h, w, 1), np.float32)], -1)


def mask():
    """Filmic vignette: soft darkening toward edges and corners, plus a rounded gate edge."""
    h, w = 1080, 1920
    y, x = np.mgrid[0:h, 0:w].astype(np.float32) + 0.5
    nx = (x - w / 2) / (w / 2)
    ny = (y - h / 2) / (h / 2)
    # Superellipse distance: stays clear over a wide centre, rises in the corners.
    d = np.power(np.abs(nx) ** 3.0 + np.abs(ny) ** 3.0, 1 / 3.0)
    r = np.hypot(nx, ny) / np.sqrt(2)
    vig = 0.62 * smoothstep(0.62, 1.28, d) ** 1.5 + 0.30 * smoothstep(0.55, 1.0, r) ** 2
    # Rounded-rectangle gate edge a few pixels in from the border.
    inset, rad = 7.0, 36.0
    qx = np.abs(x - w / 2) - (w / 2 - inset - rad)
    qy = np.abs(y - h / 2) - (h / 2 - inset - rad)
    sd = np.hypot(np.maximum(qx, 0), np.maximum(qy, 0)) + np.minimum(np.maximum(qx, qy), 0) - rad
    gate = np.clip(sd + 1.0, 0, 1)  # solid outside the rounded rect
    # A thin, faint light line just inside the gate, like the lit edge of the film.
    line = np.exp(-((sd + 4.0) ** 2) / 2.0) * 0.18
    grain = np.random.default_rng(21).standard_normal((h, w)).astype(np.float32) * 0.015
    alpha = np.clip(np.maximum(vig + grain * (vig > 0.02), gate), 0, 1)
    rgb = np.zeros((h, w, 3), np.float32) + np.array([0.02, 0.015, 0.03], np.float32)
    out = np.concatenate([rgb, alpha[..., None]], -1)
    lit = np.zeros_like(out)
    lit[..., :3] = 0.85
    lit[..., 3] = line * (1 - gate)
    out = over(out, lit)
    center_clear = smoothstep(0.25, 0.45, d)  # guarantee a fully transparent middle
    out[..., 3] *= center_clear
    return out


# --------------------------------------------------------------------------- brick wall

def brickwall():
    S = 1024
    rows, cols = 16, 8
    bh, bw = S // rows, S // cols  # 64 x 128 cells
    mortar = 10.0
    y, x = np.mgrid[0:S, 0:S].astype(np.float32) + 0.5
    row = np.floor(y / bh).astype(np.int32)
    off = (row % 2) * (bw / 2)
    xs = x - off
    col = np.floor(xs / bw).astype(np.int32) % cols
    u = np.mod(xs, bw) - bw / 2
    v = np.mod(y, bh) - bh / 2
    # Rounded-box signed distance for each brick, roughened by noise for chipped edges.
    rad = 5.0
    qx = np.abs(u) - (bw / 2 - mortar / 2 - rad)
    qy = np.abs(v) - (bh / 2 - mortar / 2 - rad)
    sd = np.hypot(np.maximum(qx, 0), np.maximum(qy, 0)) + np.minimum(np.maximum(qx, qy), 0) - rad
    # Chips: low-frequency wobble plus a smoothed finer layer (raw fine noise looks furry).
    rough = periodic_noise(S, S, 1.6, 31)
    fine = periodic_blur(periodic_noise(S, S, 0.8, 32), 1.2)
    fine /= fine.std() + 1e-9
    sd = sd + 1.7 * rough + 0.6 * np.maximum(fine, 0) * 1.5
    cover = np.clip(0.5 - sd, 0, 1)

    rng = np.random.default_rng(33)
    ids = row * cols + col
    palette = np.array([
        [0.62, 0.22, 0.15], [0.70, 0.28, 0.17], [0.55, 0.19, 0.14], [0.74, 0.34, 0.21],
        [0.48, 0.17, 0.13], [0.66, 0.25, 0.20], [0.58, 0.26, 0.18], [0.78, 0.38, 0.25],
    ], np.float32)
    pick = rng.integers(0, len(palette), rows * cols)
    tint = rng.uniform(0.86, 1.1, rows * cols).astype(np.float32)
    burnt = rng.random(rows * cols) < 0.12
    base = palette[pick] * tint[:, None]
    base[burnt] *= np.array([0.55, 0.5, 0.55], np.float32)
    col_rgb = base[ids]

    # Surface: clay mottling, fine grit and light pits.
    mott = periodic_noise(S, S, 1.4, 34)
    grit = periodic_blur(periodic_noise(S, S, 0.1, 35), 0.6)
    grit /= grit.std() + 1e-9
    pits = (periodic_noise(S, S, 0.6, 36) > 2.3).astype(np.float32)
    shade = 1.0 + 0.10 * mott + 0.045 * grit - 0.22 * pits
    # Bevel lighting from a height field: rounded edges lit from the upper left.
    height = smoothstep(0.0, 9.0, -sd) * 6.0 + 0.5 * mott + 0.2 * grit
    gx = (np.roll(height, -1, 1) - np.roll(height, 1, 1)) * 0.5
    gy = (np.roll(height, -1, 0) - np.roll(height, 1, 0)) * 0.5
    light = np.clip(1.0 + (gx + gy) * 0.7 * 0.45, 0.5, 1.5)
    rgb = col_rgb * (shade * light)[..., None]
    # Soot and grime gathering unevenly in large patches.
    grime = smoothstep(0.3, 2.0, periodic_noise(S, S, 2.0, 37))
    rgb = rgb * (1 - 0.35 * grime[..., None])
    rgb = np.clip(rgb, 0, 1)

    # Mortar: light grey and slightly see-through: the page behind the title brightens it,
    # while over an empty frame (alpha counts twice once the frame reaches the window) it
    # still reads as mid-grey rather than black.
    m_noise = periodic_noise(S, S, 0.8, 38)
    m_rgb = np.stack([0.80 + 0.04 * m_noise, 0.79 + 0.04 * m_noise, 0.76 + 0.04 * m_noise], -1)
    m_alpha = np.clip(200 / 255 + 0.05 * m_noise, 0.72, 0.86)
    # Bricks cast a slight shade onto the mortar just below/right of them.
    cov_shift = np.roll(np.roll(cover, 3, 0), 2, 1)
    m_rgb = m_rgb * (1 - 0.25 * cov_shift[..., None])
    m_alpha = m_alpha + 0.12 * cov_shift

    out_rgb = rgb * cover[..., None] + m_rgb * (1 - cover[..., None])
    out_a = cover + m_alpha * (1 - cover)
    out = np.concatenate([out_rgb, out_a[..., None]], -1).astype(np.float32)

    # Graffiti tags painted on the bricks only.
    tags = graffiti_layer(S)
    tags[..., 3] *= smoothstep(0.15, 0.9, cover)
    return over(out, tags)


def graffiti_layer(S):
    """A few spray-painted tags; each drawn at wrapped offsets so the tile stays seamless."""
    big = Image.new("RGBA", (S, S), (0, 0, 0, 0))
    tag_list = [
        ("KLOMP", 96, (0.98, 0.25, 0.62), 180, 250, -8),
        ("krv", 120, (0.20, 0.85, 0.95), 700, 150, -14),
        ("ZILCH", 70, (0.98, 0.88, 0.20), 620, 700, 6),
        ("1202", 84, (0.55, 0.95, 0.30), 160, 820, -4),
        ("bravo!", 60, (1.0, 1.0, 1.0), 900, 480, -10),
    ]
    for text, size, colr, cx, cy, rot in tag_list:
        font = ImageFont.truetype(FONT_BOLD_OBLIQUE, size)
        l, t, r, b = font.getbbox(text, stroke_width=size // 9)
        pad = size // 2
        tw, th = r - l + 2 * pad, b - t + 2 * pad
        layer = Image.new("RGBA", (tw, th), (0, 0, 0, 0))
        d = ImageDraw.Draw(layer)
        c8 = tuple(int(255 * c) for c in colr)
        d.text((pad - l, pad - t), text, font=font, fill=c8 + (235,),
               stroke_width=size // 9, stroke_fill=(20, 14, 24, 235))
        # Spray highlight: a lighter inner line offset up-left.
        hi = Image.new("RGBA", (tw, th), (0, 0, 0, 0))
        ImageDraw.Draw(hi).text((pad - l - size // 30, pad - t - size // 30), text, font=font,
                                fill=(255, 255, 255, 90))
        layer = Image.alpha_composite(layer, Image.composite(
            hi, Image.new("RGBA", (tw, th), (0, 0, 0, 0)),
            Image.eval(layer.getchannel("A"), lambda v: 255 if v > 200 else 0)))
        # Paint drips falling from the lowest letter pixels.
        arr = np.asarray(layer).copy()
        rng = np.random.default_rng(size * 7 + cx)
        alpha = arr[..., 3]
        cols = np.where(alpha.max(0) > 200)[0]
        for xd in rng.choice(cols, size=min(4, len(cols)), replace=False):
            ys = np.where(alpha[:, xd] > 200)[0]
            y0 = ys.max()
            ln = int(rng.uniform(10, size * 0.45))
            y1 = min(th - 3, y0 + ln)
            wdt = max(2, size // 28)
            arr[y0:y1, xd - wdt // 2:xd + wdt - wdt // 2, :3] = c8
            arr[y0:y1, xd - wdt // 2:xd + wdt - wdt // 2, 3] = 220
            arr[y1 - 2:y1 + 2, xd - wdt // 2 - 1:xd + wdt - wdt // 2 + 1, :3] = c8
            arr[y1 - 2:y1 + 2, xd - wdt // 2 - 1:xd + wdt - wdt // 2 + 1, 3] = 220
        layer = Image.fromarray(arr, "RGBA").rotate(rot, resample=Image.BICUBIC, expand=True)
        x0 = cx - layer.width // 2
        y0 = cy - layer.height // 2
        for oy in (-S, 0, S):
            for ox in (-S, 0, S):
                px, py = x0 + ox, y0 + oy
                if px >= S or py >= S or px + layer.width <= 0 or py + layer.height <= 0:
                    continue
                tmp = Image.new("RGBA", (S, S), (0, 0, 0, 0))
                tmp.paste(layer, (px, py))
                big = Image.alpha_composite(big, tmp)
    a = np.asarray(big, np.float32) / 255.0
    # Sprayed paint is not perfectly solid: break it up with grit.
    a[..., 3] *= np.clip(0.85 + 0.25 * periodic_noise(S, S, 0.2, 39), 0.5, 1.0)
    return a


# --------------------------------------------------------------------------- spectrum

def spectrum():
    H, W = 1080, 1024
    n = 64
    pitch = W // n  # 16 px per band
    barw = 12
    seg, gap = 9, 3
    cy = H / 2
    rng = np.random.default_rng(41)
    # Band levels: a smooth periodic contour plus per-band jitter, so the
    # scrolling band looks like a live analyser with bass humps and sparkly highs.
    k = np.arange(n)
    prof = (0.55 + 0.22 * np.sin(2 * np.pi * k / n * 2 + 0.7)
            + 0.12 * np.sin(2 * np.pi * k / n * 5 + 2.1)
            + 0.08 * np.sin(2 * np.pi * k / n * 9 + 0.3))
    lev = np.clip(prof + rng.normal(0, 0.14, n), 0.12, 0.97)
    peak = np.clip(lev + rng.uniform(0.03, 0.12, n), 0, 0.99)
    maxh = 470.0
    y, x = np.mgrid[0:H, 0:W].astype(np.float32) + 0.5
    band = np.floor(x / pitch).astype(np.int32)
    lx = np.mod(x, pitch) - pitch / 2
    dy = np.abs(y - cy)
    bh = (lev * maxh)[band]
    # Bars broken into LED segments counted from the centre line outward.
    in_bar = np.clip(barw / 2 + 0.5 - np.abs(lx), 0, 1)
    segpos = np.mod(dy - 2.0, seg + gap)
    in_seg = np.clip(np.minimum(segpos, seg - segpos) + 0.5, 0, 1) * (dy > 2.0)
    in_len = np.clip(bh - dy + 0.5, 0, 1)
    bars = in_bar * in_seg * in_len
    # Peak caps floating above each bar.
    ph = (peak * maxh)[band]
    cap = in_bar * np.clip(2.5 - np.abs(dy - ph), 0, 1)
    # Colour: hue sweeps once across the tile (wraps seamlessly); brighter toward the tips.
    hue = (x / W)
    t = np.clip(dy / np.maximum(bh, 1), 0, 1)
    sat = 0.95 - 0.55 * smoothstep(0.75, 1.0, t)
    val = 0.80 + 0.20 * t
    rgb = hsv_to_rgb(hue, sat, val).astype(np.float32)
    # Highlight along the left side of each bar and shade on the right.
    rgb = rgb * (1.0 + 0.18 * np.clip(-lx / (barw / 2), -1, 1)[..., None])
    rgb = np.clip(rgb, 0, 1)
    core_a = np.clip(bars + cap, 0, 1)
    core_rgb = np.where(cap[..., None] > bars[..., None], np.float32(1.0), rgb)
    # Glow: blurred colour of the bars, wrapping horizontally.
    pre = core_rgb * core_a[..., None]
    glow_wide = periodic_blur(np.concatenate([pre, core_a[..., None]], -1), 22)
    glow_near = periodic_blur(np.concatenate([pre, core_a[..., None]], -1), 6)
    glow = glow_wide * 0.7 + glow_near * 0.35
    ga = np.clip(glow[..., 3], 0, 1) * 0.6
    grgb = glow[..., :3] / np.maximum(glow[..., 3:4], 1e-4)
    grgb = np.clip(grgb * 1.1, 0, 1)
    # Thin centre line.
    line = np.clip(1.5 - np.abs(y - cy), 0, 1) * 0.7
    out = np.concatenate([grgb, ga[..., None]], -1)
    lineimg = np.concatenate([np.ones((H, W, 3), np.float32), line[..., None]], -1)
    out = over(out, lineimg)
    core = np.concatenate([core_rgb, core_a[..., None]], -1)
    return over(out, core)


# --------------------------------------------------------------------------- galaxy

def galaxy():
    S = 512
    n1 = periodic_noise(S, S, 1.9, 51)
    n2 = periodic_noise(S, S, 1.5, 52)
    n3 = periodic_noise(S, S, 1.2, 53)
    dust = periodic_noise(S, S, 1.7, 54)
    # Nebula density shaped so clouds have bright cores and dark gaps between them.
    dens = np.clip(0.5 + 0.28 * n1 + 0.12 * n3, 0, 1) ** 2.2
    ridge = 1.0 - np.abs(n2)  # filament structure
    fil = np.clip(ridge, 0, 1) ** 6
    deep = np.array([0.02, 0.01, 0.06], np.float32)
    violet = np.array([0.42, 0.10, 0.62], np.float32)
    magenta = np.array([0.95, 0.22, 0.55], np.float32)
    teal = np.array([0.10, 0.65, 0.80], np.float32)
    mixc = smoothstep(-1.2, 1.2, n3)[..., None]
    cloud = violet * (1 - mixc) + teal * mixc
    rgb = deep + cloud * dens[..., None] * 1.2 + magenta * (fil * dens * 1.6)[..., None]
    rgb += teal * (fil * (1 - dens) * 0.25)[..., None]
    # Dark dust lanes
    rgb *= (1 - 0.55 * smoothstep(0.6, 1.6, dust))[..., None]
    rgb = np.clip(rgb, 0, 1)
    # Stars: many faint, some medium, a few bright with spikes; splatted with wrap-around.
    rng = np.random.default_rng(55)
    stars = np.zeros((S, S, 3), np.float32)
    yy, xx = np.mgrid[-8:9, -8:9].astype(np.float32)

    def splat(px, py, amp, sigma, colr, spikes=False):
        ix, iy = int(np.floor(px)), int(np.floor(py))
        fx, fy = px - ix, py - iy
        r2 = (xx - fx) ** 2 + (yy - fy) ** 2
        k = np.exp(-r2 / (2 * sigma * sigma)) * amp
        if spikes:
            k += amp * 0.5 * (np.exp(-(yy - fy) ** 2 / 0.5) * np.exp(-np.abs(xx - fx) / 2.5)
                              + np.exp(-(xx - fx) ** 2 / 0.5) * np.exp(-np.abs(yy - fy) / 2.5))
        rows = (np.arange(-8, 9) + iy) % S
        cols = (np.arange(-8, 9) + ix) % S
        stars[np.ix_(rows, cols)] += k[..., None] * colr

    tints = [np.array(c, np.float32) for c in
             ([1, 1, 1], [0.8, 0.9, 1.0], [1.0, 0.9, 0.75], [0.75, 0.85, 1.0], [1, 0.8, 0.9])]
    for _ in range(900):
        splat(rng.uniform(0, S), rng.uniform(0, S), rng.uniform(0.15, 0.6), 0.55,
              tints[rng.integers(0, 5)])
    for _ in range(90):
        splat(rng.uniform(0, S), rng.uniform(0, S), rng.uniform(0.6, 1.0), 0.9,
              tints[rng.integers(0, 5)])
    for _ in range(12):
        splat(rng.uniform(0, S), rng.uniform(0, S), 1.0, 1.3, tints[rng.integers(0, 5)],
              spikes=True)
    halo = periodic_blur(stars, 3.0) * 1.5
    rgb = 1 - (1 - rgb) * (1 - np.clip(stars + halo, 0, 1))
    return np.concatenate([np.clip(rgb, 0, 1), np.ones((S, S, 1), np.float32)], -1)


# --------------------------------------------------------------------------- vantiebg

def vantiebg():
    """Op-art: concentric-ring discs on diagonal stripes, supersampled for crisp edges."""
    SS = 2
    S = 512 * SS
    y, x = (np.mgrid[0:S, 0:S].astype(np.float32) + 0.5) / SS
    cream = np.array([0.98, 0.93, 0.80])
    orange = np.array([0.98, 0.45, 0.10])
    teal = np.array([0.02, 0.60, 0.62])
    navy = np.array([0.10, 0.08, 0.28])
    pink = np.array([0.96, 0.22, 0.48])
    # Diagonal stripes; the period divides the tile along both axes.
    stripe = np.mod(x + y, 32.0) < 16.0
    rgb = np.where(stripe[..., None], orange, cream)
    cell = 128.0
    cx = np.floor(x / cell) * cell + cell / 2
    cy = np.floor(y / cell) * cell + cell / 2
    parity = ((np.floor(x / cell) + np.floor(y / cell)) % 2).astype(bool)
    r = np.hypot(x - cx, y - cy)
    R = 54.0
    ring = (np.floor(r / 9.0) % 2).astype(bool)
    disc_col = np.where(ring[..., None], np.where(parity[..., None], teal, pink), cream)
    disc_col = np.where((r < 9.0)[..., None], navy, disc_col)
    inside = r < R
    rgb = np.where(inside[..., None], disc_col, rgb)
    outline = (r >= R) & (r < R + 6)
    rgb = np.where(outline[..., None], navy, rgb)
    # Small diamonds at the cell corners, where four discs meet.
    qx = np.abs(np.mod(x, cell) - 0) ; qx = np.minimum(qx, cell - qx)
    qy = np.abs(np.mod(y, cell) - 0) ; qy = np.minimum(qy, cell - qy)
    dia = qx + qy
    rgb = np.where((dia < 20)[..., None], navy, rgb)
    rgb = np.where((dia < 13)[..., None], np.where(parity[..., None], pink, teal), rgb)
    rgb = rgb.reshape(512, SS, 512, SS, 3).mean(axis=(1, 3)).astype(np.float32)
    return np.concatenate([rgb, np.ones((512, 512, 1), np.float32)], -1)


# --------------------------------------------------------------------------- blueprint

def blueprint(drawing_svg):
    S = 512
    y, x = np.mgrid[0:S, 0:S].astype(np.float32)
    paper = periodic_noise(S, S, 1.3, 61)
    grain = periodic_noise(S, S, 0.2, 62)
    base = np.array([0.07, 0.22, 0.52], np.float32)
    rgb = base * (1 + 0.07 * paper + 0.04 * grain)[..., None]
    rgb = rgb * (1 - 0.12 * smoothstep(0.8, 2.2, paper))[..., None]

    def gridline(p, width):
        d = np.minimum(np.mod(x, p), np.mod(-x, p))
        e = np.minimum(np.mod(y, p), np.mod(-y, p))
        return np.maximum(np.clip(width - d, 0, 1), np.clip(width - e, 0, 1))

    fine = gridline(16, 0.8) * 0.18
    coarse = gridline(64, 1.4) * 0.38
    lines = np.maximum(fine, coarse)
    lc = np.array([0.72, 0.85, 1.0], np.float32)
    rgb = rgb * (1 - lines[..., None]) + lc * lines[..., None]
    out = np.concatenate([rgb, np.ones((S, S, 1), np.float32)], -1)
    draw = render_svg_array(drawing_svg, S, S)
    return over(out, draw)
