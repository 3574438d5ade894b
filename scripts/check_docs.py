#!/usr/bin/env python3
"""Keeps the documents true to the program, as part of the test command.

- Every text Ostrel can show stands in the operator guide
  (docs/operator-guide.txt, the archive's README.txt): each message box,
  caption, status line and reason Windows shows stands word for word in a
  head of its table ("Messages"); each text of the dialogs stands somewhere
  in the guide. The texts are read from where the program has them: the
  resource script and the sources of the layers that show messages.
- Every relative link in the Markdown documents leads to a file or folder of
  the repository, and an anchor to a heading of the Markdown file it names.
- README.txt, made as packaging makes it (the guide, and the changelog's
  section of the version), is plain ASCII in lines of at most 76 characters,
  each ending in CR LF: it is read in Notepad.

usage: check_docs.py [ROOT]    (ROOT: the repository, this script's by default)
Prints each fault, and exits 1 when there is one.
"""
import os
import re
import subprocess
import sys
import tempfile
import urllib.parse
from pathlib import Path

GUIDE = "docs/operator-guide.txt"
TABLE_SECTION = "Messages"
README_TXT_TEMPLATE = "cmake/package_readme.txt.in"
README_TXT_SCRIPT = "cmake/package_readme.cmake"
README_TXT_WIDTH = 76

TABLE, GUIDE_TEXT, NOT_SHOWN = "the message table", "the guide", None

# C string literals: one, or several written side by side (the compiler joins
# them). The look-behind leaves wide (L"...") literals to rows that ask.
_NARROW = r'(?<![\w"])"(?:[^"\\\n]|\\.)*"'
_WIDE = r'L"(?:[^"\\\n]|\\.)*"'
NARROW = rf"{_NARROW}(?:\s*{_NARROW})*"
WIDE = rf"{_WIDE}(?:\s*{_WIDE})*"

# Where the program's texts stand, and where in the guide each must stand.
# A literal is taken by the first row whose pattern's group "text" covers it.
TEXT_SOURCES = [
    # The capture device's name, which the guide tells the operator to look
    # for.
    (["src/device/filter_connection.h"], rf"kCaptureFilterName\[\]\s*=\s*(?P<text>{NARROW})",
     GUIDE_TEXT),
    # The names of undo steps: the card check's report names them; Ostrel
    # shows none.
    (["src/**/*.cpp", "src/**/*.h"], rf"(?:\bundo,\s*|UndoName\s*=\s*)(?P<text>{NARROW})",
     NOT_SHOWN),
    # What goes to the debugger, never to the operator: the start of each
    # call's text.
    (["src/**/*.cpp"], rf"\bReportToDebugger\(\s*(?:std::string\(\s*)?(?P<text>{NARROW})",
     NOT_SHOWN),
    # The reasons Windows lists when asked to shut down during a command.
    (["src/machine/system_power_guard.cpp"], rf"k\w*Reason\[\]\s*=\s*(?P<text>{WIDE})", TABLE),
    # Message boxes, their captions and status lines: every narrow literal of
    # the layers that show them, pieces of built messages included.
    ([f"src/{layer}/*.{kind}" for layer in ("commands", "device", "eeprom", "ui")
      for kind in ("cpp", "h")], rf"(?P<text>{NARROW})", TABLE),
    # The dialogs' captions and controls, the system menu's entry, the list's
    # entries.
    (["resources/*.rc"],
     r'^[ \t]*(?:CAPTION|[LRC]TEXT|PUSHBUTTON|DEFPUSHBUTTON|GROUPBOX|CONTROL|IDS_\w+)[ \t]+'
     r'(?P<text>"[^"\n]*")', GUIDE_TEXT),
    (["resources/*.rc"], r'DLGINIT_ADDSTRING,\s*\d+,\s*\d+,\s*(?P<text>"[^"\n]*")', GUIDE_TEXT),
]

# Comments, character literals and preprocessor lines hold no text the
# program shows; string literals are kept whole so that "//" in one stays.
_SKIPPED = re.compile(r'//[^\n]*|/\*.*?\*/|^[ \t]*#[^\n]*|\'(?:[^\'\\\n]|\\.)*\'|'
                      r'"(?:[^"\\\n]|\\.)*"', re.S | re.M)
