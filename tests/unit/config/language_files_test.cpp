// The shipped language files define every message the program looks up, and each translation
// takes the same printf arguments as the English text.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string_view>

#include "app/files.h"
#include "config/ini_store.h"

namespace vendrel {
namespace {

// Every message the program looks up, one space apart.
constexpr std::string_view kMessageKeys =
    "about about2 about3 addchannel addview askconfbq audioOpt autolog automatic back "
    "basecolors bold Cancel chanOpt channel channelname channelname2 chat clearHistory "
    "clientlanguage confirmquit connecterror connecterrorprolog connection connTitle "
    "copied copyView crash crash2 createaccount customize disabled disablemcolors "
    "disablertfcolors disablesounds disablestreams downloadingFail downloadingOk "
    "downloadingStart enabled enabledownload enablelinks encrypted error errorlogcreation "
    "errorsavehistory font genOpt history historyLineCut isocode italic lbbgcolor "
    "lbfgcolor logfolder logfolder2 login lostpassword menulbl name no noaddchannel "
    "nodelchannel nodelchannel2 nodelview nodelview2 notsupported OK password "
    "plainconnection plainconnection1 playsnd predefcol read readinterrupt "
    "rememberpassword rememberpassword2 resetDarkModel resetLightModel resetModelMb "
    "restoredefaults restoredefaults1 rtfbgcolor rtfFileType sapidisabled saveAs "
    "saveHistory saveView screenreader secuOpt server servername show soundcard "
    "speechdiagnosis speechAutomationFailed speechChosenLost speechDiagChosen "
    "speechDiagNoOutput speechDiagNoReader speechDiagOutput speechDiagReaders "
    "speechEngineFailed speechLibraryBits speechLibraryMissing speechLibraryUnusable "
    "speechNoNotifications speechNoVoice speechNotAnswering speechNow speechTextRefused "
    "srinflexion srlanguage srpitch srrate srsubengine srvoice srvolume streamsvolume "
    "strikeout textcolor tlscertificateerror tlserror txtFileType underline useArrows view "
    "viewname viewname2 viewOpt winTitle1 winTitle2 yes";

// The conversions of a printf format, e.g. "%s\\%04d" gives "sd".
std::string conversions(const std::string& format) {
    std::string out;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            continue;
        }
        std::size_t j = i + 1;
        while (j < format.size() &&
               std::string_view("-+ #0123456789.*lh").find(format[j]) != std::string_view::npos) {
            ++j;
        }
        if (j < format.size() && format[j] != '%') {
            out.push_back(format[j]);
        }
        i = j;
    }
    return out;
}

std::map<std::string, std::string> readLanguage(const std::string& name) {
#ifdef VENDREL_LANG_DIR_WIN
    const std::string folder = VENDREL_LANG_DIR_WIN;
#else
    const std::string folder = VENDREL_LANG_DIR;
#endif
    const auto text = readWholeFile(folder + name);
    EXPECT_TRUE(text) << folder + name;
    std::map<std::string, std::string> messages;
    forEachIniEntry(text.value_or(""), [&](std::string_view key, std::string value) {
        messages[std::string(key)] = std::move(value);
    });
    return messages;
}

TEST(LanguageFiles, DefineEveryKeyWithMatchingConversions) {
    const auto english = readLanguage("english.lng");
    const auto french = readLanguage("french.lng");
    for (std::size_t at = 0; at < kMessageKeys.size();) {
        const std::size_t end = std::min(kMessageKeys.find(' ', at), kMessageKeys.size());
        const std::string key(kMessageKeys.substr(at, end - at));
        at = end + 1;
        const auto en = english.find(key);
        const auto fr = french.find(key);
        ASSERT_NE(en, english.end()) << key << " missing from english.lng";
        ASSERT_NE(fr, french.end()) << key << " missing from french.lng";
        EXPECT_FALSE(en->second.empty()) << key;
        EXPECT_FALSE(fr->second.empty()) << key;
        EXPECT_EQ(conversions(en->second), conversions(fr->second)) << key;
    }
    for (const auto& [key, value] : english) {
        const auto fr = french.find(key);
        ASSERT_NE(fr, french.end()) << key << " is only in english.lng";
        EXPECT_EQ(conversions(value), conversions(fr->second)) << key;
    }
    EXPECT_EQ(conversions("%s\\%04d-%02d %% %-5.2f"), "sddf"); // the counter itself
    EXPECT_EQ(conversions(english.at("winTitle1")), "ddd");
    EXPECT_EQ(conversions(english.at("winTitle2")), "ss");
    EXPECT_EQ(conversions(english.at("downloadingFail")), "sd");
    // The speech messages get their arguments in this order: name, file, bitness, our bitness.
    EXPECT_EQ(conversions(english.at("speechLibraryBits")), "sssd");
    EXPECT_EQ(conversions(english.at("speechChosenLost")), "ss");
    EXPECT_EQ(english.at("isocode"), "en");
    EXPECT_EQ(french.at("isocode"), "fr");
}

} // namespace
} // namespace vendrel
