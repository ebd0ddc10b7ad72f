"""Scenarios on the desktops people run besides a plain X11 one: a Wayland compositor (GNOME's
mutter, nested in the suite's X server, with Xwayland beside it) and a scale factor of 2.

Keys reach the nested compositor as a person's would: through the X server that hosts it, which
hands them to mutter's window, and mutter to its focused client."""

import contextlib
import os
import signal
import subprocess
import time

import harness
from harness import CALCULATOR, Failure, check, key, read_ini, states, type_text, wait_for

import pyatspi


class NestedMutter:
    """mutter as a Wayland compositor in a window of the current X display, with Xwayland. Its
    clients' environment (WAYLAND_DISPLAY, the Xwayland DISPLAY and XAUTHORITY) is what mutter
    gives the command it starts."""

    def __init__(self, folder):
        told = os.path.join(folder, "mutter.env")
        env = dict(os.environ, MUTTER_DEBUG_DUMMY_MODE_SPECS="1024x768")
        env.pop("WAYLAND_DISPLAY", None)
        self.log = open(os.path.join(folder, "mutter.log"), "w")
        self.process = subprocess.Popen(
            ["mutter", "--nested", "--wayland", f"--wayland-display=ziffa-{os.getpid()}", "--",
             "sh", "-c", 'env -0 > "$1.part" && mv "$1.part" "$1" && exec sleep infinity', "sh",
             told],
            env=env, stdout=self.log, stderr=subprocess.STDOUT, start_new_session=True)
        wait_for("mutter to start its session", lambda: check(self.process.poll() is None,
                 "mutter ended") or os.path.exists(told))
        with open(told) as file:
            given = dict(item.split("=", 1) for item in file.read().split("\0") if "=" in item)
        self.client = {name: given.get(name) for name in ("WAYLAND_DISPLAY", "DISPLAY",
                                                          "XAUTHORITY")}
        wait_for("mutter to manage Xwayland", lambda: "_NET_SUPPORTING_WM_CHECK(WINDOW)" in
                 self.x11("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"))

    @contextlib.contextmanager
    def xwayland(self):
        """The harness's X tools read Xwayland, mutter's X server for its X11 clients, meanwhile;
        keys still go to the hosting X server."""
        saved = {name: os.environ.get(name) for name in ("DISPLAY", "XAUTHORITY")}
        os.environ.update(DISPLAY=self.client["DISPLAY"], XAUTHORITY=self.client["XAUTHORITY"])
        try:
            yield
        finally:
            for name, value in saved.items():
                if value is None:
                    os.environ.pop(name, None)
                else:
                    os.environ[name] = value

    def x11(self, *command):
        """A command's output on Xwayland (a search that finds nothing gives nothing)."""
        with self.xwayland():
            return subprocess.run(command, capture_output=True, text=True).stdout

    def close(self):
        """mutter first, which ends Xwayland and its lock files; then what is left of its group."""
        harness.stop(self.process)
        with contextlib.suppress(ProcessLookupError):
            os.killpg(self.process.pid, signal.SIGKILL)
        self.log.close()


class Activations:
    """The windows of the program that became active from now on, in order, as a screen reader
    hears of them."""

    def __init__(self):
        self.names = []
        pyatspi.Registry.registerEventListener(self._heard, "window:activate")

    def _heard(self, event):
        try:
            self.names.append(event.source.name)
        except Exception:
            pass  # gone already

    def wait(self, *names):
        """Waits until these windows have become active one after the other, from now on."""
        since = len(self.names)

        def came():
            heard = self.names[since:]
            for name in names:
                if name not in heard:
                    return False
                heard = heard[heard.index(name) + 1:]
            return True
        return lambda: wait_for(" then ".join(names) + " activated", came)

    def close(self):
        pyatspi.Registry.deregisterEventListener(self._heard, "window:activate")


def shot(desktop, name):
    folder = os.environ.get("ZIFFA_DESKTOP_SHOTS")
    if folder:
        os.makedirs(folder, exist_ok=True)
        desktop.screenshot(os.path.join(folder, name + ".png"))


def wait_active(window):
    wait_for(f"the window {window.name!r} active", lambda: pyatspi.STATE_ACTIVE in states(window))


# The places of the three windows that the file gives, well within the compositor's 1024x768.
PLACES = {"Calculator": (150, 60), "Variables": (20, 200), "Chart": (300, 250)}
SETTINGS = "".join(f"[{section}]\nLeft={left}\nTop={top}\n"
                   for section, (left, top) in PLACES.items()) + "Width=400\nHeight=300\n"


def check_places_kept(ziffa, sections=tuple(PLACES)):
    ini = read_ini(ziffa.settings_text())
    for section in sections:
        place = PLACES[section]
        written = (int(ini[section]["Left"]), int(ini[section]["Top"]))
        check(written == place, f"[{section}] written at {written}, the file had {place}")


def wayland(run):
    """The calculator in a Wayland session: on its own it runs on X11 through Xwayland, where it
    stands where the file says, stays on top and keeps the typing after F6; run natively on
    Wayland (QT_QPA_PLATFORM=wayland) it stays usable and writes back the places it can't know."""
    mutter = NestedMutter(run.folder)
    try:
        session = dict(mutter.client, XDG_SESSION_TYPE="wayland")
        through_xwayland(run, mutter, dict(session, QT_QPA_PLATFORM=None))
        natively(run, mutter, dict(session, QT_QPA_PLATFORM="wayland"))
    finally:
        mutter.close()


