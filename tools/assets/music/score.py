"""Reads the song's score (klomp.txt) into plain Python objects.

The format is described at the top of klomp.txt. Everything here is checked
strictly: a bar that does not add up or an unknown name stops the build with the
file's line number, rather than playing something wrong.
"""

import re
from dataclasses import dataclass, field

STEPS = 16  # sixteenth notes to a bar

NOTE_CLASSES = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}

CHORD_SHAPES = {
    "": (0, 4, 7),
    "m": (0, 3, 7),
    "7": (0, 4, 7, 10),
    "m7": (0, 3, 7, 10),
    "maj7": (0, 4, 7, 11),
    "9": (0, 4, 7, 10, 14),
    "m9": (0, 3, 7, 10, 14),
    "sus2": (0, 2, 7),
    "sus4": (0, 5, 7),
    "add9": (0, 4, 7, 14),
    "7#9": (0, 4, 7, 10, 15),
}

INSTRUMENTS = {
    "pad", "bass", "arp", "lead", "stab",          # pitched, follow the chords
    "kick", "snare", "clap", "hat", "ohat", "ride", "tom", "scratch",  # drum patterns
    "impact", "riser", "static",                   # one-off effects
}


class ScoreError(Exception):
    pass


@dataclass
class Chord:
    name: str
    root: int            # pitch class 0..11
    shape: tuple         # intervals above the root


@dataclass
class Part:
    instrument: str
    patterns: list
    first_bar: int       # 0-based, inclusive
    last_bar: int        # 0-based, inclusive
    params: dict
    line: int


@dataclass
class Section:
    name: str
    start: float
    bars: int
    transpose: int = 0
    swing: float = 0.0
    gain: float = 0.0    # level of the whole section, dB
    parts: list = field(default_factory=list)
    end: float = 0.0     # start of the next section (or the song's end)
    line: int = 0

    @property
    def step_seconds(self):
        return (self.end - self.start) / (self.bars * STEPS)

    @property
    def bpm(self):
        return 60.0 / (self.step_seconds * 4)

    def step_time(self, bar, step):
        """Seconds from the song's start of a step (bar 0-based, step may be fractional)."""
        pos = bar * STEPS + step
        if self.swing and int(step) % 2 == 1 and step == int(step):
            pos += self.swing
        return self.start + pos * self.step_seconds


@dataclass
class Score:
    title: str = ""
    tempo: float = 130.0
    end: float = 0.0
    length: float = 0.0
    progs: dict = field(default_factory=dict)
    drums: dict = field(default_factory=dict)
    basslines: dict = field(default_factory=dict)
    arps: dict = field(default_factory=dict)
    melodies: dict = field(default_factory=dict)
    sections: list = field(default_factory=list)


def note_number(text, line):
    """'A4' -> 69, 'C#5' -> 73, 'Bb3' -> 58."""
    m = re.fullmatch(r"([A-G])([#b]?)(-?\d)", text)
    if not m:
        raise ScoreError(f"line {line}: bad note '{text}'")
    pc = NOTE_CLASSES[m.group(1)] + {"": 0, "#": 1, "b": -1}[m.group(2)]
    return (int(m.group(3)) + 1) * 12 + pc


def parse_chord(text, line):
    m = re.fullmatch(r"([A-G])([#b]?)(.*)", text)
    if not m or m.group(3) not in CHORD_SHAPES:
        raise ScoreError(f"line {line}: bad chord '{text}'")
    root = (NOTE_CLASSES[m.group(1)] + {"": 0, "#": 1, "b": -1}[m.group(2)]) % 12
    return Chord(text, root, CHORD_SHAPES[m.group(3)])


def split_bars(tokens, line, what):
    """Joins tokens and splits them at '|' into bars."""
    text = " ".join(tokens)
    return [b.split() for b in text.split("|")]


def parse_steps(tokens, line, name, alphabet):
    bars = []
    for bar in split_bars(tokens, line, name):
        s = "".join(bar)
        if len(s) != STEPS:
            raise ScoreError(f"line {line}: pattern '{name}' has a bar of {len(s)} steps")
        bad = set(s) - set(alphabet)
        if bad:
            raise ScoreError(f"line {line}: pattern '{name}' uses {''.join(sorted(bad))}")
        bars.append(s)
    return bars


def parse_melody(tokens, line, name):
    """Returns a list of bars, each a list of (step, length, note or None)."""
    bars = []
    for bar in split_bars(tokens, line, name):
        pos, notes = 0, []
        for tok in bar:
            m = re.fullmatch(r"([^/]+)/(\d+)", tok)
            if not m:
                raise ScoreError(f"line {line}: bad melody note '{tok}' in '{name}'")
            length = int(m.group(2))
            note = None if m.group(1) == "r" else note_number(m.group(1), line)
            notes.append((pos, length, note))
            pos += length
        if pos != STEPS:
            raise ScoreError(f"line {line}: melody '{name}' has a bar of {pos} steps")
        bars.append(notes)
    return bars


