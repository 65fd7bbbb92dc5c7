"""quendar's command line, run as a subprocess under a private Xvfb: the
toolkit starts before the arguments are read, so even a usage case needs a
display.

usage: command_line_test.py PATH_TO_QUENDAR
"""

import os
import subprocess
import sys
import unittest

import xharness as xh

QUENDAR = None
USAGE = (b"Usage: quendar.exe [num_of_generators] [num_of_particles]\n"
         b"1 <= num_of_generators <= 3; num_of_particles >= 300")


class CommandLineTest(xh.SharedDisplayTest):
    def run_quendar(self, args, env=None):
        return subprocess.run([QUENDAR] + args, env=env or self.env(), stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=xh.DEADLINE)

    def test_bad_command_lines_print_exactly_the_usage_and_exit_2(self):
        cases = [
            ["1"],
            ["3"],
            ["3", "300", "1"],
            ["1", "2", "3", "4"],
            ["3", "299"],
            ["0", "500"],
            ["4", "500"],
            ["abc", "500"],
            ["3", "abc"],
            ["", ""],
            ["", "500"],
            ["3", ""],
            ["-1", "500"],
            ["3", "-300"],
            ["-2147483648", "500"],
            ["99999999999999999999", "500"],
            ["3", "-99999999999999999999"],
        ]
        for args in cases:
            with self.subTest(args=args):
                result = self.run_quendar(args)
                self.assertEqual(result.stdout, USAGE)
                self.assertEqual(result.returncode, 2)

    def test_accepted_command_lines_open_the_window_and_close_with_0(self):
        cases = [
            (["3", "300"], {}),
            (["2abc", "500"], {}),
            ([" 1", "+301"], {}),
            # The toolkit's own option, taken out before the count is read.
            (["-display", self.x.name, "2", "300"], {"DISPLAY": ""}),
        ]
        for args, extra in cases:
            with self.subTest(args=args):
                env = self.env(**extra)
                process = subprocess.Popen([QUENDAR] + args, env=env, stdin=subprocess.DEVNULL,
                                           stdout=subprocess.PIPE, stderr=subprocess.PIPE)
                try:
                    window = xh.wait_for(lambda: process.poll() is not None
                                         or self.x.find_window("Glimra"), "the window")
                    self.assertIsNone(process.poll(), "quendar ended before its window opened")
                    self.x.close_window(window)
                    out, err = process.communicate(timeout=xh.DEADLINE)
                finally:
                    if process.poll() is None:
                        process.kill()
                        process.communicate()
                self.assertEqual(process.returncode, 0, err)
                self.assertEqual(out, b"")

    def test_too_many_particles_is_one_line_and_status_1(self):
        for count, expected in (("99999999999999999999", "2147483647"),
                                ("2147483647", "2147483647"),
                                ("1000000000", "1000000000")):
            with self.subTest(count=count):
                result = self.run_quendar(["2", count])
                self.assertEqual(result.returncode, 1)
                self.assertEqual(result.stdout, b"")
                self.assertEqual(result.stderr.decode().splitlines(),
                                 ["quendar: not enough memory for %s particles" % expected])

    def test_no_display_is_one_line_and_status_1(self):
        cases = [
            {"DISPLAY": ""},
            {"DISPLAY": ":9999"},
            # A platform the user chose is kept, and failing it is one line too.
            {"QT_QPA_PLATFORM": "no-such-platform"},
        ]
        for extra in cases:
            with self.subTest(env=extra):
                result = self.run_quendar(["3", "300"], env=self.env(**extra))
                self.assertEqual(result.returncode, 1)
                self.assertEqual(result.stdout, b"")
                lines = result.stderr.decode().splitlines()
                self.assertEqual(len(lines), 1, lines)
                self.assertTrue(lines[0].startswith("quendar: cannot open a window"), lines)
                if "QT_QPA_PLATFORM" in extra:
                    self.assertIn("no-such-platform", lines[0])


if __name__ == "__main__":
    QUENDAR = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
