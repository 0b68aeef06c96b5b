# SPDX-License-Identifier: GPL-3.0-or-later
"""Test signals for the readouts, and numpy's own figures for them.

The signals are 16-bit mono WAV files at 44,100 Hz. The reference figures are
computed from the very samples in the file, in another way than the program
measures them: the tone's frequency is found where the whole file's
transform peaks, the fundamental and its harmonics are fitted to the whole
file by least squares, and what is left after the fit is band-limited to
20 Hz - 20 kHz with an ideal filter on the whole file's spectrum.
Powers are in full-scale units: a full-scale sine has power 1 (0 dBFS).
"""
import wave

import numpy as np
from scipy import optimize

RATE = 44100
FULL_SCALE = 32768.0


def write_wav(path, samples, rate=RATE):
    with wave.open(str(path), "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(np.asarray(samples, dtype="<i2").tobytes())


def read_wav(path):
    with wave.open(str(path), "rb") as w:
        return np.frombuffer(w.readframes(w.getnframes()), dtype="<i2"), w.getframerate()


def tone(seconds, freq, dbfs, harmonics=None, noise_dbfs=None, dither=False, clip=False,
         seed=1, rate=RATE):
    """A sine at dbfs with harmonics {m: dBc}, white noise at noise_dbfs (its
    power against a full-scale sine), quantized to 16 bits (with TPDF dither
    of +-1 step when asked), clipped at full scale when asked."""
    rng = np.random.default_rng(seed)
    t = np.arange(int(seconds * rate)) / rate
    amplitude = FULL_SCALE * 10 ** (dbfs / 20)
    x = amplitude * np.sin(2 * np.pi * freq * t + 0.4)
    for m, dbc in (harmonics or {}).items():
        x += amplitude * 10 ** (dbc / 20) * np.sin(2 * np.pi * m * freq * t + 0.7 * m)
    if noise_dbfs is not None:
        x += rng.standard_normal(len(t)) * FULL_SCALE * np.sqrt(0.5 * 10 ** (noise_dbfs / 10))
    if dither:
        x += rng.uniform(-0.5, 0.5, len(t)) + rng.uniform(-0.5, 0.5, len(t))
    x = np.round(x)
    limit = (-FULL_SCALE, FULL_SCALE - 1) if clip else (-np.inf, np.inf)
    x = np.clip(x, *limit)
    assert x.min() >= -FULL_SCALE and x.max() <= FULL_SCALE - 1, "the signal is clipped"
    return x.astype(np.int16)


def pink(blocks, size, dbfs, seed=11, rate=RATE):
    """Pink noise from 20 Hz up, blocks * size samples long: every frequency
    of the whole file's transform at the power 1/f (no randomness in the
    powers, only in the phases), scaled to dbfs."""
    n = blocks * size
    rng = np.random.default_rng(seed)
    spectrum = np.exp(2j * np.pi * rng.random(n // 2 + 1))
    f = np.fft.rfftfreq(n, 1 / rate)
    spectrum[f < 20] = 0
    spectrum[f >= 20] /= np.sqrt(f[f >= 20])
    x = np.fft.irfft(spectrum, n)
    x *= FULL_SCALE * 10 ** (dbfs / 20) / np.sqrt(2 * np.mean(x * x))
    return np.round(x).astype(np.int16)


def a_weighting_power(f):
    """IEC 61672 A weighting as a power gain, 1 at 1 kHz."""
    def gain(f):
        f2 = np.asarray(f, dtype=float) ** 2
        return (12194.217 ** 2 * f2 ** 2 /
                ((f2 + 20.598997 ** 2) * np.sqrt((f2 + 107.65265 ** 2) * (f2 + 737.86223 ** 2)) *
                 (f2 + 12194.217 ** 2)))
    return (gain(f) / gain(1000.0)) ** 2


def band_power(y, rate, low=20.0, high=20000.0, weighting=False):
    """Power of y (full-scale units) between low and high Hz, ideal filter."""
    spectrum = np.fft.rfft(y)
    f = np.fft.rfftfreq(len(y), 1 / rate)
    p = 4 * np.abs(spectrum) ** 2 / len(y) ** 2  # a full-scale sine sums to 1
    keep = (f >= low) & (f <= high)
    w = a_weighting_power(f[keep]) if weighting else 1.0
    return float(np.sum(p[keep] * w))


def band_levels(samples, rate, centres, fraction):
    """dBFS of each fractional-octave band (base-ten edges) of the whole file."""
    x = samples / FULL_SCALE
    half = 10 ** (0.3 / (2 * fraction))
    return [10 * np.log10(band_power(x, rate, c / half, c * half)) for c in centres]


def _fit(x, t, freq, harmonics):
    """Least-squares amplitudes of a constant and of cos/sin of m * freq."""
    columns = 1 + 2 * harmonics
    ata = np.zeros((columns, columns))
    atx = np.zeros(columns)
    for start in range(0, len(x), 65536):
        tt = t[start:start + 65536]
        a = np.empty((len(tt), columns))
        a[:, 0] = 1
        for m in range(1, harmonics + 1):
            a[:, 2 * m - 1] = np.cos(2 * np.pi * m * freq * tt)
            a[:, 2 * m] = np.sin(2 * np.pi * m * freq * tt)
        ata += a.T @ a
        atx += a.T @ x[start:start + 65536]
    return np.linalg.solve(ata, atx)


def _model(coef, t, freq, harmonics):
    y = np.full(len(t), coef[0])
    for m in range(1, harmonics + 1):
        y += coef[2 * m - 1] * np.cos(2 * np.pi * m * freq * t)
        y += coef[2 * m] * np.sin(2 * np.pi * m * freq * t)
    return y


def reference(samples, rate=RATE, weighting=False, highest=10):
    """numpy's figures for the tone in samples: fundamental_hz,
    fundamental_dbfs, thd_db, h2_dbc.., thdn_db, sinad_db, snr_db,
    noise_floor_dbfs."""
    x = samples / FULL_SCALE
    t = np.arange(len(x)) / rate
    spectrum = np.abs(np.fft.rfft(x * np.hanning(len(x))))
    peak = np.argmax(spectrum[1:]) + 1
    step = rate / len(x)

    def minus_magnitude(f):
        return -abs(np.sum(x * np.exp(-2j * np.pi * f * t)))

    freq = optimize.minimize_scalar(minus_magnitude, bounds=((peak - 1) * step, (peak + 1) * step),
                                    method="bounded", options={"xatol": 1e-7}).x
    harmonics = min(highest, int((rate / 2 - 1) // freq))
    # The peak of the transform lies off the tone by the leakage of its
    # image at -freq; Gauss-Newton steps on the frequency of the whole fit
    # (a sine fit with the frequency as a parameter; the time taken from the
    # file's middle, so that the step does not trade off against the phases)
    # take it the rest of the way.
    for _ in range(3):
        coef = _fit(x, t, freq, harmonics)
        residual = x - _model(coef, t, freq, harmonics)
        slope = np.zeros(len(x))
        for m in range(1, harmonics + 1):
            phase = 2 * np.pi * m * freq * t
            slope += 2 * np.pi * m * (t - t.mean()) * (coef[2 * m] * np.cos(phase) -
                                                       coef[2 * m - 1] * np.sin(phase))
        freq += float(slope @ residual / (slope @ slope))
    coef = _fit(x, t, freq, harmonics)
    power = [coef[2 * m - 1] ** 2 + coef[2 * m] ** 2 for m in range(1, harmonics + 1)]
    offset = coef[0]
    fundamental = _model(np.concatenate([[0.0], coef[1:3], np.zeros(2 * harmonics - 2)]), t, freq,
                         harmonics)
    without_tone = x - offset - fundamental
    residual = x - _model(coef, t, freq, harmonics)
    total = band_power(x - offset, rate)
    distortion_noise = band_power(without_tone, rate, weighting=weighting)
    noise = band_power(residual, rate, weighting=weighting)
    figures = {
        "fundamental_hz": freq,
        "fundamental_dbfs": 10 * np.log10(power[0]),
        "thd_db": 10 * np.log10(sum(power[1:]) / power[0]),
        "thdn_db": 10 * np.log10(distortion_noise / total),
        "sinad_db": -10 * np.log10(distortion_noise / total),
        "snr_db": 10 * np.log10(power[0] / noise),
        "noise_floor_dbfs": 10 * np.log10(noise),
    }
    for m in range(2, harmonics + 1):
        figures[f"h{m}_dbc"] = 10 * np.log10(power[m - 1] / power[0])
    return figures


def parse_figures(text):
    """NAME = VALUE lines into a dict of floats."""
    out = {}
    for line in text.splitlines():
        name, sep, value = line.partition(" = ")
        if sep:
            try:
                out[name.strip()] = float(value)
            except ValueError:
                out[name.strip()] = value.strip()
    return out
