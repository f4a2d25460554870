// SPDX-License-Identifier: MIT
// The Python module's compiled half: filters, renders of NumPy arrays with
// the GIL released, single values, the built-in examples. zorvan/__init__.py
// re-exports it with the pure-Python parts.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "examples/examples.h"
#include "python/arguments.h"
#include "python/filter.h"
#include "python/photo.h"
#ifdef ZORVAN_HAS_VIDEO
#include "python/video.h"
#endif
#include "zorvan/render.hpp"

namespace py = pybind11;

namespace {

// A source array as a view, copied once when its pixels are not packed
// (each row's channels interleaved, rows any distance apart).
struct SourceArray {
    py::array array;
    zv::ImageView view;
};

void CheckShape(const py::array& a, const char* what) {
    if (!a.dtype().is(py::dtype::of<uint8_t>())) {
        throw py::value_error(std::string(what) + ": the dtype is " +
                              std::string(py::str(a.dtype())) + "; uint8 is rendered");
    }
    if (a.ndim() != 3 || (a.shape(2) != 3 && a.shape(2) != 4)) {
        throw py::value_error(std::string(what) + ": the shape is " +
                              std::string(py::str(py::tuple(py::cast(
                                  std::vector<py::ssize_t>(a.shape(), a.shape() + a.ndim()))))) +
                              "; (height, width, 3) or (height, width, 4) is rendered");
    }
    if (a.shape(0) == 0 || a.shape(1) == 0)
        throw py::value_error(std::string(what) + ": no pixels");
    if (a.shape(0) > INT32_MAX || a.shape(1) > INT32_MAX) {
        throw py::value_error(std::string(what) + ": too large");
    }
}

bool Packed(const py::array& a) {
    return a.strides(2) == 1 && a.strides(1) == a.shape(2) &&
           a.strides(0) >= a.shape(1) * a.shape(2);
}

SourceArray Input(py::array image) {
    CheckShape(image, "image");
    if (!Packed(image)) image = py::array::ensure(image, py::array::c_style);
    const auto h = static_cast<int32_t>(image.shape(0)), w = static_cast<int32_t>(image.shape(1));
    const auto c = static_cast<int32_t>(image.shape(2));
    return {image,
            {static_cast<const uint8_t*>(image.data()), w, h, c,
             static_cast<size_t>(image.strides(0))}};
}

zv::MutableImageView Target(py::array& out) {
    CheckShape(out, "out");
    if (!Packed(out) || !out.writeable()) {
        throw py::value_error(
            "out: must be writeable with each row's pixels packed (a C-order array or rows of "
            "one)");
    }
    return {static_cast<uint8_t*>(out.mutable_data()), static_cast<int32_t>(out.shape(1)),
            static_cast<int32_t>(out.shape(0)), static_cast<int32_t>(out.shape(2)),
            static_cast<size_t>(out.strides(0))};
}

zv::RenderSettings Settings(const PyFilter& f, py::handle controls, py::handle t,
                            py::handle total) {
    zv::RenderSettings s;
    s.controls = Controls(f.file, controls);
    s.t = Whole<int32_t>(t, "t");
    s.total = Whole<int32_t>(total, "total");
    return s;
}

// Sized for the part of the region inside the image: a region outside it
// is the render's to refuse, with its message, before it looks at the
// target.
int32_t Sampled(int32_t length, int32_t size, int32_t step) {
    return (std::clamp(length, 1, size) - 1) / step + 1;
}

py::array Render(const PyFilter& f, py::array image, py::handle controls, py::handle t,
                 py::handle total, py::handle threads, py::handle region, py::handle step,
                 std::optional<py::array> out) {
    const SourceArray source = Input(std::move(image));
    zv::RenderSettings settings = Settings(f, controls, t, total);
    settings.threads = Whole<unsigned>(threads, "threads");
    settings.step = static_cast<int32_t>(WholeNumber(step, "step", 1, INT32_MAX));
    settings.region = Region(region);
    if (!out) {
        const zv::Rect r = settings.region;
        const bool whole = r.x == 0 && r.y == 0 && r.width == 0 && r.height == 0;
        const int32_t w = source.view.width, h = source.view.height;
        out = py::array_t<uint8_t>({Sampled(whole ? h : r.height, h, settings.step),
                                    Sampled(whole ? w : r.width, w, settings.step),
                                    f.filter.TargetChannels(source.view.channels)});
    }
    const zv::MutableImageView target = Target(*out);
    // Between blocks of rows the render looks for Ctrl-C (or any pending
    // signal handler's exception) and stops there.
    settings.progress = [](int64_t, int64_t) {
        const py::gil_scoped_acquire locked;
        return PyErr_CheckSignals() == 0;
    };
    zv::Status status;
    {
        const py::gil_scoped_release unlocked;
        status = zv::Render(f.filter, source.view, target, settings);
    }
    if (status == zv::Status::kCancelled) throw py::error_already_set();
    return *out;
}

// Which controls, and whether t and total, the formulas read.
py::object Inputs(const py::object& type, const PyFilter& f) {
    const zv::FilterInputs in = f.filter.Inputs();
    py::list controls;
    for (int k = 0; k < 8; ++k) {
        if (in.controls & (1u << k)) controls.append(k);
    }
    return type(py::tuple(controls), in.t, in.total);
}

void TranslateErrors(py::module_& m) {
    static py::exception<zv::Error> formulaError(m, "FormulaError", PyExc_ValueError);
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const zv::Error& e) {
            if (e.status() != zv::Status::kBadFormula && e.status() != zv::Status::kBadFilter) {
                PyErr_SetString(PyExc_ValueError, e.what());
                return;
            }
            std::string text = e.what();
            if (!e.detail().empty()) text += "\n" + e.detail().substr(0, e.detail().size() - 1);
            py::object error = py::reinterpret_borrow<py::object>(formulaError.ptr())(text);
            error.attr("message") = e.what();
            error.attr("line") = e.line();
            error.attr("column") = e.column();
            PyErr_SetObject(formulaError.ptr(), error.ptr());
        }
    });
}

}  // namespace

