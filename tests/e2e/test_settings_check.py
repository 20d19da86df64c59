"""The settings and check forms end to end: the real exe under Wine opens
the Default apps URI through the shell, and checks registrations written by
Marovendel and by a browser's installer against the prefix's real files."""

import os
import shutil
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_list import FOREIGN  # noqa: E402
from wine_harness import WinePrefix  # noqa: E402

FIREFOX = "Firefox-308046B0AF4A39CB"
FIREFOX_EXE = "C:\\Program Files\\Mozilla Firefox\\firefox.exe"


def expandable(text):
    """REG_EXPAND_SZ data in registry-editor form, terminator included."""
    data = (text + "\0").encode("utf-16-le")
    return "hex(2):" + ",".join("%02x" % byte for byte in data)


# What the installer adds to the client key that FOREIGN holds: the entry
# Settings reads, the description, the file associations and both classes,
# one of them with an expandable command.
FIREFOX_REST = "\r\n".join([
    "Windows Registry Editor Version 5.00",
    "",
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\RegisteredApplications]",
    '"%s"="Software\\\\Clients\\\\StartMenuInternet\\\\%s\\\\Capabilities"' % (FIREFOX, FIREFOX),
    "",
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\StartMenuInternet\\%s\\Capabilities]" % FIREFOX,
    '"ApplicationName"="Firefox"',
    '"ApplicationDescription"="Firefox delivers safe, easy web browsing."',
    '"ApplicationIcon"="C:\\\\Program Files\\\\Mozilla Firefox\\\\firefox.exe,0"',
    "",
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\StartMenuInternet\\%s\\Capabilities\\FileAssociations]"
    % FIREFOX,
    '".htm"="FirefoxHTML-308046B0AF4A39CB"',
    '".html"="FirefoxHTML-308046B0AF4A39CB"',
    "",
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\FirefoxURL-308046B0AF4A39CB\\shell\\open\\command]",
    '@="\\"C:\\\\Program Files\\\\Mozilla Firefox\\\\firefox.exe\\" -osint -url \\"%1\\""',
    "",
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\FirefoxHTML-308046B0AF4A39CB\\shell\\open\\command]",
    "@=" + expandable('"%ProgramFiles%\\Mozilla Firefox\\firefox.exe" -osint -url "%1"'),
    "",
]) + "\r\n"

# Wine resolves URL protocols from HKLM's classes only.
SETTINGS_PROTOCOL = "\r\n".join([
    "Windows Registry Editor Version 5.00",
    "",
    "[HKEY_LOCAL_MACHINE\\Software\\Classes\\ms-settings]",
    '"URL Protocol"=""',
    "",
    "[HKEY_LOCAL_MACHINE\\Software\\Classes\\ms-settings\\shell\\open\\command]",
    '@="\\"C:\\\\Tools\\\\record_arguments.exe\\" \\"%1\\""',
    "",
]) + "\r\n"


USER_CHOICE = "HKCU\\Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\%s\\UserChoice"

# check's closing lines where no default is set for http, https or .html.
NO_DEFAULTS = "".join("What Windows opens %s with is unknown: no default is set (0x80070483).\n" % a
                      for a in ("http", "https", ".html"))


def forget_defaults(prefix):
    """Removes the defaults a new Wine prefix sets for http and https."""
    for scheme in ("http", "https"):
        prefix.reg("delete", USER_CHOICE % scheme, "/f")


class CheckTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = WinePrefix("check")
        forget_defaults(cls.prefix)

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()

    def test_own_registrations(self):
        p = self.prefix
        # An unquoted path with a space, as the client's command stores it.
        self.prefix.put("C:\\Portable Apps\\browser.exe")
        self.assertEqual(p.marovendel("HKCU", "Carry", "C:\\Portable Apps\\browser.exe").status, 0)
        result = p.marovendel("check", "HKCU", "Carry")
        self.assertEqual(result.stdout, "Carry is registered correctly under HKCU.\n" + NO_DEFAULTS)
        self.assertEqual(result.status, 0)

        # C:\Tools exists, but as a directory it is no program.
        self.assertEqual(p.marovendel("HKCU", "Gone", "C:\\Tools x\\gone.exe").status, 0)
        result = p.marovendel("check", "hkcu", "Gone")
        self.assertEqual(result.stdout,
                         "  HKCU\\SOFTWARE\\Clients\\StartMenuInternet\\Gone\\shell\\open\\command"
                         " (default): the command names no existing program file\n"
                         "  HKCU\\SOFTWARE\\Classes\\GoneURL\\shell\\open\\command (default):"
                         " the program C:\\Tools x\\gone.exe does not exist\n"
                         "Gone has 2 problem(s) under HKCU; if the browser has moved, drop it onto"
                         " Marovendel.exe from its new place, or register it again with its new"
                         " path.\n" + NO_DEFAULTS)
        self.assertEqual(result.status, 2)

        # A client whose shell key is gone cannot be started from the Start menu.
        self.assertEqual(p.marovendel("HKCU", "Broken", "C:\\Portable Apps\\browser.exe").status, 0)
        p.reg("delete", "HKCU\\SOFTWARE\\Clients\\StartMenuInternet\\Broken\\shell", "/f")
        result = p.marovendel("check", "HKCU", "Broken")
        client = "  HKCU\\SOFTWARE\\Clients\\StartMenuInternet\\Broken\\shell"
        self.assertEqual(result.stdout,
                         client + ": the key is missing\n" + client + "\\open: the key is missing\n"
                         + client + "\\open\\command: the key is missing\n"
                         "Broken has 3 problem(s) under HKCU; register it again to repair.\n"
                         + NO_DEFAULTS)
        self.assertEqual(result.status, 2)

    def test_installed_browser_checks_clean_once_its_program_exists(self):
        p = self.prefix
        self.assertEqual(p.reg_import_text(FOREIGN).status, 0)
        self.assertEqual(p.reg_import_text(FIREFOX_REST).status, 0)
        missing = " (default): the program %s does not exist\n" % FIREFOX_EXE
        result = p.marovendel("check", "HKLM", FIREFOX)
        self.assertEqual(result.stdout,
                         "  HKLM\\SOFTWARE\\Clients\\StartMenuInternet\\%s\\shell\\open\\command"
                         % FIREFOX + missing +
                         "  HKLM\\SOFTWARE\\Classes\\FirefoxURL-308046B0AF4A39CB\\shell\\open\\command"
                         + missing +
                         "  HKLM\\SOFTWARE\\Classes\\FirefoxHTML-308046B0AF4A39CB\\shell\\open\\command"
                         + missing +
                         "%s has 3 problem(s) under HKLM; if the browser has moved, register it"
                         " again with its new path.\n" % FIREFOX
                         + NO_DEFAULTS)
        self.assertEqual(result.status, 2)

        self.prefix.put(FIREFOX_EXE)
        result = p.marovendel("check", "HKLM", FIREFOX)
        self.assertEqual(result.stdout,
                         "%s is registered correctly under HKLM.\n" % FIREFOX + NO_DEFAULTS)
        self.assertEqual(result.status, 0)
        result = p.marovendel("check", "HKCU", FIREFOX)
        self.assertEqual(result.stdout, "%s is not registered under HKCU.\n" % FIREFOX)
        self.assertEqual(result.status, 1)


# check's count of the twelve types of a registration made with -all: a new
# Wine prefix opens .pdf with its own pdffile class and knows no default for
# the others but those a choice is recorded for below. Wine lists values in
# the order of their names.
UNSET_TYPES = "mailto, .avif, .htm, .html, .shtml, .svg, .webp, .xht and .xhtml"


def type_count(ours, elsewhere, unknown):
    return ("Windows opens %d of 12 types with My Web; %s open%s with something else;"
            " what opens %s is unknown.\n"
            % (ours, elsewhere, "" if " and " in elsewhere else "s", unknown))


