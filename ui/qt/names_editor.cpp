#include "ui/qt/names_editor.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

#include "engine/list_text.h"

namespace quil::qt {
namespace {

using Sci = QsciScintillaBase;

QColor Colour(LineAction action) {
    switch (action) {
        case LineAction::Trash: return QColor(0xB0, 0x70, 0x00);
        case LineAction::Delete:
        case LineAction::Refuse: return QColor(0xC0, 0x10, 0x10);
        default: return QColor(0x10, 0x80, 0x30);
    }
}

}  // namespace

NamesEditor::NamesEditor(QWidget* parent) : QsciScintilla(parent) {
    setUtf8(true);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setWrapMode(WrapNone);
    setEolMode(EolUnix);
    setCaretLineVisible(true);
    QColor caretLine = palette().color(QPalette::Highlight);
    caretLine.setAlpha(32);
    setCaretLineBackgroundColor(caretLine);
    // The horizontal scroll bar follows the longest line shown, not a
    // fixed width.
    Send(SCI_SETSCROLLWIDTH, 1);
    Send(SCI_SETSCROLLWIDTHTRACKING, 1);
    setAccessibleName(QStringLiteral("Names"));
    // Margin 0 is left blank for the status column, painted over it.
    setMarginType(0, TextMargin);
    setMarginWidth(0,
                   QFontMetrics(QFontDatabase::systemFont(QFontDatabase::FixedFont)).horizontalAdvance("refused") + 12);
    setMarginWidth(1, 0);
    setMarginWidth(2, 0);
    // Alt+drag and Alt+Shift+arrows make a column; typing and pasting go
    // to every line of it.
    Send(SCI_SETRECTANGULARSELECTIONMODIFIER, SCMOD_ALT);
    Send(SCI_SETMULTIPLESELECTION, 1);
    Send(SCI_SETADDITIONALSELECTIONTYPING, 1);
    Send(SCI_SETMULTIPASTE, SC_MULTIPASTE_EACH);
    // A column's edge is a column even past the end of a shorter line
    // (virtual space); each such line then takes the column at its own end.
    Send(SCI_SETVIRTUALSPACEOPTIONS, SCVS_RECTANGULARSELECTION);
    connect(this, &Sci::SCN_MODIFIED, this,
            [this](int position, int type, const char*, int, int linesAdded, int, int, int, int, int) {
                OnModified(position, type, linesAdded);
            });
}

void NamesEditor::SetList(const std::string& text, int lineCount) {
    lineCount_ = lineCount;
    ownEdit_ = true;
    Send(SCI_SETREADONLY, 0);
    Send(SCI_CLEARALL);
    SendScintilla(SCI_APPENDTEXT, text.size(), text.data());
    Send(SCI_EMPTYUNDOBUFFER);
    Send(SCI_SETSAVEPOINT);
    Send(SCI_GOTOPOS, 0);
    Send(SCI_SETREADONLY, lineCount == 0);
    ownEdit_ = false;
    emptiedByTransform_.clear();
    notes_.clear();
    SetStatuses({});
}

void NamesEditor::AddTransformNotes(std::vector<TransformNote> notes) {
    for (TransformNote& note : notes) {
        const int line = note.line;
        notes_[line] = std::move(note);
    }
}

QString NamesEditor::NoteOf(int line) const {
    const auto found = notes_.find(line);
    if (found == notes_.end() || Lines(line, line).front() != found->second.text) return {};
    return found->second.note;
}

std::vector<std::string> NamesEditor::SubSecondsByLine() const {
    std::vector<std::string> subSeconds(static_cast<std::size_t>(std::max(lineCount_, 0)));
    for (const auto& [line, note] : notes_)
        if (line < lineCount_ && !note.subSeconds.empty() && Lines(line, line).front() == note.text)
            subSeconds[static_cast<std::size_t>(line)] = note.subSeconds;
    return subSeconds;
}

void NamesEditor::MarkEmptiedByTransform(const std::vector<int>& lines) {
    emptiedByTransform_.insert(lines.begin(), lines.end());
}

std::vector<int> NamesEditor::EmptiedByTransform() const {
    std::vector<int> emptied;
    for (const int line : emptiedByTransform_)
        if (Send(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line)) ==
            Send(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line)))
            emptied.push_back(line + 1);
    return emptied;
}

