// SPDX-License-Identifier: MIT
// A host of the installed video library: frames written losslessly, read
// back in order and by index, and the file filtered into another.
#include <cstdio>
#include <string>
#include <zorvan/video.hpp>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::string clip = std::string(argv[1]) + "/clip.mkv";
    const std::string out = std::string(argv[1]) + "/out.mkv";
    int failed = 0, passed = 0;
    const auto check = [&](bool ok, const char* what) {
        ++(ok ? passed : failed);
        if (!ok) std::fprintf(stderr, "video_host: %s\n", what);
    };
    try {
        zv::video::Writer writer(clip, {});
        zv::video::Frame frame{8, 6, 3, std::vector<uint8_t>(8 * 6 * 3), 0};
        for (int k = 0; k < 5; ++k) {
            for (size_t i = 0; i < frame.bytes.size(); ++i) frame.bytes[i] = uint8_t(i + k * 40);
            writer.Write(frame);
        }
        writer.Finish();
        zv::video::Reader reader(clip);
        check(reader.ReadAt(3, frame) && frame.bytes[0] == 120, "frame 3");
        const int64_t written =
            zv::video::FilterFile(clip, out, [](const zv::video::Frame& in, zv::video::Frame& to) {
                to = in;
                for (uint8_t& b : to.bytes) b = uint8_t(255 - b);
            });
        zv::video::Reader filtered(out);
        int64_t frames = 0;
        while (filtered.Read(frame))
            check(frame.bytes[1] == 255 - uint8_t(1 + frames++ * 40), "a filtered frame");
        check(written == 5 && frames == 5, "five frames");
    } catch (const zv::video::Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        ++failed;
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 2 ? 0 : 1;
}
