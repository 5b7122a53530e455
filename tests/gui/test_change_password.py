#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Corvella developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""The master password changed in a real window, and the backup of a damaged password file
opened from the unlock panel.

Usage: test_change_password.py --program CORVELLA --cli CORVELLA_CLI [unittest arguments]
"""
import json
import os
import subprocess
import sys
import unittest

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from harness import MainWindow  # noqa: E402

sys.path.insert(0, os.path.dirname(harness.VAULTREF))
import vaultref  # noqa: E402

ARGS = None
HORSE = "correct horse"
NEW = "new stable horse 2"  # typed by xdotool: ASCII types reliably
INVALID = "Invalid master password"
CHANGED = "The master password has been changed."
# "Change Master Password..." on the Options page, at (16, 232) of the page, 25 high.
CHANGE_BUTTON = MainWindow.page(16 + 40, 232 + 12)
ENTRIES = [{"siteName": site, "url": "https://%s.example/" % site.lower(), "userName": "ann",
            "password": "pw of " + site} for site in ("Mail", "Bank", "Shop")]


def opens(path, password):
    """True when the independent model of the format reads `path` under `password`."""
    result = subprocess.run([sys.executable, harness.VAULTREF, "read", path, "--password-hex",
                             password.encode().hex()], capture_output=True)
    return result.returncode == 0


class ChangePasswordTest(unittest.TestCase):

    def expect_dialog(self, session, app, title, text):
        box = session.wait_for_dialog(title, pid=app.pid)
        self.assertEqual(session.dialog_text(box), text)
        return box

    def unlock(self, session, app, window, password):
        session.activate(window)
        session.wait_until_settled(window)
        session.type_text(password)
        session.key("Return")

    def expect_no_dialog(self, session, app, window):
        session.wait_until_settled(window)
        dialogs = session.find_dialogs(pid=app.pid)
        shown = {title: [session.dialog_text(box) for box in boxes]
                 for title, boxes in dialogs.items()}
        self.assertEqual(shown, {})

    def test_changed_password_is_the_only_one_after_a_restart(self):
        with harness.Session(ARGS.program, ARGS.cli) as session:
            session.write_password_file(HORSE, ENTRIES)
            app, window = session.launch()
            self.unlock(session, app, window, HORSE)
            self.expect_no_dialog(session, app, window)
            session.click(window, *MainWindow.OPTIONS_BUTTON)
            session.park_pointer()
            session.wait_until_settled(window)
            session.screenshot("options-change-password.png", window)
            session.click(window, *CHANGE_BUTTON)
            dialog = session.wait_for_window("Change Master Password", pid=app.pid)
            session.activate(dialog)
            # The focus starts in the current password.
            session.type_text(HORSE)
            session.key("Tab")
            session.type_text(NEW)
            session.key("Tab")
            session.type_text(NEW)
            session.park_pointer()
            session.wait_until_settled(dialog)
            session.screenshot("change-password-dialog.png", dialog)
            session.activate(dialog)
            session.key("Return")
            session.dismiss_dialog(self.expect_dialog(session, app, "Information", CHANGED))
            session.wait_window_gone(dialog)
            self.assertTrue(opens(session.password_file, NEW))
            self.assertEqual(len(session.read_password_file(NEW)), len(ENTRIES))
            session.activate(window)
            session.click(window, *MainWindow.TOOL_BUTTONS["Exit"])
            self.assertEqual(app.wait(), 0)

            # Neither the file nor its backup opens with the old password any more.
            for path in (session.password_file, session.password_file + ".bak"):
                self.assertFalse(opens(path, HORSE), path)
                self.assertTrue(opens(path, NEW), path)

            app, window = session.launch()
            self.unlock(session, app, window, HORSE)
            session.dismiss_dialog(self.expect_dialog(session, app, "Error", INVALID))
            self.unlock(session, app, window, NEW)
            self.expect_no_dialog(session, app, window)
            session.click(window, *MainWindow.TOOL_BUTTONS["Exit"])
            self.assertEqual(app.wait(), 0)

    def test_backup_of_a_damaged_file_opens_read_only_then_is_restored(self):
        with harness.Session(ARGS.program, ARGS.cli) as session:
            session.write_password_file(HORSE, ENTRIES[:1])
            vault = session.password_file
            os.rename(vault, vault + ".bak")
            session.write_password_file(HORSE, ENTRIES)
            # The last record stops short.
            with open(vault, "rb") as f:
                stream = vaultref.file_decrypt(HORSE.encode(), f.read())
            damaged = vaultref.file_encrypt(HORSE.encode(), stream[:-5])
            with open(vault, "wb") as f:
                f.write(damaged)

            app, window = session.launch()
            self.unlock(session, app, window, HORSE)
            offer = self.expect_dialog(
                session, app, "Confirm",
                f"The password file {vault} is damaged and cannot be read.\n\nA backup of the "
                f"password file was found: {vault}.bak\n\nOpen the backup read-only?")
            session.screenshot("backup-offer.png")
            session.dismiss_dialog(offer)  # Yes, the default
            restore = self.expect_dialog(
                session, app, "Confirm",
                "The backup of the password file is open read-only: changes are refused until "
                "it is restored.\n\nRestore the backup as the password file now? The damaged "
                f"file is kept as {vault}.damaged.")
            session.screenshot("backup-restore-question.png")
            session.dismiss_dialog(restore, key="Escape")  # No
            harness.wait_until(
                lambda: session.window_title(window) == "Corvella 1.0 (backup, read-only)",
                what="the read-only title")
            session.park_pointer()
            session.wait_until_settled(window)
            session.screenshot("backup-read-only.png", window)
            with open(vault, "rb") as f:
                self.assertEqual(f.read(), damaged)

            # A change asks again; Yes restores the backup.
            session.click(window, *MainWindow.TOOL_BUTTONS["Delete"])
            session.dismiss_dialog(self.expect_dialog(session, app, "Confirm",
                                                      restore_text(vault)))
            session.dismiss_dialog(self.expect_dialog(
                session, app, "Information", "Please select a password entry to delete"))
            harness.wait_until(lambda: session.window_title(window) == "Corvella 1.0",
                               what="the ordinary title")
            with open(vault + ".damaged", "rb") as f:
                self.assertEqual(f.read(), damaged)
            self.assertEqual([e["siteName"] for e in session.read_password_file(HORSE)],
                             [ENTRIES[0]["siteName"]])
            session.click(window, *MainWindow.TOOL_BUTTONS["Exit"])
            self.assertEqual(app.wait(), 0)


def restore_text(vault):
    return ("The backup of the password file is open read-only: changes are refused until it is "
            "restored.\n\nRestore the backup as the password file now? The damaged file is kept "
            f"as {vault}.damaged.")


if __name__ == "__main__":
    harness.require_display_tools()
    ARGS, argv = harness.parse_arguments(__doc__)
    unittest.main(argv=argv, verbosity=2)
