#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Corvella developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""One copy per program file and user, with the real program in a real X session: two copies
started together, a second start while the first is minimised, a start after the first copy
was killed, a start refused for a runtime folder that other users can enter.

Usage: test_single_instance.py --program CORVELLA [unittest arguments]
"""
import os
import signal
import sys
import unittest

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from harness import MAIN_TITLE  # noqa: E402

ARGS = None


class SingleInstanceTest(unittest.TestCase):

    def assert_one_main_window(self, session, window):
        self.assertEqual(session.find_windows(MAIN_TITLE), [window])

    def close(self, session, app, window):
        session.close_window(window)
        self.assertEqual(app.wait(), 0)

    def test_two_copies_started_together_leave_one(self):
        with harness.Session(ARGS.program) as session:
            copies = session.start_programs_together(["corvella-1", "corvella-2"])
            ended = harness.wait_until(lambda: [c for c in copies if c.poll() is not None],
                                       what="one of the two copies to end")
            self.assertEqual(len(ended), 1, "both copies ended")
            self.assertEqual(ended[0].wait(), 0)
            running = next(c for c in copies if c is not ended[0])
            window = session.wait_for_window(MAIN_TITLE, pid=running.pid)
            session.wait_until_settled(window)
            self.assertTrue(running.running())
            self.assert_one_main_window(session, window)
            self.close(session, running, window)

    def test_second_start_shows_the_minimised_first_copy(self):
        with harness.Session(ARGS.program) as session:
            first, window = session.launch("corvella-first")
            session.minimize(window)
            session.wait_window_gone(window)
            second = session.start_program("corvella-second")
            self.assertEqual(second.wait(), 0)
            harness.wait_until(lambda: session.is_visible(window),
                               what="the first copy's window to come back")
            self.assertTrue(first.running())
            self.assert_one_main_window(session, window)
            harness.wait_until(lambda: session.active_window() == window,
                               what="the first copy's window to become active")
            self.close(session, first, window)

    def test_start_after_the_first_copy_was_killed(self):
        with harness.Session(ARGS.program) as session:
            first, window = session.launch("corvella-killed")
            first.kill(signal.SIGKILL)
            self.assertEqual(first.wait(), -signal.SIGKILL)
            session.wait_window_gone(window)
            # Its lock file and socket are left behind in the runtime folder.
            self.assertTrue(os.listdir(session.runtime))
            second, window = session.launch("corvella-next")
            self.assertTrue(second.running())
            self.assert_one_main_window(session, window)
            self.close(session, second, window)

    def test_a_runtime_folder_others_can_enter_stops_the_start(self):
        with harness.Session(ARGS.program) as session:
            os.chmod(session.runtime, 0o755)
            app = session.start_program("corvella-refused")
            box = session.wait_for_dialog("Application Error", pid=app.pid)
            text = session.dialog_text(box)
            self.assertIn(f'"{session.runtime}"', text)
            self.assertIn("mode 755", text)
            session.dismiss_dialog(box)
            self.assertEqual(app.wait(), 1)
            self.assertEqual(os.listdir(session.runtime), [])


if __name__ == "__main__":
    harness.require_display_tools()
    ARGS, argv = harness.parse_arguments(__doc__)
    unittest.main(argv=argv, verbosity=2)
