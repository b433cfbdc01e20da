#!/usr/bin/env python3
"""qel's soak run: leaves the window polling for a long time and checks that
its memory, handles and GDI/USER objects stay flat.

    scripts/soak.sh [MINUTES]      (default 10; it starts this program)

qel.exe runs in window mode in a folder of its own (QEL_SOAK_DIR/run) beside
the simulated socket.dll, procstats.exe and tools/sample-ip.ini as ip.ini,
so the window reads the simulated switch at its poll interval
(kPollMilliseconds, read from core/poll_pace.h). Meanwhile the
switch gets a new status word every second (words that light and darken
every label in turn), written as a whole: a temporary file, then a rename.

The run lasts MINUTES from the moment the window shows. The first
QEL_SOAK_INTERVAL seconds (default 30) are warm-up (fonts, the first paints
of each colour, Wine's caches); then every QEL_SOAK_INTERVAL seconds it
samples
  RSS, VmSize  of the Unix process that runs qel.exe
  handles, GDI, USER   as Windows counts them for qel.exe, read with
               tools/procstats.exe: GetProcessHandleCount and
               GetGuiResources(GR_GDIOBJECTS / GR_USEROBJECTS)
  handles*, GDI*, windows*   the same counted another way, for Wine 8,
               which gives no figure for the three above: qel's entries in
               the system handle list, its own objects in Wine's GDI handle
               table, and its windows (the bulk of its USER objects)
and prints a table of the samples, the change of each figure from the first
sample to the last, how often qel read the switch (from the simulated
switch's journal) and a verdict.

Verdict "flat" when, from the first sample to the last,
  - RSS and VmSize grew by at most 1024 KiB. Wine's heaps and the X11 and
    font caches grow in steps of pages when some path is taken for the
    first time late, so a few KiB of noise are normal; a leak of 1 KiB or
    more per poll passes 1 MiB in the polls after the warm-up of a
    10-minute run (an allocation never freed takes address space even when
    its pages are not touched).
  - handles, GDI and USER did not change at all; where a figure is n/a its
    stand-in (handles*, GDI*, windows*) did not. The window needs no new
    object to show a word it showed before, so after the warm-up any change
    is a leak (or a release of something the warm-up took, worth a look).
and qel kept polling (at least half of the reads its poll interval gives)
and was still running at the end. Then qel is closed with WM_CLOSE
(procstats.exe --close; ended by its PID if it does not end within 10 s).

Exit code: 0 flat, 1 something grew (or qel ended or stopped polling during
the run), 2 the run could not be made (a wrong setting, the build, no
window).
"""

import os
import re
import subprocess
import sys
import time
from pathlib import Path

import psutil

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import qel_measure as qm  # noqa: E402

TOLERANCE_KIB = 1024

# Status words, one a second in turn: every label goes on and off several
# times a cycle (masks 1, 4, 32, 128).
WORDS = [0, 1, 5, 37, 165, 164, 160, 128, 0, 32, 4, 133, 36, 161, 1, 0]

# The figures of a sample, in the order of the table's columns.
COLUMNS = ["rss", "vmsize", "handles", "gdi", "user", "handles_listed", "gdi_table", "windows"]
COUNTED = COLUMNS[2:]  # the ones procstats.exe gives
ROW_FORMAT = "%6s %9s %11s %8s %6s %6s | %9s %6s %9s"

# Each count, the stand-in judged where the system gives no figure for it,
# and their labels.
COUNTS = [("handles", "handles", "handles_listed", "handles*"),
          ("gdi", "GDI", "gdi_table", "GDI*"),
          ("user", "USER", "windows", "windows*")]
# Why a figure may be n/a: the call procstats.exe makes for it.
CALLS = [("handles", "GetProcessHandleCount"), ("gdi", "GetGuiResources(GR_GDIOBJECTS)"),
         ("user", "GetGuiResources(GR_USEROBJECTS)")]


def fail(text, code=2):
    print(f"soak.py: {text}", file=sys.stderr)
    sys.exit(code)


def is_number(value):
    return value is not None and re.fullmatch(r"[0-9]+", value) is not None


def shown(value):
    """A figure for the table: a number, or "n/a"."""
    return value if is_number(value) else "n/a"


def clock(seconds):
    return f"{seconds // 60}:{seconds % 60:02d}"


def now_ms():
    return time.monotonic_ns() // 1_000_000


