"""Bravo, the cartoon walker of the party scene: six poses of one walk cycle, facing right.

The poses come from one small rig.  Each foot follows a stance/swing path relative to the hip
(sliding back flat on the ground, then lifting and swinging forward); the knees are solved with
two-bone IK, the hips bob, the arms swing against the legs.  All poses share the canvas and the
ground line, so the flip-book lines up exactly."""
import math

from assetkit import FIGURE_INK
from common import blur_filter, fmt, svg_doc

POSES = 6
W, H = 360, 540
GROUND = 521.0           # y of the shoe soles on the ground
HIP_X = 172.0
THIGH, SHIN = 96.0, 94.0
STRIDE = 60.0            # half the foot travel relative to the hip
LIFT = 40.0              # swing-foot clearance
OUT = 7.0                # outline width around every part

SKIN, SKIN_SH = "#c98a5e", "#a06a45"
HOOD, HOOD_SH, HOOD_HI = "#19b8e8", "#0f86b0", "#7fe0ff"
JEANS, JEANS_FAR = "#3150b8", "#1f2f70"
SHOE, SHOE_FAR, SOLE = "#ff2e5a", "#a8173a", "#ffffff"
CAP, CAP_SH = "#ffd21f", "#e09a00"


def smooth(u):
    return u * u * (3 - 2 * u)


def rot(p, a, c=(0.0, 0.0)):
    s, co = math.sin(a), math.cos(a)
    x, y = p[0] - c[0], p[1] - c[1]
    return (c[0] + x * co - y * s, c[1] + x * s + y * co)


SOLE_HEEL = (-24.0, 22.0)   # sole corners relative to the ankle, facing right
SOLE_TOE = (52.0, 22.0)


def foot_state(p, hip_y):
    """Ankle position and shoe angle for a leg at phase p (0 = heel strike in front)."""
    if p < 0.5:                                   # stance: slide back along the ground
        u = p / 0.5
        x = HIP_X + STRIDE - 2 * STRIDE * u
        lift = 0.0
        if u < 0.15:                               # heel strike: toe still coming down
            ang = -math.radians(14) * (1 - u / 0.15)
        elif u > 0.6:                               # heel rises, foot rolls onto the toe
            ang = math.radians(28) * ((u - 0.6) / 0.4) ** 1.3
        else:
            ang = 0.0
    else:                                         # swing: lift and carry forward
        u = (p - 0.5) / 0.5
        x = HIP_X - STRIDE + 2 * STRIDE * smooth(u)
        lift = LIFT * math.sin(math.pi * min(1.0, u * 1.15)) if u < 0.87 else 0.0
        ang = math.radians(36) * (1 - u) ** 1.5 - math.radians(14) * smooth(u)
    # put the lowest sole corner on the ground (less the lift)
    heel, toe = rot(SOLE_HEEL, ang), rot(SOLE_TOE, ang)
    low = max(heel[1], toe[1])
    y = GROUND - lift - low
    if p >= 0.5 and u > 0.5:
        y = min(y, GROUND - low)
    return (x, y), ang


def knee(hip, ankle):
    dx, dy = ankle[0] - hip[0], ankle[1] - hip[1]
    d = min(math.hypot(dx, dy), THIGH + SHIN - 0.5)
    a = math.atan2(dy, dx)
    # angle at the hip between the hip-ankle line and the thigh (law of cosines)
    c = (THIGH ** 2 + d ** 2 - SHIN ** 2) / (2 * THIGH * d)
    b = math.acos(max(-1.0, min(1.0, c)))
    ka = a - b            # bend the knee forward (towards +x)
    return (hip[0] + THIGH * math.cos(ka), hip[1] + THIGH * math.sin(ka))


def line_path(pts):
    return "M" + " L".join(f"{fmt(x)},{fmt(y)}" for x, y in pts)


def limb(pts, width, colour):
    d = line_path(pts)
    return (f'<path d="{d}" fill="none" stroke="{FIGURE_INK}" stroke-width="{fmt(width + 2 * OUT)}" '
            f'stroke-linecap="round" stroke-linejoin="round"/>'
            f'<path d="{d}" fill="none" stroke="{colour}" stroke-width="{fmt(width)}" '
            f'stroke-linecap="round" stroke-linejoin="round"/>')


