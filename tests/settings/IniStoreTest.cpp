#include "settings/IniStore.h"

#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>

#include "TempFolder.h"

namespace ziffa {
namespace {

using namespace std::string_literals;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

IniStore OpenOn(const TempFolder &folder, std::string_view text) {
    const auto file = folder / "store.ini";
    WriteBytes(file, text);
    return IniStore(file);
}

struct ReadCase {
    const char *label;
    std::string text;
    std::string section;
    std::string key;
    std::optional<std::string> expected;
};

TEST(IniStoreRead, FollowsTheLineRules) {
    const std::vector<ReadCase> cases = {
        {"plain key", "[A]\nk=v\n", "A", "k", "v"},
        {"blanks around everything", "  [ A ]  \n  k  =  v w  \n", "A", "k", "v w"},
        {"tabs and CRLF", "[A]\r\n\tk\t=\tv\r\n", "A", "k", "v"},
        {"value holds later =", "[A]\nk=a=b\n", "A", "k", "a=b"},
        {"empty value", "[A]\nk=\n", "A", "k", ""},
        {"empty key", "[A]\n=v\n", "A", "", "v"},
        {"no final line break", "[A]\nk=v", "A", "k", "v"},
        {"line before the first section", "k=v\n[A]\n", "A", "k", std::nullopt},
        {"comment is no key", "[A]\n;k=v\n", "A", ";k", std::nullopt},
        {"comment after blanks", "[A]\n   ;k=v\n", "A", ";k", std::nullopt},
        {"line without =", "[A]\njunk\n", "A", "junk", std::nullopt},
        {"section in another case", "[calculator]\nWidth=5\n", "CALCULATOR", "Width", "5"},
        {"key in another case", "[Calculator]\nWIDTH=5\n", "Calculator", "width", "5"},
        {"first of two equal keys", "[A]\nk=1\nK=2\n", "A", "k", "1"},
        {"section again continues it", "[A]\nx=1\n[B]\ny=2\n[a]\nz=3\n", "A", "z", "3"},
        {"first key across a repeated section", "[A]\nk=1\n[a]\nk=2\n", "A", "k", "1"},
        {"header with text after is no header", "[A]\n[B]x\nk=v\n", "A", "k", "v"},
        {"empty section name", "[]\nk=v\n", "", "k", "v"},
        {"NUL bytes in a value", "[A]\nk=a\0b\n"s, "A", "k", "a\0b"s},
        {"8-bit bytes kept", "[A]\nk=\xb9\xea\xb3\n", "A", "k", "\xb9\xea\xb3"},
        {"8-bit letters are not case-folded", "[A]\n\xa5=1\n", "A", "\xb9", std::nullopt},
        {"CR inside a line kept", "[A]\nk=a\rb\n", "A", "k", "a\rb"},
        {"missing key", "[A]\nk=v\n", "A", "q", std::nullopt},
        {"missing section", "[A]\nk=v\n", "B", "k", std::nullopt},
        {"key of another section", "[A]\nk=v\n[B]\n", "B", "k", std::nullopt},
    };
    for (const ReadCase &c : cases) {
        SCOPED_TRACE(c.label);
        TempFolder folder;
        const IniStore store = OpenOn(folder, c.text);
        EXPECT_EQ(store.KeyExists(c.section, c.key), c.expected.has_value());
        EXPECT_EQ(store.ReadString(c.section, c.key, "<default>"),
                  c.expected.value_or("<default>"));
    }
}

struct TextCase {
    const char *label;
    std::string text;
    std::string rewritten;
};

TEST(IniStoreText, RewritesWhatItRead) {
    const std::vector<TextCase> cases = {
        {"empty file", "", ""},
        {"blank lines go, one after each section", "[A]\n  k = v \n\n\n[B]\n",
         "[A]\nk=v\n\n[B]\n\n"},
        {"CRLF becomes LF", "[A]\r\nk=v\r\n", "[A]\nk=v\n\n"},
        {"comments and other lines stay in place", "[A]\n; note\njunk\nk=v\n",
         "[A]\n; note\njunk\nk=v\n\n"},
        {"lines before the first section go", "x=1\n;c\n[A]\n", "[A]\n\n"},
        {"repeated section joins the first", "[A]\nx=1\n[B]\ny=2\n[a]\nz=3\n",
         "[A]\nx=1\nz=3\n\n[B]\ny=2\n\n"},
        {"equal keys both kept", "[A]\nk=1\nk=2\n", "[A]\nk=1\nk=2\n\n"},
        {"section names keep their case", "[calculator]\nWIDTH=5\n", "[calculator]\nWIDTH=5\n\n"},
        {"only blanks", " \t\r\n\r\n", ""},
    };
    for (const TextCase &c : cases) {
        SCOPED_TRACE(c.label);
        TempFolder folder;
        EXPECT_EQ(OpenOn(folder, c.text).Text(), c.rewritten);
    }
}

struct Write {
    std::string section, key, value;
};

struct WriteCase {
    const char *label;
    std::string text;
    std::vector<Write> writes;
    std::string expected;
};

TEST(IniStoreWrite, ReplacesInPlaceAndAppends) {
    const std::vector<WriteCase> cases = {
        {"replace where it stands",
         "[A]\na=1\nb=2\nc=3\n",
         {{"A", "b", "X"}},
         "[A]\na=1\nb=X\nc=3\n\n"},
        {"new key at the end of its section",
         "[A]\na=1\n[B]\nb=2\n",
         {{"A", "n", "v"}},
         "[A]\na=1\nn=v\n\n[B]\nb=2\n\n"},
        {"new section at the end of the file",
         "[A]\na=1\n",
         {{"C", "k", "v"}},
         "[A]\na=1\n\n[C]\nk=v\n\n"},
        {"other case keeps the file's spelling",
         "[calc]\nWIDTH=1\n",
         {{"Calc", "Width", "5"}},
         "[calc]\nWIDTH=5\n\n"},
        {"first of two equal keys", "[A]\nk=1\nk=2\n", {{"A", "K", "9"}}, "[A]\nk=9\nk=2\n\n"},
        {"line breaks in a value become spaces",
         "",
         {{"A", "k", "a\r\nb\nc"}},
         "[A]\nk=a  b c\n\n"},
        {"last write wins",
         "",
         {{"A", "k", "1"}, {"A", "k", "22"}, {"a", "K", "333"}},
         "[A]\nk=333\n\n"},
        {"into an empty store", "", {{"A", "k", "v"}, {"B", "x", ""}}, "[A]\nk=v\n\n[B]\nx=\n\n"},
        {"lines that are no keys stay",
         "[A]\n;c\njunk\n",
         {{"A", "k", "v"}},
         "[A]\n;c\njunk\nk=v\n\n"},
        {"keys nobody writes stay",
         "[A]\nold=1\n[Z]\nz=1\n",
         {{"A", "new", "2"}, {"B", "b", "3"}},
         "[A]\nold=1\nnew=2\n\n[Z]\nz=1\n\n[B]\nb=3\n\n"},
        {"bytes as they are", "", {{"A", "k", "\xb9\0\xff"s}}, "[A]\nk=\xb9\0\xff\n\n"s},
    };
    for (const WriteCase &c : cases) {
        SCOPED_TRACE(c.label);
        TempFolder folder;
        IniStore store = OpenOn(folder, c.text);
        for (const Write &w : c.writes) {
            store.WriteString(w.section, w.key, w.value);
        }
        EXPECT_EQ(store.Text(), c.expected);
        EXPECT_EQ(ReadBytes(folder / "store.ini"), c.text) << "a write must not touch the file";
    }
}

TEST(IniStoreWrite, RefusesNamesTheFileCouldNotGiveBack) {
    const std::vector<Write> cases = {
        {"A\nB", "k", ""}, {" A", "k", ""},  {"A", "k=", ""}, {"A", ";k", ""},
        {"A", "[k", ""},   {"A", "k\r", ""}, {"A", " k", ""}, {"A\r", "k", ""},
    };
    for (const Write &w : cases) {
        SCOPED_TRACE(w.section + "/" + w.key);
        IniStore store;
        EXPECT_THROW(store.WriteString(w.section, w.key, "v"), std::invalid_argument);
        EXPECT_EQ(store.Text(), "");
    }
}

struct IntegerCase {
    std::string value;
    int expected; // with the default 77
};

TEST(IniStoreInteger, ReadsDecimalAndHexOrTheDefault) {
    const std::vector<IntegerCase> cases = {
        {"5", 5},
        {"0", 0},
        {"+5", 5},
        {"-5", -5},
        {"007", 7},
        {"00000000000000000000000000001", 1},
        {"0x1F", 31},
        {"0X1f", 31},
        {"0x0", 0},
        {"0x7FFFFFFF", INT_MAX},
        {"0x80000000", 77},
        {"0xFFFFFFFF", 77},
        {"2147483647", INT_MAX},
        {"2147483648", 77},
        {"-2147483648", INT_MIN},
        {"-2147483649", 77},
        {"99999999999999999999", 77},
        {"", 77},
        {"abc", 77},
        {"yes", 77},
        {"5x", 77},
        {"x5", 77},
        {"0x", 77},
        {"0xg", 77},
        {"-0x5", 77},
        {"0x-5", 77},
        {"0x+5", 77},
        {"+-5", 77},
        {"-+5", 77},
        {"++5", 77},
        {"+", 77},
        {"-", 77},
        {"1.5", 77},
        {"1e3", 77},
        {"5 6", 77},
        {"   12   ", 12}, // the line is stripped when read
    };
    for (const IntegerCase &c : cases) {
        SCOPED_TRACE("value \"" + c.value + "\"");
        TempFolder folder;
        const IniStore store = OpenOn(folder, "[A]\nk=" + c.value + "\n");
        EXPECT_EQ(store.ReadInteger("A", "k", 77), c.expected);
    }
    const IniStore empty;
    EXPECT_EQ(empty.ReadInteger("A", "k", -3), -3);
}

TEST(IniStoreInteger, WritesDecimal) {
    IniStore store;
    store.WriteInteger("A", "a", 0);
    store.WriteInteger("A", "b", -5);
    store.WriteInteger("A", "c", INT_MIN);
    store.WriteInteger("A", "d", INT_MAX);
    EXPECT_EQ(store.Text(), "[A]\na=0\nb=-5\nc=-2147483648\nd=2147483647\n\n");
    EXPECT_EQ(store.ReadInteger("A", "c", 0), INT_MIN);
}

struct BoolCase {
    std::optional<std::string> value; // nothing: the key is absent
    bool withFalseDefault;
    bool withTrueDefault;
};

TEST(IniStoreBool, NonZeroIntegerIsTrue) {
    const std::vector<BoolCase> cases = {
        {"1", true, true},           {"0", false, false},   {"5", true, true},
        {"-1", true, true},          {"0x10", true, true},  {"0x0", false, false},
        {"yes", false, true},        {"true", false, true}, {"", false, true},
        {std::nullopt, false, true},
    };
    for (const BoolCase &c : cases) {
        SCOPED_TRACE(c.value.value_or("<absent>"));
        TempFolder folder;
        const IniStore store = OpenOn(folder, c.value ? "[A]\nk=" + *c.value + "\n" : "[A]\n");
        EXPECT_EQ(store.ReadBool("A", "k", false), c.withFalseDefault);
        EXPECT_EQ(store.ReadBool("A", "k", true), c.withTrueDefault);
    }
    IniStore store;
    store.WriteBool("A", "t", true);
    store.WriteBool("A", "f", false);
    EXPECT_EQ(store.Text(), "[A]\nt=1\nf=0\n\n");
}

TEST(IniStoreFile, SavedValuesComeBack) {
    const std::vector<std::pair<std::string, std::string>> values = {
        {"plain", "2+2"},
        {"empty", ""},
        {"equals", "a=b=c"},
        {"semicolon", ";not a comment"},
        {"brackets", "[Calculator]"},
        {"cp1250", "\xa3\xf3\x9f\xbf"},
        {"nul", "a\0b"s},
        {"long", std::string(100000, 'x')},
    };
    TempFolder folder;
    const auto file = folder / "s.ini";
    {
        IniStore store(file);
        for (const auto &[key, value] : values) {
            store.WriteString("S", key, value);
        }
        store.WriteString("S", "blanks", "  lost  ");
        store.Save();
    }
    const IniStore store(file);
    for (const auto &[key, value] : values) {
        SCOPED_TRACE(key);
        EXPECT_EQ(store.ReadString("S", key, "<default>"), value);
    }
    EXPECT_EQ(store.ReadString("S", "blanks", ""), "lost") << "the store strips what it reads";
}

TEST(IniStoreFile, KeepsAHandWrittenFileAndItsOrder) {
    TempFolder folder;
    const auto file = folder / "s.ini";
    WriteBytes(file, "[Chart]\r\nzoom=3\r\nleft=5\r\n\r\n[calculator]\r\nTOP=2\r\n");
    {
        IniStore store(file);
        store.WriteInteger("Calculator", "Top", 9);
        store.WriteInteger("Calculator", "Memo1", 1);
        store.WriteInteger("Chart", "Left", 7);
        store.Save();
    }
    EXPECT_EQ(ReadBytes(file), "[Chart]\nzoom=3\nleft=7\n\n[calculator]\nTOP=9\nMemo1=1\n\n");
}

TEST(IniStoreFile, MissingFileIsAnEmptyStore) {
    TempFolder folder;
    WriteBytes(folder / "plain", "x");
    for (const auto &file : {folder / "absent.ini", folder / "no" / "such" / "folder.ini",
                             folder / "plain" / "s.ini"}) {
        SCOPED_TRACE(file.string());
        const IniStore store(file);
        EXPECT_EQ(store.Text(), "");
        EXPECT_FALSE(std::filesystem::exists(file));
    }
}

TEST(IniStoreFile, UnreadableFileThrowsNamingIt) {
    TempFolder folder;
    std::filesystem::create_directory(folder / "folder.ini");
    ASSERT_EQ(::mkfifo((folder / "fifo.ini").c_str(), 0600), 0);
    std::filesystem::create_symlink("loop.ini", folder / "loop.ini");
    const std::pair<const char *, const char *> cases[] = {
        {"folder.ini", "w jego miejscu jest folder"},
        {"fifo.ini", "to nie jest zwykły plik"},
        {"loop.ini", "zbyt wiele poziomów dowiązań symbolicznych"},
    };
    for (const auto &[name, reason] : cases) {
        SCOPED_TRACE(name);
        const auto file = folder / name;
        try {
            IniStore store(file);
            ADD_FAILURE() << "no exception";
        } catch (const FileError &error) {
            EXPECT_EQ(std::string(error.what()),
                      "Nie można odczytać pliku \"" + file.string() + "\": " + reason);
        }
    }
}

TEST(IniStoreFile, SaveWithoutAFileIsAnError) {
    IniStore store = IniStore::FromText("[A]\nk=v\n");
    EXPECT_EQ(store.ReadString("A", "k", ""), "v");
    EXPECT_THROW(store.Save(), std::logic_error);
}

TEST(IniStoreFile, MovedStoreKeepsItsTexts) {
    // Short texts live inside their string objects; a move must not leave the lines pointing
    // into the old store.
    IniStore first = IniStore::FromText("[A]\nk=v\n");
    first.WriteString("B", "x", "y");
    IniStore second = std::move(first);
    IniStore third;
    third = std::move(second);
    EXPECT_EQ(third.Text(), "[A]\nk=v\n\n[B]\nx=y\n\n");
}

TEST(IniStoreFile, CopiesAreIndependent) {
    const IniStore original = IniStore::FromText("[A]\nk=v\n");
    IniStore copy = original;
    copy.WriteString("A", "k", "changed");
    copy.WriteString("B", "x", "y");
    EXPECT_EQ(original.Text(), "[A]\nk=v\n\n");
    EXPECT_EQ(copy.Text(), "[A]\nk=changed\n\n[B]\nx=y\n\n");
}

TEST(IniStoreWrite, RewritingAKeyKeepsOnlyTheLastValue) {
    IniStore store;
    for (int i = 0; i < 1000; ++i) {
        store.WriteString("A", "k", i % 2 ? "a long value of some length" : "short");
    }
    store.WriteString("A", "k", "");
    EXPECT_EQ(store.Text(), "[A]\nk=\n\n");
    store.WriteString("A", "k", "x\ny");
    EXPECT_EQ(store.ReadString("A", "k", ""), "x y");
}

// Damaged and hand-made files: each opens in time proportional to its size.

TEST(IniStoreDamaged, BinaryGarbageReadsAndRewritesStably) {
    std::mt19937 random(20240229);
    std::string garbage(1 << 20, '\0');
    for (char &c : garbage) {
        // Mostly arbitrary bytes, with the characters that shape the file made common.
        const unsigned r = random() % 64;
        c = r < 4 ? "\n[]="[r] : static_cast<char>(random());
    }
    garbage.insert(0, "[A]\nk=v\n");
    TempFolder folder;
    const auto file = folder / "g.ini";
    WriteBytes(file, garbage);
    std::string text;
    {
        IniStore store(file);
        EXPECT_EQ(store.ReadString("A", "k", ""), "v");
        text = store.Text();
        store.Save();
    }
    EXPECT_EQ(ReadBytes(file), text);
    EXPECT_EQ(IniStore(file).Text(), text) << "a rewritten file reads back as itself";
}

TEST(IniStoreDamaged, MillionCharacterLines) {
    const std::string million(1000000, 'x');
    TempFolder folder;
    const IniStore store =
        OpenOn(folder, "[A]\nk=" + million + "\n" + million + "\n[" + million + "]\nb=2\n");
    EXPECT_EQ(store.ReadString("A", "k", "").size(), million.size());
    EXPECT_EQ(store.ReadInteger(million, "b", 0), 2);
    EXPECT_FALSE(store.KeyExists("A", million));
}

TEST(IniStoreDamaged, HundredMegabyteFile) {
    TempFolder folder;
    const auto file = folder / "big.ini";
    {
        std::string chunk;
        for (int i = 0; chunk.size() < (1 << 20); ++i) {
            chunk += "key" + std::to_string(i) + "=" + std::string(200, 'a' + i % 26) + "\n";
        }
        std::ofstream out(file, std::ios::binary);
        out << "[Calculator]\nWidth=5\n[CalculatorEntries]\n";
        for (int i = 0; i < 100; ++i) {
            out << chunk;
        }
        out << "[Last]\nkey=1\n";
    }
    ASSERT_GT(std::filesystem::file_size(file), 100u << 20);
    const IniStore store(file);
    EXPECT_EQ(store.ReadInteger("Calculator", "Width", 0), 5);
    EXPECT_EQ(store.ReadInteger("Last", "key", 0), 1);
    EXPECT_EQ(store.ReadString("CalculatorEntries", "key0", ""), std::string(200, 'a'));
}

TEST(IniStoreDamaged, HundredMegabytesOfNulBytes) {
    TempFolder folder;
    const auto file = folder / "zeros.ini";
    WriteBytes(file, "");
    std::filesystem::resize_file(file, 100u << 20);
    EXPECT_EQ(IniStore(file).Text(), "");
}

TEST(IniStoreDamaged, FileBeyondTheLimitIsRefused) {
    TempFolder folder;
    const auto file = folder / "huge.ini";
    WriteBytes(file, "[A]\nk=v\n");
    std::filesystem::resize_file(file, kMaxReadFileSize + 1);
    EXPECT_THROW(IniStore{file}, FileError);
}

} // namespace
} // namespace ziffa
