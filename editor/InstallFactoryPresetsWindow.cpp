#include "editor/InstallFactoryPresetsWindow.h"

#include "editor/FactoryPresetArchive.h"
#include "processor/Tavinor.h"

namespace
{
constexpr const char* kTitle = "Presets initalization";
constexpr const char* kFullArchive = "Tavinor Factory Presets v1.1 - full.zip";
constexpr const char* kUpdateArchive = "Tavinor Factory Presets v1.1 - update.zip";
constexpr const char* kFullMessage = "Factory presets need to be installed now.\nIt will take just a while...";
constexpr const char* kUpdateMessage = "New presets (v1.1) need to be installed now.\nIt will take just a while...";
constexpr const char* kUpdatableVersion = "1.0";
constexpr const char* kPresetFolderFallback = "Presets";

constexpr int kButtonHeight = 20;
constexpr int kSideMargin = 10;
constexpr int kMessageHeight = 40;
constexpr int kProgressHeight = 20;
constexpr int kStatusHeight = 40;
constexpr int kCompletionHeight = 50;
constexpr int kThreadPriority = 5;
constexpr int kStopTimeoutMs = 5000;
constexpr int kMessageFontHeight = 15;
// How many names of presets that failed the error line lists before "and n more".
constexpr int kMaxNamedFailures = 3;

juce::String itemOfEntry(const juce::String& entryName)
{
    return entryName.containsChar('.') ? entryName.upToLastOccurrenceOf(".", false, false) : juce::String();
}

juce::String presetNameOfEntry(const juce::String& entryName)
{
    const auto fileName = entryName.replaceCharacter('\\', '/').fromLastOccurrenceOf("/", false, false);
    return fileName.containsChar('.') ? fileName.upToLastOccurrenceOf(".", false, false) : fileName;
}

juce::String describeFailures(const juce::StringArray& names)
{
    const int n = names.size();
    juce::StringArray shown;
    for (int i = 0; i < juce::jmin(n, kMaxNamedFailures); ++i)
        shown.add(names[i]);
    juce::String text = "Error: " + juce::String(n) + (n == 1 ? " preset" : " presets")
                        + " could not be installed:\n" + shown.joinIntoString(", ");
    if (n > kMaxNamedFailures)
        text << " and " << (n - kMaxNamedFailures) << " more";
    return text + ".";
}
} // namespace

juce::Font InstallFactoryPresetsWindow::LF::getLabelFont(juce::Label& label)
{
    return label.getFont().boldened();
}

InstallFactoryPresetsWindow::InstallFactoryPresetsWindow(Tavinor& p)
    : InstallFactoryPresetsWindow(p, p.getFactoryDataFolder())
{
}

InstallFactoryPresetsWindow::InstallFactoryPresetsWindow(Tavinor& p, const juce::File& factoryDataFolder)
    : juce::Thread("InstallFactoryPresetsThread"), processor(p)
{
    setSize(kWidth, kHeight);
    setTitle(kTitle);
    setCloseButtonVisible(false);

    for (auto* button : { &startButton, &okButton })
    {
        button->addListener(this);
        addChildComponent(button);
        button->changeWidthToFitText(kButtonHeight);
    }

    statusLabel.setJustificationType(juce::Justification::centredLeft);
    progressLabel.setJustificationType(juce::Justification::centred);
    completionLabel.setJustificationType(juce::Justification::centred);
    completionLabel.setText("Operation completed.", juce::dontSendNotification);
    for (auto* label : { &statusLabel, &progressLabel, &completionLabel })
        addChildComponent(label);

    targetFolder = processor.getUserDataFolder();
    // The folder the preset collection shows; the archives' entries lie below it.
    if (auto* collection = processor.getPresetCollection(0))
        presetFolder = collection->getRootFolder();
    if (presetFolder == juce::File())
        presetFolder = targetFolder.getChildFile(kPresetFolderFallback);

    // The archive for the installed version: everything for a first
    // installation, only the new presets for users of 1.0.
    installedVersion = processor.getInstalledFactoryPresetVersion();
    const auto& installed = installedVersion;
    juce::String message;
    if (installed.isEmpty())
    {
        message = kFullMessage;
        archivePath = factoryDataFolder.getChildFile(kFullArchive).getFullPathName();
    }
    else if (installed == kUpdatableVersion)
    {
        message = kUpdateMessage;
        archivePath = factoryDataFolder.getChildFile(kUpdateArchive).getFullPathName();
    }
    messageLabel.setText(message, juce::dontSendNotification);
    messageLabel.setFont(juce::Font("Tahoma", (float) kMessageFontHeight, juce::Font::plain));
    messageLabel.setLookAndFeel(&lf);
    messageLabel.setJustificationType(juce::Justification::centredTop);
    addAndMakeVisible(messageLabel);
}

InstallFactoryPresetsWindow::~InstallFactoryPresetsWindow()
{
    stopTimer();
    stopThread(kStopTimeoutMs);
    for (auto* button : { &startButton, &okButton })
        button->removeListener(this);
    messageLabel.setLookAndFeel(nullptr);
}