def shoe(ankle, ang, colour):
    x, y = ankle
    t = f'transform="translate({fmt(x)} {fmt(y)}) rotate({fmt(math.degrees(ang))})"'
    upper = "M-22,-10 C-24,-22 -4,-26 10,-20 L24,-10 C40,-6 54,0 54,12 L54,18 L-24,18 Z"
    return (f'<g {t}>'
            f'<path d="{upper}" fill="{colour}" stroke="{FIGURE_INK}" stroke-width="{OUT}" stroke-linejoin="round"/>'
            f'<path d="M-26,12 L56,12 L56,18 C56,23 52,25 48,25 L-22,25 C-26,25 -28,22 -28,18 Z" '
            f'fill="{SOLE}" stroke="{FIGURE_INK}" stroke-width="{OUT - 1}" stroke-linejoin="round"/>'
            f'<path d="M26,-6 L34,-14 M34,-2 L42,-10" stroke="{SOLE}" stroke-width="4" stroke-linecap="round"/>'
            f'<path d="M-12,-14 C-2,-19 8,-17 16,-11" fill="none" stroke="#ffffff" stroke-opacity="0.55" '
            f'stroke-width="4" stroke-linecap="round"/>'
            f'</g>')


def arm(shoulder, swing, colour, hand):
    """swing: angle of the upper arm from hanging straight down, positive = forward."""
    ua = math.pi / 2 - swing
    elbow = (shoulder[0] + 74 * math.cos(ua), shoulder[1] + 74 * math.sin(ua))
    bend = math.radians(22) + max(0.0, swing) * 0.9
    fa = ua - bend
    wrist = (elbow[0] + 66 * math.cos(fa), elbow[1] + 66 * math.sin(fa))
    s = limb([shoulder, elbow, wrist], 34, colour)
    # cuff and fist
    hx, hy = wrist[0] + 10 * math.cos(fa), wrist[1] + 10 * math.sin(fa)
    s += (f'<circle cx="{fmt(hx)}" cy="{fmt(hy)}" r="17" fill="{hand}" stroke="{FIGURE_INK}" stroke-width="{OUT}"/>'
          f'<path d="M{fmt(hx - 6)},{fmt(hy - 8)} A8,8 0 0 1 {fmt(hx + 6)},{fmt(hy - 9)}" fill="none" '
          f'stroke="#ffffff" stroke-opacity="0.5" stroke-width="3.5" stroke-linecap="round"/>')
    return s


