#!/usr/bin/python3
"""A scripted caller for the calibration window.

Connects to the window's WebSocket link (ws://127.0.0.1:11225 by default),
prints every message it receives and sends the messages asked for, in this
order: ADDLINE with the raw files given by --line, SETCORRIDOR with the cross
line given by --cross-line or --cross-line-deg, the MESSAGE arguments, SHOW
with --show, and TERMINATE_CALIB with --terminate. A MESSAGE that does not
begin with "$" gets the prefix "$DAVARIV,CALIBRATION,", so

    calib_caller.py SHOW
    calib_caller.py 'ADDLINE,LINE=/data/a.nexra;/data/b.nexra'
    calib_caller.py '$DAVARIV,CALIBRATION,TERMINATE_CALIB'

drive a running window by hand. Uses Debian's python3-websockets.
"""

import argparse
import asyncio
import math
import sys

import websockets

PREFIX = "$DAVARIV,CALIBRATION,"
DEFAULT_PORT = 11225

# The window's default projection: "+proj=merc +units=cm +ellps=WGS84".
WGS84_A = 6378137.0
WGS84_F = 1.0 / 298.257223563


def mercator_cm(latitude, longitude):
    """Ellipsoidal Mercator on WGS 84 in centimetres: (easting, northing)."""
    e = math.sqrt(WGS84_F * (2.0 - WGS84_F))
    phi = math.radians(latitude)
    s = e * math.sin(phi)
    northing = WGS84_A * math.log(math.tan(math.pi / 4.0 + phi / 2.0)
                                  * ((1.0 - s) / (1.0 + s)) ** (e / 2.0))
    easting = WGS84_A * math.radians(longitude)
    return easting * 100.0, northing * 100.0


def full_message(text):
    return text if text.startswith("$") else PREFIX + text


def addline_message(groups):
    """ADDLINE with one LINE= item per group of raw-file paths."""
    return PREFIX + "ADDLINE" + "".join(",LINE=" + ";".join(g) for g in groups)


def setcorridor_message(sx, sy, ex, ey):
    return PREFIX + "SETCORRIDOR,STARTX=%d,STARTY=%d,ENDX=%d,ENDY=%d" % (sx, sy, ex, ey)


def cross_line_from_degrees(text):
    lat1, lon1, lat2, lon2 = (float(v) for v in text.split(","))
    sx, sy = mercator_cm(lat1, lon1)
    ex, ey = mercator_cm(lat2, lon2)
    return [int(round(v)) for v in (sx, sy, ex, ey)]


def build_messages(args):
    messages = []
    if args.line:
        messages.append(addline_message([group.split(";") for group in args.line]))
    cross = None
    if args.cross_line:
        cross = [int(v) for v in args.cross_line.split(",")]
    elif args.cross_line_deg:
        cross = cross_line_from_degrees(args.cross_line_deg)
    if cross:
        messages.append(setcorridor_message(*cross))
    messages.extend(full_message(m) for m in args.messages)
    if args.show:
        messages.append(PREFIX + "SHOW")
    if args.terminate:
        messages.append(PREFIX + "TERMINATE_CALIB")
    return messages


async def connect(uri, timeout):
    """Connects, retrying until the window listens or the timeout has passed."""
    loop = asyncio.get_running_loop()
    deadline = loop.time() + timeout
    while True:
        try:
            return await websockets.connect(uri, open_timeout=5, max_size=None,
                                            ping_interval=None)
        except (OSError, asyncio.TimeoutError, websockets.exceptions.InvalidHandshake):
            if loop.time() >= deadline:
                raise
            await asyncio.sleep(0.2)


async def run(args):
    uri = "ws://%s:%d" % (args.host, args.port)
    try:
        socket = await connect(uri, args.connect_timeout)
    except Exception as error:  # the window is not there
        print("calib_caller: cannot connect to %s: %s" % (uri, error), file=sys.stderr)
        return 2

    async def receive():
        try:
            async for message in socket:
                print("<", message, flush=True)
        except websockets.exceptions.ConnectionClosed:
            pass
        print("calib_caller: connection closed", file=sys.stderr, flush=True)

    # The window greets every new connection; wait for that before sending.
    try:
        print("<", await asyncio.wait_for(socket.recv(), timeout=args.ready_timeout), flush=True)
    except asyncio.TimeoutError:
        print("calib_caller: no greeting from the window", file=sys.stderr, flush=True)
    except websockets.exceptions.ConnectionClosed:
        print("calib_caller: connection closed", file=sys.stderr, flush=True)
        return 1
    receiver = asyncio.create_task(receive())
    for message in build_messages(args):
        print(">", message, flush=True)
        try:
            await socket.send(message)
        except websockets.exceptions.ConnectionClosed:
            break
    # Keep listening for what the window sends back (0: until it closes).
    try:
        await asyncio.wait_for(asyncio.shield(receiver),
                               timeout=args.listen if args.listen > 0 else None)
    except asyncio.TimeoutError:
        pass
    await socket.close()
    await receiver
    return 0


def main(argv=None):
    parser = argparse.ArgumentParser(
        description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("messages", nargs="*", metavar="MESSAGE",
                        help="a message to send (prefix added when it does not begin with $)")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=DEFAULT_PORT)
    parser.add_argument("--line", action="append", metavar="PATH[;PATH...]",
                        help="raw files of one survey line; repeatable (one ADDLINE for all)")
    parser.add_argument("--cross-line", metavar="SX,SY,EX,EY",
                        help="cross line in projected centimetres (x easting, y northing)")
    parser.add_argument("--cross-line-deg", metavar="LAT1,LON1,LAT2,LON2",
                        help="cross line in degrees, projected with the default projection")
    parser.add_argument("--show", action="store_true", help="send SHOW last")
    parser.add_argument("--terminate", action="store_true", help="send TERMINATE_CALIB last")
    parser.add_argument("--listen", type=float, default=2.0,
                        help="seconds to keep printing after sending (0: until the window closes)")
    parser.add_argument("--connect-timeout", type=float, default=10.0,
                        help="seconds to keep trying to connect")
    parser.add_argument("--ready-timeout", type=float, default=5.0,
                        help="seconds to wait for the window's greeting before sending")
    args = parser.parse_args(argv)
    return asyncio.run(run(args))


if __name__ == "__main__":
    sys.exit(main())
