#!/usr/bin/env python3
"""Draws Ostrel Web's pictures: the header's button glyphs, the logo and the application icon.

Everything lands in src/ui/assets/ together with assets.qrc, which lists it under :/assets.
The output is deterministic, so regenerating without changing this file leaves git clean.

    python3 tools/assets/make_assets.py [--sheet /tmp/ostrel-assets.png]

The glyphs are written by hand rather than with Pillow's BMP writer because the header wants
4-bit palettes, which Pillow cannot write, and because the exact header layout matters to the
program. After writing, every file is read back and checked; any mismatch stops with an error.
"""

import argparse
import os
import struct
import sys
from io import BytesIO
from pathlib import Path

try:
    from PIL import Image, ImageDraw, ImageFont
except ImportError:
    # A pyenv or virtualenv python3 can shadow Debian's, which is the one with python3-pil.
    _system = "/usr/bin/python3"
    if (os.path.exists(_system)
            and os.path.realpath(sys.executable) != os.path.realpath(_system)
            and not os.environ.get("OSTREL_ASSETS_REEXEC")):
        os.environ["OSTREL_ASSETS_REEXEC"] = "1"
        os.execv(_system, [_system] + sys.argv)
    sys.exit("make_assets.py needs Pillow: apt-get install -y python3-pil")


REPO = Path(__file__).resolve().parents[2]
OUT = REPO / "src" / "ui" / "assets"
FONT_DIR = Path("/usr/share/fonts/truetype/dejavu")

HEADER_BLUE = (44, 106, 149)   # the header strip the glyphs and the logo sit on
KEY = (255, 0, 255)            # glyph ground that the header leaves undrawn
WHITE = (255, 255, 255)
SS = 8                         # supersampling factor for the pictograms

# Pixels whose tile coverage is below this become the key colour. Above it they are blended
# with the header's own blue, so a tile's rounded edge is smooth once the key is dropped.
KEY_COVERAGE = 0.30

LARGE_BLUES = {
    "home": (26, 78, 122),
    "ows": (36, 96, 150),
    "formulieren": (22, 66, 108),
    "bestanden": (48, 118, 168),
    "ostrelweb": (30, 88, 136),
    "downloads": (58, 128, 178),
}
SMALL_BLUES = {
    "pim": (24, 72, 116),
    "helpdesk": (18, 80, 132),
    "portaal": (28, 82, 130),
    "intranet": (52, 122, 172),
    "calculator": (34, 90, 140),
    "polisvoorwaarden": (20, 64, 104),
    "teamviewer": (30, 100, 170),
}

ICO_SIZES = [128, 64, 48, 32, 24, 16]
PNG_SIZES = [16, 24, 32, 48, 64, 128, 256]
LOGO_SIZE = (200, 82)
EMBLEM_BLUE = (28, 84, 132)


# --------------------------------------------------------------------------------------------
# Drawing in pixel units on a supersampled canvas

def mix(a, b, t):
    """a blended towards b by t (0 gives a, 1 gives b)."""
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


