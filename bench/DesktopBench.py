#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Corvella developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Start-up time, memory and unlock time of the desktop program against plain Qt references, on a
private X server (Xvfb + openbox) that this script starts and stops.

  DesktopBench.py --build BUILD_DIR --out RESULT.json [--startup-rounds N] [--rss-pairs N]
                  [--unlock-rounds N] [--load-floor-ms MS] [--entry-pairs-100k N]
                  [--entry-pairs-1m N]

Every start gets fresh HOME and XDG folders, so the one-copy check never sees an earlier copy.
The password files hold the benchmark entries of bench/TenThousandEntries.h, written by
bench_make_vault. The master password is typed into the window with xdotool; Return is pressed by
bench_paint_watch, which also times the drawing that follows (see unlock below).

startup: from just before exec until the main window is mapped, against a plain Qt window of
the same size (bench_bare_window). bench_map_watch reports the window manager mapping a top-level
frame (which makes the client window viewable); the time is taken when that report is read, and
the process is stopped there (SIGSTOP) so that its CPU time, reported alongside, ends at the same
moment. The title is then checked with xdotool and the process killed. Ours is timed twice per
round: on a usual start, with its options and its password file in place (the unlock panel
shows), and on a first start, with neither (it writes the missing options and shows the creation
panel). One unmeasured round warms the file cache; then ours and the reference alternate.

rss: VmRSS 3 s after the resident size has settled: ours after unlocking a file of 10,000
entries, the reference holding 10,000 list rows. Ours and the reference alternate.

unlock: a fresh process per round, timed from the Return key on the unlock panel until the
window has been drawn with the list, once with 10,000 entries and once with an empty password
file (the reference, to which the load floor of the store benchmark, --load-floor-ms, is added).
bench_paint_watch watches the program's client window with the X DAMAGE extension, which reports
every rectangle drawn into it, waits until nothing larger than a text cursor has been drawn for
QUIET_MS, presses Return through XTEST and takes the arrival of the last such drawing before the
window is quiet again for QUIET_MS. The program paints its unlocked window (the rows among it) in
one flush after the load, so that drawing is the rows on screen; nothing inside the program is
hooked. A message box (wrong password, unreadable file) fails the run. One unmeasured round warms
the file cache; then the two alternate.

