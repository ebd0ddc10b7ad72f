#include "settings/SettingsPath.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <system_error>

#include "system/SafeReplace.h"

// The folder that the build's install rules put the program into (CMake's full BINDIR).
#ifndef ZIFFA_INSTALL_BINDIR
#define ZIFFA_INSTALL_BINDIR ""
#endif

namespace ziffa {

namespace fs = std::filesystem;

namespace {

std::optional<std::string> NonEmpty(const EnvironmentLookup &environment, std::string_view name) {
    std::optional<std::string> value = environment(name);
    if (value && value->empty()) {
        return std::nullopt;
    }
    return value;
}

std::optional<fs::path> AbsoluteFolder(const EnvironmentLookup &environment,
                                       std::string_view name) {
    if (auto value = NonEmpty(environment, name)) {
        fs::path folder(*value);
        if (folder.is_absolute()) {
            return folder;
        }
    }
    return std::nullopt;
}

std::optional<fs::path> ConfigHome(const EnvironmentLookup &environment) {
    if (auto xdg = AbsoluteFolder(environment, "XDG_CONFIG_HOME")) {
        return xdg;
    }
    if (auto home = NonEmpty(environment, "HOME")) {
        return fs::path(*home) / ".config";
    }
    return std::nullopt;
}

// "/usr/bin/", "/usr/./bin" and "/usr/bin" are one folder.
fs::path NormalFolder(const fs::path &folder) {
    fs::path normal = folder.lexically_normal();
    if (!normal.has_filename() && normal.has_relative_path()) {
        normal = normal.parent_path();
    }
    return normal;
}

// The home folder from the user database, for a process started without HOME.
std::optional<std::string> HomeOfUser() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buffer(size > 0 ? static_cast<std::size_t>(size) : 16384, '\0');
    passwd entry{};
    passwd *found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr || found->pw_dir[0] == '\0') {
        return std::nullopt;
    }
    return std::string(found->pw_dir);
}

std::optional<std::string> ProcessEnvironment(std::string_view name) {
    const std::string key(name);
    const char *value = std::getenv(key.c_str());
    if (value != nullptr && (value[0] != '\0' || name != "HOME")) {
        return std::string(value);
    }
    if (name == "HOME") {
        return HomeOfUser();
    }
    return std::nullopt;
}

// The folder with symbolic links resolved as far as it exists (merged /usr: /bin is /usr/bin).
fs::path ResolvedFolder(const fs::path &folder) {
    std::error_code error;
    fs::path resolved = fs::weakly_canonical(folder, error);
    return error ? folder : resolved;
}

} // namespace

std::vector<fs::path> InstalledProgramFolders(const EnvironmentLookup &environment,
                                              const fs::path &installFolder) {
    std::vector<fs::path> folders;
    for (const char *system : {"/bin", "/sbin", "/usr/bin", "/usr/sbin", "/usr/games",
                               "/usr/local/bin", "/usr/local/sbin", "/usr/local/games"}) {
        folders.emplace_back(system);
    }
    if (!installFolder.empty()) {
        folders.push_back(installFolder);
    }
    if (auto home = AbsoluteFolder(environment, "HOME")) {
        folders.push_back(*home / ".local" / "bin");
    }
    return folders;
}

fs::path SettingsFilePath(const fs::path &executable, const EnvironmentLookup &environment,
                          const FolderWritable &folderWritable,
                          std::span<const fs::path> installedFolders) {
    if (auto chosen = NonEmpty(environment, kSettingsOverrideVariable)) {
        return fs::path(*chosen);
    }
    fs::path besideExecutable = executable;
    if (!besideExecutable.has_filename()) {
        besideExecutable /= "ziffa";
    }
    besideExecutable.replace_extension(".ini");

    const fs::path folder = besideExecutable.parent_path();
    const fs::path normalFolder = NormalFolder(folder);
    const bool installed =
        std::any_of(installedFolders.begin(), installedFolders.end(),
                    [&](const fs::path &place) { return NormalFolder(place) == normalFolder; });
    if (!installed && folderWritable(folder.empty() ? fs::path(".") : folder)) {
        return besideExecutable;
    }
    if (auto configHome = ConfigHome(environment)) {
        return *configHome / "ziffa" / besideExecutable.filename();
    }
    return besideExecutable;
}

fs::path SettingsFilePath(const fs::path &executable) {
    const EnvironmentLookup environment = ProcessEnvironment;
    std::vector<fs::path> installed =
        InstalledProgramFolders(environment, fs::path(ZIFFA_INSTALL_BINDIR));
    for (fs::path &folder : installed) {
        folder = ResolvedFolder(folder);
    }
    fs::path resolvedExecutable = executable;
    if (executable.has_filename() && executable.has_parent_path()) {
        resolvedExecutable = ResolvedFolder(executable.parent_path()) / executable.filename();
    }
    return SettingsFilePath(resolvedExecutable, environment, CanCreateFilesIn, installed);
}

void CreateSettingsFolder(const fs::path &settingsFile) {
    const fs::path folder = settingsFile.parent_path();
    if (folder.empty()) {
        return;
    }
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
        throw FileError(folder, "Nie można utworzyć folderu", error);
    }
}

fs::path SettingsStateFolder(const EnvironmentLookup &environment) {
    if (auto xdg = AbsoluteFolder(environment, "XDG_STATE_HOME")) {
        return *xdg / "ziffa";
    }
    if (auto home = NonEmpty(environment, "HOME")) {
        return fs::path(*home) / ".local" / "state" / "ziffa";
    }
    return {};
}

fs::path SettingsStateFolder() {
    return SettingsStateFolder([](std::string_view name) -> std::optional<std::string> {
        const char *value = std::getenv(std::string(name).c_str());
        return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    });
}

} // namespace ziffa
