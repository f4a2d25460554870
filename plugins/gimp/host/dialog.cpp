// SPDX-License-Identifier: MIT
#include "plugins/gimp/host/dialog.h"

#include <libgimp/gimpui.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "plugins/gimp/core/dialog_model.h"
#include "plugins/gimp/core/preview.h"
#include "plugins/gimp/host/apply.h"
#include "plugins/gimp/host/timing.h"

namespace zvgimp {

namespace {

constexpr gint kPreviewSide = 800;

constexpr char kHelp[] =
    "Type a filter file (\"rgb: 255 - c\", with title, about and ctl0..ctl7 lines) or one "
    "formula for every channel. Pixels are read and written at 8 bits whatever the image's "
    "precision. A grey pixel is seen as r = g = b = its value, and red's result is written "
    "back. The formulas see the whole drawable as the image (X, Y and the centre), whatever "
    "is selected; only selected pixels change.";

class Dialog {
   public:
    Dialog(gint32 drawable, const Settings& start);
    ~Dialog();
    std::optional<Settings> Run();

   private:
    GtkWidget* FilterBox();
    GtkWidget* SliderTable();
    void ShowSliders();
    void TextChanged();
    void SliderMoved(int slider);
    void RequestPreview();
    void ShowFrame();
    void FrameDrawn();
    void FrameOnScreen();
    void PickExample();
    void Load();
    void Save();
    std::string Text() const;
    void SetText(const std::string& text);
    std::string ChooseFile(GtkFileChooserAction action);

    DialogModel model_;
    gint32 drawable_;
    std::unique_ptr<PreviewScheduler> preview_;
    GtkWidget* dialog_;
    GtkWidget* zoom_;             // GIMP's zoom preview: what it shows is rendered
    Clock::time_point changed_;   // of the last change, for Timing()
    bool drawn_ = false;          // a frame waits for the screen
    Clock::time_point drawnFor_;  // the change whose frame is being drawn
    GtkTextBuffer* buffer_;
    GtkWidget* error_;
    GtkWidget* examples_;
    GtkWidget* rows_[kSliders];
    GtkWidget* labels_[kSliders];
    GtkWidget* spins_[kSliders];
    GtkAdjustment* adjustments_[kSliders];
    bool mirroring_ = false;  // sliders set from the model, not the user
};

// Callbacks: user data is the Dialog, or the slider's number via a table.
struct SliderRef {
    Dialog* dialog;
    int slider;
};

// What the zoom preview shows now, within the drawable.
PreviewView Shown(GimpPreview* preview, gint32 drawable) {
    PreviewView view;
    gimp_preview_get_size(preview, &view.width, &view.height);
    gint left, top, right, bottom;
    gimp_preview_untransform(preview, 0, 0, &left, &top);
    gimp_preview_untransform(preview, view.width, view.height, &right, &bottom);
    const gint width = gimp_drawable_width(drawable), height = gimp_drawable_height(drawable);
    left = std::clamp(left, 0, width);
    top = std::clamp(top, 0, height);
    view.region = {left, top, std::clamp(right, left, width) - left,
                   std::clamp(bottom, top, height) - top};
    return view;
}

// GIMP's zoom preview shows at most 200 pixels across, zoomed out, and
// 512 when the dialog grows; this one shows up to kPreviewSide, in the
// shape of what it shows (the selection's bounds, as GIMP's own).
void Enlarge(GimpPreview* preview, gint32 drawable) {
    const std::string size = std::to_string(kPreviewSide);
    gtk_rc_parse_string(("style \"zorvan-preview\" { GimpPreview::size = " + size +
                         " }\nwidget \"*.zorvan-preview\" style \"zorvan-preview\"")
                            .c_str());
    gtk_widget_set_name(GTK_WIDGET(preview), "zorvan-preview");
    gint x, y, width = 1, height = 1;
    gimp_drawable_mask_intersect(drawable, &x, &y, &width, &height);
    const int64_t longest = std::max({width, height, 1}), side = std::min<int64_t>(longest, kPreviewSide);
    gimp_preview_set_bounds(preview, 0, 0, static_cast<gint>(std::max<int64_t>(1, width * side / longest)),
                            static_cast<gint>(std::max<int64_t>(1, height * side / longest)));
}

Dialog::Dialog(gint32 drawable, const Settings& start) : model_(start), drawable_(drawable) {
    auto source =
        std::make_shared<const RenderSource>(ReadDrawable(drawable, FilterFormat(drawable)));
    preview_ = std::make_unique<PreviewScheduler>(source, [this] {
        g_idle_add(
            [](gpointer self) {
                static_cast<Dialog*>(self)->ShowFrame();
                return G_SOURCE_REMOVE;
            },
            this);
    });

    // No help page of GIMP's covers it: the help is the dialog's own text.
    dialog_ = gimp_dialog_new("Zorvan", "zorvan", nullptr, GtkDialogFlags(0), nullptr, nullptr,
                              "_Cancel", GTK_RESPONSE_CANCEL, "_OK", GTK_RESPONSE_OK, nullptr);
    GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(dialog_));
    GtkWidget* columns = gtk_hbox_new(FALSE, 12);
    gtk_container_set_border_width(GTK_CONTAINER(columns), 12);
    gtk_box_pack_start(GTK_BOX(content), columns, TRUE, TRUE, 0);

