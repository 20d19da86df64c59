"""A browser dropped onto Marovendel.exe, and the registrations a first-time
user makes: the real exe under Wine, with programs, version records and shell
links made by real Windows programs in the prefix."""

import os
import shutil
import struct
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_settings_check import SETTINGS_PROTOCOL  # noqa: E402
from test_wow64 import shell_link  # noqa: E402
import wine_harness  # noqa: E402
from wine_harness import WinePrefix  # noqa: E402

VERSIONED = "C:\\Apps\\My Browser\\browser.exe"  # "Versioned Test Browser", in a German table only
PLAIN = "C:\\Apps\\Plain\\plain.exe"  # windowed, no version record
NAME = "Versioned Test Browser"
# What the prefix's Windows runs on, as the drop's refusal names it.
WINDOWS_PROCESSOR = {"win32": "x86", "win64": "x64"}[wine_harness.PREFIX_ARCH]
HELPERS = ("MAROVENDEL_VERSIONED_BROWSER", "MAROVENDEL_MAKE_SHORTCUT", "MAROVENDEL_RECORD_ARGUMENTS",
           "MAROVENDEL_WINDOWED_BROWSER")


def registered(name):
    return ("Portable browser registered successfully.\nhttp/https: %sURL\n"
            "Opened Settings > Default apps for %s.\n" % (name, name))


