#!/usr/bin/env python3
"""Draws Mirelle's icon and About emblem and writes them as Windows resources.

    python3 res/art/make_art.py        # rewrites res/mirelle.ico and res/emblem.bmp

The icon is a white loudspeaker with two sound waves on a blue rounded
square, rendered from geometry at every size (so small sizes stay crisp) and
stored at 16x16 and 32x32 in 4 and 8 bits per pixel and at 48x48 in 8 bits
per pixel, for the classic display scale; at 20x20, 24x24, 28x28, 36x36,
40x40, 56x56, 64x64 and 72x72 in 32 bits per pixel with smooth (alpha)
edges, the small and large icon sizes at 125, 150, 175, 200 and 225 %
display scaling (those of 175 and 225 % as PNG); and at 256x256 as PNG, for
the shell's large views.  The emblem is a 17x17 black-and-white speaker for
the About box.  No outside files are used; the output is byte-for-byte
reproducible.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
RES = os.path.dirname(HERE)

# Colour schemes: (background, edge, foreground).  The 4-bit images use
# colours of the standard palette itself, drawn without smoothing.
TRUE_COLOUR = ((0x1F, 0x5F, 0xBF), (0x12, 0x3C, 0x80), (0xFF, 0xFF, 0xFF))
FOUR_BIT = ((0, 0, 255), (0, 0, 128), (255, 255, 255))

# The 16 colours of the standard 4-bit palette.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def inside_rounded_square(x, y):
    """Unit coordinates 0..1; the badge fills the square with rounded corners."""
    r = 0.2
    cx = min(max(x, r), 1 - r)
    cy = min(max(y, r), 1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def on_edge(x, y, width):
    return inside_rounded_square(x, y) and not inside_rounded_square(
        0.5 + (x - 0.5) / (1 - 2 * width), 0.5 + (y - 0.5) / (1 - 2 * width))


def in_speaker(x, y):
    # The box of the speaker, then the cone widening to the right.
    if 0.18 <= x <= 0.33 and 0.40 <= y <= 0.60:
        return True
    if 0.33 <= x <= 0.52:
        half = 0.10 + (x - 0.33) / 0.19 * 0.18
        return abs(y - 0.5) <= half
    return False


def in_wave(x, y, radius, thickness):
    dx, dy = x - 0.50, y - 0.50
    d = math.hypot(dx, dy)
    if dx <= 0 or abs(math.atan2(dy, dx)) > math.radians(48):
        return False
    return abs(d - radius) <= thickness / 2


def colour_at(x, y, size, scheme):
    """What the picture holds at unit point (x, y): None outside the badge."""
    background, edge, foreground = scheme
    if not inside_rounded_square(x, y):
        return None
    thickness = max(0.085, 1.6 / size)
    if in_speaker(x, y) or in_wave(x, y, 0.16, thickness) or in_wave(x, y, 0.30, thickness):
        return foreground
    if size >= 32 and on_edge(x, y, 0.035):
        return edge
    return background


def coverage(px, py, size, scheme, samples):
    """The summed colour of the samples of a pixel that the picture covers, and how many it covers."""
    acc = [0.0, 0.0, 0.0]
    covered = 0
    for sy in range(samples):
        for sx in range(samples):
            c = colour_at((px + (sx + 0.5) / samples) / size, (py + (sy + 0.5) / samples) / size, size, scheme)
            if c is not None:
                covered += 1
                for i in range(3):
                    acc[i] += c[i]
    return acc, covered


def render(size, scheme, samples):
    """RGBA rows, top first, with coverage-weighted colours."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc, covered = coverage(px, py, size, scheme, samples)
            if covered * 2 < samples * samples:
                row.append(None)
            else:
                row.append(tuple(int(round(a / covered)) for a in acc))
        rows.append(row)
    return rows


