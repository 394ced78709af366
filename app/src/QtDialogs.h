#pragma once

#include "Dialogs.h"

namespace tracklift {

// The dialogs of the running program.
class QtDialogs final : public Dialogs {
public:
    MessageResult messageBox(QWidget* owner, const QString& text, const QString& title, MessageButtons buttons,
                             MessageIcon icon) override;
    QString browseForFolder(QWidget* owner, const QString& title) override;
    CopyResult copyFiles(QWidget* owner, const std::vector<CopyItem>& items, const CopySettings& settings) override;
    int execDialog(QDialog& dialog) override;
};

}  // namespace tracklift
