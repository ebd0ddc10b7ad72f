#pragma once

// Where the settings file lives: beside the executable, with its base name and the extension
// ".ini", so a build run from its folder is portable and a renamed executable gets a file of its
// own. Where the executable's folder takes no new files (an installed program), the same file
// name in $XDG_CONFIG_HOME/ziffa/ (by default ~/.config/ziffa/), for loading and saving alike.
// The environment variable ZIFFA_SETTINGS, when set, is the file's full path.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace ziffa {

inline constexpr std::string_view kSettingsOverrideVariable = "ZIFFA_SETTINGS";

// The value of an environment variable, nothing when it is unset.
using EnvironmentLookup = std::function<std::optional<std::string>(std::string_view name)>;

// Whether new files can be created in a folder.
using FolderWritable = std::function<bool(const std::filesystem::path &folder)>;

// The settings file's path for an executable. An empty variable counts as unset, and a relative
// XDG_CONFIG_HOME is ignored. Without ZIFFA_SETTINGS, a writable executable folder, or either of
// XDG_CONFIG_HOME and HOME, the file beside the executable is the answer (and a save there fails
// quietly).
std::filesystem::path SettingsFilePath(const std::filesystem::path &executable,
                                       const EnvironmentLookup &environment,
                                       const FolderWritable &folderWritable);

// The same with the process's environment and a real probe of the executable's folder
// (CanCreateFilesIn).
std::filesystem::path SettingsFilePath(const std::filesystem::path &executable);

// Creates the folder of the settings file, with its parents, before a save. Throws FileError
// when that fails.
void CreateSettingsFolder(const std::filesystem::path &settingsFile);

} // namespace ziffa

namespace ziffa {

// The user's state folder for the program, where a save that writes the settings file in place
// keeps its journal (see ReplaceFile): $XDG_STATE_HOME/ziffa, by default ~/.local/state/ziffa.
// An empty or relative XDG_STATE_HOME counts as unset; without it and HOME, nothing (an empty
// path), and then the settings file is never written in place.
std::filesystem::path SettingsStateFolder(const EnvironmentLookup &environment);

// The same with the process's environment.
std::filesystem::path SettingsStateFolder();

} // namespace ziffa
