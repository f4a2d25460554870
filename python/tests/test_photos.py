# SPDX-License-Identifier: MIT
"""zorvan.read, zorvan.write and batch.filter_files against zorvan apply on
the same files: the same bytes, with orientation applied and metadata kept."""
import os
import struct
import subprocess

import numpy as np
import pytest

import zorvan
from zorvan import batch

TOOL = os.environ.get("ZORVAN_TOOL")
needs_tool = pytest.mark.skipif(not TOOL, reason="ZORVAN_TOOL names no built tool")
WRITTEN = [name for name, info in zorvan.formats().items() if info["writes"]]
PROFILE = "/usr/share/color/icc/ghostscript/srgb.icc"


def _segment(marker, payload):
    return b"\xff" + bytes([marker]) + struct.pack(">H", len(payload) + 2) + payload


def _exif(orientation):
    """A little-endian TIFF structure: IFD0 with Make and Orientation."""
    make = b"TestCam\0"
    entries = struct.pack("<HHII", 0x010F, 2, len(make), 8 + 2 + 2 * 12 + 4)
    entries += struct.pack("<HHIHH", 0x0112, 3, 1, orientation, 0)
    return b"II*\0" + struct.pack("<I", 8) + struct.pack("<H", 2) + entries + b"\0\0\0\0" + make


XMP = (b'<?xpacket begin="" id="W5M0MpCehiHzreSzNTczkc9d"?><x:xmpmeta xmlns:x="adobe:ns:meta/">'
       b'<rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#"><rdf:Description '
       b'rdf:about="" xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:title><rdf:Alt>'
       b'<rdf:li xml:lang="x-default">Harbour at dawn</rdf:li></rdf:Alt></dc:title>'
       b'</rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end="w"?>')


@pytest.fixture
def portrait(picture, tmp_path):
    """A camera's portrait JPEG: 53 x 37 stored, orientation 6 (upright it
    is 37 wide), with EXIF, XMP, a colour profile and a comment."""
    plain = tmp_path / "plain.jpg"
    zorvan.write(plain, picture, quality=95)
    with open(PROFILE, "rb") as f:
        icc = f.read()
    data = plain.read_bytes()
    data = data[:2] + b"".join([
        _segment(0xE1, b"Exif\0\0" + _exif(6)),
        _segment(0xE2, b"ICC_PROFILE\0\x01\x01" + icc),
        _segment(0xE1, b"http://ns.adobe.com/xap/1.0/\0" + XMP),
        _segment(0xFE, b"for the album"),
    ]) + data[2:]
    path = tmp_path / "portrait.jpg"
    path.write_bytes(data)
    return path


def _apply(*args):
    subprocess.run([TOOL, "apply", "-q", "-x", "sepia", *map(str, args)], check=True)


def test_read_turns_upright_and_keeps_the_metadata(portrait, picture):
    image, metadata = zorvan.read(portrait)
    with subprocess.Popen(["cat", portrait], stdout=subprocess.PIPE) as cat:
        assert np.array_equal(zorvan.read(cat.stdout)[0], image)
    backwards = memoryview(portrait.read_bytes()[::-1])[::-1]  # strided, not one block
    assert np.array_equal(zorvan.read(backwards)[0], image)
    stored, raw = zorvan.read(portrait.read_bytes(), orient=False)
    assert image.shape == (53, 37, 3) and stored.shape == picture.shape
    assert np.array_equal(image, np.rot90(stored, -1))
    assert (metadata.orientation, raw.orientation) == (1, 6)
    with open(PROFILE, "rb") as f:
        assert metadata.icc == f.read()
    assert b"TestCam" in metadata.exif and b"Harbour at dawn" in metadata.xmp
    assert metadata.comment == b"for the album"


