#!/usr/bin/env python3
"""Draws Marovendel's application icon and packs it into marovendel.ico.

The motif is a browser you carry with you: a blue web globe with a leather
suitcase handle on top and an orange luggage tag hanging from the handle.

Six images are drawn, each for its own size: 256, 128, 64 and 48 px come
from one scalable drawing; 32 and 16 px are laid out on the pixel grid with
fewer, thicker lines so they stay readable in a list view. The 256 px image
is stored PNG-compressed in the .ico, the others as 32-bit BGRA DIBs with an
AND mask, which is what every Windows version reads.

Shapes are signed-distance functions; each pixel is supersampled and every
sample's coverage comes from its distance to the edge, which antialiases
without a graphics library. Only the Python standard library is used.

Usage:  python3 make_icon.py [--preview-dir DIR] [--ico PATH]
By default it writes marovendel.ico next to this script and the PNG previews
(one per size, enlarged copies of the small sizes and a contact sheet on a
light and a dark background) into preview/ next to it.
"""

import argparse
import math
import os
import struct
import zlib

SIZES = (256, 128, 64, 48, 32, 16)
PNG_SIZES = (256,)  # stored PNG-compressed in the .ico


# --------------------------------------------------------------------------
# Colours
# --------------------------------------------------------------------------

def rgb(hex_colour, alpha=1.0):
    h = hex_colour.lstrip("#")
    return (int(h[0:2], 16) / 255.0, int(h[2:4], 16) / 255.0,
            int(h[4:6], 16) / 255.0, alpha)


def mix(a, b, t):
    t = min(max(t, 0.0), 1.0)
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(4))


SEA_LIGHT = rgb("#62B8FF")
SEA_DARK = rgb("#1A55B8")
RIM = rgb("#0F3676")
GRID = rgb("#E8F5FF")
LEATHER = rgb("#6A4020")
LEATHER_LIGHT = rgb("#9A6534")
LEATHER_EDGE = rgb("#3A2210")
BRASS = rgb("#F2C14E")
BRASS_DARK = rgb("#9C7220")
TAG = rgb("#FF9B21")
TAG_LIGHT = rgb("#FFC060")
TAG_EDGE = rgb("#A85A00")
STRING = rgb("#3A2210")
CORD = rgb("#EAD9AE")
SHADOW = rgb("#000000", 0.22)


# --------------------------------------------------------------------------
# Signed-distance shapes (pixel units, y grows downwards, negative inside)
# --------------------------------------------------------------------------

def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def ellipse(cx, cy, rx, ry):
    """First-order distance to an ellipse: f / |grad f|."""
    def d(x, y):
        px, py = (x - cx) / rx, (y - cy) / ry
        k0 = math.hypot(px, py)
        if k0 == 0.0:
            return -min(rx, ry)
        gx, gy = px / rx, py / ry
        k1 = math.hypot(gx, gy)
        return k0 * (k0 - 1.0) / k1
    return d


def box(cx, cy, hw, hh, radius=0.0):
    """Rounded rectangle centred on (cx, cy) with half extents hw, hh."""
    def d(x, y):
        qx = abs(x - cx) - hw + radius
        qy = abs(y - cy) - hh + radius
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        inside = min(max(qx, qy), 0.0)
        return outside + inside - radius
    return d


def rect(x0, y0, x1, y1, radius=0.0):
    return box((x0 + x1) / 2.0, (y0 + y1) / 2.0,
               (x1 - x0) / 2.0, (y1 - y0) / 2.0, radius)


def segment(ax, ay, bx, by, width):
    """A line from a to b with round caps."""
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy

    def d(x, y):
        t = ((x - ax) * dx + (y - ay) * dy) / length2 if length2 else 0.0
        t = min(max(t, 0.0), 1.0)
        return math.hypot(x - ax - t * dx, y - ay - t * dy) - width / 2.0
    return d


def polygon(points):
    """Exact distance to a simple polygon (winding-number sign)."""
    n = len(points)

    def d(x, y):
        best = float("inf")
        sign = 1.0
        j = n - 1
        for i in range(n):
            xi, yi = points[i]
            xj, yj = points[j]
            ex, ey = xj - xi, yj - yi
            wx, wy = x - xi, y - yi
            t = min(max((wx * ex + wy * ey) / (ex * ex + ey * ey), 0.0), 1.0)
            bx, by = wx - ex * t, wy - ey * t
            best = min(best, bx * bx + by * by)
            c1 = y >= yi
            c2 = y < yj
            c3 = ex * wy > ey * wx
            if (c1 and c2 and c3) or (not c1 and not c2 and not c3):
                sign = -sign
            j = i
        return sign * math.sqrt(best)
    return d


