# SPDX-License-Identifier: MIT
"""The studio in a real browser: headless Chromium driven through Selenium
against a studio this module starts, on a picture larger than the stage, so
the preview is a sampled render that must match `zorvan apply` exactly."""

import base64
import json
import os
import resource
import subprocess
import urllib.error
import urllib.request
from pathlib import Path

import numpy as np
import pytest
from PIL import Image
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support import expected_conditions
from selenium.webdriver.support.ui import WebDriverWait

TOOL = os.environ.get("ZORVAN_TOOL", "zorvan")
SHOTS = Path(os.environ.get("ZORVAN_SHOTS", "."))

FILTER = """title: Probe
ctl1: Bias = 10 (0..100)
r: x ^ y
g: (c + ctl(1)) % 256
b: (x * 3 + y * 5) % 256 + ctl(1)
"""


@pytest.fixture(scope="module")
def picture(tmp_path_factory):
    # Odd sizes, so a sampled preview's last row and column are checked too.
    y, x = np.mgrid[0:1333, 0:1999]
    pixels = np.stack([x % 256, y % 256, (x * y) % 251], axis=-1).astype(np.uint8)
    path = tmp_path_factory.mktemp("studio") / "picture.png"
    Image.fromarray(pixels).save(path)
    return path


def serve(*arguments, file_size=None):
    """A studio of the arguments, its files limited to file_size bytes when given."""
    limit = (lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (file_size, file_size))
             if file_size else None)
    server = subprocess.Popen([TOOL, "studio", *arguments], stdout=subprocess.PIPE, text=True,
                              preexec_fn=limit)
    line = server.stdout.readline()
    assert line.startswith("zorvan studio: http://127.0.0.1:"), line
    yield line.split()[-1]
    server.terminate()
    assert server.wait(10) == -15


@pytest.fixture(scope="module")
def studio(picture):
    yield from serve(str(picture))


@pytest.fixture
def test_picture_studio():
    """The studio as it starts with no files: the built-in picture."""
    yield from serve()


@pytest.fixture(scope="module")
def browser(tmp_path_factory):
    downloads = tmp_path_factory.mktemp("downloads")
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ["--headless=new", "--no-sandbox", "--disable-gpu",
                     "--window-size=1400,900", "--force-device-scale-factor=1"]:
        options.add_argument(argument)
    options.add_experimental_option("prefs", {"download.default_directory": str(downloads)})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.execute_cdp_cmd("Page.setDownloadBehavior",
                           {"behavior": "allow", "downloadPath": str(downloads)})
    driver.downloads = downloads
    yield driver
    driver.quit()


def wait(driver, condition, seconds=60):
    """Waits for condition; the time is only how long a broken page gets."""
    return WebDriverWait(driver, seconds, 0.05).until(lambda d: condition())


def idle(driver):
    return driver.execute_script("return document.body.dataset.busy") == "0"


def downloaded(path, size):
    """Whether Chromium has finished writing path: it has its size and no
    partial file is left beside it."""
    return (path.exists() and path.stat().st_size == size
            and not list(path.parent.glob("*.crdownload")))


def type_in(driver, text):
    """Adds text at the end of the editor as one input, as a paste does."""
    driver.execute_script(
        "const s = document.getElementById('source'); s.value += arguments[0];"
        "s.dispatchEvent(new Event('input'));", text)


def drawn(driver):
    return int(driver.execute_script("return document.getElementById('after').dataset.seq || -1"))


def settled(driver, before):
    """Waits until a preview newer than before is drawn and nothing is under way."""
    wait(driver, lambda: drawn(driver) > before and idle(driver))


def set_text(driver, text):
    """Replaces the editor's text as a paste would, and waits for the render."""
    wait(driver, lambda: idle(driver))
    before = drawn(driver)
    driver.execute_script(
        "const s = document.getElementById('source'); s.value = arguments[0];"
        "s.dispatchEvent(new Event('input'));", text)
    settled(driver, before)


