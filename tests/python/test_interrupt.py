"""Ctrl+C during a long call: the hung transfer is cancelled, its end command
goes out, KeyboardInterrupt propagates, nothing is left half written and the
board is usable at once."""

import contextlib
import signal
import threading
import time

import pytest

import quillon

READ_END, WRITE_END = "data=00", "data=40"
READ_BEGIN, WRITE_BEGIN = "data=80", "data=C0"


def ctrl_c_when(ready):
    """SIGINT to the main thread, as Ctrl+C sends it, once ready() holds."""
    def send():
        for _ in range(2000):
            if ready():
                break
            time.sleep(0.01)
        signal.pthread_kill(threading.main_thread().ident, signal.SIGINT)
    threading.Thread(target=send, daemon=True).start()


@contextlib.contextmanager
def unhung(sim):
    """Should Ctrl+C be lost, the board leaves the bus after a while, which
    ends a hung transfer: the test then fails instead of hanging."""
    guard = threading.Timer(30, sim.unplug)
    guard.start()
    try:
        yield
    finally:
        guard.cancel()


LONG_CALLS = {
    "mem_read": (lambda b, f: b.mem_read(1 << 20), READ_BEGIN, READ_END),
    "mem_read_into": (lambda b, f: b.mem_read(out=bytearray(1 << 20)), READ_BEGIN, READ_END),
    "mem_write": (lambda b, f: b.mem_write(bytes(1 << 20)), WRITE_BEGIN, WRITE_END),
    "mem_read_file": (lambda b, f: b.mem_read_file(f / "kept.bin", 1 << 20), READ_BEGIN, READ_END),
    "mem_write_file": (lambda b, f: b.mem_write_file(f / "kept.bin"), WRITE_BEGIN, WRITE_END),
}


@pytest.mark.parametrize("name", LONG_CALLS)
def test_ctrl_c_cancels_a_hung_transfer(tmp_path, name):
    call, begin, end = LONG_CALLS[name]
    files = tmp_path / "files"
    files.mkdir()
    (files / "kept.bin").write_bytes(b"as it was")
    trace = tmp_path / "trace.txt"
    with quillon.open("sim", trace=trace) as board:
        sim = board.sim
        sim.set_faults(hang_bulk=1)
        hung = sim.bulk_count + 1
        ctrl_c_when(lambda: sim.bulk_count >= hung)
        with unhung(sim), pytest.raises(KeyboardInterrupt):
            call(board, files)
        board.reg_write(5, 0x1234)
        assert board.reg_read(5) == 0x1234
        board.flush_trace()
        # The cancelled transfer's last request is its end command.
        lines = trace.read_text().splitlines()[-5:]
        assert "req=B1" in lines[0] and lines[0].endswith(begin)
        assert lines[1].startswith("BULK") and "CANCELLED" in lines[1]
        assert "req=B1" in lines[2] and lines[2].endswith(end)
        assert all("req=B0" in line for line in lines[3:])
        # The cancel was this call's: the next transfer runs.
        board.mem_write(b"next" * 128)
        assert board.mem_read(512) == b"next" * 128
    # A read into a file left the file it would have replaced as it was.
    assert [p.name for p in files.iterdir()] == ["kept.bin"]
    assert (files / "kept.bin").read_bytes() == b"as it was"


def test_ctrl_c_while_waiting_for_another_threads_call(board, sim):
    sim.set_faults(hang_bulk=1)
    hung = sim.bulk_count + 1
    other = []

    def long_read():
        try:
            board.mem_read(1 << 20)
        except quillon.BoardError as e:
            other.append(e)

    worker = threading.Thread(target=long_read)
    with unhung(sim):
        worker.start()
        while sim.bulk_count < hung:
            time.sleep(0.01)
        before = sim.request_count
        asked = time.monotonic()
        ctrl_c_when(lambda: time.monotonic() - asked > 0.3)
        with pytest.raises(KeyboardInterrupt):
            board.reg_read(0)  # waits for the other thread's read
    # Nothing was sent, and the other thread's transfer was not cancelled:
    # only the cable ends it.
    assert sim.request_count == before
    worker.join(0.5)
    assert worker.is_alive()
    sim.unplug()
    worker.join()
    assert other and other[0].removed
