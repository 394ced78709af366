#pragma once

#include <QWidget>

#include <vector>

class QAction;
class QMenu;

namespace tracklift {

// A hidden form that only holds the program's pop-up menus: the filter
// column, the drive list, the one of the time and year boxes and the tools.
class frmMenus final : public QWidget {
    Q_OBJECT
public:
    explicit frmMenus(QWidget* parent = nullptr);

    // Gives the menus the main window's background colour.
    void setMenuColours(const QColor& background, const QColor& text);

    // Shows a menu below-left of a point, without waiting for a choice.
    void popup(QMenu* menu, const QPoint& globalPosition);
    QMenu* lastShown() const { return m_lastShown; }

    QMenu* mnuFilter;
    std::vector<QAction*> mnuFilteriTem;
    QMenu* mnuDrive;
    std::vector<QAction*> mnuDriveItem;  // item 0 is the template of the others
    QMenu* mnuTextBox;
    QMenu* mnuTools;             // the header's Tools button
    QAction* mnuBackUpDatabase;  // "Back Up iPod Database..."

    static QString filterItemCaption(const QString& name) { return name + QStringLiteral("   "); }

signals:
    void filterChosen(const QString& caption);

private:
    QMenu* m_lastShown = nullptr;
};

}  // namespace tracklift