class CurrentDefaultTest(unittest.TestCase):
    maxDiff = None

    def setUp(self):
        self.prefix = WinePrefix("default")

    def tearDown(self):
        self.prefix.close()

    def test_check_tells_what_opens_the_web_before_and_after_a_user_choice(self):
        p = self.prefix
        forget_defaults(p)
        open(p.unix_path("C:\\Tools\\web.exe"), "wb").close()
        self.assertEqual(p.marovendel("HKCU", "My Web", "C:\\Tools\\web.exe", "-all").status, 0)
        sound = "My Web is registered correctly under HKCU.\n"
        result = p.marovendel("check", "HKCU", "My Web")
        self.assertEqual((result.status, result.stdout),
                         (0, sound + NO_DEFAULTS
                          + type_count(0, ".pdf", "http, https, " + UNSET_TYPES)))

        # As Settings records a choice; another browser's first.
        for progid, lines in (
            ("OtherHTML", "Windows opens http with OtherHTML, not with My Web.\n"
                          "Windows opens https with OtherHTML, not with My Web.\n"
                          "What Windows opens .html with is unknown: no default is set (0x80070483).\n"
                          + type_count(0, "http, https and .pdf", UNSET_TYPES) +
                          'My Web is not the default for http; Marovendel.exe settings HKCU "My Web"'
                          " opens its Default apps page.\n"),
            ("My WebURL", "Windows opens http with My Web (My WebURL).\n"
                          "Windows opens https with My Web (My WebURL).\n"
                          "What Windows opens .html with is unknown: no default is set (0x80070483).\n"
                          + type_count(2, ".pdf", UNSET_TYPES)),
        ):
            for scheme in ("http", "https"):
                self.assertEqual(p.reg("add", USER_CHOICE % scheme, "/v", "ProgId", "/d", progid,
                                       "/f").status, 0)
            result = p.marovendel("check", "HKCU", "My Web")
            self.assertEqual((result.status, result.stdout), (0, sound + lines))


class SettingsTest(unittest.TestCase):
    def setUp(self):
        self.prefix = WinePrefix("settings")

    def tearDown(self):
        self.prefix.close()

    def recording_settings(self):
        """The prefix, with ms-settings: opening a program that records its
        command line."""
        record = os.environ.get("MAROVENDEL_RECORD_ARGUMENTS")
        if not record:
            self.skipTest("helper program not built")
        p = self.prefix
        shutil.copy2(record, os.path.join(p.tools, "record_arguments.exe"))
        self.assertEqual(p.reg_import_text(SETTINGS_PROTOCOL).status, 0)
        return p

    def test_the_shell_receives_the_encoded_uri(self):
        p = self.recording_settings()
        name = "Mine \u00e9 \U0001F310"
        self.assertEqual(p.marovendel("HKCU", name, "C:\\Users\\me\\mine.exe").status, 0)
        result = p.marovendel("settings", "HKCU", name)
        self.assertEqual(result.stdout, "Opened Settings > Default apps for %s.\n" % name)
        self.assertEqual(result.status, 0)
        recorded = os.path.join(p.tools, "arguments.txt")
        for _ in range(100):
            if os.path.exists(recorded) and os.path.getsize(recorded) > 0:
                break
            time.sleep(0.1)
        with open(recorded, encoding="utf-8") as handle:
            self.assertEqual(handle.read(), "ms-settings:defaultapps?registeredAppUser="
                                            "Mine%20%C3%A9%20%F0%9F%8C%90\n")

    def test_windows_10_opens_the_general_page_and_says_where_to_click(self):
        # Wine reports the version HKCU\Software\Wine names, to RtlGetVersion
        # too; a new prefix is Windows 7, where Settings has no such page.
        p = self.recording_settings()
        self.assertEqual(p.marovendel("HKCU", "Foo", "C:\\Users\\me\\foo.exe").status, 0)
        opened = "Opened Settings > Default apps for Foo.\n"
        for version, lines in (
                ("win10", opened + "This Windows opens the general page: under Web browser, click the"
                                   " browser named there and choose Foo.\n"),
                ("win81", opened)):
            with self.subTest(version=version):
                p.reg("add", "HKCU\\Software\\Wine", "/v", "Version", "/d", version, "/f")
                result = p.marovendel("settings", "HKCU", "Foo")
                self.assertEqual((result.status, result.stdout), (0, lines))


if __name__ == "__main__":
    unittest.main(verbosity=2)
