#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Corvella developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""No password that should be gone, and no master password, stays in the program's memory. Core
images of the real program (gcore) with 200 entries are searched after each of these steps:

- a mistyped, then the right master password: unlocked, and after Lock;
- a password shown in the entry editor ("Hide password" unticked) and cancelled: unlocked, and
  after Lock;
- a password edited and saved, and a generated password saved: unlocked, and after Lock;
- a password copied from the list's menu (while it is on the clipboard, and after the erase),
  from the tray menu and by Go to Web Page (each after the erase), and after Lock.

Each search looks for every secret in every encoding (bytes, which is UTF-8 and Latin-1 for
these texts, UTF-16LE, UTF-16BE, UTF-32LE), side by side or one character every few bytes, for
every stride up to 32 bytes, in order and in reverse order. No master password, right or
mistyped, may be found anywhere, and no password but the one copied in the last 10 seconds. The
site names, which the entries hold as bytes, must be found while unlocked: they show that the
search sees the program's heap.

The secrets live only in this process and the program: they are never printed, the search tool
reads them from standard input and names them by number, and the core images are deleted at once.

Usage: test_memory_after_lock.py --program CORVELLA --cli CORVELLA_CLI [unittest arguments]
with CORVELLA_SECRET_SEARCH naming the build's corvella_secret_search.
"""
import glob
import os
import random
import secrets
import shutil
import signal
import string
import subprocess
import sys
import tempfile
import time
import unittest

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from harness import MainWindow  # noqa: E402

ARGS = None
ENTRY_COUNT = 200
CORE_FOLDER_PREFIX = "corvella-core-"
STALE_AFTER_S = 3600
ROW_HEIGHT = 18
# The clipboard is erased by a 10 s timer; a slow machine gets twice that.
ERASE_LIMIT_S = 25.0
# In the entry editor's client area.
EDITOR_PASSWORD_FIELD = (24, 122, 405, 20)
HIDE_PASSWORD_BOX = (128 + 8, 157 + 8)
GENERATE_BUTTON = (24 + 44, 152 + 12)
OK_BUTTON = (271 + 37, 170 + 12)
SIDE_BY_SIDE = 1


def random_letters(count):
    return "".join(secrets.choice(string.ascii_letters) for _ in range(count))


def row_point(row):
    """A point on the text of list row `row` (0-based), in window coordinates."""
    return MainWindow.page(60, MainWindow.LIST_TOP + 1 + ROW_HEIGHT * row + ROW_HEIGHT // 2)


def remove_stale_core_folders():
    """Core folders of an earlier run that was killed outright (its cleanup never ran): they
    hold secrets. Only this user's, and only those older than any run can last."""
    for path in glob.glob(os.path.join(tempfile.gettempdir(), CORE_FOLDER_PREFIX + "*")):
        try:
            info = os.lstat(path)
        except FileNotFoundError:
            continue
        if info.st_uid == os.getuid() and time.time() - info.st_mtime > STALE_AFTER_S:
            shutil.rmtree(path, ignore_errors=True)


def search_core(path, needles):
    """[(needle index, encoding, stride, count)] of every find of the needles in the core."""
    tool = os.environ.get("CORVELLA_SECRET_SEARCH")
    if not tool or not os.access(tool, os.X_OK):
        raise harness.HarnessError("CORVELLA_SECRET_SEARCH does not name the search tool "
                                   "(corvella_secret_search of the build)")
    result = subprocess.run([tool, path], input="".join(n + "\n" for n in needles).encode(),
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=600)
    if result.returncode != 0:
        raise harness.HarnessError(f"the search failed ({result.returncode}): " +
                                   result.stderr.decode("utf-8", "replace"))
    finds = []
    for line in result.stdout.decode().splitlines():
        index, encoding, stride, count, _ = line.split()
        finds.append((int(index), encoding, int(stride), int(count)))
    return finds


def describe(finds):
    """"utf-16le at stride 8 (2x), bytes side by side" for a list of (encoding, stride, count,
    reversed)."""
    return ", ".join(f"{encoding} " + ("side by side" if stride == SIDE_BY_SIDE
                                       else f"at stride {stride}") +
                     (" in reverse order" if backwards else "") +
                     (f" ({count}x)" if count > 1 else "")
                     for encoding, stride, count, backwards in finds)


