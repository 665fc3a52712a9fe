#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz harnesses from the factory images and their exports.

Run from the source tree with a built kestrin-cli:
    python3 fuzz/corpus/make_seeds.py build/dev/bin/kestrin-cli
The seeds are small on purpose: a fuzzer grows its own corpus from them (in build/fuzz/corpus).
"""
import os
import pathlib
import subprocess
import sys
import tempfile

here = pathlib.Path(__file__).resolve().parent
root = here.parent.parent
cli = sys.argv[1] if len(sys.argv) > 1 else str(root / "build/dev/bin/kestrin-cli")


def write(target, name, data):
    d = here / target
    d.mkdir(parents=True, exist_ok=True)
    (d / name).write_bytes(data)


def run(*args):
    env = dict(os.environ, LC_ALL="C")
    return subprocess.run([cli, *args], check=True, capture_output=True, env=env).stdout


tmp = pathlib.Path(tempfile.mkdtemp())
qev = {}
for destination in (0, 5, 12):
    path = tmp / f"factory{destination}.qev"
    run("new", "--destination", str(destination), "-o", str(path))
    qev[destination] = path
    write("qev_open", f"factory{destination}.qev", path.read_bytes())

# Channel lists: the first byte picks the group (0 memory, 1 memory2, 2 edges, 3 call), the
# separators (bit 2: "," decimal and ";" lists) and the destination (bits 3..6).
groups = {"memory": 0, "memory2": 1, "edges": 2, "call": 3}
for destination, group in ((0, "memory"), (0, "edges"), (5, "call"), (12, "memory2")):
    text = run("export", str(qev[destination]), group)
    selector = groups[group] | destination << 3
    write("csv_import", f"{group}{destination}.csv", bytes([selector]) + text)


# Clone streams as the transceiver sends them, for the engine's harness: three bytes of set-up
# (operation 0 identify / 1 read / 2 write, speed row, line bits), then chunks of
# [pause in ticks][length, two bytes][bytes].
def frame(command, payload):
    return bytes([0xFE, 0xFE, 0xEF, 0xEE, command]) + payload + bytes([0xFD])


def chunk(pause, data):
    return bytes([pause, len(data) >> 8, len(data) & 0xFF]) + data


def data_frame(address, block):
    body = bytes([address >> 8, address & 0xFF, len(block)]) + block
    checksum = (-sum(body)) & 0xFF
    return frame(0xE4, (body + bytes([checksum])).hex().upper().encode())


def memory_of(path):
    image = bytearray(0x18A0)
    lines = path.read_bytes().splitlines()
    for line in lines[1:]:
        if line.startswith(b"#") or len(line) < 10:
            continue
        raw = bytes.fromhex(line.decode())
        address = int.from_bytes(raw[0:4], "big")
        image[address:address + raw[4]] = raw[5:5 + raw[4]]
    return bytes(image)


info = bytes(42)
identify = frame(0xE1, bytes([0x32, 0x51, 0x00, 0x04]) + bytes([0, 1]) + info[2:])
write("clone_engine", "identify", bytes([0, 3, 0x80]) + chunk(30, identify))

memory = memory_of(qev[0])
stream = b"".join(data_frame(a, memory[a:a + 32]) for a in range(0, len(memory), 32))
count = (len(memory) + 31) // 32
stream += frame(0xE5, b"Zelk Inc." + f"{count % 256:02X}".encode())
# Read at 9600 baud: 96 bytes a tick.
chunks = b"".join(chunk(40 if i == 0 else 1, stream[i:i + 96]) for i in range(0, len(stream), 96))
write("clone_engine", "read", bytes([1, 3, 0x80]) + chunks)
write("clone_engine", "write", bytes([2, 3, 0x80]) + chunk(120, frame(0xE6, b"\x00")))
write("clone_engine", "write-refused", bytes([2, 3, 0x80]) + chunk(120, frame(0xE6, b"\x01")))


# Pages of the program's own text: style line, basic cell line, cell lines.
def section(lines, name):
    start = lines.index(b"#" + name) + 1
    out = []
    while not lines[start].startswith(b"#"):
        out.append(lines[start])
        start += 1
    return out


main = (root / "resources/kestrin_main.gtex").read_bytes().splitlines()
for page in ("BankName", "DTMF_Memory", "CallCh"):
    name = b"GI_Sheet_" + page.encode()
    text = section(main, name + b"_Style")[:1] + section(main, name + b"_BasicCell")[:1] + section(main, name + b"_Cells")
    write("markup_sheet", page, b"\n".join(text) + b"\n")

# Settings files as the program writes them.
settings = b"""[Global]
BBT=753951
ComPort=3
ComSpeedHigh=1
Current%20Directory=/home/user/radio
TransType=2

[Recent%20File%20List]
Recent0=/home/user/radio/a.qev
Recent1=/home/user/radio/b b.qev
Recent2=
Recent3=
Recent4=
Recent5=
Recent6=
Recent7=
Recent8=
Recent9=

[Setup]
Etc%20Data=786448
ModelType=0

[View%20Option]
FontSize%20Percentage=125
FontSize%20Printer=10
Toolbar%20Visible=1

[Window%20Position]
Height=600
Left=112
SplitterV=180
Top=84
Width=800
"""
write("settings_read", "kestrin.ini", settings)
write("settings_read", "empty.ini", b"[Global]\nBBT=753951\n")
