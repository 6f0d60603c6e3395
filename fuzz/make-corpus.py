#!/usr/bin/env python3
"""Writes the seed corpora under fuzz/corpus/<target>/, one small file per
case, named for what it holds. Run it again after changing a target's input
format; the files it writes are checked in, so nothing runs it otherwise."""

import math
import pathlib
import struct

CORPUS = pathlib.Path(__file__).resolve().parent / "corpus"


def write(target, cases):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    for old in folder.iterdir():
        old.unlink()
    for name, data in cases.items():
        (folder / name).write_bytes(data)


# --- text_encoding_fuzz: the bytes, read as UTF-8 and as UTF-16LE ----------


def utf16(text):
    return text.encode("utf-16-le", "surrogatepass")


TEXT_ENCODING = {
    "ascii": b"data",
    "empty": b"",
    "nul-inside": b"a\x00b",
    "chinese-utf8": "\u4e2d\u6587".encode(),
    "emoji-utf8": "\U0001F600".encode(),
    "all-lengths-utf8": "a\u00e9\u4e2d\U0001F600".encode(),
    "overlong-nul": b"\xc0\x80",
    "overlong-three": b"\xe0\x80\xaf",
    "surrogate-utf8": b"\xed\xa0\x80",
    "past-10ffff": b"\xf4\x90\x80\x80",
    "truncated-three": b"\xe4\xb8",
    "lone-continuation": b"\x80x",
    "invalid-leads": b"\xfe\xff\xc1\xf5",
    "subpart-then-char": b"\xe1\x80\xe1\x80\x80",
    "chinese-utf16": utf16("a\u4e2d"),
    "pair-utf16": utf16("\U0001F600"),
    "lone-high-utf16": utf16("\ud800x"),
    "lone-low-utf16": utf16("x\udc00"),
    "reversed-pair-utf16": utf16("\ude00\ud83d"),
    "nul-unit-utf16": utf16("a\x00b"),
    "odd-length": b"a\x00b",
}

# --- json_writer_fuzz: trees in the target's input format ------------------

UNITS = [0x00E9, 0x4E2D, 0xFF01, 0xFFFD, 0xFEFF, 0xFFFF, 0xE000, 0x0080,
         0x07FF, 0x0800, 0xD83D, 0xDE00, 0xD800, 0xDBFF, 0xDC00, 0xDFFF]
REALS = [0.0, -0.0, 1.0, 3.0, 0.1, -1.5, 1e20, 1e-300, 5e-324,
         1.7976931348623157e308, -1.7976931348623157e308, math.inf, -math.inf,
         math.nan, 0.3, 16000.0]


def units(text):
    raw = utf16(text)
    return [raw[i] | raw[i + 1] << 8 for i in range(0, len(raw), 2)]


def unit(u):
    if u < 0x80:
        return bytes([u])
    if u in UNITS:
        return bytes([0x80 + UNITS.index(u)])
    return bytes([0xFF, u & 0xFF, u >> 8])


def text(value, most):
    us = units(value)
    assert len(us) <= most, value
    return bytes([len(us)]) + b"".join(unit(u) for u in us)


def obj(*members):
    assert len(members) <= 6
    return bytes([len(members)]) + b"".join(
        text(key, 5) + value for key, value in members)


def count(items):
    assert len(items) <= 4
    return bytes([len(items)])


def real_bytes(x):
    for i, r in enumerate(REALS):
        if (math.isnan(x) and math.isnan(r)) or (
                x == r and math.copysign(1, x) == math.copysign(1, r)):
            return bytes([i])
    return b"\xff" + struct.pack("<d", x)


def null():
    return b"\x00"


def nulls(n):
    return bytes([1, n])


def u32(n):
    return b"\x02" + struct.pack("<I", n)


def u32s(*ns):
    return b"\x03" + count(ns) + b"".join(struct.pack("<I", n) for n in ns)


