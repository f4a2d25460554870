// SPDX-License-Identifier: MIT
// zorvan studio: serves the page on an address of this machine until the
// process is stopped.
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "examples/examples.h"
#include "tools/zorvan/commands/apply_batch.h"
#include "tools/zorvan/commands/commands.h"
#include "tools/zorvan/failure.h"
#include "tools/zorvan/filter_files.h"
#include "tools/zorvan/photos.h"
#include "tools/zorvan/studio/address.h"
#include "tools/zorvan/studio/server.h"
#include "tools/zorvan/test_image.h"

namespace zv::cli {

namespace {

constexpr int32_t kTestWidth = 1200, kTestHeight = 800;

// The file given, or the example (the twirl when none is named).
std::string StartingFilter(const StudioOptions& o) {
    if (o.filterFile) return ReadFilterText(*o.filterFile);
    const RawExample& raw = FindRawExample(o.example.value_or("twirl"));
    return {reinterpret_cast<const char*>(raw.bytes), raw.size};
}

// The photos of folder, by name: its files with the extension of a format
// that reads.
std::vector<std::string> PhotosIn(const std::string& folder) {
    namespace fs = std::filesystem;
    std::vector<std::string> photos;
    std::error_code error;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, error)) {
        if (e.is_regular_file(error) && ReadFormatForPath(e.path().string())) {
            photos.push_back(e.path().string());
        }
    }
    if (error) FailIo(folder, "cannot list the folder", error.value());
    if (photos.empty()) FailFile(folder, "no photos here (" + FormatNames([](const photo::FormatInfo&) { return true; }) +
                                   " files)");
    std::sort(photos.begin(), photos.end());
    return photos;
}

// The first of photos that reads, and its place; the others say why not.
std::pair<Photo, int64_t> FirstReadable(const std::vector<std::string>& photos) {
    for (size_t i = 0; i < photos.size(); ++i) {
        try {
            return {ReadPhoto(photos[i], true), static_cast<int64_t>(i)};
        } catch (const Failure& f) {
            if (i + 1 == photos.size()) throw;
            Report(f);
        }
    }
    throw std::logic_error("no photos");
}

}  // namespace

int RunStudioCommand(const StudioOptions& o) {
    std::string filterText = StartingFilter(o);
    ParseFilterFile(filterText, o.filterFile.value_or("filter"));
    const bool folder = o.image && std::filesystem::is_directory(*o.image);
    std::vector<std::string> photos;
    int64_t shown = -1;
    std::shared_ptr<const Photo> photo;
    std::shared_ptr<VideoFrames> video;
    if (folder) {
        photos = PhotosIn(*o.image);
        auto [first, at] = FirstReadable(photos);
        photo = std::make_shared<const Photo>(std::move(first));
        shown = at;
    } else if (o.image && IsVideo(*o.image)) {
        video = std::make_shared<VideoFrames>(*o.image);
        photo = video->At(0);
    } else {
        photo = std::make_shared<const Photo>(
            o.image ? ReadPhoto(*o.image, true) : Photo{TestImage(kTestWidth, kTestHeight), {}});
    }

    httplib::Server server;
    const std::string address = NumericAddress(o.address);
    const int port = Bind(server, address, o.port);
    StudioState state(
        Access(NewToken(), ReachableNames(address), port), std::move(filterText),
        folder ? photos[static_cast<size_t>(shown)] : o.image.value_or("test picture"),
        std::move(photo));
    state.filterPath = o.filterFile;
    state.imageIsFile = o.image.has_value();
    if (folder) state.folder = o.image;
    state.photos = std::move(photos);
    state.shown = shown;
    state.video = std::move(video);
    Serve(server, state);
    if (!IsLoopback(address)) {
        std::fprintf(stderr,
                     "zorvan studio: listening on %s, so other machines can reach it; anyone "
                     "with the address below can use it\n",
                     UrlHost(address).c_str());
    }
    std::printf("zorvan studio: http://%s:%d/?token=%s\n", LocalUrlHost(address).c_str(), port,
                state.access.token().c_str());
    std::fflush(stdout);
    server.listen_after_bind();
    return kExitOk;
}

}  // namespace zv::cli
