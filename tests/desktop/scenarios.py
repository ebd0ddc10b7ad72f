#!/usr/bin/python3
"""Scenarios of the calculator on a real desktop, one per run:

    scenarios.py --ziffa BUILD/ziffa SCENARIO

session  an ordinary session: calculate, an error with the caret, the memory by its shortcuts,
         Ctrl with the keypad's 1, a click on "Oblicz", the overflow box and the edit menu in
         Polish, the variables window, the captions, the help window, exit and restart
history  the history lists open on the entry of the box's text; Up and Down step from it
chart    --chart: the three windows side by side, F6 keeps the typing, the focus coming back
         selects the box's text, the picture after a refused function, Ctrl+S in Polish
dark     under a dark desktop theme (KDE's Breeze Dark colours, read by Qt's own KDE theme)
         every text of every window, in its normal, disabled and error states, stands out
         from what it is drawn on by 4.5:1 (3:1 disabled), measured on screenshots
scale2   at a scale factor of 2 the chart's lines are one device pixel wide
orca     Orca speaks the result after Enter and the error line after a fault, also with the
         focus in the result field; the windows are frames; no unseen control in the tree
wayland  in a nested mutter (Wayland, with Xwayland): X11 by default, on top, where the file says,
         the typing kept after F6; natively on Wayland still usable, the file's places kept
scaled   at scale factor 2: a place off the screen pulled back, one within reach kept

ZIFFA_DESKTOP_SHOTS=FOLDER keeps screenshots of the moments worth looking at."""

import argparse
import contextlib
import os
import shutil
import sys
import tempfile
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.dont_write_bytecode = True  # no __pycache__ of harness.py in the source tree

import compositor  # noqa: E402
import harness  # noqa: E402
from harness import (CALCULATOR, Failure, Ziffa, caret_and_selection, check, chord, click,  # noqa: E402
                     click_on, extents, find, frame_of, key, overlap, read_ini, states, text_of,
                     type_text, wait_for, x_window)

import pyatspi  # noqa: E402


def shot(desktop, name):
    folder = os.environ.get("ZIFFA_DESKTOP_SHOTS")
    if folder:
        os.makedirs(folder, exist_ok=True)
        desktop.screenshot(os.path.join(folder, name + ".png"))


