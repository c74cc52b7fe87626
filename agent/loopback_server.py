#!/usr/bin/env python3
"""A small stand-in for the audit server, on 127.0.0.1 only (tests and demo).

  loopback_server.py uploads PORT_FILE OUT_PREFIX COUNT [TIMEOUT]
      listens on 127.0.0.1 (a free port, written to PORT_FILE), takes COUNT
      uploads; each must be the stored-file form followed by the end marker
      FD 01 FE 02 FF 04 and the agent's half-close. Saves each payload (the
      bytes before the marker) as OUT_PREFIX.1, .2, ... and checks that it
      inflates to its declared length. Exit status 0 when all arrived well.
  loopback_server.py command PORT NAME [TEXT]
      connects to an agent on 127.0.0.1:PORT, sends one command token
      (audit, quit, poweroff, reboot, logoff, hangup, message TEXT), waits
      for the agent's half-close and closes.
"""
import socket
import time
import sys
import zlib

END_MARKER = bytes([0xFD, 0x01, 0xFE, 0x02, 0xFF, 0x04])
TOKENS = {
    "audit": b"\x01\x02\x03", "quit": b"\x03\x01\x02", "poweroff": b"\x01\x03\x02",
    "reboot": b"\x02\x01\x03", "logoff": b"\x02\x03\x01", "hangup": b"\x04\x00\x01",
    "message": b"\x04\x01\x01",
}


def uploads(port_file, prefix, count, timeout=120.0):
    srv = socket.socket()
    srv.bind(("127.0.0.1", 0))
    srv.listen(5)
    srv.settimeout(timeout)
    with open(port_file + ".tmp", "w") as f:
        f.write(str(srv.getsockname()[1]))
    import os
    os.replace(port_file + ".tmp", port_file)
    for n in range(1, count + 1):
        conn, _ = srv.accept()
        conn.settimeout(timeout)
        data = b""
        while True:
            piece = conn.recv(65536)
            if not piece:
                break  # the agent's half-close
            data += piece
        conn.close()
        if not data.endswith(END_MARKER):
            print(f"upload {n}: no end marker", file=sys.stderr)
            return 1
        payload = data[:-len(END_MARKER)]
        length, _, stream = payload.partition(b"\0")
        raw = zlib.decompress(stream)
        if len(raw) != int(length):
            print(f"upload {n}: {len(raw)} bytes, {int(length)} declared", file=sys.stderr)
            return 1
        with open(f"{prefix}.{n}", "wb") as f:
            f.write(payload)
        print(f"upload {n}: {len(payload)} bytes, record of {len(raw)} bytes", flush=True)
    return 0


def command(port, name, text=""):
    """Sends one command. The agent serves one command connection at a time
    and listens again only after the previous one has closed, so a refused or
    reset connection (never accepted) is tried again for up to 30 seconds."""
    data = TOKENS[name] + (text.encode("latin-1") if name == "message" else b"")
    deadline = time.monotonic() + 30.0
    while True:
        try:
            with socket.create_connection(("127.0.0.1", int(port)), timeout=30) as s:
                s.sendall(data)
                while s.recv(64):
                    pass
            return 0
        except (ConnectionRefusedError, ConnectionResetError):
            if time.monotonic() > deadline:
                raise
            time.sleep(0.1)


if __name__ == "__main__":
    if len(sys.argv) >= 5 and sys.argv[1] == "uploads":
        sys.exit(uploads(sys.argv[2], sys.argv[3], int(sys.argv[4]),
                         float(sys.argv[5]) if len(sys.argv) > 5 else 120.0))
    if len(sys.argv) >= 4 and sys.argv[1] == "command":
        sys.exit(command(sys.argv[2], sys.argv[3], sys.argv[4] if len(sys.argv) > 4 else ""))
    print(__doc__, file=sys.stderr)
    sys.exit(2)
