#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Corvella developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""End-to-end tests of corvella-cli against vaults of the independent reference model.

Usage: test_cli.py CORVELLA_CLI VAULTREF_PY [unittest arguments]
"""
import csv
import fcntl
import io
import json
import os
import pty
import random
import re
import select
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import termios
import time
import unittest

CLI = ""
VAULTREF = ""
FIELDS = ("siteName", "url", "userName", "password")
HORSE = "correct horse"
UNDEFINED_CP1252 = {0x81, 0x8D, 0x8F, 0x90, 0x9D}

# Entries in the reference model's JSON form: texts, or {"hex": ...} for stored bytes that are
# not UTF-8 (files made on Windows).
ENTRIES = [
    {"siteName": "Mail", "url": "https://mail.example.org/login",
     "userName": "alice@example.org", "password": "Tr0ub4dor&3"},
    {},
    {"siteName": "End", "url": "SiteName", "userName": "Password", "password": "UserName"},
    {"siteName": "Café Zürich 東京", "url": "https://例え.jp/päth", "userName": "józef",
     "password": "pässwörd€🔑"},
    {"siteName": {"hex": "8190"}, "url": {"hex": "68747470733a2f2f772e6578616d706c652f80"},
     "userName": {"hex": "7573006572e9"}, "password": {"hex": "70e4737377f6726480"}},
    {"siteName": 'Quote " back\\slash, comma', "url": "line\nbreak\r\nand\rcr",
     "userName": "  tab\there \x1b[31m\x7f ", "password": "zero\x00byte\r\u2028 end"},
]


def stored(value):
    return value.encode() if isinstance(value, str) else bytes.fromhex(value["hex"])


def shown(raw):
    """Stored bytes as text: UTF-8 when valid, else Windows-1252 with its five undefined bytes
    taken as the C1 controls of the same number."""
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError:
        return "".join(chr(b) if b in UNDEFINED_CP1252 else bytes([b]).decode("cp1252")
                       for b in raw)


def shown_entries(entries):
    return [{f: shown(stored(e.get(f, ""))) for f in FIELDS} for e in entries]


def listed(text):
    """A field as `list` shows it: tab, LF, CR and backslash as two-character escapes, every
    other C0 control, DEL and C1 control as \\xHH."""
    named = {"\t": "\\t", "\n": "\\n", "\r": "\\r", "\\": "\\\\"}
    return "".join(named.get(c) or ("\\x%02x" % ord(c) if ord(c) < 0x20 or 0x7F <= ord(c) <= 0x9F
                                    else c) for c in text)


def leftovers(folder, name):
    """What saves of the file `name` in `folder` left there: its lock file and temporary files."""
    return sorted(n for n in os.listdir(folder)
                  if n == name + ".lock" or re.fullmatch(r"\.%s\.[A-Za-z0-9]{6}\.tmp" % re.escape(name), n))


def held_lock(vault):
    """Takes the lock of `vault` as another program that has it open does; close() lets go."""
    lock = open(vault + ".lock", "ab")
    fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    return lock


def csv_bytes(rows):
    out = io.StringIO()
    csv.writer(out, lineterminator="\r\n").writerows(rows)
    return out.getvalue().encode()


class CliTestCase(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="corvella-cli-")
        self.addCleanup(shutil.rmtree, self.dir)
        self.env = dict(os.environ, HOME=self.dir, XDG_DATA_HOME=self.path("data"),
                        XDG_CONFIG_HOME=self.path("config"))

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def cli(self, *args, password=HORSE, stdin=b"", umask=0o022):
        """Runs the tool with the password on standard input (None: no --password-stdin)."""
        if password is not None:
            line = password if isinstance(password, bytes) else password.encode()
            args, stdin = args + ("--password-stdin",), line + b"\n" + stdin
        return subprocess.run((CLI,) + args, input=stdin, capture_output=True, env=self.env,
                              cwd=self.dir, timeout=60, umask=umask)

    def write_vault(self, path, entries, password=HORSE):
        subprocess.run([sys.executable, VAULTREF, "write", path, "--password-hex",
                        password.encode().hex()], input=json.dumps(entries).encode(), check=True)

    def read_vault(self, path, password):
        result = subprocess.run([sys.executable, VAULTREF, "read", path, "--password-hex",
                                 password.encode().hex()], capture_output=True, check=True)
        return [{f: stored(e[f]) for f in FIELDS} for e in json.loads(result.stdout)]

    def assertSucceeds(self, result):
        self.assertEqual(result.returncode, 0, result.stderr.decode(errors="replace"))
        self.assertEqual(result.stderr, b"")

    def assertFails(self, result, *fragments):
        """Exit 1, nothing on standard output, one line on standard error holding every fragment."""
        message = result.stderr.decode(errors="replace")
        self.assertEqual(result.returncode, 1, message)
        self.assertEqual(result.stdout, b"")
        self.assertEqual(message.count("\n"), 1, message)
        self.assertTrue(message.endswith("\n"), message)
        for fragment in fragments:
            self.assertIn(fragment, message)


class ExportTest(CliTestCase):
    def setUp(self):
        super().setUp()
        self.vault = self.path("vault.dat")
        self.write_vault(self.vault, ENTRIES)
        with open(self.vault, "rb") as f:
            before = f.read()
        before_stat = os.stat(self.vault)

        def unchanged():
            with open(self.vault, "rb") as f:
                self.assertEqual(f.read(), before)
            self.assertEqual(os.stat(self.vault).st_mtime_ns, before_stat.st_mtime_ns)
        self.addCleanup(unchanged)

    def test_json_holds_every_entry_in_order_with_escapes(self):
        result = self.cli("export", "--file", self.vault)
        self.assertSucceeds(result)
        objects = json.loads(result.stdout.decode("utf-8"), object_pairs_hook=lambda p: p)
        self.assertEqual([[key for key, _ in o] for o in objects], [list(FIELDS)] * len(ENTRIES))
        self.assertEqual([dict(o) for o in objects], shown_entries(ENTRIES))
        self.assertIsNone(re.search(rb"[\x00-\x09\x0b-\x1f]", result.stdout))
        self.assertIn(b'"zero\\u0000byte', result.stdout)
        self.assertIn(b'"us\\u0000er\xc3\xa9"', result.stdout)

    def test_csv_is_rfc4180_with_crlf(self):
        result = self.cli("export", "--format", "csv", "--file", self.vault)
        self.assertSucceeds(result)
        rows = [list(FIELDS)] + [[e[f] for f in FIELDS] for e in shown_entries(ENTRIES)]
        self.assertEqual(result.stdout, csv_bytes(rows))
        parsed = csv.reader(io.StringIO(result.stdout.decode("utf-8"), newline=""), strict=True)
        self.assertEqual(list(parsed), rows)

    def test_list_shows_site_user_and_address_with_controls_escaped(self):
        result = self.cli("list", "--file", self.vault)
        self.assertSucceeds(result)
        lines = ["\t".join(listed(e[f]) for f in ("siteName", "userName", "url")) + "\n"
                 for e in shown_entries(ENTRIES)]
        text = result.stdout.decode("utf-8")
        self.assertEqual(text, "".join(lines))
        # Nothing reaches the terminal that could act on it: ESC, DEL, C1 (from a Windows file).
        self.assertIsNone(re.search("[\x00-\x08\x0b-\x1f\x7f-\x9f]", text))
        self.assertIn("\\x1b[31m\\x7f", text)
        self.assertIn("\\x81\\x90", text)

    def test_empty_vault(self):
        self.write_vault(self.path("empty.dat"), [])
        for args, expected in [(("list",), b""), (("export",), b"[]\n"),
                               (("export", "--format", "csv"), b"siteName,url,userName,password\r\n")]:
            with self.subTest(args=args):
                result = self.cli(*args, "--file", self.path("empty.dat"))
                self.assertSucceeds(result)
                self.assertEqual(result.stdout, expected)

    def test_default_file_is_in_the_user_data_folder(self):
        os.makedirs(self.path("data", "Corvella"))
        shutil.copy(self.vault, self.path("data", "Corvella", "Passwords.dat"))
        result = self.cli("list")
        self.assertSucceeds(result)
        self.assertTrue(result.stdout.startswith(b"Mail\talice@example.org\thttps://"))


class LargeExportTest(CliTestCase):
    """Exports many times longer than the tool's output buffer of 64 KiB."""

    def setUp(self):
        super().setUp()
        self.vault = self.path("large.dat")
        self.entries = [dict(e, siteName="%d %s" % (i, shown(stored(e.get("siteName", "")))))
                        for i, e in enumerate(ENTRIES * 600)]
        self.write_vault(self.vault, self.entries)

    def test_export_is_the_whole_document_byte_for_byte(self):
        texts = shown_entries(self.entries)
        rows = [list(FIELDS)] + [[e[f] for f in FIELDS] for e in texts]
        # Two-space indents, keys in order, only what JSON needs escaped (\u00xx in lower case).
        document = (json.dumps(texts, indent=2, ensure_ascii=False) + "\n").encode()
        for fmt, expected in [("json", document), ("csv", csv_bytes(rows))]:
            with self.subTest(fmt):
                self.assertGreater(len(expected), 3 * 65536)
                result = self.cli("export", "--format", fmt, "--file", self.vault)
                self.assertSucceeds(result)
                self.assertEqual(result.stdout, expected)

    def test_damage_after_many_entries_exports_nothing(self):
        # The last record is cut short; every record before it is whole.
        with open(self.vault, "r+b") as f:
            f.truncate(os.path.getsize(self.vault) - 20)
        for fmt in ("json", "csv"):
            with self.subTest(fmt):
                self.assertFails(self.cli("export", "--format", fmt, "--file", self.vault),
                                 "The password file %s is damaged" % self.vault)


