// The transforms of the names box: find and replace (literal or by regular
// expression, with fields read from inside the files), numbering, case, and
// names made unique, on a chosen part of each line. Each one rewrites the
// text of the names box as one undo step, so that the preview and every
// check of the plan see it as they see typing.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QWidget>

#include "engine/batch_state.h"
#include "engine/edit_steps.h"
#include "engine/transforms.h"
#include "ui/qt/names_editor.h"

namespace quil::qt {

// What the transforms that look at the files need of the window.
class ListedFiles {
public:
    virtual ~ListedFiles() = default;
    // The files as listed: line k is slot k + 1's.
    virtual const BatchState& Listed() const = 0;
    virtual FileServices& Files() = 0;
    virtual const metadata::MetadataReader& Reader() = 0;
    // Runs the reading of the files behind a progress display with Cancel.
    virtual void RunReading(const std::function<void(StepMonitor&)>& work) = 0;
};

class TransformBar final : public QWidget {
    Q_OBJECT
public:
    // find and with are the window's find and replace fields; separator
    // is the one between the folders of the names' paths.
    TransformBar(NamesEditor* names, QLineEdit* find, QLineEdit* with, ListedFiles& listed, char separator,
                 QWidget* parent = nullptr);

    // The Replace button. With no switch on it is the find and replace of
    // old: literal, over whole lines of the whole list; an empty find puts
    // the replacement before each file's name.
    void Replace();
    // The counter at each place of a column selection, or before the part
    // of each line; padded to the widest value, so that names sort.
    void Number();
    void ChangeCase(CaseChange change);
    // New names that collide with each other, or with a file that is not
    // listed, get -1, -2, ... (or first the sub-seconds of the time a line
    // took), the first in the list keeping its name.
    void MakeUnique();

    // A recipe's steps on the selected lines, or all (the whole list when
    // one makes names unique), as one edit.
    void ApplySteps(const std::vector<EditSteps>& steps);
    // lines in place of the whole list, as one edit.
    void SetAllLines(const std::vector<std::string>& lines);
    // The transforms applied since the listing or since ForgetRecorded, less
    // those a Ctrl+Z took back, as a recipe's steps; a Number at column
    // carets has no such step and is left out.
    std::vector<EditSteps> RecordedSteps() const;
    void ForgetRecorded() { recorded_.clear(); }

    // Where a movie header's UTC time is shown: the zone field's, or the
    // local zone when it is empty. False, with the error shown, when the
    // field holds no zone.
    bool MovieZone(metadata::Zone& zone);

    QComboBox* scopeBox() const { return scope_; }
    QCheckBox* regexBox() const { return regex_; }
    QCheckBox* matchCaseBox() const { return matchCase_; }
    QSpinBox* startBox() const { return start_; }
    QSpinBox* stepBox() const { return step_; }
    QCheckBox* perFolderBox() const { return perFolder_; }
    QLabel* errorLabel() const { return error_; }
    QLineEdit* zoneField() const { return zone_; }
    // Beside the Replace with field: a menu of the fields it can take.
    QToolButton* insertFieldButton() const { return insertField_; }

signals:
    // A transform changed the names: the whole edit is there, no pause in
    // typing to wait for.
    void Rewritten();

private:
    // The compiled find and replace, or null with the error shown.
    std::unique_ptr<Replacement> Compile();
    Scope CurrentScope() const;
    Numbering CurrentNumbering() const;
    // Fills the Insert field menu from the table of fields.
    void BuildFieldMenu();
    // change rewrites lines, whose numbers (0-based) it is given; false
    // leaves them as they were.
    using Change = std::function<bool(std::vector<std::string>& lines, const std::vector<int>& numbers)>;
    // Runs change over the selected lines, or all lines, as one edit; none
    // (and false) when it changes nothing.
    bool Rewrite(const Change& change, bool wholeList);
    // The Replace just made, as a step.
    EditSteps ReplaceStep(const std::string& find, const std::string& with, bool plain);
    // What the steps read and run with, reporting to monitor.
    StepContext Context(StepMonitor& monitor);
    // A replacement whose tokens read the files, on the lines it changes.
    bool ReplaceReadingFiles(const Replacement& replacement, std::vector<std::string>& lines,
                             const std::vector<int>& numbers);

    NamesEditor* names_;
    QLineEdit* find_;
    QLineEdit* with_;
    ListedFiles& listed_;
    const char separator_;
    QComboBox* scope_;
    QCheckBox* regex_;
    QCheckBox* matchCase_;
    QSpinBox* start_;
    QSpinBox* step_;
    QCheckBox* perFolder_;
    QLabel* error_;
    QLineEdit* zone_;
    QToolButton* insertField_;
    // Each step with the names before it, to know when a Ctrl+Z took it back.
    struct Recorded {
        EditSteps step;
        std::size_t before;  // the hash of the names' text
    };
    // Records steps, made from the names whose text hashed to before.
    void Record(std::vector<EditSteps> steps, std::size_t before);
    // Drops the last step when a Ctrl+Z brought back the names before it.
    void DropUndoneStep();
    std::size_t NamesHash() const;
    std::vector<Recorded> recorded_;
    bool dropQueued_ = false;
};

}  // namespace quil::qt
