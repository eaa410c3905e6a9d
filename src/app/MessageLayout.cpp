#include "app/MessageLayout.h"
#include "util/MessageKinds.h"

#include <algorithm>

namespace sivaro {

MessageLayout layoutMessage(const MessageLayoutInput& in) {
    const MessageFrame& f = in.frame;
    MessageLayout out;

    // The frame is added around the defined size: the outer size stays, the client shrinks.
    out.windowWidth = kMessageWindowWidth;
    out.windowHeight = kMessageWindowHeight;
    out.clientWidth = out.windowWidth - f.left - f.right;
    out.clientHeight = out.windowHeight - f.top - f.bottom;

    out.titleLeft = kMessageTitleLeft;
    out.titleTop = kMessageTitleTop;
    const int titleRight = out.titleLeft + in.titleWidth;
    if (titleRight > out.windowWidth - 20) {
        out.clientWidth = titleRight + 20;
        out.windowWidth = out.clientWidth + f.left + f.right;
    }

    out.textLeft = kMessageTextLeft;
    out.textTop = kMessageTextTop;
    out.textWidth = in.textWidth;
    out.textHeight = in.textHeight;
    if (out.textLeft + out.textWidth > out.windowWidth - 20) {
        out.textWidth = out.windowWidth - out.textLeft - 20;
        out.textHeight = in.wrappedHeight ? in.wrappedHeight(out.textWidth) : in.textHeight;
        out.textWrapped = true;
    }

    // The defined button row, not the painted one, is what the text is centred against.
    const int okTop = kMessageOkTop;
    if (out.clientHeight - kMessageButtonHeight - 10 < out.textTop + out.textHeight) {
        out.clientHeight = out.textTop + out.textHeight + kMessageButtonHeight + 20;
        out.windowHeight = out.clientHeight + f.top + f.bottom;
    } else {
        out.textTop = (okTop - out.textHeight) / 2;
    }

    out.windowLeft = (in.screenWidth - out.windowWidth) / 2;
    out.windowTop = (in.screenHeight - out.windowHeight) / 2;

    out.titleTop = std::max(out.textTop - 35, 5);

    out.okLeft = kMessageOkLeft;
    out.simLeft = kMessageSimLeft;
    out.naoLeft = kMessageNaoLeft;
    if (in.buttonSet == kButtonsOk) {
        out.okLeft = (out.clientWidth - kMessageButtonWidth) / 2;
    } else if (in.buttonSet == kButtonsYesNo || in.buttonSet == kButtonsYesNoDefaultNo) {
        out.simLeft = (out.clientWidth - 2 * kMessageButtonWidth - 20) / 2;
        out.naoLeft = out.simLeft + kMessageButtonWidth + 20;
    }
    out.buttonTop = out.clientHeight - kMessageButtonHeight - 10;
    return out;
}

}  // namespace sivaro
