#pragma once
// The arithmetic that fits the message window around its title and text, apart from any
// widget so that every case can be checked with chosen text sizes. Coordinates are pixels;
// "window" sizes are outer sizes (frame included), "client" sizes what the frame leaves.

#include <functional>

#include "util/MessageKinds.h"

namespace sivaro {

// The dialog frame the window gets at run time. The arithmetic compares label edges with the
// outer width but grows the client area, so the frame enters the results.
struct MessageFrame {
    int left = 3;
    int top = 22;  // border and title bar
    int right = 3;
    int bottom = 3;
};

struct MessageLayoutInput {
    MessageFrame frame;
    int titleWidth = 0;
    int textWidth = 0;  // the text on its own lines, unwrapped
    int textHeight = 0;
    // Height of the text wrapped at word boundaries into the given width.
    std::function<int(int width)> wrappedHeight;
    int screenWidth = 0;
    int screenHeight = 0;
    int buttonSet = kButtonsOk;
};

struct MessageLayout {
    int windowLeft = 0;
    int windowTop = 0;
    int windowWidth = 0;
    int windowHeight = 0;
    int clientWidth = 0;
    int clientHeight = 0;
    int titleLeft = 0;
    int titleTop = 0;
    int textLeft = 0;
    int textTop = 0;
    int textWidth = 0;
    int textHeight = 0;
    bool textWrapped = false;
    int buttonTop = 0;  // where painting puts the buttons
    int okLeft = 0;
    int simLeft = 0;
    int naoLeft = 0;
};

// The window as defined, before any fitting.
inline constexpr int kMessageWindowWidth = 380;
inline constexpr int kMessageWindowHeight = 195;
inline constexpr int kMessageTitleLeft = 70;
inline constexpr int kMessageTitleTop = 37;
inline constexpr int kMessageTextLeft = 72;
inline constexpr int kMessageTextTop = 69;
inline constexpr int kMessageButtonWidth = 91;
inline constexpr int kMessageButtonHeight = 26;
inline constexpr int kMessageOkTop = 161;
inline constexpr int kMessageSimLeft = 97;
inline constexpr int kMessageNaoLeft = 207;
inline constexpr int kMessageOkLeft = 152;

MessageLayout layoutMessage(const MessageLayoutInput& input);

}  // namespace sivaro
