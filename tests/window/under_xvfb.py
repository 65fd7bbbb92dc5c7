"""Runs one program under an Xvfb of its own (Mesa's software GL) and ends
with its exit status.

usage: under_xvfb.py PROGRAM [ARGUMENT ...]
"""

import os
import subprocess
import sys
import tempfile

import xharness as xh


def main():
    with xh.Xvfb() as x, tempfile.TemporaryDirectory() as runtime:
        os.chmod(runtime, 0o700)
        return subprocess.run(sys.argv[1:], env=x.env(XDG_RUNTIME_DIR=runtime),
                              stdin=subprocess.DEVNULL).returncode


if __name__ == "__main__":
    sys.exit(main())
