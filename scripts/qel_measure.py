"""What scripts/bench.py and scripts/soak.py share: the folders, the settings,
running Windows programs in the Wine session they run in, and finding Unix
processes (with psutil).

Both run inside a session of scripts/wine-session, which scripts/bench.sh and
scripts/soak.sh start: "wine" and the session's environment are there.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

import psutil

ROOT = Path(__file__).resolve().parent.parent
# qel as it ships, the 32-bit build.
PRESET = "win32"
BUILD = ROOT / "build" / PRESET
# How this machine runs 32-bit programs: "natively", or "under qemu-i386
# (why)" on a kernel that runs none, where times say nothing about Windows.
RUN32 = subprocess.run(["bash", str(ROOT / "scripts" / "run32-mode.sh"), "--describe"], capture_output=True,
                       text=True, check=True).stdout.strip()
NATIVE = RUN32 == "natively"
# The ip.ini of every run folder: [Qelmark], IP=192.168.1.10, the masks 1, 4,
# 32 and 128, no command lines; CR LF line ends.
SAMPLE_INI = ROOT / "tools" / "sample-ip.ini"


def poll_milliseconds():
    """The window's poll interval, as the window's source gives it."""
    text = (ROOT / "core" / "poll_pace.h").read_text()
    return int(re.search(r"kPollMilliseconds\s*=\s*([0-9]+)", text).group(1))


def positive_setting(program, name, text):
    """A setting that must be a positive whole number; exits 2 when it is not."""
    if not re.fullmatch(r"[0-9]+", text) or int(text) < 1:
        print(f"{program}: {name} must be a positive whole number, not '{text}'", file=sys.stderr)
        sys.exit(2)
    return int(text)


def prepare_folder(folder, programs, empty_first=False):
    """Copies the programs and the sample ip.ini into the folder; False (and
    says which) when the build made no such program."""
    missing = [str(p.relative_to(ROOT)) for p in programs if not p.is_file()]
    if missing:
        print(f"the build made no {', '.join(missing)}", file=sys.stderr)
        return False
    folder.mkdir(parents=True, exist_ok=True)
    if empty_first:
        for entry in folder.iterdir():
            if entry.is_file() or entry.is_symlink():
                entry.unlink()
    for program in programs:
        shutil.copy2(program, folder)
    shutil.copyfile(SAMPLE_INI, folder / "ip.ini")
    return True


def windows_path(path):
    """The path as Windows programs under Wine see it (Z: is /)."""
    return "Z:" + str(path).replace("/", "\\")


def exit_status(returncode):
    """A Popen return code as a shell reports it (128 + N for signal N)."""
    return 128 - returncode if returncode < 0 else returncode


# ---------------------------------------------------------------- Wine

def wine_version():
    out = subprocess.run(["wine", "--version"], stdin=subprocess.DEVNULL, capture_output=True, text=True)
    return out.stdout.strip() or "Wine"


def wine_run(args, cwd, loader="wine", **kwargs):
    """subprocess.run([loader, *args]): loader is "wine", or "wine64" for the
    x64 programs of the benchmark's timing build."""
    kwargs.setdefault("stdin", subprocess.DEVNULL)
    return subprocess.run([loader, *args], cwd=cwd, **kwargs)


def wine_output(args, cwd, stderr=subprocess.DEVNULL, loader="wine"):
    """Runs "wine ARGS..." to its end: its exit status and what it wrote to
    standard output (stderr=subprocess.STDOUT: both). The output goes through
    a file, not a pipe: a Wine program can start one of Wine's background
    processes (explorer.exe /desktop, at the first window call), which
    inherits its standard output and keeps a pipe open until the session
    ends."""
    with tempfile.TemporaryFile() as out:
        code = wine_run(args, cwd, loader, stdout=out, stderr=stderr).returncode
        out.seek(0)
        return exit_status(code), out.read().decode(errors="replace")


def wine_start(args, cwd, loader="wine", **kwargs):
    """subprocess.Popen([loader, *args])."""
    kwargs.setdefault("stdin", subprocess.DEVNULL)
    return subprocess.Popen([loader, *args], cwd=cwd, **kwargs)


# ---------------------------------------------------------------- processes

def command_of(process):
    """The command line of a process, its words joined by blanks, or None.
    For a 32-bit Wine process under the emulator (scripts/wine-qemu.sh starts
    it as "qemu-i386 -0 NAME LOADER ARGS..."), ARGS: the Windows program and
    its arguments as Wine's loader was given them (the kernel shows the
    emulator's command line)."""
    try:
        args = process.cmdline()
        if len(args) > 4 and os.path.basename(args[0]) == "qemu-i386" and args[1] == "-0":
            args = args[4:]
        return " ".join(args) if args else None
    except psutil.Error:
        return None


def wine_process_of(windows_program):
    """The Unix process of the Windows program windows_program (its Windows
    path, the start of its command line) in this session's prefix; None when
    there is none or more than one. Wine starts the processes that a Windows
    program creates detached (their parent is init), so they are found by
    command and prefix rather than as descendants."""
    prefix = os.environ["WINEPREFIX"]
    found = []
    for process in psutil.process_iter():
        try:
            command = command_of(process)
            if (command is not None and (command + " ").startswith(windows_program + " ")
                    and process.environ().get("WINEPREFIX") == prefix):
                found.append(process)
        except psutil.Error:
            continue
    return found[0] if len(found) == 1 else None


def wineserver():
    """This session's wineserver: it works in the folder named after the
    prefix's device and inode."""
    info = os.stat(os.environ["WINEPREFIX"])
    name = f"server-{info.st_dev:x}-{info.st_ino:x}"
    for process in psutil.process_iter(["name"]):
        try:
            if process.info["name"].startswith("wineserver") and os.path.basename(process.cwd()) == name:
                return process
        except psutil.Error:
            continue
    return None


def xvfb():
    """The session's Xvfb: the child of xvfb-run, which is an ancestor of
    this process; None on the caller's display."""
    for ancestor in psutil.Process().parents():
        if any(os.path.basename(arg) == "xvfb-run" for arg in ancestor.cmdline()[:2]):
            return next((child for child in ancestor.children() if child.name() == "Xvfb"), None)
    return None


def descendant_running(root, program):
    """root or the first of its descendants whose command ends in program
    (letter case ignored); None when there is none."""
    try:
        candidates = [root, *root.children(recursive=True)]
    except psutil.Error:
        return None
    for process in candidates:
        command = command_of(process)
        if command is not None and command.lower().endswith(program.lower()):
            return process
    return None


def cpu_seconds(process):
    """User and system CPU time of a process, or None when it is gone."""
    try:
        times = process.cpu_times()
        return times.user + times.system
    except (psutil.Error, AttributeError):
        return None


def running(process):
    """Whether a process runs (a zombie, dead but not yet waited for, does not)."""
    try:
        return process.status() not in (psutil.STATUS_ZOMBIE, psutil.STATUS_DEAD)
    except psutil.Error:
        return False
