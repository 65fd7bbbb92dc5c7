"""quendar end to end in a real window: a private Xvfb with Mesa's software GL,
the window found by its title, the drawing checked from screenshots, keys
sent through XTEST, and the window closed as a window manager closes it.

usage: window_test.py PATH_TO_QUENDAR OUTPUT_DIR
Leaves screenshots of the running fire in OUTPUT_DIR: fire-3.png, the whole
window with three generators, and fire-1.png, the default fire's render area.
"""

import os
import subprocess
import sys
import unittest

import xharness as xh

QUENDAR = None
OUTPUT = None

# Margins of the viewer's decoration (the wheels and buttons around the render
# area) and its frame-rate text at the bottom, in pixels; left out of the
# pixel counts.
SIDE_MARGIN = 40
BOTTOM_MARGIN = 70


def generator_colour(r, g, b):
    """The lit orange (1.0, 0.7, 0.0) of a generator sphere: bright, yellowish, no blue."""
    return r >= 200 and g >= 140 and b < 100 and g <= r


def flame_colour(r, g, b):
    """A particle's (1, 0.3, 0) added onto black or onto other particles: red to
    yellow, never grey or blue."""
    return r >= 100 and g <= r and b * 2 < r


def fire_colour(r, g, b):
    """The red-orange of thinner flames, where few particles overlap."""
    return r >= 100 and g * 10 <= r * 6 and b * 4 < r


def spheres(image):
    """Generator spheres in image, ordered left to right, as (area, x, y, w, h):
    round, filled regions of generator colour. Bright yellow where many
    particles overlap is smaller or ragged; a sphere that such a patch touches
    this frame is left out, and the caller waits for a clean frame."""
    found = []
    for c in xh.components(image, generator_colour, 1500):
        area, _, _, w, h = c
        if w >= 40 and h >= 40 and 0.8 <= h / w <= 1.25 and area >= 0.7 * w * h:
            found.append(c)
    return sorted(found, key=lambda c: c[1])


def one_row_of_three(found):
    """Three spheres of one size on one level, as the layout puts them."""
    if len(found) != 3:
        return False
    areas = [c[0] for c in found]
    levels = [c[2] for c in found]
    return max(areas) < 1.6 * min(areas) and max(levels) - min(levels) < 12


def centroid(image, predicate):
    """(count, mean x, mean y) of the pixels where predicate holds."""
    n = sx = sy = 0
    for x, y, r, g, b in image.pixels():
        if predicate(r, g, b):
            n += 1
            sx += x
            sy += y
    return (n, sx / n, sy / n) if n else (0, 0.0, 0.0)


