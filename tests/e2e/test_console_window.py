"""Output in a console window of Marovendel's own, read back from the window:
the home screen of a double-click, in a real Wine console on a virtual X
display, wraps its lines at spaces to the window's width."""

import os
import shutil
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wine_harness  # noqa: E402
from test_home_screen import VirtualDisplay, xdotool  # noqa: E402
from wine_harness import WinePrefix  # noqa: E402

HELPERS = ("MAROVENDEL_START_IN_NEW_CONSOLE", "MAROVENDEL_DUMP_CONSOLE")
# A path as long as a window is wide stays whole on a row of its own.
LONG_PATH = "E:\\" + "\\".join(["PortableApps"] * 6) + "\\Chromium\\User Data\\chrome.exe"


class ConsoleWindowTest(unittest.TestCase):
    def setUp(self):
        missing = [name for name in HELPERS if not os.environ.get(name)]
        if missing:
            self.skipTest("helper programs not built: " + ", ".join(missing))
        self.display = VirtualDisplay()
        self.addCleanup(self.display.close)
        saved = os.environ.get("DISPLAY")
        os.environ["DISPLAY"] = self.display.name
        self.addCleanup(lambda: os.environ.pop("DISPLAY") if saved is None
                        else os.environ.update(DISPLAY=saved))
        self.prefix = WinePrefix("window")
        self.addCleanup(self.prefix.close)
        for name, exe in (("MAROVENDEL_START_IN_NEW_CONSOLE", "start_in_new_console.exe"),
                          ("MAROVENDEL_DUMP_CONSOLE", "dump_console.exe")):
            shutil.copy2(os.environ[name], os.path.join(self.prefix.tools, exe))

    def screen(self):
        """The rows the window shows once the home screen waits for a key,
        and its width. Attaching to the console adds a process to it, so it
        waits until the window is up and has had time to print: a console
        shared before the first line would rightly not be wrapped."""
        deadline = time.monotonic() + 60
        while not xdotool(self.display.name, "search", "--onlyvisible", "--name",
                          "Marovendel").stdout.split():
            self.assertLess(time.monotonic(), deadline, "no console window came up")
            time.sleep(0.2)
        time.sleep(3)
        target = self.prefix.unix_path("C:\\screen.txt")
        while time.monotonic() < deadline:
            dumped = self.prefix.run("C:\\Tools\\dump_console.exe", "Marovendel.exe", "C:\\screen.txt")
            if dumped.status == 0:
                with open(target, encoding="utf-8") as handle:
                    lines = handle.read().split("\n")
                if any(line.startswith("Type a number") for line in lines):
                    return int(lines[0].split()[1]), lines[1:]
            time.sleep(0.5)
        self.fail("the home screen never showed")

    def test_the_home_screen_wraps_at_spaces_to_the_window(self):
        p = self.prefix
        self.assertEqual(p.marovendel("HKCU", "Chromium", LONG_PATH).status, 0)
        env = wine_harness._environment(p.path, wine_harness.loader())
        program = subprocess.Popen(
            wine_harness.FIXED_LAYOUT + [wine_harness.loader(), "C:\\Tools\\start_in_new_console.exe",
                                         wine_harness.EXE_WINDOWS_PATH],
            env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            width, rows = self.screen()
            window = xdotool(self.display.name, "search", "--onlyvisible", "--name",
                             "Marovendel").stdout.split()[0]
            xdotool(self.display.name, "windowfocus", "--sync", window)
            xdotool(self.display.name, "key", "Return")
            self.assertEqual(program.wait(timeout=60), 0)
        finally:
            if program.poll() is None:
                program.kill()
                program.wait()
        self.assertEqual(width, 80)
        # The drag hint breaks before the word that no longer fits; the
        # listed path starts a row of its own, indented as its line, whole:
        # only the window itself breaks it where it is wider than a row.
        self.assertIn("To register a browser for yourself, drag its .exe or its shortcut onto", rows)
        self.assertIn("Marovendel.exe.", rows)
        listed = rows.index("  1. Chromium")
        self.assertEqual(rows[listed + 1] + rows[listed + 2], "  " + LONG_PATH)
        self.assertEqual(rows[listed + 3], "  [program not found]")
        self.assertEqual([row for row in rows[:listed + 1] + rows[listed + 3:] if len(row) >= width],
                         [])


if __name__ == "__main__":
    unittest.main(verbosity=2)
