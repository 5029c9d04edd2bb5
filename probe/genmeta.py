#!/usr/bin/python3
"""JPEGs with metadata the application's tests do not make: EXIF in both byte orders and every orientation,
big and damaged EXIF, many APPn and comments, a profile split over several APP2, multi-picture indexes that are
broken, trailing bytes, extended XMP, JFXX and Photoshop thumbnails."""
import struct, subprocess, io, os, sys
from PIL import Image
import numpy as np

G = '/work/wt/i83/probe/genjpeg'
OUT = sys.argv[1]

def base(w, h, samp='2x2,1x1,1x1', q=90):
    subprocess.check_call([G, '/tmp/_b.jpg', str(w), str(h), 'ycc', samp, str(q), '0', '0', '0'])
    return open('/tmp/_b.jpg', 'rb').read()

def seg(marker, payload):
    assert len(payload) + 2 <= 65535, len(payload)
    return bytes([0xFF, marker]) + struct.pack('>H', len(payload) + 2) + payload

def insert(jpeg, segs):
    # after SOI and the JFIF APP0
    i = 2
    if jpeg[2:4] == b'\xff\xe0':
        i = 4 + struct.unpack('>H', jpeg[4:6])[0]
    return jpeg[:i] + b''.join(segs) + jpeg[i:]

def thumb(w, h, q=80, noise=False):
    if noise:
        a = np.random.RandomState(1).randint(0, 256, (h, w, 3), dtype=np.uint8)
    else:
        a = np.zeros((h, w, 3), np.uint8); a[..., 0] = 200; a[..., 1] = 30
    b = io.BytesIO(); Image.fromarray(a).save(b, 'JPEG', quality=q); return b.getvalue()

def exif(orientation=1, big=False, thumbnail=None, after=b'', ifd0_extra=(), ifd1_next=0, thumb_offset=None,
         ifd0_offset=8, pad=0):
    e = '>' if big else '<'
    out = bytearray((b'MM\0*' if big else b'II*\0') + struct.pack(e + 'I', ifd0_offset))
    if ifd0_offset != 8:
        out += b'\0' * (ifd0_offset - 8) if ifd0_offset < 1000 else b''
    entries = [(0x0112, 3, 1, orientation)] + list(ifd0_extra)
    ifd0 = len(out)
    n = len(entries)
    ifd1 = ifd0 + 2 + 12 * n + 4 + pad
    body = struct.pack(e + 'H', n)
    for tag, typ, cnt, val in entries:
        if typ == 3:
            body += struct.pack(e + 'HHIHH', tag, typ, cnt, val, 0)
        else:
            body += struct.pack(e + 'HHII', tag, typ, cnt, val)
    body += struct.pack(e + 'I', ifd1 if thumbnail is not None else 0)
    out += body + b'\0' * pad
    if thumbnail is not None:
        data_at = ifd1 + 2 + 12 * 3 + 4
        t_off = data_at if thumb_offset is None else thumb_offset
        ib = struct.pack(e + 'H', 3)
        ib += struct.pack(e + 'HHIHH', 0x0103, 3, 1, 6, 0)
        ib += struct.pack(e + 'HHII', 0x0201, 4, 1, t_off)
        ib += struct.pack(e + 'HHII', 0x0202, 4, 1, len(thumbnail))
        ib += struct.pack(e + 'I', ifd1_next)
        out += ib + thumbnail + after
    return bytes(out)

def app1_exif(block):
    return seg(0xE1, b'Exif\0\0' + block)

