#include "barcode/paint/BarcodeControlForm.h"

#include <charconv>
#include <string>
#include <vector>

#include "barcode/BarcodeForm.h"
#include "util/Errors.h"

namespace sivaro {

namespace {

[[noreturn]] void entryError(const FormEntry& entry, const std::string& what) {
    throw EConvertError("Barcode form, line " + std::to_string(entry.line) + ": " + entry.name +
                        " needs " + what + ", not \"" + entry.value + "\"");
}

int integerOf(const FormEntry& entry) {
    int value = 0;
    const char* begin = entry.value.data();
    const char* end = begin + entry.value.size();
    const auto result = std::from_chars(begin, end, value);
    if (entry.value.empty() || result.ec != std::errc() || result.ptr != end) {
        entryError(entry, "a whole number");
    }
    return value;
}

bool booleanOf(const FormEntry& entry) {
    auto same = [&](std::string_view word) {
        if (entry.value.size() != word.size()) return false;
        for (std::size_t i = 0; i < word.size(); ++i) {
            char c = entry.value[i];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            if (c != word[i]) return false;
        }
        return true;
    };
    if (same("true")) return true;
    if (same("false")) return false;
    entryError(entry, "True or False");
}

}  // namespace

void loadBarcodeControl(TVxBarcode& control, std::string_view text) {
    const std::vector<FormEntry> entries = loadBarcodeForm(control, text);
    int left = control.Left(), top = control.Top();
    int width = control.Width(), height = control.Height();
    bool visible = control.Visible();
    for (const FormEntry& entry : entries) {
        if (entry.name == "Left") {
            left = integerOf(entry);
        } else if (entry.name == "Top") {
            top = integerOf(entry);
        } else if (entry.name == "Width") {
            width = integerOf(entry);
        } else if (entry.name == "Height") {
            height = integerOf(entry);
        } else if (entry.name == "Visible") {
            visible = booleanOf(entry);
        }
    }
    if (width < 0 || height < 0) {
        throw EConvertError("Barcode form: a control cannot be " + std::to_string(width) + " by " +
                            std::to_string(height) + " pixels");
    }
    control.SetBounds(left, top, width, height);
    control.SetVisible(visible);
}

}  // namespace sivaro
