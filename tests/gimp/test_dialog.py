"""The dialog under Xvfb: GIMP opens it through Script-Fu in interactive
mode, a key press moves the focused slider, and the preview must change.
The screenshot of the moved dialog is kept for docs/."""
import os
import pathlib
import shutil
import subprocess
import time

import numpy as np
from PIL import Image

from gimp_session import picture, profile, scheme

TWIRL = (pathlib.Path(__file__).parents[2] / "examples" / "twirl.zvf").read_text()


def until(condition, seconds=120):
    """Waits for condition, polling; fails after seconds."""
    end = time.monotonic() + seconds
    while not (value := condition()):
        assert time.monotonic() < end, "timed out"
        time.sleep(0.2)
    return value


def shot(display, path):
    subprocess.run(["import", "-display", display, "-window", "root", str(path)], check=True)
    return np.asarray(Image.open(path).convert("RGB")).astype(int)


def settled(display, folder):
    """A screenshot equal to the one before it: nothing is drawing."""
    last = [None]

    def same():
        now = shot(display, folder / "now.png")
        done = last[0] is not None and np.array_equal(now, last[0])
        last[0] = now
        return done
    until(same)
    return last[0]


def test_slider_moves_the_preview(tmp_path):
    display = ":%d" % (90 + os.getpid() % 100)
    server = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x800x24", "-nolisten", "tcp"])
    gimp = None
    try:
        env = dict(profile(tmp_path), DISPLAY=display)
        until(lambda: subprocess.run(["xdpyinfo"], env=env, capture_output=True).returncode == 0)
        picture(tmp_path / "in.png", "RGB", 640, 480)
        gimp = subprocess.Popen(
            ["gimp-2.10", "-n", "-s", "-d", "-f", "-b",
             f'(let* ((img (car (gimp-file-load RUN-NONINTERACTIVE "{tmp_path}/in.png" "x")))'
             "(d (car (gimp-image-get-active-drawable img))))"
             f"(plug-in-zorvan RUN-INTERACTIVE img d {scheme(TWIRL)} 0 0 0 0 0 0 0 0 0 0))",
             "-b", "(gimp-quit 0)"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        window = until(lambda: subprocess.run(
            ["xdotool", "search", "--name", "^Zorvan$"], env=env, capture_output=True,
            text=True).stdout.split(), 180)[0]
        before = settled(display, tmp_path)
        subprocess.run(["xdotool", "windowfocus", "--sync", window], env=env, check=True)
        for _ in range(3):  # Twist up by three pages
            subprocess.run(["xdotool", "key", "Page_Up"], env=env, check=True)
        after = settled(display, tmp_path)
        changed = (before != after).any(axis=2).sum()
        assert changed > 20000, changed  # the preview, not only the number
        shutil.copy(tmp_path / "now.png", pathlib.Path(os.environ["ZORVAN_SHOTS"]) / "gimp.png")
        subprocess.run(["xdotool", "key", "Escape"], env=env, check=True)
        gimp.wait(60)
    finally:
        if gimp and gimp.poll() is None:
            gimp.kill()
            gimp.wait()
        server.terminate()
        server.wait()
