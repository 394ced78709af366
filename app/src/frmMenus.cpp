#include "frmMenus.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QVBoxLayout>

namespace tracklift {

frmMenus::frmMenus(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmMenus"));
    auto* label = new QLabel(QStringLiteral("This form is just a menu holder"), this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    hide();

    mnuFilter = new QMenu(QStringLiteral("Filter"), this);
    mnuFilter->setObjectName(QStringLiteral("mnuFilter"));
    for (const char* name : {"Title", "Album", "Artist"}) {
        QAction* item = mnuFilter->addAction(filterItemCaption(QLatin1String(name)));
        mnuFilteriTem.push_back(item);
        connect(item, &QAction::triggered, this, [this, item] { emit filterChosen(item->text()); });
    }

    mnuDrive = new QMenu(QStringLiteral("Drive"), this);
    mnuDrive->setObjectName(QStringLiteral("mnuDrive"));
    mnuDriveItem.push_back(mnuDrive->addAction(QString(31, QLatin1Char(' '))));

    mnuTextBox = new QMenu(QStringLiteral("Text Box"), this);
    mnuTextBox->setObjectName(QStringLiteral("mnuTextBox"));
    mnuTextBox->addAction(QStringLiteral("Right Click is not allowed here"));  // does nothing

    mnuTools = new QMenu(QStringLiteral("Tools"), this);
    mnuTools->setObjectName(QStringLiteral("mnuTools"));
    mnuBackUpDatabase = mnuTools->addAction(QStringLiteral("Back Up iPod Database..."));
    mnuBackUpDatabase->setObjectName(QStringLiteral("mnuBackUpDatabase"));
}

void frmMenus::setMenuColours(const QColor& background, const QColor& text)
{
    const QString style = QStringLiteral("QMenu { background: %1; color: %2; border: 1px solid #cbd5e1; padding: 4px; }"
                                         "QMenu::item { padding: 5px 22px 5px 14px; border-radius: 4px; }"
                                         "QMenu::item:selected { background: #dbeafe; color: #0f172a; }")
                              .arg(background.name(), text.name());
    for (QMenu* menu : {mnuFilter, mnuDrive, mnuTextBox, mnuTools})
        menu->setStyleSheet(style);
}

void frmMenus::popup(QMenu* menu, const QPoint& globalPosition)
{
    m_lastShown = menu;
    menu->popup(globalPosition);
}

}  // namespace tracklift
