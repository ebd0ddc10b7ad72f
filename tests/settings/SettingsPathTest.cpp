#include "settings/SettingsPath.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "settings/IniStore.h"

namespace ziffa {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;
using test::WriteBytes;

struct PathCase {
    const char *label;
    std::string executable;
    std::map<std::string, std::string, std::less<>> environment;
    std::set<std::string> writableFolders;
    std::string expected;
};

TEST(SettingsFilePath, ChoosesTheFile) {
    const std::map<std::string, std::string, std::less<>> home = {{"HOME", "/home/u"}};
    const std::vector<PathCase> cases = {
        {"beside the executable", "/opt/z/bin/ziffa", home, {"/opt/z/bin"}, "/opt/z/bin/ziffa.ini"},
        {"extension replaced", "/a/ziffa.exe", home, {"/a"}, "/a/ziffa.ini"},
        {"renamed executable", "/a/calc", home, {"/a"}, "/a/calc.ini"},
        {"only the last extension", "/a/z.v2.bin", home, {"/a"}, "/a/z.v2.ini"},
        {"relative executable", "ziffa", home, {"."}, "ziffa.ini"},
        {"folder not writable: HOME",
         "/usr/bin/ziffa",
         home,
         {},
         "/home/u/.config/ziffa/ziffa.ini"},
        {"folder not writable: renamed",
         "/usr/bin/calc",
         home,
         {},
         "/home/u/.config/ziffa/calc.ini"},
        {"folder not writable: XDG_CONFIG_HOME",
         "/usr/bin/ziffa",
         {{"HOME", "/home/u"}, {"XDG_CONFIG_HOME", "/x/cfg"}},
         {},
         "/x/cfg/ziffa/ziffa.ini"},
        {"empty XDG_CONFIG_HOME is unset",
         "/usr/bin/ziffa",
         {{"HOME", "/home/u"}, {"XDG_CONFIG_HOME", ""}},
         {},
         "/home/u/.config/ziffa/ziffa.ini"},
        {"relative XDG_CONFIG_HOME is ignored",
         "/usr/bin/ziffa",
         {{"HOME", "/home/u"}, {"XDG_CONFIG_HOME", "cfg"}},
         {},
         "/home/u/.config/ziffa/ziffa.ini"},
        {"no HOME either", "/usr/bin/ziffa", {}, {}, "/usr/bin/ziffa.ini"},
        {"override",
         "/usr/bin/ziffa",
         {{"HOME", "/home/u"}, {"ZIFFA_SETTINGS", "/t/mine.cfg"}},
         {"/usr/bin"},
         "/t/mine.cfg"},
        {"empty override is unset",
         "/opt/ziffa",
         {{"HOME", "/home/u"}, {"ZIFFA_SETTINGS", ""}},
         {"/opt"},
         "/opt/ziffa.ini"},
    };
    for (const PathCase &c : cases) {
        SCOPED_TRACE(c.label);
        const EnvironmentLookup environment =
            [&](std::string_view name) -> std::optional<std::string> {
            const auto found = c.environment.find(name);
            if (found == c.environment.end()) {
                return std::nullopt;
            }
            return found->second;
        };
        const FolderWritable writable = [&](const fs::path &folder) {
            return c.writableFolders.count(folder.string()) > 0;
        };
        EXPECT_EQ(SettingsFilePath(c.executable, environment, writable), fs::path(c.expected));
    }
}

// Sets or unsets environment variables for a scope.
class EnvironmentScope {
public:
    void Set(const char *name, const std::optional<std::string> &value) {
        if (saved_.count(name) == 0) {
            const char *old = std::getenv(name);
            saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~EnvironmentScope() {
        for (const auto &[name, value] : saved_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

TEST(SettingsFilePath, RealFoldersAndEnvironment) {
    TempFolder folder;
    fs::create_directory(folder / "bin");
    WriteBytes(folder / "installed", "a plain file where the program's folder should be");
    EnvironmentScope environment;
    environment.Set("ZIFFA_SETTINGS", std::nullopt);
    environment.Set("HOME", (folder / "home").string());
    environment.Set("XDG_CONFIG_HOME", std::nullopt);

    EXPECT_EQ(SettingsFilePath(folder / "bin" / "ziffa"), folder / "bin" / "ziffa.ini");

    const fs::path fallback = SettingsFilePath(folder / "installed" / "ziffa");
    EXPECT_EQ(fallback, folder / "home" / ".config" / "ziffa" / "ziffa.ini");
    CreateSettingsFolder(fallback);
    IniStore store(fallback);
    store.WriteInteger("Calculator", "Left", 5);
    store.Save();
    EXPECT_EQ(IniStore(fallback).ReadInteger("Calculator", "Left", 0), 5);

    environment.Set("XDG_CONFIG_HOME", (folder / "xdg").string());
    EXPECT_EQ(SettingsFilePath(folder / "installed" / "ziffa"),
              folder / "xdg" / "ziffa" / "ziffa.ini");

    environment.Set("ZIFFA_SETTINGS", (folder / "chosen.ini").string());
    EXPECT_EQ(SettingsFilePath(folder / "bin" / "ziffa"), folder / "chosen.ini");
}

TEST(CreateSettingsFolder, MakesParentsOrThrows) {
    TempFolder folder;
    CreateSettingsFolder(folder / "a" / "b" / "s.ini");
    EXPECT_TRUE(fs::is_directory(folder / "a" / "b"));
    CreateSettingsFolder(folder / "a" / "b" / "s.ini"); // already there
    CreateSettingsFolder("s.ini");                      // the current folder
    WriteBytes(folder / "plain", "x");
    EXPECT_THROW(CreateSettingsFolder(folder / "plain" / "ziffa" / "s.ini"), FileError);
}

TEST(SettingsStateFolder, FollowsXdgStateHome) {
    using Environment = std::map<std::string, std::string, std::less<>>;
    const std::vector<std::pair<Environment, std::string>> cases = {
        {{{"HOME", "/home/u"}}, "/home/u/.local/state/ziffa"},
        {{{"HOME", "/home/u"}, {"XDG_STATE_HOME", "/x/state"}}, "/x/state/ziffa"},
        {{{"HOME", "/home/u"}, {"XDG_STATE_HOME", ""}}, "/home/u/.local/state/ziffa"},
        {{{"HOME", "/home/u"}, {"XDG_STATE_HOME", "state"}}, "/home/u/.local/state/ziffa"},
        {{{"XDG_STATE_HOME", "/x/state"}}, "/x/state/ziffa"},
        {{}, ""},
        {{{"HOME", ""}}, ""},
    };
    for (const auto &[environment, expected] : cases) {
        const auto lookup = [&](std::string_view name) -> std::optional<std::string> {
            const auto found = environment.find(name);
            if (found == environment.end()) {
                return std::nullopt;
            }
            return found->second;
        };
        EXPECT_EQ(SettingsStateFolder(lookup), fs::path(expected)) << expected;
    }
}

} // namespace
} // namespace ziffa
