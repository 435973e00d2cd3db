"""Crash reports of programs in the test prefix, and which of them are Wine's own documented faults.

Every prefix the e2e suite boots runs Wine's debugger on any unhandled exception (AeDebug) and appends its
report to one log (wine.WinePrefix.crash_log). The report is taken from the crash itself, not from a second
run under a debugger, so it cannot differ from the crash it describes.

A crash is let through only when its innermost frame is a Wine module at a function listed in
PLATFORM_FAULTS, each of which the README's "Known issues" names. Anything else fails the test: a frame in
Pagerift, an unknown Wine fault, or a crash with no readable report."""
import re
from dataclasses import dataclass, field

# (Wine module, function of the innermost frame): why it is Wine's and not ours.
PLATFORM_FAULTS = {
    ("gdi32", "GPOS_apply_MarkToLigature"):
        "Wine 8's Uniscribe reads the glyph before the first one of a run (glyphs[0 - 1] with an unsigned "
        "index) when a run starts with a mark of the font's mark-to-ligature table, such as DejaVu Sans's "
        "small tilde U+02DC (cp1252 0x98); an edit control that is given such a text faults",
}

_START = re.compile(r"^Unhandled exception: (.*)$", re.M)
_FRAME = re.compile(r"^(?:=>)?\s*(\d+) 0x[0-9a-fA-F]+ (?:(?!in )([A-Za-z_][\w@?$]*)(?=[+( ]))?")
_MODULE = re.compile(r" in ([\w.-]+)(?: \(\+0x[0-9a-fA-F]+\))? \((?:0x)?[0-9a-fA-F]+\)\s*$")
_DEBUGGEE = re.compile(r"^[0-9a-fA-F]{8} \(D\) (.+?)\s*$", re.M)


@dataclass
class Crash:
    exception: str
    debuggee: str = ""                           # the crashed program's Windows path
    frames: list = field(default_factory=list)   # [(function or None, module or None)], innermost first
    text: str = ""

    @property
    def program(self):
        return self.debuggee.replace("/", "\\").rsplit("\\", 1)[-1]

    @property
    def top(self):
        return self.frames[0] if self.frames else (None, None)

    def platform_fault(self):
        """Why this crash is Wine's documented fault; None when it is not one (ours, or unknown)."""
        function, module = self.top
        own = self.program.lower().rsplit(".", 1)[0]
        if not module or module.lower() == own:
            return None
        return PLATFORM_FAULTS.get((module.lower(), function))

    def summary(self):
        function, module = self.top
        where = f"{function or '?'} in {module or '?'}"
        return f"{self.program or 'a program'} crashed ({self.exception}) at {where}"


def parse_reports(text):
    """Every report in a crash log, in order."""
    starts = [m.start() for m in _START.finditer(text)]
    return [_parse_one(text[a:b]) for a, b in zip(starts, starts[1:] + [len(text)])]


def _parse_one(text):
    crash = Crash(_START.match(text)[1].strip().rstrip("."), text=text)
    debuggee = _DEBUGGEE.search(text)
    crash.debuggee = debuggee[1] if debuggee else ""
    in_backtrace = False
    for line in text.splitlines():
        if line.startswith("Backtrace:"):
            in_backtrace = True
            continue
        if not in_backtrace:
            continue
        frame = _FRAME.match(line)
        if not frame:
            break
        module = _MODULE.search(line)
        crash.frames.append((frame[2], module[1] if module else None))
    return crash


def report_for(text, program):
    """The last report in the log about `program` (an exe name such as Pagerift.exe), or None."""
    mine = [c for c in parse_reports(text) if c.program.lower() == program.lower()]
    return mine[-1] if mine else None
