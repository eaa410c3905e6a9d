// One application object for every test of the window classes, on the offscreen platform,
// with fonts that match the windows' metrics and no test ever waiting for a human.

#include <QApplication>
#include <QLabel>
#include <QMessageBox>

#include <gtest/gtest.h>

#include "app/ErrorReport.h"
#include "app/FontSetup.h"
#include "app/MessageWindow.h"

namespace sivaro {
namespace {

class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "app_tests";
        static char* argv[] = {name, nullptr};
        m_app = std::make_unique<QApplication>(argc, argv);
        installFontSubstitutes();
        // A message window that no test answered fails that test instead of hanging it.
        TfMen::setDefaultAnswer([](TfMen& window) {
            ADD_FAILURE() << "unanswered message: " << window.textLabel()->text().toStdString();
            window.done(0);
        });
        TfMen::setBeepHook([](unsigned) {});
        // Likewise an error report that no test expected.
        setErrorReportHook([](QMessageBox& box) {
            ADD_FAILURE() << "unexpected error report: " << box.text().toStdString();
            box.done(QMessageBox::Ok);
        });
    }
    void TearDown() override { m_app.reset(); }

  private:
    std::unique_ptr<QApplication> m_app;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
}  // namespace sivaro
