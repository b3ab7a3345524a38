#!/usr/bin/env python3
"""Checks a take file independently of the program: a RIFF/WAVE PCM file, 16-bit stereo 44,100 Hz, with a
44-byte header whose two size fields match the file, and optionally its length in seconds and the pitch of
the tone it holds.
  wav_check.py FILE [--min-seconds S] [--max-seconds S] [--tone HZ] [--exact-bytes N]"""
import argparse
import math
import struct
import sys


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("file")
    ap.add_argument("--min-seconds", type=float)
    ap.add_argument("--max-seconds", type=float)
    ap.add_argument("--tone", type=float)
    ap.add_argument("--exact-bytes", type=int)
    a = ap.parse_args()
    data = open(a.file, "rb").read()
    problems = []
    if len(data) < 44:
        sys.exit("FAIL %s: %d bytes, shorter than the header" % (a.file, len(data)))
    riff, riff_size, wave, fmt, fmt_size = struct.unpack_from("<4sI4s4sI", data, 0)
    tag, channels, rate, byte_rate, align, bits = struct.unpack_from("<HHIIHH", data, 20)
    data_id, data_size = struct.unpack_from("<4sI", data, 36)
    expect = [(riff, b"RIFF"), (wave, b"WAVE"), (fmt, b"fmt "), (fmt_size, 16), (tag, 1), (channels, 2),
              (rate, 44100), (bits, 16), (align, 4), (byte_rate, 176400), (data_id, b"data"),
              (riff_size, len(data) - 8), (data_size, len(data) - 44)]
    for got, want in expect:
        if got != want:
            problems.append("%r where %r belongs" % (got, want))
    if data_size % 4:
        problems.append("data size %d is not whole frames" % data_size)
    seconds = data_size / 176400.0
    if a.exact_bytes is not None and len(data) != a.exact_bytes:
        problems.append("%d bytes, not %d" % (len(data), a.exact_bytes))
    if a.min_seconds is not None and seconds < a.min_seconds:
        problems.append("%.2f s, less than %.2f" % (seconds, a.min_seconds))
    if a.max_seconds is not None and seconds > a.max_seconds:
        problems.append("%.2f s, more than %.2f" % (seconds, a.max_seconds))
    pitch = None
    if a.tone:
        left = struct.unpack_from("<%dh" % (data_size // 2), data, 44)[0::2]
        # Pitch from upward zero crossings over the loud part (the start may hold silence before the tone).
        loud = [i for i, v in enumerate(left) if abs(v) > 2000]
        crossings = [i for i in range(max(1, loud[0] if loud else 1), loud[-1] if loud else 1)
                     if left[i - 1] < 0 <= left[i]]
        if len(crossings) > 10:
            pitch = (len(crossings) - 1) * 44100.0 / (crossings[-1] - crossings[0])
        if pitch is None or abs(pitch - a.tone) > a.tone * 0.03:
            problems.append("tone %s Hz, not %.0f Hz" % ("none" if pitch is None else "%.1f" % pitch, a.tone))
        peak = max((abs(v) for v in left), default=0)
        if peak < 2000:
            problems.append("peak %d: no tone recorded" % peak)
    report = "%s: %d bytes, %.2f s%s" % (a.file, len(data), seconds, "" if pitch is None else ", %.1f Hz" % pitch)
    if problems:
        sys.exit("FAIL " + report + ": " + "; ".join(problems))
    print("ok " + report)


if __name__ == "__main__":
    main()
