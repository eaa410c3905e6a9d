#include "barcode/BarcodeTypes.h"

#include <cstddef>

namespace sivaro {

namespace {

constexpr std::string_view kBarCodeTypeNames[] = {"bcUPC_A",   "bcEAN_13", "bcInt2of5",
                                                  "bcCode128", "bcCode39", "bcPostnet"};
constexpr std::string_view kOrientationNames[] = {"orLeft_Right", "orRight_Left", "orTop_Bottom",
                                                  "orBottom_Top"};
constexpr std::string_view kUnitNames[] = {"muInches", "muMMs"};
constexpr std::string_view kAlignmentNames[] = {"taLeftJustify", "taRightJustify", "taCenter"};

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

template <typename Enum, std::size_t N>
std::optional<Enum> parseName(const std::string_view (&names)[N], std::string_view name) {
    for (std::size_t i = 0; i < N; ++i) {
        if (equalsIgnoringCase(names[i], name)) return static_cast<Enum>(i);
    }
    return std::nullopt;
}

}  // namespace

std::string_view enumName(TBarCodeType value) {
    return kBarCodeTypeNames[value];
}
std::string_view enumName(TBCOrientation value) {
    return kOrientationNames[value];
}
std::string_view enumName(TMeasurementUnits value) {
    return kUnitNames[value];
}
std::string_view enumName(TAlignment value) {
    return kAlignmentNames[value];
}

std::optional<TBarCodeType> parseBarCodeType(std::string_view name) {
    return parseName<TBarCodeType>(kBarCodeTypeNames, name);
}
std::optional<TBCOrientation> parseOrientation(std::string_view name) {
    return parseName<TBCOrientation>(kOrientationNames, name);
}
std::optional<TMeasurementUnits> parseMeasurementUnits(std::string_view name) {
    return parseName<TMeasurementUnits>(kUnitNames, name);
}
std::optional<TAlignment> parseAlignment(std::string_view name) {
    return parseName<TAlignment>(kAlignmentNames, name);
}

}  // namespace sivaro
