#!/usr/bin/env python3
"""Draws Tavolin's toolbar icons and the two programs' application icons.

Writes downloader/icons/*.ico, the toolbar icons: each holds the two sizes the main window
loads, and each of them again at 1.25, 1.5 and 2 times for scaled screens, as PNG images
inside the ICO container. downloader/icons/tavolin.ico and converter/icons/pellux.ico hold
the application icons at the sizes of title bars, trays, task bars and the drop window, at
the same scales; tavolin.png and pellux.png are the 128-pixel images for the desktop
entries. Every size is drawn on its own, never scaled from another, so each is sharp. Only
Python's standard library is used: shapes are described on a 100 x 100 canvas and
rasterised with 4 x 4 supersampling.

    scripts/make-icons.py [output folder]   (one folder for all files; default: the source tree)
"""

import math
import os
import struct
import sys
import zlib

SUBSAMPLES = 4


def hex_colour(text, alpha=255):
    text = text.lstrip("#")
    return (int(text[0:2], 16), int(text[2:4], 16), int(text[4:6], 16), alpha)


def mix(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(4))


class Paint:
    """A solid colour, or a vertical gradient between two canvas rows."""

    def __init__(self, top, bottom=None, y0=0.0, y1=100.0):
        self.top = hex_colour(top) if isinstance(top, str) else top
        self.bottom = self.top if bottom is None else (
            hex_colour(bottom) if isinstance(bottom, str) else bottom)
        self.y0 = y0
        self.y1 = y1

    def at(self, y):
        if self.top == self.bottom:
            return self.top
        t = min(1.0, max(0.0, (y - self.y0) / (self.y1 - self.y0)))
        return mix(self.top, self.bottom, t)


