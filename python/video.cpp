// SPDX-License-Identifier: MIT
#include "python/video.h"

#include <pybind11/stl.h>

#include <algorithm>
#include <climits>
#include <optional>
#include <string>

#include "python/arguments.h"
#include "python/filter.h"
#include "zorvan/video.hpp"

namespace py = pybind11;

namespace {

// Stops the run from inside the filter; not an error of the file's.
struct Stopped {};

int64_t FilterFile(const std::string& src, const std::string& dst, const PyFilter& f,
                   py::handle controls, py::handle total, const std::optional<std::string>& codec,
                   py::handle crf, py::handle quality, bool force, py::object progress) {
    zv::RenderSettings settings;
    settings.controls = Controls(f.file, controls);
    zv::video::FilterSettings filtering;
    filtering.write.codec = codec.value_or("");
    if (!crf.is_none()) filtering.write.crf = Whole<int>(crf, "crf");
    if (!quality.is_none())
        filtering.write.quality = static_cast<int>(WholeNumber(quality, "quality", 1, 100));
    filtering.write.force = force;
    const std::optional<int32_t> given =
        total.is_none() ? std::nullopt : std::optional(Whole<int32_t>(total, "total"));
    // The encoding thread reports, and a progress that returns False stops
    // the run there, before the file is put in place; Python's own Ctrl-C
    // stops it between frames.
    filtering.progress = [&](int64_t written) {
        const py::gil_scoped_acquire locked;
        if (!progress.is_none() && progress(written).is(py::bool_(false))) throw Stopped{};
    };
    uint32_t random = ZV_RANDOM_START;  // rnd's draws run on from frame to frame
    settings.random = &random;
    const py::gil_scoped_release unlocked;
    const int64_t frames = given ? int64_t{*given} + 1 : zv::video::CountFrames(src);
    settings.total = static_cast<int32_t>(std::clamp<int64_t>(frames - 1, 0, INT32_MAX));
    const auto filter = [&](const zv::video::Frame& in, zv::video::Frame& out) {
        {
            const py::gil_scoped_acquire locked;
            if (PyErr_CheckSignals() != 0) throw Stopped{};
        }
        settings.t = static_cast<int32_t>(in.index);
        out.width = in.width, out.height = in.height;
        out.channels = f.filter.TargetChannels(in.channels);
        out.bytes.resize(static_cast<size_t>(out.width) * out.height * out.channels);
        zv::Render(f.filter,
                   {in.bytes.data(), in.width, in.height, in.channels,
                    static_cast<size_t>(in.width) * in.channels},
                   {out.bytes.data(), out.width, out.height, out.channels,
                    static_cast<size_t>(out.width) * out.channels},
                   settings);
    };
    try {
        return zv::video::FilterFile(src, dst, filter, filtering);
    } catch (const Stopped&) {
        const py::gil_scoped_acquire locked;
        if (PyErr_Occurred()) throw py::error_already_set();
        return -1;
    }
}

}  // namespace

void DefineVideo(py::module_& m) {
    py::register_exception<zv::video::Error>(m, "VideoError", PyExc_OSError);
    m.def("_filter_video", &FilterFile, py::arg("src"), py::arg("dst"), py::arg("filter"),
          py::arg("controls"), py::arg("total"), py::arg("codec"), py::arg("crf"),
          py::arg("quality"), py::arg("force"), py::arg("progress"));
}
