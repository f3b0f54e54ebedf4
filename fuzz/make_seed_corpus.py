#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets: WAVE files and broken RIFF
images built here byte by byte, so that fuzzing starts from every layout
the loader has to cope with instead of rediscovering the format.

usage: make_seed_corpus.py OUTPUT_DIR

Writes OUTPUT_DIR/fuzz_load/ (the files as they are) and
OUTPUT_DIR/fuzz_convert/ (each file behind the two selector bytes that
fuzz/fuzz_entries.h describes: target choice, then stream buffer size).
The output is deterministic and is not committed; fuzz/regression/ is.
"""

import math
import os
import random
import struct
import sys

TARGET_CHOICES = 5 * 12 * 2
BUFFER_SELECTORS = 16

PCM, ADPCM, FLOAT, EXTENSIBLE, UNKNOWN = 1, 2, 3, 0xFFFE, 0
SUB_PCM, SUB_FLOAT = 1, 3


def le16(v):
    return struct.pack("<H", v & 0xFFFF)


def le32(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def chunk(ckid, body, declared=None, pad=True):
    """A chunk; an odd body gets its pad byte unless pad is False."""
    size = len(body) if declared is None else declared
    out = ckid + le32(size) + body
    if pad and len(body) % 2:
        out += b"\0"
    return out


def riff(chunks, form=b"WAVE", declared=None, ckid=b"RIFF"):
    body = form + b"".join(chunks)
    return ckid + le32(len(body) if declared is None else declared) + body


def fmt_body(tag, channels, rate, bits, size=16, align=None):
    """The first `size` bytes of an 18-byte record (zero bytes beyond 18)."""
    if align is None:
        align = (bits // 8) * channels
    record = (le16(tag) + le16(channels) + le32(rate) + le32(rate * align) + le16(align) + le16(bits) +
              le16(max(0, size - 18)))
    return (record + b"\0" * max(0, size - 18))[:size]


def extensible_fmt(channels, rate, bits, sub_code, size=40, valid_bits=None, garbage_guid=False):
    body = fmt_body(EXTENSIBLE, channels, rate, bits, 18)[:16] + le16(22)
    body += le16(bits if valid_bits is None else valid_bits) + le32(3 if channels == 2 else 4)
    guid_tail = bytes([0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71])
    if garbage_guid:
        guid_tail = bytes(reversed(guid_tail))
    body += le16(sub_code) + guid_tail
    return (body + b"\0" * max(0, size - len(body)))[:size]


def wave(fmt, data, extra_before=(), extra_between=(), extra_after=(), form=b"WAVE"):
    return riff(list(extra_before) + [chunk(b"fmt ", fmt)] + list(extra_between) + [chunk(b"data", data)] +
                list(extra_after), form)


class Samples:
    """Sample bytes with the values that matter at the edges of each width."""

    def __init__(self, seed):
        self.rng = random.Random(seed)

    def ints(self, bits, count):
        if bits == 8:
            edges = [0, 1, 127, 128, 255, 254]
            values = [edges[i] if i < len(edges) else self.rng.randrange(256) for i in range(count)]
            return bytes(values)
        lo, hi = -(1 << (bits - 1)), (1 << (bits - 1)) - 1
        edges = [lo, hi, 0, -1, 1, lo + 1, hi - 1, 1 << (bits - 2), -(1 << (bits - 2))]
        if bits == 24:
            edges += [-0x800000 + 0xFFFF, 0x10000 - 0x800000]
        out = b""
        for i in range(count):
            v = edges[i] if i < len(edges) else self.rng.randint(lo, hi)
            out += (v & ((1 << bits) - 1)).to_bytes(bits // 8, "little")
        return out

    def floats(self, count, double=False):
        edges = [1.0, -1.0, 1.5, -1.5, 0.0, -0.0, math.inf, -math.inf, math.nan, 0.5, -0.5, 1e-30,
                 1.0 - 2.0 ** -24, -1.0 + 2.0 ** -24, 3.0e38, -3.0e38]
        fmt = "<d" if double else "<f"
        return b"".join(struct.pack(fmt, edges[i] if i < len(edges) else self.rng.uniform(-1.1, 1.1))
                        for i in range(count))

    def raw(self, count):
        return bytes(self.rng.randrange(256) for _ in range(count))


def corpus():
    """(name, bytes) for every seed."""
    s = Samples(1)
    seeds = []

    def add(name, data):
        seeds.append((name, data))

    rates = [44100, 48000, 8000, 11025, 22050, 96000, 192000, 176400, 88200, 16000, 24000, 32000, 12345, 1]

    # Every width and tag the loader and the engine tell apart, mono, stereo and six channels.
    formats = [
        ("pcm8", PCM, 8, lambda n: s.ints(8, n)),
        ("pcm16", PCM, 16, lambda n: s.ints(16, n)),
        ("pcm24", PCM, 24, lambda n: s.ints(24, n)),
        ("pcm32", PCM, 32, lambda n: s.ints(32, n)),
        ("float32", FLOAT, 32, lambda n: s.floats(n)),
        ("float64", FLOAT, 64, lambda n: s.floats(n, double=True)),
        ("pcm4", PCM, 4, lambda n: s.raw((n + 1) // 2)),
        ("adpcm4", ADPCM, 4, lambda n: s.raw((n + 1) // 2)),
        ("pcm12", PCM, 12, lambda n: s.raw(2 * n)),
        ("tag0-16", UNKNOWN, 16, lambda n: s.ints(16, n)),
        ("float-tag-16", FLOAT, 16, lambda n: s.ints(16, n)),
    ]
    index = 0
    for name, tag, bits, make in formats:
        for channels in (1, 2, 6):
            for frames in (0, 1, 7, 40):
                rate = rates[index % len(rates)]
                index += 1
                add("%s-%dch-%dHz-%df" % (name, channels, rate, frames),
                    wave(fmt_body(tag, channels, rate, bits), make(frames * channels)))
        # A longer block, so that streaming runs over several pieces.
        add("%s-stereo-long" % name, wave(fmt_body(tag, 2, 44100, bits), make(600)))

    # The extensible form: float and integer sub-formats, too short, a foreign GUID.
    for bits, sub, label in ((32, SUB_FLOAT, "float32"), (64, SUB_FLOAT, "float64"), (24, SUB_FLOAT, "float24"),
                             (16, SUB_PCM, "pcm16"), (24, SUB_PCM, "pcm24"), (32, SUB_PCM, "pcm32")):
        data = s.floats(24) if sub == SUB_FLOAT and bits == 32 else s.ints(bits if bits <= 32 else 32, 24)
        for size in (40, 39, 38, 24, 18, 41, 48):
            add("extensible-%s-fmt%d" % (label, size), wave(extensible_fmt(2, 48000, bits, sub, size), data))
    add("extensible-float32-foreign-guid", wave(extensible_fmt(2, 48000, 32, SUB_FLOAT, garbage_guid=True),
                                                s.floats(24)))
    add("extensible-float32-mono-192k", wave(extensible_fmt(1, 192000, 32, SUB_FLOAT), s.floats(31)))

    # "fmt " sizes from too short to longer than the record, odd ones with and without their pad byte.
    for size in (0, 2, 13, 14, 15, 16, 17, 18, 19, 20, 22, 39, 40, 41, 64):
        body = fmt_body(PCM, 2, 44100, 16, size)
        add("fmt-size-%d" % size, wave(body, s.ints(16, 20)))
        if size % 2:
            no_pad = riff([chunk(b"fmt ", body, pad=False), chunk(b"data", s.ints(16, 20))])
            add("fmt-size-%d-no-pad" % size, no_pad)
    add("fmt-declares-more-than-parent", riff([chunk(b"fmt ", fmt_body(PCM, 2, 44100, 16), declared=0x1000)]))
    add("fmt-size-near-4GiB", riff([chunk(b"fmt ", fmt_body(PCM, 2, 44100, 16), declared=0xFFFFFFFF),
                                    chunk(b"data", s.ints(16, 8))]))

    # Chunks before, between and after, of odd sizes and with sizes that wrap.
    info = chunk(b"LIST", b"INFO" + chunk(b"ISFT", b"quorvant seed\0") + chunk(b"INAM", b"odd"))
    junk_odd = chunk(b"JUNK", b"\0" * 27)
    fact = chunk(b"fact", le32(20))
    pcm = s.ints(16, 40)
    fmt16 = fmt_body(PCM, 2, 44100, 16)
    add("extra-before", wave(fmt16, pcm, extra_before=[info, junk_odd]))
    add("extra-between", wave(fmt16, pcm, extra_between=[fact, junk_odd, info]))
    add("extra-after", wave(fmt16, pcm, extra_after=[info, junk_odd]))
    add("extra-everywhere", wave(fmt16, pcm, [junk_odd], [info, fact], [junk_odd, info]))
    add("junk-odd-no-pad", riff([chunk(b"JUNK", b"\0" * 27, pad=False), chunk(b"fmt ", fmt16),
                                 chunk(b"data", pcm)]))
    for declared in (0xFFFFFFFF, 0xFFFFFFFE, 0xFFFFFFF8, 0xFFFFFFF7, 0x80000000, 0x7FFFFFFF):
        add("junk-size-%08x-before-fmt" % declared,
            riff([chunk(b"JUNK", b"\0" * 8, declared=declared), chunk(b"fmt ", fmt16), chunk(b"data", pcm)]))
        add("junk-size-%08x-before-data" % declared,
            riff([chunk(b"fmt ", fmt16), chunk(b"JUNK", b"\0" * 8, declared=declared), chunk(b"data", pcm)]))
    add("fmt-inside-list", riff([chunk(b"LIST", b"INFO" + chunk(b"fmt ", fmt16)), chunk(b"data", pcm)]))

    # "data": empty, odd, partial samples and frames, with and without a pad byte.
    for frames_bytes in (0, 1, 2, 3, 5, 6, 7, 9, 11, 13):
        add("data-%d-bytes-pcm16" % frames_bytes, wave(fmt16, s.ints(16, 8)[:frames_bytes]))
        add("data-%d-bytes-pcm24" % frames_bytes, wave(fmt_body(PCM, 2, 48000, 24), s.ints(24, 8)[:frames_bytes]))
        add("data-%d-bytes-float" % frames_bytes, wave(fmt_body(FLOAT, 1, 96000, 32), s.floats(8)[:frames_bytes]))
    add("data-odd-no-pad-then-list", riff([chunk(b"fmt ", fmt16), chunk(b"data", pcm[:-1], pad=False), info]))

    # Declared sizes the file does not hold: slightly more, around the load cap, near 4 GiB.
    for declared in (len(pcm) + 1, len(pcm) + 4096, 0x0000FFFF, 0x00010000, 0x00010001, 0x00040001, 0x00100000,
                     0x7FFFFFFF, 0x80000000, 0xFFFFFFDB, 0xFFFFFFDC, 0xFFFFFFFE, 0xFFFFFFFF):
        for label, body, fmt in (("pcm16", pcm, fmt16), ("pcm8-mono-8k", s.ints(8, 20), fmt_body(PCM, 1, 8000, 8)),
                                 ("float", s.floats(10), fmt_body(FLOAT, 2, 192000, 32))):
            add("data-declares-%08x-%s" % (declared, label),
                riff([chunk(b"fmt ", fmt), chunk(b"data", body, declared=declared, pad=False)]))

    # The RIFF size: smaller than the file (chunks outside it), larger, near 4 GiB.
    canonical = wave(fmt16, pcm)
    for declared in (0, 4, 12, 20, 28, 36, len(canonical) - 9, len(canonical) - 8, len(canonical),
                     len(canonical) + 100, 0x7FFFFFFF, 0xFFFFFFFF):
        add("riff-size-%08x" % declared, canonical[:4] + le32(declared) + canonical[8:])

    # Truncations of a canonical file, inside every header field and inside the samples.
    float_file = wave(fmt_body(FLOAT, 2, 48000, 32), s.floats(16))
    for cut in list(range(0, 49)) + [50, 53, 60, 75, len(canonical) - 1]:
        add("truncated-pcm16-at-%d" % cut, canonical[:cut])
    for cut in (44, 45, 46, 47, 50, 63, len(float_file) - 1):
        add("truncated-float-at-%d" % cut, float_file[:cut])
    extensible_file = wave(extensible_fmt(2, 48000, 32, SUB_FLOAT), s.floats(8))
    for cut in (20, 40, 50, 59, 60, 67, 68, 69):
        add("truncated-extensible-at-%d" % cut, extensible_file[:cut])

    # Order and presence of the chunks.
    add("data-before-fmt", riff([chunk(b"data", pcm), chunk(b"fmt ", fmt16)]))
    add("data-before-and-after-fmt", riff([chunk(b"data", pcm), chunk(b"fmt ", fmt16), chunk(b"data", pcm[:8])]))
    add("no-fmt", riff([chunk(b"data", pcm)]))
    add("no-data", riff([chunk(b"fmt ", fmt16), info]))
    add("two-fmt", riff([chunk(b"fmt ", fmt16), chunk(b"fmt ", fmt_body(PCM, 1, 8000, 8)), chunk(b"data", pcm)]))
    add("two-data", riff([chunk(b"fmt ", fmt16), chunk(b"data", pcm[:6]), chunk(b"data", pcm)]))
    add("empty-riff", riff([]))
    add("only-riff-id", b"RIFF")

    # Other containers and forms: any RIFF form is read, others are not RIFF.
    for form in (b"AVI ", b"RMID", b"WAVX", b"\0\0\0\0"):
        add("form-%s" % form.decode("latin-1").strip().replace("\0", "0") or "blank", wave(fmt16, pcm, form=form))
    for ckid in (b"RIFX", b"RF64", b"riff", b"LIST"):
        add("container-%s" % ckid.decode(), ckid + canonical[4:])
    add("junk-before-riff", chunk(b"JUNK", b"\0" * 10) + canonical)
    add("odd-junk-before-riff", chunk(b"JUNK", b"\0" * 11) + canonical)
    add("riff-after-other-riff", riff([chunk(b"LIST", b"")], form=b"AVI ") + canonical)

    # Field values a conversion has to refuse or treat specially.
    for label, channels, rate, bits in (("zero-rate", 2, 0, 16), ("zero-channels", 0, 44100, 16),
                                        ("zero-bits", 2, 44100, 0), ("one-bit", 1, 8000, 1),
                                        ("seven-bits", 1, 8000, 7), ("bits-65535", 2, 44100, 0xFFFF),
                                        ("channels-65535", 0xFFFF, 44100, 16), ("rate-4294967295", 2, 0xFFFFFFFF, 16),
                                        ("rate-1", 2, 1, 16), ("rate-1-pcm8-mono", 1, 1, 8),
                                        ("six-channels-pcm24", 6, 48000, 24), ("three-channels-pcm8", 3, 8000, 8)):
        add("field-%s" % label, wave(fmt_body(PCM, channels, rate, bits), s.raw(48)))
    add("block-align-wrong", wave(fmt_body(PCM, 2, 44100, 16, align=3), pcm))
    return seeds


def main():
    if len(sys.argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    out = sys.argv[1]
    load_dir = os.path.join(out, "fuzz_load")
    convert_dir = os.path.join(out, "fuzz_convert")
    for d in (load_dir, convert_dir):
        os.makedirs(d, exist_ok=True)
        for name in os.listdir(d):
            os.remove(os.path.join(d, name))

    seeds = corpus()
    names = set()
    for i, (name, data) in enumerate(seeds):
        assert name not in names, name
        names.add(name)
        with open(os.path.join(load_dir, name + ".wav"), "wb") as f:
            f.write(data)
        # Two targets and buffer sizes per file; stepping by 7 and 61 (prime to 120) reaches every choice.
        for choice, buffer in (((i * 7) % TARGET_CHOICES, i % BUFFER_SELECTORS),
                               ((i * 7 + 61) % TARGET_CHOICES, (i * 5 + 3) % BUFFER_SELECTORS)):
            with open(os.path.join(convert_dir, "%s.t%03d.b%02d" % (name, choice, buffer)), "wb") as f:
                f.write(bytes([choice, buffer]) + data)
    # Every target for one ordinary file, whatever the number of seeds above.
    canonical = wave(fmt_body(PCM, 2, 44100, 16), Samples(2).ints(16, 64))
    for choice in range(TARGET_CHOICES):
        with open(os.path.join(convert_dir, "all-targets-pcm16.t%03d" % choice), "wb") as f:
            f.write(bytes([choice, choice % BUFFER_SELECTORS]) + canonical)
    print("%d seeds for fuzz_load, %d for fuzz_convert in %s" %
          (len(os.listdir(load_dir)), len(os.listdir(convert_dir)), out))
    return 0


if __name__ == "__main__":
    sys.exit(main())