def preview(driver):
    data = driver.execute_script(
        "const c = document.getElementById('after');"
        "const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;"
        "let s = ''; for (let i = 0; i < d.length; i += 8192)"
        "  s += String.fromCharCode.apply(null, d.subarray(i, i + 8192));"
        "return [c.width, c.height, btoa(s)];")
    width, height, encoded = data
    return np.frombuffer(base64.b64decode(encoded), np.uint8).reshape(height, width, 4)


def applied(tmp_path, picture, text, controls):
    (tmp_path / "f.zvf").write_text(text)
    out = tmp_path / "out.png"
    ctl = [f"--ctl={k}={v}" for k, v in controls.items()]
    subprocess.run([TOOL, "apply", str(picture), str(out), "-q", "-f", str(tmp_path / "f.zvf"),
                    *ctl], check=True)
    return np.asarray(Image.open(out).convert("RGBA"))


def assert_exact(shown, full):
    """shown is every k-th pixel of full, for the k that its size gives."""
    height, width = full.shape[:2]
    steps = [k for k in range(1, 64)
             if -(-width // k) == shown.shape[1] and -(-height // k) == shown.shape[0]]
    assert steps, (shown.shape, full.shape)
    assert steps[0] > 1, "the stage should be smaller than the picture"
    np.testing.assert_array_equal(shown, full[::steps[0], ::steps[0]])


def test_preview_is_the_full_result_sampled_and_follows_slider_and_typing(
        studio, browser, picture, tmp_path):
    browser.get(studio)
    wait(browser, lambda: drawn(browser) >= 0)
    set_text(browser, FILTER)
    label = browser.find_element(By.CSS_SELECTOR, "label[for=ctl1]")
    slider = browser.find_element(By.ID, "ctl1")
    assert (label.text, slider.get_attribute("max"), slider.get_attribute("value")) == (
        "Bias", "100", "10")
    assert_exact(preview(browser), applied(tmp_path, picture, FILTER, {1: 10}))

    before = drawn(browser)
    slider.send_keys(Keys.ARROW_RIGHT, Keys.ARROW_RIGHT)
    assert browser.find_element(By.ID, "ctl1-value").get_attribute("value") == "12"
    settled(browser, before)
    assert_exact(preview(browser), applied(tmp_path, picture, FILTER, {1: 12}))

    # Only the slider the filter reads shows; the rest on request.
    more = browser.find_element(By.ID, "more")
    frames = browser.find_element(By.ID, "frames")
    assert browser.find_elements(By.ID, "ctl0") == [] and not frames.is_displayed()
    assert more.text == "Show 7 unused controls"
    more.click()
    assert len(browser.find_elements(By.CSS_SELECTOR, "#controls input[type=range]")) == 8
    assert frames.is_displayed()
    more.click()
    assert browser.find_elements(By.ID, "ctl0") == []

    # A syntax error pasted in is marked at its column; the preview stays.
    shown = drawn(browser)
    type_in(browser, "a: x + * 2")
    problem = browser.find_element(By.ID, "problem")
    wait(browser, lambda: problem.is_displayed() and idle(browser))
    assert problem.text.startswith(
        'filter:6:6: formula for a does not parse: "+" has no right operand')
    mark = browser.find_element(By.CSS_SELECTOR, "#highlight .err-line .err")
    assert mark.text == "+"
    # Calls are marked in the formula lines alone, from the lists of
    # functions and formula keys that the build writes.
    assert {e.text for e in browser.find_elements(By.CSS_SELECTOR, "#highlight .f")} == {"ctl"}
    assert drawn(browser) == shown
    browser.save_screenshot(str(SHOTS / "studio-error.png"))

    # The slider still moves the preview, with the last text that worked,
    # and no error is left behind once the text is fixed.
    browser.find_element(By.ID, "ctl1").send_keys(Keys.ARROW_RIGHT)
    settled(browser, shown)
    assert_exact(preview(browser), applied(tmp_path, picture, FILTER, {1: 13}))
    set_text(browser, FILTER + "a: 255\n")
    assert not problem.is_displayed()
    assert browser.find_element(By.ID, "status").text.endswith(": 1999 × 1333")


def caret_offset(driver):
    """How far across the caret stands from the character above it, in pixels."""
    return driver.execute_script("""
        const pre = document.getElementById('problem-excerpt').firstChild;
        const [line, carets] = pre.textContent.split('\\n');
        const at = carets.indexOf('^');
        const x = (offset) => { const r = document.createRange();
          r.setStart(pre, offset); r.setEnd(pre, offset + 1);
          return r.getBoundingClientRect().left; };
        return x(line.length + 1 + at) - x(at);""")


def test_errors_stay_in_their_place(studio, browser, tmp_path):
    browser.get(studio)
    wait(browser, lambda: drawn(browser) >= 0)
    # A fault past the side panel's width: its excerpt must not wrap.
    set_text(browser, FILTER)
    type_in(browser, "a: " + " + ".join(["x"] * 60) + " +\n")
    wait(browser, lambda: browser.find_element(By.ID, "problem").is_displayed())
    assert caret_offset(browser) == 0

    # A long message keeps the header's buttons on one line.
    broken = tmp_path / ("a-long-name-" * 15 + ".png")
    broken.write_bytes(b"\x89PNG\r\n\x1a\nbroken")
    browser.find_element(By.ID, "open-image").send_keys(str(broken))
    status = browser.find_element(By.ID, "status")
    wait(browser, lambda: "a-long-name" in status.get_attribute("title") and idle(browser))
    tops = {b.location["y"] for b in browser.find_elements(By.CSS_SELECTOR, "header .button, header button")
            if b.is_displayed()}
    assert len(tops) == 1, tops
    browser.save_screenshot(str(SHOTS / "studio-long-status.png"))


def test_gallery_split_hold_share_save_and_open(test_picture_studio, browser, tmp_path):
    browser.get(test_picture_studio)
    wait(browser, lambda: drawn(browser) >= 0)
    before = drawn(browser)
    browser.find_element(By.CSS_SELECTOR, "#gallery [data-example=ripple]").click()
    settled(browser, before)
    assert browser.find_element(By.ID, "source").get_attribute("value").startswith("title: Ripple")
    after = browser.find_element(By.ID, "after")
    clip = lambda: after.value_of_css_property("clip-path")

    browser.find_element(By.ID, "split").click()
    divider = browser.find_element(By.ID, "divider")
    assert divider.is_displayed() and clip() == "inset(0px 0px 0px 50%)"
    ActionChains(browser).drag_and_drop_by_offset(divider, -100, 0).perform()
    assert clip() != "inset(0px 0px 0px 50%)"
    browser.execute_script("document.getElementById('side').scrollTop = 0")
    browser.save_screenshot(str(SHOTS / "studio.png"))

    hold = browser.find_element(By.ID, "hold")
    ActionChains(browser).click_and_hold(hold).perform()
    assert not after.is_displayed()
    ActionChains(browser).release(hold).perform()
    assert after.is_displayed()

    set_text(browser, FILTER)
    browser.find_element(By.ID, "ctl1").send_keys(Keys.END)  # 100
    browser.find_element(By.ID, "share").click()
    link = browser.current_url
    assert "#f=" in link and "token=" in link
    saved = FILTER.replace("Bias = 10", "Bias = 100")
    browser.find_element(By.ID, "save-filter").click()
    probe = browser.downloads / "probe.zvf"
    wait(browser, lambda: downloaded(probe, len(saved.encode())))
    assert probe.read_text() == saved

    browser.get("about:blank")
    browser.get(link)
    wait(browser, lambda: drawn(browser) >= 0)
    assert browser.find_element(By.ID, "source").get_attribute("value") == saved
    assert browser.find_element(By.ID, "ctl1").get_attribute("value") == "100"

    # A 4:3 picture: the 3:2 thumbnails show its middle, without bars.
    Image.new("RGB", (40, 30), (9, 8, 7)).save(tmp_path / "small.jpg")
    browser.find_element(By.ID, "open-image").send_keys(str(tmp_path / "small.jpg"))
    wait(browser, lambda: "small.jpg: 40 × 30" in browser.find_element(By.ID, "status").text)
    wait(browser, lambda: browser.find_element(By.ID, "after").get_attribute("width") == "40")
    thumb = browser.find_element(By.CSS_SELECTOR, "#gallery [data-example=ripple] canvas")
    wait(browser, lambda: (thumb.get_attribute("width"), thumb.get_attribute("height")) == ("40", "27"))


def leaving_is_stopped(driver):
    """Whether the page asks before it is closed or reloaded."""
    return driver.execute_script(
        "const e = document.createEvent('BeforeUnloadEvent');"
        "e.initEvent('beforeunload', false, true); window.dispatchEvent(e);"
        "return e.defaultPrevented;")


def answer(driver, accept):
    """Waits for the page's question and accepts or dismisses it."""
    alert = WebDriverWait(driver, 60, 0.05).until(expected_conditions.alert_is_present())
    text = alert.text
    alert.accept() if accept else alert.dismiss()
    return text


@pytest.fixture
def shoot(tmp_path):
    """A JPEG with EXIF and the filter file a studio starts with."""
    y, x = np.mgrid[0:300, 0:400]
    pixels = np.stack([x % 256, y % 256, (x + y) % 256], axis=-1).astype(np.uint8)
    exif = Image.Exif()
    exif.update({271: "TestCam", 272: "Model Z"})
    Image.fromarray(pixels).save(tmp_path / "shot.jpg", exif=exif.tobytes(), quality=92)
    (tmp_path / "mine.zvf").write_text(FILTER)
    return tmp_path


@pytest.fixture
def shoot_studio(shoot):
    yield from serve(str(shoot / "shot.jpg"), "-f", str(shoot / "mine.zvf"))


def test_export_command_and_save_keep_the_photo_and_the_work(shoot, shoot_studio, browser):
    browser.get(shoot_studio)
    wait(browser, lambda: drawn(browser) >= 0)
    # An edit no shell may mangle, and a slider moved.
    type_in(browser, "# it's $HOME `x` \\ \"q\"\n")
    before = drawn(browser)
    browser.find_element(By.ID, "ctl1").send_keys(Keys.ARROW_RIGHT)
    settled(browser, before)
    edited = FILTER + "# it's $HOME `x` \\ \"q\"\n"

    (shoot / "edited.zvf").write_text(edited)
    subprocess.run([TOOL, "apply", str(shoot / "shot.jpg"), str(shoot / "applied.jpg"), "-q",
                    "-f", str(shoot / "edited.zvf"), "--ctl=1=11"], check=True)
    browser.find_element(By.ID, "export").click()
    browser.find_element(By.ID, "export-go").click()
    exported = browser.downloads / "shot-probe.jpg"
    wait(browser, lambda: downloaded(exported, (shoot / "applied.jpg").stat().st_size))
    assert exported.read_bytes() == (shoot / "applied.jpg").read_bytes()
    described = subprocess.run(["identify", "-format", "%m %[EXIF:Make] %[EXIF:Model]",
                                str(exported)], capture_output=True, text=True, check=True)
    assert described.stdout == "JPEG TestCam Model Z"

    # The command writes the same file, with the edited text piped in.
    browser.find_element(By.ID, "command").click()
    line = browser.find_element(By.ID, "command-text").get_attribute("value")
    browser.find_element(By.ID, "command-close").click()
    assert line.startswith("printf '%s' 'title: Probe") and "--ctl=1=11" in line
    run = shoot / "run"
    run.mkdir()
    subprocess.run(["bash", "-c", line], cwd=run, check=True,
                   env={**os.environ, "PATH": f"{Path(TOOL).parent}:{os.environ['PATH']}"})
    assert (run / "shot-probe.jpg").read_bytes() == exported.read_bytes()

    # Save writes the file back with the slider's value.
    saved = edited.replace("Bias = 10", "Bias = 11")
    status = browser.find_element(By.ID, "status")
    browser.find_element(By.ID, "save").click()
    wait(browser, lambda: status.text.startswith("saved "))
    assert (shoot / "mine.zvf").read_text() == saved

    # A change made on disk since is not overwritten without a yes.
    (shoot / "mine.zvf").write_text("r: 0\n")
    type_in(browser, "# more\n")
    browser.find_element(By.ID, "save").click()
    assert "has changed since it was loaded" in answer(browser, False)
    wait(browser, lambda: status.text.startswith("not saved: "))
    assert (shoot / "mine.zvf").read_text() == "r: 0\n"
    browser.find_element(By.ID, "save").click()
    answer(browser, True)
    wait(browser, lambda: status.text.startswith("saved "))
    assert (shoot / "mine.zvf").read_text() == saved + "# more\n"

    # An example replaces edited text only when the user says so.
    type_in(browser, "# unsaved\n")
    source = browser.find_element(By.ID, "source")
    ripple = browser.find_element(By.CSS_SELECTOR, "#gallery [data-example=ripple]")
    ripple.click()
    assert "Replace your edits with the example" in answer(browser, False)
    assert source.get_attribute("value").endswith("# unsaved\n")
    before = drawn(browser)
    ripple.click()
    answer(browser, True)
    settled(browser, before)
    assert source.get_attribute("value").startswith("title: Ripple")

    # A slider moved is unsaved work too: Save would write it.
    assert not leaving_is_stopped(browser)
    before = drawn(browser)
    browser.find_element(By.ID, "ctl0").send_keys(Keys.ARROW_RIGHT)
    settled(browser, before)
    assert leaving_is_stopped(browser)
    browser.find_element(By.CSS_SELECTOR, "#gallery [data-example=twirl]").click()
    assert "Replace your edits with the example" in answer(browser, False)
    assert source.get_attribute("value").startswith("title: Ripple")
    assert sorted(p.name for p in shoot.iterdir()) == [
        "applied.jpg", "edited.zvf", "mine.zvf", "run", "shot.jpg"]


def listing(folder):
    """Every file under folder, by its path there, with its bytes."""
    return {str(p.relative_to(folder)): p.read_bytes() if p.is_file() else None
            for p in folder.rglob("*")}


FOLDER_LIMIT = 64 << 10


@pytest.fixture
def folder(tmp_path):
    """A folder of photos: two that read, one that does not, one whose
    result would take another's name, one whose result is too large for
    the studio's limit (FOLDER_LIMIT), a file that is not a photo, and the
    first subfolder name taken."""
    shoot = tmp_path / "shoot"
    shoot.mkdir()
    Image.new("RGB", (30, 20), (200, 10, 10)).save(shoot / "a.bmp")
    Image.new("RGB", (30, 20), (10, 10, 200)).save(shoot / "a.png")
    Image.new("RGB", (20, 30), (10, 200, 10)).save(shoot / "b.jpg")
    (shoot / "c.png").write_bytes(b"\x89PNG\r\n\x1a\nbroken")
    noise = np.random.default_rng(1).integers(0, 256, (200, 200, 3), np.uint8)
    Image.fromarray(noise).save(shoot / "noise.png")
    (shoot / "notes.txt").write_text("not a photo")
    (shoot / "zorvan-1").mkdir()
    return shoot


@pytest.fixture
def folder_studio(folder):
    # As a full disk does, the limit fails writing a file but not reading one.
    yield from serve(str(folder), file_size=FOLDER_LIMIT)


def test_folder_strip_switches_photos_and_apply_to_all_writes_a_new_subfolder(
        folder, folder_studio, browser, tmp_path):
    before = listing(folder)
    browser.get(folder_studio)
    wait(browser, lambda: drawn(browser) >= 0)
    strip = browser.find_elements(By.CSS_SELECTOR, "#strip button")
    assert [b.text for b in strip] == ["a.bmp", "a.png", "b.jpg", "c.png", "noise.png"]
    status = browser.find_element(By.ID, "status")
    strip[2].click()
    wait(browser, lambda: status.text.endswith("b.jpg: 20 × 30"))
    wait(browser, lambda: browser.find_element(By.ID, "after").get_attribute("height") == "30")
    strip[3].click()
    wait(browser, lambda: "c.png" in status.text and idle(browser))
    assert "shown" in strip[2].get_attribute("class")

    browser.find_element(By.ID, "apply-all").click()
    batch = browser.find_element(By.ID, "batch")
    wait(browser, lambda: batch.text.startswith("zorvan-2: 2 of 5 written, 3 failed"))
    failed = batch.get_attribute("title")
    assert "zorvan-2/a.png: a file of this name exists, and it is kept" in failed
    assert "zorvan-2/noise.png: cannot write: File too large" in failed
    browser.save_screenshot(str(SHOTS / "studio-folder.png"))
    written = {name: data for name, data in listing(folder).items() if name not in before}
    assert sorted(written) == ["zorvan-2", "zorvan-2/a.png", "zorvan-2/b.jpg"]
    assert listing(folder).items() >= before.items(), "a file there was changed"
    for source, result in [("a.bmp", "a.png"), ("b.jpg", "b.jpg")]:
        out = tmp_path / result
        subprocess.run([TOOL, "apply", str(folder / source), str(out), "-q", "-x", "twirl"],
                       check=True)
        assert written["zorvan-2/" + result] == out.read_bytes(), result


def call(url, path, body=None, headers=None):
    """(status, JSON or bytes) of a request to the studio at url."""
    base, token = url.split("/?token=")
    request = urllib.request.Request(base + path, data=body, headers={
        "X-Zorvan-Token": token, "Content-Type": "application/octet-stream", **(headers or {})})
    try:
        with urllib.request.urlopen(request) as response:
            return response.status, response.read()
    except urllib.error.HTTPError as error:
        return error.code, json.loads(error.read())["error"]


@pytest.mark.parametrize("path, body, headers, status, message", [
    ("/api/state", None, {"X-Zorvan-Token": "0" * 32}, 403, "a valid token is needed"),
    ("/api/state", None, {"X-Zorvan-Token": ""}, 403, "a valid token is needed"),
    ("/api/state", None, {"Host": "rebound.example:80"}, 403, 'unknown Host "rebound.example:80"'),
    ("/api/state", None, {"Origin": "http://elsewhere.example"}, 403,
     "requests from another site are refused"),
    ("/api/state", None, {"Origin": "null"}, 403, "requests from another site are refused"),
    ("/nothing", None, {}, 404, "no such page"),
    ("/api/check", b"r: c\n" + b"#" * (1 << 20), {}, 413, "a filter file may hold at most 1 MiB"),
    ("/api/check", b"colour: c", {}, 422,
     'filter:1: unknown key "colour" (title, about, ctl0 to ctl7, r, g, b, a, rgb, all)'),
    ("/api/check", b"\xff: c", {}, 422, 'filter:1: unknown key "\ufffd"'),
    ("/api/render?lane=preview&w=5000", b"r: c", {}, 400, "the region must lie within the "),
    ("/api/render?lane=preview&step=0", b"r: c", {}, 400, "the region must lie within the "),
    ("/api/render?lane=preview&x=-1", b"r: c", {}, 400, "the region must lie within the "),
    ("/api/check", b"r: c", {"Content-Type": "application/x-www-form-urlencoded"}, 200, None),
    ("/api/check", b"r: c\n#" + b"#" * 9000, {"Content-Type": "application/x-www-form-urlencoded"},
     200, None),
    ("/api/check", b"--x\r\n", {"Content-Type": "multipart/form-data; boundary=x"}, 415,
     "send the file as it is, not as a form"),
    ("/api/render?lane=preview&step=2147483647", b"r: c", {}, 200, None),
    ("/api/render?lane=preview&c3=x", b"r: c", {}, 400, "parameter c3 must be a 32-bit integer"),
    ("/api/render?lane=elsewhere", b"r: c", {}, 400, 'unknown lane "elsewhere"'),
    ("/api/image?name=a.png", b"\x89PNG\r\n\x1a\nbroken", {}, 422, None),
    ("/api/image", b"", {}, 400, "no image was sent"),
    ("/api/photo?index=0", b"", {}, 400, "the strip has no photo 0"),
    ("/api/batch", b"r: c", {}, 400, "the studio was started without a folder"),
    ("/api/save?version=", b"r: c", {}, 400, "the studio was started without a filter file"),
    ("/api/export?lane=download&format=gif", b"r: c", {}, 400, 'unknown format "gif"'),
    ("/api/frame?t=3", b"", {}, 400, "no video is shown"),
    ("/api/video-export", b"r: c", {}, 400, "no video is shown"),
])
def test_requests_that_break_the_rules_are_refused_clearly(
        studio, path, body, headers, status, message):
    got_status, got = call(studio, path, body, headers)
    assert got_status == status
    if message:
        assert got.startswith(message)
    assert call(studio, "/api/state")[0] == 200  # and it goes on serving


VIDEO_FILTER = "r: c ^ (t * 20)\ng: x * 255 / X\nb: (c + t * 255 / total) % 256\n"


def frames_of(path):
    """Every frame of a video as RGB, decoded by FFmpeg's program."""
    return subprocess.run(["ffmpeg", "-v", "error", "-i", str(path), "-f", "rawvideo",
                           "-pix_fmt", "rgb24", "-"], check=True, capture_output=True).stdout


@pytest.fixture
def clip(tmp_path):
    """H.264 with B-frames and a keyframe every 4 frames, so that going back
    seeks and going on decodes through frames that are not shown."""
    path = tmp_path / "clip" / "clip.mp4"
    path.parent.mkdir()
    subprocess.run(["ffmpeg", "-v", "error", "-f", "lavfi", "-i",
                    "testsrc2=size=96x64:rate=12:duration=1", "-c:v", "libx264", "-g", "4",
                    "-bf", "2", "-pix_fmt", "yuv420p", str(path)], check=True)
    return path


@pytest.fixture
def clip_studio(clip):
    yield from serve(str(clip))


def test_a_video_scrubs_by_frame_and_exports_as_apply_writes_it(clip, clip_studio, browser,
                                                                  tmp_path):
    (tmp_path / "f.zvf").write_text(VIDEO_FILTER)
    subprocess.run([TOOL, "apply", "-q", "-f", str(tmp_path / "f.zvf"), str(clip),
                    str(tmp_path / "s.png")], check=True)
    browser.get(clip_studio)
    wait(browser, lambda: drawn(browser) >= 0)
    set_text(browser, VIDEO_FILTER)
    slider = browser.find_element(By.ID, "t")
    assert slider.get_attribute("max") == "11"
    assert browser.find_element(By.ID, "total").get_attribute("value") == "12"
    # On past a keyframe, back before one, and on by one: each the frame
    # that zorvan apply writes for it.
    for t in [9, 2, 3]:
        before = drawn(browser)
        browser.execute_script("const s = document.getElementById('t'); s.value = arguments[0];"
                               "s.dispatchEvent(new Event('input'));", t)
        settled(browser, before)
        wait(browser, lambda: f"frame {t} of 12" in browser.find_element(By.ID, "status").text)
        expected = np.asarray(Image.open(tmp_path / f"s-{t + 1:04d}.png").convert("RGBA"))
        np.testing.assert_array_equal(preview(browser), expected, err_msg=f"frame {t}")
    browser.save_screenshot(str(SHOTS / "studio-video.png"))

    browser.find_element(By.ID, "export").click()
    status = browser.find_element(By.ID, "status")
    wait(browser, lambda: status.text == "wrote zorvan-1/clip.mp4")
    subprocess.run([TOOL, "apply", "-q", "-f", str(tmp_path / "f.zvf"), str(clip),
                    str(tmp_path / "out.mp4")], check=True)
    assert frames_of(clip.parent / "zorvan-1" / "clip.mp4") == frames_of(tmp_path / "out.mp4")
    assert sorted(p.name for p in clip.parent.iterdir()) == ["clip.mp4", "zorvan-1"]


def test_a_cancelled_video_export_leaves_nothing(tmp_path):
    clip = tmp_path / "long.mkv"
    subprocess.run(["ffmpeg", "-v", "error", "-f", "lavfi", "-i",
                    "testsrc2=size=320x240:rate=25:duration=40", "-c:v", "ffv1", str(clip)],
                   check=True)
    for url in serve(str(clip)):
        status, started = call(url, "/api/video-export", b"rgb: rad(d + 160, m, z)")
        assert status == 200 and json.loads(started)["running"]
        assert call(url, "/api/video-export/cancel", b"")[0] == 200
        progress = {}
        for _ in range(600):  # each poll waits for the export to go on
            progress = json.loads(call(url, "/api/video-export")[1])
            if not progress["running"]:
                break
        assert progress["cancelled"] and not progress["running"], progress
        assert sorted(p.name for p in tmp_path.iterdir()) == ["long.mkv"]
