#include "barcode/BarcodeForm.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <optional>

#include "util/Errors.h"

namespace sivaro {

namespace {

using Apply = std::function<void(BarcodeModel&)>;

struct ParseError {
    std::string what;  // what the value should have been
};

// One published property: how to read its text into a pending assignment, and its text when
// saving (nothing when it equals its declared default).
struct Property {
    std::string_view name;
    std::function<Apply(std::string_view)> parse;  // throws ParseError
    std::function<std::optional<std::string>(const BarcodeModel&)> save;
};

constexpr std::string_view kControlProperties[] = {
    "Left",    "Top",        "Width",       "Height",      "Visible",
    "OnClick", "OnDblClick", "OnMouseDown", "OnMouseMove", "OnMouseUp"};

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lowerAscii(x) == lowerAscii(y);
           });
}

std::string_view trim(std::string_view text) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
}

bool parseBool(std::string_view text) {
    if (sameName(text, "True")) return true;
    if (sameName(text, "False")) return false;
    throw ParseError{"True or False"};
}

float parseFloat(std::string_view text) {
    float value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() ||
        !std::isfinite(value)) {
        throw ParseError{"a number such as 0.015"};
    }
    return value;
}

int parseInt(std::string_view text) {
    int value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size()) {
        throw ParseError{"a whole number"};
    }
    return value;
}

std::string formatFloat(float value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string formatBool(bool value) {
    return value ? "True" : "False";
}

// Quoted runs of printable characters, #N for every other byte, so that any data (Code 128's
// characters above 200 included) survives the round trip and the file stays plain ASCII.
std::string formatText(std::string_view text) {
    if (text.empty()) return "''";
    std::string out;
    bool quoted = false;
    for (char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        const bool printable = byte >= 32 && byte <= 126;
        if (printable != quoted) {
            out += '\'';
            quoted = printable;
        }
        if (printable) {
            out += ch;
            if (ch == '\'') out += '\'';
        } else {
            out += '#' + std::to_string(byte);
        }
    }
    if (quoted) out += '\'';
    return out;
}

std::string parseText(std::string_view text) {
    const ParseError error{"a quoted text such as 'abc', with #N for other bytes"};
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ' || text[i] == '\t') {
            ++i;
        } else if (text[i] == '\'') {
            ++i;
            for (;;) {
                if (i >= text.size()) throw error;
                if (text[i] == '\'') {
                    if (i + 1 < text.size() && text[i + 1] == '\'') {
                        out += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                out += text[i++];
            }
        } else if (text[i] == '#') {
            ++i;
            unsigned value = 0;
            const auto result = std::from_chars(text.data() + i, text.data() + text.size(), value);
            if (result.ec != std::errc() || value > 255) throw error;
            out += static_cast<char>(value);
            i = static_cast<std::size_t>(result.ptr - text.data());
        } else {
            throw error;
        }
    }
    return out;
}

struct NamedColor {
    std::string_view name;
    TColor color;
};
constexpr NamedColor kNamedColors[] = {{"Black", kColorBlack},
                                       {"White", kColorWhite},
                                       {"Window", kColorWindow},
                                       {"WindowText", kColorWindowText}};

std::string formatColor(TColor color) {
    for (const NamedColor& named : kNamedColors) {
        if (named.color == color) return std::string(named.name);
    }
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, color, 16);
    std::string digits(buffer, result.ptr);
    const std::size_t width = color > 0xFFFFFF ? 8 : 6;
    if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
    std::transform(digits.begin(), digits.end(), digits.begin(),
                   [](char c) { return c >= 'a' && c <= 'f' ? static_cast<char>(c - 32) : c; });
    return "0x" + digits;
}

