#include "TrackliftTestCase.h"

#include <PanelSlides.h>

#include <QLocale>
#include <QTimer>
#include <QWidget>

namespace testsupport {

void TrackliftTestCase::freshStart()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    m_config = std::make_unique<TempDir>();
    qputenv("TRACKLIFT_CONFIG_DIR", QByteArray::fromStdString(m_config->path().string()));
    // No system bus unless a test starts one: the machine's disk service stays out of the tests.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", QByteArray::fromStdString("unix:path=" + (m_config->path() / "no-bus").string()));
    m_dialogs = ScriptedDialogs();
}

int finishAnimations(tracklift::PanelSlides& panels)
{
    int ticks = 0;
    while ((panels.isViewButtonGrowing() || panels.isSliding()) && ticks < 10000) {
        if (panels.isViewButtonGrowing())
            panels.tmrShowViewButton_Timer();
        else
            panels.tmrAnimate_Timer();
        ++ticks;
    }
    return ticks;
}

QList<QWidget*> focusOrder(QWidget* within)
{
    QList<QWidget*> order;
    for (QWidget* w = within->nextInFocusChain(); w != within; w = w->nextInFocusChain())
        if (within->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && !w->focusProxy())
            order << w;
    return order;
}

QList<QWidget*> tabStops(QWidget* window)
{
    QList<QWidget*> stops;
    for (QWidget* w : focusOrder(window))
        if (w->isEnabled() && w->isVisibleTo(window))
            stops << w;
    return stops;
}

QStringList objectNames(const QList<QWidget*>& widgets)
{
    QStringList names;
    for (const QWidget* w : widgets)
        names << w->objectName();
    return names;
}

}  // namespace testsupport
