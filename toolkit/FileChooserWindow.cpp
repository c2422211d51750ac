#include "toolkit/FileChooserWindow.h"

#include "toolkit/DefaultLookAndFeel.h"

namespace
{
constexpr int kButtonSpacing = 6;
constexpr int kGapAboveButtons = 8;
constexpr int kControlHeight = 22;
constexpr int kControlGap = 6;
constexpr int kUpButtonWidth = 34;
constexpr int kIconWidth = 26;
constexpr int kTextIndent = 4;
// Sizes and dates need this much width beside the names.
constexpr int kDetailsMinimumWidth = 450;
const char* const kFileNameCaption = "File name:";

juce::String defaultTitle(bool saveMode)
{
    return saveMode ? "Save file" : "Open file";
}
} // namespace

//==============================================================================
// The toolkit's look with what the browser needs beyond it: rows that show
// the files (the toolkit's own browsers draw theirs themselves) and a layout
// that lines the browser up with the window's buttons.
class FileChooserWindow::BrowserLook : public DefaultLookAndFeel
{
public:
    BrowserLook()
    {
        // A selected row as the preset browser draws one: white on dark grey.
        setColour(juce::DirectoryContentsDisplayComponent::highlightColourId, findColour(columnSelectedRowColourId));
        setColour(juce::DirectoryContentsDisplayComponent::highlightedTextColourId, juce::Colours::white);
        setColour(juce::DirectoryContentsDisplayComponent::textColourId, juce::Colours::black);
        setColour(juce::ListBox::backgroundColourId, findColour(columnFillColourId));
        setColour(juce::ListBox::outlineColourId, findColour(panelFrameColourId));
        setColour(juce::FileBrowserComponent::currentPathBoxBackgroundColourId, juce::Colours::white);
        setColour(juce::FileBrowserComponent::currentPathBoxTextColourId, juce::Colours::black);
        setColour(juce::FileBrowserComponent::currentPathBoxArrowColourId, juce::Colours::black);
        setColour(juce::FileBrowserComponent::filenameBoxBackgroundColourId, juce::Colours::white);
        setColour(juce::FileBrowserComponent::filenameBoxTextColourId, juce::Colours::black);
    }

    void drawFileBrowserRow(juce::Graphics& g, int width, int height, const juce::File&, const juce::String& filename,
                            juce::Image* icon, const juce::String& fileSizeDescription,
                            const juce::String& fileTimeDescription, bool isDirectory, bool isItemSelected, int,
                            juce::DirectoryContentsDisplayComponent& list) override
    {
        auto* listComponent = dynamic_cast<juce::Component*>(&list);
        auto colour = [&](int id) { return listComponent != nullptr ? listComponent->findColour(id) : findColour(id); };

        if (isItemSelected)
            g.fillAll(colour(juce::DirectoryContentsDisplayComponent::highlightColourId));

        const juce::Rectangle<float> iconArea(2.0f, 2.0f, (float) kIconWidth - 4.0f, (float) height - 4.0f);
        const auto placement = juce::RectanglePlacement::centred | juce::RectanglePlacement::onlyReduceInSize;
        if (icon != nullptr && icon->isValid())
            g.drawImageWithin(*icon, 2, 2, kIconWidth - 4, height - 4, placement);
        else if (auto* drawable = isDirectory ? getDefaultFolderImage() : getDefaultDocumentFileImage())
            drawable->drawWithin(g, iconArea, placement, 1.0f);

        const auto textColour = colour(isItemSelected ? juce::DirectoryContentsDisplayComponent::highlightedTextColourId
                                                      : juce::DirectoryContentsDisplayComponent::textColourId);
        g.setColour(textColour);
        g.setFont(getDefaultFont());
        const int nameX = kIconWidth + kTextIndent;
        int nameRight = width - kTextIndent;
        if (width > kDetailsMinimumWidth && !isDirectory)
        {
            const int sizeX = juce::roundToInt((float) width * 0.62f);
            const int dateX = juce::roundToInt((float) width * 0.74f);
            nameRight = sizeX;
            // Sizes and dates recede beside the names, but not on a selected row's dark fill.
            g.setColour(isItemSelected ? textColour : textColour.withMultipliedAlpha(0.7f));
            g.drawFittedText(fileSizeDescription, sizeX, 0, dateX - sizeX - 2 * kTextIndent, height,
                             juce::Justification::centredRight, 1);
            g.drawFittedText(fileTimeDescription, dateX, 0, width - 2 * kTextIndent - dateX, height,
                             juce::Justification::centredRight, 1);
            g.setColour(textColour);
        }
        g.drawFittedText(filename, nameX, 0, juce::jmax(0, nameRight - nameX), height,
                         juce::Justification::centredLeft, 1);
    }

