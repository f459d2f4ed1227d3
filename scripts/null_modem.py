#!/usr/bin/env python3
"""A null-modem cable between two pseudo-terminals, for the Windows serial tests under Wine.

Usage: null_modem.py DIR
Creates two pseudo-terminals, prints their paths as "a: /dev/pts/N" and "b: /dev/pts/M",
and copies bytes between them until killed. Commands written to the FIFO DIR/ctl:
"hangup" closes side a's master, as if its cable were pulled; "hold" stops taking bytes
from side a, so that its output backs up as on a line held by flow control, and sends
"held" to side b; "release" drops what side a sent meanwhile, goes back to copying and
sends "released" to side b (side b's reader waits for these to know the command was done).
"""
import os
import pty
import select
import sys
import tty


def drop(master):
    """Reads and discards whatever the master holds now."""
    os.set_blocking(master, False)
    try:
        while os.read(master, 65536):
            pass
    except OSError:
        pass
    os.set_blocking(master, True)


def main():
    folder = sys.argv[1]
    ctl_path = os.path.join(folder, "ctl")
    if not os.path.exists(ctl_path):
        os.mkfifo(ctl_path)
    ctl = os.open(ctl_path, os.O_RDWR | os.O_NONBLOCK)  # RDWR: never sees end of file
    sides = []
    for _ in range(2):
        master, slave = pty.openpty()
        tty.setraw(slave)
        tty.setraw(master)
        sides.append([master, slave, os.ttyname(slave)])
    print("a: " + sides[0][2])
    print("b: " + sides[1][2], flush=True)
    pending = [b"", b""]  # bytes waiting to go out of each master
    held = False  # side a's bytes are left in its terminal
    while True:
        readers = [ctl] + [s[0] for i, s in enumerate(sides)
                           if s[0] is not None and not (held and i == 0)]
        writers = [sides[i][0] for i in range(2) if pending[i] and sides[i][0] is not None]
        r, w, _ = select.select(readers, writers, [])
        if ctl in r:
            words = os.read(ctl, 64).split()
            if b"hangup" in words and sides[0][0] is not None:
                os.close(sides[0][0])
                os.close(sides[0][1])
                sides[0][0] = None
            if b"hold" in words:
                held = True
                pending[1] += b"held"
            if b"release" in words:
                held = False
                if sides[0][0] is not None:
                    drop(sides[0][0])
                pending[1] += b"released"
                continue
        for i in range(2):
            master = sides[i][0]
            if master is None:
                continue
            if master in r:
                try:
                    data = os.read(master, 65536)
                except OSError:
                    data = b""
                if data and sides[1 - i][0] is not None:
                    pending[1 - i] += data
            if master in w and pending[i]:
                n = os.write(master, pending[i])
                pending[i] = pending[i][n:]


if __name__ == "__main__":
    main()
