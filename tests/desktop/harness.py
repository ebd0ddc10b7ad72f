"""The calculator on a real desktop: an X server (Xvfb) with a window manager (openbox), the
real program, keys and clicks as a person gives them (xdotool), and what the program shows read
back as a screen reader reads it (AT-SPI), from the clipboard (xclip) and from the settings file.

Everything runs on a private D-Bus session (dbus-run-session) and a private X display, so that
runs side by side never meet. Every wait has a time limit; nothing sleeps blindly."""

import os
import pty
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import tty

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

import pyatspi  # noqa: E402

PATIENCE = 20.0  # seconds for any one state to come about on a busy machine
APP_NAME = "Ziffa 3.1"  # the name the running program is listed under
CALCULATOR = "Ziffa 3.2"  # the calculator window's caption


class Failure(AssertionError):
    pass


def pump():
    """Delivers the accessibility events that have come (to the listeners of PopupMenus)."""
    context = GLib.MainContext.default()
    while context.iteration(False):
        pass


def wait_for(what, condition, timeout=PATIENCE):
    """Polls condition until it gives a true value, which it returns; fails after timeout."""
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        pump()
        try:
            value = condition()
            if value:
                return value
        except Exception as error:  # an object gone while it was read: try again
            last_error = error
        if time.monotonic() > deadline:
            raise Failure(f"timed out waiting for {what}" + (f" ({last_error!r})" if last_error else ""))
        time.sleep(0.05)


def check(condition, message):
    if not condition:
        raise Failure(message)


def run(*command, **kwargs):
    return subprocess.run(command, check=True, capture_output=True, text=True, **kwargs).stdout


# ---- The private session: D-Bus, then the X server and the window manager.

def stop(process):
    """Ends a process we started: asked first, killed when it does not go within 10 s."""
    process.terminate()
    try:
        process.wait(timeout=10)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def enter_private_session(argv):
    """Runs the script again inside its own D-Bus session, with a runtime folder of its own (the
    accessibility bus puts its socket there). Returns only in the inner run."""
    if os.environ.get("ZIFFA_DESKTOP_INNER"):
        return
    runtime = tempfile.mkdtemp(prefix="ziffa-desktop-")
    os.chmod(runtime, 0o700)
    env = dict(os.environ, ZIFFA_DESKTOP_INNER="1", XDG_RUNTIME_DIR=runtime)
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "DBUS_SESSION_BUS_ADDRESS"):
        env.pop(name, None)
    try:
        status = subprocess.run(["dbus-run-session", "--", sys.executable, *argv], env=env).returncode
    finally:
        shutil.rmtree(runtime, ignore_errors=True)
    sys.exit(status)