@needs_tool
@pytest.mark.parametrize("extension", WRITTEN)
def test_write_gives_the_bytes_of_zorvan_apply(portrait, tmp_path, extension):
    _apply(portrait, tmp_path / f"tool.{extension}")
    image, metadata = zorvan.read(portrait)
    ours = tmp_path / f"ours.{extension}"
    zorvan.write(ours, zorvan.Filter.example("sepia")(image), like=metadata)
    assert ours.read_bytes() == (tmp_path / f"tool.{extension}").read_bytes()
    by_name = tmp_path / "by-name.out"
    zorvan.write(by_name, zorvan.Filter.example("sepia")(image), like=metadata, format=extension)
    assert by_name.read_bytes() == ours.read_bytes()


@needs_tool
@pytest.mark.parametrize("format", [None, "webp"])
def test_filter_files_gives_the_bytes_of_zorvan_apply(portrait, picture, tmp_path, format):
    flat = tmp_path / "flat.png"
    zorvan.write(flat, picture[:, :, ::-1])
    paths = [portrait, flat]
    _apply("-o", tmp_path / "tool", *(["--format", format] if format else []), *paths)
    written = batch.filter_files(paths, zorvan.Filter.example("sepia"), tmp_path / "ours",
                                 format=format).compute(scheduler="sync")
    names = sorted(os.listdir(tmp_path / "tool"))
    assert sorted(os.path.basename(p) for p in written) == names
    for name in names:
        assert (tmp_path / "ours" / name).read_bytes() == (tmp_path / "tool" / name).read_bytes()


def test_filter_files_refuses_before_making_anything(picture, tmp_path):
    for folder in ("a", "b", "linked"):
        os.makedirs(tmp_path / folder)
    for folder in ("a", "b"):
        zorvan.write(tmp_path / folder / "x.png", picture)
    os.link(tmp_path / "a" / "x.png", tmp_path / "linked" / "x.png")
    before = (tmp_path / "a" / "x.png").read_bytes()
    sepia = zorvan.Filter.example("sepia")
    a, b = tmp_path / "a" / "x.png", tmp_path / "b" / "x.png"
    cases = [
        ([a, b], tmp_path / "out", {}, "would both be written to"),
        ([a], tmp_path / "a", {}, "would replace an input"),
        ([b, a], tmp_path / "linked", {}, "would replace an input"),
        ([a], tmp_path / "out", {"format": "gif"}, "gif is not a format written"),
        ([a], tmp_path / "out", {"format": "bmp"}, "bmp is not a format written"),
    ]
    for paths, out_dir, options, message in cases:
        with pytest.raises(ValueError, match=message):
            batch.filter_files(paths, sepia, out_dir, **options)
    assert sorted(os.listdir(tmp_path)) == ["a", "b", "linked"]
    assert sorted(os.listdir(tmp_path / "a")) == ["x.png"]
    assert (tmp_path / "linked" / "x.png").read_bytes() == before


@pytest.mark.parametrize(
    "call, error, message",
    [
        (lambda d: zorvan.read(b""), zorvan.PhotoError, "the file is empty"),
        (lambda d: zorvan.read(d / "none.png"), zorvan.PhotoError, "cannot open"),
        (lambda d: zorvan.write(d / "x.png", np.zeros((2, 2, 3))), ValueError, "uint8 is written"),
        (lambda d: zorvan.write(d / "x.png", np.zeros((2, 2, 5), np.uint8)), ValueError, "1..4"),
        (lambda d: zorvan.write(d / "x.gif", np.zeros((2, 2), np.uint8)), zorvan.PhotoError,
         "unsupported output extension"),
        (lambda d: zorvan.write(d / "x.png", np.zeros((2, 2), np.uint8), format="bmp"), ValueError,
         "not a format written"),
        (lambda d: zorvan.write(d / "x.jpg", np.zeros((2, 2), np.uint8), quality=0), ValueError,
         "quality"),
    ],
)
def test_bad_input_raises_and_writes_nothing(tmp_path, call, error, message):
    with pytest.raises(error, match=message):
        call(tmp_path)
    assert os.listdir(tmp_path) == []
