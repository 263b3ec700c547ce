#!/usr/bin/env python3
"""Times Python's base64 and quoted-printable codecs on the same bytes as bench_codecs.

Usage: peer_codecs.py [--bench PATH_TO_bench_codecs] [--repetitions N]

With --bench, the C++ benchmark is run too and both are printed side by side. Both sides
are timed in CPU time of the process, so that other load on the machine does not count.
"""
import argparse
import binascii
import json
import quopri
import subprocess
import sys
import time

MASK = (1 << 64) - 1
SIZES = (4 << 20, 16 << 20)


def lcg():
    state = 0x2545F4914F6CDD1D
    while True:
        state = (state * 6364136223846793005 + 1442695040888963407) & MASK
        yield state


def random_bytes(size):
    rng = lcg()
    chunks = [next(rng).to_bytes(8, "little") for _ in range((size + 7) // 8)]
    return b"".join(chunks)[:size]


def base64_text(size):
    rest = size % 78
    extra = (rest - 2) // 4 * 3 if rest >= 6 else 0
    raw = random_bytes(size // 78 * 57 + extra)
    lines = [binascii.b2a_base64(raw[i:i + 57], newline=False) + b"\r\n"
             for i in range(0, len(raw), 57)]
    return b"".join(lines)


class SoftWrapped:
    """Quoted-printable text built token by token, with a soft line break before a token
    that would pass column 75."""

    def __init__(self):
        self.parts, self.total, self.line_length = [], 0, 0

    def add(self, token):
        if self.line_length + len(token) > 75:
            self.parts.append(b"=\r\n")
            self.total += 3
            self.line_length = 0
        self.parts.append(token)
        self.total += len(token)
        self.line_length += len(token)

    def hard_break(self):
        self.parts.append(b"\r\n")
        self.total += 2
        self.line_length = 0

    def text(self, size):
        return b"".join(self.parts)[:size]


def quoted_printable_text(size):
    escapes = [b"=E9", b"=E8", b"=E0", b"=E7", b"=FC", b"=3D"]
    rng = lcg()
    out = SoftWrapped()
    while out.total < size:
        x = next(rng)
        kind = (x >> 32) % 100
        if kind == 99:
            out.hard_break()
            continue
        if kind < 15:
            token = escapes[(x >> 40) % 6]
        else:
            letters = 2 + (x >> 48) % 7
            token = bytes(97 + ((x >> (8 * i)) & 0xFF) % 26 for i in range(letters)) + b" "
        out.add(token)
    return out.text(size)


def dense_quoted_printable_text(size):
    """UTF-8 prose where most letters are two-byte characters: an escape every 3-6 bytes."""
    rng = lcg()
    out = SoftWrapped()
    while out.total < size:
        x = next(rng)
        letters = 2 + (x >> 56) % 7
        token = b""
        for i in range(letters):
            bits = (x >> (6 * i)) & 0x3F
            if bits % 5 < 2:
                token += bytes([97 + bits % 26])
            else:
                c = 0x430 + bits % 32
                token += b"=%02X=%02X" % (0xC0 | (c >> 6), 0x80 | (c & 0x3F))
        token += b" "
        out.add(token)
    return out.text(size)


def best_rate(function, data, repetitions):
    best = float("inf")
    for _ in range(repetitions):
        start = time.process_time()
        function(data)
        best = min(best, time.process_time() - start)
    return len(data) / best / 1e6, best * 1e3


def run_python(repetitions):
    results = {}
    for size in SIZES:
        b64 = base64_text(size)
        qp = quoted_printable_text(size)
        raw = random_bytes(size)
        results[("Base64Decode", size)] = ("binascii.a2b_base64",) + best_rate(
            binascii.a2b_base64, b64, repetitions)
        results[("DecodeQP", size)] = ("binascii.a2b_qp",) + best_rate(
            binascii.a2b_qp, qp, repetitions)
        dense = dense_quoted_printable_text(size)
        results[("DecodeQPDense", size)] = ("binascii.a2b_qp",) + best_rate(
            binascii.a2b_qp, dense, repetitions)
        results[("DecodeQPBytesDense", size)] = results[("DecodeQPDense", size)]
        results[("DecodeQP/quopri", size)] = ("quopri.decodestring",) + best_rate(
            quopri.decodestring, qp, max(1, repetitions // 3))
        results[("Base64Encode", size)] = ("binascii.b2a_base64",) + best_rate(
            lambda d: binascii.b2a_base64(d, newline=False), raw, repetitions)
    return results


def run_bench(path):
    out = subprocess.run([path, "--benchmark_format=json", "--benchmark_repetitions=3",
                          "--benchmark_report_aggregates_only=true"],
                         check=True, capture_output=True, text=True).stdout
    results = {}
    for entry in json.loads(out)["benchmarks"]:
        if entry.get("aggregate_name") != "median":
            continue
        name, size = entry["run_name"].split("/")[:2]
        results[(name.removeprefix("BM_"), int(size))] = (
            entry["bytes_per_second"] / 1e6, entry["cpu_time"])
    return results


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bench", help="path of bench_codecs, run and shown side by side")
    parser.add_argument("--repetitions", type=int, default=5)
    args = parser.parse_args()

    python = run_python(args.repetitions)
    cpp = run_bench(args.bench) if args.bench else {}

    print(f"{'operation':<16}{'input':>7}  {'C++ MB/s':>9}{'cpu ms':>8}  "
          f"{'Python':<22}{'MB/s':>8}{'cpu ms':>8}")
    for (name, size), (peer, rate, ms) in python.items():
        base = name.split("/")[0]
        mine = cpp.get((base, size))
        mine_text = f"{mine[0]:>9.0f}{mine[1]:>8.2f}" if mine and "/" not in name else " " * 17
        print(f"{base:<16}{size >> 20:>5}MB  {mine_text}  {peer:<22}{rate:>8.0f}{ms:>8.2f}")
    if cpp:
        print("\nlinearity (CPU time at 16 MB / at 4 MB, target <= 4.6):")
        for base in ("Base64Decode", "DecodeQP", "DecodeQPDense", "DecodeQPBytesDense",
                     "Base64Encode"):
            small, large = cpp.get((base, SIZES[0])), cpp.get((base, SIZES[1]))
            if small and large:
                print(f"  {base:<16}{large[1] / small[1]:.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
