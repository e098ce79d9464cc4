"""Reader of ".dmna" data files as the model writes them.

A descriptor file holds header lines (key, separators, value) up to a line
that begins with "*". The data follow as text in the same file, or live in a
separate ".dmnt" (text) or ".dmnb" (binary) file. The header keys "dims",
"size", "lowb" and "hghb" give the shape of the array, "form" the layout of
one element, "sequ" the order in which the elements were written and "fact"
the factor by which text values were multiplied.

Every failure raises DmnaError with a one-line message; nothing here prints.
"""

import os
import re
from dataclasses import dataclass, field

import numpy as np

ENCODING = "cp1252"
HEADER_SEPARATORS = " =\t\r\n"
VALUE_DELIMITERS = " ;\t"
DATA_DELIMITERS = re.compile(r"[ ;\t\r\n]+")
SEQUENCE_DELIMITERS = "|:,;"
MAX_DIMS = 5
MAX_PRINT = 1000  # width and precision of a conversion at most


class DmnaError(Exception):
    """A data file that cannot be read; the text says why."""


def tokenize(text, delimiters):
    """Splits text into tokens; a token in double quotes may hold delimiters.

    An unterminated quote runs to the end of the text; "" gives an empty token.
    """
    tokens = []
    pos, n = 0, len(text)
    while True:
        while pos < n and text[pos] in delimiters:
            pos += 1
        if pos >= n:
            return tokens
        if text[pos] == '"':
            end = text.find('"', pos + 1)
            if end < 0:
                tokens.append(text[pos + 1:])
                return tokens
            tokens.append(text[pos + 1:end])
            pos = end + 1
        else:
            end = pos
            while end < n and text[end] not in delimiters:
                end += 1
            tokens.append(text[pos:end])
            pos = end


def c_int_prefix(text):
    """The integer that C's "%d" reads from the start of text, or None."""
    m = re.match(r"\s*([+-]?\d+)", text)
    return int(m.group(1)) if m else None


# A number as the model writes it, whole: a cut one ("3.2420e-") or nan and
# inf are no values of a data file.
REAL = r"[+-]?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?"
REAL_TOKEN = re.compile(REAL + r"\Z")
REAL_TOKENS = re.compile(r"(?:%s\n)*\Z" % REAL)


def c_float_prefix(text):
    """The number that C's "%f" reads from the start of text, or None."""
    m = re.match(r"\s*([+-]?(?:(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?|inf(?:inity)?|nan))",
                 text, re.IGNORECASE)
    return float(m.group(1)) if m else None


class Header:
    """The header lines of a descriptor, looked up by key like the model does."""

    def __init__(self, lines):
        self.lines = list(lines)

    def value(self, key):
        """Value text of the first line that begins with key, or None."""
        k = len(key)
        for line in self.lines:
            if len(line) >= k and line[:k].lower() == key.lower() and \
                    (len(line) == k or line[k] in HEADER_SEPARATORS):
                rest = line[k:]
                i = 0
                while i < len(rest) and rest[i] in HEADER_SEPARATORS:
                    i += 1
                return rest[i:].rstrip(" \t\r\n")
        return None

    def tokens(self, key):
        value = self.value(key)
        return None if value is None else tokenize(value, VALUE_DELIMITERS)

    def first(self, key):
        """First token of the key's value; None when the key or a token is missing."""
        tokens = self.tokens(key)
        return tokens[0] if tokens else None

    def text(self, key):
        """A title text: the quoted token, or the whole value when unquoted."""
        value = self.value(key)
        if value is None:
            return None
        if value.startswith('"'):
            return tokenize(value, VALUE_DELIMITERS)[0]
        return value

    def ints(self, key):
        tokens = self.tokens(key)
        if tokens is None:
            return None
        values = []
        for t in tokens:
            v = c_int_prefix(t)
            if v is None:
                raise DmnaError('invalid value "%s" of "%s"' % (t, key))
            values.append(v)
        return values

    def number(self, key):
        """First value of the key as a float; None when the key is missing."""
        token = self.first(key)
        if token is None:
            return None
        v = c_float_prefix(token)
        if v is None:
            raise DmnaError('invalid value "%s" of "%s"' % (token, key))
        return v


