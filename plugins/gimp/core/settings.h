/* SPDX-License-Identifier: MIT */
// What a run is given, as the procedure's arguments name it, and how the
// dialog's sliders show a filter: one place for both, so every host of the
// plug-in agrees.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "plugins/gimp/core/filter_text.h"

namespace zvgimp {

struct Settings {
    std::string filter;
    std::array<int32_t, 8> controls{};
    int32_t t = 0, total = 0;

    zv::RenderSettings ForRender() const;
};

// The last values, kept between runs as bytes; Restore gives nothing for
// bytes another version wrote.
std::vector<uint8_t> Store(const Settings& settings);
std::optional<Settings> Restore(const uint8_t* bytes, size_t size);

// Ten sliders: the eight controls, then t and total.
inline constexpr int kSliders = 10;
inline constexpr int kSliderT = 8, kSliderTotal = 9;

struct Slider {
    std::string label;
    int32_t low = 0, high = 255;
    bool shown = false;
};

std::array<Slider, kSliders> Sliders(const CompiledFilter& compiled);

// The slider values of settings, in slider order, and back.
std::array<int32_t, kSliders> SliderValues(const Settings& settings);
void SetSliderValue(Settings& settings, int slider, int32_t value);

// Whether two filter files name and default their controls alike; a
// filter that does not keeps the user's slider values.
bool SameControls(const zv::FilterFile& a, const zv::FilterFile& b);

}  // namespace zvgimp
