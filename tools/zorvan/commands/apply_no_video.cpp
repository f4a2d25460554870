// SPDX-License-Identifier: MIT
// A tool built without the video library: no path is a video, so the
// video commands are never reached.
#include "tools/zorvan/commands/apply_batch.h"
#include "tools/zorvan/failure.h"

namespace zv::cli {

bool IsVideo(const std::string&) {
    return false;
}

void ApplyVideo(const ApplyBatch&, const std::string& input, const std::string&, bool) {
    FailFile(input, "this zorvan was built without video");
}

void ApplyStills(const ApplyBatch&, const std::vector<std::string>&, const std::string& output,
                 bool) {
    FailFile(output, "this zorvan was built without video");
}

}  // namespace zv::cli
