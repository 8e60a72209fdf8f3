#include "ui/qt/transform_bar.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenu>
#include <algorithm>
#include <functional>
#include <numeric>
#include <utility>

#include "engine/list_text.h"
#include "engine/metadata/fields.h"
#include "engine/replace.h"
#include "engine/unique_names.h"
#include "platform/command_filter.h"
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

TransformBar::TransformBar(NamesEditor* names, QLineEdit* find, QLineEdit* with, ListedFiles& listed, char separator,
                           QWidget* parent)
    : QWidget(parent), names_(names), find_(find), with_(with), listed_(listed), separator_(separator) {
    scope_ = new QComboBox(this);
    scope_->addItem(QStringLiteral("Name"), static_cast<int>(Scope::Name));
    scope_->addItem(QStringLiteral("Extension"), static_cast<int>(Scope::Extension));
    scope_->addItem(QStringLiteral("Name and extension"), static_cast<int>(Scope::NameWithExtension));
    scope_->addItem(QStringLiteral("Whole line"), static_cast<int>(Scope::Path));
    scope_->setAccessibleName(QStringLiteral("Part of each line"));
    scope_->setToolTip(
        QStringLiteral("The part of each line that regular expressions, "
                       "numbering and case act on.\n"
                       "A plain find and replace, with no switch on, acts on "
                       "whole lines as it always did."));
    auto* scopeLabel = new QLabel(QStringLiteral("Wor&k on:"), this);
    scopeLabel->setBuddy(scope_);
    regex_ = new QCheckBox(QStringLiteral("Re&gular expression"), this);
    regex_->setToolTip(
        QStringLiteral("Groups go into the replacement as $1, "
                       "${1} or \\1, the whole match as $0"));
    matchCase_ = new QCheckBox(QStringLiteral("Match &case"), this);
    matchCase_->setChecked(true);
    error_ = new QLabel(this);
    error_->setObjectName(QStringLiteral("transformError"));
    error_->setStyleSheet(QStringLiteral("color: #c01010"));
    error_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    start_ = Counter(QStringLiteral("Counter start"), this);
    step_ = Counter(QStringLiteral("Counter step"), this);
    perFolder_ = new QCheckBox(QStringLiteral("Restart &in each folder"), this);
    perFolder_->setToolTip(
        QStringLiteral("{n} in the replacement, and Number, count again from the "
                       "start in each folder"));
    QPushButton* number = Button(QStringLiteral("&Number"), QStringLiteral("Number"), this);
    number->setToolTip(
        QStringLiteral("Put the counter at each caret of a column "
                       "selection, or before each name"));
    connect(number, &QPushButton::clicked, this, &TransformBar::Number);
    QPushButton* unique = Button(QStringLiteral("Make uni&que"), QStringLiteral("Make unique"), this);
    unique->setToolTip(
        QStringLiteral("Add -1, -2, ... to new names that are the same as another line's, "
                       "or as a file that is not listed; the first keeps its name"));
    connect(unique, &QPushButton::clicked, this, &TransformBar::MakeUnique);
    zone_ = new QLineEdit(this);
    zone_->setPlaceholderText(QStringLiteral("local"));
    zone_->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("+00:00")) * 2);
    zone_->setAccessibleName(QStringLiteral("Movie time zone"));
    zone_->setToolTip(
        QStringLiteral("Where a movie's recording time, kept in UTC, is shown: +02:00, -05:30 "
                       "or Z.\n"
                       "Empty: this computer's zone. Photos keep the time their camera wrote."));
    auto* zoneLabel = new QLabel(QStringLiteral("Movie time &zone:"), this);
    zoneLabel->setBuddy(zone_);
    insertField_ = new QToolButton(this);
    insertField_->setText(QStringLiteral("Insert field"));
    insertField_->setObjectName(QStringLiteral("Insert field"));
    insertField_->setToolTip(QStringLiteral("Put a value read from inside each file into the replacement"));
    insertField_->setPopupMode(QToolButton::InstantPopup);
    BuildFieldMenu();

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* first = new QHBoxLayout;
    first->addWidget(scopeLabel);
    first->addWidget(scope_);
    first->addWidget(regex_);
    first->addWidget(matchCase_);
    first->addWidget(zoneLabel);
    first->addWidget(zone_);
    first->addWidget(error_, 1);
    auto* second = new QHBoxLayout;
    second->addWidget(new QLabel(QStringLiteral("Start:"), this));
    second->addWidget(start_);
    second->addWidget(new QLabel(QStringLiteral("Step:"), this));
    second->addWidget(step_);
    second->addWidget(perFolder_);
    second->addWidget(number);
    second->addWidget(unique);
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

    // Checked once the whole Ctrl+Z is done.
    connect(names_, &NamesEditor::UndoneOrRedone, this, [this] {
        if (!std::exchange(dropQueued_, true))
            QMetaObject::invokeMethod(this, &TransformBar::DropUndoneStep, Qt::QueuedConnection);
    });

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
    connect(zone_, &QLineEdit::textChanged, this, [this] {
        metadata::Zone zone;
        if (MovieZone(zone)) SetSpokenText(error_, {});
    });
}