def i32(n):
    return b"\x04" + struct.pack("<i", n)


def i32s(*ns):
    return b"\x05" + count(ns) + b"".join(struct.pack("<i", n) for n in ns)


def real(x):
    return b"\x06" + real_bytes(x)


def reals(*xs):
    return b"\x07" + count(xs) + b"".join(real_bytes(x) for x in xs)


def boolean(b):
    return bytes([8, int(b)])


def booleans(*bs):
    return b"\x09" + count(bs) + bytes(int(b) for b in bs)


def string(s):
    return b"\x0a" + text(s, 8)


def strings(*ss):
    return b"\x0b" + count(ss) + b"".join(text(s, 8) for s in ss)


def nested(*members):
    return b"\x0c" + obj(*members)


def objects(*objs):
    return b"\x0d" + count(objs) + b"".join(objs)


def empty_union():
    return b"\x0e"


def deep(keys, value):
    """Objects nested one per key, the innermost holding value."""
    for key in reversed(keys[1:]):
        value = nested((key, value))
    return obj((keys[0], value))


JSON_WRITER = {
    "empty-input": b"",
    "empty-object": obj(),
    "two-members": obj(("b", i32(1)), ("a", string("x"))),
    "request-like": obj(("file", string("D:\\a.wav")), ("model", string("m.bin")),
                        ("lang", string("zh")), ("promp", string(""))),
    "empty-key-array": obj(("", i32s(1, 2)), ("a", boolean(True))),
    "empty-key-string": obj(("", string("x"))),
    "empty-arrays": obj(("i", i32s()), ("n", nulls(3)), ("o", objects())),
    "array-of-empty-object": obj(("a", objects(obj()))),
    "nested-empty-key-array": obj(("a", nested(("", strings("x", "y")),
                                               ("z", null())))),
    "escapes": obj(("s", string('C:\\a"\b\f\n')),
                   ("t", string("\r\t\x01\x1f\x7f/"))),
    "chinese": obj(("\u4e2d", string("\u4e2d\u6587"))),
    "nul-cuts": obj(("a", i32(1)), ("a\x00b", i32(2)), ("s", string("x\x00y"))),
    "numbers": obj(("u", u32(4294967295)), ("i", i32(-1)), ("r", real(3.0)),
                   ("p", real(0.1)), ("us", u32s(0, 2147483648)),
                   ("is", i32s(-2147483648, 2147483647))),
    "booleans": obj(("b", booleans(True, False, True)), ("t", boolean(False))),
    "key-order": obj(("b", null()), ("B", null()), ("ab", null()),
                     ("a", null()), ("", null())),
    "surrogate-keys": obj(("\ud800", i32(1)), ("\ufffd", i32(2)),
                          ("\udc00", i32(3)), ("\U0001F600", i32(4)),
                          ("\uff01", i32(5))),
    "nan-and-infinities": obj(("r", reals(math.nan, math.inf, -math.inf, -0.0)),
                         ("d", reals(5e-324, 1e20, 1.7976931348623157e308)),
                         ("x", real(1.2345678901234567e-7))),
    "empty-unions": obj(("e", empty_union()),
                        ("o", objects(obj(("", empty_union()))))),
    "name-clash": obj(("", i32(1)), ("\x00x", i32s(7))),
    "every-kind": obj(
        ("0", null()), ("1", nulls(2)), ("2", u32(7)), ("3", u32s(1)),
        ("4", i32(-7)),
        ("x", nested(("5", i32s(5)), ("6", real(0.3)), ("7", reals(1.5)),
                     ("8", boolean(True)), ("9", booleans(False)),
                     ("y", nested(("10", string("s")), ("11", strings("a")),
                                  ("12", nested(("k", null()))),
                                  ("13", objects(obj(("k", i32(1))))),
                                  ("14", empty_union())))))),
    "deep": deep("abcdefg", i32(1)),
    "array-elements-as-arrays": obj(("", objects(obj(("", i32s(1))),
                                                 obj(("", nulls(1))),
                                                 obj(("k", string("v")))))),
    "strings-with-surrogates": obj(("s", strings("\ud83d\ude00", "\ud83d",
                                                 "\ude00x", "\uffff"))),
    "replaced-value": obj(("a", i32(1)), ("a", string("later"))),
}