def stroke(shape, width):
    return lambda x, y: abs(shape(x, y)) - width / 2.0


def intersect(*shapes):
    return lambda x, y: max(s(x, y) for s in shapes)


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def subtract(shape, cut):
    return lambda x, y: max(shape(x, y), -cut(x, y))


def rotated(shape, cx, cy, degrees):
    """The shape turned clockwise (on screen) by degrees about (cx, cy)."""
    a = math.radians(degrees)
    ca, sa = math.cos(a), math.sin(a)

    def d(x, y):
        dx, dy = x - cx, y - cy
        return shape(cx + dx * ca + dy * sa, cy - dx * sa + dy * ca)
    return d


def rotate_point(px, py, cx, cy, degrees):
    a = math.radians(degrees)
    dx, dy = px - cx, py - cy
    return (cx + dx * math.cos(a) - dy * math.sin(a),
            cy + dx * math.sin(a) + dy * math.cos(a))


# --------------------------------------------------------------------------
# Paints
# --------------------------------------------------------------------------

def linear(x0, y0, c0, x1, y1, c1):
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy
    return lambda x, y: mix(c0, c1, ((x - x0) * dx + (y - y0) * dy) / length2)


def solid(colour):
    return lambda x, y: colour


# --------------------------------------------------------------------------
# Canvas
# --------------------------------------------------------------------------

class Canvas:
    """Premultiplied RGBA floats, row-major, top row first."""

    def __init__(self, size, samples):
        self.size = size
        self.samples = samples
        self.px = [0.0] * (size * size * 4)

    def fill(self, shape, paint, bounds=None, opacity=1.0):
        """Composites paint over the canvas where shape is negative.

        bounds = (x0, y0, x1, y1) in pixels limits the work; it must enclose
        the shape.
        """
        if isinstance(paint, tuple):
            paint = solid(paint)
        n = self.samples
        size = self.size
        if bounds is None:
            bx0, by0, bx1, by1 = 0, 0, size, size
        else:
            bx0 = max(0, int(math.floor(bounds[0])) - 1)
            by0 = max(0, int(math.floor(bounds[1])) - 1)
            bx1 = min(size, int(math.ceil(bounds[2])) + 1)
            by1 = min(size, int(math.ceil(bounds[3])) + 1)
        offsets = [(i + 0.5) / n for i in range(n)]
        weight = 1.0 / (n * n)
        px = self.px
        for py in range(by0, by1):
            for pxl in range(bx0, bx1):
                cover = 0.0
                for oy in offsets:
                    y = py + oy
                    for ox in offsets:
                        d = shape(pxl + ox, y)
                        c = 0.5 - d * n
                        if c >= 1.0:
                            cover += 1.0
                        elif c > 0.0:
                            cover += c
                cover *= weight * opacity
                if cover <= 0.0:
                    continue
                r, g, b, a = paint(pxl + 0.5, py + 0.5)
                a *= cover
                i = (py * size + pxl) * 4
                keep = 1.0 - a
                px[i] = r * a + px[i] * keep
                px[i + 1] = g * a + px[i + 1] * keep
                px[i + 2] = b * a + px[i + 2] * keep
                px[i + 3] = a + px[i + 3] * keep

    def rgba_bytes(self):
        """Straight (not premultiplied) 8-bit RGBA, top row first."""
        out = bytearray(self.size * self.size * 4)
        px = self.px
        for i in range(0, len(px), 4):
            a = px[i + 3]
            if a <= 0.0:
                continue
            a8 = int(round(min(a, 1.0) * 255))
            if a8 == 0:
                continue
            for k in range(3):
                out[i + k] = min(255, max(0, int(round(px[i + k] / a * 255))))
            out[i + 3] = a8
        return bytes(out)


# --------------------------------------------------------------------------
# The drawing
# --------------------------------------------------------------------------

