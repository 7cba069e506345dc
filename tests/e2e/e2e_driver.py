#!/usr/bin/python3
"""End-to-end driver: runs the built calibration window as its own process
(under the Xvfb display this driver runs in) with a temporary "ProgramData",
settings location and TMPDIR, and drives it over its WebSocket link.

One case per run (--case); each case starts the program, checks what the
caller, the log file, the debug stream, the UDP sentence and the window show,
and ends the program. Every wait is bounded. Exit code 0 when the case passes
and the standard error of every program it ran holds no sanitizer report
(whatever the exit code: a program that ends through _Exit skips the
sanitizer's own).
"""

import argparse
import asyncio
import base64
import json
import os
import re
import shutil
import socket
import struct
import subprocess
import sys
import time
import traceback
import zlib

import websockets

PREFIX = "$DAVARIV,CALIBRATION,"
READY = PREFIX + "CALIBRATION_WIDGET_READY"
CLOSED = PREFIX + "CALIBRATION_CLOSED"
CALLER_PORT = 11225
SENTENCE_PORT = 25035
CROSS_LINE_DEG = "59.9987,4.9960,60.0012,5.0035"
COUNT_LINE = re.compile(r"^(\d+) (\d+)$", re.M)
MESSAGE_LOG = re.compile(r"CrossLineWidget::processWebSocketMessage = (.*)$", re.M)
RECALCULATION_LOG = "TIMING : CrossLineData::recalculatedDepths()"
LOAD_LOG = "TIMING : CrossLineData::loadRegionData()"
SANITIZER_REPORT = re.compile(r"WARNING: ThreadSanitizer|ERROR: AddressSanitizer|runtime error:")
# Seconds each wait for the program gives it (an answer, a load, a
# recalculation, its start or end): a bound that a correct program under
# ThreadSanitizer on a machine busy with other work meets, so a wait that runs
# out is a fault and fails with what it waited for. The cases' own limits
# (CASE_TIMEOUTS) lie above it.
WAIT = 120


class CaseFailed(Exception):
    pass


def waited(what, timeout=WAIT):
    """The failure of a wait that ran out."""
    return CaseFailed("waited %g s for %s" % (timeout, what))


def check(condition, what):
    if not condition:
        raise CaseFailed(what)
    print("  ok:", what, flush=True)


def sanitizer_reports(text):
    """The sanitizer reports in a standard error text, each from its first
    line on (at most 40 lines)."""
    lines = text.splitlines()
    return ["\n".join(lines[i:i + 40]) for i, line in enumerate(lines)
            if SANITIZER_REPORT.search(line)]


# Standard error of every process a case ran: (name, path of the text).
STDERR_FILES = []


# --- the survey and its ground truth ------------------------------------------

class Survey:
    def __init__(self, tool, folder, widths, beams=64, ping_rate=2, pings_per_file=80):
        out = subprocess.run(
            [tool, "--out", folder, "--cross-line-deg", CROSS_LINE_DEG,
             "--widths", ",".join(str(w) for w in widths), "--beams", str(beams),
             "--ping-rate", str(ping_rate), "--pings-per-file", str(pings_per_file)],
            check=True, capture_output=True, text=True, timeout=120)
        errors = os.path.join(folder, "survey-stderr.txt")
        with open(errors, "w") as f:
            f.write(out.stderr)
        STDERR_FILES.append(("survey tool", errors))
        truth = json.loads(out.stdout)
        self.cross_line = [int(v) for v in truth["cross_line"]]
        self.files = truth["files"]

    def paths_of_line(self, line):
        return [f["path"] for f in self.files if f["line"] == line]

    def addline(self, lines=(0, 1, 2)):
        """ADDLINE with one LINE= item per survey line (several files joined by ";")."""
        return PREFIX + "ADDLINE" + "".join(
            ",LINE=" + ";".join(self.paths_of_line(l)) for l in lines)

    def setcorridor(self):
        sx, sy, ex, ey = self.cross_line
        return PREFIX + "SETCORRIDOR,STARTX=%d,STARTY=%d,ENDX=%d,ENDY=%d" % (sx, sy, ex, ey)

    def check_counts(self, counts, paths, width):
        check(len(counts) == len(paths),
              "one count line per raw file (%d for %d)" % (len(counts), len(paths)))
        by_path = {f["path"]: f for f in self.files}
        for (examined, kept), path in zip(counts, paths):
            truth = by_path[path]
            low, high = truth["kept"][format_width(width)]
            name = os.path.basename(path)
            check(examined == truth["soundings"],
                  "%s: examined %d of %d soundings" % (name, examined, truth["soundings"]))
            check(low <= kept <= high,
                  "%s: kept %d, generator counts %d..%d at width %s"
                  % (name, kept, low, high, format_width(width)))


def format_width(width):
    text = "%g" % width
    return text


# --- the program ----------------------------------------------------------------

