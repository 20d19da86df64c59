"""repair end to end: a browser registered on E: whose stick Wine now maps
as another drive letter, repaired by the real exe under Wine and checked
with Wine's reg.exe, the exe run from the stick itself and from C:."""

import os
import shutil
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_harness import WinePrefix, exe_path  # noqa: E402

CLIENTS = "HKCU\\Software\\Clients\\StartMenuInternet\\"
CLASSES = "HKCU\\Software\\Classes\\"


def value(prefix, key, name=None):
    """The data reg query shows for a value, or None when it is missing."""
    args = ["query", key] + (["/v", name] if name else ["/ve"])
    result = prefix.reg(*args, missing_ok=True)
    for line in result.stdout.splitlines():
        parts = line.strip().split("    ")
        if len(parts) == 3 and parts[1].startswith("REG_"):
            return parts[2]
    return None


def registration(prefix, name):
    """The four values a repair may change, in a fixed order."""
    return [value(prefix, CLIENTS + name + "\\shell\\open\\command"),
            value(prefix, CLIENTS + name + "\\Capabilities", "ApplicationIcon"),
            value(prefix, CLASSES + name + "URL\\DefaultIcon"),
            value(prefix, CLASSES + name + "URL\\shell\\open\\command")]


class RepairTest(unittest.TestCase):
    def setUp(self):
        self.prefix = WinePrefix("repair")

    def tearDown(self):
        self.prefix.close()

    def stick(self, name, *programs):
        """A folder of the prefix standing for a USB stick, holding
        Marovendel.exe in Tools and an empty file for each program."""
        folder = os.path.join(self.prefix.path, name)
        os.makedirs(os.path.join(folder, "Tools"))
        shutil.copy2(exe_path(), os.path.join(folder, "Tools", "Marovendel.exe"))
        for program in programs:
            path = os.path.join(folder, *program.split("\\"))
            os.makedirs(os.path.dirname(path), exist_ok=True)
            open(path, "wb").close()
        return folder

    def register(self, name, exe):
        result = self.prefix.marovendel("HKCU", name, exe)
        self.assertEqual(result.status, 0, result)

    def test_a_stick_under_another_letter(self):
        p = self.prefix
        foo = "PortableApps\\Foo\\foo.exe"
        self.register("Foo", "E:\\" + foo)
        # A profile in the program's folder follows it; a path elsewhere on
        # the old drive stays.
        command = ('"E:\\%s" --user-data-dir="E:\\PortableApps\\Foo\\User Data" '
                   '--disk-cache-dir="E:\\Cache"' % foo)
        p.reg("add", CLIENTS + "Foo\\shell\\open\\command", "/ve", "/d", command, "/f")
        p.map_drives({"F": self.stick("stickF", foo)})

        result = p.run("F:\\Tools\\Marovendel.exe", "repair")
        self.assertEqual(result.stdout, "Foo: E:\\%s is now F:\\%s; backup in F:\\Tools\\Foo.reg\n"
                         % (foo, foo))
        self.assertEqual(result.status, 0)
        self.assertEqual(registration(p, "Foo"), [
            '"F:\\%s" --user-data-dir="F:\\PortableApps\\Foo\\User Data" '
            '--disk-cache-dir="E:\\Cache"' % foo,
            "F:\\" + foo, "F:\\" + foo, '"F:\\%s" "%%1"' % foo])
        self.assertTrue(os.path.isfile(os.path.join(p.path, "stickF", "Tools", "Foo.reg")))
        self.assertEqual(p.marovendel("check", "HKCU", "Foo").stdout.splitlines()[0],
                         "Foo is registered correctly under HKCU.")

        # On two other drives nothing is written; the stick Marovendel runs
        # from wins.
        bar = "PortableApps\\Bar\\bar.exe"
        self.register("Bar", "E:\\" + bar)
        p.map_drives({"F": self.stick("stickF2", foo, bar), "G": self.stick("stickG", bar)})
        before = registration(p, "Bar")
        result = p.marovendel("repair")
        self.assertEqual(result.stdout, "Bar: E:\\%s was found on F: and G:; drop the one you use "
                         "onto Marovendel.exe.\n" % bar)
        self.assertEqual(result.status, 2)
        self.assertEqual(registration(p, "Bar"), before)

        result = p.run("G:\\Tools\\Marovendel.exe", "repair", "HKCU")
        self.assertEqual(result.stdout, "Bar: E:\\%s is now G:\\%s; backup in G:\\Tools\\Bar.reg\n"
                         % (bar, bar))
        self.assertEqual(result.status, 0)
        self.assertEqual(registration(p, "Bar"),
                         ["G:\\" + bar, "G:\\" + bar, "G:\\" + bar, '"G:\\%s" "%%1"' % bar])
        result = p.marovendel("repair")
        self.assertEqual(result.stdout,
                         "Every registered browser under HKCU starts a program that exists.\n")
        self.assertEqual(result.status, 0)

        # For every user only the drive Marovendel runs from counts.
        self.assertEqual(p.marovendel("HKLM", "Baz", "E:\\" + bar).status, 0)
        result = p.marovendel("repair", "HKLM")
        self.assertEqual(result.stdout, "Baz: E:\\%s was not found on C:, the drive Marovendel runs "
                         "from; if the browser has moved, register it again with its new path.\n"
                         % bar)
        self.assertEqual(result.status, 2)
        result = p.run("G:\\Tools\\Marovendel.exe", "repair", "HKLM")
        self.assertEqual(result.stdout.splitlines()[0],
                         "Baz: E:\\%s is now G:\\%s; backup in G:\\Tools\\Baz.reg" % (bar, bar))
        self.assertEqual(value(p, "HKLM\\Software\\Classes\\BazURL\\shell\\open\\command"),
                         '"G:\\%s" "%%1"' % bar)


if __name__ == "__main__":
    unittest.main()
