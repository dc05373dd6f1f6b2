"""The module in someone else's process: it prints nothing (failures are
exceptions, diagnostics go to logging), a USB that cannot be reached is an
error and not an empty lab, and dropping a board never holds the interpreter
lock while it waits."""

import logging
import os
import subprocess
import sys
import textwrap

import pytest

import quillon


def test_failures_print_nothing_and_log_under_quillon(capfd, caplog, tmp_path):
    caplog.set_level(logging.DEBUG, logger="quillon")
    with quillon.open("sim") as b:
        b.sim.set_faults(stall_bulk=1)
        with pytest.raises(quillon.BoardError):
            b.mem_write(bytes(512))
        b.sim.set_faults(short_bulk_by=4)
        with pytest.raises(quillon.BoardError):
            b.mem_read(512)
        b.sim.unplug()
        with pytest.raises(quillon.BoardError) as gone:
            b.reg_read(0)
        assert gone.value.removed
    with pytest.raises(quillon.BoardError) as e:
        quillon.open("usb:9-9")
    assert e.value.holder is None
    assert capfd.readouterr() == ("", "")
    # What the programs print for a terminal went to the logger instead.
    logged = [r.getMessage() for r in caplog.records if r.name == "quillon"]
    assert "mem_write: ERROR code :-9" in logged
    assert "mem_read: Transfer Size ERROR!!" in logged


def run_python(code, **env):
    return subprocess.run([sys.executable, "-c", textwrap.dedent(code)],
                          env=dict(os.environ, **env), capture_output=True, text=True, timeout=60)


def test_usb_that_cannot_start_is_an_error_not_an_empty_lab():
    shim = os.environ.get("QUILLON_LIBUSB_REFUSES")
    if not shim:
        pytest.skip("QUILLON_LIBUSB_REFUSES (the preloaded libusb_init that fails) is not set")
    run = run_python("""
        import quillon
        for call in (quillon.boards, lambda: quillon.open("usb")):
            try:
                call()
            except quillon.BoardError as e:
                print(e)
        """, LD_PRELOAD=shim)
    assert run.stderr == ""
    assert run.stdout.splitlines() == [
        "boards: USB cannot be reached (libusb_init: LIBUSB_ERROR_OTHER): is /dev/bus/usb there?"
        " A container must be given the host's USB devices",
        "open: no board could be opened (usb); libusb_init() ERROR!! LIBUSB_ERROR_OTHER: no board"
        " can be opened (is /dev/bus/usb there? a container must be given the host's USB"
        " devices)"]


def test_collecting_a_traced_board_lets_other_threads_run(tmp_path):
    # The traced board's close waits for the busy board's call (calls take
    # turns), and that call looks for Ctrl+C with the interpreter lock: a
    # close that held the lock while it waited would never end.
    run = run_python("""
        import gc, sys, threading, time
        import quillon

        busy = quillon.open("sim")
        traced = quillon.open("sim", trace=sys.argv[1] if len(sys.argv) > 1 else "%s")
        traced.reg_write(1, 1)
        bulks = busy.sim.bulk_count
        busy.sim.set_faults(hang_bulk=1)
        def hang():
            try:
                busy.mem_read(1 << 20)
            except quillon.BoardError:
                pass
        worker = threading.Thread(target=hang)
        worker.start()
        while busy.sim.bulk_count == bulks:
            time.sleep(0.01)
        threading.Timer(0.3, busy.sim.unplug).start()
        cycle = [traced]
        cycle.append(cycle)
        del traced, cycle
        gc.collect()
        worker.join()
        print("closed")
        """ % (tmp_path / "trace.txt"))
    assert (run.stdout, run.stderr) == ("closed\n", "")
    assert (tmp_path / "trace.txt").read_text().count("CTRL") == 1
