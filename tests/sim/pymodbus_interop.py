#!/usr/bin/python3
"""Modbus TCP against an independent implementation (pymodbus), both ways, on 127.0.0.1.

  pymodbus_interop.py client TARVINE-SIM   pymodbus's client against tarvine-sim --tcp,
                                           in Modbus TCP and with RTU frames over TCP
  pymodbus_interop.py server TARVINE-CLI   tarvine-cli against pymodbus's Modbus TCP server

Exits 0 when every check passed, 1 when one failed, 77 (skipped) without pymodbus.
"""
import asyncio
import logging
import socket
import subprocess
import sys
import threading
import time

try:
    from pymodbus.client import ModbusTcpClient
    from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
    from pymodbus.framer.rtu_framer import ModbusRtuFramer
    from pymodbus.framer.socket_framer import ModbusSocketFramer
    from pymodbus.server import StartAsyncTcpServer
except ImportError:
    print("pymodbus is not installed (Debian: python3-pymodbus)")
    sys.exit(77)

logging.getLogger("pymodbus").setLevel(logging.CRITICAL)  # a client that hangs up is no error here
failures = []


def check(what, ok):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


def against_simulator(sim):
    for framing, framer in (("tcp", ModbusSocketFramer), ("rtu", ModbusRtuFramer)):
        process = subprocess.Popen([sim, "--tcp", "0", "--framing", framing, "--no-live"],
                                   stdout=subprocess.PIPE, text=True)
        try:
            host, port = process.stdout.readline().strip().rsplit(":", 1)
            client = ModbusTcpClient(host, int(port), framer=framer, timeout=3)
            check(f"{framing}: connected", client.connect())
            tag = client.read_holding_registers(578, 9, slave=247)
            check(f"{framing}: tag read", not tag.isError() and len(tag.registers) == 9)
            wrote = client.write_registers(600, [0x1111, 0x2222, 0x3333], slave=247)
            back = client.read_holding_registers(600, 3, slave=247)
            check(f"{framing}: write read back",
                  not wrote.isError() and not back.isError() and back.registers == [0x1111, 0x2222, 0x3333])
            refused = client.read_holding_registers(3400, 3, slave=247)
            check(f"{framing}: exception 2 beyond the map", refused.isError() and getattr(refused, "exception_code", 0) == 2)
            client.close()
        finally:
            process.terminate()
            process.wait(10)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def against_server(cli):
    registers = ModbusSequentialDataBlock(0, [0] * 1000)
    registers.setValues(600, [0xABCD])
    context = ModbusServerContext(slaves=ModbusSlaveContext(hr=registers, zero_mode=True), single=True)
    port = free_port()
    loop = asyncio.new_event_loop()
    threading.Thread(target=lambda: loop.run_until_complete(
        StartAsyncTcpServer(context=context, address=("127.0.0.1", port))), daemon=True).start()
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        try:
            socket.create_connection(("127.0.0.1", port), 1).close()
            break
        except OSError:
            time.sleep(0.05)

    def run(*args):
        return subprocess.run([cli, "--port", f"127.0.0.1:{port}", "--framing", "tcp", "--unit", "1",
                               "--history", "off", *args], capture_output=True, text=True, timeout=30)

    read = run("read", "600", "1")
    check("cli read", read.returncode == 0 and "ABCD" in read.stdout)
    wrote = run("write", "601", "00070008")
    check("cli write", wrote.returncode == 0 and registers.getValues(601, 2) == [7, 8])
    refused = run("read", "999", "2")
    check("cli exception 2 beyond the map", refused.returncode == 1 and "exception 2" in refused.stderr)


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] not in ("client", "server"):
        print(__doc__)
        sys.exit(2)
    (against_simulator if sys.argv[1] == "client" else against_server)(sys.argv[2])
    sys.exit(1 if failures else 0)
