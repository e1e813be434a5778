"""A real terminal for end-to-end tests: the program runs in a tmux pane of a chosen size.

Keys are typed with send-keys and the screen is read with capture-pane, scroll-back included.
Every session gets its own tmux server socket, so tests never meet each other's sessions.
"""
import os
import shlex
import subprocess
import tempfile
import time
import uuid


def read_text(path):
    """A small file's text, without surrounding white space."""
    with open(path) as f:
        return f.read().strip()


class Terminal:
    def __init__(self, command, width=80, height=25, env=None):
        self.socket = os.path.join(tempfile.gettempdir(), f"cq-tmux-{uuid.uuid4().hex[:12]}")
        self.name = "quiz"
        self.status_file = tempfile.mktemp(prefix="cq-status-")
        environment = {"LANG": "C.UTF-8", "LC_ALL": "C.UTF-8", "TERM": "xterm-256color"}
        environment.update(env or {})
        exports = " ".join(f"{k}={shlex.quote(v)}" for k, v in environment.items())
        # The shell stays after the program ends, so its exit status and the terminal's settings
        # can still be read.
        inner = f"trap : INT QUIT TERM HUP; export {exports}; stty -g > {self.status_file}.before; {command}; echo $? > {self.status_file}; exec sleep 600"
        self._tmux("new-session", "-d", "-s", self.name, "-x", str(width), "-y", str(height),
                   "sh", "-c", inner)
        self._tmux("set-option", "-t", self.name, "history-limit", "5000")

    def _tmux(self, *args, check=True):
        return subprocess.run(["tmux", "-S", self.socket, "-f", "/dev/null", *args],
                              check=check, capture_output=True, text=True)

    def send(self, *keys):
        """Sends tmux key names ("Enter", "C-c", "Up") or literal text."""
        for key in keys:
            self._tmux("send-keys", "-t", self.name, key)

    def type(self, text):
        self._tmux("send-keys", "-t", self.name, "-l", text)

    def screen(self):
        """The visible rows, trailing spaces removed."""
        out = self._tmux("capture-pane", "-t", self.name, "-p").stdout
        return [line.rstrip() for line in out.split("\n")][:self.height()]

    def history(self):
        """Scroll-back and visible rows together."""
        out = self._tmux("capture-pane", "-t", self.name, "-p", "-S", "-").stdout
        return [line.rstrip() for line in out.rstrip("\n").split("\n")]

    def height(self):
        return int(self._tmux("display-message", "-t", self.name, "-p", "#{pane_height}").stdout)

    def cursor(self):
        """(column, row), 1-based."""
        x, y = self._tmux("display-message", "-t", self.name, "-p", "#{cursor_x} #{cursor_y}").stdout.split()
        return int(x) + 1, int(y) + 1

    def cursor_visible(self):
        flag = self._tmux("display-message", "-t", self.name, "-p", "#{cursor_flag}").stdout.strip()
        return flag == "1"

    def resize(self, width, height):
        self._tmux("resize-window", "-t", self.name, "-x", str(width), "-y", str(height))

    def pid(self):
        """The program's process id (the child of the pane's shell)."""
        shell = self._tmux("display-message", "-t", self.name, "-p", "#{pane_pid}").stdout.strip()
        out = subprocess.run(["pgrep", "-P", shell], capture_output=True, text=True).stdout.split()
        return int(out[0]) if out else None

    def wait_for(self, predicate, timeout=10.0, what="the screen"):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            rows = self.screen()
            if predicate(rows):
                return rows
            time.sleep(0.02)
        raise AssertionError(f"timed out waiting for {what}; screen was:\n" + "\n".join(self.screen()))

    def wait_for_text(self, text, timeout=10.0):
        return self.wait_for(lambda rows: any(text in row for row in rows), timeout, repr(text))

    def exit_status(self, timeout=10.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if os.path.exists(self.status_file) and read_text(self.status_file):
                return int(read_text(self.status_file))
            time.sleep(0.02)
        raise AssertionError("the program did not end")

    def settings_before(self):
        return read_text(self.status_file + ".before")

    def settings_now(self):
        """The pane's terminal settings, read through the pane's own tty."""
        return self.stty("-g")

    def stty(self, *args):
        """stty run on the pane's own tty ("-a" lists the settings by name)."""
        tty = self._tmux("display-message", "-t", self.name, "-p", "#{pane_tty}").stdout.strip()
        with open(tty) as f:
            return subprocess.run(["stty", *args], stdin=f, capture_output=True, text=True).stdout.strip()

    def close(self):
        self._tmux("kill-server", check=False)
        for path in (self.status_file, self.status_file + ".before"):
            if os.path.exists(path):
                os.remove(path)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
