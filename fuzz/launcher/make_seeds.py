#!/usr/bin/env python3
"""Writes seed inputs for payload_fuzz: what follows the first 32,000 bytes of a setup file
(whole payloads, payloads cut inside each field, and a signature across a block boundary)."""
import os
import struct
import sys

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
SIGNATURE = bytes(0xE0 + k // 2 for k in range(16))


def payload(multi=0, compression=0, engine=b"ENGINE", lua=b"LUA", data=b"DATA", lead=b""):
    scrambled = bytes(b ^ 0x9D for b in engine[:2000]) + engine[2000:]
    total = 32000 + len(lead) + 34 + len(engine) + 8 + len(lua) + len(data)
    return (lead + SIGNATURE + bytes([multi, compression]) + struct.pack("<QQ", total, len(engine))
            + scrambled + struct.pack("<Q", len(lua)) + lua + data)


seeds = {
    "single": payload(),
    "multi": payload(multi=1, compression=3),
    "long-engine": payload(engine=bytes(range(256)) * 10),
    "empty-parts": payload(engine=b"", lua=b"", data=b""),
    "straddle": payload(lead=b"M" * (128000 - 8)),
    "huge-sizes": SIGNATURE + b"\0\0" + b"\xff" * 16,
}
whole = payload()
for cut in (15, 16, 17, 20, 26, 30, 34, 40, 44, 47):
    seeds[f"cut-{cut}"] = whole[:cut]
for name, data in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
