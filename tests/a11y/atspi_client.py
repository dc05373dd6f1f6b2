#!/usr/bin/python3
"""An outside accessibility client driving the panel through AT-SPI, as a
screen reader or a test tool does: run by run_atspi_test.sh (see README.md).

It finds the panel's main window, walks every page (pressing its tab) and
reports any control without a name or sharing its role and name with
another on the page, then works the panel by names alone: types a value
into the register page and writes and reads it back, presses "更新" on the
board information page and finds its lines in the log window and the log
file. Then it presses every button on every page (but "終了", which ends the
panel, and "測定開始", which moves gigabytes) and checks that each press returns
and the panel is still there. Last it starts a second panel on USB where no
board can be found, reads why in its window, and chooses the simulated board
through "ﾎﾞｰﾄﾞの選択..." of the File menu."""

import argparse
import glob
import os
import subprocess
import sys
import threading
import time

import pyatspi

CONTROL_ROLES = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX,
    pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY,
    pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_SLIDER, pyatspi.ROLE_LINK, pyatspi.ROLE_PAGE_TAB,
    pyatspi.ROLE_TABLE, pyatspi.ROLE_LIST, pyatspi.ROLE_TREE,
}
APP_NAME = "Quillon7 for x86"
MAIN_CAPTION = "Brightlink Series"
WAIT = 20.0


class Failure(Exception):
    pass


def wait_for(what, probe, timeout=WAIT):
    """probe() until it gives something true; Failure after timeout."""
    end = time.monotonic() + timeout
    while True:
        try:
            found = probe()
        except Exception:  # the tree may change under a query
            found = None
        if found:
            return found
        if time.monotonic() > end:
            raise Failure("timed out waiting for " + what)
        time.sleep(0.1)


def showing(acc):
    return acc.getState().contains(pyatspi.STATE_SHOWING)


def children(acc):
    return [c for c in acc if c is not None]


def find(root, role, name, only_showing=True):
    def match(a):
        return (a.getRole() == role and a.name == name and
                (not only_showing or showing(a)))
    return pyatspi.findDescendant(root, match)


def controls(root):
    """The showing controls under root, in tree order, not walking into a
    control's own parts."""
    out = []
    for c in children(root):
        if not showing(c):
            continue
        if c.getRole() in CONTROL_ROLES:
            out.append(c)
        else:
            out.extend(controls(c))
    return out


def press(acc, action="Press"):
    """Does the action without waiting on it (a button that opens a modal
    box does not return until the box closes); fails when it has not
    returned after a while."""
    act = acc.queryAction()
    names = [act.getName(i) for i in range(act.nActions)]
    index = names.index(action) if action in names else 0
    done = threading.Event()

    def run():
        act.doAction(index)
        done.set()

    threading.Thread(target=run, daemon=True).start()
    if not done.wait(10):
        raise Failure("'%s' did not return from %s (a box open?)" % (acc.name, names[index]))


def press_async(acc, action="Press"):
    """Starts the action and returns at once: for one that opens a modal
    dialog, whose answer comes only when the dialog closes (the client stops
    waiting for it long before: the dialog's going is what tells)."""
    act = acc.queryAction()
    names = [act.getName(i) for i in range(act.nActions)]
    index = names.index(action) if action in names else 0

    def run():
        try:
            act.doAction(index)
        except Exception:  # no answer while the dialog is open
            pass

    threading.Thread(target=run, daemon=True).start()


def text_of(acc):
    t = acc.queryText()
    return t.getText(0, -1)


def main_window():
    desktop = pyatspi.Registry.getDesktop(0)
    app = wait_for("the panel on the accessibility bus",
                   lambda: next((a for a in children(desktop) if a.name == APP_NAME), None))
    return app, wait_for("the main window", lambda: next(
        (w for w in children(app)
         if w.getRole() == pyatspi.ROLE_FRAME and w.name.startswith(MAIN_CAPTION)), None))


def current_page(window):
    stack = find(window, pyatspi.ROLE_LAYERED_PANE, "", only_showing=False)
    return next(c for c in children(stack) if showing(c))


def check_page(where, found, problems):
    seen = {}
    for c in found:
        key = (c.getRoleName(), c.name.strip())
        if not key[1]:
            problems.append("%s: %s without a name" % (where, key[0]))
        elif key in seen:
            problems.append("%s: two %s named '%s'" % (where, key[0], key[1]))
        seen[key] = True