class MemoryTest(unittest.TestCase):

    def setUp(self):
        self.secrets = {}  # label -> text; none may occur unless allowed
        self.failures = []
        self.report = []

    # --- core images ----------------------------------------------------------------------

    def take_core(self, pid, folder):
        """A core image of the running process. gcore attaches with ptrace; the program makes
        itself non-dumpable, which only a tracer with CAP_SYS_PTRACE (root) gets past."""
        prefix = os.path.join(folder, "core")
        gcore = subprocess.Popen(["gcore", "-o", prefix, str(pid)],
                                 env=dict(os.environ, DEBUGINFOD_URLS=""),
                                 stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                 start_new_session=True, preexec_fn=harness.die_with_parent)
        try:
            output, _ = gcore.communicate(timeout=harness.TIMEOUT * 3)
        except subprocess.TimeoutExpired:
            os.killpg(gcore.pid, signal.SIGKILL)  # gdb with it
            gcore.wait()
            self.fail("gcore did not finish")
        path = f"{prefix}.{pid}"
        if gcore.returncode != 0 or not os.path.exists(path):
            self.fail(f"gcore failed ({gcore.returncode}) as uid {os.getuid()}:\n" +
                      output.decode("utf-8", "replace")[-2000:])
        return path

    def check_memory(self, name, unlocked, allowed=()):
        """Searches a core image of the program for every secret and, while unlocked, for the
        site names. A secret found that is not `allowed` is a failure of step `name`."""
        started = time.monotonic()
        path = self.take_core(self.app.pid, self.cores)
        # Each secret also backwards: a list of removed characters may run from the end.
        needles = [(label, False, text) for label, text in self.secrets.items()]
        needles += [(label, True, text[::-1]) for label, text in self.secrets.items()]
        try:
            size = os.path.getsize(path)
            finds = search_core(path, [text for _, _, text in needles] + self.sites)
        finally:
            os.remove(path)
        by_label = {}
        sites_found = set()
        for index, encoding, stride, count in finds:
            if index < len(needles):
                label, backwards, _ = needles[index]
                by_label.setdefault(label, []).append((encoding, stride, count, backwards))
            elif stride == SIDE_BY_SIDE and encoding == "bytes":
                sites_found.add(index)
        found = {label: where for label, where in by_label.items() if label not in allowed}
        for label, where in sorted(found.items()):
            self.failures.append(f"{name}: {label} found: {describe(where)}")
        # The list draws its rows from the entries and keeps no text of its own.
        if unlocked and len(sites_found) != ENTRY_COUNT:
            self.failures.append(f"{name}: only {len(sites_found)} of {ENTRY_COUNT} site names "
                                 "found as bytes: the search is blind")
        self.report.append(f"{name}: {size >> 20} MiB, {time.monotonic() - started:.1f} s, " +
                           (f"found {len(found)} secrets" if found else "clean") +
                           "".join(f"; {label} allowed, found: {describe(by_label[label])}"
                                   for label in allowed if label in by_label))

    def check_unlocked_and_after_lock(self, name):
        self.check_memory(f"{name}, unlocked", True)
        self.lock()
        self.check_memory(f"{name}, after Lock", False)

    # --- steps ----------------------------------------------------------------------------

    def unlock(self, password):
        self.session.activate(self.window)
        self.session.type_text(password)
        self.session.key("Return")
        self.session.wait_until_settled(self.window)

    def lock(self):
        self.session.click(self.window, *MainWindow.TOOL_BUTTONS["Lock"])
        self.session.wait_until_settled(self.window)
        time.sleep(1)

    def open_editor(self, row):
        """Edit on list row `row`: the editor, active and settled."""
        self.session.activate(self.window)
        self.session.click(self.window, *row_point(row))
        self.session.click(self.window, *MainWindow.TOOL_BUTTONS["Edit"])
        editor = self.session.wait_for_window("Edit Password", pid=self.app.pid)
        self.session.activate(editor)
        self.session.wait_until_settled(editor)
        return editor

    def exported(self, master):
        """The password file's entries (passwords included), read while the program holds the
        file open."""
        return self.session.read_password_file(master)

    def wait_clipboard(self, text, what):
        harness.wait_until(lambda: self.session.clipboard() == text, timeout=ERASE_LIMIT_S,
                           what=what)

    def wait_erased(self):
        harness.wait_until(lambda: self.session.clipboard() in ("", None),
                           timeout=ERASE_LIMIT_S, what="the clipboard to be erased")

    def expect_no_dialog(self):
        self.session.wait_until_settled(self.window)
        self.assertEqual(self.session.find_dialogs(pid=self.app.pid), {})

    # --- the tests ------------------------------------------------------------------------

    def test_search_finds_every_encoding_and_stride(self):
        """The search tool on a made-up core image: each needle, planted once in one encoding
        at one stride among random bytes, is found as just that."""
        codecs = {"bytes": "latin-1", "utf-16le": "utf-16-le", "utf-16be": "utf-16-be",
                  "utf-32le": "utf-32-le"}
        planted = [("bytes", 1), ("bytes", 32), ("utf-16le", 1), ("utf-16le", 8),
                   ("utf-16be", 1), ("utf-16be", 3), ("utf-32le", 1), ("utf-32le", 5)]
        generator = random.Random(1)
        data = bytearray(generator.randbytes(1 << 21))
        needles = []
        for index, (encoding, stride) in enumerate(planted):
            needle = "".join(generator.choice(string.ascii_letters) for _ in range(20))
            needles.append(needle)
            unit = len("a".encode(codecs[encoding]))
            start = 100_000 * (index + 1) + index
            for position, character in enumerate(needle):
                at = start + position * stride * unit
                data[at:at + unit] = character.encode(codecs[encoding])
        with tempfile.NamedTemporaryFile(prefix=CORE_FOLDER_PREFIX) as core:
            core.write(data)
            core.flush()
            finds = search_core(core.name, needles)
        self.assertEqual(sorted(finds),
                         sorted((index, encoding, stride, 1)
                                for index, (encoding, stride) in enumerate(planted)))

    def test_no_secret_left_in_memory(self):
        if shutil.which("gcore") is None:
            self.fail("gcore is missing (package gdb; scripts/setup installs it)")
        remove_stale_core_folders()
        master = random_letters(24)
        passwords = [random_letters(20) for _ in range(ENTRY_COUNT)]
        self.sites = [random_letters(16) for _ in range(ENTRY_COUNT)]
        entries = [{"siteName": site, "url": f"https://{site.lower()}.example/",
                    "userName": "user", "password": password}
                   for site, password in zip(self.sites, passwords)]
        shown, replaced, row_copied, tray_copied, web_copied = 1, 2, 3, 0, 4
        self.secrets = {"the master password": master,
                        "the mistyped master password": random_letters(24),
                        "the new password of an edited entry": random_letters(20),
                        "a shown password": passwords[shown],
                        "a replaced password": passwords[replaced],
                        "a password copied from the list": passwords[row_copied],
                        "a password copied from the tray": passwords[tray_copied],
                        "a password copied by Go to Web Page": passwords[web_copied]}
        special = {shown, replaced, row_copied, tray_copied, web_copied}
        for index, password in enumerate(passwords):
            if index not in special:
                self.secrets[f"password {index}, never used"] = password
        generated_site = random_letters(16)

        with harness.Session(ARGS.program, ARGS.cli) as session, \
                tempfile.TemporaryDirectory(prefix=CORE_FOLDER_PREFIX) as cores:
            self.session, self.cores = session, cores
            session.write_password_file(master, entries)
            os.makedirs(os.path.dirname(session.settings_file), exist_ok=True)
            with open(session.settings_file, "w", encoding="utf-8") as settings:
                settings.write("[General]\nCopyToClipboard=1\nLockProgram=0\n")
            session.install_web_recorder()
            self.app, self.window = session.launch()

            # A mistyped, then the right master password.
            self.unlock(self.secrets["the mistyped master password"])
            session.dismiss_dialog(session.wait_for_dialog("Error", pid=self.app.pid))
            self.unlock(master)
            self.expect_no_dialog()
            self.check_unlocked_and_after_lock("a mistyped and the right master password")

            # A password shown in the editor, then Cancel.
            self.unlock(master)
            editor = self.open_editor(shown)
            hidden = session.capture(editor).crop(*EDITOR_PASSWORD_FIELD)
            session.click(editor, *HIDE_PASSWORD_BOX)
            session.wait_until_settled(editor)
            self.assertNotEqual(session.capture(editor).crop(*EDITOR_PASSWORD_FIELD), hidden,
                                "the password did not show when Hide password was unticked")
            session.key("Escape")
            session.wait_window_gone(editor)
            self.expect_no_dialog()
            self.check_unlocked_and_after_lock("editor shown and cancelled")

            # A password edited and saved; a generated password saved.
            self.unlock(master)
            editor = self.open_editor(replaced)
            session.key("Tab", "Tab", "Tab", "ctrl+a")  # site, user, address, password
            session.type_text(self.secrets["the new password of an edited entry"])
            session.key("Return")
            session.wait_window_gone(editor)
            session.activate(self.window)
            session.key("ctrl+n")
            editor = session.wait_for_window("Add New Password", pid=self.app.pid)
            session.activate(editor)
            session.type_text(generated_site)
            session.click(editor, *GENERATE_BUTTON)
            session.wait_until_settled(editor)
            session.click(editor, *OK_BUTTON)
            session.wait_window_gone(editor)
            self.expect_no_dialog()
            saved = {entry["siteName"]: entry["password"] for entry in self.exported(master)}
            self.assertTrue(saved[self.sites[replaced]] ==
                            self.secrets["the new password of an edited entry"],
                            "the edited password was not saved")
            self.secrets["a generated password"] = saved[generated_site]
            del saved
            self.check_unlocked_and_after_lock("edited and generated passwords saved")

            # Copied from the list's menu, from the tray menu and by Go to Web Page.
            self.unlock(master)
            before = session.find_windows(pid=self.app.pid)
            session.click(self.window, *row_point(row_copied), button=3)
            session.wait_for_popup(self.app.pid, before, "the list's menu")
            session.key("Down", "Down", "Return")  # Copy password
            self.wait_clipboard(passwords[row_copied], "the password copied from the list")
            self.check_memory("a password on the clipboard", True,
                              allowed=["a password copied from the list"])
            self.wait_erased()
            self.check_memory("copied from the list, erased, unlocked", True)

            icon = session.tray_icon(self.app.pid)
            _, _, width, height = session.geometry(icon)
            before = session.find_windows(pid=self.app.pid)
            session.click(icon, width // 2, height // 2, button=3)
            session.wait_for_popup(self.app.pid, before, "the tray menu")
            session.key("Down", "Return")  # the first entry
            self.wait_clipboard(passwords[tray_copied], "the password copied from the tray")
            self.wait_erased()
            self.check_memory("copied from the tray, erased, unlocked", True)

            session.activate(self.window)
            session.click(self.window, *row_point(web_copied))
            session.click(self.window, *MainWindow.TOOL_BUTTONS["Go to Web Page"])
            opened = harness.wait_until(session.web_recordings, what="the web handler")
            self.assertEqual(opened[0]["arguments"], [entries[web_copied]["url"]])
            self.wait_erased()
            self.expect_no_dialog()
            self.check_memory("copied by Go to Web Page, erased, unlocked", True)
            self.lock()
            self.check_memory("copied three ways, after Lock", False)

            session.click(self.window, *MainWindow.TOOL_BUTTONS["Exit"])
            self.assertEqual(self.app.wait(), 0)

        print("\n" + "\n".join(self.report))
        sys.stdout.flush()
        if self.failures:
            self.fail("secrets left in memory:\n" + "\n".join(self.failures))


if __name__ == "__main__":
    harness.require_display_tools()
    ARGS, argv = harness.parse_arguments(__doc__)
    unittest.main(argv=argv, verbosity=2)
