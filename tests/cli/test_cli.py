#!/usr/bin/env python3
"""Tests of quorvant-convert: its command line, the files it writes (read back
by sox and by Python's wave module), and how it fails.

Usage: test_cli.py PATH-TO-quorvant-convert [unittest arguments, e.g. a class name]
"""

import os
import pty
import re
import shutil
import struct
import subprocess
import sys
import unittest
import wave

import cli_harness
from cli_harness import TempDirTest, limit_file_size, limit_memory, listing, run, soxi
from conversion_model import Source, load_float, scaled_size
from wave_images import chunk, decode, fmt_body, read_bytes, riff, wave_image, write_bytes

VERSION_TEXT = b"Quorvant version 1.02"
RATES = [8000, 11025, 16000, 22050, 24000, 32000, 44100, 48000, 88200, 96000, 176400, 192000]

READ_ERROR = b"The error occurred by the file reading."
FOUR_BIT = b"The 4bit format file doesn't open out."
FLOAT_NOTICE = b"It is 32 bit floating type. It converts it into the integer type."
OUT_OF_MEMORY = b"There is not enough memory to read the file."
ENGINE_FAILURE = b"An exception error."
WRITE_ERROR = b"Error."

OK = b"OK"
NG_SAME = b"NG (The input destination and output destinations are the same.)"
NG_NOT_WAVE = b"NG (It is not an effective WAVE file.)"
NG_CREATE = b"NG (Can not create file.)"
NG_WRITE = b"NG (Can not write file.)"
NG_NAME_USED = b"NG (The output file name is already used in this run.)"


def not_wave(path):
    return b"File " + os.fsencode(path) + b" is not an effective WAVE file."



# ------------------------------------------------------------ input signals

def pcm16_stereo(frames=160, rate=44100):
    # Zero, the ends of the range and values around byte boundaries, then a
    # deterministic spread of ordinary values.
    special = [0, -1, 1, 255, 256, -256, -257, 32767, -32767, -32768, -32257, -32256, 127, -128, 1000, -1000]
    values = list(special)
    seed = 12345
    while len(values) < frames * 2:
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        values.append((seed >> 8) % 65536 - 32768)
    return Source("s16", rate, 2, values[: frames * 2])


def pcm8_mono():
    return Source("u8", 22050, 1, list(range(256)))


def pcm24_stereo_48000(frames=1000):
    # The left sample's top 16 bits give the frame number, so a picked frame can be named.
    values = []
    for i in range(frames):
        left = ((i - 500) << 8) | (i % 256)
        values += [left, -left - 1]
    return Source("s24", 48000, 2, values)


def float_stereo():
    floats = [0.0, 0.5, -1.0, 1.0, 0.25, -0.5, 1.5, -1.5, 0.75, -0.75] + [i / 64 - 1 for i in range(128)]
    return Source("s32", 44100, 2, [load_float(x) for x in floats], floats=floats)


# ---------------------------------------------------------------- the tests

