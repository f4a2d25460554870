// SPDX-License-Identifier: MIT
// Zorvan's whole-image renderer, for C++ hosts: compile a filter (a formula
// per channel) once, then render it into images the caller owns, on all
// cores, with controls, frames, progress, cancellation, a region of interest
// and a sampling step. C hosts and language bindings use zorvan/render.h,
// which wraps the same.
//
// How a render fills the pixel context (api/zorvan.h) for its formulas:
//   rows, pixelStride   the source view's rows and its channel count (3 or 4)
//   channelOffset       0, 1, 2, 3 for RGBA; 0, 1, 2, 0 for RGB
//   pixelBase           0
//   alphaPlane          null for RGBA; for RGB an opaque plane (every a is 255)
//   maxX, maxY          X - 1, Y - 1 of the source
//   width, height       X, Y
//   centerX, centerY    X / 2, Y / 2
//   dMax, mMax          1024; the integer part of sqrt((X/2)^2 + (Y/2)^2)
//   channelCount        the target's channels: 4 when the source has alpha or
//                       alpha has a formula of its own, else 3
//   t, total            RenderSettings::t and ::total
//   controls            RenderSettings::controls
//   cells               0 at the start of each render
//   x, y, channel       the pixel and channel computed, in full-image
//                       coordinates whatever the region and step
//   red, green, blue    channels 0, 1, 2 of the source pixel
//   current             the source pixel's value of the channel (255 for alpha
//                       of an RGB source)
// Every result is clamped to 0..255 and written to the target, so formulas
// always read the unfiltered source; channels without a formula keep the
// source's value.
//
// Visiting order: a filter whose formulas call rnd, or read a cell that the
// same evaluation may not have written first, is computed on the calling
// thread, rows from the top, each from the left, channels red,
// green, blue, alpha, with one context for the whole render, from the
// image's first row to the region's last sampled row (every pixel on the
// way, since its cells and draws lead up to the ones kept); every other
// filter is spread over threads by rows. Results are byte for byte the same for any number of
// threads, any region and any step: a region or a sampled target holds
// exactly the pixels of the full render there.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "zorvan/render.h"

namespace zv {

// Channels a formula is for, one bit per channel: red is bit 0.
using ChannelSet = unsigned;
inline constexpr ChannelSet kRed = 0b0001, kGreen = 0b0010, kBlue = 0b0100, kAlpha = 0b1000;
inline constexpr ChannelSet kColourChannels = 0b0111;
inline constexpr ChannelSet kAllChannels = 0b1111;

enum class Status : int {
    kOk = ZV_OK,
    kBadFormula = ZV_BAD_FORMULA,
    kBadFilter = ZV_BAD_FILTER,
    kBadArgument = ZV_BAD_ARGUMENT,
    kCancelled = ZV_CANCELLED,
};

// Why a filter cannot be compiled or an image cannot be rendered. what() is
// one line; detail() holds further lines (a formula's line with a caret
// under the fault), each ending in a line feed, or nothing. A formula's
// fault has its line (in the file, or in the text) and column, from 1; a
// filter file's fault has its line and column 0; other errors have 0 for
// both.
class ZV_RENDER_API Error : public std::runtime_error {
   public:
    Error(Status status, const std::string& message, std::string detail = {}, int line = 0,
          int column = 0);
    Status status() const { return status_; }
    const std::string& detail() const { return detail_; }
    int line() const { return line_; }
    int column() const { return column_; }

