#!/usr/bin/env python3
"""Puts plausible faults into a copy of the sources one at a time and reports
which of them the test suite notices.

Each fault in faults.txt is one exact text replacement in one file. For each,
the copy under build/mutation/tree gets the fault, the affected test programs
are rebuilt in the copy's own build folder (preset release), their tests run
with ctest, and the file is put back. The user's working tree is only read.

  tools/mutation-check/mutation_check.py              every fault
  tools/mutation-check/mutation_check.py ID...        only these
  tools/mutation-check/mutation_check.py --list       the list
  tools/mutation-check/mutation_check.py --check      only: does each fault still apply?
"""

import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tarfile
import time
from dataclasses import dataclass, field
from pathlib import Path

HERE = Path(__file__).resolve().parent
REPO = HERE.parent.parent
FAULTS = HERE / "faults.txt"
KEYS = {"id", "file", "targets", "tests", "about", "old", "new"}
NICE = ["nice", "-n", "19"]


@dataclass
class Fault:
    id: str
    file: str
    targets: list
    about: str
    old: str
    new: str
    tests: str = ""  # ctest -R regex; empty: every test of the targets
    line: int = 0


@dataclass
class Outcome:
    fault: Fault
    result: str  # caught, MISSED, build-failed, stale
    detail: str = ""
    seconds: float = 0.0


def unescape(text):
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text):
            out.append({"n": "\n", "t": "\t", "\\": "\\"}.get(text[i + 1], "\\" + text[i + 1]))
            i += 2
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


def read_faults(path=FAULTS):
    """Blocks of `key: value` lines separated by blank lines; `#` starts a
    comment line. In old/new, \\n is a line break, \\t a tab, \\\\ a backslash."""
    faults, block, start = [], {}, 0
    lines = path.read_text(encoding="utf-8").splitlines() + [""]
    for number, line in enumerate(lines, 1):
        if line.startswith("#"):
            continue
        if not line.strip():
            if block:
                missing = {"id", "file", "targets", "about", "old", "new"} - block.keys()
                if missing:
                    sys.exit(f"{path}:{start}: fault without {', '.join(sorted(missing))}")
                faults.append(
                    Fault(
                        id=block["id"],
                        file=block["file"],
                        targets=block["targets"].split(),
                        about=block["about"],
                        old=unescape(block["old"]),
                        new=unescape(block["new"]),
                        tests=block.get("tests", ""),
                        line=start,
                    )
                )
                block = {}
            continue
        key, sep, value = line.partition(":")
        if not sep or key.strip() not in KEYS:
            sys.exit(f"{path}:{number}: expected one of {sorted(KEYS)} followed by ':'")
        if not block:
            start = number
        block[key.strip()] = value[1:] if value.startswith(" ") else value
    ids = [f.id for f in faults]
    twice = {i for i in ids if ids.count(i) > 1}
    if twice:
        sys.exit(f"{path}: ids used twice: {', '.join(sorted(twice))}")
    return faults


def cmake_escape(text):
    """Escapes what CMake's regular expressions treat as special."""
    return re.sub(r"([.^$*+?()\[\]|\\])", r"\\\1", text)


def stale_reason(fault, root):
    path = root / fault.file
    if not path.is_file():
        return f"{fault.file} does not exist"
    count = path.read_text(encoding="utf-8").count(fault.old)
    if count != 1:
        return f"old text occurs {count} times in {fault.file} (must be exactly once)"
    if fault.old == fault.new:
        return "old and new text are the same"
    return ""


def git(*args, capture=True):
    return subprocess.run(["git", "-C", str(REPO), *args], check=True, capture_output=capture,
                          text=True).stdout.strip()