    zoom_ = gimp_zoom_preview_new_from_drawable_id(drawable);
    Enlarge(GIMP_PREVIEW(zoom_), drawable);
    g_signal_connect_swapped(zoom_, "invalidated", G_CALLBACK(+[](Dialog* d) {
                                 d->RequestPreview();
                             }),
                             this);
    g_signal_connect_swapped(gimp_preview_get_area(GIMP_PREVIEW(zoom_)), "expose-event",
                             G_CALLBACK(+[](Dialog* d) {
                                 d->FrameDrawn();
                                 return FALSE;
                             }),
                             this);
    gtk_box_pack_start(GTK_BOX(columns), zoom_, TRUE, TRUE, 0);

    GtkWidget* side = gtk_vbox_new(FALSE, 6);
    gtk_widget_set_size_request(side, 420, -1);
    gtk_box_pack_start(GTK_BOX(columns), side, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(side), FilterBox(), TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(side), SliderTable(), FALSE, FALSE, 0);
    GtkWidget* help = gtk_label_new(kHelp);
    gtk_label_set_line_wrap(GTK_LABEL(help), TRUE);
    gtk_widget_set_size_request(help, 420, -1);
    gtk_misc_set_alignment(GTK_MISC(help), 0, 0);
    gtk_box_pack_start(GTK_BOX(side), help, FALSE, FALSE, 0);

    gtk_widget_show_all(dialog_);
    ShowSliders();
    RequestPreview();
}

Dialog::~Dialog() {
    preview_.reset();  // no frame arrives after this
    while (g_source_remove_by_user_data(this)) {
    }
    gtk_widget_destroy(dialog_);
}

GtkWidget* Dialog::FilterBox() {
    GtkWidget* box = gtk_vbox_new(FALSE, 6);
    GtkWidget* buttons = gtk_hbox_new(FALSE, 6);
    examples_ = gtk_combo_box_text_new();
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(examples_), "Examples...");
    for (const std::string& name : ExampleNames()) {
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(examples_), name.c_str());
    }
    gtk_combo_box_set_active(GTK_COMBO_BOX(examples_), 0);
    g_signal_connect_swapped(examples_, "changed",
                             G_CALLBACK(+[](Dialog* d) { d->PickExample(); }), this);
    gtk_box_pack_start(GTK_BOX(buttons), examples_, TRUE, TRUE, 0);
    GtkWidget* load = gtk_button_new_with_mnemonic("_Load .zvf...");
    g_signal_connect_swapped(load, "clicked", G_CALLBACK(+[](Dialog* d) { d->Load(); }), this);
    gtk_box_pack_start(GTK_BOX(buttons), load, FALSE, FALSE, 0);
    GtkWidget* save = gtk_button_new_with_mnemonic("_Save .zvf...");
    g_signal_connect_swapped(save, "clicked", G_CALLBACK(+[](Dialog* d) { d->Save(); }), this);
    gtk_box_pack_start(GTK_BOX(buttons), save, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), buttons, FALSE, FALSE, 0);

    GtkWidget* text = gtk_text_view_new();
    buffer_ = gtk_text_view_get_buffer(GTK_TEXT_VIEW(text));
    gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(text), GTK_WRAP_WORD_CHAR);  // no line cut off
    gtk_text_buffer_set_text(buffer_, model_.Current().filter.c_str(), -1);
    PangoFontDescription* mono = pango_font_description_from_string("Monospace 9");
    gtk_widget_modify_font(text, mono);
    g_signal_connect_swapped(buffer_, "changed", G_CALLBACK(+[](Dialog* d) { d->TextChanged(); }),
                             this);
    GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_NEVER,
                                   GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scrolled), GTK_SHADOW_IN);
    gtk_widget_set_size_request(scrolled, -1, 160);
    gtk_container_add(GTK_CONTAINER(scrolled), text);
    gtk_box_pack_start(GTK_BOX(box), scrolled, TRUE, TRUE, 0);

    error_ = gtk_label_new(nullptr);
    gtk_misc_set_alignment(GTK_MISC(error_), 0, 0);
    gtk_label_set_selectable(GTK_LABEL(error_), TRUE);
    gtk_widget_modify_font(error_, mono);  // the caret line stands under the fault
    pango_font_description_free(mono);
    gtk_box_pack_start(GTK_BOX(box), error_, FALSE, FALSE, 0);
    return box;
}

