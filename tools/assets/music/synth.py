"""The klomp synthesiser: plays a score (see score.py) into a stereo float array.

Everything is numpy, vectorised per note. Notes that repeat (same pitch, length
and sound) are rendered once and reused. Sounds:

  bass, arp, stab   additive saw/square with a resonant low-pass whose cut-off
                    follows an envelope (exact and free of aliasing)
  pad, lead         detuned band-limited (polyBLEP) saws and pulses, FM bells
  drums, effects    shaped sines and filtered noise

The mix has a few buses: drums, a "ducked" bus that the kick pumps (bass, pads,
arps, stabs), leads and effects, plus a reverb send (convolution with a made
noise tail) and a ping-pong delay send. The master goes through a look-ahead
peak limiter; the song fades to silence at its end time.

All noise comes from seeded generators, so the output repeats exactly.
"""

import functools

import numpy as np
from scipy import signal

import score as sc

SR = 44100
CEILING = 10 ** (-2.5 / 20)      # limiter ceiling before encoding (-2.5 dBFS)
TARGET_RMS = 10 ** (-12.0 / 20)  # the loudest section's RMS before limiting


def db(x):
    return 10.0 ** (x / 20.0)


def mtof(m):
    return 440.0 * 2.0 ** ((m - 69) / 12.0)


def rng(*key):
    """A generator seeded from small integers, so each sound has its own noise."""
    return np.random.default_rng([7919, *key])


@functools.lru_cache(maxsize=None)
def _sos(kind, f1, f2=None, order=2):
    if kind == "band":
        return signal.butter(order, [f1, f2], "bandpass", fs=SR, output="sos")
    return signal.butter(order, f1, kind, fs=SR, output="sos")


def lowpass(x, f, order=2):
    return signal.sosfilt(_sos("lowpass", float(f), None, order), x).astype(np.float32)


def highpass(x, f, order=2):
    return signal.sosfilt(_sos("highpass", float(f), None, order), x).astype(np.float32)


def bandpass(x, f1, f2, order=2):
    return signal.sosfilt(_sos("band", float(f1), float(f2), order), x).astype(np.float32)


def fade_tail(x, seconds=0.01):
    n = min(len(x), int(seconds * SR))
    if n:
        x[..., -n:] *= np.linspace(1, 0, n, dtype=np.float32)
    return x


# ---------------------------------------------------------------------------
# Oscillators

def blep_saw(freq, phase0=0.0):
    """Band-limited saw (-1..1). freq: Hz per sample (array)."""
    dt = freq / SR
    ph = (phase0 + np.cumsum(dt)) % 1.0
    y = 2.0 * ph - 1.0
    m = ph < dt
    t = ph[m] / dt[m]
    y[m] -= t + t - t * t - 1.0
    m = ph > 1.0 - dt
    t = (ph[m] - 1.0) / dt[m]
    y[m] -= t * t + t + t + 1.0
    return y


def blep_pulse(freq, duty=0.5, phase0=0.0):
    return blep_saw(freq, phase0) - blep_saw(freq, phase0 + duty)


def additive(f0, n, cutoff, q, wave="saw"):
    """Saw or square through a 2-pole resonant low-pass with a moving cut-off.

    Built harmonic by harmonic: sin(k x) by the Chebyshev recurrence, each
    weighted by the filter's gain at k*f0 for the cut-off at that moment.
    """
    t = np.arange(n) / SR
    x = 2 * np.pi * f0 * t
    c2 = 2.0 * np.cos(x)
    prev = np.zeros(n)
    cur = np.sin(x)
    out = np.zeros(n)
    top = min(4.0 * float(np.max(cutoff)), 16000.0)
    kmax = max(1, int(top / f0))
    inv_c = 1.0 / cutoff
    for k in range(1, kmax + 1):
        if wave == "saw" or k % 2 == 1:
            r = (k * f0) * inv_c
            r2 = r * r
            h = 1.0 / np.sqrt((1.0 - r2) ** 2 + r2 / (q * q))
            out += h * cur * (1.0 / k)
        prev, cur = cur, c2 * cur - prev
    return out


