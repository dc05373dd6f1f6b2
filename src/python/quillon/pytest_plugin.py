"""pytest plugin: `board` and `boards` fixtures on simulated boards or real ones.

    pytest -p quillon.pytest_plugin                         # the simulated board
    pytest -p quillon.pytest_plugin --quillon-board usb     # the first USB board
    pytest -p quillon.pytest_plugin --quillon-board usb:QB-0001

A lab of boards: --quillon-board more than once, or a comma list, names
several. Without pytest-xdist, `board` is the first of them and `boards` all
of them. Under pytest-xdist every worker drives one board: worker N (gwN)
the N-th, so there must be a board for every worker:

    pytest -n 2 -p quillon.pytest_plugin --quillon-board usb:QB-0001,usb:QB-0002

Without --quillon-board every worker has a simulated board of its own. A
board is open in one process at a time: a board another process holds (a
panel, quillon-run, another worker) fails the test at once with a BoardError
that names that process.

Each test gets its boards opened before and closed after it; on the simulated
board that is a fresh board every time. Fixtures:

    board        the quillon.Board
    boards       the list of this process's boards (under xdist: the worker's
                 one board)
    sim          board.sim (faults, state of the simulated board); the test is
                 skipped on a real board
    quillon_board_name
                 the name `board` was opened by ("sim", "usb:QB-0001")
    quillon_board_index
                 which of the --quillon-board boards `board` is (0 first)

Marker:

    @pytest.mark.quillon_profile({"temperature": "42.50"})   # or a file name
                 the simulated board's profile for this test
"""

import os
import re

import pytest

import quillon


def pytest_addoption(parser):
    group = parser.getgroup("quillon", "Quillon Panel boards")
    group.addoption("--quillon-board", action="append", default=None, metavar="BOARD",
                    help='a board of the lab: "sim" (default), "usb" or "usb:ID"; give it more '
                         "than once, or a comma list, for several (under pytest-xdist worker N "
                         "drives the N-th)")
    group.addoption("--quillon-profile", default=None, metavar="FILE",
                    help="profile of the simulated board (key = value lines)")
    group.addoption("--quillon-trace", default=None, metavar="FILE",
                    help="wire trace of every test's transfers (FILE.pcap: a Wireshark capture); "
                         "each test writes its own file, named after the test")


def _named_boards(config):
    """The boards the command line names, in order; None when it names none."""
    given = config.getoption("quillon_board")
    if not given:
        return None
    names = [name.strip() for value in given for name in value.split(",")]
    if not all(names):
        raise pytest.UsageError(f"--quillon-board: an empty board name in {given}")
    return names


def _xdist_workers(config):
    """How many workers pytest-xdist starts from here (0: it distributes nothing)."""
    if config.getoption("dist", "no") == "no" or not config.getoption("tx", None):
        return 0
    try:
        from xdist.workermanage import parse_spec_config
    except ImportError:
        return 0
    return len(parse_spec_config(config))


def pytest_configure(config):
    config.addinivalue_line(
        "markers", "quillon_profile(profile): the simulated board's profile for this test "
                   "(a dict of keys and values, or a file name)")
    if hasattr(config, "workerinput"):
        return
    # Checked once, where the workers are counted, so that a lab short of
    # boards stops before any test runs instead of failing in every test.
    names, workers = _named_boards(config), _xdist_workers(config)
    if names is not None and workers > len(names):
        raise pytest.UsageError(
            f"--quillon-board names {len(names)} board(s) ({', '.join(names)}) for {workers} "
            f"pytest-xdist workers: every worker drives a board of its own, give one per worker")


def _worker_number(config):
    workerinput = getattr(config, "workerinput", None)
    if workerinput is None:
        return None
    match = re.fullmatch(r"gw(\d+)", workerinput["workerid"])
    if not match:
        raise pytest.UsageError(f"unexpected pytest-xdist worker id {workerinput['workerid']}")
    return int(match.group(1))


def _this_process_boards(config):
    """(index, name) of the boards this process drives."""
    names = _named_boards(config)
    worker = _worker_number(config)
    if worker is None:
        return list(enumerate(names or ["sim"]))
    if names is None:
        return [(worker, "sim")]
    if worker >= len(names):
        raise pytest.UsageError(
            f"pytest-xdist worker gw{worker} has no board: --quillon-board names {len(names)}")
    return [(worker, names[worker])]


def _trace_for(request, index, several):
    trace = request.config.getoption("quillon_trace")
    if not trace:
        return None
    root, ext = os.path.splitext(trace)
    name = request.node.name.replace("/", "_").replace("[", "_").replace("]", "")
    if several:
        name += f"-board{index}"
    return f"{root}-{name}{ext}"


def _open_boards(request, which):
    marker = request.node.get_closest_marker("quillon_profile")
    profile = marker.args[0] if marker else request.config.getoption("quillon_profile")
    opened = []
    try:
        for index, name in which:
            opened.append(quillon.open(name, profile=profile if name == "sim" else None,
                                       trace=_trace_for(request, index, len(which) > 1)))
    except BaseException:
        _close_all(opened)
        raise
    return opened


def _close_all(opened):
    failure = None
    for b in opened:
        try:
            b.close()
        except quillon.BoardError as e:
            failure = failure or e
    if failure:
        raise failure


@pytest.fixture
def quillon_board_index(request):
    return _this_process_boards(request.config)[0][0]


@pytest.fixture
def quillon_board_name(request):
    return _this_process_boards(request.config)[0][1]


@pytest.fixture
def boards(request):
    opened = _open_boards(request, _this_process_boards(request.config))
    try:
        yield opened
    finally:
        _close_all(opened)


@pytest.fixture
def board(request):
    # A test that has both gets the first of `boards`: a board opens once.
    if "boards" in request.fixturenames:
        yield request.getfixturevalue("boards")[0]
        return
    opened = _open_boards(request, _this_process_boards(request.config)[:1])
    try:
        yield opened[0]
    finally:
        _close_all(opened)


@pytest.fixture
def sim(board):
    if board.sim is None:
        pytest.skip("needs the simulated board")
    return board.sim
