#!/usr/bin/env python3
"""Draws the picture files installed beside DormiGuard.exe (run once; the results are committed)."""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ASSETS = os.path.join(HERE, '..', 'assets')


def png_data(width, height, pixel):
    """pixel(x, y) -> (r, g, b, a)"""
    rows = b''
    for y in range(height):
        rows += b'\x00' + b''.join(bytes(pixel(x, y)) for x in range(width))
    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xFFFFFFFF)
    data = b'\x89PNG\r\n\x1a\n'
    data += chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 6, 0, 0, 0))
    data += chunk(b'IDAT', zlib.compress(rows, 9))
    data += chunk(b'IEND', b'')
    return data


def png(path, width, height, pixel):
    with open(path, 'wb') as f:
        f.write(png_data(width, height, pixel))


def disc(cx, cy, r, x, y):
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def sleep_picture(awake):
    def pixel(x, y):
        if not disc(32, 32, 30, x, y):
            return (0, 0, 0, 0)
        if awake:   # a sun: sleep is prohibited
            if disc(32, 32, 16, x, y):
                return (255, 200, 40, 255)
            angle = math.atan2(y - 32, x - 32)
            return (255, 140, 0, 255) if math.cos(angle * 8) > 0.6 else (255, 240, 200, 255)
        # a moon: sleep is allowed
        if disc(32, 32, 22, x, y) and not disc(42, 24, 18, x, y):
            return (250, 230, 120, 255)
        return (30, 40, 90, 255)
    return pixel


def character(ears, tint):
    def pixel(x, y):
        head = disc(48, 56, 32, x, y)
        ear = ears and (disc(18, 26, 16, x, y) or disc(78, 26, 16, x, y))
        if not (head or ear):
            return (0, 0, 0, 0)
        if disc(36, 50, 5, x, y) or disc(60, 50, 5, x, y):
            return (20, 20, 20, 255)
        if ears and disc(48, 66, 9, x, y):
            return (60, 60, 70, 255)     # koala nose
        if not ears and abs(y - 72) < 2 and abs(x - 48) < 12:
            return (200, 60, 80, 255)    # smile
        return tint
    return pixel