def sleep_until_ms(moment):
    left = moment - now_ms()
    if left > 0:
        time.sleep(left / 1000)


class Soak:
    def __init__(self, run):
        self.run = run
        self.state = run / "socket-sim.state"
        self.journal = run / "socket-sim.journal"

    def set_word(self, word):
        """The switch's word, replaced as a whole."""
        temporary = self.state.with_name(self.state.name + ".soak-tmp")
        temporary.write_text(f"192.168.1.10={word}\n")
        os.replace(temporary, self.state)

    def procstats(self):
        """procstats.exe's figures for qel.exe as a dict, or None."""
        code, out = qm.wine_output(["./procstats.exe", "qel.exe"], cwd=self.run)
        line = out.split("\r", 1)[0].split("\n", 1)[0]
        if code != 0 or not line.startswith("pid="):
            return None
        return dict(item.split("=", 1) for item in line.split() if "=" in item)


def main(argv):
    minutes = qm.positive_setting("soak.py", "MINUTES", argv[0] if argv else "10")
    interval = qm.positive_setting("soak.py", "QEL_SOAK_INTERVAL", os.environ.get("QEL_SOAK_INTERVAL", "30"))
    duration = minutes * 60
    if duration < 2 * interval:
        fail(f"{minutes} min leave less than two samples {interval} s apart")
    run = Path(os.environ["QEL_SOAK_DIR"]) / "run"
    programs = [qm.BUILD / "qel.exe", qm.BUILD / "simswitch" / "socket.dll", qm.BUILD / "tools" / "procstats.exe"]
    if not qm.prepare_folder(run, programs, empty_first=True):
        return 2

    # The simulated switch: its state and journal in the run folder, no faults.
    os.environ["QELSIM_STATE"] = qm.windows_path(run / "socket-sim.state")
    os.environ["QELSIM_JOURNAL"] = qm.windows_path(run / "socket-sim.journal")
    os.environ.pop("QELSIM_FAULT", None)
    return soak(Soak(run), minutes, interval, duration)


