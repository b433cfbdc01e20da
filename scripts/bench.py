#!/usr/bin/env python3
"""qel's benchmark: measures the Windows build and prints one short report.

    scripts/bench.sh          (it starts this program in a Wine session)

  start    wall time of "qel.exe 1 1" against the simulated switch over
           "baseline_script.exe 1 1", which does the work no implementation
           can avoid and nothing else: reads IP and SW1 of ip.ini with the
           profile functions, loads the same socket.dll and makes the same
           calls (checked first, from the simulated switch's journal)
           (aim: 1.05 or less)
  watched  "qel.exe 1 1" over "baseline_script.exe --watched 1 1", the same
           baseline with a second thread started before its first call,
           confirmed running and left waiting to the end: what qel costs
           besides its watchdog's thread (no aim)
  own      "qel.exe W0 W0", which reads no ip.ini and calls no socket.dll,
           over the do-nothing noop.exe: qel's own start (no aim)
  window   time until the window of "qel.exe" is visible over the same for
           baseline_window.exe, which shows the same window (qel's 25
           controls, fonts, icon and manifest) and does nothing else
           (aim: 1.10 or less)
  state    in the same runs of qel.exe, the time until its label Sw1 shows
           the switch's state (lit) over the time until its window is
           visible (aim: 1.10 or less)
  idle     CPU time of qel.exe's process while its window polls for
           QEL_BENCH_IDLE_SECONDS (default 60), in percent of one core
           (aim: 0.5 % or less); the wineserver's and the Xvfb's beside it,
           since they work on qel's behalf
  size     the shipped qel.exe (build/win32) in KiB (aim: 400 KiB or less)
  imports  the DLLs the shipped qel.exe imports (aim: Windows system DLLs
           only)

Times are taken natively only. Where the kernel runs 32-bit programs, the
timed programs are those of the shipped build, build/win32. Where it runs
none, Wine runs them under qemu-i386, whose times say nothing about Windows:
there scripts/bench.sh builds the same sources for x64 (build/win64-timing,
preset win64-timing, for timing only and never shipped) and times those
under the 64-bit Wine (wine64), natively; QEL_BENCH_TIMED=win64-timing says
so. Size and imports are always the shipped 32-bit qel.exe's. The report's
first line names the timed build (folder, build type, compiler, commit), how
its programs ran, the build whose size and imports it reports, and the
machine's load (the last minute's average) as the timings began. Run in a
session of build/win32 on such a kernel, every measurement runs once,
untimed (one pair, 1 s of idle), so that a failing run or a baseline that
no longer makes qel's calls still shows, and the timed lines say NOT
MEASURED.

The programs run from the timed build's bench/ folder beside the simulated
socket.dll, tools/sample-ip.ini as ip.ini and the switch's state
(QELSIM_STATE). The runs of a comparison alternate (baseline, qel, ...)
after one warm-up run of each; a baseline run and the qel run after it are a
pair, and the ratio is the median of the pairs' ratios (the medians of both
programs' times beside it; for start and own also their shortest and
longest, which show how noisy the machine was). QEL_BENCH_RUNS sets the pairs (default 30); the
start and window aims are judged on 30 pairs or more only.

(Each "wine" below is "wine64" for the x64 timing build.) start, own: each
run is timed around "wine ./PROG.exe ARGS". window: each run
is "wine ./timewindow.exe PROG.exe CLASS", which times inside Wine (without
Wine's own start) from just before CreateProcessW until a window of that
class of the started process is visible, then closes it (WM_CLOSE); for
qel.exe with "--lit Sw1", which goes on until the label Sw1 is lit on the
screen (state). idle: "timewindow.exe --hold qel.exe qel" keeps the window
open until its standard input ends; after 2 s of settling, the CPU times of
qel.exe's Unix process, the wineserver and the Xvfb are read at the start
and the end of the idle time.

A missed aim is reported, not failed: the exit code is 0 then. It is 1 when
something could not be measured (a run that does not exit 0, a baseline
whose calls differ from qel's), 2 for a wrong setting.

Adding a measurement: a method measure_NAME of Benchmark that prints its
line(s) with report_line, and NAME in MEASUREMENTS (and TIMED if timed).
"""

