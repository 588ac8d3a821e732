"""What the generator groups share: their command line, SVG rendering through rsvg-convert,
the outline inks, and the contact sheets drawn for people to look at.

Every group's build.py takes the same command line (see main()), so the build can ask a
group which files it writes before it runs it."""
import io
import os
import subprocess
import sys
import tempfile

from PIL import Image, ImageDraw, ImageFont

FONT_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"

# The dark outline colour of the drawings, in two shades one step apart in green: the scenery
# (backgrounds, the intro's drawings, the record labels) is outlined in SCENERY_INK, the figures
# (title words, objects, the walker, the effect sprites) in FIGURE_INK. Side by side they look
# the same; each group keeps its own so that its pictures keep their bytes.
SCENERY_INK = "#1b1320"
FIGURE_INK = "#1b1420"


def main(outputs, build):
    """The command line of a group's build.py.

        build.py OUTDIR SHEETDIR            generate the group's files
        build.py --outputs OUTDIR SHEETDIR  list them, one path a line, and write nothing

    outputs(outdir, sheetdir) returns the paths of every file the group writes;
    build(outdir, sheetdir) writes them. A file on the list that the build did not leave
    behind is an error."""
    args = sys.argv[1:]
    listing = args[:1] == ["--outputs"]
    if listing:
        args = args[1:]
    if len(args) != 2:
        sys.exit("usage: build.py [--outputs] OUTDIR SHEETDIR")
    outdir, sheetdir = args
    files = outputs(outdir, sheetdir)
    if listing:
        print("\n".join(files))
        return
    build(outdir, sheetdir)
    missing = [f for f in files if not os.path.isfile(f)]
    if missing:
        sys.exit("not written: " + ", ".join(missing))


def picture_outputs(outdir, sheetdir, keys, sheet_name):
    """The files of a picture group: OUTDIR/gfx/<key>.png for every key, and its contact sheet."""
    return [os.path.join(outdir, "gfx", key + ".png") for key in keys] + \
        [os.path.join(sheetdir, sheet_name)]


def make_picture_folders(outdir, sheetdir):
    """Makes OUTDIR/gfx and SHEETDIR where they are missing; returns OUTDIR/gfx."""
    gfx = os.path.join(outdir, "gfx")
    os.makedirs(gfx, exist_ok=True)
    os.makedirs(sheetdir, exist_ok=True)
    return gfx


def rsvg_convert(svg_path, *options):
    """The SVG file rendered by rsvg-convert with the given options, as a PIL RGBA image."""
    png = subprocess.run(["rsvg-convert", *options, svg_path], check=True,
                         stdout=subprocess.PIPE).stdout
    return Image.open(io.BytesIO(png)).convert("RGBA")


def render_svg(svg_text, width, height):
    """SVG source text rendered to a PIL RGBA image of exactly width x height."""
    with tempfile.TemporaryDirectory(prefix="klomp-svg-") as tmp:
        path = os.path.join(tmp, "picture.svg")
        with open(path, "w", encoding="utf-8") as f:
            f.write(svg_text)
        img = rsvg_convert(path, "-w", str(width), "-h", str(height))
    if img.size != (width, height):
        raise RuntimeError(f"rendered {img.size}, wanted {(width, height)}")
    return img


def checkerboard(w, h, cell=12):
    """A light grey checkerboard (RGBA) for transparency to show against."""
    board = Image.new("RGB", (w, h), (205, 205, 210))
    d = ImageDraw.Draw(board)
    for y in range(0, h, cell):
        for x in range((y // cell) % 2 * cell, w, 2 * cell):
            d.rectangle([x, y, x + cell - 1, y + cell - 1], fill=(240, 240, 244))
    return board.convert("RGBA")


def contact_sheet(pictures, path, columns, cell_w, cell_h):
    """A sheet of (key, PIL image) pairs: each picture scaled to fit its cell (enlarged 3x at
    the most) on a checkerboard, with its key and size under it."""
    label_h, pad = 22, 8
    rows = (len(pictures) + columns - 1) // columns
    sheet = Image.new("RGB", (columns * cell_w, rows * (cell_h + label_h)), (40, 38, 46))
    font = ImageFont.truetype(FONT_BOLD, 13)
    d = ImageDraw.Draw(sheet)
    for n, (key, img) in enumerate(pictures):
        cx, cy = (n % columns) * cell_w, (n // columns) * (cell_h + label_h)
        k = min((cell_w - 2 * pad) / img.width, (cell_h - 2 * pad) / img.height, 3.0)
        tw, th = max(1, round(img.width * k)), max(1, round(img.height * k))
        board = checkerboard(tw, th)
        board.alpha_composite(img.convert("RGBA").resize((tw, th), Image.LANCZOS))
        sheet.paste(board.convert("RGB"), (cx + (cell_w - tw) // 2, cy + (cell_h - th) // 2))
        label = f"{key}  {img.width}x{img.height}"
        tl = d.textlength(label, font=font)
        d.text((cx + (cell_w - tl) / 2, cy + cell_h + 3), label, fill=(235, 235, 240), font=font)
    sheet.save(path, format="PNG", optimize=False, compress_level=9)
