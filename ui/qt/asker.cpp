#include "ui/qt/asker.h"

#include <QMessageBox>

namespace quil::qt {

bool MessageBoxAsker::AskYesNo(const QString& text, const QString& caption) {
    return QMessageBox::question(parent_, caption, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
}

void MessageBoxAsker::Tell(const QString& text, const QString& caption) {
    QMessageBox::information(parent_, caption, text);
}

}  // namespace quil::qt