class Glyph:
    """A tile of one blue with a pictogram on it, drawn in the glyph's own pixel units.

    Coordinates are pixel edges: rect(2, 3, 4, 5) covers exactly the pixels x 2..3, y 3..4,
    which keeps 1 and 2 px strokes sharp after downsampling.
    """

    def __init__(self, width, height, tile, box=None, radius=5.0, scale=1):
        # scale 2 draws the same design on twice as many pixels, for screens scaled above 100 %.
        self.w, self.h, self.tile = width * scale, height * scale, tile
        self.s = SS * scale         # canvas pixels per design pixel
        self.img = Image.new("RGB", (self.w * SS, self.h * SS), HEADER_BLUE)
        self.mask = Image.new("L", (self.w * SS, self.h * SS), 0)
        self.d = ImageDraw.Draw(self.img)
        box = box or (0, 0, width, height)
        ImageDraw.Draw(self.mask).rounded_rectangle(self._box(box), radius * self.s, fill=255)
        self.d.rounded_rectangle(self._box(box), radius * self.s, fill=tile)

    def _box(self, b):
        x0, y0, x1, y1 = b
        s = self.s
        return [round(x0 * s), round(y0 * s), round(x1 * s) - 1, round(y1 * s) - 1]

    def _pts(self, points):
        return [(x * self.s, y * self.s) for x, y in points]

    def rect(self, x0, y0, x1, y1, colour=WHITE):
        self.d.rectangle(self._box((x0, y0, x1, y1)), fill=colour)

    def frame(self, x0, y0, x1, y1, width, colour=WHITE):
        """Outline of a box, the stroke lying inside it."""
        self.rect(x0, y0, x1, y0 + width, colour)
        self.rect(x0, y1 - width, x1, y1, colour)
        self.rect(x0, y0, x0 + width, y1, colour)
        self.rect(x1 - width, y0, x1, y1, colour)

    def rrect(self, x0, y0, x1, y1, radius, colour=WHITE, width=None):
        if width is None:
            self.d.rounded_rectangle(self._box((x0, y0, x1, y1)), radius * self.s, fill=colour)
        else:
            self.d.rounded_rectangle(self._box((x0, y0, x1, y1)), radius * self.s, outline=colour,
                                     width=round(width * self.s))

    def poly(self, points, colour=WHITE):
        self.d.polygon(self._pts(points), fill=colour)

    def line(self, points, width, colour=WHITE, round_ends=False):
        w = round(width * self.s)
        self.d.line(self._pts(points), fill=colour, width=w, joint="curve")
        if round_ends:
            for x, y in (points[0], points[-1]):
                self.disc(x, y, width / 2, colour)

    def disc(self, cx, cy, r, colour=WHITE):
        s = self.s
        self.d.ellipse([(cx - r) * s, (cy - r) * s, (cx + r) * s - 1, (cy + r) * s - 1], fill=colour)

    def ring(self, cx, cy, r, width, colour=WHITE):
        s = self.s
        self.d.ellipse([(cx - r) * s, (cy - r) * s, (cx + r) * s - 1, (cy + r) * s - 1],
                       outline=colour, width=round(width * s))

    def arc(self, cx, cy, r, start, end, width, colour=WHITE):
        """Arc of outer radius r; angles in degrees clockwise from three o'clock."""
        s = self.s
        self.d.arc([(cx - r) * s, (cy - r) * s, (cx + r) * s - 1, (cy + r) * s - 1],
                   start, end, fill=colour, width=round(width * s))

    def render(self):
        """The glyph at its real size, with the key colour wherever the tile is (nearly) absent."""
        small = self.img.resize((self.w, self.h), Image.Resampling.BOX)
        cover = self.mask.resize((self.w, self.h), Image.Resampling.BOX)
        px, cv = small.load(), cover.load()
        for y in range(self.h):
            for x in range(self.w):
                if cv[x, y] < KEY_COVERAGE * 255:
                    px[x, y] = KEY
        return small


def quantise16(img, tile):
    """Maps an RGB glyph onto a 16-colour palette of its own: the key, the tile blue, white,
    two steps from the tile to the header blue for the rounded edge, and the rest a ramp from
    the tile to white for the pictogram's smoothing. Only real key pixels get the key index."""
    palette = [KEY, tile, WHITE, mix(tile, HEADER_BLUE, 1 / 3), mix(tile, HEADER_BLUE, 2 / 3)]
    steps = 16 - len(palette)
    palette += [mix(tile, WHITE, i / (steps + 1)) for i in range(1, steps + 1)]
    assert len(palette) == 16 and KEY not in palette[1:]
    out = img.copy()
    px = out.load()
    for y in range(img.height):
        for x in range(img.width):
            c = px[x, y]
            if c == KEY:
                continue
            px[x, y] = min(palette[1:], key=lambda p: sum((a - b) ** 2 for a, b in zip(p, c)))
    return out, palette


