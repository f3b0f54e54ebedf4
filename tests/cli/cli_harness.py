"""Running quorvant-convert, limiting its resources, and reading its output
back with sox and with Python's wave module."""

import os
import resource
import shutil
import signal
import struct
import subprocess
import tempfile
import unittest
import wave

from conversion_model import expected_data
from wave_images import decode, fmt_body, read_bytes, single

# Set by the test script from its first argument.
BINARY = None


def run(args, cwd=None, **kwargs):
    return subprocess.run([BINARY] + list(args), cwd=cwd, stdin=subprocess.DEVNULL, capture_output=True,
                          timeout=120, **kwargs)


def limit_file_size(limit):
    """A child whose files cannot grow past `limit` bytes: a full disk, without filling one."""
    def apply():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
    return apply


def limit_memory(test, limit):
    """A child that may map only `limit` bytes, so that a huge allocation fails."""
    with open(BINARY, "rb") as f:
        if b"__asan_init" in f.read():
            test.skipTest("AddressSanitizer reserves more address space than a memory limit allows")
    def apply():
        resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
    return apply


def require_tool(name):
    path = shutil.which(name)
    if path is None:
        raise AssertionError("%s is not installed; these tests read the output back with it "
                             "(install Debian's sox package)" % name)
    return path


def soxi(path, flag):
    require_tool("soxi")
    result = subprocess.run(["soxi", "-" + flag, path], capture_output=True, text=True, timeout=60)
    if result.returncode != 0:
        raise AssertionError("soxi -%s %s failed: %s" % (flag, path, result.stderr))
    return result.stdout.strip()


def sox_raw(path):
    """The sample bytes as sox decodes them, in the file's own encoding."""
    require_tool("sox")
    result = subprocess.run(["sox", "-V1", path, "-t", "raw", "-"], capture_output=True, timeout=60)
    if result.returncode != 0:
        raise AssertionError("sox could not read %s: %s" % (path, result.stderr.decode(errors="replace")))
    return result.stdout


def listing(folder):
    return sorted(os.listdir(folder))


class TempDirTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="quorvant-cli-")
        self.addCleanup(self._remove_tmp)

    def _remove_tmp(self):
        for root, dirs, _ in os.walk(self.tmp):
            for d in dirs:
                os.chmod(os.path.join(root, d), 0o755)
        shutil.rmtree(self.tmp)

    def path(self, *parts):
        return os.path.join(self.tmp, *parts)

    def folder(self, *parts):
        p = self.path(*parts)
        os.makedirs(p, exist_ok=True)
        return p

    def assertOutputIs(self, path, source, bits, rate, channels):
        """Checks a written file against the model, with soxi, sox and the wave module."""
        expected = expected_data(source, bits, rate, channels)
        t = 32 if bits.startswith("32") else int(bits)
        nch = 2 if channels == "stereo" else 1
        frame = t // 8 * nch
        content = read_bytes(path)

        # The canonical header, then exactly the data: nothing after it.
        tag = 3 if bits == "32float" else 1
        header = (b"RIFF" + struct.pack("<I", 36 + len(expected)) + b"WAVEfmt " + struct.pack("<I", 16)
                  + fmt_body(tag, nch, rate, t) + b"data" + struct.pack("<I", len(expected)))
        self.assertEqual(content[:44], header)
        self.assertEqual(len(content), 44 + len(expected))
        self.assertEqual(content[44:], expected)

        encoding = {"8": "Unsigned Integer PCM", "32float": "Floating Point PCM"}.get(bits, "Signed Integer PCM")
        self.assertEqual(soxi(path, "r"), str(rate))
        self.assertEqual(soxi(path, "c"), str(nch))
        self.assertEqual(soxi(path, "b"), str(t))
        self.assertEqual(soxi(path, "e"), encoding)
        self.assertEqual(soxi(path, "s"), str(len(expected) // frame))
        self.assertEqual(sox_raw(path), expected[: len(expected) // frame * frame])

        if bits == "32float":
            floats = struct.unpack("<%df" % (len(expected) // 4), content[44:44 + len(expected) // 4 * 4])
            model = expected_data(source, "32", rate, channels)
            self.assertEqual(list(floats), [single(v / 2**31) for v in decode(model, 4)])
        else:
            with wave.open(path, "rb") as w:
                self.assertEqual((w.getnchannels(), w.getsampwidth(), w.getframerate(), w.getnframes()),
                                 (nch, t // 8, rate, len(expected) // frame))
                self.assertEqual(w.readframes(w.getnframes()), expected[: len(expected) // frame * frame])
