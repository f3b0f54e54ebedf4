#!/usr/bin/env python3
"""quorvant-convert on inputs of 2 GiB and 3.9 GiB, made sparse on disk: known
samples at the start, in the middle and at the end, holes (zero samples)
between. Where the result fits a WAVE file it is checked at those places and
in the holes; where a stage's result would pass the 32-bit size limit the run
fails as the engine's failure ("An exception error.", exit 1, no output).

Usage: test_large.py PATH-TO-quorvant-convert [unittest arguments]
"""

import os
import struct
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cli"))

import cli_harness  # noqa: E402
from cli_harness import TempDirTest, listing, run  # noqa: E402
from conversion_model import Source, expected_data, scaled_size  # noqa: E402
from wave_images import fmt_body  # noqa: E402

GIB = 1 << 30
TWO_GIB = 2 * GIB
# 3.9 GiB of whole 16-bit stereo frames.
NEARLY_4_GIB = int(3.9 * GIB) // 4 * 4
ENGINE_FAILURE = b"An exception error.\n"
MARKER_FRAMES = 64
FRAME = 4  # 16-bit stereo


def marker(seed):
    """64 frames of 16-bit stereo values, the ends of the range among them."""
    values = [0, -1, 32767, -32768, 256, -256, 16384, -16384]
    x = seed
    while len(values) < 2 * MARKER_FRAMES:
        x = (x * 1103515245 + 12345) & 0x7FFFFFFF
        values.append((x >> 8) % 65536 - 32768)
    return Source("s16", 44100, 2, values)


def make_sparse(path, data_bytes):
    """A 16-bit stereo file at 44100 Hz of `data_bytes` sample bytes; returns
    {frame index: Source} of the markers written into it."""
    markers = {0: marker(1), (data_bytes // 2) // FRAME: marker(2), data_bytes // FRAME - MARKER_FRAMES: marker(3)}
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 36 + data_bytes) + b"WAVEfmt " + struct.pack("<I", 16)
                + fmt_body(1, 2, 44100, 16) + b"data" + struct.pack("<I", data_bytes))
        f.truncate(44 + data_bytes)
        for frame, source in markers.items():
            f.seek(44 + frame * FRAME)
            f.write(struct.pack("<%dh" % len(source.values), *source.values))
    return markers


def read_at(path, offset, count):
    with open(path, "rb") as f:
        f.seek(offset)
        return f.read(count)


class LargeTests(TempDirTest):
    """Each input is made once per test; outputs are removed as soon as they
    are checked, so the disk holds at most one of them at a time."""

    def check_output(self, out, data_bytes, markers, bits, channels):
        t = 32 if bits.startswith("32") else int(bits)
        nch = 2 if channels == "stereo" else 1
        out_frame = t // 8 * nch
        size = data_bytes
        if t != 16:
            size = scaled_size(t, 16, size)
        if nch != 2:
            size = scaled_size(nch, 2, size)
        tag = 3 if bits == "32float" else 1
        header = (b"RIFF" + struct.pack("<I", 36 + size) + b"WAVEfmt " + struct.pack("<I", 16)
                  + fmt_body(tag, nch, 44100, t) + b"data" + struct.pack("<I", size))
        self.assertEqual(read_at(out, 0, 44), header)
        self.assertEqual(os.path.getsize(out), 44 + size)
        # Width and channels act frame by frame: input frame i becomes output frame i.
        for frame, source in markers.items():
            expected = expected_data(source, bits, 44100, channels)
            self.assertEqual(read_at(out, 44 + frame * out_frame, len(expected)), expected, "marker at frame %d" % frame)
        zero = expected_data(Source("s16", 44100, 2, [0] * 8), bits, 44100, channels)
        frames = size // out_frame
        for frame in (MARKER_FRAMES, frames // 4, frames // 2 - 4, frames // 2 + MARKER_FRAMES + 1, frames - MARKER_FRAMES - 4):
            self.assertEqual(read_at(out, 44 + frame * out_frame, len(zero)), zero, "hole at frame %d" % frame)

    def converts(self, data_bytes, conversions):
        inp = self.path("in.wav")
        markers = make_sparse(inp, data_bytes)
        out_dir = self.folder("out")
        for form, bits, channels in conversions:
            with self.subTest(form=form, bits=bits, channels=channels):
                args = ["--bits", bits, "--channels", channels]
                if form == "single":
                    out = os.path.join(out_dir, "out.wav")
                    r = run(args + [inp, out])
                    self.assertEqual((r.returncode, r.stdout, r.stderr), (0, b"", b""))
                else:
                    out = os.path.join(out_dir, "in.wav")
                    r = run(args + ["--out-dir", out_dir, inp])
                    self.assertEqual((r.returncode, r.stdout, r.stderr), (0, os.fsencode(inp) + b": OK\n", b""))
                self.assertEqual(listing(out_dir), [os.path.basename(out)])
                self.check_output(out, data_bytes, markers, bits, channels)
                os.remove(out)

    def test_2_gib(self):
        self.converts(TWO_GIB, [
            ("single", "16", "stereo"),    # 2 GiB out, samples unchanged
            ("single", "8", "mono"),       # 512 MiB
            ("batch", "24", "stereo"),     # 3 GiB
            ("batch", "24", "mono"),       # 3 GiB at the width stage, then 1.5 GiB
        ])

    def refused(self, data_bytes, conversions):
        inp = self.path("in.wav")
        make_sparse(inp, data_bytes)
        out_dir = self.folder("out")
        out = os.path.join(out_dir, "out.wav")
        old = b"an older output\n"
        for args in conversions:
            for existing in (False, True):
                with self.subTest(args=args, existing=existing):
                    if existing:
                        with open(out, "wb") as f:
                            f.write(old)
                    r = run(args + [inp, out])
                    self.assertEqual((r.returncode, r.stdout, r.stderr), (1, b"", ENGINE_FAILURE))
                    self.assertEqual(listing(out_dir), ["out.wav"] if existing else [])
                    if existing:
                        with open(out, "rb") as f:
                            self.assertEqual(f.read(), old)
                        os.remove(out)
        r = run(conversions[0] + ["--out-dir", out_dir, inp])
        self.assertEqual((r.returncode, r.stdout, r.stderr),
                         (1, b"", b"An exception error.\n[" + os.fsencode(inp) + b"]\n"))
        self.assertEqual(listing(out_dir), [])

    def test_2_gib_widened_to_32_bits_is_refused(self):
        # Exactly 4 GiB of samples: past the largest "data" chunk by 37 bytes.
        self.refused(TWO_GIB, [["--bits", "32"], ["--bits", "32float", "--channels", "mono"]])

    def test_3_9_gib(self):
        self.converts(NEARLY_4_GIB, [
            ("single", "16", "stereo"),  # 3.9 GiB out: still under the limit
            ("batch", "8", "stereo"),    # 1.95 GiB
        ])

    def test_3_9_gib_results_past_the_limit_are_refused(self):
        # Each stage's result must fit, so a later stage cannot save one that does not.
        self.refused(NEARLY_4_GIB, [["--bits", "24"], ["--bits", "32float"], ["--rate", "48000"],
                                    ["--bits", "24", "--channels", "mono"]])

if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    cli_harness.BINARY = os.path.abspath(sys.argv[1])
    unittest.main(argv=[sys.argv[0]] + sys.argv[2:], verbosity=2)
