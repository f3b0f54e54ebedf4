#!/usr/bin/env python3
"""Times whole conversions of 1 GiB inputs: quorvant-convert (streaming), the
windows' whole-block path, the main window itself (offscreen, when built), cp of the same input, sox doing the nearest job
with its fastest settings, and ffmpeg when it is installed. Runs alternate
between the tools; each tool runs RUNS times per job. Prints the median wall
time, its ratio to cp and the peak resident memory of each.

    bench/compare.py BUILD_DIR [BENCH_DIR] [--runs N] [--jobs NAME,...]
"""

import argparse
import os
import shutil
import statistics
import struct
import subprocess
import sys
import time

GIB = 1 << 30


def wave_header(tag, channels, rate, bits, data_bytes):
    align = bits // 8 * channels
    fmt = struct.pack("<HHIIHH", tag, channels, rate, rate * align, align, bits)
    return (b"RIFF" + struct.pack("<I", data_bytes + 36) + b"WAVE" + b"fmt " + struct.pack("<I", 16) + fmt
            + b"data" + struct.pack("<I", data_bytes))


def make_noise_16(path, channels):
    """1 GiB of 16-bit noise, written once."""
    if os.path.exists(path) and os.path.getsize(path) == GIB + 44:
        return
    print(f"generating {path}", file=sys.stderr)
    with open(path + ".part", "wb") as f:
        f.write(wave_header(1, channels, 44100, 16, GIB))
        for _ in range(GIB // (16 << 20)):
            f.write(os.urandom(16 << 20))
    os.replace(path + ".part", path)


def derive(convert, source, path, args):
    """Other inputs are converted from the 16-bit noise, then trimmed or padded to 1 GiB of samples."""
    if os.path.exists(path):
        return
    print(f"generating {path}", file=sys.stderr)
    subprocess.run([convert] + args + [source, path + ".part"], check=True, stderr=subprocess.DEVNULL)
    with open(path + ".part", "r+b") as f:
        header = bytearray(f.read(44))
        f.truncate(44 + GIB)
        header[4:8] = struct.pack("<I", GIB + 36)
        header[40:44] = struct.pack("<I", GIB)
        f.seek(0)
        f.write(header)
    os.replace(path + ".part", path)


def jobs(d):
    s16, m16 = f"{d}/in-16-stereo.wav", f"{d}/in-16-mono.wav"
    s24, f32, s24_96 = f"{d}/in-24-stereo.wav", f"{d}/in-float-stereo.wav", f"{d}/in-24-stereo-96k.wav"
    # name, input, quorvant options, sox arguments (around input and output), ffmpeg output options
    return [
        ("16->8", s16, ["--bits", "8"], (["-b", "8"], []), ["-c:a", "pcm_u8"]),
        ("16->24", s16, ["--bits", "24"], (["-b", "24"], []), ["-c:a", "pcm_s24le"]),
        ("24->16", s24, ["--bits", "16"], (["-b", "16"], []), ["-c:a", "pcm_s16le"]),
        ("32float->16", f32, ["--bits", "16"], (["-b", "16", "-e", "signed-integer"], []), ["-c:a", "pcm_s16le"]),
        ("44.1k->22.05k", s16, ["--rate", "22050"], ([], ["downsample", "2"]), ["-ar", "22050"]),
        ("44.1k->48k", s16, ["--rate", "48000"], ([], ["rate", "-q", "48000"]), ["-ar", "48000"]),
        ("stereo->mono", s16, ["--channels", "mono"], ([], ["remix", "-"]), ["-ac", "1"]),
        ("mono->stereo", m16, ["--channels", "stereo"], ([], ["remix", "1", "1"]), ["-ac", "2"]),
        ("24/96k/st->16/44.1k/mono", s24_96, ["--bits", "16", "--rate", "44100", "--channels", "mono"],
         (["-b", "16"], ["rate", "-q", "44100", "remix", "-"]), ["-ar", "44100", "-ac", "1", "-c:a", "pcm_s16le"]),
        ("16/44.1k/st->8/22.05k/mono", s16, ["--bits", "8", "--rate", "22050", "--channels", "mono"],
         (["-b", "8"], ["remix", "-", "downsample", "2"]), ["-ar", "22050", "-ac", "1", "-c:a", "pcm_u8"]),
    ]


BITS_INDEX = {"32": "0", "32float": "1", "24": "2", "16": "3", "8": "4"}
RATE_CHOICES = ["192000", "176400", "96000", "88200", "48000", "44100", "22050", "11025", "8000", "16000", "24000",
                "32000"]


def whole_block_args(options):
    o = dict(zip(options[::2], options[1::2]))
    return [BITS_INDEX[o.get("--bits", "16")], o.get("--rate", "44100"), o.get("--channels", "stereo")]


def main_window_args(options):
    o = dict(zip(options[::2], options[1::2]))
    return [BITS_INDEX[o.get("--bits", "16")], str(RATE_CHOICES.index(o.get("--rate", "44100"))),
            "0" if o.get("--channels", "stereo") == "stereo" else "1"]


def timed(cmd, out):
    if os.path.exists(out):
        os.remove(out)
    subprocess.run(["sync"], check=True)
    start = time.perf_counter()
    r = subprocess.run(["/usr/bin/time", "-f", "%M"] + cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if r.returncode != 0:
        raise RuntimeError(f"{cmd} failed: {r.stderr.decode(errors='replace')}")
    rss_kib = int(r.stderr.decode().strip().splitlines()[-1])
    return elapsed, rss_kib


def main():
    p = argparse.ArgumentParser()
    p.add_argument("build")
    p.add_argument("bench_dir", nargs="?", default=os.environ.get("BENCH_DIR", "/tmp/quorvant-bench"))
    p.add_argument("--runs", type=int, default=5)
    p.add_argument("--jobs", default="")
    a = p.parse_args()

    convert = os.path.abspath(f"{a.build}/cli/quorvant-convert")
    whole = os.path.abspath(f"{a.build}/bench/whole_block_convert")
    window = os.path.abspath(f"{a.build}/bench/main_window_convert")
    os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
    d = a.bench_dir
    os.makedirs(d, exist_ok=True)
    s16 = f"{d}/in-16-stereo.wav"
    make_noise_16(s16, 2)
    derive(convert, s16, f"{d}/in-16-mono.wav", ["--channels", "mono"])
    derive(convert, s16, f"{d}/in-24-stereo.wav", ["--bits", "24"])
    derive(convert, s16, f"{d}/in-float-stereo.wav", ["--bits", "32float"])
    derive(convert, s16, f"{d}/in-24-stereo-96k.wav", ["--bits", "24", "--rate", "96000"])

    have_sox = shutil.which("sox") is not None
    have_ffmpeg = shutil.which("ffmpeg") is not None
    out = f"{d}/out.wav"
    wanted = set(filter(None, a.jobs.split(",")))

    print(f"| job | tool | median s | x cp | peak RSS MiB |")
    print(f"|---|---|---:|---:|---:|")
    for name, inp, opts, (sox_out, sox_effects), ff in jobs(d):
        if wanted and name not in wanted:
            continue
        tools = [("cp", ["cp", inp, out]),
                 ("quorvant-convert", [convert] + opts + [inp, out]),
                 ("whole-block", [whole] + whole_block_args(opts) + [inp, out])]
        if os.path.exists(window):
            tools.append(("main window", [window] + main_window_args(opts) + [inp, out]))
        if have_sox:
            tools.append(("sox", ["sox", "-D", inp] + sox_out + [out] + sox_effects))
        if have_ffmpeg:
            tools.append(("ffmpeg", ["ffmpeg", "-y", "-v", "error", "-i", inp] + ff + [out]))
        results = {t: [] for t, _ in tools}
        subprocess.run(["cat", inp], stdout=subprocess.DEVNULL, check=True)  # warm the page cache
        for _ in range(a.runs):
            for tool, cmd in tools:
                results[tool].append(timed(cmd, out))
        cp_median = statistics.median(t for t, _ in results["cp"])
        for tool, _ in tools:
            med = statistics.median(t for t, _ in results[tool])
            rss = max(m for _, m in results[tool]) / 1024
            print(f"| {name} | {tool} | {med:.2f} | {med / cp_median:.2f} | {rss:.0f} |", flush=True)
    if os.path.exists(out):
        os.remove(out)


if __name__ == "__main__":
    main()
