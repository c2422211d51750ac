#include "editor/PresetBrowser.h"

#include "core/BasePlugin.h"
#include "core/BundleResources.h"
#include "core/PresetCollection.h"
#include "core/XmlHelpers.h"
#include "core/XmlInput.h"
#include "editor/BasePluginEditor.h"
#include "editor/PresetBrowserWindow.h"
#include "editor/QuotedText.h"

#include <utility>

namespace
{
constexpr const char* kDeleteQuestion = "Do you really want to delete selected items?";
constexpr const char* kMoveQuestion = "Do you really want to move selected items?";
constexpr const char* kReplaceQuestion = "Destination directory already contains some of moved presets.\n"
                                         "Do you want to replace them?";
constexpr const char* kMoveIntoItself = "You can not move directory to itself or to its subdirectory.";
constexpr const char* kFolderClash = "Destination directory already contains subdirectory with the same name";

// The values attached to the move question, in this order.
enum MoveFlag
{
    fileClash = 0,
    invalidMove = 1,
    folderClash = 2
};

constexpr int kPresetRatingMarks = 5;
constexpr const char* kRatingAttribute = "rating";
constexpr int kStartRating = 3;
constexpr int kInfoMargin = 10;

juce::Label& setUpInfoLabel(juce::Label& label, float height, bool bold, juce::Justification justification,
                            juce::LookAndFeel& lf)
{
    label.setFont(juce::Font("Tahoma", height, bold ? juce::Font::bold : juce::Font::plain));
    label.setColour(juce::Label::textColourId, juce::Colours::black);
    label.setMinimumHorizontalScale(1.0f);
    label.setJustificationType(justification);
    label.setLookAndFeel(&lf);
    return label;
}
} // namespace

//==============================================================================
PresetBrowser::PresetBrowser(PresetBrowserWindow& w, BasePlugin& p, PresetCollection& c)
    : window(w), plugin(p), collection(c)
{
}

PresetBrowser::~PresetBrowser()
{
    cancelPendingUpdate();
    lastAlert = nullptr;
    for (auto* alert : { deleteConfirmation.get(), moveConfirmation.get(), replaceConfirmation.get(), moveError.get(),
                         failureReport.get(), saveChangesQuestion.get() })
        if (alert != nullptr)
            alert->removeComponentListener(&questionWatch);
    deleteConfirmation.reset();
    moveConfirmation.reset();
    replaceConfirmation.reset();
    moveError.reset();
    failureReport.reset();
    saveChangesQuestion.reset();
}

void PresetBrowser::showFile(const juce::File& file, bool force)
{
    if (file == pendingFile && !force)
        return;
    pendingFile = file;
    triggerAsyncUpdate();
}

bool PresetBrowser::tryToShow(const juce::File& file)
{
    if (file.isDirectory())
    {
        if (!collection.containsFolder(file) || collection.getNodeForFolder(file) == nullptr)
            return false;
        addColumn(std::make_unique<PresetDirectoryColumn>(*this, file));
        return true;
    }
    if (collection.indexOfPresetFile(file) < 0)
        return false;
    addColumn(std::make_unique<PresetInfoColumn>(*this, file));
    return true;
}

void PresetBrowser::handleAsyncUpdate()
{
    if (pendingFile == juce::File())
    {
        reset();
        takeKeyboard(false);
        return;
    }
    // The file itself, or the nearest of its folders that the tree still has.
    const auto root = collection.getRootFolder();
    for (auto f = pendingFile; f == root || f.isAChildOf(root); f = f.getParentDirectory())
    {
        if (tryToShow(f))
        {
            if (auto* last = getLastColumn())
                scrollColumnIntoView(*last);
            takeKeyboard(false);
            startNamingFolder();
            return;
        }
    }
}

void PresetBrowser::startNamingFolder()
{
    const auto folder = std::exchange(folderToName, juce::File());
    auto* column = getLastDirectoryColumn();
    if (folder == juce::File() || column == nullptr)
        return;
    const int row = column->getRowForFile(folder);
    column->getList().scrollToEnsureRowIsOnscreen(row);
    column->startRename(row);
}

