#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Corvella developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""`cmake --install` of a build tree: exactly the expected files, each of the right kind, and a
desktop entry, icons and metainfo that name each other.

Usage: test_install.py --build BUILD_DIR [unittest arguments]
"""
import argparse
import os
import stat
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import layout  # noqa: E402

BUILD = None


def project_version(build):
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as cache:
        for line in cache:
            if line.startswith("CMAKE_PROJECT_VERSION:"):
                return line.split("=", 1)[1].strip()
    raise AssertionError(f"no project version in {build}/CMakeCache.txt")


class InstallTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory(prefix="corvella-install-")
        cls.prefix = os.path.join(cls.folder.name, "prefix")
        subprocess.run(["cmake", "--install", BUILD, "--prefix", cls.prefix], check=True,
                       stdout=subprocess.DEVNULL)

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def path(self, relative):
        return os.path.join(self.prefix, relative)

    def test_installs_exactly_the_expected_files(self):
        installed = set()
        for folder, _, files in os.walk(self.prefix):
            installed.update(os.path.relpath(os.path.join(folder, name), self.prefix)
                             for name in files)
        self.assertEqual(sorted(installed), sorted(layout.INSTALLED))
        for program in layout.PROGRAMS:
            mode = os.stat(self.path(program)).st_mode
            self.assertTrue(stat.S_ISREG(mode) and mode & 0o111 == 0o111, program)

    def test_icons_have_the_size_of_their_folder(self):
        for side in layout.ICON_SIDES:
            with self.subTest(side=side):
                self.assertEqual(layout.png_size(self.path(layout.icon_png(side))), (side, side))

    def test_desktop_entry_and_metainfo_name_the_installed_files(self):
        entry = layout.read_desktop_entry(self.path(layout.DESKTOP_ENTRY))
        self.assertEqual(entry["Name"], "Corvella")
        self.assertEqual(entry["Icon"], layout.APP_ID)
        self.assertEqual(entry["Exec"].split()[0], os.path.basename(layout.PROGRAMS[0]))

        component = ElementTree.parse(self.path(layout.METAINFO)).getroot()
        self.assertEqual(component.findtext("id"), layout.APP_ID)
        self.assertEqual(component.findtext("launchable[@type='desktop-id']"),
                         os.path.basename(layout.DESKTOP_ENTRY))
        self.assertEqual(component.find("releases/release").get("version"),
                         project_version(BUILD), "the newest release in the metainfo")


if __name__ == "__main__":
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True)
    arguments, rest = parser.parse_known_args()
    BUILD = os.path.abspath(arguments.build)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