def adsr(n, gate, a=0.003, d=0.1, s=0.8, r=0.05):
    """Envelope of n samples; the note is held for gate samples."""
    t = np.arange(n) / SR
    env = np.where(t < a, t / a, s + (1 - s) * np.exp(-(t - a) / d))
    gt = gate / SR
    level = np.interp(gt, t, env) if n else 0
    after = t >= gt
    env[after] = level * np.exp(-(t[after] - gt) / (r / 4))
    return env


# ---------------------------------------------------------------------------
# Pitched instruments (mono or stereo float32 arrays, cached)

@functools.lru_cache(maxsize=None)
def bass_note(midi, gate, patch):
    f0 = mtof(midi)
    n = gate + int(0.04 * SR)
    t = np.arange(n) / SR
    if patch == "sub":
        y = np.sin(2 * np.pi * f0 * t) + 0.15 * np.sin(4 * np.pi * f0 * t)
        env = adsr(n, gate, a=0.08, d=1.0, s=0.9, r=0.04)
        return (y * env * 0.9).astype(np.float32)
    if patch == "slap":
        cut = 260 + 3200 * np.exp(-t / 0.045)
        y = additive(f0, n, cut, 2.6, "square") * 0.9
        y += 0.6 * np.sin(2 * np.pi * f0 * t)
        env = adsr(n, gate, a=0.002, d=0.18, s=0.5, r=0.03)
    else:
        cut = 200 + 1700 * np.exp(-t / 0.07)
        y = additive(f0, n, cut, 1.8, "saw")
        y += 0.55 * np.sin(2 * np.pi * f0 * t)
        env = adsr(n, gate, a=0.002, d=0.2, s=0.75, r=0.03)
    y = np.tanh(1.4 * y * env) / np.tanh(1.4)
    return y.astype(np.float32)


@functools.lru_cache(maxsize=None)
def pluck(midi, gate, cut_scale, wave):
    """Arp and stab voice: a bright pluck whose filter closes quickly."""
    f0 = mtof(midi)
    n = gate + int(0.12 * SR)
    t = np.arange(n) / SR
    cut = (300 + 5200 * np.exp(-t / 0.06)) * cut_scale + 60
    y = additive(f0, n, cut, 1.4, wave)
    env = adsr(n, gate, a=0.002, d=0.09, s=0.35, r=0.1)
    return (y * env * 0.8).astype(np.float32)


PAD_SOUNDS = {  # cut-off, voices, detune (cents), attack
    "main": (2600.0, 5, 14.0, 0.3),
    "warm": (1300.0, 5, 10.0, 0.5),
    "party": (4200.0, 5, 18.0, 0.12),
}


@functools.lru_cache(maxsize=None)
def pad_chord(notes, gate, patch):
    cutoff, voices, cents, attack = PAD_SOUNDS[patch]
    n = gate + int(0.9 * SR)
    out = np.zeros((2, n))
    g = rng(11, *notes, gate)
    t = np.arange(n) / SR
    for m in notes:
        for v in range(voices):
            det = cents * (2.0 * v / (voices - 1) - 1.0)
            f = mtof(m) * 2 ** (det / 1200.0)
            drift = 1.0 + 0.0015 * np.sin(2 * np.pi * (0.3 + 0.07 * v) * t + g.uniform(0, 6.3))
            y = blep_saw(f * drift, g.uniform())
            pan = (v / (voices - 1)) * 2 - 1
            out[0] += y * (1 - 0.6 * pan)
            out[1] += y * (1 + 0.6 * pan)
    out = signal.sosfilt(_sos("lowpass", cutoff, None, 2), out, axis=1)
    env = adsr(n, gate, a=attack, d=1.0, s=0.85, r=0.8)
    out *= env / (len(notes) * voices) * 1.8
    return out.astype(np.float32)


