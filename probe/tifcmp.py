#!/usr/bin/python3
"""Compares TIFFs written by the probe with the photo as it was: tags of every page, page count, and the stored
pixels outside the strips or tiles the strokes touched (first page), with PIL decoding."""
# Note: PIL turns TIFFs it decodes through libtiff upright (orientation tag), so the stroke mapping here is
# right only for orientation 1; use the probe's own (Qt, upright) comparison for turned TIFFs.
import sys, glob, os
from PIL import Image, TiffTags
import numpy as np
import warnings; warnings.filterwarnings('ignore')

ORIENT_MAP = {}
def upright(x, y, W, H, o):
    return {1: (x, y), 2: (W-1-x, y), 3: (W-1-x, H-1-y), 4: (x, H-1-y), 5: (y, x), 6: (H-1-y, x), 7: (H-1-y, W-1-x), 8: (y, W-1-x)}[o]

def strokes(w, h, n):
    out = []
    for s in range(1, n+1):
        if s % 2 == 1: out.append((w//4, h//4, max(1, w//6), max(1, h//6)))
        else: out.append((w*5//8, h*5//8, max(1, w//7), max(1, h//7)))
    return out

def tags(im):
    d = {}
    for k, v in im.tag_v2.items():
        if k in (273, 279, 324, 325, 288, 289, 347):  # offsets, counts, JPEG tables
            continue
        if isinstance(v, bytes) and len(v) > 40: v = 'bytes%d:%x' % (len(v), hash(v) & 0xffffff)
        d[TiffTags.lookup(k).name + '(%d)' % k] = v
    return d

def pages(path):
    im = Image.open(path); out = []
    for i in range(getattr(im, 'n_frames', 1)):
        im.seek(i)
        try:
            a = np.asarray(im.copy())
        except Exception as e:
            a = None
        out.append((tags(im), a, im.tag_v2.get(278), im.tag_v2.get(322), im.tag_v2.get(323)))
    return out

def compare(orig, new, session):
    try: P = pages(orig)
    except Exception as e: return 'orig unreadable by PIL: %s' % e
    try: Q = pages(new)
    except Exception as e: return 'NEW UNREADABLE: %s' % e
    msgs = []
    if len(P) != len(Q): msgs.append('PAGES %d -> %d' % (len(P), len(Q)))
    for i, (p, q) in enumerate(zip(P, Q)):
        tp, tq = p[0], q[0]
        for k in sorted(set(tp) | set(tq)):
            if tp.get(k) != tq.get(k):
                msgs.append('p%d tag %s: %r -> %r' % (i, k, str(tp.get(k))[:60], str(tq.get(k))[:60]))
        a, b = p[1], q[1]
        if a is None or b is None:
            msgs.append('p%d pixels unreadable %s %s' % (i, a is None, b is None)); continue
        if a.shape != b.shape: msgs.append('p%d shape %s -> %s' % (i, a.shape, b.shape)); continue
        diff = (a.astype(float) != b.astype(float))
        if diff.ndim == 3: diff = diff.any(axis=2)
        if i == 0:
            H, W = diff.shape
            o = int(tp.get('Orientation(274)', 1))
            uw, uh = (H, W) if o >= 5 else (W, H)
            st = strokes(uw, uh, session)
            rps = p[2] or H; tw = p[3]; th = p[4]
            touched = np.zeros_like(diff)
            for y in range(H):
                for x in range(W):
                    ux, uy = upright(x, y, W, H, o)
                    if any(sx <= ux < sx+sw and sy <= uy < sy+sh for sx, sy, sw, sh in st):
                        if tw: touched[(y//th)*th:(y//th+1)*th, (x//tw)*tw:(x//tw+1)*tw] = True
                        else: touched[(y//rps)*rps:(y//rps+1)*rps, :] = True
            out = diff & ~touched
            if out.any():
                ys, xs = np.nonzero(out)
                af = a.astype(float); bf = b.astype(float)
                msgs.append('p0 OUTSIDE TOUCHED PIECES %d px differ, max %.4g, rows %d-%d cols %d-%d' % (out.sum(), np.abs(af-bf)[out].max(), ys.min(), ys.max(), xs.min(), xs.max()))
            if not (diff & touched).any(): msgs.append('p0 nothing changed inside')
        elif diff.any():
            msgs.append('p%d PIXELS CHANGED %d' % (i, diff.sum()))
    return '; '.join(msgs) or 'same'

d = sys.argv[1]
for u in sorted(glob.glob(os.path.join(d, 'untouched-*.tif'))):
    n = os.path.basename(u)[len('untouched-'):]
    for s in (1, 2):
        for pre in ('e%d-' % s, 'c%d-' % s) + (('',) if s == 2 else ()):
            f = os.path.join(d, pre + n)
            if os.path.exists(f):
                print('%-34s %-4s s%d %s' % (n, pre or 'save', s, compare(u, f, s)))
