#pragma once

// Where the settings file lives. A program run from its own folder (a build, a portable copy)
// keeps the file beside the executable, with its base name and the extension ".ini", so a renamed
// executable gets a file of its own. An installed program never writes beside itself: whoever
// runs it, even root, who may write into /usr/bin, it keeps the same file name in
// $XDG_CONFIG_HOME/ziffa/ (by default ~/.config/ziffa/). So does a program whose folder takes no
// new files. The environment variable ZIFFA_SETTINGS, when set, is the file's full path.

#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ziffa {

inline constexpr std::string_view kSettingsOverrideVariable = "ZIFFA_SETTINGS";

// The value of an environment variable, nothing when it is unset.
using EnvironmentLookup = std::function<std::optional<std::string>(std::string_view name)>;

// Whether new files can be created in a folder.
using FolderWritable = std::function<bool(const std::filesystem::path &folder)>;

// The folders that installed programs run from: /bin, /sbin, and the bin, sbin and games folders
// of /usr and /usr/local; the folder this build installs its program into (installFolder, when not
// empty), and the user's own ~/.local/bin (when HOME is an absolute path).
std::vector<std::filesystem::path>
InstalledProgramFolders(const EnvironmentLookup &environment,
                        const std::filesystem::path &installFolder);

// The settings file's path for an executable. An executable whose folder is one of
// installedFolders (compared after lexical normalisation) is an installed program. An empty
// variable counts as unset, and a relative XDG_CONFIG_HOME is ignored. Where the file belongs in
// the configuration folder but neither XDG_CONFIG_HOME nor HOME says where that is, the answer is
// the file beside the executable (where a save is likely to fail, and the failure is reported).
std::filesystem::path SettingsFilePath(const std::filesystem::path &executable,
                                       const EnvironmentLookup &environment,
                                       const FolderWritable &folderWritable,
                                       std::span<const std::filesystem::path> installedFolders);

// The same for the running process: its environment, with the home folder from the user database
// when HOME is unset; the installed folders of InstalledProgramFolders with the folder this build
// installs into, all with symbolic links resolved; and a real probe of the executable's folder
// (CanCreateFilesIn).
std::filesystem::path SettingsFilePath(const std::filesystem::path &executable);

// Creates the folder of the settings file, with its parents, before a save. Throws FileError
// when that fails.
void CreateSettingsFolder(const std::filesystem::path &settingsFile);

// The user's state folder for the program, where a save that writes the settings file in place
// keeps its journal (see ReplaceFile): $XDG_STATE_HOME/ziffa, by default ~/.local/state/ziffa.
// An empty or relative XDG_STATE_HOME counts as unset; without it and HOME, nothing (an empty
// path), and then the settings file is never written in place.
std::filesystem::path SettingsStateFolder(const EnvironmentLookup &environment);

// The same with the process's environment.
std::filesystem::path SettingsStateFolder();

} // namespace ziffa
