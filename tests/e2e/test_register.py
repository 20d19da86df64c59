"""Registration end to end: the real exe under Wine, checked with reg.exe."""

import os
import shutil
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_harness import WinePrefix  # noqa: E402

CLIENTS = "Software\\Clients\\StartMenuInternet"


def layout(root, name, exe, class_command):
    """The registration's keys as reg export writes them."""
    client = "%s\\%s\\%s" % (root, CLIENTS, name)

    def q(text):
        return '"%s"' % text.replace("\\", "\\\\").replace('"', '\\"')

    return {
        client: {"@": q(name)},
        client + "\\shell\\open\\command": {"@": q(exe)},
        client + "\\Capabilities": {
            '"ApplicationName"': q(name),
            '"ApplicationIcon"': q(exe),
            '"ApplicationDescription"': q(name),
        },
        client + "\\Capabilities\\FileAssociations": {'".htm"': q(name + "URL"), '".html"': q(name + "URL")},
        client + "\\Capabilities\\URLAssociations": {'"http"': q(name + "URL"), '"https"': q(name + "URL")},
        "%s\\Software\\Classes\\%sURL" % (root, name): {"@": q(name), '"FriendlyTypeName"': q(name)},
        "%s\\Software\\Classes\\%sURL\\DefaultIcon" % (root, name): {"@": q(exe)},
        "%s\\Software\\Classes\\%sURL\\shell\\open\\command" % (root, name): {"@": q(class_command)},
    }


ALL_TYPES = (".htm", ".html", ".shtml", ".xht", ".xhtml", ".svg", ".webp", ".avif", ".pdf")


def layout_all(root, name, exe, class_command):
    """The keys of a registration made with -all, as reg export writes them."""
    keys = layout(root, name, exe, class_command)
    client = "%s\\%s\\%s" % (root, CLIENTS, name)
    progid = '"%sURL"' % name
    keys[client + "\\Capabilities\\FileAssociations"] = {'"%s"' % t: progid for t in ALL_TYPES}
    keys[client + "\\Capabilities\\URLAssociations"]['"mailto"'] = progid
    return keys


def parse_export(text):
    """Sections of a reg export as {key: {name: data}}, continuation lines joined."""
    sections = {}
    current = None
    pending = ""
    for line in text.split("\n"):
        if pending:
            line = pending + line.strip()
            pending = ""
        if line.endswith("\\") and current is not None and "=" in line:
            pending = line[:-1]
            continue
        if line.startswith("[") and line.endswith("]"):
            current = sections.setdefault(line[1:-1], {})
        elif current is not None and "=" in line:
            if line.startswith("@="):
                current["@"] = line[2:]
            else:
                # the name is quoted and may hold escaped quotes
                i = 1
                while line[i] != '"':
                    i += 2 if line[i] == "\\" else 1
                current[line[: i + 1]] = line[i + 2:]
    return sections


