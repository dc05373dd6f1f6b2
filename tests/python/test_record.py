"""quillon.open(record=...) writes the calls that have a macro as a script
that quillon-run replays with the same requests."""

import os
import subprocess

import pytest

import quillon


def _board_work(path):
    with open(path) as f:
        return [l for l in f.read().splitlines()
                if l.startswith("BULK") or " req=B0 " in l or " req=B1 " in l]


def test_recorded_calls_replay_through_quillon_run(tmp_path):
    record = tmp_path / "session.tcl"
    pattern = tmp_path / "pattern.bin"
    pattern.write_bytes(bytes(range(256)) * 2)
    out = tmp_path / "out.bin"
    with quillon.open("sim", trace=tmp_path / "py.trace", record=record) as b:
        b.reg_write(2, 0x5A, width=8)
        assert b.reg_read(2, width=8) == 0x5A
        b.mem_write_file(pattern, split=False)
        b.mem_read_file(out, 512, split=False)
    text = record.read_text()
    assert "KVX_COMMAND {RW -A2 -W8 -D5A}" in text
    assert "KVX_COMMAND {RR -A2 -W8} ;# read -> 5A" in text
    assert f"KVX_COMMAND {{MW -L200 -W8 -F{pattern}}}" in text
    out.unlink()
    run = subprocess.run([os.path.join(os.environ["QUILLON_BIN"], "quillon-run"), "--board", "sim",
                          "--trace", str(tmp_path / "run.trace"), str(record)],
                         capture_output=True, text=True, timeout=120)
    assert run.returncode == 0, run.stderr
    assert out.read_bytes() == pattern.read_bytes()
    assert _board_work(tmp_path / "run.trace") == _board_work(tmp_path / "py.trace")


def test_a_recording_into_a_folder_is_refused(tmp_path):
    with pytest.raises(OSError):
        quillon.open("sim", record=tmp_path)
