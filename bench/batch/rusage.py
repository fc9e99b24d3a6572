#!/usr/bin/env python3
"""rusage.py COMMAND...: runs COMMAND with its output discarded and prints, on one line, its user
and system processor time and its elapsed time in seconds (to the microsecond, where GNU time
gives hundredths) and its peak resident memory in KB, its own children included."""
import os
import subprocess
import sys
import time

start = time.perf_counter()
child = subprocess.Popen(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
_, _, usage = os.wait4(child.pid, 0)
wall = time.perf_counter() - start
child.returncode = 0  # reaped above
print(f"{usage.ru_utime:.6f} {usage.ru_stime:.6f} {wall:.6f} {usage.ru_maxrss}")
