"""Reference of a merged recording, built with numpy from the two inputs.

usage: merge_reference.py A B OUT time|start
Prints "same" when OUT holds exactly the expected bytes, else "differ: <where>".
"""
import sys

import numpy as np


def load(path):
    raw = np.fromfile(path, dtype=np.uint8)
    n = int(raw[0:2].view('<u2')[0])
    rate = int(raw[22:24].view('<u2')[0])
    ticks = int(raw[104:112].view('<i8')[0])
    hs = 120 + 72 * n
    count = (len(raw) - hs) // (4 * n)
    frames = raw[hs:hs + count * 4 * n].view('<i4').reshape(count, n)
    return n, rate, ticks, raw[:hs].copy(), frames


def first_sample(ticks, rate):
    return (ticks * rate + 256000) // 256000000


def main():
    (na, rate, ta, ha, fa), (nb, _, tb, hb, fb) = load(sys.argv[1]), load(sys.argv[2])
    sa, sb = first_sample(ta, rate), first_sample(tb, rate)
    la, lb = len(fa), len(fb)
    if sys.argv[4] == 'time':
        begin = min(sa, sb)
        pa, pb, last = sa - begin, sb - begin, max(sa + la, sb + lb) - begin
    else:
        pa, pb, last = 0, 0, min(la, lb)
    frames = np.zeros((last, na + nb), dtype='<i4')
    ka, kb = min(la, last - pa), min(lb, last - pb)
    frames[pa:pa + ka, :na] = fa[:ka]
    frames[pb:pb + kb, na:] = fb[:kb]
    main_header = (ha if sa <= sb else hb)[:120].copy()
    main_header[0:2] = np.frombuffer(np.uint16(na + nb).tobytes(), np.uint8)
    main_header[18:20] = np.frombuffer(np.int16(24).tobytes(), np.uint8)
    expected = main_header.tobytes() + ha[120:].tobytes() + hb[120:].tobytes() + frames.tobytes()
    got = open(sys.argv[3], 'rb').read()
    if got == expected:
        print('same')
        return
    where = next((i for i in range(min(len(got), len(expected))) if got[i] != expected[i]), min(len(got), len(expected)))
    print('differ: %d bytes vs %d expected, first difference at %d' % (len(got), len(expected), where))


main()