bool PresetBrowser::isAsking() const
{
    for (auto* alert : { deleteConfirmation.get(), moveConfirmation.get(), replaceConfirmation.get(), moveError.get(),
                         failureReport.get(), saveChangesQuestion.get() })
        if (alert != nullptr && alert->isVisible())
            return true;
    return false;
}

void PresetBrowser::takeKeyboard(bool force)
{
    if (!isShowing() || isAsking())
        return;
    // A chooser, or the name editor of a rename, keeps the keys; the editor
    // around the browser, or nobody, gives them up.
    auto* focused = juce::Component::getCurrentlyFocusedComponent();
    const bool elsewhere = focused != nullptr && !window.isParentOf(focused) && !focused->isParentOf(&window);
    if (!force && (elsewhere || dynamic_cast<juce::TextEditor*>(focused) != nullptr))
        return;
    if (auto* column = getLastDirectoryColumn())
        setCurrentColumn(column);
}

void PresetBrowser::QuestionWatch::componentVisibilityChanged(juce::Component& question)
{
    if (!question.isVisible())
        browser.takeKeyboard(true);
}

std::unique_ptr<ColumnBrowser::Column> PresetBrowser::createRootColumn()
{
    return std::make_unique<PresetDirectoryColumn>(*this, collection.getRootFolder());
}

void PresetBrowser::columnsRefreshed()
{
    // What the columns show now is what a rebuild of the tree shows again.
    if (auto* info = dynamic_cast<PresetInfoColumn*>(getLastColumn()))
        pendingFile = info->getPresetFile();
    else if (auto* folder = dynamic_cast<PresetDirectoryColumn*>(getLastColumn()))
        pendingFile = folder->getFolder();
    window.updateTitle();
    updateButtons();
}

juce::File PresetBrowser::getSelectedPresetFile() const
{
    if (auto* info = dynamic_cast<PresetInfoColumn*>(getLastColumn()))
        return info->getPresetFile();
    return {};
}

PresetBrowser::PresetDirectoryColumn* PresetBrowser::getLastDirectoryColumn() const
{
    auto* last = getLastColumn();
    if (dynamic_cast<PresetInfoColumn*>(last) != nullptr)
        last = last->getLeftNeighbour();
    return dynamic_cast<PresetDirectoryColumn*>(last);
}

juce::File PresetBrowser::getCurrentFolder() const
{
    if (auto* column = getLastDirectoryColumn())
        return column->getFolder();
    return {};
}

void PresetBrowser::updateButtons()
{
    window.getNewFolderButton().setEnabled(getCurrentFolder() != juce::File());
    window.getCopyButton().setEnabled(canCopy());
    window.getDeleteButton().setEnabled(canDelete());
}

bool PresetBrowser::canCopy() const
{
    auto* column = getLastDirectoryColumn();
    if (column == nullptr || !collection.containsFolder(column->getFolder()))
        return false;
    auto& list = column->getList();
    return list.getNumSelectedRows() == 1 && juce::isPositiveAndBelow(list.getLastRowSelected(), column->getNumRows())
           && !column->isFolderRow(list.getLastRowSelected());
}

PresetBrowser::PresetDirectoryColumn* PresetBrowser::getSelectionColumn() const
{
    for (auto* c = getLastColumn(); c != nullptr; c = c->getLeftNeighbour())
        if (auto* column = dynamic_cast<PresetDirectoryColumn*>(c))
            if (column->getList().getNumSelectedRows() > 0)
                return column;
    return nullptr;
}

bool PresetBrowser::canDelete() const
{
    return getSelectionColumn() != nullptr;
}

juce::Array<juce::File> PresetBrowser::collectSelection(PresetDirectoryColumn* column) const
{
    juce::Array<juce::File> files;
    if (column == nullptr)
        return files;
    const auto rows = column->getList().getSelectedRows();
    for (int i = 0; i < rows.size(); ++i)
    {
        const auto file = column->getFileForRow(rows[i]);
        if (file != juce::File())
            files.add(file);
    }
    return files;
}

