"""A private X display with Wine booted on it, for the Windows tests, and the few things
they do with windows on it through xdotool."""
import os
import subprocess
import time


def winpath(path):
    """The Windows form of a path on this machine (Wine's Z: drive)."""
    return "Z:" + str(path).replace("/", "\\")


class WineDesktop:
    """Runs Xvfb and boots the Wine prefix named in `env` (WINEPREFIX, ...) on it; sets
    DISPLAY in `env` for everything the tests start."""

    def __init__(self, env):
        self.env = env
        self._xvfb = None

    def start(self):
        read_fd, write_fd = os.pipe()
        self._xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x1024x24",
                                       "-nolisten", "tcp"], pass_fds=(write_fd,),
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as f:
            self.env["DISPLAY"] = ":" + f.readline().strip()
        subprocess.run(["wineboot", "-i"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=300, check=True)

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        if self._xvfb:
            self._xvfb.terminate()
            self._xvfb.wait()

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True).stdout.split()

    def geometry(self, window):
        out = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window], env=self.env,
                             capture_output=True, text=True).stdout
        values = dict(line.split("=", 1) for line in out.split())
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def press_in(self, window, key):
        """Without a window manager the keyboard focus follows the pointer."""
        x, y, w, h = self.geometry(window)
        self.xdotool("mousemove", str(x + w // 2), str(y + h // 2))
        time.sleep(0.3)
        self.xdotool("key", key)
