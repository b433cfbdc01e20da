#!/usr/bin/env python3
"""qel's benchmark: measures the Windows build and prints one short report.

    scripts/bench.sh          (installs what is missing, then runs this)
    python3 scripts/bench.py

Measured now:
  start    wall time of script mode, "qel.exe 1 1" against the simulated
           switch, over the do-nothing Win32 program noop.exe of the same
           build: the median of the pairs' ratios (aim: 1.05 or less)
  own      the same for "qel.exe W0 W0", a script that reads no ip.ini and
           calls no socket.dll: qel's own part of the start, beside the
           simulated switch's file work that "qel.exe 1 1" includes (no
           aim; it tells where the start's time goes)
  window   time until the window of "qel.exe" (window mode, no arguments)
           is visible, over the same for baseline_window.exe, which shows the
           same window (qel's 25 controls, fonts, icon and manifest) and does
           nothing else: the median of the pairs' ratios (aim: 1.10 or less)
  state    in the same runs of qel.exe, the time until its label Sw1 shows
           the switch's state (lit: the simulated outlet 1 is on) over the
           time until its window is visible: the median of the runs' ratios
           (aim: 1.10 or less)
  idle     CPU time of qel.exe's process while its window polls the
           simulated switch for QEL_BENCH_IDLE_SECONDS (default 60), in
           percent of one core (aim: 0.5 % or less); the wineserver's and
           the Xvfb's CPU in the same time are reported beside it, since
           they do work on qel's behalf
  size     qel.exe in KiB (aim: 400 KiB or less)
  imports  the DLLs qel.exe imports (aim: Windows system DLLs only)

BUILD below is build/win32: qel as it ships. On a kernel that runs no 32-bit
programs, Wine runs it under the user-mode emulator qemu-i386
(scripts/run32-mode.sh; the first line of the report says which). Times
taken under an emulator say nothing about Windows, so there only size and
imports are measured, and the timed lines say NOT MEASURED and why.

All programs run from BUILD/bench/, which holds copies of qel.exe, the
simulated socket.dll, noop.exe, baseline_window.exe and timewindow.exe,
tools/sample-ip.ini as ip.ini and the simulated outlets' state (QELSIM_STATE
points there), under one Wine session of scripts/wine-env.sh (BUILD's
prefix, a private Xvfb). The timed runs of each comparison alternate
(baseline, qel, baseline, qel, ...) after one warm-up run of each; each
baseline run and the qel run after it are a pair, and the ratio reported is
the median of the pairs' ratios (the medians of the two programs' times are
shown beside it). QEL_BENCH_RUNS sets the number of pairs (default 30); the
start and window aims are judged on 30 pairs or more only.

start: each run is timed from this program around "wine ./PROG.exe ARGS".
window: each run is "wine ./timewindow.exe PROG.exe CLASS", which times
inside Wine (so without Wine's own start, the same for both programs) from
just before CreateProcessW until a window of that class of the started
process is visible (checked every millisecond), prints that time, then
closes the window (WM_CLOSE) and waits for the program to end. For qel.exe
it is "timewindow.exe --lit Sw1 qel.exe qel", which after the window shows
goes on checking every millisecond until the label Sw1 is lit on the screen
and prints that time as well (state).
idle: "timewindow.exe --hold qel.exe qel" keeps the window open until its
standard input (a pipe from this program) ends. After the window shows and
2 s of settling, utime+stime of qel.exe's Unix process (and of this prefix's
wineserver and the Xvfb) are read from /proc at the start and the end of the
idle time.

It builds BUILD first. A missed aim is reported, not failed: the exit
code is 0 then. It is 1 only when something could not be measured (a build
that fails, a run that does not exit 0), 2 for a wrong setting. Uses the
Wine session of BUILD: not while scripts/test.sh or scripts/run.sh
runs there.

Adding a measurement: write a method measure_NAME of Benchmark that prints
its report line(s) with report_line, and add NAME to MEASUREMENTS.
"""

import os
import re
import select
import statistics
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import qel_measure as qm  # noqa: E402

# In the order they run and report.
MEASUREMENTS = ["start", "own", "window", "idle", "size", "imports"]  # window reports state too
# What an emulator's timings would make meaningless (window reports state).
TIMED = {"start", "own", "window", "idle"}

START_AIM = 1.05
WINDOW_AIM = 1.10
STATE_AIM = 1.10
IDLE_AIM_PERCENT = 0.5
SIZE_AIM_BYTES = 400 * 1024
# The start and window aims hold for medians of this many pairs or more.
AIM_PAIRS = 30