std::unique_ptr<Orv::AlertWindow>& PresetBrowser::showAlert(std::unique_ptr<Orv::AlertWindow>& slot,
                                                            Orv::AlertWindow* alert)
{
    if (slot != nullptr)
        slot->removeComponentListener(&questionWatch);
    slot.reset(alert);
    lastAlert = alert;
    alert->addComponentListener(&questionWatch);
    // A child of the browser, it draws with the browser's look-and-feel.
    addChildComponent(alert);
    alert->show();
    return slot;
}

void PresetBrowser::reportFailure(const juce::String& message)
{
    showAlert(failureReport, Orv::AlertWindow::createOk(collection.getName(), message, this));
}

void PresetBrowser::copySelected()
{
    if (!canCopy())
        return;
    const auto files = collectSelection(getLastDirectoryColumn());
    if (files.size() != 1)
        return;
    if (collection.duplicatePreset(files.getFirst()) == juce::File())
        reportFailure("The preset " + quoteForAlert(files.getFirst().getFileNameWithoutExtension())
                      + " could not be copied.");
    refreshColumns();
}

void PresetBrowser::createFolder()
{
    const auto folder = getCurrentFolder();
    if (folder == juce::File())
        return;
    folderToName = collection.createFolder(folder);
    if (folderToName == juce::File())
        reportFailure("A new folder could not be created in " + quoteForAlert(folder.getFileName()) + ".");
    else
        showFile(pendingFile, true); // what is shown stays, the current preset highlighted
}

void PresetBrowser::deleteSelected()
{
    if (!canDelete())
        return;
    itemList = collectSelection(getSelectionColumn());
    showAlert(deleteConfirmation, Orv::AlertWindow::createYesCancel(collection.getName(), kDeleteQuestion, this));
}

void PresetBrowser::dropItems(ColumnBrowser::ListColumn* source, const juce::File& folder)
{
    auto* sourceColumn = dynamic_cast<PresetDirectoryColumn*>(source);
    if (!folder.isDirectory() || sourceColumn == nullptr)
        return;
    destination = folder;
    itemList = collectSelection(sourceColumn);
    if (itemList.isEmpty())
        return;
    const auto& first = itemList.getReference(0);
    if ((first.isDirectory() && first == destination) || first.getParentDirectory() == destination)
        return;

    bool invalid = false, folderExists = false, fileExists = false;
    for (const auto& item : itemList)
    {
        if (item.getParentDirectory() == destination)
            continue;
        if (item.isDirectory())
        {
            invalid = invalid || item == destination || destination.isAChildOf(item);
            folderExists = folderExists || destination.getChildFile(item.getFileName()).isDirectory();
        }
        else if (item.existsAsFile())
        {
            fileExists = fileExists || destination.getChildFile(item.getFileName()).existsAsFile();
        }
    }
    auto* alert = Orv::AlertWindow::createYesCancel(collection.getName(), kMoveQuestion, this);
    alert->addValue(fileExists);
    alert->addValue(invalid);
    alert->addValue(folderExists);
    showAlert(moveConfirmation, alert);
}

void PresetBrowser::loadPresetOrAsk(const juce::File& file)
{
    if (file == juce::File())
        return;
    const bool isLoaded = file == plugin.getCurrentPresetPath(&collection)
                          && !plugin.isDefaultPresetApplied(&collection);
    if (isLoaded || !plugin.isPresetModified(&collection))
    {
        plugin.loadPresetFile(&collection, file);
        return;
    }
    auto* question = Orv::AlertWindow::createSaveOverwriteDiscard(collection.getName(),
                                                                  BasePluginEditor::kSaveChangesQuestion, this);
    question->addValue(file.getFullPathName());
    showAlert(saveChangesQuestion, question);
    // Until the answer the browser shows what is loaded, not the preset asked for.
    showCurrentPreset(file.getParentDirectory());
}

