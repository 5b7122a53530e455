#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Corvella developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Import... in a real window: unlock, the Options page, Import..., the path of a browser's CSV
export typed into the file dialog, the report box, and the new entries in the list and the file.

Passwords are random and never printed.

Usage: test_import.py --program CORVELLA --cli CORVELLA_CLI [unittest arguments]
"""
import csv
import io
import os
import secrets
import string
import sys
import unittest

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from harness import MainWindow  # noqa: E402

ARGS = None
MASTER = "correct horse"
# A point on "Import...", right of "Change Master Password..." on the row at y = 232.
IMPORT_BUTTON = (16 + 175 + 8 + 30, 232 + 12)


def random_password():
    return "".join(secrets.choice(string.ascii_letters + string.digits) for _ in range(20))


class ImportTest(unittest.TestCase):
    def type_file_name(self, session, dialog, path):
        """Types `path` into the file dialog's name field, which has the focus, until the field
        holds all of it: selecting its text puts it in the X primary selection to be read back.
        Keys typed before the field takes them would be lost."""
        session.activate(dialog)
        for _ in range(3):
            session.set_clipboard("unset", "primary")
            session.key("ctrl+a")
            session.type_text(path)
            session.key("ctrl+a")
            try:
                harness.wait_until(lambda: session.clipboard("primary") == path, timeout=10,
                                   what="the path in the file name field")
                return
            except harness.HarnessError:
                pass
        self.fail("the file name field did not take the path")

    def test_import_a_browser_export_into_the_open_vault(self):
        stored = {"siteName": "Mail", "url": "https://mail.example.org/", "userName": "alice",
                  "password": random_password()}
        new = [{"siteName": "Forge, internal", "url": "https://forge.example.net/",
                "userName": "carol", "password": '"' + random_password() + '",\r\nend'},
               {"siteName": "Shop", "url": "https://shop.example/", "userName": "erin",
                "password": random_password()}]
        rows = io.StringIO()
        writer = csv.writer(rows, lineterminator="\r\n")
        writer.writerow(["name", "url", "username", "password"])
        for entry in [stored] + new:
            writer.writerow([entry["siteName"], entry["url"], entry["userName"], entry["password"]])

        with harness.Session(ARGS.program, ARGS.cli) as session:
            export = os.path.join(session.root, "Chrome Passwords.csv")
            with open(export, "w", encoding="utf-8", newline="") as out:
                out.write(rows.getvalue())
            session.write_password_file(MASTER, [stored])
            app, window = session.launch()
            session.activate(window)
            session.type_text(MASTER)
            session.key("Return")
            session.wait_until_settled(window)

            session.click(window, *MainWindow.OPTIONS_BUTTON)
            session.park_pointer()
            session.wait_until_settled(window)
            session.screenshot("options-page-import.png", window)

            session.click(window, *MainWindow.page(*IMPORT_BUTTON))
            dialog = session.wait_for_window("Import", pid=app.pid)
            session.wait_until_settled(dialog)
            session.screenshot("import-file-dialog.png", dialog)
            self.type_file_name(session, dialog, export)
            session.screenshot("import-path-typed.png", dialog)
            session.key("Return")

            box = session.wait_for_dialog("Information", pid=app.pid)
            session.wait_until_settled(box)
            session.screenshot("import-report.png", box)
            self.assertEqual(session.dialog_text(box), "2 added, 1 skipped\n(1 duplicate)")
            session.dismiss_dialog(box)

            session.click(window, *MainWindow.PASSWORDS_BUTTON)
            session.park_pointer()
            session.wait_until_settled(window)
            session.screenshot("password-list-imported.png", window)
            saved = session.read_password_file(MASTER)
            self.assertEqual([e["siteName"] for e in saved], ["Mail", "Forge, internal", "Shop"])
            self.assertTrue(saved[1:] == new, "the file does not hold the imported entries")


if __name__ == "__main__":
    harness.require_display_tools()
    ARGS, argv = harness.parse_arguments(__doc__)
    unittest.main(argv=argv)