class RunningQuendar:
    """quendar under Xvfb x with args, until close() has shut it down."""

    def __init__(self, x, args, runtime, **extra_env):
        self.x = x
        env = x.env(XDG_RUNTIME_DIR=runtime, **extra_env)
        self.process = subprocess.Popen([QUENDAR] + args, env=env, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.window = xh.wait_for(lambda: self.process.poll() is not None
                                  or x.find_window("Glimra"), "the window titled Glimra")
        if self.process.poll() is not None:
            raise AssertionError("quendar ended with %d: %r"
                                 % (self.process.returncode, self.process.communicate()))

    def render_area(self):
        x, y, w, h = self.x.geometry(self.window)
        return (x + SIDE_MARGIN, y, w - 2 * SIDE_MARGIN, h - BOTTOM_MARGIN)

    def shot(self):
        return self.x.screenshot(self.render_area())

    def frame_rate_strip(self):
        """The bottom-left corner of the render area, where the frame rate is drawn."""
        x, y, w, h = self.x.geometry(self.window)
        return (x + SIDE_MARGIN, y + h - BOTTOM_MARGIN, 260, BOTTOM_MARGIN - 30)

    def close(self):
        """WM_DELETE_WINDOW; returns the exit status, or raises if it does not end."""
        self.x.close_window(self.window)
        try:
            self.process.communicate(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.communicate()
            raise AssertionError("quendar did not end within 30 s of the close request")
        return self.process.returncode

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.communicate()


class WindowTest(unittest.TestCase):
    def setUp(self):
        self.x = xh.Xvfb()
        self.addCleanup(self.x.close)
        self.runtime = xh.private_runtime_dir(self)

    def start(self, args, **extra_env):
        running = RunningQuendar(self.x, args, self.runtime, **extra_env)
        self.addCleanup(running.kill)
        return running

    def test_three_generators_are_drawn_left_middle_right_with_their_fire(self):
        quendar = self.start(["3", "300"])

        def drawn():
            image = quendar.shot()
            found = spheres(image)
            fire = centroid(image, fire_colour)
            if not one_row_of_three(found) or fire[0] < 3000:
                return None
            return image, found, fire

        image, found, fire = xh.wait_for(drawn, "three generator spheres and their fire")
        self.x.screenshot(self.x.geometry(quendar.window)).write_png(
            os.path.join(OUTPUT, "fire-3.png"))
        width = image.width
        (_, left, ly, _, _), (_, middle, my, _, _), (_, right, ry, _, _) = found
        self.assertLess(left, 0.4 * width)
        self.assertTrue(0.4 * width < middle < 0.6 * width, middle)
        self.assertGreater(right, 0.6 * width)
        self.assertAlmostEqual(middle - left, right - middle, delta=0.1 * width)
        self.assertLess(fire[2], min(ly, my, ry), "the fire rises above the generators")

        # Left moves only the origin generator, and not the camera: the outer
        # spheres, 40 units apart, stay where they are.
        unit = (right - left) / 40.0
        self.x.focus(quendar.window)
        for _ in range(5):
            self.x.key("Left")

        def middle_moved():
            now = spheres(quendar.shot())
            if not one_row_of_three(now) or now[1][1] > middle - 4 * unit:
                return None
            return now

        now = xh.wait_for(middle_moved, "the middle generator to move left")
        self.assertAlmostEqual(now[1][1], middle - 5 * unit, delta=unit)
        # Translucent particles drawn over a sphere shift its measured centre
        # by up to about half a unit from frame to frame; a moved camera or a
        # moved outer generator would shift it by the full five.
        self.assertAlmostEqual(now[0][1], left, delta=2 * unit)
        self.assertAlmostEqual(now[2][1], right, delta=2 * unit)
        self.assertEqual(quendar.close(), 0)

    def test_left_arrow_moves_the_fire_left(self):
        quendar = self.start([])

        def burning():
            image = quendar.shot()
            flame = centroid(image, flame_colour)
            return (image, flame) if flame[0] >= 3000 else None

        image, before = xh.wait_for(burning, "the fire")
        image.write_png(os.path.join(OUTPUT, "fire-1.png"))

        # Ten presses take the generator ten units left, about 16 % of the
        # view's width; the centre of the flickering fire wanders about 1 %.
        self.x.focus(quendar.window)
        presses = 10
        for _ in range(presses):
            self.x.key("Left")
        shift = 0.1 * image.width

        def moved_left():
            flame = centroid(quendar.shot(), flame_colour)
            return flame if flame[0] >= 3000 and flame[1] < before[1] - shift else None

        after = xh.wait_for(moved_left, "the fire to move left")
        self.assertLess(after[1], before[1] - shift)
        self.assertEqual(quendar.close(), 0)

    def test_frame_rate_is_shown_whatever_the_variable_held(self):
        quendar = self.start(["1", "300"], COIN_SHOW_FPS_COUNTER="0")

        def frame_rate_drawn():
            image = self.x.screenshot(quendar.frame_rate_strip())
            text = centroid(image, lambda r, g, b: r >= 200 and g >= 200 and b < 100)
            return text[0] >= 40

        xh.wait_for(frame_rate_drawn, "the frame rate in the view's corner")
        self.assertEqual(quendar.close(), 0)


if __name__ == "__main__":
    QUENDAR = os.path.abspath(sys.argv.pop(1))
    OUTPUT = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