def globe_layers(c, cx, cy, r, rim, grid, meridian_rx, parallels,
                 with_centre_meridian=True, shadow=0.0):
    """Sea, grid and rim of the globe. parallels are offsets from the equator."""
    bounds = (cx - r - rim, cy - r - rim, cx + r + rim, cy + r + rim)
    if shadow > 0.0:
        c.fill(circle(cx, cy + shadow, r), SHADOW,
               (bounds[0], bounds[1] + shadow, bounds[2], bounds[3] + shadow))
    c.fill(circle(cx, cy, r),
           linear(cx - 0.7 * r, cy - 0.7 * r, SEA_LIGHT,
                  cx + 0.7 * r, cy + 0.7 * r, SEA_DARK), bounds)
    inside = circle(cx, cy, r - rim)
    lines = [rect(cx - r, cy - grid / 2.0, cx + r, cy + grid / 2.0)]
    for dy in parallels:
        lines.append(rect(cx - r, cy + dy - grid / 2.0,
                          cx + r, cy + dy + grid / 2.0))
    if with_centre_meridian:
        lines.append(rect(cx - grid / 2.0, cy - r, cx + grid / 2.0, cy + r))
    if meridian_rx:
        lines.append(stroke(ellipse(cx, cy, meridian_rx, r), grid))
    c.fill(intersect(union(*lines), inside), GRID, bounds)
    # The rim lies inside the globe's edge, so the edge stays where r says.
    c.fill(stroke(circle(cx, cy, r - rim / 2.0), rim), RIM, bounds)


def draw_large(size):
    """256, 128, 64 and 48 px: one drawing on a 256-unit grid, scaled."""
    s = size / 256.0
    samples = 2 if size >= 128 else 4
    c = Canvas(size, samples)

    def u(v):
        return v * s

    def w(v, least):
        return max(v * s, least)

    # Grid lines an even number of pixels wide, centred on pixel edges, so
    # the straight ones land sharp on the pixel grid at every size.
    cx, cy, r = round(u(128)), round(u(151)), u(99)
    rim = w(7, 1.25)
    grid = max(2.0, 2.0 * round(u(7) / 2.0))
    parallel = round(u(52))

    # Handle: a leather loop over the top of the globe, its feet in brass
    # brackets riveted to the globe.
    hx0, hx1 = u(78), u(178)
    hy0, hy1 = u(8), u(72)
    hw = w(18, 3.0)
    loop = rect(hx0 + hw / 2, hy0 + hw / 2, hx1 - hw / 2, hy1, u(30))
    handle_shape = intersect(stroke(loop, hw), rect(0, 0, size, u(70)))
    hb = (hx0 - 2, hy0 - 2, hx1 + 2, u(72))
    c.fill(handle_shape,
           linear(0, hy0, LEATHER_LIGHT, 0, hy0 + hw, LEATHER), hb)
    c.fill(intersect(stroke(handle_shape, w(3, 0.8)),
                     rect(0, 0, size, u(70))), LEATHER_EDGE, hb)

    globe_layers(c, cx, cy, r, rim, grid, meridian_rx=u(54),
                 parallels=(-parallel, parallel), shadow=u(4) if size >= 64 else 0.0)

    # Brass brackets where the handle meets the globe.
    for fx in (hx0 + hw / 2, hx1 - hw / 2):
        bracket = box(fx, u(70), w(17, 3.4), w(11, 2.6), w(5, 1.0))
        bb = (fx - u(20), u(56), fx + u(20), u(84))
        c.fill(bracket, linear(0, u(60), BRASS, 0, u(82), BRASS_DARK), bb)
        c.fill(stroke(bracket, w(3, 0.9)), BRASS_DARK, bb)

    # Luggage tag hanging on a cord from the right of the handle.
    draw_tag(c, pivot=(u(204), u(116)), angle=-16, half_w=u(27), height=u(76),
             cut=u(16), hole_r=w(6, 1.2), edge=w(4, 1.0),
             cord_from=(hx1 - hw * 0.5, u(50)), cord_w=w(7, 1.0))
    return c