GtkWidget* Dialog::SliderTable() {
    static SliderRef refs[kSliders];
    GtkWidget* box = gtk_vbox_new(FALSE, 2);
    const std::array<int32_t, kSliders> values = SliderValues(model_.Current());
    for (int k = 0; k < kSliders; ++k) {
        adjustments_[k] = GTK_ADJUSTMENT(gtk_adjustment_new(values[k], 0, 255, 1, 10, 0));
        rows_[k] = gtk_hbox_new(FALSE, 6);
        labels_[k] = gtk_label_new(nullptr);
        gtk_misc_set_alignment(GTK_MISC(labels_[k]), 0, 0.5);
        gtk_widget_set_size_request(labels_[k], 130, -1);
        GtkWidget* scale = gtk_hscale_new(adjustments_[k]);
        gtk_scale_set_draw_value(GTK_SCALE(scale), FALSE);
        spins_[k] = gtk_spin_button_new(adjustments_[k], 1, 0);
        gtk_box_pack_start(GTK_BOX(rows_[k]), labels_[k], FALSE, FALSE, 0);
        gtk_box_pack_start(GTK_BOX(rows_[k]), scale, TRUE, TRUE, 0);
        gtk_box_pack_start(GTK_BOX(rows_[k]), spins_[k], FALSE, FALSE, 0);
        gtk_box_pack_start(GTK_BOX(box), rows_[k], FALSE, FALSE, 0);
        refs[k] = {this, k};
        g_signal_connect(adjustments_[k], "value-changed",
                         G_CALLBACK(+[](GtkAdjustment*, SliderRef* ref) {
                             ref->dialog->SliderMoved(ref->slider);
                         }),
                         &refs[k]);
    }
    return box;
}

// The sliders of the last good filter: named, ranged and shown as it says.
void Dialog::ShowSliders() {
    mirroring_ = true;
    const std::array<Slider, kSliders> sliders = model_.Sliders();
    const std::array<int32_t, kSliders> values = SliderValues(model_.Current());
    bool focused = false;
    for (int k = 0; k < kSliders; ++k) {
        const Slider& s = sliders[static_cast<size_t>(k)];
        gtk_label_set_text(GTK_LABEL(labels_[k]), s.label.c_str());
        const double page = std::max(1.0, (s.high - s.low) / 10.0);
        gtk_adjustment_configure(adjustments_[k], values[static_cast<size_t>(k)], s.low, s.high,
                                 1, page, 0);
        gtk_widget_set_visible(rows_[k], s.shown);
        // The first shown slider takes the keys, so arrows move it at once.
        if (s.shown && !focused) gtk_widget_grab_focus(spins_[k]);
        focused = focused || s.shown;
    }
    mirroring_ = false;
}

void Dialog::TextChanged() {
    const bool ok = model_.SetText(Text());
    gtk_label_set_text(GTK_LABEL(error_), model_.Error().c_str());
    if (!ok) return;  // the last good preview stays
    ShowSliders();
    RequestPreview();
}

void Dialog::SliderMoved(int slider) {
    if (mirroring_) return;
    model_.SetSlider(slider, static_cast<int32_t>(gtk_adjustment_get_value(adjustments_[slider])));
    RequestPreview();
}

// Straight to the preview's thread: GimpPreview's own invalidate waits
// 200 ms for more changes, too long behind a slider.
void Dialog::RequestPreview() {
    GimpPreview* preview = GIMP_PREVIEW(zoom_);
    const CompiledFilter* compiled = model_.Compiled();
    const PreviewView view = Shown(preview, drawable_);
    if (!compiled || !gimp_preview_get_update(preview) || view.region.width == 0 ||
        view.region.height == 0) {
        return;
    }
    changed_ = Clock::now();
    drawn_ = false;  // a frame on its way to the screen is stale now
    preview_->Request(compiled->filter, model_.Current().ForRender(), view);
}

void Dialog::ShowFrame() {
    std::optional<Frame> frame = preview_->Take();
    gint width, height;
    gimp_preview_get_size(GIMP_PREVIEW(zoom_), &width, &height);
    // A frame of another size is stale: the preview's request for its new size follows.
    if (!frame || frame->width != width || frame->height != height) return;
    gimp_preview_draw_buffer(GIMP_PREVIEW(zoom_), frame->bytes.data(), width * frame->channels);
    drawn_ = true;
}

