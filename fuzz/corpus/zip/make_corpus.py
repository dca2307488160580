#!/usr/bin/env python3
"""Writes the zip seeds into this folder: archives made by Info-ZIP zip and by Python's zipfile, and
hostile ones made from them. Run from anywhere; needs zip (-fz, -P) and python3."""
import io, os, shutil, struct, subprocess, tempfile, zipfile

HERE = os.path.dirname(os.path.abspath(__file__))

def out(name, data):
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(data)

def text(n, seed):
    words = [b'printer', b'driver', b'port', b'queue', b'spool', b'install', b'firmware', b'\n']
    x, parts, size = seed, [], 0
    while size < n:
        x = (x * 1103515245 + 12345) & 0x7FFFFFFF
        w = words[(x >> 16) % len(words)]
        parts.append(w + b' ')
        size += len(w) + 1
    return b''.join(parts)[:n]

# Info-ZIP zip: a small tree with a directory, an empty file and a 1.2 MB file (more than one output chunk).
work = tempfile.mkdtemp()
tree = os.path.join(work, 'drv')
os.makedirs(os.path.join(tree, 'sub', 'deep'))
open(os.path.join(tree, 'setup.inf'), 'wb').write(text(5000, 1))
open(os.path.join(tree, 'empty.txt'), 'wb').close()
open(os.path.join(tree, 'sub', 'deep', 'big.txt'), 'wb').write(text(1200 * 1024, 2))
for name, flags in (('zip-deflate.zip', ['-9']), ('zip-stored.zip', ['-0', '-x', '*big.txt']),
                    ('zip-zip64.zip', ['-fz', '-x', '*big.txt'])):
    target = os.path.join(work, name)
    subprocess.check_call(['zip', '-qr', target, 'drv'] + flags, cwd=work)
    out(name, open(target, 'rb').read())
subprocess.check_call(['zip', '-q', '-P', 'secret', os.path.join(work, 'enc.zip'), 'drv/setup.inf'], cwd=work)
encrypted = open(os.path.join(work, 'enc.zip'), 'rb').read()
shutil.rmtree(work)

# Python: stored, deflate, a directory, UTF-8 names, a comment; an empty archive.
buf = io.BytesIO()
with zipfile.ZipFile(buf, 'w') as z:
    z.writestr('stored.txt', text(1000, 3), compress_type=zipfile.ZIP_STORED)
    z.writestr('deflate.txt', text(20000, 4), compress_type=zipfile.ZIP_DEFLATED)
    z.writestr('dir/', b'')
    z.writestr('dir/\u00fcml\u00e4ut \u65e5\u672c.txt', b'utf-8 name\n', compress_type=zipfile.ZIP_DEFLATED)
    z.comment = b'archive comment'
python = buf.getvalue()
out('py-mixed.zip', python)
buf = io.BytesIO()
zipfile.ZipFile(buf, 'w').close()
out('py-empty.zip', buf.getvalue())

# Python to an unseekable stream: data descriptors, one entry with ZIP64 sizes.
class Unseekable(io.RawIOBase):
    def __init__(self):
        self.data = bytearray()
    def writable(self):
        return True
    def write(self, b):
        self.data += b
        return len(b)
stream = Unseekable()
with zipfile.ZipFile(stream, 'w', compression=zipfile.ZIP_DEFLATED) as z:
    with z.open('streamed.bin', 'w', force_zip64=True) as f:
        f.write(text(200000, 5))
    with z.open('small.txt', 'w') as f:
        f.write(b'small\n')
out('py-descriptor.zip', bytes(stream.data))

# Hostile names, stored under each name as given.
def named(names, method=zipfile.ZIP_STORED):
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, 'w') as z:
        for n in names:
            info = zipfile.ZipInfo(n)
            info.compress_type = method
            z.writestr(info, b'payload\n')
    return buf.getvalue()
out('bad-traversal.zip', named(['ok.txt', '../evil.txt']))
out('bad-traversal-deep.zip', named(['a/b/../../../evil.txt']))
out('bad-backslash.zip', named(['..\\evil.txt']))
out('bad-absolute.zip', named(['/tmp/evil.txt']))
out('bad-drive.zip', named(['C:evil.txt']))
out('bad-device.zip', named(['sub/CON.txt']))
out('bad-encrypted.zip', encrypted)
out('bad-method.zip', named(['x.txt'], zipfile.ZIP_BZIP2))

# An overlong "." ".." in a name flagged UTF-8: bytes C0 AE C0 AE.
data = bytearray(named(['XXXX/evil.txt']))
data = data.replace(b'XXXX', b'\xc0\xae\xc0\xae')
for sig, off in ((b'PK\x03\x04', 6), (b'PK\x01\x02', 8)):
    at = data.find(sig)
    flags = struct.unpack_from('<H', data, at + off)[0] | 0x800
    struct.pack_into('<H', data, at + off, flags)
out('bad-overlong-utf8.zip', bytes(data))

# Two directory records naming one local header: data shared between entries.
data = bytearray(named(['one.txt']))
cd = data.find(b'PK\x01\x02')
end = data.find(b'PK\x05\x06')
record = data[cd:end]
data[cd:end] = record + record
struct.pack_into('<HHI', data, end + len(record) + 8, 2, 2, len(record) * 2)
out('bad-overlap.zip', bytes(data))

# A deflate entry that inflates past its declared size (both headers say 100 bytes).
buf = io.BytesIO()
with zipfile.ZipFile(buf, 'w', compression=zipfile.ZIP_DEFLATED) as z:
    z.writestr('bomb.txt', b'\0' * 100000)
data = bytearray(buf.getvalue())
struct.pack_into('<I', data, 22, 100)
struct.pack_into('<I', data, data.find(b'PK\x01\x02') + 24, 100)
out('bad-oversize.zip', bytes(data))

# The mixed archive cut short, and with its first entry's data damaged.
out('bad-truncated.zip', python[:len(python) // 2])
data = bytearray(python)
data[60] ^= 0xFF
out('bad-flipped.zip', bytes(data))

# Five stored entries, the third one's data damaged (its CRC-32 no longer matches).
buf = io.BytesIO()
with zipfile.ZipFile(buf, 'w') as z:
    for i in range(5):
        z.writestr('part%d.txt' % (i + 1), b'part %d\n' % (i + 1))
data = bytearray(buf.getvalue())
at = data.find(b'part 3\n')
data[at] ^= 0x20
out('bad-third-of-five.zip', bytes(data))

# Deflate at level 0: stored blocks inside a deflate stream.
buf = io.BytesIO()
with zipfile.ZipFile(buf, 'w', compression=zipfile.ZIP_DEFLATED, compresslevel=0) as z:
    z.writestr('level0.txt', text(150000, 6))
out('py-deflate-level0.zip', buf.getvalue())