// Each field as its token; the dates with their default format, which the
// user may follow with a format of their own ({taken:%Y-%m-%d}).
void TransformBar::BuildFieldMenu() {
    auto* menu = new QMenu(insertField_);
    auto add = [this, menu](const QString& label, const QString& token) {
        connect(menu->addAction(label + "\t" + token), &QAction::triggered, this, [this, token] {
            with_->insert(token);
            with_->setFocus();
        });
    };
    for (int index = 0; index < metadata::kFieldCount; ++index) {
        const auto field = static_cast<metadata::Field>(index);
        if (field == metadata::Field::Artist) menu->addSeparator();  // the audio tags
        const std::string_view label = metadata::LabelOf(field);
        const std::string_view name = metadata::NameOf(field);
        add(QString::fromUtf8(label.data(), static_cast<int>(label.size())),
            "{" + QString::fromUtf8(name.data(), static_cast<int>(name.size())) + "}");
    }
    menu->addSeparator();
    add(QStringLiteral("Date taken, else the date in the name, else modified"),
        QStringLiteral("{taken|name-date|mtime}"));
    insertField_->setMenu(menu);
}

bool TransformBar::MovieZone(metadata::Zone& zone) {
    const std::string text = zone_->text().trimmed().toStdString();
    zone = {};
    if (text.empty() || metadata::ParseZone(text, zone)) return true;
    SetSpokenText(error_, QStringLiteral("Movie time zone: an offset such as +02:00, -05:30 or Z"));
    return false;
}

Scope TransformBar::CurrentScope() const { return static_cast<Scope>(scope_->currentData().toInt()); }

Numbering TransformBar::CurrentNumbering() const { return {start_->value(), step_->value(), perFolder_->isChecked()}; }

std::unique_ptr<Replacement> TransformBar::Compile() {
    const QString find = find_->text();
    const QString with = with_->text();
    TransformError error;
    auto replacement =
        Replacement::Make(find.toStdString(), with.toStdString(), regex_->isChecked(), matchCase_->isChecked(), error);
    if (replacement) {
        SetSpokenText(error_, {});
        return replacement;
    }
    const bool inFind = error.where == TransformError::Where::Expression;
    // PCRE2 gives the place in bytes; the user counts characters.
    const QByteArray bytes = (inFind ? find : with).toUtf8();
    const qsizetype character = QString::fromUtf8(bytes.left(static_cast<qsizetype>(error.offset))).size() + 1;
    SetSpokenText(error_,
                  QStringLiteral("%1: %2 (at character %3)")
                      .arg(inFind ? QStringLiteral("Invalid expression") : QStringLiteral("Invalid replacement"),
                           QString::fromStdString(error.message))
                      .arg(character));
    return nullptr;
}