class Program:
    def __init__(self, args, name, corridor_width=None, log_configuration=None):
        self.args = args
        self.root = os.path.join(args.work, name)
        shutil.rmtree(self.root, ignore_errors=True)
        self.program_data = os.path.join(self.root, "ProgramData")
        self.suite_folder = os.path.join(self.program_data, "Quillmere Vadidaro", "qhvx")
        self.tmp = os.path.join(self.root, "tmp")
        for sub in ("config", "data", "cache", "runtime", "tmp"):
            os.makedirs(os.path.join(self.root, sub), exist_ok=True)
        os.chmod(os.path.join(self.root, "runtime"), 0o700)
        os.makedirs(self.suite_folder, exist_ok=True)
        if corridor_width is not None:
            with open(os.path.join(self.suite_folder, "gui.ini"), "w") as f:
                f.write("[RUNTIME]\nCORR_WIDTH=%s\n" % corridor_width)
        if log_configuration is not None:
            with open(self.log_configuration_path, "w") as f:
                f.write(log_configuration % {"log": self.log_path})
        self.projection = os.path.join(self.root, "projection.txt")
        with open(self.projection, "w") as f:
            f.write("<RUZ_Edudorivud>\nEPSG:4326\n+proj=merc +units=cm +ellps=WGS84\n")
        self.stderr_path = os.path.join(self.root, "stderr.txt")
        STDERR_FILES.append(("program", self.stderr_path))
        self.probe_file = os.path.join(self.root, "probe.port")
        self.process = None
        self.probe_socket = None

    @property
    def log_path(self):
        # The program's private temporary folder, in its cache folder.
        return os.path.join(self.root, "cache", "Quillmere Vadidaro", "qhvx", "DAV5Edade.log4")

    @property
    def log_configuration_path(self):
        return os.path.join(self.suite_folder, "log4cplus_configureCalib.ini")

    def environment(self):
        env = dict(os.environ)
        env.update({
            "ProgramData": self.program_data,
            "XDG_CONFIG_HOME": os.path.join(self.root, "config"),
            "XDG_DATA_HOME": os.path.join(self.root, "data"),
            "XDG_CACHE_HOME": os.path.join(self.root, "cache"),
            "XDG_RUNTIME_DIR": os.path.join(self.root, "runtime"),
            "TMPDIR": self.tmp,
            "QT_QPA_PLATFORM": "xcb",
            "LD_PRELOAD": self.args.probe,
            "RIDUR_E2E_PROBE_FILE": self.probe_file,
        })
        # The preloaded probe comes before a sanitizer runtime. libxkbcommon-x11,
        # which the X11 platform plugin uses at start-up, hands strndup buffers
        # without a terminating NUL: legal, but not with strict_string_checks.
        asan = env.get("ASAN_OPTIONS", "")
        env["ASAN_OPTIONS"] = ((asan + ":" if asan else "")
                               + "verify_asan_link_order=0:strict_string_checks=0")
        return env

    def start(self, extra_args=()):
        if os.path.exists(self.probe_file):
            os.remove(self.probe_file)
        with open(self.stderr_path, "w") as err:
            self.process = subprocess.Popen(
                [self.args.program, "-projection=" + self.projection] + list(extra_args),
                env=self.environment(), stdout=subprocess.DEVNULL, stderr=err, cwd=self.root)
        state = self.wait_listening()
        if state == "not":
            raise CaseFailed("the program does not listen: port %d is taken by another process"
                             % CALLER_PORT)
        if state != "listens":
            raise waited("the program to say whether it listens on port %d" % CALLER_PORT)
        self.connect_probe()

    def wait_listening(self, timeout=WAIT):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            text = self.stderr()
            if "HVXQAWebSocketServer::start() NOT listens" in text:
                return "not"
            if "HVXQAWebSocketServer::start() listens" in text:
                return "listens"
            if self.process.poll() is not None:
                raise CaseFailed("the program ended at start-up with %s:\n%s"
                                 % (self.process.returncode, text[-3000:]))
            time.sleep(0.05)
        return "timeout"

    def connect_probe(self, timeout=WAIT):
        deadline = time.monotonic() + timeout
        while not os.path.exists(self.probe_file):
            if time.monotonic() > deadline:
                raise waited("the test probe to write its port file", timeout)
            time.sleep(0.05)
        with open(self.probe_file) as f:
            port = int(f.read())
        try:
            self.probe_socket = socket.create_connection(("127.0.0.1", port), timeout=timeout)
        except socket.timeout:
            raise waited("the test probe to accept its connection", timeout) from None
        self.probe_reader = self.probe_socket.makefile("r")

    def probe(self, command):
        try:
            self.probe_socket.sendall((command + "\n").encode())
            answer = self.probe_reader.readline().strip()
        except socket.timeout:
            raise waited("the test probe's answer to %r" % command,
                         self.probe_socket.gettimeout()) from None
        if not answer.startswith("ok"):
            raise CaseFailed("probe %r: %s" % (command, answer))
        return answer[3:]

    def visible(self):
        return self.probe("property @window visible") == "true"

    def stderr(self):
        with open(self.stderr_path, errors="replace") as f:
            return f.read()

    def log(self):
        try:
            with open(self.log_path, errors="replace") as f:
                return f.read()
        except FileNotFoundError:
            return ""

    def counts(self):
        """The (examined, kept) lines of the debug stream, in order."""
        return [(int(a), int(b)) for a, b in COUNT_LINE.findall(self.stderr())]

    def logged_messages(self):
        return MESSAGE_LOG.findall(self.log())

    def recalculations(self):
        """How many recalculations the data thread has finished."""
        return self.log().count(RECALCULATION_LOG)

    def loads(self):
        """How many loads the data thread has finished."""
        return self.log().count(LOAD_LOG)

    async def wait_load(self, before, files, timeout=WAIT):
        """Waits until a load of `files` raw files has been answered and drawn;
        gives its count lines."""
        deadline = time.monotonic() + timeout
        while len(self.counts()) < before + files:
            self.check_running()
            if time.monotonic() > deadline:
                raise waited("the answer of a load of %d raw files: %d count lines, expected %d"
                             % (files, len(self.counts()), before + files), timeout)
            await asyncio.sleep(0.05)
        # corridorWidth is enabled again at the end of the load's answer.
        while self.probe("property corridorWidth enabled") != "true":
            if time.monotonic() > deadline:
                raise waited("the end of a load's answer (corridorWidth enabled again)", timeout)
            await asyncio.sleep(0.05)
        return self.counts()[before:before + files]

    async def wait_logged(self, count, timeout=WAIT):
        deadline = time.monotonic() + timeout
        while len(self.logged_messages()) < count:
            self.check_running()
            if time.monotonic() > deadline:
                raise waited("%d caller messages in the log: %d logged"
                             % (count, len(self.logged_messages())), timeout)
            await asyncio.sleep(0.05)
        return self.logged_messages()

    def check_running(self):
        if self.process.poll() is not None:
            raise CaseFailed("the program ended with %s:\n%s"
                             % (self.process.returncode, self.stderr()[-3000:]))

    async def wait_exit(self, timeout=WAIT):
        deadline = time.monotonic() + timeout
        while self.process.poll() is None:
            if time.monotonic() > deadline:
                raise waited("the program to end", timeout)
            await asyncio.sleep(0.05)
        return self.process.returncode

    def kill(self):
        if self.probe_socket:
            self.probe_socket.close()
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait(WAIT)


