#!/usr/bin/env python3
"""The folders of src/ depend on each other one way: a file includes only its own folder and
folders below it. Fails, naming each file and line, on an include of a folder above.

  layers_test.py [SRC]   (default: the src/ beside this test)
"""
import os
import re
import sys

# From the bottom; setting (the settings program) sits on profile, mail and platform only.
ORDER = ["platform", "profile", "mail", "envelope", "character", "app"]
ALLOWED = {folder: set(ORDER[:i + 1]) for i, folder in enumerate(ORDER)}
ALLOWED["setting"] = {"setting", "profile", "mail", "platform"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/')


def upward_includes(src):
    for folder in sorted(set(os.listdir(src)) & set(ALLOWED)):
        for root, _, files in os.walk(os.path.join(src, folder)):
            for path in sorted(os.path.join(root, name) for name in files):
                with open(path, encoding="utf-8", errors="replace") as source:
                    for number, line in enumerate(source, 1):
                        match = INCLUDE.match(line)
                        if match and match.group(1) in ALLOWED and match.group(1) not in ALLOWED[folder]:
                            yield f"{os.path.relpath(path, src)}:{number}: {folder} includes {match.group(1)}/"


if __name__ == "__main__":
    problems = list(upward_includes(sys.argv[1] if len(sys.argv) > 1 else
                                    os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src")))
    print("\n".join(problems + [f"{len(problems)} upward include(s); the order from the bottom is "
                                f"{' -> '.join(ORDER)}, and setting sits on profile, mail and platform"]))
    sys.exit(1 if problems else 0)