void PresetBrowser::showCurrentPreset(const juce::File& folder)
{
    const auto current = plugin.getCurrentPresetPath(&collection);
    const bool fileLoaded = !plugin.isDefaultPresetApplied(&collection) && collection.indexOfPresetFile(current) >= 0;
    showFile(fileLoaded ? current : folder, true);
}

void PresetBrowser::alertWindowClosed(Orv::AlertWindow* alert, int result)
{
    if (alert == saveChangesQuestion.get())
    {
        const juce::String path = alert->getValue(0).toString();
        // "Overwrite" and "Save as" save as the editor's own question does;
        // without an editor there is nothing but "Discard".
        auto* editor = findParentComponentOfClass<BasePluginEditor>();
        const bool discard = editor != nullptr ? editor->answerSaveChanges(collection.getName(), result)
                                               : result == Orv::AlertWindow::Discard;
        if (discard && juce::File::isAbsolutePath(path))
            plugin.loadPresetFile(&collection, juce::File(path));
        return;
    }
    if (alert == deleteConfirmation.get())
    {
        if (result != Orv::AlertWindow::Yes)
            return;
        const auto folderToShow = itemList.isEmpty() ? juce::File() : itemList.getFirst().getParentDirectory();
        if (!collection.deleteItems(itemList))
            reportFailure(itemList.size() == 1 ? quoteForAlert(itemList.getFirst().getFileNameWithoutExtension())
                                                     + " could not be moved to the trash."
                                               : "Some of the selected items could not be moved to the trash.");
        showFile(folderToShow, false);
    }
    else if (alert == moveConfirmation.get())
    {
        if (result != Orv::AlertWindow::Yes)
            return;
        const bool invalid = (bool) alert->getValue(invalidMove);
        const bool folderExists = (bool) alert->getValue(folderClash);
        if (invalid || folderExists)
        {
            showAlert(moveError, Orv::AlertWindow::createOk(collection.getName(),
                                                            invalid ? kMoveIntoItself : kFolderClash, this));
            return;
        }
        if ((bool) alert->getValue(fileClash))
        {
            showAlert(replaceConfirmation,
                      Orv::AlertWindow::createReplaceCancel(collection.getName(), kReplaceQuestion, this));
            return;
        }
        performMove(false);
    }
    else if (alert == replaceConfirmation.get())
    {
        if (result == Orv::AlertWindow::Replace)
            performMove(true);
    }
}

void PresetBrowser::performMove(bool replace)
{
    // Where the current preset will be after the move, when it moves.
    const auto current = plugin.getCurrentPresetPath(&collection);
    auto moved = current;
    for (const auto& item : itemList)
    {
        if (current.isAChildOf(item))
        {
            moved = destination.getChildFile(item.getFileName()).getChildFile(current.getRelativePathFrom(item));
            break;
        }
        if (current == item)
        {
            moved = destination.getChildFile(current.getFileName());
            break;
        }
    }

    // The collection never replaces a file; "Replace" first sends the presets
    // that are in the way to the trash, where they can still be found.
    if (replace)
    {
        juce::Array<juce::File> replaced;
        for (const auto& item : itemList)
        {
            const auto target = destination.getChildFile(item.getFileName());
            if (item.existsAsFile() && item.getParentDirectory() != destination && target.existsAsFile()
                && target != current)
                replaced.add(target);
        }
        if (!replaced.isEmpty() && !collection.deleteItems(replaced))
        {
            reportFailure("The presets in the way could not be moved to the trash; nothing was moved.");
            showFile(destination, false);
            return;
        }
    }

    const bool allMoved = collection.moveItems(itemList, destination);
    if (moved != current && moved.existsAsFile())
        followCurrentPreset(current, moved);
    if (!allMoved)
        reportFailure("Some of the selected items could not be moved.");
    showFile(moved != current && moved.existsAsFile() ? moved : destination, false);
}

