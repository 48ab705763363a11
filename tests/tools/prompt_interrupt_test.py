# The prompt on a real terminal (a pseudo-terminal): Ctrl-C drops the line being typed and the
# session goes on, "quit" then deletes the instances as a host does; in a statement that hangs,
# Ctrl-C says so and a second one ends nelk-host; the lines typed are in the history either way.
#   python3 prompt_interrupt_test.py NELK_HOST LIBRARY HANGING_LIBRARY
import os
import pty
import re
import select
import sys
import tempfile
import time

program, library, hanging = sys.argv[1:4]


def spawn(history):
    pid, terminal = pty.fork()
    if pid == 0:
        os.environ["NELK_HOST_HISTORY"] = history
        os.environ["TERM"] = "xterm"  # a terminal that edits lines, as users have
        os.execv(program, [program, "--no-colour", "--library", library, "repl"])
    return pid, terminal


class screen:
    """What the terminal showed, and how far the test has looked: each wait looks past the last
    match only, so output that came in one read with an earlier match is not lost."""

    def __init__(self, terminal):
        self.terminal = terminal
        self.text = ""
        self.looked = 0

    def since(self):
        return self.text[self.looked:]

    def wait_for(self, wanted, seconds=30):
        """Reads until the output past the last match holds `wanted`; bounded, to fail rather than hang."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            found = self.text.find(wanted, self.looked)
            if found >= 0:
                self.looked = found + len(wanted)
                return
            ready, _, _ = select.select([self.terminal], [], [], 0.1)
            if not ready:
                continue
            try:
                chunk = os.read(self.terminal, 4096)
            except OSError:
                break
            if not chunk:
                break
            self.text += chunk.decode(errors="replace")
        sys.exit(f"never saw {wanted!r}; the terminal showed:\n{self.text}")


def ended(pid, seconds=30):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        done, status = os.waitpid(pid, os.WNOHANG)
        if done == pid:
            return os.waitstatus_to_exitcode(status)
        time.sleep(0.05)
    os.kill(pid, 9)
    sys.exit("nelk-host did not end")


def history_lines(path):
    """The lines of a history file, as libedit writes them (octal escapes, "\\040" for a space)."""
    text = open(path).read()
    return re.sub(r"\\([0-7]{3})", lambda escape: chr(int(escape.group(1), 8)), text)


def typed(terminal, text):
    os.write(terminal, text.encode())


def session_with(history, load):
    """A prompt that has run `load` and shows its next prompt."""
    pid, terminal = spawn(history)
    shown = screen(terminal)
    shown.wait_for("nelk> ")
    typed(terminal, load + "\r")
    shown.wait_for("create from")
    shown.wait_for("nelk> ")
    return pid, terminal, shown


def ends_with(pid, shown, status, history, kept, dropped=None):
    """nelk-host ends with `status`, and its history holds every line of `kept` and not `dropped`."""
    ending = ended(pid)
    if ending != status:
        sys.exit(f"nelk-host ended with {ending}, not {status}:\n{shown.text}")
    lines = history_lines(history)
    if any(line not in lines for line in kept) or (dropped and dropped in lines):
        sys.exit(f"the history holds:\n{lines}")


folder = tempfile.mkdtemp(prefix="nelk-prompt-")

# Ctrl-C drops a half-typed line; the instance lives on, and quit deletes it as a host does.
history = os.path.join(folder, "history-1")
pid, terminal, shown = session_with(history, "load A")
typed(terminal, "command A \"never sent")
shown.wait_for("never sent")  # echoed: the prompt has it
typed(terminal, "\x03")
shown.wait_for("nelk> ")
typed(terminal, "command A \"return=all\"\r")
shown.wait_for("InfoDriverID=")
if "malformed" in shown.text or "error" in shown.text:
    sys.exit(f"the dropped line ran:\n{shown.text}")
typed(terminal, "quit\r")
shown.wait_for("AS")
ends_with(pid, shown, 0, history, ["load A", "return=all"], dropped="never sent")

# A statement that hangs: the first Ctrl-C says it still runs, the second ends nelk-host.
history = os.path.join(folder, "history-2")
pid, terminal, shown = session_with(history, f"load Q {hanging}")
typed(terminal, "timer Q 1\r")
shown.wait_for("[4] timer 1")
time.sleep(0.3)
typed(terminal, "\x03")
shown.wait_for("the statement still runs in the component")
typed(terminal, "\x03")
shown.wait_for("ended at a second Ctrl-C")
ends_with(pid, shown, 130, history, ["timer Q 1"])
print("Ctrl-C dropped a line, the session went on and was deleted at quit; a hang ended at the second Ctrl-C")
