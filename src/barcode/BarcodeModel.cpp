#include "barcode/BarcodeModel.h"

#include <charconv>

#include "barcode/Code128.h"
#include "barcode/Code39.h"
#include "barcode/Interleaved2of5.h"
#include "barcode/PatternWriter.h"
#include "barcode/Postnet.h"
#include "barcode/UpcEan.h"
#include "util/Errors.h"

namespace sivaro {

namespace {

// The limits are compared as the 32-bit floats nearest them, so that both are accepted.
constexpr float kMinBarWidthInches = 0.004f;
constexpr float kMaxBarWidthInches = 0.10f;
// Millimetres per inch, applied in extended precision and rounded once to a 32-bit float: that
// is how stored widths were always converted, and switching the unit back must give the same
// float again.
constexpr long double kMillimetresPerInch = 25.4L;

constexpr const char* kDesignSample = "SIVARO";

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool allDigits(std::string_view text) {
    for (char c : text) {
        if (!isDigit(c)) return false;
    }
    return true;
}

bool isCode39DataChar(char c) {
    return isDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == ' ' || c == '$' ||
           c == '%' || c == '+' || c == '-' || c == '.' || c == '/';
}

std::string formatResolution(float resolution) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, resolution);
    return std::string(buffer, result.ptr);
}

std::string capacityMessage(const char* what, std::int64_t needed, float resolution, int capacity,
                            const char* remedy) {
    return std::string(what) + " needs " + std::to_string(needed) + " columns at " +
           formatResolution(resolution) + " pixels per inch, more than the " +
           std::to_string(capacity) + " its pattern holds; " + remedy;
}

}  // namespace

BarcodeModel::BarcodeModel(bool designing) : m_designing(designing) {
    if (designing) {
        SetData(kDesignSample);
        SetBarCodeType(bcCode39);
    }
}

void BarcodeModel::RequestRepaint() {
    if (m_repaintRequest) m_repaintRequest();
}

// The add-on's checks are skipped while loading because it is stored before the type.
void BarcodeModel::SetAddOn(const std::string& value) {
    if (!m_loading) {
        if (!value.empty() && value.size() != 2 && value.size() != 5) {
            throw EBarCodeError("Add-on codes must be either 2 or 5 digits");
        }
        if (!value.empty() && !isUpcOrEan(m_barCodeType)) {
            throw EBarCodeError("Only UPC-A and EAN-13 barcodes can have add-on codes");
        }
    }
    m_addOn = value;
    if (!m_loading) RequestRepaint();
}

void BarcodeModel::SetAutoSize(bool value) {
    if (value == m_autoSize) return;
    if (!value && m_barCodeType == bcPostnet) {
        throw EBarCodeError("PostNet barcodes must be AutoSize'd");
    }
    m_autoSize = value;
    if (!m_loading) RequestRepaint();
}

void BarcodeModel::SetAutoSizeFont(bool value) {
    if (value == m_autoSizeFont) return;
    if (!value && isUpcOrEan(m_barCodeType)) {
        throw EBarCodeError("EAN-13 and UPC-A barcodes must have AutoSizeFont = true");
    }
    m_autoSizeFont = value;
    if (!m_loading) RequestRepaint();
}

void BarcodeModel::SetBarCodeType(TBarCodeType value) {
    if (value == m_barCodeType) return;
    m_barCodeType = value;
    if (value == bcPostnet) SetAutoSize(true);
    if (isUpcOrEan(value)) m_autoSizeFont = true;
    if (!m_data.empty()) {
        FValid = true;
        // A form file stores the type before the data, whose own assignment checks it.
        if (!m_loading) runDataCheck();
    }
    if (!m_loading) RequestRepaint();
}

void BarcodeModel::SetBarColor(TColor value) {
    if (value == m_barColor) return;
    m_barColor = value;
    if (!m_loading) RequestRepaint();
}

void BarcodeModel::SetBarWidth(float value) {
    if (value == m_barWidth) return;
    if (!m_loading) {
        const float inches = WidthInInches(value);
        // Written so that NaN fails too.
        if (!(inches >= kMinBarWidthInches)) {
            throw EBarCodeError("The barwidth must be at least 0.004 inches! (0.10 mm)");
        }
        if (inches > kMaxBarWidthInches) {
            throw EBarCodeError("The barwidth must be no more than 0.10 inches! (2.54 mm)");
        }
    }
    m_barWidth = value;
    if (!m_loading) RequestRepaint();
}

