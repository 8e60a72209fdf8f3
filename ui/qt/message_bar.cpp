#include "ui/qt/message_bar.h"

#include "ui/qt/spoken_label.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>

namespace quil::qt {

MessageBar::MessageBar(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("messageBar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::AlternateBase);
    label_ = new QLabel(this);
    label_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    undo_ = new QPushButton(QStringLiteral("&Undo"), this);
    undo_->setObjectName(QStringLiteral("messageUndo"));
    undo_->setAutoDefault(false);
    auto* close = new QToolButton(this);
    close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    close->setAccessibleName(QStringLiteral("Close the message"));
    close->setAutoRaise(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 4, 4, 4);
    layout->addWidget(label_, 1);
    layout->addWidget(undo_);
    layout->addWidget(close);
    connect(undo_, &QPushButton::clicked, this, &MessageBar::UndoClicked);
    connect(close, &QToolButton::clicked, this, &QWidget::hide);
    hide();
}

void MessageBar::Show(const QString& text, bool undoable) {
    SetSpokenText(label_, text);
    undo_->setVisible(undoable);
    show();
}

}  // namespace quil::qt