bool TransformBar::Rewrite(const Change& change, bool wholeList) {
    if (names_->isReadOnly()) return false;  // nothing listed
    std::vector<int> numbers = wholeList ? std::vector<int>() : names_->SelectedLines();
    const bool all = numbers.empty();
    if (all) {
        numbers.resize(static_cast<std::size_t>(names_->lines()));
        std::iota(numbers.begin(), numbers.end(), 0);
    }
    const int first = numbers.front();
    std::vector<std::string> span = names_->Lines(first, numbers.back());
    std::vector<std::string> picked;
    picked.reserve(numbers.size());
    for (const int line : numbers) picked.push_back(std::move(span[static_cast<std::size_t>(line - first)]));
    const std::vector<std::string> before = picked;
    if (!change(picked, numbers) || picked == before) return false;
    std::vector<int> emptied;
    for (const int index : LinesEmptied(before, picked))
        emptied.push_back(numbers[static_cast<std::size_t>(index - 1)]);
    for (std::size_t i = 0; i < numbers.size(); ++i)
        span[static_cast<std::size_t>(numbers[i] - first)] = std::move(picked[i]);
    names_->ReplaceLines(first, span);
    names_->MarkEmptiedByTransform(emptied);
    if (!all) names_->SelectLines(numbers);
    emit Rewritten();
    return true;
}

void TransformBar::Replace() {
    const std::unique_ptr<Replacement> replacement = Compile();
    if (!replacement) return;
    const std::string find = find_->text().toStdString();
    const std::string with = with_->text().toStdString();
    if (find.empty() && with.empty()) return;
    const bool readsFiles = !replacement->Fields().Empty();
    const bool plain = !regex_->isChecked() && matchCase_->isChecked() && !replacement->UsesCounter() && !readsFiles &&
                       CurrentScope() == Scope::Name;
    const std::size_t before = NamesHash();
    bool changed = false;
    if (plain && !find.empty()) {
        changed = Rewrite(
            [&](std::vector<std::string>& lines, const std::vector<int>&) {
                for (std::string& line : lines) ReplaceAll(line, find, with);
                return true;
            },
            true);
    } else if (readsFiles) {
        changed =
            Rewrite([&](std::vector<std::string>& lines,
                        const std::vector<int>& numbers) { return ReplaceReadingFiles(*replacement, lines, numbers); },
                    false);
    } else {
        const Scope scope = CurrentScope();
        const Numbering numbering = CurrentNumbering();
        changed = Rewrite(
            [&](std::vector<std::string>& lines, const std::vector<int>&) {
                replacement->Apply(lines, scope, numbering, separator_);
                return true;
            },
            plain);
    }
    if (changed) Record({ReplaceStep(find, with, plain && !find.empty())}, before);
}

// The plain find and replace is literal over whole lines, its replacement
// taken as typed: what a replacement would read as a token is quoted.
EditSteps TransformBar::ReplaceStep(const std::string& find, const std::string& with, bool plain) {
    EditSteps step;
    if (plain) {
        std::string quoted;
        for (const char ch : with) {
            if (ch == '\\' || ch == '{') quoted += '\\';
            quoted += ch;
        }
        step.replaces.emplace_back(find, quoted);
        step.literal = true;
        step.scope = Scope::Path;
        return step;
    }
    step.replaces.emplace_back(find, with);
    step.literal = !regex_->isChecked();
    step.ignoreCase = !matchCase_->isChecked();
    step.scope = CurrentScope();
    step.numbering = CurrentNumbering();
    MovieZone(step.movieZone);
    return step;
}

// The files are read first, for the lines the replacement changes; a stop
// changes nothing. What it says of a line goes with the line.
bool TransformBar::ReplaceReadingFiles(const Replacement& replacement, std::vector<std::string>& lines,
                                       const std::vector<int>& numbers) {
    metadata::Zone zone;
    if (!MovieZone(zone)) return false;
    const Scope scope = CurrentScope();
    const BatchState& listed = listed_.Listed();
    std::vector<std::string> paths;
    paths.reserve(numbers.size());
    for (const int line : numbers) paths.push_back(listed.oldPaths[static_cast<std::size_t>(line + 1)]);
    std::vector<metadata::FileMetadata> read;
    bool done = false;
    listed_.RunReading([&](StepMonitor& monitor) {
        done = ReadFieldsFor(replacement, lines, paths, scope, separator_, listed_.Reader(),
                             metadata::ReportingTo(monitor), read);
    });
    if (!done) return false;
    std::vector<std::string> notes(lines.size());
    std::vector<std::string> subSeconds(lines.size());
    replacement.Apply(lines, scope, CurrentNumbering(), separator_, {&read, {zone, false}, &notes, &subSeconds});
    std::vector<NamesEditor::TransformNote> kept;
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (!notes[i].empty() || !subSeconds[i].empty())
            kept.push_back({numbers[i], lines[i], QString::fromStdString(notes[i]), subSeconds[i]});
    names_->AddTransformNotes(std::move(kept));
    return true;
}

