#!/usr/bin/env python3
"""Fails when the Windows build commands of docs/development.md and those the
workflow runs differ: the fenced block after the marker
<!-- windows-build-commands --> against the run of the workflow's step
windows-build. Prints the difference; exits 1 when there is one."""

import difflib
import os
import re
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
DOCS = os.path.join(ROOT, "docs", "development.md")
WORKFLOW = os.path.join(ROOT, ".github", "workflows", "windows.yml")
MARKER = "<!-- windows-build-commands"
STEP_ID = "windows-build"


def docs_block(text):
    """The lines of the first fenced block after the marker."""
    after = text.split(MARKER, 1)
    if len(after) < 2:
        raise ValueError("%s holds no %s ... --> marker" % (DOCS, MARKER))
    match = re.search(r"^```[^\n]*\n(.*?)^```", after[1], re.M | re.S)
    if not match:
        raise ValueError("no fenced block follows the marker in " + DOCS)
    return match.group(1).splitlines()


def step_run(text):
    """The lines of the literal run: | block of the step with id STEP_ID."""
    lines = text.splitlines()
    start = next((i for i, line in enumerate(lines) if line.strip() == "id: " + STEP_ID), None)
    if start is None:
        raise ValueError("%s has no step with id %s" % (WORKFLOW, STEP_ID))
    step_indent = len(lines[start]) - len(lines[start].lstrip())
    for i in range(start + 1, len(lines)):
        line = lines[i]
        indent = len(line) - len(line.lstrip())
        if line.strip() and (indent < step_indent or line.lstrip().startswith("- ")):
            break
        if line.strip() == "run: |" and indent == step_indent:
            block = []
            for body in lines[i + 1:]:
                if body.strip() and len(body) - len(body.lstrip()) <= indent:
                    break
                block.append(body)
            while block and not block[-1].strip():
                block.pop()
            body_indent = min(len(b) - len(b.lstrip()) for b in block if b.strip())
            return [b[body_indent:] for b in block]
    raise ValueError("the step %s of %s has no run: | block" % (STEP_ID, WORKFLOW))


def main():
    with open(DOCS, encoding="utf-8") as handle:
        documented = docs_block(handle.read())
    with open(WORKFLOW, encoding="utf-8") as handle:
        run = step_run(handle.read())
    if documented == run:
        print("Windows build commands: docs/development.md and the workflow agree")
        return 0
    sys.stdout.writelines(line + "\n" for line in difflib.unified_diff(
        documented, run, "docs/development.md", ".github/workflows/windows.yml", lineterm=""))
    return 1


if __name__ == "__main__":
    sys.exit(main())
