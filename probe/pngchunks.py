#!/usr/bin/python3
import sys, struct, zlib, hashlib
for f in sys.argv[1:]:
    d = open(f, 'rb').read(); i = 8; out = []
    while i + 8 <= len(d):
        L, t = struct.unpack('>I4s', d[i:i+8]); body = d[i+8:i+8+L]
        t = t.decode('latin1')
        if t == 'IHDR':
            w, h, bd, ct, cm, fm, il = struct.unpack('>IIBBBBB', body); out.append('IHDR %dx%d d%d ct%d il%d' % (w, h, bd, ct, il))
        elif t == 'IDAT': 
            if not out or not out[-1].startswith('IDAT'): out.append('IDAT')
        else: out.append('%s:%d:%s' % (t, L, hashlib.md5(body).hexdigest()[:6]))
        i += 12 + L
    print(f, ' '.join(out))
