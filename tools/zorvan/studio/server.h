// The studio's HTTP server: the page, and the calls it makes to check a
// filter, render a part of the result, take an image and hand back the
// full-resolution result.
#pragma once

#include <httplib.h>

#include <memory>
#include <mutex>
#include <string>

#include "photo/image.h"
#include "tools/zorvan/studio/access.h"
#include "tools/zorvan/studio/renders.h"

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
    StudioState(Access a, std::string text, std::string name, std::shared_ptr<const Image> i)
        : access(std::move(a)),
          filterText(std::move(text)),
          imageName(std::move(name)),
          image(std::move(i)) {}

    Access access;
    std::string filterText;  // what the page starts with
    std::string imageName;
    std::shared_ptr<const Image> image;
    std::mutex imageMutex;
    Renders renders{kMaxRenders};
    size_t maxUploadBytes = kMaxUploadBytes;

    std::shared_ptr<const Image> Source() {
        const std::lock_guard lock(imageMutex);
        return image;
    }
};

// Sets up server's routes and checks over state, which must outlive it.
void Serve(httplib::Server& server, StudioState& state);

// Binds server to address and port (0: any free one) and returns the port;
// throws a Failure that says why it cannot, "port N is in use" among them.
int Bind(httplib::Server& server, const std::string& address, int port);

}  // namespace zv::cli