# --------------------------------------------------------------------------------------------
# The six large glyphs, 32 x 32 on a 30 px tile with a 1 px margin

def large(name, scale):
    return Glyph(32, 32, LARGE_BLUES[name], box=(1, 1, 31, 31), radius=6, scale=scale)


def draw_home(scale):
    g = large("home", scale)
    g.rect(20, 7, 23, 13)                                 # chimney, under the roof line
    g.line([(5.5, 17), (16, 6.5), (26.5, 17)], 2.6)       # roof
    g.rect(9, 15, 11, 26)                                 # walls and floor
    g.rect(21, 15, 23, 26)
    g.rect(9, 24, 23, 26)
    g.rect(14, 18, 18, 26)                                # door
    return g


def draw_ows(scale):
    g = large("ows", scale)
    cx, cy = 16, 25
    g.disc(cx, cy, 2.3)
    for r in (8, 13, 18):
        g.arc(cx, cy, r, 225, 315, 2.4)
    return g


def draw_formulieren(scale):
    g = large("formulieren", scale)
    pages = [(14, 4, 27, 21), (11, 7, 24, 24), (7, 11, 20, 28)]
    for i, (x0, y0, x1, y1) in enumerate(pages):
        if i:
            # A strip of the tile around each page parts it from the one behind.
            g.rect(x0 - 1.5, y0 - 1.5, x1 + 1.5, y1 + 1.5, g.tile)
        g.rect(x0, y0, x1, y1)
    x0, y0, x1, _ = pages[-1]
    for y in (14, 17, 20, 23):
        g.rect(x0 + 2, y, x1 - 2, y + 1.4, g.tile)           # the front form's rules
    return g


def draw_bestanden(scale):
    g = large("bestanden", scale)
    # The tray: a shallow box whose rim dips in the middle.
    g.line([(5.5, 18), (11, 18), (12.5, 21.5), (19.5, 21.5), (21, 18), (26.5, 18)], 2)
    g.rect(5, 17, 7, 27)
    g.rect(25, 17, 27, 27)
    g.rect(5, 25, 27, 27)
    # The arrow going up out of it.
    g.rect(15, 10, 17, 19)
    g.poly([(10.5, 12), (16, 5), (21.5, 12)])
    return g


def draw_ostrelweb(scale):
    g = large("ostrelweb", scale)
    g.frame(5, 5, 27, 27, 2)
    for x, top in ((8, 18), (14, 13), (20, 9)):
        g.rect(x, top, x + 4, 24)
    return g


def draw_downloads(scale):
    g = large("downloads", scale)
    # The cloud: a few overlapping circles on a flat base.
    g.disc(11.5, 15, 4.8)
    g.disc(17.5, 11.5, 6.2)
    g.disc(23, 15.5, 4.3)
    g.rrect(7, 13, 27, 20.5, 3.5)
    # The arrow, set off from the cloud by a border of the tile.
    g.rect(13.5, 11.5, 18.5, 23, g.tile)
    g.poly([(9, 20.5), (23, 20.5), (16, 28.5)], g.tile)
    g.rect(15, 13, 17, 23)
    g.poly([(11.5, 22), (20.5, 22), (16, 27)])
    return g


# --------------------------------------------------------------------------------------------
# The small glyphs, 20 x 20 (and one 16 x 20) on a full-size tile

def small(name, scale, width=20, height=20, radius=4.5):
    return Glyph(width, height, SMALL_BLUES[name], radius=radius, scale=scale)


def draw_pim(scale):
    g = small("pim", scale)
    g.rect(3, 3, 4, 17)                                   # axes
    g.rect(3, 16, 17, 17)
    g.line([(5.5, 14), (9, 9.5), (11.5, 12), (15.5, 6.5)], 1.7)
    g.poly([(12.2, 5.8), (16.8, 4.2), (16.3, 9.0)])       # arrowhead: still rising
    return g