def walk_pages(window):
    tabs = wait_for("the page tabs",
                    lambda: pyatspi.findDescendant(window,
                                                   lambda a: a.getRole() ==
                                                   pyatspi.ROLE_PAGE_TAB_LIST))
    problems = []
    frame = [t for t in children(tabs) if t.getRole() == pyatspi.ROLE_PAGE_TAB]
    for name in ("ﾛｸﾞView再表示", "終了"):
        frame.append(find(window, pyatspi.ROLE_PUSH_BUTTON, name))
    check_page("frame", [f for f in frame if f is not None], problems)
    total = 0
    for tab in frame:
        if tab is None or tab.getRole() != pyatspi.ROLE_PAGE_TAB:
            continue
        press(tab)
        wait_for("page " + tab.name,
                 lambda: tab.getState().contains(pyatspi.STATE_SELECTED))
        page = current_page(window)
        found = controls(page)
        total += len(found)
        print("page %-16s %3d controls" % (tab.name, len(found)))
        check_page("page " + tab.name, found, problems)
    print("%d pages, %d controls" % (len(frame) - 2, total))
    return problems


def select_page(window, name):
    tab = find(window, pyatspi.ROLE_PAGE_TAB, name)
    if tab is None:
        raise Failure("no page tab '%s'" % name)
    press(tab)
    wait_for("page " + name, lambda: tab.getState().contains(pyatspi.STATE_SELECTED))
    return current_page(window)


def register_write_and_read(window):
    page = select_page(window, "ﾚｼﾞｽﾀ操作")
    value = find(page, pyatspi.ROLE_TEXT, "ﾃﾞｰﾀ設定 Write")
    if value is None:
        raise Failure("no field 'ﾃﾞｰﾀ設定 Write' on the register page")
    value.queryEditableText().setTextContents("5a")
    press(find(page, pyatspi.ROLE_PUSH_BUTTON, "Write"))
    wait_for("the write to show in its field", lambda: text_of(value) == "5A")
    read_back = find(page, pyatspi.ROLE_TEXT, "ﾃﾞｰﾀ設定 Read")
    press(find(page, pyatspi.ROLE_PUSH_BUTTON, "Read"))
    wait_for("5A read back", lambda: text_of(read_back) == "5A")
    print("register page: 5A written and read back by name")


def board_information_to_log(app, window, log_folder):
    page = select_page(window, "ﾎﾞｰﾄﾞ情報")
    button = find(page, pyatspi.ROLE_PUSH_BUTTON, "更新")
    if button is None:
        raise Failure("no button '更新' on the board information page")
    press(button)
    log_window = wait_for("the log window", lambda: next(
        (w for w in children(app) if w.name.startswith("LOG View - ")), None))
    if log_window.getRole() != pyatspi.ROLE_FRAME:
        raise Failure("the log window is a %s, not a frame" % log_window.getRoleName())
    log = find(log_window, pyatspi.ROLE_TEXT, "ﾛｸﾞ")
    wait_for("the firmware version in the log window",
             lambda: "ﾌｧｰﾑｳｪｱﾊﾞｰｼﾞｮﾝ" in text_of(log))
    files = glob.glob(log_folder + "/LOG*.txt")
    if not files:
        raise Failure("no log file in " + log_folder)
    wait_for("the firmware version in the log file",
             lambda: "ﾌｧｰﾑｳｪｱﾊﾞｰｼﾞｮﾝ" in open(files[0], encoding="utf-8").read())
    print("board information: '更新' pressed by name, its lines in the log window and file")


# Presses that end the panel or run for minutes.
NOT_PRESSED = {"終了", "測定開始"}


def press_everything(app, window):
    tabs = [t for t in controls(window) if t.getRole() == pyatspi.ROLE_PAGE_TAB]
    pressed = 0
    for tab in tabs:
        page = select_page(window, tab.name)
        for c in controls(page):
            if c.getRole() != pyatspi.ROLE_PUSH_BUTTON or c.name in NOT_PRESSED:
                continue
            if not c.getState().contains(pyatspi.STATE_ENABLED):
                continue
            press(c)
            pressed += 1
        # The panel still answers.
        wait_for("the panel after the presses on " + tab.name,
                 lambda: current_page(window) is not None)
    print("pressed %d buttons on %d pages; the panel is still there" % (pressed, len(tabs)))


def find_label(root, part):
    """The showing label whose name holds `part`, or None."""
    return pyatspi.findDescendant(
        root, lambda a: a.getRole() == pyatspi.ROLE_LABEL and part in a.name and showing(a))


CHOOSE_BOARD = "ﾎﾞｰﾄﾞの選択..."
SIM_BOARD = "ｼﾐｭﾚｰｼｮﾝﾎﾞｰﾄﾞ"


