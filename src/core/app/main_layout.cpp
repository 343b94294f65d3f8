#include "app/main_layout.h"

#include "app/app_state.h"
#include "text/format.h"

namespace vendrel {

MainLayout computeMainLayout(int width, int height) {
    const int half = width / 2;
    MainLayout layout;
    layout.historyPane = {10, 10, half - 10, height - 60};
    // The label sits behind the list box: screen readers find it, sighted helpers never see it.
    layout.menuLabel = {half + 15, 15, half - 20, height - 70};
    layout.menuList = {half + 10, 10, half - 10, height - 60};
    layout.chatLabel = {10, height - 45, 50, 40};
    layout.chatLine = {60, height - 45, width - 70, 40};
    return layout;
}

std::u16string mainWindowTitle(AppState& state) {
    return formatWide(512, state.tr("winTitle1"), kVersionMajor, kVersionMinor, kVersionPatch);
}

std::u16string aboutText(AppState& state) {
    return formatWide(1023, u"%s %d.%d.%d\r\n%s\r\n%s", state.tr("about3"), kVersionMajor,
                      kVersionMinor, kVersionPatch,
                      u"An accessible client for the Vendrel game lounge.",
                      u"Speech, braille and sound for every game.");
}

} // namespace vendrel