@functools.lru_cache(maxsize=None)
def lead_note(midi, gate, patch):
    f0 = mtof(midi)
    if patch == "bell":
        n = gate + int(1.4 * SR)
        t = np.arange(n) / SR
        index = 2.2 * np.exp(-t / 0.25) + 0.3
        mod = np.sin(2 * np.pi * f0 * 3.5 * t)
        y = np.sin(2 * np.pi * f0 * t + index * mod) * np.exp(-t / 0.9)
        y += 0.3 * np.sin(2 * np.pi * f0 * 2 * t) * np.exp(-t / 0.4)
        y *= np.minimum(1.0, t / 0.002)
        return fade_tail(np.stack([y, y]).astype(np.float32) * 0.6, 0.05)

    n = gate + int(0.09 * SR)
    t = np.arange(n) / SR
    vib = 1.0 + 0.006 * np.sin(2 * np.pi * 5.5 * t) * np.clip((t - 0.18) / 0.2, 0, 1)
    freq = f0 * vib
    out = np.zeros((2, n))
    if patch == "chip":
        y = blep_pulse(freq, 0.25) * 0.7 + blep_pulse(freq * 2, 0.5) * 0.15
        y = signal.sosfilt(_sos("lowpass", 6500.0, None, 2), y)
        out += y
        env = adsr(n, gate, a=0.003, d=0.15, s=0.75, r=0.06)
    else:
        voices, cents, cut = (3, 9.0, 4200.0) if patch == "saw" else (7, 22.0, 6500.0)
        g = rng(23, midi)
        for v in range(voices):
            det = cents * (2.0 * v / (voices - 1) - 1.0)
            y = blep_saw(freq * 2 ** (det / 1200.0), g.uniform())
            pan = (v / (voices - 1)) * 2 - 1
            out[0] += y * (1 - 0.7 * pan) / voices
            out[1] += y * (1 + 0.7 * pan) / voices
        if patch == "big":
            sub = blep_pulse(freq * 0.5, 0.5) * 0.35
            out += sub
        out = signal.sosfilt(_sos("lowpass", cut, None, 2), out, axis=1) * 1.3
        env = adsr(n, gate, a=0.004, d=0.2, s=0.8, r=0.08)
    return (out * env).astype(np.float32)


# ---------------------------------------------------------------------------
# Drums and effects

