#!/usr/bin/python3
"""Differential check of zarvex against independent decoders (a developer
tool, not a test).

Every message file below FOLDER is extracted by zarvex alone, in a fresh
sandbox, and the payloads it writes are compared with those of Python's
email package, GNU uudecode, sabyenc3 (yEnc) and hexbin (BinHex). One line
per file:

  KIND  FILE  detail

KIND, worst first: CRASH, TIMEOUT, OUTSIDE (something written outside the
output folder), MISSING, DIFFERENT, EXTRA, NAME, STATUS (exit 255, or a
report that disagrees with the files), REFWRONG (zarvex agrees only with a
correction of a reference decoder known to be wrong), MATCH. Non-text
payloads are compared by SHA-256; text parts by SHA-256 first, then with
line ends, trailing blanks and trailing empty lines normalised ("text").

Runs /usr/bin/python3 for sabyenc3 (Debian's python3-sabyenc)."""
import argparse
import base64
import binascii
import email
import email.policy
import hashlib
import json
import quopri
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
from dataclasses import dataclass, field

import sabyenc3

KINDS = ["CRASH", "TIMEOUT", "OUTSIDE", "MISSING", "DIFFERENT", "EXTRA",
         "NAME", "STATUS", "REFWRONG", "MATCH"]
SKIPPED = {"README.md", "MANIFEST.tsv"}
UU_BEGIN = re.compile(rb"^begin [0-7]{3,4} (.+?)\r?$", re.M)
YENC_BEGIN = re.compile(rb"^=ybegin ", re.M)
BINHEX_MARK = b"(This file must be converted"
B64_LINE = re.compile(rb"^[A-Za-z0-9+/]{16,}={0,2}\s*$")
B64_BODY = re.compile(rb"^[A-Za-z0-9+/=\s]*$")
FIELD = re.compile(rb"^[!-9;-~]+:")
BOM = b"\xef\xbb\xbf"
QUOTED_FROM = "'>From ' line before an attached message's header"
# Parts whose content Python splits into pieces no extractor writes.
OPAQUE = ("message/partial", "message/external-body", "message/delivery-status",
          "message/disposition-notification", "message/feedback-report")


@dataclass
class Ref:
    """One payload an independent decoder found."""
    data: bytes
    names: list
    source: str
    text: bool = False
    optional: bool = False          # zarvex may or may not write it
    fixed: str = ""                 # why the decoder's own answer had to be corrected
    alts: list = field(default_factory=list)   # (data, note): known reference faults
    alt_names: dict = field(default_factory=dict)   # name -> note, ditto
    notes: list = field(default_factory=list)
    count: int = 1                  # identical payloads found this often


@dataclass
class Out:
    name: str
    data: bytes
    used: bool = False


def sha(data):
    return hashlib.sha256(data).hexdigest()


def norm_text(data):
    """Text as a reader sees it: LF line ends, no trailing blanks or empty lines."""
    lines = data.replace(b"\r\n", b"\n").replace(b"\r", b"\n").split(b"\n")
    return b"\n".join(l.rstrip(b" \t") for l in lines).strip(b"\n")


def clean_name(name):
    """The file name a careful extractor would write: no folders, no characters
    the file systems it writes for refuse, no trailing dots."""
    name = re.split(r"[\\/]", name.strip())[-1]
    name = "".join(c for c in name if ord(c) >= 32 and ord(c) != 127 and c not in '"*:<>?|')
    return name.rstrip(".")


# ---------------------------------------------------------------- references

def split_messages(raw):
    """The messages of a file: an mbox gives several, a news article loses its
    NNTP status line, its closing dot and its dot-stuffing."""
    if raw.removeprefix(BOM).startswith(b"From "):   # every "From " line starts a message, as mbox readers do
        return [m for m in re.split(rb"(?m)^From [^\n]*\n", raw.removeprefix(BOM)) if m.strip()]
    if re.match(rb"^[1-5]\d\d [^\r\n]*\r?\n", raw):
        body = raw.split(b"\n", 1)[1]
        body = re.sub(rb"(?m)^\.\r?\n?\Z", b"", body)
        return [re.sub(rb"(?m)^\.\.", b".", body)]
    return [raw]


