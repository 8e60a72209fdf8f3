// The names box: a plain-text editor in a fixed-width font that never wraps,
// with a status column beside it that shows what OK would do with each
// visible line (painted like a line-number area, only where it shows).
#pragma once

#include <QPlainTextEdit>
#include <vector>

#include "engine/plan_rows.h"

namespace quil::qt {

struct LineStatus {
    LineAction action = LineAction::Unchanged;
    QString reason;  // for a refused line
};

class NamesEdit final : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit NamesEdit(QWidget* parent = nullptr);

    // One entry per line; lines past the end show as unchanged.
    void SetStatuses(std::vector<LineStatus> statuses);
    const std::vector<LineStatus>& statuses() const { return statuses_; }

    void PaintStatusColumn(QPaintEvent* event);
    int StatusColumnWidth() const;
    QString ToolTipAt(int y) const;

signals:
    void EnterPressed();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* column_;
    std::vector<LineStatus> statuses_;
};

}  // namespace quil::qt
