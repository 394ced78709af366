#include "QtDialogs.h"

#include "CopyProgressDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

namespace tracklift {

MessageResult QtDialogs::messageBox(QWidget* owner, const QString& text, const QString& title, MessageButtons buttons,
                                    MessageIcon icon)
{
    QMessageBox box(owner);
    box.setWindowTitle(title.isEmpty() ? applicationTitle() : title);
    box.setText(text);
    switch (icon) {
    case MessageIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    case MessageIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MessageIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MessageIcon::None: break;
    }
    switch (buttons) {
    case MessageButtons::OK: box.setStandardButtons(QMessageBox::Ok); break;
    case MessageButtons::OKCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case MessageButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case MessageButtons::YesNoCancel: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel); break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok: return MessageResult::OK;
    case QMessageBox::Yes: return MessageResult::Yes;
    case QMessageBox::No: return MessageResult::No;
    default: return buttons == MessageButtons::OK ? MessageResult::OK : MessageResult::Cancel;
    }
}

QString QtDialogs::browseForFolder(QWidget* owner, const QString& title)
{
    return QFileDialog::getExistingDirectory(owner, title, QDir::homePath(), QFileDialog::ShowDirsOnly);
}

CopyResult QtDialogs::copyFiles(QWidget* owner, const std::vector<CopyItem>& items, const CopySettings& settings)
{
    CopyProgressDialog dialog(owner);
    return dialog.run(items, settings);
}

int QtDialogs::execDialog(QDialog& dialog)
{
    return dialog.exec();
}

}  // namespace tracklift