_ESCAPES = {"n": "\n", "t": "\t", "0": "", "\\": "\\", '"': '"', "'": "'"}
_IGNORED_DIRS = {".git", "build", "dist", "node_modules"}


def without_comments(source):
    def blank(match):
        text = match.group(0)
        return text if text.startswith('"') else re.sub(r"[^\n]", " ", text)
    return _SKIPPED.sub(blank, source)


def literal_text(literals):
    """The text that one or more adjacent C or resource literals make."""
    pieces = re.findall(r'"((?:[^"\\]|\\.)*)"', literals)
    text = "".join(re.sub(r"\\(.)", lambda m: _ESCAPES.get(m.group(1), m.group(1)), piece)
                   for piece in pieces)
    return text.replace("&&", "\0").replace("&", "").replace("\0", "&")  # menu mnemonics


def program_texts(root):
    """(where, text, place) for every text of the program, place as in TEXT_SOURCES."""
    taken = {}
    for globs, pattern, place in TEXT_SOURCES:
        files = sorted({path for glob in globs for path in root.glob(glob) if path.is_file()})
        for path in files:
            source = without_comments(path.read_text(encoding="utf-8", errors="replace"))
            spans = taken.setdefault(path, [])
            for match in re.finditer(pattern, source, re.M):
                start, end = match.span("text")
                if any(start < e and s < end for s, e in spans):
                    continue
                spans.append((start, end))
                text = literal_text(match.group("text"))
                line = source.count("\n", 0, start) + 1
                if place and text.strip():
                    yield f"{path.relative_to(root)}:{line}", text, place


def normalized(text):
    return " ".join(text.split())


def sections(lines):
    """{title: (first, end)} of the guide's sections: a title over a row of dashes."""
    starts = [(i, lines[i]) for i in range(len(lines) - 1)
              if lines[i].strip() and re.fullmatch(r"-{3,}", lines[i + 1])]
    ends = [i for i, _ in starts[1:]] + [len(lines)]
    return {title: (i + 2, end) for (i, title), end in zip(starts, ends)}


def table_heads(lines):
    """The texts quoted in the heads of the message table's entries: an entry
    starts with a line that opens a quote, its head runs to the first
    indented or blank line."""
    first, end = sections(lines).get(TABLE_SECTION, (0, 0))
    heads, head = [], None
    for line in lines[first:end] + [""]:
        if line.startswith('"') or (head is not None and line and not line[0].isspace()):
            head = (head or "") + " " + line
            continue
        if head is not None:
            heads.extend(normalized(q) for q in re.findall(r'"([^"]*)"', head))
        head = None
    return heads


def check_texts(root, faults):
    guide_path = root / GUIDE
    lines = guide_path.read_text(encoding="utf-8").splitlines()
    heads = table_heads(lines)
    if not heads:
        faults.append(f"{GUIDE}: no section \"{TABLE_SECTION}\" with quoted entries")
    whole = normalized("\n".join(lines))
    for where, text, place in program_texts(root):
        wanted = normalized(text)
        found = (any(wanted in head for head in heads) if place is TABLE else wanted in whole)
        if not found:
            faults.append(f'{where}: "{text}" is not in {place} of {GUIDE}')


def check_readme_txt(root, faults):
    """README.txt as packaging makes it for the version CMakeLists.txt names."""
    version = re.search(r"project\(Ostrel VERSION (\S+)",
                        (root / "CMakeLists.txt").read_text(encoding="utf-8")).group(1)
    with tempfile.TemporaryDirectory() as folder:
        output = Path(folder) / "README.txt"
        made = subprocess.run(
            ["cmake", f"-DSOURCE_DIR={root}", f"-DTEMPLATE={root / README_TXT_TEMPLATE}",
             f"-DGUIDE={root / GUIDE}", f"-DCHANGELOG={root / 'CHANGELOG.md'}",
             f"-DVERSION={version}", f"-DOUTPUT={output}", "-P", str(root / README_TXT_SCRIPT)],
            capture_output=True, text=True)
        if made.returncode != 0:
            faults.append(f"README.txt cannot be made: {made.stderr.strip()}")
            return
        lines = output.read_bytes().split(b"\r\n")
    if lines[-1]:
        faults.append("README.txt: its last line does not end with CR LF")
    for number, line in enumerate(lines, 1):
        start = line[:40].decode("ascii", "replace")
        if b"\n" in line or b"\r" in line:
            faults.append(f"README.txt:{number}: a line ending other than CR LF ({start}...)")
        elif not line.isascii():
            faults.append(f"README.txt:{number}: not ASCII, which Notepad may garble ({start}...)")
        elif len(line) > README_TXT_WIDTH:
            faults.append(f"README.txt:{number}: {len(line)} characters, more than "
                          f"{README_TXT_WIDTH} ({start}...)")


