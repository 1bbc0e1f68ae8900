#!/usr/bin/env python3
"""Compares two window pictures of the same frame: ours (`kestrune render --format raw`) and
Mesa's (`osmesa_replay --raw FILE --raw-frame K`), both W x H little-endian 5-6-5 values with rows
top first. Prints the PSNR over the 8-bit widened channels, the share of pixels that differ and
the share that differ by more than a few steps; --png FILE writes the two side by side with a
difference picture below them, for looking at.

  bench/compare_pictures.py OURS.raw MESA.raw --size 960x540 [--png FILE]
"""

import argparse
import math
import struct
import sys
import zlib


def widened(pixel):
    """8-bit red, green and blue of a 5-6-5 value, each widened by repeating its top bits."""
    r, g, b = pixel >> 11, (pixel >> 5) & 63, pixel & 31
    return (r << 3 | r >> 2, g << 2 | g >> 4, b << 3 | b >> 2)


def read_picture(path, width, height):
    with open(path, "rb") as f:
        data = f.read()
    if len(data) != 2 * width * height:
        sys.exit(f"{path}: {len(data)} bytes, not {width}x{height} 16-bit pixels")
    return [widened(p) for p in struct.unpack(f"<{width * height}H", data)]


def png_bytes(rows, width):
    """An 8-bit RGB PNG of rows of (r, g, b) triples, each row unfiltered."""
    raw = b"".join(b"\0" + bytes(c for pixel in row for c in pixel) for row in rows)

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", width, len(rows), 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw))
            + chunk(b"IEND", b""))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("ours")
    parser.add_argument("mesa")
    parser.add_argument("--size", default="960x540")
    parser.add_argument("--png")
    args = parser.parse_args()
    width, height = (int(side) for side in args.size.split("x"))
    ours = read_picture(args.ours, width, height)
    mesa = read_picture(args.mesa, width, height)
    squares = 0
    differing = 0
    far = 0
    for a, b in zip(ours, mesa):
        steps = [abs(x - y) for x, y in zip(a, b)]
        squares += sum(d * d for d in steps)
        differing += max(steps) > 0
        far += max(steps) > 24
    mse = squares / (3 * width * height)
    psnr = math.inf if mse == 0 else 10 * math.log10(255 * 255 / mse)
    print(f"psnr {psnr:.2f} dB, pixels differing {100 * differing / len(ours):.2f} %, "
          f"by more than 24 of 255 {100 * far / len(ours):.2f} %")
    if args.png:
        rows = []
        for r in range(height):
            rows.append(ours[r * width:(r + 1) * width] + mesa[r * width:(r + 1) * width])
        for r in range(height):
            line = []
            for a, b in zip(ours[r * width:(r + 1) * width], mesa[r * width:(r + 1) * width]):
                d = min(255, 4 * max(abs(x - y) for x, y in zip(a, b)))
                line.append((d, d, d))
            rows.append(line + [(0, 0, 0)] * width)
        with open(args.png, "wb") as f:
            f.write(png_bytes(rows, 2 * width))


if __name__ == "__main__":
    main()
