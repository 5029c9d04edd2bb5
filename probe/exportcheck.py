#!/usr/bin/python3
"""What each exported file holds: size, mode/depth, profile, EXIF orientation, XMP; and how far its pixels are
from the PNG export's (upright, 8 bits)."""
import glob, os, sys, io
from PIL import Image, ImageOps
import numpy as np, cv2
import warnings; warnings.filterwarnings('ignore')
def info(f):
    im = Image.open(f)
    icc = im.info.get('icc_profile')
    ex = im.getexif()
    o = ex.get(274)
    xmp = b'xmp' if (im.info.get('xmp') or im.info.get('XML:com.adobe.xmp') or (hasattr(im, 'tag_v2') and 700 in im.tag_v2)) else b''
    raw = cv2.imread(f, cv2.IMREAD_UNCHANGED)
    depth = raw.dtype if raw is not None else '?'
    ch = (raw.shape[2] if raw is not None and raw.ndim == 3 else 1) if raw is not None else '?'
    return '%s %s %s ch%s %s icc%s o%s %s' % (os.path.basename(f)[:40], im.size, im.mode, ch, depth, len(icc) if icc else 0, o, xmp.decode())
for src in sorted(set(f.split('x-', 1)[1].rsplit('.', 1)[0] for f in glob.glob('x-*'))):
    u = src
    print('==', u, '|', info(u))
    for f in sorted(glob.glob('x-' + src + '.*')):
        print('    ', info(f))
