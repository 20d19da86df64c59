"""Removal end to end: the backup the real exe writes under Wine imports back
with Wine's own reg.exe into exactly what was deleted."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_harness import WinePrefix  # noqa: E402

CLIENT = "HKCU\\Software\\Clients\\StartMenuInternet\\%s"


def hex_bytes(data):
    return ",".join("%02x" % b for b in data)


def foreign_values(name):
    """A registry-editor text adding foreign values of every kind to name."""
    key = "[HKEY_CURRENT_USER\\Software\\Clients\\StartMenuInternet\\%s" % name
    lines = ["Windows Registry Editor Version 5.00", ""]
    lines += [key + "\\Capabilities]",
              '"Quoted \\"name\\" \\\\ here"="C:\\\\x \\"y\\" \u00e9\u65e5"',
              '"Lines"=hex(1):%s' % hex_bytes("one\r\ntwo\0".encode("utf-16-le")),
              '"Expand"=hex(2):%s' % hex_bytes("%SystemRoot%\\x.exe\0".encode("utf-16-le")),
              '"Multi"=hex(7):%s' % hex_bytes("a\0b \u00e9\0\0".encode("utf-16-le")),
              '"Binary"=hex:%s' % hex_bytes(bytes(range(256)) * 5),
              '"Long"="%s"' % ("L" * 600),
              '"Number"=dword:000000ff',
              '"Big"=hex(b):01,02,03,04,05,06,07,08',
              '"Odd"=hex(2a):ab,cd',
              "",
              key + "\\Deep\\Deeper\\Deepest]",
              '@="deep"',
              "",
              key + "\\Empty]",
              ""]
    return "\r\n".join(lines) + "\r\n"


class DeleteTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = WinePrefix("delete")

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()

    def backup_path(self, name):
        return os.path.join(self.prefix.tools, name + ".reg")

    def test_backup_of_every_kind_imports_back_identically(self):
        p = self.prefix
        self.assertEqual(p.marovendel("HKCU", "Mixed", "C:\\Apps\\m.exe").status, 0)
        self.assertEqual(p.reg_import_text(foreign_values("Mixed")).status, 0)
        before = p.reg_export(CLIENT % "Mixed")
        self.assertIn("hex(2a):ab,cd", before)
        apps_before = p.reg("query", "HKCU\\Software\\RegisteredApplications", "/v", "Mixed").stdout

        result = p.marovendel("delete", "HKCU", "Mixed")
        self.assertEqual(result.stdout,
                         "Successfully exported registry keys to C:\\Tools\\Mixed.reg\n"
                         "Successfully deleted browser registry key: "
                         "SOFTWARE\\Clients\\StartMenuInternet\\Mixed\n"
                         "Successfully deleted browser from RegisteredApplications: Mixed\n")
        self.assertEqual(result.status, 0)
        self.assertIsNone(p.reg_export(CLIENT % "Mixed"))
        with open(self.backup_path("Mixed"), "rb") as handle:
            self.assertTrue(handle.read(2) == b"\xff\xfe", "non-ASCII data needs the Unicode form")

        self.assertEqual(p.reg("import", "C:\\Tools\\Mixed.reg").status, 0)
        self.assertEqual(p.reg_export(CLIENT % "Mixed"), before)
        self.assertEqual(p.reg("query", "HKCU\\Software\\RegisteredApplications", "/v", "Mixed").stdout,
                         apps_before)
        # The class key is not part of the removal.
        self.assertIsNotNone(p.reg_export("HKCU\\Software\\Classes\\MixedURL"))

    def test_plain_registration_backs_up_as_8bit_text_and_a_second_removal_keeps_it(self):
        p = self.prefix
        p.marovendel("HKCU", "Plain", "C:\\Apps\\Plain\\plain.exe")
        self.assertEqual(p.marovendel("delete", "HKCU", "Plain").status, 0)
        k = "[HKEY_CURRENT_USER\\SOFTWARE\\Clients\\StartMenuInternet\\Plain"
        exe = '"C:\\\\Apps\\\\Plain\\\\plain.exe"'
        expected = ("Windows Registry Editor Version 5.00\r\n\r\n"
                    + k + ']\r\n@="Plain"\r\n\r\n'
                    # Wine's store enumerates values by name, Windows by age.
                    + k + '\\Capabilities]\r\n"ApplicationDescription"="Plain"\r\n\r\n'
                    + k + '\\Capabilities]\r\n"ApplicationIcon"=' + exe + '\r\n\r\n'
                    + k + '\\Capabilities]\r\n"ApplicationName"="Plain"\r\n\r\n'
                    + k + '\\Capabilities\\FileAssociations]\r\n".htm"="PlainURL"\r\n\r\n'
                    + k + '\\Capabilities\\FileAssociations]\r\n".html"="PlainURL"\r\n\r\n'
                    + k + '\\Capabilities\\URLAssociations]\r\n"http"="PlainURL"\r\n\r\n'
                    + k + '\\Capabilities\\URLAssociations]\r\n"https"="PlainURL"\r\n\r\n'
                    + k + '\\shell\\open\\command]\r\n@=' + exe + '\r\n\r\n'
                    + "[HKEY_CURRENT_USER\\SOFTWARE\\RegisteredApplications]\r\n"
                    + '"Plain"="Software\\\\Clients\\\\StartMenuInternet\\\\Plain\\\\Capabilities"\r\n\r\n')
        with open(self.backup_path("Plain"), "rb") as handle:
            first = handle.read()
        self.assertEqual(first.decode("ascii"), expected)

        result = p.marovendel("delete", "HKCU", "Plain")
        self.assertEqual(result.stdout,
                         "Nothing to export for Plain.\n"
                         "Failed to delete browser registry key: "
                         "SOFTWARE\\Clients\\StartMenuInternet\\Plain\n"
                         "Failed to delete browser from RegisteredApplications: Plain\n")
        self.assertEqual(result.status, 2)
        with open(self.backup_path("Plain"), "rb") as handle:
            self.assertEqual(handle.read(), first)

    def test_a_backup_that_cannot_be_written_deletes_nothing(self):
        p = self.prefix
        p.marovendel("HKCU", "Stuck", "C:\\s.exe")
        os.makedirs(self.backup_path("Stuck"))  # a folder where the file must go
        before = p.reg_export(CLIENT % "Stuck")
        result = p.marovendel("delete", "HKCU", "Stuck")
        self.assertEqual(result.stdout, "Failed to export registry keys to C:\\Tools\\Stuck.reg\n")
        self.assertEqual(result.status, 2)
        self.assertEqual(p.reg_export(CLIENT % "Stuck"), before)
        self.assertFalse(os.path.exists(self.backup_path("Stuck") + ".tmp"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
