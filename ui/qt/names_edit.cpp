#include "ui/qt/names_edit.h"

#include <QFontDatabase>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QTextBlock>
#include <QToolTip>

namespace quil::qt {
namespace {

QString Word(LineAction action) {
    switch (action) {
        case LineAction::Unchanged: return {};
        case LineAction::Rename: return QStringLiteral("rename");
        case LineAction::Move: return QStringLiteral("move");
        case LineAction::Trash: return QStringLiteral("trash");
        case LineAction::Delete: return QStringLiteral("delete");
        case LineAction::Restore: return QStringLiteral("restore");
        case LineAction::Refuse: return QStringLiteral("refused");
        case LineAction::RemoveFolder:
        case LineAction::KeepFolder: return {};  // folders, not lines
    }
    return {};
}

QColor Colour(LineAction action) {
    switch (action) {
        case LineAction::Trash: return QColor(0xB0, 0x70, 0x00);
        case LineAction::Delete:
        case LineAction::Refuse: return QColor(0xC0, 0x10, 0x10);
        default: return QColor(0x10, 0x80, 0x30);
    }
}

class StatusColumn final : public QWidget {
public:
    explicit StatusColumn(NamesEdit* names) : QWidget(names), names_(names) { setMouseTracking(true); }
    QSize sizeHint() const override { return QSize(names_->StatusColumnWidth(), 0); }

protected:
    void paintEvent(QPaintEvent* event) override { names_->PaintStatusColumn(event); }
    bool event(QEvent* event) override {
        if (event->type() == QEvent::ToolTip) {
            auto* help = static_cast<QHelpEvent*>(event);
            const QString tip = names_->ToolTipAt(help->pos().y());
            if (tip.isEmpty())
                QToolTip::hideText();
            else
                QToolTip::showText(help->globalPos(), tip, this);
            return true;
        }
        return QWidget::event(event);
    }

private:
    NamesEdit* names_;
};

}  // namespace

NamesEdit::NamesEdit(QWidget* parent) : QPlainTextEdit(parent), column_(new StatusColumn(this)) {
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setViewportMargins(0, 0, StatusColumnWidth(), 0);
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect& rect, int dy) {
        if (dy != 0)
            column_->scroll(0, dy);
        else
            column_->update(0, rect.y(), column_->width(), rect.height());
    });
}

int NamesEdit::StatusColumnWidth() const { return fontMetrics().horizontalAdvance(QStringLiteral("refused")) + 12; }

void NamesEdit::SetStatuses(std::vector<LineStatus> statuses) {
    statuses_ = std::move(statuses);
    column_->update();
}

void NamesEdit::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    const QRect area = contentsRect();
    column_->setGeometry(QRect(area.right() - StatusColumnWidth() + 1, area.top(), StatusColumnWidth(), area.height()));
}

// Enter opens the caret line's file and adds no line; Ctrl+Enter neither.
void NamesEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit EnterPressed();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void NamesEdit::PaintStatusColumn(QPaintEvent* event) {
    QPainter painter(column_);
    painter.fillRect(event->rect(), palette().color(QPalette::AlternateBase));
    QTextBlock block = firstVisibleBlock();
    int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
    for (; block.isValid() && top <= event->rect().bottom(); block = block.next()) {
        const int height = qRound(blockBoundingRect(block).height());
        const auto line = static_cast<std::size_t>(block.blockNumber());
        if (line < statuses_.size() && statuses_[line].action != LineAction::Unchanged) {
            painter.setPen(Colour(statuses_[line].action));
            painter.drawText(4, top, column_->width() - 4, height, Qt::AlignLeft | Qt::AlignVCenter,
                             Word(statuses_[line].action));
        }
        top += height;
    }
}

QString NamesEdit::ToolTipAt(int y) const {
    const QTextBlock block = cursorForPosition(QPoint(0, y)).block();
    const auto line = static_cast<std::size_t>(block.blockNumber());
    return line < statuses_.size() ? statuses_[line].reason : QString();
}

}  // namespace quil::qt