class OptionTests(TempDirTest):
    CHOICE_LISTS = [b"8|16|24|32|32float", b"stereo|mono", b"|".join(str(r).encode() for r in RATES)]

    def setUp(self):
        super().setUp()
        self.input = pcm16_stereo().write(self.path("in.wav"))
        self.output = self.path("out.wav")

    def test_usage_errors_exit_2_and_name_the_choices(self):
        i, o = self.input, self.output
        cases = [
            (["--bits", "12", i, o], b"12"),
            (["--bits=32int", i, o], b"32int"),
            (["--bits", "32(float)", i, o], b"32(float)"),
            (["--bits", "", i, o], b"--bits"),
            (["--rate", "44101", i, o], b"44101"),
            (["--rate=044100", i, o], b"044100"),
            (["--rate", "44100.0", i, o], b"44100.0"),
            (["--channels", "Stereo", i, o], b"Stereo"),
            (["--channels=quad", i, o], b"quad"),
            ([i, o, "--bits"], b"--bits"),
            (["--frobnicate", i, o], b"--frobnicate"),
            (["-b", "16", i, o], b"-b"),
            (["--help=yes"], b"--help"),
            ([], b"INPUT"),
            ([i], b"INPUT"),
            ([i, o, self.path("third.wav")], b"--out-dir"),
            (["--out-dir", "", i], b"--out-dir"),
            (["--out-dir=", i], b"--out-dir"),
            (["--out-dir", self.tmp], b"INPUT"),
        ]
        for args, named in cases:
            with self.subTest(args=args):
                before = listing(self.tmp)
                r = run(args)
                self.assertEqual(r.returncode, 2, r.stderr)
                self.assertEqual(r.stdout, b"")
                self.assertIn(named, r.stderr)
                for choices in self.CHOICE_LISTS:
                    self.assertIn(choices, r.stderr)
                self.assertEqual(listing(self.tmp), before)

    def test_help(self):
        r = run(["--help"])
        self.assertEqual(r.returncode, 0)
        self.assertEqual(r.stderr, b"")
        self.assertTrue(r.stdout.startswith(b"Usage: quorvant-convert [OPTIONS] INPUT OUTPUT\n"), r.stdout)
        for text in self.CHOICE_LISTS + [b"--out-dir DIR", b"--version", b"--rate R"]:
            self.assertIn(text, r.stdout)
        # --help wins over the operands that follow it and converts nothing.
        r = run(["--help", self.input, self.output])
        self.assertEqual(r.returncode, 0)
        self.assertFalse(os.path.exists(self.output))

    def test_version(self):
        r = run(["--version"])
        self.assertEqual((r.returncode, r.stdout, r.stderr), (0, VERSION_TEXT + b"\n", b""))

    def test_defaults_are_16_bit_44100_stereo(self):
        source = Source("s16", 22050, 1, [0, 100, -100, 32767])
        source.write(self.input)
        r = run([self.input, self.output])
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertOutputIs(self.output, source, "16", 44100, "stereo")

    def test_attached_and_separate_values_and_any_position(self):
        forms = [
            ("a.wav", ["--bits", "24", "--rate", "22050", "--channels", "mono", self.input, "a.wav"]),
            ("b.wav", ["--bits=24", "--rate=22050", "--channels=mono", self.input, "b.wav"]),
            ("c.wav", [self.input, "--channels", "mono", "c.wav", "--bits=24", "--rate", "22050"]),
            # A later choice replaces an earlier one.
            ("d.wav", ["--bits", "8", "--bits", "24", "--rate", "22050", "--channels", "stereo",
                       "--channels", "mono", self.input, "d.wav"]),
        ]
        for name, args in forms:
            with self.subTest(args=args):
                r = run(args, cwd=self.tmp)
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertOutputIs(self.path(name), pcm16_stereo(), "24", 22050, "mono")

    def test_double_dash_ends_the_options(self):
        pcm16_stereo().write(self.path("-in.wav"))
        r = run(["--bits", "8", "--", "-in.wav", "--out.wav"], cwd=self.tmp)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertOutputIs(self.path("--out.wav"), pcm16_stereo(), "8", 44100, "stereo")
        # After "--" even "--version" is a file name, here one that does not exist.
        r = run(["--", "--version", "out.wav"], cwd=self.tmp)
        self.assertEqual((r.returncode, r.stdout, r.stderr), (1, b"", READ_ERROR + b"\n"))
        self.assertFalse(os.path.exists(self.path("out.wav")))
        # A lone "-" is a name too, not standard input.
        pcm16_stereo().write(self.path("-"))
        r = run(["-", "dash.wav"], cwd=self.tmp)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertOutputIs(self.path("dash.wav"), pcm16_stereo(), "16", 44100, "stereo")


