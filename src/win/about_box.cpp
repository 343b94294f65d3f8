#include "about_box.h"

#include "app/main_layout.h"
#include "win_text.h"

namespace vendrel::win {

void showAbout(HWND owner, AppState& state) {
    MessageBoxW(owner, toWin(aboutText(state)).c_str(), toWin(state.tr("about2")).c_str(),
                MB_ICONINFORMATION | MB_OK);
}

} // namespace vendrel::win
