#!/usr/bin/python3
"""The real program with many chart lines, under Xvfb: the lines as loaded
drawn, a recalculation drawn, and the end after "TERMINATE_CALIB".

Writes the demo's survey with nexra_survey, makes LINES hard links of its
first raw file (a corridor of 2 m keeps some 80 soundings of it), starts the
program with the end-to-end probe, names the links ("ADDLINE"), sets the
cross line ("SETCORRIDOR") and shows the window. Then it times, in seconds:

  load drawn              from "SETCORRIDOR" to the chart of LINES lines
  recalculation drawn     from the menu entry "Recalculate" to the chart of
                          2 x LINES lines, the data thread's work included
  listener closed         from "TERMINATE_CALIB" to port 11225 refusing
  exit                    from "TERMINATE_CALIB" to the program's end

"Drawn" is the probe's "idle": no wait cursor, the window drawn once more.
The program runs on an Xvfb server of its own.
Run from a build folder's parent in a network namespace of its own, e.g.

  unshare --net bash -c 'ip link set lo up && \\
    /usr/bin/python3 bench/program_many_lines.py build/plain build/many_lines 4912'
"""
import asyncio
import os
import shutil
import socket
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools", "calib_caller"))
import calib_caller  # noqa: E402
import websockets  # noqa: E402

CROSS_LINE_DEG = "59.9987,4.9960,60.0012,5.0035"


def prepare(build, work, lines):
    suite = os.path.join(work, "ProgramData", "Quillmere Vadidaro", "qhvx")
    for folder in (suite, os.path.join(work, "tmp"), os.path.join(work, "config")):
        os.makedirs(folder, exist_ok=True)
    with open(os.path.join(suite, "gui.ini"), "w") as ini:
        ini.write("[RUNTIME]\nCORR_WIDTH=2\n")
    with open(os.path.join(work, "projection.txt"), "w") as projection:
        projection.write("<RUZ_Edudorivud>\nEPSG:4326\n+proj=merc +units=cm +ellps=WGS84\n")
    survey = os.path.join(work, "survey")
    if not os.path.isdir(survey):
        subprocess.check_call([os.path.join(build, "tools", "nexra_survey", "nexra_survey"), "--out", survey,
                               "--beams", "128", "--slope-east", "0.01", "--feature", "0,0,60,6"],
                              stdout=subprocess.DEVNULL)
    source = sorted(os.path.join(survey, f) for f in os.listdir(survey) if f.endswith(".nexra"))[0]
    links = os.path.join(work, "lines")
    shutil.rmtree(links, ignore_errors=True)
    os.makedirs(links)
    paths = []
    for line in range(lines):
        path = os.path.join(links, "line_%05d.nexra" % line)
        os.link(source, path)
        paths.append(path)
    return paths


class Probe:
    def __init__(self, port_file):
        while not os.path.exists(port_file):
            time.sleep(0.05)
        self.socket = socket.create_connection(("127.0.0.1", int(open(port_file).read())))
        self.answers = self.socket.makefile()

    def ask(self, command):
        self.socket.sendall((command + "\n").encode())
        return self.answers.readline().strip()

    def drawn(self, items, timeout=600):
        """Waits for a legend of this many items, then for the probe's idle."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.ask("property listWidget count") == "ok %d" % items and self.ask("idle") == "ok idle":
                return time.monotonic()
            time.sleep(0.02)
        raise RuntimeError("no chart of %d lines within %d s" % (items, timeout))


def port_refuses(port):
    try:
        socket.create_connection(("127.0.0.1", port), timeout=0.2).close()
        return False
    except OSError:
        return True


async def measure(program, probe, paths):
    caller = await calib_caller.connect("ws://127.0.0.1:%d" % calib_caller.DEFAULT_PORT, 60)
    await caller.recv()  # the greeting
    await caller.send(calib_caller.addline_message([paths]))
    started = time.monotonic()
    await caller.send(calib_caller.setcorridor_message(*calib_caller.cross_line_from_degrees(CROSS_LINE_DEG)))
    await caller.send(calib_caller.PREFIX + "SHOW")
    print("load drawn: %.2f s" % (probe.drawn(len(paths)) - started), flush=True)

    started = time.monotonic()
    assert probe.ask("trigger Recalculate") == "ok"
    print("recalculation drawn: %.2f s" % (probe.drawn(2 * len(paths)) - started), flush=True)

    started = time.monotonic()
    await caller.send(calib_caller.PREFIX + "TERMINATE_CALIB")
    while not port_refuses(calib_caller.DEFAULT_PORT):
        await asyncio.sleep(0.005)
    print("TERMINATE_CALIB to listener closed: %.2f s" % (time.monotonic() - started), flush=True)
    while program.poll() is None:
        await asyncio.sleep(0.005)
    print("TERMINATE_CALIB to exit: %.2f s" % (time.monotonic() - started), flush=True)


def main():
    if len(sys.argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    build, work, lines = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), int(sys.argv[3])
    paths = prepare(build, work, lines)
    port_file = os.path.join(work, "probe.port")
    if os.path.exists(port_file):
        os.remove(port_file)
    # An X server of its own, so that the program's own end is timed.
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1920x1200x24", "-nolisten", "tcp"],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    display = ":" + xvfb.stdout.readline().decode().strip()
    env = dict(os.environ, ProgramData=os.path.join(work, "ProgramData"), XDG_CONFIG_HOME=os.path.join(work, "config"),
               TMPDIR=os.path.join(work, "tmp"), QT_QPA_PLATFORM="xcb", DISPLAY=display,
               RIDUR_E2E_PROBE_FILE=port_file, LD_PRELOAD=os.path.join(build, "tests", "e2e", "libe2e_probe.so"))
    program = subprocess.Popen([os.path.join(build, "RIDUR_ErideDevid", "calibration_window", "RIDUR_ErideDevid"),
                                "-projection=" + os.path.join(work, "projection.txt"), "-survey=many"],
                               env=env, stdout=subprocess.DEVNULL, stderr=open(os.path.join(work, "stderr.txt"), "w"))
    try:
        asyncio.run(measure(program, Probe(port_file), paths))
    finally:
        if program.poll() is None:
            program.terminate()
            program.wait()
        xvfb.terminate()
        xvfb.wait()
    return 0


if __name__ == "__main__":
    sys.exit(main())