def sync_tree(tree, commit):
    """Makes `tree` hold exactly the files of `commit`, rewriting only those
    that differ, so that the build folder inside it stays incremental."""
    tree.mkdir(parents=True, exist_ok=True)
    archive = subprocess.Popen(["git", "-C", str(REPO), "archive", "--format=tar", commit],
                               stdout=subprocess.PIPE)
    wanted = set()
    with tarfile.open(fileobj=archive.stdout, mode="r|") as tar:
        for member in tar:
            target = tree / member.name
            if member.isdir():
                target.mkdir(parents=True, exist_ok=True)
                continue
            wanted.add(member.name)
            if member.issym():
                if not target.is_symlink() or os.readlink(target) != member.linkname:
                    if target.exists() or target.is_symlink():
                        target.unlink()
                    target.symlink_to(member.linkname)
                continue
            if not member.isfile():
                continue
            data = tar.extractfile(member).read()
            if target.is_file() and not target.is_symlink() and target.read_bytes() == data:
                continue
            target.parent.mkdir(parents=True, exist_ok=True)
            if target.is_symlink():
                target.unlink()
            target.write_bytes(data)
            os.chmod(target, member.mode & 0o777)
    if archive.wait() != 0:
        sys.exit("git archive failed")
    for path in tree.rglob("*"):
        relative = path.relative_to(tree).as_posix()
        if relative == "build" or relative.startswith("build/"):
            continue
        if (path.is_file() or path.is_symlink()) and relative not in wanted:
            path.unlink()


def run(command, cwd, log, timeout, env=None):
    """Runs a command under nice, its output appended to `log`; returns the
    exit code, or None when it ran out of time."""
    with open(log, "a", encoding="utf-8") as out:
        out.write(f"\n$ {' '.join(command)}\n")
        out.flush()
        process = subprocess.Popen(NICE + command, cwd=cwd, stdout=out, stderr=subprocess.STDOUT,
                                   env=env, start_new_session=True)
        try:
            return process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            stop(process)
            return None
        except BaseException:
            stop(process)
            raise


def stop(process):
    """Ends a command started in its own session, with everything it started."""
    try:
        os.killpg(process.pid, 9)
    except ProcessLookupError:
        pass
    process.wait()


def build_env():
    env = dict(os.environ)
    ccache = Path("/work/ccache.env")
    if ccache.is_file():
        for line in ccache.read_text().splitlines():
            match = re.match(r"\s*export\s+(\w+)=(.*)", line)
            if match:
                env[match.group(1)] = match.group(2).strip().strip('"')
    return env


