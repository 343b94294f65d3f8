#include "config/ini_store.h"

#include <gtest/gtest.h>

#include "app/files.h"
#include "fakes/temp_folder.h"

namespace vendrel {
namespace {

TEST(IniReader, LineRules) {
    const std::string text = "; comment=1\n# also=1\n ;notcomment=2\n[section]\n\nkey = value\n"
                             "a=b=c\n=empty key\ncrlf=value\r\ninner\rcr=x\n" +
                             std::string("nul=cut\0here\n", 13) + "last=no line end";
    std::vector<std::pair<std::string, std::string>> entries;
    forEachIniEntry(
        text, [&](std::string_view key, std::string value) { entries.emplace_back(key, value); });
    const std::vector<std::pair<std::string, std::string>> expected = {
        {" ;notcomment", "2"}, {"key ", " value"}, {"a", "b=c"},   {"", "empty key"},
        {"crlf", "value"},     {"inner\rcr", "x"}, {"nul", "cut"}, {"last", "no line end"}};
    EXPECT_EQ(entries, expected);
}

TEST(IniValueEscapes, ReadAsBeforeAndRoundTrip) {
    // How hand-written or older files read.
    const std::pair<std::string, std::string> reads[] = {
        {"a\\rb\\tc\\n", "a\rb\tc\n"},
        {"\\\\server\\share", "\\\\server\\share"},
        {"end\\", "end\\"},
    };
    for (const auto& [raw, value] : reads) {
        EXPECT_EQ(unescapeIniValue(raw), value) << raw;
    }
    // Whatever we write reads back unchanged, including paths like C:\Users\tom\ whose
    // backslash-t used to turn into a tab.
    for (const std::string value : {"C:\\Users\\tom\\new\\", "two\nlines\r\nand\ttab",
                                    "slash before break \\\n", "\\\\\\n mixed \\\\t", "\\"}) {
        const std::string written = escapeIniValue(value);
        EXPECT_EQ(written.find_first_of("\r\n"), std::string::npos) << written;
        EXPECT_EQ(unescapeIniValue(written), value) << written;
    }
}

TEST(AtomicSave, ReplacesTheFileWholeOrLeavesTheOldOne) {
    testing::TempFolder folder;
    const std::string path = folder.str() + "config.ini";
    ASSERT_TRUE(replaceFileAtomically(path, "old"));
    std::vector<std::string> flushed; // what the flushed file and the target held
    const auto flush = [&](const std::filesystem::path& file) {
        flushed = {readWholeFile(utf8FromPath(file)).value_or("?"),
                   readWholeFile(path).value_or("?")};
        return flushFileToDisk(file);
    };
    ASSERT_TRUE(replaceFileAtomically(path, "new", flush));
    EXPECT_EQ(flushed, (std::vector<std::string>{"new", "old"})); // on the disk before the rename
    // A disk that reports an error keeps the old file; a folder in the file's place fails the
    // save. Neither leaves a temporary file.
    EXPECT_FALSE(replaceFileAtomically(path, "lost", [](const auto&) { return false; }));
    std::filesystem::create_directories(folder.path() / "blocked.ini" / "inner");
    EXPECT_FALSE(replaceFileAtomically(folder.str() + "blocked.ini", "v"));
    EXPECT_EQ(readWholeFile(path), "new");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 2);
}

} // namespace
} // namespace vendrel
