#!/usr/bin/env bash
# Makes the firmware packages the tests read, packages/*.zip, with zip and python3. The files
# are committed, so only whoever changes one needs the tools; a rerun gives the same files.
#   valid.zip                  Hardware1.0: version 1.2, two steps (L1.1 -> 1.1, L1.2 -> 1.2)
#                              and one flash at 0x1F000; Hardware2.0: version 2.5, one step
#   valid-utf16.zip            the same package with steps.xml in UTF-16LE with a BOM
#   odd-names.zip              steps name "../LW52_V1.1.bin", "/abs/LW52_V1.2.bin" and
#                              "flash\voice.bin", beside decoys "LW52_V1.1.bin", "abs/...",
#                              "flash/voice.bin"; each image holds "member " and its own name
#   many-members.zip           the valid package among 10,000 members, its images last
#   html.zip, truncated.zip, empty.zip
#                              no archive: an error page, half of valid.zip, nothing
#   steps-xml-*.zip            steps.xml missing, inflating past 1 MiB, or with a header
#                              that claims 4294967280 bytes
#   *-bad-crc.zip              an image whose stored bytes no longer match their CRC
#   missing-*.zip              an image that steps.xml names is not in the archive
#   xml-*.zip                  steps.xml with one thing wrong (see the table below)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out="$here/packages"
for tool in zip python3; do
  command -v "$tool" >/dev/null 2>&1 || { echo "make-packages: needs $tool" >&2; exit 1; }
