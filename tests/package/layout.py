# SPDX-FileCopyrightText: 2026 The Corvella developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""What an installation of Corvella holds, below its prefix."""

APP_ID = "org.corvella.Corvella"
ICON_SIDES = (16, 24, 32, 48, 64, 128, 256)

PROGRAMS = ("bin/corvella", "bin/corvella-cli")
MANUAL_PAGES = ("share/man/man1/corvella.1", "share/man/man1/corvella-cli.1")
DESKTOP_ENTRY = f"share/applications/{APP_ID}.desktop"
METAINFO = f"share/metainfo/{APP_ID}.metainfo.xml"
SCALABLE_ICON = f"share/icons/hicolor/scalable/apps/{APP_ID}.svg"


def icon_png(side):
    return f"share/icons/hicolor/{side}x{side}/apps/{APP_ID}.png"


INSTALLED = frozenset(PROGRAMS + MANUAL_PAGES + (DESKTOP_ENTRY, METAINFO, SCALABLE_ICON) +
                      tuple(icon_png(side) for side in ICON_SIDES))


def read_desktop_entry(path):
    """The keys of the [Desktop Entry] group."""
    keys = {}
    group = None
    with open(path, encoding="utf-8") as entry:
        for line in entry:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            if line.startswith("["):
                group = line
            elif group == "[Desktop Entry]" and "=" in line:
                key, value = line.split("=", 1)
                keys[key.strip()] = value.strip()
    return keys


def png_size(path):
    """(width, height) from a PNG file's header."""
    with open(path, "rb") as png:
        header = png.read(24)
    if header[:8] != b"\x89PNG\r\n\x1a\n" or header[12:16] != b"IHDR":
        raise AssertionError(f"{path} is not a PNG file")
    return int.from_bytes(header[16:20], "big"), int.from_bytes(header[20:24], "big")
