#!/usr/bin/env python3
"""Writes a pattern into board memory, reads it back and compares, then shows
the board's information and temperature.

    PYTHONPATH=build/python python3 examples/python/memory_check.py            # simulated board
    PYTHONPATH=build/python python3 examples/python/memory_check.py --board usb
    PYTHONPATH=build/python python3 examples/python/memory_check.py --board usb:QB-0001 \\
        --trace check.pcap                                      # then: wireshark check.pcap

(Installed from the package, "import quillon" works without PYTHONPATH.)
"""

import argparse
import sys

import numpy as np

import quillon


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--board", default="sim", help='"sim", "usb" or "usb:ID" (default sim)')
    parser.add_argument("--mib", type=int, default=16, help="MiB to write and read (default 16)")
    parser.add_argument("--trace", help="wire trace file (.pcap for Wireshark)")
    args = parser.parse_args()

    connected = quillon.boards()
    print("boards connected:", "".join(f"\n  {b}" for b in connected) if connected else "none")
    try:
        with quillon.open(args.board, trace=args.trace) as board:
            info = board.info()
            print(f"{board.name}: {info['product_name']} firmware {info['firmware_version']:04X}h,"
                  f" {info['speed']} {board.temperature():.2f} C")
            # The user design's memory path: register 0 = start address, 1 = memory.
            board.reg_write(0, 0)
            board.reg_write(1, 0)
            words = np.random.default_rng(1).integers(0, 2**32, args.mib << 18, dtype=np.uint32)
            board.mem_write(words, width=32)
            back = np.empty_like(words)
            board.mem_read(out=back, width=32)
            bad = np.flatnonzero(back != words)
            if bad.size:
                print(f"{bad.size} words differ, the first at byte {bad[0] * 4:#x}")
                return 1
            print(f"{words.nbytes} bytes written and read back alike")
    except quillon.BoardError as e:
        print(f"failed: {e}", file=sys.stderr)
        if e.log:
            print("  log:", "; ".join(e.log), file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        # Ctrl+C stopped a transfer: the board got its end command and the
        # board was closed on the way out.
        print("stopped", file=sys.stderr)
        return 130
    return 0


if __name__ == "__main__":
    sys.exit(main())