def holds(what, condition, seconds=1.5):
    """A state that must last: checked again and again for a while."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        check(condition(), f"{what} did not last")
        time.sleep(0.05)


def wait_active(window):
    """Waits until a window of the program is the active one, keys going to it."""
    wait_for(f"the window {window.name!r} active",
             lambda: pyatspi.STATE_ACTIVE in states(window) and
             harness.active_window_name() == window.name)


def wait_alert(ziffa, text):
    """Waits for a message box with this text to be open and active."""
    def alert():
        for window in harness.children(ziffa.app):
            if window.getRole() == pyatspi.ROLE_ALERT and harness.showing(window):
                label = find(window, pyatspi.ROLE_LABEL, pred=lambda a: a.name != "")
                if label is not None:
                    return window, label.name
        return None
    window, shown = wait_for("a message box", alert)
    check(shown == text, f"the message box says {shown!r}, not {text!r}")
    wait_active(window)


def wait_no_alert(ziffa):
    wait_for("the message box to close", lambda: not any(
        w.getRole() == pyatspi.ROLE_ALERT and harness.showing(w)
        for w in harness.children(ziffa.app)))


# ---- An ordinary session.

def session(run):
    desktop = run.desktop
    ziffa = run.start()

    with run.point("a calculation"):
        type_text("2 * PI")
        key("Return")
        ziffa.wait_result("6.28318530717959")
        ziffa.wait_text(ziffa.box, "2*pi", "the expression box")
        ziffa.wait_selected_whole()

    with run.point("an error with the caret at the fault"):
        type_text("(2+3")
        key("Return")
        ziffa.wait_result("BŁĄD: Brak zamknięcia nawiasu")
        wait_for("the caret at the fault, nothing selected",
                 lambda: caret_and_selection(ziffa.box()) == (4, None))

    with run.point("the memory by its shortcuts"):
        chord("ctrl", "a")
        type_text("6*7")
        key("Return")
        ziffa.wait_result("42")
        chord("ctrl", "shift", "1")
        wait_for("M1> enabled", lambda: pyatspi.STATE_ENABLED in states(ziffa.button("M1>")))
        type_text("1+1")
        chord("ctrl", "1")
        ziffa.wait_text(ziffa.box, "42", "the expression box after Ctrl+1")

    with run.point("5. Ctrl with the keypad's 1, or Ctrl+Alt with a letter, types nothing"):
        key("End")
        chord("ctrl", "KP_1")
        chord("ctrl", "alt", "x")
        type_text("+0")
        ziffa.wait_text(ziffa.box, "42+0", "the expression box after Ctrl with digits")

    with run.point("4. a click on Oblicz leaves the focus in the box, its text selected"):
        click_on(ziffa.button("Oblicz"))
        ziffa.wait_result("42")
        ziffa.wait_selected_whole()
        type_text("5*5")
        key("Return")
        ziffa.wait_result("25")

    with run.point("4. a click on Kopiuj copies the result and leaves the focus in the box"):
        click_on(ziffa.button("Kopiuj"))
        wait_for("the result on the clipboard", lambda: harness.clipboard() == "25")
        type_text("6*7")
        key("Return")
        ziffa.wait_result("42")

    with run.point("7. the overflow's exception box in Polish"):
        ziffa.activate()
        chord("ctrl", "a")
        type_text("!(1000)*!(1000)")
        key("Return")
        wait_alert(ziffa, "Przepełnienie zmiennoprzecinkowe w mnożeniu")
        key("Return")
        wait_no_alert(ziffa)

    with run.point("7. the edit box's menu in Polish"):
        ziffa.activate()
        menus = harness.PopupMenus()
        click_on(ziffa.box(), button=3)
        items = menus.wait_items()
        menus.close()
        key("Escape")
        for item in ("Cofnij", "Wklej", "Zaznacz wszystko"):
            check(item in items, f"the edit menu has no {item!r}: {sorted(items)}")

    with run.point("the variables window: a row counts at once, Enter there calculates"):
        ziffa.activate()
        chord("ctrl", "a")
        type_text("a*2")
        key("F5")
        ziffa.shown_window("Zmienne")
        wait_for("the variables window active", lambda: harness.active_window_name() == "Zmienne")
        type_text("a")
        key("Tab")
        type_text("3")
        wait_for("the button to count the row",
                 lambda: find(ziffa.calculator, pyatspi.ROLE_CHECK_BOX, "Zmienne (1)") is not None)
        key("Return")
        ziffa.wait_result("6")

    with run.point("3. Escape in the variables window: the box's text selected"):
        if harness.active_window_name() != "Zmienne":
            harness.activate(x_window("Zmienne"))
        key("Escape")
        ziffa.wait_calculator_active()
        ziffa.wait_selected_whole()
        type_text("a+1")
        key("Return")
        ziffa.wait_result("4")
        shot(desktop, "session")

    with run.point("8. every caption shows whole"):
        # No letter reaches the edge of its label where the caption ends: the right edge of a
        # left-aligned heading, the left edge of a right-aligned caption.
        png = os.path.join(run.folder, "captions.png")
        desktop.screenshot(png)
        variables = ziffa.shown_window("Zmienne")
        for window, caption, side in ((variables, "Zmienna", "right"),
                                      (variables, "Wartość", "right"),
                                      (ziffa.calculator, "Wyrażenie ", "left"),
                                      (ziffa.calculator, "Wynik ", "left")):
            label = find(window, pyatspi.ROLE_LABEL, caption)
            x, y, width, height = extents(label)
            column = x + width - 1 if side == "right" else x
            colours = harness.unique_colours_in_column(png, column, y, height)
            check(colours == 1, f"the caption {caption!r} is cut at its {side} edge")

    with run.point("the help window"):
        ziffa.activate()
        key("F1")
        help_window = ziffa.shown_window("Ziffa - Informacje")
        wait_active(help_window)
        memo = wait_for("the help text", lambda: find(help_window, pyatspi.ROLE_TEXT))
        check("Kalkulator w formie Interpretera Wyrażeń Matematycznych" in text_of(memo),
              "the help text")
        key("Tab", "Return")
        wait_for("the help window to close", lambda: ziffa.window("Ziffa - Informacje") is None)
        ziffa.wait_calculator_active()

    with run.point("exit, and the state saved"):
        key("Escape")
        check(ziffa.wait_end() == 0, "the exit status is 0")
        ini = read_ini(ziffa.settings_text())
        check(ini["CalculatorEntries"]["0"] == "a+1", f"history: {ini['CalculatorEntries']}")
        check(ini["Calculator"]["Memo1"] == "42", f"memory: {ini['Calculator']}")
        check(ini["Variables"]["Variable01"] == "a" and ini["Variables"]["Value01"] == "3",
              f"variables: {ini['Variables']}")
        check(ini["Variables"]["ShowWindow"] == "1", "the variables window was shown")

    with run.point("the next start comes back as it was left"):
        again = run.start()
        again.wait_text(again.box, "a+1", "the expression box after the restart")
        again.wait_selected_whole()
        again.shown_window("Zmienne")
        chord("ctrl", "1")
        again.wait_text(again.box, "42", "the box after Ctrl+1")
        key("Return")
        again.wait_result("42")
        key("Escape")
        check(again.wait_end() == 0, "the exit status is 0")


# ---- The history lists.

def open_list(ziffa, chart=False):
    chord("alt", "Down")
    combo = ziffa.combo(chart)
    wait_for("the list open", lambda: pyatspi.STATE_EXPANDED in states(ziffa.combo(chart)))
    return combo


def list_items(combo):
    listing = find(combo, pyatspi.ROLE_LIST)
    return [item for item in harness.children(listing) if item.getRole() == pyatspi.ROLE_LIST_ITEM]


def highlighted(combo):
    """The names of the selected entries, and whether each shows."""
    return [(item.name, harness.showing(item)) for item in list_items(combo)
            if pyatspi.STATE_SELECTED in states(item)]


def wait_highlighted(combo, expected):
    wait_for(f"{expected!r} highlighted and in view",
             lambda: highlighted(combo) == [(expected, True)])


def close_list(ziffa, chart=False):
    key("Escape")
    wait_for("the list closed", lambda: pyatspi.STATE_EXPANDED not in states(ziffa.combo(chart)))


def history(run):
    desktop = run.desktop
    # 40 entries, newest first: sqrt(39), sqrt(38), ... sqrt(0); the box shows the 26th.
    entries = [f"sqrt({39 - i})" for i in range(40)]
    settings = ("[ChartEntries]\nCount=3\n0=x*y\n1=x+y\n2=sin(x)\nCurrent=x+y\n"
                "[CalculatorEntries]\nCount=40\n" +
                "".join(f"{i}={entry}\n" for i, entry in enumerate(entries)) +
                "Current=SQRT(14)\n")
    ziffa = run.start(["--chart"], settings)

    with run.point("1. the list opens on the entry of the box's text, letter case aside"):
        combo = open_list(ziffa)
        try:
            wait_highlighted(combo, "sqrt(14)")
        finally:
            close_list(ziffa)
        ziffa.wait_text(ziffa.box, "SQRT(14)", "the box after the list")

    with run.point("1. Down and Up step from the entry of the box's text"):
        key("Down")
        ziffa.wait_text(ziffa.box, "sqrt(13)", "the box after Down (the next older entry)")
        key("Up", "Up")
        ziffa.wait_text(ziffa.box, "sqrt(15)", "the box after Up twice (newer entries)")

    with run.point("1. after a calculation the list opens on the newest entry"):
        ziffa.activate()
        chord("ctrl", "a")
        type_text("7*6")
        key("Return")
        ziffa.wait_result("42")
        combo = open_list(ziffa)
        try:
            wait_highlighted(combo, "7*6")
            shot(desktop, "history")
        finally:
            key("Down", "Return")
        ziffa.wait_text(ziffa.box, "sqrt(39)", "the box after Alt+Down, Down, Enter")
        holds("the result of the last calculation", lambda: text_of(ziffa.result()) == "42", 0.5)

    with run.point("1. the function box alike"):
        ziffa.activate()
        key("F6")
        wait_for("the chart row", lambda: harness.showing(ziffa.row(chart=True)))
        combo = open_list(ziffa, chart=True)
        try:
            wait_highlighted(combo, "x+y")
        finally:
            close_list(ziffa, chart=True)

    with run.point("exit"):
        ziffa.activate()
        key("Escape")
        check(ziffa.wait_end() == 0, "the exit status is 0")


# ---- The chart mode.

def chart(run):
    desktop, folder = run.desktop, run.folder
    ziffa = run.start(["--chart"])

    with run.point("the variables window shown, and Escape back"):
        key("F5")
        ziffa.shown_window("Zmienne")
        wait_for("the variables window active", lambda: harness.active_window_name() == "Zmienne")
        key("Escape")
        ziffa.wait_calculator_active()

    with run.point("2. F6 shows the chart window and the typing stays in the function box"):
        ziffa.activate()
        key("F6")
        x_window("Wykres")
        ziffa.shown_window("Wykres")
        holds("the calculator window active",
              lambda: harness.active_window_name() == CALCULATOR)
        type_text("sin(x)*cos(y)")
        ziffa.wait_text(lambda: ziffa.box(chart=True), "sin(x)*cos(y)", "the function box")
        key("Return")
        chart_window = x_window("Wykres")
        wait_for("the surface drawn", lambda: harness.mean_brightness(chart_window) > 0.002)
        shot(desktop, "chart")

    chart_window = x_window("Wykres")

    with run.point("6. on a first start the three windows stand side by side"):
        calculator = frame_of(x_window(CALCULATOR))
        variables = frame_of(x_window("Zmienne"))
        picture = frame_of(chart_window)
        for a, b, names in ((calculator, variables, "calculator and variables"),
                            (calculator, picture, "calculator and chart"),
                            (variables, picture, "variables and chart")):
            check(not overlap(a, b), f"the {names} windows overlap: {a} {b}")
        check(variables[0] + variables[2] + 2 == calculator[0],
              f"the variables window 2 pixels left of the calculator: {variables} {calculator}")
        check(picture[1] == calculator[3] + 1 and picture[0] == calculator[0],
              f"the chart window below the calculator: {picture} {calculator}")

    with run.point("3. F6 back and forth: typing replaces the box's text"):
        ziffa.activate()
        key("F6")
        wait_for("the calculation row", lambda: harness.showing(ziffa.row()))
        type_text("3*3")
        key("Return")
        ziffa.wait_result("9")
        key("F6")
        wait_for("the chart row", lambda: harness.showing(ziffa.row(chart=True)))
        type_text("x*y")
        ziffa.wait_text(lambda: ziffa.box(chart=True), "x*y", "the function box")

    with run.point("3. Escape in the chart window: the box's text selected"):
        x, y, width, height = frame_of(chart_window)
        click(x + width // 2, y + height // 2)
        wait_for("the chart window active", lambda: harness.active_window_name() == "Wykres")
        key("Escape")
        ziffa.wait_calculator_active()
        ziffa.wait_selected_whole(chart=True)
        type_text("x+")  # (no entry of the list begins so: the box completes nothing)
        ziffa.wait_text(lambda: ziffa.box(chart=True), "x+", "the function box")

    with run.point("a refused function: the message, then the caret at the fault"):
        ziffa.activate()
        key("Return")
        wait_alert(ziffa, "Brak wyrażenia po prawej stronie operatora")
        key("Return")
        wait_no_alert(ziffa)
        wait_for("the caret at the fault", lambda: caret_and_selection(ziffa.box(chart=True)) ==
                 (2, None))

    with run.point("9. a resize after a refused function redraws the picture shown"):
        harness.run("xdotool", "windowsize", str(chart_window), "500", "400")
        wait_for("the new size", lambda: "500x400" in
                 harness.run("xdotool", "getwindowgeometry", str(chart_window)))
        holds("a picture in the chart window",
              lambda: harness.mean_brightness(chart_window) > 0.002, seconds=2.0)

    with run.point("7. Ctrl+S in the chart window: Qt's own file dialog in Polish"):
        x, y, width, height = frame_of(chart_window)
        click(x + 100, y + 100)
        wait_for("the chart window active", lambda: harness.active_window_name() == "Wykres")
        chord("ctrl", "s")
        dialog = ziffa.shown_window("Zapisz wykres")
        wait_active(dialog)
        names = {a.name for a in harness.descendants(dialog) if a.getRole() in
                 (pyatspi.ROLE_LABEL, pyatspi.ROLE_PUSH_BUTTON)}
        shot(desktop, "save")
        target = os.path.join(folder, "rysunek.png")
        chord("ctrl", "a")
        type_text(target)
        key("Return")
        wait_for("the picture written", lambda: os.path.exists(target) and
                 open(target, "rb").read(8) == b"\x89PNG\r\n\x1a\n")
        for name in ("Szukaj w:", "Nazwa pliku:", "Zachowaj", "Anuluj"):
            check(name in names, f"the file dialog has no {name!r}: {sorted(names)}")

    with run.point("F6 in the chart window ends the chart mode; the typing goes on"):
        wait_for("the chart window active", lambda: harness.active_window_name() == "Wykres")
        key("F6")
        ziffa.wait_calculator_active()
        wait_for("the calculation row", lambda: harness.showing(ziffa.row()))
        type_text("exit")
        key("Return")
        check(ziffa.wait_end() == 0, "the exit status is 0")


# ---- A dark desktop theme: KDE's Breeze Dark colours, which Qt's own KDE theme reads.

BREEZE_DARK = "".join(f"[Colors:{group}]\nBackgroundNormal={background}\nForegroundNormal=252,252,252\n"
                      for group, background in (("Window", "42,46,50"), ("View", "27,30,32"),
                                                ("Button", "49,54,59"), ("Selection", "61,174,233")))
# Glyphs without smoothed edges, so that their pixels have the text's own colour, which is what
# the contrast rule measures.
SHARP_GLYPHS = ('<?xml version="1.0"?><fontconfig><match target="font"><edit name="antialias" '
                'mode="assign"><bool>false</bool></edit></match></fontconfig>')


def illegible_texts(desktop, window):
    """The texts of a window, from a screenshot, that stand out from what they are drawn on by
    less than 4.5:1 (3:1 disabled); a control's frame lies within 3 pixels of its edges."""
    png = os.path.join(tempfile.mkdtemp(), "window.png")
    desktop.screenshot(png)
    x, y, width, height = extents(window)
    check(harness.luminance(harness.pixels(png, x + 1, y + height - 2, 1, 1)[0]) < 0.1,
          "the window is not dark")
    poor = []
    for control in harness.descendants(window):
        role = control.getRole()
        if role not in (pyatspi.ROLE_LABEL, pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX,
                        pyatspi.ROLE_TEXT) or not harness.showing(control):
            continue
        shown = text_of(control) if role == pyatspi.ROLE_TEXT else control.name
        x, y, width, height = extents(control)
        inset = 0 if role == pyatspi.ROLE_LABEL else 3
        ratio = harness.text_contrast(png, (x + inset, y + inset, width - 2 * inset,
                                            height - 2 * inset))
        need = 4.5 if pyatspi.STATE_ENABLED in states(control) else 3.0
        if shown.strip() and ratio < need:
            poor.append((shown[:30], round(ratio, 2), need))
    return poor