# --- callers --------------------------------------------------------------------

class Caller:
    """A well-formed caller over python3-websockets, collecting what it receives."""

    def __init__(self, ws):
        self.ws = ws
        self.received = []
        self.closed = False
        self.task = asyncio.create_task(self._receive())

    @classmethod
    async def open(cls, timeout=WAIT):
        try:
            ws = await websockets.connect("ws://127.0.0.1:%d" % CALLER_PORT, open_timeout=timeout,
                                          ping_interval=None, max_size=None)
        except asyncio.TimeoutError:
            raise waited("the opening handshake of a caller connection", timeout) from None
        return cls(ws)

    async def _receive(self):
        try:
            async for message in self.ws:
                self.received.append(message)
        except websockets.exceptions.ConnectionClosed:
            pass
        self.closed = True

    async def expect(self, message, timeout=WAIT):
        deadline = time.monotonic() + timeout
        while message not in self.received:
            if time.monotonic() > deadline:
                raise waited("the caller to receive %r (got %r)" % (message, self.received),
                             timeout)
            await asyncio.sleep(0.02)

    async def expect_closed(self, timeout=WAIT):
        deadline = time.monotonic() + timeout
        while not self.closed:
            if time.monotonic() > deadline:
                raise waited("the window to close the caller connection", timeout)
            await asyncio.sleep(0.02)

    async def send(self, *messages):
        for message in messages:
            await self.ws.send(message)

    async def close(self):
        await self.ws.close()
        await self.task


async def greeted_caller():
    caller = await Caller.open()
    await caller.expect(READY)
    check(caller.received[0] == READY, "a new connection is greeted with CALIBRATION_WIDGET_READY")
    return caller


async def wait_until(predicate, what, timeout=WAIT):
    deadline = time.monotonic() + timeout
    while not predicate():
        if time.monotonic() > deadline:
            raise waited("this to hold: " + what, timeout)
        await asyncio.sleep(0.05)
    check(True, what)


async def terminate(program, caller=None):
    """TERMINATE_CALIB ends the program with 0 and without CALIBRATION_CLOSED."""
    caller = caller or await greeted_caller()
    await caller.send(PREFIX + "TERMINATE_CALIB")
    code = await program.wait_exit()
    check(code == 0, "TERMINATE_CALIB ends the program with exit code 0 (got %s)" % code)
    await caller.expect_closed()
    check(CLOSED not in caller.received, "TERMINATE_CALIB sends no CALIBRATION_CLOSED")


# --- screenshots -----------------------------------------------------------------

def ppm_image(path):
    """Width, height and the RGB bytes of a binary PPM (P6, 8 bits) file."""
    with open(path, "rb") as f:
        data = f.read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    check(fields[0] == b"P6" and fields[3] == b"255", "the screenshot is an 8-bit PPM file")
    width, height = int(fields[1]), int(fields[2])
    pixels = data[pos + 1:]
    check(len(pixels) == width * height * 3, "the screenshot holds every pixel")
    return width, height, pixels


def colour_counts(image, area, colours):
    """How many pixels inside area (x, y, w, h, clipped to the image) have
    each of the colours ("#rrggbb")."""
    width, height, pixels = image
    x0, y0, w, h = area
    wanted = {bytes.fromhex(c[1:]): c for c in colours}
    counts = dict.fromkeys(colours, 0)
    for y in range(max(y0, 0), min(y0 + h, height)):
        row = pixels[y * width * 3:(y + 1) * width * 3]
        for x in range(max(x0, 0), min(x0 + w, width)):
            colour = wanted.get(row[x * 3:x * 3 + 3])
            if colour:
                counts[colour] += 1
    return counts