@functools.lru_cache(maxsize=None)
def drum(name, variant=0):
    g = rng(101, sum(map(ord, name)), variant)

    def noise(seconds):
        return g.standard_normal(int(seconds * SR))

    def metal(t, scale):
        fs = np.array([205.3, 304.4, 369.6, 522.7, 540.0, 800.0]) * scale
        return np.sign(np.sin(2 * np.pi * fs[:, None] * t[None, :] + g.uniform(0, 6, (6, 1)))).sum(0) / 6

    if name == "kick":
        t = np.arange(int(0.5 * SR)) / SR
        f = 47 + 125 * np.exp(-t / 0.032) + 300 * np.exp(-t / 0.003)
        body = np.sin(2 * np.pi * np.cumsum(f) / SR) * np.exp(-t / 0.3)
        click = highpass(noise(0.5), 1500) * np.exp(-t / 0.003) * 0.5
        y = np.tanh(1.8 * (body + click)) * 0.95
    elif name == "snare":
        t = np.arange(int(0.32 * SR)) / SR
        tone = 0.55 * np.sin(2 * np.pi * 187 * t) * np.exp(-t / 0.07)
        tone += 0.3 * np.sin(2 * np.pi * 332 * t) * np.exp(-t / 0.045)
        rattle = bandpass(noise(0.32), 1200, 9500) * np.exp(-t / 0.12) * 0.9
        y = np.tanh(1.5 * (tone + rattle))
    elif name == "clap":
        t = np.arange(int(0.4 * SR)) / SR
        env = np.zeros_like(t)
        for i, t0 in enumerate((0.0, 0.011, 0.021)):
            on = t >= t0
            env[on] += np.exp(-(t[on] - t0) / 0.005) * (0.8 + 0.1 * i)
        on = t >= 0.03
        env[on] += np.exp(-(t[on] - 0.03) / 0.13) * 0.7
        y = bandpass(noise(0.4), 850, 2900) * env * 1.6
    elif name in ("hat", "ohat"):
        length, decay = (0.12, 0.03) if name == "hat" else (0.6, 0.22)
        t = np.arange(int(length * SR)) / SR
        y = highpass(metal(t, 1.0) * 0.7 + noise(length) * 0.5, 7200, 4) * np.exp(-t / decay)
        y *= 1.6
    elif name == "ride":
        t = np.arange(int(1.2 * SR)) / SR
        y = highpass(metal(t, 1.8) * 0.5 + noise(1.2) * 0.25, 4500, 2) * np.exp(-t / 0.5)
        y += 0.2 * np.sin(2 * np.pi * 2850 * t) * np.exp(-t / 0.35)
    elif name == "crash":
        t = np.arange(int(3.0 * SR)) / SR
        env = np.exp(-t / 1.0) * (1 - np.exp(-t / 0.002))
        chans = [highpass(noise(3.0) * 0.7 + metal(t, 2.3) * 0.4, 3800, 2) * env for _ in range(2)]
        return fade_tail(np.stack(chans).astype(np.float32) * 0.9, 0.2)
    elif name.startswith("tom"):
        f0 = {"h": 196.0, "m": 147.0, "l": 110.0, "f": 82.0}[name[-1]]
        t = np.arange(int(0.5 * SR)) / SR
        f = f0 * (1 + 0.6 * np.exp(-t / 0.03))
        y = np.sin(2 * np.pi * np.cumsum(f) / SR) * np.exp(-t / 0.22)
        y += lowpass(noise(0.5), 3000) * np.exp(-t / 0.02) * 0.3
        y = np.tanh(1.4 * y)
    elif name == "boom":
        t = np.arange(int(2.5 * SR)) / SR
        f = 32 + 60 * np.exp(-t / 0.08)
        y = np.sin(2 * np.pi * np.cumsum(f) / SR) * np.exp(-t / 0.8)
        y += lowpass(noise(2.5), 500) * np.exp(-t / 0.25) * 0.4
        y = np.tanh(1.3 * y)
    else:
        raise ValueError(name)
    return fade_tail(y.astype(np.float32), 0.01)


@functools.lru_cache(maxsize=None)
def scratch_source():
    """A short 'record' to scratch: a vowel-like buzz with some breath."""
    g = rng(303)
    n = int(1.5 * SR)
    t = np.arange(n) / SR
    f = 150 * (1 + 0.05 * np.sin(2 * np.pi * 3 * t))
    y = blep_saw(f) + 0.6 * blep_saw(f * 1.5)
    y = bandpass(y, 500, 1200) * 1.2 + bandpass(y, 1800, 3200) * 0.8
    y += bandpass(g.standard_normal(n), 1000, 6000) * 0.3
    return y.astype(np.float32)


@functools.lru_cache(maxsize=None)
def scratch(kind):
    """The record pushed forward and pulled back (x), or twice and longer (X)."""
    src = scratch_source()
    T, A, strokes = (0.16, 0.09, 1) if kind == "x" else (0.34, 0.13, 2)
    n = int(T * SR)
    t = np.arange(n) / SR
    u = (t / T * strokes) % 1.0
    pos = A * SR * 0.5 * (1 - np.cos(2 * np.pi * u)) + 0.2 * SR
    vel = np.abs(np.gradient(pos))
    y = np.interp(pos, np.arange(len(src)), src)
    env = np.sqrt(vel / vel.max()) * np.minimum(1, t / 0.004)
    return fade_tail((y * env).astype(np.float32), 0.01)


