"""A lab of boards through the pytest plugin: every pytest-xdist worker drives
a board of its own, and without xdist `boards` holds them all. Each run is a
pytest of its own over a small test file that records what it was given."""

import json
import os
import subprocess
import sys

import pytest

RECORDING_TEST = '''
import json, os

def test_records_its_boards(board, boards, quillon_board_index, quillon_board_name):
    assert board is boards[0]
    # Each board is a board of its own: what one holds, the others do not.
    for i, b in enumerate(boards):
        b.reg_write(0x10, 0x100 + quillon_board_index + i)
    assert [b.reg_read(0x10) for b in boards] == [
        0x100 + quillon_board_index + i for i in range(len(boards))]
    worker = os.environ.get("PYTEST_XDIST_WORKER", "main")
    with open(os.path.join(os.environ["RECORDS"], worker), "w") as f:
        json.dump([quillon_board_index, quillon_board_name, len(boards), os.getpid()], f)
'''


def run_pytest(tmp_path, args):
    (tmp_path / "test_recording.py").write_text(RECORDING_TEST)
    records = tmp_path / "records"
    records.mkdir()
    env = dict(os.environ, RECORDS=str(records))
    run = subprocess.run([sys.executable, "-m", "pytest", "-q", "-p", "quillon.pytest_plugin",
                          "-p", "no:cacheprovider", *args, str(tmp_path / "test_recording.py")],
                         env=env, cwd=tmp_path, capture_output=True, text=True, timeout=120)
    got = {f.name: json.loads(f.read_text()) for f in records.iterdir()}
    return run, got


@pytest.mark.parametrize("boards", [["--quillon-board", "sim", "--quillon-board", "sim"],
                                    ["--quillon-board", "sim,sim"]], ids=["twice", "comma-list"])
def test_each_xdist_worker_drives_its_own_board(tmp_path, boards):
    pytest.importorskip("xdist")
    # --dist each: the recording test runs once on every worker.
    run, got = run_pytest(tmp_path, ["-n", "2", "--dist", "each", *boards])
    assert run.returncode == 0, run.stdout + run.stderr
    assert sorted(got) == ["gw0", "gw1"]
    assert [got[w][:3] for w in ("gw0", "gw1")] == [[0, "sim", 1], [1, "sim", 1]]
    assert got["gw0"][3] != got["gw1"][3]


def test_without_xdist_board_is_the_first_and_boards_all(tmp_path):
    run, got = run_pytest(tmp_path, ["-p", "no:xdist", "--quillon-board", "sim,sim",
                                     "--quillon-board", "sim"])
    assert run.returncode == 0, run.stdout + run.stderr
    assert got["main"][:3] == [0, "sim", 3]


def test_a_lab_short_of_boards_stops_before_any_test(tmp_path):
    pytest.importorskip("xdist")
    run, got = run_pytest(tmp_path, ["-n", "3", "--quillon-board", "sim,sim"])
    assert run.returncode == pytest.ExitCode.USAGE_ERROR
    assert "names 2 board(s) (sim, sim) for 3 pytest-xdist workers" in run.stderr
    assert got == {}
