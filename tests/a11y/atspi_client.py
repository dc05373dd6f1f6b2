#!/usr/bin/python3
"""An outside accessibility client driving the panel through AT-SPI, as a
screen reader or a test tool does: run by run_atspi_test.sh (see README.md).

It finds the panel's main window, walks every page (pressing its tab) and
reports any control without a name or sharing its role and name with
another on the page, then works the panel by names alone: types a value
into the register page and writes and reads it back, presses "更新" on the
board information page and finds its lines in the log window and the log
file; hides and shows the page "GPIO" through "表示するﾍﾟｰｼﾞ..." in the Options
menu and goes to the next page with Ctrl+PageDown. Last it presses every button on every page (but "終了", which ends the
panel, and "測定開始", which moves gigabytes) and checks that each press returns
and the panel is still there."""

import argparse
import glob
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


# The pages a settings key shows, which "表示するﾍﾟｰｼﾞ..." lists.
CHOOSABLE = ["USBｺﾝﾌｨｸﾞ", "I2C操作", "SPI操作", "SerBridge", "SUSPEND操作", "温度ﾓﾆﾀ", "GPIO",
             "NorBridge2", "GPIF設定", "拡張ﾚｼﾞｽﾀ", "ﾚｼﾞｽﾀ操作(512)", "MCP4725", "I2C操作2"]


def click(acc):
    """A click of the mouse in the middle of acc, as a user makes it (an item
    whose handler opens a modal dialog would keep an action call waiting)."""
    ext = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(ext.x + ext.width // 2, ext.y + ext.height // 2, "b1c")


def choose_pages(app, window, tick):
    """Opens "表示するﾍﾟｰｼﾞ..." from the Options menu, lets tick(boxes) change
    the boxes and presses OK."""
    # The menu's name carries its mnemonic letter: "ｵﾌﾟｼｮﾝ(O)".
    bar = pyatspi.findDescendant(window, lambda a: a.getRole() == pyatspi.ROLE_MENU_BAR)
    options = next((m for m in children(bar) if m.name.startswith("ｵﾌﾟｼｮﾝ")), None)
    if options is None:
        raise Failure("no menu 'ｵﾌﾟｼｮﾝ'")
    item = pyatspi.findDescendant(
        options, lambda a: a.getRole() == pyatspi.ROLE_MENU_ITEM and a.name == "表示するﾍﾟｰｼﾞ...")
    if item is None:
        raise Failure("no item '表示するﾍﾟｰｼﾞ...' in the Options menu")
    click(options)
    wait_for("the Options menu to open", lambda: showing(item))
    click(item)

    def chooser():
        app.clearCache()  # a new window is not among the cached children yet
        return next((w for w in children(app) if w.name == "表示するﾍﾟｰｼﾞ" and showing(w)), None)

    dialog = wait_for("the page chooser", chooser)
    boxes = {c.name: c for c in controls(dialog) if c.getRole() == pyatspi.ROLE_CHECK_BOX}
    if sorted(boxes) != sorted(CHOOSABLE):
        raise Failure("the page chooser lists %s" % sorted(boxes))
    tick(boxes)
    press(find(dialog, pyatspi.ROLE_PUSH_BUTTON, "OK"))
    wait_for("the page chooser to close", lambda: not showing(dialog))


def page_chooser_and_keys(app, window):
    def tab(name):
        return find(window, pyatspi.ROLE_PAGE_TAB, name)

    def set_gpio(on):
        def tick(boxes):
            box = boxes["GPIO"]
            if box.getState().contains(pyatspi.STATE_CHECKED) != on:
                press(box, "Toggle")
        return tick

    gpio = tab("GPIO")
    choose_pages(app, window, set_gpio(False))
    wait_for("the GPIO tab to go", lambda: not showing(gpio))
    choose_pages(app, window, set_gpio(True))
    wait_for("the GPIO tab to come back", lambda: showing(gpio))
    print("page chooser: 13 pages listed; GPIO hidden and shown again at once")

    # Ctrl+PageDown from the register page goes to the memory page.
    select_page(window, "ﾚｼﾞｽﾀ操作")
    field = find(current_page(window), pyatspi.ROLE_TEXT, "ﾃﾞｰﾀ設定 Write")
    # Keys go to the active window: a click on a field makes the panel's
    # window active (there is no window manager to do it).
    click(field)
    wait_for("the main window to become active",
             lambda: window.getState().contains(pyatspi.STATE_ACTIVE))
    reg = pyatspi.Registry
    reg.generateKeyboardEvent(4, None, pyatspi.KEY_LOCKMODIFIERS)  # Control
    reg.generateKeyboardEvent(0xff56, None, pyatspi.KEY_SYM)  # Page_Down
    reg.generateKeyboardEvent(4, None, pyatspi.KEY_UNLOCKMODIFIERS)
    memory = tab("ﾒﾓﾘ操作")
    wait_for("Ctrl+PageDown to bring 'ﾒﾓﾘ操作' forward",
             lambda: memory.getState().contains(pyatspi.STATE_SELECTED), timeout=5)
    print("keys: Ctrl+PageDown went from 'ﾚｼﾞｽﾀ操作' to 'ﾒﾓﾘ操作'")


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


def run():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--log-folder", required=True)
    parser.add_argument("--dump", action="store_true", help="print every page's controls")
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
    page_chooser_and_keys(app, window)
    press_everything(app, window)
    for p in problems:
        print("PROBLEM " + p)
    return 1 if problems else 0


if __name__ == "__main__":
    try:
        sys.exit(run())
    except Failure as e:
        print("atspi client: " + str(e), file=sys.stderr)
        sys.exit(1)
