#!/usr/bin/python3
"""The peer figure: the same 576 x 8000 RGB picture through Pillow's convert("1")
(Floyd-Steinberg), decode excluded. Prints the median of several runs in MP/s."""
import statistics
import time

from PIL import Image

W, H = 576, 8000


def receipt_picture():
    data = bytearray(W * H * 3)
    i = 0
    for y in range(H):
        g = ((y % 512) // 2) & 0xFF
        for x in range(W):
            data[i] = (x * 255 // (W - 1)) & 0xFF
            data[i + 1] = g
            data[i + 2] = (x ^ y) & 0xFF
            i += 3
    return Image.frombytes("RGB", (W, H), bytes(data))


def main():
    img = receipt_picture()
    wall, cpu = [], []
    for _ in range(9):
        start, start_cpu = time.perf_counter(), time.process_time()
        img.convert("1").tobytes()  # packed 1-bit rows, as our raster
        wall.append(time.perf_counter() - start)
        cpu.append(time.process_time() - start_cpu)
    for name, times in (("wall", wall), ("cpu", cpu)):
        median = statistics.median(times)
        print(f"Pillow {Image.__version__} convert('1'), {name}: median {median * 1000:.1f} ms, "
              f"{W * H / median / 1e6:.1f} MP/s")


if __name__ == "__main__":
    main()