PYBIND11_MODULE(_zorvan, m) {
    m.doc() = "Zorvan's per-pixel image-filter formulas on NumPy arrays.";
    TranslateErrors(m);
    DefinePhoto(m);
#ifdef ZORVAN_HAS_VIDEO
    DefineVideo(m);
#endif
    m.attr("__version__") = ZV_RENDER_VERSION;
    m.attr("Inputs") = py::module_::import("collections")
                           .attr("namedtuple")("Inputs", py::make_tuple("controls", "t", "total"),
                                               py::arg("module") = "zorvan");

    py::class_<PyFilter>(m, "Filter", R"(A compiled filter: a formula per channel.

Filter("255 - c") takes one formula for every channel; Filter(r="...",
g="...", b="...", a="...", rgb="...") one per channel or for the colour
channels (a formula for fewer channels wins). Filter.from_text,
Filter.from_file and Filter.example read filter files. A formula that does
not parse raises FormulaError with its line, column and a caret line.
Calling a filter renders it over an image.)")
        .def(py::init([](std::optional<std::string> all, std::optional<std::string> r,
                         std::optional<std::string> g, std::optional<std::string> b,
                         std::optional<std::string> a, std::optional<std::string> rgb) {
                 Recipe s;
                 const std::pair<const char*, std::optional<std::string>*> given[] = {
                     {"all", &all}, {"rgb", &rgb}, {"r", &r}, {"g", &g}, {"b", &b}, {"a", &a}};
                 for (const auto& [key, text] : given) {
                     if (*text) s.formulas.emplace_back(key, **text);
                 }
                 return PyFilter(std::move(s));
             }),
             py::arg("formula") = py::none(), py::kw_only(), py::arg("r") = py::none(),
             py::arg("g") = py::none(), py::arg("b") = py::none(), py::arg("a") = py::none(),
             py::arg("rgb") = py::none())
        .def_static(
            "from_text",
            [](const std::string& text, const std::string& name) {
                return PyFilter(Recipe{{}, std::pair{text, name}});
            },
            py::arg("text"), py::arg("name") = "filter", "A filter from the text of a filter file.")
        .def_static(
            "example",
            [](const std::string& name) {
                const zv::RawExample& raw = zv::FindRawExample(name);
                const std::string text(reinterpret_cast<const char*>(raw.bytes), raw.size);
                return PyFilter(Recipe{{}, std::pair{text, "examples/" + name + ".zvf"}});
            },
            py::arg("name"), "One of the built-in examples (zorvan.examples() lists them).")
        .def_property_readonly(
            "inputs", [inputs = m.attr("Inputs")](const PyFilter& f) { return Inputs(inputs, f); },
            "What the formulas read: Inputs(controls, t, total), the numbers of the controls\n"
            "(all eight where a control's number is computed) and whether t and total appear.")
        .def_property_readonly("title", [](const PyFilter& f) { return f.file.title; })
        .def_property_readonly(
            "visiting_order", [](const PyFilter& f) { return f.filter.VisitingOrder(); },
            "Whether put or rnd make the result depend on the order pixels are visited in.")
        .def_property_readonly("about", [](const PyFilter& f) { return f.file.about; })
        .def_property_readonly(
            "warnings",
            [](const PyFilter& f) {
                py::list list;
                for (const zv::Warning& w : f.filter.Warnings()) list.append(w.message);
                return list;
            },
            "What in the formulas may not mean what it says (a number past 32 bits).")
        .def_property_readonly(
            "controls",
            [](const PyFilter& f) {
                py::list list;
                for (int k = 0; k < 8; ++k) {
                    const zv::ControlDefault& c = f.file.controls[k];
                    if (c.given) list.append(py::make_tuple(k, c.name, c.value));
                }
                return list;
            },
            "The controls the filter file gives: (index, name, default) each.")
        .def(
            "target_channels",
            [](const PyFilter& f, py::handle channels) {
                return f.filter.TargetChannels(
                    static_cast<int32_t>(WholeNumber(channels, "source_channels", 3, 4)));
            },
            py::arg("source_channels"),
            "The channels of a result for a source with 3 or 4 channels.")
        .def("__call__", &Render, py::arg("image"), py::kw_only(), py::arg("controls") = py::none(),
             py::arg("t") = 0, py::arg("total") = 0, py::arg("threads") = 0,
             py::arg("region") = py::none(), py::arg("step") = 1, py::arg("out") = py::none(),
             R"(Renders the filter over image, a uint8 array (height, width, 3 or 4).

controls: up to 8 values, or a dict by index or by the filter file's names
in any case; unset ones keep the file's defaults. Numbers are whole (2.0
is taken, 2.5 raises ValueError). t, total: the frame and the number of
frames less one. threads: 0 for every core. region: (x, y, width, height),
render only that part of the full result (None or all zero: the whole
image); step: every step-th pixel of it, an exact preview. out: an array to render into (it must not share memory
with image). Returns the result; the GIL is released while rendering.)")
        .def(py::pickle(&StateOf, &FromState));

    m.def(
        "evaluate",
        [](const PyFilter& f, py::array image, py::handle x, py::handle y, py::handle channel,
           py::handle controls, py::handle t, py::handle total) {
            const SourceArray source = Input(std::move(image));
            zv::RenderSettings settings = Settings(f, controls, t, total);
            settings.threads = 1;
            return zv::Evaluate(f.filter, source.view, Whole<int32_t>(x, "x"),
                                Whole<int32_t>(y, "y"), Whole<int32_t>(channel, "channel"),
                                settings);
        },
        py::arg("filter"), py::arg("image"), py::arg("x"), py::arg("y"), py::arg("channel"),
        py::arg("controls"), py::arg("t"), py::arg("total"));

    m.def(
        "examples",
        [] {
            py::dict all;
            for (const zv::Example& e : zv::Examples()) all[py::str(e.name)] = e.filter.about;
            return all;
        },
        "The built-in example filters: name to what each does.");
}