# Element layout ------------------------------------------------------------

# Storage kinds of the format's conversion characters: numpy type and size.
KINDS = {
    "c": ("u1", 1),   # character
    "h": ("<i2", 2),  # short integer
    "i": ("<i4", 4),  # integer
    "f": ("<f4", 4),  # float
    "d": ("<f8", 8),  # double
}

ESCAPES = {'"': '"', "'": "'", "\\": "\\", "b": "\b", "f": "\f", "n": "\n",
           "r": "\r", "t": "\t", "v": "\v", "~": " "}


@dataclass
class Field:
    name: str
    kind: str          # key of KINDS
    conv: str          # conversion character as written (d, x, e, ...)
    width: int         # 0: not printed in text data; -1: as wide as the value
    factor: float = 1.0

    @property
    def size(self):
        return KINDS[self.kind][1]

    @property
    def is_real(self):
        return self.kind in ("f", "d")


def decode_escapes(text):
    out, i = [], 0
    while i < len(text):
        ch = text[i]
        if ch == "\\" and i + 1 < len(text) and text[i + 1] in ESCAPES:
            out.append(ESCAPES[text[i + 1]])
            i += 2
        else:
            out.append(ch)
            i += 1
    return "".join(out)


def parse_format(form):
    """Fields of an element format such as "%12.4e", "A%[3]f" or "%(*1000)10.1f"."""
    def bad(why):
        return DmnaError('invalid format "%s": %s' % (form, why))

    fields = []
    pos = 0
    while True:
        pct = form.find("%", pos)
        if pct < 0:
            return fields
        name = form[pos:pct][:39]
        p = pct + 1
        count = 1
        if form.startswith("[", p):
            close = form.find("]", p)
            if close < 0:
                raise bad('missing "]"')
            count = c_int_prefix(form[p + 1:close])
            if count is None:
                raise bad("unreadable repetition")
            if count < 0:
                raise bad("negative repetition")
            p = close + 1
        factor = 1.0
        if form.startswith("(", p):
            close = form.find(")", p)
            if close < 0:
                raise bad('missing ")"')
            if not form.startswith("*", p + 1):
                raise bad('factor without "*"')
            factor = c_float_prefix(form[p + 2:close])
            if factor is None:
                raise bad("unreadable factor")
            p = close + 1
        m = re.compile(r"[-+.0-9]*").match(form, p)
        width_text = m.group(0)
        if len(width_text) > 19:
            raise bad("width too long")
        # [sign][width][.[precision]], each at most 1000, as the model reads
        # it; without a width the value is printed as wide as it is.
        w = re.fullmatch(r"[+-]?(\d*)(?:\.(\d*))?", width_text)
        if w is None:
            raise bad('unreadable width "%s"' % width_text)
        if any(len(d) > 4 or int(d) > MAX_PRINT for d in w.groups() if d):
            raise bad('width or precision beyond %d in "%s"' % (MAX_PRINT, width_text))
        width = int(w.group(1)) if w.group(1) else -1
        p = m.end()
        modifier = ""
        if p < len(form) and form[p] in "hl":
            modifier = form[p]
            p += 1
        conv = form[p] if p < len(form) else ""
        if conv == "c":
            kind = "c"
        elif conv and conv in "dioux":
            kind = "h" if modifier == "h" else "i"
        elif conv and conv in "efg":
            kind = "d" if modifier == "l" else "f"
        else:
            raise bad('unknown conversion "%s"' % conv)
        for _ in range(count):
            fields.append(Field(name, kind, conv, width, factor))
            if name:
                name = name[:-1] + chr(ord(name[-1]) + 1)
        pos = p + 1