import os
import re
import select
import shutil
import statistics
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import qel_measure as qm  # noqa: E402

# In the order they run and report.
MEASUREMENTS = ["start", "watched", "own", "window", "idle", "size", "imports"]  # window reports state too
# The lines an emulator's times would make meaningless.
TIMED = {"start", "watched", "own", "window", "state", "idle"}

START_AIM = 1.05
WINDOW_AIM = 1.10
STATE_AIM = 1.10
IDLE_AIM_PERCENT = 0.5
SIZE_AIM_BYTES = 400 * 1024
# The start and window aims hold for medians of this many pairs or more.
AIM_PAIRS = 30

# The build whose programs are timed: the shipped 32-bit one, or the x64
# timing build that scripts/bench.sh makes where 32-bit programs can only be
# emulated (it runs this program in a Wine session of that build).
TIMED_PRESET = os.environ.get("QEL_BENCH_TIMED", qm.PRESET)
TIMING_PRESET = "win64-timing"
TIMED_BUILD = qm.ROOT / "build" / TIMED_PRESET
# The x64 programs run under the 64-bit Wine, at the machine's own speed.
LOADER = "wine64" if TIMED_PRESET == TIMING_PRESET else "wine"
TIMED_NATIVELY = qm.NATIVE or TIMED_PRESET == TIMING_PRESET
BENCH = TIMED_BUILD / "bench"
# The binutils of the shipped build's target, for its imports.
TRIPLE = "i686-w64-mingw32"
OBJDUMP, OBJCOPY = TRIPLE + "-objdump", TRIPLE + "-objcopy"
PROGRAMS = [TIMED_BUILD / "qel.exe", TIMED_BUILD / "simswitch" / "socket.dll",
            *(TIMED_BUILD / "tools" / name for name in ("noop.exe", "baseline_script.exe",
                                                        "baseline_window.exe", "timewindow.exe"))]
EMULATED = ("NOT MEASURED: 32-bit programs run here only under an emulator, whose times say nothing "
            "about Windows")


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


def setting(name, default):
    return qm.positive_setting("bench.py", name, os.environ.get(name, str(default)))


def build_description(build):
    """A build: the folder, its build type, its compiler (as CMake found it)
    and the commit of the sources ("+ changes" when the work tree differs
    from it)."""
    cache = (build / "CMakeCache.txt").read_text(errors="replace")
    build_type = re.search(r"^CMAKE_BUILD_TYPE:\w+=(.*)$", cache, re.MULTILINE)
    compiler = "?"
    for found in (build / "CMakeFiles").glob("*/CMakeCXXCompiler.cmake"):
        text = found.read_text(errors="replace")
        name = re.search(r'^set\(CMAKE_CXX_COMPILER "([^"]*)"\)', text, re.MULTILINE)
        version = re.search(r'^set\(CMAKE_CXX_COMPILER_VERSION "([^"]*)"\)', text, re.MULTILINE)
        if name:
            compiler = os.path.basename(name.group(1)) + (f" {version.group(1)}" if version else "")
    git = ["git", "-C", str(qm.ROOT)]
    commit = subprocess.run([*git, "rev-parse", "--short", "HEAD"], capture_output=True, text=True).stdout.strip()
    changed = subprocess.run([*git, "status", "--porcelain", "--untracked-files=no"],
                             capture_output=True, text=True).stdout.strip()
    return (f"{build.relative_to(qm.ROOT)} ({build_type.group(1) if build_type else '?'}, {compiler}, "
            f"commit {commit or '?'}{' + changes' if changed else ''})")


