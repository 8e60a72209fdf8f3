#include "ui/qt/transform_bar.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <functional>

#include "engine/replace.h"
#include "ui/qt/spoken_label.h"

namespace quil::qt {
namespace {

QPushButton* Button(const QString& text, const QString& name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

QSpinBox* Counter(const QString& name, QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setRange(-999999999, 999999999);
    box->setValue(1);
    box->setAccessibleName(name);
    return box;
}

}  // namespace

TransformBar::TransformBar(NamesEditor* names, QLineEdit* find, QLineEdit* with, char separator, QWidget* parent)
    : QWidget(parent), names_(names), find_(find), with_(with), separator_(separator) {
    scope_ = new QComboBox(this);
    scope_->addItem(QStringLiteral("Name"), static_cast<int>(Scope::Name));
    scope_->addItem(QStringLiteral("Extension"), static_cast<int>(Scope::Extension));
    scope_->addItem(QStringLiteral("Name and extension"), static_cast<int>(Scope::NameWithExtension));
    scope_->addItem(QStringLiteral("Whole line"), static_cast<int>(Scope::Path));
    scope_->setAccessibleName(QStringLiteral("Part of each line"));
    scope_->setToolTip(QStringLiteral(
        "The part of each line that regular expressions, numbering and case act on.\n"
        "A plain find and replace, with no switch on, acts on whole lines as it always did."));
    auto* scopeLabel = new QLabel(QStringLiteral("Appl&y to:"), this);
    scopeLabel->setBuddy(scope_);
    regex_ = new QCheckBox(QStringLiteral("Re&gular expression"), this);
    regex_->setToolTip(QStringLiteral("Groups go into the replacement as $1, ${1} or \\1, the whole match as $0"));
    matchCase_ = new QCheckBox(QStringLiteral("Match &case"), this);
    matchCase_->setChecked(true);
    error_ = new QLabel(this);
    error_->setObjectName(QStringLiteral("transformError"));
    error_->setStyleSheet(QStringLiteral("color: #c01010"));
    error_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    start_ = Counter(QStringLiteral("Counter start"), this);
    step_ = Counter(QStringLiteral("Counter step"), this);
    perFolder_ = new QCheckBox(QStringLiteral("Restart &in each folder"), this);
    perFolder_->setToolTip(QStringLiteral("{n} in the replacement, and Number, count again from the start in each folder"));
    QPushButton* number = Button(QStringLiteral("&Number"), QStringLiteral("Number"), this);
    number->setToolTip(QStringLiteral("Put the counter at each caret of a column selection, or before each name"));
    connect(number, &QPushButton::clicked, this, &TransformBar::Number);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* first = new QHBoxLayout;
    first->addWidget(scopeLabel);
    first->addWidget(scope_);
    first->addWidget(regex_);
    first->addWidget(matchCase_);
    first->addWidget(error_, 1);
    auto* second = new QHBoxLayout;
    second->addWidget(new QLabel(QStringLiteral("Start:"), this));
    second->addWidget(start_);
    second->addWidget(new QLabel(QStringLiteral("Step:"), this));
    second->addWidget(step_);
    second->addWidget(perFolder_);
    second->addWidget(number);
    second->addStretch(1);
    const std::pair<QString, CaseChange> cases[] = {{QStringLiteral("UPP&ER"), CaseChange::Upper},
                                                    {QStringLiteral("&lower"), CaseChange::Lower},
                                                    {QStringLiteral("&Title Case"), CaseChange::Title},
                                                    {QStringLiteral("&Sentence case"), CaseChange::Sentence}};
    for (const auto& [text, change] : cases) {
        QPushButton* button = Button(text, QString(text).remove('&'), this);
        connect(button, &QPushButton::clicked, this, [this, change = change] { ChangeCase(change); });
        second->addWidget(button);
    }
    layout->addLayout(first, 0, 0);
    layout->addLayout(second, 1, 0);

    // A wrong expression shows as it is typed, not only on Replace.
    auto validate = [this] {
        if (find_->text().isEmpty() && with_->text().isEmpty())
            SetSpokenText(error_, {});
        else
            Compile();
    };
    connect(find_, &QLineEdit::textChanged, this, validate);
    connect(with_, &QLineEdit::textChanged, this, validate);
    connect(regex_, &QCheckBox::toggled, this, validate);
}

Scope TransformBar::CurrentScope() const { return static_cast<Scope>(scope_->currentData().toInt()); }

Numbering TransformBar::CurrentNumbering() const {
    return {start_->value(), step_->value(), perFolder_->isChecked()};
}

std::unique_ptr<Replacement> TransformBar::Compile() {
    const QString find = find_->text();
    const QString with = with_->text();
    TransformError error;
    auto replacement = Replacement::Make(find.toStdString(), with.toStdString(), regex_->isChecked(),
                                         matchCase_->isChecked(), error);
    if (replacement) {
        SetSpokenText(error_, {});
        return replacement;
    }
    const bool inFind = error.where == TransformError::Where::Expression;
    // PCRE2 gives the place in bytes; the user counts characters.
    const QByteArray bytes = (inFind ? find : with).toUtf8();
    const qsizetype character = QString::fromUtf8(bytes.left(static_cast<qsizetype>(error.offset))).size() + 1;
    SetSpokenText(error_, QStringLiteral("%1: %2 (at character %3)")
                        .arg(inFind ? QStringLiteral("Invalid expression") : QStringLiteral("Invalid replacement"),
                             QString::fromStdString(error.message))
                        .arg(character));
    return nullptr;
}

void TransformBar::Rewrite(const std::function<void(std::vector<std::string>&)>& change, bool wholeList) {
    if (names_->isReadOnly()) return;  // nothing listed
    const std::vector<int> selected = wholeList ? std::vector<int>() : names_->SelectedLines();
    if (selected.empty()) {
        std::vector<std::string> lines = names_->Lines(0, names_->lines() - 1);
        const std::vector<std::string> before = lines;
        change(lines);
        names_->ReplaceLines(0, lines);
        std::vector<int> emptied = LinesEmptied(before, lines);
        for (int& line : emptied) --line;
        names_->MarkEmptiedByTransform(emptied);
        emit Rewritten();
        return;
    }
    const int first = selected.front();
    std::vector<std::string> span = names_->Lines(first, selected.back());
    std::vector<std::string> picked;
    picked.reserve(selected.size());
    for (const int line : selected) picked.push_back(std::move(span[static_cast<std::size_t>(line - first)]));
    const std::vector<std::string> before = picked;
    change(picked);
    std::vector<int> emptied;
    for (const int index : LinesEmptied(before, picked)) emptied.push_back(selected[static_cast<std::size_t>(index - 1)]);
    for (std::size_t i = 0; i < selected.size(); ++i)
        span[static_cast<std::size_t>(selected[i] - first)] = std::move(picked[i]);
    names_->ReplaceLines(first, span);
    names_->MarkEmptiedByTransform(emptied);
    names_->SelectLines(selected);
    emit Rewritten();
}

void TransformBar::Replace() {
    const std::unique_ptr<Replacement> replacement = Compile();
    if (!replacement) return;
    const std::string find = find_->text().toStdString();
    const std::string with = with_->text().toStdString();
    if (find.empty() && with.empty()) return;
    const bool plain = !regex_->isChecked() && matchCase_->isChecked() && !replacement->UsesCounter() &&
                       CurrentScope() == Scope::Name;
    if (plain && !find.empty()) {
        Rewrite([&](std::vector<std::string>& lines) {
            for (std::string& line : lines) ReplaceAll(line, find, with);
        }, true);
        return;
    }
    const Scope scope = CurrentScope();
    const Numbering numbering = CurrentNumbering();
    Rewrite([&](std::vector<std::string>& lines) { replacement->Apply(lines, scope, numbering, separator_); }, plain);
}

void TransformBar::Number() {
    const Numbering numbering = CurrentNumbering();
    const std::vector<NamesEditor::Place> places = names_->ColumnPlaces();
    if (places.empty()) {
        const Scope scope = CurrentScope();
        Rewrite([&](std::vector<std::string>& lines) {
            const std::vector<std::string> counters = CounterTexts(lines, numbering, separator_);
            for (std::size_t i = 0; i < lines.size(); ++i)
                lines[i].insert(ScopeSpan(lines[i], scope, separator_).start, counters[i]);
        }, false);
        return;
    }
    // Counted by the lines the carets are on, each whole, for its folder.
    const int first = places.front().line;
    const std::vector<std::string> span = names_->Lines(first, places.back().line);
    std::vector<std::string> lines;
    for (const NamesEditor::Place& place : places) lines.push_back(span[static_cast<std::size_t>(place.line - first)]);
    names_->FillPlaces(places, CounterTexts(lines, numbering, separator_));
    emit Rewritten();
}

void TransformBar::ChangeCase(CaseChange change) {
    const Scope scope = CurrentScope();
    Rewrite([&](std::vector<std::string>& lines) { quil::ChangeCase(lines, change, scope, separator_); }, false);
}

}  // namespace quil::qt
