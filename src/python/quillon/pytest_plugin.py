"""pytest plugin: a `board` fixture on the simulated board or a real one.

    pytest -p quillon.pytest_plugin                         # the simulated board
    pytest -p quillon.pytest_plugin --quillon-board usb     # the first USB board
    pytest -p quillon.pytest_plugin --quillon-board usb:QB-0001

Each test gets a board of its own, opened before and closed after it; on the
simulated board that is a fresh board every time. Fixtures:

    board        the quillon.Board
    sim          board.sim (faults, state of the simulated board); the test is
                 skipped on a real board
    quillon_board_name
                 the --quillon-board value

Marker:

    @pytest.mark.quillon_profile({"temperature": "42.50"})   # or a file name
                 the simulated board's profile for this test
"""

import os
import pytest

import quillon


def pytest_addoption(parser):
    group = parser.getgroup("quillon", "Quillon Panel boards")
    group.addoption("--quillon-board", default="sim", metavar="BOARD",
                    help='the board of the `board` fixture: "sim" (default), "usb" or "usb:ID"')
    group.addoption("--quillon-profile", default=None, metavar="FILE",
                    help="profile of the simulated board (key = value lines)")
    group.addoption("--quillon-trace", default=None, metavar="FILE",
                    help="wire trace of every test's transfers (FILE.pcap: a Wireshark capture); "
                         "each test writes its own file, named after the test")


def pytest_configure(config):
    config.addinivalue_line(
        "markers", "quillon_profile(profile): the simulated board's profile for this test "
                   "(a dict of keys and values, or a file name)")


@pytest.fixture
def quillon_board_name(request):
    return request.config.getoption("quillon_board")


def _trace_for(request):
    trace = request.config.getoption("quillon_trace")
    if not trace:
        return None
    root, ext = os.path.splitext(trace)
    name = request.node.name.replace("/", "_").replace("[", "_").replace("]", "")
    return f"{root}-{name}{ext}"


@pytest.fixture
def board(request, quillon_board_name):
    marker = request.node.get_closest_marker("quillon_profile")
    profile = marker.args[0] if marker else request.config.getoption("quillon_profile")
    if quillon_board_name != "sim":
        profile = None
    b = quillon.open(quillon_board_name, profile=profile, trace=_trace_for(request))
    try:
        yield b
    finally:
        b.close()


@pytest.fixture
def sim(board):
    if board.sim is None:
        pytest.skip("needs the simulated board")
    return board.sim