def draw_helpdesk(scale):
    g = small("helpdesk", scale)
    g.disc(10, 11, 4.4)                                   # face
    g.arc(10, 10.5, 7, 180, 360, 1.4)                     # headband
    g.rrect(2, 8.5, 5, 14, 1.2)                           # ear cups
    g.rrect(15, 8.5, 18, 14, 1.2)
    g.line([(4, 13.5), (5.2, 16.2), (8.5, 16.7)], 1.2)    # microphone boom
    g.disc(9.2, 16.7, 1.1)
    g.rect(8, 9, 9, 10, g.tile)                           # eyes and smile
    g.rect(11, 9, 12, 10, g.tile)
    g.arc(10, 11, 2.2, 20, 160, 0.9, g.tile)
    return g


def draw_portaal(scale):
    g = small("portaal", scale)
    g.rect(10, 3, 17, 5)                                  # the box, open to the left
    g.rect(15, 3, 17, 17)
    g.rect(10, 15, 17, 17)
    g.rect(2.5, 9, 10, 11)                                # the arrow going in
    g.poly([(8, 5.5), (13, 10), (8, 14.5)])
    return g


def draw_intranet(scale):
    g = small("intranet", scale)
    g.poly([(1.8, 10.2), (10, 2.2), (18.2, 10.2)])         # roof
    g.rect(4, 9, 16, 18)                                  # body
    g.rect(9, 8, 11, 10, g.tile)                          # the letter i
    g.rect(9, 11, 11, 16, g.tile)
    g.rect(8, 11, 9, 12, g.tile)
    return g


def draw_calculator(scale):
    g = small("calculator", scale)
    g.frame(3, 1, 17, 19, 1.2)
    g.rect(6, 3.5, 14, 6.5)                               # display
    for row in range(3):
        for col in range(3):
            x, y = 6 + 3 * col, 8 + 3 * row
            g.rect(x, y, x + 2, y + 2)
    return g


def draw_polisvoorwaarden(scale):
    g = small("polisvoorwaarden", scale, 16, 20, radius=3.5)
    # A page whose top right corner is folded over, drawn pixel by pixel to stay sharp.
    g.rect(3, 2, 9, 3)
    g.rect(3, 2, 4, 18)
    g.rect(3, 17, 13, 18)
    g.rect(12, 5, 13, 18)
    for i in range(4):                                    # the folded-over flap
        g.rect(9 + i, 2 + i, 10 + i, 7)
    for y, x1 in ((10, 10), (12, 10), (14, 8)):
        g.rect(5, y, x1, y + 1)
    return g


def draw_teamviewer(scale):
    g = small("teamviewer", scale)
    g.disc(10, 10, 7.6)
    g.rect(6.5, 9, 13.5, 11, g.tile)
    g.poly([(3.5, 10), (7.8, 5.8), (7.8, 14.2)], g.tile)
    g.poly([(16.5, 10), (12.2, 5.8), (12.2, 14.2)], g.tile)
    return g


GLYPHS = [
    # name, drawing, bits per pixel
    ("home", draw_home, 4),
    ("ows", draw_ows, 4),
    ("formulieren", draw_formulieren, 4),
    ("bestanden", draw_bestanden, 4),
    ("ostrelweb", draw_ostrelweb, 4),
    ("downloads", draw_downloads, 4),
    ("pim", draw_pim, 24),
    ("helpdesk", draw_helpdesk, 24),
    ("portaal", draw_portaal, 24),
    ("intranet", draw_intranet, 24),
    ("calculator", draw_calculator, 24),
    ("polisvoorwaarden", draw_polisvoorwaarden, 24),
    ("teamviewer", draw_teamviewer, 32),
]
GLYPH_SIZES = {"polisvoorwaarden": (16, 20)}


# --------------------------------------------------------------------------------------------
# Windows bitmaps