def convert_token(token, fld):
    """Converts one text token with the field's input conversion, or None."""
    if fld.is_real:
        v = float(token) if REAL_TOKEN.match(token) else None
        return v if v is not None and np.isfinite(v) else None
    if fld.kind == "c":
        v = c_int_prefix(token)
        return v if v is not None else (ord(token[0]) & 0xFF if token else None)
    base = {"o": 8, "x": 16, "i": 0}.get(fld.conv, 10)
    m = re.fullmatch(r"[+-]?(0[xX][0-9a-fA-F]+|[0-9a-fA-F]+)" if base in (0, 16)
                     else r"[+-]?\d+", token)
    if not m:
        return None
    try:
        return int(m.group(0), base)
    except ValueError:
        return None


# Index sequences -----------------------------------------------------------

def parse_sequence(spec, lower, upper):
    """Maps an index sequence such as "j-,i+" onto an array with the given bounds.

    Returns (view_shape, index_arrays): index_arrays[d] holds, for every element
    of the view in its order, the array's own index in dimension d (offset from
    lower[d]), so array[tuple(index_arrays)] = view_values places the data.
    """
    ndim = len(lower)
    selection = [None] * ndim
    view_dims = []  # source dimension of each view dimension, in token order
    for token in tokenize(spec, SEQUENCE_DELIMITERS):
        if not token:
            continue
        s = ord(token[0]) - ord("i")
        if s < 0 or s >= ndim:
            raise DmnaError('invalid index %s in sequence "%s" (dims=%d)' % (token[0], spec, ndim))
        # As the model: each index once, and nothing after a sign.
        if selection[s] is not None:
            raise DmnaError('index %s named twice in sequence "%s"' % (token[0], spec))
        op = token[1:2]
        if op == "=":
            rest = token[2:]
            a = c_int_prefix(rest)
            if a is None:
                a = lower[s]
            if not lower[s] <= a <= upper[s]:
                raise DmnaError('invalid range %s in sequence "%s" (%d..%d)' % (token, spec, lower[s], upper[s]))
            if ".." in rest:
                after = rest[rest.index("..") + 2:]
                b = c_int_prefix(after)
                if b is None:
                    b = upper[s]
                if not lower[s] <= b <= upper[s]:
                    raise DmnaError('invalid range %s in sequence "%s" (%d..%d)' % (token, spec, lower[s], upper[s]))
                selection[s] = (a, b)
                view_dims.append(s)
            else:
                selection[s] = (a, a)
        elif op in ("+", "-") and token[2:]:
            raise DmnaError('invalid specification %s in sequence "%s"' % (token, spec))
        elif op == "+":
            selection[s] = (lower[s], upper[s])
            view_dims.append(s)
        elif op == "-":
            selection[s] = (upper[s], lower[s])
            view_dims.append(s)
        else:
            raise DmnaError('invalid specification %s in sequence "%s"' % (token, spec))
    for d in range(ndim):
        if selection[d] is None:
            raise DmnaError('undefined index %s in sequence "%s"' % (chr(ord("i") + d), spec))

    shape = tuple(abs(selection[s][1] - selection[s][0]) + 1 for s in view_dims)
    grids = np.indices(shape, dtype=np.int64) if shape else []
    index_arrays = []
    for d in range(ndim):
        a, b = selection[d]
        step = -1 if b < a else 1
        source_index = np.full(shape, a - lower[d], dtype=np.int64)
        for t, s in enumerate(view_dims):
            if s == d:
                source_index = a - lower[d] + step * grids[t]
        index_arrays.append(source_index.ravel())
    return shape, index_arrays


# Reading ---------------------------------------------------------------------

@dataclass
class DataFile:
    """A data file read into memory: the array and its header."""
    path: str
    header: Header
    lower: list
    upper: list
    fields: list
    field_index: int
    values: np.ndarray          # the chosen field, float64, shape of the bounds
    all_fields: dict = field(default_factory=dict)

    @property
    def dims(self):
        return len(self.lower)