void BarcodeModel::SetBearerBars(bool value) {
    if (value == m_bearerBars) return;
    if (value && m_barCodeType != bcInt2of5) {
        throw EBarCodeError("Only Interleaved 2 of 5 barcodes can have bearer bars");
    }
    m_bearerBars = value;
    if (!m_loading) RequestRepaint();
}

// The flag decides which lengths UPC-A and EAN-13 data may have, so the data is checked again:
// switched off, a short code would otherwise reach the builder one digit short; switched on, a
// code refused for its length becomes valid.
void BarcodeModel::SetCalcCheckDigit(bool value) {
    if (value == m_calcCheckDigit) return;
    m_calcCheckDigit = value;
    if (isUpcOrEan(m_barCodeType) && !m_data.empty() && !m_loading) {
        FValid = true;
        runDataCheck();
    }
    if (!m_loading) RequestRepaint();
}

void BarcodeModel::SetData(const std::string& value) {
    if (value == m_data) return;
    m_data = value;
    if (!m_data.empty()) {
        FValid = true;
        runDataCheck();
    } else {
        FValid = false;
    }
    if (!m_loading) RequestRepaint();
}

void BarcodeModel::SetFontAlignment(TAlignment value) {
    if (value == m_fontAlignment) return;
    m_fontAlignment = value;
    if (!m_loading) RequestRepaint();
}

void BarcodeModel::SetMeasurementUnits(TMeasurementUnits value) {
    if (value == m_measurementUnits) return;
    if (!m_loading) {
        const long double width = m_barWidth;
        m_barWidth = static_cast<float>(value == muMMs ? width * kMillimetresPerInch
                                                       : width / kMillimetresPerInch);
    }
    m_measurementUnits = value;
    if (!m_loading) RequestRepaint();
}

void BarcodeModel::SetOrientation(TBCOrientation value) {
    if (value == m_orientation) return;
    m_orientation = value;
    if (!m_loading) RequestRepaint();
}

void BarcodeModel::SetPrintHumanReadable(bool value) {
    if (value == m_printHumanReadable) return;
    m_printHumanReadable = value;
    if (!m_loading) RequestRepaint();
}

void BarcodeModel::SetWideBarRatio(float value) {
    if (value == m_wideBarRatio) return;
    if (!(value > 0)) throw EBarCodeError("The wide bar ratio must be greater than 0");
    m_wideBarRatio = value;
    if (!m_loading) RequestRepaint();
}

void BarcodeModel::SetColor(TColor value) {
    if (value == m_color) return;
    m_color = value;
    if (!m_loading) RequestRepaint();
}

void BarcodeModel::SetFont(const BarcodeFont& value) {
    if (value == m_font) return;
    m_font = value;
    if (!m_loading) RequestRepaint();
}

float BarcodeModel::WidthInInches(float x) const {
    if (m_measurementUnits == muMMs) {
        return static_cast<float>(static_cast<long double>(x) / kMillimetresPerInch);
    }
    return x;
}

void BarcodeModel::runDataCheck() {
    try {
        CheckData();
    } catch (const EBarCodeError&) {
        FValid = false;
        if (!m_loading) RequestRepaint();
        throw;
    }
}

void BarcodeModel::CheckData() {
    if (m_data.empty()) {
        FValid = false;
        return;
    }
    const std::size_t length = m_data.size();
    switch (m_barCodeType) {
        case bcUPC_A:
            if (length < 11 || length > 12) {
                throw EBarCodeError("UPC-A barcodes must be 11 digits (12 with check digit)");
            }
            if (length == 11 && !m_calcCheckDigit) {
                throw EBarCodeError("UPC-A barcodes must be 12 digits including the check digit");
            }
            if (!allDigits(m_data)) throw EBarCodeError("UPC-A barcodes must be numeric");
            break;
        case bcEAN_13:
            if (length < 12 || length > 13) {
                throw EBarCodeError("EAN-13 barcodes must be 12 digits (13 with check digit)");
            }
            if (length == 12 && !m_calcCheckDigit) {
                throw EBarCodeError("EAN-13 barcodes must be 13 digits including the check digit");
            }
            if (!allDigits(m_data)) throw EBarCodeError("EAN-13 barcodes must be numeric");
            break;
        case bcInt2of5:
            if (!allDigits(m_data)) {
                throw EBarCodeError("Interleaved 2 of 5 barcodes must be numeric");
            }
            if (length % 2 != 0) {
                throw EBarCodeError(
                    "Interleaved 2 of 5 barcodes must have an even number of digits");
            }
            break;
        case bcCode128:
            // Checked while its pattern is built, where the code sets are followed.
            break;
        case bcCode39:
            for (char c : m_data) {
                if (!isCode39DataChar(c)) {
                    throw EBarCodeError(
                        "Code 39 barcodes can only contain \"A\"-\"Z\", \"0\"-\"9\", \"$\", "
                        "\"%\", \"+\", \"-\", \".\", \"/\" or \" \"");
                }
            }
            break;
        case bcPostnet: {
            std::size_t dashes = 0;
            for (char c : m_data) {
                if (c == '-') {
                    ++dashes;
                } else if (!isDigit(c)) {
                    throw EBarCodeError("PostNet barcodes must be numeric");
                }
            }
            const std::size_t digits = length - dashes;
            if (digits != 5 && digits != 9 && digits != 11) {
                throw EBarCodeError("PostNet barcodes must be 5, 9, or 11 digits long");
            }
            break;
        }
    }
}

