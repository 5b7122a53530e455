#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Corvella developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Locking when the person leaves, in a real window: the desktop's screen saver announces a
locked screen on the session bus, and the unlock panel comes back.

Usage: test_away.py --program CORVELLA --cli CORVELLA_CLI [unittest arguments]
"""
import os
import shutil
import sys
import unittest

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

ARGS = None
HORSE = "correct horse"


class AwayTest(unittest.TestCase):

    def vault_released(self, session):
        """Whether the program has let go of the password file, as it does when locked."""
        listed = session.run_cli("list", "--file", session.password_file, "--password-stdin",
                                 password=HORSE, check=False)
        return listed.returncode == 0

    def test_screen_lock_locks(self):
        if shutil.which("dbus-daemon") is None or shutil.which("dbus-send") is None:
            self.skipTest("dbus-daemon or dbus-send is missing (scripts/setup installs them)")
        with harness.Session(ARGS.program, ARGS.cli) as session:
            session.start_session_bus()
            session.write_password_file(HORSE, [{"siteName": "Mail", "url": "mail.example",
                                                 "userName": "ann", "password": "pw-mail"}])
            app, window = session.launch()
            session.activate(window)
            session.type_text(HORSE)
            session.key("Return")
            harness.wait_until(lambda: not self.vault_released(session), what="the unlock")
            session.park_pointer()
            session.wait_until_settled(window)
            session.screenshot("away-unlocked.png", window)
            # The two options, ticked as they start.
            session.click(window, *harness.MainWindow.OPTIONS_BUTTON)
            session.park_pointer()
            session.wait_until_settled(window)
            session.screenshot("away-options.png", window)

            # As a screen saver says it, from a sender of its own.
            session.run(["dbus-send", "--session", "--type=signal", "/org/freedesktop/ScreenSaver",
                         "org.freedesktop.ScreenSaver.ActiveChanged", "boolean:true"])

            harness.wait_until(lambda: self.vault_released(session), what="the lock")
            session.wait_until_settled(window)
            session.screenshot("away-locked.png", window)
            self.assertEqual(session.find_dialogs(pid=app.pid), {})
            self.assertTrue(app.running())

            # Its connection to the bus goes cleanly with it.
            session.click(window, *harness.MainWindow.TOOL_BUTTONS["Exit"])
            self.assertEqual(app.wait(), 0)


if __name__ == "__main__":
    harness.require_display_tools()
    ARGS, argv = harness.parse_arguments(__doc__)
    unittest.main(argv=argv, verbosity=2)
