#include "system/SafeReplace.h"

#include "system/FileDescriptor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TempFolder.h"

namespace ziffa {
namespace {

namespace fs = std::filesystem;
using test::NamesIn;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

mode_t ModeOf(const fs::path &file) {
    struct stat st {};
    EXPECT_EQ(::stat(file.c_str(), &st), 0);
    return st.st_mode & 07777;
}

// Sets the process's umask for a scope.
class Umask {
public:
    explicit Umask(mode_t mask) : old_(::umask(mask)) {}
    ~Umask() { ::umask(old_); }

private:
    mode_t old_;
};

// Limits the size of any file the process writes for a scope, so that a write fails part-way as
// on a full disk (with EFBIG instead of ENOSPC).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

// A file name of NAME_MAX characters: the file can be made, a longer temporary name beside it
// can't, even for root.
std::string LongestName() {
    return std::string(NAME_MAX - 4, 'n') + ".ini";
}

TEST(ReplaceFile, NewFileTakesItsPermissionsFromTheUmask) {
    const std::vector<std::pair<mode_t, mode_t>> cases = {{022, 0644}, {077, 0600}, {002, 0664}};
    for (const auto &[mask, mode] : cases) {
        SCOPED_TRACE(mask);
        TempFolder folder;
        const Umask scope(mask);
        ReplaceFile(folder / "s.ini", "new", {});
        EXPECT_EQ(ReadBytes(folder / "s.ini"), "new");
        EXPECT_EQ(ModeOf(folder / "s.ini"), mode);
        EXPECT_EQ(NamesIn(folder.path()), std::vector<std::string>{"s.ini"});
    }
}

TEST(ReplaceFile, KeepsTheOldFilesPermissions) {
    for (const mode_t mode : {0600, 0640, 0604, 0755, 0666}) {
        SCOPED_TRACE(mode);
        TempFolder folder;
        const auto file = folder / "s.ini";
        WriteBytes(file, "old contents");
        ASSERT_EQ(::chmod(file.c_str(), mode), 0);
        ReplaceFile(file, "new", {});
        EXPECT_EQ(ReadBytes(file), "new");
        EXPECT_EQ(ModeOf(file), mode);
        EXPECT_EQ(NamesIn(folder.path()), std::vector<std::string>{"s.ini"});
    }
}

TEST(ReplaceFile, ReadOnlyFileIsReplacedOnlyWhereTheUserMayWriteIt) {
    TempFolder folder;
    const auto file = folder / "s.ini";
    WriteBytes(file, "old");
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    // Root may write any file; anyone else may not write this one.
    if (::access(file.c_str(), W_OK) == 0) {
        ReplaceFile(file, "new", {});
        EXPECT_EQ(ReadBytes(file), "new");
        EXPECT_EQ(ModeOf(file), 0444);
    } else {
        EXPECT_THROW(ReplaceFile(file, "new", {}), FileError);
        EXPECT_EQ(ReadBytes(file), "old");
    }
}

struct LinkCase {
    const char *label;
    std::vector<std::pair<std::string, std::string>> links; // link name, what it points to
    std::string target;                                     // the file finally written
    bool targetExists;
};

TEST(ReplaceFile, WritesThroughSymbolicLinks) {
    const std::vector<LinkCase> cases = {
        {"relative link", {{"s.ini", "real.ini"}}, "real.ini", true},
        {"link into another folder", {{"s.ini", "sub/real.ini"}}, "sub/real.ini", true},
        {"chain of links",
         {{"s.ini", "second.ini"}, {"second.ini", "sub/real.ini"}},
         "sub/real.ini",
         true},
        {"dangling link", {{"s.ini", "sub/new.ini"}}, "sub/new.ini", false},
        {"absolute link", {{"s.ini", "<folder>/sub/real.ini"}}, "sub/real.ini", true},
    };
    for (const LinkCase &c : cases) {
        SCOPED_TRACE(c.label);
        TempFolder folder;
        fs::create_directory(folder / "sub");
        if (c.targetExists) {
            WriteBytes(folder / c.target, "old");
            ASSERT_EQ(::chmod((folder / c.target).c_str(), 0640), 0);
        }
        for (const auto &[link, to] : c.links) {
            const bool absolute = to.rfind("<folder>/", 0) == 0;
            fs::create_symlink(absolute ? folder / to.substr(9) : fs::path(to), folder / link);
        }
        ReplaceFile(folder / "s.ini", "new", {});
        for (const auto &[link, to] : c.links) {
            EXPECT_TRUE(fs::is_symlink(folder / link)) << link;
        }
        EXPECT_EQ(ReadBytes(folder / c.target), "new");
        if (c.targetExists) {
            EXPECT_EQ(ModeOf(folder / c.target), 0640);
        }
    }
}

TEST(ReplaceFile, FailureLeavesWhatStoodThere) {
    TempFolder folder;
    fs::create_directory(folder / "folder.ini");
    WriteBytes(folder / "folder.ini" / "inside", "kept");
    WriteBytes(folder / "plain", "a file where a folder should be");
    fs::create_symlink("loop.ini", folder / "loop.ini");
    // Each failure names the file and tells why in Polish.
    const std::vector<std::pair<fs::path, std::string>> cases = {
        {folder / "folder.ini", "w jego miejscu jest folder"},
        {folder / "plain" / "s.ini", "element ścieżki nie jest folderem"},
        {folder / "missing" / "s.ini",
         "nie ma takiego pliku ani folderu, a bez folderu na kopię nowej treści (XDG_STATE_HOME, "
         "HOME) nie da się go bezpiecznie zapisać w miejscu"},
        {folder / "loop.ini", "zbyt wiele poziomów dowiązań symbolicznych"},
    };
    for (const auto &[file, reason] : cases) {
        SCOPED_TRACE(file.string());
        try {
            ReplaceFile(file, "new", {});
            ADD_FAILURE() << "no exception";
        } catch (const FileError &error) {
            EXPECT_STREQ(error.what(),
                         ("Nie można zapisać pliku \"" + file.string() + "\": " + reason).c_str());
        }
    }
    EXPECT_EQ(ReadBytes(folder / "folder.ini" / "inside"), "kept");
    EXPECT_EQ(ReadBytes(folder / "plain"), "a file where a folder should be");
    EXPECT_EQ(NamesIn(folder.path()),
              (std::vector<std::string>{"folder.ini", "loop.ini", "plain"}));
}

TEST(ReplaceFile, WriteFailingPartWayKeepsTheOldFileWhole) {
    TempFolder folder;
    const auto file = folder / "s.ini";
    const std::string old = "[Calculator]\nWidth=500\n\n";
    WriteBytes(file, old);
    {
        const FileSizeLimit limit(4096);
        try {
            ReplaceFile(file, std::string(100000, 'x'), {});
            ADD_FAILURE() << "no exception";
        } catch (const FileError &error) {
            EXPECT_STREQ(
                error.what(),
                ("Nie można zapisać pliku \"" + file.string() + "\": plik jest za duży").c_str());
        }
    }
    EXPECT_EQ(ReadBytes(file), old);
    EXPECT_EQ(NamesIn(folder.path()), std::vector<std::string>{"s.ini"}) << "no temporary left";
}

TEST(ReplaceFile, WritesDirectlyWhereNoTemporaryFileFits) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "new contents"},
        {"a longer old text that is cut to the new length", "short"},
        {"old", ""},
    };
    for (const auto &[old, contents] : cases) {
        SCOPED_TRACE(old);
        TempFolder folder;
        TempFolder state;
        const auto file = folder / LongestName();
        WriteBytes(file, old);
        ASSERT_EQ(::chmod(file.c_str(), 0604), 0);
        ReplaceFile(file, contents, state / "journal");
        EXPECT_EQ(ReadBytes(file), contents);
        EXPECT_EQ(ModeOf(file), 0604);
        EXPECT_EQ(NamesIn(folder.path()), std::vector<std::string>{LongestName()});
        EXPECT_EQ(NamesIn(state / "journal"), std::vector<std::string>{}) << "journal removed";
        EXPECT_EQ(ModeOf(state / "journal"), 0700u) << "made for the user alone";
    }
}