class Desktop:
    """Xvfb on a free display (the server picks it: -displayfd) and openbox on it."""

    def __init__(self, width=1280, height=1024):
        self.folder = tempfile.mkdtemp(prefix="ziffa-x-")
        self.size = (width, height)
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        check(number, "Xvfb gave no display")
        self.display = ":" + number
        os.environ["DISPLAY"] = self.display
        self.openbox = subprocess.Popen(["openbox", "--sm-disable"], stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        wait_for("openbox to manage the screen", lambda: "_NET_SUPPORTING_WM_CHECK(WINDOW)" in
                 run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"))

    def close(self):
        for process in (self.openbox, self.xvfb):
            stop(process)
        shutil.rmtree(self.folder, ignore_errors=True)

    def screenshot(self, path):
        run("import", "-window", "root", path)


# ---- Keys and the mouse, as a person gives them.

def type_text(text):
    run("xdotool", "type", "--delay", "30", text)


def key(*names):
    """Keys pressed and released one after the other, with nothing held."""
    for name in names:
        run("xdotool", "key", name)


def chord(*names):
    """Modifiers down in order, the last key pressed and released, the modifiers up in reverse:
    as a person presses Ctrl+Shift+1."""
    *modifiers, last = names
    command = ["xdotool"]
    for modifier in modifiers:
        command += ["keydown", modifier]
    command += ["key", last]
    for modifier in reversed(modifiers):
        command += ["keyup", modifier]
    run(*command)


def click(x, y, button=1):
    run("xdotool", "mousemove", str(x), str(y), "click", str(button))


def click_on(accessible, button=1):
    x, y, width, height = extents(accessible)
    click(x + width // 2, y + height // 2, button)


# ---- X windows: the window manager's view.

def x_windows(name):
    """The shown top-level windows with this caption: those the window manager manages (mutter 48
    draws frames as windows of a helper program, captioned as the windows they frame)."""
    try:
        out = run("xdotool", "search", "--onlyvisible", "--name", f"^{name}$")
    except subprocess.CalledProcessError:
        return []
    listed = run("xprop", "-root", "_NET_CLIENT_LIST").partition("#")[2]
    managed = {int(m, 16) for m in re.findall(r"0x[0-9a-fA-F]+", listed)}
    return [int(w) for w in out.split() if int(w) in managed]


def x_window(name):
    return wait_for(f"a shown window {name!r}", lambda: (x_windows(name) or [None])[0])


def activate(window):
    """Makes a window the active one, as a click on its title would."""
    run("xdotool", "windowactivate", "--sync", str(window))


def active_window_name():
    try:
        return run("xdotool", "getactivewindow", "getwindowname").strip()
    except subprocess.CalledProcessError:
        return ""


def client_area(window):
    """A window's rectangle without its frame: (left, top, width, height)."""
    fields = dict(line.split(":", 1) for line in run("xwininfo", "-id", str(window)).splitlines()
                  if ":" in line)
    return tuple(int(fields[name]) for name in ("  Absolute upper-left X", "  Absolute upper-left Y",
                                                "  Width", "  Height"))


def frame_of(window):
    """The outer rectangle of a window, frame included: (left, top, width, height)."""
    info = run("xwininfo", "-id", str(window))
    fields = {}
    for line in info.splitlines():
        if ":" in line:
            label, _, value = line.partition(":")
            fields[label.strip()] = value.strip()
    x, y = int(fields["Absolute upper-left X"]), int(fields["Absolute upper-left Y"])
    width, height = int(fields["Width"]), int(fields["Height"])
    extents = run("xprop", "-id", str(window), "_NET_FRAME_EXTENTS")
    left, right, top, bottom = [int(v) for v in extents.split("=")[1].split(",")]
    return (x - left, y - top, width + left + right, height + top + bottom)


def overlap(a, b):
    return (a[0] < b[0] + b[2] and b[0] < a[0] + a[2] and a[1] < b[1] + b[3] and b[1] < a[1] + a[3])


def clipboard():
    try:
        return run("xclip", "-selection", "clipboard", "-o")
    except subprocess.CalledProcessError:
        return None  # nothing on the clipboard yet


def mean_brightness(window):
    """The mean of a window's pixels, 0 for black, 1 for white."""
    return float(run("convert", f"x:{window}", "-colorspace", "Gray", "-format", "%[fx:mean]",
                     "info:"))


def unique_colours_in_column(png, x, top, height):
    return int(run("convert", png, "-crop", f"1x{height}+{x}+{top}", "+repage", "-format", "%k",
                   "info:"))


def pixels(png, x, y, width, height):
    """The pixels of a rectangle of a picture, row by row, as (red, green, blue) tuples."""
    data = subprocess.run(["convert", png, "-crop", f"{width}x{height}+{x}+{y}", "+repage",
                           "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout
    return [tuple(data[i:i + 3]) for i in range(0, len(data), 3)]


def luminance(rgb):
    """The relative luminance of a colour as the rules for text contrast define it."""
    def linear(c):
        c /= 255
        return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
    r, g, b = (linear(c) for c in rgb)
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


def contrast(a, b):
    la, lb = sorted((luminance(a), luminance(b)))
    return (lb + 0.05) / (la + 0.05)


def text_contrast(png, box, least=3):
    """The contrast of the text in a box of a screenshot with what it is drawn on: the box's
    commonest colour is the background, the text the colour of at least `least` pixels that
    stands out from it most (the glyphs' full colour, past their smoothed edges)."""
    counts = {}
    for colour in pixels(png, *box):
        counts[colour] = counts.get(colour, 0) + 1
    background = max(counts, key=counts.get)
    return max([contrast(colour, background) for colour, n in counts.items() if n >= least],
               default=1.0)


# ---- AT-SPI: the program as a screen reader reads it.

def desktop_root():
    root = pyatspi.Registry.getDesktop(0)
    root.setCacheMask(Atspi.Cache.NONE)  # every read asks the program itself
    return root


def children(accessible):
    for i in range(accessible.childCount):
        child = accessible.getChildAtIndex(i)
        if child is not None:
            yield child


def descendants(accessible):
    for child in children(accessible):
        yield child
        yield from descendants(child)


def states(accessible):
    return set(accessible.getState().getStates())


def showing(accessible):
    return pyatspi.STATE_SHOWING in states(accessible)


def find(root, role, name=None, pred=None):
    """The first descendant of a role (a pyatspi.ROLE_... constant: the role's name differs
    between releases of AT-SPI) and name, depth first, or None."""
    for candidate in descendants(root):
        if candidate.getRole() != role:
            continue
        if name is not None and candidate.name != name:
            continue
        if pred is not None and not pred(candidate):
            continue
        return candidate
    return None


def text_of(accessible):
    text = accessible.queryText()
    return text.getText(0, text.characterCount)


def caret_and_selection(accessible):
    """The caret offset and the selected range (None when nothing is selected) of a text."""
    text = accessible.queryText()
    selection = None
    if text.getNSelections() > 0:
        start, end = text.getSelection(0)
        if end > start:
            selection = (start, end)
    return text.caretOffset, selection


def extents(accessible):
    box = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x, box.y, box.width, box.height


class PopupMenus:
    """The popup menus that show from now on. A screen reader learns of them by an event: they
    are not among the application's windows."""

    def __init__(self):
        self.shown = []
        self._listener = self._heard
        pyatspi.Registry.registerEventListener(self._listener, "object:state-changed:showing")

    def _heard(self, event):
        try:
            if event.source.getRole() == pyatspi.ROLE_POPUP_MENU and event.detail1:
                self.shown.append(event.source)
        except Exception:
            pass  # gone already

    def wait_items(self):
        """The captions of the menu items of the first popup menu shown, without their keys."""
        menu = wait_for("a popup menu", lambda: self.shown and self.shown[0])
        return {item.name.split("\t")[0] for item in children(menu)
                if item.getRole() == pyatspi.ROLE_MENU_ITEM}

    def close(self):
        pyatspi.Registry.deregisterEventListener(self._listener, "object:state-changed:showing")


class Ziffa:
    """The real program on the desktop, with a settings file of its own."""

    def __init__(self, binary, folder, arguments=(), settings_text=None, environment=None,
                 wait_active=True):
        """environment: variables to set, or to remove where the value is None. wait_active:
        wait until the window manager of this display makes the calculator window active."""
        self.binary = binary
        self.folder = folder
        self.settings = os.path.join(folder, "ziffa.ini")
        if settings_text is not None:
            with open(self.settings, "w", encoding="cp1250") as file:
                file.write(settings_text)
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1",
                   ZIFFA_SETTINGS=self.settings, LC_ALL="C.UTF-8", QT_QPA_PLATFORM="xcb")
        for name, value in (environment or {}).items():
            if value is None:
                env.pop(name, None)
            else:
                env[name] = value
        self.log = open(os.path.join(folder, "ziffa.log"), "w")
        self.process = subprocess.Popen([binary, *arguments], env=env, cwd=folder,
                                        stdout=self.log, stderr=subprocess.STDOUT)
        self.app = wait_for("the program on the accessibility bus", self._find_app)
        self.calculator = wait_for("the calculator window", lambda: self.window(CALCULATOR))
        if wait_active:
            wait_for("the calculator window active", lambda: active_window_name() == CALCULATOR)

    def _find_app(self):
        check(self.process.poll() is None, "the program ended at start")
        for app in children(desktop_root()):
            if app.name == APP_NAME and app.get_process_id() == self.process.pid:
                return app
        return None

    # -- Windows and controls.

    def window(self, caption, role=None):
        for window in children(self.app):
            if window.name == caption and showing(window) and (role is None or
                                                               window.getRole() == role):
                return window
        return None

    def shown_window(self, caption):
        return wait_for(f"the window {caption!r}", lambda: self.window(caption))

    def row(self, chart=False):
        """The calculation row (or the chart row) of the calculator window, known by its button;
        a hidden row is not in the tree."""
        button = "Rysuj" if chart else "Oblicz"
        for panel in children(self.calculator):
            if panel.getRole() == pyatspi.ROLE_FILLER and any(
                    c.getRole() == pyatspi.ROLE_PUSH_BUTTON and c.name == button
                    for c in children(panel)):
                return panel
        raise Failure(f"no row with {button!r} in the calculator window")

    def box(self, chart=False):
        """The edit part of the expression box (or of the function box)."""
        combo = find(self.row(chart), pyatspi.ROLE_COMBO_BOX)
        return find(combo, pyatspi.ROLE_TEXT)

    def combo(self, chart=False):
        return find(self.row(chart), pyatspi.ROLE_COMBO_BOX)

    def result(self):
        return find(self.row(), pyatspi.ROLE_TEXT, pred=lambda a: a.name.startswith("Wynik"))

    def button(self, name, window=None):
        return find(window or self.calculator, pyatspi.ROLE_PUSH_BUTTON, name)

    def focused(self, accessible):
        return pyatspi.STATE_FOCUSED in states(accessible)

    # -- Waiting for what the program shows.

    def wait_text(self, accessible_of, expected, what):
        wait_for(f"{what} to read {expected!r}", lambda: text_of(accessible_of()) == expected)

    def wait_result(self, expected):
        self.wait_text(self.result, expected, "the result field")

    def wait_selected_whole(self, chart=False):
        def whole():
            box = self.box(chart)
            length = box.queryText().characterCount
            return length > 0 and caret_and_selection(box)[1] == (0, length)
        wait_for("the box's whole text selected", whole)

    def activate(self):
        """Brings the calculator window back as the active one (after a point that failed)."""
        if active_window_name() != CALCULATOR:
            activate(x_window(CALCULATOR))
        self.wait_calculator_active()

    def wait_calculator_active(self):
        wait_for("the calculator window active",
                 lambda: active_window_name() == CALCULATOR and
                 pyatspi.STATE_ACTIVE in states(self.calculator))

    # -- The end.

    def wait_end(self, timeout=PATIENCE):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end")
        finally:
            self.log.close()

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        if not self.log.closed:
            self.log.close()

    def settings_text(self):
        with open(self.settings, encoding="cp1250") as file:
            return file.read()


class ScreenReader:
    """Orca on the suite's session, as a blind user runs it. What it says is read from its debug
    output, one "SPEECH OUTPUT: '...'" line an utterance, whether or not a speech server makes it
    heard. That output goes to a terminal, where each line comes at once (a file would get it in
    blocks). Orca's settings live in a folder of the run: a fresh folder starts it with its
    defaults and no questions."""

    def __init__(self, folder, patience=90.0):
        home = os.path.join(folder, "orca-home")
        prefs = os.path.join(home, "prefs")
        os.makedirs(prefs)
        self.spoken = []
        self.master, self._slave = pty.openpty()
        tty.setraw(self._slave)
        self.log = open(os.path.join(folder, "orca.log"), "wb")
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"),
                   XDG_DATA_HOME=os.path.join(home, "data"),
                   XDG_CACHE_HOME=os.path.join(home, "cache"), LANG="C.UTF-8", LC_ALL="C.UTF-8")
        self.process = subprocess.Popen(
            ["orca", "--user-prefs", prefs, "--debug-file", os.ttyname(self._slave)], env=env,
            stdin=subprocess.DEVNULL, stdout=self.log, stderr=subprocess.STDOUT)
        threading.Thread(target=self._read, daemon=True).start()
        wait_for("Orca to speak", lambda: self.spoken, patience)

    def _read(self):
        pending = b""
        while True:
            try:
                data = os.read(self.master, 65536)
            except OSError:
                return
            if not data:
                return
            self.log.write(data)
            pending += data
            *lines, pending = pending.split(b"\n")
            for line in lines:
                text = line.decode("utf-8", "replace")
                if "SPEECH OUTPUT: '" in text:
                    self.spoken.append(text.split("SPEECH OUTPUT: '", 1)[1].rsplit("'", 1)[0])

    def mark(self):
        """A point in what Orca said, for said_since."""
        return len(self.spoken)

    def wait_said(self, text, since):
        """Waits until Orca, after the mark, says something that holds this text."""
        try:
            wait_for(f"Orca to say {text!r}",
                     lambda: any(text in line for line in self.spoken[since:]))
        except Failure:
            raise Failure(f"Orca did not say {text!r}; it said {self.spoken[since:]!r}")

    def close(self):
        stop(self.process)
        os.close(self._slave)
        os.close(self.master)
        self.log.close()


def read_ini(text):
    """Sections of key=value lines, as the program writes them: {section: {key: value}}."""
    sections, current = {}, None
    for line in text.splitlines():
        line = line.strip()
        if line.startswith("[") and line.endswith("]"):
            current = sections.setdefault(line[1:-1], {})
        elif current is not None and "=" in line:
            name, _, value = line.partition("=")
            current[name.strip()] = value.strip()
    return sections
