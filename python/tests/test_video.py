# SPDX-License-Identifier: MIT
"""zorvan.video against the command line: the same frames from the same
clip, and a stopped run that leaves the old output."""

import os
import shutil
import subprocess

import pytest

import zorvan

video = pytest.importorskip("zorvan.video")
TOOL = os.environ.get("ZORVAN_TOOL")
pytestmark = pytest.mark.skipif(not TOOL or not shutil.which("ffmpeg"),
                                reason="needs the built tool and FFmpeg's program")

FILTER = "title: T\nctl0: Shift = 3 (0..255)\nrgb: (c + t * ctl(0) + total) % 256\n"


def frames_of(path):
    return subprocess.run(["ffmpeg", "-v", "error", "-i", str(path), "-f", "rawvideo",
                           "-pix_fmt", "rgb24", "-"], check=True, capture_output=True).stdout


@pytest.fixture(scope="module")
def clip(tmp_path_factory):
    path = tmp_path_factory.mktemp("video") / "clip.mkv"
    subprocess.run(["ffmpeg", "-v", "error", "-f", "lavfi", "-i",
                    "testsrc2=size=64x48:rate=10:duration=1", "-c:v", "ffv1", str(path)],
                   check=True)
    return path


def test_filter_file_writes_what_apply_writes(clip, tmp_path):
    (tmp_path / "f.zvf").write_text(FILTER)
    subprocess.run([TOOL, "apply", "-q", "-f", str(tmp_path / "f.zvf"), "--ctl=0=9", str(clip),
                    str(tmp_path / "tool.mkv")], check=True)
    written = []
    count = video.filter_file(clip, tmp_path / "py.mkv", zorvan.Filter.from_text(FILTER, "f"),
                              controls={"shift": 9}, progress=written.append)
    assert (count, written) == (10, list(range(1, 11)))
    assert frames_of(tmp_path / "py.mkv") == frames_of(tmp_path / "tool.mkv")


@pytest.mark.parametrize("call, error", [
    (lambda clip, out: video.filter_file(clip, out, "c", progress=lambda n: n < 3), None),
    (lambda clip, out: video.filter_file(clip.with_name("none.mkv"), out, "c"), video.VideoError),
    (lambda clip, out: video.filter_file(clip, out, "c", crf=20), ValueError),
    (lambda clip, out: video.filter_file(clip, out, "c", progress=lambda n: 1 / 0),
     ZeroDivisionError),
])
def test_a_stopped_or_failed_run_leaves_the_old_output(clip, tmp_path, call, error):
    out = tmp_path / "out.mkv"
    out.write_bytes(b"old")
    if error is None:
        assert call(clip, out) == -1
    else:
        with pytest.raises(error):
            call(clip, out)
    assert sorted(os.listdir(tmp_path)) == ["out.mkv"] and out.read_bytes() == b"old"
