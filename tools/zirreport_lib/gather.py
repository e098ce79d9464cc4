"""What a finished run left in its working directory, gathered for the report.

Everything is read with the readers the other tools use: result grids with
zirmap_lib.dmna, the log and pnt.csv with zirmap_lib.runfiles, receptors.csv
with zirmap_lib.receptors, the command file with zirmet's section reader.
Numbers stay the files' numbers; nothing is computed here beyond sums of the
hours the command file gives.

A missing optional input leaves its part empty and adds a note (a key of the
texts with its arguments); a run that did not finish raises RunRefused.
"""

import glob
import hashlib
import os
import re
from dataclasses import dataclass, field

from zirmap_lib import dmna, receptors as receptor_names, runfiles
from zirmap_lib.mapplot import KIND_BY_MARK
from zirmap_lib.runfiles import RunFileError
from zirmet_lib.output import split_sections


class RunRefused(Exception):
    """The working directory holds no finished run; the text says why."""


# The model's defaults of what the report shows when the command file leaves it out.
DEFAULT_NW = 36                                      # wind sectors
DEFAULT_SITUATION = {"ua": "3", "lm": "0", "z0": "0.5"}
# Source columns of the result files' headers (groups) and of the log's listing.
SOURCE_KEYS = ["sqxq", "sqyq", "sqaq", "sqbq", "sqrq", "sqhq", "sqcq", "sqeq"]
LISTING_KEYS = ["Xq", "Yq", "Aq", "Bq", "Rq", "Hq", "Cq", "Eq"]
SOURCE_FIELDS = ["x", "y", "a", "b", "r", "h", "c", "e"]


@dataclass
class GridFile:
    path: str
    header: dmna.Header
    kind: str        # cnc, fro, frh, r90, or "" when the title is unknown
    role: str        # "total", "group", "za" (additional load), "frw" (weighted)
    group: str = ""
    factor: str = ""

    @property
    def name(self):
        return os.path.basename(self.path)


@dataclass
class Source:
    number: int
    group: str
    values: dict     # SOURCE_FIELDS -> text as the file gives it


@dataclass
class Situation:
    remark: str
    ua: str
    lm: str
    z0: str
    hours: float
    in_loop: bool


@dataclass
class Run:
    workdir: str
    log: runfiles.RunLog
    command_file: str = ""
    sections: list = field(default_factory=list)
    grids: list = field(default_factory=list)          # GridFile
    sources: list = field(default_factory=list)        # Source
    sources_from: str = ""                             # "header", "log" or "command"
    factors: dict = field(default_factory=dict)        # group -> factor text
    applicant: set = field(default_factory=set)        # groups of za 1
    situations: list = field(default_factory=list)
    settings: list = field(default_factory=list)       # (section, name, value text)
    vertical: dict = field(default_factory=dict)
    points: runfiles.PointTable = None
    receptors: dict = field(default_factory=dict)     # number -> zirmap_lib Receptor
    weather: dict = None                               # from zirmet's summary
    rose: str = ""                                     # path of the wind rose
    verification: dict = None
    files: list = field(default_factory=list)          # (path, role key, sha256)
    notes: list = field(default_factory=list)          # (section, text key, args)

    def note(self, section, key, *args):
        self.notes.append((section, key, args))

    def grid(self, role):
        """The first grid of frh of that role (the total: frh.dmna if there is one)."""
        found = [g for g in self.grids if g.role == role and g.kind == "frh"]
        found.sort(key=lambda g: g.name != "frh.dmna")
        return found[0] if found else None

    @property
    def origin(self):
        """National coordinates (E, N) of the model's origin from the headers, or None."""
        for g in self.grids:
            x, y = g.header.number("refx"), g.header.number("refy")
            if x is not None and y is not None:
                return x, y
        return None

    @property
    def epsg(self):
        for g in self.grids:
            code = g.header.first("epsg")
            if code:
                return code
        return ""


