#!/usr/bin/env python3
"""Writes a scsynth non-real-time score for one workload of bench/peers.sh.

Usage: sc_score.py W1|W2 SECONDS OUT.osc

The score is a binary OSC file (a sequence of size-prefixed bundles): at time 0 it loads a
SynthDef of one voice (/d_recv) and starts every voice (/s_new); a last bundle at SECONDS sets the
length of the render. The SynthDef is written here in the SynthDef file format (version 2):
  W1 voice: Out.ar(0, SinOsc.ar(freq, 0) * amp)
  W2 voice: Out.ar(0, RLPF.ar(Saw.ar(freq), cutoff, 1/1.5) * amp)   (band-limited saw, resonant
            2-pole low-pass with Q 1.5, as Velto's FilterLowPass in W2)
Voice i has the same frequencies as the other engines: W1 110 + 3.7 i Hz; W2 55 + 7.3 i Hz through
a cutoff of 1500 + 11 i Hz; amplitude 1/N.
"""
import struct
import sys


def pstring(s):
    b = s.encode()
    return struct.pack('>B', len(b)) + b


def synthdef(name, params, constants, ugens):
    """ugens: (class, rate, [(ugen, output) or ('c', constant index)], outputs, special)."""
    out = pstring(name)
    out += struct.pack('>i', len(constants)) + b''.join(struct.pack('>f', c) for c in constants)
    out += struct.pack('>i', len(params)) + b''.join(struct.pack('>f', v) for _, v in params)
    out += struct.pack('>i', len(params))
    for index, (pname, _) in enumerate(params):
        out += pstring(pname) + struct.pack('>i', index)
    out += struct.pack('>i', len(ugens))
    for cls, rate, inputs, outputs, special in ugens:
        out += pstring(cls) + struct.pack('>biih', rate, len(inputs), outputs, special)
        for source, index in inputs:
            out += struct.pack('>ii', -1 if source == 'c' else source, index)
        out += b''.join(struct.pack('>b', rate) for _ in range(outputs))
    out += struct.pack('>h', 0)  # no variants
    return b'SCgf' + struct.pack('>ih', 2, 1) + out


KR, AR = 1, 2
MUL = 2  # BinaryOpUGen special index of *


def voice(workload):
    if workload == 'W1':
        return synthdef('w1', [('freq', 440.0), ('amp', 0.1)], [0.0], [
            ('Control', KR, [], 2, 0),
            ('SinOsc', AR, [(0, 0), ('c', 0)], 1, 0),
            ('BinaryOpUGen', AR, [(1, 0), (0, 1)], 1, MUL),
            ('Out', AR, [('c', 0), (2, 0)], 0, 0),
        ])
    return synthdef('w2', [('freq', 440.0), ('cutoff', 1500.0), ('amp', 0.1)], [0.0, 1 / 1.5], [
        ('Control', KR, [], 3, 0),
        ('Saw', AR, [(0, 0)], 1, 0),
        ('RLPF', AR, [(1, 0), (0, 1), ('c', 1)], 1, 0),
        ('BinaryOpUGen', AR, [(2, 0), (0, 2)], 1, MUL),
        ('Out', AR, [('c', 0), (3, 0)], 0, 0),
    ])


def osc_string(s):
    b = s.encode() + b'\0'
    return b + b'\0' * (-len(b) % 4)


def message(address, *args):
    tags, data = ',', b''
    for a in args:
        if isinstance(a, bytes):
            tags += 'b'
            data += struct.pack('>i', len(a)) + a + b'\0' * (-len(a) % 4)
        elif isinstance(a, float):
            tags += 'f'
            data += struct.pack('>f', a)
        elif isinstance(a, int):
            tags += 'i'
            data += struct.pack('>i', a)
        else:
            tags += 's'
            data += osc_string(a)
    return osc_string(address) + osc_string(tags) + data


def bundle(seconds, messages):
    body = b'#bundle\0' + struct.pack('>Q', int(seconds * (1 << 32)))
    for m in messages:
        body += struct.pack('>i', len(m)) + m
    return struct.pack('>i', len(body)) + body


def main():
    workload, seconds, path = sys.argv[1], float(sys.argv[2]), sys.argv[3]
    n = 512 if workload == 'W1' else 256
    name = 'w1' if workload == 'W1' else 'w2'
    start = [message('/d_recv', voice(workload))]
    for i in range(n):
        if workload == 'W1':
            start.append(message('/s_new', name, 1000 + i, 1, 0, 'freq', 110 + 3.7 * i,
                                 'amp', 1.0 / n))
        else:
            start.append(message('/s_new', name, 1000 + i, 1, 0, 'freq', 55 + 7.3 * i,
                                 'cutoff', 1500.0 + 11 * i, 'amp', 1.0 / n))
    with open(path, 'wb') as f:
        f.write(bundle(0.0, start))
        f.write(bundle(seconds, [message('/c_set', 0, 0.0)]))


if __name__ == '__main__':
    main()