const char* NamesEditor::Bytes() const {
    return static_cast<const char*>(SendScintillaPtrResult(SCI_GETCHARACTERPOINTER));
}

std::string NamesEditor::Text() const { return std::string(Bytes(), static_cast<std::size_t>(Send(SCI_GETLENGTH))); }

bool NamesEditor::IsEdited() const { return Send(SCI_GETMODIFY) != 0; }

std::vector<std::string> NamesEditor::Lines(int first, int last) const {
    const long start = Send(SCI_POSITIONFROMLINE, static_cast<unsigned long>(first));
    const long end = Send(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(last));
    // The box's lines are only separated: the last one is ended here.
    return SplitLines(std::string(Bytes() + start, static_cast<std::size_t>(end - start)) + '\n');
}

void NamesEditor::ReplaceLines(int first, const std::vector<std::string>& lines) {
    EndColumnTyping();
    if (lines.empty()) return;
    const long start = Send(SCI_POSITIONFROMLINE, static_cast<unsigned long>(first));
    const long end =
        Send(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(first + static_cast<int>(lines.size()) - 1));
    const std::string joined = JoinLines(lines);
    const std::string_view old(Bytes() + start, static_cast<std::size_t>(end - start));
    // Only what differs is replaced: the undo step stays small and the
    // carets outside it stay where they are.
    const std::size_t most = std::min(old.size(), joined.size());
    std::size_t prefix = 0;
    while (prefix < most && old[prefix] == joined[prefix]) ++prefix;
    if (prefix == old.size() && prefix == joined.size()) return;
    std::size_t suffix = 0;
    while (suffix < most - prefix && old[old.size() - 1 - suffix] == joined[joined.size() - 1 - suffix]) ++suffix;
    ownEdit_ = true;
    Send(SCI_BEGINUNDOACTION);
    Send(SCI_SETTARGETRANGE, static_cast<unsigned long>(start + static_cast<long>(prefix)),
         end - static_cast<long>(suffix));
    SendScintilla(SCI_REPLACETARGET, joined.size() - prefix - suffix, joined.data() + prefix);
    Send(SCI_ENDUNDOACTION);
    ownEdit_ = false;
}

std::vector<int> NamesEditor::SelectedLines() const {
    const long count = Send(SCI_GETSELECTIONS);
    std::vector<int> lines;
    for (long i = 0; i < count; ++i) {
        const long start = Send(SCI_GETSELECTIONNSTART, static_cast<unsigned long>(i));
        const long end = Send(SCI_GETSELECTIONNEND, static_cast<unsigned long>(i));
        if (count == 1 && start == end) return {};
        const int first = static_cast<int>(Send(SCI_LINEFROMPOSITION, static_cast<unsigned long>(start)));
        int last = static_cast<int>(Send(SCI_LINEFROMPOSITION, static_cast<unsigned long>(end)));
        if (last > first && end == Send(SCI_POSITIONFROMLINE, static_cast<unsigned long>(last))) --last;
        for (int line = first; line <= last; ++line) lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    return lines;
}

std::vector<NamesEditor::Place> NamesEditor::ColumnPlaces() const {
    const long count = Send(SCI_GETSELECTIONS);
    if (count < 2) return {};
    std::vector<Place> places;
    for (long i = 0; i < count; ++i) {
        const long start = Send(SCI_GETSELECTIONNSTART, static_cast<unsigned long>(i));
        const long end = Send(SCI_GETSELECTIONNEND, static_cast<unsigned long>(i));
        const int line = static_cast<int>(Send(SCI_LINEFROMPOSITION, static_cast<unsigned long>(start)));
        if (Send(SCI_LINEFROMPOSITION, static_cast<unsigned long>(end)) != line) return {};
        places.push_back({line, start, end});
    }
    std::sort(places.begin(), places.end(), [](const Place& a, const Place& b) { return a.start < b.start; });
    return places;
}

void NamesEditor::FillPlaces(const std::vector<Place>& places, const std::vector<std::string>& texts) {
    EndColumnTyping();
    ownEdit_ = true;
    Send(SCI_BEGINUNDOACTION);
    for (std::size_t i = places.size(); i-- > 0;) {  // from the end: the places before stay put
        Send(SCI_SETTARGETRANGE, static_cast<unsigned long>(places[i].start), places[i].end);
        SendScintilla(SCI_REPLACETARGET, texts[i].size(), texts[i].data());
    }
    Send(SCI_ENDUNDOACTION);
    ownEdit_ = false;
    long shift = 0;
    for (std::size_t i = 0; i < places.size(); ++i) {
        const long caret = places[i].start + shift + static_cast<long>(texts[i].size());
        Send(i == 0 ? SCI_SETSELECTION : SCI_ADDSELECTION, static_cast<unsigned long>(caret), caret);
        shift += static_cast<long>(texts[i].size()) - (places[i].end - places[i].start);
    }
}

void NamesEditor::SelectLines(const std::vector<int>& lines) {
    if (lines.empty()) return;
    auto lineStart = [this](int line) { return Send(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line)); };
    auto lineEnd = [this](int line) { return Send(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line)); };
    if (lines.back() - lines.front() + 1 == static_cast<int>(lines.size())) {
        Send(SCI_SETSELECTION, static_cast<unsigned long>(lineEnd(lines.back())), lineStart(lines.front()));
        return;
    }
    for (std::size_t i = 0; i < lines.size(); ++i)
        Send(i == 0 ? SCI_SETSELECTION : SCI_ADDSELECTION, static_cast<unsigned long>(lineEnd(lines[i])),
             lineStart(lines[i]));
}

