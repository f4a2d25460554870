/* SPDX-License-Identifier: MIT */
// 8-bit RGB or RGBA made YUV 4:2:0 (with alpha for YUVA): the pair every
// frame bound for H.264 or VP9 goes through, which libswscale converts
// only on its general, scaling path at several times the cost.
#pragma once

#include "video/av.h"

namespace zv::video {

// from (RGB24 or RGBA) into to (YUV420P or YUVA420P, the same size) in the
// matrix and range of tags, BT.601 and limited range where they say
// nothing; luma per pixel, chroma of each 2 x 2 block's mean. False, with
// nothing written, for another pair of formats or a matrix it lacks.
bool RgbToYuv420(const AVFrame& from, AVFrame& to, const ColourTags& tags);

}  // namespace zv::video