def split_descriptor(raw):
    """Header lines (text) and the bytes after the "*" line of a descriptor."""
    header, pos = [], 0
    while pos < len(raw):
        end = raw.find(b"\n", pos)
        if end < 0:
            end = len(raw)
        line = raw[pos:end]
        pos = end + 1
        if line.startswith(b"*"):
            return header, raw[pos:], True
        header.append(line.decode(ENCODING, errors="replace").rstrip("\r"))
    return header, b"", False


def descriptor_path(name):
    name = name.replace("\\", "/")
    if os.path.isfile(name):
        return name
    if not name.lower().endswith(".dmna"):
        return name + ".dmna"
    return name


def select_field(fields, which, stored):
    """Index of the field to map: by 1-based number or name; default the first
    real field that the data hold (stored: indices of the fields in the data)."""
    if which is None:
        for n, f in enumerate(fields):
            if f.is_real and n in stored:
                return n
        return min(stored)
    if str(which).isdigit():
        n = int(which) - 1
        if not 0 <= n < len(fields):
            raise DmnaError("field %s not in the format (%d fields)" % (which, len(fields)))
        return n
    for n, f in enumerate(fields):
        if f.name == which:
            return n
    raise DmnaError('no field named "%s" in the format' % which)


def read_text_values(data, count, fields, path, fact):
    """Values of count elements from text data; returns one float64 array per field."""
    text = data.decode(ENCODING, errors="replace")
    printed = [f for f in fields if f.width != 0]
    needed = count * len(printed)
    lines = text.split("\n")
    # The writer ends the data with "***": without it the file was cut short,
    # perhaps inside its last number.
    end = next((k for k, line in enumerate(lines) if line.startswith("***")), None)
    if end is None:
        raise DmnaError('%s is truncated: the end mark "***" is missing' % path)
    tokens = []
    line_of = []
    for lineno, line in enumerate(lines[:end], 1):
        for t in DATA_DELIMITERS.split(line):
            if t:
                tokens.append(t)
                line_of.append(lineno)
    if len(tokens) < needed:
        raise DmnaError("%s holds %d values, dims/lowb/hghb need %d"
                        % (path, len(tokens), needed))
    if len(tokens) > needed:
        raise DmnaError("%s holds more values than dims/lowb/hghb describe (%d, not %d)"
                        % (path, len(tokens), needed))
    columns = {}
    nf = len(printed)
    for k, f in enumerate(printed):
        div = fact * f.factor if f.is_real else 1.0
        if f.is_real and REAL_TOKENS.match("\n".join(tokens[k::nf]) + "\n"):
            col = np.array(tokens[k::nf], dtype=np.float64)
            if np.isfinite(col).all():
                columns[id(f)] = col / div
                continue
        col = np.empty(count, dtype=np.float64)
        for n in range(count):
            t = tokens[n * nf + k]
            v = convert_token(t, f)
            if v is None:
                raise DmnaError('can\'t read item "%s" in line %d of %s' % (t, line_of[n * nf + k], path))
            col[n] = v / div if f.is_real else v
        columns[id(f)] = col
    return columns


def read_binary_values(data, count, fields, size, path):
    """Values of count elements of size bytes each from binary data."""
    total = sum(f.size for f in fields)
    printed = [f for f in fields if f.width != 0]
    if total == size:
        stored = fields
    elif sum(f.size for f in printed) == size:
        stored = printed
    else:
        raise DmnaError("format of %d bytes does not match element size %d in %s"
                        % (total, size, path))
    if len(data) != count * size:
        raise DmnaError("%s holds %d bytes, dims/lowb/hghb and size need %d"
                        % (path, len(data), count * size))
    dtype = np.dtype([("f%d" % n, KINDS[f.kind][0]) for n, f in enumerate(stored)])
    records = np.frombuffer(data, dtype=dtype, count=count)
    return {id(f): records["f%d" % n].astype(np.float64) for n, f in enumerate(stored)}


