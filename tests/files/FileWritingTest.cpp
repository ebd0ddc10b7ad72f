// Files the program writes, pictures and the settings file: whole or not at all, every failure
// reported, on a full file system, on devices, and with the writing process killed at any moment.
#include "SessionText.h"
#include "TempFolder.h"

#include "components/PictureFile.h"
#include "settings/IniStore.h"
#include "system/FileDescriptor.h"
#include "system/SafeReplace.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <csignal>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace ziffa {
namespace {

namespace fs = std::filesystem;
using test::NamesIn;
using test::ReadBytes;
using test::SessionText;
using test::TempFolder;
using test::WriteBytes;

// ---- Processes

std::string ReadAll(int fd) {
    std::string bytes;
    char buffer[65536];
    for (ReadOutcome read; (read = ReadSome(fd, buffer, sizeof buffer)).bytes > 0;)
        bytes.append(buffer, read.bytes);
    return bytes;
}

// A process of its own: standard output to a pipe that this object reads (or to a given
// descriptor), standard error to a file.
class Process {
public:
    explicit Process(const std::vector<std::string> &args, int out = -1,
                     const fs::path &err = "/dev/null") {
        FileDescriptor pipeEnd; // the child's end, closed here once the child has it
        if (out < 0) {
            int pipeFds[2] = {-1, -1};
            EXPECT_EQ(::pipe2(pipeFds, O_CLOEXEC), 0);
            out_ = FileDescriptor(pipeFds[0]);
            pipeEnd = FileDescriptor(pipeFds[1]);
            out = pipeEnd.get();
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<char *> argv;
        for (const std::string &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        EXPECT_EQ(::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0)
            << args[0];
        posix_spawn_file_actions_destroy(&actions);
    }
    Process(const Process &) = delete;
    Process &operator=(const Process &) = delete;
    ~Process() {
        if (!ended_)
            Kill();
    }

    // Reads standard output up to a line, false when it ends first.
    bool WaitForLine(std::string_view line) {
        std::string got;
        char c;
        while (::read(out_.get(), &c, 1) == 1) {
            if (c != '\n') {
                got += c;
            } else if (got == line) {
                return true;
            } else {
                got.clear();
            }
        }
        return false;
    }
    std::string Output() { return ReadAll(out_.get()); }

    bool Ended() {
        if (!ended_ && ::waitpid(pid_, &status_, WNOHANG) == pid_)
            ended_ = true;
        return ended_;
    }
    // The exit status, or 128 plus the signal that ended it.
    int Finish() {
        if (!ended_) {
            while (::waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
            }
            ended_ = true;
        }
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
    }
    void Kill() {
        ::kill(pid_, SIGKILL);
        Finish();
    }
    void Stop() { ::kill(pid_, SIGSTOP); }
    void Continue() { ::kill(pid_, SIGCONT); }

private:
    pid_t pid_ = -1;
    FileDescriptor out_;
    int status_ = 0;
    bool ended_ = false;
};

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome RunProgram(const std::vector<std::string> &args) {
    const TempFolder folder;
    Process process(args, -1, folder / "err");
    std::string out = process.Output();
    const int status = process.Finish();
    return {status, std::move(out), ReadBytes(folder / "err")};
}

bool HoldsTemporaryFile(const fs::path &folder) {
    const std::vector<std::string> names = NamesIn(folder);
    return std::any_of(names.begin(), names.end(),
                       [](const std::string &n) { return n.ends_with(".tmp"); });
}

// ---- Pictures

QImage SomePicture(int size) {
    QImage picture(size, size, QImage::Format_RGB32);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            picture.setPixel(x, y, qRgb(x * 7, y * 3, (x ^ y) & 255));
    return picture;
}

QImage Decoded(const std::string &bytes) {
    return QImage::fromData(QByteArray::fromStdString(bytes), "PNG")
        .convertToFormat(QImage::Format_RGB32);
}

TEST(PictureFile, RegularFilesAreReplacedWholeDevicesWrittenDirectly) {
    const QImage picture = SomePicture(64);
    TempFolder folder;
    // A new name, an existing file whose permissions stay, a link written through.
    EXPECT_TRUE(WritePictureFile(picture, folder / "new.png"));
    WriteBytes(folder / "old.png", "old");
    ASSERT_EQ(::chmod((folder / "old.png").c_str(), 0640), 0);
    EXPECT_TRUE(WritePictureFile(picture, folder / "old.png"));
    fs::create_symlink("old.png", folder / "link.png");
    EXPECT_TRUE(WritePictureFile(SomePicture(8), folder / "link.png"));
    EXPECT_EQ(Decoded(ReadBytes(folder / "new.png")), picture);
    EXPECT_EQ(Decoded(ReadBytes(folder / "old.png")), SomePicture(8));
    struct stat st {};
    ASSERT_EQ(::lstat((folder / "old.png").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_TRUE(fs::is_symlink(folder / "link.png"));

    // A FIFO: its reader gets the picture.
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = ReadBytes(folder / "fifo"); });
    EXPECT_TRUE(WritePictureFile(picture, folder / "fifo"));
    reader.join();
    EXPECT_EQ(Decoded(received), picture);
    EXPECT_EQ(NamesIn(folder.path()),
              (std::vector<std::string>{"fifo", "link.png", "new.png", "old.png"}));

    // What can't take a picture says why, in Polish.
    WriteBytes(folder / "plain", "a file where a folder should be");
    const std::pair<fs::path, const char *> refusals[] = {
        {"/dev/full", "brak miejsca na urządzeniu"},
        {folder.path(), "to jest folder"},
        {folder / "no" / "x.png", "nie ma takiego pliku ani folderu"},
        {folder / "plain" / "x.png", "element ścieżki nie jest folderem"},
        {folder / (std::string(NAME_MAX + 1, 'n') + ".png"), "za długa nazwa pliku"},
    };
    for (const auto &[file, why] : refusals) {
        QString reason;
        EXPECT_FALSE(WritePictureFile(picture, file, &reason)) << file;
        EXPECT_EQ(reason.toStdString(), why) << file;
    }
    fs::remove(folder / "plain");
}

TEST(PictureFile, FailedWriteLeavesTheOldFileAsItWas) {
    TempFolder folder;
    WriteBytes(folder / "p.png", "the old picture");
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit saved = limit;
    limit.rlim_cur = 1000; // a write stops part way, as on a full disk
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    QString reason;
    const bool written = WritePictureFile(SomePicture(300), folder / "p.png", &reason);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);
    EXPECT_FALSE(written);
    EXPECT_EQ(reason.toStdString(), "plik jest za duży");
    EXPECT_EQ(ReadBytes(folder / "p.png"), "the old picture");
    EXPECT_EQ(NamesIn(folder.path()), std::vector<std::string>{"p.png"});
}

TEST(PlotOutput, DevicesAndStandardOutput) {
    const std::vector<std::string> plot = {ZIFFA_BINARY, "--plot", "x*y",
                                           "--size",     "30x20",  "--output"};
    auto with = [&](const std::string &output) {
        std::vector<std::string> args = plot;
        args.push_back(output);
        return args;
    };
    const Outcome full = RunProgram(with("/dev/full"));
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("/dev/full"), std::string::npos) << full.err;

