#!/usr/bin/env python3
"""Shows whether the unit tests catch faults: applies small mutations to the portable core one
at a time (a comparison flipped, a boundary moved by one, a statement dropped, a constant
changed), rebuilds the unit-test program, runs it and reports each mutant as killed (a test
failed, crashed or timed out), survived, did not build (counted apart) or not applied.

The sample is fixed in tools/mutants.tsv (tab-separated: path, line, kind, the line's text
before and after, blank when dropped), so runs before and after a change of the tests meet the
same mutants; each is found by its text nearest its line, so unrelated edits do not lose it.
Mutants are built in copies of the tree under build/mutate/<worker>/ (optimised, no sanitizers,
ccache variables honoured) and restored after each run, a failed build and Ctrl+C alike.

    nice -n 19 tools/mutate.py          # the whole sample; --only N for one, --jobs 2 for two
    tools/mutate.py --list              # the sample, marking mutants that cannot be found
"""
import argparse
import collections
import contextlib
import os
import queue
import random
import re
import shutil
import signal
import subprocess
import sys
import threading
import time
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
SAMPLE = ROOT / "tools" / "mutants.tsv"
WORK = ROOT / "build" / "mutate"
ROOMS = ("net", "menu", "config", "audio", "games", "text", "history", "options")
KINDS = ("flip", "boundary", "drop", "constant")
TEST_PROGRAM = Path("tests") / "unit" / "vendrel_unit_tests"

FLIP = {"<": ">=", "<=": ">", ">": "<=", ">=": "<", "==": "!=", "!=": "=="}
SHIFT = {"<": "<=", "<=": "<", ">": ">=", ">=": ">"}
# clang-format spaces binary operators and never template brackets, so " < " is a comparison.
COMPARISON = re.compile(r" (<=|>=|==|!=|<|>) ")
BOUND = re.compile(r" (<=|>=|==|!=|<|>) (\d+)(?![\w.'])")
NUMBER = re.compile(r"(?<![\w.'])(\d+)(\.\d+)?([fFuUlL]*)(?![\w.'])")
BOOLEAN = re.compile(r"\b(true|false)\b")
# A whole call or assignment on one line; declarations (two names in a row) and jumps excluded.
STATEMENT = re.compile(
    r"(?!(?:return|break|continue|case|default|goto|delete|throw|using|if|for|while|switch|"
    r"do|else|co_\w+)\b)"
    r"[A-Za-z_][\w:]*(?:(?:\.|->)\w+|\[[^\]]*\])*\s*(?:\(.*\)|[-+*/|&^]?=[^=].*|\+\+|--);")
HIDDEN = re.compile(r'"(?:\\.|[^"\\])*"|\'(?:\\.|[^\'\\])*\'|/\*.*?\*/|//.*')


@dataclass
class Mutant:
    path: str
    line: int
    kind: str
    before: str
    after: str

    def title(self, number: int) -> str:
        return f"[{number:3}] {self.path}:{self.line} {self.kind}: {self.describe()}"

    def describe(self) -> str:
        """The change with about thirty characters of the line on each side."""
        if not self.after:
            return f"dropped `{self.before}`"
        old, new = self.before, self.after
        start = len(os.path.commonprefix([old, new]))
        end = min(len(os.path.commonprefix([old[::-1], new[::-1]])), len(old) - start)
        low = old.rfind(" ", 0, max(0, start - 30)) + 1
        high = old.find(" ", len(old) - end + 30) % (len(old) + 1)
        return f"`{old[low:high]}` -> `{new[low : len(new) - len(old) + high]}`"


def read_sample(path: Path) -> list[Mutant]:
    rows = [(text.split("\t") + [""])[:5] for text in path.read_text(encoding="utf-8").splitlines()
            if text.strip() and not text.startswith("#")]
    return [Mutant(row[0], int(row[1]), row[2], row[3], row[4]) for row in rows]


