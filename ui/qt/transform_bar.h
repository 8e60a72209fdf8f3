// The transforms of the names box: find and replace (literal or by regular
// expression), numbering, and case, on a chosen part of each line. Each one
// rewrites the text of the names box as one undo step, so that the preview
// and every check of the plan see it as they see typing.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QWidget>

#include "engine/transforms.h"
#include "ui/qt/names_editor.h"

namespace quil::qt {

class TransformBar final : public QWidget {
    Q_OBJECT
public:
    // find and with are the window's find and replace fields; separator
    // is the one between the folders of the names' paths.
    TransformBar(NamesEditor* names, QLineEdit* find, QLineEdit* with, char separator, QWidget* parent = nullptr);

    // The Replace button. With no switch on it is the find and replace of
    // old: literal, over whole lines of the whole list; an empty find puts
    // the replacement before each file's name.
    void Replace();
    // The counter at each place of a column selection, or before the part
    // of each line; padded to the widest value, so that names sort.
    void Number();
    void ChangeCase(CaseChange change);

    QComboBox* scopeBox() const { return scope_; }
    QCheckBox* regexBox() const { return regex_; }
    QCheckBox* matchCaseBox() const { return matchCase_; }
    QSpinBox* startBox() const { return start_; }
    QSpinBox* stepBox() const { return step_; }
    QCheckBox* perFolderBox() const { return perFolder_; }
    QLabel* errorLabel() const { return error_; }

signals:
    // A transform changed the names: the whole edit is there, no pause in
    // typing to wait for.
    void Rewritten();

private:
    // The compiled find and replace, or null with the error shown.
    std::unique_ptr<Replacement> Compile();
    Scope CurrentScope() const;
    Numbering CurrentNumbering() const;
    // Runs change over the selected lines, or all lines, as one edit.
    void Rewrite(const std::function<void(std::vector<std::string>&)>& change, bool wholeList);

    NamesEditor* names_;
    QLineEdit* find_;
    QLineEdit* with_;
    const char separator_;
    QComboBox* scope_;
    QCheckBox* regex_;
    QCheckBox* matchCase_;
    QSpinBox* start_;
    QSpinBox* step_;
    QCheckBox* perFolder_;
    QLabel* error_;
};

}  // namespace quil::qt
