#!/usr/bin/env python3
"""Adds up JUnit XML reports into one closing line: 'N passed, N failed'."""
import sys
import xml.etree.ElementTree as ET


def count(path):
    passed = failed = skipped = 0
    failures = []
    root = ET.parse(path).getroot()
    for case in root.iter("testcase"):
        status = case.get("status", "")
        name = f"{case.get('classname', '')}.{case.get('name', '')}".strip(".")
        if case.find("failure") is not None or case.find("error") is not None or status == "fail":
            failed += 1
            failures.append(name)
        elif case.find("skipped") is not None or status in ("notrun", "disabled"):
            skipped += 1
        else:
            passed += 1
    return passed, failed, skipped, failures


def main(paths):
    total = [0, 0, 0]
    for path in paths:
        try:
            p, f, s, names = count(path)
        except (OSError, ET.ParseError) as e:
            print(f"summary: cannot read {path}: {e}")
            total[1] += 1
            continue
        print(f"summary: {path}: {p} passed, {f} failed, {s} skipped")
        for n in names:
            print(f"summary:   FAILED {n}")
        total = [total[0] + p, total[1] + f, total[2] + s]
    print(f"{total[0]} passed, {total[1]} failed, {total[2]} skipped")
    return 1 if total[1] else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
