// SPDX-License-Identifier: MIT
// The studio's server on real sockets: a server on a free port of
// 127.0.0.1 per test, with a small picture and a known token.
#include "tools/zorvan/studio/server.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <nlohmann/json.hpp>
#include <thread>
#include <vector>

#include "tests/cli/helpers.h"
#include "tools/zorvan/failure.h"
#include "tools/zorvan/filter_files.h"
#include "tools/zorvan/studio/address.h"
#include "tools/zorvan/studio/filter_save.h"
#include "tools/zorvan/test_image.h"

namespace zv::cli {
namespace {

const std::string kToken(32, 'a');

class StudioServer : public ::testing::Test {
   protected:
    void SetUp() override {
        port_ = Bind(server_, "127.0.0.1", 0);
        state_.access = Access(kToken, ReachableNames("127.0.0.1"), port_);
        state_.maxUploadBytes = size_t{2} << 20;
        Serve(server_, state_);
        listening_ = std::thread([this] { server_.listen_after_bind(); });
        // stop() before the loop runs would not end it.
        while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    void TearDown() override {
        server_.stop();
        listening_.join();
    }

    httplib::Client Client() {
        httplib::Client client("127.0.0.1", port_);
        client.set_read_timeout(60);  // a failure, not a hang, when it is never served
        client.set_default_headers({{"X-Zorvan-Token", kToken}});
        return client;
    }

    // The status line and headers of the answer on sock.
    static std::string Head(int sock) {
        std::string answer;
        char buffer[4096];
        for (ssize_t n; answer.find("\r\n\r\n") == std::string::npos &&
                        (n = recv(sock, buffer, sizeof buffer, 0)) > 0;) {
            answer.append(buffer, size_t(n));
        }
        return answer;
    }

    // A connection that has sent first and nothing more yet.
    int Open(const std::string& first) const {
        const int sock = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(port_));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(connect(sock, reinterpret_cast<const sockaddr*>(&to), sizeof to), 0);
        EXPECT_EQ(send(sock, first.data(), first.size(), 0), ssize_t(first.size()));
        return sock;
    }