def read_dmna(name, field_choice=None):
    """Reads a data file (the descriptor name, with or without ".dmna")."""
    path = descriptor_path(name)
    try:
        with open(path, "rb") as fh:
            raw = fh.read()
    except OSError as e:
        raise DmnaError("can't open descriptor file %s (%s)" % (path, e.strerror or e))
    lines, rest, has_star = split_descriptor(raw)
    header = Header(lines)
    if not lines and not has_star:
        raise DmnaError("%s is empty" % path)

    size = header.ints("size")
    if not size or len(size) != 1:
        raise DmnaError('missing parameter "size" in file %s' % path)
    size = size[0]
    if size <= 0:
        raise DmnaError('invalid element size %d in file %s' % (size, path))
    dims = header.ints("dims")
    if not dims or len(dims) != 1:
        raise DmnaError('missing parameter "dims" in file %s' % path)
    dims = dims[0]
    if not 1 <= dims <= MAX_DIMS:
        raise DmnaError("invalid number (%d) of dimensions in file %s" % (dims, path))
    lower, upper = header.ints("lowb"), header.ints("hghb")
    if lower is None or upper is None or len(lower) != dims or len(upper) != dims:
        raise DmnaError('"lowb"/"hghb" do not give %d bounds in file %s' % (dims, path))
    for d in range(dims):
        if upper[d] < lower[d]:
            raise DmnaError("upper bound %d below lower bound %d of index %s in file %s"
                            % (upper[d], lower[d], chr(ord("i") + d), path))
    extents = tuple(u - l + 1 for l, u in zip(lower, upper))
    count = int(np.prod(extents))

    mode = header.first("mode")
    binary = mode is None or mode.lower() == "binary"
    form = header.first("form")
    if form is None:
        if size % 4:
            raise DmnaError("element size %d without a format in file %s" % (size, path))
        fields = [Field("", "f", "f", 10) for _ in range(size // 4)]
    else:
        fields = parse_format(decode_escapes(form))
        if not fields:
            raise DmnaError('format "%s" has no fields in file %s' % (form, path))
    fact = header.number("fact")
    if fact is None or not fact > 0:
        fact = 1.0

    sequ = header.first("sequ")
    if sequ:
        view_shape, index_arrays = parse_sequence(sequ, lower, upper)
        view_count = int(np.prod(view_shape)) if view_shape else 1
    else:
        view_shape, index_arrays, view_count = extents, None, count

    data_name = header.first("data")
    separate = binary or (data_name not in (None, "", "*"))
    if separate:
        directory = os.path.dirname(path)
        ext = ".dmnb" if binary else ".dmnt"
        if data_name in (None, "", "*"):
            data_path = path[:-5] + ext if path.lower().endswith(".dmna") else path + ext
        else:
            data_path = os.path.join(directory, data_name.replace("\\", "/"))
            if not os.path.isfile(data_path) or not data_path.endswith(ext):
                data_path += ext
        try:
            with open(data_path, "rb") as fh:
                data = fh.read()
        except OSError as e:
            raise DmnaError("can't open data file %s (%s)" % (data_path, e.strerror or e))
    else:
        if not has_star:
            raise DmnaError('no "*" line ends the header of %s' % path)
        data, data_path = rest, path

    if binary:
        columns = read_binary_values(data, view_count, fields, size, data_path)
    else:
        columns = read_text_values(data, view_count, fields, data_path, fact)
    stored = [n for n, f in enumerate(fields) if id(f) in columns]
    if not stored:
        raise DmnaError('format "%s" prints no field (all widths 0) in %s' % (form, path))
    chosen = select_field(fields, field_choice, stored)
    if chosen not in stored:
        raise DmnaError("field %d is not stored in %s (width 0)" % (chosen + 1, data_path))

    def place(flat):
        if index_arrays is None:
            return flat.reshape(extents)
        out = np.zeros(extents, dtype=np.float64)
        out[tuple(index_arrays)] = flat
        return out

    all_fields = {n: place(columns[id(fields[n])]) for n in stored}
    return DataFile(path, header, lower, upper, fields, chosen, all_fields[chosen], all_fields)


# Result grids ----------------------------------------------------------------

@dataclass
class Source:
    """A source of the header's source list (metres, degrees, model coordinates)."""
    group: str
    x: float
    y: float
    a: float = 0.0     # side a, turned rot degrees counter-clockwise from east
    b: float = 0.0     # side b, 90 degrees further
    rot: float = 0.0

    @property
    def is_area(self):
        return self.a > 0 or self.b > 0


@dataclass
class Grid:
    """A two-dimensional result grid: values[i, j] at x[i], y[j] (metres).

    origin: national coordinates (refx, refy) of the model's (0, 0), or None;
    epsg: their coordinate system, or None; sources: the header's source
    list (runs with source groups), else empty.
    """
    path: str
    values: np.ndarray
    x: np.ndarray
    y: np.ndarray
    delt: float
    title: str
    mark: str
    header: Header = None
    origin: tuple = None
    epsg: int = None
    sources: list = field(default_factory=list)
    group: str = ""    # "sgrp": a source group, "za" (additional load) or "frw"


# Header keys of the source list, one value per source: group, position,
# sides and rotation of an area.
SOURCE_KEYS = ("sqsg", "sqxq", "sqyq", "sqaq", "sqbq", "sqrq")


def header_sources(header):
    """The source list of a header (keys sqsg, sqxq, ...); [] without one."""
    columns = [header.tokens(k) for k in SOURCE_KEYS]
    if columns[1] is None or columns[2] is None:
        return []
    n = len(columns[1])
    if any(c is not None and len(c) != n for c in columns):
        raise DmnaError("the source lines %s of the header differ in length" % ", ".join(SOURCE_KEYS))
    sources = []
    for k in range(n):
        numbers = []
        for key, column in zip(SOURCE_KEYS[1:], columns[1:]):
            if column is None:
                numbers.append(0.0)
                continue
            v = c_float_prefix(column[k])
            if v is None:
                raise DmnaError('invalid value "%s" of "%s"' % (column[k], key))
            numbers.append(v)
        group = columns[0][k] if columns[0] is not None else ""
        sources.append(Source(group, *numbers))
    return sources


def read_grid(name, field_choice=None):
    """Reads a result grid: a two-dimensional data file with xmin, ymin and delt."""
    df = read_dmna(name, field_choice)
    h = df.header
    if df.dims != 2:
        raise DmnaError("%s has %d dimensions, a map needs 2" % (df.path, df.dims))
    missing = [k for k in ("xmin", "ymin", "delt") if h.value(k) is None]
    if missing:
        raise DmnaError("header of %s lacks the grid keys %s" % (df.path, ", ".join(missing)))
    xmin, ymin, delt = h.number("xmin"), h.number("ymin"), h.number("delt")
    if not delt > 0:
        raise DmnaError('invalid mesh width "delt" %g in %s' % (delt, df.path))
    x = xmin + np.arange(df.lower[0], df.upper[0] + 1) * delt
    y = ymin + np.arange(df.lower[1], df.upper[1] + 1) * delt
    title = h.text("idnt") or ""
    mark = h.text("mark") or ""
    refx, refy = h.number("refx"), h.number("refy")
    origin = (refx, refy) if refx is not None and refy is not None else None
    epsg = h.ints("epsg")
    epsg = epsg[0] if epsg and epsg[0] > 0 else None
    return Grid(df.path, df.values, x, y, delt, title, mark, h, origin, epsg, header_sources(h),
                h.text("sgrp") or "")
