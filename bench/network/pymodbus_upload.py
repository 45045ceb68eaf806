#!/usr/bin/python3
"""pymodbus_upload.py HOST PORT ROUNDS START:REGISTERS...

Reads the given register blocks ROUNDS times with pymodbus's Modbus TCP client (unit
247) and prints "MS_PER_REQUEST FAILED". Exits 77 without pymodbus.
"""
import sys
import time

try:
    from pymodbus.client import ModbusTcpClient
except ImportError:
    sys.exit(77)

host, port, rounds = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
blocks = [tuple(int(n) for n in b.split(":")) for b in sys.argv[4:]]
client = ModbusTcpClient(host, port, timeout=3)
if not client.connect():
    sys.exit(1)
failed = 0
start = time.perf_counter()
for _ in range(rounds):
    for first, count in blocks:
        failed += client.read_holding_registers(first, count, slave=247).isError()
seconds = time.perf_counter() - start
client.close()
print(f"{seconds * 1000 / (rounds * len(blocks)):.4f} {failed}")