void PresetBrowser::followCurrentPreset(const juce::File& oldFile, const juce::File& newFile)
{
    if (plugin.getCurrentPresetPath(&collection) != oldFile || newFile == juce::File())
        return;
    // Moved or renamed, it is still the preset the plug-in holds, unsaved
    // changes included: it is not loaded again.
    const bool modified = plugin.isPresetModified(&collection);
    plugin.setCurrentPresetPath(&collection, newFile);
    plugin.setCurrentPresetName(&collection, newFile.getFileNameWithoutExtension());
    plugin.setPresetModified(&collection, modified);
}

//==============================================================================
PresetBrowser::PresetDirectoryColumn::PresetDirectoryColumn(PresetBrowser& owner, const juce::File& f)
    : ListColumn(owner), browser(owner), folder(f)
{
    folderIcon = loadBundleResourceAsImage("PresetBrowserFolder.png");
    folderSelectedIcon = loadBundleResourceAsImage("PresetBrowserFolderSelected.png");
    presetIcon = loadBundleResourceAsImage("PresetBrowserPreset.png");
    presetSelectedIcon = loadBundleResourceAsImage("PresetBrowserPresetSelected.png");
}

bool PresetBrowser::PresetDirectoryColumn::isSameBrowser(Column* column) const
{
    auto* other = dynamic_cast<PresetDirectoryColumn*>(column);
    return other != nullptr && &other->browser.plugin == &browser.plugin;
}

juce::File PresetBrowser::PresetDirectoryColumn::getFileForRow(int row) const
{
    auto* node = browser.collection.getNodeForFolder(folder);
    if (node == nullptr || row < 0)
        return {};
    if (row < node->getNumChildren())
        return node->getChildFolder(row);
    return node->getItem(row - node->getNumChildren());
}

bool PresetBrowser::PresetDirectoryColumn::isFolderRow(int row) const
{
    auto* node = browser.collection.getNodeForFolder(folder);
    return node != nullptr && juce::isPositiveAndBelow(row, node->getNumChildren());
}

int PresetBrowser::PresetDirectoryColumn::getRowForFile(const juce::File& file) const
{
    auto* node = browser.collection.getNodeForFolder(folder);
    if (node == nullptr)
        return -1;
    const int child = node->indexOfChild(file);
    return child >= 0 ? child : node->getRowOfItem(file);
}

int PresetBrowser::PresetDirectoryColumn::getNumRows()
{
    auto* node = browser.collection.getNodeForFolder(folder);
    return node != nullptr ? node->getNumChildren() + node->getNumItems() : 0;
}

juce::String PresetBrowser::PresetDirectoryColumn::getRowText(int row)
{
    const auto file = getFileForRow(row);
    if (file == juce::File())
        return {};
    return isFolderRow(row) ? file.getFileName() : file.getFileNameWithoutExtension();
}

juce::Image PresetBrowser::PresetDirectoryColumn::getRowImage(int row, bool selected)
{
    if (getFileForRow(row) == juce::File())
        return {};
    if (isFolderRow(row))
        return selected ? folderSelectedIcon : folderIcon;
    return selected ? presetSelectedIcon : presetIcon;
}

bool PresetBrowser::PresetDirectoryColumn::rowHasChildren(int row)
{
    return isFolderRow(row);
}

std::unique_ptr<ColumnBrowser::Column> PresetBrowser::PresetDirectoryColumn::createColumnForRow(int row)
{
    const auto file = getFileForRow(row);
    if (file == juce::File())
        return nullptr;
    if (isFolderRow(row))
        return std::make_unique<PresetDirectoryColumn>(browser, file);
    return std::make_unique<PresetInfoColumn>(browser, file);
}

std::unique_ptr<ColumnBrowser::Column> PresetBrowser::PresetDirectoryColumn::createParentColumn()
{
    const auto parent = folder.getParentDirectory();
    if (folder == browser.collection.getRootFolder() || !browser.collection.containsFolder(parent))
        return nullptr;
    return std::make_unique<PresetDirectoryColumn>(browser, parent);
}

bool PresetBrowser::PresetDirectoryColumn::followsColumn(Column* column)
{
    return isSameBrowser(column) && folder.isAChildOf(static_cast<PresetDirectoryColumn*>(column)->folder);
}