def markdown_files(root):
    for folder, dirs, files in os.walk(root):
        dirs[:] = sorted(d for d in dirs if d not in _IGNORED_DIRS)
        yield from (Path(folder) / f for f in sorted(files) if f.endswith(".md"))


def prose(markdown):
    """The Markdown without code blocks, code spans and comments, line numbers kept."""
    def blank(match):
        return re.sub(r"[^\n]", " ", match.group(0))
    markdown = re.sub(r"^ {0,3}(```|~~~).*?^ {0,3}\1[^\n]*$", blank, markdown, flags=re.S | re.M)
    markdown = re.sub(r"<!--.*?-->", blank, markdown, flags=re.S)
    return re.sub(r"(`+)(?!`).+?(?<!`)\1(?!`)", blank, markdown, flags=re.S)


def github_anchor(heading):
    heading = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", heading)  # a link's text only
    return re.sub(r"[^\w\- ]", "", heading.strip().lower()).replace(" ", "-")


def anchors(path, cache={}):  # noqa: B006 (one cache for the run)
    if path not in cache:
        text = prose(path.read_text(encoding="utf-8"))
        headings = re.findall(r"^ {0,3}#{1,6}[ \t]+(.*?)(?:[ \t]+#+)?[ \t]*$", text, re.M)
        headings += re.findall(r"^(\S[^\n]*)\n {0,3}(?:=+|-+)[ \t]*$", text, re.M)
        seen, found = {}, set(re.findall(r'<a\s+(?:name|id)="([^"]+)"', text))
        for heading in headings:
            anchor = github_anchor(heading)
            found.add(f"{anchor}-{seen[anchor]}" if anchor in seen else anchor)
            seen[anchor] = seen.get(anchor, 0) + 1
        cache[path] = found
    return cache[path]


_INLINE_LINK = re.compile(r"!?\[(?:[^\]\\]|\\.)*\]\(\s*<?([^)\s>]*)>?(?:\s+\"[^\"]*\")?\s*\)")
_REFERENCE = re.compile(r"^ {0,3}\[[^\]]+\]:\s*<?([^\s>]+)>?", re.M)


def check_links(root, faults):
    for path in markdown_files(root):
        text = prose(path.read_text(encoding="utf-8"))
        targets = [(m.start(1), m.group(1)) for m in _INLINE_LINK.finditer(text)]
        targets += [(m.start(1), m.group(1)) for m in _REFERENCE.finditer(text)]
        for offset, target in sorted(targets):
            if re.match(r"[a-zA-Z][a-zA-Z0-9+.-]*:|//", target):
                continue  # another site's: not ours to check here
            where = f"{path.relative_to(root)}:{text.count(chr(10), 0, offset) + 1}"
            name, _, anchor = urllib.parse.unquote(target).partition("#")
            linked = (root / name.lstrip("/") if name.startswith("/")
                      else path.parent / name if name else path).resolve()
            if root not in (linked, *linked.parents) or not linked.exists():
                faults.append(f"{where}: link to {target}: no such file in the repository")
            elif anchor and linked.suffix == ".md" and anchor not in anchors(linked):
                faults.append(f"{where}: link to {target}: {linked.relative_to(root)} has no "
                              f"heading for #{anchor}")


def main():
    root = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parent.parent).resolve()
    faults = []
    check_texts(root, faults)
    check_readme_txt(root, faults)
    check_links(root, faults)
    for fault in faults:
        print(fault)
    print(f"{len(faults)} fault(s) in the documents" if faults else "documents: no fault found")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