BENCH = qm.BUILD / "bench"
# The binutils of the build's target.
TRIPLE = "i686-w64-mingw32"
OBJDUMP, OBJCOPY = TRIPLE + "-objdump", TRIPLE + "-objcopy"
PROGRAMS = [qm.BUILD / "qel.exe", qm.BUILD / "simswitch" / "socket.dll",
            qm.BUILD / "tools" / "noop.exe", qm.BUILD / "tools" / "baseline_window.exe",
            qm.BUILD / "tools" / "timewindow.exe"]


def report_line(name, text):
    """One report line: a name column, then the text."""
    print(f"{name:<8} {text}", flush=True)


def rounded(value, places):
    """The value as it is printed, so the verdict agrees with the figure."""
    return float(f"{value:.{places}f}")


def pair_ratio(times, baseline_times):
    """The median of the ratios of the pairs (each run over the baseline run
    just before it): the machine's speed may drift during the runs (another
    job starting, the CPU clock), and both runs of a pair see about the same
    machine."""
    return statistics.median(t / b for t, b in zip(times, baseline_times))


def verdict(met):
    return "met" if met else "MISSED"


def positive_setting(name, default):
    text = os.environ.get(name, str(default))
    if not re.fullmatch(r"[0-9]+", text) or int(text) < 1:
        print(f"bench.py: {name} must be a positive whole number, not '{text}'", file=sys.stderr)
        sys.exit(2)
    return int(text)