class FixtureTest(CliTestCase):
    """The fixture vaults of `vaultref.py vectors`, opened with the password as typed (UTF-8)."""

    def test_every_fixture_exports_or_is_damaged(self):
        vectors = self.path("vectors")
        subprocess.run([sys.executable, VAULTREF, "vectors", vectors], check=True)
        with open(os.path.join(vectors, "vectors_index.txt")) as f:
            index = [line.split() for line in f if line.strip()]
        self.assertIn("vault_cp1252.dat", [row[0] for row in index])
        for name, password_hex, expected_json, outcome in index:
            typed = bytes.fromhex(password_hex).decode("cp1252")
            vault = os.path.join(vectors, name)
            with self.subTest(vault=name, typed=typed):
                result = self.cli("export", "--file", vault, password=typed)
                if outcome == "damaged":
                    self.assertFails(result, "damaged", vault)
                    continue
                self.assertSucceeds(result)
                with open(os.path.join(vectors, expected_json)) as f:
                    expected = shown_entries(json.load(f))
                self.assertEqual(json.loads(result.stdout), expected)
        result = self.cli("list", "--file", os.path.join(vectors, "vault_cp1252.dat"),
                          password="pässwörd€")
        self.assertSucceeds(result)
        self.assertEqual(result.stdout.decode(), "Grüße\twöu\thttps://w.example/\n")


