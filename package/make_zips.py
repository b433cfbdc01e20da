#!/usr/bin/env python3
"""Writes qel's two release zips, the same bytes for the same inputs.

    make_zips.py --version 1.00 --source-dir SRC --out-dir DIR \
                 --exe qel.exe --socket socket.dll \
                 --exe-map qel.exe.map --socket-map socket.dll.map

  DIR/qel-<version>-win32.zip      qel.exe, readme.txt, LICENSE.txt,
                                   THIRD-PARTY-NOTICES.txt
  DIR/qel-<version>-simswitch.zip  socket.dll (the simulated switch),
                                   simswitch-readme.txt,
                                   simswitch-LICENSE.txt,
                                   simswitch-THIRD-PARTY-NOTICES.txt

No two entries of the zips share a name: both unpack into one folder (the
simulated switch beside qel.exe, as its readme says) without one replacing
the other's files.

The readmes are kept here as UTF-8 with "@VERSION@" for the version and
"@CHANGES@" for the change log (CHANGES in SRC, newest version first, whose
top entry must be this version); in the zips they are in Shift-JIS (Windows
code page 932) with CRLF line ends, as Notepad on a Japanese Windows reads a
text file. A character that code page cannot hold stops the packing (nothing
is replaced by "?").

LICENSE.txt is SRC/LICENSE with CRLF line ends. THIRD-PARTY-NOTICES.txt
(simswitch-THIRD-PARTY-NOTICES.txt) holds, for the zip's program, the copyright and licence texts of the
toolchain's runtime linked into it statically: the linker's map (--exe-map,
--socket-map) names the files of the toolchain that went in, dpkg the Debian
package of each, and /usr/share/doc/<package>/copyright its texts (UTF-8
with a byte order mark, which Notepad reads, and CRLF). A file whose package
or copyright cannot be found stops the packing.

Both programs must be Windows programs for 32-bit x86 (the machine i386 in
their PE header): an x64 build, or anything else, stops the packing.

No ip.ini goes into a zip: unpacking a new version must never overwrite a
user's settings.

Reproducible: fixed entry order, every entry dated SOURCE_DATE_EPOCH (else
the time of the last commit of SRC), no host-specific attributes, no zip
comment or extra fields; each zip is written under a temporary name and
moved into place. The notices name packages and files, never a folder of
the build.
"""
import argparse
import os
import re
import struct
import subprocess
import sys
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
# Zip times are DOS times: nothing before 1980.
EARLIEST = 315532800  # 1980-01-01 00:00:00 UTC


def fail(message):
    sys.exit("make_zips.py: " + message)


def source_date_epoch(source_dir):
    text = os.environ.get("SOURCE_DATE_EPOCH", "").strip()
    if not text:
        try:
            text = subprocess.run(["git", "-C", source_dir, "log", "-1", "--format=%ct"], check=True,
                                  capture_output=True, text=True).stdout.strip()
        except (OSError, subprocess.CalledProcessError):
            text = ""
    if not text.isdigit():
        fail("set SOURCE_DATE_EPOCH (seconds since 1970), or build from a git clone: "
             "the entries' time is taken from the last commit")
    return max(int(text), EARLIEST)


def check_cp932(path, text):
    for number, line in enumerate(text.split("\n"), 1):
        try:
            line.encode("cp932")
        except UnicodeEncodeError as error:
            fail("%s:%d: %r has no Shift-JIS (code page 932) form" % (path, number, line[error.start:error.end]))


def crlf(text):
    if not text.endswith("\n"):
        text += "\n"
    return text.replace("\r\n", "\n").replace("\n", "\r\n")


def changes_text(source_dir, version):
    """CHANGES: one entry per version, newest first; an entry is a line with
    the version at its start and the indented lines below it."""
    path = os.path.join(source_dir, "CHANGES")
    try:
        with open(path, encoding="utf-8") as source:
            text = source.read()
    except OSError as error:
        fail("no change log: %s" % error)
    versions = re.findall(r"^(\d+\.\d+)\b", text, re.M)
    if not versions or versions[0] != version:
        fail("%s: the newest entry is %s, not %s: add an entry for this version at the top"
             % (path, versions[0] if versions else "missing", version))
    if len(set(versions)) != len(versions):
        fail("%s: a version has two entries" % path)
    return text.rstrip("\n") + "\n"


def windows_text(path, version, changes=""):
    """The readme at path as Shift-JIS (code page 932) with CRLF line ends."""
    with open(path, encoding="utf-8") as source:
        text = source.read()
    text = text.replace("@VERSION@", version).replace("@CHANGES@\n", changes).replace("@CHANGES@", changes)
    check_cp932(path, text)
    return crlf(text).encode("cp932")