def riser(seconds, seed):
    """Noise swept up through a band-pass, growing louder, plus a rising tone."""
    g = rng(404, seed)
    n = int(seconds * SR)
    out = np.zeros((2, n))
    hop, size = 1024, 4096
    win = np.hanning(size)
    freqs = np.fft.rfftfreq(size, 1 / SR)
    for ch in range(2):
        wn = g.standard_normal(n + size)
        for i0 in range(0, n, hop):
            x = (i0 + size / 2) / n
            centre = 250 * (9000 / 250) ** min(1.0, x)
            bins = np.fft.rfft(wn[i0:i0 + size] * win)
            mask = np.exp(-0.5 * (np.log(np.maximum(freqs, 1) / centre) / 0.5) ** 2)
            seg = np.fft.irfft(bins * mask)
            end = min(n, i0 + size)
            out[ch, i0:end] += seg[:end - i0] * win[:end - i0]
    t = np.arange(n) / SR
    x = t / seconds
    out *= 0.35
    tone = blep_saw(110 * 2 ** (3 * x)) * 0.12
    tone = lowpass(tone, 3000)
    out += tone
    out *= (x ** 2.2)
    return fade_tail(out.astype(np.float32), 0.005)


def static_hit(seconds, seed):
    """Television static: hiss, crackle and a mains buzz, fading out."""
    g = rng(505, seed)
    n = int(seconds * SR)
    t = np.arange(n) / SR
    hiss = bandpass(g.standard_normal((2, n)), 900, 7000)
    crackle = (g.random((2, n)) > 0.9985) * g.standard_normal((2, n)) * 1.5
    crackle = highpass(crackle, 2000)
    buzz = np.sign(np.sin(2 * np.pi * 50 * t)) * 0.15
    buzz = lowpass(buzz, 1500)
    env = np.minimum(1, t / 0.005) * np.clip((seconds - t) / (seconds * 0.6), 0, 1)
    return ((hiss * 0.45 + crackle + buzz) * env).astype(np.float32)


# ---------------------------------------------------------------------------
# The mix

LEVELS = {  # dB
    "kick": -1, "snare": -5, "clap": -6, "hat": -10, "ohat": -12, "ride": -15,
    "tom": -5, "crash": -9, "boom": -4, "scratch": -7,
    "bass": -8, "pad": -6, "arp": -8, "stab": -12, "lead": -5,
    "riser": -6, "static": -14,
}
PANS = {"hat": 0.25, "ohat": -0.3, "ride": 0.35, "clap": 0.05, "scratch": -0.2, "stab": 0.2}
SENDS = {  # reverb, delay
    "snare": (0.18, 0.0), "clap": (0.3, 0.0), "tom": (0.15, 0.0), "crash": (0.2, 0.0),
    "boom": (0.35, 0.0), "hat": (0.03, 0.0), "ohat": (0.06, 0.0), "ride": (0.08, 0.0),
    "scratch": (0.12, 0.2), "pad": (0.35, 0.0), "arp": (0.2, 0.3), "stab": (0.2, 0.15),
    "lead": (0.2, 0.28), "riser": (0.3, 0.0), "static": (0.15, 0.0), "bass": (0.0, 0.0),
    "kick": (0.02, 0.0),
}
BUSES = {"kick": "drums", "snare": "drums", "clap": "drums", "hat": "drums", "ohat": "drums",
         "ride": "drums", "tom": "drums", "crash": "drums", "boom": "drums",
         "scratch": "lead", "bass": "duck", "pad": "duck", "arp": "duck", "stab": "duck",
         "lead": "lead", "riser": "fx", "static": "fx"}
VELOCITY = {"X": 1.0, "x": 0.78, "g": 0.32, "h": 0.9, "m": 0.9, "l": 0.9, "f": 0.95}


