"""Independent MiniSEED 2 reader for the export tests (numpy only).

usage: mseed_decode.py FILE OUT.i32
Decodes every record of FILE: the fixed header, blockette 1000 (and 1001 when present) and Steim-1 data
frames, with each record's integration constants checked (first sample == X0, last sample == Xn).
Writes all samples as little-endian int32 to OUT.i32 and prints one line:
  OK <network> <station> <channel> <start us since 1970> <rate> <samples> <records> <reclen> <encoding> <order>
or "BAD <reason>".
"""
import struct
import sys

import numpy as np


def day_us(year, doy):
    days = (np.datetime64('%04d-01-01' % year, 'D') - np.datetime64('1970-01-01', 'D')).astype(int) + doy - 1
    return int(days) * 86400 * 1000000


def steim1(frames, count, x0, xn):
    out = []
    last = None
    for f in range(len(frames) // 64):
        words = struct.unpack('>16I', frames[f * 64:(f + 1) * 64])
        ctrl = words[0]
        for w in range(1, 16):
            if f == 0 and w in (1, 2):
                continue  # X0, Xn
            code = (ctrl >> (2 * (15 - w))) & 3
            word = words[w]
            if code == 1:
                diffs = [struct.unpack('>b', bytes([(word >> s) & 0xFF]))[0] for s in (24, 16, 8, 0)]
            elif code == 2:
                diffs = [struct.unpack('>h', struct.pack('>H', (word >> s) & 0xFFFF))[0] for s in (16, 0)]
            elif code == 3:
                diffs = [struct.unpack('>i', struct.pack('>I', word))[0]]
            else:
                continue
            for d in diffs:
                if len(out) >= count:
                    break
                if not out:
                    last = x0  # the first difference refers to the record before
                else:
                    last = last + d
                    if not -2**31 <= last < 2**31:
                        raise ValueError('difference leaves 32 bits')
                out.append(last)
    if len(out) != count:
        raise ValueError('frames hold %d of %d samples' % (len(out), count))
    if out[0] != x0 or out[-1] != xn:
        raise ValueError('integration constants: %d/%d vs %d/%d' % (out[0], out[-1], x0, xn))
    return out


def main():
    data = open(sys.argv[1], 'rb').read()
    samples = []
    start = None
    rate = None
    ids = None
    records = 0
    pos = 0
    reclen0 = enc0 = order0 = None
    while pos < len(data):
        rec = data[pos:]
        seq = rec[0:6]
        if not seq.isdigit() or rec[6:7] not in (b'D', b'R', b'Q', b'M'):
            raise ValueError('record %d: no data header' % records)
        station = rec[8:13].decode('ascii').strip()
        location = rec[13:15].decode('ascii').strip()
        channel = rec[15:18].decode('ascii').strip()
        network = rec[18:20].decode('ascii').strip()
        year, doy, hour, minute, sec, _, fract = struct.unpack('>HHBBBBH', rec[20:30])
        nsamp, factor, mult = struct.unpack('>Hhh', rec[30:36])
        nblk = rec[39]
        tcorr = struct.unpack('>i', rec[40:44])[0]
        data_off, blk_off = struct.unpack('>HH', rec[44:48])
        if tcorr != 0 or (rec[36] & 2):
            raise ValueError('unexpected time correction')
        t = day_us(year, doy) + ((hour * 60 + minute) * 60 + sec) * 1000000 + fract * 100
        enc = order = reclen = None
        while blk_off:
            btype, nxt = struct.unpack('>HH', rec[blk_off:blk_off + 4])
            if btype == 1000:
                enc, order, exp = rec[blk_off + 4], rec[blk_off + 5], rec[blk_off + 6]
                reclen = 1 << exp
            elif btype == 1001:
                t += struct.unpack('>b', rec[blk_off + 5:blk_off + 6])[0]
            blk_off = nxt
            nblk -= 1
        if reclen is None or nblk != 0:
            raise ValueError('record %d: blockette 1000 missing' % records)
        if factor > 0 and mult > 0:
            r = factor * mult
        elif factor > 0 and mult < 0:
            r = -factor / mult
        elif factor < 0 and mult > 0:
            r = -mult / factor
        else:
            r = 1.0 / (factor * mult)
        if enc != 10:
            raise ValueError('encoding %d' % enc)
        x0, xn = struct.unpack('>ii', rec[data_off + 4:data_off + 12])
        frames = rec[data_off:reclen]
        got = steim1(frames, nsamp, x0, xn)
        if start is None:
            start, rate, ids = t, r, (network, station, location, channel)
            reclen0, enc0, order0 = reclen, enc, order
        else:
            expect = start + round(len(samples) * 1000000 / rate)
            if abs(t - expect) > 1 or (network, station, location, channel) != ids or r != rate:
                raise ValueError('record %d does not continue the trace (%d vs %d)' % (records, t, expect))
            if (reclen, enc, order) != (reclen0, enc0, order0):
                raise ValueError('record %d changes its layout' % records)
        samples.extend(got)
        records += 1
        pos += reclen
    np.array(samples, dtype='<i4').tofile(sys.argv[2])
    print('OK %s %s %s %d %s %d %d %d %d %d' % (ids[0], ids[1], ids[3], start, repr(float(rate)), len(samples),
                                                 records, reclen0, enc0, order0))


if __name__ == '__main__':
    try:
        main()
    except Exception as e:  # noqa: BLE001 - any failure is a verdict
        print('BAD %s' % e)
