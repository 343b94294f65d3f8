"""A private PulseAudio server with null sinks, so that Wine's WASAPI has sound cards that play
at real speed, and recordings of what the client sent to them: the server runs with its own
runtime folder and no D-Bus, Wine's winepulse finds it through PULSE_SERVER, and each sink's
monitor is recorded with parec as raw float32 stereo."""

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


def available():
    return all(shutil.which(tool) for tool in ("pulseaudio", "pactl", "parec"))


def wait_until(condition, process, what):
    deadline = time.monotonic() + START_TIMEOUT
    while not condition():
        if process.poll() is not None or time.monotonic() > deadline:
            raise RuntimeError(what + " did not start")
        time.sleep(0.1)


class PulseServer:
    """sinks: (name, description) pairs; the first is the default output."""

    def __init__(self, sinks):
        self.folder = Path(tempfile.mkdtemp(prefix="vendrel-pulse-"))
        socket = self.folder / "native"
        self.server = f"unix:{socket}"
        arguments = ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                     "--disallow-exit", "--use-pid-file=no", "--disable-shm=yes",
                     "-L", f"module-native-protocol-unix socket={socket} auth-anonymous=1"]
        for name, description in sinks:
            arguments += ["-L", f"module-null-sink sink_name={name} rate={RATE} "
                                f"sink_properties=device.description={description}"]
        self.env = dict(os.environ, HOME=str(self.folder), XDG_RUNTIME_DIR=str(self.folder))
        self.env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        self.process = subprocess.Popen(arguments, env=self.env, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            wait_until(lambda: socket.exists() and self.pactl("info"), self.process,
                       "pulseaudio")
            self.pactl("set-default-sink", sinks[0][0])
        except BaseException:
            self.stop()
            raise

    def pactl(self, *arguments):
        return subprocess.run(["pactl", "--server", self.server, *arguments], env=self.env,
                              capture_output=True, timeout=30).returncode == 0

    def stop(self):
        self.process.terminate()
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
        # parec connects in its own time; a sound played before then would be lost. The
        # monitor of a running sink delivers silence continuously, so data means connected.
        wait_until(self.frames, self.process, f"parec on {sink}.monitor")

    def frames(self):
        """Frames recorded so far (reads what parec has written since the last call)."""
        with open(self.path, "rb") as source:
            source.seek(len(self.samples) * 4)
            data = source.read()
        self.samples.frombytes(data[:len(data) - len(data) % 8])
        return len(self.samples) // 2

    def peak(self, channel, start, end):
        return max((abs(v) for v in self.samples[start * 2 + channel:end * 2:2]), default=0.0)

    def level(self, channel, start, end, floor, block=441):
        """The typical peak of a tone: the median of the peaks of its blocks where either
        channel is louder than floor, so dropouts (a busy machine lets Wine's stream run dry
        now and then) do not change it as they would an average."""
        peaks = [self.peak(channel, at, at + block) for at in range(start, end - block + 1, block)
                 if max(self.peak(0, at, at + block), self.peak(1, at, at + block)) > floor]
        return statistics.median(peaks) if peaks else 0.0

    def bursts(self, start, floor, block=441, gap_blocks=25):
        """(first frame, end frame) of each run of sound louder than floor after start; a run
        ends after gap_blocks quiet blocks, so a short dropout does not split one sound."""
        found = []
        begin = None
        quiet = 0
        for at in range(start, self.frames() - block + 1, block):
            if max(self.peak(0, at, at + block), self.peak(1, at, at + block)) > floor:
                begin = at if begin is None else begin
                quiet = 0
            elif begin is not None:
                quiet += 1
                if quiet >= gap_blocks:
                    found.append((begin, at - (quiet - 1) * block))
                    begin = None
                    quiet = 0
        return found

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=30)
        self._file.close()
