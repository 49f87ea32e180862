#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets: small generated messages and
lines, one folder per target (fuzz/<target>_fuzz.cpp), under the folder
given as the first argument. Everything is generated here; nothing is read
from outside the project."""
import base64
import binascii
import os
import random
import sys

rng = random.Random(2026)


def uu_lines(data):
    out = []
    for i in range(0, len(data), 45):
        out.append(binascii.b2a_uu(data[i:i + 45]).rstrip(b"\n"))
    return out


def yenc(data):
    out, line = bytearray(), bytearray()
    for b in data:
        c = (b + 42) & 0xFF
        if c in (0, 10, 13, 61):
            line += b"=" + bytes([(c + 64) & 0xFF])
        else:
            line.append(c)
        if len(line) >= 128:
            out += line + b"\n"
            line = bytearray()
    return bytes(out + line + b"\n")


HQX_ALPHABET = b"!\"#$%&'()*+,-012345689@ABCDEFGHIJKLMNPQRSTUVXYZ[`abcdefhijklmpqr"


def crc16(data):
    crc = 0
    for b in data:
        crc ^= b << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x1021 if crc & 0x8000 else crc << 1) & 0xFFFF
    return crc


def binhex(name, data_fork, resource_fork=b""):
    """The BinHex 4.0 characters of a file (after the opening ":"), with
    run-length coding and every CRC."""
    def with_crc(b):
        return b + crc16(b).to_bytes(2, "big")
    header = bytes([len(name)]) + name + b"\0" + b"TEXTMPS " + b"\0\0" + \
        len(data_fork).to_bytes(4, "big") + len(resource_fork).to_bytes(4, "big")
    raw = with_crc(header) + with_crc(data_fork) + with_crc(resource_fork)
    rle, i = bytearray(), 0
    while i < len(raw):
        run = 1
        while i + run < len(raw) and raw[i + run] == raw[i] and run < 255:
            run += 1
        rle += b"\x90\x00" if raw[i] == 0x90 else bytes([raw[i]])
        if run >= 3:
            rle += bytes([0x90, run])
        else:
            rle += (b"\x90\x00" if raw[i] == 0x90 else bytes([raw[i]])) * (run - 1)
        i += run
    chars = bytearray()
    for j in range(0, len(rle), 3):
        group = rle[j:j + 3]
        bits = int.from_bytes(group + b"\0" * (3 - len(group)), "big")
        for k in range(len(group) + 1):
            chars.append(HQX_ALPHABET[(bits >> (18 - 6 * k)) & 63])
    return b"\n".join(bytes(chars[j:j + 64]) for j in range(0, len(chars), 64)) + b":"


XFACE = (b" w~9X5tJ)^C!n4+<ycc{hc:h33:yQD@p7#<IMK+;ry|vwki|#]wC`Gs^hhIFcX(h\\[mA{gN2\n"
         b" 6xsy601s~eV3+e8[`{f[w4\"i_-w5?<C-#<ITQ0;hEV?\\E/L@;WE5oAIKnVKA{q#r7`Gi\\D!/l5KVK'\n ]/%D_t3")


def headers(subject, extra=b""):
    return (b"From: Ann <ann@example.org>\nNewsgroups: alt.test\nSubject: " + subject +
            b"\nDate: Mon, 7 Dec 2026 10:00:00 +0000\n" + extra + b"\n")


def messages():
    payload = bytes(rng.randrange(256) for _ in range(300))
    uu = b"\n".join(uu_lines(payload))
    b64 = base64.encodebytes(payload)
    yield "uu", headers(b"pic.jpg (1/1)") + b"begin 644 pic.jpg\n" + uu + b"\n`\nend\n"
    half = len(uu_lines(payload)) // 2
    lines = uu_lines(payload)
    yield "uu-multi", (headers(b"set.zip (1/2)") + b"begin 644 set.zip\n" + b"\n".join(lines[:half]) + b"\n" +
                       headers(b"set.zip (2/2)") + b"\n".join(lines[half:]) + b"\n`\nend\n")
    yield "mime-b64", headers(b"attachment", b"MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"BB\"\n") + (
        b"--BB\nContent-Type: text/plain\n\nHello.\n--BB\nContent-Type: application/octet-stream; name=\"a.bin\"\n"
        b"Content-Transfer-Encoding: base64\nContent-Disposition: attachment; filename*=utf-8''%C3%A9t%C3%A9.bin\n\n" +
        b64 + b"--BB--\n")
    yield "mime-qp", headers(b"=?utf-8?q?caf=C3=A9?=", b"MIME-Version: 1.0\nContent-Type: text/plain; charset=utf-8\n"
                             b"Content-Transfer-Encoding: quoted-printable\n") + b"caf=C3=A9 =\nsoft break\n"
    yield "yenc", (headers(b"file.bin (1/1)") + b"=ybegin part=1 total=1 line=128 size=300 name=file.bin\n"
                   b"=ypart begin=1 end=300\n" + yenc(payload) + b"=yend size=300 part=1 pcrc32=%08x\n" %
                   (binascii.crc32(payload) & 0xFFFFFFFF))
    yield "binhex", headers(b"mac file") + b"(This file must be converted with BinHex 4.0)\n:" + b"!" * 64 + b"\n:\n"
    yield "binhex-good", (headers(b"mac.txt") + b"(This file must be converted with BinHex 4.0)\n:" +
                          binhex(b"mac.txt", payload * 2 + b"\x90" * 9) + b"\n")
    yield "mime-nested", headers(b"nested", b"MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=A\n") + (
        b"--A\nContent-Type: multipart/alternative; boundary=B\n\n--B\nContent-Type: application/octet-stream;\n"
        b" name*0*=iso-8859-1''%E9t%E9;\n name*1=\".dat\"\nContent-Transfer-Encoding: quoted-printable\n\n=E9=00x=\n"
        b"--B--\n--A--\n")
    yield "xx", headers(b"x.bin") + b"begin 644 x.bin\nh" + b"+" * 60 + b"\n+\nend\n"
    yield "quoted", headers(b"quoted (1/1)") + b"".join(b"> " + l + b"\n" for l in [b"begin 644 q.bin"] +
                                                         uu_lines(payload) + [b"`", b"end"])
    yield "face", headers(b"face", b"X-Face: " + b"#" * 70 + b"\nFace: iVBORw0KGgo=\n") + b"body\n"
    yield "bpst", headers(b"bpst") + b"<<BPST Size=100 File=[b.exe] !BPST>>\n" + b"A" * 64 + b"\n"
    yield "control", headers(b"=?utf-8?q?x=0D=0AOutFile:_fake=1B[31m?= (1/1)") + b"begin 644 a\x1b[2J.bin\n" + uu + b"\nend\n"
    yield "long-name", headers(b"long") + b"begin 644 " + "é".encode() * 200 + b".bin\n" + uu + b"\nend\n"


def tnef(files, rtf=b""):
    """A TNEF stream without its signature (the tnef target puts one in front)."""
    def le(v, n):
        return v.to_bytes(n, "little")

    def attr(level, ident, data):
        return bytes([level]) + le(ident, 4) + le(len(data), 4) + data + le(sum(data) & 0xFFFF, 2)

    def mapi(kind, ident, value):
        return le(1, 4) + le(kind, 2) + le(ident, 2) + le(1, 4) + le(len(value), 4) + value + b"\0" * (-len(value) % 4)

    out = le(0x1234, 2) + attr(1, 0x00089006, le(0x10000, 4))
    if rtf:
        body = b"".join(b"\0" + rtf[i:i + 8] for i in range(0, len(rtf) - len(rtf) % 8, 8))
        end = (207 + len(rtf)) % 4096
        body += bytes([1 << (len(rtf) % 8)]) + rtf[len(rtf) - len(rtf) % 8:] + bytes([end >> 4, (end & 15) << 4])
        out += attr(1, 0x00069003, mapi(0x0102, 0x1009, le(len(body) + 12, 4) + le(len(rtf), 4) + b"LZFu" + le(0, 4) + body))
    for title, long_name, data in files:
        out += attr(2, 0x00069002, b"\1\0" + b"\xff" * 4 + b"\0" * 8) + attr(2, 0x00018010, title + b"\0")
        out += attr(2, 0x00038013, le(2024, 2) + le(3, 2) + le(5, 2) + b"\0" * 8) + attr(2, 0x0006800F, data)
        if long_name:
            out += attr(2, 0x00069005, mapi(0x001F, 0x3707, long_name.encode("utf-16-le") + b"\0\0"))
    return out


def write(folder, name, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else "build/fuzz/seeds"
    msgs = list(messages())
    for name, text in msgs:
        write(os.path.join(root, "scan"), name, b"\x00" + text)
        write(os.path.join(root, "scan"), name + "-all", b"\x01" + text)
        write(os.path.join(root, "extract"), name, b"\x00" + text)
        write(os.path.join(root, "extract"), name + "-overwrite", b"\x03" + text)
        write(os.path.join(root, "extract"), name + "-raw", b"\x0d" + text)
        write(os.path.join(root, "readline"), name, b"\xff\x03" + text.replace(b"\n", b"\r\n"))
    for i, ending in enumerate([b"\n", b"\r\n", b"\r", b"\n\r", b"\r\r\n", b"\r\r"]):
        write(os.path.join(root, "readline"), "ends%d" % i, b"\x40\x00" + ending.join([b"a" * 70, b"", b"b"]))
    for i, subject in enumerate([b"pic.jpg (1/2)", b"\"my file.zip\" [01/10] yEnc (3/7)", b"Part 2 of 5 - set.rar",
                                 b"=?utf-7?B?K0FPay0=?=", b"=?iso-8859-1?q?=E9t=E9?= (1/1)", b"Re: file 2 of 4 <1/3>",
                                 b"Tue, 5 Dec 2006 10:20:30 +0100", "é".encode() * 150 + b".bin (1/1)"]):
        write(os.path.join(root, "header_text"), "s%d" % i, bytes([i * 37 & 0xFF]) + subject)
    for i, line in enumerate([b"name=file.bin", b"part=2 total=9 size=123456789 name=a b.bin\nbegin=1 end=100\npart=2 pcrc32=deadbeef",
                              b"size=99999999999999999999 name=x\nbegin=5 end=2\nsize=1", b"name=(null)\n\n crc32=0123456789abcdef"]):
        write(os.path.join(root, "yenc_header"), "y%d" % i, bytes([i * 9 + 8]) + line)
    for i, name in enumerate([b"C:\\temp\\a*b?.zip", b"../escape", b".hidden", b"con", "é".encode() * 200 + b".bin",
                              b"a%2Fb&amp;.txt", b"holidaypictures2021.jpeg", b"dGVzdA== x.jpg"]):
        write(os.path.join(root, "naming"), "n%d" % i, bytes([i * 13]) + name)
    write(os.path.join(root, "ini"), "prefs", b"[Preferences]\r\nOverwrite=1\r\n; comment\r\nOutDir=\"/tmp/x\"\r\n"
                                                 b"[Association]\nB64=1\n[Empty]\n")
    write(os.path.join(root, "ini"), "odd", b"key=before section\n[ Spaced ]\n=novalue\n[Preferences\nFileMask=-99999999999\n")
    for i, line in enumerate([b"/Extract /Outdir=\"my folder\" \"in box.txt\"", b"--extract\x00--outdir\x00out\x00--\x00-x.txt",
                              b"/report=r.txt /listdump=\"d\" /logfile=- /Silent a b", b"\"unterminated /outdir=", b"/outdir\"x"]):
        write(os.path.join(root, "command_line"), "c%d" % i, line)
    fork = b"\x90" * 3 + b"A" * 300 + bytes(rng.randrange(256) for _ in range(200)) + b"\0" * 40
    for i, (data, res) in enumerate([(fork, b""), (b"small", b"resource fork wins" * 3), (b"", b"")]):
        write(os.path.join(root, "binhex"), "h%d" % i, bytes([i * 21]) + binhex(b"file%d.txt" % i, data, res))
    write(os.path.join(root, "binhex"), "huge", b"\x07" + binhex(b"huge", b"x" * 10)[:20])
    for i, body in enumerate([b"caf=C3=A9 =\nsoft break  \n=3D=3d==\n", b"=\n=4\n=ZZ" + b"x" * 90 + b"=\n",
                              b"Content-Type: text/plain\n", b"tail blanks \t \r\n"]):
        write(os.path.join(root, "qp"), "q%d" % i, bytes([i * 7]) + body)
    write(os.path.join(root, "face"), "xface", XFACE)
    write(os.path.join(root, "face"), "xface-lines", b"X-Face: " + XFACE.replace(b"\n ", b"\n\t"))
    write(os.path.join(root, "face"), "face", b"Face: iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR4\n 2mNk+M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==\n")
    for i, line in enumerate([b"=\"a.bin\"", b"utf-8''%C3%A9t%C3%A9.bin", b"utf-8'en'%E2%82%AC.txt\n filename*1*=%20two.txt",
                              b"\"ZZ\"\n\n--ZZ\nContent-Type: text/plain\n\nx\n--ZZ--", b"base64",
                              b"caf\xe9.txt\"", b"iso-8859-1", b"=?utf-8?B?w6l0w6kuYmlu?=; size=3"]):
        write(os.path.join(root, "mime"), "m%d" % i, bytes([i * 4 + (i & 1) + 64 * (i % 3)]) + line)
    payload = bytes(rng.randrange(256) for _ in range(90))
    for i, line in enumerate(uu_lines(payload)):
        write(os.path.join(root, "uu_kernels"), "uu%d" % i, b"\x00\x2d" + line)
        write(os.path.join(root, "uu_kernels"), "uu%d-raw" % i, b"\x06\xff" + line + b"\r\n")
    write(os.path.join(root, "uu_kernels"), "xx", b"\x01\x2dh" + b"+" * 60)
    write(os.path.join(root, "codec"), "uu", b"\x00" + uu_lines(payload)[0] + b"\n")
    write(os.path.join(root, "codec"), "b64", b"\x00" + base64.encodebytes(payload))
    write(os.path.join(root, "codec"), "yenc", b"\x00" + yenc(payload))
    write(os.path.join(root, "tnef"), "files", tnef([(b"REPORT~1.PDF", "Report for 2024.pdf", payload), (b"A.TXT", "", b"text")]))
    write(os.path.join(root, "tnef"), "rtf", tnef([], b"{\\rtf1\\ansi a body of some length}"))
    write(os.path.join(root, "tnef"), "nested", tnef([(b"WINMAIL.DAT", "", b"\x78\x9f\x3e\x22" + tnef([(b"IN.BIN", "", payload)]))]))
    write(os.path.join(root, "codec"), "yenc-strict", b"\x7a" + yenc(bytes(range(256)) * 2).replace(b"\n", b""))


if __name__ == "__main__":
    main()
