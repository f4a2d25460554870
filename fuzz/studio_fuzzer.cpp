// SPDX-License-Identifier: MIT
// Arbitrary bytes as what a connection to the studio's server brings: the
// HTTP library's parser, the token, Host and Origin checks, the limits and
// every route, on a small picture, up to four requests a connection (kept
// alive). The server has a filter file to save to and a strip of one photo,
// in a folder of its own, and each input finds them as they were at the
// start (Apply to all stays off: it would fill the folder with subfolders).
// Every answer must be one the server means: a 500 is an error that escaped
// the routes.
#include <httplib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "fuzz/host.h"
#include "tools/zorvan/studio/address.h"
#include "tools/zorvan/studio/filter_save.h"
#include "tools/zorvan/studio/server.h"
#include "tools/zorvan/test_image.h"

using zvfuzz::Check;

namespace {

// The token the seeds and the dictionary carry; the port their Host names.
constexpr const char* kToken = "0123456789abcdef0123456789abcdef";
constexpr int kPort = 8123;

// A connection whose bytes are the input; what the server writes is dropped.
class Connection : public httplib::Stream {
   public:
    explicit Connection(std::string_view in) : in_(in) {}
    bool is_readable() const override { return !in_.empty(); }
    bool is_writable() const override { return true; }
    ssize_t read(char* to, size_t size) override {
        const size_t n = std::min(size, in_.size());
        std::memcpy(to, in_.data(), n);
        in_.remove_prefix(n);
        return static_cast<ssize_t>(n);
    }
    ssize_t write(const char*, size_t size) override { return static_cast<ssize_t>(size); }
    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        ip = "127.0.0.1";
        port = 40000;
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        ip = "127.0.0.1";
        port = kPort;
    }
    socket_t socket() const override { return INVALID_SOCKET; }

   private:
    std::string_view in_;
};

// A folder of the run's: the filter file and the strip's photo.
class Folder {
   public:
    Folder() {
        char pattern[] = "/tmp/studio_fuzzer-XXXXXX";
        Check(mkdtemp(pattern) != nullptr, "no temporary folder");
        path_ = pattern;
        zv::cli::WriteWhole(photo_path(), zv::cli::EncodeImage(zv::cli::TestImage(8, 6), {}, "-"));
    }
    ~Folder() { std::filesystem::remove_all(path_); }
    std::string filter_path() const { return path_ + "/filter.zvf"; }
    std::string photo_path() const { return path_ + "/a.png"; }

   private:
    std::string path_;
};

// The server with its request loop in reach.
class Server : public httplib::Server {
   public:
    using httplib::Server::process_request;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zv::cli;
    static const auto picture = std::make_shared<const Photo>(Photo{TestImage(24, 16), {}});
    static StudioState state(Access(kToken, ReachableNames("127.0.0.1"), kPort), "r: c",
                             "test picture", picture);
    static const Folder folder;
    static bool internalError = false;
    static Server* server = [] {
        state.filterPath = folder.filter_path();
        state.photos = {folder.photo_path()};
        auto* s = new Server;
        Serve(*s, state);
        s->set_logger([](const httplib::Request&, const httplib::Response& res) {
            internalError |= res.status == 500;
        });
        return s;
    }();
    // Whatever an input showed or saved lasts for it only.
    state.photo = picture;
    state.imageName = "test picture";
    state.shown = -1;
    WriteWhole(folder.filter_path(), "r: c\n");

    Connection connection({reinterpret_cast<const char*>(data), size});
    bool closed = false;
    for (int i = 0; i < 4 && !closed && connection.is_readable(); ++i) {
        server->process_request(connection, false, closed, [](httplib::Request&) {});
    }
    Check(!internalError, "an internal error");
    return 0;
}
