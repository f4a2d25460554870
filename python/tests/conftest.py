# SPDX-License-Identifier: MIT
import numpy as np
import pytest


@pytest.fixture
def picture():
    """A 37 x 53 RGB picture with gradients and fixed noise."""
    rows, cols = np.mgrid[0:37, 0:53]
    noise = np.random.default_rng(7).integers(0, 256, (37, 53), dtype=np.uint8)
    return np.stack([cols * 4, rows * 6, noise], axis=-1).astype(np.uint8)
