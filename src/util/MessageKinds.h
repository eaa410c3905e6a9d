#pragma once
// The numbers by which callers choose the message window's picture and buttons, and its answers.

#include <cstdint>

namespace sivaro {

// Icon kinds: the red picture beside the text and the sound it makes; other numbers show none.
inline constexpr std::uint16_t kIconStop = 1;
inline constexpr std::uint16_t kIconQuestion = 2;
inline constexpr std::uint16_t kIconExclamation = 3;
inline constexpr std::uint16_t kIconInformation = 4;

// Button sets; 4 and above show none, and only Esc or the close box end the window.
inline constexpr std::uint16_t kButtonsNone = 0;            // modeless: the call returns at once
inline constexpr std::uint16_t kButtonsOk = 1;              // OK
inline constexpr std::uint16_t kButtonsYesNo = 2;           // Sim and Não, Sim the default
inline constexpr std::uint16_t kButtonsYesNoDefaultNo = 3;  // Sim and Não, Não the default

// Answers.
inline constexpr std::uint16_t kAnswerNone = 0;  // a modeless window
inline constexpr std::uint16_t kAnswerYes = 1;   // OK or Sim
inline constexpr std::uint16_t kAnswerNo = 2;    // Não, Esc or the close box

}  // namespace sivaro
