#include "gui/Platform.h"

#include <QByteArray>
#include <QtGlobal>

#include <string_view>

namespace ziffa {

std::optional<std::string_view> ChosenPlatform(const PlatformFacts &facts) {
    if (!facts.qpaPlatform.empty() || facts.platformArgument)
        return std::nullopt; // the user's choice
    const bool wayland = !facts.waylandDisplay.empty() || facts.sessionType == "wayland";
    if (!wayland || facts.display.empty())
        return std::nullopt;
    return "xcb;wayland";
}

bool HasPlatformArgument(int argc, const char *const *argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i] != nullptr ? argv[i] : "";
        if (argument == "-platform" || argument == "--platform")
            return true;
    }
    return false;
}

void ChoosePlatform(int argc, const char *const *argv) {
    const QByteArray qpaPlatform = qgetenv("QT_QPA_PLATFORM");
    const QByteArray waylandDisplay = qgetenv("WAYLAND_DISPLAY");
    const QByteArray sessionType = qgetenv("XDG_SESSION_TYPE");
    const QByteArray display = qgetenv("DISPLAY");
    const auto view = [](const QByteArray &bytes) {
        return std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    };
    const std::optional<std::string_view> chosen =
        ChosenPlatform({.qpaPlatform = view(qpaPlatform),
                        .platformArgument = HasPlatformArgument(argc, argv),
                        .waylandDisplay = view(waylandDisplay),
                        .sessionType = view(sessionType),
                        .display = view(display)});
    if (chosen)
        qputenv("QT_QPA_PLATFORM",
                QByteArray(chosen->data(), static_cast<qsizetype>(chosen->size())));
}

} // namespace ziffa
