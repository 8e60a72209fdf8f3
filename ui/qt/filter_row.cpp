#include "ui/qt/filter_row.h"

#include <QHBoxLayout>
#include <QLocale>

#include "ui/qt/spoken_label.h"

namespace quil::qt {
namespace {

QLineEdit* Field(const QString& name, const QString& example, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setAccessibleName(name);
    field->setPlaceholderText(example);
    field->setMaximumWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("2024-07-14 09:30")) + 16);
    return field;
}

enum class DateKind { Modified, Taken };

}  // namespace

FilterRow::FilterRow(QWidget* parent) : QWidget(parent) {
    kind_ = new QComboBox(this);
    // The kinds' words are ListFilter's (ParseTypes).
    const std::pair<const char*, const char*> kinds[] = {
        {"All files", ""}, {"Images", "image"}, {"Audio", "audio"}, {"Video", "video"}, {"Documents", "document"}};
    for (const auto& [label, word] : kinds) kind_->addItem(QString::fromUtf8(label), QString::fromUtf8(word));
    kind_->setAccessibleName(QStringLiteral("Show"));
    larger_ = Field(QStringLiteral("Larger than"), QStringLiteral("10k, 5M"), this);
    smaller_ = Field(QStringLiteral("Smaller than"), QStringLiteral("2G"), this);
    date_ = new QComboBox(this);
    date_->addItem(QStringLiteral("Date modified"), static_cast<int>(DateKind::Modified));
    date_->addItem(QStringLiteral("Date taken"), static_cast<int>(DateKind::Taken));
    date_->setAccessibleName(QStringLiteral("Dates"));
    date_->setToolTip(
        QStringLiteral("Date taken is read from inside photos and "
                       "movies; files without one are not listed"));
    from_ = Field(QStringLiteral("From"), QStringLiteral("2024-07-14"), this);
    to_ = Field(QStringLiteral("To"), QStringLiteral("2024-07-14 09:30"), this);
    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("shownCount"));

    // The letters of the window are taken: these are reached by Tab.
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("Show:"), this));
    layout->addWidget(kind_);
    layout->addWidget(new QLabel(QStringLiteral("Larger than:"), this));
    layout->addWidget(larger_);
    layout->addWidget(new QLabel(QStringLiteral("Smaller than:"), this));
    layout->addWidget(smaller_);
    layout->addWidget(date_);
    layout->addWidget(new QLabel(QStringLiteral("from"), this));
    layout->addWidget(from_);
    layout->addWidget(new QLabel(QStringLiteral("to"), this));
    layout->addWidget(to_);
    layout->addWidget(count_, 1);

    connect(kind_, QOverload<int>::of(&QComboBox::activated), this, &FilterRow::ChangedIfNew);
    connect(date_, QOverload<int>::of(&QComboBox::activated), this, &FilterRow::ChangedIfNew);
    for (QLineEdit* field : {larger_, smaller_, from_, to_})
        connect(field, &QLineEdit::editingFinished, this, &FilterRow::ChangedIfNew);
}

FilterRow::Settings FilterRow::Current() const {
    return {kind_->currentIndex(), date_->currentIndex(), larger_->text(),
            smaller_->text(),      from_->text(),         to_->text()};
}

void FilterRow::ChangedIfNew() {
    if (!(Current() == kept_)) emit Changed();
}

void FilterRow::Keep() { kept_ = Current(); }

void FilterRow::Restore() {
    kind_->setCurrentIndex(kept_.kind);
    date_->setCurrentIndex(kept_.date);
    larger_->setText(kept_.larger);
    smaller_->setText(kept_.smaller);
    from_->setText(kept_.from);
    to_->setText(kept_.to);
}

bool FilterRow::Filter(ListFilter& filter) {
    filter = {};
    std::string error;
    const std::string kind = kind_->currentData().toString().toStdString();
    if (!kind.empty()) ParseTypes(kind, filter.extensions, error);
    auto size = [&](QLineEdit* field, std::optional<std::uint64_t>& bytes) {
        const std::string text = field->text().trimmed().toStdString();
        std::uint64_t value = 0;
        if (text.empty()) return true;
        if (ParseSize(text, value))
            bytes = value;
        else
            error = field->accessibleName().toStdString() + ": a size such as 1500, 10k, 5M or 2G";
        return bytes.has_value();
    };
    const bool taken = date_->currentData().toInt() == static_cast<int>(DateKind::Taken);
    auto date = [&](QLineEdit* field, std::optional<std::int64_t>& modified, std::optional<std::int64_t>& wallClock) {
        const std::string text = field->text().trimmed().toStdString();
        std::int64_t value = 0;
        if (text.empty()) return true;
        if (taken ? ParseWallClock(text, value) : ParseDate(text, value))
            (taken ? wallClock : modified) = value;
        else
            error = field->accessibleName().toStdString() + ": a date such as 2024-07-14 or 2024-07-14 09:30";
        return error.empty();
    };
    const bool read = size(larger_, filter.larger) && size(smaller_, filter.smaller) &&
                      date(from_, filter.newer, filter.takenAfter) && date(to_, filter.older, filter.takenBefore);
    SetSpokenText(count_, read ? QString() : QString::fromStdString(error));
    return read;
}

void FilterRow::ShowCount(int shown, int found) {
    const QLocale english(QLocale::English);  // "4,031", as the status words are English
    SetSpokenText(count_, found > 0
                              ? QStringLiteral("showing %1 of %2").arg(english.toString(shown), english.toString(found))
                              : QString());
}

}  // namespace quil::qt