def mpf(entries, big=False, table_offset=None, ifd_offset=8):
    """entries: list of (attribute, size, offset). Offsets relative to MPF header start."""
    e = '>' if big else '<'
    n = len(entries)
    hdr = (b'MM\0*' if big else b'II*\0') + struct.pack(e + 'I', ifd_offset)
    ifd = struct.pack(e + 'H', 3)
    ifd_start = 8
    table = ifd_start + 2 + 12 * 3 + 4 if table_offset is None else table_offset
    ifd += struct.pack(e + 'HHI4s', 0xB000, 7, 4, b'0100')
    ifd += struct.pack(e + 'HHII', 0xB001, 4, 1, n)
    ifd += struct.pack(e + 'HHII', 0xB002, 7, 16 * n, table)
    ifd += struct.pack(e + 'I', 0)
    tab = b''.join(struct.pack(e + 'IIIHH', a, s, o, 0, 0) for a, s, o in entries)
    return b'MPF\0' + hdr + ifd + (tab if table_offset is None else b'')

def write(name, data):
    open(os.path.join(OUT, name), 'wb').write(data)

t = thumb(20, 28)
# orientations with thumbnails, both byte orders, odd sizes
for o, big, (w, h) in [(3, False, (40, 56)), (5, True, (37, 29)), (7, False, (29, 37)), (8, True, (53, 40)),
                       (2, False, (45, 33)), (4, True, (45, 33)), (6, True, (33, 45))]:
    write('m-o%d-%s-%dx%d.jpg' % (o, 'be' if big else 'le', w, h), insert(base(w, h), [app1_exif(exif(o, big, t))]))
# thumbnail not last in the block (followed by 300 bytes)
write('m-thumb-notlast.jpg', insert(base(64, 48), [app1_exif(exif(1, False, t, after=b'\x55' * 300))]))
# very big EXIF: an incompressible thumbnail near the segment's limit
bt = thumb(160, 120, 100, noise=True)
while len(bt) > 60000:
    bt = bt[:0] or thumb(140, 105, 100, noise=True)
write('m-bigexif.jpg', insert(base(64, 48), [app1_exif(exif(1, False, bt, after=b''))]))
# many APPn, comments, a profile in three pieces
from PIL import ImageCms
prof = ImageCms.ImageCmsProfile(ImageCms.createProfile('sRGB')).tobytes()
k = (len(prof) + 2) // 3
pieces = [prof[i * k:(i + 1) * k] for i in range(3)]
segs = [seg(0xE2, b'ICC_PROFILE\0' + bytes([i + 1, 3]) + p) for i, p in enumerate(pieces)]
segs = [segs[2], segs[0], segs[1]]  # out of order
segs += [seg(0xE0 + n, b'APP%d-data\0' % n + bytes(range(256)) * 3) for n in range(3, 16)]
segs += [seg(0xFE, b'a comment %d' % n) for n in range(3)]
write('m-manyapp.jpg', insert(base(64, 48), segs))
# EXIF damaged: IFD0 offset outside; thumbnail offset outside; IFD1 loops to IFD0; orientation count 2
write('m-exif-ifd0-outside.jpg', insert(base(64, 48), [app1_exif(b'II*\0' + struct.pack('<I', 0x7FFFFFF0) + b'\0' * 20)]))
write('m-exif-thumb-outside.jpg', insert(base(64, 48), [app1_exif(exif(6, False, t, thumb_offset=0xFFFFFF00))]))
write('m-exif-loop.jpg', insert(base(64, 48), [app1_exif(exif(1, False, t, ifd1_next=8))]))
write('m-exif-orient-count2.jpg', insert(base(64, 48), [app1_exif(
    b'II*\0' + struct.pack('<I', 8) + struct.pack('<H', 1) + struct.pack('<HHIHH', 0x0112, 3, 2, 6, 6) + b'\0\0\0\0')]))
write('m-exif-truncated.jpg', insert(base(64, 48), [app1_exif(exif(6, False, t)[:30])]))
write('m-exif-thumb-len-huge.jpg', insert(base(64, 48), [app1_exif(exif(1, False, t)[:-len(t)] + t[:100])]))
# multi-picture indexes, broken
j = base(64, 48)
second = thumb(32, 24)
def with_mpf(primary, entries, extra, **kw):
    m = seg(0xE2, mpf(entries, **kw))
    p = insert(primary, [m])
    return p, m
