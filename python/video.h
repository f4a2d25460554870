/* SPDX-License-Identifier: MIT */
// zorvan.video: video files filtered frame by frame through the video
// library, as the command line filters them.
#pragma once

#include <pybind11/pybind11.h>

void DefineVideo(pybind11::module_& m);