def has_sections(data):
    return bool(UU_BEGIN.search(data) or YENC_BEGIN.search(data) or BINHEX_MARK in data)


def declared_cte(part):
    return str(part.get("content-transfer-encoding", "7bit")).strip().lower()


def decode_as(cte, body):
    """body decoded as Base64 or Quoted-Printable, None when it is not."""
    try:
        if cte == "base64":
            return base64.b64decode(re.sub(rb"\s", b"", body))
        return quopri.decodestring(body) if cte == "quoted-printable" else None
    except (binascii.Error, ValueError):
        return None


def cte_alternatives(part, raw_body, main):
    """What a mail reader decodes where Python keeps the letters: a non-text
    part declared 7bit/8bit whose body is all Base64 lines, and an encoding
    written with junk after it ("quoted-printable;")."""
    cte, found = declared_cte(part), []
    lines = [l for l in raw_body.splitlines() if l.strip()]
    if main != "text" and cte != "base64" and lines and all(B64_LINE.match(l) for l in lines):
        found.append((decode_as("base64", raw_body), f"declared {cte}, body is Base64"))
    clean = re.split(r"[;\s]", cte)[0]
    if clean != cte and clean in ("base64", "quoted-printable"):
        found.append((decode_as(clean, raw_body), f"Python ignores Content-Transfer-Encoding {cte!r}"))
    return [(data, note) for data, note in found if data is not None]


def raw_param_names(part):
    """Names as the header writes them, where Python reads them otherwise: the
    backslashes of a quoted name, the blanks of an unquoted one."""
    found = {}
    for hdr, value in part.raw_items():
        if hdr.lower() in ("content-disposition", "content-type"):
            for n in re.findall(r'(?:file)?name\s*=\s*"((?:[^"\\]|\\.)*)"', str(value), re.I):
                if "\\" in n:
                    found[clean_name(n)] = "Python dropped the backslashes of a quoted name"
            for n in re.findall(r'(?:file)?name\s*=\s*([^"\s;][^";]*?)\s*(?:;|$)', str(value), re.I):
                if " " in n:
                    found[clean_name(n)] = "Python ends an unquoted name at a blank"
    return found


def short_text(part, body):
    """zarvex leaves out a text section of at most 4 lines and under 50 bytes;
    the section starts at the Content-Type line, or after a later
    "Content-Transfer-Encoding: 7bit" line."""
    items = list(part.raw_items())
    keys = [k.lower() for k, _ in items]
    start = keys.index("content-type") if "content-type" in keys else len(items)
    for k in range(start, len(items)):
        if keys[k] == "content-transfer-encoding" and str(items[k][1]).strip().lower() == "7bit":
            start = k + 1
    heads = [f"{k}: {v}\n" for k, v in items[start:]]
    size = sum(map(len, heads)) + 1 + len(body)
    lines = sum(h.count("\n") for h in heads) + 1 + body.count(b"\n") + (not body.endswith(b"\n"))
    return lines <= 4 and size < 50


def python_name(name):
    """Python reads 8-bit bytes in a name as escapes; mail programs read them
    as UTF-8 or Windows-1252."""
    raw = name.encode("utf-8", "surrogateescape")
    for codec in ("utf-8", "cp1252"):
        try:
            return clean_name(raw.decode(codec))
        except UnicodeDecodeError:
            pass
    return clean_name(name)


def part_ref(part, has_mime, inside):
    """The reference payload of one leaf part, or None when nothing is expected."""
    try:
        data = part.get_payload(decode=True) or b""
        name = part.get_filename()
    except Exception as exc:                      # a header Python cannot read
        return Ref(b"", [], f"python: {exc}", optional=True)
    ctype, main = part.get_content_type(), part.get_content_maintype()
    disp = part.get_content_disposition()
    is_payload = bool(name) or main not in ("text", "multipart") or disp == "attachment"
    if not data.strip():
        return None                               # an empty part writes no file
    ref = Ref(data, [python_name(name)] if name else [], f"python:{ctype}", text=(main == "text"))
    raw = part.get_payload(decode=False)
    raw = raw.encode("utf-8", "surrogateescape") if isinstance(raw, str) else b""
    if not is_payload:
        ref.optional = (not has_mime or has_sections(data) or ctype not in ("text/plain", "text/html"))
        if short_text(part, raw):
            ref.optional = True
            ref.notes.append("short text section, left out by design")
    ref.alts = cte_alternatives(part, raw, main)
    if declared_cte(part) == "base64" and not B64_BODY.match(raw):
        ref.optional = True
        ref.notes.append("body is not Base64; Python decodes what it can")
    if any(t in OPAQUE for t in inside):
        ref.optional = True
        ref.notes.append("inside " + next(t for t in inside if t in OPAQUE))
    ref.alt_names = raw_param_names(part)
    return ref


