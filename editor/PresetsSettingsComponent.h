#pragma once

#include "skin/TextInput.h"
#include "toolkit/ComponentRow.h"
#include "toolkit/ModalTextEditor.h"
#include "toolkit/PanelComponent.h"
#include "toolkit/WindowComponent.h"

#include <atomic>
#include <vector>

class BasePlugin;

// The "Presets" page: the author name that new presets carry, where the
// presets live, and "Update presets", which signs every preset of the user's
// own with the current author name.
class PresetsSettingsComponent : public juce::Component,
                                 public juce::Button::Listener,
                                 public ModalTextEditor::ModalListener
{
public:
    // The modal window of "Update presets": a worker thread rewrites the files
    // while a timer shows how far it got, what it is working on, and at the
    // end which files could not be written.
    class UpdateAuthorWindow : public WindowComponent, public juce::Timer, public juce::Thread
    {
    public:
        static constexpr int kWidth = 400;
        static constexpr int kHeight = 300;
        static constexpr int kTimerIntervalMs = 50;
        static constexpr int kStopTimeoutMs = 5000;
        static constexpr int kLineHeight = 50;
        // How many of the files that could not be written are named.
        static constexpr int kMaxNamedFailures = 3;

        explicit UpdateAuthorWindow(BasePlugin& plugin);
        ~UpdateAuthorWindow() override;

        // Shows the window and starts a run. While an earlier run is still
        // ending (cancelled, or its window closed) no new one starts: the
        // window shows that run instead.
        void start();

        void run() override;
        void timerCallback() override;

        void buttonClicked(juce::Button* button) override;
        bool shouldDimBackground() const override { return true; }
        void lookAndFeelChanged() override;
        void childBoundsChanged(juce::Component* child) override;
        void resized() override;

        int getProgress() const noexcept { return progress.load(); }
        bool hasCompleted() const noexcept { return completed.load() != 0; }
        int getNumFailures() const noexcept { return numFailures.load(); }
        juce::StringArray getFailedFiles() const;
        juce::String getCurrentFile() const;

        juce::TextButton& getCancelButton() noexcept { return cancelButton; }
        juce::TextButton& getOkButton() noexcept { return okButton; }
        juce::Label& getMessageLine() noexcept { return messageLine; }
        juce::Label& getProgressLine() noexcept { return progressLine; }
        juce::Label& getCurrentFileLine() noexcept { return currentFileLine; }

    private:
        // One collection's files, listed on the message thread before a run so
        // that the worker never reads the collection's lists.
        struct CollectionFiles
        {
            int collectionIndex = 0;
            juce::Array<juce::File> files;
        };

        void fitButtons();
        void showFinalTexts();
        void setCurrentFile(const juce::String& text);

        BasePlugin& plugin;
        juce::TextButton cancelButton { "Cancel" };
        juce::TextButton okButton { "OK" };
        ComponentRow buttonRow { ComponentRow::row, ComponentRow::alignStart };
        juce::Label currentFileLine;
        juce::Label progressLine;
        juce::Label messageLine;

        // Guarded by lock: written by the worker, read by the timer.
        juce::String currentFile;
        juce::StringArray failedFiles;
        std::atomic<int> progress { 0 };
        std::atomic<int> completed { 0 };
        std::atomic<int> numFailures { 0 };
        juce::CriticalSection lock;

        // Filled by start() before the worker starts; the worker only reads it.
        std::vector<CollectionFiles> work;
        bool hasCollections = false;

        JUCE_DECLARE_NON_COPYABLE(UpdateAuthorWindow)
    };

    static constexpr int kGap = 6;
    static constexpr int kRowHeight = 20;

    explicit PresetsSettingsComponent(BasePlugin& plugin);
    ~PresetsSettingsComponent() override;

    void buttonClicked(juce::Button* button) override;
    void textCommitted(ModalTextEditor* editor) override;
    void resized() override;
    void lookAndFeelChanged() override;

    TextInput& getAuthorField() noexcept { return authorField; }
    juce::TextButton& getUpdateButton() noexcept { return updateButton; }
    PanelComponent& getAuthorPanel() noexcept { return authorPanel; }
    juce::Label& getDirectoryLabel() noexcept { return directoryLabel; }
    UpdateAuthorWindow& getUpdateWindow() noexcept { return updateWindow; }

private:
    BasePlugin& plugin;
    PanelComponent authorPanel { "Author" };
    juce::TextButton updateButton { "Update presets" };
    TextInput authorField { {}, {} };
    ComponentRow authorRow { ComponentRow::row, ComponentRow::alignCentre };
    UpdateAuthorWindow updateWindow;
    juce::Label directoryLabel;

    JUCE_DECLARE_NON_COPYABLE(PresetsSettingsComponent)
};