# entries pointing beyond the file
p, m = with_mpf(j, [(0x20030000, 0, 0), (0x00020002, 5000, 0x7FFFFF00)], b'')
write('m-mpf-beyond.jpg', p)
# entry table outside its segment (into the picture's scan data)
p0, _ = with_mpf(j, [(0x20030000, 0, 0), (0x00020002, len(second), 0)], b'', table_offset=600)
write('m-mpf-table-in-scan.jpg', p0 + second)
# IFD offset outside its segment
p1, _ = with_mpf(j, [(0x20030000, 0, 0), (0x00020002, len(second), 0)], b'', ifd_offset=900)
write('m-mpf-ifd-in-scan.jpg', p1 + second)
# a proper index with a depth map, the second picture's offset right
def proper(primary, pics):
    m0 = seg(0xE2, mpf([(0x20030000, 0, 0)] + [(a, len(b), 0) for a, b in pics]))
    p = insert(primary, [m0])
    start = p.index(b'MPF\0') + 4
    off = len(p) - start
    ents = [(0x20030000, len(p), 0)]
    for a, b in pics:
        ents.append((a, len(b), off)); off += len(b)
    m1 = seg(0xE2, mpf(ents))
    p = insert(primary, [m1])
    return p + b''.join(b for _, b in pics)
write('m-mpf-ok-big-endian-size-huge.jpg', proper(j, [(0x00020002, second)])[:-10] )  # last picture truncated
write('m-mpf-three.jpg', proper(j, [(0x00020002, second), (0x00010001, thumb(16, 12)), (0x00000000, thumb(8, 8))]))
# trailing bytes after EOI (as a motion photo appends its video and names it in XMP)
xmp = b'http://ns.adobe.com/xap/1.0/\0<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#"><rdf:Description xmlns:GCamera="http://ns.google.com/photos/1.0/camera/" GCamera:MicroVideo="1" GCamera:MicroVideoOffset="5000"/></rdf:RDF></x:xmpmeta>'
write('m-trailing-video.jpg', insert(j, [seg(0xE1, xmp)]) + b'\0\0\0\x18ftypmp42' + os.urandom(4988))
# extended XMP
ext = b'http://ns.adobe.com/xmp/extension/\0' + b'0' * 32 + struct.pack('>II', 10, 0) + b'<extended/>'
write('m-xmp-extended.jpg', insert(j, [seg(0xE1, xmp), seg(0xE1, ext)]))
# JFXX thumbnail (a JPEG) and a Photoshop thumbnail resource
jfxx = b'JFXX\0\x10' + thumb(16, 12)
write('m-jfxx.jpg', insert(j, [seg(0xE0, jfxx)]))
ps_thumb = thumb(16, 12)
res = b'8BIM' + struct.pack('>H', 0x040C) + b'\0\0' + struct.pack('>I', 28 + len(ps_thumb)) + struct.pack('>IIIIIIHH', 1, 16, 12, 48, 48 * 12, len(ps_thumb), 24, 1) + ps_thumb
if len(res) % 2: res += b'\0'
write('m-photoshop-thumb.jpg', insert(j, [seg(0xED, b'Photoshop 3.0\0' + res)]))
# two EXIF segments
write('m-two-exif.jpg', insert(j, [app1_exif(exif(6, False, t)), app1_exif(exif(3, False, t))]))
# an uncompressed (TIFF) EXIF thumbnail: IFD1 without JPEGInterchangeFormat
write('m-exif-strip-thumb.jpg', insert(j, [app1_exif(
    b'II*\0' + struct.pack('<I', 8) + struct.pack('<H', 1) + struct.pack('<HHIHH', 0x0112, 3, 1, 1, 0) + struct.pack('<I', 26) +
    struct.pack('<H', 2) + struct.pack('<HHIHH', 0x0103, 3, 1, 1, 0) + struct.pack('<HHII', 0x0111, 4, 1, 56) + struct.pack('<I', 0) + b'\x80' * 48)]))
print('ok')
