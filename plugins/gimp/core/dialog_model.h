/* SPDX-License-Identifier: MIT */
// What the dialog shows and keeps, without a toolkit: the filter's text and
// its compiled form, the last error, the sliders and their values. The
// GTK dialog mirrors it; a port to another toolkit does the same.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "plugins/gimp/core/settings.h"

namespace zvgimp {

// The settings of a first run: the twirl example.
Settings DefaultSettings();

// The example filters by name, and one's filter-file text.
std::vector<std::string> ExampleNames();
std::string ExampleText(const std::string& name);

class DialogModel {
   public:
    explicit DialogModel(Settings settings);

    // Compiles text; true when it does. A filter whose controls differ from
    // the last good one's starts from its own defaults. On failure the last
    // good filter stays and Error() says why.
    bool SetText(const std::string& text);
    void SetSlider(int slider, int32_t value);

    const Settings& Current() const { return settings_; }
    // The last filter that compiled; null before any.
    const CompiledFilter* Compiled() const { return compiled_ ? &*compiled_ : nullptr; }
    const std::string& Error() const { return error_; }
    // Shown sliders of the last good filter, with the values in range.
    std::array<Slider, kSliders> Sliders() const;

   private:
    Settings settings_;
    std::optional<CompiledFilter> compiled_;
    std::string error_;
};

}  // namespace zvgimp
