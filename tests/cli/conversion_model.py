"""What quorvant-convert must write for a given input: the width, rate and
channel rules computed independently, in exact arithmetic where the rules
call for extended precision."""

import math
import struct
from fractions import Fraction

from wave_images import clamp, decode, encode, single, wave_image, write_bytes


def ext(q):
    """q rounded to a 64-bit significand, ties to even (the extended precision of the rules)."""
    if q == 0:
        return q
    sign = -1 if q < 0 else 1
    a = abs(Fraction(q))
    e = a.numerator.bit_length() - a.denominator.bit_length()
    if a < Fraction(2) ** e:
        e -= 1
    scale = Fraction(2) ** (63 - e)
    n = a * scale
    whole = math.floor(n)
    rest = n - whole
    if rest > Fraction(1, 2) or (rest == Fraction(1, 2) and whole % 2):
        whole += 1
    return sign * whole / scale


def scaled_size(b, a, n):
    """trunc((b / a) x n), the quotient formed first, each step in extended precision."""
    return math.trunc(ext(ext(Fraction(b, a)) * n)) & 0xFFFFFFFF


def load_float(x):
    """A float sample as the loader turns it into a 32-bit integer (saturated)."""
    if math.isnan(x):
        return 0
    if math.isinf(x):
        return clamp(int(math.copysign(1 << 32, x)), 32)
    return clamp(math.trunc(Fraction(x) * (1 << 31)), 32)


def width_value(kind, v, t):
    """One sample through the width stage: kind is u8, s16, s24 or s32."""
    if kind == "u8":
        return clamp((v - 127) << (t - 8), t) if t > 8 else v
    if kind == "s16":
        if t == 8:
            return clamp(math.trunc(v / 256 + 127), 8)
        return v << (t - 16)
    if kind == "s24":
        assert t in (16, 32), "24 -> 8 is not modelled"
        return v >> 8 if t == 16 else v << 8
    assert t in (16, 24), "32 -> 8 is not modelled"
    # Read as unsigned, rounded to 24 significant bits, then shifted down.
    r = int(single(float(v & 0xFFFFFFFF)))
    y = r >> (32 - t)
    return clamp(y if v >= 0 else y - (1 << t), t)


def average(a, b, width):
    if width == 1:
        return (a + b) // 2
    if width == 2:
        return int((a + b) / 2)  # toward zero
    if width == 3:
        return (a + b) >> 1  # toward minus infinity
    m = single((single(a / 2**31) + single(b / 2**31)) * 0.5)
    return clamp(math.trunc(m * 2**31), 32)


def expected_data(source, bits_choice, rate, channels):
    """The "data" chunk bytes quorvant-convert must write for `source` (a Source)."""
    t = 32 if bits_choice.startswith("32") else int(bits_choice)
    w = t // 8
    target_channels = 2 if channels == "stereo" else 1
    values = source.values
    if source.bits != t:
        values = [width_value(source.kind, v, t) for v in values]
    data = encode(values, w)

    if source.rate != rate:
        frame = w * source.channels
        size = scaled_size(rate, source.rate, len(data))
        whole = len(data) // frame
        out = bytearray(size)
        for j in range(size // frame):
            k = min(math.trunc(ext(ext(Fraction(source.rate, rate)) * j)), whole - 1)
            out[j * frame:(j + 1) * frame] = data[k * frame:(k + 1) * frame]
        data = bytes(out)

    if source.channels != target_channels:
        out = bytearray(scaled_size(target_channels, source.channels, len(data)))
        if target_channels == 2:
            for i in range(len(data) // w):
                out[2 * i * w:(2 * i + 2) * w] = data[i * w:(i + 1) * w] * 2
        else:
            samples = decode(data[: len(data) // (2 * w) * 2 * w], w)
            mono = [average(samples[2 * i], samples[2 * i + 1], w) for i in range(len(samples) // 2)]
            out[: len(mono) * w] = encode(mono, w)
        data = bytes(out)

    if bits_choice == "32float":
        whole = len(data) // 4 * 4
        data = struct.pack("<%df" % (whole // 4), *[v / 2**31 for v in decode(data[:whole], 4)]) + data[whole:]
    return data


class Source:
    """An input file made by the tests: its samples, as the engine sees them."""

    def __init__(self, kind, rate, channels, values, floats=None):
        self.kind, self.rate, self.channels, self.values = kind, rate, channels, values
        self.bits = {"u8": 8, "s16": 16, "s24": 24, "s32": 32}[kind]
        self.floats = floats  # the file holds these as IEEE floats

    def image(self):
        if self.floats is not None:
            return wave_image(3, self.channels, self.rate, 32, struct.pack("<%df" % len(self.floats), *self.floats))
        return wave_image(1, self.channels, self.rate, self.bits, encode(self.values, self.bits // 8))

    def write(self, path):
        write_bytes(path, self.image())
        return path
