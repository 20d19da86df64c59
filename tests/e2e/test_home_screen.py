"""The home screen of a double-click, in a real Wine console window: the
program started as Explorer starts it, in a console of its own on a virtual
X display, keys typed into that window with xdotool, and what the window
shows read back from it."""

import os
import shutil
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wine_harness  # noqa: E402
from wine_harness import WinePrefix  # noqa: E402

CLIENTS = "HKCU\\Software\\Clients\\StartMenuInternet"
GONE = "HKCU\\Software\\Clients\\StartMenuInternet\\Gone"
# A path as long as a window is wide stays whole on a row of its own.
LONG_PATH = "E:\\" + "\\".join(["PortableApps"] * 6) + "\\Chromium\\User Data\\chrome.exe"


class VirtualDisplay:
    """An X server of its own (Xvfb), on a display number it picks."""

    def __init__(self):
        read, write = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=[write], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as numbers:
            self.name = ":" + numbers.readline().strip()

    def close(self):
        self.server.terminate()
        self.server.wait(timeout=30)


def xdotool(display, *args):
    return subprocess.run(["xdotool", *args], env=dict(os.environ, DISPLAY=display),
                          stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=30)


class HomeScreenTest(unittest.TestCase):
    def setUp(self):
        missing = [tool for tool in ("Xvfb", "xdotool") if shutil.which(tool) is None]
        self.assertEqual(missing, [], "scripts/install-deps.sh installs xvfb and xdotool")
        helper = os.environ.get("MAROVENDEL_START_IN_NEW_CONSOLE")
        if not helper:
            self.skipTest("helper program not built: MAROVENDEL_START_IN_NEW_CONSOLE")
        self.display = VirtualDisplay()
        self.addCleanup(self.display.close)
        # The prefix's first program decides whether its windows can be
        # shown: it must start on the display.
        saved = os.environ.get("DISPLAY")
        os.environ["DISPLAY"] = self.display.name
        self.addCleanup(lambda: os.environ.pop("DISPLAY") if saved is None
                        else os.environ.update(DISPLAY=saved))
        self.prefix = WinePrefix("home")
        self.addCleanup(self.prefix.close)
        shutil.copy2(helper, os.path.join(self.prefix.tools, "start_in_new_console.exe"))
        dumper = os.environ.get("MAROVENDEL_DUMP_CONSOLE")
        if dumper:
            shutil.copy2(dumper, os.path.join(self.prefix.tools, "dump_console.exe"))

    def double_click(self, lines, before_typing=lambda: None):
        """Starts Marovendel.exe in a console window of its own, calls
        before_typing once the window is up, types each line and Enter into
        that window, and returns its exit status."""
        env = wine_harness._environment(self.prefix.path, wine_harness.loader())
        program = subprocess.Popen(
            wine_harness.FIXED_LAYOUT + [wine_harness.loader(),
                                         "C:\\Tools\\start_in_new_console.exe",
                                         wine_harness.EXE_WINDOWS_PATH],
            env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        try:
            window = None
            deadline = time.monotonic() + 60
            while window is None and time.monotonic() < deadline:
                found = xdotool(self.display.name, "search", "--onlyvisible", "--name",
                                "Marovendel").stdout.split()
                window = found[0] if found else None
                time.sleep(0.2)
            self.assertIsNotNone(window, "no console window came up")
            before_typing()
            xdotool(self.display.name, "windowfocus", "--sync", window)
            for line in lines:
                if line:
                    xdotool(self.display.name, "type", "--delay", "30", line)
                xdotool(self.display.name, "key", "Return")
            return program.wait(timeout=60)
        finally:
            if program.poll() is None:
                program.kill()
                program.wait()

    def test_a_number_manages_that_browser_and_enter_closes(self):
        p = self.prefix
        backup = os.path.join(p.tools, "Gone.reg")
        cases = [
            # Enter alone closes the window and changes nothing.
            ("close", [""], True),
            # The first browser, Remove it, yes, then Enter on the list.
            ("remove", ["1", "3", "y", ""], False),
        ]
        for name, lines, remains in cases:
            with self.subTest(name):
                self.assertEqual(p.marovendel("HKCU", "Gone", "E:\\Gone\\gone.exe").status, 0)
                self.assertEqual(self.double_click(lines), 0)
                self.assertEqual(p.reg("query", GONE, missing_ok=True).status == 0, remains)
                self.assertEqual(os.path.isfile(backup), not remains)

    def test_starts_where_nobody_can_press_a_key_end_by_themselves(self):
        """A console without a window (CREATE_NO_WINDOW, as .NET's
        CreateNoWindow and Python's creationflags start it), and a console
        window that a script's start /wait made, started by a console
        program (cmd; under Wine its start.exe), and a console window on a
        window station no one sees, as a service's process has: none waits
        for a key, nor shows the home screen."""
        exe = wine_harness.EXE_WINDOWS_PATH
        no_window = ["C:\\Tools\\start_in_new_console.exe", "--no-window", exe]
        service = ["C:\\Tools\\start_in_new_console.exe", "--service-station", exe]
        cases = [
            ("CREATE_NO_WINDOW, list", no_window + ["list"], 0),
            ("CREATE_NO_WINDOW, no arguments", no_window, 1),
            ("a service's window station, list", service + ["list"], 0),
            ("cmd /c start /wait, list", ["cmd", "/c", "start", "", "/wait", exe, "list"], 0),
        ]
        for name, command, status in cases:
            with self.subTest(name):
                try:
                    exited, _ = self.prefix.run_raw(*command, timeout=20)
                except subprocess.TimeoutExpired:
                    self.fail("still running after 20 s, waiting for a key nobody can press")
                self.assertEqual(exited, status)


    def screen(self):
        """The width and rows of the window once the home screen waits for a
        key. Attaching to the console adds a process to it, so it waits until
        the window has had time to print: a console shared before the first
        line would rightly not be wrapped."""
        time.sleep(3)
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline:
            dumped = self.prefix.run("C:\\Tools\\dump_console.exe", "Marovendel.exe",
                                     "C:\\screen.txt")
            if dumped.status == 0:
                with open(self.prefix.unix_path("C:\\screen.txt"), encoding="utf-16-le") as handle:
                    lines = handle.read().split("\n")
                if any(line.startswith("Type a number") for line in lines):
                    return int(lines[0].split()[1]), lines[1:]
            time.sleep(0.5)
        self.fail("the home screen never showed")

    def test_the_home_screen_wraps_at_spaces_to_the_window(self):
        if not os.environ.get("MAROVENDEL_DUMP_CONSOLE"):
            self.skipTest("helper program not built: MAROVENDEL_DUMP_CONSOLE")
        self.assertEqual(self.prefix.marovendel("HKCU", "Chromium", LONG_PATH).status, 0)
        shown = []
        self.assertEqual(self.double_click([""], lambda: shown.append(self.screen())), 0)
        width, rows = shown[0]
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
