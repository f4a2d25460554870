// SPDX-License-Identifier: MIT
// Filter files: "key: value" lines, indented lines continuing a formula.
#include <algorithm>
#include <charconv>
#include <string>

#include "front/quote.h"
#include "zorvan/render.hpp"

namespace zv {

namespace {

// "r, g, b, a, rgb, all", for messages.
std::string FormulaKeyList() {
    std::string list;
    for (const FormulaKey& f : kFormulaKeys) list += (list.empty() ? "" : ", ") + std::string(f.key);
    return list;
}

std::string_view Trim(std::string_view s) {
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const size_t last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

class Parser {
   public:
    Parser(std::string_view text, const std::string& name) : text_(text), name_(name) {}

    FilterFile Run() {
        size_t start = 0;
        while (start <= text_.size()) {
            size_t end = text_.find('\n', start);
            if (end == std::string_view::npos) end = text_.size();
            std::string_view line = text_.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            ++lineNumber_;
            Line(line);
            start = end + 1;
        }
        if (file_.formulas.empty()) Fail(0, "the file has no formula (keys " + FormulaKeyList() + ")");
        return std::move(file_);
    }

   private:
    [[noreturn]] void Fail(int line, const std::string& reason) const {
        throw Error(Status::kBadFilter,
                    name_ + (line ? ":" + std::to_string(line) : "") + ": " + reason, {}, line);
    }

    void Line(std::string_view line) {
        const std::string_view content = Trim(line);
        if (content.empty() || content.front() == '#') return;
        if (line.front() == ' ' || line.front() == '\t') return Continue(line);
        continuing_ = nullptr;
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos) Fail(lineNumber_, "expected \"key: value\"");
        const std::string_view key = Trim(line.substr(0, colon));
        if (key.empty() || key.find_first_of(" \t") != std::string_view::npos) {
            Fail(lineNumber_, "expected \"key: value\"");
        }
        for (const std::string& seen : keys_) {
            if (seen == key) Fail(lineNumber_, Quoted(key) + " is given twice");
        }
        keys_.emplace_back(key);
        size_t valueStart = colon + 1;
        while (valueStart < line.size() && (line[valueStart] == ' ' || line[valueStart] == '\t')) {
            ++valueStart;
        }
        const std::string_view value = line.substr(valueStart);
        Entry(key, value, static_cast<int>(valueStart) + 1);
    }

    void Entry(std::string_view key, std::string_view value, int column) {
        for (const FormulaKey& f : kFormulaKeys) {
            if (f.key == key) return Formula(f.channels, key, value, column);
        }
        if (key == "title") {
            file_.title = Trim(value);
        } else if (key == "about") {
            file_.about = Trim(value);
        } else if (key.size() == 4 && key.substr(0, 3) == "ctl" && key[3] >= '0' && key[3] <= '7') {
            Control(file_.controls[key[3] - '0'], value);
        } else {
            Fail(lineNumber_, "unknown key " + Quoted(key) +
                                  " (title, about, ctl0 to ctl7, " + FormulaKeyList() + ")");
        }
    }

    void Formula(ChannelSet channels, std::string_view key, std::string_view value, int column) {
        FormulaOffer& f = file_.formulas.emplace_back();
        f.channels = channels;
        f.formula.label = "formula for " + std::string(key);
        f.formula.file = name_;
        f.formula.text = value;
        f.formula.lines.push_back({0, lineNumber_, column});
        continuing_ = &f.formula;
    }

    void Continue(std::string_view line) {
        if (!continuing_) Fail(lineNumber_, "an indented line must continue a formula");
        continuing_->text += '\n';
        continuing_->lines.push_back({continuing_->text.size(), lineNumber_, 1});
        continuing_->text += line;
    }

    // "Name = value" or "value", either followed by an optional range "(low..high)".
    void Control(ControlDefault& control, std::string_view value) {
        value = Trim(value);
        const bool ranged = !value.empty() && value.back() == ')';
        if (ranged) value = Range(control, value);
        const size_t equals = value.rfind('=');
        const std::string_view number =
            Trim(equals == std::string_view::npos ? value : value.substr(equals + 1));
        if (equals != std::string_view::npos) control.name = Trim(value.substr(0, equals));
        if (!Integer(number, control.value)) {
            Fail(lineNumber_, "a control needs an integer value: \"name = 128\" or \"128\"");
        }
        if (!ranged) {
            control.low = std::min(control.low, control.value);
            control.high = std::max(control.high, control.value);
        } else if (control.value < control.low || control.value > control.high) {
            Fail(lineNumber_, "the control's value " + std::to_string(control.value) +
                                  " is outside its range " + std::to_string(control.low) + ".." +
                                  std::to_string(control.high));
        }
        control.given = true;
    }

    // Reads the trailing "(low..high)" of value into control; returns the rest.
    std::string_view Range(ControlDefault& control, std::string_view value) {
        const size_t open = value.rfind('(');
        const std::string_view inside =
            open == std::string_view::npos ? "" : value.substr(open + 1, value.size() - open - 2);
        const size_t dots = inside.find("..");
        if (dots == std::string_view::npos || !Integer(Trim(inside.substr(0, dots)), control.low) ||
            !Integer(Trim(inside.substr(dots + 2)), control.high)) {
            Fail(lineNumber_, "a control's range is two integers: \"(0..255)\"");
        }
        if (control.low > control.high) {
            Fail(lineNumber_, "the control's range " + std::to_string(control.low) + ".." +
                                  std::to_string(control.high) + " is empty");
        }
        return value.substr(0, open);
    }

    static bool Integer(std::string_view text, int32_t& parsed) {
        const char* end = text.data() + text.size();
        const auto result = std::from_chars(text.data(), end, parsed);
        return !text.empty() && result.ec == std::errc() && result.ptr == end;
    }

    std::string_view text_;
    const std::string& name_;
    FilterFile file_;
    std::vector<std::string> keys_;
    FormulaText* continuing_ = nullptr;
    int lineNumber_ = 0;
};

}  // namespace

FilterFile ParseFilterFile(std::string_view text, const std::string& name) {
    // Some editors start UTF-8 text with a byte-order mark.
    if (text.substr(0, 3) == "\xef\xbb\xbf") text.remove_prefix(3);
    return Parser(text, name).Run();
}

std::array<int32_t, 8> ControlValues(const FilterFile& file) {
    std::array<int32_t, 8> values{};
    for (size_t i = 0; i < values.size(); ++i) values[i] = file.controls[i].value;
    return values;
}

}  // namespace zv
