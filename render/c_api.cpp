// SPDX-License-Identifier: MIT
// The C interface: the C++ one behind opaque handles, with every exception
// turned into a status and a message kept for the calling thread.
#include <new>
#include <string>

#include "render/filter.h"
#include "zorvan/render.h"
#include "zorvan/render.hpp"

struct ZvFilter {
    zv::Filter filter;
};

namespace {

thread_local std::string lastMessage, lastWarning;

// A message and its caret lines as one text without a final line feed.
std::string Joined(const std::string& message, const std::string& detail) {
    return detail.empty() ? message : message + "\n" + detail.substr(0, detail.size() - 1);
}

ZvStatus Fail(ZvStatus status, std::string message) {
    lastMessage = std::move(message);
    return status;
}

// Runs body, turning what it throws into a status.
template <class Body>
ZvStatus Guard(const Body& body) {
    try {
        body();
        return ZV_OK;
    } catch (const zv::Error& e) {
        return Fail(static_cast<ZvStatus>(e.status()), Joined(e.what(), e.detail()));
    } catch (const std::bad_alloc&) {
        return Fail(ZV_FAILED, "out of memory");
    } catch (const std::exception& e) {
        return Fail(ZV_FAILED, e.what());
    }
}

ZvStatus Null(const char* what) {
    return Fail(ZV_BAD_ARGUMENT, std::string(what) + ": null");
}

zv::ImageView Source(const ZvImage& i) {
    return {i.pixels, i.width, i.height, i.channels, i.stride};
}

zv::RenderSettings Settings(const ZvRenderOptions* o, bool& cancelled) {
    zv::RenderSettings s;
    if (!o) return s;
    for (size_t k = 0; k < s.controls.size(); ++k) s.controls[k] = o->controls[k];
    s.t = o->t;
    s.total = o->total;
    s.threads = o->threads;
    s.region = {o->regionX, o->regionY, o->regionWidth, o->regionHeight};
    s.step = o->step == 0 ? 1 : o->step;
    s.random = o->random;
    if (o->progress) {
        s.progress = [o, &cancelled](int64_t done, int64_t total) {
            cancelled = cancelled || o->progress(o->user, done, total) != 0;
            return !cancelled;
        };
    }
    return s;
}

ZvStatus Made(zv::Filter&& made, ZvFilter** filter) {
    *filter = new ZvFilter{std::move(made)};
    return ZV_OK;
}

}  // namespace

extern "C" {

ZvStatus ZvFilterFromFormula(const char* formula, uint32_t channels, ZvFilter** filter) {
    if (!filter) return Null("filter");
    *filter = nullptr;
    if (!formula) return Null("formula");
    if (channels == 0 || channels > zv::kAllChannels) {
        return Fail(ZV_BAD_ARGUMENT,
                    "channels: " + std::to_string(channels) + " is no set of channels (1 to 15)");
    }
    return Guard([&] { Made(zv::Filter(formula, channels), filter); });
}

ZvStatus ZvFilterFromFile(const char* text, size_t length, const char* name, ZvFilter** filter) {
    if (!filter) return Null("filter");
    *filter = nullptr;
    if (!text && length > 0) return Null("text");
    return Guard([&] {
        const zv::FilterFile file =
            zv::ParseFilterFile(std::string_view(text ? text : "", length), name ? name : "filter");
        Made(zv::Filter(file), filter);
    });
}

void ZvFilterFree(ZvFilter* filter) {
    delete filter;
}

int32_t ZvFilterTargetChannels(const ZvFilter* filter, int32_t sourceChannels) {
    if (!filter || (sourceChannels != 3 && sourceChannels != 4)) return 0;
    return filter->filter.TargetChannels(sourceChannels);
}

int32_t ZvFilterControl(const ZvFilter* filter, int32_t k) {
    if (!filter || k < 0 || k > 7) return 0;
    return DataOf(filter->filter).controls[k].value;
}

const char* ZvFilterControlName(const ZvFilter* filter, int32_t k) {
    if (!filter || k < 0 || k > 7) return nullptr;
    return DataOf(filter->filter).controls[k].name.c_str();
}

ZvStatus ZvFilterControlRange(const ZvFilter* filter, int32_t k, int32_t* low, int32_t* high) {
    if (!filter) return Null("filter");
    if (!low || !high) return Null(low ? "high" : "low");
    return Guard([&] {
        const zv::ControlDefault& control = filter->filter.Control(k);
        *low = control.low;
        *high = control.high;
    });
}

uint32_t ZvFilterInputs(const ZvFilter* filter) {
    if (!filter) return 0;
    const zv::FilterInputs in = filter->filter.Inputs();
    return in.controls | (in.t ? ZV_INPUT_T : 0) | (in.total ? ZV_INPUT_TOTAL : 0);
}

ZvStatus ZvRender(const ZvFilter* filter, const ZvImage* source, const ZvImage* target,
                  const ZvRenderOptions* options) {
    if (!filter) return Null("filter");
    if (!source) return Null("source");
    if (!target) return Null("target");
    zv::Status outcome = zv::Status::kOk;
    bool cancelled = false;
    const ZvStatus status = Guard([&] {
        const zv::RenderSettings settings = Settings(options, cancelled);
        const zv::MutableImageView to{target->pixels, target->width, target->height,
                                      target->channels, target->stride};
        outcome = zv::Render(filter->filter, Source(*source), to, settings);
    });
    if (status != ZV_OK) return status;
    if (outcome == zv::Status::kCancelled) return Fail(ZV_CANCELLED, "the render was cancelled");
    return ZV_OK;
}

ZvStatus ZvEvaluate(const ZvFilter* filter, const ZvImage* source, int32_t x, int32_t y,
                    int32_t channel, const ZvRenderOptions* options, int32_t* value) {
    if (!filter) return Null("filter");
    if (!source) return Null("source");
    if (!value) return Null("value");
    bool cancelled = false;
    return Guard([&] {
        *value = zv::Evaluate(filter->filter, Source(*source), x, y, channel,
                              Settings(options, cancelled));
    });
}

const char* ZvFilterWarning(const ZvFilter* filter, int32_t k) {
    if (!filter || k < 0) return nullptr;
    const std::vector<zv::Warning>& warnings = filter->filter.Warnings();
    if (static_cast<size_t>(k) >= warnings.size()) return nullptr;
    lastWarning = Joined(warnings[k].message, warnings[k].detail);
    return lastWarning.c_str();
}

const char* ZvRenderMessage(void) {
    return lastMessage.c_str();
}

const char* ZvRenderVersion(void) {
    return ZV_RENDER_VERSION;
}

}  // extern "C"
