#!/usr/bin/env python3
"""The English catalogue translations/quillon_en.ts and its checks.

    translations.py SOURCE_ROOT --update   bring the catalogue up to date with src/
                                           (new texts come in unfinished, gone ones go)
    translations.py SOURCE_ROOT --check    fail when the catalogue is not up to date
                                           with src/, or a text in it has no finished
                                           English translation

Texts are found by lupdate: Lang::tr, Lang::Tr (through -tr-function-alias)
and QT_TRANSLATE_NOOP("Lang", ...). No line numbers are kept, so moving code
leaves the catalogue as it is.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

LUPDATE_ARGS = ["-silent", "-locations", "none", "-no-ui-lines", "-no-obsolete",
                "-extensions", "cpp,h", "-tr-function-alias", "tr+=Tr",
                "-source-language", "ja_JP", "-target-language", "en_US"]
# Kana, kanji, full-width forms and the half-width katakana the panel is written in.
JAPANESE = re.compile("[\u3000-\u30ff\u3400-\u4dbf\u4e00-\u9fff\uff00-\uffef]")
PLACEHOLDER = re.compile(r"%L?\d")


def lupdate():
    for name in ("lupdate", "lupdate-qt6"):
        found = shutil.which(name)
        if found:
            return found
    for folder in ("/usr/lib/qt6/bin", "/usr/lib/x86_64-linux-gnu/qt6/bin"):
        path = os.path.join(folder, "lupdate")
        if os.access(path, os.X_OK):
            return path
    sys.exit("translations: lupdate not found (Debian package qt6-l10n-tools)")


def run_lupdate(root, ts):
    done = subprocess.run([lupdate(), os.path.join(root, "src")] + LUPDATE_ARGS + ["-ts", ts],
                          capture_output=True, text=True)
    if done.returncode != 0:
        sys.exit(f"translations: lupdate failed:\n{done.stdout}{done.stderr}")
    # lupdate's complaints (a tr() it cannot place) are faults in the marking.
    complaints = [l for l in (done.stdout + done.stderr).splitlines()
                  if l.strip() and not l.startswith("Scanning directory")]
    return complaints


def messages(ts):
    """(source, translation element) of every message in the catalogue."""
    for context in ET.parse(ts).getroot().iter("context"):
        for message in context.iter("message"):
            yield context.findtext("name"), message.findtext("source") or "", message.find("translation")


def problems_of(ts):
    problems = []
    for context, source, translation in messages(ts):
        where = f"[{context}] {source!r}"
        if context != "Lang":
            problems.append(f"{where}: marked outside the context Lang")
        if translation is None or not (translation.text or "").strip():
            problems.append(f"{where}: no English translation")
            continue
        kind = translation.get("type")
        if kind:
            problems.append(f"{where}: translation is {kind}")
        text = translation.text
        if JAPANESE.search(text):
            problems.append(f"{where}: the English {text!r} holds Japanese characters")
        if sorted(PLACEHOLDER.findall(source)) != sorted(PLACEHOLDER.findall(text)):
            problems.append(f"{where}: the English {text!r} has other placeholders than the source")
    return problems


def main():
    if len(sys.argv) != 3 or sys.argv[2] not in ("--update", "--check"):
        sys.exit(__doc__)
    root, mode = sys.argv[1], sys.argv[2]
    committed = os.path.join(root, "translations", "quillon_en.ts")
    if mode == "--update":
        for line in run_lupdate(root, committed):
            print(line)
        return 0
    with tempfile.TemporaryDirectory() as tmp:
        fresh = os.path.join(tmp, "quillon_en.ts")
        shutil.copyfile(committed, fresh)
        complaints = run_lupdate(root, fresh)
        with open(committed, encoding="utf-8") as a, open(fresh, encoding="utf-8") as b:
            old, new = a.read(), b.read()
        problems = [f"lupdate: {line}" for line in complaints]
        if old != new:
            before = {s for _, s, _ in messages(committed)}
            after = {s for _, s, _ in messages(fresh)}
            problems += [f"new text not in the catalogue: {s!r}" for s in sorted(after - before)]
            problems += [f"text no longer in the sources: {s!r}" for s in sorted(before - after)]
            problems.append("translations/quillon_en.ts is not up to date with src/: run "
                            "scripts/translations.py . --update and translate what comes in")
    problems += problems_of(committed)
    for p in problems:
        print(p)
    print(f"translations: {sum(1 for _ in messages(committed))} texts, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
