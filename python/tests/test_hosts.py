# SPDX-License-Identifier: MIT
"""The module against the other ways to the same result: the zorvan tool
on files, for every example, and Dask on a LocalCluster against a serial
loop."""
import os
import subprocess

import numpy as np
import pytest
from PIL import Image

import zorvan
from zorvan import batch

TOOL = os.environ.get("ZORVAN_TOOL")


@pytest.mark.skipif(not TOOL, reason="ZORVAN_TOOL names no built tool")
@pytest.mark.parametrize("channels", [3, 4])
def test_every_example_gives_the_bytes_of_zorvan_apply(picture, tmp_path, channels):
    image = picture if channels == 3 else np.concatenate([picture, picture[..., 2:]], axis=-1)
    source = tmp_path / "in.png"
    Image.fromarray(image).save(source)
    for name in zorvan.examples():
        target = tmp_path / f"{name}.png"
        subprocess.run([TOOL, "apply", "-q", "-x", name, str(source), str(target)], check=True)
        with Image.open(target) as written:
            want = np.asarray(written)
        got = zorvan.Filter.example(name)(image)
        assert np.array_equal(got, want), name


def test_dask_on_a_local_cluster_gives_the_bytes_of_a_serial_loop(picture, tmp_path):
    from distributed import Client, LocalCluster

    paths = []
    for i in range(6):
        path = tmp_path / f"photo-{i}.png"
        Image.fromarray(np.roll(picture, 7 * i, axis=1)).save(path)
        paths.append(path)
    sepia = zorvan.Filter.example("sepia")
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                      dashboard_address=None) as cluster, Client(cluster):
        written = batch.filter_files(paths, sepia, tmp_path / "out", threads=1).compute()
        tiled = batch.render_tiles(zorvan.Filter.example("twirl"), picture, rows_per_task=8).compute()
    assert sorted(written) == sorted(str(tmp_path / "out" / f"photo-{i}.png") for i in range(6))
    for path in paths:
        with Image.open(path) as source, Image.open(tmp_path / "out" / path.name) as result:
            assert np.array_equal(np.asarray(result), sepia(np.asarray(source)))
    assert np.array_equal(tiled, zorvan.Filter.example("twirl")(picture))


def test_filters_with_effects_are_one_tile(picture):
    grain = zorvan.Filter.example("grain")
    assert grain.visiting_order
    assert np.array_equal(batch.render_tiles(grain, picture, rows_per_task=4).compute(scheduler="sync"),
                          grain(picture))


@pytest.mark.parametrize("name", ["twirl", "grain"])
def test_tiles_are_the_full_render_for_any_band_step_and_region(picture, name):
    f = zorvan.Filter.example(name)
    for rows in (1, 7, 64):
        for step in (1, 2, 3, 50):
            for region in (None, (5, 11, 40, 20)):
                tiled = batch.render_tiles(f, picture, rows, step=step, region=region)
                assert np.array_equal(tiled.compute(scheduler="sync"), f(picture, step=step, region=region)), (rows, step, region)


@pytest.mark.parametrize(
    "settings, error, message",
    [
        ({"rows_per_task": 0}, ValueError, "rows_per_task must be 1 or more"),
        ({"step": 0}, ValueError, "step must be a whole number"),
        ({"region": (0, 0, 60, 10)}, ValueError, "does not lie within the 53x37 image"),
        ({"controls": {"Twist": 0.5}}, ValueError, "must be a whole number"),
        ({"out": None}, TypeError, "out= is not taken"),
    ],
)
def test_tiles_refuse_bad_settings_before_any_task(picture, settings, error, message):
    with pytest.raises(error, match=message):
        batch.render_tiles(zorvan.Filter.example("twirl"), picture, **settings)