# --- raw WebSocket traffic -------------------------------------------------------

def raw_handshake(sock):
    key = base64.b64encode(os.urandom(16)).decode()
    sock.sendall(("GET / HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nUpgrade: websocket\r\n"
                  "Connection: Upgrade\r\nSec-WebSocket-Key: %s\r\n"
                  "Sec-WebSocket-Version: 13\r\n\r\n" % (CALLER_PORT, key)).encode())
    response = b""
    while b"\r\n\r\n" not in response:
        chunk = sock.recv(4096)
        if not chunk:
            raise CaseFailed("handshake answer cut short")
        response += chunk
    head, rest = response.split(b"\r\n\r\n", 1)
    check(head.startswith(b"HTTP/1.1 101"), "raw handshake accepted")
    return rest


def frame(opcode, payload, fin=True, masked=True, length=None):
    length = len(payload) if length is None else length
    head = bytes([(0x80 if fin else 0) | opcode])
    mask_bit = 0x80 if masked else 0
    if length < 126:
        head += bytes([mask_bit | length])
    elif length < 65536:
        head += bytes([mask_bit | 126]) + struct.pack("!H", length)
    else:
        head += bytes([mask_bit | 127]) + struct.pack("!Q", length)
    if not masked:
        return head + payload
    key = os.urandom(4)
    return head + key + bytes(b ^ key[i % 4] for i, b in enumerate(payload))


def read_frames(sock, buffered=b"", timeout=WAIT):
    """Reads server frames until the connection ends or the timeout passes:
    gives the text messages and the close code (None when none came)."""
    sock.settimeout(0.2)
    data, texts, close_code = buffered, [], None
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        while len(data) >= 2:
            opcode, length, pos = data[0] & 0x0F, data[1] & 0x7F, 2
            if length == 126:
                if len(data) < 4:
                    break
                length, pos = struct.unpack("!H", data[2:4])[0], 4
            elif length == 127:
                if len(data) < 10:
                    break
                length, pos = struct.unpack("!Q", data[2:10])[0], 10
            if len(data) < pos + length:
                break
            payload, data = data[pos:pos + length], data[pos + length:]
            if opcode == 1:
                texts.append(payload.decode("utf-8", "replace"))
            elif opcode == 8:
                close_code = struct.unpack("!H", payload[:2])[0] if len(payload) >= 2 else 1005
                return texts, close_code
        try:
            chunk = sock.recv(65536)
        except socket.timeout:
            continue
        except OSError:
            break
        if not chunk:
            break
        data += chunk
    return texts, close_code


def raw_connection():
    return socket.create_connection(("127.0.0.1", CALLER_PORT), timeout=WAIT)


# --- cases -----------------------------------------------------------------------

async def case_main_road(args):
    survey = Survey(args.survey_tool, os.path.join(args.work, "survey"), widths=(20, 21))
    program = Program(args, "run", corridor_width=20)
    program.start()
    try:
        check(os.path.exists(program.log_configuration_path),
              "the default logging configuration is written into the program-data folder")
        check("New run" in program.log(), "the log file in the private folder starts with \"New run\"")
        check("getRawFiles" not in program.log(), "without a cross line nothing is loaded at start")
        check(not program.visible(), "the window starts hidden")
        check(program.probe("property corridorWidth value") == "20",
              "the corridor width comes from gui.ini")

        # The scripted caller names the raw files, sets the cross line and shows the window.
        command = [sys.executable, os.path.join(args.caller, "calib_caller.py"),
                   "--cross-line", ",".join(str(v) for v in survey.cross_line),
                   "--show", "--listen", "0.5"]
        for line in (0, 1, 2):
            command += ["--line", ";".join(survey.paths_of_line(line))]
        scripted = await asyncio.create_subprocess_exec(*command, stdout=subprocess.PIPE)
        try:
            output, _ = await asyncio.wait_for(scripted.communicate(), timeout=WAIT)
        except asyncio.TimeoutError:
            raise waited("the scripted caller to end") from None
        check(scripted.returncode == 0, "the scripted caller ran")
        check(output.decode().splitlines()[0] == "< " + READY,
              "the scripted caller is greeted with CALIBRATION_WIDGET_READY")
        paths = [f["path"] for f in survey.files]
        survey.check_counts(await program.wait_load(0, len(paths)), paths, 20)
        check(program.visible(), "ADDLINE and SHOW show the window")
        caller = await greeted_caller()
        program.probe("invoke sendParametersToCaller")
        await wait_until(lambda: any(m.startswith(PREFIX + "CALIBRATION_PARAMETERS,")
                                     for m in caller.received),
                         "sendParametersToCaller reports to the current caller")
        check(program.probe("property @window windowTitle") == "Calibration",
              "the window is titled \"Calibration\"")

        # The user steps the corridor width up in the window.
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as udp:
            udp.bind(("127.0.0.1", SENTENCE_PORT))
            udp.settimeout(WAIT)
            program.probe("key corridorWidth Up")
            try:
                sentence, _ = udp.recvfrom(1024)
            except socket.timeout:
                raise waited("the width sentence on UDP port %d" % SENTENCE_PORT) from None
        check(sentence == b"$DOVED,CORR_WIDTH,21,",
              "the width change is announced on UDP port %d: %r" % (SENTENCE_PORT, sentence))
        survey.check_counts(await program.wait_load(len(paths), len(paths)), paths, 21)
        with open(os.path.join(program.suite_folder, "gui.ini")) as f:
            check("CORR_WIDTH=21" in f.read(), "gui.ini holds the new width")

        # The picture of the X screen shows every line's colour inside the plot area.
        shot = os.path.join(program.root, "screenshot.ppm")
        deadline = time.monotonic() + WAIT
        while True:
            plot = program.probe("plot").split()
            area, line_colours = [int(v) for v in plot[:4]], plot[4:]
            program.probe("grab " + shot)
            image = ppm_image(shot)
            counts = colour_counts(image, area, line_colours)
            if line_colours and all(n > 0 for n in counts.values()):
                break
            if time.monotonic() > deadline:
                break
            await asyncio.sleep(0.5)
        check(image[:2] == (1920, 1200), "the screenshot covers the X screen")
        check(line_colours, "the chart has lines to draw (%s)" % " ".join(line_colours))
        check(all(n > 0 for n in counts.values()),
              "each line's colour is drawn inside the plot area %s within %g s: %s"
              % (area, WAIT, counts))
        program.probe("grab " + os.path.join(program.root, "screenshot.png"))
        print("  screenshot:", os.path.join(program.root, "screenshot.png"))

        await terminate(program, caller)
        logged = program.logged_messages()
        check(logged == [survey.addline(), survey.setcorridor(), PREFIX + "SHOW",
                         PREFIX + "TERMINATE_CALIB"], "every caller message is logged once, in order")
    finally:
        program.kill()


