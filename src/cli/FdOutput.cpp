#include "cli/FdOutput.h"

#include "system/FileDescriptor.h"

namespace ziffa {

FdOutput::FdOutput(int fd, std::size_t capacity) : fd_(fd), capacity_(capacity) {
    buffer_.reserve(capacity_);
}

void FdOutput::Write(std::string_view text) {
    if (error_ != 0)
        return;
    if (buffer_.size() + text.size() <= capacity_) {
        buffer_.append(text);
        return;
    }
    Flush();
    if (text.size() < capacity_)
        buffer_.append(text);
    else
        WriteAll(text);
}

bool FdOutput::Flush() {
    if (!buffer_.empty()) {
        WriteAll(buffer_);
        buffer_.clear();
    }
    return error_ == 0;
}

void FdOutput::WriteAll(std::string_view text) {
    if (error_ == 0)
        error_ = ziffa::WriteAll(fd_, text).value();
}

} // namespace ziffa
