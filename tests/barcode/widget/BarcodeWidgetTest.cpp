// The control as a widget on a window: it paints on the window, takes the symbol's size and
// follows the control's place and visibility; its picture is read back by zbarimg.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "ScratchFolder.h"
#include "barcode/paint/BarcodeControlForm.h"
#include "barcode/widget/BarcodeWidget.h"

namespace sivaro {
namespace {

class WidgetEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "barcode_widget_tests";
        static char* argv[] = {name, nullptr};
        m_app = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { m_app.reset(); }

  private:
    std::unique_ptr<QApplication> m_app;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new WidgetEnvironment);

std::string readBack(const QImage& image) {
    static const testing::ScratchFolder folder("barcode-widget");
    const std::filesystem::path file = folder.path() / "barcode-widget.png";
    if (!image.save(QString::fromStdString(file.string()))) return "(not saved)";
    std::string out;
    FILE* pipe = ::popen(("zbarimg --nodbus -q '" + file.string() + "' 2>/dev/null").c_str(), "r");
    if (!pipe) return "(no zbarimg)";
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    ::pclose(pipe);
    std::filesystem::remove(file);
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

TEST(BarcodeWidget, PaintsOnTheWindowAndTakesTheSymbolsSize) {
    QWidget window;
    window.resize(400, 300);
    auto* widget = new BarcodeWidget(&window);
    TVxBarcode& b = widget->barcode();
    b.SetBarCodeType(bcEAN_13);
    b.SetBarWidth(0.03f);
    b.SetData("789123456789");
    b.SetBounds(20, 30, 100, 50);
    window.show();
    // A grab paints the widget as the window system would.
    QImage picture = widget->grab().toImage();
    EXPECT_EQ(b.Data(), "7891234567895");
    EXPECT_EQ(widget->width(), b.FSymbolWidth);
    EXPECT_EQ(widget->height(), b.FSymbolHeight);
    EXPECT_EQ(widget->x(), 20);
    EXPECT_EQ(widget->y(), 30);
    // Painted again at its new size, the whole symbol is there to read.
    picture = widget->grab().toImage();
    QImage framed(picture.width() + 40, picture.height() + 40, QImage::Format_RGB32);
    framed.fill(Qt::white);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            framed.setPixel(x + 20, y + 20, picture.pixel(x, y));
    EXPECT_EQ(readBack(framed), "EAN-13:7891234567895");
}

TEST(BarcodeWidget, FollowsTheStoredFormAndStaysHidden) {
    QWidget window;
    auto* widget = new BarcodeWidget(&window);
    loadBarcodeControl(widget->barcode(),
                       "Left = 8\nTop = 9\nWidth = 115\nHeight = 95\nBarCodeType = bcEAN_13\n"
                       "Data = '0000000000000'\nVisible = False\n");
    window.show();
    EXPECT_FALSE(widget->isVisible());
    EXPECT_EQ(widget->geometry(), QRect(8, 9, 115, 95));
    // A hidden control still paints when asked, on an image of its own.
    widget->barcode().SetData("400638133393");
    widget->barcode().Paint();
    EXPECT_EQ(widget->barcode().Data(), "4006381333931");
    EXPECT_FALSE(widget->isVisible());
}

TEST(BarcodeWidget, MovedOrResizedOnItsWindowTheControlFollows) {
    QWidget window;
    auto* widget = new BarcodeWidget(&window);
    window.show();
    widget->setGeometry(3, 4, 150, 60);
    EXPECT_EQ(widget->barcode().Left(), 3);
    EXPECT_EQ(widget->barcode().Top(), 4);
    EXPECT_EQ(widget->barcode().Width(), 150);
    EXPECT_EQ(widget->barcode().Height(), 60);
}

TEST(BarcodeWidget, PaintErrorsGoToTheHandler) {
    QWidget window;
    auto* widget = new BarcodeWidget(&window);
    std::string reported;
    widget->setPaintErrorHandler([&](const std::exception& e) { reported = e.what(); });
    widget->barcode().SetBarCodeType(bcCode128);
    widget->barcode().SetData("no start");
    window.show();
    widget->grab();
    EXPECT_EQ(reported.substr(0, 40), "A Code128 symbol MUST start with #208, #");
}

TEST(BarcodeWidget, ClickedOnRelease) {
    QWidget window;
    auto* widget = new BarcodeWidget(&window);
    int clicks = 0;
    QObject::connect(widget, &BarcodeWidget::clicked, [&] { ++clicks; });
    window.show();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
    EXPECT_EQ(clicks, 1);
}

}  // namespace
}  // namespace sivaro