# A logging configuration of the user's: every record, message only.
USER_LOG_CONFIGURATION = """# the user's own configuration
log4cplus.rootLogger=DEBUG, UserFile
log4cplus.appender.UserFile=log4cplus::FileAppender
log4cplus.appender.UserFile.File=%(log)s
log4cplus.appender.UserFile.layout=log4cplus::PatternLayout
log4cplus.appender.UserFile.layout.ConversionPattern=user: %%m%%n
"""


async def case_start_up(args):
    program = Program(args, "run", log_configuration=USER_LOG_CONFIGURATION)
    with open(program.log_configuration_path, "rb") as f:
        configuration = f.read()
    program.start(["-survey=North Bay", "-sx=100", "-sy=200", "-ex=300", "-ey=-400"])
    try:
        with open(program.log_configuration_path, "rb") as f:
            check(f.read() == configuration, "an existing logging configuration is kept as it is")
        log = program.log()
        check("user: New run\n" in log, "the program logs through the existing configuration")
        check("user: run with projection %s, survey North Bay, sx 100, sy 200, ex 300, ey -400\n"
              % program.projection in log, "the command line is logged")
        # No raw file is named yet: the load asks for them and ends.
        check("user: getRawFiles: files \n" in log, "the start-up cross line requests a load")
        check(not program.visible(), "the window starts hidden")
        await terminate(program)
    finally:
        program.kill()


async def case_close_through_window(args):
    program = Program(args, "run")
    program.start()
    try:
        caller = await greeted_caller()
        await caller.send(PREFIX + "SHOW")
        await wait_until(program.visible, "SHOW shows the window")
        program.probe("trigger E&xit")
        await caller.expect(CLOSED)
        check(caller.received.count(CLOSED) == 1, "closing the window sends CALIBRATION_CLOSED once")
        code = await program.wait_exit()
        check(code == 0, "closing the last window ends the program with 0 (got %s)" % code)
    finally:
        program.kill()


async def case_malformed_messages(args):
    survey = Survey(args.survey_tool, os.path.join(args.work, "survey"), widths=(2,))
    program = Program(args, "run")
    program.start()
    try:
        caller = await greeted_caller()
        wrong_prefix = [
            "$DAVARIV,CALIBRATIO,SHOW", "$davariv,calibration,SHOW", "$DAVARIV,CALIBRATION,show",
            " $DAVARIV,CALIBRATION,SHOW", "DAVARIV,CALIBRATION,SHOW", "$DAVARIV,CALIBRATION,",
            "$DAVARIV,CALIBRATION,addline,LINE=" + survey.files[0]["path"], "", "SHOW",
        ]
        await caller.send(*wrong_prefix)
        await program.wait_logged(len(wrong_prefix))
        check(not program.visible(), "messages with a wrong prefix or keyword case do nothing")

        # Lower-case item keys name nothing and set nothing.
        await caller.send(PREFIX + "ADDLINE,line=" + survey.files[0]["path"],
                          PREFIX + "SETCORRIDOR,startx=1,starty=2,endx=300,endy=400")
        await program.wait_logged(len(wrong_prefix) + 2)
        check(program.visible(), "ADDLINE shows the window even when its items are unusable")
        sx, sy, ex, ey = survey.cross_line
        await caller.send(survey.setcorridor())
        await program.wait_logged(len(wrong_prefix) + 3)
        await asyncio.sleep(1.0)
        check(program.counts() == [], "no raw file was named by lower-case keys: nothing loads")
        check("setCrossLineCoordinates dx= 0, dy= 0" in program.log(),
              "lower-case SETCORRIDOR keys read as 0")

        # Unparsable numbers read as 0.
        before = len(program.logged_messages())
        await caller.send(PREFIX + "SETCORRIDOR,STARTX=12abc,STARTY=500,ENDX=1000,ENDY=500",
                          PREFIX + "SETCORRIDOR,STARTX=100,STARTY=x,ENDX=1000,ENDY=99999999999")
        await program.wait_logged(before + 2)
        log = program.log()
        check("setCrossLineCoordinates dx= 1000, dy= 0" in log, "\"12abc\" reads as 0")
        check("setCrossLineCoordinates dx= 900, dy= 0" in log, "\"x\" and an int32 overflow read as 0")

        # Empty pieces and empty items in the path list add nothing.
        paths = [survey.files[0]["path"], survey.files[2]["path"]]
        await caller.send(PREFIX + "ADDLINE,,LINE=;%s;;%s;,LINE=,LINE=;;,LINE=%s,"
                          % (paths[0], paths[1], paths[0]), survey.setcorridor())
        survey.check_counts(await program.wait_load(0, 2), paths, 2)

        # A new well-formed caller is still answered.
        await terminate(program)
    finally:
        program.kill()


