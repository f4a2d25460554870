// SPDX-License-Identifier: MIT
// The plug-in's entry: the procedure plug-in-zorvan, its arguments, the
// run modes and the last values kept between runs.
#include <libgimp/gimp.h>

#include <string>

#include "plugins/gimp/core/dialog_model.h"
#include "plugins/gimp/host/apply.h"
#include "plugins/gimp/host/dialog.h"

namespace {

constexpr char kProcedure[] = "plug-in-zorvan";

// run-mode, image, drawable, filter, ctl0..ctl7, t, total.
constexpr int kArgs = 14;
constexpr int kFirstSlider = 4;

void Query() {
    static const char* const kControlNames[] = {"ctl0", "ctl1", "ctl2", "ctl3",
                                                "ctl4", "ctl5", "ctl6", "ctl7"};
    static GimpParamDef args[kArgs] = {
        {GIMP_PDB_INT32, const_cast<gchar*>("run-mode"),
         const_cast<gchar*>("The run mode { RUN-INTERACTIVE (0), RUN-NONINTERACTIVE (1) }")},
        {GIMP_PDB_IMAGE, const_cast<gchar*>("image"), const_cast<gchar*>("Input image")},
        {GIMP_PDB_DRAWABLE, const_cast<gchar*>("drawable"), const_cast<gchar*>("Input drawable")},
        {GIMP_PDB_STRING, const_cast<gchar*>("filter"),
         const_cast<gchar*>("Filter-file text, or one formula for every channel")},
    };
    for (int k = 0; k < 8; ++k) {
        args[kFirstSlider + k] = {GIMP_PDB_INT32, const_cast<gchar*>(kControlNames[k]),
                                  const_cast<gchar*>("Control value")};
    }
    args[12] = {GIMP_PDB_INT32, const_cast<gchar*>("t"), const_cast<gchar*>("Frame number")};
    args[13] = {GIMP_PDB_INT32, const_cast<gchar*>("total"),
                const_cast<gchar*>("Number of frames less one")};
    gimp_install_procedure(
        kProcedure, "Run a Zorvan filter: per-pixel formulas with eight controls",
        "Runs a filter (filter-file text or a bare formula) over the selected pixels of the "
        "drawable. Pixels are read and written at 8 bits whatever the precision; grey pixels are "
        "seen as r = g = b = the value and red's result is written back; the formulas see the "
        "whole drawable as the image.",
        "Zorvan", "Zorvan", "2026", "_Formula...", "RGB*, GRAY*", GIMP_PLUGIN, kArgs, 0,
        args, nullptr);
    gimp_plugin_menu_register(kProcedure, "<Image>/Filters/Zorvan");
}

zvgimp::Settings FromArgs(const GimpParam* params) {
    zvgimp::Settings settings;
    settings.filter = params[3].data.d_string ? params[3].data.d_string : "";
    for (int k = 0; k < zvgimp::kSliders; ++k) {
        zvgimp::SetSliderValue(settings, k, params[kFirstSlider + k].data.d_int32);
    }
    return settings;
}

std::optional<zvgimp::Settings> LastValues() {
    const gint size = gimp_get_data_size(kProcedure);
    if (size <= 0) return std::nullopt;
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    gimp_get_data(kProcedure, bytes.data());
    return zvgimp::Restore(bytes.data(), bytes.size());
}

void KeepValues(const zvgimp::Settings& settings) {
    const std::vector<uint8_t> bytes = zvgimp::Store(settings);
    gimp_set_data(kProcedure, bytes.data(), static_cast<guint32>(bytes.size()));
}

// The settings to run with, or nothing when the user closes the dialog.
std::optional<zvgimp::Settings> Chosen(GimpRunMode mode, gint nparams, const GimpParam* params,
                                       gint32 drawable, std::string& refusal) {
    const bool full = nparams == kArgs;
    if (mode == GIMP_RUN_NONINTERACTIVE) {
        if (!full) refusal = "plug-in-zorvan takes 14 arguments";
        return full ? std::optional(FromArgs(params)) : std::nullopt;
    }
    std::optional<zvgimp::Settings> start = LastValues();
    // A script that opens the dialog may give it a filter to start from.
    if (full && params[3].data.d_string && *params[3].data.d_string) start = FromArgs(params);
    if (mode == GIMP_RUN_WITH_LAST_VALS) {
        if (!start) refusal = "Zorvan has no last values yet";
        return start;
    }
    if (refusal = zvgimp::Refusal(drawable); !refusal.empty()) return std::nullopt;
    return zvgimp::RunDialog(drawable, start.value_or(zvgimp::DefaultSettings()));
}

void Run(const gchar*, gint nparams, const GimpParam* params, gint* nreturn,
         GimpParam** returned) {
    static GimpParam values[2];
    static std::string message;
    *nreturn = 1;
    *returned = values;
    values[0].type = GIMP_PDB_STATUS;
    gegl_init(nullptr, nullptr);
    // No tile cache: a run reads each of GIMP's tiles once and writes each
    // once, band by band, so a cache (GIMP hands its own size down, gigabytes)
    // only keeps every tile, and each a fresh allocation; on our virtual
    // machines faulting in those 36 MB of a 12 MP layer took half of the
    // read. Without it GEGL reuses the memory of the tiles it has copied out
    // (bench/README.md).
    g_object_set(gegl_config(), "tile-cache-size", guint64{0}, nullptr);
    const auto mode = static_cast<GimpRunMode>(params[0].data.d_int32);
    const gint32 drawable = params[2].data.d_drawable;
    std::string refusal;
    std::optional<zvgimp::Settings> settings = Chosen(mode, nparams, params, drawable, refusal);
    zvgimp::Outcome outcome;
    if (!settings) {
        outcome = refusal.empty() ? zvgimp::Outcome{GIMP_PDB_CANCEL, {}}
                                  : zvgimp::Outcome{GIMP_PDB_EXECUTION_ERROR, refusal};
    } else {
        outcome = zvgimp::Apply(drawable, *settings);
        if (outcome.status == GIMP_PDB_SUCCESS) KeepValues(*settings);
    }
    if (outcome.status == GIMP_PDB_SUCCESS && mode != GIMP_RUN_NONINTERACTIVE) {
        gimp_displays_flush();
    }
    if (!outcome.message.empty()) {
        if (mode == GIMP_RUN_INTERACTIVE) g_message("%s", outcome.message.c_str());
        message = outcome.message;
        *nreturn = 2;
        values[1].type = GIMP_PDB_STRING;
        values[1].data.d_string = message.data();
    }
    values[0].data.d_status = outcome.status;
}

const GimpPlugInInfo kInfo = {nullptr, nullptr, Query, Run};

}  // namespace

int main(int argc, char** argv) { return gimp_main(&kInfo, argc, argv); }
