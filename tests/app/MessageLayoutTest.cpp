#include "app/MessageLayout.h"

#include <gtest/gtest.h>

#include <vector>

namespace sivaro {
namespace {

constexpr int kLine = 15;  // one line of the text label

MessageLayoutInput input(int titleWidth, int textWidth, int textHeight, int buttonSet = 1) {
    MessageLayoutInput in;
    in.titleWidth = titleWidth;
    in.textWidth = textWidth;
    in.textHeight = textHeight;
    in.screenWidth = 1024;
    in.screenHeight = 768;
    in.buttonSet = buttonSet;
    // Wrapping a text of textWidth into `width` takes as many lines as it needs.
    in.wrappedHeight = [textWidth](int width) { return (textWidth + width - 1) / width * kLine; };
    return in;
}

TEST(MessageLayout, FitsTheWindowAroundTitleAndText) {
    struct Case {
        const char* what;
        MessageLayoutInput in;
        int clientWidth, clientHeight, windowWidth, windowHeight;
        int textTop, textWidth, textHeight, titleTop, buttonTop;
    };
    MessageFrame noFrame{0, 0, 0, 0};
    MessageLayoutInput clamped = input(100, 100, 6 * kLine);
    clamped.frame = noFrame;
    const Case cases[] = {
        // (161 - 15) / 2 = 73 and 73 - 35 = 38; the frame leaves 374 x 170 of 380 x 195.
        {"one line centred above the buttons", input(100, 100, kLine), 374, 170, 380, 195, 73, 100,
         kLine, 38, 134},
        {"two lines centred", input(100, 100, 2 * kLine), 374, 170, 380, 195, 65, 100, 30, 30, 134},
        // The title edge passes 380 - 20: client 70 + 300 + 20 = 390, window 396.
        {"a wide title widens the window", input(300, 100, kLine), 390, 170, 396, 195, 73, 100,
         kLine, 38, 134},
        {"a title edge on the limit leaves it", input(290, 100, kLine), 374, 170, 380, 195, 73, 100,
         kLine, 38, 134},
        // 72 + 400 passes 360: wrapped at 380 - 72 - 20 = 288 into 2 lines.
        {"a long line wraps", input(100, 400, kLine), 374, 170, 380, 195, 65, 288, 30, 30, 134},
        // The wider window wraps at 396 - 72 - 20 = 304.
        {"a long line wraps against a widened window", input(300, 700, kLine), 390, 170, 396, 195,
         58, 304, 45, 23, 134},
        // 170 - 26 - 10 = 134 < 69 + 75: client 69 + 75 + 26 + 20 = 190.
        {"a tall text grows the window", input(100, 100, 5 * kLine), 374, 190, 380, 215, 69, 100,
         75, 34, 154},
        {"a text ending on the limit does not grow it", input(100, 100, 65), 374, 170, 380, 195, 48,
         100, 65, 13, 134},
        // Without a frame 90 pixels still fit: top (161 - 90) / 2 = 35, title held at 5.
        {"the title is held at 5", clamped, 380, 195, 380, 195, 35, 100, 90, 5, 159},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const MessageLayout l = layoutMessage(c.in);
        EXPECT_EQ(l.clientWidth, c.clientWidth);
        EXPECT_EQ(l.clientHeight, c.clientHeight);
        EXPECT_EQ(l.windowWidth, c.windowWidth);
        EXPECT_EQ(l.windowHeight, c.windowHeight);
        EXPECT_EQ(l.textTop, c.textTop);
        EXPECT_EQ(l.textLeft, 72);
        EXPECT_EQ(l.textWidth, c.textWidth);
        EXPECT_EQ(l.textHeight, c.textHeight);
        EXPECT_EQ(l.titleLeft, 70);
        EXPECT_EQ(l.titleTop, c.titleTop);
        EXPECT_EQ(l.buttonTop, c.buttonTop);
    }
}

TEST(MessageLayout, WrapsOnlyPastTheRightMargin) {
    std::vector<int> asked;
    MessageLayoutInput in = input(100, 288, kLine);
    in.wrappedHeight = [&asked](int width) {
        asked.push_back(width);
        return kLine;
    };
    EXPECT_FALSE(layoutMessage(in).textWrapped);  // 72 + 288 = 360 is not beyond 360
    EXPECT_TRUE(asked.empty());
    in.textWidth = 289;
    EXPECT_TRUE(layoutMessage(in).textWrapped);
    EXPECT_EQ(asked, std::vector<int>{288});
}

TEST(MessageLayout, PlacesButtonsBySet) {
    struct Case {
        int buttonSet, okLeft, simLeft, naoLeft;
    };
    const Case cases[] = {
        {1, (374 - 91) / 2, 97, 207},  // OK centred in the client area
        {2, 152, (374 - 91 - 91 - 20) / 2, (374 - 91 - 91 - 20) / 2 + 111},
        {3, 152, 86, 197},
        {0, 152, 97, 207},  // no buttons: left as defined
        {4, 152, 97, 207},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.buttonSet);
        const MessageLayout l = layoutMessage(input(100, 100, kLine, c.buttonSet));
        EXPECT_EQ(l.okLeft, c.okLeft);
        EXPECT_EQ(l.simLeft, c.simLeft);
        EXPECT_EQ(l.naoLeft, c.naoLeft);
    }
    // With a widened window the buttons centre in it.
    const MessageLayout wide = layoutMessage(input(400, 100, kLine, 1));
    EXPECT_EQ(wide.clientWidth, 490);
    EXPECT_EQ(wide.okLeft, (490 - 91) / 2);
}

TEST(MessageLayout, CentresOnTheScreenTruncating) {
    struct Case {
        int screenWidth, screenHeight, left, top;
    };
    const Case cases[] = {
        {1024, 768, 322, 286},
        {1025, 769, 322, 287},  // (645 / 2, 574 / 2) truncated
        {300, 100, -40, -47},   // a screen smaller than the window: toward zero
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.screenWidth);
        MessageLayoutInput in = input(100, 100, kLine);
        in.screenWidth = c.screenWidth;
        in.screenHeight = c.screenHeight;
        const MessageLayout l = layoutMessage(in);
        EXPECT_EQ(l.windowLeft, c.left);
        EXPECT_EQ(l.windowTop, c.top);
    }
}

}  // namespace
}  // namespace sivaro