class RegistrationTest(unittest.TestCase):
    def setUp(self):
        self.prefix = WinePrefix("register")

    def tearDown(self):
        self.prefix.close()

    def export(self, key):
        text = self.prefix.reg_export(key)
        self.assertIsNotNone(text, key)
        return parse_export(text)

    def assert_layout(self, root, name, exe, class_command):
        tree = self.export("%s\\%s\\%s" % (root, CLIENTS, name))
        tree.update(self.export("%s\\Software\\Classes\\%sURL" % (root, name)))
        for key, values in layout(root, name, exe, class_command).items():
            self.assertIn(key, tree)
            self.assertEqual(tree[key], values, key)
        apps = self.export("%s\\Software\\RegisteredApplications" % root)
        apps = apps["%s\\Software\\RegisteredApplications" % root]
        self.assertEqual(apps['"%s"' % name.replace('"', '\\"')],
                         '"%s"' % ("Software\\Clients\\StartMenuInternet\\%s\\Capabilities" % name)
                         .replace("\\", "\\\\").replace('"', '\\"'))

    def test_registers_under_hkcu_and_hklm(self):
        # A profile without RegisteredApplications (a new Wine prefix is one)
        # gets the key: without it Default apps would never list the browser.
        self.prefix.reg("delete", "HKCU\\Software\\RegisteredApplications", "/f")
        for root in ("HKCU", "HKLM"):
            result = self.prefix.marovendel(root, "Foo", "C:\\Apps\\Foo\\foo.exe")
            self.assertEqual(result.stdout,
                             "Portable browser registered successfully.\nhttp/https: FooURL\n")
            self.assertEqual(result.status, 0)
            # The program is not there: a warning beside the output, not in it.
            self.assertEqual(result.stderr, "Warning: no program exists at C:\\Apps\\Foo\\foo.exe;"
                                            " links will not open until it is there.\n")
            full = "HKEY_CURRENT_USER" if root == "HKCU" else "HKEY_LOCAL_MACHINE"
            self.assert_layout(full, "Foo", "C:\\Apps\\Foo\\foo.exe",
                               '"C:\\Apps\\Foo\\foo.exe" "%1"')

    def open_with(self, file_type):
        """The values of HKCU's Open with list for file_type, or None."""
        key = "HKEY_CURRENT_USER\\Software\\Classes\\%s\\OpenWithProgids" % file_type
        text = self.prefix.reg_export(key)
        return None if text is None else parse_export(text).get(key, {})

    def test_all_writes_every_type_and_open_with_and_plain_writes_none(self):
        p = self.prefix
        self.assertEqual(p.reg_import_text(
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Classes\\.pdf]\r\n@=\"Reader.pdf\"\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Classes\\.pdf\\OpenWithProgids]\r\n"
            '"Reader.pdf"=hex(0):\r\n').status, 0)
        result = p.marovendel("HKCU", "Plain", "C:\\Apps\\plain.exe")
        self.assertEqual(result.status, 0, result)
        self.assertEqual([t for t in ALL_TYPES if '"PlainURL"' in (self.open_with(t) or {})], [])

        result = p.marovendel("HKCU", "Foo", "C:\\Apps\\Foo\\foo.exe", "-all")
        self.assertEqual(result.stdout,
                         "Portable browser registered successfully.\nhttp/https: FooURL\n")
        self.assertEqual(result.status, 0)
        tree = self.export("HKCU\\%s\\Foo" % CLIENTS)
        tree.update(self.export("HKCU\\Software\\Classes\\FooURL"))
        expected = layout_all("HKEY_CURRENT_USER", "Foo", "C:\\Apps\\Foo\\foo.exe",
                              '"C:\\Apps\\Foo\\foo.exe" "%1"')
        self.assertEqual({key: tree.get(key) for key in expected}, expected)
        for file_type in ALL_TYPES:
            values = self.open_with(file_type)
            self.assertEqual(values.get('"FooURL"'), "hex(0):", file_type)
        self.assertEqual(self.open_with(".pdf"), {'"Reader.pdf"': "hex(0):", '"FooURL"': "hex(0):"})
        pdf = self.export("HKCU\\Software\\Classes\\.pdf")
        self.assertEqual(pdf["HKEY_CURRENT_USER\\Software\\Classes\\.pdf"], {"@": '"Reader.pdf"'})

    def test_awkward_names_and_reregistration(self):
        name = 'My "Br\u00f6wser" \u65e5\u672c'
        exe = 'C:\\Program Files\\My B\u00f6\\b.exe'
        result = self.prefix.marovendel("hkcu", name, exe)
        self.assertEqual(result.status, 0, result)
        self.assertEqual(result.stdout,
                         "Portable browser registered successfully.\nhttp/https: %sURL\n" % name)
        self.assert_layout("HKEY_CURRENT_USER", name, exe, '"%s" "%%1"' % exe)

        result = self.prefix.marovendel("HKCU", name, "D:\\new.exe")
        self.assertEqual(result.status, 0, result)
        self.assert_layout("HKEY_CURRENT_USER", name, "D:\\new.exe", '"D:\\new.exe" "%1"')

    def test_refusals_change_nothing(self):
        before = self.prefix.reg_export("HKCU\\Software")
        for args, line in (
            (("HKCU", "", "a.exe"), "The browser name must not be empty.\n"),
            (("delete", "HKCU", "a\\b"), "The browser name must not contain \\ or /.\n"),
            (("delete", "HKCR", "Foo"), "Invalid root key. Use HKCU or HKLM.\n"),
            (("HKCU", "Foo", "foo.exe", "--bogus"),
             "--bogus is not an option of HKCU; its option is -all, in lower case.\n"),
            (("delete", "HKCU", "Foo", "-ALL"),
             "-ALL is not an option of delete; its options are -nobackup and -all, in lower case.\n"),
            (("check", "HKCU"), "Usage: C:\\Tools\\Marovendel.exe check <HKCU|HKLM> <BrowserName>\n"),
        ):
            result = self.prefix.marovendel(*args)
            self.assertEqual((result.status, result.stdout), (1, line), args)
        self.assertEqual(self.prefix.reg_export("HKCU\\Software"), before)

    def stand_in_and_opener(self):
        """The stand-in browser that records its arguments, with the program
        that opens a URL through a class as the shell would put in Tools."""
        record = os.environ.get("MAROVENDEL_RECORD_ARGUMENTS")
        opener = os.environ.get("MAROVENDEL_OPEN_WITH_CLASS")
        if not record or not opener:
            self.skipTest("helper programs not built")
        shutil.copy2(opener, os.path.join(self.prefix.tools, "open_with_class.exe"))
        return record

    def open_url(self, progid, url, recorded):
        """Opens url through progid's class; what the stand-in recorded."""
        if os.path.exists(recorded):
            os.remove(recorded)
        result = self.prefix.run("C:\\Tools\\open_with_class.exe", progid, url)
        self.assertEqual(result.status, 0, result)
        for _ in range(100):
            if os.path.exists(recorded):
                break
            time.sleep(0.1)
        with open(recorded, encoding="utf-8") as handle:
            return handle.read()

    def test_the_class_really_opens_the_browser_with_the_link(self):
        record = self.stand_in_and_opener()
        self.prefix.put("C:\\Portable Apps\\browser.exe", record)
        # Wine resolves classes from HKLM only.
        result = self.prefix.marovendel("HKLM", "Carry", "C:\\Portable Apps\\browser.exe")
        self.assertEqual(result.status, 0, result)
        url = "https://example.org/a b?q=1&r=%20"
        recorded = self.prefix.unix_path("C:\\Portable Apps\\arguments.txt")
        self.assertEqual(self.open_url("CarryURL", url, recorded), url + "\n")

    def test_a_link_with_quotes_stays_one_argument_of_a_chromium_browser(self):
        # Chromium's --single-argument takes the rest of the raw command line,
        # so what reaches the stand-in after it must hold the whole link; a
        # profile flag whose quote its backslash escapes must not hide it.
        self.prefix.put("C:\\Chromium\\chrome.exe", self.stand_in_and_opener())
        self.prefix.put("C:\\Chromium\\chrome_elf.dll")
        url = 'https://example.org/x" --gpu-launcher="calc" y'
        recorded = self.prefix.unix_path("C:\\Chromium\\arguments.txt")
        for flags in ("", ' --user-data-dir="C:\\Chromium\\Data\\"'):
            with self.subTest(flags=flags):
                command = '"C:\\Chromium\\chrome.exe"' + flags
                self.assertEqual(self.prefix.marovendel("HKLM", "Chrome", command).status, 0)
                words = self.open_url("ChromeURL", url, recorded).splitlines()
                self.assertEqual(words[-2], "--single-argument", words)
                self.assertNotIn("--gpu-launcher=calc", words)

if __name__ == "__main__":
    unittest.main(verbosity=2)