def dark(run):
    config = os.path.join(run.folder, "config")
    os.makedirs(os.path.join(config, "fontconfig"))
    for name, text in (("kdeglobals", BREEZE_DARK), ("fontconfig/fonts.conf", SHARP_GLYPHS)):
        with open(os.path.join(config, name), "w") as file:
            file.write(text)
    theme = {"XDG_CONFIG_HOME": config, "XDG_CURRENT_DESKTOP": "KDE", "KDE_FULL_SESSION": "true",
             "KDE_SESSION_VERSION": "5"}
    ziffa = run.start([], "[Variables]\nShowWindow=1\nVariable01=a\nValue01=3\n", theme)
    variables = ziffa.shown_window("Zmienne")
    ziffa.activate()

    def legible(*windows):
        for window in windows:
            poor = illegible_texts(run.desktop, window)
            check(not poor, f"texts that don't stand out: {poor}")

    with run.point("at the start: the memory buttons disabled, the variables window"):
        legible(ziffa.calculator, variables)

    with run.point("a value, the memory buttons enabled"):
        type_text("6*7")
        key("Return")
        ziffa.wait_result("42")
        chord("ctrl", "shift", "1")
        wait_for("M1> enabled", lambda: pyatspi.STATE_ENABLED in states(ziffa.button("M1>")))
        legible(ziffa.calculator)

    with run.point("the error line"):
        type_text("(2+3")
        key("Return")
        ziffa.wait_result("BŁĄD: Brak zamknięcia nawiasu")
        shot(run.desktop, "dark")
        legible(ziffa.calculator)

    with run.point("the help window, and exit"):
        key("F1")
        help_window = ziffa.shown_window("Ziffa - Informacje")
        wait_active(help_window)
        legible(help_window)
        key("Tab", "Return")
        wait_for("the help window to close", lambda: ziffa.window("Ziffa - Informacje") is None)
        ziffa.activate()
        key("Escape")
        check(ziffa.wait_end() == 0, "the exit status is 0")


