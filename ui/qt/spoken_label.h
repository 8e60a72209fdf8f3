// A label whose words change (what was done, what is wrong): its accessible
// name follows its text, and screen readers are told of each change.
#pragma once

#include <QAccessible>
#include <QLabel>

namespace quil::qt {

inline void SetSpokenText(QLabel* label, const QString& text) {
    label->setText(text);
    label->setAccessibleName(text);
    QAccessibleEvent changed(label, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

}  // namespace quil::qt