class FailureTest(CliTestCase):
    def test_failures_name_the_cause_and_print_nothing(self):
        vault = self.path("vault.dat")
        self.write_vault(vault, ENTRIES[:2])
        os.mkdir(self.path("folder"))
        missing = self.path("no", "such.dat")
        default = self.path("data", "Corvella", "Passwords.dat")
        cases = [
            ("wrong password", ("list", "--file", vault), "correct horse ", ["Invalid master password"]),
            ("password not UTF-8", ("export", "--file", vault), b"\xff\xfe", ["Invalid master password"]),
            ("empty password", ("export", "--file", vault), "", ["Invalid master password"]),
            ("missing file", ("export", "--file", missing), HORSE, [missing, "not found"]),
            ("missing default file", ("list",), HORSE, [default, "not found"]),
            ("folder", ("list", "--file", self.path("folder")), HORSE, [self.path("folder")]),
        ]
        if os.geteuid() != 0:
            shutil.copy(vault, self.path("locked.dat"))
            os.chmod(self.path("locked.dat"), 0)
            cases.append(("unreadable", ("list", "--file", self.path("locked.dat")), HORSE,
                          [self.path("locked.dat")]))
        for name, args, password, fragments in cases:
            with self.subTest(name):
                self.assertFails(self.cli(*args, password=password), *fragments)
        with self.subTest("no password on standard input"):
            result = subprocess.run([CLI, "list", "--file", vault, "--password-stdin"],
                                    stdin=subprocess.DEVNULL, capture_output=True, env=self.env,
                                    timeout=60)
            self.assertFails(result)


class BoundedInputTest(CliTestCase):
    """Endless or special input ends in an error naming it, never in a hang or exhausted memory."""

    def setUp(self):
        super().setUp()
        self.vault = self.path("vault.dat")
        self.write_vault(self.vault, ENTRIES[:1])
        self.source = self.path("source.json")
        with open(self.source, "wb") as f:
            f.write(b"[]")
        self.target = self.path("new.dat")

    def import_from(self, source, **kwargs):
        return self.cli("import", "--format", "json", source, "--file", self.target, **kwargs)

    def test_only_regular_files_are_read(self):
        fifo, folder, device = self.path("fifo"), self.path("folder"), self.path("device")
        os.mkfifo(fifo)
        os.mkdir(folder)
        os.symlink("/dev/zero", device)
        cases = [
            ("list", fifo, "a FIFO"), ("export", fifo, "a FIFO"), ("list", device, "a device"),
            ("export", folder, "a folder"),
            ("import", fifo, "a FIFO"), ("import", device, "a device"),
            ("import", folder, "a folder"),
        ]
        for command, path, kind in cases:
            with self.subTest(command=command, path=path):
                if command == "import":
                    result = self.import_from(path, password="sixsix")
                else:
                    result = self.cli(command, "--file", path)
                self.assertFails(result, '"%s"' % path, kind, "not a regular file")
                self.assertFalse(os.path.lexists(self.target))

    def test_endless_or_oversized_input_is_too_large(self):
        # Sparse files: their size counts, their bytes are never written.
        big_document, big_vault = self.path("big.json"), self.path("big.dat")
        with open(big_document, "wb") as f:
            f.truncate(64 * 2**20 + 1)
        with open(big_vault, "wb") as f:
            f.truncate(2**32)
        endless = subprocess.Popen(["/bin/sh", "-c", 'printf "sixsix\\n"; exec cat /dev/zero'],
                                   stdout=subprocess.PIPE)
        self.addCleanup(endless.wait)
        self.addCleanup(endless.stdout.close)
        cases = [
            ("password line", ("list", "--file", self.vault, "--password-stdin"), "/dev/zero",
             ["master password", "64 KiB"]),
            ("document on standard input",
             ("import", "--format", "json", "-", "--file", self.target, "--password-stdin"),
             endless.stdout, ["standard input", "64 MiB"]),
            ("document file", ("import", "--format", "json", big_document, "--file", self.target,
                               "--password-stdin"), None, ['"%s"' % big_document, "64 MiB"]),
            ("password file", ("list", "--file", big_vault, "--password-stdin"), None,
             [big_vault, "too large"]),
        ]
        for name, args, stdin, fragments in cases:
            with self.subTest(name):
                if stdin == "/dev/zero":
                    stdin = open("/dev/zero", "rb")
                    self.addCleanup(stdin.close)
                result = subprocess.run((CLI,) + args, stdin=stdin,
                                        input=None if stdin else b"sixsix\n",
                                        capture_output=True, env=self.env, timeout=60)
                self.assertFails(result, *fragments)
                self.assertFalse(os.path.lexists(self.target))

    def test_document_of_the_largest_size_is_read(self):
        document = self.path("largest.json")
        with open(document, "wb") as f:
            f.write(b"[]")
            f.truncate(64 * 2**20)
        result = self.import_from(document, password="sixsix")
        # Read whole: the zeros after the array are what the parser rejects.
        self.assertFails(result, "unexpected text after the array")


