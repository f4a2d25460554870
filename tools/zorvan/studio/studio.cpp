// zorvan studio: serves the page on an address of this machine until the
// process is stopped.
#include <cstdio>

#include "examples/examples.h"
#include "photo/image_io.h"
#include "tools/zorvan/commands/commands.h"
#include "tools/zorvan/failure.h"
#include "tools/zorvan/filter_files.h"
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

}  // namespace

int RunStudio(const StudioOptions& o) {
    std::string filterText = StartingFilter(o);
    ParseFilterFile(filterText, o.filterFile.value_or("filter"));
    auto image = std::make_shared<const Image>(o.image ? ReadPhoto(*o.image, true).image
                                                       : TestImage(kTestWidth, kTestHeight));

    httplib::Server server;
    const int port = Bind(server, o.address, o.port);
    StudioState state(Access(NewToken(), ReachableNames(o.address), port), std::move(filterText),
                      o.image.value_or("test picture"), std::move(image));
    Serve(server, state);
    if (!IsLoopback(o.address)) {
        std::fprintf(stderr,
                     "zorvan studio: listening on %s, so other machines can reach it; anyone "
                     "with the address below can use it\n",
                     UrlHost(o.address).c_str());
    }
    std::printf("zorvan studio: http://%s:%d/?token=%s\n", LocalUrlHost(o.address).c_str(), port,
                state.access.token().c_str());
    std::fflush(stdout);
    server.listen_after_bind();
    return kExitOk;
}

}  // namespace zv::cli
