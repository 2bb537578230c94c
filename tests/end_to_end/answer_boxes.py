#!/usr/bin/env python3
"""Runs a command on a pseudo-terminal and answers the message boxes that the
Linux build asks there: OK (or Cancel) for an OK/Cancel box, Enter for an OK
box. Writes everything the command showed to a transcript and exits with the
command's exit status.

  answer_boxes.py --transcript FILE [--cancel] -- COMMAND ARGS...
"""

import argparse
import os
import pty
import select
import subprocess
import sys
import time

OK_CANCEL_PROMPT = b"[OK/cancel] "
OK_PROMPT = b"[press Enter] "
TIME_LIMIT = 300


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--transcript", required=True)
    parser.add_argument("--cancel", action="store_true")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    options = parser.parse_args()
    command = options.command[1:] if options.command[:1] == ["--"] else options.command

    master, slave = pty.openpty()
    child = subprocess.Popen(command, stdin=slave, stdout=slave, stderr=slave,
                             close_fds=True, start_new_session=True)
    os.close(slave)
    transcript = b""
    pending = b""
    deadline = time.monotonic() + TIME_LIMIT
    while True:
        ready, _, _ = select.select([master], [], [], 0.2)
        data = b""
        if ready:
            try:
                data = os.read(master, 65536)
            except OSError:  # every holder of the terminal has gone
                data = b""
        if data:
            transcript += data
            pending += data
            while True:
                ask = pending.find(OK_CANCEL_PROMPT)
                tell = pending.find(OK_PROMPT)
                if ask < 0 and tell < 0:
                    break
                if ask >= 0 and (tell < 0 or ask < tell):
                    os.write(master, b"cancel\n" if options.cancel else b"\n")
                    pending = pending[ask + len(OK_CANCEL_PROMPT):]
                else:
                    os.write(master, b"\n")
                    pending = pending[tell + len(OK_PROMPT):]
        elif child.poll() is not None:
            break
        if time.monotonic() > deadline:
            child.kill()
            transcript += b"\n[answer_boxes: time limit reached]\n"
            break
    status = child.wait()
    os.close(master)
    with open(options.transcript, "wb") as out:
        out.write(transcript.replace(b"\r\n", b"\n"))
    sys.exit(status if status >= 0 else 128 - status)


if __name__ == "__main__":
    main()
