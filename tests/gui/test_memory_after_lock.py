#!/usr/bin/python3
"""No password of the file stays in the program's memory once it is locked: a core image of the
real program (gcore), taken after unlocking 200 entries, copying the first one's password and
pressing Lock, holds none of the other 199, neither as UTF-8 nor as UTF-16LE.

The passwords live only in this process; they are never printed and never written to disk (the
file is made by corvella-cli from standard input). The core images are deleted at once.

Usage: test_memory_after_lock.py --program CORVELLA --cli CORVELLA_CLI [unittest arguments]
"""
import glob
import mmap
import os
import re
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
ENCODINGS = ("utf-8", "utf-16-le")
CORE_FOLDER_PREFIX = "corvella-core-"
STALE_AFTER_S = 3600


def random_letters(count):
    return "".join(secrets.choice(string.ascii_letters) for _ in range(count))


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


def count_in_core(path, needles):
    """{(needle, encoding): occurrences} for letter-only needles: every run of letters in the
    core, as single bytes or as UTF-16LE code units, is searched for them."""
    lengths = sorted({len(needle) for needle in needles})
    wanted = set(needles)
    counts = {(needle, encoding): 0 for needle in needles for encoding in ENCODINGS}
    runs = {"utf-8": re.compile(rb"[A-Za-z]{%d,}" % lengths[0]),
            "utf-16-le": re.compile(rb"(?:[A-Za-z]\x00){%d,}" % lengths[0])}
    with open(path, "rb") as core, mmap.mmap(core.fileno(), 0, access=mmap.ACCESS_READ) as data:
        for encoding, pattern in runs.items():
            for match in pattern.finditer(data):
                run = match.group().decode(encoding)
                for length in lengths:
                    for start in range(len(run) - length + 1):
                        piece = run[start:start + length]
                        if piece in wanted:
                            counts[(piece, encoding)] += 1
    return counts


class MemoryAfterLockTest(unittest.TestCase):

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

    def scan(self, pid, folder, needles):
        path = self.take_core(pid, folder)
        try:
            size = os.path.getsize(path)
            return count_in_core(path, needles), size
        finally:
            os.remove(path)

    def test_no_password_in_memory_after_lock(self):
        if shutil.which("gcore") is None:
            self.fail("gcore is missing (package gdb; scripts/setup installs it)")
        remove_stale_core_folders()
        master = random_letters(24)
        passwords = [random_letters(20) for _ in range(ENTRY_COUNT)]
        sites = [random_letters(16) for _ in range(ENTRY_COUNT)]
        entries = [{"siteName": site, "url": f"https://{site.lower()}.example/",
                    "userName": "user", "password": password}
                   for site, password in zip(sites, passwords)]
        with harness.Session(ARGS.program, ARGS.cli) as session, \
                tempfile.TemporaryDirectory(prefix=CORE_FOLDER_PREFIX) as cores:
            session.write_password_file(master, entries)
            app, window = session.launch()
            session.activate(window)
            session.type_text(master)
            session.key("Return")
            session.wait_until_settled(window)
            self.assertEqual(session.find_dialogs(pid=app.pid), {})

            needles = passwords + sites + [master]
            unlocked, unlocked_size = self.scan(app.pid, cores, needles)
            # Copy password on the first row: that one password is decrypted and goes to the
            # clipboard; the others must still never appear.
            session.click(window, *MainWindow.page(60, 10), button=3)
            time.sleep(1)
            session.key("Down", "Down", "Return")
            harness.wait_until(lambda: session.clipboard() == passwords[0],
                               what="the copied password on the clipboard")
            session.click(window, *MainWindow.TOOL_BUTTONS["Lock"])
            session.wait_until_settled(window)
            time.sleep(1)
            locked, locked_size = self.scan(app.pid, cores, needles)

            session.click(window, *MainWindow.TOOL_BUTTONS["Exit"])
            self.assertEqual(app.wait(), 0)

        def found(counts, words, encoding):
            return sum(1 for word in words if counts[(word, encoding)] > 0)

        print(f"\ncore images: {unlocked_size >> 20} MiB unlocked, {locked_size >> 20} MiB "
              "after Lock")
        for label, counts in (("unlocked", unlocked), ("after Lock", locked)):
            print(f"{label}: master password occurrences UTF-8 {counts[(master, 'utf-8')]}, "
                  f"UTF-16LE {counts[(master, 'utf-16-le')]}; entries whose password occurs "
                  f"UTF-8 {found(counts, passwords, 'utf-8')}, "
                  f"UTF-16LE {found(counts, passwords, 'utf-16-le')}; site names found "
                  f"UTF-8 {found(counts, sites, 'utf-8')}, "
                  f"UTF-16LE {found(counts, sites, 'utf-16-le')} (of {ENTRY_COUNT} each)")
        sys.stdout.flush()

        for encoding in ENCODINGS:
            # The search sees the program's heap in both encodings: the entries hold the site
            # names as bytes and the list rows as UTF-16 text.
            self.assertEqual(found(unlocked, sites, encoding), ENTRY_COUNT,
                             f"site names of the unlocked list missing from the core ({encoding})")
            self.assertEqual(found(locked, passwords[1:], encoding), 0,
                             f"passwords never copied in memory after Lock ({encoding})")
            self.assertEqual(found(unlocked, passwords, encoding), 0,
                             f"plaintext passwords in memory while unlocked ({encoding})")

if __name__ == "__main__":
    harness.require_display_tools()
    ARGS, argv = harness.parse_arguments(__doc__)
    unittest.main(argv=argv, verbosity=2)