def pose(i):
    t = i / POSES
    # hips lowest at the contact poses, highest when passing
    hip_y = 316.0 - 8.0 * (0.5 - 0.5 * math.cos(4 * math.pi * t))
    hip = (HIP_X, hip_y)
    lean = math.radians(5)
    neck = (HIP_X + 118 * math.sin(lean) + 4, hip_y - 118 * math.cos(lean))
    twist = math.cos(2 * math.pi * t)

    near_p, far_p = t % 1.0, (t + 0.5) % 1.0
    near_ankle, near_ang = foot_state(near_p, hip_y)
    far_ankle, far_ang = foot_state(far_p, hip_y)
    far_hip = (hip[0] - 8, hip[1] - 2)
    near_knee, far_knee = knee(hip, near_ankle), knee(far_hip, far_ankle)

    body = []
    body.append('<ellipse cx="180" cy="523" rx="100" ry="8" fill="#000" fill-opacity="0.28" filter="url(#sh)"/>')
    # far side (drawn darker, behind the body)
    far_sh = (neck[0] - 12 + 5 * twist, neck[1] + 22)
    body.append(arm(far_sh, math.radians(30) * twist, HOOD_SH, SKIN_SH))
    body.append(limb([far_hip, far_knee, far_ankle], 40, JEANS_FAR))
    body.append(shoe(far_ankle, far_ang, SHOE_FAR))
    # near leg
    body.append(limb([hip, near_knee, near_ankle], 42, JEANS))
    body.append(f'<path d="M{fmt(near_knee[0] - 10)},{fmt(near_knee[1] + 6)} L{fmt(near_knee[0] + 8)},'
                f'{fmt(near_knee[1] + 2)}" stroke="#6f8ae6" stroke-width="4" stroke-linecap="round"/>')
    body.append(shoe(near_ankle, near_ang, SHOE))
    # torso: a hoodie leaning slightly forward
    cx, cy = (hip[0] + neck[0]) / 2, (hip[1] + neck[1]) / 2 + 6
    tr = f'transform="rotate({fmt(math.degrees(lean))} {fmt(cx)} {fmt(cy)})"'
    body.append(f'<g {tr}>'
                f'<rect x="{fmt(cx - 56)}" y="{fmt(cy - 70)}" width="112" height="148" rx="40" '
                f'fill="{HOOD}" stroke="{FIGURE_INK}" stroke-width="{OUT}"/>'
                f'<path d="M{fmt(cx + 20)},{fmt(cy - 62)} C{fmt(cx + 44)},{fmt(cy - 58)} {fmt(cx + 52)},{fmt(cy - 30)} '
                f'{fmt(cx + 50)},{fmt(cy + 40)} L{fmt(cx + 50)},{fmt(cy + 64)} C{fmt(cx + 40)},{fmt(cy + 72)} '
                f'{fmt(cx + 28)},{fmt(cy + 72)} {fmt(cx + 20)},{fmt(cy + 72)} Z" fill="{HOOD_SH}" fill-opacity="0.55"/>'
                f'<path d="M{fmt(cx - 40)},{fmt(cy - 48)} C{fmt(cx - 46)},{fmt(cy - 20)} {fmt(cx - 46)},{fmt(cy + 20)} '
                f'{fmt(cx - 42)},{fmt(cy + 40)}" fill="none" stroke="{HOOD_HI}" stroke-width="7" stroke-linecap="round"/>'
                f'<rect x="{fmt(cx - 56)}" y="{fmt(cy + 56)}" width="112" height="22" rx="10" fill="{HOOD_SH}" '
                f'stroke="{FIGURE_INK}" stroke-width="{OUT - 1}"/>'
                f'<path d="M{fmt(cx - 6)},{fmt(cy + 8)} L{fmt(cx + 44)},{fmt(cy + 8)} L{fmt(cx + 50)},{fmt(cy + 50)} '
                f'L{fmt(cx - 10)},{fmt(cy + 50)} Z" fill="{HOOD_SH}" stroke="{FIGURE_INK}" stroke-width="5" '
                f'stroke-linejoin="round"/>'
                f'<path d="M{fmt(cx + 4)},{fmt(cy - 30)} L{fmt(cx + 2)},{fmt(cy - 4)} M{fmt(cx + 18)},{fmt(cy - 30)} '
                f'L{fmt(cx + 18)},{fmt(cy - 2)}" stroke="#ffffff" stroke-width="4" stroke-linecap="round"/>'
                f'</g>')
    # hood bunched behind the neck
    body.append(f'<ellipse cx="{fmt(neck[0] - 30)}" cy="{fmt(neck[1] + 6)}" rx="40" ry="24" '
                f'transform="rotate(-14 {fmt(neck[0] - 30)} {fmt(neck[1] + 6)})" fill="{HOOD_SH}" '
                f'stroke="{FIGURE_INK}" stroke-width="{OUT}"/>')
    body.append(head(neck[0] + 10, neck[1] - 66, hip_y))
    # near arm in front of everything
    near_sh = (neck[0] - 2 - 5 * twist, neck[1] + 24)
    body.append(arm(near_sh, -math.radians(32) * twist, HOOD, SKIN))
    defs = blur_filter("sh", 3.5)
    return svg_doc(W, H, "".join(body), defs)


