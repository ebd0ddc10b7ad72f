#include "settings/SettingsPath.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

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

EnvironmentLookup LookupIn(const std::map<std::string, std::string, std::less<>> &variables) {
    return [&variables](std::string_view name) -> std::optional<std::string> {
        const auto found = variables.find(name);
        if (found == variables.end()) {
            return std::nullopt;
        }
        return found->second;
    };
}

TEST(SettingsFilePath, ChoosesTheFile) {
    const std::map<std::string, std::string, std::less<>> home = {{"HOME", "/home/u"}};
    const std::vector<PathCase> cases = {
        {"beside the executable", "/opt/z/ziffa", home, {"/opt/z"}, "/opt/z/ziffa.ini"},
        {"extension replaced", "/a/ziffa.exe", home, {"/a"}, "/a/ziffa.ini"},
        {"renamed executable", "/a/calc", home, {"/a"}, "/a/calc.ini"},
        {"only the last extension", "/a/z.v2.bin", home, {"/a"}, "/a/z.v2.ini"},
        {"relative executable", "ziffa", home, {"."}, "ziffa.ini"},
        {"a build in its own folder",
         "/home/u/src/ziffa/build/ziffa",
         home,
         {"/home/u/src/ziffa/build"},
         "/home/u/src/ziffa/build/ziffa.ini"},
        {"a build under /usr is no installed program",
         "/usr/src/ziffa/build/ziffa",
         home,
         {"/usr/src/ziffa/build"},
         "/usr/src/ziffa/build/ziffa.ini"},
        {"folder not writable: HOME", "/srv/ro/ziffa", home, {}, "/home/u/.config/ziffa/ziffa.ini"},
        {"folder not writable: renamed",
         "/srv/ro/calc",
         home,
         {},
         "/home/u/.config/ziffa/calc.ini"},
        {"installed, run by root, who may write /usr/bin",
         "/usr/bin/ziffa",
         {{"HOME", "/root"}},
         {"/usr/bin"},
         "/root/.config/ziffa/ziffa.ini"},
        {"installed, run by a user", "/usr/bin/ziffa", home, {}, "/home/u/.config/ziffa/ziffa.ini"},
        {"installed and renamed",
         "/usr/bin/calc",
         home,
         {"/usr/bin"},
         "/home/u/.config/ziffa/calc.ini"},
        {"installed in /usr/local",
         "/usr/local/bin/ziffa",
         home,
         {"/usr/local/bin"},
         "/home/u/.config/ziffa/ziffa.ini"},
        {"installed in /bin", "/bin/ziffa", home, {"/bin"}, "/home/u/.config/ziffa/ziffa.ini"},
        {"installed in games",
         "/usr/games/ziffa",
         home,
         {"/usr/games"},
         "/home/u/.config/ziffa/ziffa.ini"},
        {"the build's own install folder",
         "/opt/ziffa/bin/ziffa",
         home,
         {"/opt/ziffa/bin"},
         "/home/u/.config/ziffa/ziffa.ini"},
        {"the build's install folder given with a trailing slash",
         "/srv/z/bin/ziffa",
         home,
         {"/srv/z/bin"},
         "/home/u/.config/ziffa/ziffa.ini"},
        {"the user's own ~/.local/bin",
         "/home/u/.local/bin/ziffa",
         home,
         {"/home/u/.local/bin"},
         "/home/u/.config/ziffa/ziffa.ini"},
        {"a path spelled with dots is still /usr/bin",
         "/usr/lib/../bin/./ziffa",
         home,
         {"/usr/lib/../bin/."},
         "/home/u/.config/ziffa/ziffa.ini"},
        {"a bin folder elsewhere is no installed program",
         "/home/u/bin/ziffa",
         home,
         {"/home/u/bin"},
         "/home/u/bin/ziffa.ini"},
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
    std::vector<fs::path> installed = InstalledProgramFolders(LookupIn(home), "/opt/ziffa/bin");
    installed.emplace_back("/srv/z/bin/");
    for (const PathCase &c : cases) {
        SCOPED_TRACE(c.label);
        const FolderWritable writable = [&](const fs::path &folder) {
            return c.writableFolders.count(folder.string()) > 0;
        };
        EXPECT_EQ(SettingsFilePath(c.executable, LookupIn(c.environment), writable, installed),
                  fs::path(c.expected));
    }
}

TEST(InstalledProgramFolders, SystemFoldersTheInstallFolderAndTheUsersOwn) {
    const std::map<std::string, std::string, std::less<>> home = {{"HOME", "/home/u"}};
    const std::vector<fs::path> system = {
        "/bin",       "/sbin",          "/usr/bin",        "/usr/sbin",
        "/usr/games", "/usr/local/bin", "/usr/local/sbin", "/usr/local/games"};

    std::vector<fs::path> expected = system;
    expected.push_back("/opt/z/bin");
    expected.push_back("/home/u/.local/bin");
    EXPECT_EQ(InstalledProgramFolders(LookupIn(home), "/opt/z/bin"), expected);

    EXPECT_EQ(InstalledProgramFolders(LookupIn({}), ""), system);
    EXPECT_EQ(InstalledProgramFolders(LookupIn({{"HOME", ""}}), ""), system);
    EXPECT_EQ(InstalledProgramFolders(LookupIn({{"HOME", "relative"}}), ""), system);
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
    TempFolder temp;
    const fs::path folder = fs::canonical(temp.path());
    fs::create_directory(folder / "bin");
    WriteBytes(folder / "installed", "a plain file where the program's folder should be");
    EnvironmentScope environment;
    environment.Set("ZIFFA_SETTINGS", std::nullopt);
    environment.Set("HOME", (folder / "home").string());
    environment.Set("XDG_CONFIG_HOME", std::nullopt);
    const fs::path inHome = folder / "home" / ".config" / "ziffa" / "ziffa.ini";

    EXPECT_EQ(SettingsFilePath(folder / "bin" / "ziffa"), folder / "bin" / "ziffa.ini");

    const fs::path fallback = SettingsFilePath(folder / "installed" / "ziffa");
    EXPECT_EQ(fallback, inHome);
    CreateSettingsFolder(fallback);
    IniStore store(fallback);
    store.WriteInteger("Calculator", "Left", 5);
    store.Save();
    EXPECT_EQ(IniStore(fallback).ReadInteger("Calculator", "Left", 0), 5);

    // Installed programs, whether or not their folder is writable (it is for root).
    EXPECT_EQ(SettingsFilePath("/usr/bin/ziffa"), inHome);
    EXPECT_EQ(SettingsFilePath("/usr/local/bin/ziffa"), inHome);
    EXPECT_EQ(SettingsFilePath("/bin/ziffa"), inHome); // /usr/bin itself where /usr is merged
    fs::create_directories(folder / "home" / ".local" / "bin");
    EXPECT_EQ(SettingsFilePath(folder / "home" / ".local" / "bin" / "ziffa"), inHome);

    // A home reached through a symbolic link is still the same ~/.local/bin.
    fs::create_directory_symlink(folder / "home", folder / "home-link");
    environment.Set("HOME", (folder / "home-link").string());
    EXPECT_EQ(SettingsFilePath(folder / "home" / ".local" / "bin" / "ziffa"),
              folder / "home-link" / ".config" / "ziffa" / "ziffa.ini");
    environment.Set("HOME", (folder / "home").string());

    environment.Set("XDG_CONFIG_HOME", (folder / "xdg").string());
    EXPECT_EQ(SettingsFilePath(folder / "installed" / "ziffa"),
              folder / "xdg" / "ziffa" / "ziffa.ini");
    EXPECT_EQ(SettingsFilePath("/usr/bin/ziffa"), folder / "xdg" / "ziffa" / "ziffa.ini");

    environment.Set("ZIFFA_SETTINGS", (folder / "chosen.ini").string());
    EXPECT_EQ(SettingsFilePath(folder / "bin" / "ziffa"), folder / "chosen.ini");
}

TEST(SettingsFilePath, WithoutHomeTheUserDatabaseNamesTheHome) {
    const passwd *user = ::getpwuid(::getuid());
    if (user == nullptr || user->pw_dir == nullptr || user->pw_dir[0] == '\0') {
        GTEST_SKIP() << "this user has no entry in the user database";
    }
    const fs::path expected = fs::path(user->pw_dir) / ".config" / "ziffa" / "ziffa.ini";
    EnvironmentScope environment;
    environment.Set("ZIFFA_SETTINGS", std::nullopt);
    environment.Set("XDG_CONFIG_HOME", std::nullopt);
    environment.Set("HOME", std::nullopt);
    EXPECT_EQ(SettingsFilePath("/usr/bin/ziffa"), expected);
    environment.Set("HOME", "");
    EXPECT_EQ(SettingsFilePath("/usr/bin/ziffa"), expected);
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