TColor parseColor(std::string_view text) {
    for (const NamedColor& named : kNamedColors) {
        if (sameName(text, named.name)) return named.color;
    }
    const ParseError error{"Black, White, Window, WindowText or 0xRRGGBB"};
    if (text.size() < 3 || text[0] != '0' || lowerAscii(text[1]) != 'x') throw error;
    TColor value = 0;
    const auto result = std::from_chars(text.data() + 2, text.data() + text.size(), value, 16);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) throw error;
    return value;
}

constexpr std::string_view kStyleNames[] = {"Bold", "Italic", "Underline", "StrikeOut"};

std::string formatStyle(const BarcodeFont& font) {
    const bool flags[] = {font.Bold, font.Italic, font.Underline, font.StrikeOut};
    std::string out = "[";
    for (std::size_t i = 0; i < 4; ++i) {
        if (!flags[i]) continue;
        if (out.size() > 1) out += ", ";
        out += kStyleNames[i];
    }
    return out + "]";
}

BarcodeFont parseStyle(BarcodeFont font, std::string_view text) {
    const ParseError error{"a list such as [Bold, Italic]"};
    if (text.size() < 2 || text.front() != '[' || text.back() != ']') throw error;
    bool* flags[] = {&font.Bold, &font.Italic, &font.Underline, &font.StrikeOut};
    for (bool* flag : flags) *flag = false;
    std::string_view rest = text.substr(1, text.size() - 2);
    while (!trim(rest).empty()) {
        const std::size_t comma = rest.find(',');
        const std::string_view item = trim(rest.substr(0, comma));
        const auto found =
            std::find_if(std::begin(kStyleNames), std::end(kStyleNames),
                         [&](std::string_view name) { return sameName(name, item); });
        if (found == std::end(kStyleNames)) throw error;
        *flags[found - std::begin(kStyleNames)] = true;
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    return font;
}

template <typename Enum>
Property enumProperty(std::string_view name, std::optional<Enum> (*parse)(std::string_view),
                      Enum (BarcodeModel::*get)() const, void (BarcodeModel::*set)(Enum),
                      std::optional<Enum> declaredDefault, std::string_view expected) {
    return {name,
            [=](std::string_view text) -> Apply {
                const std::optional<Enum> value = parse(text);
                if (!value) throw ParseError{std::string(expected)};
                return [=](BarcodeModel& m) { (m.*set)(*value); };
            },
            [=](const BarcodeModel& m) -> std::optional<std::string> {
                if (declaredDefault && (m.*get)() == *declaredDefault) return std::nullopt;
                return std::string(enumName((m.*get)()));
            }};
}

Property boolProperty(std::string_view name, bool (BarcodeModel::*get)() const,
                      void (BarcodeModel::*set)(bool), bool declaredDefault) {
    return {name,
            [=](std::string_view text) -> Apply {
                const bool value = parseBool(text);
                return [=](BarcodeModel& m) { (m.*set)(value); };
            },
            [=](const BarcodeModel& m) -> std::optional<std::string> {
                if ((m.*get)() == declaredDefault) return std::nullopt;
                return formatBool((m.*get)());
            }};
}

Property floatProperty(std::string_view name, float (BarcodeModel::*get)() const,
                       void (BarcodeModel::*set)(float)) {
    return {name,
            [=](std::string_view text) -> Apply {
                const float value = parseFloat(text);
                return [=](BarcodeModel& m) { (m.*set)(value); };
            },
            [=](const BarcodeModel& m) -> std::optional<std::string> {
                return formatFloat((m.*get)());
            }};
}

Property colorProperty(std::string_view name, TColor (BarcodeModel::*get)() const,
                       void (BarcodeModel::*set)(TColor), std::optional<TColor> declaredDefault) {
    return {name,
            [=](std::string_view text) -> Apply {
                const TColor value = parseColor(text);
                return [=](BarcodeModel& m) { (m.*set)(value); };
            },
            [=](const BarcodeModel& m) -> std::optional<std::string> {
                if (declaredDefault && (m.*get)() == *declaredDefault) return std::nullopt;
                return formatColor((m.*get)());
            }};
}

Property textProperty(std::string_view name, std::string (*get)(const BarcodeModel&),
                      void (*set)(BarcodeModel&, const std::string&)) {
    return {
        name,
        [=](std::string_view text) -> Apply {
            std::string value = parseText(text);
            return [=](BarcodeModel& m) { set(m, value); };
        },
        [=](const BarcodeModel& m) -> std::optional<std::string> { return formatText(get(m)); }};
}

// The font is a group of lines applied at the font's place in the published order.
Property fontProperty(std::string_view name, BarcodeFont (*change)(BarcodeFont, std::string_view),
                      std::string (*format)(const BarcodeFont&)) {
    return {name,
            [=](std::string_view text) -> Apply {
                change(BarcodeFont{}, text);  // rejects a malformed value before any is applied
                const std::string value(text);
                return [=](BarcodeModel& m) { m.SetFont(change(m.Font(), value)); };
            },
            [=](const BarcodeModel& m) -> std::optional<std::string> { return format(m.Font()); }};
}

// Published order: the order in which a form file stores and loads the properties.
const std::vector<Property>& publishedProperties() {
    static const std::vector<Property> properties = {
        textProperty(
            "AddOn", [](const BarcodeModel& m) { return m.AddOn(); },
            [](BarcodeModel& m, const std::string& v) { m.SetAddOn(v); }),
        boolProperty("AutoSize", &BarcodeModel::AutoSize, &BarcodeModel::SetAutoSize, true),
        boolProperty("AutoSizeFont", &BarcodeModel::AutoSizeFont, &BarcodeModel::SetAutoSizeFont,
                     true),
        enumProperty<TBarCodeType>("BarCodeType", &parseBarCodeType, &BarcodeModel::BarCodeType,
                                   &BarcodeModel::SetBarCodeType, std::nullopt,
                                   "bcUPC_A, bcEAN_13, bcInt2of5, bcCode128, bcCode39 or "
                                   "bcPostnet"),
        colorProperty("BarColor", &BarcodeModel::BarColor, &BarcodeModel::SetBarColor,
                      std::nullopt),
        floatProperty("BarWidth", &BarcodeModel::BarWidth, &BarcodeModel::SetBarWidth),
        boolProperty("BearerBars", &BarcodeModel::BearerBars, &BarcodeModel::SetBearerBars, false),
        boolProperty("CalcCheckDigit", &BarcodeModel::CalcCheckDigit,
                     &BarcodeModel::SetCalcCheckDigit, true),
        textProperty(
            "Data", [](const BarcodeModel& m) { return m.Data(); },
            [](BarcodeModel& m, const std::string& v) { m.SetData(v); }),
        textProperty(
            "DataField", [](const BarcodeModel& m) { return m.DataField(); },
            [](BarcodeModel& m, const std::string& v) { m.SetDataField(v); }),
        // A reference by name; the forms that name a data source load without effect.
        {"DataSource",
         [](std::string_view text) -> Apply {
             const std::string value(text);
             return [=](BarcodeModel& m) { m.SetDataSource(value); };
         },
         [](const BarcodeModel& m) -> std::optional<std::string> { return m.DataSource(); }},
        enumProperty<TAlignment>("FontAlignment", &parseAlignment, &BarcodeModel::FontAlignment,
                                 &BarcodeModel::SetFontAlignment, taLeftJustify,
                                 "taLeftJustify, taRightJustify or taCenter"),
        enumProperty<TMeasurementUnits>(
            "MeasurementUnits", &parseMeasurementUnits, &BarcodeModel::MeasurementUnits,
            &BarcodeModel::SetMeasurementUnits, muInches, "muInches or muMMs"),
        enumProperty<TBCOrientation>("Orientation", &parseOrientation, &BarcodeModel::Orientation,
                                     &BarcodeModel::SetOrientation, orLeft_Right,
                                     "orLeft_Right, orRight_Left, orTop_Bottom or orBottom_Top"),
        boolProperty("PrintHumanReadable", &BarcodeModel::PrintHumanReadable,
                     &BarcodeModel::SetPrintHumanReadable, true),
        floatProperty("WideBarRatio", &BarcodeModel::WideBarRatio, &BarcodeModel::SetWideBarRatio),
        colorProperty("Color", &BarcodeModel::Color, &BarcodeModel::SetColor, kColorWindow),
        fontProperty(
            "Font.Name",
            [](BarcodeFont f, std::string_view v) {
                f.Name = parseText(v);
                return f;
            },
            [](const BarcodeFont& f) { return formatText(f.Name); }),
        fontProperty(
            "Font.Size",
            [](BarcodeFont f, std::string_view v) {
                f.Size = parseInt(v);
                return f;
            },
            [](const BarcodeFont& f) { return std::to_string(f.Size); }),
        fontProperty(
            "Font.Color",
            [](BarcodeFont f, std::string_view v) {
                f.Color = parseColor(v);
                return f;
            },
            [](const BarcodeFont& f) { return formatColor(f.Color); }),
        fontProperty("Font.Style", &parseStyle, &formatStyle),
    };
    return properties;
}

[[noreturn]] void lineError(int line, const std::string& message) {
    throw EConvertError("Barcode form, line " + std::to_string(line) + ": " + message);
}

class LoadingState {
  public:
    explicit LoadingState(BarcodeModel& model) : m_model(model), m_was(model.Loading()) {
        model.SetLoading(true);
    }
    ~LoadingState() { m_model.SetLoading(m_was); }
    LoadingState(const LoadingState&) = delete;
    LoadingState& operator=(const LoadingState&) = delete;

  private:
    BarcodeModel& m_model;
    bool m_was;
};

}  // namespace