class ImportTest(CliTestCase):
    TEXT_ENTRIES = shown_entries(ENTRIES)

    def documents(self):
        """Every entry as a JSON document (with \\u escapes) and as CSV."""
        rows = [list(FIELDS)] + [[e[f] for f in FIELDS] for e in self.TEXT_ENTRIES]
        return {"json": json.dumps(self.TEXT_ENTRIES).encode(), "csv": csv_bytes(rows)}

    def assertNothingCreated(self, target):
        self.assertFalse(os.path.lexists(target))
        if os.path.isdir(os.path.dirname(target)):
            self.assertEqual(leftovers(os.path.dirname(target), os.path.basename(target)), [])

    def test_import_writes_a_private_vault_the_reference_reads(self):
        expected = [{f: e[f].encode() for f in FIELDS} for e in self.TEXT_ENTRIES]
        for fmt, document in self.documents().items():
            with self.subTest(fmt):
                source = self.path("source." + fmt)
                with open(source, "wb") as f:
                    f.write(document)
                target = self.path("new", fmt, "vault.dat")
                self.assertSucceeds(self.cli("import", "--format", fmt, source, "--file", target,
                                             password="sixsix", umask=0))
                self.assertEqual(stat.S_IMODE(os.stat(target).st_mode), 0o600)
                self.assertEqual(os.listdir(os.path.dirname(target)), ["vault.dat"])
                self.assertEqual(self.read_vault(target, "sixsix"), expected)
                # And the tool reads back what it wrote.
                result = self.cli("export", "--file", target, password="sixsix")
                self.assertEqual(json.loads(result.stdout), self.TEXT_ENTRIES)

    def test_import_from_standard_input_and_missing_keys(self):
        blank = dict.fromkeys(FIELDS, b"")
        cases = [
            ("json", b'[{}, {"url": "only \\u00fc\\/\\b\\f"}]',
             [blank, dict(blank, url="only ü/\b\f".encode())]),
            ("csv", b"password,siteName\r\np1,s1\r\n\r\n\"\",\"\"\n",
             [dict(blank, password=b"p1", siteName=b"s1"), blank]),
            ("csv", b"\xef\xbb\xbfurl\n", []),
            ("json", b'\xef\xbb\xbf[{"url": "u"}]', [dict(blank, url=b"u")]),
        ]
        # Five characters, six bytes: long enough. A CR before the LF is not part of it.
        password = "pässw"
        for number, (fmt, document, expected) in enumerate(cases):
            with self.subTest(fmt=fmt, document=document):
                target = self.path("stdin%d.dat" % number)
                result = self.cli("import", "--format", fmt, "-", "--file", target,
                                  password=password.encode() + b"\r", stdin=document)
                self.assertSucceeds(result)
                self.assertEqual(self.read_vault(target, password), expected)

    def test_rejected_imports_create_nothing(self):
        good = b'[{"siteName": "s"}]'
        cases = [
            ("unknown key", "json", b'[{"siteName": "s", "note": "x"}]', "sixsix", ['unknown key "note"']),
            ("key twice", "json", b'[{"url": "a", "url": "b"}]', "sixsix", ['"url"', "twice"]),
            ("not a text", "json", b'[{"password": 1234}]', "sixsix", ['"password"']),
            ("not an array", "json", b'{"siteName": "s"}', "sixsix", ["array"]),
            ("cut short", "json", b'[{"siteName": "s"', "sixsix", ["line 1"]),
            ("lone surrogate", "json", b'[{"url": "\\ud83d"}]', "sixsix", ["surrogate"]),
            ("not UTF-8", "json", b'[{"url": "\xe9"}]', "sixsix", ["UTF-8"]),
            ("CSV not UTF-8", "csv", b"url\r\n\xe9\r\n", "sixsix", ["UTF-8"]),
            ("unknown column", "csv", b"siteName,notes\r\n", "sixsix", ['unknown column "notes"']),
            ("field count", "csv", b"siteName,url\r\na,b\r\nc\r\n", "sixsix", ["line 3"]),
            ("stray quote", "csv", b'url\r\na"b\r\n', "sixsix", ["line 2"]),
            ("open quote", "csv", b'url\r\n"ab\r\n', "sixsix", ["line 2", "not closed"]),
            # Refused after the logins before it have gone into the new file.
            ("late field count", "csv", b"siteName,url\r\n" + b"a,b\r\n" * 20000 + b"c\r\n",
             "sixsix", ["line 20002"]),
            ("late not a text", "json", b"[" + b'{"url": "a"},' * 20000 + b'{"url": 1}]', "sixsix",
             ['"url"']),
            ("five bytes", "json", good, "abcde", ["too short", "at least 6 characters"]),
            ("empty password", "json", good, "", ["too short"]),
        ]
        for name, fmt, document, password, fragments in cases:
            with self.subTest(name):
                source = self.path("source")
                with open(source, "wb") as f:
                    f.write(document)
                target = self.path("rejected", "vault.dat")
                result = self.cli("import", "--format", fmt, source, "--file", target,
                                  password=password)
                self.assertFails(result, *fragments)
                self.assertNothingCreated(target)
                if password:
                    self.assertNotIn(password.encode(), result.stderr)
        with self.subTest("missing source"):
            result = self.cli("import", "--format", "json", self.path("nothing.json"),
                              "--file", self.path("x.dat"), password="sixsix")
            self.assertFails(result, self.path("nothing.json"))
            self.assertNothingCreated(self.path("x.dat"))

    def test_import_never_replaces_an_existing_path(self):
        vault = self.path("vault.dat")
        self.write_vault(vault, ENTRIES[:1])
        with open(vault, "rb") as f:
            before = f.read()
        os.symlink(self.path("nowhere"), self.path("dangling"))
        source = self.path("source.json")
        with open(source, "wb") as f:
            f.write(b"[]")
        for target in (vault, self.path("dangling")):
            with self.subTest(target):
                result = self.cli("import", "--format", "json", source, "--file", target,
                                  password="sixsix")
                self.assertFails(result, target, "already exists")
        with open(vault, "rb") as f:
            self.assertEqual(f.read(), before)
        self.assertFalse(os.path.lexists(self.path("nowhere")))


