#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Drives the simulated VISA library with PyVISA, as a lab engineer would.

Usage: sim_through_pyvisa.py LIBRARY
Lists, opens (also with a secondary address), writes, reads, queries, provokes an undefined
header and a time-out on the silent address, and closes. Exits non-zero on the first surprise.
"""
import os
import sys
import tempfile
import time

import pyvisa
from pyvisa import constants

IDENTITY = "Corvane Technologies,4750A,GB44180123,B.02.07"
# The silent instrument would keep a reader waiting 20 s; the session's time-out must cut it.
PROFILE = """[simulator]
timeout_ms = 20000
[[instrument]]
kind = "test_set"
resource = "GPIB0::14::INSTR"
[[instrument]]
kind = "silent"
resource = "GPIB0::22::INSTR"
"""
TIMEOUT_MS = 300


def check(what, actual, expected):
    if actual != expected:
        sys.exit(f"{what}: expected {expected!r}, got {actual!r}")
    print(f"ok  {what}: {actual!r}")


def main(library):
    with tempfile.TemporaryDirectory() as folder:
        profile = os.path.join(folder, "pyvisa.toml")
        with open(profile, "w") as out:
            out.write(PROFILE)
        os.environ["QUILLON_SIM_PROFILE"] = profile
        rm = pyvisa.ResourceManager(library)
        check("list", rm.list_resources(), ("GPIB0::14::INSTR", "GPIB0::22::INSTR"))

        for name in ("GPIB0::14::INSTR", "GPIB0::14::0::INSTR"):
            test_set = rm.open_resource(name, read_termination="\n", write_termination="\n")
            check(f"open {name}: interface", test_set.interface_type, constants.InterfaceType.gpib)
            test_set.write("*CLS")
            test_set.write("*IDN?")
            check("write then read", test_set.read(), IDENTITY)
            check("query *idn?", test_set.query("*idn?"), IDENTITY)
            test_set.write("NO:SUCH:HEADER 1")
            check("undefined header", test_set.query("SYSTEM:ERR?"), '-113,"Undefined header"')
            check("queue empty again", test_set.query("SYSTEM:ERR?"), '+0,"No error"')
            test_set.close()

        silent = rm.open_resource("GPIB0::22::INSTR")
        silent.timeout = TIMEOUT_MS
        check("time-out attribute", silent.get_visa_attribute(constants.VI_ATTR_TMO_VALUE), TIMEOUT_MS)
        started = time.monotonic()
        try:
            silent.query("*IDN?")
            sys.exit("silent address answered")
        except pyvisa.VisaIOError as error:
            check("silent address status", error.error_code, constants.StatusCode.error_timeout)
        waited = time.monotonic() - started
        # Bounded by the session's time-out, not by the profile's 20 s.
        if not TIMEOUT_MS / 1000 * 0.9 <= waited < 10:
            sys.exit(f"the read waited {waited:.3f} s with a time-out of {TIMEOUT_MS} ms")
        print(f"ok  time-out after {waited:.3f} s")
        silent.close()
        rm.close()
    print("PyVISA drove the simulated library")


if __name__ == "__main__":
    main(sys.argv[1])
