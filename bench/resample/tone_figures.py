"""Length, frequency and SNR of a decoded 1000 Hz tone: tone_figures.py RAW_S16LE RATE INPUT_SECONDS."""
import math
import struct
import sys

path, rate, seconds = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
data = open(path, "rb").read()
samples = struct.unpack("<%dh" % (len(data) // 2), data)
body = samples[rate : len(samples) - rate]  # the coder's start and end left out

# Frequency from the first and last upward zero crossing, interpolated between samples.
crossings = [i + body[i] / (body[i] - body[i + 1])
             for i in range(len(body) - 1) if body[i] < 0 <= body[i + 1]]
frequency = (len(crossings) - 1) * rate / (crossings[-1] - crossings[0])

# SNR: the least-squares sine at that frequency against what is left.
w = 2 * math.pi * frequency / rate
ss = sc = cc = ys = yc = yy = 0.0
for n, y in enumerate(body):
    s, c = math.sin(w * n), math.cos(w * n)
    ss += s * s; sc += s * c; cc += c * c; ys += y * s; yc += y * c; yy += y * y
det = ss * cc - sc * sc
a = (ys * cc - yc * sc) / det
b = (yc * ss - ys * sc) / det
tone = a * ys + b * yc
noise = max(yy - tone, 1e-9)
print("%10.4f %10.4f %10.1f %8.1f" % (len(samples) / rate, seconds,
                                       (frequency / 1000 - 1) * 1e6, 10 * math.log10(tone / noise)))