class ImportFromOtherProgramsTest(CliTestCase):
    SAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "interchange",
                           "samples")

    def setUp(self):
        super().setUp()
        self.vault = self.path("vault.dat")
        self.write_vault(self.vault, ENTRIES[:1])

    def vault_state(self):
        with open(self.vault, "rb") as f:
            return f.read(), os.stat(self.vault).st_mtime_ns

    def test_every_sample_is_recognised_without_format(self):
        # file: (logins, items that are not logins)
        cases = {"corvella.csv": (2, 0), "corvella.json": (2, 0), "keepassxc.csv": (2, 1),
                 "bitwarden.csv": (2, 1), "bitwarden.json": (2, 3), "chrome.csv": (2, 0),
                 "firefox.csv": (3, 0)}
        for name, (logins, others) in cases.items():
            with self.subTest(name):
                target = self.path(name + ".dat")
                result = self.cli("import", os.path.join(self.SAMPLES, name), "--file", target,
                                  password="sixsix")
                self.assertSucceeds(result)
                report = "%d added, %d skipped\n" % (logins, others)
                if others:
                    report += "(%d not %s)\n" % (others, "a login" if others == 1 else "logins")
                self.assertEqual(result.stdout.decode(), report)
                self.assertEqual(len(self.read_vault(target, "sixsix")), logins)

    def test_into_adds_new_logins_once(self):
        mail = ENTRIES[0]
        chrome = csv_bytes([
            ["name", "url", "username", "password"],
            [mail["siteName"], mail["url"], mail["userName"], mail["password"]],
            ["New, site", "https://new.example/", "nina", 'multi\r\nline "pw"'],
            ["New, site", "https://new.example/", "nina", 'multi\r\nline "pw"'],
            ["New, site", "https://new.example/", "nina", "other pw"],
        ])
        result = self.cli("import", "--into", self.vault, "-", stdin=chrome)
        self.assertSucceeds(result)
        self.assertEqual(result.stdout, b"2 added, 2 skipped\n(2 duplicates)\n")
        self.assertEqual(self.read_vault(self.vault, HORSE), [
            {f: mail[f].encode() for f in FIELDS},
            {"siteName": b"New, site", "url": b"https://new.example/", "userName": b"nina",
             "password": b'multi\r\nline "pw"'},
            {"siteName": b"New, site", "url": b"https://new.example/", "userName": b"nina",
             "password": b"other pw"}])
        self.assertEqual(leftovers(self.dir, "vault.dat"), [])
        # Everything is there now: the file is not written again.
        before = self.vault_state()
        result = self.cli("import", "--into", self.vault, "-", stdin=chrome)
        self.assertEqual(result.stdout, b"0 added, 4 skipped\n(4 duplicates)\n")
        self.assertEqual(self.vault_state(), before)

    def test_failed_into_leaves_the_vault_as_it_was(self):
        source = self.path("chrome.csv")
        with open(source, "wb") as f:
            f.write(csv_bytes([["name", "url", "username", "password"], ["s", "u", "n", "p"]]))
        encrypted = self.path("encrypted.json")
        with open(encrypted, "wb") as f:
            f.write(b'{"encrypted": true, "passwordProtected": true, "data": "2.AA|BB|CC"}')
        before = self.vault_state()
        cases = [
            ("wrong password", (source,), "not the password", ["Invalid master password"]),
            ("encrypted export", (encrypted,), HORSE, [encrypted, "encrypted Bitwarden export"]),
            ("unknown header", ("-",), HORSE, ['unknown column "site"', "Chrome (name, url"]),
        ]
        for name, args, password, fragments in cases:
            with self.subTest(name):
                result = self.cli("import", "--into", self.vault, *args, password=password,
                                  stdin=b"site,user\r\na,b\r\n")
                self.assertFails(result, *fragments)
                self.assertEqual(self.vault_state(), before)
                self.assertEqual(leftovers(self.dir, "vault.dat"), [])
        with self.subTest("held by another program"):
            lock = held_lock(self.vault)
            self.addCleanup(lock.close)
            result = self.cli("import", "--into", self.vault, source)
            self.assertFails(result, self.vault, "open in another program")
            self.assertEqual(self.vault_state(), before)