    httplib::Server server_;
    int port_ = 0;
    StudioState state_{Access(kToken, {}, 0), "r: c", "test",
                       std::make_shared<const Photo>(Photo{TestImage(24, 16), {}})};
    std::thread listening_;
};

TEST_F(StudioServer, IsServedWhileManyConnectionsTrickleOrIdle) {
    std::vector<int> trickling, idle;
    for (int i = 0; i < 32; ++i) trickling.push_back(Open("GET /api/state HTTP/1.1\r\nX-Slow: "));
    for (int i = 0; i < 32; ++i) idle.push_back(Open(""));
    std::atomic<bool> served = false;
    std::thread trickle([&] {
        while (!served) {
            for (const int sock : trickling) send(sock, "a", 1, MSG_NOSIGNAL);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    const auto got = Client().Get("/api/state");
    served = true;
    trickle.join();
    ASSERT_TRUE(got);
    EXPECT_EQ(got->status, 200);
    for (const int sock : trickling) close(sock);
    for (const int sock : idle) close(sock);
}

TEST_F(StudioServer, ChunkedBodiesAreLimitedLikeOthers) {
    const auto chunked = [this](const std::string& request) {
        return Open(request + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port_) +
                    "\r\nX-Zorvan-Token: " + kToken + "\r\nTransfer-Encoding: chunked\r\n\r\n");
    };
    // Chunks until just past the limit, then nothing more: the server has
    // read every byte sent when it answers, so the answer is not lost.
    const int sock = chunked("POST /api/image");
    const std::string chunk = "10000\r\n" + std::string(0x10000, 'x') + "\r\n";
    for (size_t sent = 0; sent <= state_.maxUploadBytes; sent += 0x10000) {
        ASSERT_EQ(send(sock, chunk.data(), chunk.size(), MSG_NOSIGNAL), ssize_t(chunk.size()));
    }
    const std::string answer = Head(sock);
    close(sock);
    EXPECT_EQ(answer.rfind("HTTP/1.1 413", 0), 0u) << answer;

    // A body no route takes is not read at all: with none sent yet, the
    // answer comes (where reading it would wait for it in vain).
    const std::pair<const char*, const char*> unread[] = {
        {"POST /api/nothing", "HTTP/1.1 404"},
        {"PUT /api/render", "HTTP/1.1 405"},
        {"POST /api/state", "HTTP/1.1 405"},
    };
    for (const auto& [request, status] : unread) {
        const int other = chunked(request);
        const std::string head = Head(other);
        close(other);
        EXPECT_EQ(head.rfind(status, 0), 0u) << request << ": " << head;
    }
}

struct Call {
    const char* path;
    int status;
    const char* width;  // of the render, or ""
};

TEST_F(StudioServer, ExtremeParametersHaveDefinedAnswers) {
    const Call calls[] = {
        {"/api/render?lane=preview&seq=1&step=2147483647", 200, "1"},
        {"/api/render?lane=preview&seq=1&x=23&w=1&step=2147483647", 200, "1"},
        {"/api/render?lane=preview&seq=9223372036854775807", 200, "24"},
        {"/api/render?lane=preview&seq=1&step=5", 200, "5"},  // the lane is free again
        {"/api/render?lane=preview&seq=9223372036854775808", 400, ""},
    };
    httplib::Client client = Client();
    for (const Call& c : calls) {
        const auto got = client.Post(c.path, "r: c", "application/octet-stream");
        ASSERT_TRUE(got) << c.path;
        EXPECT_EQ(got->status, c.status) << c.path << " " << got->body;
        EXPECT_EQ(got->get_header_value("X-Width"), c.width) << c.path;
    }
}

struct Export {
    const char* name;   // of the source
    const char* query;  // after lane and seq
    int status;
    const char* extension;
    std::string_view magic;  // the file's first bytes, or the message
};

TEST_F(StudioServer, ExportsInTheSourcesFormatOrTheOneAsked) {
    using namespace std::string_view_literals;
    const Export exports[] = {
        {"shot.JPG", "", 200, "jpg", "\xff\xd8\xff"sv},
        {"shot.jpg", "&format=webp&quality=50", 200, "webp", "RIFF"sv},
        {"scan.bmp", "", 200, "png", "\x89PNG"sv},  // BMP is read only
        {"scan.tiff", "&format=PNG", 200, "png", "\x89PNG"sv},
        {"scan.tiff", "", 200, "tif", "II*"sv},
        {"shot.jpg", "&format=bmp", 400, "", "unknown format"sv},
        {"shot.jpg", "&quality=0", 400, "", "quality must be 1 to 100"sv},
        {"shot.jpg", "&quality=101", 400, "", "quality must be 1 to 100"sv},
        {"shot.jpg", "&photo=-1", 200, "jpg", "\xff\xd8\xff"sv},
        {"shot.jpg", "&photo=2", 409, "", "the photo shown has changed"sv},  // not the one shown
    };
    httplib::Client client = Client();
    for (const Export& e : exports) {
        state_.imageName = e.name;
        const std::string path = std::string("/api/export?lane=download&seq=1") + e.query;
        const auto got = client.Post(path, "r: 255 - c", "application/octet-stream");
        ASSERT_TRUE(got) << path;
        EXPECT_EQ(got->status, e.status) << e.name << path << got->body;
        EXPECT_EQ(got->get_header_value("X-Extension"), e.extension) << e.name << path;
        const std::string_view body = got->body;
        EXPECT_TRUE(e.status == 200 ? body.starts_with(e.magic) : body.find(e.magic) != body.npos)
            << e.name << path << body.substr(0, 80);
    }
}

struct SaveStep {
    std::string version;  // that the page sends
    std::string body;
    int status;
    std::string replied;  // the version in the answer: the text's saved, or the file's
    const char* onDisk;   // the file's text after the step
};

TEST_F(StudioServer, SaveReplacesTheFilterFileOnlyInTheVersionThePageHas) {
    httplib::Client client = Client();
    const auto save = [&](const std::string& version, const std::string& body) {
        const auto got =
            client.Post("/api/save?version=" + version, body, "application/octet-stream");
        EXPECT_TRUE(got) << version;
        return got ? *got : httplib::Response{};
    };
    EXPECT_EQ(save("", "g: 1\n").status, 400) << "saved without a file";

    test::ScratchDir dir;
    const std::string path = dir / "mine.zvf";
    test::WriteBytes(path, "r: c\n");
    state_.filterPath = path;
    const std::string big(kMaxFileBytes + 1, '#');
    const SaveStep steps[] = {
        {Version("r: c\n"), "g: 1\n", 200, Version("g: 1\n"), "g: 1\n"},
        {Version("r: c\n"), "g: 2\n", 409, Version("g: 1\n"), "g: 1\n"},  // the file is newer
        {"", "g: 2\n", 409, Version("g: 1\n"), "g: 1\n"},
        {Version("g: 1\n"), "g: 3\n", 200, Version("g: 3\n"), "g: 3\n"},  // the version of the 409
        {Version("g: 3\n"), big, 413, "", "g: 3\n"},
        {Version("g: 3\n"), "", 200, Version(""), ""},
    };
    for (const SaveStep& s : steps) {
        const httplib::Response answer = save(s.version, s.body);
        EXPECT_EQ(answer.status, s.status) << s.version << " " << answer.body;
        if (!s.replied.empty()) {
            EXPECT_EQ(nlohmann::json::parse(answer.body).value("version", "?"), s.replied);
        }
        EXPECT_EQ(test::ReadBytes(path), s.onDisk) << s.version;
    }
    EXPECT_EQ(dir.Files(), std::vector<std::string>{"mine.zvf"}) << "a temporary file was left";

    // A file removed since is a change too, which the version "" undoes.
    std::filesystem::remove(path);
    const httplib::Response gone = save(Version(""), "b: 0\n");
    EXPECT_EQ(gone.status, 409);
    EXPECT_EQ(gone.body, "{\"error\":\"" + path +
                             " has been removed since it was loaded\",\"version\":\"\"}");
    EXPECT_EQ(save("", "b: 0\n").status, 200);
    EXPECT_EQ(test::ReadBytes(path), "b: 0\n");

    // A file that cannot be read says why, and stays.
    test::WriteBytes(path, big);
    EXPECT_NE(save(Version(big), "b: 1\n").body.find("a filter file may hold at most 1 MiB"),
              std::string::npos);
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    EXPECT_NE(save("", "b: 1\n").body.find("cannot read: Is a directory"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

TEST_F(StudioServer, ASecondServerOnThePortRefusesToStart) {
    httplib::Server second;
    try {
        Bind(second, "127.0.0.1", port_);
        FAIL() << "bound twice";
    } catch (const Failure& f) {
        EXPECT_EQ(std::string(f.what()).find("studio: port " + std::to_string(port_) + " is in use"),
                  0u)
            << f.what();
    }
    try {
        Bind(second, "203.0.113.7", 40000);
        FAIL() << "bound to a foreign address";
    } catch (const Failure& f) {
        EXPECT_EQ(std::string(f.what()), "studio: cannot listen on 203.0.113.7:40000: Cannot assign requested address");
    }
}

}  // namespace
}  // namespace zv::cli
