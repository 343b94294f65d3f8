// Any bytes as a server's views and channels files (views0.ini, channels0.ini), loaded into
// the presentation, saved and loaded again. What was loaded must stay within the tables'
// limits, keep the current view inside the list, and come back unchanged from a save; the
// flags published for the sound threads must be the channels' own.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "fakes/fake_platform.h"
#include "fuzz_failure.h"
#include "history/presentation.h"
#include "history/presentation_files.h"
#include "run_folder.h"

using vendrel::fuzzing::fail;

namespace {

struct Loaded {
    vendrel::testing::FakePlatform platform;
    vendrel::AppState state;

    explicit Loaded(std::int32_t currentView) {
        state.folders.user = vendrel::fuzzing::runFolder("presentation");
        state.platform = &platform;
        state.messages.addText("view0=All\nchannel0=Chat\n");
        // Presets of two views and one channel stand in for the ones the program carries.
        platform.presets["defv20000"] = std::string("\xff\xff\xff\xff\x01\x00\x00\x00", 8);
        platform.presets["defc20000"] = std::string(16, '\x07');
        platform.presets["defcolors20000"] = std::string(8, '\x10');
        state.presentation.currentView = currentView;
        vendrel::loadServerPresentation(state, 0);
    }
};

bool isSame(const vendrel::Presentation& a, const vendrel::Presentation& b) {
    if (a.channels.size() != b.channels.size() || a.views.size() != b.views.size() ||
        a.customColours != b.customColours || a.currentView != b.currentView) {
        return false;
    }
    for (std::size_t i = 0; i < a.channels.size(); ++i) {
        const auto& x = a.channels[i];
        const auto& y = b.channels[i];
        if (x.flags != y.flags || x.effects != y.effects || x.colour != y.colour ||
            x.name != y.name) {
            return false;
        }
    }
    for (std::size_t i = 0; i < a.views.size(); ++i) {
        if (a.views[i].mask != b.views[i].mask || a.views[i].name != b.views[i].name) {
            return false;
        }
    }
    return true;
}

void checkLimits(const vendrel::Presentation& p) {
    if (p.channels.empty() || p.channels.size() > vendrel::kMaxChannels || p.views.empty() ||
        p.views.size() > vendrel::kMaxViews || p.customColours.empty() ||
        p.customColours.size() > 256 || p.currentView < 0 ||
        static_cast<std::size_t>(p.currentView) >= p.views.size()) {
        fail("the presentation breaks its tables' limits");
    }
    for (int channel = -1; channel <= 40; ++channel) {
        const auto flags = p.published.flags(channel);
        const vendrel::Channel* own = p.channel(channel);
        if (flags.has_value() != (own != nullptr) || (own && *flags != own->flags)) {
            fail("the published flags differ from the channels'");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::int32_t currentView = input.ConsumeIntegralInRange(-2, 40);
    const std::string& folder = vendrel::fuzzing::runFolder("presentation");
    vendrel::fuzzing::writeFile(folder + "views0.ini", input.ConsumeRandomLengthString(4096));
    vendrel::fuzzing::writeFile(folder + "channels0.ini", input.ConsumeRemainingBytesAsString());

    Loaded first(currentView);
    checkLimits(first.state.presentation);
    if (!vendrel::saveViews(first.state, 0) || !vendrel::saveChannels(first.state, 0)) {
        fail("the files could not be saved");
    }
    Loaded second(first.state.presentation.currentView);
    checkLimits(second.state.presentation);
    if (!isSame(first.state.presentation, second.state.presentation)) {
        fail("what was saved does not load back the same");
    }
    return 0;
}
