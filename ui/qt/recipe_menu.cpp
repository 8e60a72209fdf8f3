#include "ui/qt/recipe_menu.h"

#include <QFile>
#include <QMenu>

#include "engine/list_text.h"
#include "engine/name_map.h"

namespace quil::qt {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

RecipeMenu::RecipeMenu(ConfigStore& config, TransformBar& transforms, RecipeWindow window, QWidget* parent)
    : QToolButton(parent), config_(config), transforms_(transforms), window_(std::move(window)) {
    setText(QStringLiteral("Recipes"));
    setObjectName(QStringLiteral("Recipes"));
    setToolTip(
        QStringLiteral("Apply a saved chain of transforms, save the ones "
                       "applied, or take names from a list (Ctrl+R)"));
    setPopupMode(QToolButton::InstantPopup);
    setMenu(new QMenu(this));
    // Read when opened: quil or a text editor may have changed the file.
    connect(menu(), &QMenu::aboutToShow, this, &RecipeMenu::Fill);
    Fill();
}

void RecipeMenu::Fill() {
    menu()->clear();
    std::vector<Recipe> recipes;
    QString problem;
    if (!Load(recipes, problem)) menu()->addAction(problem)->setEnabled(false);
    for (const Recipe& recipe : recipes)
        connect(menu()->addAction(Q(recipe.name)), &QAction::triggered, this, [this, recipe] { Apply(recipe); });
    if (!menu()->isEmpty()) menu()->addSeparator();
    connect(menu()->addAction(QStringLiteral("Save steps as recipe...")), &QAction::triggered, this,
            &RecipeMenu::SaveSteps);
    connect(menu()->addAction(QStringLiteral("Rename from list...")), &QAction::triggered, this,
            &RecipeMenu::RenameFromList);
}

bool RecipeMenu::Load(std::vector<Recipe>& recipes, QString& problem) {
    std::string text, error;
    RecipeProblem where;
    if (!config_.Read(kRecipesFile, text, error))
        problem = Q(error);
    else if (!ParseRecipes(text, recipes, where))
        problem = Q(ProblemText(config_.Where(kRecipesFile), where));
    return problem.isEmpty();
}

void RecipeMenu::Apply(const Recipe& recipe) {
    const EditSteps order = OrderOf(recipe.steps);
    if (order.sort && !window_.reorder(order)) return;
    transforms_.ApplySteps(recipe.steps);
}

void RecipeMenu::SaveSteps() {
    std::vector<EditSteps> steps = transforms_.RecordedSteps();
    if (const EditSteps order = window_.order(); order.sort) steps.insert(steps.begin(), order);
    Asker& asker = window_.asker();
    if (steps.empty()) {
        asker.Tell(QStringLiteral("No transform was applied since the list was made or the steps were last saved."),
                   Asker::Kind::Information);
        return;
    }
    const QString name = asker.AskText(QStringLiteral("Save the %1 steps as the recipe:").arg(steps.size()), {});
    if (name.isEmpty()) return;  // cancelled
    const Recipe recipe{name.trimmed().toStdString(), steps};
    std::string text, error;
    std::vector<Recipe> recipes;
    QString problem;
    if (!ValidRecipeName(recipe.name))
        problem = "'" + name + "' cannot name a recipe: no brackets and no line break.";
    else if (!Load(recipes, problem))  // a file that does not read as recipes is not written over
        problem += "\nThe recipes are left as they are.";
    else if (!Savable(recipe, error) || !config_.Read(kRecipesFile, text, error) ||
             !config_.Write(kRecipesFile, WithRecipe(text, recipe), error))
        problem = Q(error);
    if (!problem.isEmpty()) {
        asker.Tell(problem, Asker::Kind::Error);  // the steps stay, to be saved again
        return;
    }
    transforms_.ForgetRecorded();  // the next save starts from here
}

void RecipeMenu::RenameFromList() {
    Asker& asker = window_.asker();
    if (window_.listed().count == 0) {
        asker.Tell(QStringLiteral("Nothing is listed to rename."), Asker::Kind::Information);
        return;
    }
    const QString path = asker.AskFile(QStringLiteral("Rename from list"));
    if (path.isEmpty()) return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        asker.Tell("'" + path + "' cannot be read: " + file.errorString(), Asker::Kind::Error);
        return;
    }
    const QByteArray bytes = file.readAll();
    const BatchState& listed = window_.listed();
    std::vector<std::string> lines = window_.lines();
    const MappedNames mapped = MapNames(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                                        MapFormatOf(QFile::encodeName(path).toStdString()), listed, lines);
    if (!mapped.error.empty()) {
        asker.Tell(Q(mapped.error) + ". No name was changed.", Asker::Kind::Error);
        return;
    }
    if (!mapped.refused.empty()) {
        QString details;
        for (const MapRefusal& refusal : mapped.refused)
            details += QStringLiteral("Row %1: %2\n").arg(refusal.row).arg(Q(refusal.reason));
        const int good = mapped.rows - static_cast<int>(mapped.refused.size());
        if (!asker.Ask(
                {details.trimmed(), QStringLiteral("Rename by the %1 good rows?").arg(good), QStringLiteral("Rename")}))
            return;
    }
    transforms_.SetAllLines(lines);
}

void RecipeMenu::OfferFolderRecipe(FileReader& reader, const std::string& root, char separator) {
    const FolderRecipe own = LookForFolderRecipe(reader, root, separator);
    Asker& asker = window_.asker();
    if (own.state == FolderRecipe::State::Unusable)
        asker.Tell(Q(own.error) + "\nThe folder's recipe is left out.", Asker::Kind::Error);
    if (own.state != FolderRecipe::State::Found) return;
    QString steps;
    for (const EditSteps& step : own.recipe.steps)
        for (const std::vector<std::string>& words : StepLines(step)) steps += Q(QuotedWords(words)) + "\n";
    if (asker.Ask({steps.trimmed(), QStringLiteral("This folder has a recipe: Apply it?"), QStringLiteral("Apply")}))
        Apply(own.recipe);
}

}  // namespace quil::qt