class InterruptedImportTest(CliTestCase):
    """An import stopped at any moment leaves no file or the whole file, never a part of it."""

    ROUNDS = 60

    def test_killed_import_leaves_nothing_or_the_whole_vault(self):
        entries = [{"siteName": "site %d" % i, "url": "https://example%d.org/" % i + "p" * 80,
                    "userName": "user %d" % i, "password": "pw %d " % i + "x" * 40}
                   for i in range(3000)]
        source = self.path("source.json")
        with open(source, "w") as f:
            json.dump(entries, f)
        command = (CLI, "import", "--format", "json", source, "--file", self.path("vault.dat"),
                   "--password-stdin")

        def start():
            process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL, env=self.env, cwd=self.dir)
            try:
                process.stdin.write(b"sixsix\n")
                process.stdin.close()
            except BrokenPipeError:
                pass  # it ended already; what it left is checked all the same
            return process

        # The whole vault, and how long a whole import takes here.
        began = time.monotonic()
        self.assertEqual(start().wait(timeout=60), 0)
        duration = time.monotonic() - began
        os.rename(self.path("vault.dat"), self.path("whole.dat"))
        with open(self.path("whole.dat"), "rb") as f:
            whole = f.read()
        self.assertEqual(len(self.read_vault(self.path("whole.dat"), "sixsix")), len(entries))

        seed = int(os.environ.get("CORVELLA_IMPORT_SEED", random.randrange(1 << 30)))
        chance = random.Random(seed)
        outcomes = {"no vault": 0, "whole vault": 0, "stopped": 0}
        for number in range(self.ROUNDS):
            how = signal.SIGINT if number % 2 else signal.SIGKILL
            with self.subTest(round=number, signal=how.name, seed=seed):
                process = start()
                time.sleep(chance.uniform(0, duration * 1.2))
                process.send_signal(how)
                code = process.wait(timeout=60)
                outcomes["stopped"] += code < 0
                if os.path.lexists(self.path("vault.dat")):
                    with open(self.path("vault.dat"), "rb") as f:
                        left = f.read()
                    os.remove(self.path("vault.dat"))
                    self.assertTrue(left == whole, "%d bytes of %d" % (len(left), len(whole)))
                    outcomes["whole vault"] += 1
                else:
                    outcomes["no vault"] += 1
                # Of a stopped import, its lock file and one temporary file may stay; the next
                # import of the same file clears the temporary file.
                self.assertLessEqual(len(leftovers(self.dir, "vault.dat")), 2)
        sys.stderr.write("%d interrupted imports (seed %d, %.0f ms each): %s\n"
                         % (self.ROUNDS, seed, duration * 1000, outcomes))
        self.assertGreater(outcomes["stopped"], 0)
        self.assertSucceeds(self.cli(*command[1:-1], password="sixsix"))
        self.assertEqual(leftovers(self.dir, "vault.dat"), [])


class LockTest(CliTestCase):
    """One program at a time has a password file: the tool's reads and imports take its lock."""

    def test_held_file_is_refused_by_name(self):
        vault = self.path("vault.dat")
        self.write_vault(vault, ENTRIES[:1])
        new = self.path("new.dat")
        source = self.path("source.json")
        with open(source, "wb") as f:
            f.write(b"[]")
        cases = [
            ("list", ("list", "--file", vault), vault),
            ("export", ("export", "--file", vault), vault),
            ("import", ("import", "--format", "json", source, "--file", new), new),
        ]
        for name, args, target in cases:
            with self.subTest(name):
                lock = held_lock(target)
                try:
                    self.assertFails(self.cli(*args, password="sixsix"),
                                     "The password file %s is open in another program" % target)
                finally:
                    lock.close()
                self.assertFalse(os.path.lexists(new))
                # Once the other program lets go, the tool goes ahead, and removes the lock file
                # as it lets go in turn.
                self.assertTrue(os.path.exists(target + ".lock"))
                self.assertSucceeds(self.cli(*args, password="sixsix" if target == new else HORSE))
                self.assertEqual(leftovers(self.dir, os.path.basename(target)), [])
        self.assertEqual(sorted(os.listdir(self.dir)), ["new.dat", "source.json", "vault.dat"])


