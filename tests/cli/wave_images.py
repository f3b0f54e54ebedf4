"""WAVE images built byte by byte, and the sample encodings of the tests."""

import struct


def chunk(ckid, body):
    pad = b"\0" if len(body) % 2 else b""
    return ckid + struct.pack("<I", len(body)) + body + pad


def fmt_body(tag, channels, rate, bits):
    align = channels * bits // 8
    return struct.pack("<HHIIHH", tag, channels, rate, rate * align, align, bits)


def riff(chunks, form=b"WAVE"):
    return b"RIFF" + struct.pack("<I", 4 + len(chunks)) + form + chunks


def wave_image(tag, channels, rate, bits, data):
    return riff(chunk(b"fmt ", fmt_body(tag, channels, rate, bits)) + chunk(b"data", data))


def write_bytes(path, content):
    with open(path, "wb") as f:
        f.write(content)


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def encode(values, width):
    if width == 1:
        return bytes(values)
    if width == 2:
        return struct.pack("<%dh" % len(values), *values)
    if width == 3:
        return b"".join((v & 0xFFFFFF).to_bytes(3, "little") for v in values)
    return struct.pack("<%di" % len(values), *values)


def decode(data, width):
    if width == 1:
        return list(data)
    if width == 2:
        return list(struct.unpack("<%dh" % (len(data) // 2), data[: len(data) // 2 * 2]))
    if width == 3:
        return [int.from_bytes(data[i:i + 3], "little", signed=True) for i in range(0, len(data) - 2, 3)]
    return list(struct.unpack("<%di" % (len(data) // 4), data[: len(data) // 4 * 4]))


def single(x):
    """x rounded to IEEE single precision, ties to even."""
    return struct.unpack("<f", struct.pack("<f", x))[0]


def clamp(v, bits):
    if bits == 8:
        return max(0, min(255, v))
    return max(-(1 << (bits - 1)), min((1 << (bits - 1)) - 1, v))
