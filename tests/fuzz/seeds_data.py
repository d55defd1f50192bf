#!/usr/bin/env python3
"""Writes the hand-made seeds of fuzz_data into tests/fuzz/corpus_data (seed-*).

Each seed is a short session in the byte format that fuzz_data.cpp reads: one byte for the
start of the first context, then per call an operation byte, a context byte and the call's own
bytes. Run VELTO_FUZZ_TRACE=1 build-fuzz/tests/fuzz/fuzz_data <seed> to see the calls made.
"""
import os

# Unit types with a data port, in catalogue order (fuzz_data picks them by index).
SAMPLE_READ_F1, SAMPLE_READ_V1, SAMPLE_WRITE_F1, ENVELOPE_LINEAR = 0, 1, 2, 3
WAVE_OSCILLATOR, SAMPLE_WRITE_F2, SAMPLE_READ_F2, TABLE_LOOKUP = 4, 5, 6, 7

LIVE0, LIVE1 = [0, 0], [0, 1]  # token: a live thing of the kind wanted, the first or second


def create(kind, frames_byte, channels_byte=0):
    """Create (op 0): kind 0 sample, 1 envelope, 2 table; frames 1 + b % 64 for b < 140."""
    out = [0, 0, kind]
    if kind == 0:
        out.append(channels_byte)  # 0: mono, 1: stereo
    return out + [frames_byte]


def unit(index, start=True):
    return [12, 0, 0x41 if start else 0x01, index, 0]


def whole(write, pattern):
    """First frame 0, all the frames, not null."""
    return [0, 3, 1 if write else 0, 1] + pattern


def queue(unit_token, data_kind, flags, data_token=LIVE0, timed=False):
    # unit token, port (its queue port), kind wanted (0 sample, 1 envelope), the port's kind,
    # data token, first frame 0, all the frames, flags index, timed (then a tick byte)
    out = [15, 0] + unit_token + [0, 0, data_kind, 1] + data_token + [0, 3, flags, 1 if timed else 0]
    return out + ([5] if timed else [])


def render(ticks=5):
    return [23, 0, ticks, 3]


def delete(kind, token=LIVE0):
    return [21, 0, kind] + token


SEEDS = {
    "seed-sample-reader": [0x05]
    + create(0, 63)
    + [2, 0] + LIVE0 + whole(True, [0x00, 0x10, 0x00, 0xF0])
    + unit(SAMPLE_READ_F1)
    + queue(LIVE0, 0, 1)
    + render() + render()
    + [3, 0] + LIVE0 + whole(False, [0, 0, 0, 0])
    + delete(1) + render() + render(),
    "seed-stereo-recorder": [0x0A]
    + create(0, 127, 1)
    + unit(SAMPLE_WRITE_F2) + unit(SAMPLE_READ_F2)
    + queue(LIVE0, 0, 2) + render()
    + queue(LIVE1, 0, 4, timed=True) + render() + render()
    + [18, 0] + LIVE1 + [0, 0, 0]
    + render() + delete(0, LIVE0) + render(),
    "seed-mono-variable": [0x05]
    + create(0, 15)
    + [4, 0] + LIVE0 + [0, 3, 1, 3, 0, 0, 1, 1, 0x34, 0x12, 0x00, 0x80]
    + unit(SAMPLE_READ_V1) + unit(SAMPLE_WRITE_F1)
    + queue(LIVE0, 0, 1) + queue(LIVE1, 0, 3) + queue(LIVE1, 0, 0)
    + [28, 0] + LIVE0 + [0, 1, 0, 5, 0]
    + render() + render()
    + [4, 0] + LIVE0 + [0, 3, 1, 3, 0, 0, 0, 1, 0, 0, 0, 0],
    "seed-envelope": [0x01]
    + create(1, 7)
    + [5, 0] + LIVE0 + whole(True, [3, 1, 8, 0])
    + unit(ENVELOPE_LINEAR)
    + queue(LIVE0, 1, 6, timed=True)
    + render() + render()
    + [7, 0] + LIVE0 + [0, 3, 0, 1, 1, 0, 0, 0, 0]
    + [7, 0] + LIVE0 + [0, 3, 6, 0, 1, 0, 0, 0, 0]
    + [8, 0] + LIVE0 + [0, 3, 1, 2, 0, 0, 1, 1, 4, 1, 3, 0]
    + delete(2) + render() + render(),
    "seed-tables": [0x00]
    + create(2, 63)
    + [9, 0] + LIVE0 + [0, 3, 0, 1, 1, 2, 3, 0]
    + unit(WAVE_OSCILLATOR) + unit(TABLE_LOOKUP)
    + [19, 0] + LIVE0 + [0, 0, 0, 1] + LIVE0
    + [19, 0] + LIVE1 + [0, 0, 0, 1] + LIVE0
    + render()
    + [11, 0] + LIVE0 + [0, 3, 1, 2, 0, 0, 1, 1, 0x00, 0x40, 0x00, 0xC0]
    + render()
    + delete(3) + render()
    + [19, 0] + LIVE0 + [0, 0, 0, 0]
    + render(),
    "seed-edges": [0x05]
    + create(0, 63) + create(1, 63) + create(2, 63)
    + [2, 0] + LIVE0 + [0, 8, 1, 1, 0, 0, 0, 0]  # a count that wraps first + count
    + [4, 0] + LIVE0 + [4, 5, 1, 3, 3, 7, 1, 1, 0, 0, 0, 0]  # past the end, offset beyond
    + [7, 0] + LIVE0 + [5, 5, 4, 1, 1, 0, 0, 0, 0]
    + [0, 0x70, 0, 0, 10]  # a null context
    + [2, 0x78] + LIVE0 + whole(True, [0, 0, 0, 0])  # the deleted context
    + [2, 0x07, 0x05] + LIVE0 + whole(True, [0, 0, 0, 0])  # the second context, opened here
    + queue(LIVE0, 0, 0)  # no unit: a data token as the unit
    + [33, 0, 3, 1, 1]  # the engine ended with its things, and started again
    + render(),
}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = os.path.join(here, "corpus_data")
    os.makedirs(folder, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(bytes(data))


if __name__ == "__main__":
    main()