def license_text(source_dir):
    path = os.path.join(source_dir, "LICENSE")
    try:
        with open(path, encoding="ascii") as source:
            return crlf(source.read()).encode("ascii")
    except (OSError, UnicodeDecodeError) as error:
        fail("LICENSE: %s" % error)


# The toolchain's files in a link map: the objects loaded by path (start-up
# code) and the archives that gave members. Our own files have paths
# relative to the build folder or inside the source or build folder.
LOADED_OBJECT = re.compile(r"^LOAD (/\S+\.o)$", re.M)
ARCHIVE_MEMBER = re.compile(r"^(/[^\s()]+\.a)\(", re.M)


def toolchain_files(map_path, own_folders):
    try:
        with open(map_path, encoding="utf-8", errors="replace") as source:
            text = source.read()
    except OSError as error:
        fail("no link map: %s" % error)
    included = text.split("Archive member included to satisfy reference by file (symbol)", 1)
    if len(included) != 2:
        fail("%s: not a GNU ld map (no archive members)" % map_path)
    members = included[1].split("\nDiscarded input sections", 1)[0].split("\nMemory Configuration", 1)[0]
    files = []
    for path in LOADED_OBJECT.findall(text) + ARCHIVE_MEMBER.findall(members):
        path = os.path.normpath(path)
        if any(path.startswith(folder + os.sep) for folder in own_folders) or path in files:
            continue
        files.append(path)
    if not files:
        fail("%s: names no file of the toolchain" % map_path)
    return files


def package_of(path):
    """The Debian package that holds the file, and its version."""
    for candidate in dict.fromkeys((path, os.path.realpath(path))):
        result = subprocess.run(["dpkg", "-S", candidate], capture_output=True, text=True)
        for line in result.stdout.splitlines():
            name, _, owned = line.partition(": ")
            if owned.strip() == candidate and not line.startswith("diversion"):
                package = name.split(":")[0].strip()
                version = subprocess.run(["dpkg-query", "-W", "-f=${Version}", package], capture_output=True,
                                         text=True).stdout.strip()
                if not version:
                    fail("no version of the package %s (of %s)" % (package, path))
                return package, version
    fail("no Debian package holds %s, linked into the release: its licence cannot be named" % path)


# What each file is, for people reading the notices.
def described(name):
    if name in ("libpthread.a", "libwinpthread.a"):
        return "winpthreads, the POSIX threads library of mingw-w64"
    if name == "libstdc++.a":
        return "libstdc++, the GNU C++ library (GCC)"
    if name in ("libgcc.a", "libgcc_eh.a", "crtbegin.o", "crtend.o"):
        return "libgcc, the GCC runtime library"
    if name in ("libmingw32.a", "libmingwex.a", "libmoldname.a", "libmsvcrt.a"):
        return "the mingw-w64 runtime (%s)" % name[3:-2]
    if name.startswith("lib") and name.endswith(".a"):
        return "the mingw-w64 import library of %s.dll" % name[3:-2]
    return "the mingw-w64 start-up code"


def notices_text(program, version, files):
    rows = []
    texts = {}  # copyright file's text -> the packages that hold it, in order
    for path in files:
        package, package_version = package_of(path)
        rows.append((os.path.basename(path), package, package_version))
        copyright_path = "/usr/share/doc/%s/copyright" % package
        try:
            with open(copyright_path, encoding="utf-8") as source:
                text = source.read()
        except (OSError, UnicodeDecodeError) as error:
            fail("the licence of %s (package %s) cannot be read: %s" % (os.path.basename(path), package, error))
        holders = texts.setdefault(text, [])
        if (package, package_version) not in holders:
            holders.append((package, package_version))
    out = ["qel %s: third-party notices for %s" % (version, program), "=" * 72, "",
           "%s is built with the mingw-w64 cross compiler of Debian, which links" % program,
           "parts of its runtime into the program (statically). These files of the",
           "toolchain went into %s, each from the Debian package named:" % program, ""]
    for name, package, package_version in rows:
        out.append("  %-16s %s %s" % (name, package, package_version))
        out.append("  %-16s   %s" % ("", described(name)))
    out += ["",
            "Their copyright and licence texts follow, as the packages hold them",
            "(/usr/share/doc/<package>/copyright). The GCC runtime libraries (libgcc,",
            "libstdc++) are under the GNU General Public License version 3 with the",
            "GCC Runtime Library Exception, whose text is part of the GCC packages'",
            "file; the mingw-w64 runtime and winpthreads under the licences their",
            "file names for them.", ""]
    for text, holders in texts.items():
        out += ["", "=" * 72,
                "Package %s" % ", ".join("%s %s" % holder for holder in holders),
                "/usr/share/doc/%s/copyright" % holders[0][0], "=" * 72, "", text.rstrip("\n"), ""]
    return "\ufeff".encode("utf-8") + crlf("\n".join(out)).encode("utf-8")