async def case_two_callers(args):
    survey = Survey(args.survey_tool, os.path.join(args.work, "survey"), widths=(2,))
    program = Program(args, "run")
    program.start()
    try:
        first = await greeted_caller()
        second = await greeted_caller()
        paths = [f["path"] for f in survey.files]
        await first.send(survey.addline())
        await wait_until(program.visible, "the earlier caller's ADDLINE is still handled")
        await second.send(survey.setcorridor())
        survey.check_counts(await program.wait_load(0, len(paths)), paths, 2)

        await first.close()
        await program.wait_logged(2)
        await asyncio.sleep(0.5)
        program.probe("trigger E&xit")
        code = await program.wait_exit()
        check(code == 0, "closing the window ends the program with 0 (got %s)" % code)
        await second.expect_closed()
        check(CLOSED not in second.received,
              "after the earlier caller dropped there is no current caller: nothing is sent")
        check(second.received == [READY], "the later caller received only its greeting")
    finally:
        program.kill()


async def case_flood_during_load(args):
    survey = Survey(args.survey_tool, os.path.join(args.work, "survey"), widths=(2,),
                    beams=256, ping_rate=8, pings_per_file=600)
    program = Program(args, "run")
    program.start()
    try:
        caller = await greeted_caller()
        all_paths = [f["path"] for f in survey.files]
        second_paths = survey.paths_of_line(1)
        flood = []
        for i in range(3000):
            flood.append([PREFIX + "SHOW", "$DAVARIV,CALIBRATIO,SHOW,%d" % i,
                          PREFIX + "addline,LINE=/nowhere/%d.nexra" % i,
                          PREFIX + "NOTHING,%d" % i, PREFIX + "SHOWING,%d" % i][i % 5])
            if i == 1500:
                flood += [survey.addline(lines=(1,)), survey.setcorridor()]
        sent = [survey.addline(), survey.setcorridor()] + flood
        await caller.send(*sent)
        first = await program.wait_load(0, len(all_paths))
        survey.check_counts(first, all_paths, 2)
        second = await program.wait_load(len(all_paths), len(second_paths))
        survey.check_counts(second, second_paths, 2)
        logged = await program.wait_logged(len(sent))
        check(logged == sent, "all %d messages were handled, once each and in order" % len(sent))
        log = program.log()
        first_load_end = log.index("TIMING : CrossLineData::loadRegionData()")
        during = len(MESSAGE_LOG.findall(log[:first_load_end])) - 2
        print("  %d messages were handled while the first load ran" % during)
        await asyncio.sleep(0.5)
        check(len(program.counts()) == len(all_paths) + len(second_paths),
              "the queued load ran once")
        await terminate(program, caller)
    finally:
        program.kill()


