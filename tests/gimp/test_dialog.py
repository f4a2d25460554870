# SPDX-License-Identifier: MIT
"""GIMP with its windows under Xvfb, one session for every check: a batch
of Script-Fu commands runs the plug-in while the tests press its keys.

1. A slow filter on a 12 MP image, cancelled from GIMP's progress window:
   GIMP ends the plug-in, and the image stays as it was, clean.
2. in.png shown in a window, inverted by the plug-in and saved; then the
   dialog opened on it: one ctrl+z in the image window brings the original
   back; Escape closes the dialog and the image is saved again.
3. The dialog on the project's test picture: a slider moves the preview,
   and a picture of the dialog is kept for docs/.

The plug-in tells where its preview is and when a frame reached the screen
(ZORVAN_GIMP_TIMES), so the checks look at the preview alone."""
import io
import os
import pathlib
import subprocess

import numpy as np
import pytest
from PIL import Image

from gimp_session import (TOOL, frames, gimp_with_windows, key, picture, read, scheme, until,
                          window)

TWIRL = (pathlib.Path(__file__).parents[2] / "examples" / "twirl.zvf").read_text()
# Per pixel, on one thread (rnd), twenty convolutions: on the 12 MP black
# layer below a run of seconds even on an idle machine, whose result is not
# black. Script-Fu reads no string much longer than this.
SLOW = "100 + rnd(0, 2)" + " + cnv(1, 2, 1, 2, 4, 2, 1, 2, 1, rnd(1, 3))" * 20
BIG = ("(let* ((img (car (gimp-image-new 4000 3000 RGB)))"
       '(d (car (gimp-layer-new img 4000 3000 RGB-IMAGE "big" 100 LAYER-MODE-NORMAL))))'
       "(gimp-image-insert-layer img d 0 0) (gimp-context-set-foreground '(0 0 0))"
       "(gimp-drawable-fill d FILL-FOREGROUND) (gimp-image-clean-all img))")
IMAGE = "(vector-ref (cadr (gimp-image-list)) 0)"  # the one image there is
DRAWABLE = f"(car (gimp-image-get-active-drawable {IMAGE}))"


def shot(display, path, box=None):
    """The screen, or the box (x, y, width, height) of it."""
    subprocess.run(["import", "-display", display, "-window", "root", str(path)], check=True)
    screen = np.asarray(Image.open(path).convert("RGB")).astype(int)
    if box is None:
        return screen
    x, y, w, h = box
    return screen[y:y + h, x:x + w]


def saved(*paths):
    """The first of paths that GIMP has written whole (a PNG ends with its
    IEND chunk), and its pixels, decoded from the bytes that were whole."""
    def whole():
        for path in paths:
            data = path.read_bytes() if path.exists() else b""
            if data.endswith(b"IEND\xaeB`\x82"):
                return path, np.asarray(Image.open(io.BytesIO(data)))
        return None
    return until(whole)


def save(folder, name):
    return (f"(file-png-save2 RUN-NONINTERACTIVE {IMAGE} {DRAWABLE} "
            f'"{folder}/{name}.png" "x" 0 1 0 0 0 0 0 0 0)')


def load(folder, name):
    return f'(gimp-file-load RUN-NONINTERACTIVE "{folder}/{name}.png" "x")'


def commands(folder):
    return [
        # 1: cancelled; a clean image is saved as big-after, a changed one as big-dirty.
        BIG,
        f"(plug-in-zorvan RUN-NONINTERACTIVE {IMAGE} {DRAWABLE} {scheme(SLOW)} 0 0 0 0 0 0 0 0 0 0)",
        f"(if (= (car (gimp-image-is-dirty {IMAGE})) FALSE) {save(folder, 'big-after')} "
        f"{save(folder, 'big-dirty')})",
        f"(gimp-image-delete {IMAGE})",
        # 2
        f"(gimp-display-new (car {load(folder, 'in')}))",
        f'(plug-in-zorvan RUN-NONINTERACTIVE {IMAGE} {DRAWABLE} "255 - c" 0 0 0 0 0 0 0 0 0 0)',
        "(gimp-displays-flush)", save(folder, "changed"),
        f"(plug-in-zorvan RUN-INTERACTIVE {IMAGE} {DRAWABLE} {scheme(TWIRL)} 0 0 0 0 0 0 0 0 0 0)",
        save(folder, "undone"),
        # 3: not shown, so the image window's image stays the one there is
        f"(let* ((img (car {load(folder, 'test-image')}))"
        f"(d (car (gimp-image-get-active-drawable img))))"
        f"(plug-in-zorvan RUN-INTERACTIVE img d {scheme(TWIRL)} 100 0 0 0 0 0 0 0 0 0))",
        "(gimp-quit 1)"]


