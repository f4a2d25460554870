# SPDX-License-Identifier: MIT
"""GIMP with its windows under Xvfb, one session for every check. A script
shows an image in a window, runs the plug-in on it, saves it, and opens the
dialog on it in interactive mode; there a key press moves the focused
slider and the preview must change (its screenshot is kept for docs/).
While the dialog is open, one ctrl+z in the image window must bring the
original back; the script saves the image again once the dialog closes."""
import os
import pathlib
import shutil
import subprocess
import time

import numpy as np
import pytest
from PIL import Image

from gimp_session import picture, profile, read, scheme

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


def saved(path):
    """The pixels of a PNG, once GIMP has written it whole."""
    def whole():
        try:
            return read(path).size > 0
        except (OSError, SyntaxError):
            return False
    until(whole)
    return read(path)


def commands(folder):
    image = "(vector-ref (cadr (gimp-image-list)) 0)"
    drawable = f"(car (gimp-image-get-active-drawable {image}))"

    def save(name):
        return (f"(file-png-save2 RUN-NONINTERACTIVE {image} {drawable} "
                f'"{folder}/{name}.png" "x" 0 9 0 0 0 0 0 0 0)')
    return [f'(gimp-display-new (car (gimp-file-load RUN-NONINTERACTIVE "{folder}/in.png" "x")))',
            f'(plug-in-zorvan RUN-NONINTERACTIVE {image} {drawable} "255 - c" 0 0 0 0 0 0 0 0 0 0)',
            "(gimp-displays-flush)", save("changed"),
            f"(plug-in-zorvan RUN-INTERACTIVE {image} {drawable} {scheme(TWIRL)} 0 0 0 0 0 0 0 0 0 0)",
            save("undone"), "(gimp-quit 1)"]


@pytest.fixture(scope="module")
def session(tmp_path_factory):
    folder = tmp_path_factory.mktemp("gui")
    display = ":%d" % (90 + os.getpid() % 100)
    server = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x800x24", "-nolisten", "tcp"])
    gimp = None
    try:
        env = dict(profile(folder), DISPLAY=display)
        until(lambda: subprocess.run(["xdpyinfo"], env=env, capture_output=True).returncode == 0)
        picture(folder / "in.png", "RGB", 640, 480)
        arguments = ["gimp-2.10", "-n", "-s", "-d", "-f"]
        for command in commands(folder):
            arguments += ["-b", command]
        gimp = subprocess.Popen(arguments, env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        yield display, env, folder
        gimp.wait(60)
    finally:
        if gimp and gimp.poll() is None:
            gimp.kill()
            gimp.wait()
        server.terminate()
        server.wait()


def window(env, name):
    return until(lambda: subprocess.run(["xdotool", "search", "--name", name], env=env,
                                        capture_output=True, text=True).stdout.split(), 180)[0]


def key(env, window, name):
    subprocess.run(["xdotool", "windowfocus", "--sync", window], env=env, check=True)
    subprocess.run(["xdotool", "key", name], env=env, check=True)


def test_slider_moves_the_preview(session):
    display, env, folder = session
    dialog = window(env, "^Zorvan$")
    before = settled(display, folder)
    for _ in range(3):  # Twist up by three pages
        key(env, dialog, "Page_Up")
    after = settled(display, folder)
    changed = (before != after).any(axis=2).sum()
    assert changed > 20000, changed  # the preview, not only the number
    shutil.copy(folder / "now.png", pathlib.Path(os.environ["ZORVAN_SHOTS"]) / "gimp.png")


def where(screen, picture):
    """Where picture's top left is on the screen, found by a patch inside it
    (the canvas draws the layer's outline over its edge): the places whose
    pixel matches the patch's first, then the one the whole patch matches."""
    patch = picture[100:116, 100:116].astype(int)
    ys, xs = np.nonzero((np.abs(screen[:-16, :-16] - patch[0, 0]) <= 2).all(axis=2))
    cost = [np.abs(screen[y:y + 16, x:x + 16] - patch).sum() for y, x in zip(ys, xs)]
    best = int(np.argmin(cost))
    return ys[best] - 100, xs[best] - 100


def test_one_undo_restores_the_original(session):
    display, env, folder = session
    original = read(folder / "in.png")
    changed = saved(folder / "changed.png")
    assert np.array_equal(changed, 255 - original)
    # The dialog moves nearly off the screen, clear of the canvas (the image at 100 %).
    subprocess.run(["xdotool", "windowmove", window(env, "^Zorvan$"), "0", "790"], env=env,
                   check=True)
    screen = settled(display, folder)
    y, x = where(screen, changed)
    inside = (slice(8, 400), slice(8, 400))
    shown = lambda: shot(display, folder / "now.png")[y:, x:][inside]
    assert np.abs(shown() - changed[inside]).mean() < 2
    key(env, window(env, "^[*]?in[.]png-"), "ctrl+z")
    until(lambda: np.abs(shown() - original[inside]).mean() < 2)
    key(env, window(env, "^Zorvan$"), "Escape")  # the dialog, cancelled, changes nothing
    assert np.array_equal(saved(folder / "undone.png"), original)
