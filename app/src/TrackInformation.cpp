#include "TrackInformation.h"

#include "FormatText.h"
#include "TrackList.h"
#include "frmMenus.h"

#include <sonarchive/TrackValues.h>

#include <QCheckBox>
#include <QLabel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWidget>

#include <cstdlib>

using namespace sonarchive;

namespace tracklift {

namespace {

// At least two digits, as "0#" formats them (a minus sign in front).
QString twoDigits(std::int64_t n)
{
    const QString digits = QString::number(std::llabs(n)).rightJustified(2, QLatin1Char('0'));
    return n < 0 ? QLatin1Char('-') + digits : digits;
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The stop-time box takes no more characters once it holds this many.
constexpr qsizetype kStopTimeLength = 6;

}  // namespace

TrackInformation::TrackInformation(const Widgets& widgets, TrackList& tracks, Dialogs& dialogs, frmMenus& menus, QWidget* owner)
    : QObject(owner), m_w(widgets), m_tracks(tracks), m_dialogs(dialogs), m_menus(menus), m_owner(owner)
{
    for (QLineEdit* filtered : {m_w.txtStartTime, m_w.txtStopTime, m_w.txtYear}) {
        filtered->installEventFilter(this);
        filtered->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(filtered, &QWidget::customContextMenuRequested, this,
                [this, filtered](const QPoint& position) { refuseTextBoxMenu(filtered, position); });
    }
    connect(m_w.chkStartPT, &QCheckBox::clicked, this, [this](bool on) { m_w.txtStartTime->setEnabled(on); });
    connect(m_w.chkStopPT, &QCheckBox::clicked, this, [this](bool on) { m_w.txtStopTime->setEnabled(on); });
}

QString TrackInformation::FormatStartStopTime(std::int32_t ms)
{
    // Whole seconds, halves to the even second.
    std::int64_t total = ms / 1000;
    const std::int64_t rest = std::llabs(static_cast<std::int64_t>(ms) % 1000);
    if (rest > 500 || (rest == 500 && total % 2 != 0))
        total += ms < 0 ? -1 : 1;
    return twoDigits(total / 60) + QLatin1Char(':') + twoDigits(total % 60);
}

bool TrackInformation::ShowTrackInformation()
{
    const GridRow row = m_tracks.highlightedRow();
    if (row == kNoRow) {
        warnUser(m_dialogs, m_owner, QStringLiteral("Please, Click a track first to be highlighted then click View Track Information"));
        return false;
    }
    FillTrackPanel(m_tracks.grid().cellText(row, TrackTableModel::ID).toInt());
    return true;
}

void TrackInformation::FillTrackPanel(std::int32_t id)
{
    m_infoTrackId = id;
    const TrackInfo* found = m_tracks.findTrack(id);
    if (!found)
        return;  // the list changed meanwhile: the panel keeps what it showed
    const TrackInfo& info = *found;
    const auto text = [](const std::u16string& s) { return QString::fromStdU16String(s); };
    m_w.txtTitle->setText(text(info.sTitle));
    m_w.txtAlbum->setText(text(info.sAlbum));
    m_w.txtArtist->setText(text(info.sArtist));
    m_w.txtGenre->setText(text(info.sGenre));
    m_w.txtComment->setText(text(info.sComment));
    m_w.txtComposer->setText(text(info.sComposer));
    const int year = trackYear(info);
    m_w.txtYear->setText(year ? QString::number(year) : QString());
    m_w.chkRemeberPP->setChecked(info.iRememberPlayBackPos == 1);
    m_w.chkSkipWhenShuffle->setChecked(info.iSkipWhenShuffle == 1);
    // The time boxes are only ever ticked here, never unticked.
    if (info.iStartTime > 0) {
        m_w.chkStartPT->setChecked(true);
        m_w.txtStartTime->setEnabled(true);
    }
    m_w.txtStartTime->setText(FormatStartStopTime(info.iStartTime));
    if (info.iStopTime > 0 && info.iStopTime < info.iTrackTimLength) {
        m_w.chkStopPT->setChecked(true);
        m_w.txtStopTime->setEnabled(true);
    }
    m_w.txtStopTime->setText(FormatStartStopTime(info.iStopTime));
    FillRecordedPlays(info);
}

void TrackInformation::FillRecordedPlays(const TrackInfo& info)
{
    const QString stars = FormatRating(info.iRating);
    m_w.lblRating->setText(stars.isEmpty() ? QStringLiteral("Not rated") : stars);
    QString plays = QString::number(info.iPlayCount);
    if (info.iRecentPlays > 0)
        plays += QStringLiteral(" (%1 since the last sync)").arg(info.iRecentPlays);
    m_w.lblPlays->setText(plays);
    const QString lastPlayed = FormatMoment(info.iLastPlayed);
    m_w.lblLastPlayed->setText(lastPlayed.isEmpty() ? QStringLiteral("Never") : lastPlayed);
    QString skips = QString::number(info.iSkipCount);
    if (info.iLastSkipped != 0)
        skips += QStringLiteral(" (last %1)").arg(FormatMoment(info.iLastSkipped));
    m_w.lblSkips->setText(skips);
    m_w.lblBookmark->setText(info.iBookmarkMs > 0 ? FormatTrackLength(info.iBookmarkMs) : QStringLiteral("None"));
}

bool TrackInformation::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == m_w.txtStartTime || watched == m_w.txtStopTime || watched == m_w.txtYear) && event->type() == QEvent::KeyPress &&
        !timeBoxKeyAllowed(static_cast<QLineEdit*>(watched), static_cast<QKeyEvent*>(event)))
        return true;  // the key is dropped
    return QObject::eventFilter(watched, event);
}

bool TrackInformation::timeBoxKeyAllowed(const QLineEdit* box, const QKeyEvent* key) const
{
    switch (key->key()) {
    case Qt::Key_Backspace:
        return true;
    case Qt::Key_Tab: case Qt::Key_Backtab: case Qt::Key_Return: case Qt::Key_Enter: case Qt::Key_Escape:
        return true;  // moving on, not typing
    default:
        break;
    }
    const QString typed = key->text();
    if (typed.isEmpty())
        return true;  // keys that type nothing (arrows, Home, ...)
    if (box == m_w.txtStopTime && box->text().size() >= kStopTimeLength)
        return false;
    for (const QChar c : typed)
        if (!isDigit(c) && !(c == QLatin1Char(':') && box != m_w.txtYear))
            return false;
    return true;
}

void TrackInformation::refuseTextBoxMenu(QLineEdit* box, const QPoint& position)
{
    // The box's own edit menu stays closed; the program's menu says why.
    box->setEnabled(false);
    box->setEnabled(true);
    m_menus.popup(m_menus.mnuTextBox, box->mapToGlobal(position));
}

}  // namespace tracklift
