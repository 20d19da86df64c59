#!/usr/bin/env python3
"""Checks the relative links of the project's Markdown pages.

  tests/docs/check_links.py PAGE.md ...

Each link to another file must name one that exists, and each #anchor a
heading of its page, as GitHub names them: lower case, punctuation dropped,
spaces as hyphens, -1, -2... after repeats. Links into the web are not
followed. Prints each broken link and exits 1 when there is one.
"""

import os
import re
import sys

FENCE = re.compile(r"^ *```.*?^ *```", re.M | re.S)
CODE_SPAN = re.compile(r"`[^`\n]*`")
LINK = re.compile(r"\[[^\]]*\]\(([^)\s]+)\)")
HEADING = re.compile(r"^#+ +(.*?) *$", re.M)


def anchors(text):
    seen, result = {}, set()
    for heading in HEADING.findall(FENCE.sub("", text)):
        slug = re.sub(r"[^\w\- ]", "", heading.lower()).replace(" ", "-")
        count = seen.get(slug, 0)
        seen[slug] = count + 1
        result.add(slug if count == 0 else "%s-%d" % (slug, count))
    return result


def broken_links(page):
    with open(page, encoding="utf-8") as handle:
        text = handle.read()
    for target in LINK.findall(CODE_SPAN.sub("", FENCE.sub("", text))):
        if re.match(r"[a-z]+:", target):
            continue
        path, _, anchor = target.partition("#")
        linked = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
        if not os.path.isfile(linked):
            yield "%s: %s: no such file" % (page, target)
        elif anchor:
            with open(linked, encoding="utf-8") as handle:
                if anchor not in anchors(handle.read()):
                    yield "%s: %s: no such heading" % (page, target)


def main(pages):
    broken = [line for page in pages for line in broken_links(page)]
    print("\n".join(broken) if broken else "every link of %d pages leads somewhere" % len(pages))
    return 1 if broken else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