done
mkdir -p "$out"
rm -f "$out"/*.zip
tmp="$(mktemp -d /tmp/lw52-firmware-packages-XXXXXX)"
trap 'rm -rf "$tmp"' EXIT

cat > "$tmp/steps.xml" <<'XML'
<?xml version="1.0" encoding="utf-8"?>
<!-- 林雾LW52 固件包 -->
<FirmwareInfo>
  <Hardware1.0 Firm="LW52_A"/>
  <Hardware2.0 Firm=" LW52_B"/>
  <LW52_A>
    <Version>1.2</Version>
    <Steps HardwareVer="L2.0" Count="2">
      <Step1 NeedVersion="L1.1" Version="1.1" File="LW52_V1.1.bin"/>
      <Step2 NeedVersion="L1.2" Version="1.2" File="LW52_V1.2.bin"/>
    </Steps>
    <flashOptions HardwareVer="L2.0" Count="1">
      <flash1 NeedVersion="L1.2" Version="1.2" File="flash/voice.bin" Addr="0x1F000"/>
    </flashOptions>
  </LW52_A>
  <LW52_B>
    <Version> 2.5</Version>
    <Steps HardwareVer="E2.0" Count="1">
      <Step1 NeedVersion="L2.5" Version="2.5" File="LW52_V2.5.bin"/>
    </Steps>
    <flashOptions HardwareVer="G1.9" Count="1">
      <flash1 NeedVersion="L2.5" Version="2.5" File="flash/voice.bin" Addr="1f000"/>
    </flashOptions>
  </LW52_B>
</FirmwareInfo>
XML

python3 - "$tmp" <<'PY'
import os, sys
tmp = sys.argv[1]
# Small images with a pattern of their own each.
images = {"LW52_V1.1.bin": (3000, 11), "LW52_V1.2.bin": (5000, 13), "LW52_V2.5.bin": (4096, 17),
          "flash/voice.bin": (2048, 19)}
for name, (size, step) in images.items():
    path = os.path.join(tmp, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(bytes((i * step + size) & 0xFF for i in range(size)))
PY

# The valid package as the zip tool makes it, with fixed times.
(cd "$tmp" && TZ=UTC touch -d '2024-05-01 12:00:00' steps.xml *.bin flash/voice.bin &&
  TZ=UTC zip -q -X -D "$out/valid.zip" steps.xml LW52_V1.1.bin LW52_V1.2.bin LW52_V2.5.bin \
    flash/voice.bin)

python3 - "$tmp" "$out" <<'PY'
import io, os, struct, sys, zipfile
tmp, out = sys.argv[1], sys.argv[2]
steps = open(os.path.join(tmp, "steps.xml"), encoding="utf-8").read()
image_names = ["LW52_V1.1.bin", "LW52_V1.2.bin", "LW52_V2.5.bin", "flash/voice.bin"]
images = {n: open(os.path.join(tmp, n), "rb").read() for n in image_names}

def archive(members, method=zipfile.ZIP_DEFLATED):
    """A zip of (name, bytes) pairs with fixed times; names are kept exactly as given."""
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as z:
        for name, data in members:
            info = zipfile.ZipInfo(name, date_time=(2024, 5, 1, 12, 0, 0))
            info.compress_type = method
            info.external_attr = 0o644 << 16
            z.writestr(info, data)
    return bytearray(buffer.getvalue())

def package(xml, drop=(), extra=()):
    members = [("steps.xml", xml.encode("utf-8") if isinstance(xml, str) else xml)]
    members += [(n, images[n]) for n in image_names if n not in drop]
    return archive(members + list(extra))

def entries(data):
    """(central directory offset, local header offset, stored data offset, name) per member."""
    eocd = data.rfind(b"PK\x05\x06")
    at = struct.unpack_from("<I", data, eocd + 16)[0]
    while data[at:at + 4] == b"PK\x01\x02":
        name_len, extra_len, comment_len = struct.unpack_from("<HHH", data, at + 28)
        local = struct.unpack_from("<I", data, at + 42)[0]
        local_name, local_extra = struct.unpack_from("<HH", data, local + 26)
        yield at, local, local + 30 + local_name + local_extra, data[at + 46:at + 46 + name_len].decode()
        at += 46 + name_len + extra_len + comment_len

def write(name, data):
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)

valid = open(os.path.join(out, "valid.zip"), "rb").read()
utf16 = steps.replace('encoding="utf-8"', 'encoding="utf-16"')
write("valid-utf16.zip", package(b"\xff\xfe" + utf16.encode("utf-16-le")))

odd = (steps.replace('File="LW52_V1.1.bin"', 'File="../LW52_V1.1.bin"')
            .replace('File="LW52_V1.2.bin"', 'File="/abs/LW52_V1.2.bin"')
            .replace('File="flash/voice.bin" Addr="0x1F000"', 'File="flash\\voice.bin" Addr="0x1F000"'))
odd_members = [("steps.xml", odd.encode())]
for real, decoy in [("../LW52_V1.1.bin", "LW52_V1.1.bin"), ("/abs/LW52_V1.2.bin", "abs/LW52_V1.2.bin"),
                    ("flash\\voice.bin", "flash/voice.bin")]:
    odd_members += [(decoy, b"decoy"), (real, ("member " + real).encode())]
write("odd-names.zip", archive(odd_members))

fillers = [("m%04d" % i, b"") for i in range(10000 - 1 - len(image_names))]
write("many-members.zip", archive([("steps.xml", steps.encode())] + fillers +
                                  [(n, images[n]) for n in image_names]))

write("html.zip", b"<!DOCTYPE html>\n<html><head><title>404 Not Found</title></head>\n"
                  b"<body><h1>Not Found</h1><p>The requested URL was not found.</p></body></html>\n")
write("truncated.zip", valid[:len(valid) // 2])
write("empty.zip", b"")

write("steps-xml-missing.zip", archive([(n, images[n]) for n in image_names]))
write("steps-xml-too-large.zip",
      package(steps.replace("<FirmwareInfo>", "<!--" + " " * (1 << 20) + "-->\n<FirmwareInfo>")))
claims = package(steps)
for central, local, _, name in list(entries(claims)):
    if name == "steps.xml":
        struct.pack_into("<I", claims, central + 24, 0xFFFFFFF0)
        struct.pack_into("<I", claims, local + 22, 0xFFFFFFF0)
write("steps-xml-claims-4gib.zip", claims)

def bad_crc(member):
    data = archive([("steps.xml", steps.encode())] + [(n, images[n]) for n in image_names],
                   zipfile.ZIP_STORED)
    for _, _, start, name in list(entries(data)):
        if name == member:
            data[start + 100] ^= 0x01
    return data
write("image-bad-crc.zip", bad_crc("LW52_V1.2.bin"))
write("flash-bad-crc.zip", bad_crc("flash/voice.bin"))
write("missing-image.zip", package(steps, drop=["LW52_V1.2.bin"]))
write("missing-flash.zip", package(steps, drop=["flash/voice.bin"]))

# steps.xml with one thing wrong for Hardware1.0: (file, text replaced, replacement).
a_section = steps[steps.index("  <LW52_A>"):steps.index("  <LW52_B>")]
def in_a(old, new, count=1):
    return steps.replace(a_section, a_section.replace(old, new, count))
broken = [
    ("xml-no-firmware-info.zip", steps.replace("FirmwareInfo>", "Firmware>")),
    ("xml-not-xml.zip", steps[:steps.index("<Steps")]),
    ("xml-no-hardware.zip", steps.replace("<Hardware1.0 ", "<Hardware1.1 ")),
    ("xml-no-firm.zip", steps.replace('Firm="LW52_A"', 'Firm="LW52_C"')),
    ("xml-no-version.zip", in_a("<Version>1.2</Version>", "<Release>1.2</Release>")),
    ("xml-empty-version.zip", in_a("<Version>1.2</Version>", "<Version>  </Version>")),
    ("xml-no-steps.zip", in_a("Steps", "Stages", -1)),
    ("xml-steps-hardware.zip", in_a('HardwareVer="L2.0" Count="2"', 'HardwareVer="G2.0" Count="2"')),
    ("xml-steps-count.zip", in_a('Count="2"', 'Count="11"')),
    ("xml-no-step2.zip", in_a("<Step2 ", "<Step3 ")),
    ("xml-step-need-version.zip", in_a('NeedVersion="L1.2" Version="1.2" File="LW52',
                                       'NeedVersion=" " Version="1.2" File="LW52')),
    ("xml-step-version.zip", in_a('Version="1.2" File="LW52', 'Version="" File="LW52')),
    ("xml-step-file.zip", in_a('File="LW52_V1.2.bin"', 'File=""')),
    ("xml-no-flash-options.zip", in_a("flashOptions", "flashOption", -1)),
    ("xml-flash-hardware.zip", in_a('HardwareVer="L2.0" Count="1"', 'HardwareVer="X1.0" Count="1"')),
    ("xml-flash-count.zip", in_a('Count="1"', 'Count="0"')),
    ("xml-no-flash1.zip", in_a("<flash1 ", "<flash2 ")),
    ("xml-flash-need-version.zip", in_a('flash1 NeedVersion="L1.2"', 'flash1 NeedVersion=""')),
    ("xml-flash-version.zip", in_a('Version="1.2" File="flash', 'File="flash')),
    ("xml-flash-file.zip", in_a('File="flash/voice.bin"', 'File=""')),
    ("xml-flash-addr.zip", in_a('Addr="0x1F000"', 'Addr=""')),
    ("xml-flash-addr-not-hex.zip", in_a('Addr="0x1F000"', 'Addr="flash"')),
]
for name, xml in broken:
    assert xml != steps, name
    write(name, package(xml))
PY
ls -l "$out"
