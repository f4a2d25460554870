// SPDX-License-Identifier: MIT
#include "plugins/gimp/core/settings.h"

#include <cstring>

namespace zvgimp {

namespace {

constexpr uint32_t kStoreVersion = 1;
constexpr int32_t kFrameHigh = 1000;  // t and total's slider range

}  // namespace

zv::RenderSettings Settings::ForRender() const {
    zv::RenderSettings s;
    s.controls = controls;
    s.t = t;
    s.total = total;
    return s;
}

// Version, the ten values, then the filter's text.
std::vector<uint8_t> Store(const Settings& settings) {
    const std::array<int32_t, kSliders> values = SliderValues(settings);
    std::vector<uint8_t> bytes(sizeof kStoreVersion + sizeof values + settings.filter.size());
    std::memcpy(bytes.data(), &kStoreVersion, sizeof kStoreVersion);
    std::memcpy(bytes.data() + sizeof kStoreVersion, values.data(), sizeof values);
    std::memcpy(bytes.data() + sizeof kStoreVersion + sizeof values, settings.filter.data(),
                settings.filter.size());
    return bytes;
}

std::optional<Settings> Restore(const uint8_t* bytes, size_t size) {
    std::array<int32_t, kSliders> values;
    uint32_t version = 0;
    if (size < sizeof version + sizeof values) return std::nullopt;
    std::memcpy(&version, bytes, sizeof version);
    if (version != kStoreVersion) return std::nullopt;
    std::memcpy(values.data(), bytes + sizeof version, sizeof values);
    Settings settings;
    for (int k = 0; k < kSliders; ++k) SetSliderValue(settings, k, values[static_cast<size_t>(k)]);
    const size_t head = sizeof version + sizeof values;
    settings.filter.assign(reinterpret_cast<const char*>(bytes) + head, size - head);
    return settings;
}

std::array<Slider, kSliders> Sliders(const CompiledFilter& compiled) {
    const zv::FilterInputs inputs = compiled.filter->Inputs();
    std::array<Slider, kSliders> sliders;
    for (int k = 0; k < 8; ++k) {
        const zv::ControlDefault& c = compiled.file.controls[static_cast<size_t>(k)];
        sliders[static_cast<size_t>(k)] = {
            c.name.empty() ? "Control " + std::to_string(k) : c.name, c.low, c.high,
            (inputs.controls >> k & 1) != 0};
    }
    sliders[kSliderT] = {"t (frame)", 0, kFrameHigh, inputs.t};
    sliders[kSliderTotal] = {"total (frames - 1)", 0, kFrameHigh, inputs.total};
    return sliders;
}

std::array<int32_t, kSliders> SliderValues(const Settings& settings) {
    std::array<int32_t, kSliders> values{};
    std::copy(settings.controls.begin(), settings.controls.end(), values.begin());
    values[kSliderT] = settings.t;
    values[kSliderTotal] = settings.total;
    return values;
}

void SetSliderValue(Settings& settings, int slider, int32_t value) {
    if (slider == kSliderT) settings.t = value;
    else if (slider == kSliderTotal) settings.total = value;
    else settings.controls[static_cast<size_t>(slider)] = value;
}

bool SameControls(const zv::FilterFile& a, const zv::FilterFile& b) {
    for (size_t k = 0; k < 8; ++k) {
        const zv::ControlDefault &p = a.controls[k], &q = b.controls[k];
        if (p.name != q.name || p.value != q.value || p.low != q.low || p.high != q.high) {
            return false;
        }
    }
    return true;
}

}  // namespace zvgimp
