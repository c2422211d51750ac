#include "editor/PresetsSettingsComponent.h"

#include "core/BasePlugin.h"

namespace
{
juce::Font lineFont()
{
    return juce::Font("Tahoma", 13.0f, juce::Font::plain);
}

// A preset as the lines name it: its path in the collection without extension.
juce::String presetDisplayName(const PresetCollection& collection, const juce::File& file)
{
    const auto path = collection.getDisplayPath(file);
    const int dot = path.lastIndexOfChar('.');
    return dot >= 0 ? path.substring(0, dot) : juce::String();
}

juce::String presetCountText(int count)
{
    return juce::String(count) + (count == 1 ? " preset" : " presets");
}
} // namespace

//==============================================================================
PresetsSettingsComponent::UpdateAuthorWindow::UpdateAuthorWindow(BasePlugin& pluginToUse)
    : juce::Thread("UpdateAuthorThread"), plugin(pluginToUse)
{
    setSize(kWidth, kHeight);
    setTitle("Updating own presets");

    for (auto* button : { &cancelButton, &okButton })
    {
        button->setMouseClickGrabsKeyboardFocus(false);
        button->setWantsKeyboardFocus(false);
        button->addListener(this);
        buttonRow.addAndMakeVisible(button);
    }
    buttonRow.setSpacing(kGap);
    addAndMakeVisible(buttonRow);
    fitButtons();
    setDefaultButton(&okButton);

    for (auto* line : { &messageLine, &progressLine, &currentFileLine })
    {
        line->setFont(lineFont());
        line->setJustificationType(juce::Justification::centredLeft);
        addAndMakeVisible(line);
    }
}

PresetsSettingsComponent::UpdateAuthorWindow::~UpdateAuthorWindow()
{
    stopTimer();
    signalThreadShouldExit();
    stopThread(kStopTimeoutMs);
    cancelButton.removeListener(this);
    okButton.removeListener(this);
}

void PresetsSettingsComponent::UpdateAuthorWindow::start()
{
    if (isThreadRunning())
    {
        // A stopping run still writes files: show it rather than start another
        // over the same files.
        show();
        startTimer(kTimerIntervalMs);
        return;
    }

    work.clear();
    hasCollections = false;
    for (int i = 0; i < plugin.getNumPresetCollections(); ++i)
    {
        if (auto* collection = plugin.getPresetCollectionAt(i))
        {
            hasCollections = true;
            CollectionFiles entry;
            entry.collectionIndex = i;
            for (int f = 0; f < collection->getNumPresets(); ++f)
                entry.files.add(collection->getPresetFile(f));
            work.push_back(std::move(entry));
        }
    }
    {
        const juce::ScopedLock sl(lock);
        currentFile.clear();
        failedFiles.clear();
    }
    progress = 0;
    completed = 0;
    numFailures = 0;

    cancelButton.setEnabled(true);
    okButton.setEnabled(false);
    setCancelButton(&cancelButton);
    progressLine.setVisible(true);
    currentFileLine.setVisible(true);
    messageLine.setText("Operation can take a while. Please wait...", juce::dontSendNotification);
    progressLine.setText("Progress: 0%", juce::dontSendNotification);
    currentFileLine.setText({}, juce::dontSendNotification);

    show();
    startThread(juce::Thread::Priority::low);
    startTimer(kTimerIntervalMs);
}

void PresetsSettingsComponent::UpdateAuthorWindow::run()
{
    completed = 0;
    int total = 0;
    for (const auto& entry : work)
        total += entry.files.size();

    if (threadShouldExit())
        return;
    if (!hasCollections)
    {
        completed = 1;
        return;
    }

    int done = 0;
    for (const auto& entry : work)
    {
        if (threadShouldExit())
            return;
        auto* collection = plugin.getPresetCollectionAt(entry.collectionIndex);
        if (collection == nullptr)
            continue;
        if (threadShouldExit())
            return;
        for (const auto& file : entry.files)
        {
            if (!plugin.updatePresetAuthor(file))
            {
                auto name = presetDisplayName(*collection, file);
                const juce::ScopedLock sl(lock);
                failedFiles.add(name.isNotEmpty() ? name : file.getFileName());
                numFailures = failedFiles.size();
            }
            if (file.existsAsFile())
                setCurrentFile(presetDisplayName(*collection, file));

            ++done;
            progress = juce::jlimit(0, 100, (int) (100.0 * done / juce::jmax(1, total)));
            if (threadShouldExit())
            {
                collection->rescan();
                return;
            }
        }
        collection->rescan();
    }
    completed = 1;
}

void PresetsSettingsComponent::UpdateAuthorWindow::setCurrentFile(const juce::String& text)
{
    const juce::ScopedLock sl(lock);
    currentFile = text;
}

juce::String PresetsSettingsComponent::UpdateAuthorWindow::getCurrentFile() const
{
    const juce::ScopedLock sl(lock);
    return currentFile;
}

juce::StringArray PresetsSettingsComponent::UpdateAuthorWindow::getFailedFiles() const
{
    const juce::ScopedLock sl(lock);
    return failedFiles;
}

