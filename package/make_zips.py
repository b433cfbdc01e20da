#!/usr/bin/env python3
"""Writes qel's two release zips, the same bytes for the same inputs.

    make_zips.py --version 1.00 --source-dir SRC --out-dir DIR \
                 --exe qel.exe --socket socket.dll

  DIR/qel-<version>-win32.zip      qel.exe, readme.txt
  DIR/qel-<version>-simswitch.zip  socket.dll (the simulated switch),
                                   simswitch-readme.txt

The readmes are kept here as UTF-8 with "@VERSION@" for the version; in the
zips they are in Shift-JIS (Windows code page 932) with CRLF line ends, as
Notepad on a Japanese Windows reads a text file. A character that code page
cannot hold stops the packing (nothing is replaced by "?").

No ip.ini goes into a zip: unpacking a new version must never overwrite a
user's settings.

Reproducible: fixed entry order, every entry dated SOURCE_DATE_EPOCH (else
the time of the last commit of SRC), no host-specific attributes, no zip
comment or extra fields; each zip is written under a temporary name and
moved into place.
"""
import argparse
import os
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


def windows_text(path, version):
    """The readme at path as Shift-JIS (code page 932) with CRLF line ends."""
    with open(path, encoding="utf-8") as source:
        text = source.read()
    text = text.replace("@VERSION@", version)
    if not text.endswith("\n"):
        text += "\n"
    for number, line in enumerate(text.split("\n"), 1):
        try:
            line.encode("cp932")
        except UnicodeEncodeError as error:
            fail("%s:%d: %r has no Shift-JIS (code page 932) form" % (path, number, line[error.start:error.end]))
    return text.replace("\r\n", "\n").replace("\n", "\r\n").encode("cp932")


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


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--version", required=True)
    parser.add_argument("--source-dir", required=True)
    parser.add_argument("--out-dir", required=True)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--socket", required=True)
    args = parser.parse_args()

    epoch = source_date_epoch(args.source_dir)
    os.makedirs(args.out_dir, exist_ok=True)
    win32 = os.path.join(args.out_dir, "qel-%s-win32.zip" % args.version)
    simswitch = os.path.join(args.out_dir, "qel-%s-simswitch.zip" % args.version)
    write_zip(win32, [
        ("qel.exe", read(args.exe)),
        ("readme.txt", windows_text(os.path.join(HERE, "readme.txt"), args.version)),
    ], epoch)
    write_zip(simswitch, [
        ("socket.dll", read(args.socket)),
        ("simswitch-readme.txt", windows_text(os.path.join(HERE, "simswitch-readme.txt"), args.version)),
    ], epoch)
    print("make_zips.py: %s, %s (entries dated %s UTC)" %
          (win32, simswitch, time.strftime("%Y-%m-%d %H:%M:%S", time.gmtime(epoch))))


if __name__ == "__main__":
    main()
