#pragma once
// An AppState over a temporary user folder and program folder, with small language files.

#include <fstream>
#include <string>

#include "app/app_state.h"
#include "app/files.h"
#include "fakes/fake_platform.h"
#include "fakes/temp_folder.h"

namespace vendrel::testing {

class AppFixture {
public:
    AppFixture() {
        state.folders.user = user.str();
        state.folders.program = program.str();
        state.platform = &platform;
        state.machineKey = machineKeyFromSerial(0xC0FFEE);
        writeFile(program, "english.lng",
                  "isocode=en\nservername=Vendrel lounge\nwinTitle1=Vendrel %d.%d.%d\n"
                  "winTitle2=Vendrel - %s - %s\n");
    }

    static void writeFile(const TempFolder& folder, const std::string& name,
                          const std::string& text) {
        std::ofstream out(pathFromUtf8(folder.str() + name), std::ios::binary);
        out << text;
    }

    std::string readUserFile(const std::string& name) const {
        return readWholeFile(user.str() + name).value_or("<missing>");
    }

    TempFolder user;
    TempFolder program;
    FakePlatform platform;
    AppState state;
};

} // namespace vendrel::testing
