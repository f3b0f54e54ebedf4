#!/usr/bin/env python3
"""quorvant-convert against full disks and odd paths: a file-size limit cutting
the output anywhere (header, samples, the last byte, pieces of a streamed
conversion), outputs that cannot be created, names of 255 bytes and more,
names that are not UTF-8, and paths longer than 4000 bytes.

Usage: test_hardening.py PATH-TO-quorvant-convert [unittest arguments]
"""

import os
import shutil
import sys
import unittest

import cli_harness
from cli_harness import TempDirTest, limit_file_size, listing, run
from wave_images import read_bytes, wave_image, write_bytes

WRITE_ERROR = b"Error.\n"
READ_ERROR = b"The error occurred by the file reading.\n"
NG_WRITE = b"NG (Can not write file.)"
NG_CREATE = b"NG (Can not create file.)"
OLD = b"the previous output, kept byte for byte\n"
PATH_MAX = 4096


def samples(count, seed=1):
    return bytes((seed + i * 7) % 256 for i in range(count))


def stereo16(path, data_bytes, seed=1):
    """A 16-bit stereo file at 44100 Hz, which the default target leaves as it is."""
    image = wave_image(1, 2, 44100, 16, samples(data_bytes, seed))
    write_bytes(path, image)
    return image


def deep_folder(test, length, letter=b"d"):
    """Nested folders of 200-byte names below the test's folder until the path
    has at least `length` bytes; made through directory descriptors, so it may
    pass the system's path limit. Returns the path as bytes, without a
    trailing '/'. Removed at the end of the test (by descriptors too)."""
    path = os.fsencode(test.tmp)
    test.addCleanup(shutil.rmtree, os.path.join(path, letter * 200), ignore_errors=False)
    fd = os.open(path, os.O_RDONLY | os.O_DIRECTORY)
    try:
        while len(path) + 1 < length:
            part = letter * min(200, length - len(path) - 1)
            os.mkdir(part, dir_fd=fd)
            next_fd = os.open(part, os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
            os.close(fd)
            fd = next_fd
            path += b"/" + part
    finally:
        os.close(fd)
    return path


def write_deep(folder, name, content):
    """Writes a file in a folder whatever the folder's path length."""
    fd = os.open(b"/", os.O_RDONLY | os.O_DIRECTORY)
    for part in folder.strip(b"/").split(b"/"):
        next_fd = os.open(part, os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
        os.close(fd)
        fd = next_fd
    file_fd = os.open(name, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644, dir_fd=fd)
    os.close(fd)
    with os.fdopen(file_fd, "wb") as f:
        f.write(content)


class FullDiskTests(TempDirTest):
    """The output may grow only to a limit; whatever does not fit is a failure
    with nothing half-written left and an older output kept."""

    def setUp(self):
        super().setUp()
        self.inp = self.path("in.wav")
        self.image = stereo16(self.inp, 16384)  # 16428 bytes as a file, 32812 at 32 bits
        self.out_dir = self.folder("out")
        self.out = os.path.join(self.out_dir, "out.wav")

    def check_single(self, bits, limit, fits, existing):
        if existing:
            write_bytes(self.out, OLD)
        elif os.path.exists(self.out):
            os.remove(self.out)
        r = run(["--bits", bits, self.inp, self.out], preexec_fn=limit_file_size(limit))
        if fits:
            self.assertEqual((r.returncode, r.stdout, r.stderr), (0, b"", b""))
            self.assertEqual(os.path.getsize(self.out), limit)
        else:
            self.assertEqual((r.returncode, r.stdout, r.stderr), (1, b"", WRITE_ERROR))
            if existing:
                self.assertEqual(read_bytes(self.out), OLD)
        self.assertEqual(listing(self.out_dir), ["out.wav"] if fits or existing else [])
        self.assertEqual(read_bytes(self.inp), self.image)

    def test_single_form_limits(self):
        cases = [
            ("16", 0, False), ("16", 20, False), ("16", 44, False), ("16", 8000, False),
            ("16", 16427, False), ("16", 16428, True),
            ("32", 32811, False), ("32", 32812, True),
            ("32float", 44, False), ("32float", 20000, False), ("32float", 32811, False), ("32float", 32812, True),
        ]
        for bits, limit, fits in cases:
            for existing in (False, True):
                with self.subTest(bits=bits, limit=limit, existing=existing):
                    self.check_single(bits, limit, fits, existing)
        # What fitted exactly is the same file as without a limit.
        self.check_single("16", 16428, True, False)
        self.assertEqual(read_bytes(self.out), self.image)

    def test_streamed_conversion_cut_between_pieces(self):
        # 12 MB of samples pass through the converter in several pieces; the
        # limit falls in the middle of the third.
        big = self.path("big.wav")
        stereo16(big, 12_000_000, seed=5)
        for bits, limit in (("24", 10_000_000), ("32float", 9_000_001), ("16", 12_000_043)):
            for existing in (False, True):
                with self.subTest(bits=bits, limit=limit, existing=existing):
                    if existing:
                        write_bytes(self.out, OLD)
                    elif os.path.exists(self.out):
                        os.remove(self.out)
                    r = run(["--bits", bits, big, self.out], preexec_fn=limit_file_size(limit))
                    self.assertEqual((r.returncode, r.stdout, r.stderr), (1, b"", WRITE_ERROR))
                    self.assertEqual(listing(self.out_dir), ["out.wav"] if existing else [])
                    if existing:
                        self.assertEqual(read_bytes(self.out), OLD)

    def test_batch_form_limits(self):
        small = self.path("small.wav")
        stereo16(small, 64)  # 108 bytes as a file
        small2 = self.path("small2.wav")
        stereo16(small2, 64, seed=9)
        cases = [
            (0, [NG_WRITE, NG_WRITE, NG_WRITE]),
            (44, [NG_WRITE, NG_WRITE, NG_WRITE]),
            (4096, [b"OK", NG_WRITE, b"OK"]),
            (16427, [b"OK", NG_WRITE, b"OK"]),
            (16428, [b"OK", b"OK", b"OK"]),
        ]
        for limit, results in cases:
            with self.subTest(limit=limit):
                for name in os.listdir(self.out_dir):
                    os.remove(os.path.join(self.out_dir, name))
                write_bytes(os.path.join(self.out_dir, "in.wav"), OLD)
                r = run(["--out-dir", self.out_dir, small, self.inp, small2], preexec_fn=limit_file_size(limit))
                self.assertEqual(r.returncode, 0 if results == [b"OK"] * 3 else 1)
                self.assertEqual(r.stderr, b"")
                self.assertEqual(r.stdout, b"".join(os.fsencode(p) + b": " + res + b"\n"
                                                    for p, res in zip([small, self.inp, small2], results)))
                expected = ["in.wav"] + (["small.wav", "small2.wav"] if results[0] == b"OK" else [])
                self.assertEqual(listing(self.out_dir), sorted(expected))
                self.assertEqual(read_bytes(os.path.join(self.out_dir, "in.wav")),
                                 self.image if results[1] == b"OK" else OLD)


class OutputFolderTests(TempDirTest):
    def setUp(self):
        super().setUp()
        self.a = self.path("a.wav")
        stereo16(self.a, 64)
        self.b = self.path("b.wav")
        stereo16(self.b, 64, seed=3)

    def lines(self, *results):
        return b"".join(os.fsencode(p) + b": " + res + b"\n" for p, res in zip([self.a, self.b], results))

    def test_out_dir_that_is_a_file(self):
        not_a_folder = self.path("plain file")
        write_bytes(not_a_folder, OLD)
        r = run(["--out-dir", not_a_folder, self.a, self.b])
        self.assertEqual((r.returncode, r.stdout, r.stderr), (1, self.lines(NG_CREATE, NG_CREATE), b""))
        self.assertEqual(read_bytes(not_a_folder), OLD)
        self.assertEqual(listing(self.tmp), ["a.wav", "b.wav", "plain file"])

    def test_targets_that_are_folders_or_read_only(self):
        out = self.folder("out")
        os.mkdir(os.path.join(out, "a.wav"))
        write_bytes(os.path.join(out, "b.wav"), OLD)
        os.chmod(os.path.join(out, "b.wav"), 0o444)
        r = run(["--out-dir", out, self.a, self.b])
        self.assertEqual((r.returncode, r.stdout, r.stderr), (1, self.lines(NG_CREATE, NG_CREATE), b""))
        self.assertEqual(listing(out), ["a.wav", "b.wav"])
        self.assertEqual(listing(os.path.join(out, "a.wav")), [])
        self.assertEqual(read_bytes(os.path.join(out, "b.wav")), OLD)


class PathTests(TempDirTest):
    def test_names_of_255_bytes(self):
        japanese = "音" * 83 + "xx.wav"
        for name in ["n" * 251 + ".wav", japanese, b"\xff" * 251 + b".wav"]:
            name = os.fsencode(name)
            self.assertEqual(len(name), 255)
            with self.subTest(name=name[:12]):
                inp = os.path.join(os.fsencode(self.folder("in")), name)
                image = stereo16(inp, 32)
                out = os.path.join(os.fsencode(self.folder("single")), name)
                r = run(["--", inp, out])
                self.assertEqual((r.returncode, r.stderr), (0, b""))
                self.assertEqual(read_bytes(out), image)
                out_dir = os.fsencode(self.folder("batch"))
                r = run(["--out-dir", out_dir, "--", inp])
                self.assertEqual((r.returncode, r.stdout, r.stderr), (0, inp + b": OK\n", b""))
                self.assertEqual(read_bytes(os.path.join(out_dir, name)), image)

    def test_names_of_256_bytes_are_refused(self):
        inp = self.path("in.wav")
        stereo16(inp, 32)
        too_long = self.path("n" * 252 + ".wav")
        r = run([inp, too_long])
        self.assertEqual((r.returncode, r.stdout, r.stderr), (1, b"", WRITE_ERROR))
        r = run([too_long, self.path("out.wav")])
        self.assertEqual((r.returncode, r.stdout, r.stderr), (1, b"", READ_ERROR))
        self.assertEqual(listing(self.tmp), ["in.wav"])

    def test_leading_dash(self):
        inp = self.path("in.wav")
        image = stereo16(inp, 32)
        # Without "--" the name reads as an option: a usage error, nothing written.
        r = run([inp, "-out.wav"], cwd=self.tmp)
        self.assertEqual(r.returncode, 2)
        self.assertIn(b"-out.wav", r.stderr)
        self.assertEqual(listing(self.tmp), ["in.wav"])
        # After "--", or spelled with a folder, it is a name like any other.
        for args in (["--", inp, "-out.wav"], [inp, "./-also.wav"]):
            with self.subTest(args=args):
                r = run(args, cwd=self.tmp)
                self.assertEqual((r.returncode, r.stderr), (0, b""))
        self.assertEqual(read_bytes(self.path("-out.wav")), image)
        self.assertEqual(read_bytes(self.path("-also.wav")), image)

    def test_names_differing_only_in_invalid_bytes_stay_apart(self):
        names = [b"\xff.wav", b"\xfe.wav", "\ufffd".encode() + b".wav", b"\x80.wav"]
        d = os.fsencode(self.folder("in"))
        inputs = []
        for i, name in enumerate(names):
            inputs.append(os.path.join(d, name))
            stereo16(inputs[-1], 32, seed=40 * i)
        out = os.fsencode(self.folder("out"))
        r = run(["--out-dir", out, "--"] + inputs)
        self.assertEqual((r.returncode, r.stderr), (0, b""))
        self.assertEqual(r.stdout, b"".join(p + b": OK\n" for p in inputs))
        self.assertEqual(sorted(os.listdir(out)), sorted(names))
        for inp, name in zip(inputs, names):
            self.assertEqual(read_bytes(os.path.join(out, name)), read_bytes(inp))

    def test_paths_just_under_the_limit(self):
        inp_dir = deep_folder(self, 4040, b"i")
        out_dir = deep_folder(self, 4020, b"o")
        name = b"f" * 40 + b".wav"
        self.assertTrue(4000 < len(inp_dir) + 1 + len(name) < PATH_MAX)
        image = wave_image(1, 2, 44100, 16, samples(32))
        write_deep(inp_dir, name, image)
        inp = inp_dir + b"/" + name
        r = run([inp, out_dir + b"/" + name])
        self.assertEqual((r.returncode, r.stderr), (0, b""))
        self.assertEqual(read_bytes(out_dir + b"/" + name), image)
        os.remove(out_dir + b"/" + name)
        r = run(["--out-dir", out_dir, inp])
        self.assertEqual((r.returncode, r.stdout, r.stderr), (0, inp + b": OK\n", b""))
        self.assertEqual(os.listdir(out_dir), [name])

    def test_paths_over_the_limit_get_a_clear_message(self):
        deep = deep_folder(self, 4200)
        self.assertGreater(len(deep), PATH_MAX)
        write_deep(deep, b"deep.wav", wave_image(1, 2, 44100, 16, samples(32)))
        short = self.path("short.wav")
        stereo16(short, 32)
        before = listing(self.tmp)
        cases = [
            ([deep + b"/deep.wav", self.path("out.wav")], 1, b"", READ_ERROR),
            ([short, deep + b"/out.wav"], 1, b"", WRITE_ERROR),
            # Refused before the run: no result line.
            (["--out-dir", self.tmp, deep + b"/deep.wav"], 1, b"", READ_ERROR),
            (["--out-dir", deep, short], 1, os.fsencode(short) + b": " + NG_CREATE + b"\n", b""),
        ]
        for args, status, stdout, stderr in cases:
            with self.subTest(args=[a[-20:] for a in args]):
                r = run(args)
                self.assertEqual((r.returncode, r.stdout, r.stderr), (status, stdout, stderr))
                self.assertEqual(listing(self.tmp), before)


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    cli_harness.BINARY = os.path.abspath(sys.argv[1])
    unittest.main(argv=[sys.argv[0]] + sys.argv[2:], verbosity=2)