# --- conversion_request_fuzz: request texts --------------------------------

DRIVER_REQUEST = (
    '{"file_path":"D:\\\\Common\\\\Destkop\\\\test.wav","lang":"zh",'
    '"model_path":"D:\\\\Common\\\\Destkop\\\\whisper-bin-x64-release\\\\'
    'models\\\\ggml-base.bin","prompt":""}').encode()
assert len(DRIVER_REQUEST) == 152


def request(file_path='"/nonexistent/a.wav"', model_path='"/nonexistent/m.bin"',
            lang='"zh"', prompt='""', extra=""):
    members = []
    for key, value in (("file_path", file_path), ("model_path", model_path),
                       ("lang", lang), ("prompt", prompt)):
        if value is not None:
            members.append(f'"{key}":{value}')
    return ("{" + ",".join(members) + extra + "}").encode()


CONVERSION_REQUEST = {
    "driver-request": DRIVER_REQUEST,
    "nonexistent-paths": request(),
    "non-ascii-path": request(file_path='"/nonexistent/\u4e2d\u6587.wav"'),
    "escaped-pair-path": request(file_path='"/nonexistent/\\ud83d\\ude00"'),
    "lone-low-surrogate": request(file_path='"/nonexistent/\\udc00"'),
    "lone-high-surrogate": request(file_path='"/nonexistent/\\ud800x"'),
    "escaped-nul": request(prompt='"a\\u0000b"'),
    "control-escapes": request(prompt='"\\b\\f\\n\\r\\t\\u001f\\/"'),
    "extra-members": request(extra=',"x":[1,{"y":null}]'),
    "missing-prompt": request(prompt=None),
    "number-lang": request(lang="7"),
    "null-path": request(file_path="null"),
    "duplicate-key": request(extra=',"lang":"en"'),
    "trailing-text": request() + b" x",
    "comment": b"/* c */" + request(),
    "array-root": b'["file_path"]',
    "null-root": b"null",
    "empty": b"",
    "open-brace": b"{",
    "deep-nesting": b"[" * 64 + b"]" * 64,
    "raw-invalid-utf8": request(file_path='"/nonexistent/\xff"').replace(
        "\xff".encode(), b"\xff"),
    "nul-byte-cuts": request()[:20] + b"\x00" + request()[20:],
    "single-quotes": b"{'file_path':'a'}",
    "numbers-beyond-double": request(extra=',"x":[1e400,-1e400,1e-400]'),
    "number-beyond-double-path": request(file_path="1e400"),
    "high-surrogate-then-escape": request(prompt='"\\ud800\\u0041"'),
    "lone-surrogate-keys": request(extra=',"\\ud800":0,"\\udc00":1'),
    "escaped-backslash-before-u": request(file_path='"/nonexistent/\\\\ud800"'),
    "up-to-ffff-escaped": request(
        file_path='"/nonexistent/\\ue000\\ufffd\\uffff"'),
    "up-to-ffff-raw": request(
        file_path='"/nonexistent/\ue000\ufffd\uffff"'),
    "overlong-four-bytes": request(lang='"\xf0"').replace(
        "\xf0".encode(), b"\xf0\x80\x80\x80"),
    "lead-past-f4": request(lang='"\xf5"').replace(
        "\xf5".encode(), b"\xf5\x80\x80\x80"),
    "sibling-brackets": request(extra=',"x":[' + ",".join(["[]"] * 1000) + "]"),
    # Number forms and raw control characters that the grammar refuses.
    "number-plus": request(extra=',"x":+1'),
    "number-leading-zero": request(extra=',"x":[01,-01]'),
    "number-minus-alone": request(extra=',"x":-'),
    "number-dot-no-digits": request(extra=',"x":[1.,1.e5]'),
    "number-dot-first": request(extra=',"x":-.5'),
    "raw-tab-in-path": request(file_path='"/nonexistent/a\tb"'),
    "raw-controls-ignored": request(extra=',"x":"\x01\x1f\n"'),
    "unknown-escape": request(prompt='"\\x"'),
    "bad-literal": request(extra=',"x":tru'),
    # Limits: the first met is told, before or after a fault of the text.
    "depth-then-comment": b"[" * 65 + b"/",
    "number-range-then-plus": b"[1e400,+1]",
    # Strings that encode no characters, and bad strings where none may be.
    "bad-utf8-ignored": request(extra=',"x":"\xe0\x80"').replace(
        "\xe0\x80".encode(), b"\xe0\x80"),
    "bad-utf8-key": request(extra=',"\xc3":0').replace(
        "\xc3".encode(), b"\xc3"),
    "bad-string-after-value": b'{"file_path":"a" "\xff"}',
    "bad-string-after-root": request() + b' "\xff"',
    "bad-string-before-colon": b'{"file_path" "\xff"}',
    # Repeated names: refused at the root, JSON below it.
    "repeated-root-name": request(extra=',"x":1,"x":2'),
    "repeated-names-nested": request(extra=',"x":{"a":1,"a":[{"b":0,"b":1}]}'),
    "byte-order-mark": b"\xef\xbb\xbf" + request(),
    # A surrogate escape without its pair before a broken escape, and
    # brackets whose DOM, the oracle's, outgrows the parser's allocation
    # limit.
    "high-surrogate-then-broken-escape": request(prompt='"\\ud800\\uZZZZ"'),
    "low-surrogate-then-cut-escape": b'{"file_path":"\\udc00\\u12',
    "brackets-131073": b"[" * 131073,
}

