# SPDX-License-Identifier: MIT
"""docs/python.md runs: its code blocks in order, in a scratch folder, and
the pictures they write are the ones the page shows."""
import pathlib
import re

import numpy as np
from PIL import Image

DOCS = pathlib.Path(__file__).resolve().parents[2] / "docs"


def test_the_walkthrough_runs_and_shows_its_own_pictures(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    page = (DOCS / "python.md").read_text()
    scope = {}
    for block in re.findall(r"```python\n(.*?)```", page, re.S):
        exec(block, scope)  # noqa: S102 - the page's own code
    shown = sorted(re.findall(r"\]\(python/([\w-]+\.png)\)", page))
    assert shown and shown == sorted(p.name for p in tmp_path.glob("*.png"))
    for name in shown:
        with Image.open(tmp_path / name) as made, Image.open(DOCS / "python" / name) as committed:
            assert np.array_equal(np.asarray(made), np.asarray(committed)), name
