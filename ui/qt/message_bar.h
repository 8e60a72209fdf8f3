// The bar over the names after a batch: what was done, and its Undo.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace quil::qt {

class MessageBar final : public QFrame {
    Q_OBJECT
public:
    explicit MessageBar(QWidget* parent = nullptr);
    // Shows text, with the Undo button when the batch can be undone.
    void Show(const QString& text, bool undoable);

    QLabel* label() const { return label_; }
    QPushButton* undoButton() const { return undo_; }

signals:
    void UndoClicked();

private:
    QLabel* label_;
    QPushButton* undo_;
};

}  // namespace quil::qt