class Checker:
    def __init__(self, args):
        self.args = args
        self.tree = Path(args.work).resolve() / "tree"
        self.build = self.tree / "build" / "release"
        self.log = Path(args.work).resolve() / "last-run.log"
        self.env = build_env()
        self.test_env = dict(self.env)
        if args.corpus and Path(args.corpus).is_dir():
            self.test_env["SLOTKEEPER_CORPUS"] = str(Path(args.corpus).resolve())
        self.programs = {}

    def prepare(self):
        commit = git("rev-parse", "HEAD")
        if self.args.worktree:
            commit = git("stash", "create") or commit
        print(f"sources: {commit[:12]}{' (with uncommitted changes)' if self.args.worktree else ''}"
              f" -> {self.tree}")
        sync_tree(self.tree, commit)
        self.log.write_text("")
        if not (self.build / "build.ninja").exists():
            code = run(["cmake", "--preset", "release"], self.tree, self.log, 1200, self.env)
            if code != 0:
                sys.exit(f"configure failed, see {self.log}")

    def build_targets(self, targets, timeout):
        return run(["cmake", "--build", str(self.build), "-j", str(self.args.jobs), "--target",
                    *targets], self.tree, self.log, timeout, self.env)

    def listing(self):
        """Each test program's test names, as ctest knows them."""
        if not self.programs:
            listing = subprocess.run(["ctest", "--test-dir", str(self.build),
                                      "--show-only=json-v1"], capture_output=True, text=True,
                                     check=True).stdout
            for test in json.loads(listing).get("tests", []):
                command = test.get("command") or [""]
                self.programs.setdefault(Path(command[0]).name, []).append(test["name"])
        return self.programs

    def test_regex(self, fault):
        """The ctest -R regex of a fault: its own, or every suite of its targets."""
        if fault.tests:
            return fault.tests
        programs = self.listing()
        suites = sorted({cmake_escape(name.split(".")[0]) for t in fault.targets
                         for name in programs.get(t, [])})
        if not suites:
            return None
        return "^(" + "|".join(suites) + ")\\."

    def programs_matching(self, regex):
        """Every test program with a test the regex selects: all of them are
        rebuilt, so that no program left over from an earlier fault runs."""
        pattern = re.compile(regex)
        return {program for program, names in self.listing().items()
                if any(pattern.search(name) for name in names)}

    def run_tests(self, regex):
        """The names of the failing tests (empty when all pass), or None when
        the regex selects no test. A crash or a timeout counts as failing."""
        report = Path(self.args.work).resolve() / "ctest-output.txt"
        command = ["ctest", "--test-dir", str(self.build), "-R", regex, "--timeout",
                   str(self.args.test_timeout), "-j", str(self.args.jobs), "--stop-on-failure"]
        with open(report, "w", encoding="utf-8") as out:
            process = subprocess.Popen(NICE + command, cwd=self.tree, stdout=out,
                                       stderr=subprocess.STDOUT, env=self.test_env,
                                       start_new_session=True)
            try:
                code = process.wait(timeout=self.args.fault_timeout)
            except subprocess.TimeoutExpired:
                stop(process)
                return ["(ctest ran out of time)"]
            except BaseException:
                stop(process)
                raise
        text = report.read_text(encoding="utf-8", errors="replace")
        with open(self.log, "a", encoding="utf-8") as log:
            log.write(text)
        failed = re.findall(r"^\s*\d+ - (\S+) \(([^)]*)\)", text.split("tests FAILED:")[-1],
                            re.M) if "tests FAILED:" in text else []
        names = [f"{name} ({why})" if why != "Failed" else name for name, why in failed]
        if code != 0 and not names:
            names = [f"(ctest exit {code})"]
        if "No tests were found" in text:
            return None
        return names

    def baseline(self, faults):
        targets = sorted({t for f in faults for t in f.targets})
        print(f"baseline: building {' '.join(targets)}", flush=True)
        if self.build_targets(targets, 7200) != 0:
            sys.exit(f"the clean tree does not build, see {self.log}")
        regexes = sorted({r for r in (self.test_regex(f) for f in faults) if r})
        more = sorted(set().union(*(self.programs_matching(r) for r in regexes)) - set(targets))
        if more:
            print(f"baseline: building {' '.join(more)}", flush=True)
            if self.build_targets(more, 7200) != 0:
                sys.exit(f"the clean tree does not build, see {self.log}")
            self.programs = {}
        if self.args.skip_baseline:
            return
        for regex in regexes:
            failed = self.run_tests(regex)
            if failed:
                sys.exit(f"the clean tree fails tests {failed} (regex {regex}); fix that first")
        print("baseline: the clean tree passes", flush=True)

    def apply(self, fault):
        path = self.tree / fault.file
        original = path.read_bytes()
        text = original.decode("utf-8")
        if text.count(fault.old) != 1:
            return None
        path.write_text(text.replace(fault.old, fault.new, 1), encoding="utf-8")
        return original

    def check(self, fault):
        start = time.monotonic()
        reason = stale_reason(fault, self.tree)
        if reason:
            return Outcome(fault, "stale", reason)
        path = self.tree / fault.file
        regex = self.test_regex(fault)
        targets = sorted(set(fault.targets) | (self.programs_matching(regex) if regex else set()))
        original = self.apply(fault)
        try:
            code = self.build_targets(targets, self.args.fault_timeout)
            if code != 0:
                why = "build ran out of time" if code is None else "does not build"
                return Outcome(fault, "build-failed", why, time.monotonic() - start)
            failed = self.run_tests(regex) if regex else None
            if failed is None:
                return Outcome(fault, "no-tests", f"no test matches {regex}",
                               time.monotonic() - start)
            if failed:
                return Outcome(fault, "caught", ", ".join(failed[:2]), time.monotonic() - start)
            return Outcome(fault, "MISSED", "", time.monotonic() - start)
        finally:
            path.write_bytes(original)


