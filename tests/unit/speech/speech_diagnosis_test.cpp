#include "speech/speech_diagnosis.h"

#include <gtest/gtest.h>

#include <cstring>

#include "app/files.h"
#include "fakes/app_fixture.h"
#include "fakes/fake_client_ports.h"
#include "speech/library_bits.h"
#include "text/utf.h"

namespace vendrel {
namespace {

// The words the player hears are the shipped English ones.
void loadEnglish(MessageTable& messages) {
#ifdef VENDREL_LANG_DIR_WIN
    const std::string folder = VENDREL_LANG_DIR_WIN;
#else
    const std::string folder = VENDREL_LANG_DIR;
#endif
    messages.addText(readWholeFile(folder + "english.lng").value_or(""));
}

SpeechBackendReport report(const char16_t* name, SpeechProblem problem, const char16_t* file = u"",
                           const char16_t* detail = u"") {
    return {name, true, false, {problem != SpeechProblem::NotRunning, problem, file, detail}};
}

TEST(SpeechDiagnosis, EveryProblemIsSaidInPlainWords) {
    using P = SpeechProblem;
    const std::pair<SpeechBackendReport, const char16_t*> cases[] = {
        {report(u"NVDA", P::LibraryMissing, u"c.dll"),
         u"NVDA is running but c.dll is not in the program folder."},
        {report(u"NVDA", P::LibraryWrongBits, u"c.dll", u"32"),
         u"The NVDA controller library in the program folder, c.dll, is a 32-bit file; this "
         u"program needs the 64-bit one."},
        {report(u"NVDA", P::LibraryUnusable, u"c.dll", u"127"),
         u"NVDA is running but its controller library c.dll could not be loaded (error 127)."},
        {report(u"NVDA", P::NotAnswering, u"", u"1717"),
         u"NVDA is running but does not answer (error 1717)."},
        {report(u"JAWS", P::AutomationFailed, u"", u"0x80040154"),
         u"JAWS is running but its automation object could not be created (error 0x80040154)."},
        {report(u"SAPI 5", P::NoVoice), u"No SAPI 5 voice is installed."},
        {report(u"SAPI 5", P::EngineFailed, u"", u"0x5"),
         u"SAPI 5 could not be started (error 0x5)."},
        {report(u"SAPI 5", P::TextRefused, u"", u"0x5"), u"SAPI 5 refused to speak (error 0x5)."},
        {report(u"UIA", P::NoNotifications),
         u"A screen reader is running, but this version of Windows cannot reach it through UIA."},
    };
    MessageTable messages;
    loadEnglish(messages);
    for (const auto& [backend, expected] : cases) {
        const auto lines = speechDiagnosisLines({std::nullopt, {backend}}, messages);
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines[2], expected);
    }
    // A screen reader that is simply not running is no problem to report.
    EXPECT_EQ(
        speechDiagnosisLines({std::nullopt, {report(u"JAWS", P::NotRunning)}}, messages),
        (std::vector<std::u16string>{u"No speech output works.", u"No screen reader is running."}));
}

class FixedDiagnostics final : public SpeechDiagnostics {
public:
    SpeechDiagnosis diagnose() override {
        SpeechBackendReport nvda = report(u"NVDA", SpeechProblem::NotAnswering, u"", u"5");
        nvda.isChosen = true;
        SpeechBackendReport sapi = report(u"SAPI 5", SpeechProblem::None);
        sapi.isScreenReader = false;
        return {u"JAWS", {report(u"JAWS", SpeechProblem::None), nvda, sapi}};
    }
};

TEST(SpeechDiagnosis, GoesToTheHistoryOnChannelSevenAndToTheDebugLog) {
    testing::AppFixture app;
    loadEnglish(app.state.messages);
    app.state.debugLog.open(app.user.str() + "debug.txt");
    testing::RecordingHistory history;
    FixedDiagnostics diagnostics;
    reportSpeechDiagnosis(app.state, diagnostics, history);
    app.state.debugLog.close();
    const std::u16string lines[] = {
        u"Speech comes through JAWS.", u"NVDA was chosen in the options but cannot speak now.",
        u"Screen readers found: JAWS, NVDA.", u"NVDA is running but does not answer (error 5)."};
    std::vector<std::pair<std::u16string, std::int32_t>> added;
    std::string logged;
    for (const std::u16string& line : lines) {
        // Only the first line cuts off what was being said.
        added.emplace_back(line, added.empty() ? 7 | 0x1000000 : 7);
        logged += "Speech diagnosis: " + toNarrow(line) + "\r\n";
    }
    EXPECT_EQ(history.lines(), added);
    EXPECT_EQ(app.readUserFile("debug.txt"), logged);
}

TEST(LibraryBits, ReadsTheMachineOfWindowsLibraries) {
    // "MZ", the offset of the PE headers at 0x3C, "PE\0\0" and the machine there.
    const auto headers = [](std::uint32_t offset, std::uint16_t machine, std::size_t size) {
        std::string bytes(0x200, '\0');
        bytes.replace(0, 2, "MZ");
        std::memcpy(&bytes[0x3C], &offset, 4); // the file's little-endian order, as here
        if (std::size_t{offset} + 6 <= bytes.size()) {
            bytes.replace(offset, 4, std::string("PE\0\0", 4));
            std::memcpy(&bytes[offset + 4], &machine, 2);
        }
        return bytes.substr(0, size);
    };
    EXPECT_EQ(libraryBits(headers(0x80, 0x14C, 0x200)), 32);
    EXPECT_EQ(libraryBits(headers(0xF8, 0x8664, 0x200)), 64);
    EXPECT_EQ(libraryBits(headers(0x80, 0xAA64, 0x200)), 64);
    EXPECT_EQ(libraryBits(headers(0x80, 0x1234, 0x200)), std::nullopt);       // unknown machine
    EXPECT_EQ(libraryBits(headers(0x80, 0x14C, 0x85)), std::nullopt);         // machine cut off
    EXPECT_EQ(libraryBits(headers(0x1FC, 0x14C, 0x200)), std::nullopt);       // past the end
    EXPECT_EQ(libraryBits(headers(0xFFFFFFFE, 0x14C, 0x200)), std::nullopt);  // would wrap
    EXPECT_EQ(libraryBits("PE" + headers(0x80, 0x14C, 0x200)), std::nullopt); // no MZ
}

} // namespace
} // namespace vendrel