// The editor tells of a moved caret when it paints; the window hears of
// it at once.
void NamesEditor::NotifyCaret() {
    const int line = CaretLine();
    if (line == caretLine_) return;
    caretLine_ = line;
    emit CaretLineChanged(line);
}

int NamesEditor::CaretLine() const {
    return static_cast<int>(Send(SCI_LINEFROMPOSITION, static_cast<unsigned long>(Send(SCI_GETCURRENTPOS))));
}

void NamesEditor::OnModified(long position, int type, int linesAdded) {
    if (!(type & (SC_MOD_INSERTTEXT | SC_MOD_DELETETEXT))) return;
    // A note belongs to the transform that made it: an undo or redo may
    // have taken that transform back, even on a line it left as it was.
    if ((type & (SC_PERFORMED_UNDO | SC_PERFORMED_REDO)) && !ownEdit_) {
        notes_.clear();
        emit UndoneOrRedone();
    }
    if ((type & SC_MOD_INSERTTEXT) && !emptiedByTransform_.empty())
        emptiedByTransform_.erase(static_cast<int>(Send(SCI_LINEFROMPOSITION, static_cast<unsigned long>(position))));
    // An edit from a menu or a redo is checked once it is done.
    if (linesAdded != 0 && !ownEdit_ && !checkQueued_) {
        checkQueued_ = true;
        QMetaObject::invokeMethod(this, &NamesEditor::FinishEdit, Qt::QueuedConnection);
    }
    emit NamesChanged();
}

// Scintilla joins typing and what follows it into one undo step; an empty
// undo group between them ends the step, so that the undo that takes back
// an edit not taken takes back nothing before it.
void NamesEditor::BreakUndoJoin() {
    Send(SCI_BEGINUNDOACTION);
    Send(SCI_ENDUNDOACTION);
}

void NamesEditor::FinishEdit() {
    checkQueued_ = false;
    if (lineCount_ > 0 && lines() != lineCount_) {
        ownEdit_ = true;
        Send(SCI_UNDO);
        ownEdit_ = false;
    }
}

bool NamesEditor::event(QEvent* event) {
    const bool handled = QsciScintilla::event(event);
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::InputMethod) {
        FinishEdit();
        NotifyCaret();
    }
    return handled;
}

