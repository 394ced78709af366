#pragma once

#include <BatchCopy.h>

#include <sonarchive/UserInterfaceHost.h>

#include <QString>

#include <vector>

class QDialog;
class QWidget;

namespace tracklift {

// The copy engine's types, as the window uses them.
using trackcopy::BatchCopy;
using trackcopy::CopyFailure;
using trackcopy::CopyItem;
using trackcopy::CopyObserver;
using trackcopy::CopyProgress;
using trackcopy::CopyResult;
using trackcopy::CopySettings;
using trackcopy::ReplaceAnswer;

using sonarchive::MessageButtons;
using sonarchive::MessageIcon;
using sonarchive::MessageResult;

// Every dialog the program shows: message boxes, the folder browser and the
// batch copy with its progress and replace prompts. The program uses Qt's
// dialogs; tests answer from a script.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    virtual MessageResult messageBox(QWidget* owner, const QString& text, const QString& title, MessageButtons buttons,
                                     MessageIcon icon) = 0;
    // The chosen folder, or empty when cancelled.
    virtual QString browseForFolder(QWidget* owner, const QString& title) = 0;
    // Runs the batch with one progress display; returns when it is done.
    virtual CopyResult copyFiles(QWidget* owner, BatchCopy& batch) = 0;
    // Shows one of the program's own dialogs modally; its result code.
    virtual int execDialog(QDialog& dialog) = 0;
};

// The title of every message box of the program.
inline QString applicationTitle() { return QStringLiteral("Tracklift"); }

// The program's warnings: an OK box with the warning icon.
inline MessageResult warnUser(Dialogs& dialogs, QWidget* owner, const QString& text)
{
    return dialogs.messageBox(owner, text, applicationTitle(), MessageButtons::OK, MessageIcon::Exclamation);
}

}  // namespace tracklift
