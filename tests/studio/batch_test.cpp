// SPDX-License-Identifier: MIT
// Apply to all: always a new subfolder, beside whatever is taken, and no
// file replaced in it either.
#include "tools/zorvan/studio/batch.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "photo/output_file.h"
#include "tests/cli/helpers.h"
#include "tools/zorvan/failure.h"
#include "tools/zorvan/filter_files.h"

namespace zv::cli {
namespace {

struct Taken {
    std::vector<const char*> folders, files;
    const char* made;  // "" when it fails
};

TEST(NewSubfolder, TakesTheFirstFreeNumber) {
    const Taken cases[] = {
        {{}, {}, "zorvan-1"},
        {{"zorvan-1", "zorvan-3"}, {}, "zorvan-2"},
        {{"zorvan-1"}, {"zorvan-2"}, "zorvan-3"},  // a file of the name is taken too
        {{"zorvan-2"}, {"zorvan-1"}, "zorvan-3"},
    };
    for (const Taken& c : cases) {
        test::ScratchDir dir;
        for (const char* f : c.folders) std::filesystem::create_directory(dir / f);
        for (const char* f : c.files) test::WriteBytes(dir / f, "x");
        EXPECT_EQ(NewSubfolder(dir.path().string()), dir / c.made);
        EXPECT_TRUE(std::filesystem::is_directory(dir / c.made));
    }
    test::ScratchDir dir;
    EXPECT_THROW(NewSubfolder(dir / "gone"), Failure);
    EXPECT_TRUE(dir.Files().empty());
}

// The green of a PNG's first pixel, as libpng reads it.
int FirstGreen(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return -1;
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return -1;
    return pixels[1];
}

Batch::Progress Finished(const Batch& batch) {
    while (batch.Now().running) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return batch.Now();
}

TEST(Batch, WritesEveryPhotoThatReadsAndStopsWhenCancelled) {
    test::ScratchDir dir;
    std::vector<std::string> photos;
    for (const char* name : {"a.png", "b.png", "c.png"}) {
        photos.push_back(dir / name);
        test::WritePngFile(test::SmallPicture(), photos.back());
    }
    photos.push_back(dir / "d.png");
    test::WriteBytes(photos.back(), "not a picture");
    const FilterFile filter = ParseFilterFile("r: 255 - c\ng: t * 10 + total", "filter");
    RenderSettings settings;
    settings.t = 3;
    settings.total = 7;

    const Batch::Progress all = Finished(Batch(dir.path().string(), photos, filter, settings));
    EXPECT_EQ(all.folder, "zorvan-1");
    EXPECT_EQ(all.done, 4u);
    ASSERT_EQ(all.failed.size(), 1u);
    EXPECT_EQ(all.failed[0].name, "d.png");
    EXPECT_FALSE(all.cancelled);
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir / "zorvan-1")) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.png", "b.png", "c.png"}));
    EXPECT_EQ(FirstGreen(dir / "zorvan-1/a.png"), 37) << "rendered with the page's t and total";

    // However far it got, what it wrote is whole and counted.
    Batch cancelled(dir.path().string(), photos, filter, settings);
    cancelled.Cancel();
    const Batch::Progress part = Finished(cancelled);
    size_t written = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir / "zorvan-2")) {
        const std::string whole = dir / ("zorvan-1/" + e.path().filename().string());
        EXPECT_EQ(test::ReadBytes(e.path().string()), test::ReadBytes(whole));
        ++written;
    }
    EXPECT_EQ(written, part.done - part.failed.size());
    EXPECT_EQ(part.cancelled, part.done < part.total);
}

// What Apply to all writes with: a name taken, when the output begins or
// by the time it is put in place, is kept, a symlink and its target too.
TEST(OutputFile, KeepingReplacesNothingThatHasTheName) {
    const std::vector<const char*> theirs = {"file", "link", "dangling"};
    for (const bool meanwhile : {false, true}) {
        for (const std::string kind : theirs) {
            test::ScratchDir dir;
            const std::string path = dir / "out.png", target = dir / "target";
            const auto take = [&] {
                if (kind == "file") return test::WriteBytes(path, "theirs");
                if (kind == "link") test::WriteBytes(target, "theirs");
                std::filesystem::create_symlink(target, path);
            };
            if (!meanwhile) take();
            try {
                OutputFile file(path, Existing::kKeep);
                std::fputs("ours", file.stream());
                if (meanwhile) take();
                file.Commit();
                ADD_FAILURE() << kind << " replaced";
            } catch (const Failure& f) {
                EXPECT_EQ(std::string(f.what()),
                          path + ": a file of this name exists, and it is kept");
            }
            EXPECT_EQ(test::ReadBytes(kind == "file" ? path : target),
                      kind == "dangling" ? "" : "theirs");
            EXPECT_EQ(dir.Files().size(), kind == "link" ? 2u : 1u) << "a temporary file was left";
        }
    }
    test::ScratchDir dir;
    OutputFile file(dir / "new.png", Existing::kKeep);
    std::fputs("ours", file.stream());
    file.Commit();
    EXPECT_EQ(test::ReadBytes(dir / "new.png"), "ours");
    EXPECT_EQ(dir.Files(), std::vector<std::string>{"new.png"});
}

}  // namespace
}  // namespace zv::cli
