#include "system/FileDescriptor.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace ziffa {
namespace {

bool IsOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

// Both ends of a pipe, each owned, both non-blocking: every read and write may be asked to wait.
std::pair<FileDescriptor, FileDescriptor> NonBlockingPipe() {
    int ends[2] = {-1, -1};
    EXPECT_EQ(::pipe2(ends, O_CLOEXEC | O_NONBLOCK), 0);
    return {FileDescriptor(ends[0]), FileDescriptor(ends[1])};
}

TEST(FileDescriptor, ClosesOnceWhenItsLastOwnerGoes) {
    auto [in, out] = NonBlockingPipe();
    const int fd = in.get();
    {
        FileDescriptor moved(std::move(in));
        EXPECT_FALSE(in.valid());
        EXPECT_TRUE(IsOpen(fd));
    }
    EXPECT_FALSE(IsOpen(fd));
    EXPECT_FALSE(out.Close()) << "a pipe closes cleanly";
    EXPECT_FALSE(out.valid());
    EXPECT_EQ(FileDescriptor(fd).Close(), std::errc::bad_file_descriptor);
}

TEST(FileDescriptor, OpensCloseOnExecOrTellsWhy) {
    const FileDescriptor null = OpenFile("/dev/null", O_RDONLY);
    ASSERT_TRUE(null.valid());
    EXPECT_NE(::fcntl(null.get(), F_GETFD) & FD_CLOEXEC, 0);
    EXPECT_FALSE(OpenFile("/nonexistent/ziffa", O_RDONLY).valid());
    EXPECT_EQ(errno, ENOENT);
}

TEST(WholeTransfers, AWaitingPipeCarriesEveryByteInOrder) {
    // Far more than a pipe holds: the writer and the reader take turns waiting for each other.
    std::string sent;
    for (int i = 0; i < 1 << 20; ++i) {
        sent += static_cast<char>(i * 131 >> 3);
    }
    auto [in, out] = NonBlockingPipe();
    std::string received;
    std::thread reader([&received, fd = in.get()] {
        char buffer[4096];
        for (ReadOutcome read; !(read = ReadSome(fd, buffer, sizeof buffer)).error;) {
            if (read.bytes == 0) {
                return;
            }
            received.append(buffer, read.bytes);
        }
        ADD_FAILURE() << "a read failed";
    });
    EXPECT_FALSE(WriteAll(out.get(), sent));
    out.Close();
    reader.join();
    EXPECT_TRUE(received == sent) << received.size() << " bytes of " << sent.size();
}

TEST(WholeTransfers, FailuresAreReportedNotRepeated) {
    const auto handler = std::signal(SIGPIPE, SIG_IGN);
    auto [in, out] = NonBlockingPipe();
    in.Close();
    EXPECT_EQ(WriteAll(out.get(), "lost"), std::errc::broken_pipe);
    std::signal(SIGPIPE, handler);
    const FileDescriptor full = OpenFile("/dev/full", O_WRONLY);
    EXPECT_EQ(WriteAll(full.get(), "x"), std::errc::no_space_on_device);
    char byte;
    EXPECT_EQ(ReadSome(full.get(), &byte, 1).error, std::errc::bad_file_descriptor)
        << "open for writing only";
}

} // namespace
} // namespace ziffa