class SingleFileTests(TempDirTest):
    # (source, --bits, --rate, --channels, what stderr must say)
    CASES = [
        (pcm16_stereo, "16", 44100, "stereo", b""),
        (pcm16_stereo, "8", 44100, "stereo", b""),
        (pcm16_stereo, "24", 44100, "stereo", b""),
        (pcm16_stereo, "32", 44100, "stereo", b""),
        (pcm16_stereo, "32float", 44100, "stereo", b""),
        (pcm16_stereo, "16", 44100, "mono", b""),
        (pcm16_stereo, "8", 44100, "mono", b""),
        (pcm16_stereo, "24", 44100, "mono", b""),
        (pcm16_stereo, "32", 44100, "mono", b""),
        (pcm16_stereo, "32float", 44100, "mono", b""),
        (pcm16_stereo, "16", 22050, "stereo", b""),
        (pcm16_stereo, "16", 88200, "stereo", b""),
        (pcm16_stereo, "16", 48000, "stereo", b""),
        (pcm16_stereo, "24", 8000, "mono", b""),
        (pcm16_stereo, "8", 11025, "stereo", b""),
        (pcm16_stereo, "32", 96000, "stereo", b""),
        (pcm16_stereo, "32float", 192000, "mono", b""),
        (pcm8_mono, "16", 44100, "stereo", b""),
        (pcm8_mono, "8", 22050, "stereo", b""),
        (pcm8_mono, "32", 16000, "mono", b""),
        (pcm24_stereo_48000, "16", 44100, "stereo", b""),
        (pcm24_stereo_48000, "32float", 24000, "mono", b""),
        (float_stereo, "32float", 44100, "stereo", FLOAT_NOTICE + b"\n"),
        (float_stereo, "16", 32000, "mono", FLOAT_NOTICE + b"\n"),
    ]

    def test_conversions_read_back_by_other_readers(self):
        for make, bits, rate, channels, stderr in self.CASES:
            with self.subTest(source=make.__name__, bits=bits, rate=rate, channels=channels):
                source = make()
                inp = source.write(self.path("in.wav"))
                out = self.path("out %s %d %s.wav" % (bits, rate, channels))
                r = run(["--bits", bits, "--rate", str(rate), "--channels", channels, inp, out])
                self.assertEqual((r.returncode, r.stdout, r.stderr), (0, b"", stderr))
                self.assertOutputIs(out, source, bits, rate, channels)

    def test_identity_keeps_the_samples(self):
        source = pcm16_stereo()
        inp = source.write(self.path("in.wav"))
        out = self.path("out.wav")
        self.assertEqual(run([inp, out]).returncode, 0)
        self.assertEqual(read_bytes(out), read_bytes(inp))

    def test_stereo_to_mono_averages_and_half_rate_picks_every_second_frame(self):
        # Stated directly, without the model: frames 0, 2, 4 are kept, each as trunc((L + R) / 2).
        values = [1000, 3000, 5, 5, -3, 0, 9, 9, -32768, -32768, 7, 7]
        inp = Source("s16", 44100, 2, values).write(self.path("in.wav"))
        out = self.path("out.wav")
        r = run(["--rate", "22050", "--channels", "mono", inp, out])
        self.assertEqual(r.returncode, 0, r.stderr)
        with wave.open(out, "rb") as w:
            self.assertEqual((w.getnchannels(), w.getframerate(), w.getnframes()), (1, 22050, 3))
            self.assertEqual(decode(w.readframes(3), 2), [2000, -1, -32768])

    def test_rising_rate_repeats_frames_and_48000_to_44100_drops_them(self):
        out = self.path("out.wav")
        inp = pcm24_stereo_48000().write(self.path("in.wav"))
        self.assertEqual(run([inp, out]).returncode, 0)
        with wave.open(out, "rb") as w:
            picked = [v + 500 for v in decode(w.readframes(w.getnframes()), 2)[0::2]]
        self.assertEqual(picked[:16], [0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 14, 15, 16])
        self.assertEqual((picked[441], picked[735]), (479, 799))

    def test_one_second_to_48000_is_one_frame_short(self):
        # 176400 bytes at 44100 Hz give 191999 bytes: 47999 frames and three zero bytes.
        source = pcm16_stereo(frames=44100)
        inp = source.write(self.path("in.wav"))
        out = self.path("out.wav")
        self.assertEqual(run(["--rate", "48000", inp, out]).returncode, 0)
        content = read_bytes(out)
        self.assertEqual(struct.unpack("<I", content[40:44])[0], 191999)
        self.assertEqual(content[-3:], b"\0\0\0")
        self.assertEqual(soxi(out, "s"), "47999")
        self.assertOutputIs(out, source, "16", 48000, "stereo")

    def test_full_scale_float_stays_at_full_scale(self):
        # +1.0 and +1.5 load as the largest integer and are written back as +1.0, never as -1.0.
        floats = [1.0, -1.0, 1.5, -1.5, 0.5, float("inf"), float("-inf"), float("nan")]
        inp = self.path("in.wav")
        write_bytes(inp, wave_image(3, 2, 44100, 32, struct.pack("<8f", *floats)))
        out = self.path("out.wav")
        r = run(["--bits", "32float", inp, out])
        self.assertEqual((r.returncode, r.stderr), (0, FLOAT_NOTICE + b"\n"))
        self.assertEqual(list(struct.unpack("<8f", read_bytes(out)[44:])), [1.0, -1.0, 1.0, -1.0, 0.5, 1.0, -1.0, 0.0])

    def test_output_may_replace_its_own_input(self):
        source = pcm16_stereo()
        inp = source.write(self.path("in.wav"))
        r = run(["--bits", "8", inp, inp])
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertOutputIs(inp, source, "8", 44100, "stereo")
        self.assertEqual(listing(self.tmp), ["in.wav"])

    def test_names_are_bytes(self):
        source = pcm16_stereo()
        names = [
            ("with space.wav", "out put.wav"),
            ("-leading dash.wav", "-out.wav"),
            ("日本語の名前.wav", "出力 ファイル.wav"),
            # Shift-JIS bytes, invalid as UTF-8; "ソ" ends in the byte of a backslash.
            ("ソース".encode("shift_jis") + b".wav", "出力".encode("shift_jis") + b"\\.wav"),
            (b"\xff\xfe latin-1 \xe9.wav", b"\x80.wav"),
        ]
        for inp_name, out_name in names:
            with self.subTest(name=inp_name):
                inp = os.path.join(os.fsencode(self.tmp), os.fsencode(inp_name))
                out = os.path.join(os.fsencode(self.tmp), os.fsencode(out_name))
                source.write(inp)
                r = run(["--bits", "24", "--", inp, out])
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertOutputIs(os.fsdecode(out), source, "24", 44100, "stereo")
                # A refused file is named byte for byte in the message.
                write_bytes(inp, b"not a wave file\n")
                r = run(["--", inp, out + b".2"])
                self.assertEqual((r.returncode, r.stderr), (1, not_wave(inp) + b"\n"))


