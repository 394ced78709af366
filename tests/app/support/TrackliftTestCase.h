#pragma once

#include "ScriptedDialogs.h"
#include "TempDir.h"

#include <sonarchive/TrackInfo.h>

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <memory>

class QWidget;

namespace tracklift {
class PanelSlides;
}

namespace testsupport {

// What every test of the program starts from: a settings folder of its own,
// US English number formats, dialogs that answer from a script and no system
// bus (so no disk service). A test
// class that needs more in its init() calls freshStart() first.
class TrackliftTestCase : public QObject {
    Q_OBJECT
protected:
    void freshStart();
    QString configFolder() const { return QString::fromStdString(m_config->path().string()); }

    ScriptedDialogs m_dialogs;

private slots:
    void init() { freshStart(); }

private:
    std::unique_ptr<TempDir> m_config;
};

// A control of the window, found by its name; the test stops when there is none.
template <class Control>
Control* child(const QObject& parent, const char* name)
{
    Control* control = parent.findChild<Control*>(QLatin1String(name));
    if (!control)
        qFatal("no control named %s", name);
    return control;
}

// A track record as the library hands it over.
inline sonarchive::TrackInfo trackInfo(std::int32_t id, const QString& title, const QString& album = {}, const QString& artist = {},
                                       const QString& type = QStringLiteral("MP3"), const QString& location = {})
{
    sonarchive::TrackInfo info;
    info.iTrackID = id;
    info.sTitle = title.toStdU16String();
    info.sAlbum = album.toStdU16String();
    info.sArtist = artist.toStdU16String();
    QString reversed(type);
    std::reverse(reversed.begin(), reversed.end());
    info.sTrackType = reversed.toStdU16String();
    info.sLocation = location.toStdU16String();
    return info;
}

// Runs the growing view button and the slides to their end by calling their ticks; the ticks taken.
int finishAnimations(tracklift::PanelSlides& panels);

// The controls inside `within` that take focus by Tab, in the order Tab goes
// through them, whether they are enabled and shown now or not.
QList<QWidget*> focusOrder(QWidget* within);
// Those Tab stops at now in `window`: enabled and shown.
QList<QWidget*> tabStops(QWidget* window);
QStringList objectNames(const QList<QWidget*>& widgets);

}  // namespace testsupport
