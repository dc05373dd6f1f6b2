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


def _replay(tmp_path, record):
    run = subprocess.run([os.path.join(os.environ["QUILLON_BIN"], "quillon-run"), "--board", "sim",
                          "--trace", str(tmp_path / "run.trace"), str(record)],
                         capture_output=True, text=True, timeout=120)
    assert run.returncode == 0, run.stderr
    return (tmp_path / "run.trace").read_text().splitlines()


# Each call with a macro is recorded as that macro, and its replay sends the
# very requests the call sent; a call without one leaves a comment and no
# request in the replay.
@pytest.mark.parametrize("call, line", [
    (lambda b: b.i2c_write(0xA0, 0x10, 0x5A), "{IW -DA -S0 -A10 -W5A}"),
    (lambda b: b.i2c_read(0xA0, 0x10), "{IR -DA -S0 -A10} ;# read -> "),
    (lambda b: b.i2c_write(0xA0, 0x11, 0x5B, port=1), "{IW2 -P1 -DA -S0 -A11 -W5B}"),
    (lambda b: b.i2c_read(0xA0, 0x11, port=1), "{IR2 -P1 -DA -S0 -A11} ;# read -> "),
    (lambda b: b.i2c_write(0xA0, 0x1234, 0x77, register_bytes=2), "{IW3 -P0 -M4 -DA -S0 -A1234 -W77}"),
    (lambda b: b.i2c_read(0xA8, 0x1234, port=1, register_bytes=2), "{IR3 -P1 -M4 -DA -S4 -A1234} ;# read -> "),
    (lambda b: b.gpio_direction("C", True), "{GD -P1 -DOUT}"),
    (lambda b: b.gpio_write("E", 0xA5), "{GW -P2 -WA5}"),
    (lambda b: b.gpio_read("a"), "{GR -P0} ;# read -> "),
    (lambda b: b.set_temp_alert(70), "{STA -T70}"),
    (lambda b: b.temp_alert(), "{GTA} ;# read -> "),
    (lambda b: b.ext_write(1000, bytes([1, 2, 3, 4])), "{RW -A1000 -W32 -D4030201 -REGEX}"),
    (lambda b: b.ext_read(1000, 2), "{RR -A1000 -W16 -REGEX} ;# read -> "),
    (lambda b: b.reg_write(0x3F0, 0x1234, 16, extended=True), "{RW -A1008 -W16 -D1234 -REGEX}"),
    (lambda b: b.ext_write(1000, bytes(3)), "# extended register burst write of 3 bytes at 1000: not replayed"),
    (lambda b: b.block_write(0x100, bytes(8)), "# block register write of 8 bytes at 256: not replayed"),
    (lambda b: b.reg_write(0x100, 1, block=True), "# block register write of 4 bytes at 256: not replayed"),
    (lambda b: b.mem_write(bytes(512)), "# memory write of 512 bytes from Python: not replayed"),
    (lambda b: b.clear(), "# FPGA clear: not replayed"),
])
def test_each_call_is_recorded_as_its_macro(tmp_path, call, line):
    record = tmp_path / "session.tcl"
    with quillon.open("sim", trace=tmp_path / "py.trace", record=record) as b:
        call(b)
    recorded = [l for l in record.read_text().splitlines()[4:] if not l.startswith("# stopped")]
    assert len(recorded) == 1 and line in recorded[0], recorded
    replayed = _replay(tmp_path, record)
    if line.startswith("{"):
        assert replayed == (tmp_path / "py.trace").read_text().splitlines()
    else:
        assert replayed == []