    void layoutFileBrowserComponent(juce::FileBrowserComponent& browser,
                                    juce::DirectoryContentsDisplayComponent* list, juce::FilePreviewComponent*,
                                    juce::ComboBox* pathBox, juce::TextEditor* fileNameField,
                                    juce::Button* upButton) override
    {
        auto area = browser.getLocalBounds();
        auto top = area.removeFromTop(kControlHeight);
        area.removeFromTop(kControlGap);
        if (upButton != nullptr)
        {
            upButton->setBounds(top.removeFromRight(kUpButtonWidth));
            top.removeFromRight(kControlGap);
        }
        pathBox->setBounds(top);

        auto bottom = area.removeFromBottom(kControlHeight);
        area.removeFromBottom(kControlGap);
        const int captionWidth = getDefaultFont().getStringWidth(kFileNameCaption) + 2 * kTextIndent;
        bottom.removeFromLeft(juce::jmin(bottom.getWidth(), captionWidth));
        fileNameField->setBounds(bottom);

        if (auto* listComponent = dynamic_cast<juce::Component*>(list))
            listComponent->setBounds(area);
    }
};

//==============================================================================
FileChooserWindow::FileChooserWindow(const FileChooserLauncher::Request& request, Finished whenFinished)
    : saveMode(request.mode == FileChooserLauncher::saveFile),
      warnAboutOverwriting(request.warnAboutOverwriting),
      finished(std::move(whenFinished)),
      look(std::make_unique<BrowserLook>()),
      filter(request.pattern.isEmpty() ? juce::String("*") : request.pattern, "*", request.title)
{
    setTitle(request.title.isEmpty() ? defaultTitle(saveMode) : request.title);

    // Without a file to start from, the user's home rather than the host's
    // working folder.
    const auto start = request.initialFile == juce::File()
                           ? juce::File::getSpecialLocation(juce::File::userHomeDirectory)
                           : request.initialFile;
    const int flags = juce::FileBrowserComponent::canSelectFiles
                      | (saveMode ? juce::FileBrowserComponent::saveMode : juce::FileBrowserComponent::openMode);
    browser = std::make_unique<juce::FileBrowserComponent>(flags, start, &filter, nullptr);
    browser->setLookAndFeel(look.get());
    browser->setFilenameBoxLabel(kFileNameCaption);
    browser->addListener(this);
    addAndMakeVisible(*browser);
    if (auto* field = findFileNameField())
        field->onEscapeKey = [this] { cancel(); };

    buttonRow.setSpacing(kButtonSpacing);
    for (auto* button : { &okButton, &cancelButton })
    {
        button->changeWidthToFitText(kButtonHeight);
        button->setWantsKeyboardFocus(false);
        button->addListener(this);
        buttonRow.addAndMakeVisible(button);
    }
    // The wider of the two sets both widths, so the pair looks like one row.
    const int buttonWidth = juce::jmax(okButton.getWidth(), cancelButton.getWidth());
    okButton.setSize(buttonWidth, kButtonHeight);
    cancelButton.setSize(buttonWidth, kButtonHeight);
    addAndMakeVisible(buttonRow);
    setDefaultButton(&okButton);
    setCancelButton(&cancelButton);
    selectionChanged();
}

FileChooserWindow::~FileChooserWindow()
{
    // The alert goes first: it answers to this window.
    overwriteAlert.reset();
    for (auto* button : { &okButton, &cancelButton })
        button->removeListener(this);
    buttonRow.removeAllChildren();
    browser->removeListener(this);
    browser->setLookAndFeel(nullptr);
    browser.reset();
}