def encoded_message_ref(part):
    """A message/* part with a Base64 or Quoted-Printable body: Python parses
    the encoded text as the message, a mail reader decodes it first."""
    body = part.get_payload(0).as_bytes(policy=email.policy.default).lstrip(b"\r\n")
    data = decode_as(declared_cte(part), body)
    return Ref(data, [], f"python:{part.get_content_type()}",
               fixed=f"{declared_cte(part)} message/* body decoded") if data else None


def leaves(part, inside=()):
    """(leaf part, content types around it, encoded message part or None)."""
    if not part.is_multipart():
        yield part, inside, None
        return
    if part.get_content_maintype() == "message" and declared_cte(part) in ("base64", "quoted-printable"):
        yield None, inside, part
        inside += ("message/partial",)            # what Python finds inside is not the message
    for sub in part.get_payload():
        text = sub.get_payload() if not sub.keys() and isinstance(sub.get_payload(), str) else ""
        if part.get_content_type() == "message/rfc822" and text.startswith(">From "):
            # an mbox "From " line quoted in front of the attached message's header
            body = text.split("\n", 1)[-1].encode("utf-8", "surrogateescape")
            sub, inside = email.message_from_bytes(body, policy=email.policy.default), inside + (QUOTED_FROM,)
        yield from leaves(sub, inside + (part.get_content_type(),))


def repair_message(message):
    """Python ends the header at a leading byte order mark or at the first line
    that is neither a field nor a continuation; mail readers skip such lines."""
    fixes = []
    if message.startswith(BOM):
        message, fixes = message[len(BOM):], ["byte order mark before the header"]
    m = re.search(rb"\r?\n\r?\n", message)
    head, rest = (message[:m.start()], message[m.start():]) if m else (message, b"")
    lines = head.split(b"\n")
    kept = [l for k, l in enumerate(lines)
            if FIELD.match(l) or l[:1] in (b" ", b"\t") or (k == 0 and l.startswith(b"From "))]
    if FIELD.match(lines[0]) and len(lines) - len(kept) < len(kept) and len(kept) < len(lines):
        fixes.append(f"{len(lines) - len(kept)} header line(s) neither field nor continuation")
        message = b"\n".join(kept) + rest
    return repair_boundaries(message, fixes)


def repair_boundaries(message, fixes):
    """Python finds no parts when a boundary is unquoted but holds "=" or
    when the top multipart names none; mail readers use the delimiter lines."""
    def quote(m):
        fixes.append("unquoted boundary holding '='")
        return m.group(1) + b'"' + m.group(2) + b'"'
    message = re.sub(rb'(boundary=)([^"\s;]*=[^"\s;]*)', quote, message, flags=re.I)
    m = re.search(rb"\r?\n\r?\n", message)
    head = message[:m.start()] if m else message
    top = re.search(rb"(?im)^content-type:[ \t]*multipart/[\w.+-]+;?[ \t]*(?=\r?$)", head)
    if top and not re.search(rb"(?i)boundary", head[top.end():top.end() + 200].split(b":")[0]):
        first = re.search(rb"(?m)^--([^\s]+)\r?$", message[len(head):])
        if first:
            fixes.append("multipart without boundary=")
            message = message[:top.end()] + b'; boundary="' + first.group(1) + b'"' + message[top.end():]
    return message, fixes


def python_refs(message):
    message, fixes = repair_message(message)
    try:
        msg = email.message_from_bytes(message, policy=email.policy.default)
    except Exception as exc:
        return [Ref(b"", [], f"python failed: {exc}", optional=True)]
    has_mime = "content-type" in msg or "mime-version" in msg
    refs = []
    for part, inside, encoded in leaves(msg):
        ref = encoded_message_ref(encoded) if encoded else part_ref(part, has_mime, inside)
        if ref is not None and ref.data:
            ref.fixed = "; ".join(fixes + [ref.fixed] * bool(ref.fixed) + [QUOTED_FROM] * (QUOTED_FROM in inside))
            refs.append(ref)
    return refs