class DropTest(unittest.TestCase):
    def setUp(self):
        missing = [name for name in HELPERS if not os.environ.get(name)]
        if missing:
            self.skipTest("helper programs not built: " + ", ".join(missing))
        self.prefix = p = WinePrefix("drop")
        shutil.copy2(os.environ["MAROVENDEL_RECORD_ARGUMENTS"],
                     os.path.join(p.tools, "record_arguments.exe"))
        self.assertEqual(p.reg_import_text(SETTINGS_PROTOCOL).status, 0)
        self.prefix.put(VERSIONED, os.environ["MAROVENDEL_VERSIONED_BROWSER"])
        self.prefix.put(PLAIN, os.environ["MAROVENDEL_WINDOWED_BROWSER"])

    def tearDown(self):
        self.prefix.close()

    def command_of(self, name):
        key = "HKCU\\Software\\Clients\\StartMenuInternet\\%s\\shell\\open\\command" % name
        result = self.prefix.reg("query", key, "/ve")
        self.assertEqual(result.status, 0, result)
        return result.stdout.split("REG_SZ", 1)[1].strip()

    def test_a_dropped_program_is_named_by_its_version_record_or_file(self):
        for program, name in ((VERSIONED, NAME), (PLAIN, "plain")):
            with self.subTest(program=program):
                result = self.prefix.marovendel(program)
                self.assertEqual(result.stdout, registered(name))
                self.assertEqual(result.status, 0)
                self.assertEqual(self.command_of(name), program)

    def test_a_dropped_shortcut_registers_its_program_with_its_arguments(self):
        link = "C:\\Users\\Public\\Desktop\\My Browser.lnk"
        os.makedirs(os.path.dirname(self.prefix.unix_path(link)), exist_ok=True)
        shutil.copy2(os.environ["MAROVENDEL_MAKE_SHORTCUT"],
                     os.path.join(self.prefix.tools, "make_shortcut.exe"))
        arguments = '--profile "C:\\Apps\\My Browser\\Data"'
        made = self.prefix.run("C:\\Tools\\make_shortcut.exe", link, VERSIONED, arguments)
        self.assertEqual(made.status, 0, made)
        p = self.prefix
        result = p.marovendel(link)
        self.assertEqual(result.stdout, registered(NAME))
        self.assertEqual(result.stderr, "")
        self.assertEqual(self.command_of(NAME), '"%s" %s' % (VERSIONED, arguments))
        icon = p.reg("query", "HKCU\\Software\\Classes\\%sURL\\DefaultIcon" % NAME, "/ve")
        self.assertEqual(icon.stdout.split("REG_SZ", 1)[1].strip(), VERSIONED)

    def test_a_shortcut_starting_in_a_folder_is_warned_about_on_standard_error(self):
        link = "C:\\Users\\Public\\Desktop\\Profiled.lnk"
        os.makedirs(os.path.dirname(self.prefix.unix_path(link)), exist_ok=True)
        shutil.copy2(os.environ["MAROVENDEL_MAKE_SHORTCUT"],
                     os.path.join(self.prefix.tools, "make_shortcut.exe"))
        made = self.prefix.run("C:\\Tools\\make_shortcut.exe", link, VERSIONED, "--profile Data",
                               "C:\\Apps\\Web")
        self.assertEqual(made.status, 0, made)
        result = self.prefix.marovendel(link)
        self.assertEqual(result.stdout, registered(NAME))
        self.assertEqual(result.status, 0)
        self.assertEqual(result.stderr,
                         "Warning: the shortcut starts the browser in C:\\Apps\\Web, but links start"
                         " it elsewhere, so relative paths in its arguments (--profile Data) will"
                         " point elsewhere; give full paths in the shortcut.\n")

    def test_a_shortcut_on_a_stick_whose_drive_letter_changed_finds_its_program(self):
        # Saved on E:, with its relative path as Windows writes it (Wine's
        # link object stores none), then the stick comes back as F:.
        p = self.prefix
        stick = os.path.join(p.path, "stick")
        os.makedirs(os.path.join(stick, "PortableApps", "Web"))
        shutil.copy2(os.environ["MAROVENDEL_WINDOWED_BROWSER"],
                     os.path.join(stick, "PortableApps", "Web", "web.exe"))
        with open(os.path.join(stick, "PortableApps", "Web.lnk"), "wb") as handle:
            handle.write(shell_link("E:\\PortableApps\\Web\\web.exe", relative=".\\Web\\web.exe"))
        os.symlink(stick, os.path.join(p.path, "dosdevices", "f:"))
        result = p.marovendel("F:\\PortableApps\\Web.lnk")
        self.assertEqual(result.stdout, registered("web"))
        self.assertEqual(self.command_of("web"), "F:\\PortableApps\\Web\\web.exe")

    def test_a_name_held_by_another_program_is_kept_unless_that_program_is_gone(self):
        p = self.prefix
        self.assertEqual(p.marovendel("HKCU", NAME, PLAIN).status, 0)
        before = p.reg_export("HKCU\\Software")
        result = p.marovendel(VERSIONED)
        self.assertEqual(result.stdout,
                         '%s is already registered for %s, so nothing was changed; to register %s'
                         ' under a name of your choice, run: "C:\\Tools\\Marovendel.exe" HKCU'
                         ' "Your name" "%s"\n' % (NAME, PLAIN, VERSIONED, VERSIONED))
        self.assertEqual(result.status, 1)
        self.assertEqual(p.reg_export("HKCU\\Software"), before)

        # A USB stick under another drive letter: the old program is gone.
        self.assertEqual(p.marovendel("HKCU", NAME, "E:\\Browser\\browser.exe").status, 0)
        result = p.marovendel(VERSIONED)
        self.assertEqual(result.stdout,
                         "%s was registered for E:\\Browser\\browser.exe, which no longer exists;"
                         " registering %s in its place.\n" % (NAME, VERSIONED) + registered(NAME))
        self.assertEqual(self.command_of(NAME), VERSIONED)

    def class_command_of(self, name):
        key = "HKCU\\Software\\Classes\\%sURL\\shell\\open\\command" % name
        result = self.prefix.reg("query", key, "/ve")
        self.assertEqual(result.status, 0, result)
        return result.stdout.split("REG_SZ", 1)[1].strip()

    def test_a_dropped_chromium_passes_the_link_as_one_argument_after_its_profile(self):
        p = self.prefix
        chrome = "C:\\Browsers\\Chromium\\chrome.exe"
        p.put(chrome, os.environ["MAROVENDEL_WINDOWED_BROWSER"])
        p.put("C:\\Browsers\\Chromium\\chrome_elf.dll")
        os.makedirs(p.unix_path("C:\\Browsers\\Chromium\\User Data"))
        result = p.marovendel(chrome)
        self.assertEqual(result.status, 0, result)
        self.assertEqual(self.class_command_of("chrome"),
                         '"%s" --user-data-dir="C:\\Browsers\\Chromium\\User Data"'
                         ' --single-argument %%1' % chrome)

        # A launcher beside the browser's folder, not named after it, leaves
        # that browser registered.
        launcher = "C:\\Browsers\\Foo-Portable.exe"
        p.put(launcher, os.environ["MAROVENDEL_WINDOWED_BROWSER"])
        result = p.marovendel(launcher)
        self.assertEqual(result.stdout, registered("Foo-Portable"))
        self.assertEqual(self.command_of("chrome"),
                         '"%s" --user-data-dir="C:\\Browsers\\Chromium\\User Data"' % chrome)
        self.assertEqual(self.class_command_of("Foo-Portable"), '"%s" "%%1"' % launcher)

    def test_a_dropped_firefox_alone_takes_the_link_only_after_osint(self):
        p = self.prefix
        firefox = "C:\\Browsers\\Firefox\\firefox.exe"
        p.put(firefox, os.environ["MAROVENDEL_WINDOWED_BROWSER"])
        for marker in ("xul.dll", "omni.ja"):
            p.put("C:\\Browsers\\Firefox\\" + marker)
        result = p.marovendel(firefox)
        self.assertEqual(result.stdout, registered("firefox"))
        self.assertEqual(self.class_command_of("firefox"), '"%s" -osint -url "%%1"' % firefox)

    def put_for_machine(self, windows_path, machine):
        """A copy of the windowed browser with another machine type in its
        PE header."""
        self.prefix.put(windows_path, os.environ["MAROVENDEL_WINDOWED_BROWSER"])
        with open(self.prefix.unix_path(windows_path), "r+b") as program:
            program.seek(0x3C)
            pe = struct.unpack("<I", program.read(4))[0]
            program.seek(pe + 4)
            program.write(struct.pack("<H", machine))

    def test_what_is_no_browser_is_refused_and_changes_nothing(self):
        p = self.prefix
        self.prefix.put("C:\\Apps\\notes.txt")
        self.prefix.put("C:\\Tools\\rcedit.exe", os.environ["MAROVENDEL_RECORD_ARGUMENTS"])
        self.put_for_machine("C:\\Tools\\7za.exe", 0xAA64)
        expected = "; drop a browser's .exe or its shortcut onto Marovendel.exe.\n"
        cases = [
            ("C:\\Apps\\notes.txt", "C:\\Apps\\notes.txt is not a program or a shortcut to one"),
            ("C:\\Tools\\Marovendel.exe", "C:\\Tools\\Marovendel.exe is Marovendel itself"),
            ("C:\\Tools\\rcedit.exe", "C:\\Tools\\rcedit.exe is a console program, not a browser"),
            ("C:\\Tools\\7za.exe", "C:\\Tools\\7za.exe is built for ARM64, which this Windows (%s)"
             " cannot run" % WINDOWS_PROCESSOR),
        ]
        before = p.reg_export("HKCU\\Software")
        for dropped, line in cases:
            with self.subTest(dropped=dropped):
                result = p.marovendel(dropped)
                self.assertEqual(result.stdout, line + expected)
                self.assertEqual(result.status, 1)
        self.assertEqual(p.reg_export("HKCU\\Software"), before)


