"""Failures reach Python as BoardError with the board's own words; a board
that leaves ends the call instead of holding it; transfers let other Python
threads run."""

import os
import threading
import time

import pytest

import quillon


def test_a_failed_request_raises_with_its_code(board, sim):
    sim.set_faults(stall_request=1)
    with pytest.raises(quillon.BoardError) as e:
        board.reg_read(3)
    assert (e.value.operation, e.value.error, e.value.code) == ("reg_read", "STALL", -9)
    assert not e.value.removed
    assert "STALL" in str(e.value)
    assert board.reg_read(3) == 0  # the board is still there

    sim.set_faults(stall_bulk=1)
    with pytest.raises(quillon.BoardError) as e:
        board.mem_write(bytes(512))
    assert e.value.message == "ﾒﾓﾘﾗｲﾄに失敗しました。"
    assert e.value.log == ["4"]  # the pipe transfer's own code


def test_removal_during_a_transfer_raises_and_the_board_comes_back(board, sim):
    sim.set_faults(unplug_after_bulk_bytes=1 << 20)
    with pytest.raises(quillon.BoardError) as e:
        board.mem_read(4 << 20)
    assert e.value.removed and e.value.error == "NO_DEVICE"
    # Gone until it is plugged in again; then the next call opens it.
    with pytest.raises(quillon.BoardError) as e:
        board.reg_read(0)
    assert e.value.removed
    sim.plug()
    board.reg_write(0, 7)
    assert board.reg_read(0) == 7


@pytest.mark.quillon_profile({"link_speed": "usb2"})
def test_transfers_let_other_threads_run_and_an_unplug_ends_them(board, sim):
    ticks = 0
    stop = threading.Event()

    def count():
        nonlocal ticks
        while not stop.is_set():
            ticks += 1
            time.sleep(0.001)

    counter = threading.Thread(target=count)
    counter.start()
    try:
        board.mem_read(8 << 20)  # about 0.2 s at the board's pace
    finally:
        stop.set()
        counter.join()
    assert ticks > 10

    # A cable pulled while a long read runs: the call ends with the failure.
    threading.Timer(0.1, sim.unplug).start()
    start = time.monotonic()
    with pytest.raises(quillon.BoardError) as e:
        board.mem_read(256 << 20)
    assert e.value.removed
    assert time.monotonic() - start < 5


def test_calls_from_two_threads_take_turns(board):
    errors = []

    def worker(base):
        try:
            for i in range(200):
                board.reg_write(base, i)
                assert board.reg_read(base) == i
        except Exception as e:  # noqa: BLE001 - reported below
            errors.append(e)

    threads = [threading.Thread(target=worker, args=(a,)) for a in (1, 2, 3)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert errors == []


def test_closed_board_and_bad_names(capfd):
    with quillon.open("sim") as b, quillon.open("sim") as other:
        b.reg_write(1, 2)
        other.reg_write(1, 3)
        assert b.reg_read(1) == 2  # two boards, each its own
    assert b.closed
    with pytest.raises(quillon.BoardError):
        b.reg_read(1)
    b.close()  # twice is fine
    with pytest.raises(ValueError):
        quillon.open("pci")
    with pytest.raises(ValueError):
        quillon.open("sim", profile={"no_such_key": 1})
    with pytest.raises(quillon.BoardError) as e:
        quillon.open("usb:QB-NONE")
    assert e.value.removed
    # Why, in the exception and not on the script's output.
    assert any("usb:QB-NONE" in h for h in e.value.hints)
    assert "QB-NONE" not in capfd.readouterr().out


def test_a_profile_that_is_no_regular_file_is_refused_at_once(tmp_path):
    # A FIFO nobody writes to would hold open() for ever.
    fifo = tmp_path / "profile"
    os.mkfifo(fifo)
    for path in (fifo, tmp_path, "/dev/zero"):
        with pytest.raises(OSError, match="not a regular file"):
            quillon.open("sim", profile=path)


def test_boards_lists_only_usb_boards():
    assert all(b.id.startswith("usb:") for b in quillon.boards())
