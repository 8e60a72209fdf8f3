// The Linux desktop window: the Windows dialog's parts in the same places,
// over the engine's session, with a live preview of what OK would do, the
// Trash and undo. Questions go through an Asker, so that tests answer them.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QFutureWatcher>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <memory>

#include "engine/session.h"
#include "ui/qt/asker.h"
#include "ui/qt/names_edit.h"

namespace quil::qt {

struct Preview {
    std::vector<LineStatus> statuses;
    QString summary;
    quint64 generation = 0;
};

class QuillaneWindow final : public QDialog {
    Q_OBJECT
public:
    QuillaneWindow(FileServices& files, TrashService& trash, StateStore& store, QWidget* parent = nullptr);
    ~QuillaneWindow() override;

    // Lists the files and folders picked (none: the current folder), off
    // the UI thread, with a progress display once it takes half a second.
    // False when they cannot be used (the user was told) or the listing was
    // cancelled.
    bool Load(const std::vector<std::string>& paths);

    void SetAsker(Asker* asker) { asker_ = asker; }
    void SetOpener(std::function<void(const QString&)> opener) { opener_ = std::move(opener); }

    NamesEdit* names() const { return names_; }
    QLineEdit* findField() const { return find_; }
    QLineEdit* withField() const { return with_; }
    QLabel* summary() const { return summary_; }
    QPushButton* button(const QString& name) const;
    QCheckBox* permanentBox() const { return permanent_; }
    QCheckBox* hiddenBox() const { return showHidden_; }
    QCheckBox* foldersBox() const { return folders_; }
    quint64 previewsShown() const { return previewsShown_; }

public slots:
    void reject() override;  // Cancel, Escape and the close box

private:
    void BuildLayout();
    void ShowList();
    void OnNamesChanged();
    void StartPreview();
    void OnReplace();
    void OnOk();
    void OnExecuteFile();
    void OnHelp();
    void OnAbout();
    void OnUndo();
    void Relist(QCheckBox* changed);
    void UpdateUndoButton();
    bool List();

    Session session_;
    FileServices& files_;
    MessageBoxAsker defaultAsker_{this};
    Asker* asker_ = &defaultAsker_;
    std::function<void(const QString&)> opener_;
    std::vector<std::string> paths_;

    NamesEdit* names_;
    QLineEdit* find_;
    QLineEdit* with_;
    QLabel* banner_;
    QLabel* summary_;
    QCheckBox* showHidden_;
    QCheckBox* folders_;
    QCheckBox* permanent_;
    QPushButton* undo_;

    int replaced_ = 0;
    bool reverting_ = false;
    QTimer previewTimer_;
    std::shared_ptr<const BatchState> listed_;  // what the preview plans against
    QFutureWatcher<Preview> previewWatcher_;
    quint64 generation_ = 0;
    quint64 previewsShown_ = 0;
};

}  // namespace quil::qt
