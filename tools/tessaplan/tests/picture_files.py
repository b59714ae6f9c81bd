"""Readers for the pictures the program draws: the filled areas of its SVG
paths, and the size and top rows of its PNG images."""

import re
import struct
import zlib
from collections import defaultdict

SVG = "{http://www.w3.org/2000/svg}"


def path_area(data, scale=1.0):
    """The area that "M x y l dx dy ... z" path data encloses, each loop
    counted with its sign (counter-clockwise positive in the picture's
    y-down axes, as the program turns its outlines), times scale^2."""
    doubled = 0.0
    start = at = (0.0, 0.0)
    command = None
    numbers = []
    for token in re.findall(r"[A-Za-z]|-?\d+(?:\.\d+)?", data):
        if token.isalpha():
            command = token
            if command in "zZ":
                doubled += at[0] * start[1] - start[0] * at[1]
                at = start
            continue
        numbers.append(float(token))
        if len(numbers) < 2:
            continue
        x, y = numbers
        numbers = []
        if command == "M":
            start = at = (x, y)
            continue
        assert command == "l", command
        following = (at[0] + x, at[1] + y)
        doubled += at[0] * following[1] - following[0] * at[1]
        at = following
    return doubled / 2.0 * scale * scale


def filled_areas(root):
    """Per fill colour, the area the filled paths of the parsed SVG
    document cover, in pixels; paths are on a grid (transform scale)."""
    areas = defaultdict(float)
    for path in root.iter(SVG + "path"):
        fill = path.get("fill")
        if fill in (None, "none"):
            continue
        scale = float(re.fullmatch(r"scale\((.*)\)",
                                   path.get("transform", "scale(1)"))[1])
        areas[fill] += path_area(path.get("d"), scale)
    return dict(areas)


def _chunks(data):
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG file"
    position = 8
    while position < len(data):
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        body = data[position + 8:position + 8 + length]
        crc, = struct.unpack(">I", data[position + 8 + length:
                                        position + 12 + length])
        assert zlib.crc32(kind + body) == crc, kind
        yield kind, body
        position += 12 + length


def _unfilter(kind, line, previous):
    """One row of bytes (3 a pixel) without its PNG filter."""
    if kind == 0:
        return line
    if kind == 2:
        return bytearray((a + b) & 255 for a, b in zip(line, previous))
    row = bytearray(len(line))
    for i, value in enumerate(line):
        left = row[i - 3] if i >= 3 else 0
        up = previous[i]
        corner = previous[i - 3] if i >= 3 else 0
        if kind == 1:
            guess = left
        elif kind == 3:
            guess = (left + up) // 2
        else:
            p = left + up - corner
            pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
            guess = left if pa <= pb and pa <= pc else up if pb <= pc \
                else corner
        row[i] = (value + guess) & 255
    return row


def read_png(path, nb_rows):
    """The width, height and first nb_rows rows of an 8-bit RGB PNG image
    (each row a list of (r, g, b)), after checking its chunks' CRCs and
    the length of its image data."""
    chunks = list(_chunks(path.read_bytes()))
    assert chunks[0][0] == b"IHDR" and chunks[-1][0] == b"IEND"
    width, height, depth, colour = struct.unpack(">IIBB", chunks[0][1][:10])
    assert (depth, colour) == (8, 2), "not 8-bit RGB"
    raw = zlib.decompress(b"".join(body for kind, body in chunks
                                   if kind == b"IDAT"))
    stride = 3 * width
    assert len(raw) == height * (stride + 1)
    rows = []
    previous = bytearray(stride)
    for y in range(min(nb_rows, height)):
        start = y * (stride + 1)
        kind = raw[start]
        assert kind <= 4
        previous = _unfilter(kind, raw[start + 1:start + 1 + stride],
                             previous)
        rows.append([tuple(previous[i:i + 3]) for i in range(0, stride, 3)])
    return width, height, rows
