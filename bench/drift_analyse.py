#!/usr/bin/env python3
"""Reads a recording of kal_bench_drift_feeder's tone and time code: where
each sound mark (440 Hz turning to 880 Hz) sits against the picture taken
when the mark was (read from the time code the pictures show), whether the
tone between the marks jumps in phase, and whether any 10 ms block of it is
quiet.
Usage: drift_analyse.py FILE PPM
Prints one line per mark and a summary line:
  marks=N drift_ms=D offset_ms=O phase_jumps=J quiet_blocks=Q"""
import array
import math
import subprocess
import sys

RATE = 44100


BITS, BIT = 18, 16


def pictures(path):
    """(file time, feeder time in seconds) of every picture."""
    pts = subprocess.run(
        ["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
         "frame=best_effort_timestamp_time", "-of", "csv=p=0", path],
        capture_output=True, text=True, check=True).stdout.split()
    raw = subprocess.run(
        ["ffmpeg", "-v", "error", "-i", path, "-an", "-vf",
         "crop=%d:%d:64:0,format=gray" % (BITS * BIT, BIT), "-fps_mode", "passthrough",
         "-f", "rawvideo", "-"], capture_output=True, check=True).stdout
    size = BITS * BIT * BIT
    out = []
    for i, t in enumerate(pts):
        frame = raw[i * size:(i + 1) * size]
        if len(frame) < size:
            break
        row = frame[(BIT // 2) * BITS * BIT:(BIT // 2 + 1) * BITS * BIT]
        ms = 0
        for b in range(BITS):
            ms = ms * 2 + (1 if row[b * BIT + BIT // 2] > 128 else 0)
        out.append((float(t.strip(",")), ms / 1000.0))
    return out


def picture_time(pics, taken):
    """File time of the picture taken at feeder time `taken`, between the
    two pictures around it."""
    for (t0, c0), (t1, c1) in zip(pics, pics[1:]):
        if c0 <= taken < c1:
            return t0 + (taken - c0) / (c1 - c0) * (t1 - t0)
    return None


def samples(path):
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-vn", "-ac", "1", "-ar",
                          str(RATE), "-f", "s16le", "-"], capture_output=True, check=True).stdout
    a = array.array("h")
    a.frombytes(raw[: len(raw) // 2 * 2])
    return a


def power(s, start, n, hz):
    # Goertzel over s[start:start+n]
    k = 2 * math.cos(2 * math.pi * hz / RATE)
    p1 = p2 = 0.0
    for i in range(start, start + n):
        p1, p2 = s[i] + k * p1 - p2, p1
    return p1 * p1 + p2 * p2 - k * p1 * p2


def sound_marks(s):
    step, win = RATE // 1000, RATE // 200  # 1 ms steps, 5 ms windows
    marks, last = [], -10.0
    i = 0
    while i + win < len(s):
        t = i / RATE
        if t - last > 1.0 and power(s, i, win, 880) > 4 * power(s, i, win, 440):
            marks.append(t)
            last = t
            i += RATE // 2
            continue
        i += step if t - last > 1.0 else RATE // 10
    return marks


def near_mark(t, marks):
    return any(m - 0.03 <= t <= m + 0.15 for m in marks)


def phase_jumps(s, marks):
    crossings = []
    for i in range(1, len(s)):
        if s[i - 1] < 0 <= s[i]:
            crossings.append(i - 1 + (-s[i - 1]) / (s[i] - s[i - 1]))
    period = RATE / 440.0
    jumps = 0
    end = len(s) / RATE - 0.2  # the encoder's last frame fades out
    for a, b in zip(crossings, crossings[1:]):
        t = a / RATE
        if t < 0.5 or t > end or near_mark(t, marks):
            continue
        if abs((b - a) - period) > 2.0:
            jumps += 1
    return jumps


def quiet_blocks(s, marks):
    n = RATE // 100
    levels = []
    for b in range(len(s) // n):
        chunk = s[b * n:(b + 1) * n]
        levels.append(math.sqrt(sum(v * v for v in chunk) / n))
    if not levels:
        return 0
    typical = sorted(levels)[len(levels) // 2]
    return sum(1 for b, lv in enumerate(levels)
               if b * n / RATE >= 0.5 and (b + 1) * n < len(s) - RATE // 2 and lv < typical / 4
               and not near_mark(b * n / RATE, marks))


def main():
    path, ppm = sys.argv[1], float(sys.argv[2])
    pics = pictures(path)
    s = samples(path)
    m = sound_marks(s)
    offsets = []
    for k in range(1, 1000):
        taken = k * 5 * RATE / (RATE * (1 + ppm / 1e6))
        at = picture_time(pics, taken)
        if at is None:
            if pics and taken > pics[-1][1]:
                break
            continue
        near = [x for x in m if abs(x - at) < 1.5]
        if near:
            offsets.append(near[0] - at)
            print("mark at %.3f s: sound %+.1f ms" % (at, offsets[-1] * 1000))
    drift = max((abs(o - offsets[0]) for o in offsets), default=float("nan"))
    worst = max((abs(o) for o in offsets), default=float("nan"))
    print("marks=%d drift_ms=%.0f offset_ms=%.0f phase_jumps=%d quiet_blocks=%d" %
          (len(offsets), drift * 1000, worst * 1000, phase_jumps(s, m), quiet_blocks(s, m)))


if __name__ == "__main__":
    main()