bool PresetBrowser::PresetDirectoryColumn::isChildOf(Column* column)
{
    return isSameBrowser(column)
           && folder.getParentDirectory() == static_cast<PresetDirectoryColumn*>(column)->folder;
}

void PresetBrowser::PresetDirectoryColumn::refresh()
{
    ListColumn::refresh();
    // The row that leads to the column on the right is the selected one.
    juce::File shownRight;
    if (auto* right = dynamic_cast<PresetDirectoryColumn*>(getRightNeighbour()))
        shownRight = right->getFolder();
    else if (auto* info = dynamic_cast<PresetInfoColumn*>(getRightNeighbour()))
        shownRight = info->getPresetFile();
    if (shownRight == juce::File())
        return;
    const int row = getRowForFile(shownRight);
    if (row >= 0 && !getList().isRowSelected(row))
        selectRow(row, true);
}

void PresetBrowser::PresetDirectoryColumn::rowSelected(int row)
{
    // Selecting a preset loads it.
    if (!isFolderRow(row))
        browser.loadPresetOrAsk(getFileForRow(row));
}

void PresetBrowser::PresetDirectoryColumn::rowNameChanged(int row, const juce::String& newName)
{
    const auto file = getFileForRow(row);
    if (file == juce::File() || newName == getRowText(row))
        return;
    auto& collection = browser.collection;
    if (isFolderRow(row))
    {
        const auto renamed = collection.renameFolder(file, newName);
        if (renamed == juce::File())
            browser.reportFailure("The folder " + quoteForAlert(file.getFileName()) + " could not be renamed to "
                                  + quoteForAlert(newName) + ".");
        else
        {
            const auto current = browser.plugin.getCurrentPresetPath(&collection);
            if (current.isAChildOf(file))
                browser.followCurrentPreset(current, renamed.getChildFile(current.getRelativePathFrom(file)));
        }
        // What is shown stays shown, under the new name when it lies in the folder.
        auto shown = browser.pendingFile;
        if (renamed != juce::File() && (shown == file || shown.isAChildOf(file)))
            shown = renamed.getChildFile(shown.getRelativePathFrom(file));
        browser.showFile(shown, true);
        return;
    }

    const auto renamed = collection.renamePreset(file, newName);
    if (renamed == juce::File())
    {
        browser.reportFailure("The preset " + quoteForAlert(file.getFileNameWithoutExtension())
                              + " could not be renamed to " + quoteForAlert(newName) + ".");
        browser.showFile(file, true);
        return;
    }
    browser.showFile(renamed, true);
    if (browser.plugin.getCurrentPresetPath(&collection) == file)
        browser.followCurrentPreset(file, renamed);
    else
        browser.loadPresetOrAsk(renamed);
}

bool PresetBrowser::PresetDirectoryColumn::canDropOntoColumn(ListColumn* source)
{
    return isSameBrowser(source);
}

bool PresetBrowser::PresetDirectoryColumn::canDropInto(ListColumn* source, int row)
{
    return isSameBrowser(source) && isFolderRow(row);
}

void PresetBrowser::PresetDirectoryColumn::dropOntoColumn(ListColumn* source)
{
    browser.dropItems(source, folder);
}

void PresetBrowser::PresetDirectoryColumn::dropInto(ListColumn* source, int row)
{
    browser.dropItems(source, getFileForRow(row));
}

//==============================================================================
PresetBrowser::PresetInfoColumn::PresetInfoColumn(PresetBrowser& owner, const juce::File& file)
    : Column(owner), browser(owner), presetFile(file)
{
    setUpInfoLabel(nameLabel, 20.0f, true, juce::Justification::centredTop, lf);
    setUpInfoLabel(authorCaption, 13.0f, false, juce::Justification::centred, lf).setText("Author:",
                                                                                          juce::dontSendNotification);
    setUpInfoLabel(authorLabel, 13.5f, true, juce::Justification::centred, lf);
    setUpInfoLabel(ratingCaption, 13.0f, false, juce::Justification::centred, lf).setText("My rating:",
                                                                                          juce::dontSendNotification);
    // A long name takes the label's second line rather than being cut.
    nameLabel.setBorderSize({});
    for (auto* label : { &nameLabel, &authorCaption, &authorLabel, &ratingCaption })
        addAndMakeVisible(label);

    picture = loadBundleResourceAsImage("PresetBrowserPicture.png");
    rating.setMaximum(kPresetRatingMarks);
    rating.setRating(kStartRating, false);
    rating.addListener(this);
    addAndMakeVisible(rating);
}

