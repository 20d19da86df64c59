"""The defaults form end to end, and the warning an HKLM registration gets
where standard users could change its program: the real exe under Wine, the
file read with xml.etree and the registration with reg.exe. The refusals are
rows of the unit tests."""

import os
import sys
import unittest
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wine_harness  # noqa: E402
from wine_harness import WinePrefix  # noqa: E402

CLIENTS = "HKLM\\Software\\Clients\\StartMenuInternet"
NAME = 'Fish & "Chips"'
# The name made safe as a file name: " becomes _.
DEFAULT_FILE = "C:\\Tools\\Fish & _Chips_.defaults.xml"
EXE = "C:\\Program Files\\Fish\\fish.exe"
DECLARATION = b'<?xml version="1.0" encoding="UTF-8"?>\r\n'


def values(prefix, key):
    """The string values of key in the order reg lists them, as (name, data)."""
    found = []
    for line in prefix.reg("query", key).stdout.split("\n"):
        parts = line.strip().split("    ")
        if len(parts) == 3 and parts[1] == "REG_SZ":
            found.append((parts[0], parts[2]))
    return found


class DefaultsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = WinePrefix("defaults")
        cls.prefix.put(EXE)
        registered = cls.prefix.marovendel("HKLM", NAME, EXE, "-all")
        assert registered.status == 0, registered

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()

    def read(self, windows_path):
        with open(self.prefix.unix_path(windows_path), "rb") as handle:
            return handle.read()

    def test_the_file_holds_every_association_of_the_registration(self):
        result = self.prefix.marovendel("defaults", "HKLM", NAME)
        self.assertEqual(result.status, 0, result)
        self.assertEqual(result.stdout.split("\n")[:2], [
            "Default associations written to " + DEFAULT_FILE,
            'For new user profiles, run: Dism.exe /Online /Import-DefaultAppAssociations:"%s"'
            % DEFAULT_FILE])
        data = self.read(DEFAULT_FILE)
        self.assertTrue(data.startswith(DECLARATION), data[:60])
        self.assertNotIn(b"\n", data.replace(b"\r\n", b""), "every line ends with CR LF")
        self.assertIn(b'ApplicationName="Fish &amp; &quot;Chips&quot;"', data)
        root = ElementTree.fromstring(data)
        self.assertEqual(root.tag, "DefaultAssociations")
        self.assertEqual(root.attrib, {})
        capabilities = CLIENTS + "\\" + NAME + "\\Capabilities"
        expected = [{"Identifier": name, "ProgId": progid, "ApplicationName": NAME}
                    for key in ("FileAssociations", "URLAssociations")
                    for name, progid in values(self.prefix, capabilities + "\\" + key)]
        self.assertEqual(len(expected), 12)  # nine file types, three schemes
        self.assertEqual([element.attrib for element in root], expected)
        self.assertEqual({element.tag for element in root}, {"Association"})

    def test_once_makes_each_association_a_suggestion(self):
        target = "C:\\once.xml"
        result = self.prefix.marovendel("defaults", "HKLM", NAME, target, "-once")
        self.assertEqual(result.status, 0, result)
        root = ElementTree.fromstring(self.read(target))
        self.assertEqual(root.attrib, {"Version": "1"})
        self.assertEqual({element.get("Suggested") for element in root}, {"true"})
        self.assertIn("\nVersion 1: ", result.stdout)
        # The same associations again keep their Version, so Windows does not
        # impose them a second time.
        again = self.prefix.marovendel("defaults", "HKLM", NAME, target, "-once")
        self.assertEqual(again.status, 0, again)
        self.assertEqual(ElementTree.fromstring(self.read(target)).attrib, {"Version": "1"})
        self.assertIn("\nVersion 1, as before: ", again.stdout)


class DriveWarningTest(unittest.TestCase):
    """Wine takes drive types from HKLM\\Software\\Wine\\Drives, and gives a
    folder that every Unix user may write a list that lets Everyone write."""

    DRIVES = {"e:": "floppy", "n:": "network", "f:": "hd"}

    @classmethod
    def setUpClass(cls):
        cls.prefix = WinePrefix("drives")
        for letter, kind in cls.DRIVES.items():
            folder = os.path.join(cls.prefix.path, "drive-" + letter[0])
            os.makedirs(os.path.join(folder, "Foo"))
            open(os.path.join(folder, "Foo", "foo.exe"), "wb").close()
            os.symlink(folder, os.path.join(cls.prefix.path, "dosdevices", letter))
            cls.prefix.reg("add", "HKLM\\Software\\Wine\\Drives", "/v", letter, "/d", kind, "/f")
        for folder, mode in (("C:\\Open", 0o777), ("C:\\Closed", 0o755)):
            cls.prefix.put(folder + "\\foo.exe")
            os.chmod(cls.prefix.unix_path(folder), mode)
        # A program file every Unix user may write: Wine lets Everyone write it.
        cls.prefix.put("C:\\Closed\\shared.exe")
        os.chmod(cls.prefix.unix_path("C:\\Closed\\shared.exe"), 0o666)
        # The mount manager reads the drive types when it starts.
        wine_harness._stop_server(cls.prefix.path)
        wine_harness._start_server(cls.prefix.path)

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()

    def test_only_a_program_standard_users_could_change_warns_and_only_under_hklm(self):
        cases = [
            ("HKLM", "E:\\Foo\\foo.exe", "on a removable drive"),
            ("HKLM", "N:\\Foo\\foo.exe", "on a network drive"),
            ("HKLM", "F:\\Foo\\foo.exe", None),
            ("HKLM", "C:\\Open\\foo.exe", "in C:\\Open, which standard users may change"),
            ("HKLM", "C:\\Closed\\foo.exe", None),
            ("HKCU", "E:\\Foo\\foo.exe", None),
        ]
        for root, exe, where in cases:
            with self.subTest(root=root, exe=exe):
                result = self.prefix.marovendel(root, "Foo", exe)
                self.assertEqual(result.status, 0, result)
                self.assertEqual(result.stdout,
                                 "Portable browser registered successfully.\nhttp/https: FooURL\n")
                if where is None:
                    self.assertNotIn("Warning:", result.stderr)
                else:
                    self.assertIn("Warning: %s lies %s, so any of them could replace it"
                                  % (exe, where), result.stderr)

    def test_the_program_files_own_permissions_are_read(self):
        result = self.prefix.marovendel("HKLM", "Shared", "C:\\Closed\\shared.exe")
        self.assertEqual(result.status, 0, result)
        self.assertIn("Warning: standard users may change C:\\Closed\\shared.exe, so any of them "
                      "could replace it", result.stderr)


if __name__ == "__main__":
    unittest.main()
