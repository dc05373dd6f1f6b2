"""quillon.compare(): files and bytes, the shorter side, words, bad names."""

import os

import pytest

import quillon


def test_compare_files_and_bytes(tmp_path):
    a = bytes((i * 7 + 3) & 0xFF for i in range(0x4000))
    b = bytearray(a)
    b[0x1234] ^= 0x01
    b[0x1235] ^= 0x01
    b = bytes(b[:-3])  # shorter: compared over its length
    pa, pb = tmp_path / "a.bin", tmp_path / "b.bin"
    pa.write_bytes(a)
    pb.write_bytes(b)
    for left, right in [(pa, str(pb)), (a, b), (pa, b), (a, pb)]:
        r = quillon.compare(left, right, width=32)
        assert r.first_difference == 0x1234
        assert (r.differing_bytes, r.differing_words) == (2, 1)
        assert (r.compared, r.length_a, r.length_b) == (len(b), len(a), len(b))
        assert not r and not r.same
    same = quillon.compare(pa, a)
    assert same and same.first_difference is None
    assert quillon.compare(pa, pb, length=0x1000).first_difference is None
    assert "0x00001234" in repr(quillon.compare(a, b))


def test_compare_refuses_what_it_cannot_read(tmp_path):
    with pytest.raises(FileNotFoundError, match="none.bin"):
        quillon.compare(tmp_path / "none.bin", b"")
    with pytest.raises(IsADirectoryError):
        quillon.compare(tmp_path, b"")
    fifo = tmp_path / "fifo"
    os.mkfifo(fifo)
    with pytest.raises(OSError, match="FIFO"):
        quillon.compare(fifo, b"")  # refused at once, never waiting for a writer
    with pytest.raises(ValueError):
        quillon.compare(b"", b"", width=12)
    with pytest.raises(TypeError):
        quillon.compare(1, b"")
