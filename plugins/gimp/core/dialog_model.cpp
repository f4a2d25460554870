// SPDX-License-Identifier: MIT
#include "plugins/gimp/core/dialog_model.h"

#include <algorithm>

#include "examples/examples.h"

namespace zvgimp {

Settings DefaultSettings() {
    Settings settings;
    settings.filter = ExampleText("twirl");
    settings.controls = zv::ControlValues(zv::FindExample("twirl").filter);
    return settings;
}

std::vector<std::string> ExampleNames() {
    std::vector<std::string> names;
    for (size_t i = 0; i < zv::kRawExampleCount; ++i) names.emplace_back(zv::kRawExamples[i].name);
    return names;
}

std::string ExampleText(const std::string& name) {
    const zv::RawExample& raw = zv::FindRawExample(name);
    return {reinterpret_cast<const char*>(raw.bytes), raw.size};
}

DialogModel::DialogModel(Settings settings) : settings_(std::move(settings)) {
    SetText(settings_.filter);
}

bool DialogModel::SetText(const std::string& text) {
    settings_.filter = text;
    try {
        CompiledFilter compiled = CompileFilter(text);
        if (compiled_ && !SameControls(compiled_->file, compiled.file)) {
            settings_.controls = zv::ControlValues(compiled.file);
        }
        compiled_ = std::move(compiled);
        error_.clear();
        return true;
    } catch (const zv::Error& e) {
        error_ = e.what() + ("\n" + e.detail());
        while (!error_.empty() && error_.back() == '\n') error_.pop_back();
        return false;
    }
}

void DialogModel::SetSlider(int slider, int32_t value) { SetSliderValue(settings_, slider, value); }

std::array<Slider, kSliders> DialogModel::Sliders() const {
    std::array<Slider, kSliders> sliders{};
    if (!compiled_) return sliders;
    sliders = zvgimp::Sliders(*compiled_);
    const std::array<int32_t, kSliders> values = SliderValues(settings_);
    for (size_t k = 0; k < kSliders; ++k) {
        sliders[k].low = std::min(sliders[k].low, values[k]);
        sliders[k].high = std::max(sliders[k].high, values[k]);
    }
    return sliders;
}

}  // namespace zvgimp
