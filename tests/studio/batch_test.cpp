// SPDX-License-Identifier: MIT
// Apply to all's subfolder: always a new one, beside whatever is taken.
#include "tools/zorvan/studio/batch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "tests/cli/helpers.h"
#include "tools/zorvan/failure.h"

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
    const FilterFile filter = ParseFilterFile("r: 255 - c", "filter");

    const Batch::Progress all = Finished(Batch(dir.path().string(), photos, filter, {}));
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

    // However far it got, what it wrote is whole and counted.
    Batch cancelled(dir.path().string(), photos, filter, {});
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

}  // namespace
}  // namespace zv::cli
