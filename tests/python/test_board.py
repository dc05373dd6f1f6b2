"""The quillon module against the simulated board: what the board received,
read back through the sim's own view of its state."""

import os

import numpy as np
import pytest

import quillon


@pytest.mark.parametrize("width", [8, 16, 32, 64])
def test_registers_at_each_width(board, sim, width):
    top = (1 << width) - 1
    board.reg_write(0x3FFF, top, width)
    assert sim.register(0x3FFF) & top == top
    assert board.reg_read(0x3FFF, width) == top
    # A narrower read shows only its own bytes.
    assert board.reg_read(0x3FFF, 8) == 0xFF
    # The extended and block spaces: least significant byte first.
    value = int.from_bytes(bytes(range(1, width // 8 + 1)), "little")
    board.reg_write(0x3F0, value, width, extended=True)
    assert board.ext_read(0x3F0, width // 8) == bytes(range(1, width // 8 + 1))
    assert board.reg_read(0x3F0, width, extended=True) == value
    board.reg_write(0x1FFFF0, value, width, block=True)
    assert board.block_read(0x1FFFF0, width // 8) == bytes(range(1, width // 8 + 1))
    assert board.reg_read(0x1FFFF0, width, block=True) == value


def test_extended_and_block_registers(board):
    board.ext_write(1000, bytes(range(24)))
    assert board.ext_read(1000, 24) == bytes(range(24))
    data = np.arange(512, dtype=np.uint16).astype(np.uint8)
    board.block_write(0x1FFE00, data)
    assert board.block_read(0x1FFE00, 512) == data.tobytes()


def test_arguments_out_of_range_send_nothing(board, sim, tmp_path):
    before = sim.request_count
    bad = [
        lambda: board.mem_read_file(tmp_path / "out.bin", 3),
        lambda: board.mem_read_file(tmp_path / "out.bin", 0x100000000, split=False),
        lambda: board.reg_write(0, 0x100, 8),
        lambda: board.reg_write(0, -1),
        lambda: board.reg_read(0x4000),
        lambda: board.reg_read(0, 12),
        lambda: board.ext_read(0, 65),
        lambda: board.ext_write(1024, b"\0"),
        lambda: board.block_read(1 << 21, 4),
        lambda: board.block_write(0, bytes(513)),
        lambda: board.mem_read(0),
        lambda: board.mem_write(b"abc", tessera=True),
        lambda: board.gpio_read("B"),
        lambda: board.i2c_read(0xA0, 0, port=2),
    ]
    for call in bad:
        with pytest.raises(ValueError):
            call()
    for call in [lambda: board.mem_read("512"), lambda: board.gpio_read(1.0),
                 lambda: board.mem_write_file(tmp_path, "200")]:
        with pytest.raises(TypeError):
            call()
    assert sim.request_count == before


def test_memory_round_trips_through_numpy(board, sim):
    words = np.arange(1 << 18, dtype=np.uint32) * 2654435761
    board.mem_write(words, width=32)
    assert sim.memory(0, 16) == words[:4].tobytes()
    back = np.zeros_like(words)
    assert board.mem_read(out=back, width=32) is back
    assert np.array_equal(back, words)
    # Into a part of an array, and into new bytes.
    part = np.zeros(8, dtype=np.uint64)
    board.mem_read(16, out=part)
    assert part[:2].tobytes() == words[:4].tobytes() and not part[2:].any()
    assert board.mem_read(12) == words[:3].tobytes()
    with pytest.raises((BufferError, TypeError)):
        board.mem_read(out=b"read-only")
    with pytest.raises(BufferError):
        board.mem_write(words[::2])  # not contiguous
    with pytest.raises(ValueError):
        board.mem_read(100, out=bytearray(10))


def test_scramble_leaves_the_callers_bytes_alone(board, sim):
    data = bytearray(range(256)) * 64
    kept = bytes(data)
    board.mem_write(data, scramble=True)
    assert data == kept
    assert sim.memory(0, 4) == bytes(b ^ 0xAA for b in kept[:4])
    assert board.mem_read(len(data), scramble=True) == kept


def test_memory_files(board, sim, tmp_path, monkeypatch):
    source = tmp_path / "in.bin"
    source.write_bytes(bytes(range(200)) * 5)  # 1000 bytes: sent as 1024, zero filled
    board.mem_write_file(source)
    assert sim.memory(0, 1024) == source.read_bytes() + bytes(24)
    monkeypatch.chdir(tmp_path)
    board.mem_read_file("out.bin", 1024, split=True)
    assert (tmp_path / "out.bin").read_bytes() == source.read_bytes() + bytes(24)
    # A failed read leaves the file as it was.
    sim.set_faults(stall_bulk=1)
    with pytest.raises(quillon.BoardError) as failed:
        board.mem_read_file(tmp_path / "out.bin", 512)
    # The box's text, and on its second line the cause.
    first, cause = failed.value.message.split("\n")
    assert first == "ﾒﾓﾘﾘｰﾄﾞに失敗しました。"
    assert cause.startswith("ｽﾄｰﾙ [LIBUSB_ERROR_PIPE]")
    assert "D3" in failed.value.log
    assert (tmp_path / "out.bin").stat().st_size == 1024
    with pytest.raises(ValueError):
        board.mem_write_file(tmp_path / "in.bin", 1000)  # not whole blocks of 512


def test_configuration(board, sim, tmp_path):
    design = tmp_path / "design.rbf"
    design.write_bytes(bytes(range(256)) * 16)
    board.clear()
    assert not sim.configuration["configured"]
    board.configure(design)
    loaded = sim.configuration
    assert loaded["configured"] and loaded["design"] == "user"
    board.configure(design, tessera=True, encrypt=True)
    board.configure(design, xilinx=True, tessera=True)
    board.configure(str(design), tessera="tavel")
    assert sim.configuration["load_count"] == loaded["load_count"] + 3
    before = sim.request_count
    with pytest.raises(FileNotFoundError):
        board.configure(tmp_path / "missing.rbf")
    with pytest.raises(ValueError):
        board.configure(tmp_path)
    with pytest.raises(ValueError):
        board.configure(design, tessera=True, bitswap=True)
    assert sim.request_count == before  # the FPGA was not cleared
    sim.set_faults(config_status=1)
    with pytest.raises(quillon.BoardError):
        board.configure(design)


# Each file a call names is looked at before anything is sent, and refused
# with the reason the panel gives (a FIFO never waited on).
@pytest.mark.parametrize("call, name, error, reason", [
    ("configure", "missing.rbf", FileNotFoundError, "ﾌｧｲﾙがありません。"),
    ("configure", "fifo", ValueError, "FIFO"),
    ("configure", "/dev/zero", ValueError, "ﾃﾞﾊﾞｲｽ"),
    ("mem_write_file", ".", ValueError, "ﾌｫﾙﾀﾞです"),
    ("mem_write_file", "fifo", ValueError, "FIFO"),
    ("mem_read_file", "none/out.bin", FileNotFoundError, "ﾌｫﾙﾀﾞがありません"),
    ("mem_read_file", ".", ValueError, "ﾌｫﾙﾀﾞです"),
    ("mem_read_file", "fifo", ValueError, "FIFO"),
    ("mem_read_file", "*.bin", FileNotFoundError, "ﾜｲﾙﾄﾞｶｰﾄﾞ"),
])
def test_named_files_are_checked_before_anything_is_sent(board, sim, tmp_path, monkeypatch,
                                                         call, name, error, reason):
    os.mkfifo(tmp_path / "fifo")
    monkeypatch.chdir(tmp_path)  # relative names resolve where Python runs
    before = sim.request_count
    args = (name, 512) if call == "mem_read_file" else (name,)
    with pytest.raises(error, match=reason) as refused:
        getattr(board, call)(*args)
    if isinstance(refused.value, OSError):
        assert refused.value.filename == os.path.join(tmp_path, name)
    assert sim.request_count == before


def test_i2c_gpio_temperature_and_information(board, sim):
    board.i2c_write(0xA0, 0x10, 0x5A)
    assert board.i2c_read(0xA0, 0x10) == 0x5A
    assert sim.eeprom(0)[0x10] == 0x5A
    board.i2c_write(0xA8, 0x1234, 0x77, port=1, register_bytes=2)
    assert board.i2c_read(0xA8, 0x1234, port=1, register_bytes=2) == 0x77
    sim.set_faults(i2c_status_zero=True)
    with pytest.raises(quillon.BoardError):
        board.i2c_read(0xA0, 0x10)
    sim.clear_faults()

    board.gpio_direction("C", True)
    board.gpio_write("C", 0xA5)
    assert sim.gpio(1)["latch"] == 0xA5
    board.gpio_direction(2, False)
    sim.set_gpio_input("E", 0x3C)
    assert board.gpio_read("e") == 0x3C

    sim.set_temperature(42.5)
    assert board.temperature() == 42.5
    board.set_temp_alert(70)
    assert board.temp_alert() == 70

    info = board.info()
    assert info["firmware_version"] == 0x0210 and info["product_id"] == 0x8003
    assert info["speed"].endswith("Speed Mode.")


@pytest.mark.quillon_profile({"firmware_version": "0x0311", "usb_serial": "QB-7"})
def test_profile_marker(board):
    assert board.info()["firmware_version"] == 0x0311