def uu_sections(raw):
    """(name, lines) of every begin ... end section of the file."""
    lines = raw.replace(b"\r\n", b"\n").split(b"\n")
    sections, i = [], 0
    while i < len(lines):
        m = UU_BEGIN.match(lines[i])
        if m:
            j = i + 1
            while j < len(lines) and lines[j].rstrip() != b"end":
                j += 1
            sections.append((m.group(1).decode("latin-1"), lines[i + 1:j]))
            i = j
        i += 1
    return sections


def uu_length(line):
    """(bytes the UU line carries, characters it needs for them)."""
    count = (line[0] - 32) & 63
    return count, 1 + (count + 2) // 3 * 4


def lenient_uu(lines):
    """Decode UU lines whose trailing blanks were stripped in transit."""
    out = bytearray()
    for line in lines:
        if line and line != b"`":
            count, need = uu_length(line)
            try:
                out += binascii.a2b_uu(line.ljust(need, b" ")[:need])[:count]
            except binascii.Error:                # not a UU line at all: skip it
                pass
    return bytes(out)


def uu_refs(raw, work):
    """GNU uudecode per section; lines whose trailing blanks were stripped in
    transit are decoded by padding them, which uudecode does not do."""
    refs = []
    for k, (name, lines) in enumerate(uu_sections(raw)):
        if any(l and l != b"`" and len(l) < uu_length(l)[1] for l in lines):
            refs.append(Ref(lenient_uu(lines), [clean_name(name)], "padded-uu",
                            fixed="uudecode mis-decodes UU lines whose trailing blanks were stripped"))
            continue
        target = os.path.join(work, f"uu{k}")
        text = b"begin 644 x\n" + b"\n".join(lines) + b"\nend\n"
        run = subprocess.run(["uudecode", "-o", target], input=text, cwd=work,
                             capture_output=True, timeout=60)
        if run.returncode == 0 and os.path.exists(target):
            with open(target, "rb") as f:
                refs.append(Ref(f.read(), [clean_name(name)], "uudecode"))
        else:
            refs.append(Ref(b"", [clean_name(name)], "uudecode failed: "
                            + run.stderr.decode(errors="replace").strip(), optional=True))
    return refs


def yenc_sections(raw):
    """Text of every =ybegin section up to and including its =yend."""
    starts = [m.start() for m in YENC_BEGIN.finditer(raw)]
    sections = []
    for k, start in enumerate(starts):
        stop = starts[k + 1] if k + 1 < len(starts) else len(raw)
        end = re.compile(rb"^=yend[^\n]*\n?", re.M).search(raw, start, stop)
        sections.append(raw[start:end.end() if end else stop])
    return sections


def yenc_name(name):
    """sabyenc3 hands the name's bytes over as Latin-1; mail programs read
    them as UTF-8, else Windows-1252."""
    raw = name.strip().encode("latin-1", "replace")
    try:
        return clean_name(raw.decode("utf-8"))
    except UnicodeDecodeError:
        return clean_name(raw.decode("cp1252", "replace"))


def ypart_offset(text, size):
    """Where a part goes: =ypart begin, unless begin and end are not inside
    1..size (such a header is ignored rather than zero-filling gigabytes)."""
    m = re.search(rb"^=ypart begin=(\d+) end=(\d+)", text, re.M)
    if not m or not 1 <= int(m.group(1)) <= int(m.group(2)) <= size:
        return 0
    return int(m.group(1)) - 1