def table(outcomes, markdown=False):
    rows = [("fault", "result", "by / why", "about")]
    for o in outcomes:
        rows.append((o.fault.id, o.result, o.detail or "-", o.fault.about))
    if markdown:
        lines = ["| " + " | ".join(rows[0]) + " |", "|" + "---|" * len(rows[0])]
        for r in rows[1:]:
            lines.append("| " + " | ".join(c.replace("|", "\\|") for c in r) + " |")
        return "\n".join(lines)
    widths = [max(len(r[i]) for r in rows) for i in range(3)]
    return "\n".join("  ".join(r[i].ljust(widths[i]) for i in range(3)).rstrip() for r in rows)


def totals(outcomes):
    counts = {}
    for o in outcomes:
        counts[o.result] = counts.get(o.result, 0) + 1
    return ", ".join(f"{k}: {v}" for k, v in sorted(counts.items())) + f" (of {len(outcomes)})"


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("ids", nargs="*", help="only these faults (default: all)")
    parser.add_argument("--list", action="store_true", help="list the faults and stop")
    parser.add_argument("--check", action="store_true",
                        help="only verify that each fault's old text occurs exactly once")
    parser.add_argument("--worktree", action="store_true",
                        help="use the working tree's uncommitted changes too (default: HEAD)")
    parser.add_argument("--work", default=str(REPO / "build" / "mutation"),
                        help="folder for the copy and its build (default: build/mutation)")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--test-timeout", type=int, default=120, help="seconds per test")
    parser.add_argument("--fault-timeout", type=int, default=1200,
                        help="seconds for each fault's build, and for its tests")
    parser.add_argument("--skip-baseline", action="store_true",
                        help="do not first run the tests on the clean copy")
    parser.add_argument("--corpus", default="/work/shared/corpus",
                        help="SLOTKEEPER_CORPUS for the tests, when that folder exists")
    parser.add_argument("--markdown", help="also write the result table here as Markdown")
    args = parser.parse_args()

    faults = read_faults()
    if args.ids:
        known = {f.id for f in faults}
        unknown = [i for i in args.ids if i not in known]
        if unknown:
            sys.exit(f"unknown fault ids: {', '.join(unknown)}")
        faults = [f for f in faults if f.id in args.ids]

    if args.list:
        for f in faults:
            print(f"{f.id:28} {f.file:40} {' '.join(f.targets):28} {f.about}")
        print(f"{len(faults)} faults")
        return 0

    stale = [(f, stale_reason(f, REPO)) for f in faults]
    stale = [(f, r) for f, r in stale if r]
    for f, reason in stale:
        print(f"STALE {f.id} (faults.txt:{f.line}): {reason}")
    if args.check:
        print(f"{len(faults) - len(stale)} of {len(faults)} faults apply")
        return 1 if stale else 0

    checker = Checker(args)
    checker.prepare()
    runnable = [f for f in faults if not stale_reason(f, checker.tree)]
    checker.baseline(runnable)
    outcomes = []
    for n, fault in enumerate(faults, 1):
        outcome = checker.check(fault)
        outcomes.append(outcome)
        print(f"[{n}/{len(faults)}] {fault.id}: {outcome.result}"
              f"{' - ' + outcome.detail if outcome.detail else ''} ({outcome.seconds:.0f} s)",
              flush=True)
    print()
    print(table(outcomes))
    print()
    print(totals(outcomes))
    if args.markdown:
        Path(args.markdown).write_text(table(outcomes, markdown=True) + "\n\n" + totals(outcomes)
                                       + "\n", encoding="utf-8")
    return 0 if all(o.result == "caught" for o in outcomes) else 1


if __name__ == "__main__":
    sys.exit(main())
