"""Headless Chromium from the distribution's package: prints the report to
PDF, renders a page to a PNG and gives a page's text as the browser built
it (the last two for checking the report).

Every call starts the browser with a new empty profile that is removed
afterwards, with its network services off; the page itself loads nothing.
"""

import os
import pathlib
import shutil
import subprocess
import tempfile

FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync"]
CANDIDATES = ("chromium", "chromium-browser")
TIMEOUT = 180  # s; a report prints in a few seconds


class BrowserMissing(Exception):
    """No Chromium to run."""


class BrowserFailed(Exception):
    """Chromium ran but did not produce what was asked; the text says why."""


def find(path=None):
    """The browser to run: path when given, else chromium on the PATH."""
    if path:
        if os.path.isfile(path) and os.access(path, os.X_OK):
            return path
        raise BrowserMissing("no browser %s" % path)
    for name in CANDIDATES:
        found = shutil.which(name)
        if found:
            return found
    raise BrowserMissing("no chromium on the PATH")


def run(browser, args, page):
    """Runs the browser on the HTML file page; returns its standard output."""
    profile = tempfile.mkdtemp(prefix="zirreport-chromium-")
    try:
        done = subprocess.run([browser, *FLAGS, "--user-data-dir=" + profile, *args,
                               pathlib.Path(os.path.abspath(page)).as_uri()],
                              capture_output=True, timeout=TIMEOUT, stdin=subprocess.DEVNULL)
    except subprocess.TimeoutExpired:
        raise BrowserFailed("%s did not finish within %d s" % (browser, TIMEOUT))
    except OSError as e:
        raise BrowserMissing("can't start %s (%s)" % (browser, e.strerror or e))
    finally:
        shutil.rmtree(profile, ignore_errors=True)
    if done.returncode != 0:
        last = done.stderr.decode("utf-8", errors="replace").strip().splitlines()[-1:]
        raise BrowserFailed("%s ended with exit code %d%s" % (
            browser, done.returncode, (": " + last[0]) if last else ""))
    return done.stdout


def _render(browser, page, target, args, magic):
    """Lets the browser write target through a temporary file beside it, which
    is renamed into place only when it holds what was asked."""
    fd, tmp = tempfile.mkstemp(prefix=".zir-", suffix=os.path.splitext(target)[1],
                               dir=os.path.dirname(os.path.abspath(target)))
    os.close(fd)
    try:
        os.unlink(tmp)  # the browser writes it anew; an empty leftover would pass for output
        run(browser, [a.replace("{out}", tmp) for a in args], page)
        try:
            with open(tmp, "rb") as fh:
                head = fh.read(len(magic))
        except OSError:
            head = b""
        if head != magic:
            raise BrowserFailed("%s wrote no %s" % (browser, os.path.basename(target)))
        os.chmod(tmp, 0o644)
        os.replace(tmp, target)
    finally:
        if os.path.exists(tmp):
            os.unlink(tmp)


def print_pdf(browser, page, pdf):
    """Prints the HTML file page to pdf (A4 as the page's @page rule asks)."""
    _render(browser, page, pdf, ["--no-pdf-header-footer", "--print-to-pdf={out}"], b"%PDF")


def screenshot(browser, page, png, width=1240, height=1754):
    """Renders the top of the page into a PNG of width x height pixels."""
    _render(browser, page, png, ["--hide-scrollbars", "--window-size=%d,%d" % (width, height),
                                 "--screenshot={out}"], b"\x89PNG")


def dump_dom(browser, page):
    """The page's document as the browser parsed it (HTML text)."""
    return run(browser, ["--dump-dom"], page).decode("utf-8", errors="replace")