def bmp_bytes(img, bpp, palette=None):
    """A BITMAPINFOHEADER BMP, bottom-up and uncompressed, of an RGB image."""
    w, h = img.size
    px = img.load()
    row_size = (w * bpp + 31) // 32 * 4
    rows = []
    for y in range(h - 1, -1, -1):
        if bpp == 4:
            index = {c: i for i, c in reversed(list(enumerate(palette)))}
            nibbles = [index[px[x, y]] for x in range(w)] + [0] * (w % 2)
            row = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, len(nibbles), 2))
        elif bpp == 24:
            row = b"".join(bytes((b, g, r)) for r, g, b in (px[x, y] for x in range(w)))
        elif bpp == 32:
            row = b"".join(bytes((b, g, r, 255)) for r, g, b in (px[x, y] for x in range(w)))
        else:
            raise ValueError(bpp)
        rows.append(row + b"\0" * (row_size - len(row)))
    pixels = b"".join(rows)
    colours = b"".join(bytes((b, g, r, 0)) for r, g, b in palette) if bpp == 4 else b""
    offset = 14 + 40 + len(colours)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, bpp, 0, len(pixels), 2835, 2835,
                       16 if bpp == 4 else 0, 0)
    return file_header + info + colours + pixels


def read_bmp(data):
    """Parses what bmp_bytes writes: the header fields and the pixels, top row first."""
    magic, size, _, _, offset = struct.unpack_from("<2sIHHI", data, 0)
    (hsize, w, h, planes, bpp, comp, isize, _, _, used, _) = struct.unpack_from(
        "<IiiHHIIiiII", data, 14)
    check(magic == b"BM" and size == len(data), "BMP file header")
    check(hsize == 40 and planes == 1, "BITMAPINFOHEADER")
    check(h > 0, "bottom-up rows")
    palette = []
    if bpp == 4:
        for i in range(used or 16):
            b, g, r, _ = data[54 + 4 * i: 58 + 4 * i]
            palette.append((r, g, b))
    row_size = (w * bpp + 31) // 32 * 4
    check(offset + row_size * h == len(data), "BMP pixel array size")
    rows, alphas = [], []
    for y in range(h - 1, -1, -1):
        r0 = offset + row_size * y
        row = []
        for x in range(w):
            if bpp == 4:
                byte = data[r0 + x // 2]
                row.append(palette[(byte >> 4) if x % 2 == 0 else (byte & 15)])
            else:
                step = bpp // 8
                b, g, r = data[r0 + x * step: r0 + x * step + 3]
                row.append((r, g, b))
                if bpp == 32:
                    alphas.append(data[r0 + x * step + 3])
        rows.append(row)
    return dict(width=w, height=h, bpp=bpp, compression=comp, clr_used=used,
                rows=rows, alphas=alphas, image_size=isize)


# --------------------------------------------------------------------------------------------
# The emblem: a kestrel hovering inside an "O"

# Right half of the bird seen from below, head up, in units of the emblem's radius.
BIRD_RIGHT = [
    (0.00, -0.52), (0.05, -0.50), (0.075, -0.42),                        # head
    (0.20, -0.37), (0.40, -0.36), (0.62, -0.29), (0.80, -0.16), (0.93, 0.02),  # leading edge
    (0.70, -0.08), (0.48, -0.06), (0.26, -0.01), (0.11, 0.02),           # trailing edge
    (0.085, 0.20), (0.17, 0.50), (0.10, 0.56), (0.00, 0.57),             # body and tail
]
BIRD = BIRD_RIGHT + [(-x, y) for x, y in reversed(BIRD_RIGHT[1:-1])]


def draw_emblem(d, cx, cy, r, colour, ring=True):
    """The emblem centred on (cx, cy) with outer radius r, on an already drawn ground."""
    if ring:
        d.ellipse([cx - r, cy - r, cx + r, cy + r], outline=colour, width=max(1, round(r * 0.17)))
        scale = r * 0.84             # wingtips clear of the ring's inner edge
    else:
        scale = r * 1.25
    d.polygon([(cx + x * scale, cy + y * scale + 0.02 * scale) for x, y in BIRD], fill=colour)


def font(name, size):
    path = FONT_DIR / name
    if not path.exists():
        sys.exit(f"missing {path}: apt-get install -y fonts-dejavu-core")
    return ImageFont.truetype(str(path), size)


def make_logo(scale=1):
    s = 4 * scale
    w, h = LOGO_SIZE
    img = Image.new("RGB", (w * s, h * s), HEADER_BLUE)
    d = ImageDraw.Draw(img)
    # The card stays inside what the header shows of the logo: rows 11..70, columns 0..196.
    d.rounded_rectangle([2 * s, 14 * s, 195 * s - 1, 69 * s - 1], 9 * s, fill=(250, 252, 254))
    draw_emblem(d, 31 * s, 41.5 * s, 22 * s, EMBLEM_BLUE)
    d.text((62 * s, 39 * s), "Ostrel", font=font("DejaVuSans-Bold.ttf", 31 * s),
           fill=(22, 62, 102), anchor="ls")
    d.text((63 * s, 55 * s), "verzekeringen", font=font("DejaVuSans.ttf", 12 * s),
           fill=(84, 118, 150), anchor="ls")
    return img.resize((w * scale, h * scale), Image.Resampling.LANCZOS)


def make_icon(n):
    """The emblem in white on a blue rounded square, as an RGBA image of n x n."""
    s = max(4, 1024 // n)
    big = n * s
    img = Image.new("RGBA", (big, big), EMBLEM_BLUE + (0,))
    d = ImageDraw.Draw(img)
    inset = 0 if n <= 24 else big / 32
    d.rounded_rectangle([inset, inset, big - inset - 1, big - inset - 1], big * 0.2,
                        fill=EMBLEM_BLUE + (255,))
    # Below 32 px the ring would eat the bird, so the small sizes show the bird alone.
    draw_emblem(d, big / 2, big / 2, big * (0.37 if n >= 32 else 0.42), WHITE + (255,),
                ring=n >= 32)
    return img.resize((n, n), Image.Resampling.BOX)


# --------------------------------------------------------------------------------------------
# Checks

def check(condition, what):
    if not condition:
        raise SystemExit(f"make_assets.py: self-check failed: {what}")


def check_glyph(path, width, height, bpp):
    info = read_bmp(path.read_bytes())
    name = path.name
    check((info["width"], info["height"]) == (width, height), f"{name} is {width}x{height}")
    check(info["bpp"] == bpp, f"{name} has {bpp} bits per pixel")
    check(info["compression"] == 0, f"{name} is uncompressed (BI_RGB)")
    check(info["clr_used"] == (16 if bpp == 4 else 0), f"{name} biClrUsed")
    if bpp == 32:
        check(set(info["alphas"]) == {255}, f"{name} is opaque")
    rows = info["rows"]
    key = rows[-1][0]
    pixels = [c for row in rows for c in row]
    keyed = sum(1 for c in pixels if c == key)
    check(key == KEY, f"{name}'s bottom-left pixel is the key colour")
    check(0 < keyed < len(pixels) // 4, f"{name}'s key covers some pixels but not the glyph")
    check(rows[height // 2][width // 2] != key, f"{name}'s middle is not the key colour")
    check(sum(1 for c in pixels if c == WHITE) >= 8, f"{name} has a white pictogram")
    ref = Image.open(path).convert("RGB")
    check(list(ref.getdata()) == pixels, f"{name} reads the same in Pillow")
    return rows


def jpeg_segments(data):
    check(data[:2] == b"\xff\xd8", "JPEG starts with SOI")
    i = 2
    while i < len(data):
        check(data[i] == 0xFF, "JPEG marker")
        marker = data[i + 1]
        if marker == 0xDA:           # start of scan: the entropy-coded data follows
            yield marker, b""
            return
        length = struct.unpack(">H", data[i + 2:i + 4])[0]
        yield marker, data[i + 4:i + 2 + length]
        i += 2 + length


def check_logo(path, scale=1):
    segments = list(jpeg_segments(path.read_bytes()))
    markers = [m for m, _ in segments]
    check(0xC0 in markers, "logo.jpg is baseline (SOF0)")
    check(not any(m in markers for m in (0xC1, 0xC2, 0xC3, 0xC5, 0xC6, 0xC7, 0xC9, 0xCA,
                                         0xCB, 0xCD, 0xCE, 0xCF)), "logo.jpg has no other SOF")
    sof = dict(segments)[0xC0]
    precision, height, width, ncomp = struct.unpack(">BHHB", sof[:6])
    check((width, height) == (LOGO_SIZE[0] * scale, LOGO_SIZE[1] * scale) and precision == 8,
          f"{path.name} is {scale} x 200x82, 8 bit")
    check(ncomp == 3, "logo.jpg has three components")
    for c in range(3):
        check(sof[6 + 3 * c + 1] == 0x11, f"logo.jpg component {c + 1} is sampled 1x1")
    check(Image.open(path).mode == "RGB", "logo.jpg decodes as colour")


def check_ico(path):
    data = path.read_bytes()
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    check(reserved == 0 and kind == 1, "ostrel-web.ico has an icon directory")
    check(count == len(ICO_SIZES), f"ostrel-web.ico holds {len(ICO_SIZES)} images")
    found = []
    for i in range(count):
        w, h, _, _, _, bits, length, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        w, h = w or 256, h or 256
        check(w == h and bits == 32, f"ostrel-web.ico entry {i} is square at 32 bpp")
        blob = data[offset:offset + length]
        check(len(blob) == length, f"ostrel-web.ico entry {i} lies inside the file")
        if blob[:8] == b"\x89PNG\r\n\x1a\n":
            pw, ph, depth, colour_type = struct.unpack(">IIBB", blob[16:26])
            check((pw, ph, depth, colour_type) == (w, h, 8, 6),
                  f"ostrel-web.ico entry {i} is an 8-bit RGBA PNG of its size")
        else:
            _, bw, bh, _, bbits = struct.unpack_from("<IiiHH", blob, 0)
            check((bw, bh, bbits) == (w, 2 * h, 32), f"ostrel-web.ico entry {i} DIB")
        found.append(w)
    check(sorted(found) == sorted(ICO_SIZES), f"ostrel-web.ico sizes {sorted(found)}")


def self_check(written):
    for name, _, bpp in GLYPHS:
        w, h = GLYPH_SIZES.get(name, (32, 32) if bpp == 4 else (20, 20))
        check_glyph(OUT / f"{name}.bmp", w, h, bpp)
        check_glyph(OUT / f"{name}@2x.bmp", 2 * w, 2 * h, bpp)
    rows = [read_bmp((OUT / f"{name}.bmp").read_bytes())["rows"] for name, _, _ in GLYPHS]
    check(len({repr(r) for r in rows}) == len(rows), "no two glyphs alike")
    check_logo(OUT / "logo.jpg")
    check_logo(OUT / "logo@2x.jpg", 2)
    check_ico(OUT / "ostrel-web.ico")
    for n in PNG_SIZES:
        im = Image.open(OUT / png_path(n))
        check(im.size == (n, n) and im.mode == "RGBA", f"{n}px PNG icon")
    qrc = (OUT / "assets.qrc").read_text()
    for rel in written:
        if rel != "assets.qrc":
            check(f"<file>{rel}</file>" in qrc, f"assets.qrc lists {rel}")


# --------------------------------------------------------------------------------------------

def png_path(n):
    return f"icons/hicolor/{n}x{n}/apps/ostrel-web.png"


def write(rel, data, written):
    path = OUT / rel
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(data)
    written.append(rel)


def encoded(img, fmt, **options):
    buf = BytesIO()
    img.save(buf, fmt, **options)
    return buf.getvalue()


def contact_sheet(path, glyphs, logo, icons):
    zoom = 4
    pad = 12
    label = font("DejaVuSans.ttf", 11)
    cell = 32 * zoom + 3 * pad
    cols = 5
    rows_n = (len(glyphs) + cols - 1) // cols
    width = max(cols * cell + pad, 2 * LOGO_SIZE[0] + 3 * pad + LOGO_SIZE[0] * 2)
    height = pad + rows_n * (cell + 14) + 2 * LOGO_SIZE[1] + 3 * pad + 256 + 3 * pad
    sheet = Image.new("RGB", (width, height), HEADER_BLUE)
    d = ImageDraw.Draw(sheet)
    for i, (name, img) in enumerate(glyphs):
        key = img.getpixel((0, img.height - 1))
        big = img.resize((img.width * zoom, img.height * zoom), Image.Resampling.NEAREST)
        mask = Image.new("L", big.size, 0)
        mask.putdata([0 if c == key else 255 for c in big.getdata()])
        x = pad + (i % cols) * cell
        y = pad + (i // cols) * (cell + 14)
        sheet.paste(big, (x, y), mask)
        d.text((x, y + 32 * zoom + 1), f"{name} ({img.width}x{img.height})", font=label,
               fill=WHITE)
    y = pad + rows_n * (cell + 14)
    sheet.paste(logo, (pad, y))
    # As the header shows it: top 11 rows and right 3 columns cut, bottom 11 rows covered.
    shown = logo.crop((0, 11, LOGO_SIZE[0] - 3, LOGO_SIZE[1] - 11))
    sheet.paste(shown, (2 * pad + LOGO_SIZE[0], y + 11))
    sheet.paste(logo.resize((LOGO_SIZE[0] * 2, LOGO_SIZE[1] * 2), Image.Resampling.NEAREST),
                (3 * pad + 2 * LOGO_SIZE[0], y))
    y += 2 * LOGO_SIZE[1] + 2 * pad
    x = pad
    for icon in icons:
        sheet.paste(icon, (x, y), icon)
        x += icon.width + pad
    sheet.save(path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sheet", help="also write a contact sheet PNG here, for a look")
    args = parser.parse_args()

    OUT.mkdir(parents=True, exist_ok=True)
    written = []
    shown = []
    # Each picture of the header also comes at twice its size, "@2x", drawn afresh for screens
    # scaled above 100 %; Qt reads the factor from the name.
    for name, draw, bpp in GLYPHS:
        for scale, suffix in ((1, ""), (2, "@2x")):
            g = draw(scale)
            img = g.render()
            palette = None
            if bpp == 4:
                img, palette = quantise16(img, g.tile)
            write(f"{name}{suffix}.bmp", bmp_bytes(img, bpp, palette), written)
            if scale == 1:
                shown.append((name, img))

    logos = {1: make_logo(1), 2: make_logo(2)}
    for scale, suffix in ((1, ""), (2, "@2x")):
        write(f"logo{suffix}.jpg", encoded(logos[scale], "JPEG", quality=90, subsampling=0,
                                           progressive=False, optimize=False), written)

    icons = {n: make_icon(n) for n in sorted(set(ICO_SIZES + PNG_SIZES), reverse=True)}
    first, *rest = [icons[n] for n in ICO_SIZES]
    write("ostrel-web.ico", encoded(first, "ICO", sizes=[(n, n) for n in ICO_SIZES],
                                    append_images=rest), written)
    for n in PNG_SIZES:
        write(png_path(n), encoded(icons[n], "PNG", optimize=False), written)

    lines = ['<!DOCTYPE RCC>', '<RCC version="1.0">', '    <qresource prefix="/assets">']
    lines += [f"        <file>{rel}</file>" for rel in written]
    lines += ["    </qresource>", "</RCC>", ""]
    write("assets.qrc", "\n".join(lines).encode(), written)

    self_check(written)
    for rel in written:
        print(f"{(OUT / rel).stat().st_size:7d}  {(OUT / rel).relative_to(REPO)}")
    if args.sheet:
        contact_sheet(args.sheet, shown, logos[1], [icons[n] for n in sorted(icons, reverse=True)])
        print(f"contact sheet: {args.sheet}")


if __name__ == "__main__":
    main()
