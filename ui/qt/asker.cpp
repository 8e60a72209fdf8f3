#include "ui/qt/asker.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace quil::qt {

bool MessageBoxAsker::Ask(const Question& question) {
    QMessageBox box(question.warning ? QMessageBox::Warning : QMessageBox::Question, QStringLiteral("Quillane"),
                    question.details.isEmpty() ? question.text : question.details + "\n\n" + question.text,
                    QMessageBox::NoButton, parent_);
    box.setTextFormat(Qt::PlainText);
    QPushButton* go = box.addButton(question.action, QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(question.warning ? cancel : go);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == go;
}

void MessageBoxAsker::Tell(const QString& text, Kind kind) {
    QMessageBox box(kind == Kind::Error ? QMessageBox::Critical : QMessageBox::Information, QStringLiteral("Quillane"),
                    text, QMessageBox::Ok, parent_);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

QString MessageBoxAsker::AskText(const QString& question, const QString& suggestion) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(parent_, QStringLiteral("Quillane"), question, QLineEdit::Normal, suggestion, &ok);
    return ok ? text : QString();
}

QString MessageBoxAsker::AskFile(const QString& title) { return QFileDialog::getOpenFileName(parent_, title); }

}  // namespace quil::qt
