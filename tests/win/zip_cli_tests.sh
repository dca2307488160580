#!/usr/bin/env bash
# ravelutil zip extract against unzip, over archives made now by zip and by Python: the same
# bytes, names and modification times of every file and directory.
# Usage: zip_cli_tests.sh <ravelutil.exe> <shared prefix>; skipped (77) without zip, unzip or python3.
set -u
exe=$1
export WINEPREFIX=${WINEPREFIX:-$2} WINEDEBUG=-all
command -v zip >/dev/null && command -v unzip >/dev/null && command -v python3 >/dev/null ||
  { echo "zip, unzip or python3 missing: skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

tree=$work/src/drv
mkdir -p "$tree/sub/deep" "$tree/empty dir"
head -c 300000 /dev/urandom >"$tree/random.bin"
seq 1 200000 >"$tree/sub/deep/numbers.txt"
printf 'utf-8 name\n' >"$tree/$(printf 'd\xc3\xa9j\xc3\xa0 \xe6\x97\xa5\xe6\x9c\xac.txt')"
: >"$tree/empty.txt"
touch -d '2019-03-04 05:06:07' "$tree/sub/deep/numbers.txt" "$tree/sub"
(cd "$work/src" && zip -qr ../zip-deflate.zip drv && zip -qr0 ../zip-stored.zip drv && zip -qr -fz ../zip-zip64.zip drv &&
  zip -qr - drv >../zip-streamed.zip)
python3 - "$work" <<'PY'
import io, sys, zipfile
work = sys.argv[1]
with zipfile.ZipFile(work + '/py.zip', 'w') as z:
    z.writestr('stored.txt', b'stored\n' * 1000)
    z.writestr('deflate.txt', b'deflate\n' * 5000, compress_type=zipfile.ZIP_DEFLATED)
    z.writestr('dir/', b'')
    z.writestr('dir/\u00fcml\u00e4ut \u65e5\u672c.txt', b'x\n', compress_type=zipfile.ZIP_DEFLATED)
    z.comment = b'comment'
class Unseekable(io.RawIOBase):
    def __init__(self, f): self.f = f
    def writable(self): return True
    def write(self, b): return self.f.write(b)
with open(work + '/py-descriptor.zip', 'wb') as raw:
    with zipfile.ZipFile(Unseekable(raw), 'w', compression=zipfile.ZIP_DEFLATED) as z:
        with z.open('streamed.bin', 'w', force_zip64=True) as f:
            f.write(bytes(range(256)) * 4000)
PY

mkdir -p "$work/unzip"
listing() { (cd "$1" && find . -mindepth 1 -printf '%P %y %s %T@\n' | LC_ALL=C sort); }
for zip in "$work"/*.zip; do
  name=$(basename "$zip" .zip)
  unzip -q "$zip" -d "$work/unzip/$name"
  out=$(timeout 120 wine "$exe" zip extract "Z:$zip" "Z:$work/ours/$name" 2>&1)
  if [ $? -ne 0 ] || ! diff -r "$work/unzip/$name" "$work/ours/$name" >/dev/null ||
    ! diff <(listing "$work/unzip/$name") <(listing "$work/ours/$name"); then
    echo "FAILED $name: $out"
    failures=$((failures + 1))
  fi
done
echo "$failures failures"
[ "$failures" -eq 0 ]
