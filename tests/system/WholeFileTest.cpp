#include "system/WholeFile.h"

#include <gtest/gtest.h>

#include <string>

#include "TempFolder.h"

namespace ziffa {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;
using test::WriteBytes;

TEST(ReadWholeFile, ReadsEveryByteOrNothing) {
    TempFolder folder;
    std::string bytes;
    for (int i = 0; i < 70000; ++i) {
        bytes += static_cast<char>(i * 7);
    }
    WriteBytes(folder / "bytes", bytes);
    EXPECT_EQ(ReadWholeFile(folder / "bytes"), bytes);
    WriteBytes(folder / "empty", "");
    EXPECT_EQ(ReadWholeFile(folder / "empty"), std::string());
    EXPECT_EQ(ReadWholeFile(folder / "absent"), std::nullopt);
    fs::create_symlink("absent", folder / "dangling");
    EXPECT_EQ(ReadWholeFile(folder / "dangling"), std::nullopt);
    EXPECT_THROW(ReadWholeFile(folder / "bytes", 1000), FileError);
    EXPECT_THROW(ReadWholeFile("/dev/zero"), FileError) << "a device is no settings file";
}

} // namespace
} // namespace ziffa