async def case_raw_websocket(args):
    survey = Survey(args.survey_tool, os.path.join(args.work, "survey"), widths=(2,))
    program = Program(args, "run")
    program.start()
    try:
        loop = asyncio.get_running_loop()

        def exchange(frames, name, expect_close=True):
            with raw_connection() as sock:
                rest = raw_handshake(sock)
                for f in frames:
                    sock.sendall(f)
                texts, code = read_frames(sock, rest)
            check(READY in texts, "%s: greeted first (within %g s)" % (name, WAIT))
            if expect_close:
                check(code is not None and code != 1000,
                      "%s: the window closes the connection (code %s)" % (name, code))
            return texts, code

        def run_raw():
            exchange([frame(1, b"$DAVARIV,CALIBRATION,SHOW\xff\xfe")], "invalid UTF-8")
            exchange([frame(1, b"$DAVARIV,CALIBRATION,SHOW", length=1 << 40)], "oversized frame")
            exchange([frame(8, struct.pack("!H", 999))], "bad close code")
            exchange([frame(8, struct.pack("!H", 1005))], "reserved close code")
            exchange([frame(0, b"SHOW")], "continuation without a start")
            exchange([frame(1, b"$DAVARIV,CALIBRATION,", fin=False),
                      frame(1, b"SHOW")], "text frame inside a fragmented message")
            exchange([frame(9, b"x" * 200)], "oversized control frame")
            # Dropped mid-handshake, mid-frame, and no WebSocket at all.
            for data in (b"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: webs",
                         b"\x00\x01\x02garbage" * 500, b""):
                with raw_connection() as sock:
                    sock.sendall(data)
            with raw_connection() as sock:
                raw_handshake(sock)
                sock.sendall(frame(1, b"$DAVARIV,CALIBRATION,SHOW" * 10)[:30])

        await loop.run_in_executor(None, run_raw)
        await asyncio.sleep(0.5)
        program.check_running()
        check(not program.visible(), "no broken frame was taken as SHOW")
        check(program.logged_messages() == [], "no broken frame reached the message handler")

        # Fragmented messages with a control frame between the pieces are whole messages.
        addline = survey.addline().encode()
        def run_fragmented():
            return exchange([frame(1, addline[:30], fin=False), frame(9, b"ping"),
                             frame(0, addline[30:77], fin=False), frame(0, addline[77:]),
                             frame(1, b"$DAVARIV,CALIB", fin=False),
                             frame(0, b"RATION,SHOW"), frame(8, struct.pack("!H", 1000))],
                            "fragmented messages", expect_close=False)
        await loop.run_in_executor(None, run_fragmented)
        check(program.visible(), "a fragmented SHOW shows the window")
        caller = await greeted_caller()
        await caller.send(survey.setcorridor())
        paths = [f["path"] for f in survey.files]
        survey.check_counts(await program.wait_load(0, len(paths)), paths, 2)
        check(program.logged_messages() == [survey.addline(), PREFIX + "SHOW",
                                            survey.setcorridor()],
              "the fragmented ADDLINE named every raw file")
        await terminate(program, caller)
    finally:
        program.kill()


async def case_churn(args):
    """Recalculations from the interactive boxes, one after the other as a
    user types, while a second caller sends a message every 10 ms."""
    survey = Survey(args.survey_tool, os.path.join(args.work, "survey"), widths=(2, 3))
    program = Program(args, "run", corridor_width=2)
    program.start()
    try:
        caller = await greeted_caller()
        paths = [f["path"] for f in survey.files]
        await caller.send(survey.addline(), survey.setcorridor())
        survey.check_counts(await program.wait_load(0, len(paths)), paths, 2)
        # The first recalculation connects the offset boxes.
        program.probe("trigger Recalculate")
        await wait_recalculated(program, 0)

        # One message every 10 ms: showing and unknown commands, and once a
        # second the raw files named and the cross line set again, which
        # reloads (as often as a load and its recalculation can follow).
        flood = [survey.addline(), survey.setcorridor()] + [
            PREFIX + "SHOW" if i % 2 else PREFIX + "NOTHING,%d" % i for i in range(98)]
        flooder = await greeted_caller()
        sent = []
        stop = asyncio.Event()

        async def send_flood():
            while not stop.is_set():
                message = flood[len(sent) % len(flood)]
                await flooder.send(message)
                sent.append(message)
                await asyncio.sleep(0.01)

        flooding = asyncio.create_task(send_flood())
        try:
            boxes = ["tx1R", "rx1P", "att1H", "corridorWidth"]
            for i in range(25):
                box = boxes[i % len(boxes)]
                before = program.recalculations()
                if box == "corridorWidth":
                    value = "3" if float(program.probe("property corridorWidth value")) == 2 else "2"
                else:
                    value = "%.3f" % (float(program.probe("property %s value" % box)) + 0.125)
                # Besides the user only a load answer changes a box (the refill),
                # while the width box is disabled, from the request until after
                # the refill; the load is counted before its answer.
                loads = program.loads()
                no_load = program.probe("property corridorWidth enabled") == "true"
                await type_value(program, box, value)
                shown = program.probe("property %s value" % box)
                if float(shown) != float(value) and no_load and program.loads() == loads:
                    raise CaseFailed("%s shows %s after %s was typed" % (box, shown, value))
                await wait_recalculated(program, before)
                if flooding.done():
                    raise CaseFailed("the second caller stopped: %r" % flooding.exception())
                check(True, "edit %d, %s to %s, recalculated" % (i + 1, box, value))
        finally:
            stop.set()
        await flooding
        print("  %d messages sent by the second caller" % len(sent))

        # Everything sent is handled, in order; what waits is carried out
        # before the parameters are reported.
        logged = await program.wait_logged(2 + len(sent))
        check(logged[2:] == sent, "the second caller's %d messages were handled in order" % len(sent))
        caller = await greeted_caller()
        program.probe("invoke sendParametersToCaller")

        def answered():
            program.check_running()
            return any(m.startswith(PREFIX + "CALIBRATION_PARAMETERS,") for m in caller.received)

        await wait_until(answered, "the window answers after the churn")
        await terminate(program, caller)
    finally:
        program.kill()


# --- the display goes away --------------------------------------------------------

def x_window_id(title):
    """The X id of the top-level window with this title."""
    info = subprocess.run(["xwininfo", "-name", title], capture_output=True, text=True,
                          timeout=WAIT).stdout
    found = re.search(r"Window id: (0x[0-9a-f]+)", info)
    if not found:
        raise CaseFailed("no X window titled %r" % title)
    return found.group(1)


