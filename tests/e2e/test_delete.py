"""Removal end to end: the backup the real exe writes under Wine imports back
with Wine's own reg.exe into exactly what was deleted, every value with its
type and bytes."""

import os
import shutil
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_harness import WinePrefix, decode_reg_file  # noqa: E402

CLIENTS = "Software\\Clients\\StartMenuInternet"
APPLICATIONS = "Software\\RegisteredApplications"
HEADER = "Windows Registry Editor Version 5.00\n\n"
ALL_TYPES = (".htm", ".html", ".shtml", ".xht", ".xhtml", ".svg", ".webp", ".avif", ".pdf")


def hex_bytes(data):
    return ",".join("%02x" % b for b in data)


def utf16(text):
    return hex_bytes(text.encode("utf-16-le"))


def foreign_values(name):
    """Registry-editor text adding foreign values of every kind to name."""
    key = "[HKEY_CURRENT_USER\\%s\\%s" % (CLIENTS, name)
    lines = ["Windows Registry Editor Version 5.00", ""]
    lines += [key + "\\Capabilities]",
              '"Quoted \\"name\\" \\\\ here"="C:\\\\x \\"y\\" \u00e9\u65e5 \U0001F600"',
              '"Lines"=hex(1):%s' % utf16("one\r\ntwo\0"),
              '"Tab"=hex(1):%s' % utf16("a\tb\0"),
              '"Odd"=hex(1):61,00,62',
              '"Unterminated"=hex(1):%s' % utf16("hi"),
              '"Embedded"=hex(1):%s' % utf16("a\0b\0"),
              '"Empty"=""',
              '"Expand"=hex(2):%s' % utf16("%SystemRoot%\\x.exe\0"),
              '"Multi"=hex(7):%s' % utf16("a\0b \u00e9\0\0"),
              '"Binary"=hex:%s' % hex_bytes(bytes(range(256)) * 5),
              '"NoBytes"=hex:',
              '"Long"="%s"' % ("L" * 600),
              '"Number"=dword:000000ff',
              '"Short"=hex(4):01,02',
              '"Big"=hex(b):01,02,03,04,05,06,07,08',
              '"Type2a"=hex(2a):ab,cd',
              '"Huge"=hex(ffff0001):01',
              '"None"=hex(0):',
              '"N\u00e4me"="v"',
              "",
              key + "\\Deep\\Deeper\\Deepest]",
              '@="deep"',
              "",
              key + "\\Deep\\Number]",
              "@=dword:00000007",
              "",
              key + "\\\u00dcn\u00efcode \u65e5\u672c]",
              '"x"="y"',
              "",
              key + "\\Brackets]in]name]",
              '"x"="y"',
              "",
              key + "\\Empty]",
              ""]
    return "\r\n".join(lines) + "\r\n"


def single_hex_values(name):
    """Registry-editor text giving name one subkey per long hex value, with
    names of every length up to 12 so that every wrapping offset occurs."""
    key = "[HKEY_CURRENT_USER\\%s\\%s\\Wrap" % (CLIENTS, name)
    lines = ["Windows Registry Editor Version 5.00", ""]
    for length in range(13):
        value = '"%s"' % ("n" * length) if length else "@"
        lines += [key + "%02d]" % length, value + "=hex:%s" % hex_bytes(bytes(range(200))), ""]
    lines += [key + "Expand]", '"E"=hex(2):%s' % utf16("%TEMP%\\" + "x" * 60 + "\0"), "",
              key + "Multi]", '"M\\"q"=hex(7):%s' % utf16("one\0two\0" + "z" * 40 + "\0\0"), ""]
    return "\r\n".join(lines) + "\r\n"


class DeleteTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = WinePrefix("delete")
        cls.dump_tree = None
        helper = os.environ.get("MAROVENDEL_DUMP_TREE")
        if helper:
            shutil.copy(helper, os.path.join(cls.prefix.tools, "dump_tree.exe"))
            cls.dump_tree = "C:\\Tools\\dump_tree.exe"

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()

    def backup_path(self, name):
        return os.path.join(self.prefix.tools, name + ".reg")

    def read_backup(self, name):
        with open(self.backup_path(name), "rb") as handle:
            return handle.read()

    def state(self, name):
        """Every key and value of the client's tree and its RegisteredApplications
        value, exactly (with the helper) or as reg prints them."""
        p = self.prefix
        if self.dump_tree:
            status, tree = p.run_raw(self.dump_tree, "HKCU", CLIENTS + "\\" + name)
            self.assertIn(status, (0, 1))
            status, value = p.run_raw(self.dump_tree, "HKCU", APPLICATIONS, name)
            self.assertIn(status, (0, 1))
            return sorted(tree.decode("ascii").splitlines()), value.decode("ascii")
        return (p.reg_export("HKCU\\%s\\%s" % (CLIENTS, name)),
                p.reg("query", "HKCU\\" + APPLICATIONS, "/v", name, missing_ok=True).stdout)

    def class_state(self, name):
        """Every key and value of the client's class, exactly (with the
        helper) or as reg export writes them; None when it is missing."""
        path = "Software\\Classes\\%sURL" % name
        if self.dump_tree:
            status, tree = self.prefix.run_raw(self.dump_tree, "HKCU", path)
            return sorted(tree.decode("ascii").splitlines()) if status == 0 else None
        return self.prefix.reg_export("HKCU\\" + path)

    def test_backup_of_every_kind_imports_back_identically(self):
        p = self.prefix
        self.assertEqual(p.marovendel("HKCU", "Mixed", "C:\\Apps\\m.exe").status, 0)
        self.assertEqual(p.reg_import_text(foreign_values("Mixed")).status, 0)
        before = self.state("Mixed")
        if self.dump_tree:
            self.assertIn("V 4300610070006100620069006c0069007400690065007300 "
                          "4800750067006500 ffff0001 01", before[0])
            self.assertEqual(len(before[0]), 14 + 9 + 23)  # keys, registration values, foreign values

        result = p.marovendel("delete", "HKCU", "Mixed")
        self.assertEqual(result.stdout,
                         "Successfully exported registry keys to C:\\Tools\\Mixed.reg\n"
                         "Successfully deleted browser registry key: "
                         "SOFTWARE\\Clients\\StartMenuInternet\\Mixed\n"
                         "Successfully deleted browser from RegisteredApplications: Mixed\n")
        self.assertEqual(result.status, 0)
        self.assertNotEqual(self.state("Mixed"), before)
        self.assertEqual(self.read_backup("Mixed")[:2], b"\xff\xfe", "non-ASCII text needs the Unicode form")

        self.assertEqual(p.reg("import", "C:\\Tools\\Mixed.reg").status, 0)
        self.assertEqual(self.state("Mixed"), before)
        # The class key is not part of the removal.
        self.assertIsNotNone(p.reg_export("HKCU\\Software\\Classes\\MixedURL"))

    def test_all_removes_the_class_and_its_backup_restores_all_three_parts(self):
        p = self.prefix
        self.assertEqual(p.marovendel("HKCU", "Whole", "C:\\Apps\\w.exe").status, 0)
        self.assertEqual(p.reg_import_text(
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Classes\\WholeURL]\r\n"
            '"URL Protocol"=""\r\n"EditFlags"=dword:00000002\r\n\r\n'
            "[HKEY_CURRENT_USER\\Software\\Classes\\WholeURL\\Application]\r\n"
            '"ApplicationName"="W\u00f6le"\r\n').status, 0)
        before = (self.state("Whole"), self.class_state("Whole"))
        self.assertIsNotNone(before[1])
        if self.dump_tree:
            self.assertEqual(len(before[1]), 6 + 7)  # keys, values

        result = p.marovendel("delete", "HKCU", "Whole", "-all")
        self.assertEqual(result.stdout,
                         "Successfully exported registry keys to C:\\Tools\\Whole.reg\n"
                         "Successfully deleted browser registry key: "
                         "SOFTWARE\\Clients\\StartMenuInternet\\Whole\n"
                         "Successfully deleted browser from RegisteredApplications: Whole\n"
                         "Successfully deleted browser class key: SOFTWARE\\Classes\\WholeURL\n")
        self.assertEqual(result.status, 0)
        self.assertIsNone(self.class_state("Whole"))
        self.assertIsNone(p.reg_export("HKCU\\%s\\Whole" % CLIENTS))

        self.assertEqual(p.reg("import", "C:\\Tools\\Whole.reg").status, 0)
        self.assertEqual((self.state("Whole"), self.class_state("Whole")), before)

    def open_with(self):
        """reg export of the Open with list of each of the nine types."""
        return {t: self.prefix.reg_export("HKCU\\Software\\Classes\\%s\\OpenWithProgids" % t)
                for t in ALL_TYPES}

    def test_all_takes_the_class_off_open_with_and_the_backup_puts_it_back(self):
        p = self.prefix
        self.assertEqual(p.marovendel("HKCU", "Full", "C:\\Apps\\f.exe", "-all").status, 0)
        self.assertEqual(p.reg_import_text(
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Classes\\.pdf\\OpenWithProgids]\r\n"
            '"Reader.pdf"=hex(0):\r\n').status, 0)
        before = self.open_with()
        for file_type, text in before.items():
            self.assertIn('"FullURL"=hex(0):', text or "", file_type)

        result = p.marovendel("delete", "HKCU", "Full", "-all")
        self.assertEqual(result.stdout,
                         "Successfully exported registry keys to C:\\Tools\\Full.reg\n"
                         "Successfully deleted browser registry key: "
                         "SOFTWARE\\Clients\\StartMenuInternet\\Full\n"
                         "Successfully deleted browser from RegisteredApplications: Full\n"
                         "Successfully deleted browser class key: SOFTWARE\\Classes\\FullURL\n"
                         + "".join("Successfully deleted FullURL from "
                                   "SOFTWARE\\Classes\\%s\\OpenWithProgids.\n" % t for t in ALL_TYPES))
        self.assertEqual(result.status, 0)
        after = self.open_with()
        for file_type, text in after.items():
            self.assertIsNotNone(text, "the key stays: %s" % file_type)
            self.assertNotIn("FullURL", text)
        self.assertIn('"Reader.pdf"=hex(0):', after[".pdf"])
        # The values follow the class in the backup.
        backup = decode_reg_file(self.read_backup("Full"))
        self.assertLess(backup.index("[HKEY_CURRENT_USER\\SOFTWARE\\Classes\\FullURL]"),
                        backup.index("[HKEY_CURRENT_USER\\SOFTWARE\\Classes\\.htm\\OpenWithProgids]"))

        self.assertEqual(p.reg("import", "C:\\Tools\\Full.reg").status, 0)
        self.assertEqual(self.open_with(), before)

    def test_hex_data_wraps_as_reg_export_wraps_it(self):
        p = self.prefix
        p.marovendel("HKCU", "Wrapped", "C:\\w.exe")
        self.assertEqual(p.reg_import_text(single_hex_values("Wrapped")).status, 0)
        theirs = []
        for suffix in ["%02d" % n for n in range(13)] + ["Expand", "Multi"]:
            text = p.reg_export("HKCU\\SOFTWARE\\Clients\\StartMenuInternet\\Wrapped\\Wrap" + suffix)
            self.assertTrue(text.startswith(HEADER), text)
            theirs.append(text[len(HEADER):])
        self.assertEqual(p.marovendel("delete", "HKCU", "Wrapped").status, 0)
        ours = decode_reg_file(self.read_backup("Wrapped"))
        for section in theirs:
            self.assertIn(section, ours)
        hex_lines = [line for line in ours.split("\n") if "=hex" in line or line.startswith("  ")]
        self.assertGreater(len(hex_lines), 13 * 8)
        self.assertEqual([line for line in hex_lines if len(line) > 80], [])

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
        first = self.read_backup("Plain")
        self.assertEqual(first, expected.encode("ascii"))

        result = p.marovendel("delete", "HKCU", "Plain")
        self.assertEqual(result.stdout,
                         "Nothing to export for Plain.\n"
                         "Failed to delete browser registry key: "
                         "SOFTWARE\\Clients\\StartMenuInternet\\Plain\n"
                         "Failed to delete browser from RegisteredApplications: Plain\n")
        self.assertEqual(result.status, 2)
        self.assertEqual(self.read_backup("Plain"), first)

    def test_every_name_gets_a_backup_that_imports_back_and_none_is_replaced(self):
        p = self.prefix
        cases = [  # name, program, the backup's file name
            ('100% Pure & "Quoted"', "C:\\Apps\\a.exe", "100% Pure & _Quoted_.reg"),
            ("What?", "C:\\Apps\\a.exe", "What_.reg"),
            ("Star*", "C:\\Apps\\a.exe", "Star_.reg"),
            ("Pipe|x", "C:\\Apps\\a.exe", "Pipe_x.reg"),
            ("<Angle>", "C:\\Apps\\a.exe", "_Angle_.reg"),
            ("Fox: Edition", "C:\\Apps\\a.exe", "Fox_ Edition.reg"),
            ("CON", "C:\\Apps\\a.exe", "CON_.reg"),
            ("NUL", "C:\\Apps\\a.exe", "NUL_.reg"),
            ("com1", "C:\\Apps\\a.exe", "com1_.reg"),
            ("nul.txt", "C:\\Apps\\a.exe", "nul_.txt.reg"),
            ("Trail.", "C:\\Apps\\a.exe", "Trail_.reg"),
            ("Space ", "C:\\Apps\\a.exe", "Space_.reg"),
            ("Again", "C:\\Apps\\webby.exe", "Again.reg"),
            ("Again", "C:\\Apps\\other.exe", "Again (2).reg"),  # a different one: kept apart
            ("Again", "C:\\Apps\\webby.exe", "Again.reg"),  # the same again: not written twice
        ]
        written = {}
        for name, exe, file_name in cases:
            with self.subTest(name=name, exe=exe):
                self.assertEqual(p.marovendel("HKCU", name, exe).status, 0)
                before = self.state(name)
                result = p.marovendel("delete", "HKCU", name)
                self.assertEqual(result.status, 0, result)
                self.assertTrue(result.stdout.startswith(
                    "Successfully exported registry keys to C:\\Tools\\%s\n" % file_name), result)
                backup = self.read_backup(file_name[:-4])
                self.assertEqual(written.setdefault(file_name, backup), backup, "a backup was replaced")
                self.assertEqual(p.reg("import", "C:\\Tools\\" + file_name).status, 0)
                self.assertEqual(self.state(name), before)
                p.marovendel("delete", "HKCU", name, "-nobackup")
        names = set(f for f in os.listdir(p.tools) if f.endswith(".reg"))
        self.assertTrue(set(written) <= names)
        self.assertNotIn("Again (3).reg", names)

    def test_a_backup_that_cannot_be_written_deletes_nothing(self):
        p = self.prefix
        cases = [
            # a folder where the backup must go: the move over it fails
            ("Stuck", "Stuck.reg", "Failed to export registry keys to C:\\Tools\\Stuck.reg\n"),
            # a folder where the temporary file must go: it cannot be created
            ("Blocked", "Blocked.reg.tmp", "Failed to create export file: C:\\Tools\\Blocked.reg\n"),
        ]
        for name, folder, line in cases:
            with self.subTest(name):
                p.marovendel("HKCU", name, "C:\\s.exe")
                os.makedirs(os.path.join(p.tools, folder))
                before = self.state(name)
                result = p.marovendel("delete", "HKCU", name)
                self.assertEqual(result.stdout, line)
                self.assertEqual(result.status, 2)
                self.assertEqual(self.state(name), before)
                self.assertTrue(os.path.isdir(os.path.join(p.tools, folder)))
                left = sorted(f for f in os.listdir(p.tools) if f.startswith(name))
                self.assertEqual(left, [folder])


if __name__ == "__main__":
    unittest.main(verbosity=2)