PresetBrowser::PresetInfoColumn::~PresetInfoColumn()
{
    rating.removeListener(this);
    for (auto* label : { &nameLabel, &authorCaption, &authorLabel, &ratingCaption })
        label->setLookAndFeel(nullptr);
}

bool PresetBrowser::PresetInfoColumn::followsColumn(Column* column)
{
    auto* other = dynamic_cast<PresetDirectoryColumn*>(column);
    return other != nullptr && &other->getBrowser() == &browser && presetFile.isAChildOf(other->getFolder());
}

bool PresetBrowser::PresetInfoColumn::isChildOf(Column* column)
{
    auto* other = dynamic_cast<PresetDirectoryColumn*>(column);
    return other != nullptr && &other->getBrowser() == &browser
           && presetFile.getParentDirectory() == other->getFolder();
}

std::unique_ptr<ColumnBrowser::Column> PresetBrowser::PresetInfoColumn::createParentColumn()
{
    const auto parent = presetFile.getParentDirectory();
    if (!browser.collection.containsFolder(parent))
        return nullptr;
    return std::make_unique<PresetDirectoryColumn>(browser, parent);
}

void PresetBrowser::PresetInfoColumn::refresh()
{
    nameLabel.setText(presetFile.getFileNameWithoutExtension(), juce::dontSendNotification);
    auto* preset = browser.collection.getPresetForFile(presetFile, &browser.plugin.getParameterManager());
    if (preset == nullptr)
        return;
    // Only the user's own change of the rating is written: looking at a preset
    // never rewrites its file.
    rating.setRating(preset->getRating(), false);
    authorLabel.setText(preset->getAuthor(), juce::dontSendNotification);
}

void PresetBrowser::PresetInfoColumn::ratingChanged(RatingComponent*)
{
    auto* preset = browser.collection.getPresetForFile(presetFile, &browser.plugin.getParameterManager());
    if (preset == nullptr)
        return;
    // Only the rating is written into the file as it is: a whole save of the
    // preset as this build read it would drop what it does not know of the
    // file (a newer version's parameters, other programs' data).
    auto xml = XmlInput::readFile(presetFile, XmlInput::Kind::preset);
    if (xml != nullptr)
        xml->setAttribute(kRatingAttribute, rating.getRating());
    if (xml == nullptr || !writeXmlFile(*xml, presetFile))
    {
        rating.setRating(preset->getRating(), false);
        browser.reportFailure("The rating of " + quoteForAlert(presetFile.getFileNameWithoutExtension())
                              + " could not be saved.");
        return;
    }
    preset->setRating(rating.getRating());
}

void PresetBrowser::PresetInfoColumn::resized()
{
    const int w = juce::jmax(0, getContentWidth() - 2 * kInfoMargin);
    const int h = juce::jmax(0, getHeight() - 2 * kInfoMargin);
    nameLabel.setBounds(kInfoMargin, h / 4 - 20, w, 40);
    ratingCaption.setBounds(kInfoMargin, h / 2 - 15, w, 15);
    rating.setTopLeftPosition((w - rating.getWidth()) / 2 + kInfoMargin, ratingCaption.getBottom());
    authorCaption.setBounds(kInfoMargin, (h / 5) * 4, w, 15);
    authorLabel.setBounds(kInfoMargin, authorCaption.getBottom(), w, 15);
}

void PresetBrowser::PresetInfoColumn::paint(juce::Graphics& g)
{
    Column::paint(g);
    if (picture.isValid())
        g.drawImageAt(picture, (getContentWidth() - picture.getWidth()) / 2, getHeight() - picture.getHeight());
}
