#!/usr/bin/env python3
"""Checks the release zips that make_zips.py wrote.

    check_zips.py --version V --dist-dir DIR --exe qel.exe --socket socket.dll \
                  --source-dir SRC --binary-dir BUILD

  - the file names carry the version; each zip holds exactly its entries, in
    order, and no ip.ini; the simulated switch only in its own zip; the
    programs are the ones built;
  - the readmes are Shift-JIS (code page 932) with CRLF line ends, no BOM,
    not taken for UTF-8, each line within 80 columns, and say exactly what
    their UTF-8 sources say, with the version;
  - qel.exe's version resource and manifest carry the same version;
  - no build time and no source or build folder in qel.exe or socket.dll.
"""
import argparse
import glob
import os
import re
import struct
import sys
import unittest
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ARGS = None


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
            (self.win32, [("qel.exe", ARGS.exe), ("readme.txt", None)]),
            (self.simswitch, [("socket.dll", ARGS.socket), ("simswitch-readme.txt", None)]),
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
                # Every character came through: nothing replaced, nothing lost.
                self.assertEqual(text, expected.replace("\n", "\r\n"))
                self.assertIn("qel " + ARGS.version, text.splitlines()[0])

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
    for option in ("--version", "--dist-dir", "--exe", "--socket", "--source-dir", "--binary-dir"):
        parser.add_argument(option, required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
