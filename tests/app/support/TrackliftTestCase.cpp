#include "TrackliftTestCase.h"

#include <PanelSlides.h>

#include <QLocale>
#include <QTimer>

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

}  // namespace testsupport
