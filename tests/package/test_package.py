#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Corvella developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""The Debian package: made by scripts/package, checked by lintian, installed with apt-get,
started from its desktop entry in a real window (tests/gui/harness.py), set to start at log-on,
and removed without a trace in /usr.

It installs and removes a package, so it needs root or password-less sudo, and is skipped (77)
without them, without its tools, or where a corvella package is installed already. Whatever it
installed is removed again, also when it fails.

Usage: test_package.py --source SOURCE_DIR --output DIR [unittest arguments]
"""
import argparse
import fcntl
import os
import shlex
import shutil
import subprocess
import sys
import time
import unittest
import xml.etree.ElementTree as ElementTree

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "gui"))
import harness  # noqa: E402
import layout  # noqa: E402
from harness import MainWindow  # noqa: E402

ARGS = None
PACKAGE = "corvella"
PREFIX = "/usr"
TOOLS = ("lintian", "desktop-file-validate", "appstreamcli", "dpkg-deb", "apt-get", "convert")
# Another copy of this test (another checkout on the same machine) waits for this one.
LOCK = "/run/lock/corvella-package-test.lock"
HORSE = "correct horse"
# The "Load on computer startup" box, in page-area coordinates.
LOAD_ON_STARTUP_BOX = (16 + 8, 184 + 8)

AS_ROOT = [] if os.geteuid() == 0 else ["sudo", "-n"]
APT = ["env", "DEBIAN_FRONTEND=noninteractive", "apt-get", "-y", "-q",
       "-o", "DPkg::Lock::Timeout=600"]


def run(command, root=False, check=True):
    """Runs a command (as root when asked) and returns its standard output as text."""
    result = subprocess.run((AS_ROOT if root else []) + command, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, text=True)
    if check and result.returncode != 0:
        raise AssertionError(f"{' '.join(command)} failed ({result.returncode}):\n"
                             + result.stdout)
    return result.stdout


def installed_packages():
    listing = run(["dpkg-query", "-W", "-f", "${db:Status-Abbrev} ${binary:Package}\\n"])
    return {line.split()[1] for line in listing.splitlines() if line.startswith("ii")}


def known_to_dpkg(package):
    """True while dpkg holds anything of the package: installed, or its configuration files."""
    # The second letter is the state: n(ot installed), c(onfiguration files), i(nstalled)...
    status = subprocess.run(["dpkg-query", "-W", "-f", "${db:Status-Abbrev}", package],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True).stdout
    return len(status) >= 2 and status[1] != "n"


def traces_in_usr():
    """Every path below /usr whose name mentions the program."""
    found = run(["find", PREFIX, "-xdev", "-iname", "*corvella*"], check=False)
    return set(found.split())


def packaged_paths():
    """The paths the package installs (not its folders), from the package layout."""
    paths = set()
    for relative in layout.INSTALLED:
        path = f"{PREFIX}/{relative}"
        paths.add(path + ".gz" if relative in layout.MANUAL_PAGES else path)
    paths.update({f"/usr/share/doc/{PACKAGE}/copyright", f"/usr/share/doc/{PACKAGE}/changelog.gz"})
    return paths


def desktop_command(exec_value):
    """The argument list of a desktop entry's Exec value, without its field codes (%f, %U...)."""
    return [argument for argument in shlex.split(exec_value)
            if not (len(argument) == 2 and argument[0] == "%")]


def window_icons(session, window):
    """{side: [ARGB...]} from the window's _NET_WM_ICON."""
    text = session.run(["xprop", "-id", str(window), "-notype", "32c", "_NET_WM_ICON"]).stdout
    values = [int(value) for value in text.decode().split("=", 1)[1].split(",")]
    icons = {}
    while len(values) >= 2:
        width, height = values[0], values[1]
        if width != height:
            raise AssertionError(f"a {width} x {height} window icon")
        icons[width] = values[2:2 + width * height]
        values = values[2 + width * height:]
    return icons


