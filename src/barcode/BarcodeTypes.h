#pragma once
// The barcode's value types. Enumerations keep their ordinal order because form files store
// them by name in that order and several rules test the type by ordinal (UPC-A and EAN-13 are
// the two below 2).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sivaro {

enum TBarCodeType : std::uint8_t { bcUPC_A, bcEAN_13, bcInt2of5, bcCode128, bcCode39, bcPostnet };
enum TBCOrientation : std::uint8_t { orLeft_Right, orRight_Left, orTop_Bottom, orBottom_Top };
enum TMeasurementUnits : std::uint8_t { muInches, muMMs };
enum TAlignment : std::uint8_t { taLeftJustify, taRightJustify, taCenter };

// The types that carry a check digit in their data and may have an add-on.
inline bool isUpcOrEan(TBarCodeType type) {
    return type < 2;
}

// A colour as 0x00RRGGBB; values with the top bit set name a system colour by index, resolved
// by whoever paints.
using TColor = std::uint32_t;
inline constexpr TColor kColorBlack = 0x000000;
inline constexpr TColor kColorWhite = 0xFFFFFF;
inline constexpr TColor kColorWindow = 0x80000005;
inline constexpr TColor kColorWindowText = 0x80000008;

// What the painting needs of a font; the pixels per inch belong to the device drawn on.
struct BarcodeFont {
    std::string Name = "Courier New";
    int Size = 8;  // points
    TColor Color = kColorWindowText;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;

    bool operator==(const BarcodeFont&) const = default;
};

// One character a device pixel column, zero-terminated: '1' bar, '0' space; in a PostNet
// pattern '2' is a tall bar and '1' a short one.
inline constexpr int kPatternSize = 4000;       // 3999 columns + terminator
inline constexpr int kAddOnPatternSize = 1000;  // 999 columns + terminator
using PatternColumns = std::array<char, kPatternSize>;
using AddOnColumns = std::array<char, kAddOnPatternSize>;

// Names as form files store them; parsing ignores letter case.
std::string_view enumName(TBarCodeType value);
std::string_view enumName(TBCOrientation value);
std::string_view enumName(TMeasurementUnits value);
std::string_view enumName(TAlignment value);
std::optional<TBarCodeType> parseBarCodeType(std::string_view name);
std::optional<TBCOrientation> parseOrientation(std::string_view name);
std::optional<TMeasurementUnits> parseMeasurementUnits(std::string_view name);
std::optional<TAlignment> parseAlignment(std::string_view name);

}  // namespace sivaro