void PresetsSettingsComponent::UpdateAuthorWindow::timerCallback()
{
    if (isThreadRunning())
    {
        progressLine.setText("Progress: " + juce::String(progress.load()) + "%", juce::dontSendNotification);
        currentFileLine.setText(getCurrentFile(), juce::dontSendNotification);
        return;
    }
    stopTimer();
    showFinalTexts();
}

void PresetsSettingsComponent::UpdateAuthorWindow::showFinalTexts()
{
    okButton.setEnabled(true);
    cancelButton.setEnabled(false);
    setCancelButton(&okButton);

    const auto failed = getFailedFiles();
    const bool finished = completed.load() != 0;
    if (failed.isEmpty())
    {
        progressLine.setVisible(false);
        currentFileLine.setVisible(false);
        messageLine.setText(finished ? "Operation completed." : "Operation has been cancelled.",
                            juce::dontSendNotification);
        return;
    }

    // Files left unchanged are no success: say how many, and which.
    messageLine.setText(finished ? "Operation finished with errors." : "Operation has been cancelled.",
                        juce::dontSendNotification);
    progressLine.setText(presetCountText(failed.size()) + " could not be written:", juce::dontSendNotification);
    juce::StringArray named;
    for (int i = 0; i < juce::jmin(kMaxNamedFailures, failed.size()); ++i)
        named.add(failed[i]);
    currentFileLine.setText(named.joinIntoString(", ") + (failed.size() > kMaxNamedFailures ? ", ..." : ""),
                            juce::dontSendNotification);
    progressLine.setVisible(true);
    currentFileLine.setVisible(true);
}

void PresetsSettingsComponent::UpdateAuthorWindow::buttonClicked(juce::Button* button)
{
    if (button == &cancelButton)
        signalThreadShouldExit();
    else if (button == &okButton)
        hide();
    WindowComponent::buttonClicked(button);
}

void PresetsSettingsComponent::UpdateAuthorWindow::fitButtons()
{
    cancelButton.changeWidthToFitText(kRowHeight);
    okButton.changeWidthToFitText(kRowHeight);
}

void PresetsSettingsComponent::UpdateAuthorWindow::lookAndFeelChanged()
{
    WindowComponent::lookAndFeelChanged();
    fitButtons();
    resized();
}

void PresetsSettingsComponent::UpdateAuthorWindow::childBoundsChanged(juce::Component* child)
{
    // The row grows with its buttons' texts; it stays in the corner.
    if (child == &buttonRow)
        resized();
}

void PresetsSettingsComponent::UpdateAuthorWindow::resized()
{
    WindowComponent::resized();
    const auto area = getContentArea();
    messageLine.setBounds(area.getX(), area.getY(), area.getWidth(), kLineHeight);
    progressLine.setBounds(area.getX(), messageLine.getBottom(), area.getWidth(), kLineHeight);
    currentFileLine.setBounds(area.getX(), progressLine.getBottom(), area.getWidth(), kLineHeight);
    buttonRow.setTopRightPosition(area.getRight(),
                                  area.getBottom() - juce::jmin(area.getHeight(), buttonRow.getHeight()));
}

//==============================================================================
PresetsSettingsComponent::PresetsSettingsComponent(BasePlugin& pluginToUse)
    : plugin(pluginToUse), updateWindow(pluginToUse)
{
    authorField.setText(plugin.getAuthorName());
    authorField.addModalListener(this);
    authorField.setEditable(false, true);

    updateButton.addListener(this);
    updateButton.setMouseClickGrabsKeyboardFocus(false);
    updateButton.setWantsKeyboardFocus(false);
    updateButton.changeWidthToFitText(kRowHeight);

    authorRow.setSpacing(kGap);
    authorRow.addAndMakeVisible(authorField);
    authorRow.addAndMakeVisible(updateButton);
    // Fitted by resized(): an automatic size would undo the page's width.
    authorPanel.setContent(&authorRow, false);
    authorPanel.setTopLeftPosition(0, 0);
    addAndMakeVisible(authorPanel);

    directoryLabel.setFont(lineFont());
    directoryLabel.setText("Presets directory: " + plugin.getUserDataFolder().getFullPathName(),
                           juce::dontSendNotification);
    addAndMakeVisible(directoryLabel);

    addChildComponent(updateWindow);
}

PresetsSettingsComponent::~PresetsSettingsComponent()
{
    updateButton.removeListener(this);
    // The panel outlives the row it frames.
    authorPanel.setContent(nullptr, false);
}

void PresetsSettingsComponent::buttonClicked(juce::Button* button)
{
    if (button == &updateButton && !updateWindow.isVisible())
        updateWindow.start();
}

void PresetsSettingsComponent::textCommitted(ModalTextEditor* editor)
{
    // Kept with the user settings when the plug-in closes.
    plugin.setAuthorName(editor->getText());
}

void PresetsSettingsComponent::resized()
{
    const int width = getWidth();
    authorPanel.setSizeToFit(width, -1);
    authorField.setSize(juce::jmax(0, authorPanel.getContentArea().getWidth() - kGap - updateButton.getWidth()),
                        kRowHeight);
    authorPanel.setSizeToFit(width, -1);
    directoryLabel.setBounds(0, authorPanel.getBottom(), width, kRowHeight);
    repaint();
}

void PresetsSettingsComponent::lookAndFeelChanged()
{
    updateButton.changeWidthToFitText(kRowHeight);
    resized();
}