class FirstRegistrationTest(unittest.TestCase):
    def setUp(self):
        self.prefix = WinePrefix("first")

    def tearDown(self):
        self.prefix.close()

    def test_a_relative_path_is_stored_whole(self):
        p = self.prefix
        os.makedirs(p.unix_path("C:\\Apps\\Rel"))
        open(p.unix_path("C:\\Apps\\Rel\\rel.exe"), "wb").close()
        result = p.run("cmd", "/c", "cd /d C:\\Apps\\Rel && C:\\Tools\\Marovendel.exe HKCU Rel rel.exe")
        self.assertEqual(result.stdout.replace("\r\n", "\n"),
                         "Portable browser registered successfully.\nhttp/https: RelURL\n")
        query = p.reg("query", "HKCU\\Software\\Classes\\RelURL\\shell\\open\\command", "/ve")
        self.assertIn('"C:\\Apps\\Rel\\rel.exe" "%1"', query.stdout)

    def test_the_launcher_of_a_portable_package_is_named(self):
        p = self.prefix
        package = "C:\\PortableApps\\FooPortable"
        for program in ("\\FooPortable.exe", "\\App\\Foo\\foo.exe"):
            path = p.unix_path(package + program)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            open(path, "wb").close()
        result = p.marovendel("HKCU", "Foo", package + "\\App\\Foo\\foo.exe")
        self.assertEqual(result.stdout,
                         "Portable browser registered successfully.\nhttp/https: FooURL\n"
                         "%s\\App\\Foo\\foo.exe lies inside a portable package; register its"
                         " launcher %s\\FooPortable.exe instead, so that links open with the"
                         " profile kept in the package.\n" % (package, package))
        self.assertEqual(result.status, 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
