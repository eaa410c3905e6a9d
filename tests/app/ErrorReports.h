#pragma once
// Records the general error reports shown while it lives, closing each one as the operator's
// OK would; a test that expects none gets its failure back when it goes.

#include <QMessageBox>
#include <QString>

#include <functional>
#include <vector>

#include "app/ErrorReport.h"

namespace sivaro::testing {

class ErrorReports {
  public:
    struct Shown {
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
    };

    ErrorReports() {
        m_previous = setErrorReportHook([this](QMessageBox& box) {
            shown.push_back({box.windowTitle(), box.text(), box.icon()});
            if (whileShown) whileShown();
            box.done(QMessageBox::Ok);
        });
    }
    ~ErrorReports() { setErrorReportHook(std::move(m_previous)); }
    ErrorReports(const ErrorReports&) = delete;
    ErrorReports& operator=(const ErrorReports&) = delete;

    std::vector<Shown> shown;
    std::function<void()> whileShown;  // runs while the box is up

  private:
    ErrorReportHook m_previous;
};

}  // namespace sivaro::testing
