// The Linux desktop window: the Windows dialog's parts in the same places,
// over the engine's session, with a live preview of what OK would do, the
// transforms, the Trash and undo. It stays open after a batch, on the new
// listing, with a message bar to undo it. Questions go through an Asker,
// so that tests answer them.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFutureWatcher>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <memory>

#include "engine/batch_flow.h"
#include "engine/metadata/order_listing.h"
#include "engine/metadata/system_reader.h"
#include "ui/qt/asker.h"
#include "ui/qt/elided_label.h"
#include "ui/qt/filter_row.h"
#include "ui/qt/message_bar.h"
#include "ui/qt/names_editor.h"
#include "ui/qt/preview.h"
#include "ui/qt/recipe_menu.h"
#include "ui/qt/transform_bar.h"

namespace quil::qt {

class QuillaneWindow final : public QDialog, private ListedFiles {
    Q_OBJECT
public:
    QuillaneWindow(FileServices& files, TrashService& trash, StateStore& store, ConfigStore& config,
                   QWidget* parent = nullptr);
    ~QuillaneWindow() override;

    // Lists the files and folders picked (none: the current folder), off
    // the UI thread, with a progress display once it takes half a second.
    // False when they cannot be used (the user was told) or the listing was
    // cancelled.
    bool Load(const std::vector<std::string>& paths);

    // For the caller, as quil's: 0 done or nothing to do, 1 a line refused
    // or failed, 2 nothing applied (cancelled, or nothing could be listed).
    int ExitStatus() const;

    void SetAsker(Asker* asker) { asker_ = asker; }
    void SetOpener(std::function<void(const QString&)> opener) { opener_ = std::move(opener); }

    NamesEditor* names() const { return names_; }
    QLineEdit* findField() const { return find_; }
    QLineEdit* withField() const { return with_; }
    TransformBar* transforms() const { return transforms_; }
    ElidedLabel* summary() const { return summary_; }
    QLabel* caretStatus() const { return caretStatus_; }
    MessageBar* messageBar() const { return messageBar_; }
    QPushButton* button(const QString& name) const;
    QCheckBox* permanentBox() const { return permanent_; }
    QCheckBox* hiddenBox() const { return showHidden_; }
    QCheckBox* foldersBox() const { return folders_; }
    QCheckBox* gitBox() const { return git_; }
    QComboBox* orderBox() const { return order_; }
    QCheckBox* reverseBox() const { return reverse_; }
    FilterRow* filterRow() const { return filterRow_; }
    RecipeMenu* recipes() const { return recipes_; }

public slots:
    void reject() override;  // Cancel, Escape and the close box

private:
    void BuildLayout();
    QLayout* BuildButtons();
    void ShowList();
    void ShowCaretStatus();
    void StartPreview();
    void OnOk();
    void OnExecuteFile();
    void OnHelp();
    void OnAbout();
    void OnUndo();
    // What the window's switches and names choose for a batch.
    BatchChoices Choices() const;
    void ShowBatchDone(const Outcome& outcome);
    void Relist(QCheckBox* changed);
    void UpdateUndoButton();
    // Lists what was picked; below root where given and it holds them all.
    bool List(const std::string& root = {});
    // Asks before edited names are lost; true to go on.
    bool MayLoseEdits(const QString& question, const QString& action);
    // The listing in the order Order by chooses; false when stopped.
    bool OrderListing();
    // Orders the list again after Order by changed, once the user has said
    // that edits may be lost.
    void Reorder(QWidget* changed);
    // Orders the listing by order's sort, as Order by would (a recipe's).
    bool OrderBy(const EditSteps& order);
    // Order by's choice as a step; no sort when the listing's own order.
    EditSteps CurrentOrder() const;
    // Lists again after the filter row changed.
    void Refilter();

    // What the transforms read the files with.
    const BatchState& Listed() const override { return session_.state(); }
    FileServices& Files() override { return files_; }
    const metadata::MetadataReader& Reader() override { return reader_.Get(); }
    void RunReading(const std::function<void(StepMonitor&)>& work) override;

    Session session_;
    FileServices& files_;
    ConfigStore& config_;
    metadata::SystemMetadataReader reader_;
    MessageBoxAsker defaultAsker_{this};
    Asker* asker_ = &defaultAsker_;
    std::function<void(const QString&)> opener_;
    std::vector<std::string> paths_;
    // The paths listed before each batch of this window, to list again
    // when it is undone.
    std::vector<std::vector<std::string>> pathsBefore_;

    NamesEditor* names_;
    QLineEdit* find_;
    QLineEdit* with_;
    TransformBar* transforms_;
    QLabel* banner_;
    ElidedLabel* summary_;
    QLabel* caretStatus_;
    MessageBar* messageBar_;
    QCheckBox* showHidden_;
    QCheckBox* folders_;
    QCheckBox* permanent_;
    QCheckBox* git_;
    QComboBox* order_;
    QCheckBox* reverse_;
    QPushButton* undo_;
    FilterRow* filterRow_;
    RecipeMenu* recipes_;

    bool listing_ = false;
    int previousOrder_ = 0;  // Order by's choice before the one being made
    QTimer previewTimer_;
    PreviewPlanner preview_;
    QFutureWatcher<Preview> previewWatcher_;
    quint64 generation_ = 0;

    // What the exit status tells.
    std::vector<Outcome> outcomes_;
    bool editsLost_ = false;
    bool listFailed_ = false;
};

}  // namespace quil::qt