def locate(root: Path, mutant: Mutant) -> tuple[list[str], int] | None:
    """The file's lines and the index of the mutant's line nearest where it was recorded."""
    path = root / mutant.path
    lines = path.read_text(encoding="utf-8").splitlines(keepends=True) if path.is_file() else []
    found = [i for i, text in enumerate(lines) if text.strip() == mutant.before]
    return (lines, min(found, key=lambda i: abs(i + 1 - mutant.line))) if found else None


def candidates(line: str, previous: str) -> dict[str, list[str]]:
    code = HIDDEN.sub(lambda m: " " * len(m.group()), line)  # strings and comments blanked
    # A reserve() changes no behaviour, so its mutants could only survive.
    if code.lstrip().startswith(("#", "static_assert")) or ".reserve(" in code:
        return {}
    found: dict[str, list[str]] = {kind: [] for kind in KINDS}

    def add(kind: str, match: re.Match, group: int, text: str) -> None:
        found[kind].append(line[: match.start(group)] + text + line[match.end(group) :])

    for match in COMPARISON.finditer(code):
        add("flip", match, 1, FLIP[match.group(1)])
        if match.group(1) in SHIFT:
            add("boundary", match, 1, SHIFT[match.group(1)])
    for match in BOUND.finditer(code):
        n = int(match.group(2))
        for moved in (n + 1, n - 1) if n > 0 else (1,):
            add("boundary", match, 2, str(moved))
    for match in NUMBER.finditer(code):
        n = int(match.group(1))
        add("constant", match, 1, str({0: 1, 1: 0}.get(n, n + 1)))
    for match in BOOLEAN.finditer(code):
        add("constant", match, 1, "false" if match.group(1) == "true" else "true")
    starts_statement = previous.rstrip().endswith((";", "{", "}", ":")) or not previous.strip()
    if starts_statement and STATEMENT.fullmatch(code.strip()):
        found["drop"].append("")
    return found


def generate(seed: int, per_kind: int) -> list[Mutant]:
    rng = random.Random(seed)
    sample = []
    for room in ROOMS:
        pool: dict[str, list[Mutant]] = {kind: [] for kind in KINDS}
        for path in sorted((ROOT / "src" / "core" / room).glob("*.cpp")):
            lines = [text.strip() for text in path.read_text(encoding="utf-8").splitlines()]
            counts = collections.Counter(lines)
            previous = ""
            for number, text in enumerate(lines, 1):
                # Lines that occur once are found again whatever moves around them.
                if counts[text] == 1:
                    for kind, afters in candidates(text, previous).items():
                        rel = str(path.relative_to(ROOT))
                        pool[kind] += [Mutant(rel, number, kind, text, a) for a in afters]
                if text and not text.startswith("//"):
                    previous = text
        used: set[tuple[str, int]] = set()
        for kind in KINDS:
            rng.shuffle(pool[kind])
            # One mutant per line: two on a line are often the same fault written twice.
            fresh = [m for m in pool[kind] if (m.path, m.line) not in used][:per_kind]
            used |= {(m.path, m.line) for m in fresh}
            sample += fresh
    return sorted(sample, key=lambda m: (ROOMS.index(Path(m.path).parts[2]), m.path, m.line))