    const Outcome piped = RunProgram(with("/dev/stdout"));
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(Decoded(piped.out).size(), QSize(30, 20));

    // Standard output sent to a file: the picture lands in the file.
    TempFolder folder;
    FileDescriptor file = OpenFile(folder / "out.png", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_TRUE(file.valid());
    {
        Process process(with("/dev/stdout"), file.get());
        file.Close();
        EXPECT_EQ(process.Finish(), 0);
    }
    EXPECT_EQ(Decoded(ReadBytes(folder / "out.png")).size(), QSize(30, 20));

    const Outcome folderInstead = RunProgram(with(folder.path().string()));
    EXPECT_EQ(folderInstead.status, 1);
    EXPECT_NE(folderInstead.err.find(folder.path().string()), std::string::npos);
}

TEST(PlotOutput, ANameThatIsNoUtf8NamesItsOwnFile) {
    TempFolder folder;
    // The byte 0xFF is no UTF-8; read as UTF-8 it would show as U+FFFD.
    const fs::path shown = folder / "a\xEF\xBF\xBD.png";
    WriteBytes(shown, "another file");
    const fs::path output = folder / "a\xFF.png";
    const Outcome r =
        RunProgram({ZIFFA_BINARY, "--plot", "x*y", "--size", "30x20", "--output", output.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Decoded(ReadBytes(output)).size(), QSize(30, 20));
    EXPECT_EQ(ReadBytes(shown), "another file");
}

// A small file system that fills up, and one mounted read-only, in a mount namespace of its own
// (tmpfs).
constexpr const char *kFullDiskScript = R"sh(
set -u
Z=$1; SAVE=$2; T=$3
mkdir -p "$T/full" "$T/state"
mount -t tmpfs -o size=1m ziffa-test "$T/full" || exit 77
"$Z" --plot x --output "$T/full/old.png" --size 60x60 || exit 78
cp "$T/full/old.png" "$T/old-copy.png"
printf '[Calculator]\nMemo1=old\n' > "$T/full/s.ini"
dd if=/dev/zero of="$T/full/filler" bs=4096 2>/dev/null
"$Z" --plot "sin(x)*cos(y)" --output "$T/full/old.png" --size 400x400 2>"$T/err-over"
echo "over $?"
"$Z" --plot "sin(x)*cos(y)" --output "$T/full/new.png" --size 400x400 2>"$T/err-new"
echo "new $?"
"$SAVE" "$T/full/s.ini" "$T/state" 1 b >/dev/null 2>"$T/err-settings"
echo "settings $?"
cmp -s "$T/full/old.png" "$T/old-copy.png"
echo "picture-kept $?"
cp "$T/full/s.ini" "$T/s-copy.ini"
echo "files $(ls -A "$T/full" | tr '\n' ' ')"
mkdir -p "$T/ro"
mount -t tmpfs -o ro,size=1m ziffa-ro "$T/ro" || exit 77
"$Z" --plot x --output "$T/ro/p.png" --size 20x20 2>"$T/err-ro"
echo "read-only $?"
"$SAVE" "$T/ro/s.ini" "$T/state" 1 b >/dev/null 2>"$T/err-ro-settings"
echo "read-only settings $?"
)sh";

TEST(FullDisk, PicturesAndSettingsFailLoudlyAndKeepTheOldFiles) {
    if (RunProgram({"/usr/bin/unshare", "-r", "-m", "true"}).status != 0)
        GTEST_SKIP() << "no tmpfs of our own here: mount namespaces (unshare -r -m) are not "
                        "allowed, so the full disk is left to /dev/full and file size limits";
    TempFolder folder;
    const Outcome r = RunProgram({"/usr/bin/unshare", "-r", "-m", "/bin/sh", "-c", kFullDiskScript,
                                  "sh", ZIFFA_BINARY, SAVE_CHILD, folder.path().string()});
    if (r.status == 77)
        GTEST_SKIP() << "a tmpfs can't be mounted here: " << r.err;
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "over 1\nnew 1\nsettings 1\npicture-kept 0\n"
                     "files filler old.png s.ini \n"
                     "read-only 1\nread-only settings 1\n");
    // Each failure names its file and the reason in Polish.
    const std::string full = "\": brak miejsca na urządzeniu\n";
    EXPECT_EQ(ReadBytes(folder / "err-over"),
              "ziffa: nie można zapisać pliku \"" + (folder / "full/old.png").string() + full);
    EXPECT_EQ(ReadBytes(folder / "err-new"),
              "ziffa: nie można zapisać pliku \"" + (folder / "full/new.png").string() + full);
    EXPECT_EQ(ReadBytes(folder / "err-settings"),
              "Nie można zapisać pliku \"" + (folder / "full/s.ini").string() + full);
    const std::string readOnly = "\": system plików jest tylko do odczytu\n";
    EXPECT_EQ(ReadBytes(folder / "err-ro"),
              "ziffa: nie można zapisać pliku \"" + (folder / "ro/p.png").string() + readOnly);
    EXPECT_EQ(ReadBytes(folder / "err-ro-settings"),
              "Nie można zapisać pliku \"" + (folder / "ro/s.ini").string() + readOnly);
    EXPECT_EQ(ReadBytes(folder / "s-copy.ini"), "[Calculator]\nMemo1=old\n");
}

TEST(SettingsFile, DevicesAreNoSettingsFile) {
    for (const char *device : {"/dev/full", "/dev/null"})
        EXPECT_THROW(ReplaceFile(device, "[Calculator]\n", {}), FileError) << device;
}

// ---- Settings saves killed at any moment

constexpr std::size_t kSessionMegabytes = 8;
constexpr std::size_t kSessionBytes = kSessionMegabytes << 20;

// A save of the session in a process of its own, waited for until it begins.
class Save : public Process {
public:
    Save(const fs::path &file, const fs::path &journalFolder, char letter)
        : Process({SAVE_CHILD, file.string(), journalFolder.string(),
                   std::to_string(kSessionMegabytes), std::string(1, letter)}) {
        EXPECT_TRUE(WaitForLine("saving"));
    }
};

struct SaveWay {
    const char *label;
    bool inPlace; // no temporary file fits beside the file: it is written in place
};

class KilledSave : public ::testing::TestWithParam<SaveWay> {
protected:
    // A name of NAME_MAX characters leaves no room for a temporary name beside it, even for root.
    fs::path File() const {
        return folder / (GetParam().inPlace ? std::string(NAME_MAX - 4, 'n') + ".ini"
                                            : std::string("ziffa.ini"));
    }
    bool JournalExists() const { return fs::exists(JournalFileOf(File(), journal)); }
    // What a save in progress keeps while it writes.
    bool SaveUnderWay() const {
        return GetParam().inPlace ? JournalExists() : HoldsTemporaryFile(folder.path());
    }
    // Starts saves until one is stopped while under way (or at the given stage of it); false
    // when none could be.
    bool StopUnderWay(std::unique_ptr<Save> &save, const std::function<bool()> &stage = {}) {
        const auto reached = [&] { return stage ? stage() : SaveUnderWay(); };
        for (int attempt = 0; attempt < 20; ++attempt) {
            WriteBytes(File(), oldText);
            save = std::make_unique<Save>(File(), journal, 'b');
            while (!reached() && !save->Ended()) {
            }
            save->Stop();
            if (!save->Ended() && reached())
                return true;
            save.reset();
        }
        return false;
    }
    // No temporary file nor journal remains.
    void ExpectNothingLeft() const {
        EXPECT_EQ(NamesIn(folder.path()), std::vector<std::string>{File().filename().string()});
        EXPECT_EQ(NamesIn(journal), std::vector<std::string>{});
    }