def write_zip(path, entries, epoch):
    date_time = time.gmtime(epoch)[:6]
    temporary = path + ".tmp"
    with zipfile.ZipFile(temporary, "w") as archive:
        for name, data in entries:
            info = zipfile.ZipInfo(name, date_time)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0  # MS-DOS: Windows file attributes
            info.external_attr = 0x20  # FILE_ATTRIBUTE_ARCHIVE, as Explorer sets it
            archive.writestr(info, data, compresslevel=9)
    os.replace(temporary, path)


def read(path):
    with open(path, "rb") as file:
        return file.read()


# The machine field of a PE file's COFF header (IMAGE_FILE_MACHINE_*).
I386 = 0x14C
MACHINES = {I386: "32-bit x86 (i386)", 0x8664: "x64", 0xAA64: "ARM64", 0x1C4: "ARM"}


def program_for_32_bit_x86(path, name):
    """The bytes of the program at path, which must be a PE file for 32-bit
    x86: the release is qel.exe as it ships, the only build that can load a
    switch vendor's 32-bit socket.dll, and the simulated switch beside it."""
    try:
        image = read(path)
    except OSError as error:
        fail("%s: %s" % (name, error))
    pe = struct.unpack_from("<I", image, 0x3C)[0] if image[:2] == b"MZ" and len(image) >= 0x40 else None
    if pe is None or image[pe:pe + 4] != b"PE\0\0" or len(image) < pe + 6:
        fail("%s (%s) is not a Windows program (no PE header)" % (name, path))
    machine = struct.unpack_from("<H", image, pe + 4)[0]
    if machine != I386:
        fail("%s (%s) is built for %s (machine 0x%x), not for 32-bit x86 (i386, 0x14c): the release takes "
             "only the 32-bit build (preset win32)" % (name, path, MACHINES.get(machine, "another machine"), machine))
    return image


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--version", required=True)
    parser.add_argument("--source-dir", required=True)
    parser.add_argument("--out-dir", required=True)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--socket", required=True)
    parser.add_argument("--exe-map", required=True)
    parser.add_argument("--socket-map", required=True)
    args = parser.parse_args()

    epoch = source_date_epoch(args.source_dir)
    # Our own folders, as given and with links resolved: files in them are
    # not the toolchain's.
    folders = [args.source_dir, os.path.dirname(args.exe), args.out_dir]
    own = [os.path.abspath(folder) for folder in folders] + [os.path.realpath(folder) for folder in folders]
    # Everything is read and checked before a zip is written.
    exe = program_for_32_bit_x86(args.exe, "qel.exe")
    socket = program_for_32_bit_x86(args.socket, "socket.dll")
    licence = license_text(args.source_dir)
    changes = changes_text(args.source_dir, args.version)
    readme = windows_text(os.path.join(HERE, "readme.txt"), args.version, changes)
    socket_readme = windows_text(os.path.join(HERE, "simswitch-readme.txt"), args.version)
    exe_notices = notices_text("qel.exe", args.version, toolchain_files(args.exe_map, own))
    socket_notices = notices_text("socket.dll", args.version, toolchain_files(args.socket_map, own))

    os.makedirs(args.out_dir, exist_ok=True)
    win32 = os.path.join(args.out_dir, "qel-%s-win32.zip" % args.version)
    simswitch = os.path.join(args.out_dir, "qel-%s-simswitch.zip" % args.version)
    write_zip(win32, [
        ("qel.exe", exe),
        ("readme.txt", readme),
        ("LICENSE.txt", licence),
        ("THIRD-PARTY-NOTICES.txt", exe_notices),
    ], epoch)
    write_zip(simswitch, [
        ("socket.dll", socket),
        ("simswitch-readme.txt", socket_readme),
        ("simswitch-LICENSE.txt", licence),
        ("simswitch-THIRD-PARTY-NOTICES.txt", socket_notices),
    ], epoch)
    print("make_zips.py: %s, %s (entries dated %s UTC)" %
          (win32, simswitch, time.strftime("%Y-%m-%d %H:%M:%S", time.gmtime(epoch))))


if __name__ == "__main__":
    main()
