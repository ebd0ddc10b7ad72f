#include "system/StandardDescriptors.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace ziffa {

void ReserveStandardDescriptors() noexcept {
    constexpr int kModes[] = {O_WRONLY, O_RDONLY, O_WRONLY};
    for (int fd = 0; fd < 3; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        int opened;
        do {
            opened = ::open("/dev/null", kModes[fd] | O_NOCTTY);
        } while (opened < 0 && errno == EINTR);
        // The lower descriptors are all open by now, so this one is normally the one opened.
        if (opened >= 0 && opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
}

} // namespace ziffa
