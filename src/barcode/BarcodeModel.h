#pragma once
// The barcode's model: the published properties with their assignment rules, the data check,
// the check digits and the bar patterns. The painting control owns or derives from it; the
// importer uses it without a window, to complete and correct EAN-13 check digits:
//
//     BarcodeModel b;  b.SetBarCodeType(bcEAN_13);  b.SetData(first12);
//     b.BuildPatterns(96);  // b.Data() now holds 13 digits, the last the check digit
//
// Every refusal is an EBarCodeError with a fixed English message. Not thread-safe: one owner
// thread, as any control.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "barcode/BarcodeTypes.h"

namespace sivaro {

class BarcodeModel {
  public:
    // `designing`: created inside a form designer, where a new barcode shows a sample at once.
    explicit BarcodeModel(bool designing = false);
    virtual ~BarcodeModel() = default;
    BarcodeModel(const BarcodeModel&) = delete;
    BarcodeModel& operator=(const BarcodeModel&) = delete;

    // Published properties, in published order (the order a form file stores and loads them).
    // Unless its rule says otherwise, assigning the stored value does nothing at all.
    const std::string& AddOn() const { return m_addOn; }
    void SetAddOn(const std::string& value);  // checked and repainted even when unchanged
    bool AutoSize() const { return m_autoSize; }
    void SetAutoSize(bool value);
    bool AutoSizeFont() const { return m_autoSizeFont; }
    void SetAutoSizeFont(bool value);
    TBarCodeType BarCodeType() const { return m_barCodeType; }
    void SetBarCodeType(TBarCodeType value);  // stored even when the data check then fails
    TColor BarColor() const { return m_barColor; }
    void SetBarColor(TColor value);
    float BarWidth() const { return m_barWidth; }  // in MeasurementUnits
    void SetBarWidth(float value);
    bool BearerBars() const { return m_bearerBars; }
    void SetBearerBars(bool value);
    bool CalcCheckDigit() const { return m_calcCheckDigit; }
    void SetCalcCheckDigit(bool value);  // checks UPC-A and EAN-13 data again
    const std::string& Data() const { return m_data; }
    void SetData(const std::string& value);       // stored even when the data check then fails
    std::string DataField() const { return {}; }  // inert
    void SetDataField(std::string_view) {}
    std::string DataSource() const { return {}; }  // inert: never a data source
    void SetDataSource(std::string_view) {}
    TAlignment FontAlignment() const { return m_fontAlignment; }
    void SetFontAlignment(TAlignment value);
    TMeasurementUnits MeasurementUnits() const { return m_measurementUnits; }
    void SetMeasurementUnits(TMeasurementUnits value);  // converts BarWidth unless loading
    TBCOrientation Orientation() const { return m_orientation; }
    void SetOrientation(TBCOrientation value);
    bool PrintHumanReadable() const { return m_printHumanReadable; }
    void SetPrintHumanReadable(bool value);
    float WideBarRatio() const { return m_wideBarRatio; }
    void SetWideBarRatio(float value);
    TColor Color() const { return m_color; }
    void SetColor(TColor value);
    const BarcodeFont& Font() const { return m_font; }
    void SetFont(const BarcodeFont& value);

    // A BarWidth in inches: x itself under muInches, x / 25.4 as a 32-bit float under muMMs.
    float WidthInInches(float x) const;

    // The data check of the current type; an empty Data only clears FValid.
    void CheckData();

    // The patterns for a device of `resolution` pixels per inch. BuildPattern first writes the
    // check digit into UPC-A and EAN-13 data when CalcCheckDigit is on; on a Code 128 error it
    // clears FValid. Either raises EBarCodeError for a symbol wider than its array.
    PatternColumns BuildPattern(float resolution);
    AddOnColumns BuildAddOnPattern(float resolution) const;
    // The step before drawing: builds the main pattern, then the add-on, storing each one that
    // builds; a failed build keeps its stored pattern and its error goes on to the caller.
    void BuildPatterns(float resolution);

    bool Valid() const { return FValid; }
    const PatternColumns& Pattern() const { return FPattern; }
    const AddOnColumns& AddOnPattern() const { return FAddOnPattern; }

    // While a form file is read: some checks and every repaint request are skipped.
    bool Loading() const { return m_loading; }
    void SetLoading(bool loading) { m_loading = loading; }
    bool Designing() const { return m_designing; }

    // Called whenever the barcode needs painting again; the painting control connects it.
    void SetRepaintRequest(std::function<void()> request) { m_repaintRequest = std::move(request); }

    // Geometry of the last drawing in device pixels, kept here for the painting to write.
    std::int32_t FSymbolWidth = 0;
    std::int32_t FSymbolHeight = 0;
    std::int32_t FQuietZone = 0;
    std::int32_t FPrintHeight = 0;  // printer pixels of the bars while printing, else 0
    bool FDrawing = false;          // true while drawing; painting must not re-enter

  protected:
    virtual void RequestRepaint();

    bool FValid = false;  // Data non-empty and accepted by the check of the type
    PatternColumns FPattern{};
    AddOnColumns FAddOnPattern{};

  private:
    void runDataCheck();
    void completeCheckDigit();

    std::string m_addOn;
    bool m_autoSize = true;
    bool m_autoSizeFont = true;
    TBarCodeType m_barCodeType = bcCode39;
    TColor m_barColor = kColorBlack;
    float m_barWidth = 0.015f;
    bool m_bearerBars = false;
    bool m_calcCheckDigit = true;
    std::string m_data;
    TAlignment m_fontAlignment = taLeftJustify;
    TMeasurementUnits m_measurementUnits = muInches;
    TBCOrientation m_orientation = orLeft_Right;
    bool m_printHumanReadable = true;
    float m_wideBarRatio = 3.0f;
    TColor m_color = kColorWhite;
    BarcodeFont m_font;

    bool m_loading = false;
    bool m_designing = false;
    std::function<void()> m_repaintRequest;
};

}  // namespace sivaro