def through_xwayland(run, mutter, environment):
    ziffa = run.start(["--chart"], SETTINGS, environment=environment, wait_active=False)

    with run.point("Wayland session, no platform chosen: an X11 client of Xwayland"):
        with mutter.xwayland():
            calculator = harness.x_window(CALCULATOR)
        wait_active(ziffa.calculator)

    with run.point("Xwayland: on top, where the file says"):
        check("_NET_WM_STATE_ABOVE" in mutter.x11("xprop", "-id", str(calculator),
                                                  "_NET_WM_STATE"), "not kept above")
        with mutter.xwayland():
            frame = harness.frame_of(calculator)
        check(frame[:2] == PLACES["Calculator"], f"the calculator's frame at {frame}")
        type_text("2*pi")
        key("Return")
        ziffa.wait_result("6.28318530717959")
        shot(run.desktop, "wayland-xwayland")

    with run.point("Xwayland: F6 keeps the typing, the calculator above the chart window"):
        key("F6")
        with mutter.xwayland():
            chart = harness.x_window("Wykres")
            stacking = mutter.x11("xprop", "-root", "_NET_CLIENT_LIST_STACKING")
            ids = [int(w, 16) for w in stacking.split("#")[1].split(",")]
            check(ids.index(calculator) > ids.index(chart), f"stacking: {stacking}")
            for _ in range(30):  # a while, as a person takes to start typing
                check(harness.active_window_name() == CALCULATOR, "the calculator lost the keys")
                time.sleep(0.05)
        type_text("x*y")
        ziffa.wait_text(lambda: ziffa.box(chart=True), "x*y", "the function box")

    with run.point("Xwayland: Escape closes, the places written as they are"):
        key("F6")
        wait_for("the calculation row", lambda: harness.showing(ziffa.row()))
        key("Escape")
        check(ziffa.wait_end() == 0, "the exit status is 0")
        # (The chart window, hidden again, is left out: mutter hands a withdrawn window back
        # with its client where its frame stood, which Qt reads as a frame a title bar higher.)
        check_places_kept(ziffa, ("Calculator", "Variables"))


def natively(run, mutter, environment):
    activations = Activations()
    try:
        started = activations.wait(CALCULATOR)
        ziffa = run.start(["--chart"], SETTINGS, environment=environment, wait_active=False)
    except Failure:
        log = open(os.path.join(run.folder, "ziffa.log"), errors="replace").read()
        if 'platform plugin "wayland"' in log:
            print("  skipped native Wayland: Qt's wayland plugin (qt6-wayland) is missing")
            return
        raise
    try:
        natively_usable(run, mutter, ziffa, activations, started)
    finally:
        activations.close()


def natively_usable(run, mutter, ziffa, activations, started):
    with run.point("native Wayland: no X11 client, typing and Enter calculate"):
        started()
        check(mutter.x11("xdotool", "search", "--name", f"^{CALCULATOR}$").strip() == "",
              "the calculator window is an X11 client")
        type_text("6*7")
        key("Return")
        ziffa.wait_result("42")

    with run.point("native Wayland: F5 shows the variables window, Escape comes back"):
        shown = activations.wait("Zmienne")
        key("F5")
        shown()
        back = activations.wait(CALCULATOR)
        key("Escape")
        back()
        ziffa.wait_selected_whole()

    with run.point("native Wayland: after F6 the typing goes to the function box"):
        # mutter activates the window it maps; the calculator asks the activation back.
        kept = activations.wait("Wykres", CALCULATOR)
        key("F6")
        kept()
        type_text("x*y")
        ziffa.wait_text(lambda: ziffa.box(chart=True), "x*y", "the function box")
        shot(run.desktop, "wayland-native")

    with run.point("native Wayland: Escape closes, the places the file had are kept"):
        key("F6")
        wait_for("the calculation row", lambda: harness.showing(ziffa.row()))
        key("Escape")
        check(ziffa.wait_end() == 0, "the exit status is 0")
        check_places_kept(ziffa)
        entries = read_ini(ziffa.settings_text())["CalculatorEntries"]
        check(entries.get("0") == "6*7", f"the history: {entries}")


def scaled(run):
    """A file written at scale 1 on a larger screen, read at scale factor 2: a window that would
    open off the screen is pulled back onto it, one within reach stays where the file says."""
    settings = ("[Calculator]\nLeft=2000\nTop=1000\n"
                "[Variables]\nLeft=100\nTop=100\nShowWindow=1\n")
    ziffa = run.start([], settings, environment={"QT_SCALE_FACTOR": "2"}, wait_active=False)
    screen = [int(v) for v in harness.run("xdotool", "getdisplaygeometry").split()]

    with run.point("scale 2: a place off the screen pulled back just onto it"):
        left, top, width, height = harness.frame_of(harness.x_window(CALCULATOR))
        right_gap, bottom_gap = screen[0] - (left + width), screen[1] - (top + height)
        # Placed before it is framed, by a frame the program can only estimate: a frame's width
        # (a title bar's height, at this scale) from the edges at most.
        check(0 <= right_gap <= 40 and 0 <= bottom_gap <= 80,
              f"the calculator's frame {(left, top, width, height)} on a screen of {screen}")
        shot(run.desktop, "scaled")

    with run.point("scale 2: a place within reach kept"):
        frame = harness.frame_of(harness.x_window("Zmienne"))
        check(frame[:2] == (200, 200), f"the variables window's frame at {frame}")

    with run.point("scale 2: usable and closed with Escape"):
        ziffa.activate()
        type_text("2+2")
        key("Return")
        ziffa.wait_result("4")
        key("Escape")
        check(ziffa.wait_end() == 0, "the exit status is 0")