class SingleFileFailureTests(TempDirTest):
    OLD = b"an earlier output that must survive\n"

    def setUp(self):
        super().setUp()
        self.good = pcm16_stereo().write(self.path("good.wav"))

    def assertNoLeftovers(self, folder, expected):
        self.assertEqual(listing(folder), sorted(expected))

    def test_refused_inputs(self):
        write_bytes(self.path("text.wav"), b"This is a text file, not a RIFF file.\n" * 4)
        four = wave_image(1, 1, 8000, 4, b"\x12\x34")
        write_bytes(self.path("four.wav"), four)
        data_first = riff(chunk(b"data", b"\0\0\0\0") + chunk(b"fmt ", fmt_body(1, 2, 44100, 16)))
        write_bytes(self.path("data_first.wav"), data_first)
        os.mkdir(self.path("folder.wav"))
        cases = [
            (self.path("missing.wav"), READ_ERROR),
            (self.path("folder.wav"), READ_ERROR),
            (self.path("text.wav"), not_wave(self.path("text.wav"))),
            (self.path("data_first.wav"), not_wave(self.path("data_first.wav"))),
            (self.path("four.wav"), FOUR_BIT),
        ]
        for inp, message in cases:
            for existing in (False, True):
                with self.subTest(input=os.path.basename(inp), existing_output=existing):
                    out = self.path("out.wav")
                    if existing:
                        write_bytes(out, self.OLD)
                    elif os.path.exists(out):
                        os.remove(out)
                    r = run([inp, out])
                    self.assertEqual((r.returncode, r.stdout, r.stderr), (1, b"", message + b"\n"))
                    if existing:
                        self.assertEqual(read_bytes(out), self.OLD)
                    else:
                        self.assertFalse(os.path.exists(out))

    def test_output_that_cannot_be_created(self):
        ro_file = self.path("readonly.wav")
        write_bytes(ro_file, self.OLD)
        os.chmod(ro_file, 0o444)
        os.mkdir(self.path("a folder.wav"))
        cases = [
            (self.path("no such folder", "out.wav"), None),
            (self.path("a folder.wav"), None),
            (ro_file, self.OLD),
        ]
        for out, kept in cases:
            with self.subTest(output=out):
                before = listing(self.tmp)
                r = run(["--bits", "32float", self.good, out])
                self.assertEqual((r.returncode, r.stdout, r.stderr), (1, b"", WRITE_ERROR + b"\n"))
                self.assertEqual(listing(self.tmp), before)
                if kept is not None:
                    self.assertEqual(read_bytes(out), kept)

    def test_unwritable_folder_keeps_the_existing_output(self):
        # The folder cannot take a new file, although the old output itself is writable.
        os.chmod(self.tmp, 0o755)
        os.chmod(self.good, 0o644)
        folder = self.folder("locked")
        out = os.path.join(folder, "out.wav")
        write_bytes(out, self.OLD)
        os.chmod(out, 0o666)
        os.chmod(folder, 0o555)
        kwargs = {}
        binary = cli_harness.BINARY
        if os.geteuid() == 0:
            # root writes into any folder: run as nobody, from a copy it may execute.
            binary = shutil.copy(cli_harness.BINARY, self.path("quorvant-convert"))
            os.chmod(binary, 0o755)
            kwargs = dict(user=65534, group=65534, extra_groups=[])
        r = subprocess.run([binary, self.good, out], capture_output=True, stdin=subprocess.DEVNULL, timeout=60,
                           **kwargs)
        self.assertEqual((r.returncode, r.stdout, r.stderr), (1, b"", WRITE_ERROR + b"\n"))
        self.assertEqual(read_bytes(out), self.OLD)
        self.assertEqual(listing(folder), ["out.wav"])

    def test_full_disk(self):
        big = pcm16_stereo(frames=20000).write(self.path("big.wav"))  # 80044 bytes, converted to 160044
        out_folder = self.folder("out")
        out = os.path.join(out_folder, "out.wav")
        for existing in (False, True):
            with self.subTest(existing_output=existing):
                if existing:
                    write_bytes(out, self.OLD)
                r = run(["--bits", "32", big, out], preexec_fn=limit_file_size(65536))
                self.assertEqual((r.returncode, r.stdout, r.stderr), (1, b"", WRITE_ERROR + b"\n"))
                self.assertNoLeftovers(out_folder, ["out.wav"] if existing else [])
                if existing:
                    self.assertEqual(read_bytes(out), self.OLD)
        # The same limit lets a file through that fits.
        r = run(["--bits", "8", big, out], preexec_fn=limit_file_size(65536))
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertOutputIs(out, pcm16_stereo(frames=20000), "8", 44100, "stereo")

    def test_engine_failure(self):
        # A source rate of 0 cannot be converted to 44100 Hz; a width of 0 (a 14-byte "fmt " chunk) to 16 bits.
        short_fmt = riff(chunk(b"fmt ", fmt_body(1, 2, 44100, 16)[:14]) + chunk(b"data", b"\1\2\3\4"))
        cases = [
            wave_image(1, 2, 0, 16, b"\1\2\3\4" * 10),
            short_fmt,
        ]
        for image in cases:
            for existing in (False, True):
                with self.subTest(image=image[:40], existing_output=existing):
                    inp = self.path("bad.wav")
                    write_bytes(inp, image)
                    out_folder = self.folder("engine")
                    out = os.path.join(out_folder, "out.wav")
                    if existing:
                        write_bytes(out, self.OLD)
                    elif os.path.exists(out):
                        os.remove(out)
                    r = run([inp, out])
                    self.assertEqual((r.returncode, r.stdout, r.stderr), (1, b"", ENGINE_FAILURE + b"\n"))
                    self.assertNoLeftovers(out_folder, ["out.wav"] if existing else [])
                    if existing:
                        self.assertEqual(read_bytes(out), self.OLD)

    def test_converts_more_samples_than_it_may_hold_in_memory(self):
        # 600 MB of declared samples (the missing ones read as zero) under a
        # 256 MiB memory limit: the conversion goes piece by piece.
        declared = 600_000_000
        image = riff(chunk(b"fmt ", fmt_body(1, 2, 44100, 16)) + b"data" + struct.pack("<I", declared) + b"\1" * 16)
        inp = self.path("huge.wav")
        write_bytes(inp, image)
        out = self.path("out.wav")
        r = run(["--bits", "8", "--rate", "8000", "--channels", "mono", inp, out],
                preexec_fn=limit_memory(self, 256 << 20))
        self.assertEqual((r.returncode, r.stdout, r.stderr), (0, b"", b""))
        expected = scaled_size(1, 2, scaled_size(8000, 44100, scaled_size(8, 16, declared)))
        with wave.open(out, "rb") as w:
            self.assertEqual((w.getnchannels(), w.getsampwidth(), w.getframerate()), (1, 1, 8000))
            self.assertEqual(w.getnframes(), expected)
            first = w.readframes(4)
        # 16 bytes of 0x01 are four stereo frames of 257; 257 / 256 + 127 = 128.
        self.assertEqual(first[:1], b"\x80")