def render_rgba(size, scheme, samples, crisp=False):
    """RGBA rows, top first: the colour of what covers a pixel, and as alpha how much covers it.

    crisp: the colour comes from the pixel's centre alone, so that the strokes
    of small sizes stay whole pixels; only the badge's outline is smooth."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            centre = colour_at((px + 0.5) / size, (py + 0.5) / size, size, scheme) if crisp else None
            acc, covered = coverage(px, py, size, scheme, samples)
            if covered == 0:
                row.append((0, 0, 0, 0))
            else:
                colour = centre if centre is not None else tuple(int(round(a / covered)) for a in acc)
                row.append(tuple(colour) + (int(round(255 * covered / (samples * samples))),))
        rows.append(row)
    return rows


def nearest(palette, colour):
    return min(range(len(palette)), key=lambda i: sum((palette[i][k] - colour[k]) ** 2 for k in range(3)))


def palette_256(images):
    """The colours the images use, most frequent first, padded to 256."""
    counts = {}
    for rows in images:
        for row in rows:
            for c in row:
                if c is not None:
                    counts[c] = counts.get(c, 0) + 1
    colours = sorted(counts, key=lambda c: (-counts[c], c))
    palette = [(0, 0, 0)] + [c for c in colours if c != (0, 0, 0)]
    palette = palette[:256]
    palette += [(0, 0, 0)] * (256 - len(palette))
    return palette


def dib(rows, bpp, palette):
    """A BITMAPINFOHEADER image as stored in an icon: colour rows, then the mask."""
    size = len(rows)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bpp, 0, 0, 0, 0, len(palette), 0)
    pal = b''.join(struct.pack('BBBB', b, g, r, 0) for (r, g, b) in palette)
    stride = ((size * bpp + 31) // 32) * 4
    colour = b''
    for row in reversed(rows):
        indices = [0 if c is None else nearest(palette, c) for c in row]
        if bpp == 8:
            line = bytes(indices)
        else:
            line = bytes((indices[i] << 4) | (indices[i + 1] if i + 1 < size else 0) for i in range(0, size, 2))
        colour += line + b'\0' * (stride - len(line))
    return header + pal + colour + mask_rows(rows, lambda c: c is None)


def mask_rows(rows, transparent):
    """The AND mask of an icon image, bottom row first: 1 where the picture is not."""
    size = len(rows)
    mask_stride = ((size + 31) // 32) * 4
    mask = b''
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, c in enumerate(row):
            if transparent(c):
                line[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(line)
    return mask


def dib_rgba(rows):
    """A 32-bit BITMAPINFOHEADER image with alpha, as stored in an icon."""
    size = len(rows)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b''.join(struct.pack('BBBB', b, g, r, a) for row in reversed(rows) for (r, g, b, a) in row)
    return header + colour + mask_rows(rows, lambda c: c[3] == 0)


def png_rgba(rows):
    """A PNG file of the rows, 8 bits per channel with alpha."""
    size = len(rows)

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF)

    raw = b''.join(b'\0' + bytes(v for pixel in row for v in pixel) for row in rows)
    return (b'\x89PNG\r\n\x1a\n'
            + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9))
            + chunk(b'IEND', b''))


def write_icon(path):
    # Smoothing blurs the smallest size more than it helps, so 16x16 is drawn plain.
    smooth = {s: render(s, TRUE_COLOUR, 1 if s == 16 else 4) for s in (16, 32, 48)}
    plain = {s: render(s, FOUR_BIT, 1) for s in (16, 32)}
    pal256 = palette_256(smooth.values())
    entries = [(16, 4), (32, 4), (16, 8), (32, 8), (48, 8)]
    blobs = []
    for size, bpp in entries:
        if bpp == 4:
            blobs.append((size, bpp, dib(plain[size], bpp, VGA16)))
        else:
            blobs.append((size, bpp, dib(smooth[size], bpp, pal256)))
    # The sizes of the higher display scales, each drawn at its own size
    # (the system would otherwise stretch the next smaller image); like
    # 16x16, the small ones keep their strokes unsmoothed.  Those of 175 and
    # 225 % are stored as PNG, which Windows reads at any size since Vista:
    # 2 KB instead of 43.
    for size in (20, 24, 28, 36, 40, 56, 64, 72):
        rows = render_rgba(size, TRUE_COLOUR, 4, crisp=size < 32)
        blobs.append((size, 32, png_rgba(rows) if size in (28, 36, 56, 72) else dib_rgba(rows)))
    blobs.append((256, 32, png_rgba(render_rgba(256, TRUE_COLOUR, 3))))
    out = struct.pack('<HHH', 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for size, bpp, blob in blobs:
        colours = 16 if bpp == 4 else 0
        # A directory entry says 0 for 256 pixels.
        out += struct.pack('<BBBBHHII', size % 256, size % 256, colours, 0, 1, bpp, len(blob), offset)
        offset += len(blob)
    for _, _, blob in blobs:
        out += blob
    with open(path, 'wb') as f:
        f.write(out)


EMBLEM = [
    ".................",
    ".................",
    "........#........",
    ".......##....#...",
    "......###.....#..",
    ".....####..#...#.",
    "#########...#..#.",
    "#########...#...#",
    "#########...#...#",
    "#########...#...#",
    "#########...#..#.",
    ".....####..#...#.",
    "......###.....#..",
    ".......##....#...",
    "........#........",
    ".................",
    ".................",
]


def write_emblem(path):
    size = 17
    stride = ((size + 31) // 32) * 4
    pixels = b''
    for row in reversed(EMBLEM):
        line = bytearray(stride)
        for x, ch in enumerate(row):
            if ch == '.':
                line[x // 8] |= 0x80 >> (x % 8)  # index 1, white
        pixels += bytes(line)
    palette = struct.pack('BBBB', 0, 0, 0, 0) + struct.pack('BBBB', 255, 255, 255, 0)
    info = struct.pack('<IiiHHIIiiII', 40, size, size, 1, 1, 0, len(pixels), 2835, 2835, 2, 2)
    offset = 14 + len(info) + len(palette)
    header = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
    with open(path, 'wb') as f:
        f.write(header + info + palette + pixels)


if __name__ == '__main__':
    write_icon(os.path.join(RES, 'mirelle.ico'))
    write_emblem(os.path.join(RES, 'emblem.bmp'))
