// SPDX-License-Identifier: MIT
// zorvan demo: every example filter on the built-in test picture, one file
// each in DIR/demo/ and all of them on the contact sheet DIR/demo.png.
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <system_error>

#include "examples/examples.h"
#include "tools/zorvan/commands/commands.h"
#include "tools/zorvan/contact_sheet.h"
#include "tools/zorvan/failure.h"
#include "tools/zorvan/photos.h"
#include "tools/zorvan/progress.h"
#include "tools/zorvan/rendered.h"
#include "tools/zorvan/test_image.h"

namespace zv::cli {

namespace {

constexpr int32_t kWidth = 320;
constexpr int32_t kHeight = 240;
constexpr int32_t kColumns = 4;

void WritePngFile(const Image& image, const std::string& path) {
    OutputFile file(path, false);
    WriteImage(image, {FileFormat::kPng, 0}, file.stream(), path);
    file.Commit();
}

Image Render(const FilterFile& filter, const Image& source, const ThreadsAndProgress& run,
             std::function<bool(int64_t, int64_t)> progress) {
    RenderSettings settings;
    settings.controls = ControlValues(filter);
    settings.threads = run.threads;
    settings.progress = std::move(progress);
    return Rendered(Filter(filter), source, settings);
}

}  // namespace

int RunDemoCommand(const DemoOptions& o) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::path(o.directory) / "demo";
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) FailFile(folder.string(), "cannot create the folder: " + error.message());

    const std::vector<Example> examples = Examples();
    const Image source = TestImage(kWidth, kHeight);
    std::vector<Image> results;
    results.reserve(examples.size());
    {
        Progress progress(!o.run.quiet, "demo", static_cast<int64_t>(examples.size()) * kHeight);
        for (const Example& e : examples) {
            const auto before = static_cast<int64_t>(results.size()) * kHeight;
            results.push_back(Render(e.filter, source, o.run, progress.After(before)));
            WritePngFile(results.back(), (folder / (e.name + ".png")).string());
        }
    }
    WritePngFile(source, (folder / "test-image.png").string());
    std::vector<Tile> tiles = {{"test image", &source}};
    for (size_t i = 0; i < examples.size(); ++i) {
        tiles.push_back({examples[i].filter.title, &results[i]});
        if (o.run.verbose) {
            std::fprintf(stderr, "zorvan: %s: %s\n", examples[i].name.c_str(),
                         examples[i].filter.about.c_str());
        }
    }
    const fs::path sheet = fs::path(o.directory) / "demo.png";
    WritePngFile(ContactSheet(tiles, kColumns), sheet.string());
    std::printf("zorvan: wrote the contact sheet %s and %zu pictures in %s/\n",
                fs::absolute(sheet).lexically_normal().c_str(), examples.size() + 1,
                fs::absolute(folder).lexically_normal().c_str());
    return kExitOk;
}

}  // namespace zv::cli
