#!/usr/bin/env python3
"""Checks the release zips that make_zips.py wrote.

    check_zips.py --version V --dist-dir DIR --exe qel.exe --socket socket.dll \
                  --source-dir SRC --binary-dir BUILD --compiler CXX --objdump OBJDUMP

  - qel.exe and socket.dll are programs for 32-bit x86 (objdump reads
    them as pei-i386);
  - the file names carry the version; each zip holds exactly its entries, in
    order, and no ip.ini; the simulated switch only in its own zip; the
    programs are the ones built;
  - the readmes are Shift-JIS (code page 932) with CRLF line ends, no BOM,
    not taken for UTF-8, each line within 80 columns, and say exactly what
    their UTF-8 sources say, with the version;
  - the readme has the sections a Japanese user looks for: the Windows it
    runs on (the one its imports ask for), several switches, a switch that
    never answers,
    uninstalling, the disclaimer, copyright and licence, and the change log
    (CHANGES, whose newest entry is this version);
  - no file name is in both zips (as Windows compares names), so both
    unpack into one folder;
  - the readme's example of a character the code page cannot hold is one
    that code page 932 truly lacks;
  - each zip holds LICENSE.txt (the MIT licence of LICENSE) and
    THIRD-PARTY-NOTICES.txt (in the simulated switch's zip with
    "simswitch-" before the names) with, verbatim, the Debian copyright file of
    each runtime linked into its program (the mingw-w64 runtime, winpthreads
    and the GCC runtime libraries, with the GCC Runtime Library Exception),
    found here through the compiler and dpkg;
  - qel.exe's version resource and manifest carry the same version;
  - no build time and no source or build folder in qel.exe or socket.dll.
"""
import argparse
import glob
import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ARGS = None
# What the readme writes for a character its code page cannot hold (the geta
# mark, which Japanese print has long put for a character it lacks).
PLACEHOLDER = "〓"


def read(path):
    with open(path, "rb") as file:
        return file.read()


def pe_timestamp(image):
    """TimeDateStamp of a PE file's COFF header."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    assert image[pe:pe + 4] == b"PE\0\0", "not a PE file"
    return struct.unpack_from("<I", image, pe + 8)[0]


def version_resource(image):
    """(file version, product version) of VS_FIXEDFILEINFO, each as four
    numbers, and the StringFileInfo values, of a PE file's version resource."""
    at = image.find(struct.pack("<I", 0xFEEF04BD))
    assert at >= 0, "no VS_FIXEDFILEINFO"
    file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<4I", image, at + 8)
    split = lambda ms, ls: (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    strings = {}
    for key in ("FileVersion", "ProductVersion", "ProductName", "InternalName"):
        # A String block: its key in UTF-16, NULs up to a 4-byte boundary,
        # then the value in UTF-16.
        match = re.search(re.escape(key.encode("utf-16-le")) + rb"(?:\0\0)+((?:[^\0].|\0[^\0])*?)\0\0",
                          image, re.S)
        if match:
            strings[key] = match.group(1).decode("utf-16-le")
    return split(file_ms, file_ls), split(product_ms, product_ls), strings


def file_format(image):
    """The file format objdump names for a program, e.g. "pei-i386"; None
    when it does not know the file (the binutils of the 32-bit toolchain read
    no x64 program)."""
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "program")
        with open(path, "wb") as file:
            file.write(image)
        done = subprocess.run([ARGS.objdump, "-f", path], capture_output=True, text=True)
    match = re.search(r"file format (\S+)", done.stdout)
    return match.group(1) if done.returncode == 0 and match else None


def imported_functions(path):
    """The names of the functions a PE file imports at start (objdump's
    import tables: a line per function under its DLL; the delay-loaded DLLs
    are not among them)."""
    dump = subprocess.run([ARGS.objdump, "-p", path], check=True, capture_output=True, text=True).stdout
    names = set(re.findall(r"^\t[0-9a-f]+\t +\d+  (\S+)$", dump, re.M))
    assert names, "objdump lists no imported function of %s" % path
    return names


# The oldest Windows that has each of these functions, for the ones that
# raise the oldest Windows qel runs on; newest last.
NEWER_FUNCTIONS = [
    ("Vista", {"GetTickCount64", "InitOnceExecuteOnce", "InitializeConditionVariable", "InitializeSRWLock",
               "GetFinalPathNameByHandleW", "CreateSymbolicLinkW", "GetLocaleInfoEx"}),
    ("7", {"SetThreadGroupAffinity", "GetActiveProcessorCount", "TryAcquireSRWLockExclusive"}),
    ("8", {"GetSystemTimePreciseAsFileTime", "CreateFile2", "SetDefaultDllDirectories", "GetCurrentThreadStackLimits"}),
    ("10", {"GetDpiForWindow", "SetThreadDescription", "GetSystemDpiForProcess"}),
]


