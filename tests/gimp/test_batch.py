# SPDX-License-Identifier: MIT
"""plug-in-zorvan from Script-Fu in gimp-console, no display: one GIMP run
does every case, each on an image of its own, and the checks compare what
it saved with zorvan apply's output."""
import pathlib
import subprocess

import numpy as np
import pytest

from gimp_session import PLUGINS, cli, picture, profile, read, registered, scheme

TWIRL = (pathlib.Path(__file__).parents[2] / "examples" / "twirl.zvf").read_text()
RAMP = "x * c / X + ctl(1) - y"  # every channel, alpha too; reads X and a control
CONTROLS = "300 40 0 0 0 0 0 0 0 0"  # ctl0..ctl7, t, total
SELECTION = (10, 8, 30, 20)  # x, y, width, height

# Definitions last one batch command only; GIMP's images outlive them, so
# each command finds the one image there is (each case deletes its own).
IMAGE = "(vector-ref (cadr (gimp-image-list)) 0)"
DRAWABLE = f"(car (gimp-image-get-active-drawable {IMAGE}))"
LAYER = f"(vector-ref (cadr (gimp-image-get-layers {IMAGE})) 0)"
TO_8_BITS = f"(gimp-image-convert-precision {IMAGE} PRECISION-U8-GAMMA)"
FEATHERED = ("(gimp-context-set-feather TRUE) (gimp-context-set-feather-radius 12 12)"
             "(gimp-image-select-ellipse img CHANNEL-OP-REPLACE 10 8 56 40)"
             "(gimp-context-set-feather FALSE)")


def zorvan(text, mode="RUN-NONINTERACTIVE"):
    return f"(plug-in-zorvan {mode} {IMAGE} {DRAWABLE} {scheme(text)} {CONTROLS})"


# Each case: name: (input mode, Script-Fu that prepares the image `img` and
# its drawable `d`, the run, Script-Fu after it, before the image is saved).
CASES = {
    "rgb": ("RGB", "", zorvan(TWIRL), ""),
    "rgba": ("RGBA", "", zorvan(RAMP), ""),
    "grey": ("L", "", zorvan(TWIRL), ""),
    "greya": ("LA", "", zorvan(RAMP), ""),
    "deep": ("RGB", "(gimp-image-convert-precision img PRECISION-U16-GAMMA)", zorvan(TWIRL),
             TO_8_BITS),
    "linear": ("RGB", "(gimp-image-convert-precision img PRECISION-FLOAT-LINEAR)",
               zorvan(TWIRL), TO_8_BITS),
    "selection": ("RGB", "(gimp-image-select-rectangle img CHANNEL-OP-REPLACE {} {} {} {})"
                  .format(*SELECTION), zorvan(TWIRL), ""),
    # A feathered selection, filtered by the plug-in and by GIMP's own invert.
    "feather": ("RGB", FEATHERED, zorvan("255 - c"), ""),
    "feather-gimp": ("RGB", FEATHERED, f"(gimp-drawable-invert {DRAWABLE} FALSE)", ""),
    "bad": ("RGB", "", zorvan("255 - c +"), ""),
    # Grey drawables of an RGB layer: its mask, and a channel made from red.
    "mask": ("RGB", "(gimp-layer-add-mask d (car (gimp-layer-create-mask d ADD-MASK-COPY)))",
             zorvan(TWIRL), ""),
    "channel": ("RGB", "(gimp-image-insert-channel img (car (gimp-channel-new-from-component "
                'img RED-CHANNEL "red")) 0 0)', zorvan(TWIRL), ""),
    "indexed": ("RGB", "(gimp-image-convert-indexed img CONVERT-DITHER-NONE "
                "CONVERT-PALETTE-GENERATE 16 FALSE FALSE \"\")", zorvan(TWIRL), ""),
}
# Cases whose drawable is saved before the run too; of those not the
# layer, the layer is saved after it.
SAVED_BEFORE = ("mask", "channel", "indexed")
NOT_THE_LAYER = ("mask", "channel")


def load(folder, name, prepare=""):
    return (f'(let* ((img (car (gimp-file-load RUN-NONINTERACTIVE "{folder}/{name}.png" "x")))'
            f"(d (car (gimp-image-get-active-drawable img)))) {prepare} img)")


def save(folder, name, drawable=DRAWABLE):
    return (f"(file-png-save2 RUN-NONINTERACTIVE {IMAGE} {drawable} "
            f'"{folder}/{name}.png" "x" 0 9 0 0 0 0 0 0 0)')


def batch(folder: pathlib.Path) -> list:
    commands = ["(gimp-context-set-feather FALSE)"]
    for name, (mode, prepare, run, after) in CASES.items():
        picture(folder / f"{name}.png", mode)
        # The run is a command of its own, so that a failing one still saves.
        commands.append(load(folder, name, prepare))
        if name in SAVED_BEFORE:
            commands.append(save(folder, f"{name}-before"))
        commands += [run, after] if after else [run]
        if name in NOT_THE_LAYER:
            commands.append(save(folder, f"{name}-layer", LAYER))
        commands += [save(folder, f"{name}-out"), f"(gimp-image-delete {IMAGE})"]
    # "Repeat last" on a fresh copy gives the last good run's result again.
    commands += [load(folder, "rgb"), zorvan("", "RUN-WITH-LAST-VALS"), save(folder, "repeat-out"),
                 f"(gimp-image-delete {IMAGE})"]
    # Too many pixels: refused before any is read.
    commands += ["(let* ((img (car (gimp-image-new 17000 17000 RGB)))"
                 '(d (car (gimp-layer-new img 17000 17000 RGB-IMAGE "big" 100 '
                 "LAYER-MODE-NORMAL)))) (gimp-image-insert-layer img d 0 0))", zorvan(TWIRL)]
    return commands


