#!/usr/bin/env python3
"""Packing and the package check refuse a program that is not for 32-bit x86.

    machine_test.py --version V --source-dir SRC --exe qel.exe --socket socket.dll \\
                    --exe-map MAP --socket-map MAP --binary-dir BUILD --compiler CXX --objdump OBJDUMP

Runs make_zips.py with an x64 program (a small PE32+ image written here, as
the x64 compiler makes them) or a file that is no program in the place of
qel.exe or socket.dll: each must stop the packing and write no zip, saying
which program and which machine. Then packs the built programs (which must
pass) and puts the x64 program into the zip in qel.exe's place: check_zips.py
must fail on it.
"""
import argparse
import os
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ARGS = None


def x64_program():
    """A whole Windows program for x64 (PE32+, machine 0x8664) whose entry
    point returns at once: headers, one section of code."""
    dos = bytearray(0x40)
    dos[0:2] = b"MZ"
    struct.pack_into("<I", dos, 0x3C, 0x40)
    coff = struct.pack("<HHIIIHH", 0x8664, 1, 0, 0, 0, 240, 0x0022)  # executable, large addresses
    optional = struct.pack("<HBBIIIII", 0x20B, 1, 0, 0x200, 0, 0, 0x1000, 0x1000)
    optional += struct.pack("<QII", 0x140000000, 0x1000, 0x200)
    optional += struct.pack("<6H", 6, 0, 0, 0, 6, 0)
    optional += struct.pack("<IIIIHH", 0, 0x2000, 0x200, 0, 2, 0)  # GUI subsystem
    optional += struct.pack("<4Q", 0x100000, 0x1000, 0x100000, 0x1000)
    optional += struct.pack("<II", 0, 16) + bytes(16 * 8)
    assert len(optional) == 240
    section = struct.pack("<8sIIIIIIHHI", b".text", 1, 0x1000, 0x200, 0x200, 0, 0, 0, 0, 0x60000020)
    headers = bytes(dos) + b"PE\0\0" + coff + optional + section
    return headers.ljust(0x200, b"\0") + b"\xc3".ljust(0x200, b"\0")


class Refused(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)
        self.x64 = os.path.join(self.folder.name, "x64.exe")
        with open(self.x64, "wb") as file:
            file.write(x64_program())

    def pack(self, out, exe, socket):
        return subprocess.run([sys.executable, os.path.join(HERE, "make_zips.py"), "--version", ARGS.version,
                               "--source-dir", ARGS.source_dir, "--out-dir", out, "--exe", exe, "--socket", socket,
                               "--exe-map", ARGS.exe_map, "--socket-map", ARGS.socket_map],
                              capture_output=True, text=True)

    def check(self, dist, exe):
        return subprocess.run([sys.executable, os.path.join(HERE, "check_zips.py"), "--version", ARGS.version,
                               "--dist-dir", dist, "--exe", exe, "--socket", ARGS.socket,
                               "--source-dir", ARGS.source_dir, "--binary-dir", ARGS.binary_dir,
                               "--compiler", ARGS.compiler, "--objdump", ARGS.objdump,
                               "Zips.test_the_programs_are_for_32_bit_x86"],
                              capture_output=True, text=True)

    def test_the_x64_program_is_a_pe32_plus_image_for_x64(self):
        # What the refusals below are shown with: the PE header of an x64
        # program (`file` calls it "PE32+ executable (GUI) x86-64").
        image = x64_program()
        pe = struct.unpack_from("<I", image, 0x3C)[0]
        self.assertEqual(image[pe:pe + 4], b"PE\0\0")
        self.assertEqual(struct.unpack_from("<H", image, pe + 4)[0], 0x8664)
        self.assertEqual(struct.unpack_from("<H", image, pe + 24)[0], 0x20B)

    def test_packing_refuses_what_is_not_for_32_bit_x86(self):
        readme = os.path.join(HERE, "readme.txt")
        cases = [
            ("an x64 qel.exe", self.x64, ARGS.socket, ["qel.exe", "x64", "0x8664"]),
            ("an x64 socket.dll", ARGS.exe, self.x64, ["socket.dll", "x64", "0x8664"]),
            ("a qel.exe that is no program", readme, ARGS.socket, ["qel.exe", "no PE header"]),
        ]
        for what, exe, socket, words in cases:
            with self.subTest(what):
                out = tempfile.mkdtemp(dir=self.folder.name)
                done = self.pack(out, exe, socket)
                self.assertNotEqual(done.returncode, 0, done.stdout)
                for word in words:
                    self.assertIn(word, done.stderr)
                self.assertEqual(os.listdir(out), [], "a zip was written")

    def test_the_package_check_refuses_an_x64_qel_exe(self):
        dist = tempfile.mkdtemp(dir=self.folder.name)
        done = self.pack(dist, ARGS.exe, ARGS.socket)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(self.check(dist, ARGS.exe).returncode, 0, "the built programs do not pass")
        # The same zip with the x64 program in qel.exe's place.
        path = os.path.join(dist, "qel-%s-win32.zip" % ARGS.version)
        with zipfile.ZipFile(path) as archive:
            entries = [(info, archive.read(info)) for info in archive.infolist()]
        with zipfile.ZipFile(path, "w") as archive:
            for info, data in entries:
                archive.writestr(info, x64_program() if info.filename == "qel.exe" else data)
        done = self.check(dist, self.x64)
        self.assertNotEqual(done.returncode, 0, done.stderr)
        self.assertIn("qel.exe is not a program for 32-bit x86", done.stderr)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    for option in ("--version", "--source-dir", "--exe", "--socket", "--exe-map", "--socket-map", "--binary-dir",
                   "--compiler", "--objdump"):
        parser.add_argument(option, required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
