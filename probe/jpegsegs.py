#!/usr/bin/python3
"""Lists a JPEG's segments (marker, length, short hash), its frame and scans, restart interval, trailing bytes."""
import sys, hashlib

def segments(d):
    out = []
    i = 2
    if d[:2] != b'\xff\xd8':
        return [('not-jpeg',)]
    scans = 0
    while i + 4 <= len(d):
        if d[i] != 0xFF:
            out.append(('garbage@%d' % i,)); break
        m = d[i+1]
        if m == 0xFF:
            i += 1; continue
        if m == 0xD9:
            out.append(('EOI', len(d) - i - 2)); break
        L = (d[i+2] << 8) | d[i+3]
        p = d[i+4:i+2+L]
        name = 'M%02X' % m
        info = hashlib.md5(p).hexdigest()[:6]
        if 0xE0 <= m <= 0xEF:
            name = 'APP%d' % (m - 0xE0)
            info = p[:12].split(b'\0')[0].decode('latin1', 'replace') + ':' + str(L) + ':' + info
        elif m in (0xC0, 0xC1, 0xC2, 0xC3, 0xC9, 0xCA, 0xCB):
            n = p[5]
            comps = ','.join('%d:%x:q%d' % (p[6+3*k], p[7+3*k], p[8+3*k]) for k in range(n))
            info = 'SOF%x %dx%d p%d [%s]' % (m - 0xC0, (p[3] << 8) | p[4], (p[1] << 8) | p[2], p[0], comps)
        elif m == 0xDD:
            info = 'DRI %d' % ((p[0] << 8) | p[1])
        elif m == 0xFE:
            info = 'COM %d %s' % (L, info)
        elif m == 0xDA:
            scans += 1
            # skip entropy data
            j = i + 2 + L
            while j + 1 < len(d):
                if d[j] == 0xFF and d[j+1] != 0 and not (0xD0 <= d[j+1] <= 0xD7):
                    break
                j += 1
            out.append(('SOS', p[0]))
            i = j
            continue
        out.append((name, info))
        i += 2 + L
    return out

for f in sys.argv[1:]:
    d = open(f, 'rb').read()
    print(f, len(d))
    for s in segments(d):
        print('   ', *s)
