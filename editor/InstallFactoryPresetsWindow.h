#pragma once

#include "toolkit/DefaultLookAndFeel.h"
#include "toolkit/WindowComponent.h"

#include <atomic>

class Tavinor;

// The window that unpacks the factory presets the first time an editor is made
// after an installation or an update: it picks the archive for the installed
// version, unpacks it on its own worker thread into the user's folder (never
// over an existing file) while its timer shows the progress, and records the
// installed version only when every preset of the archive is in place. The
// product editor creates it only when the processor asks for an installation,
// adds it as a hidden child and opens it.
class InstallFactoryPresetsWindow : public WindowComponent,
                                    public juce::Timer,
                                    public juce::Thread
{
public:
    // The window's own look: its message label is drawn in its own font, made bold.
    class LF : public DefaultLookAndFeel
    {
    public:
        juce::Font getLabelFont(juce::Label& label) override;
    };

    explicit InstallFactoryPresetsWindow(Tavinor& processor);
    // The archives are looked for in factoryDataFolder instead of the
    // processor's factory data folder.
    InstallFactoryPresetsWindow(Tavinor& processor, const juce::File& factoryDataFolder);
    ~InstallFactoryPresetsWindow() override;

    // Shows the window with "Start" offered.
    void open();

    void buttonClicked(juce::Button* button) override;
    bool shouldDimBackground() const override { return true; }
    void resized() override;
    void childBoundsChanged(juce::Component* child) override;

    // The worker thread.
    void run() override;
    // Every 25 ms while the worker runs, and once after it ended.
    void timerCallback() override;

    // The archive this window unpacks; empty when the installed version needs none.
    const juce::String& getArchivePath() const { return archivePath; }
    // The installed version the window was made for (empty: none).
    const juce::String& getInstalledVersion() const { return installedVersion; }
    int getProgress() const { return progress.load(); }
    // Whether the user has clicked Start: from then on the window is the
    // installation's, to its end.
    bool hasStarted() const { return started; }
    bool hasCompleted() const { return completed.load() != 0; }

    juce::TextButton& getStartButton() { return startButton; }
    juce::TextButton& getOkButton() { return okButton; }
    const juce::Label& getMessageLabel() const { return messageLabel; }
    const juce::Label& getStatusLabel() const { return statusLabel; }
    const juce::Label& getProgressLabel() const { return progressLabel; }
    const juce::Label& getCompletionLabel() const { return completionLabel; }

    static constexpr int kWidth = 500;
    static constexpr int kHeight = 180;
    static constexpr int kTimerIntervalMs = 25;

private:
    // What stopped the worker before every preset was in place; the timer
    // words it for the user.
    void finishWithError(const juce::String& text);
    void setCurrentItem(const juce::String& item);

    Tavinor& processor;
    juce::TextButton startButton { "Start" };
    juce::TextButton okButton { "OK" };
    juce::Label statusLabel;
    juce::Label progressLabel;
    juce::Label messageLabel;
    juce::Label completionLabel;

    juce::String currentItem;
    std::atomic<int> progress { 0 };
    std::atomic<int> completed { 0 };
    std::atomic<int> archiveMissing { 0 };
    bool started = false;
    juce::String archivePath;
    juce::String installedVersion;
    juce::CriticalSection lock;
    // Under the lock, like the current item: why the worker ended early.
    juce::String errorText;
    // Worked out on the message thread when the window is made.
    juce::File targetFolder;
    juce::File presetFolder;
    LF lf;

    JUCE_DECLARE_NON_COPYABLE(InstallFactoryPresetsWindow)
};
