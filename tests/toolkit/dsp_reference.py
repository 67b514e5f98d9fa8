"""Reference results for the toolkit's transform and filter tests, computed with numpy and scipy.

Arrays are exchanged as raw little-endian float64 files. Usage:
  fft IN OUT                        IN holds n (re, im) pairs; OUT the forward transform, then the
                                    inverse (numpy's 1/n scaling) of the same input, as pairs
  response DESIGNS FREQS OUT        DESIGNS holds rows (order, type, rate, f1, f2), FREQS one row of
                                    frequencies (Hz) per design; OUT the responses in dB of the zpk
                                    designs at them, row after row
  ba DESIGNS OUT                    numerator then denominator of each design, one after the other
  sosfilt ORDER TYPE RATE F1 F2 LEAD IN OUT    cascade started in the steady state of the mean of the
                                    first LEAD samples
  potter N TYPE F1 F2 DT IN OUT     windowed-sinc filter by numpy convolution with edge padding
"""
import sys

import numpy as np
from scipy import signal

KINDS = {1: "lowpass", 2: "bandpass", 3: "highpass", 4: "bandstop"}


def read(path):
    return np.fromfile(path, dtype="<f8")


def write(path, values):
    np.asarray(values, dtype="<f8").tofile(path)


def band(kind, f1, f2):
    if kind in (1, 3):
        return f1
    return sorted([f1, f2])


def main(argv):
    cmd = argv[1]
    if cmd == "fft":
        a = read(argv[2])
        x = a[0::2] + 1j * a[1::2]
        y = np.concatenate([np.fft.fft(x), np.fft.ifft(x)])
        out = np.empty(2 * len(y))
        out[0::2], out[1::2] = y.real, y.imag
        write(argv[3], out)
    elif cmd in ("response", "ba"):
        designs = read(argv[2]).reshape(-1, 5)
        freqs = read(argv[3]).reshape(len(designs), -1) if cmd == "response" else None
        out = []
        for row, (order, kind, rate, f1, f2) in enumerate(designs):
            order, kind = int(order), int(kind)
            wn = band(kind, f1, f2)
            if cmd == "response":
                z, p, k = signal.butter(order, wn, btype=KINDS[kind], output="zpk", fs=rate)
                _, h = signal.freqz_zpk(z, p, k, worN=freqs[row], fs=rate)
                with np.errstate(divide="ignore"):
                    out.append(20 * np.log10(np.abs(h)))
            else:
                b, a = signal.butter(order, wn, btype=KINDS[kind], output="ba", fs=rate)
                out.append(np.concatenate([b, a]))
        write(argv[4] if cmd == "response" else argv[3], np.concatenate(out))
    elif cmd == "sosfilt":
        order, kind = int(argv[2]), int(argv[3])
        rate, f1, f2 = float(argv[4]), float(argv[5]), float(argv[6])
        wn = band(kind, f1, f2)
        lead = int(argv[7])
        sos = signal.butter(order, wn, btype=KINDS[kind], output="sos", fs=rate)
        x = read(argv[8])
        zi = signal.sosfilt_zi(sos) * np.mean(x[:lead])
        y, _ = signal.sosfilt(sos, x, zi=zi)
        write(argv[9], y)
    elif cmd == "potter":
        n, kind = int(argv[2]), int(argv[3])
        f1, f2, dt = float(argv[4]), float(argv[5]), float(argv[6])
        x = read(argv[7])

        def lowpass(fc):
            k = np.arange(1, n + 1)
            h = np.empty(n + 1)
            h[0] = 2 * fc * dt
            h[1:] = np.sin(2 * np.pi * fc * dt * k) / (np.pi * k)
            h[n] *= 0.5
            h[1:] *= 0.35577019 + 2 * (0.2436983 * np.cos(np.pi * k / n)
                                       + 0.07211497 * np.cos(2 * np.pi * k / n)
                                       + 0.00630165 * np.cos(3 * np.pi * k / n))
            return h / (h[0] + 2 * h[1:].sum())

        h = lowpass(f1)
        if kind in (1, 3):
            h = lowpass(f2) - h
        if kind in (2, 3):
            h = -h
            h[0] += 1
        full = np.concatenate([h[:0:-1], h])
        y = np.convolve(np.pad(x, n, mode="edge"), full, mode="valid")
        y[-1] = x[-1]
        write(argv[8], y)
    else:
        raise SystemExit("unknown command " + cmd)


if __name__ == "__main__":
    main(sys.argv)