def head(hx, hy, hip_y):
    r = 64
    s = []
    # neck
    s.append(f'<rect x="{fmt(hx - 22)}" y="{fmt(hy + 40)}" width="40" height="40" fill="{SKIN_SH}" '
             f'stroke="{FIGURE_INK}" stroke-width="{OUT}"/>')
    # head, ear, nose
    s.append(f'<circle cx="{fmt(hx)}" cy="{fmt(hy)}" r="{r}" fill="{SKIN}" stroke="{FIGURE_INK}" stroke-width="{OUT}"/>')
    s.append(f'<path d="M{fmt(hx + 50)},{fmt(hy - 2)} C{fmt(hx + 82)},{fmt(hy - 4)} {fmt(hx + 84)},{fmt(hy + 22)} '
             f'{fmt(hx + 56)},{fmt(hy + 24)}" fill="{SKIN}" stroke="{FIGURE_INK}" stroke-width="{OUT}" stroke-linejoin="round"/>')
    s.append(f'<path d="M{fmt(hx + 40)},{fmt(hy - 8)} C{fmt(hx + 58)},{fmt(hy - 6)} {fmt(hx + 60)},{fmt(hy + 14)} '
             f'{fmt(hx + 50)},{fmt(hy + 26)}" fill="{SKIN}"/>')
    s.append(f'<path d="M{fmt(hx - 26)},{fmt(hy - 6)} C{fmt(hx - 46)},{fmt(hy - 10)} {fmt(hx - 50)},{fmt(hy + 26)} '
             f'{fmt(hx - 26)},{fmt(hy + 24)} Z" fill="{SKIN}" stroke="{FIGURE_INK}" stroke-width="{OUT - 1}" '
             f'stroke-linejoin="round"/>')
    s.append(f'<path d="M{fmt(hx - 30)},{fmt(hy + 2)} C{fmt(hx - 40)},{fmt(hy + 4)} {fmt(hx - 40)},{fmt(hy + 16)} '
             f'{fmt(hx - 30)},{fmt(hy + 16)}" fill="none" stroke="{SKIN_SH}" stroke-width="4" stroke-linecap="round"/>')
    # cheek shade and highlight
    s.append(f'<path d="M{fmt(hx - 58)},{fmt(hy + 24)} A{r - 6},{r - 6} 0 0 0 {fmt(hx + 24)},{fmt(hy + 56)}" '
             f'fill="none" stroke="{SKIN_SH}" stroke-width="9" stroke-linecap="round"/>')
    # grin
    s.append(f'<path d="M{fmt(hx + 24)},{fmt(hy + 32)} C{fmt(hx + 36)},{fmt(hy + 46)} {fmt(hx + 54)},{fmt(hy + 44)} '
             f'{fmt(hx + 60)},{fmt(hy + 30)} Z" fill="#ffffff" stroke="{FIGURE_INK}" stroke-width="5" stroke-linejoin="round"/>')
    # shades
    s.append(f'<path d="M{fmt(hx + 8)},{fmt(hy - 14)} L{fmt(hx + 70)},{fmt(hy - 18)} L{fmt(hx + 66)},{fmt(hy + 2)} '
             f'C{fmt(hx + 52)},{fmt(hy + 8)} {fmt(hx + 36)},{fmt(hy + 6)} {fmt(hx + 30)},{fmt(hy - 6)} Z" '
             f'fill="#1b1420" stroke="{FIGURE_INK}" stroke-width="4" stroke-linejoin="round"/>')
    s.append(f'<path d="M{fmt(hx - 40)},{fmt(hy - 12)} L{fmt(hx + 12)},{fmt(hy - 14)}" stroke="{FIGURE_INK}" '
             f'stroke-width="6" stroke-linecap="round"/>')
    s.append(f'<path d="M{fmt(hx + 40)},{fmt(hy - 12)} L{fmt(hx + 56)},{fmt(hy - 13)}" stroke="#7fe0ff" '
             f'stroke-width="4" stroke-linecap="round"/>')
    # backwards cap: dome, band and the peak sticking out behind
    s.append(f'<path d="M{fmt(hx - 62)},{fmt(hy - 20)} C{fmt(hx - 58)},{fmt(hy - 78)} {fmt(hx + 50)},{fmt(hy - 86)} '
             f'{fmt(hx + 62)},{fmt(hy - 24)} Z" fill="{CAP}" stroke="{FIGURE_INK}" stroke-width="{OUT}" stroke-linejoin="round"/>')
    s.append(f'<path d="M{fmt(hx - 62)},{fmt(hy - 24)} L{fmt(hx - 100)},{fmt(hy - 14)} C{fmt(hx - 104)},{fmt(hy - 4)} '
             f'{fmt(hx - 90)},{fmt(hy - 2)} {fmt(hx - 56)},{fmt(hy - 8)} Z" fill="{CAP_SH}" stroke="{FIGURE_INK}" '
             f'stroke-width="{OUT}" stroke-linejoin="round"/>')
    s.append(f'<path d="M{fmt(hx - 62)},{fmt(hy - 22)} C{fmt(hx - 20)},{fmt(hy - 30)} {fmt(hx + 30)},{fmt(hy - 30)} '
             f'{fmt(hx + 62)},{fmt(hy - 24)}" fill="none" stroke="{CAP_SH}" stroke-width="8"/>')
    s.append(f'<path d="M{fmt(hx - 32)},{fmt(hy - 58)} C{fmt(hx - 14)},{fmt(hy - 70)} {fmt(hx + 8)},{fmt(hy - 72)} '
             f'{fmt(hx + 24)},{fmt(hy - 66)}" fill="none" stroke="#fff3b0" stroke-width="7" stroke-linecap="round"/>')
    s.append(f'<circle cx="{fmt(hx - 4)}" cy="{fmt(hy - 67)}" r="7" fill="{CAP_SH}" stroke="{FIGURE_INK}" stroke-width="4"/>')
    return "".join(s)


def pose_maker(i):
    def make():
        return pose(i), W, H
    return make