class Worker:
    def __init__(self, number: int, build_jobs: int):
        self.tree = WORK / str(number)
        self.build = self.tree / "build"
        self.build_jobs = build_jobs
        self.process: subprocess.Popen | None = None

    def sync(self, files: list[str]) -> None:
        """Copies the files that differ, so the build recompiles only those."""
        wanted = set(files)
        for rel in files:
            source, copy = ROOT / rel, self.tree / rel
            if not copy.is_file() or copy.read_bytes() != source.read_bytes():
                copy.parent.mkdir(parents=True, exist_ok=True)
                shutil.copyfile(source, copy)
        for top in self.tree.iterdir():  # stale sources would join the build's globs
            for copy in [top] if top.is_file() else [] if top.name == "build" else top.rglob("*"):
                if copy.is_file() and str(copy.relative_to(self.tree)) not in wanted:
                    copy.unlink()

    def run(self, command: list[str], timeout: float | None = None) -> tuple[int | None, str]:
        env = dict(os.environ, TMPDIR=str(self.tree / "tmp"))
        (self.tree / "tmp").mkdir(exist_ok=True)
        # A session of its own: Ctrl+C reaches this script alone, which stops the group.
        # Failed expectations print raw bytes, which need not be UTF-8.
        self.process = subprocess.Popen(command, cwd=self.build, env=env, encoding="utf-8",
                                        errors="replace", stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT, start_new_session=True)
        try:
            output, _ = self.process.communicate(timeout=timeout)
            return self.process.returncode, output
        except subprocess.TimeoutExpired:
            self.stop()
            return None, self.process.communicate()[0]
        finally:
            self.process = None

    def stop(self) -> None:
        process = self.process
        with contextlib.suppress(ProcessLookupError, AttributeError):
            os.killpg(process.pid, signal.SIGKILL)  # type: ignore[union-attr]

    def compile(self) -> tuple[bool, str]:
        self.build.mkdir(parents=True, exist_ok=True)
        if not (self.build / "build.ninja").exists():
            # Warnings do not stop a mutant: only what the compiler refuses is "did not build".
            code, output = self.run(["cmake", "-S", "..", "-B", ".", "-G", "Ninja",
                                     "-DCMAKE_BUILD_TYPE=Release", "-DCMAKE_C_COMPILER=gcc",
                                     "-DCMAKE_CXX_COMPILER=g++", "-DVENDREL_BENCH=OFF",
                                     "-DVENDREL_FUZZ=OFF", "-DVENDREL_WERROR=OFF"])
            if code != 0:
                return False, output
        code, output = self.run(["cmake", "--build", ".", "--target", "vendrel_unit_tests",
                                 "-j", str(self.build_jobs)])
        return code == 0, output

    def test(self, timeout: float | None) -> tuple[int | None, str]:
        return self.run([str(self.build / TEST_PROGRAM), "--gtest_brief=1", "--gtest_fail_fast"],
                        timeout)

    def try_mutant(self, mutant: Mutant, timeout: float) -> tuple[str, str]:
        found = locate(self.tree, mutant)
        if found is None:
            return "not applied", "line not found"
        lines, index = found
        path = self.tree / mutant.path
        original = path.read_bytes()
        indent = lines[index][: len(lines[index]) - len(lines[index].lstrip())]
        mutated = lines[:index] + [indent.rstrip("\r\n") + mutant.after + "\n"] + lines[index + 1 :]
        try:
            path.write_text("".join(mutated), encoding="utf-8")
            built, output = self.compile()
            if not built:
                errors = [text for text in output.splitlines() if "error" in text]
                return "did not build", (errors or ["build failed"])[0].strip()[:160]
            code, output = self.test(timeout)
        finally:
            path.write_bytes(original)
        if code is None:
            return "killed", f"timeout after {timeout:.0f} s"
        if code < 0:
            return "killed", f"crash, signal {-code}"
        if code != 0:
            failed = re.findall(r"^\[  FAILED  \] (\S+?)(?:,|$| \()", output, re.M)
            return "killed", ", ".join(dict.fromkeys(failed)) or f"exit code {code}"
        return "survived", ""


def prepare(workers: list[Worker]) -> float:
    """Builds every worker's tree and runs the unmutated tests once; returns their time."""
    listed = subprocess.run(["git", "ls-files", "-z", "-co", "--exclude-standard"], cwd=ROOT,
                            check=True, capture_output=True, text=True).stdout
    files = sorted(rel for rel in set(listed.split("\0")) if rel and (ROOT / rel).is_file())
    for worker in workers:
        worker.sync(files)
        built, output = worker.compile()
        if not built:
            sys.exit(f"the unmutated tree does not build:\n{output[-3000:]}")
    start = time.monotonic()
    code, output = workers[0].test(None)
    if code != 0:
        sys.exit(f"the unmutated tests fail (exit code {code}):\n{output[-3000:]}")
    return time.monotonic() - start