def the_oldest_windows_for(path):
    """The newest of the Windows versions above that an import of the PE
    file needs, and the imports that need it; ("XP", []) when none does."""
    names = imported_functions(path)
    oldest = ("XP", [])
    for version, functions in NEWER_FUNCTIONS:
        if names & functions:
            oldest = (version, sorted(names & functions))
    return oldest


def debian_copyright_of(library):
    """The Debian package holding the toolchain's file `library` (as the
    compiler finds it) and that package's copyright file's text."""
    path = subprocess.run([ARGS.compiler, "-print-file-name=" + library], check=True, capture_output=True,
                          text=True).stdout.strip()
    assert os.path.isabs(path), "the compiler does not find %s" % library
    path = os.path.realpath(path)
    owner = subprocess.run(["dpkg", "-S", path], check=True, capture_output=True, text=True).stdout
    package = owner.splitlines()[0].split(":")[0]
    with open("/usr/share/doc/%s/copyright" % package, encoding="utf-8") as file:
        return package, file.read()


def section(text, heading):
    """The lines of a readme section from its numbered heading to the next."""
    match = re.search(r"^\d+\. %s\r?\n-+\r?\n(.*?)(?=^\d+\. |\Z)" % re.escape(heading), text, re.S | re.M)
    return match.group(1) if match else None