def no_board_then_simulated(panel, scratch):
    """A second panel on USB that can find no board (USB_IDS names no real
    device): its window says why and what to do; the simulated board chosen
    through the File menu opens ("USB OPEN!!") and the notice goes."""
    home = os.path.join(scratch, "usb-panel")
    for d in ("config/Ardenfield", "data", "run"):
        os.makedirs(os.path.join(home, d), exist_ok=True)
    os.chmod(os.path.join(home, "run"), 0o700)
    with open(os.path.join(home, "config/Ardenfield/Quillon7.ini"), "w") as ini:
        ini.write("[SETUP]\nUSB_IDS=FFFF:FFFF\n")
    env = dict(os.environ, XDG_CONFIG_HOME=home + "/config", XDG_DATA_HOME=home + "/data",
               XDG_RUNTIME_DIR=home + "/run", QT_QPA_PLATFORM="xcb",
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QUILLON_DIALOGS="stderr")
    out = open(os.path.join(home, "panel.out"), "w")
    proc = subprocess.Popen([panel, "--board", "usb"], env=env, stdout=out, stderr=out)
    try:
        desktop = pyatspi.Registry.getDesktop(0)
        app = wait_for("the USB panel on the accessibility bus", lambda: next(
            (a for a in children(desktop)
             if a.name == APP_NAME and a.get_process_id() == proc.pid), None))
        window = wait_for("its main window", lambda: next(
            (w for w in children(app)
             if w.getRole() == pyatspi.ROLE_FRAME and w.name.startswith(MAIN_CAPTION)), None))
        todo = wait_for("what to do without a board", lambda: find_label(window, SIM_BOARD))
        if find(window, pyatspi.ROLE_PUSH_BUTTON, CHOOSE_BOARD) is None:
            raise Failure("no button '%s' beside '%s'" % (CHOOSE_BOARD, todo.name))
        print("no board: '%s'" % todo.name)

        item = wait_for("the menu item " + CHOOSE_BOARD, lambda: pyatspi.findDescendant(
            window, lambda a: a.getRole() == pyatspi.ROLE_MENU_ITEM and
            a.name.startswith(CHOOSE_BOARD)))
        press_async(item)

        def the_dialog():
            return next((w for w in children(app) if w.getRole() == pyatspi.ROLE_DIALOG and
                         w.name == "ﾎﾞｰﾄﾞの選択" and showing(w)), None)
        dialog = wait_for("the dialog", the_dialog)
        problems = []
        check_page("dialog ﾎﾞｰﾄﾞの選択", controls(dialog), problems)
        sim = find(dialog, pyatspi.ROLE_RADIO_BUTTON, SIM_BOARD)
        if sim is None:
            raise Failure("the dialog offers no '%s'" % SIM_BOARD)
        press(sim)
        press(find(dialog, pyatspi.ROLE_PUSH_BUTTON, "OK"))
        wait_for("the dialog to close on OK", lambda: the_dialog() is None)

        def opened():
            files = glob.glob(home + "/data/Quillon7/LOG*.txt")
            text = open(files[0], encoding="utf-8").read() if files else ""
            after = text.split("ﾎﾞｰﾄﾞの選択: sim", 1)
            return len(after) == 2 and "USB OPEN!!" in after[1]
        wait_for("'USB OPEN!!' after the simulated board was chosen", opened)
        wait_for("the no-board notice to go", lambda: find_label(window, SIM_BOARD) is None)
        print("the simulated board chosen by name: USB OPEN!!")
        return problems
    finally:
        proc.terminate()
        try:
            proc.wait(10)
        except subprocess.TimeoutExpired:
            proc.kill()
        out.close()


def run():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--log-folder", required=True)
    parser.add_argument("--dump", action="store_true", help="print every page's controls")
    parser.add_argument("--panel", help="the panel program, for the no-board run")
    parser.add_argument("--scratch", help="a folder for the no-board run's home")
    args = parser.parse_args()
    app, window = main_window()
    print("main window: '%s'" % window.name)
    problems = walk_pages(window)
    if args.dump:
        for tab in [t for t in controls(window) if t.getRole() == pyatspi.ROLE_PAGE_TAB]:
            page = select_page(window, tab.name)
            for c in controls(page):
                print("  %s | %s | %s" % (tab.name, c.getRoleName(), c.name))
    register_write_and_read(window)
    board_information_to_log(app, window, args.log_folder)
    press_everything(app, window)
    if args.panel and args.scratch:
        problems += no_board_then_simulated(args.panel, args.scratch)
    for p in problems:
        print("PROBLEM " + p)
    return 1 if problems else 0


if __name__ == "__main__":
    try:
        sys.exit(run())
    except Failure as e:
        print("atspi client: " + str(e), file=sys.stderr)
        sys.exit(1)
