#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes a program's manual page from what the program itself prints.

The options come from `PROGRAM --help` and, for a program with subcommands,
from `PROGRAM SUBCOMMAND --help` for every subcommand its help lists, so a
new option or subcommand is in the manual as soon as it is in the program.
The version and the copyright lines come from `PROGRAM --version`. The
remote-control commands and the SCPI commands come from the two command
tables in README.md. Hand-written sections (files, environment, examples,
...) come from an include file in help2man's format: "[SECTION]" lines,
each followed by roff text.

The help is expected in CLI11's layout; a line that does not fit it stops
the build instead of going into the manual mangled.
"""
import argparse
import os
import re
import subprocess
import sys

NAME_WIDTH = 30  # CLI11's column for the descriptions


class HelpError(Exception):
    pass


def run(argv):
    # A build with AddressSanitizer must not fail here over what the
    # libraries keep at exit.
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", COLUMNS="80",
               ASAN_OPTIONS=os.environ.get("ASAN_OPTIONS", "") + ":detect_leaks=0")
    out = subprocess.run(argv, capture_output=True, text=True, env=env, timeout=60)
    if out.returncode != 0:
        raise HelpError(f"{' '.join(argv)} failed ({out.returncode}): {out.stderr.strip()}")
    return out.stdout


def parse_help(text, where):
    """CLI11's help as (description, usage, sections, footer); sections is a
    list of (heading, [(name, description)])."""
    lines = text.rstrip("\n").split("\n")
    i = 0
    description = []
    while i < len(lines) and not lines[i].startswith("Usage: "):
        if lines[i].strip():
            description.append(lines[i].strip())
        i += 1
    if i == len(lines):
        raise HelpError(f"{where}: no usage line")
    usage = lines[i][len("Usage: "):].split(" ", 1)
    usage = usage[1] if len(usage) > 1 else ""
    i += 1
    sections, footer = [], []
    while i < len(lines):
        line = lines[i]
        if not line.strip():
            i += 1
            continue
        heading = re.fullmatch(r"([A-Z][A-Za-z ]*):", line)
        if not heading:
            if line.startswith(" "):
                raise HelpError(f"{where}: entry outside a section: {line!r}")
            footer.append(line.strip())
            i += 1
            continue
        entries = []
        i += 1
        while i < len(lines) and lines[i].startswith("  ") and lines[i].strip():
            line = lines[i]
            if line.startswith(" " * NAME_WIDTH):
                raise HelpError(f"{where}: description without a name: {line!r}")
            following = []
            j = i + 1
            while j < len(lines) and lines[j].startswith(" " * NAME_WIDTH):
                following.append(lines[j].strip())
                j += 1
            if following:
                name, desc = line.strip(), " ".join(following)
            else:
                name, desc = line[:NAME_WIDTH].strip(), line[NAME_WIDTH:].strip()
            entries.append((name, desc))
            i = j
        if not entries:
            raise HelpError(f"{where}: section {heading.group(1)} is empty")
        sections.append((heading.group(1), entries))
    return " ".join(description), usage, sections, footer


def esc(text):
    """Running text for roff: backslashes kept, a leading dot or quote made
    literal, and dashes that start an option or stand alone as minus signs."""
    text = text.replace("\\", "\\e")
    text = re.sub(r"(?<![\w\]])-", r"\\-", text)
    if text.startswith((".", "'")):
        text = "\\&" + text
    return text


def code(text):
    return "\\fB" + esc(text) + "\\fR"


def entry(name, desc):
    """One option or positional as a tagged paragraph: the flags in bold, the
    value's type and limits after them as CLI11 states them."""
    head, _, rest = name.partition(" ")
    if head.startswith("-"):
        tag = ", ".join(code(f) for f in head.split(","))
    else:
        tag = "\\fI" + esc(head) + "\\fR"
    if rest:
        tag += " " + esc(rest)
    return f".TP\n{tag}\n{esc(desc) if desc else ''}".rstrip() + "\n"


def markdown_inline(text):
    out = []
    for k, part in enumerate(re.split(r"`([^`]*)`", text)):
        part = part.replace("\\|", "|")
        out.append(code(part) if k % 2 else re.sub(r"\*\*(.+?)\*\*", r"\\fB\1\\fR", esc(part)))
    return "".join(out)


def command_tables(readme):
    """Every '| command | effect |' table of README.md with the paragraph
    after it, as roff: the remote control's, then the SCPI server's."""
    with open(readme, encoding="utf-8") as f:
        lines = f.read().split("\n")
    starts = [k for k, l in enumerate(lines) if re.fullmatch(r"\s*\| command \| effect \|", l)]
    if not starts:
        raise HelpError(f"{readme}: no '| command | effect |' table")
    return [command_table(readme, lines, start) for start in starts]