# --- wav_reader_fuzz: RIFF/WAVE files, byte by byte ------------------------

PCM, FLOAT, EXTENSIBLE = 1, 3, 0xFFFE
SUBFORMAT_TAIL = bytes([0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00,
                        0xAA, 0x00, 0x38, 0x9B, 0x71])


def chunk(cid, body, size=None):
    pad = b"\x00" if len(body) % 2 else b""
    return cid + struct.pack("<I", len(body) if size is None else size) + \
        body + (pad if size is None else b"")


def riff(*chunks, magic=b"RIFF", form=b"WAVE"):
    body = form + b"".join(chunks)
    return magic + struct.pack("<I", len(body)) + body


def fmt(tag, channels, rate, bits, align=None):
    align = channels * bits // 8 if align is None else align
    return struct.pack("<HHIIHH", tag, channels, rate, rate * align, align,
                       bits)


def extensible(sub_tag, channels, rate, bits, tail=SUBFORMAT_TAIL):
    return fmt(EXTENSIBLE, channels, rate, bits) + struct.pack(
        "<HHI", 22, bits, 0) + struct.pack("<H", sub_tag) + tail


def wav(tag, channels, rate, bits, frames):
    return riff(chunk(b"fmt ", fmt(tag, channels, rate, bits)),
                chunk(b"data", bytes(frames * channels * bits // 8)))


FMT16 = chunk(b"fmt ", fmt(PCM, 1, 16000, 16))
DATA8 = chunk(b"data", bytes(8))

WAV_READER = {
    "pcm16-mono": wav(PCM, 1, 16000, 16, 4),
    "float32-stereo": wav(FLOAT, 2, 48000, 32, 2),
    "pcm8": wav(PCM, 1, 8000, 8, 3),
    "pcm24": wav(PCM, 2, 44100, 24, 2),
    "pcm32": wav(PCM, 1, 96000, 32, 2),
    "float64": wav(FLOAT, 1, 22050, 64, 1),
    "extensible-pcm": riff(chunk(b"fmt ", extensible(PCM, 2, 16000, 16)),
                           chunk(b"data", bytes(8))),
    "extensible-float": riff(chunk(b"fmt ", extensible(FLOAT, 1, 8000, 32)),
                             chunk(b"data", bytes(8))),
    "extensible-bad-guid": riff(
        chunk(b"fmt ", extensible(PCM, 1, 8000, 16, bytes(14))), DATA8),
    "odd-chunk-before-fmt": riff(chunk(b"LIST", b"abc"), FMT16, DATA8),
    "data-before-fmt": riff(DATA8, FMT16),
    "two-fmt": riff(FMT16, FMT16, DATA8),
    "fmt-too-short": riff(chunk(b"fmt ", fmt(PCM, 1, 16000, 16)[:14]), DATA8),
    "fmt-odd-with-extra": riff(
        chunk(b"fmt ", fmt(PCM, 1, 16000, 16) + b"\x01\x00x"), DATA8),
    "bad-block-align": riff(chunk(b"fmt ", fmt(PCM, 2, 16000, 16, 3)), DATA8),
    "no-channels": riff(chunk(b"fmt ", fmt(PCM, 0, 16000, 16)), DATA8),
    "rate-too-high": riff(chunk(b"fmt ", fmt(PCM, 1, 1000001, 16)), DATA8),
    "mp3-tag": riff(chunk(b"fmt ", fmt(0x55, 1, 16000, 16)), DATA8),
    "truncated-data": riff(FMT16, chunk(b"data", bytes(10), size=100)),
    "huge-data-size": riff(FMT16, chunk(b"data", bytes(4), size=0xFFFFFFFE)),
    "huge-unknown-chunk": riff(chunk(b"junk", b"", size=0xFFFFFFFF)),
    "binary-chunk-id": riff(chunk(b"\x00\xff\x01\x7f", b"ab"), FMT16, DATA8),
    "partial-frame": riff(FMT16, chunk(b"data", bytes(3))),
    "empty-data": riff(FMT16, chunk(b"data", b"")),
    "no-data": riff(FMT16),
    "cut-chunk-header": riff(FMT16) + b"data",
    "rifx": riff(FMT16, DATA8, magic=b"RIFX"),
    "not-wave": riff(FMT16, DATA8, form=b"AVI "),
    "trailing-junk": riff(FMT16, DATA8, chunk(b"junk", b"", size=0xFFFFFFFF)),
    "riff-header-only": b"RIFF\x00\x00\x00\x00WAVE",
    # A writer that cannot seek back leaves the data size 0 (under a RIFF
    # size that ends at the data header) or 0xFFFFFFFF.
    "streamed-size-0": riff(FMT16, chunk(b"data", b"", size=0)) + bytes(8),
    "streamed-size-max": riff(FMT16, chunk(b"data", bytes(6), size=0xFFFFFFFF)),
    # espeak-ng's placeholder as a true size: the RIFF size counts the chunk
    # and a LIST chunk after it, so this short file is truncated.
    "placeholder-size-counted": b"RIFF" + struct.pack("<I", 0x7FFFF000 + 48)
    + b"WAVE" + FMT16 + chunk(b"data", bytes(8), size=0x7FFFF000),
    "chunk-id-with-space": riff(chunk(b"a b ", b"tag"), FMT16, DATA8),
    "block-align-above-frame": riff(chunk(b"fmt ", fmt(PCM, 1, 16000, 16, 4)),
                                    DATA8),
    "ff-samples-24bit": riff(chunk(b"fmt ", fmt(PCM, 1, 30000, 24)),
                             chunk(b"data", b"\xff" * 9)),
}

write("text_encoding_fuzz", TEXT_ENCODING)
write("json_writer_fuzz", JSON_WRITER)
write("conversion_request_fuzz", CONVERSION_REQUEST)
write("wav_reader_fuzz", WAV_READER)
