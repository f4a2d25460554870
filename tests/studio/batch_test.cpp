// Apply to all's subfolder: always a new one, beside whatever is taken.
#include "tools/zorvan/studio/batch.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace zv::cli
