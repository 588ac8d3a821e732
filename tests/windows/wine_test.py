#!/usr/bin/python3
"""The Windows build (build-windows/, tools/windows/build.sh) run under Wine on a private Xvfb
server, beside the Linux build as the reference.

  show    klomp.exe opens its 1920x1080 window with the show's title, the picture moves,
          Escape held ends it with exit status 0, and standard error has no unexpected line.
  faults  a few broken-file and audio cases: klomp.exe writes exactly the lines the Linux
          program writes in the same folder, keeps running until Escape, and exits with 0.
  stills  klomp-capture.exe and the Linux klomp-capture render stills at the same show times;
          they must match pixel for pixel (both run on Mesa's llvmpipe), and their per-frame
          traces of the whole show must be the same. Then klomp-golden.exe renders the golden
          frames, which must equal the references in tests/golden/ exactly.

usage: wine_test.py MODE --source DIR --windows DIR --klomp LINUX-KLOMP --capture LINUX-CAPTURE
                       --compare LINUX-GOLDEN-COMPARE --prefix WINEPREFIX [--keep DIR]
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

TITLE = "Ain't zilchy but a (symbol) klomp"
WINE = shutil.which("wine64") or "/usr/lib/wine/wine64"
WINESERVER = shutil.which("wineserver") or "/usr/lib/wine/wineserver"

# Lines of the libraries underneath, as the Linux fault matrix allows them (SFML, Mesa), and
# ALSA's, which Wine's own audio driver writes from its Linux side when the machine has no
# sound card (the program cannot silence them: they bypass its standard error stream, and on
# Windows there is no ALSA).
LIBRARY_LINE = re.compile(
    r"ALSA lib .*"
    r"|Setting vertical sync not supported"
    r'|Failed to load image ".*"\. Reason: .*'
    r'|Failed to load font ".*" \(failed to create the font face\)'
    r'|Failed to open sound file ".*" \(.*\)'
    r'|Failed to open music file ".*" \(.*\)'
    r"|\s*")
OUR_PREFIXES = ("TextureManager: ", "SpriteManager: ", "SoundManager: ", "MusicManager: ",
                "ParticleManager: ", "ParticleSystem: ", "validateJson: ", "Config.json ",
                "config.json: ", "Unable to load fontfile ", "[json.exception.")

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL: " + message, flush=True)
    return condition


class Xvfb:
    """A private X server, 1920x1080 at depth 24, for the whole run."""

    def __enter__(self):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1920x1080x24", "-nolisten",
             "tcp", "-noreset"], pass_fds=(write_end,), stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            self.display = ":" + pipe.readline().strip()
        if self.display == ":":
            raise RuntimeError("Xvfb did not start")
        return self

    def __exit__(self, *ignored):
        self.process.terminate()
        self.process.wait()


def environment(display, prefix, changes=()):
    env = dict(os.environ)
    env.update({
        "DISPLAY": display,
        "LIBGL_ALWAYS_SOFTWARE": "1",
        "ALSOFT_DRIVERS": "null",
        "WINEPREFIX": prefix,
        "WINEDEBUG": "-all",
        # No Mono or Gecko installer dialogs while the prefix is made.
        "WINEDLLOVERRIDES": "mscoree,mshtml=",
        # Mesa's llvmpipe rasterises on the calling thread, as in the Linux program, which sets
        # this for itself: the Windows program cannot, since the variable it sets stays on the
        # Windows side of Wine, and Mesa reads the Linux environment.
        "LP_NUM_THREADS": "0",
    })
    for change in changes:
        name, equals, value = change.partition("=")
        if equals:
            env[name] = value
        else:
            env.pop(name, None)
    return env


def make_prefix(display, prefix):
    """A Wine prefix of our own, made once and kept (in the Linux build folder)."""
    if os.path.exists(os.path.join(prefix, "system.reg")):
        return
    started = time.monotonic()
    subprocess.run([WINE, "wineboot", "--init"], env=environment(display, prefix),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300, check=True)
    subprocess.run([WINESERVER, "-w"], env=environment(display, prefix), timeout=120)
    print("made the Wine prefix %s in %.1f s" % (prefix, time.monotonic() - started), flush=True)


def xdotool(display, *args):
    return subprocess.run(["xdotool", *args], env={**os.environ, "DISPLAY": display},
                          capture_output=True, text=True, timeout=30)


def find_window(display):
    """The id of the window titled TITLE, or None."""
    found = xdotool(display, "search", "--name", "klomp")
    for window in found.stdout.split():
        if xdotool(display, "getwindowname", window).stdout.rstrip("\n") == TITLE:
            return window
    return None


def window_size(display, window):
    info = subprocess.run(["xwininfo", "-id", window], env={**os.environ, "DISPLAY": display},
                          capture_output=True, text=True, timeout=30).stdout
    width = re.search(r"Width: (\d+)", info)
    height = re.search(r"Height: (\d+)", info)
    return (int(width.group(1)), int(height.group(1))) if width and height else None


def grab(display, path):
    subprocess.run(["ffmpeg", "-loglevel", "error", "-y", "-f", "x11grab", "-video_size",
                    "1920x1080", "-i", display, "-frames:v", "1", path],
                   env={**os.environ, "DISPLAY": display}, timeout=60, check=True)


def processor_seconds(pid):
    """Processor time the process has used so far (user and system, all its threads)."""
    try:
        with open("/proc/%d/stat" % pid) as stat:
            fields = stat.read().rpartition(")")[2].split()
    except OSError:
        return 0.0
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def play(command, folder, env, display, escape_after_cpu=1.5, timeout=240.0, watch=None):
    """Runs `command` in `folder` and holds Escape once it has used `escape_after_cpu` s of
    processor time since its window appeared (past loading and into the show, however busy the
    machine is), or, with `watch`, once watch(seconds since the window appeared) returns True."""
    outcome = {"exit": None, "window": None, "size": None, "early": False}
    with open(os.path.join(folder, ".stderr"), "wb") as err, \
            open(os.path.join(folder, ".stdout"), "wb") as out:
        process = subprocess.Popen(command, cwd=folder, env=env, stdout=out, stderr=err)
        launched = time.monotonic()
        appeared = None
        cpu_when_appeared = 0.0
        escaped = False
        while True:
            if process.poll() is not None:
                outcome["exit"] = process.returncode
                outcome["early"] = not escaped
                break
            if time.monotonic() - launched > timeout:
                process.kill()
                process.wait()
                break
            if appeared is None:
                window = find_window(display)
                if window:
                    appeared = time.monotonic()
                    cpu_when_appeared = processor_seconds(process.pid)
                    outcome["window"] = window
            else:
                since = time.monotonic() - appeared
                worked = processor_seconds(process.pid) - cpu_when_appeared
                done = watch(since) if watch else worked >= escape_after_cpu
                if not escaped and done:
                    # Measured now: on Windows the window is made as large as the screen
                    # allows (1065 rows under a title bar), then resized to 1920x1080.
                    outcome["size"] = window_size(display, outcome["window"])
                    escaped = xdotool(display, "keydown", "Escape").returncode == 0
            time.sleep(0.05)
        xdotool(display, "keyup", "Escape")
    with open(os.path.join(folder, ".stderr"), encoding="utf-8", errors="replace") as text:
        outcome["stderr"] = text.read().replace("\r\n", "\n")
    with open(os.path.join(folder, ".stdout"), encoding="utf-8", errors="replace") as text:
        outcome["stdout"] = text.read()
    return outcome


def build_tree(source, folder, relative, changes):
    """config.json and assets/ as links to the repository's files, except where `changes`
    names a path: there the file gets the given text, or (None) the path is left out."""
    if relative in changes:
        if changes[relative] is not None:
            with open(os.path.join(folder, relative), "w", encoding="utf-8") as out:
                out.write(changes[relative])
        return
    touched = any(path.startswith(relative + "/") for path in changes)
    if not touched or not os.path.isdir(os.path.join(source, relative)):
        os.symlink(os.path.join(source, relative), os.path.join(folder, relative))
        return
    os.makedirs(os.path.join(folder, relative))
    names = set(os.listdir(os.path.join(source, relative)))
    for name in sorted(names):
        build_tree(source, folder, relative + "/" + name, changes)


def shipped(source, relative):
    with open(os.path.join(source, relative), encoding="utf-8") as text:
        return text.read()


def our_lines(stderr):
    return [line for line in stderr.split("\n") if line.startswith(OUR_PREFIXES)]


def other_lines(stderr):
    return [line for line in stderr.split("\n")
            if not line.startswith(OUR_PREFIXES) and not LIBRARY_LINE.fullmatch(line)]


def report(name, outcome):
    print("---- %s: exit %s, window %s %s, %d bytes on stderr" % (
        name, outcome["exit"], outcome["window"], outcome["size"], len(outcome["stderr"])))
    if os.environ.get("KLOMP_SHOW_STDERR"):
        sys.stdout.write(outcome["stderr"])
    sys.stdout.flush()


def judge_run(name, outcome):
    check(outcome["window"] is not None, name + ": no window titled " + TITLE)
    check(outcome["size"] == (1920, 1080), name + ": window size %s" % (outcome["size"],))
    check(not outcome["early"], name + ": ended before Escape")
    check(outcome["exit"] == 0, name + ": exit status %s" % outcome["exit"])
    check(outcome["stdout"] == "", name + ": wrote to standard output: " + outcome["stdout"])
    for line in other_lines(outcome["stderr"]):
        check(False, name + ": unexpected line: " + line)


def run_show(args, display, prefix, work):
    from PIL import Image, ImageChops  # Debian's python3-pil
    folder = tempfile.mkdtemp(dir=work)
    build_tree(args.source, folder, "config.json", {})
    build_tree(args.source, folder, "assets", {})
    # The window opens before the assets load, and the intro fades in from black, so the
    # screen is grabbed every 2 s until a picture shows; then one more grab must differ.
    seen = {"pictures": [], "next": 0.0, "moved": False}

    def watch(since):
        if since >= 90.0 or seen["moved"]:
            return True
        if since >= seen["next"]:
            seen["next"] = since + 2.0
            path = os.path.join(folder, ".grab-%d.png" % len(seen["pictures"]))
            grab(display, path)
            picture = Image.open(path).convert("RGB")
            if seen["pictures"] or picture.getbbox() is not None:
                if seen["pictures"]:
                    seen["moved"] = ImageChops.difference(seen["pictures"][-1],
                                                          picture).getbbox() is not None
                seen["pictures"].append(picture)
        return False

    outcome = play([WINE, os.path.join(args.windows, "klomp.exe")], folder,
                   environment(display, prefix), display, watch=watch)
    report("klomp.exe, shipped files", outcome)
    judge_run("klomp.exe, shipped files", outcome)
    check(our_lines(outcome["stderr"]) == [], "shipped files: " + outcome["stderr"])
    check(seen["pictures"] != [], "the window stayed black for 90 s")
    check(seen["moved"], "the picture did not change in 2 s: the show does not play")
    if args.keep and seen["pictures"]:
        os.makedirs(args.keep, exist_ok=True)
        seen["pictures"][-1].save(os.path.join(args.keep, "wine-window.png"))


def run_faults(args, display, prefix, work):
    sprites = shipped(args.source, "assets/sprites.json")
    cut = sprites[:sprites.index('"texture": "bo') + len('"texture": "bo')]
    cases = [
        ("no config.json", {"config.json": None}, ()),
        ("sprites.json cut off", {"assets/sprites.json": cut}, ()),
        ("texture file missing", {"assets/gfx/sun.png": None}, ()),
        ("no audio backend", {}, ("ALSOFT_DRIVERS=klomp-no-such-backend",)),
        # No ALSOFT_DRIVERS: OpenAL Soft asks Wine's audio, which has no device on a machine
        # without a sound card (and Linux asks ALSA, with the same outcome).
        ("the system's audio", {}, ("ALSOFT_DRIVERS",)),
    ]
    for name, changes, env_changes in cases:
        folder = tempfile.mkdtemp(dir=work)
        for top in ("config.json", "assets"):
            build_tree(args.source, folder, top, changes)
        env = environment(display, prefix, env_changes)
        linux = play([args.klomp], folder, env, display)
        report(name + " (Linux)", linux)
        windows = play([WINE, os.path.join(args.windows, "klomp.exe")], folder, env, display)
        report(name + " (Windows)", windows)
        judge_run(name + " (Windows)", windows)
        check(linux["exit"] == 0 and not linux["early"], name + ": the Linux reference failed")
        check(our_lines(linux["stderr"]) != [], name + ": the Linux reference wrote no line")
        check(our_lines(windows["stderr"]) == our_lines(linux["stderr"]),
              name + ": lines differ\n  Linux:   %s\n  Windows: %s" % (
                  our_lines(linux["stderr"]), our_lines(windows["stderr"])))


def run_stills(args, display, prefix, work):
    from PIL import Image  # Debian's python3-pil
    import numpy
    # One still in each scene. The particles draw the show's own random sequence (glibc's
    # rand(), computed by the show), so the wall scroller's sparkles fall alike too.
    times = "8,30,60,97,140,185"
    outputs = {}
    for side, command in (("linux", [args.capture]),
                          ("windows", [WINE, os.path.join(args.windows, "klomp-capture.exe")])):
        out_dir = os.path.join(work, side)
        started = time.monotonic()
        result = subprocess.run(command + ["--stills", times, "--out-dir", out_dir, "--quiet",
                                           "--trace", os.path.join(work, side + ".tsv")],
                                cwd=args.source, env=environment(display, prefix),
                                capture_output=True, text=True, timeout=900)
        print("%s capture: exit %d in %.0f s\n%s" % (side, result.returncode,
                                                    time.monotonic() - started, result.stderr),
              flush=True)
        check(result.returncode == 0, side + " capture failed")
        outputs[side] = out_dir
    # The per-frame timeline (time, scene, step, fade) of the whole show: the same numbers
    # (Windows writes the file with CRLF line ends).
    traces = []
    for side in ("linux", "windows"):
        with open(os.path.join(work, side + ".tsv"), encoding="utf-8", newline="") as text:
            traces.append(text.read().replace("\r\n", "\n"))
    check(traces[0].count("\n") > 11000, "the Linux trace is short")
    check(traces[0] == traces[1], "the Windows trace differs from the Linux one")
    for time_text in times.split(","):
        name = "still-%08.3f.png" % float(time_text)
        paths = [os.path.join(outputs[side], name) for side in ("linux", "windows")]
        if not check(all(os.path.exists(p) for p in paths), name + " missing"):
            continue
        linux, windows = (numpy.asarray(Image.open(p).convert("RGB"), dtype=numpy.int16)
                          for p in paths)
        difference = numpy.abs(linux - windows).max(axis=2)
        differing = int(numpy.count_nonzero(difference))
        print("%s: %d pixels differ, largest difference %d" % (
            name, differing, int(difference.max())), flush=True)
        check(differing == 0, name + ": the Windows still differs from the Linux one")
        if args.keep:
            os.makedirs(args.keep, exist_ok=True)
            for side, path in zip(("linux", "windows"), paths):
                shutil.copy(path, os.path.join(args.keep, side + "-" + name))
    # The golden frames, rendered by the Windows build and compared with the references the
    # Linux build made.
    golden = os.path.join(work, "golden")
    os.makedirs(golden)
    started = time.monotonic()
    result = subprocess.run([WINE, os.path.join(args.windows, "klomp-golden.exe"), golden],
                            cwd=args.source, env=environment(display, prefix),
                            capture_output=True, text=True, timeout=900)
    print("klomp-golden.exe: exit %d in %.0f s" % (result.returncode, time.monotonic() - started),
          flush=True)
    check(result.returncode == 0, "klomp-golden.exe failed:\n" + result.stderr)
    compared = subprocess.run([args.compare, os.path.join(args.source, "tests", "golden"), golden]
                              + (["--diff-dir", args.keep] if args.keep else []),
                              capture_output=True, text=True)
    print(compared.stdout + compared.stderr, flush=True)
    check(compared.returncode == 0, "the Windows golden frames differ from the references")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("mode", choices=("show", "faults", "stills"))
    parser.add_argument("--source", required=True, help="the repository (config.json, assets/)")
    parser.add_argument("--windows", required=True, help="the Windows build folder")
    parser.add_argument("--klomp", required=True, help="the Linux program")
    parser.add_argument("--capture", required=True, help="the Linux klomp-capture")
    parser.add_argument("--compare", required=True, help="the Linux klomp-golden-compare")
    parser.add_argument("--prefix", required=True, help="the Wine prefix (made when missing)")
    parser.add_argument("--keep", help="copy the compared stills here")
    args = parser.parse_args()
    for exe in ("klomp.exe", "klomp-capture.exe", "klomp-golden.exe", "OpenAL32.dll"):
        if not os.path.exists(os.path.join(args.windows, exe)):
            print("missing %s: run tools/windows/build.sh" % os.path.join(args.windows, exe))
            return 1
    prefix = os.path.abspath(args.prefix)
    work = tempfile.mkdtemp(prefix="klomp-wine-")
    try:
        with Xvfb() as server:
            make_prefix(server.display, prefix)
            {"show": run_show, "faults": run_faults, "stills": run_stills}[args.mode](
                args, server.display, prefix, work)
            # Wine's server and its helper processes end before the X server does.
            subprocess.run([WINESERVER, "-k"], env=environment(server.display, prefix))
            subprocess.run([WINESERVER, "-w"], env=environment(server.display, prefix))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("%s: %s" % (args.mode, "%d failures" % len(failures) if failures else "all checks hold"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
