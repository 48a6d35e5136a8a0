#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Sends the writes and queries of a quillon --trace file through PyVISA to a VISA library.

Usage: pyvisa-replay.py TRACE [LIBRARY]
LIBRARY defaults to the simulated library beside this script's build (build/bin). Each
resource the trace opened is opened again by name; each viVPrintf is written, and read back
when the trace read a reply after it, so the library sees the same traffic the program made.
Prints how many writes and queries were sent and the replies that differ from the recording.
Run by /usr/bin/python3, whose PyVISA comes from Debian's python3-pyvisa.
"""
import os
import re
import sys

import pyvisa

LINE = re.compile(r'^\d+ \d+ (\w+) (\d+)(.*) => (0x[0-9A-Fa-f]+) \S+$')
FIELD = re.compile(r' (\w+)=("(?:[^"\\]|\\.)*"|\S+)')
ESCAPES = {"n": "\n", "r": "\r", "t": "\t", "\\": "\\", '"': '"'}


def unquote(value):
    if not value.startswith('"'):
        return value
    out, i, text = [], 0, value[1:-1]
    while i < len(text):
        if text[i] != "\\":
            out.append(text[i])
            i += 1
        elif text[i + 1] == "x":
            out.append(chr(int(text[i + 2:i + 4], 16)))
            i += 4
        else:
            out.append(ESCAPES[text[i + 1]])
            i += 2
    return "".join(out)


def calls(path):
    with open(path, encoding="utf-8") as trace:
        for text in trace:
            match = LINE.match(text.rstrip("\n"))
            if match:
                fields = {k: unquote(v) for k, v in FIELD.findall(match.group(3))}
                yield match.group(1), int(match.group(2)), fields


def main():
    trace = sys.argv[1]
    here = os.path.dirname(os.path.abspath(__file__))
    library = sys.argv[2] if len(sys.argv) > 2 else os.path.join(
        here, "..", "build", "bin", "libquillon-sim-visa.so")
    recorded = list(calls(trace))
    rm = pyvisa.ResourceManager(library)
    sessions, writes, queries, differ = {}, 0, 0, 0
    for index, (function, session, fields) in enumerate(recorded):
        if function == "viOpen" and int(fields.get("vi", "0")) != 0:
            resource = rm.open_resource(fields["name"], read_termination="", write_termination="")
            sessions[int(fields["vi"])] = resource
        elif function == "viVPrintf" and session in sessions:
            following = recorded[index + 1] if index + 1 < len(recorded) else None
            resource = sessions[session]
            if following and following[0] == "viRead" and following[1] == session:
                try:
                    reply = resource.query(fields["write"])
                except pyvisa.VisaIOError:
                    reply = None
                queries += 1
                differ += reply != following[2].get("reply")
            else:
                try:
                    resource.write(fields["write"])
                except pyvisa.VisaIOError:
                    pass
                writes += 1
    for resource in sessions.values():
        resource.close()
    rm.close()
    print(f"{writes} writes, {queries} queries, {differ} replies differ from the recording")


if __name__ == "__main__":
    main()