def yenc_refs(raw):
    """yEnc files, their parts placed at the offsets =ypart gives."""
    files, sizes, refs = {}, {}, []
    for text in yenc_sections(raw):
        try:
            crlf = re.sub(rb"(?<!\r)\n", b"\r\n", text)   # it reads CR LF lines only
            data, name, crc_ok = sabyenc3.decode_usenet_chunks([crlf])
        except Exception as exc:
            refs.append(Ref(b"", [], f"sabyenc3 failed: {exc}", optional=True))
            continue
        note = "" if crc_ok else "sabyenc3: CRC does not match"
        m = re.search(rb"^=ybegin .*?size=(-?\d+)", text, re.M)
        size = int(m.group(1)) if m else 0
        sizes[yenc_name(name)] = size
        files.setdefault(yenc_name(name), []).append((ypart_offset(text, size), data, note))
    for name, parts in files.items():
        buf = bytearray()
        for begin, data, _ in sorted(parts, key=lambda p: p[0]):
            buf += bytes(max(begin - len(buf), 0))
            buf[begin:begin + len(data)] = data
        ref = Ref(bytes(buf), [clean_name(name)] if name else [], "sabyenc3", optional=not buf)
        ref.notes += [n for _, _, n in parts if n]
        covered = sum(len(data) for _, data, _ in parts)
        if covered < sizes.get(name, 0):
            ref.optional = True                   # a lone part of a larger file
            ref.notes.append(f"incomplete: {covered} of {sizes[name]} bytes")
        refs.append(ref)
    return refs


def binhex_refs(raw, work):
    """hexbin per section; the larger fork is the file (the resource fork on a tie)."""
    refs = []
    for k, m in enumerate(re.finditer(re.escape(BINHEX_MARK), raw)):
        folder = os.path.join(work, f"hqx{k}")
        os.mkdir(folder)
        with open(os.path.join(folder, "in.hqx"), "wb") as f:
            f.write(raw[m.start():])
        subprocess.run(["hexbin", "-3", "in.hqx"], cwd=folder, capture_output=True, timeout=60)
        forks = {ext: ("", b"") for ext in (".data", ".rsrc")}
        for entry in os.listdir(folder):
            if entry[-5:] in forks:
                with open(os.path.join(folder, entry), "rb") as f:
                    forks[entry[-5:]] = (entry[:-5], f.read())
        name, data = max(forks[".rsrc"], forks[".data"], key=lambda fork: len(fork[1]))
        if name:
            refs.append(Ref(data, [clean_name(name)], "hexbin", optional=not data))
    return refs


def merge_refs(refs):
    """One reference per distinct payload; the names of all decoders that found it."""
    merged = {}
    for ref in refs:
        key = sha(ref.data) if ref.data else id(ref)
        if key not in merged:
            merged[key] = ref
            continue
        first = merged[key]
        if ref.source.split(":")[0] == first.source.split(":")[0]:
            first.count += 1                      # the same payload in two parts
        first.names += [n for n in ref.names if n not in first.names]
        first.source += "+" + ref.source
        first.text = first.text and ref.text
        first.optional = first.optional and ref.optional
        first.alts += ref.alts
        first.alt_names.update(ref.alt_names)
        first.notes += ref.notes
        first.fixed = first.fixed if first.fixed and ref.fixed else ""
    return list(merged.values())


def references(path, work):
    with open(path, "rb") as f:
        raw = f.read()
    refs = []
    for message in split_messages(raw):
        refs += python_refs(message)
    refs += uu_refs(raw, work) + yenc_refs(raw) + binhex_refs(raw, work)
    return merge_refs(refs)


# ---------------------------------------------------------------- zarvex run

def listing(folder):
    found = {}
    for root, dirs, files in os.walk(folder):
        for name in dirs + files:
            p = os.path.join(root, name)
            st = os.lstat(p)
            found[p] = (st.st_size, st.st_mtime_ns)
    return found