TEST(ReplaceFile, WritesInPlaceOnlyWithAJournal) {
    TempFolder folder;
    const auto file = folder / LongestName();
    WriteBytes(file, "old");
    EXPECT_THROW(ReplaceFile(file, "new", {}), FileError);
    EXPECT_EQ(ReadBytes(file), "old");
    WriteBytes(folder / "blocker", "a plain file where the journal folder should be");
    EXPECT_THROW(ReplaceFile(file, "new", folder / "blocker" / "journal"), FileError);
    EXPECT_EQ(ReadBytes(file), "old");
}

TEST(ReplaceFile, DirectWriteReservesSpaceBeforeTouchingTheOldFile) {
    TempFolder folder;
    TempFolder state;
    const auto file = folder / LongestName();
    WriteBytes(file, "old contents");
    {
        const FileSizeLimit limit(4096);
        EXPECT_THROW(ReplaceFile(file, std::string(100000, 'x'), state.path()), FileError);
    }
    EXPECT_EQ(ReadBytes(file), "old contents");
    EXPECT_EQ(NamesIn(state.path()), std::vector<std::string>{}) << "no journal of a failed save";
}

TEST(ReplaceFile, DirectWriteCreatesAMissingFileWholeOrNot) {
    TempFolder folder;
    TempFolder state;
    const auto file = folder / LongestName();
    ReplaceFile(file, "new", state.path());
    EXPECT_EQ(ReadBytes(file), "new");
    fs::remove(file);
    {
        const FileSizeLimit limit(4096);
        EXPECT_THROW(ReplaceFile(file, std::string(100000, 'x'), state.path()), FileError);
    }
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(NamesIn(state.path()), std::vector<std::string>{});
}

