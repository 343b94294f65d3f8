#include "app/main_layout.h"

#include <gtest/gtest.h>

#include <array>
#include <utility>

#include "fakes/app_fixture.h"

namespace vendrel {
namespace {

TEST(MainLayout, FollowsTheClientSize) {
    // x, y, width and height of the history pane, menu label, menu list, chat label and chat
    // line for each client size.
    const std::pair<std::pair<int, int>, std::array<int, 20>> cases[] = {
        {{800, 600}, {10,  10,  390, 540, 415, 15, 380, 530, 410, 10,
                      390, 540, 10,  555, 50,  40, 60,  555, 730, 40}},
        // An odd width halves toward zero.
        {{801, 601}, {10,  10,  390, 541, 415, 15, 380, 531, 410, 10,
                      390, 541, 10,  556, 50,  40, 60,  556, 731, 40}},
        // Smaller than 70 pixels: negative heights are passed on as they are.
        {{100, 50},
         {10, 10, 40, -10, 65, 15, 30, -20, 60, 10, 40, -10, 10, 5, 50, 40, 60, 5, 30, 40}},
    };
    for (const auto& [size, rects] : cases) {
        const MainLayout layout = computeMainLayout(size.first, size.second);
        std::array<int, 20> actual{};
        std::size_t at = 0;
        for (const ControlRect& r : {layout.historyPane, layout.menuLabel, layout.menuList,
                                     layout.chatLabel, layout.chatLine}) {
            for (const int value : {r.x, r.y, r.width, r.height}) {
                actual[at++] = value;
            }
        }
        EXPECT_EQ(actual, rects) << size.first;
    }
}

TEST(MainLayout, TitleAndAboutCarryTheVersion) {
    testing::AppFixture fixture;
    fixture.state.messages.addText("winTitle1=Vendrel %d.%d.%d\nabout3=Vendrel\n");
    const std::u16string title = u"Vendrel " VENDREL_VERSION_TEXT;
    EXPECT_EQ(mainWindowTitle(fixture.state), title);
    EXPECT_EQ(aboutText(fixture.state).substr(0, title.size() + 2), title + u"\r\n");
}

} // namespace
} // namespace vendrel
