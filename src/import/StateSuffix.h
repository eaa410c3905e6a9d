#pragma once
// The 27 Brazilian states (26 and the Distrito Federal) as a city value or a city table names
// them: by abbreviation ("SP") or by name ("São Paulo"), letter case and accents aside.

#include <string>
#include <string_view>

namespace sivaro {

constexpr int kNoState = -1;

// The state a table's text names (its abbreviation or its name, blanks around ignored), or
// kNoState.
int stateOfText(std::string_view text);

// "SP" for the state of stateOfText("SP"); empty for kNoState.
std::string_view stateAbbreviation(int state);

// Cuts a trailing state suffix off a city value: the last "-" (blanks around it allowed)
// followed by a state's abbreviation and nothing else, with a name before it. Returns the
// state and leaves the name, without blanks at its end, in `value`; returns kNoState and leaves
// `value` alone otherwise ("Xangri-lá", "RIO-X", "-SP").
int cutStateSuffix(std::string& value);

}  // namespace sivaro