@pytest.fixture(scope="module")
def session(request, tmp_path_factory):
    folder = tmp_path_factory.mktemp("gui")
    picture(folder / "in.png", "RGB", 640, 480)
    subprocess.run([TOOL, "demo", "-q", "-o", str(folder)], check=True)
    Image.open(folder / "demo" / "test-image.png").resize((800, 600), Image.BICUBIC).save(
        folder / "test-image.png")
    # After a failed check a dialog may wait for keys that never come, and
    # the batch never reaches its gimp-quit.
    failed = request.session.testsfailed
    with gimp_with_windows(folder, commands(folder),
                           lambda: request.session.testsfailed == failed) as (display, env, log):
        yield display, env, folder, log


# The tests run in this order, each going on with the batch where the one
# before left it.

def test_cancelled_run_leaves_the_image_as_it_was(session):
    display, env, folder, log = session
    key(env, window(env, "^Progress$"), "Escape")
    path, after = saved(folder / "big-after.png", folder / "big-dirty.png")
    assert path.name == "big-after.png"
    assert not after.any()


def where(display, folder, picture):
    """Where picture's top left is on the screen, once it shows there: found
    by a patch inside it (the canvas draws the layer's outline over its
    edge), among the places whose pixel matches the patch's first."""
    patch = picture[100:116, 100:116].astype(int)

    def found():
        screen = shot(display, folder / "now.png")
        ys, xs = np.nonzero((np.abs(screen[:-16, :-16] - patch[0, 0]) <= 2).all(axis=2))
        costs = [np.abs(screen[y:y + 16, x:x + 16] - patch).mean() for y, x in zip(ys, xs)]
        best = int(np.argmin(costs)) if costs else None
        return best is not None and costs[best] < 2 and (ys[best] - 100, xs[best] - 100)
    return until(found)


def test_one_undo_restores_the_original(session):
    display, env, folder, log = session
    original = read(folder / "in.png")
    _, changed = saved(folder / "changed.png")
    assert np.array_equal(changed, 255 - original)
    # The dialog, once drawn, moves nearly off the screen, clear of the
    # canvas (the image at 100 %).
    dialog = until(lambda: frames(log) and window(env, "^Zorvan$"))
    subprocess.run(["xdotool", "windowmove", dialog, "0", "790"], env=env, check=True)
    y, x = where(display, folder, changed)
    inside = (slice(8, 400), slice(8, 400))
    shown = lambda: shot(display, folder / "now.png")[y:, x:][inside]
    key(env, window(env, "^[*]?in[.]png-"), "ctrl+z")
    until(lambda: np.abs(shown() - original[inside]).mean() < 2)
    key(env, dialog, "Escape")  # the dialog, cancelled, changes nothing
    assert np.array_equal(saved(folder / "undone.png")[1], original)


def test_slider_moves_the_preview(session):
    display, env, folder, log = session
    # This dialog's preview is the test picture's 800 x 600.
    area = until(lambda: [a for _, a in frames(log) if a[2:] == (800, 600)])[-1]
    dialog = window(env, "^Zorvan$")
    first = shot(display, folder / "now.png", area)
    for _ in range(3):  # Twist up by three pages
        drawn = len(frames(log))
        key(env, dialog, "Page_Up")
        until(lambda: len(frames(log)) > drawn)  # a frame of the change
    moved = shot(display, folder / "now.png", area)
    changed = (first != moved).any(axis=2).mean()
    assert changed > 0.5, changed
    geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", dialog], env=env,
                              capture_output=True, text=True, check=True).stdout
    box = dict(line.split("=") for line in geometry.split())
    x, y, w, h = (int(box[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))
    Image.fromarray(shot(display, folder / "now.png", (x, y, w, h)).astype(np.uint8)).save(
        pathlib.Path(os.environ["ZORVAN_SHOTS"]) / "gimp.png")
    key(env, dialog, "Escape")
