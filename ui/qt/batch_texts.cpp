#include "ui/qt/batch_texts.h"

#include <QStringList>

#include "engine/path_rules.h"
#include "engine/printable.h"

namespace quil::qt {
namespace {

constexpr int kRefusedShown = 10;

QString Quoted(const std::string& path) { return "'" + QString::fromStdString(Printable(path)) + "'"; }

// The counts a sentence tells, taken from the rows.
struct Counts {
    explicit Counts(const std::vector<PlanRow>& rows) {
        const RowCounts counted(rows);
        renames = counted[LineAction::Rename];
        moves = counted[LineAction::Move];
        trashed = counted[LineAction::Trash];
        deleted = counted[LineAction::Delete];
        restored = counted[LineAction::Restore];
        foldersRemoved = counted[LineAction::RemoveFolder];
        refused = counted[LineAction::Refuse];
    }
    int renames, moves, trashed, deleted, restored, foldersRemoved, refused;
};

// "a, b and c".
QString Joined(const QStringList& clauses) {
    if (clauses.size() < 2) return clauses.value(0);
    return QStringList(clauses.mid(0, clauses.size() - 1)).join(QStringLiteral(", ")) + " and " + clauses.last();
}

// The clauses of a sentence about counts, in present or past tense: the
// first names what is counted ("3 files"), the others give the number alone.
QStringList Clauses(const Counts& counts, bool folders, bool past) {
    struct Part {
        int count;
        const char* present;
        const char* pastTense;
        const char* after;
    };
    const Part parts[] = {
        {counts.renames, "rename", "renamed", ""},       {counts.moves, "move", "moved", ""},
        {counts.trashed, "put", "put", " in the Trash"}, {counts.deleted, "delete", "deleted", " permanently"},
        {counts.restored, "restore", "restored", ""},
    };
    QStringList clauses;
    for (const Part& part : parts) {
        if (part.count == 0) continue;
        QString number = QString::number(part.count);
        if (clauses.isEmpty())
            number += folders ? (part.count == 1 ? " folder" : " folders") : (part.count == 1 ? " file" : " files");
        clauses << QString(past ? part.pastTense : part.present) + " " + number + part.after;
    }
    if (counts.foldersRemoved > 0)
        clauses << QString(past ? "removed " : "remove ") + QString::number(counts.foldersRemoved) +
                       (counts.foldersRemoved == 1 ? " emptied folder" : " emptied folders");
    if (!clauses.isEmpty()) clauses[0][0] = clauses[0][0].toUpper();
    return clauses;
}

}  // namespace

QString RefusedLines(const std::vector<PlanRow>& rows) {
    QStringList lines;
    int refused = 0;
    for (const PlanRow& row : rows) {
        if (row.action != LineAction::Refuse) continue;
        if (++refused > kRefusedShown) continue;
        lines << (row.to.empty() ? Quoted(row.from) : Quoted(row.from) + " to " + Quoted(row.to)) + ": " +
                     Describe(row.reason);
    }
    if (refused == 0) return {};
    if (refused > kRefusedShown) lines << QStringLiteral("and %1 more").arg(refused - kRefusedShown);
    const QString head = refused == 1 ? QStringLiteral("1 line is refused and stays as it is:")
                                      : QStringLiteral("%1 lines are refused and stay as they are:").arg(refused);
    return head + "\n" + lines.join('\n');
}

Question BatchQuestion(const std::vector<PlanRow>& rows, bool folders) {
    const Counts counts(rows);
    Question question;
    question.details = RefusedLines(rows);
    const QStringList clauses = Clauses(counts, folders, false);
    if (counts.renames + counts.moves + counts.trashed + counts.deleted == 0) return question;
    question.text = Joined(clauses) + "?";
    question.warning = counts.deleted > 0;
    question.action = counts.deleted > 0   ? QStringLiteral("Delete")
                      : counts.renames > 0 ? QStringLiteral("Rename")
                      : counts.moves > 0   ? QStringLiteral("Move")
                                           : QStringLiteral("Move to Trash");
    return question;
}

QString DoneText(const std::vector<PlanRow>& rows, const RunResult& result, bool folders) {
    if (result.stopped)
        return QStringLiteral("Stopped after %1 of %2 changes; Undo takes them back.").arg(result.applied).arg(result.total);
    if (!result.failures.empty() || result.applied < result.total)
        return QStringLiteral("Applied %1 of %2 changes; %3 failed.")
            .arg(result.applied)
            .arg(result.total)
            .arg(result.total - result.applied);
    const QStringList clauses = Clauses(Counts(rows), folders, true);
    return clauses.isEmpty() ? QStringLiteral("Nothing was changed.") : Joined(clauses) + ".";
}

bool Undoable(const std::vector<PlanRow>& rows) {
    const Counts counts(rows);
    return counts.renames + counts.moves + counts.trashed > 0;
}

Question UndoQuestion(const std::vector<PlanRow>& rows) {
    Counts counts(rows);
    // An undo puts files back where they were: all of it is restoring.
    counts.restored += counts.renames + counts.moves;
    counts.renames = counts.moves = 0;
    Question question;
    question.details = RefusedLines(rows);
    if (counts.restored == 0) return question;
    question.text = "Undo the last batch: " + Joined(Clauses(counts, false, false)).toLower() + "?";
    question.action = QStringLiteral("Undo");
    return question;
}

}  // namespace quil::qt
