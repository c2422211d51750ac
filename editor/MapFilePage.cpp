#include "editor/MapFilePage.h"

MapFilePage::MapFilePage(const juce::String& extension, const juce::String& pattern) : FileType(extension, pattern)
{
}

MapFilePage::~MapFilePage() = default;

void MapFilePage::setFileChooserLauncher(FileChooserLauncher* newLauncher)
{
    launcher = newLauncher;
}

FileChooserLauncher& MapFilePage::getLauncher() noexcept
{
    return launcher != nullptr ? *launcher : nativeLauncher;
}

void MapFilePage::chooseMapToLoad(const juce::String& chooserTitle)
{
    FileChooserLauncher::Request request;
    request.title = chooserTitle;
    request.pattern = getFilePattern();
    request.mode = FileChooserLauncher::openFile;
    juce::Component::SafePointer<MapFilePage> safeThis(this);
    getLauncher().launch(request, [safeThis](const juce::File& chosen) {
        if (safeThis != nullptr && chosen != juce::File())
            safeThis->loadMapFile(chosen);
    });
}

void MapFilePage::chooseMapToSave(const juce::String& chooserTitle)
{
    FileChooserLauncher::Request request;
    request.title = chooserTitle;
    request.pattern = getFilePattern();
    request.mode = FileChooserLauncher::saveFile;
    request.warnAboutOverwriting = true;
    juce::Component::SafePointer<MapFilePage> safeThis(this);
    getLauncher().launch(request, [safeThis](const juce::File& chosen) {
        if (safeThis != nullptr && chosen != juce::File())
            safeThis->saveMapFile(chosen);
    });
}

void MapFilePage::loadMapFile(const juce::File& file)
{
    juce::String problem;
    if (const auto map = MapFileReader::read(file, getMapRules(), problem))
        applyMap(*map);
    else
        showAlert(Orv::AlertWindow::createOk(getAlertTitle(), problem, this), failureMessage);
}

void MapFilePage::saveMapFile(const juce::File& file)
{
    const auto target = withFileExtension(file);
    if (!writeMap(target))
        showAlert(Orv::AlertWindow::createOk(getAlertTitle(), MapFileReader::describeSaveFailure(target), this),
                  failureMessage);
}

void MapFilePage::askToClear()
{
    showAlert(Orv::AlertWindow::createYesNo(getAlertTitle(), "Do you really want to clear all assignations?", this),
              clearQuestion);
}

void MapFilePage::showAlert(Orv::AlertWindow* newAlert, AlertKind kind)
{
    alert.reset(newAlert);
    alert->addValue((int) kind);
    // Shown from inside the page, so that it finds the editor it covers.
    addChildComponent(*alert);
    alert->show();
}

void MapFilePage::alertWindowClosed(Orv::AlertWindow* closed, int result)
{
    if (closed == alert.get() && (int) closed->getValue(0) == clearQuestion && result == Orv::AlertWindow::Yes)
        clearMap();
}
