"""The situations as command-file text: a fragment, or a template whose
*PARAMETER run sections they replace; files appear whole or not at all.

The template is read as the model reads a command file: a line that begins
with "*" and a non-blank byte starts a section (its word cut to two
characters, the rest of the line its argument), "*" alone ends one, lines
that begin with "-" or a blank are comments, an apostrophe starts a remark.
Its bytes are kept as they are (Windows-1252); the text written here is
ASCII.
"""

import os
import re
from dataclasses import dataclass, field

import zirtool

MODEL_NW, MODEL_RE = 36, 10.0       # the model's defaults of nw and re
OWN = ("ua", "lm", "z0", "dw")      # what every generated section sets
PER_HOUR = 100                      # dw is written in hundredths of an hour
BLANKS = "".join(chr(c) for c in range(33))
SEPARATORS = re.compile(r"[\x00-\x20;]+")


class TemplateError(Exception):
    pass


def num(value, decimals):
    """A number with at most the given decimals, without trailing zeros."""
    text = "%.*f" % (decimals, value)
    if "." in text:
        text = text.rstrip("0").rstrip(".")
    return "0" if text == "-0" else text


def apportion(situations, per_hour=PER_HOUR):
    """Hours of every sector in units of 1/per_hour h, rounded so that the
    units of all situations add up to the rounded total (largest remainder)."""
    exact = [h * per_hour for s in situations for h in s.dw]
    units = [int(v) for v in exact]
    missing = round(sum(exact)) - sum(units)
    for i in sorted(range(len(exact)), key=lambda i: units[i] - exact[i])[:max(missing, 0)]:
        units[i] += 1
    out, n = [], 0
    for s in situations:
        out.append(units[n:n + len(s.dw)])
        n += len(s.dw)
    return out


def situation_lines(result, units_per_situation, z0, re_, speed_label, per_hour=PER_HOUR):
    """Lines of the *PARAMETER run sections, one remark line before each;
    the hours are those of apportion()."""
    lines = []
    for n, (s, units) in enumerate(zip(result.situations, units_per_situation), 1):
        remark = "** Situation %d: class %s, speed class %d (%s), %s h" % (
            n, s.stability, s.speed_class + 1, speed_label(s.speed_class),
            num(sum(units) / per_hour, 2))
        if s.calms:
            remark += ", %s h of them calms" % num(s.calms, 2)
        lines += [remark, "*PARAMETER run", "ua %s" % num(s.ua, 2), "lm %s" % num(s.lm, 1),
                  "z0 %s" % num(z0, 4)]
        if re_ != MODEL_RE:
            lines.append("re %s" % num(re_, 4))
        lines.append("dw " + " ".join(num(u / per_hour, 2) for u in units))
    return lines


@dataclass
class Section:
    word: str            # lower case, cut to two characters
    argument: str
    first: int           # index of the header line
    last: int            # index of the last line of the section
    in_loop: bool
    data: list = field(default_factory=list)  # (index, name, tokens)


@dataclass
class Group:
    """Neighbouring *PARAMETER run sections that the situations replace
    together: only remarks, listings other than of the receptor points and
    *TABELLE lie between them."""
    start: int           # where the generated sections go
    removed: set         # indices of the lines replaced
    carried: list        # lines of other parameters of the replaced sections
    runs: list           # line numbers (1-based) of the replaced sections
    ha: tuple = None     # (value m, line number) of the ha in force, if the template sets one


@dataclass
class Template:
    lines: list          # text lines with their line ends (Latin-1 decoded bytes)
    newline: str
    groups: list
    nw: int              # in force for the replaced sections
    re: float


def int_prefix(text):
    m = re.match(r"[+-]?\d+", text)
    return int(m.group(0)) if m else None


def float_prefix(text):
    m = re.match(r"[+-]?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?", text)
    return float(m.group(0)) if m else None


def split_sections(lines):
    sections, current, in_loop = [], None, False
    for i, raw in enumerate(lines):
        text = raw.rstrip(BLANKS)
        if i == 0 and text.startswith("-:"):
            continue
        if text.startswith("*"):
            if current is not None and (len(text) == 1 or text[1] in BLANKS):
                current.last = i  # "*" alone ends the section and goes with it
            current = None
            if len(text) == 1 or text[1] in BLANKS:
                continue
            head = text.split("'")[0]
            word, argument = re.match(r"([^ \t]*)[ \t]?(.*)", head).groups()
            word = word.lower()
            if word in ("*loop", "*next"):
                in_loop = word == "*loop"
                continue
            current = Section(word[:2], argument.strip(BLANKS), i, i, in_loop)
            sections.append(current)
            continue
        if current is None:
            continue
        current.last = i
        if not text or text[0] in BLANKS or text[0] == "-":
            continue
        tokens = [t for t in SEPARATORS.split(text.split("'")[0]) if t]
        if tokens:
            current.data.append((i, tokens[0].lower()[:2], tokens))
    return sections


def neutral(section):
    """A section that may lie between the run sections of one group: it
    neither changes the sources or the results nor writes them."""
    return section.word in ("**", "*t") or (section.word == "*l" and
                                            "pnt" not in section.argument.lower())


