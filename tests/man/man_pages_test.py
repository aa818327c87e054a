#!/usr/bin/env python3
"""The manual pages against the programs: every option each program's --help
lists is a term of its page's OPTIONS, every command (quorix's subcommands,
the viewer's script commands as --help and the script's `help` list them) a
term of its COMMANDS, and the pages list nothing more. The pages are read as
`man` shows them, rendered by groff.

Usage: man_pages_test.py --man-dir DIR --quorix PROGRAM --viewer PROGRAM --photo FILE
"""

import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

SKIP = 77
# An English environment whatever the one running the tests says.
ENGLISH = {"LANGUAGE": "", "LC_ALL": "C.UTF-8", "LC_MESSAGES": "", "LANG": "C.UTF-8"}


def run(command, stdin=None):
    result = subprocess.run(command, input=stdin, capture_output=True, text=True, timeout=60,
                            env={**os.environ, **ENGLISH})
    if result.returncode != 0:
        raise SystemExit(f"FAIL: {' '.join(command)} exited {result.returncode}: {result.stderr}")
    return result.stdout


def render(roff):
    """Text as man shows it, on lines long enough that nothing wraps or is hyphenated."""
    text = subprocess.run(["groff", "-man", "-Tutf8", "-rLL=400n", "-P-cbou"], input=roff, capture_output=True,
                          text=True, check=True, timeout=60).stdout
    # Hyphens and minus signs as a person types them.
    return re.sub("[\u2010\u2011\u2212]", "-", text)


def page_terms(path):
    """The terms of each section's tagged list ({SECTION: [term, ...]}), as man
    shows them: the line after each .TP, each rendered as a paragraph of its own."""
    document = [".TH TERMS 1"]
    with open(path, encoding="utf-8") as page:
        lines = page.read().splitlines()
    for number, line in enumerate(lines):
        if line.startswith(".SH "):
            document.append(line)
        elif line.strip() == ".TP" and number + 1 < len(lines):
            document += [".PP", lines[number + 1]]
    sections, current = {}, None
    for line in render("\n".join(document) + "\n").splitlines():
        if re.fullmatch(r"[A-Z][A-Z ]+", line):
            current = sections.setdefault(line, [])
        elif current is not None and line.strip():
            current.append(line.strip())
    return sections


def names(terms):
    """The names the terms give: "-j, --jobs N" gives -j and --jobs, "next,
    previous" both, "info --json PHOTO..." info."""
    return {piece.split()[0] for term in terms for piece in term.split(", ")}


def help_sections(text):
    """The sections of a --help text ("Options:", "Subcommands:", ...) as lists of lines."""
    sections, current = {}, None
    for line in text.splitlines():
        if re.fullmatch(r"[A-Z][a-z]+:", line):
            current = sections.setdefault(line[:-1], [])
        elif current is not None and line.strip():
            current.append(line)
    return sections


def listed_options(help_text):
    """The options of a --help text: "  -j,--jobs N:INT ..." gives -j and --jobs."""
    options = set()
    for line in help_sections(help_text).get("Options", []):
        match = re.match(r"  (-\S+)", line)
        if match:
            options.update(match.group(1).split(","))
    return options


def listed_commands(lines):
    """The command names of a command summary: "next, previous   page ..." gives both."""
    names = set()
    for line in lines:
        for piece in re.split(r"\s{2,}", line.strip())[0].split(", "):
            names.add(piece.split()[0])
    return names


failures = []


def expect_same(what, from_program, from_page):
    if from_program != from_page:
        failures.append(f"{what}: missing from the page {sorted(from_program - from_page)}, "
                        f"on the page only {sorted(from_page - from_program)}")
    else:
        print(f"ok: {what}: {' '.join(sorted(from_page))}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--man-dir", required=True)
    parser.add_argument("--quorix", required=True)
    parser.add_argument("--viewer", required=True)
    parser.add_argument("--photo", required=True)
    args = parser.parse_args()
    if not shutil.which("groff"):
        print("SKIP: groff is not installed (package groff-base)")
        return SKIP

    # quorix: the options of the command and of each subcommand, and the subcommands.
    quorix_help = run([args.quorix, "--help"])
    subcommands = listed_commands(help_sections(quorix_help)["Subcommands"])
    options = listed_options(quorix_help)
    for subcommand in subcommands:
        options |= listed_options(run([args.quorix, subcommand, "--help"]))
    page = page_terms(os.path.join(args.man_dir, "quorix.1"))
    expect_same("quorix options", options, names(page["OPTIONS"]))
    expect_same("quorix commands", subcommands, names(page["COMMANDS"]))

    # quorix-viewer: its options, and its commands as --help lists them and
    # as a script's `help` answers.
    viewer_help = run([args.viewer, "--help"])
    page = page_terms(os.path.join(args.man_dir, "quorix-viewer.1"))
    expect_same("quorix-viewer options", listed_options(viewer_help), names(page["OPTIONS"]))
    expect_same("quorix-viewer commands in --help", listed_commands(help_sections(viewer_help)["Commands"]),
                names(page["COMMANDS"]))
    with tempfile.TemporaryDirectory() as empty:
        answer = run([args.viewer, "--script", "--library-dir", empty, args.photo], stdin="help\nquit\n")
    script_commands = json.loads(answer.splitlines()[0])["commands"]
    expect_same("quorix-viewer script commands", listed_commands(script_commands), names(page["COMMANDS"]))

    for failure in failures:
        print("FAIL: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
