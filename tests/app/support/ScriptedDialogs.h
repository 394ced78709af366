#pragma once

#include <Dialogs.h>
#include <TrackTags.h>

#include <QString>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <vector>

namespace testsupport {

// Dialogs that record what the program shows and answer from a script.
// Unscripted questions get No/Cancel (OK for OK-only boxes); an unscripted
// folder browser is cancelled; an unscripted replace prompt is answered No.
// The batch copy runs at once on the calling thread.
class ScriptedDialogs final : public tracklift::Dialogs {
public:
    struct Prompt {
        QString text;
        QString title;
        tracklift::MessageButtons buttons;
        tracklift::MessageIcon icon;
    };

    tracklift::MessageResult messageBox(QWidget* owner, const QString& text, const QString& title,
                                        tracklift::MessageButtons buttons, tracklift::MessageIcon icon) override;
    QString browseForFolder(QWidget* owner, const QString& title) override;
    trackcopy::CopyResult copyFiles(QWidget* owner, trackcopy::BatchCopy& batch) override;
    // Records the dialog's name, then runs the next scripted step on it (which
    // may fill its controls and accept it); without one the dialog is rejected.
    int execDialog(QDialog& dialog) override;

    std::vector<Prompt> prompts;
    std::deque<tracklift::MessageResult> answers;
    std::vector<QString> browserTitles;
    std::deque<QString> folders;
    std::deque<trackcopy::ReplaceAnswer> replaceAnswers;
    std::vector<std::filesystem::path> replacePrompts;
    std::uint64_t cancelAfterBytes = 0;  // 0: never cancel
    std::vector<std::vector<trackcopy::CopyItem>> copyRequests;
    std::vector<bool> copySkipSameSize;
    std::vector<trackcopy::TagMode> copyTagModes;  // None for a batch without tagging
    std::vector<trackcopy::CopySettings> copySettings;
    // When set, the batch reads the device through it (a failing or slow disk).
    decltype(trackcopy::CopySettings::read) deviceRead;
    std::vector<QString> dialogsShown;
    std::deque<std::function<int(QDialog&)>> dialogSteps;
    trackcopy::CopyResult lastResult;
};

}  // namespace testsupport
