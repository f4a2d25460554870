// SPDX-License-Identifier: MIT
#include "python/photo.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cstring>
#include <optional>
#include <string>

#include "zorvan/photo.hpp"

namespace py = pybind11;

namespace {

py::array ArrayOf(zv::photo::Pixels& pixels) {
    py::array_t<uint8_t> array({pixels.height, pixels.width, pixels.channels});
    std::memcpy(array.mutable_data(), pixels.bytes.data(), pixels.bytes.size());
    return array;
}

// An array of shape (height, width) or (height, width, 1..4) as pixels.
zv::photo::Pixels PixelsOf(py::array array) {
    if (!array.dtype().is(py::dtype::of<uint8_t>())) {
        throw py::value_error("image: the dtype is " + std::string(py::str(array.dtype())) +
                              "; uint8 is written");
    }
    const bool grey = array.ndim() == 2;
    if (!grey && (array.ndim() != 3 || array.shape(2) < 1 || array.shape(2) > 4)) {
        throw py::value_error("image: (height, width) or (height, width, 1..4) is written");
    }
    if (array.shape(0) > INT32_MAX || array.shape(1) > INT32_MAX) {
        throw py::value_error("image: too large");
    }
    array = py::array::ensure(array, py::array::c_style);
    zv::photo::Pixels pixels{static_cast<int32_t>(array.shape(1)),
                             static_cast<int32_t>(array.shape(0)),
                             grey ? 1 : static_cast<int32_t>(array.shape(2)),
                             {}};
    const auto* bytes = static_cast<const uint8_t*>(array.data());
    pixels.bytes.assign(bytes, bytes + array.nbytes());
    return pixels;
}

zv::photo::WriteSettings Settings(const std::optional<std::string>& format, int quality,
                                  int compression, bool lossless, bool force) {
    zv::photo::WriteSettings s;
    if (format) {
        s.format = zv::photo::FormatNamed(*format);
        if (!s.format) throw py::value_error("format: " + *format + " is not a format written");
    }
    s.quality = quality;
    s.compression = compression;
    s.lossless = lossless;
    s.force = force;
    return s;
}

// (array, metadata) of the photo read gives, read without the GIL.
template <class Read>
py::tuple ReadUnlocked(Read read) {
    zv::photo::Photo photo;
    {
        const py::gil_scoped_release unlocked;
        photo = read();
    }
    return py::make_tuple(ArrayOf(photo.pixels), std::move(photo.metadata));
}

py::bytes Block(const zv::photo::Metadata& m, zv::photo::Block which) {
    return py::bytes(m.block(which));
}

}  // namespace

void DefinePhoto(py::module_& m) {
    py::register_exception<zv::photo::Error>(m, "PhotoError", PyExc_OSError);

    py::class_<zv::photo::Metadata>(m, "Metadata", R"(What a photo carries besides its pixels.

Read from a file by zorvan.read and written again by zorvan.write(like=...):
the colour profile, EXIF, XMP and comment as bytes (b"" when missing), and
the EXIF orientation of the pixels as read (1 once turned upright).)")
        .def(py::init<>())
        .def_property_readonly("orientation", &zv::photo::Metadata::orientation)
        .def_property_readonly(
            "icc", [](const zv::photo::Metadata& d) { return Block(d, zv::photo::kIcc); })
        .def_property_readonly(
            "exif", [](const zv::photo::Metadata& d) { return Block(d, zv::photo::kExif); })
        .def_property_readonly(
            "xmp", [](const zv::photo::Metadata& d) { return Block(d, zv::photo::kXmp); })
        .def_property_readonly(
            "comment", [](const zv::photo::Metadata& d) { return Block(d, zv::photo::kComment); });

    m.def(
        "_read_path",
        [](const std::string& path, bool orient) {
            return ReadUnlocked([&] { return zv::photo::Read(path, orient); });
        },
        py::arg("path"), py::arg("orient"));
    m.def(
        "_read_bytes",
        [](const py::buffer& data, bool orient) {
            // Held until decoded: a bytearray cannot be resized meanwhile.
            const py::buffer_info info = data.request();
            const Py_buffer* view = info.view();
            std::string strided;
            std::string_view bytes(static_cast<const char*>(view->buf),
                                   static_cast<size_t>(view->len));
            if (!PyBuffer_IsContiguous(view, 'C')) {
                strided.resize(bytes.size());
                if (PyBuffer_ToContiguous(strided.data(), view, view->len, 'C') != 0) {
                    throw py::error_already_set();
                }
                bytes = strided;
            }
            return ReadUnlocked([&] { return zv::photo::Decode(bytes, "bytes", orient); });
        },
        py::arg("data"), py::arg("orient"));
    m.def(
        "_write",
        [](const std::string& path, py::array image, const zv::photo::Metadata* like,
           const std::optional<std::string>& format, int quality, int compression, bool lossless,
           bool force) {
            const zv::photo::WriteSettings settings =
                Settings(format, quality, compression, lossless, force);
            const zv::photo::Pixels pixels = PixelsOf(std::move(image));
            const py::gil_scoped_release unlocked;
            zv::photo::Write(path, pixels, like, settings);
        },
        py::arg("path"), py::arg("image"), py::arg("like"), py::arg("format"), py::arg("quality"),
        py::arg("compression"), py::arg("lossless"), py::arg("force"));
    m.def(
        "formats",
        [] {
            py::dict all;
            for (const zv::photo::FormatInfo& f : zv::photo::Formats()) {
                py::list names;
                for (const char* const* n = f.names; *n; ++n) names.append(*n);
                all[py::str(f.names[0])] = py::dict(
                    py::arg("name") = f.name, py::arg("names") = names,
                    py::arg("writes") = f.writes, py::arg("animates") = f.animates,
                    py::arg("alpha") = f.alpha, py::arg("icc") = bool(f.keeps & zv::photo::kIcc),
                    py::arg("exif") = bool(f.keeps & zv::photo::kExif),
                    py::arg("xmp") = bool(f.keeps & zv::photo::kXmp),
                    py::arg("comment") = bool(f.keeps & zv::photo::kComment));
            }
            return all;
        },
        "The photo formats: usual extension to what each reads, writes and keeps.");
}
