// SPDX-License-Identifier: MIT
#include "plugins/gimp/host/apply.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "plugins/gimp/host/gegl_pixels.h"
#include "plugins/gimp/host/timing.h"

namespace zvgimp {

namespace {

// Where each stage of a run starts on the progress bar, by its share of an
// apply's time (bench/README.md): reading tiles, rendering, writing them.
constexpr double kReadFrom = 0, kRenderFrom = 0.2, kWriteFrom = 0.5;

// GIMP's progress bar over the run's stages, moved each whole percent. A
// user's cancel there ends the plug-in's process at once (GIMP kills it),
// so nothing here asks whether to go on: the image changes only in the
// last stage, through the shadow buffer and its merge.
class RunProgress {
   public:
    RunProgress() { gimp_progress_init("Zorvan"); }
    RunProgress(const RunProgress&) = delete;
    RunProgress& operator=(const RunProgress&) = delete;

    // Starts the stage that spans [from, to) of the bar.
    void Stage(double from, double to) {
        from_ = from;
        span_ = to - from;
    }
    void Report(int64_t done, int64_t total) {
        const double part = total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 1;
        const int percent = static_cast<int>((from_ + span_ * part) * 100);
        if (percent == shown_) return;
        shown_ = percent;
        gimp_progress_update(percent / 100.0);
    }
    // The time since the last mark was spent on `what`: printed at the end
    // with Timing().
    void Mark(const char* what) {
        times_ += (times_.empty() ? "zorvan: " : ", ") + std::string(what) + " " +
                  std::to_string(std::lround(MillisSince(start_))) + " ms";
        start_ = Clock::now();
    }
    ~RunProgress() {
        gimp_progress_end();
        if (Timing()) std::fprintf(stderr, "%s\n", times_.c_str());
    }

   private:
    Clock::time_point start_ = Clock::now();
    double from_ = 0, span_ = 0;
    int shown_ = -1;
    std::string times_;
};

Outcome Failed(std::string message) { return {GIMP_PDB_EXECUTION_ERROR, std::move(message)}; }

// One undo step; merging blends by the selection, as GIMP's own filters do.
void Write(gint32 drawable, const Babl* format, const zv::Rect& rect,
           const Bytes& bytes, RunProgress& progress) {
    const gint32 image = gimp_item_get_image(drawable);
    gimp_image_undo_group_start(image);
    GeglBuffer* shadow = gimp_drawable_get_shadow_buffer(drawable);
    WritePixels(shadow, format, rect, bytes,
                [&progress](int32_t done, int32_t all) { progress.Report(done, all); });
    g_object_unref(shadow);
    progress.Mark("write");
    gimp_drawable_merge_shadow(drawable, TRUE);
    gimp_drawable_update(drawable, rect.x, rect.y, rect.width, rect.height);
    gimp_image_undo_group_end(image);
    progress.Mark("merge");
}

}  // namespace

std::string Refusal(gint32 drawable) {
    if (!gimp_item_is_drawable(drawable)) return "Zorvan needs a layer, layer mask or channel";
    if (gimp_drawable_is_indexed(drawable)) {
        return "Zorvan filters RGB and grey images; convert an indexed image first (Image > "
               "Mode > RGB)";
    }
    return CheckSize(gimp_drawable_width(drawable), gimp_drawable_height(drawable));
}

const Babl* FilterFormat(gint32 drawable) {
    return EightBitFormat(gimp_drawable_get_format(drawable), gimp_item_is_layer(drawable));
}

Pixels ReadDrawable(gint32 drawable, const Babl* format, const RowsDone& done) {
    GeglBuffer* buffer = gimp_drawable_get_buffer(drawable);
    Pixels pixels = ReadPixels(buffer, format, done);
    g_object_unref(buffer);
    return pixels;
}

Outcome Apply(gint32 drawable, const Settings& settings) {
    if (std::string why = Refusal(drawable); !why.empty()) return Failed(why);
    CompiledFilter compiled;
    try {
        compiled = CompileFilter(settings.filter);
    } catch (const zv::Error& e) {
        return Failed(e.what());
    }
    zv::Rect rect;
    if (!gimp_drawable_mask_intersect(drawable, &rect.x, &rect.y, &rect.width, &rect.height)) {
        return {};  // nothing selected on this drawable
    }
    const Babl* format = FilterFormat(drawable);
    RunProgress progress;
    const auto report = [&progress](int64_t done, int64_t total) {
        progress.Report(done, total);
        return true;
    };
    progress.Stage(kReadFrom, kRenderFrom);
    const RenderSource source(ReadDrawable(drawable, format, report));
    progress.Mark("read");
    progress.Stage(kRenderFrom, kWriteFrom);
    zv::RenderSettings render = settings.ForRender();
    render.progress = report;
    Bytes out;
    try {
        RenderRect(*compiled.filter, source, rect, 1, render, out);
    } catch (const zv::Error& e) {
        return Failed(e.what());
    }
    progress.Mark("render");
    progress.Stage(kWriteFrom, 1);
    Write(drawable, format, rect, out, progress);
    return {};
}

}  // namespace zvgimp
