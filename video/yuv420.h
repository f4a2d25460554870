/* SPDX-License-Identifier: MIT */
// 8-bit RGB(A) to YUV 4:2:0 and back: the pair every frame of H.264 or VP9
// goes through, in vector loops of the library's own; libswscale converts
// one way only on its general, scaling path, and the other at twice the
// cost.
#pragma once

#include "video/av.h"

namespace zv::video {

// from (RGB24 or RGBA) into to (YUV420P or YUVA420P, the same size) in the
// matrix and range of tags, BT.601 and limited range where they say
// nothing; luma per pixel, chroma of each 2 x 2 block's mean. False, with
// nothing written, for another pair of formats or a matrix it lacks.
bool RgbToYuv420(const AVFrame& from, AVFrame& to, const ColourTags& tags);

// from (YUV420P, YUVJ420P or YUVA420P) into to (RGB24 or RGBA, the same
// size), each chroma sample serving its 2 x 2 block; alpha from the alpha
// plane, or opaque. False, as above, for other formats.
bool Yuv420ToRgb(const AVFrame& from, AVFrame& to, const ColourTags& tags);

}  // namespace zv::video