def read_template(path):
    """The template with its groups of *PARAMETER run sections marked for
    replacement. Two groups must be parted by *CLEAR: otherwise the model
    would add the hours of both to the same results."""
    try:
        with open(path, "rb") as fh:
            lines = fh.read().decode("latin-1").splitlines(keepends=True)
    except OSError as e:
        raise TemplateError("can't read template %s (%s)" % (path, e.strerror or e))
    name = os.path.basename(path)
    sections = split_sections(lines)
    runs = [k for k, s in enumerate(sections) if s.word == "*p" and "run" in s.argument]
    if not runs:
        raise TemplateError("template %s has no *PARAMETER run section to replace" % name)
    parts = [[runs[0]]]
    for a, b in zip(runs, runs[1:]):
        between = sections[a + 1:b]
        if all(neutral(s) for s in between):
            parts[-1].append(b)
            continue
        if not any(s.word == "*c" for s in between):
            raise TemplateError(
                "template %s lines %d and %d: two groups of *PARAMETER run sections without "
                "*CLEAR between them; the model would add the hours of both to the same results, "
                "so zirmet can't tell where the situations belong (put them in one group, or "
                "*CLEAR between the parts)" % (name, sections[a].first + 1, sections[b].first + 1))
        parts.append([b])
    groups = []
    for part in parts:
        removed, carried, seen = set(), [], {}
        for k in part:
            s = sections[k]
            if s.in_loop:
                raise TemplateError("template %s line %d: a *PARAMETER run section between *loop "
                                    "and *next can't be replaced" % (name, s.first + 1))
            first = s.first
            before = sections[k - 1] if k else None
            if before and before.word == "**" and not before.data and before.last == s.first - 1:
                first = before.first  # the section's remark goes with it
            removed.update(range(first, s.last + 1))
            for i, param, tokens in s.data:
                if param in OWN:
                    continue
                if param in seen and seen[param][1] != tokens[1:]:
                    raise TemplateError("template %s lines %d and %d: %s differs between the "
                                        "*PARAMETER run sections, and the situations replace both"
                                        % (name, seen[param][0] + 1, i + 1, param))
                if param not in seen:
                    seen[param] = (i, tokens[1:])
                    carried.append(lines[i].rstrip("\r\n"))
        groups.append(Group(min(removed), removed, carried,
                            [sections[k].first + 1 for k in part]))
    layouts = set()
    for g in groups:
        nw, re_ = MODEL_NW, MODEL_RE
        for s in sections:
            for i, param, tokens in s.data:
                value = tokens[1] if len(tokens) > 1 else ""
                if s.word == "*d" and param == "nw" and i < g.start and \
                        int_prefix(value) is not None:
                    nw = int_prefix(value)
                if s.word == "*p" and float_prefix(value) is not None and \
                        (i < g.start or i in g.removed):
                    if param == "re":
                        re_ = float_prefix(value)
                    elif param == "ha":
                        g.ha = (float_prefix(value), i + 1)
        layouts.add((nw, re_))
    if len(layouts) > 1:
        raise TemplateError("template %s: the groups of *PARAMETER run sections have different "
                            "sectors (nw, re); one set of situations can't serve them all" % name)
    nw, re_ = layouts.pop()
    newline = "\r\n" if lines[0].endswith("\r\n") else "\n"
    return Template(lines, newline, groups, nw, re_)


def parameter_block(comment, carried, ha):
    """The lines before the situations: the comment, then the other
    parameters of the replaced sections and ha (m), unless they carry it."""
    block = [comment]
    if ha is not None and not any(SEPARATORS.split(line.strip())[0].lower()[:2] == "ha"
                                  for line in carried):
        carried = carried + ["ha %s" % num(ha, 2)]
    if carried:
        block += ["*PARAMETER"] + carried
    return block


def fill_template(template, comment, situation_text, ha=None):
    """The complete command file as bytes: every group replaced by the
    situations in its place."""
    nl = template.newline
    starts = {g.start: g for g in template.groups}
    removed = set().union(*(g.removed for g in template.groups))
    out = []
    for i, line in enumerate(template.lines):
        if i in starts:
            block = parameter_block(comment, starts[i].carried, ha) + situation_text
            out += [text + nl for text in block]
        if i not in removed:
            out.append(line)
    return "".join(out).encode("latin-1")


def fragment(comment, situation_text, ha=None):
    block = parameter_block(comment, [], ha)
    return "".join(line + "\n" for line in block + situation_text).encode("latin-1")


class Staged:
    """Files written under temporary names, renamed into place together."""

    def __init__(self):
        self.files = []  # (temporary, final)

    def add(self, path, write):
        """Writes path's future content with write(binary file)."""
        self.files.append((zirtool.stage(path, write), path))

    def commit(self):
        for tmp, path in self.files:
            os.replace(tmp, path)
        self.files = []

    def discard(self):
        for tmp, _ in self.files:
            try:
                os.unlink(tmp)
            except OSError:
                pass
        self.files = []
