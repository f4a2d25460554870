# SPDX-License-Identifier: MIT
"""Arrays in, arrays out: shapes, strides, out=, regions, controls, errors,
threads and pickling."""
import _thread
import pickle
import threading

import numpy as np
import pytest

import zorvan


@pytest.mark.parametrize(
    "image, message",
    [
        (np.zeros((4, 5, 3), np.float32), "image: the dtype is float32; uint8 is rendered"),
        (np.zeros((4, 5, 3), np.uint16), "image: the dtype is uint16; uint8 is rendered"),
        (np.zeros((4, 5, 2), np.uint8), "image: the shape is (4, 5, 2); (height, width, 3) or (height, width, 4) is rendered"),
        (np.zeros((4, 5, 5), np.uint8), "image: the shape is (4, 5, 5)"),
        (np.zeros((4, 5), np.uint8), "image: the shape is (4, 5)"),
        (np.zeros((0, 5, 3), np.uint8), "image: no pixels"),
        (np.zeros((4, 0, 4), np.uint8), "image: no pixels"),
    ],
)
def test_unsupported_arrays_are_refused(image, message):
    with pytest.raises(ValueError, match=message.replace("(", r"\(").replace(")", r"\)")):
        zorvan.apply(image, "255 - c")


def test_every_supported_shape_and_layout_gives_the_same_bytes(picture):
    rgba = np.concatenate([picture, picture[..., :1]], axis=-1)
    for image in (picture, rgba):
        invert = zorvan.apply(image, "255 - c")
        assert invert.shape == image.shape and invert.dtype == np.uint8
        assert np.array_equal(invert, 255 - image)
    blur = zorvan.Filter("cnv(1, 2, 1, 2, 4, 2, 1, 2, 1, 16) + x")
    wide = np.zeros((37, 106, 3), np.uint8)
    wide[:, ::2] = picture
    views = [
        wide[:, ::2],  # pixels apart: copied once
        np.ascontiguousarray(picture[::-1])[::-1],  # rows upwards: copied once
        np.asfortranarray(picture),  # channels planar: copied once
        np.pad(picture, ((0, 0), (0, 3), (0, 0)))[:, :53],  # rows padded: used in place
    ]
    want = blur(np.ascontiguousarray(picture))
    for view in views:
        assert np.array_equal(blur(view), want)