async def case_display_lost_during_load(args):
    survey = Survey(args.survey_tool, os.path.join(args.work, "survey"), widths=(2,),
                    pings_per_file=4)
    # One small raw file under many names: a load of some seconds, surely
    # under way when the display goes, that logs a few records per file.
    paths = []
    for i in range(5000):
        path = os.path.join(args.work, "survey", "copy_%04d.nexra" % i)
        if os.path.exists(path):
            os.remove(path)
        os.link(survey.files[0]["path"], path)
        paths.append(path)
    program = Program(args, "run")
    program.start()
    try:
        caller = await greeted_caller()
        await caller.send(PREFIX + "ADDLINE,LINE=" + ";".join(paths), survey.setcorridor())
        # The data thread reads the files (one count line each); corridorWidth
        # is disabled from the load request to the end of its answer.
        await wait_until(lambda: len(program.counts()) > 0
                         and program.probe("property corridorWidth enabled") == "false",
                         "the load is under way")
        window = x_window_id("Calibration")
        # The X server closes the program's connection, as when a remote display drops.
        subprocess.run(["xkill", "-id", window], check=True, capture_output=True, timeout=WAIT)
        code = await program.wait_exit()
        read = len(program.counts())
        check(read < len(paths), "the display went while the load ran (%d of %d files read)"
              % (read, len(paths)))
        errors = program.stderr()
        check("X11 connection broke" in errors, "the program lost its display connection")
        reports = sanitizer_reports(errors)
        check(not reports, "no sanitizer report%s" % ("" if not reports else ":\n" + reports[0]))
        check(code == 1, "the program ends with exit code 1, as without a load (got %s)" % code)
    finally:
        program.kill()


async def type_value(program, box, value, timeout=WAIT):
    """Types a value into an offset or width box and confirms it with Enter,
    as a user does (the boxes take a typed value only then). Waits while a
    load has the width box disabled."""
    deadline = time.monotonic() + timeout
    while True:
        program.check_running()
        try:
            if box != "corridorWidth" or program.probe("property corridorWidth enabled") == "true":
                program.probe("key %s Ctrl+A" % box)
                program.probe("type %s %s" % (box, value))
                program.probe("key %s Return" % box)
                return
        except CaseFailed as failure:
            if "error disabled" not in str(failure):
                raise
        if time.monotonic() > deadline:
            raise waited("%s to be enabled" % box, timeout)
        await asyncio.sleep(0.05)


async def wait_recalculated(program, before, timeout=WAIT):
    """Waits until the data thread has finished a recalculation more than
    `before`."""
    deadline = time.monotonic() + timeout
    while program.recalculations() <= before:
        program.check_running()
        if time.monotonic() > deadline:
            raise waited("a recalculation after the %d finished ones" % before, timeout)
        await asyncio.sleep(0.05)


CASES = {
    "main_road": case_main_road,
    "start_up": case_start_up,
    "close_through_window": case_close_through_window,
    "malformed_messages": case_malformed_messages,
    "two_callers": case_two_callers,
    "flood_during_load": case_flood_during_load,
    "raw_websocket": case_raw_websocket,
    "churn": case_churn,
    "display_lost_during_load": case_display_lost_during_load,
}
# Seconds a case may take; the rest take 200.
CASE_TIMEOUTS = {"churn": 420}


async def run_case(case, args, limit):
    """Runs a case; one that is still running after `limit` seconds is ended
    and fails as such (a wait inside it that runs out fails by itself)."""
    task = asyncio.create_task(case(args))
    done, _ = await asyncio.wait({task}, timeout=limit)
    if not done:
        task.cancel()
        try:
            await task
        except asyncio.CancelledError:
            pass
        raise CaseFailed("the case took longer than its limit of %g s" % limit)
    task.result()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--case", required=True, choices=sorted(CASES))
    parser.add_argument("--program", required=True)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--survey-tool", required=True)
    parser.add_argument("--caller", required=True, help="folder of calib_caller.py")
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    if not os.environ.get("DISPLAY"):
        print("no DISPLAY: run the driver under an X server (tests/common/xvfb_session.sh)",
              file=sys.stderr)
        return 2
    print("case", args.case, flush=True)
    result = 0
    try:
        asyncio.run(run_case(CASES[args.case], args, CASE_TIMEOUTS.get(args.case, 200)))
    except CaseFailed as failure:
        print("FAILED:", failure, flush=True)
        result = 1
    except Exception:  # e.g. the program went away under the probe
        traceback.print_exc()
        print("FAILED: the case broke off", flush=True)
        result = 1
    for name, path in STDERR_FILES:
        try:
            with open(path, errors="replace") as f:
                reports = sanitizer_reports(f.read())
        except FileNotFoundError:
            continue
        for report in reports:
            print("sanitizer report, %s (%s):\n%s" % (name, path, report), flush=True)
        if reports:
            print("FAILED: %d sanitizer report(s) in the standard error of the %s"
                  % (len(reports), name), flush=True)
            result = 1
    if result == 0:
        print("passed", flush=True)
    return result


if __name__ == "__main__":
    sys.exit(main())
