#!/usr/bin/python3
"""Measures where the song changes section and compares it with the cuts the viewer sees.

    song-cuts.py TRACE.tsv SONG.ogg [--fps 60]

TRACE.tsv is a per-frame timeline from `klomp-capture --trace T.tsv --trace-only --fps 60`:
the first frame of each scene is a seen cut, and the last line is the frame in which the
show ends. The song is decoded and, near every cut, the moment of its biggest spectral rise is
found: 20 bands from 40 Hz to 16 kHz, each band's energy over the 40 ms after a moment against
the 40 ms before it, on a 1 ms grid. That moment is the section's first downbeat (the crash,
the sub boom and the new parts enter together after a short break).

For each cut it prints the seen cut, the measured change, their difference, the size of the
rise (how clearly the section starts) and the next biggest rise within 0.3 s of the cut. It
also prints the decoded peak and checks that the song is silent once the show has ended.

Exit status 0 when every change lies within one frame of its cut, the peak is at most
-1 dBFS and nothing sounds after the last frame; 1 otherwise; 2 on bad input.
"""

import argparse
import subprocess
import sys

import numpy as np

SR = 44100
HOP = 44            # ~1 ms grid for the onset search
SIDE_SAMPLES = 2048  # analysed on each side of a candidate moment (46 ms)
SEARCH = 0.3        # seconds either side of a cut
PEAK_LIMIT_DB = -1.0
EDGES = np.geomspace(40.0, 16000.0, 14)  # 13 bands


def read_trace(path):
    """(seen cuts as (time, scene), time of the last frame) from a capture trace."""
    cuts, last, previous = [], None, None
    with open(path, encoding="utf-8") as f:
        header = f.readline().split()
        if header[:2] != ["time", "scene"]:
            raise ValueError(f"{path}: not a klomp-capture trace")
        for line in f:
            fields = line.split()
            if len(fields) < 2:
                continue
            time, scene = float(fields[0]), int(fields[1])
            if previous is not None and scene != previous:
                cuts.append((time, scene))
            previous, last = scene, time
    if last is None:
        raise ValueError(f"{path}: no frames")
    return cuts, last


def decode(path):
    """The song as float samples, shape (2, n), at 44.1 kHz."""
    raw = subprocess.run(["oggdec", "-Q", "-R", "-o", "-", path], check=True,
                         stdout=subprocess.PIPE, stdin=subprocess.DEVNULL).stdout
    pcm = np.frombuffer(raw, "<i2").astype(np.float64) / 32768.0
    return pcm.reshape(-1, 2).T


def band_energies(segments):
    """Energy of each band in each row of `segments`."""
    power = np.abs(np.fft.rfft(segments, axis=1)) ** 2
    which = np.digitize(np.fft.rfftfreq(segments.shape[1], 1.0 / SR), EDGES)
    return np.stack([power[:, which == k].sum(axis=1) for k in range(1, len(EDGES))], axis=1)


def find_change(mono, cut):
    """(moment of the biggest spectral rise near `cut`, its size in dB, the next biggest one
    at least 50 ms away as (moment, dB)).

    Each side of a candidate moment is analysed on its own, weighted most next to the moment
    and fading out away from it, so no sound from one side leaks into the other: a step in
    the signal scores highest exactly where it happens."""
    taper = np.cos(np.linspace(0.0, np.pi / 2, SIDE_SAMPLES)) ** 2  # 1 at the moment, 0 away
    first = int(round((cut - SEARCH) * SR))
    moments = first + HOP * np.arange(int(round(2 * SEARCH * SR / HOP)) + 1)
    after = np.stack([mono[m:m + SIDE_SAMPLES] for m in moments]) * taper
    before = np.stack([mono[m - SIDE_SAMPLES:m] for m in moments]) * taper[::-1]
    ratio = (band_energies(after) + 1e-12) / (band_energies(before) + 1e-12)
    rise = np.maximum(10.0 * np.log10(ratio), 0.0).mean(axis=1)
    times = moments / SR
    best = int(np.argmax(rise))
    away = np.abs(times - times[best]) > 0.05
    runner = int(np.argmax(np.where(away, rise, -1.0)))
    return times[best], rise[best], (times[runner], rise[runner])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("trace")
    parser.add_argument("song")
    parser.add_argument("--fps", type=float, default=60.0)
    args = parser.parse_args()
    try:
        cuts, last_frame = read_trace(args.trace)
        audio = decode(args.song)
    except (OSError, ValueError, subprocess.CalledProcessError) as error:
        print(f"song-cuts: {error}", file=sys.stderr)
        return 2
    mono = audio.mean(axis=0)
    tolerance = 1.0 / args.fps
    ok = True

    print(f"{'scene':>5} {'seen cut s':>11} {'song change s':>14} {'off ms':>7} {'rise dB':>8}"
          f" {'next biggest rise':>21}")
    for cut, scene in cuts:
        if cut >= last_frame:
            continue  # the frame in which the show ends: no section starts there
        moment, rise, (other, other_rise) = find_change(mono, cut)
        off = moment - cut
        within = abs(off) <= tolerance
        ok &= within
        print(f"{scene:5d} {cut:11.4f} {moment:14.4f} {1000 * off:+7.1f} {rise:8.1f}"
              f" {other_rise:5.1f} dB at {other:9.4f}"
              f"{'' if within else '   MORE THAN ONE FRAME OFF'}")

    peak = float(np.abs(audio).max())
    peak_db = 20.0 * np.log10(max(peak, 1e-12))
    print(f"peak {peak_db:.2f} dBFS (limit {PEAK_LIMIT_DB:.1f})")
    ok &= peak_db <= PEAK_LIMIT_DB

    loud = np.nonzero(np.abs(audio).max(axis=0) > 1.0 / 32768.0)[0]
    last_sound = (loud[-1] + 1) / SR if loud.size else 0.0
    after = audio[:, int(np.ceil((last_frame + tolerance) * SR)):]
    after_peak = float(np.abs(after).max()) if after.size else 0.0
    print(f"last sound at {last_sound:.4f} s; the show's last frame at {last_frame:.4f} s;"
          f" after it the song peaks at {after_peak * 32768.0:.0f}/32768")
    ok &= after_peak * 32768.0 <= 1.0
    print("song-cuts: " + ("every change within one frame of its cut" if ok else "FAILED"))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
