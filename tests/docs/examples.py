#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Runs every example of a Markdown page against the zorvan tool, so the
page cannot say what the tool does not do.

Examples take two forms:
  inline       `FORMULA` → `RESULT`   or   `FORMULA` with `OPTIONS` → `RESULT`
               (zorvan eval [OPTIONS] FORMULA prints RESULT; in table rows
               \\| stands for |)
  transcript   in a fenced block, a line "$ zorvan ARGS" and the lines up to
               the next "$" line or the fence, which are its standard output;
               with "2>&1" after ARGS, its standard error too, and it may fail
Fenced blocks tagged zvf are filter files and must pass zorvan check -f.

Usage: examples.py ZORVAN PAGE.md
"""
import concurrent.futures
import os
import re
import shlex
import subprocess
import sys
import tempfile

INLINE = re.compile(r"`([^`]+)`(?: with `([^`]+)`)? → `([^`]+)`")


def examples(lines):
    """Yields (line number, argv, expected output); filter files as ('zvf', text)."""
    fence, block = None, []
    for number, line in enumerate(lines, 1):
        if line.startswith("```"):
            if fence is None:
                fence, block = (line[3:].strip(), number), []
                continue
            yield from fenced(*fence, block)
            fence = None
        elif fence is not None:
            block.append(line)
        else:
            table = line.startswith("|")
            found = INLINE.findall(line)
            if len(found) != line.count("→"):
                sys.exit(f"line {number}: an arrow that is not `FORMULA` → `RESULT`")
            for formula, options, result in found:
                if table:
                    formula = formula.replace("\\|", "|")
                argv = ["eval", *shlex.split(options), "--", formula]
                yield number, argv, result + "\n"
    if fence is not None:
        sys.exit(f"line {fence[1]}: the fenced block is not closed")


def fenced(tag, start, block):
    if tag == "zvf":
        yield start, "zvf", "\n".join(block) + "\n"
        return
    command = None
    for offset, line in enumerate(block + ["$"], start + 1):
        if line.startswith("$"):
            if command:
                yield command[0], command[1], "".join(l + "\n" for l in command[2])
            command = None
            if line.startswith("$ zorvan "):
                command = (offset, shlex.split(line[len("$ zorvan "):]), [])
        elif command:
            command[2].append(line)


def run(zorvan, directory, example):
    number, argv, expected = example
    if argv == "zvf":
        path = os.path.join(directory, f"line{number}.zvf")
        with open(path, "w", encoding="utf-8") as f:
            f.write(expected)
        argv, expected = ["check", "-f", path], f"ok: {path}\n"
    merged = argv[-1:] == ["2>&1"]
    if merged:
        argv = argv[:-1]
    done = subprocess.run([zorvan, *argv], stdout=subprocess.PIPE, text=True, timeout=30,
                          stderr=subprocess.STDOUT if merged else subprocess.PIPE)
    failed = done.returncode not in ((0, 1, 2) if merged else (0,))
    if failed or done.stdout != expected:
        return (f"line {number}: zorvan {shlex.join(argv)}\n  expected {expected!r}\n"
                f"  got {done.stdout!r} (exit {done.returncode}) {done.stderr.strip()}")
    return None


def main():
    zorvan, page = sys.argv[1:]
    with open(page, encoding="utf-8") as f:
        found = list(examples(f.read().splitlines()))
    with tempfile.TemporaryDirectory() as directory, \
            concurrent.futures.ThreadPoolExecutor(os.cpu_count()) as pool:
        faults = [r for r in pool.map(lambda e: run(zorvan, directory, e), found) if r]
    print(f"{len(found)} examples, {len(faults)} wrong")
    for fault in faults:
        print(fault)
    return 1 if faults or not found else 0


if __name__ == "__main__":
    sys.exit(main())
