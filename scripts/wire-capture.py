#!/usr/bin/env python3
"""Records the bytes on the wire of every quillon-cli command and flow against the virtual
printer, over each link (in-process USB, serial pseudo-terminal, TCP), so that a change that
must not alter the wire can be checked:

    scripts/wire-capture.py build/bin /tmp/wire-before
    ... change, rebuild ...
    scripts/wire-capture.py build/bin /tmp/wire-after
    diff -r /tmp/wire-before /tmp/wire-after

Each run gets a fresh folder with logging switched on (bytes sent and received, no
timestamps); OUT/<link>/<nn>-<name>.log holds that run's exchange log and .out its exit
status and output. The virtual printer starts from its factory state for each link.
"""
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile

CONFIG = """[SYSTEM]
USB_VID=c0de
USB_PID=7001
LANGUAGE=EN

[LOG]
MSG_ONOFF=1
ERR_ONOFF=1
RXD_ONOFF=1
TXD_ONOFF=1
ANY_ONOFF=1
ADD_DATETIME=0
"""

GET = ["language", "cmdmode", "tagmode", "stepmode", "blackness", "charset", "sleep",
       "flash-lock", "bt-name", "bt-pin", "bt-mac", "info", "serial-number", "net",
       "label-thresholds", "label-distances"]
SET = [("language", "1"), ("cmdmode", "1"), ("tagmode", "1"), ("stepmode", "2"),
       ("blackness", "3"), ("charset", "2"), ("sleep", "5"), ("bt-name", "打印机-7"),
       ("bt-pin", "1234"), ("serial-number", "QL-000042"), ("bt-name", "x" * 40)]
ESCPOS = ["drawer", "test-page", "barcode", "qr", "font-24", "double-height", "double-width",
          "double-size", "align-left", "align-center", "align-right", "font-16", "init", "feed",
          "cut"]