   private:
    Status status_;
    std::string detail_;
    int line_, column_;
};

// Something in a formula that compiles but may not mean what it says (a
// number beyond 32 bits, which wraps): a message, a caret line, a position,
// as an Error has them.
struct Warning {
    std::string message;
    std::string detail;
    int line = 0, column = 0;
};

// Where a line of a formula's text stands in its file, for messages.
struct SourceLine {
    size_t offset;  // of the line's first byte in the text
    int line;       // in the file, from 1
    int column;     // of that byte in the file's line, from 1
};

// A formula with how messages name it: "formula for red (-r)".
struct FormulaText {
    std::string text;
    std::string label;
    std::string file;               // empty for a formula not from a file
    std::vector<SourceLine> lines;  // for a file's formula, one per line of text
};

// A formula offered for some channels. Where several cover a channel, the
// one of higher priority wins, then the one for fewer channels, then the
// later one.
struct FormulaOffer {
    ChannelSet channels;
    FormulaText formula;
    int priority = 0;
};

// A control as a filter file gives it; low..high is the range a host's
// slider offers (the formula may still be given any value): the file's, or
// 0..255 widened to take in the default.
struct ControlDefault {
    std::string name;  // may be empty
    int32_t value = 0;
    int32_t low = 0, high = 255;
    bool given = false;
};

// A filter file (.zvf): a title, a one-line description, named control
// defaults and formulas for channels.
struct FilterFile {
    std::string title;
    std::string about;
    std::array<ControlDefault, 8> controls;
    std::vector<FormulaOffer> formulas;  // in the file's order, priority 0
};

// The keys of a filter file that take a formula, and the channels each
// one's formula is for; the other keys are title, about and ctl0 to ctl7.
struct FormulaKey {
    std::string_view key;
    ChannelSet channels;
};
inline constexpr FormulaKey kFormulaKeys[] = {
    {"r", kRed}, {"g", kGreen}, {"b", kBlue}, {"a", kAlpha}, {"rgb", kColourChannels},
    {"all", kAllChannels},
};

// Parses the text of a filter file; name is how messages call it. A
// malformed file throws Error(kBadFilter) with "name:line: reason"; the
// formulas are not compiled here.
ZV_RENDER_API FilterFile ParseFilterFile(std::string_view text, const std::string& name);

// The file's control values, 0 for those it does not give.
ZV_RENDER_API std::array<int32_t, 8> ControlValues(const FilterFile& file);

// What a filter's formulas read of a render's settings, so that a host
// shows only the sliders that matter: bit k of controls for control k (a
// control whose number is computed counts as all eight), and whether t or
// total appear.
struct FilterInputs {
    unsigned controls = 0;
    bool t = false, total = false;
};

namespace detail {
struct FilterData;
}

// Compiled formulas, one chosen per channel. Immutable and cheap to copy;
// one filter may render on several threads at once.
class ZV_RENDER_API Filter {
   public:
    // Compiles every offer; the first that does not parse throws
    // Error(kBadFormula) with its position and a caret line.
    explicit Filter(const std::vector<FormulaOffer>& offers);
    // One formula for the channels given.
    Filter(std::string_view formula, ChannelSet channels);
    // The formulas of a filter file.
    explicit Filter(const FilterFile& file);

    bool Computes(int channel) const;
    // Control k's default, name and range from the filter file; k outside
    // 0..7 throws Error(kBadArgument).
    const ControlDefault& Control(int k) const;
    // Where channel k's formula came from: "formula for r in f.zvf".
    std::string Origin(int channel) const;
    // The settings the formulas of the channels computed read.
    FilterInputs Inputs() const;
    // Whether rnd or cells shared between evaluations make the visiting
    // order matter.
    bool VisitingOrder() const;
    // What in the formulas may not mean what it says, in the order written.
    const std::vector<Warning>& Warnings() const;
    // The target's channel count for a source with sourceChannels (3 or 4).
    int32_t TargetChannels(int32_t sourceChannels) const;
    // How channel k of a target with `channels` channels is computed with
    // `threads` threads: "kept", "none", "span, AVX2, 2 threads" (the
    // instruction set of its loops), "per-pixel, 2
    // threads: nested too deeply", "per-pixel, 1 thread in visiting order
    // (rnd, cells)".
    std::string Path(int channel, int32_t channels, unsigned threads) const;

   private:
    friend const detail::FilterData& DataOf(const Filter& filter);
    std::shared_ptr<const detail::FilterData> data_;
};

// 8-bit interleaved images the caller owns: rows top to bottom, `stride`
// bytes apart (at least width × channels), 3 (RGB) or 4 (RGBA) channels.
struct ImageView {
    const uint8_t* pixels = nullptr;
    int32_t width = 0, height = 0, channels = 0;
    size_t stride = 0;
};
struct MutableImageView {
    uint8_t* pixels = nullptr;
    int32_t width = 0, height = 0, channels = 0;
    size_t stride = 0;
};

// A rectangle of the full image; all zero means the whole image.
struct Rect {
    int32_t x = 0, y = 0, width = 0, height = 0;
};

struct RenderSettings {
    std::array<int32_t, 8> controls{};
    int32_t t = 0;
    int32_t total = 0;     // the number of frames less one
    unsigned threads = 0;  // 0: every core
    // Render only this part of the full result, and of it every step-th
    // pixel across and down, from the region's top left: the target is
    // ceil(width / step) × ceil(height / step).
    Rect region;
    int32_t step = 1;
    // Called on the calling thread as rows are done (done of total), and
    // once at the end; returning false cancels the render.
    std::function<bool(int64_t done, int64_t total)> progress;
    // Set from any thread to cancel the render.
    const std::atomic<bool>* cancel = nullptr;
    // rnd's state, carried from one render to the next (an animation whose
    // noise runs on), first set to ZV_RANDOM_START; null starts every render
    // afresh.
    uint32_t* random = nullptr;
};

// Renders filter over source into target, which must be the size that the
// region and step give with filter.TargetChannels(source.channels)
// channels, and share no byte with source. Returns kOk, or kCancelled
// (the target then holds a part of the result). Bad views, regions or steps
// throw Error(kBadArgument).
ZV_RENDER_API Status Render(const Filter& filter, const ImageView& source,
                            const MutableImageView& target, const RenderSettings& settings = {});

// The raw, unclamped value of channel k's formula at (x, y) of source.
ZV_RENDER_API int32_t Evaluate(const Filter& filter, const ImageView& source, int32_t x, int32_t y,
                               int32_t channel, const RenderSettings& settings = {});

}  // namespace zv