entry bytes: (VmRSS unlocked with N entries - VmRSS with the unlock panel shown, before the
password is typed) / N, against the leanest plain Qt list, a QListView over a QStringListModel,
in the same window (bench_bare_window
--rows-on-return N: VmRSS after Return has filled it with the N site names - VmRSS while it is
empty), for N = 100,000 and 1,000,000. Each VmRSS is read once the drawing after Return is over
and the size has settled. Ours and the reference alternate.
"""

import argparse
import contextlib
import json
import os
import select
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

OUR_TITLE = "Corvella 1.0"
BARE_TITLE = "Bare Window"
MASTER_PASSWORD = "correct horse battery"
ENTRIES = 10_000
QUIET_MS = 300


def stop(process):
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


class PrivateDisplay:
    """Xvfb on a free display number, a map watcher on its root window, and openbox."""

    def __init__(self, watcher):
        self.home = tempfile.mkdtemp(prefix="corvella-xbench-")
        self.processes = []
        self.pending = ""
        try:
            self.display = self.start_server()
            self.watcher = self.spawn([watcher], stdout=subprocess.PIPE)
            self.events = self.watcher.stdout.fileno()
            self.expect("ready", 10)
            self.spawn(["openbox"])
            self.expect("wm", 10)
        except BaseException:
            self.close()
            raise

    def start_server(self):
        read_end, write_end = os.pipe()
        self.processes.append(subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
             "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb", buffering=0) as pipe:
            while not number.endswith(b"\n"):
                ready, _, _ = select.select([pipe], [], [], 10)
                chunk = pipe.read(16) if ready else b""
                if not chunk:
                    raise RuntimeError("Xvfb did not start")
                number += chunk
        return ":" + number.decode().strip()

    def env(self, home):
        return {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "DISPLAY": self.display,
            "HOME": home,
            "LANG": "C.UTF-8",
            "XDG_CONFIG_HOME": os.path.join(home, "config"),
            "XDG_DATA_HOME": os.path.join(home, "data"),
            "XDG_CACHE_HOME": os.path.join(home, "cache"),
            "XDG_RUNTIME_DIR": os.path.join(home, "runtime"),
            "QT_QPA_PLATFORM": "xcb",
        }

    def spawn(self, command, stdout=subprocess.DEVNULL):
        process = subprocess.Popen(command, env=self.env(self.home), stdout=stdout,
                                   stderr=subprocess.DEVNULL)
        self.processes.append(process)
        return process

    def run(self, *command):
        return subprocess.run(command, env=self.env(self.home), stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, text=True)

    def next_line(self, deadline):
        """The next line of the watcher and the time it was read, or (None, None)."""
        while "\n" not in self.pending:
            remaining = max(0.0, deadline - time.monotonic())
            ready, _, _ = select.select([self.events], [], [], remaining)
            if not ready:
                return None, None
            chunk = os.read(self.events, 4096)
            if not chunk:
                raise RuntimeError("the map watcher ended")
            self.pending += chunk.decode()
        line, self.pending = self.pending.split("\n", 1)
        return line, time.monotonic()

    def expect(self, wanted, timeout):
        deadline = time.monotonic() + timeout
        while True:
            line, _ = self.next_line(deadline)
            if line is None:
                raise RuntimeError(f"no '{wanted}' from the map watcher")
            if line == wanted:
                return

    def drain(self):
        """Forgets what the watcher reported so far."""
        while self.next_line(time.monotonic())[0] is not None:
            pass

    def next_map(self, deadline):
        """When the next top-level window was seen mapped, or None at the deadline."""
        while True:
            line, seen = self.next_line(deadline)
            if line is None or line.startswith("map "):
                return seen

    def visible_windows(self, title):
        found = self.run("xdotool", "search", "--onlyvisible", "--name", f"^{title}$").stdout
        return found.split()

    def wait_mapped(self, title, process, timeout=30, freeze=False):
        """When the window named `title` became viewable. With `freeze` the process is stopped
        at that moment and left stopped."""
        deadline = time.monotonic() + timeout
        while True:
            mapped = self.next_map(deadline)
            if mapped is None or process.poll() is not None:
                raise RuntimeError(f"no window '{title}' (exit status {process.poll()})")
            if freeze:
                os.kill(process.pid, signal.SIGSTOP)
            if self.visible_windows(title):
                return mapped
            if freeze:
                os.kill(process.pid, signal.SIGCONT)

    def close(self):
        for process in reversed(self.processes):
            stop(process)
        shutil.rmtree(self.home, ignore_errors=True)


class Session:
    """Fresh HOME and XDG folders for one start of a program; with `vault`, also the options
    and the password file of a program that has run before."""

    def __init__(self, display, vault=None):
        self.root = tempfile.mkdtemp(prefix="corvella-xrun-")
        for folder in ("config", "data", "cache", "runtime"):
            os.mkdir(os.path.join(self.root, folder), 0o700)
        if vault is not None:
            for folder in ("config", "data"):
                os.mkdir(os.path.join(self.root, folder, "Corvella"), 0o700)
            with open(os.path.join(self.root, "config", "Corvella", "Corvella.conf"), "w") as f:
                f.write("[General]\nCopyToClipboard=1\nLockProgram=1\nLockTime=10\n")
            shutil.copy(vault, os.path.join(self.root, "data", "Corvella", "Passwords.dat"))
        self.env = display.env(self.root)

    def close(self):
        shutil.rmtree(self.root, ignore_errors=True)


@contextlib.contextmanager
def started(display, command, vault=None):
    """Starts `command` in a new Session and yields the process and the moment just before its
    exec; afterwards kills it and removes the session."""
    session = Session(display, vault)
    try:
        display.drain()
        start = time.monotonic()
        process = subprocess.Popen(command, env=session.env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        try:
            yield process, start
        finally:
            process.kill()  # also ends a stopped process
            process.wait()
    finally:
        session.close()


def time_startup(display, command, title, vault=None):
    """Milliseconds from exec until mapped, and the CPU milliseconds spent until then."""
    with started(display, command, vault) as (process, start):
        mapped = display.wait_mapped(title, process, freeze=True)
        process.kill()
        _, _, usage = os.wait4(process.pid, 0)
        process.returncode = -signal.SIGKILL
        return (mapped - start) * 1000, (usage.ru_utime + usage.ru_stime) * 1000


def rss_kb(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise RuntimeError("no VmRSS")


def wait_settled(process, timeout=30, window=0.5, tolerance_kb=64):
    """Waits until VmRSS has changed by at most `tolerance_kb` over `window` seconds."""
    samples = []
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if process.poll() is not None:
            raise RuntimeError(f"the program ended (exit status {process.returncode})")
        now = time.monotonic()
        samples.append((now, rss_kb(process.pid)))
        samples = [sample for sample in samples if sample[0] >= now - window]
        values = [sample[1] for sample in samples]
        if now - samples[0][0] >= window * 0.9 and max(values) - min(values) <= tolerance_kb:
            return values[-1]
        time.sleep(0.05)
    raise RuntimeError("the resident size did not settle")


def press_return(display, tools, window):
    """Presses Return in `window` once it is quiet; the milliseconds until its drawing ended."""
    watched = subprocess.run(
        [tools.paint_watch, window, "--quiet-ms", str(QUIET_MS)], env=display.env(display.home),
        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if watched.returncode != 0:
        raise RuntimeError(watched.stderr.strip() or "bench_paint_watch failed")
    return float(watched.stdout.split()[1])


def unlock(display, tools, window):
    """Types the master password into our `window` and presses Return; the milliseconds from
    Return until the window was drawn."""
    display.run("xdotool", "windowactivate", "--sync", window)
    display.run("xdotool", "type", "--delay", "0", MASTER_PASSWORD)
    painted = press_return(display, tools, window)
    # A message box (wrong password, missing or unreadable file) would be a new window.
    if display.next_map(time.monotonic() + 0.05) is not None:
        raise RuntimeError("a message box came up instead of the list")
    return painted


def unlocked_growth(display, tools, process, window):
    """The settled VmRSS of ours before and after the unlock, in kB."""
    locked = wait_settled(process)
    unlock(display, tools, window)
    unlocked = wait_settled(process)
    if unlocked - locked < 512:
        raise RuntimeError(f"no sign of the unlock: {locked} kB -> {unlocked} kB")
    return locked, unlocked


def rss_ours(display, tools, vault):
    with started(display, [tools.ours], vault) as (process, _):
        display.wait_mapped(OUR_TITLE, process)
        unlocked_growth(display, tools, process, display.visible_windows(OUR_TITLE)[0])
        time.sleep(3)
        return rss_kb(process.pid)


def rss_bare(display, tools):
    with started(display, [tools.bare, "--rows", str(ENTRIES)]) as (process, _):
        display.wait_mapped(BARE_TITLE, process)
        wait_settled(process)
        time.sleep(3)
        return rss_kb(process.pid)


def time_unlock(display, tools, vault):
    """Milliseconds from Return on the unlock panel of a fresh start until the list is drawn."""
    with started(display, [tools.ours], vault) as (process, _):
        display.wait_mapped(OUR_TITLE, process)
        return unlock(display, tools, display.visible_windows(OUR_TITLE)[0])


def entry_bytes_ours(display, tools, vault, count):
    with started(display, [tools.ours], vault) as (process, _):
        display.wait_mapped(OUR_TITLE, process)
        locked, unlocked = unlocked_growth(
            display, tools, process, display.visible_windows(OUR_TITLE)[0])
        return (unlocked - locked) * 1024 / count


def entry_bytes_bare(display, tools, count):
    with started(display, [tools.bare, "--rows-on-return", str(count)]) as (process, _):
        display.wait_mapped(BARE_TITLE, process)
        window = display.visible_windows(BARE_TITLE)[0]
        empty = wait_settled(process)
        display.run("xdotool", "windowactivate", "--sync", window)
        press_return(display, tools, window)
        full = wait_settled(process)
        return (full - empty) * 1024 / count


class Tools:
    def __init__(self, build):
        self.ours = os.path.join(build, "app", "corvella")
        self.bare = os.path.join(build, "bench", "bench_bare_window")
        self.map_watch = os.path.join(build, "bench", "bench_map_watch")
        self.paint_watch = os.path.join(build, "bench", "bench_paint_watch")
        self.make_vault = os.path.join(build, "bench", "bench_make_vault")


def make_vault(tools, folder, count):
    """A password file of `count` benchmark entries under MASTER_PASSWORD."""
    path = os.path.join(folder, f"Passwords-{count}.dat")
    subprocess.run([tools.make_vault, str(count), path], check=True)
    return path


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True, help="the release build folder")
    parser.add_argument("--out", required=True)
    parser.add_argument("--startup-rounds", type=int, default=21)
    parser.add_argument("--rss-pairs", type=int, default=3)
    parser.add_argument("--unlock-rounds", type=int, default=15)
    parser.add_argument("--load-floor-ms", type=float,
                        help="the store's load floor of 10,000 entries (CPU ms)")
    parser.add_argument("--entry-pairs-100k", type=int, default=3)
    parser.add_argument("--entry-pairs-1m", type=int, default=2)
    args = parser.parse_args()
    tools = Tools(args.build)
    if args.load_floor_ms is None:
        print("unlock: no load floor given, 0 ms used", flush=True)
        args.load_floor_ms = 0.0

    work = tempfile.mkdtemp(prefix="corvella-xbench-vault-")
    display = PrivateDisplay(tools.map_watch)
    try:
        vault = make_vault(tools, work, ENTRIES)
        starts = {"ours": [], "ours_first": [], "bare": []}
        cpu = {key: [] for key in starts}
        for round_ in range(args.startup_rounds + 1):
            timed = {
                "ours": time_startup(display, [tools.ours], OUR_TITLE, vault),
                "bare": time_startup(display, [tools.bare], BARE_TITLE),
                "ours_first": time_startup(display, [tools.ours], OUR_TITLE),
            }
            if round_ == 0:
                continue
            for key, (wall, spent) in timed.items():
                starts[key].append(wall)
                cpu[key].append(spent)
            print(f"startup {round_}: " + ", ".join(
                f"{key} {wall:.1f} ms (CPU {spent:.0f} ms)" for key, (wall, spent) in timed.items()),
                flush=True)

        our_rss, bare_rss = [], []
        for pair in range(1, args.rss_pairs + 1):
            our_rss.append(rss_ours(display, tools, vault))
            bare_rss.append(rss_bare(display, tools))
            print(f"rss {pair}: ours {our_rss[-1]} kB, bare {bare_rss[-1]} kB", flush=True)

        began = time.monotonic()
        empty_vault = make_vault(tools, work, 0)
        unlocks = {"10k": [], "empty": []}
        for round_ in range(args.unlock_rounds + 1):
            timed = {"10k": time_unlock(display, tools, vault),
                     "empty": time_unlock(display, tools, empty_vault)}
            if round_ == 0:
                continue
            for key, value in timed.items():
                unlocks[key].append(value)
            print(f"unlock {round_}: 10,000 entries {timed['10k']:.1f} ms, "
                  f"empty {timed['empty']:.1f} ms", flush=True)
        print(f"unlock rounds took {time.monotonic() - began:.0f} s", flush=True)

        entry_bytes = {}
        for name, count, pairs in (("100k", 100_000, args.entry_pairs_100k),
                                   ("1m", 1_000_000, args.entry_pairs_1m)):
            began = time.monotonic()
            big_vault = make_vault(tools, work, count)
            ours, bare = [], []
            for pair in range(1, pairs + 1):
                ours.append(entry_bytes_ours(display, tools, big_vault, count))
                bare.append(entry_bytes_bare(display, tools, count))
                print(f"entry bytes {name} {pair}: ours {ours[-1]:.0f}, bare {bare[-1]:.0f}",
                      flush=True)
            os.remove(big_vault)
            entry_bytes[name] = (statistics.median(ours), statistics.median(bare))
            print(f"entry bytes {name} took {time.monotonic() - began:.0f} s", flush=True)
    finally:
        display.close()
        shutil.rmtree(work, ignore_errors=True)

    result = {f"startup_{key}_ms": statistics.median(values) for key, values in starts.items()}
    result.update(
        {f"startup_{key}_cpu_ms": statistics.median(values) for key, values in cpu.items()})
    result["rss_ours_kb"] = statistics.median(our_rss)
    result["rss_bare_kb"] = statistics.median(bare_rss)
    result["unlock_10k_ms"] = statistics.median(unlocks["10k"])
    result["unlock_empty_ms"] = statistics.median(unlocks["empty"])
    result["load_floor_ms"] = args.load_floor_ms
    result["unlock_10k_ratio"] = result["unlock_10k_ms"] / (
        result["unlock_empty_ms"] + args.load_floor_ms)
    for name, (ours, bare) in entry_bytes.items():
        result[f"entry_bytes_{name}_ours"] = ours
        result[f"entry_bytes_{name}_bare"] = bare
        result[f"entry_bytes_{name}_ratio"] = ours / bare
    print("startup median: " + ", ".join(
        f"{key} {result[f'startup_{key}_ms']:.1f} ms (CPU {result[f'startup_{key}_cpu_ms']:.0f} ms)"
        for key in starts))
    print(f"rss median: ours {result['rss_ours_kb']} kB, bare {result['rss_bare_kb']} kB")
    print(f"unlock median: 10,000 entries {result['unlock_10k_ms']:.1f} ms, empty "
          f"{result['unlock_empty_ms']:.1f} ms + load floor {args.load_floor_ms:.1f} ms")
    print("bytes per entry (median): " + ", ".join(
        f"{name} ours {ours:.0f}, bare {bare:.0f}" for name, (ours, bare) in entry_bytes.items()))
    with open(args.out, "w") as out:
        json.dump(result, out)


if __name__ == "__main__":
    # A TERM (e.g. from timeout) still runs the finally blocks that stop Xvfb and openbox.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    main()