class Polygon:
    def __init__(self, points, paint):
        self.points = points
        self.paint = paint
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        self.box = (min(xs), min(ys), max(xs), max(ys))

    def contains(self, x, y):
        inside = False
        pts = self.points
        j = len(pts) - 1
        for i in range(len(pts)):
            xi, yi = pts[i]
            xj, yj = pts[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                inside = not inside
            j = i
        return inside


class Ellipse:
    def __init__(self, cx, cy, rx, ry, paint, angle=0.0, inner=0.0):
        self.cx, self.cy, self.rx, self.ry = cx, cy, rx, ry
        self.cos = math.cos(math.radians(angle))
        self.sin = math.sin(math.radians(angle))
        self.inner = inner  # a ring when > 0: the fraction of the radii left empty
        self.paint = paint
        r = max(rx, ry)
        self.box = (cx - r, cy - r, cx + r, cy + r)

    def contains(self, x, y):
        dx, dy = x - self.cx, y - self.cy
        u = (dx * self.cos + dy * self.sin) / self.rx
        v = (-dx * self.sin + dy * self.cos) / self.ry
        d = u * u + v * v
        return d <= 1.0 and d >= self.inner * self.inner


def rect(x0, y0, x1, y1, paint):
    return Polygon([(x0, y0), (x1, y0), (x1, y1), (x0, y1)], paint)


def rounded_rect(x0, y0, x1, y1, r, paint, steps=8):
    points = []
    corners = [(x1 - r, y0 + r, -90), (x1 - r, y1 - r, 0), (x0 + r, y1 - r, 90), (x0 + r, y0 + r, 180)]
    for cx, cy, start in corners:
        for k in range(steps + 1):
            a = math.radians(start + 90 * k / steps)
            points.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return Polygon(points, paint)


def line(x0, y0, x1, y1, width, paint, caps=True):
    dx, dy = x1 - x0, y1 - y0
    length = math.hypot(dx, dy)
    nx, ny = -dy / length * width / 2, dx / length * width / 2
    shapes = [Polygon([(x0 + nx, y0 + ny), (x1 + nx, y1 + ny), (x1 - nx, y1 - ny), (x0 - nx, y0 - ny)],
                      paint)]
    if caps:
        shapes += [Ellipse(x0, y0, width / 2, width / 2, paint), Ellipse(x1, y1, width / 2, width / 2, paint)]
    return shapes


def outline(points, width, paint):
    shapes = []
    for i in range(len(points)):
        a, b = points[i], points[(i + 1) % len(points)]
        shapes += line(a[0], a[1], b[0], b[1], width, paint)
    return shapes


def regular_polygon(cx, cy, r, n, rotation):
    return [(cx + r * math.cos(math.radians(rotation + 360 * k / n)),
             cy + r * math.sin(math.radians(rotation + 360 * k / n))) for k in range(n)]


def render(shapes, size):
    """RGBA rows of the shapes painted in order over transparency."""
    scale = 100.0 / size
    rows = []
    flat = []
    for shape in shapes:
        flat.extend(shape if isinstance(shape, list) else [shape])
    for py in range(size):
        row = bytearray()
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied
            for sy in range(SUBSAMPLES):
                y = (py + (sy + 0.5) / SUBSAMPLES) * scale
                for sx in range(SUBSAMPLES):
                    x = (px + (sx + 0.5) / SUBSAMPLES) * scale
                    r = g = b = a = 0.0
                    for shape in flat:
                        x0, y0, x1, y1 = shape.box
                        if x < x0 or x > x1 or y < y0 or y > y1 or not shape.contains(x, y):
                            continue
                        cr, cg, cb, ca = shape.paint.at(y)
                        ca /= 255.0
                        r = cr * ca + r * (1 - ca)
                        g = cg * ca + g * (1 - ca)
                        b = cb * ca + b * (1 - ca)
                        a = ca + a * (1 - ca)
                    acc[0] += r
                    acc[1] += g
                    acc[2] += b
                    acc[3] += a
            n = SUBSAMPLES * SUBSAMPLES
            alpha = acc[3] / n
            if alpha <= 0:
                row += bytes(4)
            else:
                row += bytes((min(255, round(acc[0] / n / alpha)), min(255, round(acc[1] / n / alpha)),
                              min(255, round(acc[2] / n / alpha)), min(255, round(alpha * 255))))
        rows.append(bytes(row))
    return rows


def png(rows, size):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    raw = b"".join(b"\x00" + row for row in rows)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def ico(images):
    """An ICO file holding the given (size, png bytes) pairs."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    blobs = b""
    for size, data in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
        blobs += data
    return out + entries + blobs


# The drawings. Each returns its shapes on the 100 x 100 canvas.

def music():
    disc = Ellipse(50, 50, 47, 47, Paint("#7fb2e5", "#24508f", 3, 97))
    rim = Ellipse(50, 50, 47, 47, Paint("#183a6b"), inner=0.93)
    white = Paint("#ffffff")
    return [disc, rim,
            Ellipse(37, 72, 12, 8.5, white, angle=-20), Ellipse(70, 64, 12, 8.5, white, angle=-20),
            rect(44.5, 28, 49.5, 71, white), rect(77.5, 20, 82.5, 63, white),
            Polygon([(44.5, 28), (82.5, 20), (82.5, 31), (44.5, 39)], white)]


def document():
    page = Polygon([(18, 6), (64, 6), (84, 26), (84, 94), (18, 94)], Paint("#ffffff", "#dfe6ee", 6, 94))
    fold = Polygon([(64, 6), (64, 26), (84, 26)], Paint("#b9c6d6"))
    shapes = [page, fold, outline([(18, 6), (64, 6), (84, 26), (84, 94), (18, 94)], 3, Paint("#5a6b80"))]
    for y in (38, 50, 62):
        shapes.append(rect(28, y, 72, y + 4, Paint("#8fa3bb")))
    shapes.append(Ellipse(72, 78, 21, 21, Paint("#5fd35f", "#1f8a1f", 57, 99)))
    shapes.append(Ellipse(72, 78, 21, 21, Paint("#13621a"), inner=0.88))
    shapes.append(rect(62, 75, 82, 81, Paint("#ffffff")))
    shapes.append(rect(69, 68, 75, 88, Paint("#ffffff")))
    return shapes


def down_arrow():
    arrow = [(34, 6), (66, 6), (66, 46), (88, 46), (50, 94), (12, 46), (34, 46)]
    return [Polygon(arrow, Paint("#7ee07e", "#1c8c2a", 6, 94)), outline(arrow, 4, Paint("#11561b"))]


def home():
    roof = [(50, 6), (94, 48), (84, 48), (84, 52), (16, 52), (16, 48), (6, 48)]
    return [rect(66, 12, 78, 34, Paint("#8a4b2a")),
            rect(20, 44, 80, 94, Paint("#fff4d6", "#e8d3a0", 44, 94)),
            outline([(20, 44), (80, 44), (80, 94), (20, 94)], 3, Paint("#7a5a2a")),
            Polygon(roof, Paint("#f06a4a", "#b22a14", 6, 52)), outline(roof, 3, Paint("#7a1c0c")),
            rect(42, 62, 58, 94, Paint("#9a5a30", "#6b3718", 62, 94)),
            Ellipse(54, 79, 2, 2, Paint("#ffd966"))]


def delete():
    red = Paint("#ff6a5a", "#b3140a", 10, 90)
    dark = Paint("#6e0a05")
    return [line(20, 20, 80, 80, 24, dark), line(80, 20, 20, 80, 24, dark),
            line(20, 20, 80, 80, 17, red), line(80, 20, 20, 80, 17, red)]


def stop():
    octagon = regular_polygon(50, 50, 46, 8, 22.5)
    inner = regular_polygon(50, 50, 39, 8, 22.5)
    return [Polygon(octagon, Paint("#ff5a4a", "#a80f06", 4, 96)), outline(octagon, 3, Paint("#5e0703")),
            outline(inner, 3, Paint("#ffffff")), rounded_rect(27, 42, 73, 58, 3, Paint("#ffffff"))]


def film_icon(top, bottom, strip_colour, hole_colour, arrow, arrow_bottom, arrow_line):
    """A rounded square of film with a white arrow on it: the programs' own icons."""
    body = rounded_rect(4, 4, 96, 96, 18, Paint(top, bottom, 4, 96))
    strip = Paint(strip_colour)
    shapes = [body, rect(4, 14, 96, 24, strip), rect(4, 76, 96, 86, strip)]
    for x in range(10, 96, 14):
        shapes.append(rect(x, 16.5, x + 7, 21.5, Paint(hole_colour)))
        shapes.append(rect(x, 78.5, x + 7, 83.5, Paint(hole_colour)))
    shapes += [Polygon(arrow, Paint("#ffffff", arrow_bottom, 29, 71)), outline(arrow, 2.5, Paint(arrow_line))]
    return shapes


def application():
    down = [(41, 29), (59, 29), (59, 48), (72, 48), (50, 71), (28, 48), (41, 48)]
    return film_icon("#4a90e2", "#1b3f7a", "#10284f", "#cfe0f7", down, "#dfe9f7", "#0e2446")


def pellux():
    right = [(24, 41), (50, 41), (50, 29), (74, 50), (50, 71), (50, 59), (24, 59)]
    return film_icon("#9b6ae0", "#45217f", "#2a1050", "#eadcfb", right, "#ece2f9", "#241044")


# The scales a screen may run at; each icon is drawn at every one of them.
SCALES = (1, 1.25, 1.5, 2)


def scaled_sizes(sizes):
    """The sizes times every scale, rounded half up as Qt rounds them."""
    return sorted({int(size * scale + 0.5) for size in sizes for scale in SCALES})


# Tray icons (16, 22, 24), title bars and task bars (16 to 48), the drop window and the
# main window's corner (32).
APPLICATION_SIZES = scaled_sizes((16, 22, 24, 32, 48)) + [128]

TOOLBAR = [
    ("music01.ico", music, (37, 40)),     # Converter
    ("doc01.ico", document, (37, 40)),    # Add
    ("downarr.ico", down_arrow, (37, 40)),  # Start
    ("home01.ico", home, (37, 40)),       # Exit
    ("delete.ico", delete, (34, 37)),     # Remove
    ("stopicon.ico", stop, (34, 37)),     # Stop
]


def write_icon(path, shapes, sizes):
    with open(path, "wb") as out:
        out.write(ico([(size, png(render(shapes, size), size)) for size in sizes]))


def write_png(path, shapes, size):
    with open(path, "wb") as out:
        out.write(png(render(shapes, size), size))


def main():
    top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    tavolin = sys.argv[1] if len(sys.argv) > 1 else os.path.join(top, "downloader", "icons")
    pellux_folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(top, "converter", "icons")
    for folder in (tavolin, pellux_folder):
        os.makedirs(folder, exist_ok=True)
    for name, drawing, sizes in TOOLBAR:
        write_icon(os.path.join(tavolin, name), drawing(), scaled_sizes(sizes))
    for folder, name, drawing in ((tavolin, "tavolin", application), (pellux_folder, "pellux", pellux)):
        shapes = drawing()
        write_icon(os.path.join(folder, name + ".ico"), shapes, APPLICATION_SIZES)
        write_png(os.path.join(folder, name + ".png"), shapes, 128)


if __name__ == "__main__":
    main()
