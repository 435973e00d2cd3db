"""Byte-exact writers for the skin's BMP, ICO and CUR files.

Pillow can write all three, but its output depends on the Pillow version
(ICO entries become PNG, BMP headers carry resolution fields). These writers
keep the files stable and in the classic layouts every Windows version and
Wine decode: 24-bit bottom-up BI_RGB, DIB icon entries, a 1-bit cursor.
"""
import struct

from PIL import Image


def _row_pad(nbytes):
    return (-nbytes) % 4


def bmp24(img):
    """Bottom-up, uncompressed 24-bit BMP of an RGB image."""
    img = img.convert("RGB")
    w, h = img.size
    pad = b"\0" * _row_pad(w * 3)
    raw = img.tobytes()  # RGB, top-down
    rows = []
    for y in range(h - 1, -1, -1):
        row = raw[y * w * 3:(y + 1) * w * 3]
        bgr = bytearray(len(row))
        bgr[0::3], bgr[1::3], bgr[2::3] = row[2::3], row[1::3], row[0::3]
        rows.append(bytes(bgr) + pad)
    pixels = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels),
                       2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 14 + 40)
    return head + info + pixels


def _and_mask(alpha, threshold=128):
    """1-bit AND mask rows, bottom-up: 1 where the pixel is see-through."""
    w, h = alpha.size
    stride = ((w + 31) // 32) * 4
    px = alpha.load()
    out = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            if px[x, y] < threshold:
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def _dib_header(w, h, bpp, image_bytes, colours=0):
    # Icon and cursor DIBs state twice the height: XOR image plus AND mask.
    return struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, bpp, 0, image_bytes,
                       0, 0, colours, 0)


def _icon_dib32(img):
    w, h = img.size
    raw = img.tobytes("raw", "BGRA")
    xor = b"".join(raw[y * w * 4:(y + 1) * w * 4] for y in range(h - 1, -1, -1))
    mask = _and_mask(img.getchannel("A"))
    return _dib_header(w, h, 32, len(xor) + len(mask)) + xor + mask


def _icon_dib8(img):
    w, h = img.size
    alpha = img.getchannel("A")
    # Colour of see-through pixels does not matter under the mask; black keeps
    # the palette free for the emblem's own colours.
    flat = Image.new("RGB", img.size, (0, 0, 0))
    flat.paste(img.convert("RGB"), mask=alpha.point(lambda a: 255 if a >= 128 else 0))
    q = flat.quantize(colors=256, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    pal = q.getpalette()[:768]
    pal += [0] * (768 - len(pal))
    palette = b"".join(struct.pack("BBBB", pal[i + 2], pal[i + 1], pal[i], 0)
                       for i in range(0, 768, 3))
    raw = q.tobytes()
    pad = b"\0" * _row_pad(w)
    xor = b"".join(raw[y * w:(y + 1) * w] + pad for y in range(h - 1, -1, -1))
    mask = _and_mask(alpha)
    return _dib_header(w, h, 8, len(xor) + len(mask), 256) + palette + xor + mask


def ico(images):
    """ICO with a 32-bit and an 8-bit DIB entry for each RGBA image."""
    entries = []
    for img in images:
        entries.append((img.size[0], 0, 32, _icon_dib32(img)))
    for img in images:
        entries.append((img.size[0], 0, 8, _icon_dib8(img)))
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for size, colours, bpp, data in entries:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, 1,
                           bpp, len(data), offset)
        offset += len(data)
    return out + b"".join(e[3] for e in entries)


def cur_mono(art, hotspot):
    """Monochrome 32 x 32 cursor from text art: '#' black, '.' white, ' ' clear."""
    size = 32
    rows = [r.ljust(size)[:size] for r in art] + [""] * (size - len(art))
    rows = [r.ljust(size) for r in rows]
    stride = 4
    xor, mask = bytearray(), bytearray()
    for y in range(size - 1, -1, -1):
        xrow, mrow = bytearray(stride), bytearray(stride)
        for x, ch in enumerate(rows[y]):
            bit = 0x80 >> (x % 8)
            if ch == ".":
                xrow[x // 8] |= bit
            elif ch == " ":
                mrow[x // 8] |= bit
        xor += xrow
        mask += mrow
    palette = struct.pack("<II", 0x000000, 0xFFFFFF)
    dib = _dib_header(size, size, 1, len(xor) + len(mask), 2) + palette + xor + mask
    head = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, hotspot[0], hotspot[1],
                        len(dib), 6 + 16)
    return head + entry + dib
