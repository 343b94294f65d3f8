#include "config/ini_store.h"

#include <gtest/gtest.h>

#include "app/files.h"
#include "fakes/temp_folder.h"

namespace vendrel {
namespace {

TEST(IniReader, LineRules) {
    IniReader ini;
    ini.loadText("; comment=1\n"
                 "# also=1\n"
                 " ;notcomment=2\n"
                 "[section]\n"
                 "\n"
                 "key = value\n"
                 "a=b=c\n"
                 "=empty key\n"
                 "dup=first\n"
                 "crlf=value\r\n"
                 "dup=second\n"
                 "inner\rcr=x\n" +
                 std::string("nul=cut\0here\\n\n", 15) + "last=no line end");
    struct Case {
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {" ;notcomment", "2"}, {"key ", " value"},      {"a", "b=c"},
        {"", "empty key"},     {"dup", "second"},       {"crlf", "value"},
        {"inner\rcr", "x"},    {"last", "no line end"}, {"nul", "cut"},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(ini.has(c.key)) << c.key;
        EXPECT_EQ(ini.getString(c.key, "?"), c.value) << c.key;
    }
    EXPECT_FALSE(ini.has("; comment"));
    EXPECT_FALSE(ini.has("# also"));
    EXPECT_FALSE(ini.has("[section]"));
    EXPECT_EQ(ini.size(), std::size(cases));
}

TEST(IniReader, TypedGetters) {
    IniReader ini;
    ini.loadText("on=ON\nOn=On\none=1\nyes=yes\ntwo=2\nempty=\nTrue=tRuE\n"
                 "hex=0x1F\noct=010\nneg=-5\nabc=abc\nmix=12abc\nbig=99999999999\n"
                 "f=0.25\nfcomma=0,75\n");
    for (const char* key : {"on", "On", "one", "True"}) {
        EXPECT_TRUE(ini.getBool(key, false)) << key;
    }
    for (const char* key : {"yes", "two", "empty", "hex"}) {
        EXPECT_FALSE(ini.getBool(key, true)) << key;
    }
    EXPECT_TRUE(ini.getBool("absent", true));
    struct IntCase {
        const char* key;
        std::int32_t value;
    };
    const IntCase ints[] = {{"hex", 31}, {"oct", 8},   {"neg", -5},        {"abc", 0},
                            {"mix", 12}, {"empty", 0}, {"big", INT32_MAX}, {"absent", 77}};
    for (const auto& c : ints) {
        EXPECT_EQ(ini.getInt(c.key, 77), c.value) << c.key;
    }
    EXPECT_EQ(ini.getInt64("big", 0), 99999999999);
    EXPECT_FLOAT_EQ(ini.getFloat("f", 9), 0.25f);
    EXPECT_FLOAT_EQ(ini.getFloat("fcomma", 9), 0.0f);
    EXPECT_FLOAT_EQ(ini.getFloat("absent", 9), 9.0f);
}

TEST(IniValueEscapes, ReadAsBeforeAndRoundTrip) {
    struct Case {
        std::string raw;
        std::string value;
    };
    // How hand-written or older files read.
    const Case reads[] = {
        {"line1\\nline2", "line1\nline2"},
        {"a\\rb\\tc", "a\rb\tc"},
        {"C:\\Games\\x", "C:\\Games\\x"},
        {"\\\\server\\share", "\\\\server\\share"},
        {"end\\", "end\\"},
    };
    for (const auto& c : reads) {
        EXPECT_EQ(unescapeIniValue(c.raw), c.value) << c.raw;
    }
    // Whatever we write reads back unchanged, including paths like C:\Users\tom\ whose
    // backslash-t used to turn into a tab.
    const std::string values[] = {
        "C:\\Users\\tom\\AppData\\Roaming\\TORV\\",
        "C:\\new\\raw\\",
        "two\nlines\r\nand\ttab",
        "\\\\nas\\share",
        "slash before break \\\n",
        "\\\\\\n mixed \\\\t",
        "",
        "\\",
    };
    for (const auto& value : values) {
        const std::string written = escapeIniValue(value);
        EXPECT_EQ(written.find_first_of("\r\n"), std::string::npos) << written;
        EXPECT_EQ(unescapeIniValue(written), value) << written;
    }
}

TEST(IniWriter, WritesByteWiseOrderWithTypedValues) {
    IniWriter ini;
    ini.setString("b", "2");
    ini.setString("a", "1");
    ini.setString("servers[2].host", "two");
    ini.setString("servers[10].host", "ten");
    ini.setInt("servers.default", -3);
    ini.setBool("servers[1].rememberPassword", false);
    ini.setFloat("vol", 0.25f);
    ini.setWide("name", u"Zoé");
    ini.setInt64("big", -9000000000);
    ini.setString("a", "replaced");
    ini.setString("multi", "x\ny");
    EXPECT_EQ(ini.text(), "a=replaced\r\n"
                          "b=2\r\n"
                          "big=-9000000000\r\n"
                          "multi=x\\ny\r\n"
                          "name=Zo\xC3\xA9\r\n"
                          "servers.default=-3\r\n"
                          "servers[10].host=ten\r\n"
                          "servers[1].rememberPassword=false\r\n"
                          "servers[2].host=two\r\n"
                          "vol=0.25\r\n");
}

TEST(IniWriter, SaveReplacesTheFileWholeAndReadsBack) {
    testing::TempFolder folder;
    const std::string path = folder.str() + "config.ini";
    IniWriter first;
    first.setString("k", "old");
    ASSERT_TRUE(first.save(path));
    IniWriter second;
    second.setString("k", "new\tvalue");
    ASSERT_TRUE(second.save(path));
    IniReader reader;
    reader.load(path);
    EXPECT_EQ(reader.getString("k", ""), "new\tvalue");
    EXPECT_EQ(reader.size(), 1u);
    // No temporary file is left beside the target.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

TEST(IniWriter, FailedSaveLeavesTheOldFile) {
    testing::TempFolder folder;
    const std::string path = folder.str() + "config.ini";
    IniWriter good;
    good.setString("k", "kept");
    ASSERT_TRUE(good.save(path));
    // A folder in the file's place cannot be replaced by a file.
    const std::string blocked = folder.str() + "blocked.ini";
    std::filesystem::create_directory(pathFromUtf8(blocked));
    std::filesystem::create_directory(pathFromUtf8(blocked + kPathSeparator + "inner"));
    EXPECT_FALSE(good.save(blocked));
    EXPECT_FALSE(good.save(folder.str() + "missing" + kPathSeparator + "config.ini"));
    IniReader reader;
    reader.load(path);
    EXPECT_EQ(reader.getString("k", ""), "kept");
}

TEST(IniWriter, SaveFlushesTheNewFileToTheDiskBeforeTheRename) {
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
    EXPECT_EQ(flushed, (std::vector<std::string>{"new", "old"}));
    // A disk that reports an error keeps the old file, and no temporary file stays.
    EXPECT_FALSE(replaceFileAtomically(path, "lost", [](const auto&) { return false; }));
    EXPECT_EQ(readWholeFile(path), "new");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
    EXPECT_FALSE(flushFileToDisk(pathFromUtf8(folder.str() + "missing")));
}

TEST(IniReader, MissingFileAddsNothing) {
    IniReader ini;
    ini.load("/definitely/not/here.ini");
    EXPECT_EQ(ini.size(), 0u);
}

} // namespace
} // namespace vendrel
