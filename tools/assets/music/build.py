#!/usr/bin/python3
"""Builds the show's sound: the song and the static burst.

    build.py OUTDIR SHEETDIR

  OUTDIR/music/klomp.ogg          the song, played from klomp.txt by synth.py
  OUTDIR/sounds/noise.wav         TV static, made by sox
  SHEETDIR/klomp-spectrogram.png  the song's spectrogram with the hand-overs marked

The same sources give the same bytes: all noise is seeded, sox runs with -R and
oggenc with a fixed stream serial.
"""

import os
import subprocess
import sys
import tempfile
import time
import wave

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, os.path.dirname(HERE)]

import assetkit  # noqa: E402
import score  # noqa: E402
import synth  # noqa: E402

OGG_SERIAL = 1729  # any fixed number; oggenc picks a random one otherwise
OGG_QUALITY = 5
OGG_PEAK_DB = -1.25  # highest sample of the decoded song, safely under -1 dBFS


def run(cmd):
    subprocess.run(cmd, check=True, stdin=subprocess.DEVNULL)


def write_wav(path, audio):
    """Float stereo (2, n) -> 16-bit PCM WAV, with seeded triangular dither."""
    noise = synth.rng(999).random((2, audio.shape[1])) - synth.rng(998).random((2, audio.shape[1]))
    noise *= audio != 0  # digital silence stays silent
    pcm = np.clip(np.round(audio * 32767.0 + noise), -32768, 32767).astype("<i2")
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(synth.SR)
        w.writeframes(pcm.T.tobytes())


def read_wav(path):
    with wave.open(path, "rb") as w:
        ch, n = w.getnchannels(), w.getnframes()
        data = np.frombuffer(w.readframes(n), "<i2").astype(np.float32) / 32768.0
    return data.reshape(n, ch).T


def build_noise(path):
    """Television static: hiss band-limited like a small speaker, crackle and a
    50 Hz mains buzz, 1.2 s with a short fade-out."""
    run(["sox", "-R", "-n", "-r", "44100", "-b", "16", "-c", "1", path,
         "synth", "1.2", "whitenoise",
         "synth", "1.2", "square", "amod", "50",   # the mains buzz chops the hiss
         "synth", "1.2", "pinknoise", "mix",
         "sinc", "300-7000",                       # a small, cheap speaker
         "overdrive", "8",                         # crackle
         "highpass", "150",
         "tremolo", "17", "40",                    # the picture rolling
         "fade", "t", "0.004", "1.2", "0.3",
         "norm", "-3"])


def level(x):
    return 20 * np.log10(max(float(np.sqrt(np.mean(x ** 2))), 1e-9))


def report(song, audio, label):
    print(f"  {label}: peak {20 * np.log10(np.abs(audio).max()):.2f} dBFS,"
          f" RMS {level(audio):.1f} dBFS")
    for sec in song.sections:
        a, b = int(sec.start * synth.SR), int(sec.end * synth.SR)
        seg = audio[:, a:b]
        print(f"    {sec.name:7s} RMS {level(seg):6.1f} dBFS  peak {20 * np.log10(np.abs(seg).max()):6.2f} dBFS")
    tail = audio[:, int(song.end * synth.SR):]
    print(f"    after {song.end} s: peak {np.abs(tail).max():.6f}")


def build_spectrogram(song, wav_path, png_path, tmp):
    from PIL import Image, ImageDraw, ImageFont

    width, height = 2000, 513
    raw = os.path.join(tmp, "spectrogram.png")
    run(["sox", wav_path, "-n", "remix", "-", "rate", "22050",
         "spectrogram", "-r", "-x", str(width), "-y", str(height), "-z", "80", "-o", raw])
    picture = Image.open(raw).convert("RGB")
    width, height = picture.size

    left, top, right, bottom = 60, 40, 20, 46
    page = Image.new("RGB", (left + width + right, top + height + bottom), (16, 16, 20))
    page.paste(picture, (left, top))
    draw = ImageDraw.Draw(page)
    font = ImageFont.load_default()

    def x_of(t):
        return left + int(round(t / song.length * width))

    for khz in range(0, 12, 2):
        y = top + height - 1 - int(khz / 11.025 * (height - 1))
        draw.line([(left - 6, y), (left, y)], fill=(200, 200, 200))
        draw.text((6, y - 6), f"{khz} kHz", fill=(200, 200, 200), font=font)
    for t in range(0, int(song.length) + 1, 10):
        x = x_of(t)
        draw.line([(x, top + height), (x, top + height + 6)], fill=(200, 200, 200))
        draw.text((x - 8, top + height + 10), f"{t}s", fill=(200, 200, 200), font=font)

    marks = [(s.start, s.name) for s in song.sections] + [(song.end, "end")]
    for t, name in marks:
        x = x_of(t)
        draw.line([(x, top - 4), (x, top + height)], fill=(255, 255, 255), width=2)
        draw.text((x + 4, top - 30), name, fill=(255, 230, 80), font=font)
        draw.text((x + 4, top - 17), f"{t:.2f}s", fill=(255, 230, 80), font=font)
    draw.text((left, top + height + 28), f"{song.title}: {song.length:.0f} s, "
              "marks at the first frame of each scene at 60 fps", fill=(160, 160, 160), font=font)
    page.save(png_path, optimize=False)


def outputs(outdir, sheetdir):
    return [os.path.join(outdir, "music", "klomp.ogg"), os.path.join(outdir, "sounds", "noise.wav"),
            os.path.join(sheetdir, "klomp-spectrogram.png")]


def build(outdir, sheetdir):
    ogg, noise, spectrogram = outputs(outdir, sheetdir)
    for d in (os.path.join(outdir, "music"), os.path.join(outdir, "sounds"), sheetdir):
        os.makedirs(d, exist_ok=True)

    began = time.time()
    song = score.read(os.path.join(HERE, "klomp.txt"))
    print(f"klomp: rendering {song.length:.1f} s")
    audio = synth.render(song)
    print(f"  rendered in {time.time() - began:.1f} s")

    with tempfile.TemporaryDirectory() as tmp:
        wav = os.path.join(tmp, "klomp.wav")
        write_wav(wav, audio)
        report(song, read_wav(wav), "master")

        # Vorbis overshoots the master's peaks a little; if the decoded song comes
        # too near -1 dBFS, turn the master down by the excess and encode again.
        decoded = os.path.join(tmp, "decoded.wav")
        for attempt in range(4):
            run(["oggenc", "-Q", "-q", str(OGG_QUALITY), "-s", str(OGG_SERIAL), "-o", ogg, wav])
            run(["oggdec", "-Q", "-o", decoded, ogg])
            check = read_wav(decoded)
            peak_db = 20 * np.log10(float(np.abs(check).max()))
            if peak_db <= OGG_PEAK_DB:
                break
            print(f"  klomp.ogg peaks at {peak_db:.2f} dBFS; turning the master down")
            audio *= 10 ** ((OGG_PEAK_DB - 0.1 - peak_db) / 20)
            write_wav(wav, audio)
        else:
            sys.exit(f"klomp.ogg still peaks at {peak_db:.2f} dBFS")
        report(song, check, "klomp.ogg decoded")

        build_spectrogram(song, wav, spectrogram, tmp)

    build_noise(noise)
    print(f"klomp: done in {time.time() - began:.1f} s")


if __name__ == "__main__":
    assetkit.main(outputs, build)
