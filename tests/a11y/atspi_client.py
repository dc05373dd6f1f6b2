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
and the panel is still there. Last it starts a second panel on USB where no
board can be found, reads why in its window, and chooses the simulated board
through "ﾎﾞｰﾄﾞの選択..." of the File menu.

With --scenario long-work (a panel on a board paced at USB 2 speed, with its
wire trace) it starts a 256 MiB MemRead, a 256 MiB MemWrite and the rate
measurement at 128 MiB, each in turn: the busy window's progress bar shows and
rises while the panel goes on answering, "ｷｬﾝｾﾙ" ends the work with
"ﾕｰｻﾞｰｷｬﾝｾﾙ" in the log and the memory end command last on the wire, the read's
existing file is untouched, and a register read works right after."""

import argparse
import glob
import os
import re
import shutil
import struct
import subprocess
import sys
import threading
import time
import zlib

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


class Started:
    """An action running on a thread of its own: the caller goes on at once."""

    def __init__(self, acc, action):
        act = acc.queryAction()
        names = [act.getName(i) for i in range(act.nActions)]
        if not names:
            raise Failure("'%s' offers no action (gone from the tree?)" % acc.name)
        index = names.index(action) if action in names else 0
        self.what = "'%s' (%s)" % (acc.name, names[index])
        self.error = None
        self.done = threading.Event()

        def run():
            try:
                act.doAction(index)
            except Exception as e:
                self.error = e
            self.done.set()

        threading.Thread(target=run, daemon=True).start()

    def returned(self, timeout):
        """True once the action returned, within timeout; Failure if it failed."""
        if not self.done.wait(timeout):
            return False
        if self.error is not None:
            raise Failure("%s failed: %s" % (self.what, self.error))
        return True


def press(acc, action="Press"):
    """Does the action without waiting on it (a button that opens a modal
    box does not return until the box closes); fails when it has not
    returned after a while."""
    started = Started(acc, action)
    if not started.returned(10):
        raise Failure("%s did not return (a box open?)" % started.what)


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


def register_write_and_read(window, value="5a"):
    page = select_page(window, "ﾚｼﾞｽﾀ操作")
    field = find(page, pyatspi.ROLE_TEXT, "ﾃﾞｰﾀ設定 Write")
    if field is None:
        raise Failure("no field 'ﾃﾞｰﾀ設定 Write' on the register page")
    field.queryEditableText().setTextContents(value)
    press(find(page, pyatspi.ROLE_PUSH_BUTTON, "Write"))
    shown = value.upper()
    wait_for("the write to show in its field", lambda: text_of(field) == shown)
    read_back = find(page, pyatspi.ROLE_TEXT, "ﾃﾞｰﾀ設定 Read")
    press(find(page, pyatspi.ROLE_PUSH_BUTTON, "Read"))
    wait_for(shown + " read back", lambda: text_of(read_back) == shown)
    print("register page: %s written and read back by name" % shown)


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
            # Long work started by the press turns every board control off
            # until it ends: wait for the button to come back, so that the
            # presses after it still find their buttons on.
            try:
                wait_for("the end of the work of " + c.name,
                         lambda: c.getState().contains(pyatspi.STATE_ENABLED), timeout=10.0)
            except Failure:
                pass
        # The panel still answers.
        wait_for("the panel after the presses on " + tab.name,
                 lambda: current_page(window) is not None)
    print("pressed %d buttons on %d pages; the panel is still there" % (pressed, len(tabs)))


# --- Long work on a board paced at USB 2 speed ---------------------------------

# The memory end commands as the wire trace writes them: control request B1
# with one data byte, 00 closing a read, 40 closing a write.
READ_END = "CTRL bm=40 req=B1 val=0000 idx=0000 len=1 -> OK 1 data=00"
WRITE_END = "CTRL bm=40 req=B1 val=0000 idx=0000 len=1 -> OK 1 data=40"
USER_CANCEL = "ﾕｰｻﾞｰｷｬﾝｾﾙ"
# How long the panel may take to answer one query while long work runs: a
# second tells a window served by its event loop from one stuck behind the
# work (it held on a machine loaded well past its two cores).
ANSWER_LIMIT = 1.0
# The bar shows within 1 s of the press and Cancel ends the work within 2 s;
# the bounds leave room for a loaded machine.
SHOW_WAIT = 5.0
END_WAIT = 5.0
# The rate measurement's bar moves once a transfer: 128 MiB take about 3.4 s
# at USB 2 speed.
RISE_WAIT = 10.0


def gone(acc):
    try:
        return not showing(acc)
    except Exception:  # left the tree
        return True


def answered(what, query):
    """query(), failing when the panel took longer than ANSWER_LIMIT."""
    start = time.monotonic()
    result = query()
    spent = time.monotonic() - start
    if spent > ANSWER_LIMIT:
        raise Failure("the panel took %.2f s to answer %s during long work" % (spent, what))
    return result


def busy_window(app):
    """The showing window (other than the main and the log window) with a
    progress bar "進捗" whose value is set, and that bar."""
    for w in children(app):
        if w.name.startswith(MAIN_CAPTION) or w.name.startswith("LOG View - "):
            continue
        bar = find(w, pyatspi.ROLE_PROGRESS_BAR, "進捗")
        if bar is not None and bar.queryValue().maximumValue > 0:
            return w, bar
    return None


def count_in_logs(log_folder, text):
    n = 0
    for name in glob.glob(log_folder + "/LOG*.txt"):
        with open(name, encoding="utf-8", errors="replace") as f:
            n += f.read().count(text)
    return n


def last_requests(trace, n=2):
    with open(trace, encoding="utf-8", errors="replace") as f:
        lines = [line.rstrip("\n") for line in f if line.strip()]
    return lines[-n:]


class Screenshots:
    """Pictures of the whole X screen for a person to look at, when a folder
    is given and xwd (x11-apps) is there; converted to PNG at the end."""

    def __init__(self, folder):
        self.folder = folder
        self.dumps = []
        if folder and not shutil.which("xwd"):
            print("screenshots skipped: no xwd (Debian package x11-apps)")
            self.folder = None

    def take(self, name):
        if self.folder:
            dump = subprocess.run(["xwd", "-root", "-silent"], capture_output=True, check=True)
            self.dumps.append((name, dump.stdout))

    def save(self):
        if not self.folder:
            return
        os.makedirs(self.folder, exist_ok=True)
        for name, dump in self.dumps:
            width, height, png = xwd_to_png(dump)
            path = os.path.join(self.folder, "%dx%d-%s.png" % (width, height, name))
            with open(path, "wb") as f:
                f.write(png)
            print("screenshot " + path)


def xwd_to_png(dump):
    """An X window dump of a 24-bit colour screen as PNG bytes: 32 bits a
    pixel, or 24 (in rows as long as for 32) when xwd merged windows of
    several visuals, a translucent one among them."""
    head = struct.unpack(">25I", dump[:100])
    header_size, depth, width, height = head[0], head[3], head[4], head[5]
    byte_order, bits, stride, colours = head[7], head[11], head[12], head[19]
    size = bits // 8
    if head[2] != 2 or depth != 24 or size not in (3, 4) or stride < size * width:
        raise Failure("screenshot: not a 24-bit colour picture: %s" % (head,))
    pixels = dump[header_size + 12 * colours:]
    # Least significant byte first: B G R (x); else (x) R G B.
    red, green, blue = (2, 1, 0) if byte_order == 0 else (size - 3, size - 2, size - 1)
    rows = bytearray()
    for y in range(height):
        row = pixels[y * stride:y * stride + size * width]
        rgb = bytearray(3 * width)
        rgb[0::3], rgb[1::3], rgb[2::3] = row[red::size], row[green::size], row[blue::size]
        rows += b"\0" + rgb

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data)))

    return width, height, (b"\x89PNG\r\n\x1a\n" +
                           chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
                           chunk(b"IDAT", zlib.compress(bytes(rows), 6)) + chunk(b"IEND", b""))


def start_and_cancel(app, window, page, button, progress_line, args, shots, tag):
    """Presses `button`, watches the progress of the work it runs and
    cancels it."""
    start = find(page, pyatspi.ROLE_PUSH_BUTTON, button)
    if start is None or not start.getState().contains(pyatspi.STATE_ENABLED):
        raise Failure("no enabled button '%s'" % button)
    cancels = count_in_logs(args.log_folder, USER_CANCEL)
    started = Started(start, "Press")
    busy, bar = wait_for("a progress bar '進捗' showing its value after '%s'" % button,
                         lambda: busy_window(app), timeout=SHOW_WAIT)

    # The value rises while the panel goes on answering: a few samples over
    # at least 1.5 s, until it moved.
    values = []
    first = time.monotonic()
    while True:
        values.append(answered("the progress value", lambda: bar.queryValue().currentValue))
        answered("the main window's name", lambda: window.name)
        answered("the main window's place",
                 lambda: window.queryComponent().getExtents(pyatspi.DESKTOP_COORDS))
        if len(values) > 1 and values[-1] < values[-2]:
            raise Failure("the progress of '%s' went back: %s" % (button, values))
        spent = time.monotonic() - first
        if len(values) >= 4 and spent >= 1.5 and values[-1] > values[0]:
            break
        if spent > RISE_WAIT:
            raise Failure("the progress of '%s' did not rise: %s" % (button, values))
        time.sleep(0.4)
    line = wait_for("the progress line beside the bar",
                    lambda: pyatspi.findDescendant(
                        busy, lambda a: a.getRole() == pyatspi.ROLE_LABEL and
                        re.fullmatch(progress_line, a.name)), timeout=SHOW_WAIT)
    print("%s: progress %s, '%s'" % (button, values, line.name))
    shots.take(tag + "-busy")

    cancel = find(busy, pyatspi.ROLE_PUSH_BUTTON, "ｷｬﾝｾﾙ")
    if cancel is None or not cancel.getState().contains(pyatspi.STATE_ENABLED):
        raise Failure("no enabled 'ｷｬﾝｾﾙ' in the busy window of '%s'" % button)
    answered("the progress value", lambda: bar.queryValue().currentValue)
    press(cancel)
    pressed = time.monotonic()
    wait_for("the busy window to leave after 'ｷｬﾝｾﾙ'", lambda: gone(bar), timeout=END_WAIT)
    print("%s: busy window gone %.1f s after 'ｷｬﾝｾﾙ'" % (button, time.monotonic() - pressed))
    if not started.returned(END_WAIT):
        raise Failure("the press of '%s' has not returned" % button)
    wait_for("'%s' back on after 'ｷｬﾝｾﾙ'" % button,
             lambda: start.getState().contains(pyatspi.STATE_ENABLED), timeout=END_WAIT)
    shots.take(tag + "-cancelled")
    wait_for("'%s' in the log file" % USER_CANCEL,
             lambda: count_in_logs(args.log_folder, USER_CANCEL) > cancels, timeout=END_WAIT)


def check_cut_and_closed(trace, transfer, end):
    """The transfer in flight was cut short and the end command went last
    (the trace reaches its file at least once a second)."""
    expected = [transfer + " -> ERR CANCELLED", end]
    try:
        wait_for("the end command last on the wire", lambda: last_requests(trace) == expected,
                 timeout=END_WAIT)
    except Failure:
        raise Failure("the wire does not end with %s: %s" % (expected, last_requests(trace)))


def long_work(app, window, args, shots):
    work = args.work_folder
    # A read's target that exists, alone in its folder; a write's source far
    # shorter than the length (the rest goes as zeros).
    folder = os.path.join(work, "read")
    os.makedirs(folder, exist_ok=True)
    target = os.path.join(folder, "target.bin")
    content = bytes(range(256)) * 16
    with open(target, "wb") as f:
        f.write(content)
    source = os.path.join(work, "source.bin")
    with open(source, "wb") as f:
        f.write(b"\x5a" * 4096)

    page = select_page(window, "ﾒﾓﾘ操作")
    split = find(page, pyatspi.ROLE_CHECK_BOX, "分割ﾒﾓﾘ転送")
    if split.getState().contains(pyatspi.STATE_CHECKED):
        press(split)
        wait_for("'分割ﾒﾓﾘ転送' off",
                 lambda: not split.getState().contains(pyatspi.STATE_CHECKED))
    # 256 MiB, in hexadecimal.
    find(page, pyatspi.ROLE_TEXT, "転送ﾚﾝｸﾞｽ →").queryEditableText().setTextContents("10000000")

    bytes_line = r"[\d.]+ (B|KiB|MiB) / 256\.0 MiB  [\d.]+ MB/s  残り \d+:\d\d"
    works = [
        # tag, page, button, file, progress line, the transfer cut, its end
        # command, a register value to write and read after
        ("memread", "ﾒﾓﾘ操作", "MemRead", target, bytes_line, "BULK ep=82 len=268435456",
         READ_END, "a1"),
        ("memwrite", "ﾒﾓﾘ操作", "MemWrite", source, bytes_line, "BULK ep=06 len=268435456",
         WRITE_END, "b2"),
        # The panel starts with the first size, 128 MiB; writes come first,
        # 16 of the 32 transfers, and Cancel comes during the second.
        ("rate", "転送ﾚｰﾄ測定", "測定開始", None, r"\d+/32", "BULK ep=06 len=134217728",
         WRITE_END, "c3"),
    ]
    for tag, page_name, button, path, line, transfer, end, value in works:
        page = select_page(window, page_name)
        if path:
            find(page, pyatspi.ROLE_TEXT, "ﾌｧｲﾙ設定").queryEditableText().setTextContents(path)
        start_and_cancel(app, window, page, button, line, args, shots, tag)
        check_cut_and_closed(args.trace, transfer, end)
        if path == target:
            with open(target, "rb") as f:
                if f.read() != content:
                    raise Failure("the cancelled MemRead changed its existing target file")
            if os.listdir(folder) != ["target.bin"]:
                raise Failure("the cancelled MemRead left files beside its target: %s" %
                              sorted(os.listdir(folder)))
        register_write_and_read(window, value)
    print("long work: MemRead, MemWrite and the rate measurement cancelled, "
          "the board usable after each")
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
    parser.add_argument("--scenario", choices=["pages", "long-work"], default="pages",
                        help="long-work: start long work, watch its progress and cancel it "
                        "(a board paced at USB 2 speed; needs --trace and --work-folder)")
    parser.add_argument("--trace", help="the panel's wire trace file")
    parser.add_argument("--work-folder", help="a scratch folder for the transfers' files")
    parser.add_argument("--shots", help="keep screenshots of the long work in this folder")
    parser.add_argument("--panel", help="the panel program, for the no-board run")
    parser.add_argument("--scratch", help="a folder for the no-board run's home")
    args = parser.parse_args()
    app, window = main_window()
    print("main window: '%s'" % window.name)
    if args.scenario == "long-work":
        if not args.trace or not args.work_folder:
            parser.error("--scenario long-work needs --trace and --work-folder")
        shots = Screenshots(args.shots)
        long_work(app, window, args, shots)
        shots.save()
        return 0
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