// A full-length code loses its last character whatever it is, so a wrong check digit is
// replaced; a short one is completed. Written straight in: no check, no repaint.
void BarcodeModel::completeCheckDigit() {
    const std::size_t fullLength = m_barCodeType == bcUPC_A ? 12 : 13;
    if (m_data.size() == fullLength) m_data.pop_back();
    m_data.push_back(gs1CheckDigit(m_data));
}

PatternColumns BarcodeModel::BuildPattern(float resolution) {
    PatternColumns pattern{};
    if (m_data.empty() || !FValid) return pattern;

    PatternWriter out(pattern.data(), kPatternSize - 1);
    const float b = WidthInInches(m_barWidth);
    const ElementWidths widths = elementWidths(b, resolution, m_wideBarRatio);
    try {
        switch (m_barCodeType) {
            case bcUPC_A:
            case bcEAN_13:
                // Only an owner that changed the data behind the checks could fail here.
                CheckData();
                if (m_calcCheckDigit) completeCheckDigit();
                out.appendModules(
                    m_barCodeType == bcUPC_A ? upcAModules(m_data) : ean13Modules(m_data),
                    widths.narrow);
                break;
            case bcInt2of5:
                buildInterleaved2of5(out, m_data, widths);
                break;
            case bcCode128:
                buildCode128(out, code128Symbols(m_data), widths.narrow);
                break;
            case bcCode39:
                // The gap is rounded once, not built of two narrow elements.
                buildCode39(out, m_data, widths,
                            columnCount(static_cast<double>(b) * (2.0 * resolution)));
                break;
            case bcPostnet: {
                const double narrow = static_cast<double>(b) * resolution;
                buildPostnet(out, m_data, columnCount(narrow), columnCount(narrow * 1.375));
                break;
            }
        }
    } catch (const EBarCodeError&) {
        FValid = false;
        throw;
    }
    // Valid data that is too wide at this resolution stays valid: it may fit at another.
    if (out.overflowed()) {
        throw EBarCodeError(capacityMessage("The barcode", out.needed(), resolution, out.capacity(),
                                            "use a smaller BarWidth or less data"));
    }
    return pattern;
}

AddOnColumns BarcodeModel::BuildAddOnPattern(float resolution) const {
    AddOnColumns pattern{};
    if (m_addOn.empty() || !isUpcOrEan(m_barCodeType)) return pattern;

    std::string modules;
    if (m_addOn.size() == 2) {
        modules = ean2Modules(m_addOn);
    } else if (m_addOn.size() == 5) {
        modules = ean5Modules(m_addOn);
    } else {
        // Only a form file can store such an add-on, its check being skipped while loading.
        throw EBarCodeError("Add-on codes must be either 2 or 5 digits");
    }
    PatternWriter out(pattern.data(), kAddOnPatternSize - 1);
    out.appendModules(modules,
                      elementWidths(WidthInInches(m_barWidth), resolution, m_wideBarRatio).narrow);
    if (out.overflowed()) {
        throw EBarCodeError(capacityMessage("The add-on", out.needed(), resolution, out.capacity(),
                                            "use a smaller BarWidth"));
    }
    return pattern;
}

void BarcodeModel::BuildPatterns(float resolution) {
    FPattern = BuildPattern(resolution);
    FAddOnPattern = BuildAddOnPattern(resolution);
}

}  // namespace sivaro
