"""A private PulseAudio server with null sinks, so that Wine's WASAPI has sound cards that play
at real speed, and recordings of what the client actually sent to them.

The server runs as the current user (root too) with its own runtime folder, no D-Bus and no
session modules; Wine's winepulse finds it through PULSE_SERVER. Each sink's monitor source
is recorded with parec as raw float32 stereo at 44100 Hz.
"""

import array
import os
import shutil
import statistics
import subprocess
import tempfile
import time
from pathlib import Path

RATE = 44100
START_TIMEOUT = 30
POLL_INTERVAL = 0.1


class PulseError(Exception):
    pass


def available():
    return all(shutil.which(tool) for tool in ("pulseaudio", "pactl", "parec"))


class PulseServer:
    """sinks: (name, description) pairs; the first is the default output."""

    def __init__(self, sinks):
        self.folder = Path(tempfile.mkdtemp(prefix="vendrel-pulse-"))
        self.socket = self.folder / "native"
        self.server = f"unix:{self.socket}"
        self.sinks = list(sinks)
        arguments = ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                     "--disallow-exit", "--use-pid-file=no", "--disable-shm=yes",
                     "-L", f"module-native-protocol-unix socket={self.socket} auth-anonymous=1"]
        for name, description in self.sinks:
            arguments += ["-L", f"module-null-sink sink_name={name} rate={RATE} "
                                f"sink_properties=device.description={description}"]
        env = dict(os.environ, HOME=str(self.folder), XDG_RUNTIME_DIR=str(self.folder))
        env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        self.env = env
        with open(self.folder / "pulse.log", "wb") as log:
            self.process = subprocess.Popen(arguments, env=env, stdin=subprocess.DEVNULL,
                                            stdout=subprocess.DEVNULL, stderr=log)
        deadline = time.monotonic() + START_TIMEOUT
        while not self._answers():
            if self.process.poll() is not None or time.monotonic() > deadline:
                self.stop()
                raise PulseError("pulseaudio did not start: " + self.log())
            time.sleep(POLL_INTERVAL)
        self.pactl("set-default-sink", self.sinks[0][0])

    def log(self):
        path = self.folder / "pulse.log"
        return path.read_text(errors="replace") if path.exists() else ""

    def _answers(self):
        return self.socket.exists() and subprocess.run(
            ["pactl", "--server", self.server, "info"], env=self.env,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0

    def pactl(self, *arguments):
        return subprocess.run(["pactl", "--server", self.server, *arguments], env=self.env,
                              capture_output=True, check=True, timeout=30).stdout.decode()

    def descriptions(self):
        """Every sink's description, as Windows will call the card."""
        return [description for _, description in self.sinks]

    def record(self, sink):
        return Recorder(self, sink)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(timeout=30)
        shutil.rmtree(self.folder, ignore_errors=True)


class Recorder:
    """What a sink plays, from its monitor, as interleaved float samples."""

    def __init__(self, pulse, sink):
        self.path = pulse.folder / f"{sink}.raw"
        self._file = open(self.path, "wb")
        self.process = subprocess.Popen(
            ["parec", "--server", pulse.server, "-d", f"{sink}.monitor", "--raw",
             "--format=float32le", f"--rate={RATE}", "--channels=2", "--latency-msec=20"],
            env=pulse.env, stdin=subprocess.DEVNULL, stdout=self._file,
            stderr=subprocess.DEVNULL)
        self.samples = array.array("f")
        self._read = 0
        # parec connects in its own time; a sound played before then would be lost. The
        # monitor of a running sink delivers silence continuously, so data means connected.
        deadline = time.monotonic() + START_TIMEOUT
        while self.frames() == 0:
            if self.process.poll() is not None or time.monotonic() > deadline:
                raise PulseError(f"parec did not start recording {sink}.monitor")
            time.sleep(POLL_INTERVAL)

    def frames(self):
        """Frames recorded so far (reads what parec has written since the last call)."""
        with open(self.path, "rb") as source:
            source.seek(self._read)
            data = source.read()
        usable = len(data) - len(data) % 8
        self.samples.frombytes(data[:usable])
        self._read += usable
        return len(self.samples) // 2

    def peak(self, channel, start, end):
        values = self.samples[start * 2 + channel:end * 2:2]
        return max((abs(v) for v in values), default=0.0)

    def level(self, channel, start, end, floor, block=441):
        """The typical peak of a tone between start and end: the median of the peaks of its
        blocks of block frames, counting only blocks where either channel is louder than
        floor. Dropouts (a busy machine lets Wine's stream run dry now and then) and the odd
        stray block therefore do not change it, as they would an average."""
        peaks = []
        for at in range(start, end - block + 1, block):
            if max(self.peak(0, at, at + block), self.peak(1, at, at + block)) > floor:
                peaks.append(self.peak(channel, at, at + block))
        return statistics.median(peaks) if peaks else 0.0

    def bursts(self, start, floor, block=441, gap_blocks=25):
        """(first frame, end frame) of each run of sound louder than floor after start; a run
        ends after gap_blocks quiet blocks of block frames, so a dropout of a few tens of
        milliseconds inside one sound does not split it."""
        found = []
        total = self.frames()
        begin = None
        quiet = 0
        for at in range(start, total - block + 1, block):
            loud = max(self.peak(0, at, at + block), self.peak(1, at, at + block)) > floor
            if loud:
                if begin is None:
                    begin = at
                quiet = 0
            elif begin is not None:
                quiet += 1
                if quiet >= gap_blocks:
                    found.append((begin, at - (quiet - 1) * block))
                    begin = None
                    quiet = 0
        return found

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(timeout=30)
        self._file.close()