# ---- A screen scaled by 2.

def thin_share(png, box):
    """The share of the lit pixels of a box on a line one pixel wide (a run of one pixel across
    or up and down). A picture drawn at half the resolution and doubled has none."""
    width, height = box[2], box[3]
    colours = harness.pixels(png, *box)
    lit = [[max(p) > 40 for p in colours[y * width:(y + 1) * width]] for y in range(height)]

    def runs(line):  # the length of the run of equal values that each place is in
        lengths, start = [], 0
        for i in range(1, len(line) + 1):
            if i == len(line) or line[i] != line[start]:
                lengths += [i - start] * (i - start)
                start = i
        return lengths
    across = [runs(row) for row in lit]
    down = [runs(column) for column in zip(*lit)]
    shares = [min(across[y][x], down[x][y]) == 1
              for y in range(height) for x in range(width) if lit[y][x]]
    return sum(shares) / len(shares) if shares else 0.0


def scale2(run):
    ziffa = run.start(["--chart"], environment={"QT_SCALE_FACTOR": "2"})
    key("F6")
    ziffa.shown_window("Wykres")
    type_text("sin(x)*cos(y)")
    key("Return")
    chart_window = x_window("Wykres")
    png = os.path.join(run.folder, "scaled.png")

    def thin():
        # The middle of the chart window's client area, as much of it as the screen shows.
        x, y, width, height = harness.client_area(chart_window)
        left, top = x + width // 4, y + height // 4
        right = min(left + width // 2, run.desktop.size[0])
        bottom = min(top + height // 2, run.desktop.size[1])
        run.desktop.screenshot(png)
        return thin_share(png, (left, top, right - left, bottom - top)) > 0.5

    with run.point("the chart's lines one device pixel wide, and exit"):
        wait_for("thin lines on the chart", thin)
        shot(run.desktop, "scale2")
        ziffa.activate()
        key("F6")
        wait_for("the calculation row", lambda: harness.showing(ziffa.row()))
        key("Escape")
        check(ziffa.wait_end() == 0, "the exit status is 0")


# ---- A blind user with Orca.

def orca(run):
    reader = harness.ScreenReader(run.folder)
    run.closing.append(reader.close)
    ziffa = run.start()
    wait_for("Orca at the expression box", lambda: any(
        "Wyrażenie" in line for line in reader.spoken))

    with run.point("the windows are frames named by their captions, with no unseen control"):
        check(ziffa.calculator.getRole() == pyatspi.ROLE_FRAME, "the calculator is no frame")
        buttons = [a.name for a in harness.descendants(ziffa.calculator)
                   if a.getRole() == pyatspi.ROLE_PUSH_BUTTON]
        check("Zamknij" not in buttons, f"the unseen Zamknij is in the tree: {buttons}")

    with run.point("the result is spoken after Enter"):
        type_text("2*pi")
        since = reader.mark()
        key("Return")
        ziffa.wait_result("6.28318530717959")
        reader.wait_said("6.28318530717959", since)

    with run.point("the error line is spoken after a fault"):
        type_text("(2+3")
        since = reader.mark()
        key("Return")
        ziffa.wait_result("BŁĄD: Brak zamknięcia nawiasu")
        reader.wait_said("BŁĄD: Brak zamknięcia nawiasu", since)

    with run.point("with the focus in the result field, the same error is spoken again"):
        chord("alt", "n")
        wait_for("the focus in the result field", lambda: ziffa.focused(ziffa.result()))
        since = reader.mark()
        key("Return")
        reader.wait_said("BŁĄD: Brak zamknięcia nawiasu", since)

    with run.point("exit"):
        key("Escape")
        check(ziffa.wait_end() == 0, "the exit status is 0")


SCENARIOS = {"session": session, "history": history, "chart": chart, "dark": dark,
             "scale2": scale2, "orca": orca,
             "wayland": compositor.wayland, "scaled": compositor.scaled}


class Run:
    """One scenario's desktop, folder and programs."""

    def __init__(self, binary):
        self.binary = binary
        self.folder = tempfile.mkdtemp(prefix="ziffa-desktop-run-")
        self.desktop = harness.Desktop()
        self.started = []
        self.closing = []  # what else the scenario started, to end before the desktop
        self.passed = []
        self.failed = []

    @contextlib.contextmanager
    def point(self, name):
        """One point of the scenario. A failed check fails the point, and the scenario goes on
        with the next one, so that every point is judged."""
        try:
            yield
            self.passed.append(name)
            print(f"  ok      {name}", flush=True)
        except Failure as failure:
            self.failed.append(name)
            picture = os.path.join(self.folder, f"failure-{len(self.failed)}.png")
            self.desktop.screenshot(picture)
            print(f"  FAILED  {name}: {failure} (the screen: {picture})", flush=True)

    def start(self, arguments=(), settings_text=None, environment=None, **options):
        ziffa = Ziffa.__new__(Ziffa)
        self.started.append(ziffa)
        ziffa.__init__(self.binary, self.folder, arguments, settings_text, environment, **options)
        return ziffa

    def close(self):
        for ziffa in self.started:
            if hasattr(ziffa, "process"):
                ziffa.kill()
        for close in self.closing:
            close()
        self.desktop.close()


def main():
    harness.enter_private_session(sys.argv)
    parser = argparse.ArgumentParser()
    parser.add_argument("--ziffa", required=True)
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    args = parser.parse_args()
    run = Run(os.path.abspath(args.ziffa))
    print(f"desktop {args.scenario} on display {run.desktop.display}:", flush=True)
    try:
        SCENARIOS[args.scenario](run)
    except Exception as error:  # a tool that failed, or a check outside the points
        run.failed.append(repr(error))
        print(f"  FAILED  {error!r}", flush=True)
        traceback.print_exc(file=sys.stdout)
    finally:
        run.close()
    print(f"{len(run.passed)} passed, {len(run.failed)} failed")
    if run.failed:
        log = os.path.join(run.folder, "ziffa.log")
        if os.path.exists(log):
            print("The program's output:\n" + open(log, errors="replace").read())
        sys.exit(1)
    shutil.rmtree(run.folder, ignore_errors=True)


if __name__ == "__main__":
    main()