def menu_strip(path):
    """Four 24-pixel cells on magenta: 0 window, 1 add, 2 delete, 3 support site."""
    width, height = 96, 24
    magenta = (255, 0, 255)

    def cell_pixel(cell, x, y):
        if cell == 0:   # a small window
            if 3 <= x <= 20 and 4 <= y <= 19:
                if y <= 7:
                    return (40, 90, 200)
                if x in (3, 20) or y == 19:
                    return (40, 90, 200)
                return (255, 255, 255)
        elif cell == 1:  # green plus
            if (10 <= x <= 13 and 4 <= y <= 19) or (4 <= x <= 19 and 10 <= y <= 13):
                return (30, 160, 60)
        elif cell == 2:  # red cross
            if abs(x - y) <= 1 and 5 <= x <= 18 or abs(x + y - 23) <= 1 and 5 <= x <= 18:
                return (210, 40, 40)
        elif cell == 3:  # a globe
            d = math.hypot(x - 11.5, y - 11.5)
            if d <= 9:
                if abs(x - 11.5) < 1 or abs(y - 11.5) < 1 or abs(d - 8.5) < 0.8:
                    return (20, 80, 160)
                return (120, 190, 250)
        return magenta

    row_size = (width * 3 + 3) & ~3
    pixels = b''
    for y in range(height - 1, -1, -1):   # bottom-up rows
        row = b''
        for x in range(width):
            r, g, b = cell_pixel(x // 24, x % 24, y)
            row += bytes((b, g, r))
        pixels += row + b'\x00' * (row_size - width * 3)
    header = struct.pack('<2sIHHI', b'BM', 54 + len(pixels), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, 'wb') as f:
        f.write(header + info + pixels)


def rounded_square(size, x, y):
    """Inside the rounded square of icon 101: a margin of 1/16, corners of radius 1/5."""
    m = size / 16.0
    r = size / 5.0
    lo, hi = m, size - m
    px, py = x + 0.5, y + 0.5
    if not (lo <= px <= hi and lo <= py <= hi):
        return False
    cx = min(max(px, lo + r), hi - r)
    cy = min(max(py, lo + r), hi - r)
    return (px - cx) ** 2 + (py - cy) ** 2 <= r * r


def state_icon_pixel(size, awake):
    """The tray icons, drawn like icon 101: a rounded square with a disc. Sleep prohibited: a
    full sun on a strong red-orange; allowed: the crescent moon on a muted grey-blue."""
    def pixel(x, y):
        if not rounded_square(size, x, y):
            return (0, 0, 0, 0)
        c = size / 2.0
        fx, fy = x + 0.5, y + 0.5
        if awake:
            if (fx - c) ** 2 + (fy - c) ** 2 <= (size * 0.30) ** 2:
                return (255, 226, 60, 255)
            return (214, 54, 28, 255)
        inside = (fx - c) ** 2 + (fy - c) ** 2 <= (size * 0.30) ** 2
        bite = (fx - c - size * 0.14) ** 2 + (fy - c + size * 0.10) ** 2 <= (size * 0.25) ** 2
        if inside and not bite:
            return (205, 210, 218, 255)
        return (112, 124, 140, 255)
    return pixel


# Frames from this size up are stored as PNG (Windows Vista and later read PNG frames of any
# size): a 48-pixel BMP frame takes 9.6 KB, its PNG a few hundred bytes, and the program stays
# under 512 KB. The smaller frames that the window and the tray load at 100 % stay BMP: the first
# PNG frame loads the imaging codecs, which would cost every start.
PNG_FRAMES_FROM = 48


def ico(path, sizes, make_pixel):
    """An .ico of 32-bit images: BMP with their AND masks below PNG_FRAMES_FROM, PNG from it."""
    images = []
    for size in sizes:
        pixel = make_pixel(size)
        if size >= PNG_FRAMES_FROM:
            images.append(png_data(size, size, pixel))
            continue
        header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
        colour = b''
        for y in range(size - 1, -1, -1):
            for x in range(size):
                r, g, b, a = pixel(x, y)
                colour += bytes((b, g, r, a))
        mask_row = ((size + 31) // 32) * 4
        mask = b''
        for y in range(size - 1, -1, -1):
            row = bytearray(mask_row)
            for x in range(size):
                if pixel(x, y)[3] == 0:
                    row[x // 8] |= 0x80 >> (x % 8)
            mask += bytes(row)
        images.append(header + colour + mask)
    data = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        data += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(path, 'wb') as f:
        f.write(data + b''.join(images))


def bmp_frames(path):
    """The 32-bit BMP frames of an .ico as {size: pixel(x, y)}; PNG frames are passed over."""
    data = open(path, 'rb').read()
    frames = {}
    for i in range(struct.unpack('<HHH', data[:6])[2]):
        width, _, _, _, _, _, length, offset = struct.unpack('<BBBBHHII', data[6 + 16 * i:22 + 16 * i])
        image = data[offset:offset + length]
        if image[:4] == b'\x89PNG':
            continue
        size = width or 256
        colour = image[struct.unpack('<I', image[:4])[0]:]
        def pixel(x, y, colour=colour, size=size):
            at = ((size - 1 - y) * size + x) * 4
            b, g, r, a = colour[at:at + 4]
            return (r, g, b, a)
        frames[size] = pixel
    return frames


def repack_ico(path):
    """Icon 101 was drawn elsewhere: its frames again, the large ones as PNG."""
    frames = bmp_frames(path)
    if all(size < PNG_FRAMES_FROM for size in frames):
        return
    ico(path, sorted(frames), lambda size: frames[size])


if __name__ == '__main__':
    RES = os.path.join(HERE, '..', 'res')
    repack_ico(os.path.join(RES, 'DormiGuard.ico'))
    ico(os.path.join(RES, 'awake_prohibited.ico'), [16, 20, 24, 32, 48], lambda s: state_icon_pixel(s, True))
    ico(os.path.join(RES, 'awake_allowed.ico'), [16, 20, 24, 32, 48], lambda s: state_icon_pixel(s, False))
    os.makedirs(ASSETS, exist_ok=True)
    png(os.path.join(ASSETS, 'sleep_ng.png'), 64, 64, sleep_picture(True))
    png(os.path.join(ASSETS, 'sleep_ok.png'), 64, 64, sleep_picture(False))
    png(os.path.join(ASSETS, 'pirumi_image.png'), 96, 96, character(False, (250, 210, 180, 255)))
    png(os.path.join(ASSETS, 'pirumi_koala1.png'), 96, 96, character(True, (150, 150, 165, 255)))
    png(os.path.join(ASSETS, 'pirumi_koala2.png'), 96, 96, character(True, (175, 175, 190, 255)))
    menu_strip(os.path.join(ASSETS, 'menu_image.bmp'))
