#!/usr/bin/env bash
# Makes archive_samples.h: small archives written by Debian's zip (Info-ZIP 3.0) and gzip
# (1.12) for the archive tests, as byte arrays, so that the tests under Wine have them too.
# The times are 2021-03-04 05:06:08 UTC (the zips are made with -X: DOS times only).
#   archive/tests/make_archive_samples.sh
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
for tool in zip gzip python3; do
  command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC
out="$PWD/archive_samples.h"
cd "$work"

# A 256-byte big-endian "ROM" (magic, then text that deflates) and an 8-byte readme.
python3 -c "open('Mondo Kart.z64','wb').write(bytes([0x80,0x37,0x12,0x40]) + (b'MONDO KART ' * 23)[:252])"
printf 'Hack v1\n' >readme.txt
touch -d '2021-03-04 05:06:08' 'Mondo Kart.z64' readme.txt

zip -X -q deflate.zip 'Mondo Kart.z64' && zip -X -q -0 deflate.zip readme.txt # deflated, then stored
zip -X -q -fz zip64.zip readme.txt                                             # zip64 records forced
zip -X -q -fd desc.zip - <readme.txt                                           # from a pipe: entry "-", data descriptor
zip -X -q -P secret enc.zip readme.txt                                         # traditional PKWARE encryption
gzip -c 'Mondo Kart.z64' >rom.gz                                               # FNAME and MTIME kept
(gzip -c readme.txt; gzip -c readme.txt) >two.gz                               # two members

python3 - "$out" <<'PY'
import sys
names = [("kDeflateZip", "deflate.zip"), ("kZip64Zip", "zip64.zip"), ("kDescriptorZip", "desc.zip"),
         ("kEncryptedZip", "enc.zip"), ("kRomGz", "rom.gz"), ("kTwoMembersGz", "two.gz")]
with open(sys.argv[1], "w") as out:
    out.write("// Made by archive/tests/make_archive_samples.sh (zip 3.0, gzip 1.12); do not edit.\n#pragma once\n\n")
    for name, path in names:
        data = open(path, "rb").read()
        out.write("// %s, %d bytes\nconst unsigned char %s[] = {\n" % (path, len(data), name))
        for i in range(0, len(data), 16):
            out.write("    " + ", ".join("0x%02X" % b for b in data[i:i + 16]) + ",\n")
        out.write("};\n\n")
PY
