#include "settings/SettingsPath.h"

#include <cstdlib>
#include <system_error>

#include "settings/FileIo.h"

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

std::optional<fs::path> ConfigHome(const EnvironmentLookup &environment) {
    if (auto xdg = NonEmpty(environment, "XDG_CONFIG_HOME")) {
        fs::path folder(*xdg);
        if (folder.is_absolute()) {
            return folder;
        }
    }
    if (auto home = NonEmpty(environment, "HOME")) {
        return fs::path(*home) / ".config";
    }
    return std::nullopt;
}

} // namespace

fs::path SettingsFilePath(const fs::path &executable, const EnvironmentLookup &environment,
                          const FolderWritable &folderWritable) {
    if (auto chosen = NonEmpty(environment, kSettingsOverrideVariable)) {
        return fs::path(*chosen);
    }
    fs::path besideExecutable = executable;
    if (!besideExecutable.has_filename()) {
        besideExecutable /= "ziffa";
    }
    besideExecutable.replace_extension(".ini");

    fs::path folder = besideExecutable.parent_path();
    if (folderWritable(folder.empty() ? fs::path(".") : folder)) {
        return besideExecutable;
    }
    if (auto configHome = ConfigHome(environment)) {
        return *configHome / "ziffa" / besideExecutable.filename();
    }
    return besideExecutable;
}

fs::path SettingsFilePath(const fs::path &executable) {
    const EnvironmentLookup environment = [](std::string_view name) -> std::optional<std::string> {
        const char *value = std::getenv(std::string(name).c_str());
        if (value == nullptr) {
            return std::nullopt;
        }
        return std::string(value);
    };
    return SettingsFilePath(executable, environment, CanCreateFilesIn);
}

void CreateSettingsFolder(const fs::path &settingsFile) {
    const fs::path folder = settingsFile.parent_path();
    if (folder.empty()) {
        return;
    }
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
        throw FileError(folder, "Cannot create the folder", error);
    }
}

} // namespace ziffa

namespace ziffa {

std::filesystem::path SettingsStateFolder(const EnvironmentLookup &environment) {
    const auto set = [&](std::string_view name) {
        std::optional<std::string> value = environment(name);
        return value && !value->empty() ? value : std::nullopt;
    };
    if (auto xdg = set("XDG_STATE_HOME")) {
        std::filesystem::path folder(*xdg);
        if (folder.is_absolute()) {
            return folder / "ziffa";
        }
    }
    if (auto home = set("HOME")) {
        return std::filesystem::path(*home) / ".local" / "state" / "ziffa";
    }
    return {};
}

std::filesystem::path SettingsStateFolder() {
    return SettingsStateFolder([](std::string_view name) -> std::optional<std::string> {
        const char *value = std::getenv(std::string(name).c_str());
        return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    });
}

} // namespace ziffa
