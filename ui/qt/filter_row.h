// The window's filter row: which files the list shows (a kind, sizes, a
// span of dates modified or taken), and how many of those found it shows.
// The files it leaves out are not listed at all: never planned or touched.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include "engine/list_filter.h"

namespace quil::qt {

class FilterRow final : public QWidget {
    Q_OBJECT
public:
    explicit FilterRow(QWidget* parent = nullptr);

    // What the row asks for; false with the reason shown in the row when a
    // field holds no size or date.
    bool Filter(ListFilter& filter);
    // "showing 812 of 4,031"; nothing when the list is not narrowed.
    void ShowCount(int shown, int found);
    // Back to the settings of the last listing (the user kept the edits).
    void Restore();
    // These settings are the listing's now.
    void Keep();

    QComboBox* kindBox() const { return kind_; }
    QLineEdit* largerField() const { return larger_; }
    QLineEdit* smallerField() const { return smaller_; }
    QComboBox* dateBox() const { return date_; }
    QLineEdit* fromField() const { return from_; }
    QLineEdit* toField() const { return to_; }
    QLabel* countLabel() const { return count_; }

signals:
    // A setting changed: the list should be made again.
    void Changed();

private:
    struct Settings {
        int kind = 0, date = 0;
        QString larger, smaller, from, to;
        bool operator==(const Settings& other) const {
            return kind == other.kind && date == other.date && larger == other.larger && smaller == other.smaller &&
                   from == other.from && to == other.to;
        }
    };
    Settings Current() const;
    void ChangedIfNew();

    QComboBox* kind_;
    QLineEdit* larger_;
    QLineEdit* smaller_;
    QComboBox* date_;
    QLineEdit* from_;
    QLineEdit* to_;
    QLabel* count_;
    Settings kept_;
};

}  // namespace quil::qt
