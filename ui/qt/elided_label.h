// A one-line label that shortens its text with "…" to the width it is
// given, so that a long text never widens the window; the whole text stays
// in its tool tip and its accessible name.
#pragma once

#include <QLabel>

namespace quil::qt {

class ElidedLabel final : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);
    void SetFullText(const QString& text);
    const QString& fullText() const { return full_; }

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Elide();
    QString full_;
};

}  // namespace quil::qt