def sha256(path):
    h = hashlib.sha256()
    with open(path, "rb") as fh:
        for block in iter(lambda: fh.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()


def read_header(path):
    """The header of a data file, read with the data-file reader's own functions."""
    try:
        with open(path, "rb") as fh:
            raw = fh.read()
    except OSError as e:
        raise RunFileError("can't read %s (%s)" % (path, e.strerror or e))
    return dmna.Header(dmna.split_descriptor(raw)[0])


def classify(path, header):
    mark = (header.text("mark") or "").lower()
    kind = next((k for prefix, k in KIND_BY_MARK if mark.startswith(prefix)), "")
    stem = os.path.splitext(os.path.basename(path))[0].lower()
    group = header.text("sgrp")
    if group is None:  # files of runs without groups, or named as the model names them
        parts = stem.split("-", 1)
        group = parts[1] if len(parts) == 2 and parts[0] in ("cnc", "fro", "frh", "r90") \
            else ("frw" if stem == "frw" else "")
    if group == "frw":
        return GridFile(path, header, "frh", "frw")
    if not kind and stem[:3] in ("cnc", "fro", "frh", "r90"):
        kind = stem[:3]
    if group == "za":
        return GridFile(path, header, kind, "za")
    if group:
        return GridFile(path, header, kind, "group", group, header.first("fgrp") or "")
    return GridFile(path, header, kind, "total")


def command_file_name(workdir, log):
    """The command file the run read: odrcmd.txt or the option -i of its command line."""
    name = "odrcmd.txt"
    for arg in log.arguments[1:]:
        if arg.startswith("-i"):
            name = arg[2:].replace("\\", "/")
    base = name.rsplit("/", 1)[-1]
    if "." not in base:
        name += ".txt"
    if "/" in name and os.path.isfile(name):
        return name
    return os.path.join(workdir, name)


def tokens_value(tokens):
    return " ".join(tokens[1:])


def first_float(tokens, default):
    try:
        return float(tokens[1])
    except (IndexError, ValueError):
        return default


def read_command_file(run, path):
    """Situations, the vertical grid and the settings the command file gives."""
    try:
        with open(path, "rb") as fh:
            lines = fh.read().decode("cp1252", errors="replace").splitlines(keepends=True)
    except OSError as e:
        raise RunFileError("can't read the command file %s (%s)" % (path, e.strerror or e))
    run.command_file = path
    sections = split_sections(lines)
    run.sections = sections
    nw = DEFAULT_NW
    current = dict(DEFAULT_SITUATION)
    dw = None
    seen = set()
    for k, s in enumerate(sections):
        for _, name, tokens in s.data:
            if s.word == "*d" and name == "nw":
                nw = int(first_float(tokens, nw))
            if s.word == "*d" and name in ("nz", "dz"):
                run.vertical[name] = tokens_value(tokens)
            if s.word == "*p" and name == "zk" and len(tokens) > 1:
                run.vertical["zk"] = tokens[1:]
            if s.word == "*p" and name in current:
                current[name] = tokens[1] if len(tokens) > 1 else ""
            elif s.word == "*p" and name == "dw":
                dw = dw or [1.0] * nw
                for i, t in enumerate(tokens[1:nw + 1]):
                    try:
                        dw[i] = float(t)
                    except ValueError:
                        pass
            setting = (s.word in ("*d", "*_") or
                       (s.word == "*p" and name not in ("ua", "lm", "z0", "dw", "zk")) or
                       (s.word == "*q" and name in ("li", "lq", "ni")))
            if setting and (s.word, name, tokens_value(tokens)) not in seen:
                seen.add((s.word, name, tokens_value(tokens)))
                run.settings.append((s.word, name, tokens_value(tokens)))
        if s.word == "*p" and "run" in s.argument.lower().split():
            before = sections[k - 1] if k else None
            remark = before.argument if before is not None and before.word == "**" else ""
            hours = sum(dw) if dw else float(nw)
            run.situations.append(Situation(remark, current["ua"], current["lm"],
                                            current["z0"], hours, s.in_loop))


# The source parameters and their defaults, in the order of SOURCE_FIELDS.
SOURCE_PARAMETERS = [("xq", "0"), ("yq", "0"), ("aq", "0"), ("bq", "0"), ("rq", "0"),
                     ("hq", "10"), ("cq", "0"), ("eq", "1")]
GROUP_PARAMETERS = [("sg", ""), ("fg", "1"), ("za", "0")]


def command_file_sources(sections):
    """The sources in force at the end of the command file, each a dict of
    SOURCE_FIELDS and "group", "factor", "za": *QUELLE starts the list anew,
    *QUELLE add appends, and every parameter keeps its value from the section
    before. None when a *QUELLE section is repeated by *loop."""
    values = dict(SOURCE_PARAMETERS + GROUP_PARAMETERS)
    sources = None
    for s in sections:
        if s.word != "*q":
            continue
        if s.in_loop:
            return None
        for _, name, tokens in s.data:
            if name in values and len(tokens) > 1:
                values[name] = tokens[1]
        source = {f: values[p] for f, (p, _) in zip(SOURCE_FIELDS, SOURCE_PARAMETERS)}
        source.update(group=values["sg"].strip('"'), factor=values["fg"], za=values["za"])
        if s.argument.split()[:1] == ["add"] and sources is not None:
            sources.append(source)
        else:
            sources = [source]
    return sources


def read_sources(run):
    """The sources of the run: from the result files' source list (runs with
    groups), else from the log's listings (*LISTE src), else from the command
    file, which also tells the applicant's groups (za 1)."""
    listed = command_file_sources(run.sections) or []
    for source in listed:
        if source["group"]:
            run.factors.setdefault(source["group"], source["factor"])
            if first_float(["za", source["za"]], 0) == 1:
                run.applicant.add(source["group"])
    for g in run.grids:
        groups = g.header.tokens("sqsg")
        columns = [g.header.tokens(k) for k in SOURCE_KEYS]
        if groups is None or any(c is None or len(c) != len(groups) for c in columns):
            continue
        for n, group in enumerate(groups):
            run.sources.append(Source(n + 1, group, {f: c[n] for f, c in
                                                     zip(SOURCE_FIELDS, columns)}))
        run.sources_from = "header"
        return
    if run.log.sources:
        # The last listing is the list in force when the run ended.
        listing = run.log.sources[-1]
        for row in listing.rows:
            values = {f: row.get(k, "") for f, k in zip(SOURCE_FIELDS, LISTING_KEYS)}
            run.sources.append(Source(int(row["n"]), row.get("Gruppe", row.get("sg", "")),
                                      values))
        run.sources_from = "log"
        if len(run.log.sources) > 1:
            run.note("sources", "note_sources_last", len(run.log.sources))
        return
    if listed:
        run.sources = [Source(n, v["group"], v) for n, v in enumerate(listed, 1)]
        run.sources_from = "command"
        return
    run.note("sources", "note_no_sources")


def read_weather_summary(path):
    """The figures of zirmet's summary that the report shows; unknown lines
    are passed over, so that a summary with more lines still reads."""
    try:
        with open(path, encoding="utf-8", errors="replace") as fh:
            lines = fh.read().splitlines()
    except OSError as e:
        raise RunFileError("can't read %s (%s)" % (path, e.strerror or e))
    summary = {}
    # Key, then the value; a remark in parentheses after a number is left out.
    patterns = {"read": r"hours read\s+(\S+)(?:\s+\((.*)\))?",
                "skipped": r"hours skipped\s+(\S+)(?:\s+\(.*\))?",
                "used": r"hours used\s+(\S+)", "calms": r"calms\s+(\S+)(?:\s+\(.*\))?",
                "situations": r"situations\s+(\S+)", "data": r"zirmet:\s+(.*)",
                "ha": r"ha:\s+(.*)", "gaps": r"time gaps:\s+(.*)",
                "calm_share": r"calm share:\s+(.*)", "classes": r"class shares:\s+(.*)"}
    for line in lines:
        for key, pattern in patterns.items():
            m = re.fullmatch(pattern, line.strip())
            if m and key not in summary:
                summary[key] = m.group(1)
                if key == "read" and m.group(2):
                    m2 = re.match(r"(.+?) to (.+)$", m.group(2))
                    summary["period"] = (m2.group(1), m2.group(2)) if m2 else (m.group(2), "")
    if "used" not in summary and "read" not in summary:
        raise RunFileError("%s is not a summary of zirmet (no \"hours used\")" % path)
    return summary


def read_verification(path):
    """The date, the count of the checks and the judgements of the field data
    in scripts/verify.sh's report; failed when a check failed or a measure
    lies outside its band."""
    try:
        with open(path, encoding="utf-8", errors="replace") as fh:
            lines = fh.read().splitlines()
    except OSError as e:
        raise RunFileError("can't read %s (%s)" % (path, e.strerror or e))
    made = next((re.sub(r"[`*]", "", line) for line in lines
                 if line.startswith("Produced by")), "")
    counts = [line for line in lines if re.match(r"\d+ checks?, \d+ passed, \d+ failed", line)]
    judged, heading = [], ""
    for line in lines:
        if line.startswith("### "):
            heading = line[4:].strip()
        elif line.startswith("Judged: "):
            judged.append((heading + ": " if heading else "") + line[len("Judged: "):])
    failed = any(re.search(r", [1-9]\d* failed", line) for line in counts) or \
        any(not j.endswith("inside the band") for j in judged)
    return {"path": path, "made": made, "counts": counts, "judged": judged, "failed": failed}


def gather(workdir, log_name="odrlog.txt", receptors=None, summary=None, rose=None,
           verification=None):
    """Everything the report needs from workdir; raises RunRefused for a run that
    did not finish and RunFileError for an input that cannot be read."""
    log_path = os.path.join(workdir, log_name)
    if not os.path.isfile(log_path):
        raise RunRefused("%s has no log %s: run the model first" % (workdir, log_name))
    log = runfiles.read_log(log_path)
    if not log.started:
        raise RunRefused("%s is not a log of the model (no start line)" % log_path)
    if not log.finished:
        why = "ended with an error" if log.closing.startswith("*** error exit") \
            else "did not finish (no closing line FINISHED)"
        # The first error is the cause; the later ones are its callers' reports.
        cause = ' (first "%s")' % log.errors[0][4:].strip() if log.errors else ""
        raise RunRefused("the run in %s %s%s: a report is made of finished runs only"
                         % (workdir, why, cause))
    run = Run(workdir, log)
    run.files.append((log_path, "file_log"))

    cmd = command_file_name(workdir, log)
    if os.path.isfile(cmd):
        read_command_file(run, cmd)
        run.files.insert(0, (cmd, "file_cmd"))
    else:
        run.note("weather", "note_no_cmd", cmd)

    for path in sorted(glob.glob(os.path.join(workdir, "*.dmna"))):
        g = classify(path, read_header(path))
        run.grids.append(g)
        if g.kind == "frh" or g.role == "frw":
            run.files.append((path, "file_grid"))
        if g.role == "group" and g.group not in run.factors:
            run.factors[g.group] = g.factor
    totals = [g.name for g in run.grids if g.role == "total" and g.kind == "frh"]
    if not totals:
        run.note("results", "note_no_frh")
    elif len(totals) > 1:
        # Parts after *CLEAR under names of their own: the files of fixed names
        # (pnt.csv, the groups' and the additional load's) hold the last part.
        run.note("results", "note_several", len(totals), ", ".join(totals))
    read_sources(run)

    pnt = os.path.join(workdir, "pnt.csv")
    if os.path.isfile(pnt):
        run.points = runfiles.read_points(pnt)
        run.files.append((pnt, "file_points"))
    else:
        run.note("results", "note_no_points")
    receptors = receptors or os.path.join(workdir, "receptors.csv")
    if os.path.isfile(receptors):
        run.receptors = receptor_names.read_receptors(receptors)
        run.files.append((receptors, "file_receptors"))
    elif run.points is not None:
        run.note("results", "note_no_receptors", os.path.basename(receptors))

    summary = summary or os.path.join(workdir, "zirmet-summary.txt")
    if os.path.isfile(summary):
        run.weather = read_weather_summary(summary)
        run.files.append((summary, "file_summary"))
    else:
        run.note("weather", "note_no_summary", os.path.basename(summary))
    rose = rose or os.path.join(workdir, "windrose.png")
    if os.path.isfile(rose):
        run.rose = rose
        run.files.append((rose, "file_rose"))
    else:
        run.note("weather", "note_no_rose", os.path.basename(rose))

    if verification and os.path.isfile(verification):
        run.verification = read_verification(verification)
        run.files.append((verification, "file_verification"))
    else:
        run.note("warnings", "note_no_verification")
    run.files = [(p, role, sha256(p)) for p, role in run.files]
    return run