def draw_tag(c, pivot, angle, half_w, height, cut, hole_r, edge,
             cord_from, cord_w):
    """A tag whose hole sits at pivot; it hangs down, turned by angle."""
    px, py = pivot
    top = py - cut * 0.75
    pts = [(px - half_w + cut, top - cut * 0.25), (px + half_w - cut, top - cut * 0.25),
           (px + half_w, top + cut), (px + half_w, top + height),
           (px - half_w, top + height), (px - half_w, top + cut)]
    pts = [rotate_point(x, y, px, py, angle) for x, y in pts]
    xs = [p[0] for p in pts]
    ys = [p[1] for p in pts]
    bounds = (min(xs) - edge, min(ys) - edge, max(xs) + edge, max(ys) + edge)
    body = subtract(polygon(pts), circle(px, py, hole_r))
    # cord from the handle through the hole
    hx, hy = cord_from
    cb = (min(hx, px) - cord_w, min(hy, py) - cord_w,
          max(hx, px) + cord_w, max(hy, py) + cord_w)
    c.fill(segment(hx, hy, px, py - hole_r * 0.2, cord_w), STRING, cb)
    if cord_w >= 3.0:
        # a light core keeps the cord visible on dark backgrounds
        c.fill(segment(hx, hy, px, py - hole_r * 0.2, cord_w * 0.45), CORD, cb)
    lo = rotate_point(px, top + height, px, py, angle)
    c.fill(body, linear(px, py, TAG_LIGHT, lo[0], lo[1], TAG), bounds)
    c.fill(intersect(stroke(polygon(pts), edge), polygon(pts)), TAG_EDGE, bounds)
    c.fill(stroke(circle(px, py, hole_r), edge * 0.8), TAG_EDGE, bounds)
    # cord over the front of the hole
    c.fill(segment(px, py - hole_r * 0.9, px, py + hole_r * 0.1, cord_w * 0.9),
           STRING, bounds)


def draw_32():
    """32 px, laid out on whole pixels: 2 px grid lines on pixel edges."""
    c = Canvas(32, 4)
    # Leather handle, 3 px thick, outer edge x 9..21, top bar rows 1..3.
    handle_shape = intersect(stroke(rect(10.5, 2.5, 19.5, 14.0, 1.5), 3.0),
                             rect(0, 0, 32, 11))
    c.fill(handle_shape, linear(0, 1, LEATHER_LIGHT, 0, 4, LEATHER), (7, 0, 23, 12))
    globe_layers(c, 15.0, 19.0, 12.0, rim=1.5, grid=2.0, meridian_rx=7.0,
                 parallels=(), with_centre_meridian=True)
    for x0 in (8.0, 17.0):
        bracket = rect(x0, 7.0, x0 + 5.0, 10.0, 1.0)
        c.fill(bracket, BRASS, (x0 - 1, 6, x0 + 6, 11))
        c.fill(stroke(bracket, 1.0), BRASS_DARK, (x0 - 1, 6, x0 + 6, 11))
    # Tag on a cord from the right leg of the handle.
    c.fill(segment(20.5, 5.0, 27.0, 15.0, 1.25), STRING, (18, 3, 29, 17))
    tag = polygon([(24.0, 16.0), (26.0, 14.0), (28.0, 14.0), (30.0, 16.0),
                   (30.0, 26.0), (24.0, 26.0)])
    c.fill(tag, linear(0, 14, TAG_LIGHT, 0, 26, TAG), (23, 13, 31, 27))
    c.fill(intersect(stroke(tag, 2.0), tag), TAG_EDGE, (23, 13, 31, 27))
    c.fill(rect(26.0, 16.0, 28.0, 18.0, 0.6), STRING, (25, 15, 29, 19))
    return c


def draw_16():
    """16 px: globe, handle and tag; 1 px lines on pixel centres."""
    c = Canvas(16, 4)
    # Handle: 2 px loop over columns 4..10, top bar on rows 1..2.
    handle_shape = intersect(stroke(rect(5.0, 2.0, 10.0, 9.0, 0.5), 2.0),
                             rect(0, 0, 16, 7))
    c.fill(handle_shape, LEATHER, (3, 0, 12, 8))
    globe_layers(c, 7.5, 10.5, 5.5, rim=1.0, grid=1.0, meridian_rx=3.0,
                 parallels=(), with_centre_meridian=False)
    # Tag at the right, on a cord from the handle's right leg.
    c.fill(segment(11.2, 4.0, 13.5, 8.5, 1.0), STRING, (10, 3, 15, 10))
    tag = polygon([(12.0, 10.0), (13.0, 9.0), (15.0, 9.0), (16.0, 10.0),
                   (16.0, 15.0), (12.0, 15.0)])
    c.fill(tag, TAG_LIGHT, (11, 8, 16, 16))
    c.fill(intersect(stroke(tag, 2.0), tag), TAG_EDGE, (11, 8, 16, 16))
    return c


