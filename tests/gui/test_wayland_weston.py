#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Corvella developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""The program on a Wayland compositor without the data-control protocol (weston), where only a
window with the focus may change the clipboard: a password copied before the focus went
elsewhere is gone once the window has the focus again, at Lock and at Exit, and the Options
page says so.

Usage: test_wayland_weston.py --program CORVELLA --cli CORVELLA_CLI [unittest arguments]
"""
import os
import sys
import time
import unittest

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
import wayland  # noqa: E402
from harness import wait_until  # noqa: E402

ARGS = None
MASTER = "correct horse"
PASSWORD = "S3cret-Mail!"
VAULT = [{"siteName": "Mail", "userName": "alice", "url": "https://mail.example",
          "password": PASSWORD}]


class WestonTest(unittest.TestCase):

    def copy_password(self, session):
        # The first entry: found, into the list, Ctrl+C.
        session.click_centre()
        session.key("ctrl+f")
        session.key("Down")
        session.key("Tab")
        session.key("ctrl+c")
        # wl-paste takes the focus to read the clipboard: the program loses it here.
        wait_until(lambda: session.clipboard() == PASSWORD, what="the copied password")

    def test_password_goes_at_focus_lock_and_exit(self):
        with wayland.WestonSession(ARGS.program, ARGS.cli) as session:
            session.write_password_file(MASTER, VAULT)
            app, _ = session.launch()
            session.type_text(MASTER)
            session.key("Return")
            session.wait_until_settled()

            session.key("ctrl+2")
            session.wait_until_settled()
            session.screenshot("wayland-weston-options.png")
            session.key("ctrl+1")

            # Back to the window after the countdown ran out elsewhere.
            self.copy_password(session)
            copied_at = time.monotonic()
            wait_until(lambda: time.monotonic() - copied_at > 11, what="11 s to pass")
            session.click_centre()
            wait_until(lambda: session.clipboard() in ("", None), what="erased at the focus")

            # Lock.
            self.copy_password(session)
            session.click_centre()
            session.key("ctrl+l")
            wait_until(lambda: session.clipboard() in ("", None), what="erased at Lock")

            # Exit, before the countdown.
            session.click_centre()
            session.type_text(MASTER)
            session.key("Return")
            session.wait_until_settled()
            self.copy_password(session)
            session.click_centre()
            session.key("ctrl+q")
            self.assertEqual(app.wait(), 0)
            self.assertIn(session.clipboard(), ("", None))


if __name__ == "__main__":
    ARGS, argv = harness.parse_arguments(__doc__)
    unittest.main(argv=argv, verbosity=2)