def bitmap(w, h):
    row = (w * 3 + 3) // 4 * 4
    size = 54 + row * h
    head = b"BM" + struct.pack("<IHHI", size, 0, 0, 54)
    head += struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, row * h, 0, 0, 0, 0)
    body = bytearray(row * h)
    for y in range(h):
        for x in range(w * 3):
            body[y * row + x] = 0 if (x // 3 + y) % 8 < 4 else 0xFF
    return head + bytes(body)


def write_inputs(folder):
    files = {
        "fw.bin": bytes((i * 7) & 0xFF for i in range(3000)),
        "font.bin": b"A" * 10000,
        "stripes.bmp": bitmap(64, 200),
        "logo.bmp": bitmap(128, 64),
        "text.txt": "line 1\nline 2 é\n".encode(),
    }
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


def flows(inputs):
    f = lambda name: os.path.join(inputs, name)
    yield "status", ["status"]
    for g in GET:
        yield "get-" + g, ["get", g]
    for i, (name, value) in enumerate(SET):
        yield f"set-{name}-{i}", ["set", name, value]
    yield "get-bt-name-after", ["get", "bt-name"]
    yield "factory-reset", ["factory-reset", "--yes"]
    yield "send-text-ansi", ["send", "text", "Hi \\x41\\u4e2d\\\\ end"]
    yield "send-text-utf8", ["send", "text", "--encoding", "utf-8", "中文 \\x42"]
    yield "send-text-unicode", ["send", "text", "--encoding", "unicode", "Ab中"]
    yield "send-text-hex", ["send", "text", "--encoding", "hex", "1B 40 41 0A"]
    yield "send-text-file", ["send", "text", "--file", f("text.txt")]
    yield "send-text-ready", ["send", "text", "ready?", "--require-ready"]
    for name in ESCPOS:
        yield "escpos-" + name, ["send", "escpos", name]
    yield "print-image", ["print", "image", f("stripes.bmp")]
    yield "print-image-ready", ["print", "image", f("stripes.bmp"), "--require-ready"]
    yield "logo", ["logo", f("logo.bmp")]
    yield "wifi-set", ["wifi", "set", "--ssid", "bench", "--password", "secret", "--static",
                       "--ip", "10.0.0.5", "--mask", "255.255.0.0", "--gateway", "10.0.0.1",
                       "--dns", "10.0.0.2", "--server-ip", "10.0.0.9", "--server-port", "7000"]
    yield "wifi-reset", ["wifi", "reset"]
    yield "net-set", ["net", "set", "--ip", "192.168.5.7", "--mask", "255.255.255.0",
                      "--gateway", "192.168.5.1"]
    yield "net-get", ["net", "get"]
    yield "label-threshold", ["label", "threshold"]
    yield "label-self-test", ["label", "self-test"]
    yield "label-set", ["label", "set", "120", "340"]
    yield "label-get", ["label", "get"]
    yield "rfid-request", ["rfid", "request", "--sector", "1"]
    yield "rfid-write", ["rfid", "write", "--sector", "1", "--block", "1", "--data",
                         "00112233445566778899aabbccddeeff"]
    yield "rfid-read", ["rfid", "read", "--sector", "1"]
    yield "rfid-bad-key", ["rfid", "read", "--sector", "2", "--key", "010203040506", "--key-b"]
    yield "paper-roll-create", ["paper-roll", "create", "--count", "150", "--width", "40"]
    yield "paper-roll-read", ["paper-roll", "read"]
    yield "firmware-unlock", ["firmware", "unlock"]
    yield "firmware-update", ["--json", "firmware", "update", f("fw.bin")]
    yield "firmware-update-old", ["firmware", "update", f("fw.bin"), "--old"]
    yield "firmware-enter-update-mode", ["firmware", "enter-update-mode"]
    yield "font-download", ["--json", "font", "download", f("font.bin"), "--packsize", "4096"]
    yield "font-download-erase-all", ["font", "download", f("font.bin"), "--erase-all"]


class Printer:
    """The stand-alone virtual printer on a pseudo-terminal or TCP."""

    def __init__(self, bin_dir, home, how, extra=()):
        args = [os.path.join(bin_dir, "quillon-virtual-printer"), "--state",
                os.path.join(home, "vp.state")]
        args += ["--pty"] if how == "serial" else ["--tcp", "127.0.0.1:0"]
        self.proc = subprocess.Popen(args + list(extra), stdout=subprocess.PIPE,
                                     stderr=subprocess.STDOUT, text=True)
        want = "port: " if how == "serial" else "tcp: "
        for line in self.proc.stdout:
            if line.startswith(want):
                where = line[len(want):].strip()
                self.link = ["--port", where] if how == "serial" else ["--tcp", where]
                return
        raise RuntimeError("the virtual printer did not start")

    def stop(self):
        self.proc.send_signal(signal.SIGINT)
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()


def run(bin_dir, home, link, words, out_base):
    log_dir = os.path.join(home, "log")
    shutil.rmtree(log_dir, ignore_errors=True)
    cli = os.path.join(bin_dir, "quillon-cli")
    env = dict(os.environ, LANG="C.UTF-8")
    p = subprocess.run([cli, "--home", home] + link + words, capture_output=True, text=True,
                       timeout=300, env=env)
    lines = []
    if os.path.isdir(log_dir):
        for name in sorted(os.listdir(log_dir)):
            with open(os.path.join(log_dir, name), encoding="utf-8", errors="replace") as f:
                lines += f.read().splitlines()
    with open(out_base + ".log", "w") as f:
        f.write("\n".join(lines) + "\n")
    # Clock times and durations differ from run to run.
    out = re.sub(r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d", "<time>",
                 p.stdout + "\n--- stderr\n" + p.stderr)
    out = re.sub(r"\d+(\.\d+)? ?s\b", "<s>", out)
    out = re.sub(r"\"(per_second|bytes_per_second|seconds)\":[0-9.e+]+", r'"\1":<n>', out)
    out = re.sub(r"[0-9.]+ KiB/s", "<n> KiB/s", out)
    with open(out_base + ".out", "w") as f:
        f.write(f"exit {p.returncode}\n{out}")


def capture(bin_dir, out_dir, kind, extra_vp=(), extra_cli=(), only=None):
    home = tempfile.mkdtemp(prefix="wire-")
    try:
        with open(os.path.join(home, "config.ini"), "w") as f:
            f.write(CONFIG)
        write_inputs(home)
        folder = os.path.join(out_dir, kind)
        os.makedirs(folder, exist_ok=True)
        printer = None
        how = kind.split("-")[0]
        if how == "usb":
            link = ["--virtual-printer", "--state", os.path.join(home, "vp.state")]
        else:
            printer = Printer(bin_dir, home, how, extra_vp)
            link = printer.link
        try:
            for i, (name, words) in enumerate(flows(home)):
                if only and name not in only:
                    continue
                run(bin_dir, home, link + list(extra_cli), words,
                    os.path.join(folder, f"{i:02d}-{name}"))
        finally:
            if printer:
                printer.stop()
    finally:
        shutil.rmtree(home, ignore_errors=True)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    bin_dir, out_dir = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    for kind in ("usb", "serial", "tcp"):
        capture(bin_dir, out_dir, kind)
    # Failure paths: a printer that stops answering, vanishes or drops one command.
    capture(bin_dir, out_dir, "serial-silent", ["--silent-after", "3"],
            only={"status", "get-info", "print-image", "firmware-update"})
    capture(bin_dir, out_dir, "tcp-unplug", ["--unplug-after", "2"],
            only={"status", "get-info", "font-download", "firmware-update", "print-image"})
    capture(bin_dir, out_dir, "usb-drop", (), ["--vp-fault", "VP0001:drop-code=E1"],
            only={"get-info", "font-download"})

if __name__ == "__main__":
    main()