// The preview's area is being drawn. Its expose handlers run before GDK
// copies the paint to the window, so the frame is on the screen only once
// that copy is done and the X server has handled it: an idle after the
// expose, and a round trip to the server. There a frame's latency ends.
void Dialog::FrameDrawn() {
    if (!drawn_ || !Timing()) return;
    drawn_ = false;
    drawnFor_ = changed_;
    g_idle_add(
        [](gpointer self) {
            static_cast<Dialog*>(self)->FrameOnScreen();
            return G_SOURCE_REMOVE;
        },
        this);
}

void Dialog::FrameOnScreen() {
    if (drawnFor_ != changed_) return;  // a newer change came: this frame is not its
    gdk_flush();
    GtkWidget* area = gimp_preview_get_area(GIMP_PREVIEW(zoom_));
    GtkAllocation box;
    gtk_widget_get_allocation(area, &box);
    gint x, y;
    gdk_window_get_origin(gtk_widget_get_window(area), &x, &y);
    std::fprintf(stderr, "zorvan: preview drawn %.0f ms after the change, area %d %d %d %d\n",
                 MillisSince(changed_), x + box.x, y + box.y, box.width, box.height);
}

void Dialog::PickExample() {
    const int index = gtk_combo_box_get_active(GTK_COMBO_BOX(examples_));
    if (index <= 0) return;
    SetText(ExampleText(ExampleNames()[static_cast<size_t>(index - 1)]));
}

std::string Dialog::ChooseFile(GtkFileChooserAction action) {
    const bool saving = action == GTK_FILE_CHOOSER_ACTION_SAVE;
    GtkWidget* chooser = gtk_file_chooser_dialog_new(
        saving ? "Save filter" : "Load filter", GTK_WINDOW(dialog_), action, "_Cancel",
        GTK_RESPONSE_CANCEL, saving ? "_Save" : "_Open", GTK_RESPONSE_ACCEPT, nullptr);
    gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(chooser), TRUE);
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, "Zorvan filters (*.zvf)");
    gtk_file_filter_add_pattern(filter, "*.zvf");
    gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(chooser), filter);
    std::string path;
    if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser));
        path = name;
        g_free(name);
    }
    gtk_widget_destroy(chooser);
    return path;
}

void Dialog::Load() {
    const std::string path = ChooseFile(GTK_FILE_CHOOSER_ACTION_OPEN);
    if (path.empty()) return;
    gchar* contents = nullptr;
    gsize length = 0;
    GError* error = nullptr;
    if (!g_file_get_contents(path.c_str(), &contents, &length, &error)) {
        gtk_label_set_text(GTK_LABEL(error_), error->message);
        g_error_free(error);
        return;
    }
    const std::string text(contents, length);
    g_free(contents);
    if (const std::string why = Unloadable(text); !why.empty()) {
        gtk_label_set_text(GTK_LABEL(error_), (path + ": " + why).c_str());
    } else {
        SetText(text);
    }
}

// Written whole or not at all: GLib writes a temporary file and renames it.
void Dialog::Save() {
    const std::string path = ChooseFile(GTK_FILE_CHOOSER_ACTION_SAVE);
    if (path.empty()) return;
    const std::string text = Text();
    GError* error = nullptr;
    if (!g_file_set_contents(path.c_str(), text.data(), static_cast<gssize>(text.size()), &error)) {
        gtk_label_set_text(GTK_LABEL(error_), error->message);
        g_error_free(error);
    }
}

std::string Dialog::Text() const {
    GtkTextIter start, end;
    gtk_text_buffer_get_bounds(buffer_, &start, &end);
    gchar* text = gtk_text_buffer_get_text(buffer_, &start, &end, FALSE);
    std::string result = text;
    g_free(text);
    return result;
}

void Dialog::SetText(const std::string& text) { gtk_text_buffer_set_text(buffer_, text.c_str(), -1); }

// OK with a filter that does not compile keeps the dialog open on its error.
std::optional<Settings> Dialog::Run() {
    for (;;) {
        if (gimp_dialog_run(GIMP_DIALOG(dialog_)) != GTK_RESPONSE_OK) return std::nullopt;
        if (model_.Error().empty()) return model_.Current();
    }
}

}  // namespace

std::optional<Settings> RunDialog(gint32 drawable, const Settings& start) {
    gimp_ui_init("zorvan", FALSE);
    Dialog dialog(drawable, start);
    return dialog.Run();
}

}  // namespace zvgimp