class Zips(unittest.TestCase):
    def setUp(self):
        self.win32 = os.path.join(ARGS.dist_dir, "qel-%s-win32.zip" % ARGS.version)
        self.simswitch = os.path.join(ARGS.dist_dir, "qel-%s-simswitch.zip" % ARGS.version)

    def entries(self, path):
        with zipfile.ZipFile(path) as archive:
            self.assertIsNone(archive.testzip(), path)
            return [(info.filename, archive.read(info)) for info in archive.infolist()]

    def test_the_two_zips_and_nothing_else(self):
        names = sorted(os.path.basename(p) for p in glob.glob(os.path.join(ARGS.dist_dir, "*.zip")))
        self.assertEqual(names, sorted(os.path.basename(p) for p in (self.win32, self.simswitch)))

    def test_each_zip_holds_exactly_its_entries(self):
        cases = [
            (self.win32, [("qel.exe", ARGS.exe), ("readme.txt", None), ("LICENSE.txt", None),
                          ("THIRD-PARTY-NOTICES.txt", None)]),
            (self.simswitch, [("socket.dll", ARGS.socket), ("simswitch-readme.txt", None),
                              ("simswitch-LICENSE.txt", None), ("simswitch-THIRD-PARTY-NOTICES.txt", None)]),
        ]
        for path, expected in cases:
            with self.subTest(zip=os.path.basename(path)):
                entries = self.entries(path)
                self.assertEqual([name for name, _ in entries], [name for name, _ in expected])
                for (name, data), (_, built) in zip(entries, expected):
                    if built is not None:
                        self.assertEqual(data, read(built), "%s is not the one built" % name)
                for name, _ in entries:
                    # Unpacking a new version must never overwrite a user's settings.
                    self.assertNotEqual(os.path.basename(name).lower(), "ip.ini")

    def test_both_zips_unpack_into_one_folder(self):
        # Windows compares file names without regard to letter case.
        names = [{os.path.basename(name).lower() for name, _ in self.entries(path)}
                 for path in (self.win32, self.simswitch)]
        self.assertEqual(names[0] & names[1], set(), "a file of one zip would replace the other's")

    def test_the_readmes_example_of_a_character_the_code_page_lacks_is_one(self):
        readme = dict(self.entries(self.win32))["readme.txt"].decode("cp932")
        # The message as the readme quotes it, and what it says below it.
        match = re.search(r"^保存できず: CMD1 の「(.+?)」をこのシステムの文字コードで表せない\r\n((?:  .*\r\n)+)",
                          readme, re.M)
        self.assertTrue(match, "the readme does not quote the message")
        example, explanation = match.group(1), match.group(2)
        if example == PLACEHOLDER:
            # A Shift-JIS readme cannot hold such a character: it stands for
            # one, and the text names characters by their code points.
            self.assertIn(PLACEHOLDER, explanation, "the text does not say what %s stands for" % PLACEHOLDER)
            examples = [chr(int(code, 16)) for code in re.findall(r"U\+([0-9A-F]{4,6})", explanation)]
            self.assertTrue(examples, "no character named by its code point (U+...)")
        else:
            examples = [example]
        for character in examples:
            with self.assertRaises(UnicodeEncodeError, msg="code page 932 holds U+%04X" % ord(character)):
                character.encode("cp932")

    def test_the_programs_are_for_32_bit_x86(self):
        # What ships is the 32-bit qel.exe, the only build that can load a
        # switch vendor's 32-bit socket.dll; the simulated switch with it.
        for path, name in ((self.win32, "qel.exe"), (self.simswitch, "socket.dll")):
            with self.subTest(program=name):
                image = dict(self.entries(path))[name]
                self.assertEqual(file_format(image), "pei-i386", "%s is not a program for 32-bit x86 (i386)" % name)

    def test_the_simulated_switch_is_only_in_its_own_zip(self):
        socket = read(ARGS.socket)
        for name, data in self.entries(self.win32):
            self.assertNotEqual(name.lower(), "socket.dll")
            self.assertNotEqual(data, socket, name)

    def test_readmes_are_shift_jis_with_crlf_and_say_what_their_sources_say(self):
        cases = [(self.win32, "readme.txt", "readme.txt"),
                 (self.simswitch, "simswitch-readme.txt", "simswitch-readme.txt")]
        for path, entry, source in cases:
            with self.subTest(readme=entry):
                data = dict(self.entries(path))[entry]
                self.assertFalse(data.startswith(b"\xef\xbb\xbf"), "a UTF-8 BOM")
                # Notepad takes a file that is valid UTF-8 for UTF-8.
                with self.assertRaises(UnicodeDecodeError, msg="the readme would be taken for UTF-8"):
                    data.decode("utf-8")
                text = data.decode("cp932")  # strict: fails on any byte that is no Shift-JIS
                self.assertTrue(data.endswith(b"\r\n"))
                self.assertEqual(data.count(b"\n"), data.count(b"\r\n"), "a line end without CR")
                self.assertEqual(data.count(b"\r"), data.count(b"\r\n"), "a CR without LF")
                for number, line in enumerate(data.split(b"\r\n"), 1):
                    # Shift-JIS: a full-width character is two bytes and two columns.
                    self.assertLessEqual(len(line), 80, "line %d is wider than 80 columns" % number)
                with open(os.path.join(HERE, source), encoding="utf-8") as file:
                    expected = file.read().replace("@VERSION@", ARGS.version)
                with open(os.path.join(ARGS.source_dir, "CHANGES"), encoding="utf-8") as file:
                    expected = expected.replace("@CHANGES@\n", file.read())
                # Every character came through: nothing replaced, nothing lost.
                self.assertEqual(text, expected.replace("\n", "\r\n"))
                self.assertIn("qel " + ARGS.version, text.splitlines()[0])

    def test_the_readme_answers_what_a_japanese_user_asks(self):
        readme = dict(self.entries(self.win32))["readme.txt"].decode("cp932")
        headings = ("動作環境", "複数のスイッチを使う", "スイッチが応答しないとき", "アンインストール", "免責事項",
                    "著作権・ライセンス", "更新履歴")
        sections = {heading: section(readme, heading) for heading in headings}
        for heading, text in sections.items():
            self.assertTrue(text and text.strip(), "no section %s" % heading)
        # The oldest Windows, named from what qel.exe imports.
        oldest, because = the_oldest_windows_for(ARGS.exe)
        self.assertEqual(oldest, "Vista", "qel.exe now needs Windows %s (%s): update 動作環境" % (oldest, because))
        environment = sections["動作環境"]
        self.assertIn("Windows %s 以降" % oldest, environment)
        for name in because:
            self.assertIn(name, environment)
        for words in ("32 ビット", "64 ビット", "Wine"):
            self.assertIn(words, environment)
        self.assertIn("ip.ini", sections["複数のスイッチを使う"])
        # The window keeps working: the address is mended there; a script
        # ends with its own code.
        for words in ("IP の欄", "保存＆終了", "終了コード 2"):
            self.assertIn(words, sections["スイッチが応答しないとき"])
        self.assertIn("削除", sections["アンインストール"])
        for words in ("MIT", "LICENSE.txt", "THIRD-PARTY-NOTICES.txt", "Copyright (c) 2026 qel contributors"):
            self.assertIn(words, sections["著作権・ライセンス"])
        socket_readme = dict(self.entries(self.simswitch))["simswitch-readme.txt"].decode("cp932")
        for words in ("MIT", "simswitch-LICENSE.txt", "simswitch-THIRD-PARTY-NOTICES.txt"):
            self.assertIn(words, socket_readme)

    def test_the_change_log_has_this_version_first_and_is_the_readmes(self):
        with open(os.path.join(ARGS.source_dir, "CHANGES"), encoding="utf-8") as file:
            changes = file.read()
        versions = re.findall(r"^(\d+\.\d+)\b", changes, re.M)
        self.assertTrue(versions, "CHANGES has no entry")
        self.assertEqual(versions[0], ARGS.version, "the newest entry of CHANGES is not this version")
        self.assertEqual(len(versions), len(set(versions)), "a version has two entries in CHANGES")
        readme = dict(self.entries(self.win32))["readme.txt"].decode("cp932")
        self.assertEqual(section(readme, "更新履歴").strip(), changes.replace("\n", "\r\n").strip())

    def test_each_zip_carries_the_licence_and_the_runtimes_notices(self):
        with open(os.path.join(ARGS.source_dir, "LICENSE"), encoding="ascii") as file:
            licence = file.read()
        self.assertTrue(licence.startswith("MIT License\n\nCopyright (c) 2026 qel contributors\n"))
        with open(os.path.join(ARGS.source_dir, "README.md"), encoding="utf-8") as file:
            self.assertRegex(file.read(), r"\bMIT-licensed\b.*`LICENSE`")
        # The runtimes every program of the release links statically, by one
        # of their files: the mingw-w64 runtime, winpthreads, the GCC runtime
        # libraries.
        runtimes = {name: debian_copyright_of(name) for name in ("libmingwex.a", "libpthread.a", "libgcc.a",
                                                                  "libstdc++.a")}
        for path, program, prefix in ((self.win32, "qel.exe", ""), (self.simswitch, "socket.dll", "simswitch-")):
            with self.subTest(zip=os.path.basename(path)):
                entries = dict(self.entries(path))
                self.assertEqual(entries[prefix + "LICENSE.txt"], licence.replace("\n", "\r\n").encode("ascii"))
                data = entries[prefix + "THIRD-PARTY-NOTICES.txt"]
                # UTF-8 with a byte order mark, which Notepad reads as such.
                self.assertTrue(data.startswith(b"\xef\xbb\xbf"), "no UTF-8 byte order mark")
                self.assertEqual(data.count(b"\n"), data.count(b"\r\n"), "a line end without CR")
                notices = data[3:].decode("utf-8").replace("\r\n", "\n")
                self.assertIn("third-party notices for %s" % program, notices.splitlines()[0])
                for name, (package, text) in runtimes.items():
                    # Named among the files that went in, with its package.
                    self.assertTrue(re.search(r"\n  %s +%s " % (re.escape(name), re.escape(package)), notices),
                                    "%s is not named as a file from %s" % (name, package))
                    self.assertTrue(text.rstrip("\n") in notices,
                                    "%s: no copyright file of %s (%s)" % (program, package, name))
                for words in ("winpthreads", "GCC RUNTIME LIBRARY EXCEPTION", "libstdc++"):
                    self.assertTrue(words in notices, "no %s" % words)
                for folder in (os.path.realpath(ARGS.source_dir), os.path.realpath(ARGS.binary_dir)):
                    self.assertFalse(folder in notices, "the notices name %s" % folder)

    def test_qel_exe_carries_the_version_of_the_file_names(self):
        major, minor = (int(part) for part in ARGS.version.split("."))
        image = dict(self.entries(self.win32))["qel.exe"]
        file_version, product_version, strings = version_resource(image)
        self.assertEqual(file_version, (major, minor, 0, 0))
        self.assertEqual(product_version, (major, minor, 0, 0))
        self.assertEqual(strings.get("FileVersion"), ARGS.version)
        self.assertEqual(strings.get("ProductVersion"), ARGS.version)
        self.assertEqual(strings.get("ProductName"), "qel")
        self.assertIn(b'name="qel" version="%d.%d.0.0"' % (major, minor), image)

    def test_no_build_time_or_folder_in_the_programs(self):
        folders = {os.path.realpath(ARGS.source_dir), os.path.realpath(ARGS.binary_dir)}
        for name, path in (("qel.exe", ARGS.exe), ("socket.dll", ARGS.socket)):
            with self.subTest(program=name):
                image = read(path)
                self.assertEqual(pe_timestamp(image), 0, "a link time in the PE header")
                for folder in folders:
                    for encoding in ("utf-8", "utf-16-le"):
                        self.assertNotIn(folder.encode(encoding), image, "%s names %s" % (name, folder))


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    for option in ("--version", "--dist-dir", "--exe", "--socket", "--source-dir", "--binary-dir", "--compiler",
                   "--objdump"):
        parser.add_argument(option, required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
