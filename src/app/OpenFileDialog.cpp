#include "app/OpenFileDialog.h"

#include <QFileDialog>

#include <utility>

namespace sivaro {

namespace {

OpenFileHook& hook() {
    static OpenFileHook answer;
    return answer;
}

}  // namespace

QString chooseOpenFile(QWidget* parent) {
    if (const OpenFileHook answer = hook()) return answer();
    return QFileDialog::getOpenFileName(parent);
}

OpenFileHook setOpenFileHook(OpenFileHook next) {
    OpenFileHook previous = std::move(hook());
    hook() = std::move(next);
    return previous;
}

}  // namespace sivaro