class FolderTest(CliTestCase):
    """Folders that cannot be made or written to, as a user who is not root."""

    def run_as_user(self, *args, password="sixsix"):
        if os.geteuid() != 0:
            return self.cli(*args, password=password)
        line = password.encode() + b"\n"
        return subprocess.run((CLI,) + args + ("--password-stdin",), input=line,
                              capture_output=True, env=self.env, cwd=self.dir, timeout=60,
                              user=65534, group=65534)

    def setUp(self):
        super().setUp()
        os.chmod(self.dir, 0o755)
        self.source = self.path("source.json")
        with open(self.source, "wb") as f:
            f.write(b"[]")
        os.chmod(self.source, 0o644)
        # Read and searched by all, written only by its owner (root when the tests are).
        os.mkdir(self.path("closed"), 0o755)
        self.write_vault(self.path("closed", "vault.dat"), ENTRIES[:1])
        os.chmod(self.path("closed", "vault.dat"), 0o644)
        if os.geteuid() != 0:
            os.chmod(self.path("closed"), 0o555)
            self.addCleanup(os.chmod, self.path("closed"), 0o755)

    def test_folder_that_cannot_be_made_is_named_with_the_cause(self):
        with open(self.path("file"), "w") as f:
            f.write("not a folder")
        cases = [
            ("a file in the way", self.path("file", "sub", "vault.dat"),
             'Cannot create folder "%s". Not a directory' % self.path("file")),
            ("no permission", self.path("closed", "new", "vault.dat"),
             'Cannot create folder "%s". Permission denied' % self.path("closed", "new")),
        ]
        for name, target, message in cases:
            with self.subTest(name):
                result = self.run_as_user("import", "--format", "json", self.source,
                                          "--file", target)
                self.assertFails(result, message)
                self.assertFalse(os.path.lexists(target))
        self.assertEqual(os.listdir(self.path("closed")), ["vault.dat"])

    def test_file_in_a_folder_without_write_permission_is_read(self):
        # No lock file can be made there, and none is needed to read: nobody can write there.
        result = self.run_as_user("list", "--file", self.path("closed", "vault.dat"),
                                  password=HORSE)
        self.assertSucceeds(result)
        self.assertTrue(result.stdout.startswith(b"Mail\talice@example.org\t"))
        self.assertEqual(os.listdir(self.path("closed")), ["vault.dat"])


class UsageTest(CliTestCase):
    def test_wrong_use_exits_2_with_usage(self):
        cases = [
            (), ("frobnicate",), ("list", "extra"), ("list", "--bogus"), ("list", "--file"),
            ("list", "--format", "json"), ("export", "--format", "xml"),
            ("export", "--file", "a", "--file", "b"), ("list", "--password-stdin=yes"),
            ("import", "--format", "json", "source.json"),
            ("import", "--file", "new.dat", "--into", "old.dat", "source.json"),
            ("import", "--into", "old.dat", "--into", "old.dat", "source.json"),
            ("export", "--format", "auto"), ("list", "--into", "old.dat"),
            ("import", "--format", "csv", "--file", "new.dat"),
            ("import", "--format", "csv", "--file", "new.dat", "a.csv", "b.csv"),
            ("passwd", "extra"), ("passwd", "--format", "json"), ("passwd", "--into", "old.dat"),
        ]
        for args in cases:
            with self.subTest(args=args):
                result = self.cli(*args, password=None)
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertEqual(result.stdout, b"")
                self.assertIn(b"Usage: corvella-cli", result.stderr)
        self.assertFalse(os.path.lexists(self.path("new.dat")))

    def test_help(self):
        for args in (("--help",), ("export", "--help")):
            with self.subTest(args=args):
                result = self.cli(*args, password=None)
                self.assertSucceeds(result)
                self.assertIn(b"Usage: corvella-cli", result.stdout)
                self.assertIn(b"--password-stdin", result.stdout)


class PasswdTest(CliTestCase):
    """passwd: the current master password, then the new one twice, on three lines."""
    NEW = "n\u00e9w master"

    def setUp(self):
        super().setUp()
        self.vault = self.path("vault.dat")
        self.write_vault(self.vault, ENTRIES[:2])
        self.write_vault(self.vault + ".bak", ENTRIES[:1])

    def opens(self, path, password):
        result = subprocess.run([sys.executable, VAULTREF, "read", path, "--password-hex",
                                 password.encode().hex()], capture_output=True)
        return result.returncode == 0 and b"siteName" in result.stdout

    def passwd(self, lines):
        stdin = b"".join(line.encode() + b"\n" for line in lines)
        return self.cli("passwd", "--file", self.vault, "--password-stdin", password=None,
                        stdin=stdin)

    def test_changed_file_and_backup_open_only_with_the_new_password(self):
        result = self.cli("passwd", "--file", self.vault, password=HORSE,
                          stdin=(self.NEW + "\n" + self.NEW + "\n").encode())
        self.assertSucceeds(result)
        self.assertEqual(result.stdout, b"")
        for path in (self.vault, self.vault + ".bak"):
            with self.subTest(path=path):
                self.assertTrue(self.opens(path, self.NEW))
                self.assertFalse(self.opens(path, HORSE))
                self.assertEqual(stat.S_IMODE(os.stat(path).st_mode), 0o600)
        self.assertEqual(self.read_vault(self.vault, self.NEW),
                         self.read_vault(self.vault + ".bak", self.NEW))
        self.assertEqual(len(self.read_vault(self.vault, self.NEW)), 2)
        self.assertEqual(leftovers(self.dir, "vault.dat"), [])

    def test_refusals_leave_file_and_backup_as_they_were(self):
        new = self.NEW
        cases = [
            ("wrong current", ["correct horsE", new, new], ["Invalid master password"]),
            ("repeat differs", [HORSE, new, new + "!"], ["don't match"]),
            ("too short", [HORSE, "five5", "five5"], ["too short", "at least 6 characters"]),
            ("repeat missing", [HORSE, new], ["No master password on standard input"]),
            ("held elsewhere", [HORSE, new, new],
             ["The password file %s is open in another program" % self.vault]),
            ("damaged file", [HORSE, new, new], ["is damaged"]),
            ("missing file", [HORSE, new, new], ["not found"]),
        ]
        originals = {}
        for path in (self.vault, self.vault + ".bak"):
            with open(path, "rb") as f:
                originals[path] = f.read()
        for name, lines, fragments in cases:
            with self.subTest(name):
                for path, content in originals.items():
                    with open(path, "wb") as f:
                        f.write(content)
                if name == "damaged file":
                    # A damaged fixture of the reference model, opened with its own password.
                    vectors = self.path("vectors")
                    subprocess.run([sys.executable, VAULTREF, "vectors", vectors], check=True)
                    with open(os.path.join(vectors, "vectors_index.txt")) as f:
                        fixture, password_hex = next(row[:2] for row in map(str.split, f)
                                                     if row and row[3] == "damaged")
                    shutil.copyfile(os.path.join(vectors, fixture), self.vault)
                    lines = [bytes.fromhex(password_hex).decode("cp1252")] + lines[1:]
                if name == "missing file":
                    os.remove(self.vault)
                before = {}
                for path in originals:
                    if os.path.exists(path):
                        with open(path, "rb") as f:
                            before[path] = f.read()
                lock = held_lock(self.vault) if name == "held elsewhere" else None
                try:
                    result = self.passwd(lines)
                finally:
                    if lock:
                        lock.close()
                self.assertFails(result, *fragments)
                for secret in (HORSE, new, "five5"):
                    self.assertNotIn(secret.encode(), result.stderr)
                for path, content in before.items():
                    with open(path, "rb") as f:
                        self.assertEqual(f.read(), content, path)
                self.assertEqual([n for n in leftovers(self.dir, "vault.dat")
                                  if not n.endswith(".lock")], [])


