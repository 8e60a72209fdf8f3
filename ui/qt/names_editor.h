// The names box: an editor component holding the list as the bytes of the
// names (a name that is not UTF-8 keeps its bytes), in a fixed-width font
// that never wraps, with column selections and typing on many lines. The
// status column, what OK would do with each line, is painted in its left
// margin, right beside the text. An edit that would add or remove lines is
// not taken.
#pragma once

#include <Qsci/qsciscintilla.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/plan_rows.h"

namespace quil::qt {

struct LineStatus {
    LineAction action = LineAction::Unchanged;
    QString reason;  // for a refused line
};

class NamesEditor final : public QsciScintilla {
    Q_OBJECT
public:
    explicit NamesEditor(QWidget* parent = nullptr);

    // Shows text, lineCount lines split by '\n', as listed: not edited and
    // nothing to undo. With no line the box is empty and takes no typing.
    void SetList(const std::string& text, int lineCount);
    std::string Text() const;
    bool IsEdited() const;

    // Lines first..last (0-based), and lines put in their place as one
    // undo step that touches only the bytes that differ.
    std::vector<std::string> Lines(int first, int last) const;
    void ReplaceLines(int first, const std::vector<std::string>& lines);

    // The lines the selection touches, in order; empty when nothing is
    // selected. A selection that ends at the start of a line leaves it out.
    std::vector<int> SelectedLines() const;
    // A column selection or several carets: one place per line, in order.
    struct Place {
        int line;
        long start, end;  // the selected bytes, or the caret
    };
    std::vector<Place> ColumnPlaces() const;
    // Puts texts[i] in place of places[i], as one undo step, and leaves a
    // caret behind each.
    void FillPlaces(const std::vector<Place>& places, const std::vector<std::string>& texts);
    // Selects whole lines: one stretch when they follow each other.
    void SelectLines(const std::vector<int>& lines);

    // Lines (0-based) a transform left empty: refused rather than sent to
    // the Trash, until something is typed on them.
    void MarkEmptiedByTransform(const std::vector<int>& lines);
    // Those still empty, as slots (line + 1), in order.
    std::vector<int> EmptiedByTransform() const;

    // What a transform said of a line (where a field came from, why the
    // line stayed as it was), and the sub-seconds of the date it took where
    // its format left them out; kept while the line holds the text the
    // transform made.
    struct TransformNote {
        int line;  // 0-based
        std::string text;
        QString note;
        std::string subSeconds;
    };
    void AddTransformNotes(std::vector<TransformNote> notes);
    QString NoteOf(int line) const;
    // By line, for every line: the sub-seconds to try first when names are
    // made unique.
    std::vector<std::string> SubSecondsByLine() const;

    int CaretLine() const;
    // The lines that do something (0-based line, status); the others are
    // shown unchanged.
    void SetStatuses(std::vector<std::pair<int, LineStatus>> changed);
    const std::vector<LineStatus>& statuses() const { return statuses_; }
    // "rename", "refused: a file with that name exists", or "unchanged",
    // with the transform's note in brackets where there is one.
    QString StatusText(int line) const;
    // Where the status column is, in the editor's coordinates.
    QRect StatusColumnRect() const;

    void paste() override;

signals:
    void EnterPressed();
    void NamesChanged();  // after an edit that was taken
    void CaretLineChanged(int line);
    void UndoneOrRedone();  // the user's Ctrl+Z or redo changed the names

protected:
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void OnModified(long position, int type, int linesAdded);
    void BreakUndoJoin();
    // Closes the undo step that typing into a column keeps open.
    void EndColumnTyping();
    void KeepColumnInText();
    // The caret's column, virtual space included: the column selection's
    // caret where there is one.
    long CaretColumn() const;
    void KeepColumnAt(long column);
    void NotifyCaret();
    // Ends the user's edit: one that changed the number of lines is undone.
    void FinishEdit();
    bool PasteIntoColumn();
    int LineAt(int y) const;
    const char* Bytes() const;
    long Send(unsigned int message, unsigned long wParam = 0, long lParam = 0) const {
        return SendScintilla(message, wParam, lParam);
    }

    int lineCount_ = 0;
    bool ownEdit_ = false;      // a change made here, whole lines kept
    bool checkQueued_ = false;  // FinishEdit() is posted
    bool columnTyping_ = false;  // an undo step is open for typing into a column
    int caretLine_ = 0;
    std::vector<LineStatus> statuses_;  // one per line
    std::vector<int> marked_;           // the lines whose status is not unchanged
    std::set<int> emptiedByTransform_;
    std::map<int, TransformNote> notes_;
};

}  // namespace quil::qt
