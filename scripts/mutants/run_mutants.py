#!/usr/bin/env python3
"""Mutation check of the module: applies each single-line breakage of
mutants.list alone, builds the module and its tests, runs them, and reports
which breakages no test caught.

    scripts/mutants/run_mutants.py [--build DIR] [NAME-PART ...]

Names limit the run to the mutants whose description contains one of them.
Exits 1 when a mutant not marked equivalent survived, or one cannot be applied.
"""
import argparse
import pathlib
import signal
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent.parent
LIST = pathlib.Path(__file__).resolve().parent / "mutants.list"
TARGETS = ["module_unit_tests", "module_request_tests", "module_dialog_tests",
           "module_scenario_tests"]


def read_list():
    mutants, block = [], {}
    for line in LIST.read_text().splitlines() + [""]:
        if line.startswith("#"):
            continue
        if not line.strip():
            if block:
                mutants.append(block)
                block = {}
            continue
        key, _, value = line.partition(":")
        block[key.strip()] = value[1:] if value.startswith(" ") else value
    for mutant in mutants:
        missing = {"mutant", "file", "find"} - mutant.keys()
        if missing:
            sys.exit(f"mutants.list: a block lacks {', '.join(sorted(missing))}: {mutant}")
        mutant.setdefault("replace", "")
    return mutants


def run(command, **options):
    return subprocess.run(command, cwd=ROOT, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, **options).returncode


def configure(build):
    if run(["cmake", "-S", ".", "-B", str(build), "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug",
            "-DDEVGROUP_SANITIZE=OFF", "-DDEVGROUP_BENCH=OFF"]) != 0:
        sys.exit("mutants: cannot configure " + str(build))


def build_targets(build):
    return run(["cmake", "--build", str(build), "--target", *TARGETS]) == 0


def tests_pass(build):
    for target in TARGETS:
        binary = build / "bin" / target
        if run([str(binary), "--gtest_fail_fast", "--gtest_brief=1"], timeout=600) != 0:
            return False
    return True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=str(ROOT / "build" / "mutants"))
    parser.add_argument("names", nargs="*")
    args = parser.parse_args()
    # Ended from outside, the source being broken is restored all the same.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("mutants: stopped"))
    build = pathlib.Path(args.build)
    mutants = [m for m in read_list()
               if not args.names or any(n in m["mutant"] for n in args.names)]

    started = time.monotonic()
    configure(build)
    if not build_targets(build) or not tests_pass(build):
        sys.exit("mutants: the unbroken module does not build or pass its tests")

    killed, survivors, equivalent, broken = [], [], [], []
    for mutant in mutants:
        path = ROOT / mutant["file"]
        original = path.read_text()
        if original.count(mutant["find"]) != 1:
            broken.append(mutant)
            print(f"CANNOT APPLY  {mutant['mutant']} ({mutant['file']}: the text is not there once)")
            continue
        try:
            path.write_text(original.replace(mutant["find"], mutant["replace"]))
            caught = not build_targets(build) or not tests_pass(build)
        except subprocess.TimeoutExpired:
            caught = True  # a test that hangs is caught too
        finally:
            path.write_text(original)
        if caught:
            killed.append(mutant)
            verdict = "killed"
        elif "equivalent" in mutant:
            equivalent.append(mutant)
            verdict = "equivalent (" + mutant["equivalent"] + ")"
        else:
            survivors.append(mutant)
            verdict = "SURVIVED"
        print(f"{verdict:<9} {mutant['mutant']}", flush=True)
    build_targets(build)  # leave the build as the sources are

    minutes = (time.monotonic() - started) / 60
    print(f"\n{len(killed)} of {len(mutants)} mutants killed, {len(equivalent)} equivalent, "
          f"{len(survivors)} survived, {len(broken)} not applied ({minutes:.1f} min)")
    return 1 if survivors or broken else 0


if __name__ == "__main__":
    sys.exit(main())