def run_zarvex(zarvex, path, box, timeout):
    """rc (negative for a signal), or None on a timeout."""
    env = dict(os.environ, HOME=os.path.join(box, "home"),
               XDG_CONFIG_HOME=os.path.join(box, "home", ".config"), TMPDIR=os.path.join(box, "tmp"))
    for sub in ("out", "home/.config", "tmp"):
        os.makedirs(os.path.join(box, sub))
    cmd = [zarvex, "--extract", f"--outdir={box}/out", f"--report-json={box}/report.json", path]
    proc = subprocess.Popen(cmd, cwd=box, env=env, stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        return proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
        return None


def stray_files(box):
    """Files the run left outside its output folder."""
    allowed = re.compile(r"^(out(/.*)?|report\.json|home|home/\.config|home/\.config/Zarvex"
                         r"|home/\.config/Zarvex/Zarvex\.ini|tmp)$")
    return sorted(r for r in (os.path.relpath(p, box) for p in listing(box)) if not allowed.match(r))


def read_outputs(folder):
    outs = []
    for p in sorted(listing(folder)):
        if os.path.isfile(p):
            with open(p, "rb") as f:
                outs.append(Out(os.path.relpath(p, folder), f.read()))
    return outs


def read_report(box):
    try:
        with open(os.path.join(box, "report.json"), encoding="utf-8") as f:
            return json.load(f)
    except (OSError, ValueError):
        return None


# ---------------------------------------------------------------- comparison

def name_note(out, ref):
    """None when the output's name is not one the reference accepts, else
    "" or the note on which reference fault made it acceptable."""
    name = out.name.lower()
    if not ref.names or name in (n.lower() for n in ref.names):
        return ""
    for n, note in ref.alt_names.items():
        if name == n.lower():
            return note
    for n in ref.names:                           # Python's U+FFFD for a byte it could not read
        if "\ufffd" in n and len(n) == len(name) and all(
                a == b or b == "\ufffd" for a, b in zip(name, n.lower())):
            return "Python replaced an undecodable byte of the name"
    return None


def name_ok(out, ref):
    return name_note(out, ref) is not None


def variants(ref):
    return [(ref.data, ref.fixed)] + ref.alts


def take(outs, ref, test, most=1):
    """Up to most unused outputs passing test, those with an accepted name first."""
    hits = sorted((o for o in outs if not o.used and test(o)), key=lambda o: not name_ok(o, ref))
    for out in hits[:most]:
        out.used = True
    return hits[:most]


def matched(ref, out, how, note):
    notes = [n for n in (note, name_note(out, ref)) if n]
    found = [("REFWRONG", f"{out.name}: {n}") for n in notes]
    if not name_ok(out, ref):
        found.append(("NAME", f"{out.name!r} for {ref.names[0]!r} ({how})"))
    return found + [("MATCH", f"{out.name} = {ref.source} ({how})")]


def first_difference(a, b):
    n = next((i for i in range(min(len(a), len(b))) if a[i] != b[i]), min(len(a), len(b)))
    eol = ", equal after line-end normalisation" if norm_text(a) == norm_text(b) else ""
    return f"{len(a)} vs {len(b)} bytes, first difference at {n}{eol}"


def matches_by(key, how, refs, outs, found):
    """Pair payloads with outputs whose key equals the key of one of the
    payload's variants; return the payloads left unpaired."""
    left = []
    for ref in refs:
        for data, note in variants(ref) if how == "sha256" or ref.text else []:
            hits = take(outs, ref, lambda o, k=key(data): key(o.data) == k, ref.count)
            if hits:
                found += matched(ref, hits[0], how, note)
                break
        else:
            left.append(ref)
    return left


def exact_matches(refs, outs, found):
    """Pair payloads with identical outputs (any variant)."""
    return matches_by(sha, "sha256", refs, outs, found)


def text_matches(refs, outs, found):
    """Pair text parts with outputs equal after line-end normalisation."""
    return matches_by(norm_text, "text", refs, outs, found)


def compare(refs, outs):
    """(kind, detail) for every reference payload and every output."""
    found = []
    left = text_matches(exact_matches(refs, outs, found), outs, found)
    named = {n.lower() for r in refs if r not in left for n in r.names}
    unnamed = [r for r in left if r.text and not r.names and not r.optional]
    made_up = [o for o in outs if not o.used and re.search(r"\.(txt|htm)$", o.name)]
    for ref in left:
        if named & {n.lower() for n in ref.names}:
            found.append(("MATCH", f"{ref.names[0]}: {ref.source} disagrees with another reference"))
            continue
        named |= {n.lower() for n in ref.names}
        hits = take(outs, ref, lambda o: ref.names and name_ok(o, ref))
        if not hits and len(unnamed) == len(made_up) == 1 and ref is unnamed[0]:
            hits = take(outs, ref, lambda o: o is made_up[0])
        if hits:
            found.append(("DIFFERENT", f"{hits[0].name} vs {ref.source}: "
                          + first_difference(hits[0].data, ref.data)))
        elif not ref.optional:
            found.append(("MISSING", f"{'/'.join(ref.names) or '(unnamed)'} {len(ref.data)} bytes "
                          f"from {ref.source}" + "".join(f"; {n}" for n in ref.notes)))
    found += [("EXTRA", f"{o.name} {len(o.data)} bytes") for o in outs if not o.used]
    return found


def status_findings(rc, report, outs, box):
    if report is None:
        return [("STATUS", "no readable JSON report")]
    found = []
    if rc == 255:
        log = [l for o in report.get("outputs", []) if o.get("result") != "written" for l in o.get("log", [])]
        reasons = [l for l in log if l.startswith("*") or "exist" in l or "rror" in l] or log[-2:]
        found.append(("STATUS", "exit 255: " + " | ".join(reasons).replace(box + "/out/", "")))
    elif rc != min(len(outs), 253):
        found.append(("STATUS", f"exit {rc} but {len(outs)} files written"))
    return found


def check_file(args, path, input_before):
    work = tempfile.mkdtemp(prefix="zdiff-")
    box, refdir = os.path.join(work, "run"), os.path.join(work, "ref")
    os.makedirs(refdir)
    try:
        refs = references(path, refdir)
        rc = run_zarvex(args.zarvex, path, box, args.timeout)
        findings = []
        if rc is None:
            findings.append(("TIMEOUT", f"killed after {args.timeout} s"))
        elif rc < 0 or rc in (134, 136, 139):
            findings.append(("CRASH", f"exit {rc}"))
        findings += [("OUTSIDE", f"wrote {p}") for p in stray_files(box)]
        if listing(args.folder) != input_before:
            findings.append(("OUTSIDE", "the input folder changed"))
        outs = read_outputs(os.path.join(box, "out"))
        findings += compare(refs, outs)
        if rc is not None and rc >= 0:
            findings += status_findings(rc, read_report(box), outs, box)
        if args.keep:
            keep_sandbox(args, path, work, refs)
        return findings, rc
    finally:
        shutil.rmtree(work, ignore_errors=True)


def keep_sandbox(args, path, work, refs):
    dest = os.path.join(args.keep, os.path.relpath(path, args.folder).replace("/", "__"))
    shutil.rmtree(dest, ignore_errors=True)
    shutil.copytree(work, dest, symlinks=True)
    for k, ref in enumerate(refs):
        label = (ref.names[0] if ref.names else "unnamed") + (" (optional)" if ref.optional else "")
        with open(os.path.join(dest, "ref", f"{k:02d}-{label}"), "wb") as f:
            f.write(ref.data)


def verdict(findings):
    kinds = {k for k, _ in findings} or {"MATCH"}
    return min(kinds, key=KINDS.index)


def message_files(folder):
    for root, dirs, files in os.walk(folder):
        dirs.sort()
        for name in sorted(files):
            if name not in SKIPPED:
                yield os.path.join(root, name)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("folder")
    ap.add_argument("--zarvex", default=os.path.join(os.path.dirname(__file__), "..", "build/release/zarvex"))
    ap.add_argument("--keep", metavar="DIR", help="keep each sandbox (and the reference payloads) here")
    ap.add_argument("--only", metavar="KIND", choices=KINDS, help="print only files of this verdict")
    ap.add_argument("--timeout", type=int, default=60)
    ap.add_argument("-v", "--verbose", action="store_true")
    args = ap.parse_args()
    args.zarvex = os.path.abspath(args.zarvex)
    args.folder = os.path.abspath(args.folder)
    input_before = listing(args.folder)
    counts = dict.fromkeys(KINDS, 0)
    for path in message_files(args.folder):
        findings, rc = check_file(args, path, input_before)
        kind = verdict(findings)
        counts[kind] += 1
        if args.only and kind != args.only:
            continue
        rel = os.path.relpath(path, args.folder)
        shown = [f"{k} {d}" for k, d in findings if args.verbose or k != "MATCH"]
        print(f"{kind:9} {rel}  exit {rc}; " + "; ".join(shown))
        sys.stdout.flush()
    print("summary: " + ", ".join(f"{k} {n}" for k, n in counts.items()) + f", files {sum(counts.values())}")


if __name__ == "__main__":
    main()