void TransformBar::Number() {
    const Numbering numbering = CurrentNumbering();
    const std::vector<NamesEditor::Place> places = names_->ColumnPlaces();
    if (places.empty()) {
        EditSteps step;
        step.number = true;
        step.scope = CurrentScope();
        step.numbering = numbering;
        const std::size_t before = NamesHash();
        const bool changed = Rewrite(
            [&](std::vector<std::string>& lines, const std::vector<int>&) {
                NumberLines(lines, numbering, step.scope, separator_);
                return true;
            },
            false);
        if (changed) Record({step}, before);
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
    EditSteps step;
    step.caseChange = change;
    step.scope = CurrentScope();
    const std::size_t before = NamesHash();
    const bool changed = Rewrite(
        [&](std::vector<std::string>& lines, const std::vector<int>&) {
            quil::ChangeCase(lines, change, step.scope, separator_);
            return true;
        },
        false);
    if (changed) Record({step}, before);
}

// Over the whole list: a collision may be with any line.
void TransformBar::MakeUnique() {
    const std::size_t before = NamesHash();
    const bool changed = Rewrite(
        [this](std::vector<std::string>& lines, const std::vector<int>&) {
            quil::MakeUnique(lines, listed_.Listed(), listed_.Files(), names_->SubSecondsByLine());
            return true;
        },
        true);
    if (!changed) return;
    EditSteps step;
    step.unique = true;
    Record({step}, before);
}

StepContext TransformBar::Context(StepMonitor& monitor) {
    return {listed_.Listed(), listed_.Files(), listed_.Reader(), metadata::ReportingTo(monitor), FilterThrough};
}

// The files are read on the window's long step; a stop or a wrong step
// changes nothing, and the error shows.
void TransformBar::ApplySteps(const std::vector<EditSteps>& steps) {
    const bool unique = std::any_of(steps.begin(), steps.end(), [](const EditSteps& step) { return step.unique; });
    const std::size_t before = NamesHash();
    const bool changed = Rewrite(
        [&](std::vector<std::string>& lines, const std::vector<int>& numbers) {
            std::vector<std::string> paths;
            for (const int line : numbers)
                paths.push_back(listed_.Listed().oldPaths[static_cast<std::size_t>(line + 1)]);
            StepResults results;
            std::string error;
            bool done = false;
            listed_.RunReading([&](StepMonitor& monitor) {
                done = ApplyEditChain(steps, Context(monitor), lines, paths, results, error);
            });
            if (done && results.onlyReordered)
                error =
                    "the recipe's filter only changed the order of the lines: "
                    "each file would take another's name";
            if (!done || results.onlyReordered) {
                SetSpokenText(error_, QString::fromStdString(error));
                return false;
            }
            std::vector<NamesEditor::TransformNote> kept;
            for (std::size_t i = 0; i < lines.size(); ++i)
                if (!results.notes[i].empty() || !results.subSeconds[i].empty())
                    kept.push_back(
                        {numbers[i], lines[i], QString::fromStdString(results.notes[i]), results.subSeconds[i]});
            names_->AddTransformNotes(std::move(kept));
            return true;
        },
        unique);
    if (changed) Record(steps, before);
}

void TransformBar::SetAllLines(const std::vector<std::string>& lines) {
    Rewrite(
        [&](std::vector<std::string>& all, const std::vector<int>&) {
            all = lines;
            return true;
        },
        true);
}

std::size_t TransformBar::NamesHash() const { return qHash(names_->text()); }

// A recipe's steps are one edit, and one Ctrl+Z takes them all back.
void TransformBar::Record(std::vector<EditSteps> steps, std::size_t before) {
    for (EditSteps& step : steps) recorded_.push_back({std::move(step), before});
}

void TransformBar::DropUndoneStep() {
    dropQueued_ = false;
    const std::size_t now = NamesHash();
    while (!recorded_.empty() && recorded_.back().before == now) recorded_.pop_back();
}

std::vector<EditSteps> TransformBar::RecordedSteps() const {
    std::vector<EditSteps> steps;
    for (const Recorded& each : recorded_) steps.push_back(each.step);
    return steps;
}

}  // namespace quil::qt