def command_table(readme, lines, start):
    roff = []
    k = start + 2
    while k < len(lines) and lines[k].strip().startswith("|"):
        cells = [c.strip() for c in re.split(r"(?<!\\)\|", lines[k].strip())[1:-1]]
        if len(cells) != 2:
            raise HelpError(f"{readme}:{k + 1}: a row needs a command and its effect")
        if cells[1]:
            roff.append(f".TP\n{markdown_inline(cells[0])}\n{markdown_inline(cells[1])}\n")
        else:  # a heading over the rows that follow
            roff.append(f".PP\n{markdown_inline(cells[0])}\n")
        k += 1
    if not roff:
        raise HelpError(f"{readme}:{start + 1}: the command table is empty")
    while k < len(lines) and not lines[k].strip():
        k += 1
    paragraph = []
    while k < len(lines) and lines[k].startswith("  ") and not lines[k].strip().startswith("- "):
        paragraph.append(lines[k].strip())
        k += 1
    if paragraph:
        roff.append(".PP\n" + markdown_inline(" ".join(paragraph)) + "\n")
    return "".join(roff)


def read_include(path):
    sections, current = {}, None
    with open(path, encoding="utf-8") as f:
        for line in f:
            m = re.fullmatch(r"\[([^\]]+)\]\s*", line)
            if m:
                current = m.group(1).upper()
                sections.setdefault(current, "")
            elif current:
                sections[current] += line
            elif line.strip():
                raise HelpError(f"{path}: text before the first [SECTION]")
    return sections


def synopsis(program, usage):
    words = usage.split()
    out = [f".B {program}"]
    for w in words:
        out.append(f".RI {esc(w)}" if w.startswith("[") else f".I {esc(w)}")
    return "\n".join(out) + "\n"


def options_roff(sections, skip=(), skip_help=False):
    """Positionals (in italics) and options (in bold) as tagged paragraphs;
    any other section under its own heading."""
    roff = []
    for heading, entries in sections:
        if heading in skip:
            continue
        if heading not in ("Options", "Positionals"):
            roff.append(f".PP\n{esc(heading)}:\n")
        roff.extend(entry(n, d) for n, d in entries if not (skip_help and n == "-h,--help"))
    return "".join(roff)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("program", help="the built program")
    ap.add_argument("--name", required=True, help="the program's installed name")
    ap.add_argument("--include", help="hand-written sections, help2man's format")
    ap.add_argument("--commands", help="README.md with the command tables")
    ap.add_argument("--date", default="", help="the date in the page's footer")
    ap.add_argument("-o", "--output", required=True)
    args = ap.parse_args()

    try:
        version = run([args.program, "--version"]).strip().split("\n")
        description, usage, sections, footer = parse_help(run([args.program, "--help"]), args.name)
        extra = read_include(args.include) if args.include else {}
        subcommands = [n for h, e in sections if h == "Subcommands" for n, _ in e]
        parsed_subs = []
        for sub in subcommands:
            parsed_subs.append((sub, parse_help(run([args.program, sub, "--help"]),
                                                f"{args.name} {sub}")))
        tables = command_tables(args.commands) if args.commands else []
    except (HelpError, OSError, subprocess.SubprocessError) as e:
        sys.exit(f"make_manpage: {e}")

    name = args.name
    page = [
        f'.TH {name.upper()} 1 "{args.date}" "{esc(version[0])}" "User Commands"\n',
        ".SH NAME\n",
        f"{esc(name)} \\- {extra.pop('NAME', description).strip()}\n",
        ".SH SYNOPSIS\n",
    ]
    if parsed_subs:
        for k, (sub, (_, sub_usage, _, _)) in enumerate(parsed_subs):
            if k:
                page.append(".br\n")
            # CLI11 names the subcommand again in its usage line.
            words = sub_usage.split(" ", 1)
            if words[0] == sub:
                sub_usage = words[1] if len(words) > 1 else ""
            page.append(synopsis(f"{name} {sub}", sub_usage))
        page.append(".br\n" + synopsis(name, "--help | --version"))
    else:
        page.append(synopsis(name, usage))
    # The help's one-line description, unless the include says more.
    page += [".SH DESCRIPTION\n", extra.pop("DESCRIPTION", esc(description) + "\n")]
    if footer:
        page.append(".PP\n" + esc(" ".join(footer)) + "\n")
    page += [".SH OPTIONS\n", options_roff(sections, skip=("Subcommands",))]
    if parsed_subs:
        page.append(".SH SUBCOMMANDS\n")
        for sub, (sub_desc, _, sub_sections, sub_footer) in parsed_subs:
            page.append(f".SS {sub}\n{esc(sub_desc)}\n")
            if sub_footer:
                page.append(".PP\n" + esc(" ".join(sub_footer)) + "\n")
            page.append(options_roff(sub_sections, skip_help=True))
    for heading, table in zip(("REMOTE CONTROL", "SCPI COMMANDS"), tables):
        page.append(f".SH {heading}\n" + extra.pop(heading, "") + table)
    for section, text in extra.items():
        page.append(f".SH {section}\n{text}")
    if len(version) > 1:
        page.append(".SH COPYRIGHT\n.nf\n" + "\n".join(esc(l) for l in version[1:]) + "\n.fi\n")

    with open(args.output, "w", encoding="utf-8") as f:
        f.write("".join(page))


if __name__ == "__main__":
    main()