class Benchmark:
    def __init__(self, wine, runs, idle_seconds):
        self.wine = wine
        self.runs = runs
        self.idle_seconds = idle_seconds
        self.failed = False
        self.state = BENCH / "socket-sim.state"

    def error(self, text):
        print(f"bench.py: {text}", file=sys.stderr, flush=True)
        self.failed = True

    def ratio_verdict(self, ratio, aim):
        if self.runs < AIM_PAIRS:
            return f"not judged ({self.runs} pairs, the aim needs {AIM_PAIRS})"
        return verdict(rounded(ratio, 2) <= aim)

    # ------------------------------------------------------------ start

    def time_wine_run(self, *args):
        """The wall time of "wine ./PROGRAM ARGS..." in ns, and its exit code."""
        began = time.perf_counter_ns()
        code = self.wine.run(["./" + args[0], *args[1:]], cwd=BENCH, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL).returncode
        return time.perf_counter_ns() - began, qm.exit_status(code)

    def time_script_pairs(self, arguments):
        """Alternating runs of noop.exe and "qel.exe ARGUMENTS...", after one
        warm-up run of each: the median of the pairs' ratios, both programs'
        times, and how many runs failed."""
        qel = ["qel.exe", *arguments]
        self.time_wine_run("noop.exe")
        self.time_wine_run(*qel)
        noop_times, qel_times, failures = [], [], 0
        for _ in range(self.runs):
            for command, times in ((["noop.exe"], noop_times), (qel, qel_times)):
                ns, code = self.time_wine_run(*command)
                if code != 0:
                    self.error(f"{' '.join(command)} exited {code}")
                    failures += 1
                times.append(ns)
        return pair_ratio(qel_times, noop_times), qel_times, noop_times, failures

    def script_line(self, name, arguments, aim):
        ratio, qel_times, noop_times, failures = self.time_script_pairs(arguments)
        text = (f"qel.exe {' '.join(arguments)} / noop.exe = {ratio:.2f} ({self.runs} pairs; medians "
                f"{statistics.median(qel_times) / 1e6:.1f} ms / {statistics.median(noop_times) / 1e6:.1f} ms)")
        if aim is not None:
            judged = self.ratio_verdict(ratio, aim)
            if failures:
                judged = f"NOT MEASURED ({failures} runs failed)"
            text += f"; aim <= {aim:.2f}: {judged}"
        elif failures:
            text += f"; NOT MEASURED ({failures} runs failed)"
        else:
            text += "; qel's own part, no aim"
        report_line(name, text)

    def measure_start(self):
        self.state.unlink(missing_ok=True)
        self.script_line("start", ["1", "1"], START_AIM)

    def measure_own(self):
        self.script_line("own", ["W0", "W0"], None)

    # ------------------------------------------------------------ window

    def time_window_run(self, program, window_class, lit_label=None):
        """The milliseconds until the program's window of that class was
        visible and, with lit_label, until that label was lit (each None when
        not told), and timewindow.exe's exit code."""
        options = ["--lit", lit_label] if lit_label else []
        code, out = self.wine.output(["./timewindow.exe", *options, program, window_class], cwd=BENCH)
        first = out.split("\r", 1)[0].split("\n", 1)[0]
        shape = r"[0-9.]+ [0-9]+ [0-9.]+" if lit_label else r"[0-9.]+ [0-9]+"
        if code != 0 or not re.fullmatch(shape, first):
            return None, None, code
        fields = first.split()
        return float(fields[0]), float(fields[2]) if lit_label else None, code

    def measure_window(self):
        # Outlet 1 (mask 1 in ip.ini) is on: its label lit tells the state.
        self.state.write_text("192.168.1.10=5\n")
        runs = (("baseline_window.exe", "baseline_window", None), ("qel.exe", "qel", "Sw1"))
        # Warm-up: one run of each, not counted.
        for program, window_class, lit_label in runs:
            self.time_window_run(program, window_class, lit_label)
        baseline_times, qel_times, lit_times, failures = [], [], [], 0
        for _ in range(self.runs):
            for program, window_class, lit_label in runs:
                ms, lit_ms, code = self.time_window_run(program, window_class, lit_label)
                if ms is None:
                    self.error(f"timewindow.exe {program} exited {code}")
                    failures += 1
                (qel_times if lit_label else baseline_times).append(ms)
                if lit_label:
                    lit_times.append(lit_ms)
        if failures:
            report_line("window", f"NOT MEASURED ({failures} runs failed)")
            report_line("state", "NOT MEASURED")
            return
        ratio = pair_ratio(qel_times, baseline_times)
        report_line("window", f"qel.exe / baseline_window.exe until visible = {ratio:.2f} ({self.runs} pairs; "
                              f"medians {statistics.median(qel_times):.1f} ms / "
                              f"{statistics.median(baseline_times):.1f} ms); "
                              f"aim <= {WINDOW_AIM:.2f}: {self.ratio_verdict(ratio, WINDOW_AIM)}")
        # Both times of a ratio come from the same run.
        state_ratio = pair_ratio(lit_times, qel_times)
        report_line("state", f"qel.exe until Sw1 shows the switch's state / until visible = {state_ratio:.2f} "
                             f"({self.runs} runs; medians {statistics.median(lit_times):.1f} ms / "
                             f"{statistics.median(qel_times):.1f} ms); "
                             f"aim <= {STATE_AIM:.2f}: {self.ratio_verdict(state_ratio, STATE_AIM)}")

    # ------------------------------------------------------------ idle

    def percent_of_core(self, ticks, ns):
        return f"{100 * ticks / qm.CLOCK_TICKS / (ns / 1e9):.2f}"

    def measure_idle(self):
        self.state.write_text("192.168.1.10=5\n")
        holder = self.wine.start(["./timewindow.exe", "--hold", "qel.exe", "qel"], cwd=BENCH,
                                 stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        try:
            shown = self._idle_while_held(holder)
        finally:
            holder.stdin.close()  # timewindow.exe closes the window
            code = qm.exit_status(holder.wait())
            holder.stdout.close()
        if shown is None:
            self.error(f"qel.exe's window did not show (timewindow.exe exited {code})")
            report_line("idle", "NOT MEASURED")
            return
        if shown is False:
            self.error("qel.exe's Unix process not found")
            report_line("idle", "NOT MEASURED")
            return
        qel_ticks, server_ticks, xvfb_ticks, ns = shown
        if code != 0:
            self.error(f"timewindow.exe --hold qel.exe exited {code}")
        qel_pct = self.percent_of_core(qel_ticks, ns)
        server_pct = "?" if server_ticks is None else self.percent_of_core(server_ticks, ns)
        xvfb_pct = "?" if xvfb_ticks is None else self.percent_of_core(xvfb_ticks, ns)
        judged = verdict(float(qel_pct) <= IDLE_AIM_PERCENT)
        if code != 0:
            judged += f" (but it did not close: timewindow.exe exited {code})"
        report_line("idle", f"qel.exe window polling for {self.idle_seconds} s = {qel_pct} % of one core "
                            f"(besides: wineserver {server_pct} %, Xvfb {xvfb_pct} %); "
                            f"aim <= {IDLE_AIM_PERCENT} % (qel.exe): {judged}")

    def _idle_while_held(self, holder):
        """With the window held open: (qel, wineserver, Xvfb CPU ticks, ns)
        over the idle time; None when the window did not show, False when
        qel.exe's process was not found."""
        line = b""
        deadline = time.monotonic() + 60
        fd = holder.stdout.fileno()
        while not line.endswith(b"\n") and time.monotonic() < deadline:
            ready, _, _ = select.select([fd], [], [], 0.1)
            if ready:
                chunk = os.read(fd, 4096)
                if not chunk:
                    break
                line += chunk
            elif holder.poll() is not None:
                break
        if not line.strip():
            return None
        time.sleep(2)  # the end of the start-up is not idle time
        qel_pid = qm.wine_process_of(qm.windows_path(BENCH / "qel.exe"), self.wine.prefix)
        if qel_pid is None:
            return False
        server_pid = qm.wineserver_of(self.wine.prefix)
        xvfb_pid = self.wine.xvfb_pid

        def ticks(pid):
            try:
                return None if pid is None else qm.cpu_ticks(pid)
            except (OSError, ValueError, IndexError):
                return None

        began = time.monotonic_ns()
        q0, s0, x0 = ticks(qel_pid), ticks(server_pid), ticks(xvfb_pid)
        time.sleep(self.idle_seconds)
        q1, s1, x1 = ticks(qel_pid), ticks(server_pid), ticks(xvfb_pid)
        ns = time.monotonic_ns() - began
        if q0 is None or q1 is None:
            return False

        def spent(a, b):
            return None if a is None or b is None else b - a

        return q1 - q0, spent(s0, s1), spent(x0, x1), ns

    # ------------------------------------------------------------ size, imports

    def measure_size(self):
        size = (qm.BUILD / "qel.exe").stat().st_size
        report_line("size", f"qel.exe = {size / 1024:.1f} KiB ({size} bytes); aim <= 400 KiB: "
                            f"{verdict(size <= SIZE_AIM_BYTES)}")

    # The system DLL list is the one of the qel_imports test.
    def measure_imports(self):
        done = subprocess.run(["bash", str(qm.ROOT / "tests" / "e2e" / "check_imports.sh"), OBJDUMP, OBJCOPY,
                               str(qm.BUILD / "qel.exe")], capture_output=True, text=True)
        dlls, others = [], []
        for line in done.stdout.splitlines():
            if line.startswith("ok: "):
                dlls.append(line[len("ok: "):])
            elif line.startswith("not a system DLL: "):
                dlls.append(line[len("not a system DLL: "):])
                others.append(dlls[-1])
        if not dlls:
            self.error(f"no imports read from qel.exe: {done.stdout.strip()}")
            report_line("imports", "NOT MEASURED")
            return
        judged = "met" if done.returncode == 0 else f"MISSED ({' '.join(others)})"
        report_line("imports", f"{' '.join(dlls)}; aim: Windows system DLLs only: {judged}")


def main():
    runs = positive_setting("QEL_BENCH_RUNS", 30)
    idle_seconds = positive_setting("QEL_BENCH_IDLE_SECONDS", 60)
    if not qm.build_windows():
        return 1
    missing = qm.missing_files(PROGRAMS)
    if missing:
        print(f"bench.py: the build made no {', '.join(missing)}", file=sys.stderr)
        return 1
    qm.prepare_folder(BENCH, PROGRAMS)
    # The simulated switch keeps its state in the bench folder, with no
    # journal and no faults.
    for name in ("QELSIM_JOURNAL", "QELSIM_FAULT"):
        os.environ.pop(name, None)
    os.environ["QELSIM_STATE"] = qm.windows_path(BENCH / "socket-sim.state")
    try:
        with qm.WineSession(qm.BUILD) as wine:
            how = ("natively" if qm.RUN32_MODE == "native"
                   else "under qemu-i386: this kernel runs no 32-bit programs")
            print(f"qel benchmark, the 32-bit build (build/{qm.PRESET}) {how}, {wine.version()}", flush=True)
            bench = Benchmark(wine, runs, idle_seconds)
            for name in MEASUREMENTS:
                if name in TIMED and qm.RUN32_MODE != "native":
                    report_line(name, "NOT MEASURED: 32-bit programs run here only under an emulator, "
                                "whose times say nothing about Windows")
                    if name == "window":
                        report_line("state", "NOT MEASURED: as window")
                    continue
                getattr(bench, "measure_" + name)()
            return 1 if bench.failed else 0
    except qm.WineSessionError as error:
        print(f"bench.py: {error}", file=sys.stderr)
        return 1


if __name__ == "__main__":
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        sys.exit(130)
