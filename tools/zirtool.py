"""What the companion tools share: their message line, their command-line
errors, their entry point and files that appear whole or not at all."""

import argparse
import os
import sys
import tempfile


def error(tag, text):
    """One message line on standard error in the system's style."""
    sys.stderr.write("*** %s! (%s)\n" % (text, tag))


def warning(tag, text):
    """One warning line on standard error in the system's style."""
    sys.stderr.write("--- %s! (%s)\n" % (text, tag))


class UsageError(Exception):
    """A bad command line; the text says what is wrong."""


class Parser(argparse.ArgumentParser):
    """argparse with its errors as UsageError, so that the tool reports them
    in its own style instead of argparse's "prog: error: ..."."""

    def error(self, message):
        raise UsageError(message)


def numpy_missing():
    """None when numpy and matplotlib can be imported, else the message that
    says how to get them."""
    try:
        import numpy  # noqa: F401
        import matplotlib  # noqa: F401
    except ImportError as e:
        return ("%s; install the packages python3-numpy and python3-matplotlib "
                "(scripts/setup.sh does) and run with /usr/bin/python3" % e)
    return None


def read_text(path, fail):
    """The text of a file in UTF-8 (a byte-order mark dropped), or in
    Windows-1252 as a spreadsheet or an older program may save it. A file
    that cannot be read raises fail(message)."""
    try:
        with open(path, "rb") as fh:
            raw = fh.read()
    except OSError as e:
        raise fail("can't read %s (%s)" % (path, e.strerror or e))
    try:
        return raw.decode("utf-8-sig")
    except UnicodeDecodeError:
        return raw.decode("cp1252", errors="replace")


def run(main, tag, internal_code):
    """Runs main() and exits with its code; no traceback reaches the user."""
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        error(tag, "interrupted")
        sys.exit(130)
    except BrokenPipeError:
        # The reader of the standard output went away (... | head); what
        # the tool writes to files is complete by then.
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        sys.exit(0)
    except SystemExit:
        raise
    except Exception as e:  # a fault of the tool itself, reported in one line
        error(tag, "internal error: %s: %s" % (type(e).__name__, e))
        sys.exit(internal_code)


def stage(path, write):
    """Writes path's future content with write(binary file) into a temporary
    file beside it and returns that file's name; rename it into place with
    os.replace. On failure nothing is left behind."""
    fd, tmp = tempfile.mkstemp(prefix=".zir-", dir=os.path.dirname(os.path.abspath(path)))
    try:
        with os.fdopen(fd, "wb") as fh:
            write(fh)
        os.chmod(tmp, 0o644)
    except BaseException:
        os.unlink(tmp)
        raise
    return tmp
