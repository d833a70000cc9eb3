#include "core/text/Clipboard.h"

#include <gtest/gtest.h>

#include <string>

namespace Vuxo {
namespace {

TEST(Clipboard, ForwardsToTheInstalledProvider) {
    SetClipboardProvider({});
    EXPECT_FALSE(SetClipboardText(u"http://host/"));

    std::u16string received;
    SetClipboardProvider([&received](const std::u16string& text) {
        received = text;
        return true;
    });
    EXPECT_TRUE(SetClipboardText(u"http://\uD55C/"));
    EXPECT_EQ(received, u"http://\uD55C/");

    SetClipboardProvider([](const std::u16string&) { return false; });
    EXPECT_FALSE(SetClipboardText(u"x"));

    SetClipboardProvider({});
    EXPECT_FALSE(SetClipboardText(u"y"));
}

} // namespace
} // namespace Vuxo
