#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Corvella developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the seed corpus of the fuzz targets: small plaintext password streams.

Both targets take a plaintext stream (the loader encrypts it into a password file first). The
loader's seeds add lengths around the cipher's block and piece sizes.

    fuzz/make_corpus.py            rewrites fuzz/corpus/<target>/
"""
import pathlib
import shutil
import struct

HERE = pathlib.Path(__file__).resolve().parent
MARKER = b"QVZ"
PIECE = 8192


def text(value):
    return struct.pack("<i", len(value)) + value


def record(site=b"example", url=b"https://example.org/", password=b"not-a-secret",
           user=b"someone"):
    return b"".join(text(part) for part in (
        b"SiteName", site, b"Url", url, b"Password", password, b"UserName", user, b"End"))


def stream(*records):
    return MARKER + b"".join(records)


def common_seeds():
    one = stream(record())
    return {
        "empty-stream": MARKER,
        "one-entry": one,
        "two-entries": stream(record(), record(b"", b"", b"", b"")),
        "stray-byte": one + b"\x00",
        "two-stray-bytes": one + b"\x00\x00",
        "truncated": one[:-2],
        "tags-reordered": MARKER + b"".join(text(part) for part in (
            b"UserName", b"u", b"Odd", b"Password", b"p", b"SiteName", b"a", b"SiteName", b"b",
            b"End")),
        "negative-length": MARKER + struct.pack("<i", -1),
        "huge-length": MARKER + struct.pack("<i", 0x7FFFFFFF) + b"SiteName",
        "non-ascii": stream(record(b"caf\xe9", b"\xff\xfe", "pässwört".encode(), b"\x00\x01")),
        "wrong-marker": b"QVX" + record(),
    }


def loader_seeds():
    base = stream(record(b"", b"", b"", b""))
    seeds = {
        "length-4": MARKER + b"\x01",
        "length-16": MARKER + text(b"SiteName") + b"\x04",
    }
    # Around a block boundary: 79, 80 and 81 bytes.
    for total in (79, 80, 81):
        seeds[f"length-{total}"] = stream(record(b"", b"", b"p" * (total - len(base)), b""))
    # Across the cipher's piece size, ending in a partial block.
    total = PIECE + 5
    seeds[f"length-{total}"] = stream(record(b"", b"", b"x" * (total - len(base)), b""))
    return seeds


def write(target, seeds):
    folder = HERE / "corpus" / target
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    for name, data in seeds.items():
        (folder / name).write_bytes(data)


def main():
    write("fuzz_stream_reader", common_seeds())
    write("fuzz_loader", {**common_seeds(), **loader_seeds()})


if __name__ == "__main__":
    main()
