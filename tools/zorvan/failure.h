/* SPDX-License-Identifier: MIT */
// How the tool reports a failure: a message, an exit status and, for a
// formula that does not parse, the excerpt with a caret under the fault.
#pragma once

#include "photo/failure.h"
#include "zorvan/render.hpp"

namespace zv::cli {

// The photo library's failures are the tool's: one message, one exit status.
using photo::detail::FailFile;
using photo::detail::FailIo;
using photo::detail::Failure;
using photo::detail::kExitIo;
using photo::detail::kExitOk;
using photo::detail::kExitUsage;
using photo::detail::OneLine;
using photo::detail::Warn;

// Prints failure on stderr: "zorvan: message" and its detail.
void Report(const Failure& failure);

// Prints the filter's warnings on stderr: "zorvan: warning: message" and
// the caret lines.
void Warn(const Filter& filter);

// The render library's errors are the user's to mend: exit 2.
Failure AsFailure(const Error& error);

}  // namespace zv::cli
