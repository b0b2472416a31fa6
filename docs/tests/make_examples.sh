#!/usr/bin/env bash
# Makes the folder the documentation's examples run in: the real homebrew ROM and its
# variants, small synthetic ROMs, a collection in folders, files that are no ROMs.
#   make_examples.sh FOLDER      (the real ROM is read from DORNAVEL_TEST_ROM)
# Every example of README.md and docs/*.md starts from this folder; an example that needs
# another file gets it here, so that all of them share one set.
set -euo pipefail
folder="$1"
rom="${DORNAVEL_TEST_ROM:?DORNAVEL_TEST_ROM must name the real test ROM}"
mkdir -p "$folder"
cd "$folder"

# 8-byte images in each order: a ROM's first word, then 00 00 00 0F.
big() { printf '\x80\x37\x12\x40\x00\x00\x00\x0f' >"$1"; }
little() { printf '\x40\x12\x37\x80\x0f\x00\x00\x00' >"$1"; }
v64() { printf '\x37\x80\x40\x12\x00\x00\x0f\x00' >"$1"; }

# The real ROM as it is stored (v64), and in big-endian with one change each: a byte in the
# checked data, and a byte of the boot code.
cp "$rom" demo.v64
chmod u+w demo.v64
dd if=demo.v64 of=demo.z64 conv=swab status=none
cp demo.z64 patched.z64
printf '\x10' | dd of=patched.z64 bs=1 seek=$((0x80000)) conv=notrunc status=none
cp demo.z64 homebrew.z64
printf '\x10' | dd of=homebrew.z64 bs=1 seek=$((0x400)) conv=notrunc status=none
rm demo.z64

big mario.z64
little zelda.n64
v64 "Zelda – ゼルダ.v64"
printf 'This is not a ROM.\n' >notes.txt
# A 7z archive holding a.txt ("N64"), as 7z a -mx=0 wrote it: it begins with 37, as a v64 ROM does.
printf '\x37\x7a\xbc\xaf\x27\x1c\x00\x04\x44\x87\x7d\x55\x03\x00\x00\x00\x00\x00\x00\x00\x36\x00\x00\x00\x00\x00\x00\x00\x52\x62\xd5\xa8\x4e\x36\x34\x01\x04\x06\x00\x01\x09\x03\x00\x07\x0b\x01\x00\x01\x01\x00\x0c\x03\x00\x08\x0a\x01\x18\x1c\xed\x2d\x00\x00\x05\x01\x11\x0d\x00\x61\x00\x2e\x00\x74\x00\x78\x00\x74\x00\x00\x00\x15\x06\x01\x00\x20\x80\xa4\x81\x00\x00' >games.7z
: >empty.bin
printf '\x00\x00\x00\x00\x12\x34\x56\x78' >dump.bin

mkdir -p roms/Zelda
little "roms/Mario Kart 64.n64"
v64 "roms/Zelda/Majora's Mask.v64"
big "roms/Zelda/Ocarina of Time.z64"
printf '\xff\xd8\xff\xe0' >roms/cover.jpg

# Names a terminal must not get as they are: an escape sequence, a line end, Latin-1.
mkdir odd
big "odd/$(printf 'red\033[31m.z64')"
big "odd/$(printf 'two\nlines.z64')"
big "odd/$(printf 'caf\351.z64')"

# Patches of the real ROM (docs/patches.md), made against its big-endian image: rename.* give
# it another internal name; fix.ips, made against the v64 file, changes a data byte and
# writes the check code that goes with it (21BA4DE6 1A4BA9C5, pairs exchanged as in v64);
# other.v64 is the ROM with one byte changed, for which they are not.
dd if=demo.v64 of=patch-source.z64 conv=swab status=none
python3 - <<'PY'
import struct, zlib
source = open("patch-source.z64", "rb").read()
target = bytearray(source)
target[0x20:0x34] = b"Dornavel Demo       "
open("patch-target.z64", "wb").write(target)
def number(out, value):
    while True:
        low, value = value & 0x7F, value >> 7
        if value == 0:
            out.append(0x80 | low)
            return
        out.append(low)
        value -= 1
bps = bytearray(b"BPS1")
for n in (len(source), len(target), 0, (0x20 - 1) << 2, ((20 - 1) << 2) | 1):
    number(bps, n)
bps += target[0x20:0x34]
number(bps, (len(target) - 0x34 - 1) << 2)
bps += struct.pack("<II", zlib.crc32(source), zlib.crc32(target))
bps += struct.pack("<I", zlib.crc32(bps))
open("rename.bps", "wb").write(bps)
open("rename.ips", "wb").write(b"PATCH" + bytes([0, 0, 0x20, 0, 20]) + target[0x20:0x34] + b"EOF")
v64 = bytearray(open("demo.v64", "rb").read())
open("fix.ips", "wb").write(b"PATCH" + bytes([0, 0, 0x10, 0, 8, 0xBA, 0x21, 0xE6, 0x4D, 0x4B, 0x1A, 0xC5, 0xA9])
                            + bytes([0, 0x20, 0x01, 0, 1, v64[0x2001] ^ 0xFF]) + b"EOF")
