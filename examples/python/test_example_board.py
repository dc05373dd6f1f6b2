"""Board tests with the quillon pytest plugin:

    PYTHONPATH=build/python python3 -m pytest -p quillon.pytest_plugin examples/python
    PYTHONPATH=build/python python3 -m pytest -p quillon.pytest_plugin --quillon-board usb examples/python

The `board` fixture opens a board for each test (a fresh simulated board by
default); `sim` is its simulated board, for faults, and skips the test on a
real board.
"""

import numpy as np
import pytest

import quillon


def test_scratch_register(board):
    for width in (8, 16, 32, 64):
        board.reg_write(0x3FFF, (1 << width) - 1, width)
        assert board.reg_read(0x3FFF, width) == (1 << width) - 1


def test_memory_round_trip(board):
    board.reg_write(0, 0)
    data = np.arange(1 << 16, dtype=np.uint32)
    board.mem_write(data, width=32)
    assert np.array_equal(board.mem_read(out=np.empty_like(data), width=32), data)


def test_a_stalled_transfer_is_an_error(board, sim):
    sim.set_faults(stall_bulk=1)
    with pytest.raises(quillon.BoardError) as failed:
        board.mem_write(bytes(4096))
    assert failed.value.error == "STALL"


@pytest.mark.quillon_profile({"temperature": "71.25"})
def test_temperature_alert(board):
    assert board.temperature() == pytest.approx(71.25)
    board.set_temp_alert(70)
    assert board.temp_alert() == 70