def soak(s, minutes, interval, duration):
    s.set_word(0)
    s.journal.write_bytes(b"")
    wine_process = qm.wine_start(["./qel.exe"], cwd=s.run, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        return soak_running(s, wine_process, minutes, interval, duration)
    finally:
        # qel first (if it still runs), by the process started here, then Wine.
        if wine_process.poll() is None:
            qel = qm.descendant_running(psutil.Process(wine_process.pid), "qel.exe")
            for process in (qel, psutil.Process(wine_process.pid)):
                try:
                    if process is not None:
                        process.terminate()
                except psutil.Error:
                    pass
            wine_process.wait()


def soak_running(s, wine_process, minutes, interval, duration):
    # Until qel.exe has a window (60 s at most).
    line = None
    for _ in range(120):
        if wine_process.poll() is not None:
            break
        line = s.procstats()
        if line is not None and is_number(line.get("windows")) and int(line["windows"]) > 0:
            break
        line = None
        time.sleep(0.5)
    if line is None:
        fail("qel.exe showed no window within 60 s")
    qel = qm.descendant_running(psutil.Process(wine_process.pid), "qel.exe")
    if qel is None:
        fail(f"no process running qel.exe among wine (PID {wine_process.pid}) and its descendants")
    polls_per_second = 1000 / qm.poll_milliseconds()

    print(f"qel soak: window mode for {minutes} min against the simulated switch (a new word every 1 s), "
          f"{qm.wine_version()}, qel.exe in Unix process {qel.pid}", flush=True)

    # ------------------------------------------------------------ the run
    samples = []        # one dict of figures (text, or None) per sample
    sample_times = []
    first_line = None
    ended = None
    # One tick a second, counted from the start: a new word, and every
    # interval seconds (not at 0: warm-up) a sample.
    start = now_ms()
    tick = 0
    while True:
        sleep_until_ms(start + tick * 1000)
        s.set_word(WORDS[tick % len(WORDS)])
        if not qm.running(qel):
            ended = f"qel.exe ended after {tick} s"
            break
        if tick > 0 and tick % interval == 0:
            try:
                memory = qel.memory_info()
                sample = {"rss": str(memory.rss // 1024), "vmsize": str(memory.vms // 1024)}
            except psutil.Error:
                sample = {"rss": None, "vmsize": None}
            figures = s.procstats() or {}
            if first_line is None and figures:
                first_line = figures
            for column in COUNTED:
                sample[column] = figures.get(column)
            samples.append(sample)
            sample_times.append(tick)
        if tick >= duration:
            break
        tick += 1
    run_seconds = (now_ms() - start) // 1000
    changes = tick + 1

    # ------------------------------------------------------------ closing
    if ended is not None:
        ended += f" (exit code {qm.exit_status(wine_process.wait())})"
    else:
        code, out = qm.wine_output(["./procstats.exe", "--close", "qel.exe"], cwd=s.run, stderr=subprocess.STDOUT)
        if code == 0:
            closed = f"closed with WM_CLOSE, exit code {qm.exit_status(wine_process.wait())}"
        else:
            try:
                qel.terminate()
            except psutil.Error:
                pass
            wine_process.wait()
            said = out.replace("\r", "").rstrip("\n")
            closed = f"did not end after WM_CLOSE ({said}): killed by its PID"

    # ------------------------------------------------------------ report
    print()
    print(ROW_FORMAT % ("time", "RSS KiB", "VmSize KiB", "handles", "GDI", "USER", "handles*", "GDI*", "windows*"))
    for at, sample in zip(sample_times, samples):
        print(ROW_FORMAT % (clock(at), *(shown(sample[c]) for c in COLUMNS)))

    # The change of a column from the first sample to the last: "+N", "-N",
    # "0", or "n/a" when either end is not a number.
    change = {c: "n/a" for c in COLUMNS}
    if len(samples) >= 2:
        for c in COLUMNS:
            a, b = samples[0][c], samples[-1][c]
            if is_number(a) and is_number(b):
                d = int(b) - int(a)
                change[c] = f"+{d}" if d > 0 else str(d)

    print()
    if len(samples) >= 2:
        print(f"change from {clock(sample_times[0])} to {clock(sample_times[-1])}: "
              f"RSS {change['rss']} KiB, VmSize {change['vmsize']} KiB, handles {change['handles']}, "
              f"GDI {change['gdi']}, USER {change['user']}; handles* {change['handles_listed']}, "
              f"GDI* {change['gdi_table']}, windows* {change['windows']}")
    # Why a figure is n/a, as procstats.exe said it.
    if first_line:
        for key, call in CALLS:
            value = first_line.get(key, "")
            if not is_number(value):
                print(f"n/a: {call} gives no figure here (procstats.exe: {value}); judged by the stand-in (*)")

    try:
        reads = sum(1 for line in s.journal.read_bytes().split(b"\n") if line.startswith(b"receivep6"))
    except OSError:
        reads = 0
    rate = reads / run_seconds if run_seconds > 0 else 0
    print(f"polls: {reads} status reads in {run_seconds} s ({rate:.2f} a second, expected {polls_per_second:g}); "
          f"the word changed {changes} times")
    print(f"qel: {ended if ended is not None else closed}")

    # ------------------------------------------------------------ verdict
    grew, problems = [], []
    if ended is not None:
        problems.append("qel.exe ended during the run")
    if reads < run_seconds * polls_per_second / 2:
        problems.append(f"qel read the switch only {reads} times in {run_seconds} s")
    if len(samples) < 2:
        problems.append("fewer than two samples")
    else:
        for c, label in (("rss", "RSS"), ("vmsize", "VmSize")):
            if change[c] == "n/a":
                problems.append(f"{label} not measured")
            elif int(change[c]) > TOLERANCE_KIB:
                grew.append(f"{label} {change[c]} KiB (more than {TOLERANCE_KIB})")
        for c, label, stand_in, stand_in_label in COUNTS:
            if not is_number(samples[0][c]):
                c = stand_in
                label = f"{label} (by {stand_in_label})"
            if change[c] == "n/a":
                problems.append(f"{label} not measured")
            elif change[c] != "0":
                grew.append(f"{label} {change[c]}")

    if grew or problems:
        verdict = "NOT FLAT"
        if grew:
            verdict += " - grew: " + ", ".join(grew)
        if problems:
            verdict += " - " + ", ".join(problems)
        print(f"verdict: {verdict}")
        return 1
    print(f"verdict: flat (RSS and VmSize within {TOLERANCE_KIB} KiB, handles, GDI and USER objects "
          f"unchanged after the {interval} s warm-up)")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except KeyboardInterrupt:
        sys.exit(130)
