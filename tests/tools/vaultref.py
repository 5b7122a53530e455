#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Corvella developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reference model of the Corvella vault file, used by the tests as ground truth.

Vault file
    The whole file is one encrypted stream, exactly as long as the plaintext:
    AES-256 keyed with SHA-256 of the raw master password bytes, CBC chaining
    from an all-0xFF IV over every complete 16-byte block.  A trailing partial
    block (or a file shorter than one block) is XORed with the encryption of
    the last ciphertext block (or of the IV).  Decryption reverses the chained
    blocks and repeats the same XOR on the tail.

Plaintext stream
    b"QVZ", then records back to back.  A string is a signed 32-bit
    little-endian length followed by that many bytes.  A record is the string
    sequence SiteName <v> Url <v> Password <v> UserName <v> End.  A reader
    takes tags until "End"; the four known tags consume the next string as
    their value (later duplicates win), any other tag consumes nothing.
    Records are read while more than one byte is left, so a single stray
    trailing byte is ignored.  A wrong marker means a wrong password; any read
    past the end or a negative length means a damaged file.

Text cipher (in-memory only)
    AES-128 keyed with MD5 of the key string, IV = that key's encryption of
    sixteen 0xFF bytes, CFB with 8-bit feedback, then standard Base64.

AES is only used here as a single-block function; all chaining is done by
hand so that this model shares no mode code with the application.
"""
import argparse
import base64
import hashlib
import json
import os
import struct
import sys

from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes

BLOCK = 16
ALL_FF = b"\xff" * BLOCK
MARKER = b"QVZ"
FIELDS = ("siteName", "url", "userName", "password")
RECORD_TAGS = (("SiteName", "siteName"), ("Url", "url"),
               ("Password", "password"), ("UserName", "userName"))
TAG_FIELD = {tag.encode(): field for tag, field in RECORD_TAGS}


class WrongPassword(Exception):
    pass


class Damaged(Exception):
    pass


class Aes:
    """Single-block AES (ECB on exactly one block per call)."""

    def __init__(self, key):
        cipher = Cipher(algorithms.AES(key), modes.ECB())
        self._enc, self._dec = cipher.encryptor(), cipher.decryptor()

    def encrypt(self, block):
        return self._enc.update(block)

    def decrypt(self, block):
        return self._dec.update(block)


def xor(a, b):
    return bytes(x ^ y for x, y in zip(a, b))


def cbc_with_tail(key, iv, data, decrypt):
    aes, reg, out = Aes(key), iv, bytearray()
    full = len(data) - len(data) % BLOCK
    for i in range(0, full, BLOCK):
        block = data[i:i + BLOCK]
        if decrypt:
            out += xor(aes.decrypt(block), reg)
            reg = block
        else:
            reg = aes.encrypt(xor(block, reg))
            out += reg
    if full < len(data):
        out += xor(data[full:], aes.encrypt(reg))
    return bytes(out)


def file_encrypt(password, data):
    return cbc_with_tail(hashlib.sha256(password).digest(), ALL_FF, data, False)


def file_decrypt(password, data):
    return cbc_with_tail(hashlib.sha256(password).digest(), ALL_FF, data, True)


def cfb8(key, iv, data, decrypt):
    aes, reg, out = Aes(key), iv, bytearray()
    for byte in data:
        res = byte ^ aes.encrypt(reg)[0]
        out.append(res)
        reg = reg[1:] + bytes([byte if decrypt else res])
    return bytes(out)


def _text_key(key):
    k = hashlib.md5(key).digest()
    return k, Aes(k).encrypt(ALL_FF)


def text_encrypt(key, plain):
    k, iv = _text_key(key)
    return base64.b64encode(cfb8(k, iv, plain, False)).decode("ascii")


def text_decrypt(key, text):
    k, iv = _text_key(key)
    raw = base64.b64decode(text[:len(text) // 4 * 4])
    return cfb8(k, iv, raw, True)


def encode_strings(strings):
    out = bytearray()
    for s in strings:
        s = s.encode() if isinstance(s, str) else s
        out += struct.pack("<i", len(s)) + s
    return bytes(out)


def encode_entry(entry):
    seq = []
    for tag, field in RECORD_TAGS:
        seq += [tag, entry.get(field, b"")]
    return encode_strings(seq + ["End"])


def build_stream(entries):
    return MARKER + b"".join(encode_entry(e) for e in entries)


def parse_stream(data):
    if data[:len(MARKER)] != MARKER:
        raise WrongPassword()
    pos, entries = len(MARKER), []

    def read():
        nonlocal pos
        if pos + 4 > len(data):
            raise Damaged("length cut short")
        (n,) = struct.unpack_from("<i", data, pos)
        pos += 4
        if n < 0 or pos + n > len(data):
            raise Damaged("bad string length")
        pos += n
        return data[pos - n:pos]

    while pos < len(data) - 1:
        entry, tag = dict.fromkeys(FIELDS, b""), b""
        while tag != b"End":
            tag = read()
            if tag in TAG_FIELD:
                entry[TAG_FIELD[tag]] = read()
        entries.append(entry)
    return entries


def to_json(entries):
    def value(b):
        try:
            return b.decode("utf-8")
        except UnicodeDecodeError:
            return {"hex": b.hex()}
    return [{f: value(e[f]) for f in FIELDS} for e in entries]


def from_json(items):
    def value(v):
        return v.encode("utf-8") if isinstance(v, str) else bytes.fromhex(v["hex"])
    return [{f: value(item.get(f, "")) for f in FIELDS} for item in items]


def dump_json(entries):
    return json.dumps(to_json(entries), indent=2) + "\n"


# ---------------------------------------------------------------- vectors

def det_bytes(label, n):
    out, i = bytearray(), 0
    while len(out) < n:
        out += hashlib.sha256(b"%s/%d" % (label.encode(), i)).digest()
        i += 1
    return bytes(out[:n])


def hx(b):
    return b.hex() if b else "-"


def write_vectors(outdir):
    os.makedirs(outdir, exist_ok=True)
    passwords = [b"", b"secret", "pässwörd€ ключ".encode(), b"ab\x00cd\xff"]
    lines = []
    for n in (0, 3, 15, 16, 17, 20, 32, 8192, 8193, 20000):
        chosen = passwords if n <= 32 else [passwords[n % len(passwords)]]
        for pw in chosen:
            plain = det_bytes("file/%d/%s" % (n, pw.hex()), n)
            lines.append("%s %s %s" % (hx(pw), hx(plain), hx(file_encrypt(pw, plain))))
    _write(outdir, "file_cipher.txt", "\n".join(lines) + "\n")

    key = bytearray(det_bytes("text-key", 32))
    key[7] = 0
    lines = []
    for k in (bytes(key), b""):
        for n in (0, 1, 2, 3, 4, 14, 16, 17, 100):
            plain = det_bytes("text/%d" % n, n)
            lines.append("%s %s %s" % (hx(k), hx(plain), text_encrypt(k, plain) or "-"))
    _write(outdir, "text_cipher.txt", "\n".join(lines) + "\n")

    horse = b"correct horse"
    cp1252 = bytes.fromhex("70e4737377f6726480")  # "pässwörd€" in Windows-1252
    basic = from_json([
        {"siteName": "Mail", "url": "https://mail.example.org/login",
         "userName": "alice@example.org", "password": "Tr0ub4dor&3"},
        {},
        {"siteName": "End", "url": "SiteName", "userName": "Password", "password": "UserName"},
        {"siteName": "Café Zürich 東京", "url": "https://例え.jp/päth",
         "userName": "józef", "password": "pässwörd€🔑"},
        {"siteName": "Bank", "url": "https://bank.example/", "userName": {"hex": "7573006572e9"},
         "password": "pin 0000"},
    ])
    stray = basic[:1] + basic[3:4]
    reordered = from_json([
        {"siteName": "Second", "url": "https://r.example/", "userName": "ruser", "password": "rpass"},
        {"siteName": "After", "url": "u", "userName": "n", "password": "p"},
    ])
    reordered_stream = MARKER + encode_strings(
        ["Url", "https://r.example/", "Note", "misc", "UserName", "ruser", "SiteName", "First",
         "Password", "rpass", "SiteName", "Second", "End"]) + encode_entry(reordered[1])
    cut = encode_entry(basic[0])
    head = len(encode_strings(["SiteName", basic[0]["siteName"], "Url", basic[0]["url"], "Password"]))
    seq_no_end = []
    for tag, field in RECORD_TAGS:
        seq_no_end += [tag, basic[0][field]]
    cp_entry = from_json([{"siteName": "Grüße", "url": "https://w.example/",
                           "userName": "wöu", "password": "€uro"}])

    vaults = [  # name, password, stream, expected entries or None when damaged
        ("vault_basic", horse, build_stream(basic), basic),
        ("vault_empty", horse, MARKER, []),
        ("vault_stray_byte", horse, build_stream(stray) + b"\x00", stray),
        ("vault_damaged", horse, MARKER + cut[:head + 4 + 3], None),
        ("vault_reordered", horse, reordered_stream, reordered),
        ("vault_cp1252", cp1252, build_stream(cp_entry), cp_entry),
        ("vault_stray_two_bytes", horse, build_stream(stray) + b"\x00\x00", None),
        ("vault_no_end", horse, MARKER + encode_strings(seq_no_end), None),
        ("vault_negative_length", horse,
         MARKER + encode_strings(["SiteName"]) + struct.pack("<i", -1) + b"xxxxxxxx", None),
    ]
    index = []
    for name, pw, stream, expected in vaults:
        assert _outcome(stream) == (expected if expected is not None else "damaged"), name
        _write(outdir, name + ".dat", file_encrypt(pw, stream))
        if expected is None:
            index.append("%s.dat %s - damaged" % (name, hx(pw)))
        else:
            _write(outdir, name + ".json", dump_json(expected))
            index.append("%s.dat %s %s.json ok" % (name, hx(pw), name))
    _write(outdir, "vectors_index.txt", "\n".join(index) + "\n")


def _outcome(stream):
    try:
        return parse_stream(stream)
    except Damaged:
        return "damaged"


def _write(outdir, name, content):
    mode = "wb" if isinstance(content, bytes) else "w"
    with open(os.path.join(outdir, name), mode) as f:
        f.write(content)


# --------------------------------------------------------------- selftest

def selftest():
    checks = []

    def check(name, got, want):
        checks.append((name, got == want))

    pt = bytes.fromhex("00112233445566778899aabbccddeeff")
    check("FIPS-197 AES-128", Aes(bytes(range(16))).encrypt(pt).hex(),
          "69c4e0d86a7b0430d8cdb78070b4c55a")
    check("FIPS-197 AES-256", Aes(bytes(range(32))).encrypt(pt).hex(),
          "8ea2b7ca516745bfeafc49904b496089")
    check("SHA-256 abc", hashlib.sha256(b"abc").hexdigest(),
          "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad")
    check("MD5 abc", hashlib.md5(b"abc").hexdigest(), "900150983cd24fb0d6963f7d28e17f72")
    sp_iv = bytes(range(16))
    check("SP 800-38A CBC-AES256", cbc_with_tail(
        bytes.fromhex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4"),
        sp_iv, bytes.fromhex("6bc1bee22e409f96e93d7e117393172a"), False).hex(),
        "f58c4c04d6e5f1ba779eabfb5f7bfbd6")
    check("SP 800-38A CFB8-AES128", cfb8(
        bytes.fromhex("2b7e151628aed2a6abf7158809cf4f3c"), sp_iv,
        bytes.fromhex("6bc1bee22e409f96e93d7e117393172aae2d"), False).hex(),
        "3b79424c9c0dd436bace9e0ed4586a4f32b9")

    for n in (0, 1, 15, 16, 17, 47, 48, 100):
        data = det_bytes("selftest", n)
        ct = file_encrypt(b"pw", data)
        check("file round trip %d" % n, (len(ct), file_decrypt(b"pw", ct)), (n, data))
        check("text round trip %d" % n, text_decrypt(b"k", text_encrypt(b"k", data)), data)
    check("tail keeps block prefix", file_encrypt(b"pw", bytes(20))[:16],
          file_encrypt(b"pw", bytes(16)))

    entries = from_json([{"siteName": "s", "url": {"hex": "00e9ff"}, "userName": "End",
                          "password": "ü"}, {}])
    vault = file_encrypt(b"master", build_stream(entries))
    check("vault round trip", parse_stream(file_decrypt(b"master", vault)), entries)
    check("json round trip", from_json(json.loads(dump_json(entries))), entries)
    check("wrong marker", _raises(parse_stream, b"QVY"), WrongPassword)
    check("stray byte", parse_stream(build_stream(entries) + b"x"), entries)
    check("two stray bytes", _raises(parse_stream, build_stream(entries) + b"xy"), Damaged)

    failed = [name for name, ok in checks if not ok]
    for name in failed:
        print("FAIL: " + name, file=sys.stderr)
    print("%d checks, %d failed" % (len(checks), len(failed)))
    return 1 if failed else 0


def _raises(fn, *args):
    try:
        fn(*args)
    except (WrongPassword, Damaged) as e:
        return type(e)
    return None


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    sub = ap.add_subparsers(dest="cmd", required=True)
    w = sub.add_parser("write", help="encrypt JSON entries from stdin into a vault")
    w.add_argument("out")
    w.add_argument("--password-hex", required=True)
    r = sub.add_parser("read", help="print a vault's entries as JSON")
    r.add_argument("file")
    r.add_argument("--password-hex", required=True)
    v = sub.add_parser("vectors", help="write test vectors and fixture vaults")
    v.add_argument("outdir")
    sub.add_parser("selftest", help="check primitives and round trips")
    args = ap.parse_args(argv)

    if args.cmd == "write":
        entries = from_json(json.load(sys.stdin))
        with open(args.out, "wb") as f:
            f.write(file_encrypt(bytes.fromhex(args.password_hex), build_stream(entries)))
    elif args.cmd == "read":
        with open(args.file, "rb") as f:
            data = file_decrypt(bytes.fromhex(args.password_hex), f.read())
        try:
            entries = parse_stream(data)
        except WrongPassword:
            print("wrong password", file=sys.stderr)
            return 3
        except Damaged as e:
            print("damaged: %s" % e, file=sys.stderr)
            return 4
        sys.stdout.write(dump_json(entries))
    elif args.cmd == "vectors":
        write_vectors(args.outdir)
    else:
        return selftest()
    return 0


if __name__ == "__main__":
    sys.exit(main())
