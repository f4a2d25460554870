#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""zorvan studio, measured in the browser: from a slider's input event to
the new preview drawn (the next animation frame after the pixels are put),
for a 12-megapixel picture (4000 x 3000) on a stage about 1600 pixels wide,
medians of 20 moves, per example. Headless Chromium through Selenium.

    ZORVAN_TOOL=build/tools/zorvan/zorvan /usr/bin/python3 bench/studio_bench.py
"""
import os
import statistics
import subprocess
import sys
import tempfile
from pathlib import Path

import numpy as np
from PIL import Image
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

TOOL = os.environ.get("ZORVAN_TOOL", "build/tools/zorvan/zorvan")
EXAMPLES = sys.argv[1:] or ["twirl", "blur"]
MOVES = 20

MOVE = """
const done = arguments[arguments.length - 1];
const slider = document.getElementById('ctl0');
const start = performance.now();
document.addEventListener('previewdrawn',
    () => requestAnimationFrame(() => done(performance.now() - start)), {once: true});
slider.value = arguments[0];
slider.dispatchEvent(new Event('input'));
"""


def main():
    folder = Path(tempfile.mkdtemp())
    y, x = np.mgrid[0:3000, 0:4000]
    pixels = np.stack([x % 256, y % 256, (x ^ y) % 256], axis=-1).astype(np.uint8)
    Image.fromarray(pixels).save(folder / "photo.png", compress_level=1)
    server = subprocess.Popen([TOOL, "studio", str(folder / "photo.png")], stdout=subprocess.PIPE,
                              text=True)
    url = server.stdout.readline().split()[-1]
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ["--headless=new", "--no-sandbox", "--window-size=2080,1400",
                     "--force-device-scale-factor=1"]:
        options.add_argument(argument)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.set_script_timeout(30)
    try:
        driver.get(url)
        idle = lambda d: d.execute_script("return document.body.dataset.busy") == "0"
        WebDriverWait(driver, 120, 0.1).until(
            lambda d: d.execute_script("return document.getElementById('after').dataset.seq"))
        for name in EXAMPLES:
            driver.find_element(By.CSS_SELECTOR, f"#gallery [data-example={name}]").click()
            WebDriverWait(driver, 120, 0.1).until(idle)
            times = [driver.execute_async_script(MOVE, 100 + move) for move in range(MOVES)]
            info = driver.find_element(By.ID, "info").text
            print(f"{name:10} median {statistics.median(times):6.1f} ms, "
                  f"min {min(times):6.1f}, max {max(times):6.1f}  ({info})")
    finally:
        driver.quit()
        server.terminate()
        server.wait()


main()
