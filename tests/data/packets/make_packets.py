#!/usr/bin/env python3
"""Writes the known-answer packets of the framing tests as hex files.

Worked out from the wire format alone (kind, code, opera and size little-endian, the
data, then the 8-bit sum of every byte before it), not with the program's code, so that
a mistake in the program's framing cannot agree with itself. Run it from this folder;
the .hex files it writes are kept in the repository.
"""


def fill(n):
    """The test data: byte i is (i * i + 3 * i + 7) mod 251."""
    return bytes((i * i + 3 * i + 7) % 251 for i in range(n))


def le(value, width):
    return (value & (256 ** width - 1)).to_bytes(width, "little")


def packet(kind, code, opera, data):
    body = bytes([kind, code]) + le(opera, 2) + le(len(data), 2) + data
    return body + bytes([sum(body) % 256])


def write(name, comment, pkt):
    with open(name, "w", encoding="ascii") as f:
        f.write("# " + comment + "\n")
        f.write("# %d bytes, checksum %02X\n" % (len(pkt), pkt[-1]))
        for i in range(0, len(pkt), 16):
            f.write(" ".join("%02X" % b for b in pkt[i:i + 16]) + "\n")


# Boot loader data packet of 1024 image bytes (boot kind 0x04, code 0xF1, opera 1).
write("boot_data_1024.hex", "boot loader data packet, 1024 bytes of fill(1024)",
      packet(0x04, 0xF1, 1, fill(1024)))

# Font flash write of 8192 bytes at 0x7FE000: address, length, then the data (code 0xE1).
address = 0x7FE000
write("flash_write_8192.hex", "flash write at 0x7FE000 of 8192 bytes of fill(8192)",
      packet(0x10, 0xE1, 1, le(address, 4) + le(8192, 4) + fill(8192)))

# Label detection set with both values -1: eight 0xFF bytes, the sum wraps eight times.
write("checksum_wrap.hex", "label detection set, sensor -1 and out -1",
      packet(0x10, 0xB1, 1, le(-1, 4) + le(-1, 4)))