juce::TextEditor* FileChooserWindow::findFileNameField() const
{
    for (auto* child : browser->getChildren())
        if (auto* field = dynamic_cast<juce::TextEditor*>(child))
            return field;
    return nullptr;
}

void FileChooserWindow::focusFirstControl()
{
    if (!isShowing())
        return;
    auto* field = findFileNameField();
    if (saveMode && field != nullptr)
        field->grabKeyboardFocus();
    else if (auto* list = dynamic_cast<juce::Component*>(browser->getDisplayComponent()))
        list->grabKeyboardFocus();
}

bool FileChooserWindow::isChoosable(const juce::File& file) const
{
    if (saveMode)
        return !file.isDirectory() && file.getParentDirectory().isDirectory();
    return file.existsAsFile();
}

bool FileChooserWindow::opensFolder(const juce::File& file) const
{
    return file.isDirectory() && file != browser->getRoot();
}

void FileChooserWindow::chooseSelectedFile()
{
    chooseFile(browser->getSelectedFile(0));
}

void FileChooserWindow::chooseFile(const juce::File& file)
{
    if (hasFinished() || (overwriteAlert != nullptr && overwriteAlert->isVisible()))
        return;
    if (opensFolder(file))
    {
        browser->setRoot(file);
        return;
    }
    if (!isChoosable(file))
        return;
    if (saveMode && warnAboutOverwriting && file.existsAsFile())
    {
        pendingFile = file;
        overwriteAlert.reset(Orv::AlertWindow::createYesNo(
            getTitle(), file.getFileName().quoted() + " already exists. Do you want to replace it?", this));
        addChildComponent(*overwriteAlert);
        // Placed by the editor when there is one; else in the middle of this window.
        overwriteAlert->setCentrePosition(getLocalBounds().getCentre());
        overwriteAlert->show();
        return;
    }
    finish(file);
}

void FileChooserWindow::cancel()
{
    finish({});
}

void FileChooserWindow::finish(const juce::File& file)
{
    if (hasFinished())
        return;
    if (overwriteAlert != nullptr)
        overwriteAlert->hide();
    hide();
    // Taken out first: the answer may close or replace this window.
    auto answer = std::move(finished);
    finished = nullptr;
    answer(file);
}

void FileChooserWindow::alertWindowClosed(Orv::AlertWindow* alert, int result)
{
    if (alert != overwriteAlert.get())
        return;
    if (result == Orv::AlertWindow::Yes)
        finish(pendingFile);
    else
        focusFirstControl();
}

void FileChooserWindow::buttonClicked(juce::Button* button)
{
    if (button == &okButton)
        chooseSelectedFile();
    else if (button == &cancelButton || button == &getCloseButton())
        cancel();
}

void FileChooserWindow::parentHierarchyChanged()
{
    WindowComponent::parentHierarchyChanged();
    // Takes the look of the editor it now lives in.
    sendLookAndFeelChange();
}

void FileChooserWindow::resized()
{
    WindowComponent::resized();
    if (browser == nullptr)
        return;
    auto content = getContentArea();
    const int rowHeight = juce::jmin(content.getHeight(), buttonRow.getHeight());
    buttonRow.setTopRightPosition(content.getRight(), content.getBottom() - rowHeight);
    content.removeFromBottom(juce::jmin(content.getHeight(), rowHeight + kGapAboveButtons));
    browser->setBounds(content);
}

void FileChooserWindow::childBoundsChanged(juce::Component* child)
{
    // The row sizes itself to its buttons.
    if (child == &buttonRow)
        resized();
}

void FileChooserWindow::selectionChanged()
{
    const auto file = browser->getSelectedFile(0);
    okButton.setEnabled(isChoosable(file) || opensFolder(file));
}

void FileChooserWindow::fileDoubleClicked(const juce::File& file)
{
    chooseFile(file);
}

void FileChooserWindow::browserRootChanged(const juce::File&)
{
    selectionChanged();
}
