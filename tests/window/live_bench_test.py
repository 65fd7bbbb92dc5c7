"""quendar-live-bench as a script uses it: a short run of the program and of
the straightforward version under a private Xvfb, one line of figures on
standard output and status 0; and every command line it cannot use refused
with one usage line and status 2, before any window. No speed is checked:
the figures depend on the machine.

usage: live_bench_test.py PATH_TO_QUENDAR_LIVE_BENCH
"""

import os
import re
import subprocess
import sys
import unittest

import xharness as xh

BENCH = None

LINE = re.compile(r"steps_per_second=(\d+\.\d+) frames_per_second=(\d+\.\d+) "
                  r"startup_seconds=(\d+\.\d+)\n")


def run(args, env, timeout=xh.DEADLINE * 4):
    return subprocess.run([BENCH] + args, env=env, stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=timeout)


class RunTest(unittest.TestCase):
    def setUp(self):
        self.x = xh.Xvfb()
        self.addCleanup(self.x.close)
        self.env = self.x.env(XDG_RUNTIME_DIR=xh.private_runtime_dir(self))

    def test_a_short_run_prints_one_line_of_positive_figures(self):
        for mode in ([], ["--straightforward"]):
            for counts in (["1", "300"], ["3", "305"]):
                with self.subTest(mode=mode, counts=counts):
                    result = run(mode + counts + ["2"], self.env)
                    self.assertEqual(result.returncode, 0, result.stderr)
                    out = result.stdout.decode()
                    match = LINE.fullmatch(out)
                    self.assertIsNotNone(match, out)
                    steps, frames, startup = (float(v) for v in match.groups())
                    self.assertGreater(steps, 0.0)
                    self.assertGreater(frames, 0.0)
                    self.assertGreater(startup, 0.0)
                    self.assertNotIn(b"quendar-live-bench:", result.stderr)

    def test_particles_beyond_the_machine_are_refused_with_status_1(self):
        result = run(["1", "2000000000", "1"], self.env)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertEqual(result.stdout, b"")
        self.assertIn(b"not enough memory for 2000000000 particles", result.stderr)


class CommandLineTest(unittest.TestCase):
    BAD = [
        [], ["1"], ["1", "400"], ["1", "400", "2", "5"],
        ["--straightforward"], ["--straightforward", "1", "400"],
        ["1", "400", "2", "--straightforward"], ["--fast", "1", "400", "2"],
        ["0", "400", "2"], ["4", "400", "2"], ["-1", "400", "2"], ["1x", "400", "2"],
        [" 1", "400", "2"], ["+1", "400", "2"], ["", "400", "2"],
        ["1", "299", "2"], ["1", "0", "2"], ["1", "400x", "2"], ["1", "2147483648", "2"],
        ["1", "400", "0"], ["1", "400", "-1"], ["1", "400", "abc"], ["1", "400", "2s"],
        ["1", "400", "nan"], ["1", "400", "inf"], ["1", "400", "1e9"], ["1", "400", ""],
    ]

    def test_an_unusable_command_line_is_one_usage_line_and_status_2(self):
        env = dict(os.environ)
        env.pop("DISPLAY", None)   # refused before any window is asked for
        env.pop("WAYLAND_DISPLAY", None)
        for args in self.BAD:
            with self.subTest(args=args):
                result = run(args, env, timeout=xh.DEADLINE)
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertEqual(result.stdout, b"")
                lines = result.stderr.decode().splitlines()
                self.assertEqual(len(lines), 1, lines)
                self.assertTrue(lines[0].startswith("usage: quendar-live-bench "), lines[0])

    def test_without_a_display_it_ends_with_status_1(self):
        env = dict(os.environ)
        env.pop("DISPLAY", None)
        env.pop("WAYLAND_DISPLAY", None)
        env.pop("QT_QPA_PLATFORM", None)
        result = run(["1", "400", "1"], env, timeout=xh.DEADLINE)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertEqual(result.stdout, b"")


if __name__ == "__main__":
    BENCH = sys.argv.pop(1)
    unittest.main(verbosity=2)
