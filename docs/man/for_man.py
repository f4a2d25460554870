#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Turns a Markdown page of docs/ into the Markdown that lowdown makes a man
page of: a NAME section first, the page's title dropped and its sections
one level up, and each table a list of terms, since tables wider than a
terminal wrap into narrow columns that are hard to read.

Usage: for_man.py "NAME - WHAT IT IS" PAGE.md OUT.md
"""
import re
import sys

CELL = re.compile(r"(?<!\\)\|")


def cells(row):
    return [c.strip().replace("\\|", "|") for c in CELL.split(row.strip())[1:-1]]


def term_list(rows):
    header = cells(rows[0])
    out = []
    for row in rows[2:]:
        first, *rest = cells(row)
        parts = [f"{h}: {c}" for h, c in zip(header[1:], rest) if c]
        out += [first, ": " + "; ".join(parts), ""]
    return out


def convert(name, lines):
    if lines and lines[0].startswith("# "):
        lines = lines[1:]
    out, table, fenced = ["# NAME", "", name, ""], [], False
    for line in lines + [""]:
        if line.startswith("```"):
            fenced = not fenced
        if not fenced and line.startswith("|"):
            table.append(line)
            continue
        if table:
            out += term_list(table)
            table = []
        out.append(line[1:] if not fenced and line.startswith("##") else line)
    return out


def main():
    name, page, target = sys.argv[1:]
    with open(page, encoding="utf-8") as f:
        lines = f.read().splitlines()
    with open(target, "w", encoding="utf-8") as f:
        f.write("\n".join(convert(name, lines)) + "\n")


if __name__ == "__main__":
    main()
