#include "editor/MapFilePage.h"

namespace
{
constexpr int kCaptionGap = 6;
}

MapFilePage::MapFilePage(const juce::String& extension, const juce::String& pattern) : FileType(extension, pattern)
{
    defaultMapCaption.setBorderSize({});
    defaultMapCaption.setJustificationType(juce::Justification::centredLeft);
    defaultMapCaption.changeWidthToFitText(kCheckHeight);
    addAndMakeVisible(defaultMapCaption);
    defaultMap.setName("Default map");
    defaultMap.getPathComponent().setFilePattern(pattern);
    defaultMap.addListener(this);
    addAndMakeVisible(defaultMap);
}

MapFilePage::~MapFilePage()
{
    defaultMap.removeListener(this);
}

void MapFilePage::showDefaultMap(bool enabled, const juce::String& path)
{
    const bool useFile = enabled && juce::File::isAbsolutePath(path);
    defaultMap.setFile(useFile ? juce::File(path) : juce::File(), false);
    defaultMap.getPathComponent().setFilePattern(getFilePattern());
}

void MapFilePage::defaultResourceChanged(DefaultResourceCheckBox* box)
{
    if (box == &defaultMap)
        storeDefaultMap(defaultMap.isChecked(), defaultMap.getFile().getFullPathName());
}

void MapFilePage::layOutDefaultMap(juce::Rectangle<int> strip)
{
    defaultMapCaption.setBounds(strip.removeFromLeft(juce::jmin(strip.getWidth(), defaultMapCaption.getWidth())));
    strip.removeFromLeft(juce::jmin(strip.getWidth(), kCaptionGap));
    defaultMap.setBounds(strip);
}

void MapFilePage::lookAndFeelChanged()
{
    defaultMapCaption.changeWidthToFitText(kCheckHeight);
    resized();
}

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
    chooseMap(chooserTitle, FileChooserLauncher::openFile);
}

void MapFilePage::chooseMapToSave(const juce::String& chooserTitle)
{
    chooseMap(chooserTitle, FileChooserLauncher::saveFile);
}

void MapFilePage::chooseMap(const juce::String& chooserTitle, FileChooserLauncher::Mode mode)
{
    FileChooserLauncher::Request request;
    request.title = chooserTitle;
    request.pattern = getFilePattern();
    request.mode = mode;
    request.warnAboutOverwriting = true;
    juce::Component::SafePointer<MapFilePage> safeThis(this);
    getLauncher().launch(request, [safeThis, mode](const juce::File& chosen) {
        if (safeThis == nullptr || chosen == juce::File())
            return;
        if (mode == FileChooserLauncher::saveFile)
            safeThis->saveMapFile(chosen);
        else
            safeThis->loadMapFile(chosen);
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
    if (target != file && target.exists())
    {
        pendingSave = target;
        showAlert(Orv::AlertWindow::createYesNo(getAlertTitle(),
                                                MapFileReader::quoteFileName(target)
                                                    + " already exists. Do you want to replace it?",
                                                this),
                  replaceQuestion);
        return;
    }
    writeMapFile(target);
}

void MapFilePage::writeMapFile(const juce::File& target)
{
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
    auto& slot = kind == failureMessage ? message : question;
    slot.reset(newAlert);
    lastAlert = newAlert;
    newAlert->addValue((int) kind);
    // Shown from inside the page, so that it finds the editor it covers.
    addChildComponent(*newAlert);
    newAlert->show();
}

void MapFilePage::alertWindowClosed(Orv::AlertWindow* closed, int result)
{
    if (closed != question.get() || result != Orv::AlertWindow::Yes)
        return;
    const int kind = closed->getValue(0);
    if (kind == clearQuestion)
        clearMap();
    else if (kind == replaceQuestion)
        writeMapFile(pendingSave);
}