// A process id that no process has: that of a child that has ended and been waited for.
pid_t EndedProcess() {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::_exit(0);
    }
    ::waitpid(pid, nullptr, 0);
    return pid;
}

TEST(ReplaceFile, RemovesWhatKilledSavesLeftAndNothingElse) {
    const std::string dead = std::to_string(EndedProcess());
    const std::string living = std::to_string(::getppid());
    struct Leftover {
        std::string name;
        bool removed;
    };
    const std::vector<Leftover> cases = {
        {".s.ini." + dead + ".1f3a.tmp", true},       // its writer is gone
        {".s.ini." + living + ".1f3a.tmp", false},    // its writer still runs
        {".s.ini." + dead + ".beef.tmp", false},      // locked: a save still under way
        {".other.ini." + dead + ".1f3a.tmp", false},  // another file's
        {".s.ini.1f3a.tmp", false},                   // not named by a writer
        {".s.ini." + dead + ".1f3a.tmp.keep", false}, // not a temporary name
    };
    for (const bool recovery : {false, true}) {
        SCOPED_TRACE(recovery ? "at a start" : "at a save");
        TempFolder folder;
        TempFolder state;
        WriteBytes(folder / "s.ini", "old");
        for (const Leftover &leftover : cases) {
            WriteBytes(folder / leftover.name, "part of a save");
        }
        FileDescriptor locked = OpenFile(folder / (".s.ini." + dead + ".beef.tmp"), O_RDONLY);
        ASSERT_EQ(::flock(locked.get(), LOCK_EX), 0);
        if (recovery) {
            RecoverInterruptedReplace(folder / "s.ini", state.path());
        } else {
            ReplaceFile(folder / "s.ini", "new", state.path());
        }
        locked.Close();
        for (const Leftover &leftover : cases) {
            EXPECT_EQ(fs::exists(folder / leftover.name), !leftover.removed) << leftover.name;
        }
        EXPECT_EQ(ReadBytes(folder / "s.ini"), recovery ? "old" : "new");
    }
}

TEST(RecoverInterruptedReplace, DamagedJournalIsDroppedAndTheFileLeftAlone) {
    TempFolder folder;
    TempFolder state;
    const auto file = folder / "s.ini";
    WriteBytes(file, "old");
    const fs::path journal = JournalFileOf(file, state.path());
    EXPECT_EQ(journal.parent_path(), state.path());
    EXPECT_EQ(JournalFileOf(folder / "." / "s.ini", state.path()), journal) << "one file, one name";
    EXPECT_NE(JournalFileOf(folder / "t.ini", state.path()), journal);
    WriteBytes(journal, "not a journal at all");
    RecoverInterruptedReplace(file, state.path());
    EXPECT_EQ(ReadBytes(file), "old");
    EXPECT_FALSE(fs::exists(journal));
}

TEST(CanCreateFilesIn, ProbesTheFolder) {
    TempFolder folder;
    WriteBytes(folder / "plain", "x");
    EXPECT_TRUE(CanCreateFilesIn(folder.path()));
    EXPECT_FALSE(CanCreateFilesIn(folder / "plain"));
    EXPECT_FALSE(CanCreateFilesIn(folder / "missing"));
    EXPECT_EQ(NamesIn(folder.path()), std::vector<std::string>{"plain"}) << "the probe is removed";
}

} // namespace
} // namespace ziffa
