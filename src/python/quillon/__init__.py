"""Quillon Panel boards from Python.

    import quillon
    with quillon.open("sim") as board:          # or "usb", "usb:<serial>", "usb:1-4.2"
        board.reg_write(0x10, 0x12345678)
        assert board.reg_read(0x10) == 0x12345678

The board object runs the same requests and operations as the panel and
quillon-run. A failed operation raises quillon.BoardError; arguments out of
range raise ValueError (of the wrong type TypeError) before anything is sent.
The module writes nothing to standard output or standard error: what it has
to say goes to the exception, and to Python's logging under "quillon". Transfers release the
interpreter lock, and Ctrl+C stops a long transfer or configuration load: the
board gets the transfer's end command and the call raises KeyboardInterrupt.
The manual's page "Python" documents every call.
"""

import logging
import os
from collections.abc import Mapping

from . import _quillon
from ._quillon import Board, BoardError, BoardInfo, Comparison, SimControl, boards, compare

# The version of the programs this module was built with.
__version__ = _quillon.__version__

__all__ = ["open", "boards", "compare", "Board", "BoardError", "BoardInfo", "Comparison", "SimControl"]

_log = logging.getLogger("quillon")
# A library leaves the output to the application: without a handler of the
# application's, nothing of ours reaches standard error (not even warnings).
_log.addHandler(logging.NullHandler())


def _pass_log(operation, records):
    # What the panel would write to its log, the device layer's diagnostics
    # (DEBUG) and its hints (WARNING) go to the "quillon" logger.
    for level, text in records:
        if operation is None:
            _log.log(level, "%s", text)
        else:
            _log.log(level, "%s: %s", operation, text)


_quillon._set_log_hook(_pass_log)


def _profile_text(profile):
    if profile is None:
        return ""
    if isinstance(profile, Mapping):
        def value(v):
            if isinstance(v, bool):
                return "1" if v else "0"
            return str(v)
        return "".join(f"{key} = {value(v)}\n" for key, v in profile.items())
    # Read as quillon-run reads a profile: a FIFO would hold the call in
    # open() and /dev/zero would never end, so only a regular file of at most
    # 1 MiB is taken.
    return _quillon._read_profile(profile).decode("utf-8")


def open(board="sim", profile=None, trace=None, record=None):
    """Opens a board and returns it as a quillon.Board (a context manager).

    board:   "sim" (the simulated board), "usb" (the first board found) or
             "usb:ID" (ID: a serial number or a bus and port path, "1-4.2",
             as quillon.boards() and quillon-run --list show them).
    profile: the simulated board's profile: a file of "key = value" lines, or
             a dict of keys and values.
    trace:   a file for the wire trace: text lines, or a Wireshark capture of
             usbmon records when the name ends in ".pcap".
    record:  a file for a recording of the session: the calls that have a
             KVX_COMMAND macro, one line each as it succeeds, a Tcl script
             that quillon-run replays.

    Raises BoardError when no board can be opened (a board another process
    holds: its message and its `holder` name that process); ValueError for a bad name
    or profile, a profile for a real board or a trace file that cannot be
    created; OSError when the profile file cannot be read.
    """
    text = _profile_text(profile)
    trace_path = "" if trace is None else os.fspath(trace)
    if trace is not None and not trace_path:
        raise ValueError("the trace file name is empty")
    record_path = "" if record is None else os.fspath(record)
    return _quillon._open(board, text, trace_path, record_path)