    TempFolder folder;
    TempFolder state;
    const fs::path journal = state / "journal";
    const std::string oldText = SessionText("", kSessionBytes, 'a');
    const std::string newText = SessionText(oldText, kSessionBytes, 'b');
};

TEST_P(KilledSave, NextStartFindsTheOldFileOrTheNewOneWhole) {
    // How long a whole save takes, to spread the kills over it.
    WriteBytes(File(), oldText);
    std::chrono::nanoseconds duration;
    {
        Save save(File(), journal, 'b');
        const auto begin = std::chrono::steady_clock::now();
        ASSERT_EQ(save.Finish(), 0);
        duration = std::chrono::steady_clock::now() - begin;
    }
    ASSERT_TRUE(ReadBytes(File()) == newText);

    // Kills a step later each time, at least over the measured duration and on until saves are
    // seen to have ended before their kill, however long they take on a busy machine.
    const auto step =
        std::max<std::chrono::nanoseconds>(duration / 30, std::chrono::microseconds(200));
    constexpr int kLeastMoments = 40, kMostMoments = 400;
    int moments = 0, ended = 0, oldFiles = 0, newFiles = 0, killedUnderWay = 0, mixed = 0;
    for (; moments < kMostMoments && (moments < kLeastMoments || ended < 3); ++moments) {
        WriteBytes(File(), oldText);
        {
            Save save(File(), journal, 'b');
            std::this_thread::sleep_for(step * moments);
            save.Kill();
        }
        const bool underWay =
            JournalExists() || HoldsTemporaryFile(folder.path()) || HoldsTemporaryFile(journal);
        killedUnderWay += underWay;
        const std::string killed = ReadBytes(File());
        mixed += killed != oldText && killed != newText;
        ended += !underWay && killed == newText;

        const IniStore nextStart(File(), journal);
        const std::string found = ReadBytes(File());
        ASSERT_TRUE(found == oldText || found == newText)
            << "killed " << moments << " steps into the save: a file of " << found.size()
            << " bytes, neither the old nor the new one";
        ++(found == oldText ? oldFiles : newFiles);
        ExpectNothingLeft();
    }
    std::cout << GetParam().label << ": " << moments << " kills "
              << std::chrono::duration_cast<std::chrono::microseconds>(step).count()
              << " us apart (a save took "
              << std::chrono::duration_cast<std::chrono::milliseconds>(duration).count()
              << " ms): " << killedUnderWay << " while under way, " << mixed
              << " leaving a mixed file; the next start found the old file " << oldFiles
              << " times, the new one " << newFiles << " times\n";
    EXPECT_GT(killedUnderWay, 0) << "no kill landed inside a save";
}

TEST_P(KilledSave, RunningCopysSaveIsLeftToIt) {
    std::unique_ptr<Save> save;
    ASSERT_TRUE(StopUnderWay(save));
    if (GetParam().inPlace) {
        // Another copy that starts meanwhile can't have the file whole, and says so.
        EXPECT_THROW(IniStore(File(), journal), FileError) << "read a file being written";
    } else {
        // Another copy starts and saves meanwhile.
        IniStore other(File(), journal);
        other.Save();
    }
    EXPECT_TRUE(SaveUnderWay()) << "the running save's files stay";
    save->Continue();
    EXPECT_EQ(save->Finish(), 0);
    EXPECT_TRUE(ReadBytes(File()) == newText);
    ExpectNothingLeft();
}

TEST_P(KilledSave, KillWhileUnderWayIsMadeGoodByTheNextStart) {
    std::unique_ptr<Save> save;
    ASSERT_TRUE(StopUnderWay(save));
    save->Kill();
    EXPECT_TRUE(SaveUnderWay()) << "what the killed save left";
    const IniStore nextStart(File(), journal);
    // A journal holds the whole new file; a temporary file is only a part of it.
    EXPECT_TRUE(ReadBytes(File()) == (GetParam().inPlace ? newText : oldText));
    ExpectNothingLeft();
}

TEST_P(KilledSave, StartWhileTheJournalIsWrittenWaitsForTheFile) {
    if (!GetParam().inPlace)
        GTEST_SKIP() << "the file itself is untouched until it is replaced whole";
    // The writer holds the file from before its journal shows until the file is whole again.
    std::unique_ptr<Save> save;
    ASSERT_TRUE(
        StopUnderWay(save, [&] { return HoldsTemporaryFile(journal) && !JournalExists(); }));
    EXPECT_THROW(IniStore(File(), journal), FileError) << "read a file about to be written";
    save->Continue();
    EXPECT_EQ(save->Finish(), 0);
    EXPECT_TRUE(ReadBytes(File()) == newText);
}

INSTANTIATE_TEST_SUITE_P(Files, KilledSave,
                         ::testing::Values(SaveWay{"ThroughATemporaryFile", false},
                                           SaveWay{"InPlace", true}),
                         [](const auto &info) { return std::string(info.param.label); });

} // namespace
} // namespace ziffa
