/* SPDX-License-Identifier: MIT */
/* Zorvan's whole-image renderer, for C hosts and language bindings: compile
 * a filter once, render it into 8-bit images the caller owns, on all cores.
 * The C++ header zorvan/render.hpp offers the same and documents how a
 * render fills the pixel context, the visiting order and the exactness of
 * regions and steps; everything said there holds here.
 *
 * Every call that can fail returns a ZvStatus; after a failure,
 * ZvRenderMessage() gives the reason as text on the failing thread. No call
 * keeps a pointer that it was given after it returns. */
#ifndef ZORVAN_RENDER_H
#define ZORVAN_RENDER_H

#include <stddef.h>
#include <stdint.h>

#include "zorvan/render_version.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(ZORVAN_RENDER_STATIC)
#define ZV_RENDER_API
#elif defined(_WIN32)
#if defined(ZORVAN_RENDER_BUILDING)
#define ZV_RENDER_API __declspec(dllexport)
#else
#define ZV_RENDER_API __declspec(dllimport)
#endif
#elif defined(ZORVAN_RENDER_BUILDING)
#define ZV_RENDER_API __attribute__((visibility("default")))
#else
#define ZV_RENDER_API
#endif

typedef enum ZvStatus {
    ZV_OK = 0,
    ZV_BAD_FORMULA = 1,  /* a formula does not parse or nests too deeply */
    ZV_BAD_FILTER = 2,   /* a filter file is malformed */
    ZV_BAD_ARGUMENT = 3, /* a null or inconsistent argument, view, region or step */
    ZV_CANCELLED = 4,    /* the progress callback asked to stop */
    ZV_FAILED = 5        /* out of memory, or another failure the message names */
} ZvStatus;

/* A compiled filter: one formula chosen per channel. */
typedef struct ZvFilter ZvFilter;

/* An 8-bit interleaved image: rows top to bottom, stride bytes apart (at
 * least width * channels), 3 (RGB) or 4 (RGBA) channels. */
typedef struct ZvImage {
    uint8_t* pixels;
    int32_t width;
    int32_t height;
    int32_t channels;
    size_t stride;
} ZvImage;

/* Called on the calling thread as rows are done, and once at the end;
 * a non-zero return cancels the render. */
typedef int (*ZvProgress)(void* user, int64_t done, int64_t total);

/* The state rnd starts from on every thread: where a carried state starts. */
#define ZV_RANDOM_START 1u

/* Zero-initialised options are the defaults: controls 0, frame 0 of 1, every
 * core, the whole image, every pixel, no progress, rnd afresh. */
typedef struct ZvRenderOptions {
    int32_t controls[8];
    int32_t t;
    int32_t total;    /* the number of frames less one */
    uint32_t threads; /* 0: every core */
    /* Render only this part of the full result (all four 0: the whole
     * image), and of it every step-th pixel across and down (0 or 1: every
     * pixel); the target is ceil(width / step) x ceil(height / step). */
    int32_t regionX, regionY, regionWidth, regionHeight;
    int32_t step;
    ZvProgress progress;
    void* user;
    uint32_t* random; /* rnd's state carried across renders, first set to
                         ZV_RANDOM_START; null: every render afresh */
} ZvRenderOptions;

/* Compiles one formula for the channels in the mask (bit 0 red ... bit 3
 * alpha; 15 for every channel). */
ZV_RENDER_API ZvStatus ZvFilterFromFormula(const char* formula, uint32_t channels,
                                           ZvFilter** filter);
/* Compiles the text of a filter file (length bytes); name is how messages
 * call it. */
ZV_RENDER_API ZvStatus ZvFilterFromFile(const char* text, size_t length, const char* name,
                                        ZvFilter** filter);
/* Null is accepted. */
ZV_RENDER_API void ZvFilterFree(ZvFilter* filter);

/* The target's channel count for a source with 3 or 4 channels; 0 for a
 * null filter or another count. */
ZV_RENDER_API int32_t ZvFilterTargetChannels(const ZvFilter* filter, int32_t sourceChannels);
/* Control k's default from the filter file (0 when it gives none) and its
 * name ("" when it has none, null for a null filter or k outside 0..7). */
ZV_RENDER_API int32_t ZvFilterControl(const ZvFilter* filter, int32_t k);
ZV_RENDER_API const char* ZvFilterControlName(const ZvFilter* filter, int32_t k);
/* Control k's range for a slider, low <= high: the file's "(low..high)", or
 * 0..255 widened to take in the default. */
ZV_RENDER_API ZvStatus ZvFilterControlRange(const ZvFilter* filter, int32_t k, int32_t* low,
                                            int32_t* high);

/* What the filter's formulas read of the options: bit k (0..7) for control
 * k (a control whose number is computed sets all eight), ZV_INPUT_T for t,
 * ZV_INPUT_TOTAL for total; 0 for a null filter. A host shows the sliders
 * of these. */
#define ZV_INPUT_T (1u << 8)
#define ZV_INPUT_TOTAL (1u << 9)
ZV_RENDER_API uint32_t ZvFilterInputs(const ZvFilter* filter);

/* Renders filter over source into target; options may be null. */
ZV_RENDER_API ZvStatus ZvRender(const ZvFilter* filter, const ZvImage* source,
                                const ZvImage* target, const ZvRenderOptions* options);

/* The raw, unclamped value of channel's formula at (x, y) of source. */
ZV_RENDER_API ZvStatus ZvEvaluate(const ZvFilter* filter, const ZvImage* source, int32_t x,
                                  int32_t y, int32_t channel, const ZvRenderOptions* options,
                                  int32_t* value);

/* Warning k about the filter's formulas (a number beyond 32 bits, which
 * wraps) with its caret line, as ZvRenderMessage gives errors; null when
 * there is no warning k. Valid until the next call on this thread. */
ZV_RENDER_API const char* ZvFilterWarning(const ZvFilter* filter, int32_t k);

/* Why the last failed call on this thread failed; "" when none has. Valid
 * until the next call on this thread. */
ZV_RENDER_API const char* ZvRenderMessage(void);

/* The version of the library loaded, "MAJOR.MINOR.PATCH". */
ZV_RENDER_API const char* ZvRenderVersion(void);

#ifdef __cplusplus
}
#endif

#endif /* ZORVAN_RENDER_H */
