#!/usr/bin/env python3
"""The packer's refusals: what must stop the packing rather than put a zip
together without it. Runs make_zips.py's own functions on inputs made here;
needs no build.

    make_zips_test.py
"""
import os
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import make_zips  # noqa: E402


class Licence(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.source = self.folder.name

    def tearDown(self):
        self.folder.cleanup()

    def write(self, name, data):
        with open(os.path.join(self.source, name), "wb") as file:
            file.write(data)

    def test_the_licence_is_packed_with_crlf(self):
        self.write("LICENSE", b"MIT License\n\nCopyright (c) 2026 qel contributors\n")
        self.assertEqual(make_zips.license_text(self.source),
                         b"MIT License\r\n\r\nCopyright (c) 2026 qel contributors\r\n")

    def test_a_licence_that_cannot_be_read_stops_the_packing(self):
        cases = {
            "missing": lambda: None,
            "a folder in its place": lambda: os.mkdir(os.path.join(self.source, "LICENSE")),
            "not ASCII": lambda: self.write("LICENSE", "Copyright \u00a9 2026\n".encode("utf-8")),
        }
        for what, make in cases.items():
            with self.subTest(what):
                path = os.path.join(self.source, "LICENSE")
                if os.path.isdir(path):
                    os.rmdir(path)
                elif os.path.exists(path):
                    os.remove(path)
                make()
                with self.assertRaises(SystemExit) as stopped:
                    make_zips.license_text(self.source)
                self.assertIn("LICENSE", str(stopped.exception.code))

    def test_without_a_licence_no_zip_is_written(self):
        self.write("CHANGES", b"1.00\n  first\n")
        out = os.path.join(self.source, "dist")
        arguments = ["make_zips.py", "--version", "1.00", "--source-dir", self.source, "--out-dir", out,
                     "--exe", os.path.join(self.source, "qel.exe"), "--socket", os.path.join(self.source, "socket.dll"),
                     "--exe-map", os.path.join(self.source, "qel.exe.map"),
                     "--socket-map", os.path.join(self.source, "socket.dll.map")]
        saved_argv, sys.argv = sys.argv, arguments
        os.environ["SOURCE_DATE_EPOCH"] = "1767225600"
        # The programs as if built: their check has a test of its own
        # (machine_test.py).
        saved_check = make_zips.program_for_32_bit_x86
        make_zips.program_for_32_bit_x86 = lambda path, name: b"program"
        try:
            with self.assertRaises(SystemExit) as stopped:
                make_zips.main()
        finally:
            sys.argv = saved_argv
            make_zips.program_for_32_bit_x86 = saved_check
            del os.environ["SOURCE_DATE_EPOCH"]
        self.assertIn("LICENSE", str(stopped.exception.code))
        self.assertFalse(os.path.exists(out) and os.listdir(out), "a zip was written")


class Notices(unittest.TestCase):
    """Every runtime linked into a program carries its licence: a file whose
    package has no copyright file stops the packing; none is left out."""

    def setUp(self):
        self.package_of = make_zips.package_of

    def tearDown(self):
        make_zips.package_of = self.package_of

    def test_a_runtime_without_a_copyright_file_stops_the_packing(self):
        # The second file's package holds no copyright file: the notices
        # must not be written without it.
        packages = {"/toolchain/libmingwex.a": ("dpkg", "1"),
                    "/toolchain/libwinpthread.a": ("qel-test-package-without-copyright", "1")}
        if not os.path.isfile("/usr/share/doc/dpkg/copyright"):
            self.skipTest("no /usr/share/doc/dpkg/copyright on this machine")
        make_zips.package_of = lambda path: packages[path]
        with self.assertRaises(SystemExit) as stopped:
            make_zips.notices_text("qel.exe", "1.00", list(packages))
        self.assertIn("libwinpthread.a", str(stopped.exception.code))

    def test_each_runtime_with_its_copyright_file_is_named(self):
        if not os.path.isfile("/usr/share/doc/dpkg/copyright"):
            self.skipTest("no /usr/share/doc/dpkg/copyright on this machine")
        make_zips.package_of = lambda path: ("dpkg", "1")
        with open("/usr/share/doc/dpkg/copyright", encoding="utf-8") as source:
            copyright_text = source.read()
        notices = make_zips.notices_text("qel.exe", "1.00", ["/toolchain/libmingwex.a"]).decode("utf-8-sig")
        self.assertIn("libmingwex.a", notices)
        self.assertIn(copyright_text.rstrip("\n").replace("\n", "\r\n"), notices)


if __name__ == "__main__":
    unittest.main()
