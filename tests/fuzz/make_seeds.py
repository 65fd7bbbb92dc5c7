#!/usr/bin/python3
"""Writes the seed corpus of the fuzz targets into corpus/ beside this file.
The seeds are committed; rerun this only to change them."""
import os
import random
import struct

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
random.seed(7)


def write(path, data):
    full = os.path.join(here, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "wb") as out:
        out.write(data)


def raw(x):
    """A float the targets read with tag 3: its raw bits."""
    return b"\x03" + struct.pack("<f", x)


# The headless tool's command line: arguments separated by zero bytes.
lines = [b"1\0" b"400\0" b"0", b"3\0" b"300\0" b"10", b"2abc\0" b"500\0" b"1", b"0\0" b"500\0" b"0",
         b"99999999999999999999\0" b"400\0" b"0", b"", b"-1\0" b"400\0" b"0", b" 1\0" b"400\0" b"0",
         b"1\0" b"2147483647\0" b"0", b"1\0" b"2147483648\0" b"0", b"1\0" b"400", b"1\0" b"400\0" b"0\0" b"0"]
for i, line in enumerate(lines):
    write(f"sim_args_fuzz/seed{i:02d}", line)

# The program's command line: the same shape, atoi-like readings.
program_lines = [b"", b"1\0" b"400", b"3\0" b"300", b"3\0" b"299", b"2abc\0" b"500", b" +2\0" b" 400",
                 b"2\0" b"99999999999999999999", b"-2147483649\0" b"400", b"4\0" b"500", b"1",
                 b"1\0" b"2\0" b"3", b"\t\n 3x\0" b"-0300"]
for i, line in enumerate(program_lines):
    write(f"cli_fuzz/seed{i:02d}", line)

# Grid: a cell-size byte (below 200: 7.0), then operations (see grid_fuzz.cpp).
inf, nan = float("inf"), float("nan")
write("grid_fuzz/origin", b"\x00" + b"\x00" + raw(0) * 3 + b"\xa0" + raw(0) * 3)
write("grid_fuzz/full_bucket", b"\x00" + b"\x00" + raw(1) * 3 + b"\x01\x00\x00\x00" * 44 + b"\xa1")
write("grid_fuzz/non_numbers", b"\x00" + b"\x00" + raw(nan) + raw(inf) + raw(-inf)
      + b"\x00" + raw(3e38) + raw(-3e38) + raw(1e-45) + b"\xa0" + raw(nan) + raw(0) + raw(0)
      + b"\xa1" + b"\xff" + b"\xa1")
write("grid_fuzz/zero_cell", b"\xff" + struct.pack("<f", 0.0) + b"\x00" + raw(1) + raw(-1) + raw(0)
      + b"\xa0" + raw(0) * 3)
write("grid_fuzz/far", b"\x00" + b"".join(
    b"\x00" + raw(100000 + random.uniform(-10, 10)) + raw(random.uniform(0, 30)) + raw(random.uniform(-10, 10))
    for _ in range(60)) + b"\xa1" * 3)
write("grid_fuzz/random", bytes(random.randrange(256) for _ in range(600)))


# Step: capacity, active count, generator count, next generator, time-step byte,
# random state, steps, then per generator and per particle (see step_fuzz.cpp).
def generator(x):
    return b"\x00" + raw(x) + raw(0) + raw(0) + b"\x00" + b"\x00"


def particle(p, v, life, mode=10):   # mode 10: own values, mass 5, with a transform
    return (bytes([mode]) + b"".join(raw(c) for c in p) + b"".join(raw(c) for c in v)
            + raw(0) + raw(2) + raw(0) + raw(life))


fire = bytes([40, 40, 2, 0, 0]) + struct.pack("<I", 1) + bytes([3]) + generator(0) + generator(20)
fire += b"".join(particle((random.uniform(-5, 5), random.uniform(0, 30), random.uniform(-5, 5)),
                          (random.uniform(-1, 1), random.uniform(0, 1), random.uniform(-1, 1)),
                          random.choice([9.0, 0.0, 0.25, -0.5])) for _ in range(40))
write("step_fuzz/fire", fire)
coincident = (bytes([10, 10, 1, 0, 0]) + struct.pack("<I", 5) + bytes([1]) + generator(0)
              + particle((1, 2, 3), (0, 0, 0), 5.0) + b"\x08" * 9)   # mode 8: a copy of the previous
write("step_fuzz/coincident", coincident)
bad = (bytes([6, 6, 3, 2, 0]) + struct.pack("<I", 9) + bytes([2]) + generator(nan) + generator(1e30)
       + generator(-inf) + particle((nan, 0, 0), (0, 0, 0), 3.0) + particle((inf, 1, 1), (1, 1, 1), 0.0)
       + particle((0, 0, 0), (nan, 0, 0), 1.0, mode=14) + b"\x01\x01\x01\x01"
       + particle((0, 0, 0), (0, 0, 0), 0.0))
write("step_fuzz/non_numbers", bad)
write("step_fuzz/random", bytes(random.randrange(256) for _ in range(1500)))