def parse_value(text):
    if ".." in text:
        a, b = text.split("..")
        return (float(a), float(b))
    try:
        return float(text)
    except ValueError:
        return text


def parse_part(tokens, line, section):
    inst = tokens[0]
    if inst not in INSTRUMENTS:
        raise ScoreError(f"line {line}: unknown instrument '{inst}'")
    patterns, params = [], {}
    first, last = 0, section.bars - 1
    i = 1
    while i < len(tokens):
        tok = tokens[i]
        if tok in ("bars", "bar"):
            rng = tokens[i + 1].split("-")
            first = int(rng[0]) - 1
            last = int(rng[-1]) - 1
            i += 2
            continue
        if "=" in tok:
            k, v = tok.split("=", 1)
            params[k] = parse_value(v)
        else:
            patterns.append(tok)
        i += 1
    if not (0 <= first <= last < section.bars):
        raise ScoreError(f"line {line}: bars outside the section")
    return Part(inst, patterns, first, last, params, line)


def read(path):
    score = Score()
    statements = []  # (line number, tokens)
    with open(path, encoding="utf-8") as f:
        for num, raw in enumerate(f, 1):
            text = re.split(r"(?:^|\s)#", raw, maxsplit=1)[0].rstrip()  # F#, G#5 are no comments
            if not text.strip():
                continue
            if raw[0] in " \t":
                if not statements:
                    raise ScoreError(f"line {num}: continuation with nothing above it")
                statements[-1][2].append((num, text.split()))
            else:
                statements.append((num, text.split(), []))

    for num, tokens, more in statements:
        kind = tokens[0]
        if kind == "section":
            params = dict(t.split("=", 1) for t in tokens[2:])
            sec = Section(tokens[1], float(params["start"]), int(params["bars"]),
                          int(params.get("transpose", 0)), float(params.get("swing", 0)),
                          float(params.get("gain", 0)), line=num)
            for pnum, ptoks in more:
                sec.parts.append(parse_part(ptoks, pnum, sec))
            score.sections.append(sec)
            continue
        # every other statement may continue on the lines below it
        body = tokens[1:] + [t for _, toks in more for t in toks]
        if kind == "song":
            score.title = body[0]
        elif kind == "tempo":
            score.tempo = float(body[0])
        elif kind == "end":
            score.end = float(body[0])
        elif kind == "length":
            score.length = float(body[0])
        elif kind == "prog":
            chords = []
            for tok in body[1:]:
                name, _, bars = tok.partition(":")
                chords += [parse_chord(name, num)] * int(bars or 1)
            score.progs[body[0]] = chords
        elif kind == "drum":
            score.drums[body[0]] = parse_steps(body[1:], num, body[0], "Xxg.hmlf")
        elif kind == "bass":
            score.basslines[body[0]] = parse_steps(body[1:], num, body[0], "0135789-.")
        elif kind == "arp":
            score.arps[body[0]] = parse_steps(body[1:], num, body[0], "0123456789-.")
        elif kind == "melody":
            score.melodies[body[0]] = parse_melody(body[1:], num, body[0])
        else:
            raise ScoreError(f"line {num}: unknown statement '{kind}'")

    secs = score.sections
    if not secs or secs[0].start != 0.0:
        raise ScoreError("the first section must start at 0")
    for a, b in zip(secs, secs[1:]):
        if b.start <= a.start:
            raise ScoreError(f"line {b.line}: sections out of order")
        a.end = b.start
    secs[-1].end = score.end
    if score.length < score.end:
        raise ScoreError("the file must be at least as long as the song")

    # names used by the parts must exist
    tables = {"bass": score.basslines, "arp": score.arps, "lead": score.melodies}
    for sec in secs:
        for p in sec.parts:
            table = tables.get(p.instrument)
            if p.instrument == "pad":
                table = score.progs
            elif table is None and p.instrument not in ("impact", "riser", "static"):
                table = score.drums
            for name in p.patterns:
                if table is None or name not in table:
                    raise ScoreError(f"line {p.line}: unknown {p.instrument} pattern '{name}'")
        pads = [p for p in sec.parts if p.instrument == "pad"]
        if len(pads) != 1 or len(pads[0].patterns) != 1:
            raise ScoreError(f"line {sec.line}: a section needs one pad part naming its chords")
        chords = score.progs[pads[0].patterns[0]]
        if len(chords) not in (4, sec.bars) and sec.bars % len(chords):
            raise ScoreError(f"line {sec.line}: {len(chords)} chords do not fit {sec.bars} bars")
    return score


def chords_of(score, section):
    """The chord of every bar of a section (the pad part's progression, repeated)."""
    pad = next(p for p in section.parts if p.instrument == "pad")
    prog = score.progs[pad.patterns[0]]
    return [prog[i % len(prog)] for i in range(section.bars)]