void InstallFactoryPresetsWindow::open()
{
    startButton.setVisible(true);
    startButton.setEnabled(true);
    okButton.setVisible(false);
    okButton.setEnabled(false);
    // Until Start, Escape closes the window: the next editor offers the
    // installation again. From then on the keys wait for OK.
    setDefaultButton(&startButton);
    setCancelButton(nullptr);
    show();
}

void InstallFactoryPresetsWindow::buttonClicked(juce::Button* button)
{
    WindowComponent::buttonClicked(button);
    if (button == &startButton)
    {
        if (isThreadRunning())
            return;
        started = true;
        startButton.setEnabled(false);
        setDefaultButton(&okButton);
        setCancelButton(&okButton);
        progressLabel.setVisible(true);
        statusLabel.setVisible(true);
        progressLabel.setText("Progress: 0%", juce::dontSendNotification);
        statusLabel.setText({}, juce::dontSendNotification);


        startThread(juce::Thread::Priority(kThreadPriority));
        startTimer(kTimerIntervalMs);
    }
    else if (button == &okButton)
    {
        hide();
    }
}

void InstallFactoryPresetsWindow::setCurrentItem(const juce::String& item)
{
    const juce::ScopedLock sl(lock);
    currentItem = item;
}

void InstallFactoryPresetsWindow::finishWithError(const juce::String& text)
{
    const juce::ScopedLock sl(lock);
    errorText = text;
}

void InstallFactoryPresetsWindow::run()
{
    completed.store(0);
    archiveMissing.store(0);
    finishWithError({});

    // A user who never had presets may have no folder for them yet.
    if (!presetFolder.isDirectory() && !presetFolder.createDirectory().wasOk())
    {
        finishWithError("Error: The preset folder could not be created.\n" + presetFolder.getFullPathName());
        return;
    }
    const juce::File archiveFile(archivePath);
    if (archivePath.isEmpty() || !archiveFile.existsAsFile())
    {
        archiveMissing.store(1);
        return;
    }
    FactoryPresetArchive archive(archiveFile);
    // A damaged or empty archive installs nothing: recording the version would
    // say the presets are there, and the installer would never come back.
    if (!archive.isReadable())
    {
        finishWithError("Error: The installation file could not be read.\n" + archivePath);
        return;
    }

    const int n = archive.getNumEntries();
    juce::StringArray failed;
    for (int i = 0, c = 1; i < n; ++i, ++c)
    {
        const auto name = archive.getEntryName(i);
        if (const auto item = itemOfEntry(name); item.isNotEmpty())
            setCurrentItem(item);
        const auto result = archive.extractEntry(i, targetFolder, presetFolder);
        if (!FactoryPresetArchive::isInPlace(result))
            failed.add(presetNameOfEntry(name));

        progress.store(juce::jlimit(0, 100, (int) ((double) c / (double) n * 100.0)));
        if (threadShouldExit())
            return;
    }

    if (!failed.isEmpty())
    {
        // What did arrive is shown at once; the version stays unrecorded so the
        // next editor offers the installation again for the rest.
        if (auto* collection = processor.getPresetCollection(0))
            collection->rescan();
        finishWithError(describeFailures(failed));
        return;
    }
    processor.setFactoryPresetsInstalled();
    completed.store(1);
}

void InstallFactoryPresetsWindow::timerCallback()
{
    if (isThreadRunning())
    {
        progressLabel.setText("Progress: " + juce::String(progress.load()) + "%", juce::dontSendNotification);
        const juce::ScopedLock sl(lock);
        statusLabel.setText(currentItem, juce::dontSendNotification);
        return;
    }

    startButton.setVisible(false);
    okButton.setVisible(true);
    okButton.setEnabled(true);
    progressLabel.setVisible(false);

    juce::String error;
    {
        const juce::ScopedLock sl(lock);
        error = errorText;
    }
    if (completed.load() != 0)
    {
        completionLabel.setVisible(true);
        statusLabel.setVisible(false);
    }
    else if (error.isNotEmpty())
    {
        statusLabel.setText(error, juce::dontSendNotification);
    }
    else if (archiveMissing.load() != 0)
    {
        statusLabel.setText("Error: Installation file with factory presets not found.\n" + archivePath,
                            juce::dontSendNotification);
    }
    else
    {
        statusLabel.setText("Operation has been interrupted.", juce::dontSendNotification);
    }
    stopTimer();
}

void InstallFactoryPresetsWindow::resized()
{
    WindowComponent::resized();
    const auto content = getContentArea();
    const int x = content.getX() + kSideMargin;
    const int w = juce::jmax(content.getWidth() - 2 * kSideMargin, 0);
    const int y = content.getY();
    const int h = juce::jmax(content.getHeight(), 0);

    messageLabel.setBounds(x, y, w, kMessageHeight);
    progressLabel.setBounds(x, messageLabel.getBottom(), w, kProgressHeight);
    statusLabel.setBounds(x, progressLabel.getBottom(), w, kStatusHeight);
    completionLabel.setBounds(x, messageLabel.getBottom(), w, kCompletionHeight);

    const int buttonY = y + h - juce::jmin(startButton.getHeight(), h);
    for (auto* button : { &startButton, &okButton })
        button->setTopLeftPosition(x + (w - button->getWidth()) / 2, buttonY);
}

void InstallFactoryPresetsWindow::childBoundsChanged(juce::Component*)
{
    resized();
}