bool NamesEditor::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const int line = LineAt(help->pos().y());
        const bool explained = line < lineCount_ && ((line < static_cast<int>(statuses_.size()) &&
                                                      !statuses_[static_cast<std::size_t>(line)].reason.isEmpty()) ||
                                                     !NoteOf(line).isEmpty());
        if (help->pos().x() < StatusColumnRect().width() && explained)
            QToolTip::showText(help->globalPos(), StatusText(line), viewport());
        else
            QToolTip::hideText();
        return true;
    }
    if (event->type() == QEvent::MouseButtonPress) {
        EndColumnTyping();
        BreakUndoJoin();  // a middle-click paste
    }
    const bool handled = QsciScintilla::viewportEvent(event);
    if (event->type() == QEvent::Drop || event->type() == QEvent::MouseButtonPress) FinishEdit();
    if (event->type() == QEvent::MouseButtonRelease) KeepColumnInText();
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease) NotifyCaret();
    return handled;
}

void NamesEditor::EndColumnTyping() {
    if (!columnTyping_) return;
    columnTyping_ = false;
    Send(SCI_ENDUNDOACTION);
}

void NamesEditor::focusOutEvent(QFocusEvent* event) {
    EndColumnTyping();
    QsciScintilla::focusOutEvent(event);
}

void NamesEditor::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const QString text = event->text();
    const bool typing = !text.isEmpty() && !(modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) &&
                        std::all_of(text.begin(), text.end(), [](QChar ch) { return ch.isPrint(); });
    // Typing into a column is one undo step, as typing on one line is.
    if (typing && Send(SCI_GETSELECTIONS) > 1) {
        if (!columnTyping_) Send(SCI_BEGINUNDOACTION);
        columnTyping_ = true;
        QsciScintilla::keyPressEvent(event);
        KeepColumnInText();
        return;
    }
    EndColumnTyping();
    // Escape ends a column selection; otherwise it is the window's, as in
    // every other field (close, or ask about the edits).
    if (event->key() == Qt::Key_Escape && Send(SCI_GETSELECTIONS) <= 1) {
        event->ignore();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Enter opens the caret line's file and never adds a line;
        // Ctrl+Return belongs to the window (OK).
        if (modifiers & Qt::ControlModifier)
            event->ignore();
        else
            emit EnterPressed();
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        paste();
        return;
    }
    if (event->matches(QKeySequence::Redo)) {  // Ctrl+Shift+Z too, as the desktop has it
        redo();
        return;
    }
    if (event->key() == Qt::Key_Tab && modifiers == Qt::ControlModifier) {  // Tab moves on; Ctrl+Tab types one
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
        BreakUndoJoin();
        QsciScintilla::keyPressEvent(&tab);
        return;
    }
    // Typing goes on as one undo step; any other key begins a new one.
    if (!typing) BreakUndoJoin();
    const bool extendsColumn = (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) &&
                               modifiers == (Qt::AltModifier | Qt::ShiftModifier);
    const long column = extendsColumn ? CaretColumn() : 0;
    QsciScintilla::keyPressEvent(event);
    if (extendsColumn) KeepColumnAt(column);
    KeepColumnInText();
}

long NamesEditor::CaretColumn() const {
    const bool rectangle = Send(SCI_GETSELECTIONMODE) == SC_SEL_RECTANGLE;
    const long caret = Send(rectangle ? SCI_GETRECTANGULARSELECTIONCARET : SCI_GETCURRENTPOS);
    return Send(SCI_GETCOLUMN, static_cast<unsigned long>(caret)) +
           (rectangle ? Send(SCI_GETRECTANGULARSELECTIONCARETVIRTUALSPACE) : 0);
}

// Extended up or down onto a shorter line, a column keeps its place: the
// line's caret goes past its end rather than pull the column's edge back.
void NamesEditor::KeepColumnAt(long column) {
    if (Send(SCI_GETSELECTIONMODE) != SC_SEL_RECTANGLE) return;
    const long caret = Send(SCI_GETRECTANGULARSELECTIONCARET);
    const long line = Send(SCI_LINEFROMPOSITION, static_cast<unsigned long>(caret));
    const long reached = CaretColumn();
    if (reached < column && caret == Send(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line)))
        Send(SCI_SETRECTANGULARSELECTIONCARETVIRTUALSPACE,
             static_cast<unsigned long>(column - reached + Send(SCI_GETRECTANGULARSELECTIONCARETVIRTUALSPACE)));
}