def run(mutants: list[tuple[int, Mutant]], jobs: int, timeout: float | None) -> int:
    workers = [Worker(n + 1, max(1, (os.cpu_count() or 2) // jobs)) for n in range(jobs)]
    started = time.monotonic()
    todo: queue.Queue = queue.Queue()
    for item in mutants:
        todo.put(item)
    results: dict[int, str] = {}
    stopping = threading.Event()
    lock = threading.Lock()

    def work(worker: Worker) -> None:
        while not stopping.is_set():
            try:
                number, mutant = todo.get_nowait()
            except queue.Empty:
                return
            verdict, detail = worker.try_mutant(mutant, timeout)
            with lock:
                if stopping.is_set():
                    return
                results[number] = verdict
                print(f"{verdict:13} {mutant.title(number)}" + (f"  ({detail})" * bool(detail)),
                      flush=True)

    threads = [threading.Thread(target=work, args=(w,)) for w in workers]
    try:
        baseline = prepare(workers)
        timeout = timeout or max(60.0, 3 * baseline)
        print(f"unmutated tests pass in {baseline:.0f} s; timeout per mutant {timeout:.0f} s",
              flush=True)
        for thread in threads:
            thread.start()
        # Not join(timeout): an interrupted join marks a running thread as finished (Python 3.11).
        while any(thread.is_alive() for thread in threads):
            time.sleep(0.2)
    except KeyboardInterrupt:
        for number in (signal.SIGINT, signal.SIGTERM):
            signal.signal(number, signal.SIG_IGN)
        stopping.set()
        for worker in workers:
            worker.stop()
        for thread in threads:
            if thread.is_alive():
                thread.join()  # each worker restores its file before it returns
        print("interrupted; every mutated file restored", file=sys.stderr)
        return 130
    count = collections.Counter(results.values())
    print(f"killed {count['killed']} of {len(mutants)} (survived {count['survived']}, "
          f"did not build {count['did not build']}, not applied {count['not applied']})")
    for number, mutant in mutants:
        if results.get(number) == "survived":
            print(f"  survived {mutant.title(number)}")
    took = time.monotonic() - started
    print(f"took {took // 60:.0f} min {took % 60:.0f} s")
    if len(results) < len(mutants):
        print(f"{len(mutants) - len(results)} mutants not run: a worker failed (above)")
    return 0 if len(results) == len(mutants) else 1


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--sample", type=Path, default=SAMPLE, help="the list of mutants")
    parser.add_argument("--list", action="store_true", help="show the sample and stop")
    parser.add_argument("--only", type=int, action="append", metavar="N", help="mutant N only")
    parser.add_argument("--jobs", type=int, default=1, help="mutants built and run at once")
    parser.add_argument("--timeout", type=float, help="seconds per test run (default: three "
                        "times the unmutated run, at least 60)")
    parser.add_argument("--generate", type=int, metavar="SEED", help="print a new sample")
    parser.add_argument("--per-kind", type=int, default=2, help="mutants per room and kind")
    args = parser.parse_args()
    if args.generate is not None:
        print(f"# tools/mutate.py --generate {args.generate} --per-kind {args.per_kind}")
        print("# path\tline\tkind\tbefore\tafter (blank: the line dropped)")
        for m in generate(args.generate, args.per_kind):
            print("\t".join((m.path, str(m.line), m.kind, m.before, m.after)))
        return 0
    mutants = list(enumerate(read_sample(args.sample), 1))
    if args.only:
        mutants = [(n, m) for n, m in mutants if n in args.only]
        if not mutants:
            sys.exit(f"no mutant numbered {args.only} in {args.sample}")
    if args.list:
        for number, mutant in mutants:
            print(mutant.title(number) + ("" if locate(ROOT, mutant) else "  (not applied)"))
        return 0
    for number in (signal.SIGINT, signal.SIGTERM):
        signal.signal(number, signal.default_int_handler)
    return run(mutants, max(1, args.jobs), args.timeout)


if __name__ == "__main__":
    sys.exit(main())