class Mixer:
    def __init__(self, seconds):
        self.n = int(round(seconds * SR))
        self.bus = {b: np.zeros((2, self.n), np.float32) for b in ("drums", "duck", "lead", "fx")}
        self.rev = np.zeros(self.n, np.float32)
        self.dly = np.zeros(self.n, np.float32)
        self.kicks = []
        self.trim = 0.0  # the current section's level, dB

    def add(self, inst, t, sig, gain_db=0.0, pan=None):
        i0 = int(round(t * SR))
        if i0 >= self.n:
            return
        sig = sig[..., :self.n - i0]
        m = sig.shape[-1]
        gain = db(LEVELS[inst] + gain_db + self.trim)
        pan = PANS.get(inst, 0.0) if pan is None else pan
        if sig.ndim == 1:
            left, right = sig * (gain * min(1.0, 1 - pan)), sig * (gain * min(1.0, 1 + pan))
        else:
            left, right = sig[0] * (gain * min(1.0, 1 - pan)), sig[1] * (gain * min(1.0, 1 + pan))
        bus = self.bus[BUSES[inst]]
        bus[0, i0:i0 + m] += left
        bus[1, i0:i0 + m] += right
        rev, dly = SENDS[inst]
        if rev or dly:
            mono = (left + right) * 0.5
            if rev:
                self.rev[i0:i0 + m] += mono * rev
            if dly:
                self.dly[i0:i0 + m] += mono * dly


def param(part, name, default, pos):
    """A part's setting at pos (0..1 through its bars); a..b glides."""
    v = part.params.get(name, default)
    if isinstance(v, tuple):
        return v[0] + (v[1] - v[0]) * pos
    return v


def bass_root(pc):
    return 28 + (pc - 4) % 12  # E1 .. D#2


def chord_notes(chord, transpose, low):
    """The chord's notes, closest above `low`, ascending."""
    notes = sorted(low + (chord.root + transpose + iv - low) % 12 for iv in chord.shape)
    return notes


