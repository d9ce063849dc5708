#!/usr/bin/env python3
"""Checks the technician's list of messages (docs/technician.md) against the program's texts.

The texts are read where the code keeps them:
  - every constant of the message headers (HEADERS), captions included;
  - the text argument of every call that shows something (CALLS: message boxes, the status
    pane, the reason `tessarin program` prints) in the front-end and workflow folders (FOLDERS),
    when that argument holds a string literal;
  - the text a message builder (BUILDERS) returns.
A part of a text that is not a literal or a header constant (a file name, a number) stands as
"…" in the list. The list is every fenced block of the kind ```message in the manual.

Usage: check-messages.py SOURCE_ROOT [MANUAL]. Exit status 0 when the list and the code agree,
1 with what to add or remove otherwise.
"""
import pathlib
import re
import sys

HEADERS = ["app/FormMessages.h", "upgrade/UpgradeTexts.h"]
FOLDERS = ["app", "upgrade", "gui", "cli"]
# Function name -> index of the argument that carries the text.
CALLS = {"MessageBox": 0, "Box": 0, "ShowError": 0, "Show": 0, "Fail": 1}
BUILDERS = ["KitFileProblem", "DescribeRadioLeft"]
GAP = "…"

ESCAPES = {"n": "\n", "t": "\t", '"': '"', "'": "'", "\\": "\\", "?": "?"}


def strip_comments(code):
    """The code with its comments blanked out; string and character literals kept."""
    out, i, n = [], 0, len(code)
    while i < n:
        c = code[i]
        if code.startswith("//", i):
            j = code.find("\n", i)
            i = n if j < 0 else j
        elif code.startswith("/*", i):
            j = code.find("*/", i + 2)
            i = n if j < 0 else j + 2
            out.append(" ")
        elif c in "\"'":
            j = i + 1
            while j < n and code[j] != c:
                j += 2 if code[j] == "\\" else 1
            out.append(code[i:j + 1])
            i = j + 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


def unescape(body):
    return re.sub(r"\\(.)", lambda m: ESCAPES.get(m.group(1), m.group(1)), body)


LITERAL = re.compile(r'"((?:[^"\\]|\\.)*)"')


def split_top(expr, sep):
    """Splits an expression at the separator outside brackets and literals."""
    parts, depth, start, i = [], 0, 0, 0
    while i < len(expr):
        c = expr[i]
        if c == '"':
            i = LITERAL.match(expr, i).end()
            continue
        if c in "([{":
            depth += 1
        elif c in ")]}":
            depth -= 1
        elif c == sep and depth == 0:
            parts.append(expr[start:i])
            start = i + 1
        i += 1
    parts.append(expr[start:])
    return parts


def closing(code, open_at):
    """The index of the bracket that closes the one at open_at."""
    depth, i = 0, open_at
    opening, close = code[open_at], {"(": ")", "{": "}"}[code[open_at]]
    while i < len(code):
        c = code[i]
        if c == '"':
            i = LITERAL.match(code, i).end()
            continue
        if c == opening:
            depth += 1
        elif c == close:
            depth -= 1
            if depth == 0:
                return i
        i += 1
    return len(code)


def text_of(expr, constants):
    """The text an expression makes, or None when it holds no literal."""
    if '"' not in expr:
        return None
    pieces = []
    for operand in split_top(expr, "+"):
        operand = re.sub(r"^std::string\s*\((.*)\)$", r"\1", operand.strip(), flags=re.S)
        literals = LITERAL.findall(operand)
        name = re.sub(r"^(\w+::)+", "", operand)
        if literals and LITERAL.sub("", operand).strip() == "":
            pieces.append("".join(unescape(s) for s in literals))
        elif name in constants:
            pieces.append(constants[name][0])
        elif not pieces or pieces[-1] != GAP:
            pieces.append(GAP)
    return "".join(pieces)


def header_constants(root):
    """Constant name -> (text, header)."""
    constants = {}
    for header in HEADERS:
        code = strip_comments((root / header).read_text(encoding="utf-8"))
        for m in re.finditer(r"constexpr[^=;]*?\b(k\w+)\s*\[\]\s*=\s*([^;]*);", code):
            constants[m.group(1)] = ("".join(unescape(s) for s in LITERAL.findall(m.group(2))), header)
    return constants


def code_texts(root):
    """Text -> where it comes from."""
    constants = header_constants(root)
    texts = {text: "%s in %s" % (name, header) for name, (text, header) in constants.items()}
    call = re.compile(r"\b(%s)\s*\(" % "|".join(CALLS))
    builder = re.compile(r"\b(%s)\s*\([^;{]*\)\s*\{" % "|".join(BUILDERS))
    for folder in FOLDERS:
        for path in sorted((root / folder).rglob("*")):
            if path.suffix not in (".cpp", ".h"):
                continue
            code = strip_comments(path.read_text(encoding="utf-8"))
            where = lambda at: "%s:%d" % (path.relative_to(root), code.count("\n", 0, at) + 1)
            for m in call.finditer(code):
                args = split_top(code[m.end():closing(code, m.end() - 1)], ",")
                index = CALLS[m.group(1)]
                text = text_of(args[index], constants) if index < len(args) else None
                if text is not None:
                    texts.setdefault(text, where(m.start()))
            for m in builder.finditer(code):
                body = code[m.end():closing(code, m.end() - 1)]
                for ret in re.finditer(r'\breturn\b((?:"(?:[^"\\]|\\.)*"|[^;"])*);', body):
                    text = text_of(ret.group(1), constants)
                    if text is not None:
                        texts.setdefault(text, where(m.end() + ret.start()))
    return texts


def manual_texts(manual):
    blocks = re.findall(r"^```message\n(.*?)^```$", manual.read_text(encoding="utf-8"), re.S | re.M)
    return [b[:-1] if b.endswith("\n") else b for b in blocks]


def show(text):
    return "\n".join("    " + line for line in text.split("\n"))


def main(argv):
    root = pathlib.Path(argv[1] if len(argv) > 1 else ".").resolve()
    manual = pathlib.Path(argv[2]) if len(argv) > 2 else root / "docs" / "technician.md"
    code = code_texts(root)
    listed = manual_texts(manual)
    problems = 0
    for text, where in code.items():
        if text not in listed:
            problems += 1
            print("Add to %s (a ```message block; the text of %s):\n%s\n" % (manual.name, where, show(text)))
    for text in listed:
        if text not in code:
            problems += 1
            print("Remove from %s (no such text in the code any more):\n%s\n" % (manual.name, show(text)))
    seen = set()
    for text in listed:
        if text in seen:
            problems += 1
            print("Listed twice in %s:\n%s\n" % (manual.name, show(text)))
        seen.add(text)
    if problems:
        print("%d difference(s) between the program's messages and %s" % (problems, manual))
        return 1
    print("%d messages, all listed in %s" % (len(code), manual))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
