/* SPDX-License-Identifier: MIT */
// The photo library as the tool uses it: its public API, and the internals
// the tool writes through, which the public API would make it copy: the
// codecs on open streams, an image type rendered into in place, output files
// put in place whole and animations frame by frame.
#pragma once

#include "photo/animation.h"
#include "photo/image_io.h"
#include "photo/output_file.h"
#include "tools/zorvan/failure.h"
#include "zorvan/photo.hpp"

namespace zv::cli {

using photo::FormatForPath;
using photo::FormatNamed;
using photo::ReadFormatForPath;

using photo::detail::Animation;
using photo::detail::CheckImageSize;
using photo::detail::DecodePhoto;
using photo::detail::EncodeImage;
using photo::detail::Existing;
using photo::detail::File;
using photo::detail::FileFormat;
using photo::detail::FormatNames;
using photo::detail::Image;
using photo::detail::kMaxPixels;
using photo::detail::Metadata;
using photo::detail::OutputFile;
using photo::detail::OutputTarget;
using photo::detail::ParseOutput;
using photo::detail::Photo;
using photo::detail::ReadPhoto;
using photo::detail::WithChannels;
using photo::detail::WriteImage;
using photo::detail::WriteSettings;
using photo::detail::WriteStdout;

}  // namespace zv::cli