def draw(size):
    if size == 32:
        return draw_32()
    if size == 16:
        return draw_16()
    return draw_large(size)


# --------------------------------------------------------------------------
# File formats
# --------------------------------------------------------------------------

def png_bytes(width, height, rgba):
    """A colour type 6 (RGBA), 8-bit PNG."""
    def chunk(kind, data):
        body = kind + data
        return (struct.pack(">I", len(data)) + body +
                struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF))

    stride = width * 4
    raw = bytearray()
    for y in range(height):
        raw.append(0)  # filter: none
        raw += rgba[y * stride:(y + 1) * stride]
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def dib_bytes(size, rgba):
    """BITMAPINFOHEADER, 32 bpp BGRA bottom-up, then the 1-bit AND mask."""
    mask_stride = ((size + 31) // 32) * 4
    pixels = bytearray()
    mask = bytearray()
    for y in range(size - 1, -1, -1):
        row = rgba[y * size * 4:(y + 1) * size * 4]
        bits = bytearray(mask_stride)
        for x in range(size):
            r, g, b, a = row[x * 4:x * 4 + 4]
            pixels += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(pixels) + len(mask), 0, 0, 0, 0)
    return header + bytes(pixels) + bytes(mask)


def ico_bytes(images):
    """images: list of (size, data) in the order they go in the directory."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    blobs = b""
    for size, data in images:
        dim = 0 if size >= 256 else size
        entries += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32,
                               len(data), offset)
        offset += len(data)
        blobs += data
    return out + entries + blobs


# --------------------------------------------------------------------------
# Previews
# --------------------------------------------------------------------------

def upscale(size, rgba, factor):
    out = bytearray()
    for y in range(size):
        row = bytearray()
        for x in range(size):
            row += rgba[(y * size + x) * 4:(y * size + x) * 4 + 4] * factor
        out += bytes(row) * factor
    return bytes(out)


def sheet(rendered, background, pad=16):
    """All sizes side by side, bottoms aligned, over an opaque background."""
    width = pad + sum(s + pad for s in SIZES)
    height = 256 + 2 * pad
    bg = bytes(background) + b"\xff"
    out = bytearray(bg * (width * height))
    x = pad
    for size in SIZES:
        rgba = rendered[size]
        top = pad + 256 - size
        for y in range(size):
            for sx in range(size):
                r, g, b, a = rgba[(y * size + sx) * 4:(y * size + sx) * 4 + 4]
                i = ((top + y) * width + x + sx) * 4
                for k, v in enumerate((r, g, b)):
                    out[i + k] = (v * a + out[i + k] * (255 - a) + 127) // 255
        x += size + pad
    return width, height, bytes(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--ico", default=os.path.join(here, "marovendel.ico"))
    parser.add_argument("--preview-dir", default=os.path.join(here, "preview"))
    args = parser.parse_args()

    rendered = {size: draw(size).rgba_bytes() for size in SIZES}

    images = []
    for size in SIZES:
        rgba = rendered[size]
        if size in PNG_SIZES:
            images.append((size, png_bytes(size, size, rgba)))
        else:
            images.append((size, dib_bytes(size, rgba)))
    with open(args.ico, "wb") as f:
        f.write(ico_bytes(images))

    os.makedirs(args.preview_dir, exist_ok=True)

    def save(name, width, height, rgba):
        with open(os.path.join(args.preview_dir, name), "wb") as f:
            f.write(png_bytes(width, height, rgba))

    for size in SIZES:
        save("icon-%d.png" % size, size, size, rendered[size])
    for size, factor in ((16, 16), (32, 8)):
        big = size * factor
        save("icon-%d-x%d.png" % (size, factor), big, big,
             upscale(size, rendered[size], factor))
    save("sheet-light.png", *sheet(rendered, (243, 243, 243)))
    save("sheet-dark.png", *sheet(rendered, (32, 32, 36)))


if __name__ == "__main__":
    main()