class Benchmark:
    def __init__(self, runs, idle_seconds):
        self.runs = runs
        self.idle_seconds = idle_seconds
        self.errors = 0
        self.errors_before = 0  # when the measurement that runs began
        self.state = BENCH / "socket-sim.state"

    def error(self, text):
        print(f"bench.py: {text}", file=sys.stderr, flush=True)
        self.errors += 1

    def report_line(self, name, text):
        """One report line: a name column, then the text. Where times are
        not taken natively, a timed line says so instead, and whether its
        untimed runs worked."""
        if name in TIMED and not TIMED_NATIVELY:
            failed = self.errors > self.errors_before
            text = EMULATED + (f"; and its runs failed: {text}" if failed else "; its runs worked")
        print(f"{name:<8} {text}", flush=True)

    def ratio_verdict(self, ratio, aim):
        if self.runs < AIM_PAIRS:
            return f"not judged ({self.runs} pairs, the aim needs {AIM_PAIRS})"
        return verdict(rounded(ratio, 2) <= aim)

    # ------------------------------------------------------------ start

    def time_wine_run(self, *args):
        """The wall time of "wine ./PROGRAM ARGS..." in ns, and its exit code."""
        began = time.perf_counter_ns()
        code = qm.wine_run(["./" + args[0], *args[1:]], cwd=BENCH, loader=LOADER, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL).returncode
        return time.perf_counter_ns() - began, qm.exit_status(code)

    def time_pairs(self, baseline, qel):
        """Alternating runs of the baseline and qel (each a command), after
        one warm-up run of each: the median of the pairs' ratios, both
        programs' times, and how many runs failed."""
        self.time_wine_run(*baseline)
        self.time_wine_run(*qel)
        baseline_times, qel_times, failures = [], [], 0
        for _ in range(self.runs):
            for command, times in ((baseline, baseline_times), (qel, qel_times)):
                ns, code = self.time_wine_run(*command)
                if code != 0:
                    self.error(f"{' '.join(command)} exited {code}")
                    failures += 1
                times.append(ns)
        return pair_ratio(qel_times, baseline_times), qel_times, baseline_times, failures

    def pairs_line(self, name, baseline, qel, aim, note=None):
        """A line of alternating runs of baseline and qel, with the aim's
        verdict, or the note when there is no aim."""
        ratio, qel_times, baseline_times, failures = self.time_pairs(baseline, qel)
        text = (f"{' '.join(qel)} / {' '.join(baseline)} = {ratio:.2f} ({self.runs} pairs; medians "
                f"{statistics.median(qel_times) / 1e6:.1f} ms / {statistics.median(baseline_times) / 1e6:.1f} ms, "
                f"min {min(qel_times) / 1e6:.1f} / {min(baseline_times) / 1e6:.1f}, "
                f"max {max(qel_times) / 1e6:.1f} / {max(baseline_times) / 1e6:.1f})")
        if failures:
            text += f"; NOT MEASURED ({failures} runs failed)"
        elif aim is not None:
            text += f"; aim <= {aim:.2f}: {self.ratio_verdict(ratio, aim)}"
        else:
            text += f"; {note}, no aim"
        self.report_line(name, text)

    def switch_calls(self, command):
        """The simulated switch's journal of one run of the command, from a
        switch whose word is 0, or None when the run failed."""
        journal = BENCH / "socket-sim.journal"
        journal.unlink(missing_ok=True)
        self.state.unlink(missing_ok=True)
        os.environ["QELSIM_JOURNAL"] = qm.windows_path(journal)
        try:
            _, code = self.time_wine_run(*command)
        finally:
            del os.environ["QELSIM_JOURNAL"]
        # Without the thread each line names: it is another in each process.
        calls = re.sub(r" \[thread [0-9]+\]$", "", journal.read_text(), flags=re.M) if journal.is_file() else ""
        if code != 0 or not calls:
            self.error(f"{' '.join(command)} exited {code} and made {'these' if calls else 'no'} calls: {calls}")
            return None
        return calls

    def same_calls_pairs_line(self, name, baseline, qel, aim, note=None):
        """pairs_line, once the baseline is seen to make qel's switch calls."""
        qel_calls, baseline_calls = self.switch_calls(qel), self.switch_calls(baseline)
        if qel_calls is None or baseline_calls is None:
            self.report_line(name, "NOT MEASURED (a run failed)")
            return
        if qel_calls != baseline_calls:
            self.error(f"the baseline's switch calls differ from qel's:\n{baseline_calls}against\n{qel_calls}")
            self.report_line(name, "NOT MEASURED (the baseline does not make qel's calls)")
            return
        self.state.unlink(missing_ok=True)
        self.pairs_line(name, baseline, qel, aim, note)

    def measure_start(self):
        self.same_calls_pairs_line("start", ["baseline_script.exe", "1", "1"], ["qel.exe", "1", "1"], START_AIM)

    def measure_watched(self):
        self.same_calls_pairs_line("watched", ["baseline_script.exe", "--watched", "1", "1"], ["qel.exe", "1", "1"],
                                   None, "what qel costs besides its watchdog's thread")

    def measure_own(self):
        self.pairs_line("own", ["noop.exe"], ["qel.exe", "W0", "W0"], None, "qel's own start")

    # ------------------------------------------------------------ window

    def time_window_run(self, program, window_class, lit_label=None):
        """The milliseconds until the program's window of that class was
        visible and, with lit_label, until that label was lit (each None when
        not told), and timewindow.exe's exit code."""
        options = ["--lit", lit_label] if lit_label else []
        code, out = qm.wine_output(["./timewindow.exe", *options, program, window_class], cwd=BENCH,
                                   loader=LOADER)
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
            self.report_line("window", f"NOT MEASURED ({failures} runs failed)")
            self.report_line("state", "NOT MEASURED")
            return
        ratio = pair_ratio(qel_times, baseline_times)
        self.report_line("window", f"qel.exe / baseline_window.exe until visible = {ratio:.2f} ({self.runs} pairs; "
                                   f"medians {statistics.median(qel_times):.1f} ms / "
                                   f"{statistics.median(baseline_times):.1f} ms); "
                                   f"aim <= {WINDOW_AIM:.2f}: {self.ratio_verdict(ratio, WINDOW_AIM)}")
        # Both times of a ratio come from the same run.
        state_ratio = pair_ratio(lit_times, qel_times)
        self.report_line("state", f"qel.exe until Sw1 shows the switch's state / until visible = {state_ratio:.2f} "
                                  f"({self.runs} runs; medians {statistics.median(lit_times):.1f} ms / "
                                  f"{statistics.median(qel_times):.1f} ms); "
                                  f"aim <= {STATE_AIM:.2f}: {self.ratio_verdict(state_ratio, STATE_AIM)}")

    # ------------------------------------------------------------ idle

    def percent_of_core(self, seconds, ns):
        return "?" if seconds is None else f"{100 * seconds / (ns / 1e9):.2f}"

    def measure_idle(self):
        self.state.write_text("192.168.1.10=5\n")
        holder = qm.wine_start(["./timewindow.exe", "--hold", "qel.exe", "qel"], cwd=BENCH, loader=LOADER,
                               stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        try:
            shown = self._idle_while_held(holder)
        finally:
            holder.stdin.close()  # timewindow.exe closes the window
            code = qm.exit_status(holder.wait())
            holder.stdout.close()
        if shown is None:
            self.error(f"qel.exe's window did not show (timewindow.exe exited {code})")
            self.report_line("idle", "NOT MEASURED")
            return
        if shown is False:
            self.error("qel.exe's Unix process not found")
            self.report_line("idle", "NOT MEASURED")
            return
        qel_seconds, server_seconds, xvfb_seconds, ns = shown
        if code != 0:
            self.error(f"timewindow.exe --hold qel.exe exited {code}")
        qel_pct = self.percent_of_core(qel_seconds, ns)
        judged = verdict(float(qel_pct) <= IDLE_AIM_PERCENT)
        if code != 0:
            judged += f" (but it did not close: timewindow.exe exited {code})"
        self.report_line("idle", f"qel.exe window polling for {self.idle_seconds} s = {qel_pct} % of one core "
                                 f"(besides: wineserver {self.percent_of_core(server_seconds, ns)} %, "
                                 f"Xvfb {self.percent_of_core(xvfb_seconds, ns)} %); "
                                 f"aim <= {IDLE_AIM_PERCENT} % (qel.exe): {judged}")

    def _idle_while_held(self, holder):
        """With the window held open: the CPU seconds of qel, the wineserver
        and the Xvfb over the idle time, and its ns; None when the window did
        not show, False when qel.exe's process was not found."""
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
        qel = qm.wine_process_of(qm.windows_path(BENCH / "qel.exe"))
        if qel is None:
            return False
        processes = (qel, qm.wineserver(), qm.xvfb())

        def cpu():
            return [None if p is None else qm.cpu_seconds(p) for p in processes]

        began = time.monotonic_ns()
        before = cpu()
        time.sleep(self.idle_seconds)
        after = cpu()
        ns = time.monotonic_ns() - began
        spent = [None if a is None or b is None else b - a for a, b in zip(before, after)]
        if spent[0] is None:
            return False
        return (*spent, ns)

    # ------------------------------------------------------------ size, imports

    def measure_size(self):
        size = (qm.BUILD / "qel.exe").stat().st_size
        self.report_line("size", f"qel.exe = {size / 1024:.1f} KiB ({size} bytes); aim <= 400 KiB: "
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
            self.report_line("imports", "NOT MEASURED")
            return
        judged = "met" if done.returncode == 0 else f"MISSED ({' '.join(others)})"
        self.report_line("imports", f"{' '.join(dlls)}; aim: Windows system DLLs only: {judged}")


def main():
    runs = setting("QEL_BENCH_RUNS", 30)
    idle_seconds = setting("QEL_BENCH_IDLE_SECONDS", 60)
    if TIMED_PRESET not in (qm.PRESET, TIMING_PRESET):
        print(f"bench.py: QEL_BENCH_TIMED must be {qm.PRESET} or {TIMING_PRESET}, not '{TIMED_PRESET}'",
              file=sys.stderr)
        return 2
    if LOADER != "wine" and shutil.which(LOADER) is None:
        print(f"bench.py: no {LOADER} to run the x64 timing build: run scripts/bench.sh", file=sys.stderr)
        return 2
    if not TIMED_NATIVELY:
        runs, idle_seconds = 1, 1  # untimed: only that the runs work
    if not qm.prepare_folder(BENCH, PROGRAMS):
        return 1
    # The simulated switch keeps its state in the bench folder, with no
    # journal and no faults.
    for name in ("QELSIM_JOURNAL", "QELSIM_FAULT"):
        os.environ.pop(name, None)
    os.environ["QELSIM_STATE"] = qm.windows_path(BENCH / "socket-sim.state")
    if TIMED_PRESET == TIMING_PRESET:
        how = (f"x64 for timing only, never shipped, run natively under {LOADER} (the shipped 32-bit "
               f"programs run here {qm.RUN32}); size and imports of the shipped {build_description(qm.BUILD)}")
    else:
        how = f"run {qm.RUN32}"
    # How busy the machine was: a new thread waits longer to run on a busy
    # one, and the start's ratio moves with it.
    load = f"load {os.getloadavg()[0]:.1f} on {os.cpu_count()} cores"
    print(f"qel benchmark of {build_description(TIMED_BUILD)}, {how}, {qm.wine_version()}, {load}", flush=True)
    bench = Benchmark(runs, idle_seconds)
    for name in MEASUREMENTS:
        bench.errors_before = bench.errors
        getattr(bench, "measure_" + name)()
    return 1 if bench.errors else 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        sys.exit(130)
