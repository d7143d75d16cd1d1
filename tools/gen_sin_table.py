#!/usr/bin/env python3
"""Prints the quarter-wave sine table of engine/math/FixedMath.cpp:
entry i = floor(65535 * sin(i * pi / 2046)) for i < 1023, and 65534 for the last entry."""
import math

entries = [math.floor(65535 * math.sin(i * math.pi / 2046)) for i in range(1023)] + [65534]
for row in range(0, 1024, 12):
    print("    " + ", ".join(str(v) for v in entries[row:row + 12]) + ",")
