#!/usr/bin/env python3
"""Writes res/quil.ico: a page of names with a quill across it, as a
32x32 and a 16x16 image in the 16 standard VGA colours; and the same
picture at 64x64 as res/quillane.png for the Linux desktop."""
import os
import struct
import zlib

PALETTE = [  # VGA order, as (r, g, b)
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, DARK_BLUE, GREY, LIGHT_GREY, WHITE, DARK_CYAN, YELLOW = 0, 4, 8, 7, 15, 6, 11


def picture(size):
    """Rows top to bottom of palette indices, None for transparent."""
    s = size / 32.0
    pixels = [[None] * size for _ in range(size)]
    left, right, top, bottom = round(4 * s), round(24 * s), round(2 * s), round(29 * s)
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            edge = x in (left, right) or y in (top, bottom)
            pixels[y][x] = GREY if edge else WHITE
    for line in range(6):  # lines of names
        y = round((7 + 3.5 * line) * s)
        if y >= bottom - 1:
            break
        width = (14, 10, 12, 8, 13, 9)[line]
        for x in range(left + 2, min(right - 1, left + 2 + round(width * s))):
            pixels[y][x] = DARK_BLUE
    for step in range(size * 4):  # the quill, from the nib up and right
        t = step / (size * 4.0)
        cx, cy = (12 + 17 * t) * s, (27 - 25 * t) * s
        half = 0 if t < 0.15 else (3.2 * s * min(1.0, (t - 0.15) * 3))
        for dx in range(-4, 5):
            x, y = round(cx + dx * 0.5), round(cy + dx * 0.5)
            if abs(dx * 0.5) <= half and 0 <= x < size and 0 <= y < size:
                pixels[y][x] = DARK_CYAN if abs(dx * 0.5) > half * 0.4 else YELLOW
        x, y = round(cx), round(cy)
        if 0 <= x < size and 0 <= y < size:
            pixels[y][x] = BLACK if t < 0.15 else DARK_BLUE
    return pixels


def image(size):
    pixels = picture(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in PALETTE)
    colour, mask = b"", b""
    for row in reversed(pixels):  # bottom-up
        nibbles = [0 if p is None else p for p in row]
        data = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        colour += data + b"\0" * (-len(data) % 4)
        bits = "".join("1" if p is None else "0" for p in row)
        data = bytes(int(bits[i:i + 8], 2) for i in range(0, size, 8))
        mask += data + b"\0" * (-len(data) % 4)
    return header + palette + colour + mask


def png(size):
    rows = b""
    for row in picture(size):
        rows += b"\0" + b"".join(b"\0\0\0\0" if p is None else bytes(PALETTE[p]) + b"\xff" for p in row)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b"")


def main():
    images = [(32, image(32)), (16, image(16))]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, data in images)
    res = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res")
    with open(os.path.join(res, "quil.ico"), "wb") as f:
        f.write(out)
    with open(os.path.join(res, "quillane.png"), "wb") as f:
        f.write(png(64))


if __name__ == "__main__":
    main()
