"""Wire traces that Wireshark reads: tshark dissects what the module and
quillon-run wrote."""

import os
import shutil
import subprocess

import pytest

import quillon

tshark = shutil.which("tshark")
needs_tshark = pytest.mark.skipif(tshark is None, reason="tshark is not installed")

FIELDS = ["usb.urb_type", "usb.transfer_type", "usb.endpoint_address", "usb.bmRequestType",
          "usb.setup.bRequest", "usb.setup.wValue", "usb.setup.wIndex", "usb.setup.wLength",
          "usb.urb_len", "usb.data_len", "usb.urb_status"]


def dissect(path):
    command = [tshark, "-r", str(path), "-T", "fields", "-E", "separator=|"]
    for f in FIELDS:
        command += ["-e", f]
    out = subprocess.run(command, check=True, capture_output=True, text=True).stdout
    return [dict(zip(FIELDS, line.split("|"))) for line in out.splitlines()]


def number(text):
    return int(text, 0)


@needs_tshark
def test_module_trace_dissects(tmp_path):
    path = tmp_path / "board.pcap"
    with quillon.open("sim", trace=path) as b:
        b.reg_write(0x123, 0xCAFE, 16)
        assert b.reg_read(0x123, 16) == 0xCAFE
        b.mem_write(bytes(range(256)) * 4, width=32)
        b.sim.set_faults(stall_request=1)
        with pytest.raises(quillon.BoardError):
            b.reg_read(1)
    r = dissect(path)
    assert len(r) == 2 * 6  # two registers, begin/bulk/end, the stalled read
    submit, done = r[0], r[1]
    assert submit["usb.urb_type"] == "'S'" and done["usb.urb_type"] == "'C'"
    # The register write: vendor OUT request B0 with its 2-byte data stage.
    assert number(submit["usb.bmRequestType"]) == 0x40
    assert number(submit["usb.setup.bRequest"]) == 0xB0
    assert number(submit["usb.setup.wValue"]) == (0x123 & 0x3F) | 0x40 | ((0x123 & 0x3FC0) << 2)
    assert number(submit["usb.setup.wLength"]) == 2
    assert number(submit["usb.data_len"]) == 2
    assert number(done["usb.urb_status"]) == 0
    # The read: IN, its two bytes come with the completion.
    assert number(r[2]["usb.bmRequestType"]) == 0xC0
    assert number(r[2]["usb.data_len"]) == 0 and number(r[3]["usb.data_len"]) == 2
    # The bulk write on endpoint 0x06, 1024 bytes out with the submission.
    bulk = r[6]
    assert number(bulk["usb.transfer_type"]) == 3
    assert number(bulk["usb.endpoint_address"]) == 0x06
    assert number(bulk["usb.urb_len"]) == 1024 and number(bulk["usb.data_len"]) == 1024
    assert number(r[7]["usb.urb_len"]) == 1024
    # The stalled request: -EPIPE.
    assert number(r[-1]["usb.urb_status"]) == -32


@needs_tshark
def test_quillon_run_trace_dissects(tmp_path):
    run = os.path.abspath(os.path.join(os.environ.get("QUILLON_BIN", "build/bin"), "quillon-run"))
    script = tmp_path / "s.tcl"
    script.write_text('KVX_COMMAND "RW -A5 -W32 -D89ABCDEF"\nKVX_COMMAND "RR -A5 -W32"\n')
    env = dict(os.environ, XDG_DATA_HOME=str(tmp_path), XDG_CONFIG_HOME=str(tmp_path),
               XDG_RUNTIME_DIR=str(tmp_path))
    pcap, text = tmp_path / "run.PCAP", tmp_path / "run.txt"
    for trace in (pcap, text):
        subprocess.run([run, "--board", "sim", "--trace", str(trace), str(script)], check=True,
                       env=env, capture_output=True, cwd=tmp_path)
    r = dissect(pcap)
    assert [number(x["usb.setup.bRequest"]) for x in r[::2]] == [0xB0, 0xB0]
    assert [number(x["usb.setup.wLength"]) for x in r[::2]] == [4, 4]
    assert number(r[3]["usb.data_len"]) == 4
    # The text trace is what it always was.
    assert text.read_text().splitlines()[1] == (
        "CTRL bm=C0 req=B0 val=0085 idx=0000 len=4 -> OK 4 data=EFCDAB89")
