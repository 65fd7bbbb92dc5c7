"""quendar and quendar-sim as subprocesses under hostile conditions: particle
counts no machine can hold, no display, and the window closed the moment it
appears.

usage: programs_test.py PATH_TO_QUENDAR PATH_TO_QUENDAR_SIM SANITIZED(0|1)
"""

import os
import resource
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "window"))
import xharness as xh  # noqa: E402

QUENDAR = None
QUENDAR_SIM = None
SANITIZED = False

# A refused count must end this fast, start-up of Qt and Xvfb's first client
# included, on a loaded machine; it never comes near when nothing large is
# allocated (a refusal takes milliseconds after the toolkit is up).
REFUSAL_SECONDS = 30.0

# Address space a refusing run may have, bytes: far above what the toolkit
# needs, far below what any refused count would take. A regression that did
# allocate then fails here instead of making the machine swap. Not set under
# AddressSanitizer, which reserves terabytes of address space for itself.
ADDRESS_LIMIT = 4 << 30


def limit_address_space():
    resource.setrlimit(resource.RLIMIT_AS, (ADDRESS_LIMIT, ADDRESS_LIMIT))


def run(args, env, timeout):
    started = time.monotonic()
    result = subprocess.run(args, env=env, stdin=subprocess.DEVNULL, capture_output=True,
                            timeout=timeout, preexec_fn=None if SANITIZED else limit_address_space)
    return result, time.monotonic() - started


class HeadlessToolTest(unittest.TestCase):
    def test_counts_beyond_the_machine_are_one_line_and_status_1(self):
        for count in ("2147483647", "2000000000", "1000000000"):
            with self.subTest(count=count):
                result, seconds = run([QUENDAR_SIM, "1", count, "0"], dict(os.environ), REFUSAL_SECONDS)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertEqual(result.stdout, b"")
                self.assertEqual(result.stderr.decode().splitlines(),
                                 ["quendar-sim: not enough memory for %s particles" % count])
                self.assertLess(seconds, REFUSAL_SECONDS)

    def test_needs_no_display(self):
        env = dict(os.environ)
        env.pop("DISPLAY", None)
        env.pop("WAYLAND_DISPLAY", None)
        result = subprocess.run([QUENDAR_SIM, "1", "400", "0"], env=env, stdin=subprocess.DEVNULL,
                                capture_output=True, timeout=xh.DEADLINE)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(len(result.stdout.splitlines()), 400)


class ProgramTest(xh.SharedDisplayTest):
    def test_counts_beyond_the_machine_are_one_line_and_status_1(self):
        # The first saturates: it asks for 2147483647 particles.
        for count, read in (("99999999999999999999", "2147483647"), ("2147483647", "2147483647"),
                            ("2000000000", "2000000000"), ("1000000000", "1000000000")):
            with self.subTest(count=count):
                result, seconds = run([QUENDAR, "3", count], self.env(), REFUSAL_SECONDS)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertEqual(result.stdout, b"")
                self.assertEqual(result.stderr.decode().splitlines(),
                                 ["quendar: not enough memory for %s particles" % read])
                self.assertLess(seconds, REFUSAL_SECONDS)

    def test_no_display_is_one_line_and_status_1_not_a_signal(self):
        with tempfile.TemporaryDirectory() as cwd:
            env = self.env(DISPLAY="")
            result = subprocess.run([QUENDAR], env=env, cwd=cwd, stdin=subprocess.DEVNULL,
                                    capture_output=True, timeout=xh.DEADLINE)
            self.assertEqual(result.returncode, 1, "a negative status is a signal: %r" % result.stderr)
            self.assertEqual(len(result.stderr.decode().splitlines()), 1, result.stderr)
            self.assertEqual(os.listdir(cwd), [], "no core file")

    def test_window_closed_as_soon_as_it_appears_exits_0(self):
        # The close request arrives in the first moments of the event loop,
        # before or with the first timer steps.
        for args in ([], ["3", "3000"], []):
            with self.subTest(args=args):
                process = subprocess.Popen([QUENDAR] + args, env=self.env(), stdin=subprocess.DEVNULL,
                                           stdout=subprocess.PIPE, stderr=subprocess.PIPE)
                try:
                    window = xh.wait_for(lambda: process.poll() is not None
                                         or self.x.find_window("Glimra"), "the window", interval=0.005)
                    self.assertIsNone(process.poll(), "quendar ended before its window opened")
                    self.x.close_window(window)
                    out, err = process.communicate(timeout=xh.DEADLINE)
                finally:
                    if process.poll() is None:
                        process.kill()
                        process.communicate()
                self.assertEqual(process.returncode, 0, err)
                self.assertEqual(out, b"")


if __name__ == "__main__":
    QUENDAR = os.path.abspath(sys.argv.pop(1))
    QUENDAR_SIM = os.path.abspath(sys.argv.pop(1))
    SANITIZED = sys.argv.pop(1) == "1"
    unittest.main(verbosity=2)
