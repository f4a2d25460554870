/* SPDX-License-Identifier: MIT */
// The studio's HTTP server: the page, and the calls it makes to check a
// filter, render a part of the result, take an image, hand back the
// full-resolution result as a photo file and save the filter file.
#pragma once

#include <httplib.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tools/zorvan/photos.h"
#include "tools/zorvan/studio/access.h"
#include "tools/zorvan/studio/batch.h"
#include "tools/zorvan/studio/renders.h"
#include "tools/zorvan/studio/video_export.h"
#include "tools/zorvan/video_frames.h"

namespace zv::cli {

// Renders that may run at once; more are refused with 503.
constexpr int kMaxRenders = 4;
// The largest request body: an image file.
constexpr size_t kMaxUploadBytes = size_t{256} << 20;
// Threads serving connections, each one's until it is closed: enough for
// 64 idle or trickling ones that never send a whole request, a browser's
// own (up to six a host) and the renders, so that the page is still served.
constexpr size_t kWorkers = 64 + 16;

struct StudioState {
    StudioState(Access a, std::string text, std::string name, std::shared_ptr<const Photo> p)
        : access(std::move(a)),
          filterText(std::move(text)),
          imageName(std::move(name)),
          photo(std::move(p)) {}

    Access access;
    std::string filterText;  // what the page starts with
    // The filter file of the command line, which Save writes back to; the
    // only file the server writes.
    std::optional<std::string> filterPath;
    std::string imageName;               // its extension gives the format results keep
    bool imageIsFile = true;             // not the built-in picture, so a command may name it
    std::shared_ptr<const Photo> photo;  // upright, with its metadata
    std::mutex mutex;                    // over the photo, its name, its place and the filter text
    // With a folder on the command line: its photos, in the strip's order,
    // which requests name by their place in it, and the one shown (-1: none).
    std::optional<std::string> folder;
    std::vector<std::string> photos;
    int64_t shown = -1;
    std::unique_ptr<Batch> batch;  // the last Apply to all
    std::mutex batchMutex;         // over batch and videoExport
    // The video whose frame the photo is, when one is shown, and the last
    // export of a video.
    std::shared_ptr<VideoFrames> video;
    std::unique_ptr<VideoExport> videoExport;
    Renders renders{kMaxRenders};
    size_t maxUploadBytes = kMaxUploadBytes;

    std::shared_ptr<const Photo> Current() {
        const std::lock_guard lock(mutex);
        return photo;
    }
    std::shared_ptr<const Image> Source() {
        std::shared_ptr<const Photo> p = Current();
        return {p, &p->image};
    }
};

// Sets up server's routes and checks over state, which must outlive it.
void Serve(httplib::Server& server, StudioState& state);

// Binds server to address and port (0: any free one) and returns the port;
// throws a Failure that says why it cannot, "port N is in use" among them.
int Bind(httplib::Server& server, const std::string& address, int port);

}  // namespace zv::cli