// A column past the end of a shorter line would type spaces up to it: that
// line's place is its own end, as code editors have it.
void NamesEditor::KeepColumnInText() {
    if (Send(SCI_GETSELECTIONMODE) != SC_SEL_RECTANGLE && Send(SCI_GETSELECTIONS) < 2) return;
    const long count = Send(SCI_GETSELECTIONS);
    for (long i = 0; i < count; ++i) {
        Send(SCI_SETSELECTIONNCARETVIRTUALSPACE, static_cast<unsigned long>(i), 0);
        Send(SCI_SETSELECTIONNANCHORVIRTUALSPACE, static_cast<unsigned long>(i), 0);
    }
}

bool NamesEditor::focusNextPrevChild(bool next) { return QWidget::focusNextPrevChild(next); }

void NamesEditor::paste() {
    EndColumnTyping();
    BreakUndoJoin();
    if (!PasteIntoColumn()) QsciScintilla::paste();
    FinishEdit();
}

// A text of as many lines as the column has places fills it, a line each.
bool NamesEditor::PasteIntoColumn() {
    const std::vector<Place> places = ColumnPlaces();
    if (places.empty()) return false;
    QString clipboard = QApplication::clipboard()->text();
    clipboard.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    std::vector<std::string> pieces = SplitLines(clipboard.toStdString());
    if (pieces.size() != places.size()) return false;
    FillPlaces(places, pieces);
    return true;
}

void NamesEditor::SetStatuses(std::vector<std::pair<int, LineStatus>> changed) {
    if (statuses_.size() != static_cast<std::size_t>(lineCount_))
        statuses_.assign(static_cast<std::size_t>(lineCount_), {});
    for (const int line : marked_) statuses_[static_cast<std::size_t>(line)] = {};
    marked_.clear();
    for (auto& [line, status] : changed) {
        if (line < 0 || line >= lineCount_) continue;
        statuses_[static_cast<std::size_t>(line)] = std::move(status);
        marked_.push_back(line);
    }
    viewport()->update(QRect(QPoint(0, 0), StatusColumnRect().size()));
}

QString NamesEditor::StatusText(int line) const {
    static const LineStatus kUnchanged;
    const bool known = line >= 0 && line < static_cast<int>(statuses_.size());
    const LineStatus& status = known ? statuses_[static_cast<std::size_t>(line)] : kUnchanged;
    const QString word = QString::fromUtf8(WordsOf(status.action).state);
    const QString note = line >= 0 && line < lineCount_ ? NoteOf(line) : QString();
    const QString text = status.reason.isEmpty() ? word : word + ": " + status.reason;
    return note.isEmpty() ? text : text + " (" + note + ")";
}

QRect NamesEditor::StatusColumnRect() const {
    return QRect(viewport()->mapTo(this, QPoint(0, 0)),
                 QSize(static_cast<int>(Send(SCI_GETMARGINWIDTHN, 0)), viewport()->height()));
}

int NamesEditor::LineAt(int y) const {
    const long height = std::max(1L, Send(SCI_TEXTHEIGHT, 0));
    return static_cast<int>(Send(SCI_GETFIRSTVISIBLELINE) + y / height);
}

// The status words of the visible lines over the blank margin, after the
// editor painted: only what shows is drawn, whatever the list's length.
void NamesEditor::paintEvent(QPaintEvent* event) {
    QsciScintilla::paintEvent(event);
    const QRect column(QPoint(0, 0), StatusColumnRect().size());
    if (!event->rect().intersects(column)) return;
    QPainter painter(viewport());
    painter.setClipRect(column);
    painter.fillRect(column, palette().color(QPalette::AlternateBase));
    painter.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const int height = static_cast<int>(std::max(1L, Send(SCI_TEXTHEIGHT, 0)));
    const int first = static_cast<int>(Send(SCI_GETFIRSTVISIBLELINE));
    for (int row = 0; row * height < column.height(); ++row) {
        const auto line = static_cast<std::size_t>(first + row);
        if (line >= statuses_.size()) break;
        const LineAction action = statuses_[line].action;
        const QString word = QString::fromUtf8(WordsOf(action).state);
        if (action == LineAction::Unchanged || word.isEmpty()) continue;
        painter.setPen(Colour(action));
        painter.drawText(QRect(4, row * height, column.width() - 4, height), Qt::AlignLeft | Qt::AlignVCenter, word);
    }
}

}  // namespace quil::qt
