#!/usr/bin/python3
"""Checks the HTML manual as a reader meets it:
- every page uses the one style sheet, is Japanese (lang="ja") with the English
  beside it in every heading, and leads back to the contents at its top and
  bottom;
- every link and picture reaches a file (and an anchor) that exists, and every
  picture in images/ is shown somewhere;
- the contents link every page of the panel (the captions in page_table.cpp)
  to a section of its own;
- the manual keeps to its readers: no link leaves docs/manual, and the
  developers' commands (make test / sanitize / fuzz, ctest, the benchmarks)
  are in docs/dev, whose pages and links are there;
- with --shots DIR, every picture the manual shows is one that
  panel_screenshots makes (so `make screenshots` renews them all).
  check_manual.py SOURCE_DIR [--shots DIR]"""

import argparse
import os
import re
import sys
from html.parser import HTMLParser


class Page(HTMLParser):
    def __init__(self):
        super().__init__()
        self.ids, self.links, self.images, self.styles = set(), [], [], []
        self.lang = None
        self.headings = []  # (tag, text, has English)
        self._heading = None

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if "id" in a:
            self.ids.add(a["id"])
        if tag == "html":
            self.lang = a.get("lang")
        elif tag == "a" and "href" in a:
            self.links.append(a["href"])
        elif tag == "img":
            self.images.append(a.get("src", ""))
        elif tag == "link" and a.get("rel") == "stylesheet":
            self.styles.append(a.get("href"))
        elif tag in ("h1", "h2"):
            self._heading = [tag, "", False]
        elif tag == "span" and self._heading and a.get("class") == "en":
            self._heading[2] = True

    def handle_data(self, data):
        if self._heading:
            self._heading[1] += data

    def handle_endtag(self, tag):
        if self._heading and tag == self._heading[0]:
            self.headings.append(tuple(self._heading))
            self._heading = None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("source")
    parser.add_argument("--shots")
    args = parser.parse_args()
    manual = os.path.join(args.source, "docs", "manual")
    problems = []
    pages = {}
    developer = re.compile(r"\bmake (?:test|sanitize|fuzz)\b|\bctest\b|\b\w+_bench\b")
    for name in sorted(os.listdir(manual)):
        if name.endswith(".html"):
            p = Page()
            with open(os.path.join(manual, name), encoding="utf-8") as f:
                text = f.read()
            p.feed(text)
            pages[name] = p
            for m in sorted(set(developer.findall(text))):
                problems.append("%s: '%s' is for developers (docs/dev)" % (name, m))

    shown = set()
    for name, p in pages.items():
        if p.lang != "ja":
            problems.append("%s: not lang=\"ja\"" % name)
        if p.styles != ["manual.css"]:
            problems.append("%s: style sheets %s, not manual.css" % (name, p.styles))
        for tag, text, english in p.headings:
            if not english:
                problems.append("%s: <%s> '%s' has no English beside it" % (name, tag, text.strip()))
        if name != "index.html":
            back = [l for l in p.links if l.split("#")[0] == "index.html"]
            if len(back) < 2:
                problems.append("%s: no way back to the contents at top and bottom" % name)
        for link in p.links:
            if re.match(r"^[a-z]+:", link):
                continue
            target, _, anchor = link.partition("#")
            target = target or name
            if "/" in target:
                problems.append("%s: link %s leaves the manual" % (name, link))
            elif target not in pages:
                problems.append("%s: link to missing %s" % (name, link))
            elif anchor and anchor not in pages[target].ids:
                problems.append("%s: link to missing anchor %s" % (name, link))
        for src in p.images:
            shown.add(os.path.basename(src))
            if not os.path.isfile(os.path.join(manual, src)):
                problems.append("%s: missing picture %s" % (name, src))

    images = os.path.join(manual, "images")
    for picture in sorted(os.listdir(images)):
        if picture not in shown:
            problems.append("images/%s is shown nowhere" % picture)

    # Every page of the panel has its own section, linked from the contents.
    table = open(os.path.join(args.source, "src", "app", "page_table.cpp"), encoding="utf-8").read()
    captions = re.findall(r'\{\d+, (?:QT_TRANSLATE_NOOP\("Lang", )?"([^"]+)"\)?, ', table)
    index = open(os.path.join(manual, "index.html"), encoding="utf-8").read()
    for caption in captions:
        m = re.search(r'<a href="([^"#]+)#([^"]+)">' + re.escape(caption) + "</a>", index)
        if not m:
            problems.append("index.html: no link to a section of page %s" % caption)
    if len(captions) != 19:
        problems.append("page_table.cpp: %d page captions found, not 19" % len(captions))

    # The developers' pages: there, and their links reach files that exist.
    dev = os.path.join(args.source, "docs", "dev")
    if not os.path.isfile(os.path.join(dev, "README.md")):
        problems.append("docs/dev/README.md is missing")
    else:
        for name in sorted(os.listdir(dev)):
            if not name.endswith(".md"):
                continue
            text = open(os.path.join(dev, name), encoding="utf-8").read()
            for link in re.findall(r"\]\(([^)#]+)(?:#[^)]*)?\)", text):
                if not re.match(r"^[a-z]+:", link) and not os.path.exists(os.path.join(dev, link)):
                    problems.append("docs/dev/%s: link to missing %s" % (name, link))

    if args.shots:
        made = set(os.listdir(args.shots))
        for picture in sorted(shown - made):
            problems.append("the manual shows %s, which panel_screenshots does not make" % picture)

    for p in problems:
        print("manual: " + p)
    print("manual: %d pages, %d pictures, %d problems" % (len(pages), len(shown), len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