class BatchTests(TempDirTest):
    def setUp(self):
        super().setUp()
        self.out = self.folder("out")
        self.sources = [pcm16_stereo(frames=40 + 10 * i) for i in range(3)]

    def make_inputs(self, names, folder="in"):
        d = self.folder(folder)
        paths = []
        for source, name in zip(self.sources * 3, names):
            paths.append(source.write(os.path.join(d, name)))
        return paths

    def lines(self, *pairs):
        return b"".join(os.fsencode(p) + b": " + result + b"\n" for p, result in pairs)

    def test_every_file_ok(self):
        paths = self.make_inputs(["a.wav", "b.wav", "c.wav"])
        r = run(["--bits", "8", "--rate", "22050", "--channels", "mono", "--out-dir", self.out] + paths)
        self.assertEqual((r.returncode, r.stderr), (0, b""))
        self.assertEqual(r.stdout, self.lines(*[(p, OK) for p in paths]))
        self.assertEqual(listing(self.out), ["a.wav", "b.wav", "c.wav"])
        for source, name in zip(self.sources, ["a.wav", "b.wav", "c.wav"]):
            self.assertOutputIs(os.path.join(self.out, name), source, "8", 22050, "mono")

    def test_a_refused_input_gets_no_line(self):
        a, _, c = self.make_inputs(["a.wav", "b.wav", "c.wav"])
        text = self.path("in", "b.txt")
        write_bytes(text, b"plain text\n")
        four = self.path("in", "four.wav")
        write_bytes(four, wave_image(1, 1, 8000, 4, b"\x12\x34"))
        missing = self.path("in", "missing.wav")
        r = run(["--out-dir", self.out, a, text, four, missing, c])
        self.assertEqual(r.returncode, 1)
        self.assertEqual(r.stdout, self.lines((a, OK), (c, OK)))
        self.assertEqual(r.stderr, not_wave(text) + b"\n" + FOUR_BIT + b"\n[four.wav]\n" + READ_ERROR + b"\n")
        self.assertEqual(listing(self.out), ["a.wav", "c.wav"])
        self.assertOutputIs(os.path.join(self.out, "c.wav"), self.sources[2], "16", 44100, "stereo")

    def test_listed_files_stream_in_little_memory(self):
        # A listed file with far more declared samples than the child may hold.
        a, _, c = self.make_inputs(["a.wav", "b.wav", "c.wav"])
        huge = self.path("in", "huge.wav")
        write_bytes(huge, riff(chunk(b"fmt ", fmt_body(1, 2, 44100, 16)) + b"data"
                               + struct.pack("<I", 600_000_000) + b"\0" * 16))
        r = run(["--bits", "8", "--rate", "8000", "--channels", "mono", "--out-dir", self.out, a, huge, c],
                preexec_fn=limit_memory(self, 256 << 20))
        self.assertEqual((r.returncode, r.stderr), (0, b""))
        self.assertEqual(r.stdout, self.lines((a, OK), (huge, OK), (c, OK)))
        self.assertEqual(listing(self.out), ["a.wav", "c.wav", "huge.wav"])

    def test_same_name_from_two_folders(self):
        first = self.sources[0].write(os.path.join(self.folder("d1"), "x.wav"))
        second = self.sources[1].write(os.path.join(self.folder("d2"), "x.wav"))
        r = run(["--bits", "24", "--out-dir", self.out, first, second])
        self.assertEqual(r.returncode, 1)
        self.assertEqual(r.stdout, self.lines((first, OK), (second, NG_NAME_USED)))
        self.assertOutputIs(os.path.join(self.out, "x.wav"), self.sources[0], "24", 44100, "stereo")

    def test_output_onto_its_own_input_is_refused(self):
        src = self.folder("src")
        os.symlink(src, self.path("link"))
        inp = self.sources[0].write(os.path.join(src, "a.wav"))
        original = read_bytes(inp)
        # The same text, and other spellings of the same file on disk.
        cases = [(inp, src), (inp, src + "/"), (os.path.join(src, ".", "a.wav"), src),
                 (inp, self.path("link")), (os.path.join(self.path("link"), "a.wav"), src)]
        for path, out_dir in cases:
            with self.subTest(input=path, out_dir=out_dir):
                r = run(["--bits", "8", "--out-dir", out_dir, path])
                self.assertEqual((r.returncode, r.stderr), (1, b""))
                self.assertEqual(r.stdout, self.lines((path, NG_SAME)))
                self.assertEqual(read_bytes(inp), original)
                self.assertEqual(listing(src), ["a.wav"])

    def test_outputs_that_cannot_be_created(self):
        a, b = self.make_inputs(["a.wav", "b.wav"])
        r = run(["--out-dir", self.path("missing"), a, b])
        self.assertEqual((r.returncode, r.stderr), (1, b""))
        self.assertEqual(r.stdout, self.lines((a, NG_CREATE), (b, NG_CREATE)))
        self.assertFalse(os.path.exists(self.path("missing")))

        ro = os.path.join(self.out, "a.wav")
        write_bytes(ro, b"old")
        os.chmod(ro, 0o444)
        r = run(["--out-dir", self.out, a, b])
        self.assertEqual(r.returncode, 1)
        self.assertEqual(r.stdout, self.lines((a, NG_CREATE), (b, OK)))
        self.assertEqual(read_bytes(ro), b"old")

    def test_full_disk(self):
        small = self.sources[0].write(os.path.join(self.folder("in"), "small.wav"))
        big_source = pcm16_stereo(frames=20000)
        big = big_source.write(self.path("in", "big.wav"))
        write_bytes(os.path.join(self.out, "big.wav"), b"old")
        r = run(["--bits", "32", "--out-dir", self.out, small, big], preexec_fn=limit_file_size(65536))
        self.assertEqual((r.returncode, r.stderr), (1, b""))
        self.assertEqual(r.stdout, self.lines((small, OK), (big, NG_WRITE)))
        self.assertEqual(listing(self.out), ["big.wav", "small.wav"])
        self.assertEqual(read_bytes(os.path.join(self.out, "big.wav")), b"old")
        self.assertOutputIs(os.path.join(self.out, "small.wav"), self.sources[0], "32", 44100, "stereo")

    def test_engine_failure_stops_the_run(self):
        a, _, c = self.make_inputs(["a.wav", "b.wav", "c.wav"])
        bad = self.path("in", "rate 0.wav")
        write_bytes(bad, wave_image(1, 2, 0, 16, b"\1\2\3\4" * 8))
        r = run(["--out-dir", self.out, a, bad, c])
        self.assertEqual(r.returncode, 1)
        self.assertEqual(r.stdout, self.lines((a, OK)))
        self.assertEqual(r.stderr, ENGINE_FAILURE + b"\n[" + os.fsencode(bad) + b"]\n")
        self.assertEqual(listing(self.out), ["a.wav"])

    def test_names_are_bytes(self):
        names = ["with space.wav", "-leading dash.wav", "日本語の名前.wav",
                 "ソース".encode("shift_jis") + b".wav", b"\xff\xfe\x80.wav"]
        d = os.fsencode(self.folder("in"))
        paths = []
        for i, name in enumerate(names):
            paths.append(self.sources[i % 3].write(os.path.join(d, os.fsencode(name))))
        r = run(["--bits", "32float", "--out-dir", self.out, "--"] + paths)
        self.assertEqual((r.returncode, r.stderr), (0, b""))
        self.assertEqual(r.stdout, self.lines(*[(p, OK) for p in paths]))
        self.assertEqual(sorted(os.listdir(os.fsencode(self.out))), sorted(os.fsencode(n) for n in names))
        for i, name in enumerate(names):
            self.assertOutputIs(os.fsdecode(os.path.join(os.fsencode(self.out), os.fsencode(name))),
                                self.sources[i % 3], "32float", 44100, "stereo")

    def test_progress_only_on_a_terminal(self):
        paths = self.make_inputs(["first.wav", "second one.wav"])
        master, slave = pty.openpty()
        try:
            proc = subprocess.Popen([cli_harness.BINARY, "--out-dir", self.out] + paths, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.PIPE, stderr=slave)
        finally:
            os.close(slave)
        terminal = b""
        while True:
            try:
                chunk_ = os.read(master, 4096)
            except OSError:  # the child closed its end
                break
            if not chunk_:
                break
            terminal += chunk_
        os.close(master)
        stdout = proc.stdout.read()
        proc.stdout.close()
        self.assertEqual(proc.wait(timeout=60), 0)
        self.assertEqual(stdout, self.lines(*[(p, OK) for p in paths]))
        self.assertRegex(terminal, re.compile(rb"\r\[1/2\] first\.wav.*\r\[2/2\] second one\.wav", re.S))
        self.assertTrue(terminal.endswith(b"\n"), terminal)
        # On a pipe (every other test) stderr stays empty.
        r = run(["--out-dir", self.out] + paths)
        self.assertEqual((r.returncode, r.stderr), (0, b""))


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    cli_harness.BINARY = os.path.abspath(sys.argv[1])
    unittest.main(argv=[sys.argv[0]] + sys.argv[2:], verbosity=2)