def render_part(mix, score, sec, part, chords, seed):
    inst = part.instrument
    tr = sec.transpose
    span = part.last_bar - part.first_bar + 1
    step_s = sec.step_seconds

    def position(bar, step=0):
        return ((bar - part.first_bar) + step / sc.STEPS) / span

    def gate(steps, fraction=1.0):
        return int(steps * step_s * fraction * SR)

    if inst == "impact":
        for bar in range(part.first_bar, part.last_bar + 1):
            t = sec.step_time(bar, 0)
            vol = param(part, "vol", 0, position(bar))
            mix.add("crash", t, drum("crash"), vol)
            mix.add("boom", t, drum("boom"), vol)
        return
    if inst == "riser":
        # it swells up to `end`, a step of its last bar (the bar's end unless given), so a
        # break before the next downbeat can be left silent
        t0 = sec.step_time(part.first_bar, 0)
        t1 = sec.step_time(part.last_bar, param(part, "end", sc.STEPS, 0))
        mix.add("riser", t0, riser(t1 - t0, seed), param(part, "vol", 0, 0))
        return
    if inst == "static":
        mix.add("static", part.params["at"], static_hit(0.75, seed), param(part, "vol", 0, 0))
        return

    if inst == "pad":
        patch = part.params.get("patch", "main")
        bar = part.first_bar
        while bar <= part.last_bar:
            end = bar
            while end + 1 <= part.last_bar and chords[end + 1].name == chords[bar].name:
                end += 1
            ch = chords[bar]
            notes = chord_notes(ch, tr, 53)
            notes = tuple([bass_root((ch.root + tr) % 12) + 12] + notes)
            sig = pad_chord(notes, gate((end - bar + 1) * sc.STEPS, 0.98), patch)
            mix.add("pad", sec.step_time(bar, 0), sig, param(part, "vol", 0, position(bar)))
            bar = end + 1
        return

    if inst == "lead":
        patch = part.params.get("patch", "chip")
        bars = [b for name in part.patterns for b in score.melodies[name]]
        for i, bar in enumerate(range(part.first_bar, part.last_bar + 1)):
            for step, length, note in bars[i % len(bars)]:
                if note is None:
                    continue
                vol = param(part, "vol", 0, position(bar, step))
                g = gate(length, 0.92)
                if patch == "big":  # the lead doubled an octave up for the peak
                    mix.add("lead", sec.step_time(bar, step), lead_note(note + tr + 12, g, "chip"), vol - 9)
                mix.add("lead", sec.step_time(bar, step), lead_note(note + tr, g, patch), vol)
        return

    table = {"bass": score.basslines, "arp": score.arps}.get(inst, score.drums)
    bars = [b for name in part.patterns for b in table[name]]
    for i, bar in enumerate(range(part.first_bar, part.last_bar + 1)):
        pattern = bars[i % len(bars)]
        ch = chords[bar]
        for step, c in enumerate(pattern):
            if c in ".-":
                continue
            t = sec.step_time(bar, step)
            pos = position(bar, step)
            vol = param(part, "vol", 0, pos)
            length = 1
            while step + length < sc.STEPS and pattern[step + length] == "-":
                length += 1
            if inst == "bass":
                root = bass_root((ch.root + tr) % 12)
                third = ch.shape[1]
                seventh = ch.shape[3] if len(ch.shape) > 3 and ch.shape[3] < 12 else 10
                iv = {"0": -12, "1": 0, "3": third, "5": 7, "7": seventh, "8": 12, "9": 14}[c]
                patch = part.params.get("patch", "saw")
                mix.add("bass", t, bass_note(root + iv, gate(length, 0.85), patch), vol)
            elif inst == "arp":
                notes = chord_notes(ch, tr, 57)
                k = int(c)
                note = notes[k % len(notes)] + 12 * (k // len(notes))
                cut = round(param(part, "cut", 1.0, pos), 2)
                wave = "square" if step % 4 else "saw"
                sig = pluck(note, gate(length, 0.7), cut, wave)
                mix.add("arp", t, sig, vol, pan=0.35 if step % 2 else -0.35)
            elif inst == "stab":
                for j, note in enumerate(chord_notes(ch, tr, 60)):
                    mix.add("stab", t, pluck(note, gate(1, 0.6), 0.8, "square"), vol - 3,
                            pan=0.5 * (j - 1))
            elif inst == "scratch":
                mix.add("scratch", t, scratch("X" if c == "X" else "x"), vol)
            else:
                vel = VELOCITY[c]
                name = "tom" + c if inst == "tom" else inst
                variant = step % 3
                mix.add(inst, t, drum(name, variant), vol + 20 * np.log10(vel))
                if inst == "kick":
                    mix.kicks.append((t, vel * db(vol)))


def sidechain(mix, depth=0.5, release=0.16):
    g = np.ones(mix.n, np.float32)
    m = int(release * 3 * SR)
    t = np.arange(m) / SR
    curve = 1 - depth * np.exp(-t / release) * np.minimum(1, t / 0.004 + 0.3)
    for tk, vel in mix.kicks:
        i0 = int(round(tk * SR))
        seg = slice(i0, min(mix.n, i0 + m))
        k = seg.stop - seg.start
        c = 1 - (1 - curve[:k]) * min(1.0, vel)
        np.minimum(g[seg], c, out=g[seg])
    return g


def reverb(send, seconds=2.2, rt60=1.9):
    g = rng(606)
    n = int(seconds * SR)
    t = np.arange(n) / SR
    pre = int(0.018 * SR)
    irs = []
    for ch in range(2):
        ir = g.standard_normal(n) * np.exp(-6.9 * t / rt60)
        ir = lowpass(ir, 5500)
        ir[:pre] = 0
        irs.append(ir / np.sqrt(np.sum(ir ** 2)))
    x = highpass(send, 220)
    return np.stack([signal.oaconvolve(x, ir)[:len(x)] for ir in irs]).astype(np.float32)


def delay(send, seconds, feedback=0.42, taps=6):
    x = highpass(lowpass(send, 3500), 300)
    out = np.zeros((2, len(x)), np.float32)
    d = int(seconds * SR)
    for k in range(1, taps + 1):
        if k * d >= len(x):
            break
        out[(k - 1) % 2, k * d:] += x[:len(x) - k * d] * feedback ** (k - 1)
    return out


def limiter(x, ceiling, block=64, look=5, release_db_s=40.0):
    """Look-ahead peak limiter: a gain curve that never lets a sample pass the ceiling."""
    n = x.shape[1]
    nb = (n + block - 1) // block
    pad = np.zeros((2, nb * block - n), x.dtype)
    peaks = np.abs(np.concatenate([x, pad], axis=1)).max(axis=0).reshape(nb, block).max(axis=1)
    need = np.minimum(1.0, ceiling / np.maximum(peaks, 1e-9))
    padded = np.concatenate([np.ones(look), need, np.ones(look)])
    gmin = np.lib.stride_tricks.sliding_window_view(padded, 2 * look + 1).min(axis=1)
    up = db(release_db_s * block / SR)
    g = gmin.copy()
    for i in range(1, nb):  # gain may fall at once but only rises slowly
        g[i] = min(gmin[i], g[i - 1] * up)
    w = look - 1
    smooth = np.convolve(np.concatenate([np.full(w, g[0]), g, np.full(w, g[-1])]),
                         np.ones(2 * w + 1) / (2 * w + 1), mode="valid")
    centres = np.arange(nb) * block + block / 2
    gain = np.interp(np.arange(n), centres, smooth)
    return x * gain, float(gain.min())


def render(score, log=print):
    mix = Mixer(score.length)
    seed = 0
    for sec in score.sections:
        log(f"  {sec.name:7s} {sec.start:6.1f}-{sec.end:6.1f} s  {sec.bars:2d} bars  {sec.bpm:6.2f} BPM")
        chords = sc.chords_of(score, sec)
        mix.trim = sec.gain
        for part in sec.parts:
            seed += 1
            render_part(mix, score, sec, part, chords, seed)

    duck = mix.bus["duck"] * sidechain(mix)
    out = mix.bus["drums"] + duck + mix.bus["lead"] + mix.bus["fx"]
    out += reverb(mix.rev) * 0.9
    out += delay(mix.dly, 0.75 * 60.0 / score.tempo) * 0.8
    out = signal.sosfilt(_sos("highpass", 28.0, None, 2), out, axis=1)
    # Vorbis drops the top octave at this quality; doing it here first keeps the
    # encoder from building new peaks out of the limited ones
    out = signal.sosfilt(_sos("lowpass", 15500.0, None, 4), out, axis=1)

    # level: the loudest section sits at TARGET_RMS, then the limiter catches the peaks
    loudest = 0.0
    for sec in score.sections:
        a, b = int(sec.start * SR), int(sec.end * SR)
        loudest = max(loudest, float(np.sqrt(np.mean(out[:, a:b] ** 2))))
    out *= TARGET_RMS / loudest
    out, least = limiter(out, CEILING)
    log(f"  limiter: deepest gain reduction {20 * np.log10(least):.1f} dB")

    # the end: a short fade into silence at the song's end time
    t = np.arange(out.shape[1]) / SR
    fade = np.clip((score.end - t) / 2.5, 0, 1)
    out *= (np.sin(fade * np.pi / 2) ** 2)
    out[:, :int(0.005 * SR)] *= np.linspace(0, 1, int(0.005 * SR))
    return np.clip(out, -CEILING, CEILING).astype(np.float32)
