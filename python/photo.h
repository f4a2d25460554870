/* SPDX-License-Identifier: MIT */
// zorvan.read and zorvan.write: photo files through the photo library,
// with orientation applied and metadata kept as the command line does.
#pragma once

#include <pybind11/pybind11.h>

void DefinePhoto(pybind11::module_& m);
