// The window's Recipes button: the saved recipes, each applied to the names
// as one edit; "Save steps as recipe..." for the transforms applied since
// the listing; and "Rename from list..." for names from a CSV or a list.
// The recipes are the ones quil runs, in the same file.
#pragma once

#include <QToolButton>
#include <functional>

#include "engine/recipes.h"
#include "platform/config_store.h"
#include "ui/qt/asker.h"
#include "ui/qt/transform_bar.h"

namespace quil::qt {

// What the menu needs of the window.
struct RecipeWindow {
    std::function<Asker&()> asker;
    std::function<const BatchState&()> listed;
    // The names as the box shows them, line k for slot k + 1.
    std::function<std::vector<std::string>()> lines;
    // The listing's order now, as a step (no sort when as listed).
    std::function<EditSteps()> order;
    // Orders the listing by the step's sort first; false when the user kept
    // the edits or stopped the reading.
    std::function<bool(const EditSteps& order)> reorder;
};

class RecipeMenu final : public QToolButton {
    Q_OBJECT
public:
    RecipeMenu(ConfigStore& config, TransformBar& transforms, RecipeWindow window, QWidget* parent = nullptr);

    void Apply(const Recipe& recipe);
    void SaveSteps();
    void RenameFromList();
    // Offers the folder's own recipe after a listing; applied as an edit
    // only (the batch still waits for OK).
    void OfferFolderRecipe(FileReader& reader, const std::string& root, char separator);

private:
    void Fill();
    // The user's recipes; false (the user told) when they cannot be read.
    bool Load(std::vector<Recipe>& recipes, QString& problem);

    ConfigStore& config_;
    TransformBar& transforms_;
    RecipeWindow window_;
};

}  // namespace quil::qt