std::vector<FormEntry> loadBarcodeForm(BarcodeModel& model, std::string_view text) {
    const std::vector<Property>& properties = publishedProperties();
    std::vector<Apply> pending(properties.size());
    std::vector<int> seenOnLine(properties.size(), 0);
    std::vector<FormEntry> controlEntries;

    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = text.find('\n');
        const std::string_view line = trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty()) continue;

        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) lineError(lineNumber, "expected Name = value");
        const std::string_view name = trim(line.substr(0, equals));
        const std::string_view value = trim(line.substr(equals + 1));

        const auto control =
            std::find_if(std::begin(kControlProperties), std::end(kControlProperties),
                         [&](std::string_view n) { return sameName(n, name); });
        if (control != std::end(kControlProperties)) {
            controlEntries.push_back({std::string(*control), std::string(value), lineNumber});
            continue;
        }
        const auto found = std::find_if(properties.begin(), properties.end(),
                                        [&](const Property& p) { return sameName(p.name, name); });
        if (found == properties.end()) {
            lineError(lineNumber, "unknown property \"" + std::string(name) + "\"");
        }
        const std::size_t index = static_cast<std::size_t>(found - properties.begin());
        if (seenOnLine[index] != 0) {
            lineError(lineNumber, std::string(found->name) + " is given twice (first on line " +
                                      std::to_string(seenOnLine[index]) + ")");
        }
        seenOnLine[index] = lineNumber;
        try {
            pending[index] = found->parse(value);
        } catch (const ParseError& error) {
            lineError(lineNumber, std::string(found->name) + " needs " + error.what + ", not \"" +
                                      std::string(value) + "\"");
        }
    }

    LoadingState loading(model);
    for (const Apply& apply : pending) {
        if (apply) apply(model);
    }
    return controlEntries;
}

std::string saveBarcodeForm(const BarcodeModel& model) {
    std::string out;
    for (const Property& property : publishedProperties()) {
        const std::optional<std::string> value = property.save(model);
        if (!value) continue;
        out += property.name;
        out += " =";
        if (!value->empty()) out += ' ' + *value;
        out += '\n';
    }
    return out;
}

}  // namespace sivaro