class TerminalTest(CliTestCase):
    """The master password asked on the controlling terminal, with echo off."""

    def converse(self, args, replies):
        """Runs the tool on a new terminal; answers each prompt in `replies` in turn. Returns the
        result and everything the terminal showed."""
        master, slave = pty.openpty()

        def take_terminal():
            fcntl.ioctl(0, termios.TIOCSCTTY, 0)
        process = subprocess.Popen((CLI,) + args, stdin=slave, stdout=subprocess.PIPE,
                                   stderr=slave, env=self.env, start_new_session=True,
                                   preexec_fn=take_terminal)
        os.close(slave)
        shown_text = b""
        try:
            for prompt, reply in replies:
                deadline = time.monotonic() + 30
                while not shown_text.endswith(prompt):
                    ready, _, _ = select.select([master], [], [], deadline - time.monotonic())
                    self.assertTrue(ready, "no prompt %r in %r" % (prompt, shown_text))
                    shown_text += os.read(master, 1024)
                os.write(master, reply + b"\n")
            stdout = process.communicate(timeout=30)[0]
            while select.select([master], [], [], 0.5)[0]:
                try:
                    chunk = os.read(master, 1024)
                except OSError:
                    break
                if not chunk:
                    break
                shown_text += chunk
        finally:
            if process.poll() is None:
                process.kill()
                process.wait()
            process.stdout.close()
            os.close(master)
        return process.returncode, stdout, shown_text

    def test_import_asks_twice_then_list_asks_once(self):
        source = self.path("source.json")
        with open(source, "w") as f:
            json.dump(self.entries(), f)
        target = self.path("tty.dat")
        secret = "tty sëcret".encode()
        code, stdout, shown_text = self.converse(
            ("import", "--format", "json", source, "--file", target),
            [(b"Master password: ", secret), (b"Repeat: ", secret)])
        self.assertEqual(code, 0, shown_text)
        self.assertNotIn(secret, shown_text)
        self.assertEqual(self.read_vault(target, secret.decode())[0]["siteName"], b"Site")

        code, stdout, shown_text = self.converse(("list", "--file", target),
                                                 [(b"Master password: ", secret)])
        self.assertEqual((code, stdout), (0, b"Site\tuser\thttps://site.example/\n"), shown_text)
        self.assertNotIn(secret, shown_text)

        code, stdout, shown_text = self.converse(
            ("import", "--format", "json", source, "--file", self.path("other.dat")),
            [(b"Master password: ", secret), (b"Repeat: ", secret + b"!")])
        self.assertEqual((code, stdout), (1, b""))
        self.assertIn(b"The passwords you enter don't match.", shown_text)
        self.assertFalse(os.path.lexists(self.path("other.dat")))

    def test_passwd_asks_current_then_new_twice(self):
        vault = self.path("tty.dat")
        self.write_vault(vault, self.entries())
        fresh = "fr\u00eash secret".encode()
        code, stdout, shown_text = self.converse(
            ("passwd", "--file", vault),
            [(b"Current master password: ", HORSE.encode()), (b"New master password: ", fresh),
             (b"Repeat: ", fresh)])
        self.assertEqual((code, stdout), (0, b""), shown_text)
        self.assertNotIn(fresh, shown_text)
        self.assertNotIn(HORSE.encode(), shown_text)
        self.assertEqual(self.read_vault(vault, fresh.decode())[0]["siteName"], b"Site")

    @staticmethod
    def entries():
        return [{"siteName": "Site", "url": "https://site.example/", "userName": "user",
                 "password": "pw"}]


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    CLI, VAULTREF = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:])
