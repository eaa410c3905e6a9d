// Pictures of the barcode read back by an independent reader (zbarimg): every symbology it
// knows, at several resolutions, in all four orientations, and printed to a PDF page rendered
// by poppler. A picture turned by its orientation is turned back first, as a reader at a
// shop counter would hold the label.

#include <gtest/gtest.h>

#include <QImage>
#include <QPrinter>
#include <QTransform>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "ScratchFolder.h"
#include "barcode/paint/BarcodePicture.h"
#include "barcode/paint/PagePrinter.h"
#include "barcode/paint/PaintingApplication.h"
#include "barcode/paint/TVxBarcode.h"

namespace sivaro {
namespace {

namespace fs = std::filesystem;

// What a command printed on its standard output; its exit status in `status`.
std::string run(const std::string& command, int& status) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        status = -1;
        return out;
    }
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    status = ::pclose(pipe);
    return out;
}

bool haveProgram(const char* name) {
    int status = 0;
    run(std::string("command -v ") + name + " >/dev/null 2>&1", status);
    return status == 0;
}

// The symbols zbarimg reads in a picture, one "TYPE:data" a line, in the order of their lines
// (the reader reports a symbol and its add-on in either order).
std::string decode(const fs::path& picture) {
    int status = 0;
    const std::string out = run(
        "zbarimg --nodbus -q -Sean2.enable -Sean5.enable '" + picture.string() + "' 2>/dev/null",
        status);
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < out.size();) {
        const std::size_t end = out.find('\n', start);
        lines.push_back(out.substr(start, end - start));
        start = end == std::string::npos ? out.size() : end + 1;
    }
    std::sort(lines.begin(), lines.end());
    std::string sorted;
    for (const std::string& line : lines) sorted += (sorted.empty() ? "" : "\n") + line;
    return sorted;
}

fs::path scratch(const std::string& name) {
    static const testing::ScratchFolder folder("barcode-decode");
    return folder.path() / name;
}

// Turns a picture of an orientation back to left-to-right reading.
QImage upright(const QImage& image, TBCOrientation orientation) {
    switch (orientation) {
        case orLeft_Right:
            return image;
        case orRight_Left:
            return image.transformed(QTransform().rotate(180));
        case orTop_Bottom:
            return image.transformed(QTransform().rotate(-90));
        case orBottom_Top:
            return image.transformed(QTransform().rotate(90));
    }
    return image;
}

struct Symbol {
    TBarCodeType type;
    std::string data;
    std::string addOn;
    std::string read;  // what the reader reports
    bool readAt96;     // the reader also manages its one-pixel modules
};

// The reader gives UPC-A as the EAN-13 it is a case of, with a leading 0.
const Symbol kSymbols[] = {
    {bcEAN_13, "400638133393", "", "EAN-13:4006381333931", true},
    {bcEAN_13, "4006381333930", "12", "EAN-13:4006381333931\nEAN-2:12", true},
    {bcEAN_13, "978020137962", "52495", "EAN-13:9780201379624\nEAN-5:52495", false},
    {bcUPC_A, "03600029145", "", "EAN-13:0036000291452", false},
    {bcInt2of5, "1234567890", "", "I2/5:1234567890", true},
    {bcCode39, "SIVARO-13", "", "CODE-39:SIVARO-13", true},
    {bcCode39, "abc 1/2", "", "CODE-39:ABC 1/2", true},
    {bcCode128, "\xD1Importador v2.0", "", "CODE-128:Importador v2.0", true},
    {bcCode128,
     "\xD2"
     "12345678",
     "", "CODE-128:12345678", false},
};

class DecodeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ensurePaintingApplication();
        ASSERT_TRUE(haveProgram("zbarimg")) << "zbarimg is missing: run scripts/deps";
    }
};

void configure(TVxBarcode& b, const Symbol& s, TBCOrientation orientation) {
    b.SetBarCodeType(s.type);
    b.SetOrientation(orientation);
    b.SetData(s.data);
    b.SetAddOn(s.addOn);
}

