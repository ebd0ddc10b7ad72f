#include "cli/LineReader.h"

#include "system/FileDescriptor.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace ziffa {

namespace {

constexpr std::size_t kBlockSize = 256 * 1024;

} // namespace

LineReader::LineReader(int fd, std::size_t maxLength, std::function<void()> beforeWait)
    : fd_(fd), maxLength_(maxLength), beforeWait_(std::move(beforeWait)),
      buffer_(new char[kBlockSize]) {}

bool LineReader::Fill() {
    if (atEnd_ || error_ != 0)
        return false;
    if (beforeWait_)
        beforeWait_();
    const ReadOutcome read = ReadSome(fd_, buffer_.get(), kBlockSize);
    if (read.error) {
        error_ = read.error.value();
        return false;
    }
    if (read.bytes == 0) {
        atEnd_ = true;
        return false;
    }
    begin_ = 0;
    end_ = read.bytes;
    return true;
}

// The bytes of a regular file not read yet, or 0 for anything else.
std::size_t LineReader::UnreadBytes() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    const off_t position = ::lseek(fd_, 0, SEEK_CUR);
    if (position < 0 || position >= st.st_size)
        return 0;
    return static_cast<std::size_t>(st.st_size - position);
}

namespace {

// Joins the pieces of a long line that came through a pipe into line, freeing each piece once
// copied: the line is held about twice, never three times as when a string doubles its room.
void JoinPieces(std::string &line, std::vector<std::string> &pieces, std::size_t total) {
    std::string whole;
    whole.reserve(total);
    whole.append(line);
    line.clear();
    line.shrink_to_fit();
    for (std::string &piece : pieces) {
        whole.append(piece);
        std::string().swap(piece);
    }
    pieces.clear();
    line = std::move(whole);
}

} // namespace

LineReader::Status LineReader::Next(std::string &line) {
    line.clear();
    bool any = false;   // whether this line has begun
    bool sized = false; // whether the line's room has been sized from the file's length
    Status skipped = Status::Line;
    // A long line that can't be sized beforehand (a pipe) gathers what doesn't fit into the
    // line's room in pieces, joined once at its end.
    std::vector<std::string> pieces;
    std::size_t held = 0; // the line's bytes, pieces included
    // A "\r" before the "\n" is not part of the line, so one more character may be held.
    const std::size_t limit = maxLength_ + 1;
    auto skip = [&](Status why) {
        skipped = why;
        line.clear();
        line.shrink_to_fit();
        pieces.clear();
        pieces.shrink_to_fit();
        held = 0;
    };
    for (;;) {
        if (begin_ == end_ && !Fill()) {
            if (error_ != 0)
                return Status::ReadError;
            if (!any)
                return Status::End;
            break;
        }
        any = true;
        const char *start = buffer_.get() + begin_;
        const std::size_t available = end_ - begin_;
        const auto *newline = static_cast<const char *>(std::memchr(start, '\n', available));
        const std::size_t length =
            newline != nullptr ? static_cast<std::size_t>(newline - start) : available;
        if (skipped == Status::Line) {
            if (length > limit - held) {
                skip(Status::TooLong);
            } else {
                try {
                    if (newline == nullptr && !sized && held + length >= kBlockSize) {
                        // A long line from a file: room for the rest of the file at once, which
                        // saves copying the line each time its room doubles. Without that much
                        // memory, the line grows as it comes.
                        sized = true;
                        const std::size_t rest = UnreadBytes();
                        if (rest > 0) {
                            try {
                                line.reserve(std::min(held + length + rest, limit));
                            } catch (const std::bad_alloc &) {
                            }
                        }
                    }
                    if (pieces.empty() &&
                        (line.size() + length <= line.capacity() || held + length < kBlockSize))
                        line.append(start, length);
                    else
                        pieces.emplace_back(start, length);
                    held += length;
                } catch (const std::bad_alloc &) {
                    skip(Status::OutOfMemory);
                }
            }
        }
        begin_ += length;
        if (newline != nullptr) {
            ++begin_;
            break;
        }
    }
    if (skipped != Status::Line)
        return skipped;
    if (!pieces.empty()) {
        try {
            JoinPieces(line, pieces, held);
        } catch (const std::bad_alloc &) {
            skip(Status::OutOfMemory);
            return skipped;
        }
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.size() > maxLength_) {
        line.clear();
        return Status::TooLong;
    }
    return Status::Line;
}

} // namespace ziffa
