"""Marovendel's Windows platform layer under Wine, one call at a time through
platform_probe.exe: what a dropped file needs from the shell, COM and version
records, with shortcuts written by the shell's own link object."""

import os
import shutil
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_harness import WinePrefix  # noqa: E402

HELPERS = {
    "platform_probe.exe": "MAROVENDEL_PLATFORM_PROBE",
    "make_shortcut.exe": "MAROVENDEL_MAKE_SHORTCUT",
    "record_arguments.exe": "MAROVENDEL_RECORD_ARGUMENTS",
}
BROWSER = "C:\\Apps\\My Browser\\browser.exe"  # the versioned browser
USER_CHOICE = "HKCU\\Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http\\UserChoice"


class PlatformTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        missing = [name for name in list(HELPERS.values()) + ["MAROVENDEL_VERSIONED_BROWSER"]
                   if not os.environ.get(name)]
        if missing:
            raise unittest.SkipTest("helper programs not built: " + ", ".join(missing))
        cls.prefix = WinePrefix("platform")
        for name, variable in HELPERS.items():
            shutil.copy2(os.environ[variable], os.path.join(cls.prefix.tools, name))
        browser = cls.prefix.unix_path(BROWSER)
        os.makedirs(os.path.dirname(browser))
        shutil.copy2(os.environ["MAROVENDEL_VERSIONED_BROWSER"], browser)

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()

    def probe(self, *args):
        result = self.prefix.run("C:\\Tools\\platform_probe.exe", *args)
        self.assertEqual(result.status, 0, result)
        return result.stdout.rstrip("\n")

    def test_shortcut_reads_back_what_the_shell_wrote(self):
        cases = [
            ("C:\\Links\\With arguments.lnk", '--profile "C:\\Apps\\My Browser\\Data" -private'),
            ("C:\\Links\\Plain.lnk", ""),
        ]
        os.makedirs(self.prefix.unix_path("C:\\Links"))
        for link, arguments in cases:
            with self.subTest(link=link):
                made = self.prefix.run("C:\\Tools\\make_shortcut.exe", link, BROWSER, arguments)
                self.assertEqual(made.status, 0, made)
                self.assertEqual(self.probe("shortcut", link), BROWSER + "\t" + arguments)
        self.assertEqual(self.probe("shortcut", BROWSER), "unreadable")
        self.assertEqual(self.probe("shortcut", "C:\\Links\\none.lnk"), "unreadable")

    def test_display_name_follows_the_records_translation(self):
        # The versioned browser names itself in a German table only.
        self.assertEqual(self.probe("display-name", BROWSER), "[Versioned Test Browser]")
        self.assertEqual(self.probe("display-name", "C:\\Tools\\record_arguments.exe"), "[]")
        self.assertEqual(self.probe("display-name", "C:\\Apps\\missing.exe"), "[]")

    def test_running_executable_is_recognised_however_written(self):
        cases = [
            ("C:\\Tools\\platform_probe.exe", "yes"),
            ("c:\\tools\\..\\TOOLS\\PLATFORM_PROBE.EXE", "yes"),
            ("C:\\Tools\\make_shortcut.exe", "no"),
            ("C:\\Tools\\absent.exe", "no"),
        ]
        for path, expected in cases:
            with self.subTest(path=path):
                self.assertEqual(self.probe("is-running", path), expected)

    def test_full_path_is_made_against_the_current_folder(self):
        result = self.prefix.run("cmd", "/c", "cd /d C:\\Apps && C:\\Tools\\platform_probe.exe"
                                 " full-path .\\Sub\\..\\rel.exe")
        self.assertEqual(result.stdout.strip(), "C:\\Apps\\rel.exe")

    def test_current_default_for_schemes_and_file_types(self):
        p = self.prefix
        # Wine reports the UserChoice of a scheme, and the class that
        # HKLM\Software\Classes gives a file type.
        self.assertEqual(p.reg("delete", USER_CHOICE, "/f").status, 0)
        self.assertEqual(self.probe("default", "http"), "unknown no default is set (0x80070483)")
        self.assertEqual(p.reg("add", USER_CHOICE, "/v", "ProgId", "/d", "FooURL", "/f").status, 0)
        self.assertEqual(self.probe("default", "http"), "progid FooURL")
        self.assertEqual(p.reg("add", "HKLM\\Software\\Classes\\.html", "/ve", "/d", "FooHTML",
                               "/f").status, 0)
        self.assertEqual(self.probe("default", ".html"), "progid FooHTML")

    def test_a_captured_run_never_owns_its_console(self):
        self.assertEqual(self.probe("owns-console"), "no")


if __name__ == "__main__":
    unittest.main()
