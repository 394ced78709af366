#include "ScriptedDialogs.h"

#include <CopyTagger.h>

#include <QDialog>

#include <atomic>

using namespace tracklift;
using namespace trackcopy;

namespace testsupport {

namespace {

class ScriptedObserver final : public CopyObserver {
public:
    ScriptedObserver(ScriptedDialogs& dialogs, std::atomic<bool>& cancel) : m_dialogs(dialogs), m_cancel(cancel) {}

    void progress(const CopyProgress& p) override
    {
        if (m_dialogs.cancelAfterBytes && p.bytesDone >= m_dialogs.cancelAfterBytes)
            m_cancel = true;
    }

    ReplaceAnswer askReplace(const std::filesystem::path& destination) override
    {
        m_dialogs.replacePrompts.push_back(destination);
        if (m_dialogs.replaceAnswers.empty())
            return ReplaceAnswer::No;
        const ReplaceAnswer answer = m_dialogs.replaceAnswers.front();
        m_dialogs.replaceAnswers.pop_front();
        return answer;
    }

private:
    ScriptedDialogs& m_dialogs;
    std::atomic<bool>& m_cancel;
};

}  // namespace

MessageResult ScriptedDialogs::messageBox(QWidget*, const QString& text, const QString& title, MessageButtons buttons,
                                          MessageIcon icon)
{
    prompts.push_back({text, title, buttons, icon});
    if (!answers.empty()) {
        const MessageResult answer = answers.front();
        answers.pop_front();
        return answer;
    }
    switch (buttons) {
    case MessageButtons::OK: return MessageResult::OK;
    case MessageButtons::YesNo: return MessageResult::No;
    default: return MessageResult::Cancel;
    }
}

QString ScriptedDialogs::browseForFolder(QWidget*, const QString& title)
{
    browserTitles.push_back(title);
    if (folders.empty())
        return {};
    const QString folder = folders.front();
    folders.pop_front();
    return folder;
}

CopyResult ScriptedDialogs::copyFiles(QWidget*, BatchCopy& batch)
{
    copyRequests.push_back(batch.items());
    copySkipSameSize.push_back(batch.skipSameSize());
    copySettings.push_back(batch.settings());
    const auto* tagger = dynamic_cast<const trackcopy::CopyTagger*>(batch.finisher());
    copyTagModes.push_back(tagger ? tagger->mode() : trackcopy::TagMode::None);
    std::atomic<bool> cancel{false};
    ScriptedObserver observer(*this, cancel);
    batch.settings().retryPause = std::chrono::milliseconds(1);
    if (deviceRead)
        batch.settings().read = deviceRead;
    lastResult = batch.run(observer, cancel);
    return lastResult;
}

int ScriptedDialogs::execDialog(QDialog& dialog)
{
    dialogsShown.push_back(dialog.objectName());
    if (dialogSteps.empty())
        return QDialog::Rejected;
    const auto step = std::move(dialogSteps.front());
    dialogSteps.pop_front();
    return step(dialog);
}

}  // namespace testsupport