TEST_F(DecodeTest, EverySymbologyInEveryOrientationAndResolution) {
    const float resolutions[] = {96.0f, 120.0f, 200.0f, 300.0f};
    const TBCOrientation orientations[] = {orLeft_Right, orRight_Left, orTop_Bottom, orBottom_Top};
    int number = 0;
    for (const Symbol& s : kSymbols) {
        for (float resolution : resolutions) {
            if (resolution == 96.0f && !s.readAt96) continue;
            for (TBCOrientation orientation : orientations) {
                SCOPED_TRACE(s.read + " at " + std::to_string(int(resolution)) + " " +
                             std::string(enumName(orientation)));
                TVxBarcode b;
                configure(b, s, orientation);
                const QImage picture = upright(renderBarcode(b, resolution, 20), orientation);
                const fs::path file = scratch(std::to_string(++number) + ".png");
                ASSERT_TRUE(picture.save(QString::fromStdString(file.string())));
                EXPECT_EQ(decode(file), s.read);
                fs::remove(file);
            }
        }
    }
}

TEST_F(DecodeTest, WithoutTextAndWithBearerBars) {
    struct Case {
        Symbol symbol;
        bool text;
        bool bearerBars;
    };
    const Case cases[] = {
        {{bcEAN_13, "400638133393", "", "EAN-13:4006381333931", true}, false, false},
        {{bcInt2of5, "00123456789012", "", "I2/5:00123456789012", true}, true, true},
        {{bcCode39, "LOJA 7", "", "CODE-39:LOJA 7", true}, false, false},
    };
    int number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.symbol.read);
        TVxBarcode b;
        b.SetBarCodeType(c.symbol.type);
        b.SetPrintHumanReadable(c.text);
        b.SetBearerBars(c.bearerBars);
        b.SetData(c.symbol.data);
        const fs::path file = scratch("plain-" + std::to_string(++number) + ".png");
        ASSERT_TRUE(renderBarcode(b, 200.0f, 20).save(QString::fromStdString(file.string())));
        EXPECT_EQ(decode(file), c.symbol.read);
        fs::remove(file);
    }
}

TEST_F(DecodeTest, PrintedOnAPdfPage) {
    ASSERT_TRUE(haveProgram("pdftoppm")) << "pdftoppm is missing: run scripts/deps";
    int number = 0;
    for (const Symbol& s : kSymbols) {
        for (TBCOrientation orientation : {orLeft_Right, orTop_Bottom}) {
            SCOPED_TRACE(s.read + " " + std::string(enumName(orientation)));
            const std::string name = "page-" + std::to_string(++number);
            const fs::path pdf = scratch(name + ".pdf");
            {
                QPrinter printer(QPrinter::HighResolution);
                printer.setOutputFormat(QPrinter::PdfFormat);
                printer.setOutputFileName(QString::fromStdString(pdf.string()));
                printer.setResolution(600);
                // A label-sized page keeps rendering and reading it quick.
                printer.setPageSize(
                    QPageSize(QSizeF(5, 5), QPageSize::Inch, QString(), QPageSize::ExactMatch));
                printer.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
                PagePrinter page(printer);
                TVxBarcode b;
                configure(b, s, orientation);
                b.SetPrinter(&page);
                b.PrintBarcode(1.0f, 1.0f, 0.0f);
                page.Finish();
            }
            int status = 0;
            const fs::path stem = scratch(name);
            run("pdftoppm -r 200 -png -singlefile '" + pdf.string() + "' '" + stem.string() +
                    "' 2>&1",
                status);
            ASSERT_EQ(status, 0);
            const fs::path png = scratch(name + ".png");
            QImage page(QString::fromStdString(png.string()));
            ASSERT_FALSE(page.isNull());
            ASSERT_TRUE(upright(page, orientation).save(QString::fromStdString(png.string())));
            EXPECT_EQ(decode(png), s.read);
            fs::remove(pdf);
            fs::remove(png);
        }
    }
}

}  // namespace
}  // namespace sivaro
