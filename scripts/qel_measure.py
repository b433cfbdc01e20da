"""What scripts/bench.py and scripts/soak.py share: the folders, the build,
a Wine session of scripts/wine-env.sh, and reading Unix processes in /proc.

Standard library only.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
# qel as it ships, the 32-bit build. RUN32_MODE tells how this machine runs
# it: "native", or "qemu" on a kernel that runs no 32-bit programs, where
# the 32-bit half of Wine runs under the user-mode emulator qemu-i386.
PRESET = "win32"
RUN32_MODE = subprocess.run(["bash", str(ROOT / "scripts" / "run32-mode.sh")], capture_output=True,
                            text=True, check=True).stdout.strip()
BUILD = ROOT / "build" / PRESET
# The ip.ini of every run folder: [Qelmark], IP=192.168.1.10, the masks 1, 4,
# 32 and 128, no command lines; CR LF line ends.
SAMPLE_INI = ROOT / "tools" / "sample-ip.ini"
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def build_windows():
    """Builds BUILD (its output on stderr); True when it succeeded."""
    return subprocess.run(["bash", str(ROOT / "scripts" / "build.sh"), PRESET],
                          stdout=sys.stderr, stdin=subprocess.DEVNULL).returncode == 0


def missing_files(paths):
    """The paths that are no file, relative to the project where they can be."""
    return [str(p.relative_to(ROOT)) if p.is_relative_to(ROOT) else str(p)
            for p in paths if not p.is_file()]


def prepare_folder(folder, programs, empty_first=False):
    """Copies the programs and the sample ip.ini into the folder."""
    folder.mkdir(parents=True, exist_ok=True)
    if empty_first:
        for entry in folder.iterdir():
            if entry.is_file() or entry.is_symlink():
                entry.unlink()
    for program in programs:
        shutil.copy2(program, folder)
    shutil.copyfile(SAMPLE_INI, folder / "ip.ini")


def windows_path(path):
    """The path as Windows programs under Wine see it (Z: is /)."""
    return "Z:" + str(path).replace("/", "\\")


def exit_status(returncode):
    """A Popen return code as a shell reports it (128 + N for signal N)."""
    return 128 - returncode if returncode < 0 else returncode


# ---------------------------------------------------------------- Wine

class WineSessionError(Exception):
    pass


# Sources scripts/wine-env.sh, hands its environment to Python (NUL-separated,
# then the marker) and holds the session until its standard input ends: when
# this program closes it, or ends in any way. Its exit then runs
# wine-env.sh's qel_wine_stop (wineserver -k, the Xvfb ended).
_HOLDER = r"""
source "$1" "$2" || exit 1
trap 'exit 130' INT TERM
env -0
printf 'QEL_XVFB_PID=%s\0%s\0' "${QEL_XVFB_PID:-}" "$3"
read -r _ || true
"""


class WineSession:
    """The Wine session of scripts/wine-env.sh for a build folder: its own
    prefix, a persistent wineserver and a private Xvfb display.

        with WineSession(BUILD) as wine:
            subprocess.run(["wine", "./noop.exe"], env=wine.env, cwd=...)

    env is the environment wine-env.sh set up; xvfb_pid the Xvfb's PID (None
    on the caller's display).
    """

    def __init__(self, build_dir, display="xvfb"):
        self.build_dir = Path(build_dir)
        self.display = display
        self.env = None
        self.xvfb_pid = None
        self._holder = None

    def __enter__(self):
        marker = f"qel-wine-session-{os.getpid()}"
        caller = dict(os.environ, QEL_WINE_DISPLAY=self.display)
        self._holder = subprocess.Popen(
            ["bash", "-c", _HOLDER, "wine-session", str(ROOT / "scripts" / "wine-env.sh"),
             str(self.build_dir), marker],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=caller)
        data = b""
        end = marker.encode() + b"\0"
        while not data.endswith(end):
            chunk = os.read(self._holder.stdout.fileno(), 65536)
            if not chunk:
                code = self._holder.wait()
                raise WineSessionError(f"scripts/wine-env.sh {self.build_dir} failed (exit code {code})")
            data += chunk
        env = {}
        for entry in data[:-len(end)].split(b"\0"):
            name, equals, value = entry.partition(b"=")
            if equals:
                env[os.fsdecode(name)] = os.fsdecode(value)
        pid = env.pop("QEL_XVFB_PID", "")
        self.xvfb_pid = int(pid) if pid.isdigit() else None
        self.env = env
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def close(self):
        if self._holder is None:
            return
        try:
            self._holder.stdin.close()
        except OSError:
            pass
        try:
            self._holder.wait(timeout=120)
        except subprocess.TimeoutExpired:
            self._holder.kill()
            self._holder.wait()
        self._holder.stdout.close()
        self._holder = None

    @property
    def prefix(self):
        return self.env["WINEPREFIX"]

    def version(self):
        out = subprocess.run(["wine", "--version"], env=self.env, stdin=subprocess.DEVNULL,
                             capture_output=True, text=True).stdout.strip()
        return out or "Wine"

    def run(self, args, cwd, **kwargs):
        """subprocess.run(["wine", *args]) in this session."""
        kwargs.setdefault("stdin", subprocess.DEVNULL)
        return subprocess.run(["wine", *args], cwd=cwd, env=self.env, **kwargs)

    def output(self, args, cwd, stderr=subprocess.DEVNULL):
        """Runs "wine ARGS..." to its end: its exit status and what it wrote
        to standard output (stderr=subprocess.STDOUT: both). The output goes
        through a file, not a pipe: a Wine program can start one of Wine's
        background processes (explorer.exe /desktop, at the first window
        call), which inherits its standard output and keeps a pipe open
        until the session ends."""
        with tempfile.TemporaryFile() as out:
            code = self.run(args, cwd, stdout=out, stderr=stderr).returncode
            out.seek(0)
            return exit_status(code), out.read().decode(errors="replace")

    def start(self, args, cwd, **kwargs):
        """subprocess.Popen(["wine", *args]) in this session."""
        kwargs.setdefault("stdin", subprocess.DEVNULL)
        return subprocess.Popen(["wine", *args], cwd=cwd, env=self.env, **kwargs)


# ---------------------------------------------------------------- /proc

def pids():
    for name in os.listdir("/proc"):
        if name.isdigit():
            yield int(name)


def _read(pid, name):
    with open(f"/proc/{pid}/{name}", "rb") as f:
        return f.read()


def _stat_fields(pid):
    """The fields of /proc/PID/stat after the command name: state, ppid, ..."""
    text = _read(pid, "stat").decode(errors="replace")
    return text[text.rindex(")") + 2:].split()


def cpu_ticks(pid):
    """utime + stime of a process, in clock ticks; raises OSError when gone."""
    fields = _stat_fields(pid)
    return int(fields[11]) + int(fields[12])


def parent_of(pid):
    try:
        return int(_stat_fields(pid)[1])
    except (OSError, ValueError, IndexError):
        return None


def command_of(pid):
    """argv[0] of a process, or None. For a 32-bit Wine process that runs
    under the emulator (scripts/wine-env.sh starts it as "qemu-i386 -0 NAME
    LOADER ARGS..."), the first of ARGS: the Windows program, as Wine's
    loader was given it (the emulator's own command line is what the kernel
    shows; the title Wine writes over its loader's arguments stays inside
    the emulated process)."""
    try:
        args = _read(pid, "cmdline").split(b"\0")
        if os.path.basename(args[0]) == b"qemu-i386" and args[1] == b"-0":
            return os.fsdecode(args[4])
        return os.fsdecode(args[0])
    except (OSError, IndexError):
        return None


def status_field(pid, key):
    """The first word of a line "KEY: ..." of /proc/PID/status, or None."""
    try:
        text = _read(pid, "status").decode(errors="replace")
    except OSError:
        return None
    match = re.search(rf"^{re.escape(key)}:\s*(\S+)", text, re.MULTILINE)
    return match.group(1) if match else None


def running(pid):
    """Whether a process runs (a zombie, dead but not yet waited for, does not)."""
    state = status_field(pid, "State")
    return state is not None and state not in ("Z", "X")


def in_prefix(pid, prefix):
    """Whether the process runs with WINEPREFIX=prefix."""
    try:
        return f"WINEPREFIX={prefix}".encode() in _read(pid, "environ").split(b"\0")
    except OSError:
        return False


def wine_process_of(windows_program, prefix):
    """The Unix process of the Windows program whose command starts with
    windows_program (its Windows path) in the prefix; None when there is none
    or more than one. Wine starts the processes that a Windows program
    creates detached (their parent is init), so they are found by command
    and prefix rather than as descendants."""
    found = [pid for pid in pids() if command_of(pid) == windows_program and in_prefix(pid, prefix)]
    return found[0] if len(found) == 1 else None


def wineserver_of(prefix):
    """The prefix's wineserver: it works in the folder named after the
    prefix's device and inode."""
    info = os.stat(prefix)
    name = f"server-{info.st_dev:x}-{info.st_ino:x}"
    for pid in pids():
        try:
            if not _read(pid, "comm").startswith(b"wineserver"):
                continue
            if os.path.basename(os.readlink(f"/proc/{pid}/cwd")) == name:
                return pid
        except OSError:
            continue
    return None


def descendant_running(root_pid, program):
    """root_pid or the first of its descendants (breadth first) whose command
    ends in program (letter case ignored); None when there is none."""
    children = {}
    for pid in pids():
        children.setdefault(parent_of(pid), []).append(pid)
    queue = [root_pid]
    while queue:
        pid = queue.pop(0)
        command = command_of(pid)
        if command is not None and command.lower().endswith(program.lower()):
            return pid
        queue.extend(sorted(children.get(pid, [])))
    return None