def premultiplied(argb):
    """(alpha, red, green, blue) with the colours weighted by alpha: fully transparent pixels
    compare equal whatever colour they carry."""
    a, r, g, b = argb >> 24, (argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF
    return a, r * a // 255, g * a // 255, b * a // 255


def png_pixels(path):
    """[ARGB...] of a PNG file, decoded by ImageMagick."""
    rgba = subprocess.run(["convert", path, "-depth", "8", "rgba:-"], check=True,
                          stdout=subprocess.PIPE).stdout
    return [rgba[i + 3] << 24 | rgba[i] << 16 | rgba[i + 1] << 8 | rgba[i + 2]
            for i in range(0, len(rgba), 4)]


class PackageTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        started = time.monotonic()
        cls.deb = run([os.path.join(ARGS.source, "scripts", "package"), "--output",
                       ARGS.output]).strip().splitlines()[-1]
        print(f"scripts/package made {cls.deb} in {time.monotonic() - started:.0f} s",
              file=sys.stderr)

    def test_package_passes_lintian_and_holds_the_program_alone(self):
        # Warnings fail too: one that the package accepts goes, explained, into
        # debian/corvella.lintian-overrides. Info tags are only shown; the one seen so far,
        # hardening-no-fortify-functions, says that no libc call has a size known at compile
        # time, although the build asks for fortified calls.
        print(run(["lintian", "--fail-on", "error,warning", "--display-level", ">=info",
                   self.deb]), file=sys.stderr)

        contents = run(["dpkg-deb", "-c", self.deb]).splitlines()
        files = {line.split()[5].lstrip(".") for line in contents if not line.startswith("d")}
        self.assertEqual(sorted(files), sorted(packaged_paths()))

        fields = {name: run(["dpkg-deb", "-f", self.deb, name]).strip()
                  for name in ("Section", "Priority", "Version", "Description", "Depends")}
        self.assertEqual(fields["Section"], "utils")
        self.assertEqual(fields["Priority"], "optional")
        self.assertEqual(fields["Description"].splitlines()[0],
                         "single-user desktop password manager")
        # Shared libraries from the binaries, and Qt's Wayland plugin, which no binary links but
        # which a Wayland session needs; no build or test tool.
        depends = [item.split()[0] for item in fields["Depends"].split(", ")]
        self.assertIn("libqt6widgets6", depends)
        self.assertIn("libssl3", depends)
        self.assertIn("libwayland-client0", depends)
        self.assertEqual([name for name in depends if not name.startswith("lib")],
                         ["qt6-wayland"])

    def test_installs_starts_from_its_menu_entry_and_is_removed_without_trace(self):
        before = installed_packages()
        traces_before = traces_in_usr()
        try:
            run(APT + ["install", os.path.abspath(self.deb)], root=True)
            self.assertIn(PACKAGE, installed_packages())
            self.check_menu_data()
            self.start_from_menu_and_choose_autostart()
        finally:
            added = installed_packages() - before
            if known_to_dpkg(PACKAGE):
                added.add(PACKAGE)
            if added:
                run(APT + ["purge"] + sorted(added), root=True)
        self.assertFalse(known_to_dpkg(PACKAGE))
        left = [path for path in packaged_paths() if os.path.lexists(path)]
        self.assertEqual(left, [])
        self.assertFalse(os.path.exists(f"/usr/share/doc/{PACKAGE}"))
        self.assertEqual(traces_in_usr(), traces_before)

    def check_menu_data(self):
        """The desktop entry, its icon and the metainfo as menus and software centres read
        them."""
        entry_path = f"{PREFIX}/{layout.DESKTOP_ENTRY}"
        metainfo_path = f"{PREFIX}/{layout.METAINFO}"
        run(["desktop-file-validate", entry_path])
        run(["appstreamcli", "validate", "--no-net", metainfo_path])
        entry = layout.read_desktop_entry(entry_path)
        self.assertEqual(entry["Name"], "Corvella")
        for side in layout.ICON_SIDES:
            self.assertTrue(os.path.isfile(
                f"{PREFIX}/share/icons/hicolor/{side}x{side}/apps/{entry['Icon']}.png"), side)
        self.assertTrue(os.path.isfile(
            f"{PREFIX}/share/icons/hicolor/scalable/apps/{entry['Icon']}.svg"))
        release = ElementTree.parse(metainfo_path).getroot().find("releases/release")
        self.assertEqual(release.get("version"),
                         run(["dpkg-query", "-W", "-f", "${Version}", PACKAGE]))

    def start_from_menu_and_choose_autostart(self):
        entry = layout.read_desktop_entry(f"{PREFIX}/{layout.DESKTOP_ENTRY}")
        program = shutil.which(desktop_command(entry["Exec"])[0])
        with harness.Session(program) as session:
            app = session.start("corvella", desktop_command(entry["Exec"]))
            window = session.wait_for_window(harness.MAIN_TITLE, pid=app.pid)
            session.wait_until_settled(window)
            self.assertEqual(os.readlink(f"/proc/{app.pid}/exe"), f"{PREFIX}/bin/corvella")

            # Desktops match the window to its entry by the class, and show its icon.
            wm_class = session.run(["xprop", "-id", str(window), "-notype", "WM_CLASS"]).stdout
            self.assertEqual(shlex.split(wm_class.decode().split("=", 1)[1].replace(",", " "))[1],
                             entry["StartupWMClass"])
            icons = window_icons(session, window)
            self.assertTrue(icons, "the window has no icon")
            for side, pixels in icons.items():
                with self.subTest(side=side):
                    installed = png_pixels(
                        f"{PREFIX}/share/icons/hicolor/{side}x{side}/apps/{entry['Icon']}.png")
                    worst = max(max(abs(x - y) for x, y in zip(premultiplied(a), premultiplied(b)))
                                for a, b in zip(pixels, installed, strict=True))
                    self.assertLessEqual(worst, 2, f"the {side} x {side} window icon")

            session.activate(window)
            session.type_text(HORSE)
            session.key("Tab")
            session.type_text(HORSE)
            session.key("Return")
            harness.wait_until(lambda: os.path.exists(session.password_file),
                               what="the password file")
            session.click(window, *MainWindow.OPTIONS_BUTTON)
            session.park_pointer()
            session.wait_until_settled(window)
            session.click(window, *MainWindow.page(*LOAD_ON_STARTUP_BOX))
            harness.wait_until(lambda: os.path.exists(session.autostart_file),
                               what="the autostart entry")
            run(["desktop-file-validate", session.autostart_file])
            autostart = layout.read_desktop_entry(session.autostart_file)
            self.assertEqual(desktop_command(autostart["Exec"]), [f"{PREFIX}/bin/corvella"])
            self.assertEqual(autostart["Icon"], entry["Icon"])

            session.click(window, *MainWindow.TOOL_BUTTONS["Exit"])
            self.assertEqual(app.wait(), 0)

            # The person's own files stay when the program goes.
            run(APT + ["remove", PACKAGE], root=True)
            for path in (session.password_file, session.settings_file, session.autostart_file):
                self.assertTrue(os.path.isfile(path), path)


def skip(reason):
    print(f"skipped: {reason}")
    sys.exit(harness.SKIP_CODE)


if __name__ == "__main__":
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--source", required=True)
    parser.add_argument("--output", required=True)
    ARGS, rest = parser.parse_known_args()
    ARGS.source = os.path.abspath(ARGS.source)
    ARGS.output = os.path.abspath(ARGS.output)

    if AS_ROOT and subprocess.run(["sudo", "-n", "true"], stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL).returncode != 0:
        skip("installing the package needs root or password-less sudo")
    harness.require_display_tools()
    missing = [tool for tool in TOOLS if shutil.which(tool) is None]
    if missing:
        skip("needs " + ", ".join(missing) + " (scripts/setup --test installs them)")
    lock = open(LOCK, "a")  # noqa: SIM115 (held until the process ends)
    fcntl.flock(lock, fcntl.LOCK_EX)
    if known_to_dpkg(PACKAGE):
        skip(f"a {PACKAGE} package is installed on this machine; the test installs its own")
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
