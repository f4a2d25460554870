// SPDX-License-Identifier: MIT
#include "plugins/gimp/host/apply.h"

#include "plugins/gimp/host/gegl_pixels.h"

namespace zvgimp {

namespace {

// GIMP's progress bar, updated each whole percent; false once the user
// cancels.
bool Progress(int64_t done, int64_t total, int& shown) {
    const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
    if (percent == shown) return true;
    shown = percent;
    return gimp_progress_update(percent / 100.0) != FALSE;
}

Outcome Failed(std::string message) { return {GIMP_PDB_EXECUTION_ERROR, std::move(message)}; }

void Write(gint32 drawable, const Babl* format, const zv::Rect& rect,
           const std::vector<uint8_t>& bytes) {
    GeglBuffer* shadow = gimp_drawable_get_shadow_buffer(drawable);
    WritePixels(shadow, format, rect, bytes);
    g_object_unref(shadow);
    // Merging blends by the selection, as GIMP's own filters do.
    gimp_drawable_merge_shadow(drawable, TRUE);
    gimp_drawable_update(drawable, rect.x, rect.y, rect.width, rect.height);
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
    const Babl* format = EightBitFormat(gimp_drawable_get_format(drawable));
    GeglBuffer* buffer = gimp_drawable_get_buffer(drawable);
    Pixels pixels = ReadPixels(buffer, format);
    g_object_unref(buffer);
    const int channels = pixels.channels;
    const RenderSource source(std::move(pixels));

    gimp_progress_init("Zorvan");
    int shown = -1;
    zv::RenderSettings render = settings.ForRender();
    render.progress = [&shown](int64_t done, int64_t total) {
        return Progress(done, total, shown);
    };
    const gint32 image = gimp_item_get_image(drawable);
    zv::Status status;
    try {
        status = RenderThenWrite(*compiled.filter, source, channels, rect, render,
                                 [&](const std::vector<uint8_t>& out) {
                                     gimp_image_undo_group_start(image);
                                     Write(drawable, format, rect, out);
                                     gimp_image_undo_group_end(image);
                                 });
    } catch (const zv::Error& e) {
        gimp_progress_end();
        return Failed(e.what());
    }
    gimp_progress_end();
    if (status == zv::Status::kCancelled) return {GIMP_PDB_CANCEL, "cancelled"};
    return {};
}

}  // namespace zvgimp