@pytest.fixture(scope="module")
def run(tmp_path_factory):
    folder = tmp_path_factory.mktemp("batch")
    arguments = ["gimp-console-2.10", "-i", "-d", "-f"]
    for command in batch(folder) + ["(gimp-quit 0)"]:
        arguments += ["-b", command]
    done = subprocess.run(arguments, env=profile(folder), capture_output=True, text=True,
                          timeout=1200)
    return folder, done.stdout + done.stderr


def expected(folder, name, *options):
    return cli(folder / f"{name}.png", folder / f"{name}-cli.png", *options)


TWIRL_OPTIONS = ("-f", str(pathlib.Path(__file__).parents[2] / "examples" / "twirl.zvf"),
                 "--ctl", "0=300", "--ctl", "1=40")


def test_gimp_runs_the_builds_plug_in(run):
    folder, _ = run
    assert registered(folder, "zorvan") == f"{PLUGINS}/zorvan/zorvan"


# u8 -> u16 -> u8 and u8 -> float linear -> u8 are both lossless in babl, so
# the deep and linear layers must give the tool's bytes exactly: a layer read
# or written in another encoding than R'G'B' u8 shows as a difference.
@pytest.mark.parametrize("name, options, channels", [
    ("rgb", TWIRL_OPTIONS, slice(0, 3)),
    ("rgba", ("-e", RAMP, "--ctl", "0=300", "--ctl", "1=40"), slice(0, 4)),
    ("deep", TWIRL_OPTIONS, slice(0, 3)),
    ("linear", TWIRL_OPTIONS, slice(0, 3)),
    ("repeat", TWIRL_OPTIONS, slice(0, 3)),
])
def test_pixels_equal_the_tools(run, name, options, channels):
    folder, _ = run
    source = "rgb" if name == "repeat" else name
    want = expected(folder, source, *options).astype(int)
    got = read(folder / f"{name}-out.png").astype(int)
    # PNG keeps no colour under alpha 0.
    seen = want[:, :, 3] > 0 if want.shape[2] == 4 else np.ones(want.shape[:2], bool)
    assert np.array_equal(got[seen][:, channels], want[seen][:, channels])


@pytest.mark.parametrize("name, source, options", [
    ("grey", "grey", TWIRL_OPTIONS), ("mask", "mask-before", TWIRL_OPTIONS),
    ("channel", "channel-before", TWIRL_OPTIONS),
    ("greya", "greya", ("-e", RAMP, "--ctl", "0=300", "--ctl", "1=40"))])
def test_grey_is_red_of_the_grey_spread_over_rgb(run, name, source, options):
    folder, _ = run
    want = expected(folder, source, *options)
    got = read(folder / f"{name}-out.png")
    if got.ndim == 3:  # grey and alpha: red's result, and alpha's
        want = want[:, :, [0, 3]]
        seen = want[:, :, 1] > 0
        assert np.array_equal(got[seen], want[seen])
    else:
        assert np.array_equal(got, want[:, :, 0] if want.ndim == 3 else want)
    assert not np.array_equal(got, read(folder / f"{source}.png"))
    if name in NOT_THE_LAYER:  # the layer that holds them stays as it was
        assert np.array_equal(read(folder / f"{name}-layer.png"), read(folder / f"{name}.png"))


def test_selection_changes_only_its_pixels(run):
    folder, _ = run
    x, y, w, h = SELECTION
    inside = (slice(y, y + h), slice(x, x + w))
    original, got = read(folder / "selection.png"), read(folder / "selection-out.png")
    want = expected(folder, "selection", *TWIRL_OPTIONS)
    outside = np.ones(original.shape[:2], bool)
    outside[inside] = False
    assert np.array_equal(got[outside], original[outside])
    assert np.array_equal(got[inside], want[inside])
    assert not np.array_equal(got[inside], original[inside])


def test_feathered_selection_blends_as_gimps_own_filters(run):
    folder, _ = run
    original = read(folder / "feather.png").astype(int)
    got, gimps = (read(folder / f"{n}-out.png").astype(int) for n in ("feather", "feather-gimp"))
    assert np.abs(got - gimps).max() <= 1
    partly = (got != original) & (got != 255 - original)
    assert partly.sum() > 500  # blended, not only cut


@pytest.mark.parametrize("name, message", [
    ("bad", '"+" has no right operand'),
    ("indexed", "convert an indexed image first"),
    (None, "Zorvan filters at most 256 megapixels"),
])
def test_refused_with_a_message_and_no_change(run, name, message):
    folder, log = run
    assert message in log
    if name:
        before = f"{name}-before" if name in SAVED_BEFORE else name
        assert np.array_equal(read(folder / f"{name}-out.png"), read(folder / f"{before}.png"))