# rename.aps: the same renaming as an N64 APS made against the v64 file (order byte 0),
# with the cartridge id, country and check codes of the big-endian header.
aps = b"APS10" + bytes([1, 0]) + b"Dornavel rename".ljust(50) + bytes([0]) + source[0x3C:0x3F] + source[0x10:0x18]
aps += bytes(5) + struct.pack("<I", len(v64))
renamed_v64 = bytearray(target[0x20:0x34])
renamed_v64[0::2], renamed_v64[1::2] = target[0x21:0x34:2], target[0x20:0x34:2]
open("rename.aps", "wb").write(aps + struct.pack("<IB", 0x20, 20) + renamed_v64)
v64[0x5000] ^= 1
open("other.v64", "wb").write(v64)
PY
xdelta3 -e -S none -s patch-source.z64 patch-target.z64 rename.xdelta
xdelta3 -e -S lzma -s patch-source.z64 patch-target.z64 rename-lzma.xdelta
rm patch-source.z64 patch-target.z64

# A small DAT in No-Intro's form listing the real ROM, and a folder of dumps to check against
# it: the ROM as stored, in the little-endian order, and big-endian with its check codes
# overwritten by 12345678 9ABCDEF0.
mkdir dumps
cp demo.v64 dumps/demo.v64
dd if=demo.v64 of=dumps/hacked.z64 conv=swab status=none
# The little-endian image: each 4-byte group of the big-endian one reversed.
objcopy -I binary -O binary --reverse-bytes=4 dumps/hacked.z64 "dumps/Mupen demo.n64"
printf '\x12\x34\x56\x78\x9a\xbc\xde\xf0' | dd of=dumps/hacked.z64 bs=1 seek=16 conv=notrunc status=none
cat >n64.dat <<'DAT'
<?xml version="1.0"?>
<!DOCTYPE datafile PUBLIC "-//Logiqx//DTD ROM Management Datafile//EN" "http://www.logiqx.com/Dats/datafile.dtd">
<datafile>
	<header>
		<name>Nintendo - Nintendo 64 (BigEndian)</name>
		<description>Nintendo - Nintendo 64 (BigEndian)</description>
	</header>
	<game name="Mupen64Plus Demo (World)">
		<description>Mupen64Plus Demo (World)</description>
		<rom name="Mupen64Plus Demo (World).z64" size="1048576" crc="F114490F" md5="DBF04773EC2B8ADF8A94DB7E3E461138" sha1="42DFD5942C650C473DEC3A415BA185E2597773F4" status="verified" serial="NDEM"/>
	</game>
</datafile>
DAT
# The same in clrmamepro's text, cut short; the XML one cut short; one that declares entities.
printf 'clrmamepro (\n\tname "Nintendo - Nintendo 64"\n)\n\ngame (\n\tname "Mupen64Plus Demo (World)"\n' >cut-text.dat
head -c 400 n64.dat >cut.dat
printf '<?xml version="1.0"?>\n<!DOCTYPE datafile [\n<!ENTITY a "aaaaaaaaaa">\n<!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;">\n]>\n<datafile><game name="&b;"/></datafile>\n' >bomb.dat

# A collection kept as collectors keep it (docs/archives.md): one zip per game with a readme,
# a gzip, a zip of documents only; a hack downloaded as a zip; a dump with wrong codes in a
# zip; a DAT of three games.
mkdir collection
python3 - <<'PY'
import zipfile
def zipped(path, entries):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
        for name, data in entries:
            info = zipfile.ZipInfo(name, (2024, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, data)
demo = open("demo.v64", "rb").read()
zipped("collection/Mupen64Plus Demo (World).zip",
       [("Mupen64Plus Demo (World).v64", demo), ("readme.txt", b"Dumped in 2024.\n")])
zipped("collection/docs.zip", [("manual.txt", b"How to play.\n")])
zipped("hack.zip", [("readme.txt", b"Apply to the demo.\n"), ("rename.bps", open("rename.bps", "rb").read())])
# A dump whose check codes were overwritten, zipped under a name of its own.
zipped("dump.zip", [("dump 1.z64", open("dumps/hacked.z64", "rb").read()), ("readme.txt", b"Dumped in 2024.\n")])
PY
gzip -c -n mario.z64 >collection/mario.z64.gz
cat >collection.dat <<'DAT'
clrmamepro (
	name "Nintendo - Nintendo 64 (BigEndian)"
)

game (
	name "Mondo Kart (Europa)"
	rom ( name "Mondo Kart (Europa).z64" size 12582912 crc 2577C7D4 sha1 8E6DCB4F81C0C7E4CE4B8D1C6A7D3ACF6C9D4E1B )
)

game (
	name "Mupen64Plus Demo (World)"
	rom ( name "Mupen64Plus Demo (World).z64" size 1048576 crc F114490F sha1 42DFD5942C650C473DEC3A415BA185E2597773F4 )
)

game (
	name "Stella Pilota (Giappone)"
	rom ( name "Stella Pilota (Giappone).z64" size 8388608 crc 0F1E2D3C sha1 0F1E2D3C4B5A69788796A5B4C3D2E1F00F1E2D3C )
)
DAT