def test_out_is_filled_and_must_fit(picture):
    out = np.empty_like(picture)
    assert zorvan.apply(picture, "c / 2", out=out) is out
    assert np.array_equal(out, picture // 2)
    with pytest.raises(ValueError, match="target: shares memory with the source"):
        zorvan.apply(picture, "255 - c", out=picture)
    with pytest.raises(ValueError, match="target: shares memory with the source"):
        zorvan.apply(picture[:, :20], "255 - c", out=picture[:, 20:40])
    with pytest.raises(ValueError, match="this render makes 53x37 with 3"):
        zorvan.apply(picture, "c", out=np.empty((37, 53, 4), np.uint8))
    frozen = np.empty_like(picture)
    frozen.flags.writeable = False
    with pytest.raises(ValueError, match="out: must be writeable"):
        zorvan.apply(picture, "c", out=frozen)


def test_regions_and_steps_are_parts_of_the_full_result(picture):
    twirl = zorvan.Filter.example("twirl")
    whole = twirl(picture)
    assert np.array_equal(twirl(picture, region=(10, 5, 20, 30)), whole[5:35, 10:30])
    assert np.array_equal(twirl(picture, step=4), whole[::4, ::4])
    assert np.array_equal(twirl(picture, region=(3, 2, 40, 30), step=3), whole[2:32:3, 3:43:3])
    assert np.array_equal(twirl(picture, region=(0, 0, 0, 0)), whole)
    for region in [(50, 0, 10, 10), (0, 0, -1, 5), (0, 0, 2**31 - 1, 2**31 - 1)]:
        with pytest.raises(ValueError, match="does not lie within the 53x37 image"):
            twirl(picture, region=region)


def test_controls_by_index_name_and_default(picture):
    twirl = zorvan.Filter.example("twirl")
    assert twirl.controls == [(0, "Twist", 160)]
    assert np.array_equal(twirl(picture), twirl(picture, controls=[160]))
    assert np.array_equal(twirl(picture, controls={"Twist": 20}), twirl(picture, controls={0: 20}))
    assert not np.array_equal(twirl(picture, controls=[20]), twirl(picture))
    with pytest.raises(ValueError, match="no control called Spin"):
        twirl(picture, controls={"Spin": 1})
    assert zorvan.eval("ctl(3) + t * 10 + total", picture, controls=[0, 0, 0, 5], t=2, total=4) == 29
    assert zorvan.eval("src(x, y, 2) - b + x * 1000", picture, x=7, y=3) == 7000


def test_controls_take_whole_floats_and_names_in_any_case(picture):
    twirl = zorvan.Filter.example("twirl")
    want = twirl(picture, controls={0: 200})
    for controls in [{"Twist": 200.0}, {"tWIST": 200}, {np.int64(0): np.float32(200)}, [200.0], np.array([200])]:
        assert np.array_equal(twirl(picture, controls=controls), want), controls


WHOLE = "must be a whole number from"


@pytest.mark.parametrize(
    "settings, error, message",
    [
        ({"controls": {2**40: 1}}, ValueError, f"controls: an index {WHOLE} 0 to 7, not 1099511627776"),
        ({"controls": {-1: 1}}, ValueError, "controls: an index"),
        ({"controls": {"Twist": 200.5}}, ValueError, f"controls\['Twist'\] {WHOLE} -2147483648 to 2147483647, not 200.5"),
        ({"controls": [0, 2**31]}, ValueError, f"controls\[1\] {WHOLE}"),
        ({"controls": [float("nan")]}, ValueError, f"controls\[0\] {WHOLE}"),
        ({"controls": {0: "1"}}, TypeError, f"controls\[0\] {WHOLE}"),
        ({"controls": [0] * 9}, ValueError, "controls: at most 8 values"),
        ({"controls": "12"}, TypeError, "controls: up to 8 values or a dict"),
        ({"controls": {"Spin": 1}}, ValueError, "no control called Spin; its controls are Twist"),
        ({"t": 2**31}, ValueError, f"t {WHOLE}"),
        ({"total": -(2**31) - 1}, ValueError, f"total {WHOLE}"),
        ({"threads": -1}, ValueError, f"threads {WHOLE} 0 to 4294967295"),
        ({"step": 0}, ValueError, f"step {WHOLE} 1 to"),
        ({"step": 2**40}, ValueError, f"step {WHOLE}"),
        ({"region": (0, 0, 2**32, 1)}, ValueError, f"region width {WHOLE}"),
        ({"region": (0, 0.5, 1, 1)}, ValueError, f"region y {WHOLE}"),
        ({"region": (0, 0, 1)}, TypeError, "region: \(x, y, width, height\)"),
    ],
)
def test_every_setting_out_of_range_is_refused_by_name(picture, settings, error, message):
    with pytest.raises(error, match=message):
        zorvan.Filter.example("twirl")(picture, **settings)


def test_inputs_say_what_the_formulas_read():
    cases = {
        "c": ((), False, False),
        "ctl(3) + val(1, 0, 9) + t": ((1, 3), True, False),
        "ctl(x) * total": (tuple(range(8)), False, True),
    }
    for formula, want in cases.items():
        assert zorvan.Filter(formula).inputs == want, formula
    assert zorvan.Filter.example("twirl").inputs.controls == (0,)


UNMADE = [
    zorvan.Filter.__new__(zorvan.Filter),
    pickle.loads(b"\x80\x02czorvan._zorvan\nFilter\n)\x81."),  # no state
]


@pytest.mark.parametrize("unmade", UNMADE)
def test_an_unmade_filter_raises_type_error_everywhere(unmade, picture):
    uses = [lambda f: f(picture), lambda f: f.target_channels(3), pickle.dumps,
            lambda f: zorvan.eval(f, picture)]
    uses += [lambda f, name=name: getattr(f, name)
             for name, member in vars(zorvan.Filter).items() if isinstance(member, property)]
    assert len(uses) > 8
    for use in uses:
        with pytest.raises(TypeError, match="this Filter was never made"):
            use(unmade)


@pytest.mark.parametrize(
    "state, error, message",
    [((), TypeError, "a Filter's state is"), (([(1, 2)], None), TypeError, "a Filter's state is"),
     (([("all", "c")], 5), TypeError, "a Filter's state is"),
     (([("q", "c")], None), ValueError, "no channels called q")],
)
def test_a_malformed_pickle_state_is_refused(state, error, message):
    with pytest.raises(error, match=message):
        zorvan.Filter.__new__(zorvan.Filter).__setstate__(state)


def test_numbers_past_32_bits_warn():
    assert zorvan.Filter("c + 4294967296").warnings == [
        "formula has a number beyond 32 bits at column 5: 4294967296 wraps to 0"
    ]
    assert zorvan.Filter("c - 2147483648").warnings == []


def test_errors_carry_line_column_and_caret():
    with pytest.raises(zorvan.FormulaError) as caught:
        zorvan.Filter(r="r +\n g g")
    error = caught.value
    assert (error.line, error.column) == (2, 4)
    assert str(error) == (
        'formula for r does not parse at line 2, column 4: missing operator between "g" and "g"\n'
        "   g g\n     ^"
    )
    with pytest.raises(zorvan.FormulaError) as caught:
        zorvan.Filter.from_text("title: t\nrgb: (r\n", "f.zvf")
    assert (caught.value.line, caught.value.column) == (2, 8)
    assert caught.value.message.startswith("f.zvf:2:8: formula for rgb does not parse: ")
    with pytest.raises(zorvan.FormulaError, match=r'f.zvf:1: unknown key "colour"'):
        zorvan.Filter.from_text("colour: c\n", "f.zvf")
    with pytest.raises(ValueError, match="no example called"):
        zorvan.Filter.example("none")
    with pytest.raises(ValueError, match="at least one formula"):
        zorvan.Filter()


def test_channel_formulas_and_added_alpha(picture):
    f = zorvan.Filter("0", g="g", a="x")
    out = f(picture)
    assert out.shape == (37, 53, 4)
    assert np.array_equal(out[..., 0], np.zeros((37, 53), np.uint8))
    assert np.array_equal(out[..., 1], picture[..., 1])
    assert np.array_equal(out[..., 3], np.broadcast_to(np.arange(53, dtype=np.uint8), (37, 53)))


def test_python_threads_render_at_once_with_the_bytes_of_one(picture):
    big = np.tile(picture, (8, 8, 1))
    f = zorvan.Filter("rad(d + m / 3, m, z) + cnv(1, 2, 1, 2, 4, 2, 1, 2, 1, 16) / 8")
    want = f(big, threads=1)
    results = [None] * 6

    def render(i):
        results[i] = f(big, threads=1)

    threads = [threading.Thread(target=render, args=(i,)) for i in range(len(results))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert all(np.array_equal(r, want) for r in results)


def test_ctrl_c_stops_a_render():
    big = np.zeros((3000, 4000, 3), np.uint8)
    slow = zorvan.Filter("rad(d + sin(x * y) + m, m, z) + cnv(1, 2, 1, 2, 4, 2, 1, 2, 1, 16)")
    timer = threading.Timer(0.2, _thread.interrupt_main)
    timer.start()
    try:
        with pytest.raises(KeyboardInterrupt):
            slow(big, threads=1)
    finally:
        timer.cancel()


def test_filters_pickle(picture):
    for f in (zorvan.Filter("255 - c", a="x"), zorvan.Filter.example("sepia")):
        copy = pickle.loads(pickle.dumps(f))
        assert np.array_equal(copy(picture), f(picture))
        assert copy.controls == f.controls
