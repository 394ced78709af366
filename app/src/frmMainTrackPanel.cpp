// The track information panel: what the device's database holds for the
// highlighted track, shown read-only in spirit (nothing is written back).

#include "frmMain.h"
#include "frmMenus.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

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

}  // namespace

QString frmMain::FormatStartStopTime(std::int32_t ms)
{
    // Whole seconds, halves to the even second.
    std::int64_t total = ms / 1000;
    const std::int64_t rest = std::llabs(static_cast<std::int64_t>(ms) % 1000);
    if (rest > 500 || (rest == 500 && total % 2 != 0))
        total += ms < 0 ? -1 : 1;
    return twoDigits(total / 60) + QLatin1Char(':') + twoDigits(total % 60);
}

void frmMain::buildTrackPanel()
{
    frameMovie = new QWidget(this);
    frameMovie->setObjectName(QStringLiteral("frameMovie"));
    frameMovie->resize(pixelsFromTwips(2895), pixelsFromTwips(1695));
    frameMovie->hide();

    cmdEditTrack = new QPushButton(QStringLiteral("View Highlighted Track Information"), frActions);
    cmdEditTrack->setObjectName(QStringLiteral("cmdEditTrack"));
    frActions->layout()->addWidget(cmdEditTrack);
    connect(cmdEditTrack, &QPushButton::clicked, this, &frmMain::cmdEditTrack_Click);

    frEditFrame = new QWidget(this);
    frEditFrame->setObjectName(QStringLiteral("frEditFrame"));
    frEditFrame->setAttribute(Qt::WA_StyledBackground);
    frEditFrame->resize(px(660), px(400));

    auto* heading = new QLabel(QStringLiteral("Track Information"), frEditFrame);
    heading->setObjectName(QStringLiteral("lblPanelHeading"));
    auto* note = new QLabel(QStringLiteral("What the iPod's database holds for this track."), frEditFrame);
    note->setObjectName(QStringLiteral("lblPanelNote"));

    const auto box = [this](const char* name) {
        auto* edit = new QLineEdit(frEditFrame);
        edit->setObjectName(QLatin1String(name));
        return edit;
    };
    txtTitle = box("txtTitle");
    txtAlbum = box("txtAlbum");
    txtArtist = box("txtArtist");
    txtGenre = box("txtGenre");
    txtComment = box("txtComment");
    txtComposer = box("txtComposer");
    txtYear = box("txtYear");
    txtStartTime = box("txtStartTime");
    txtStopTime = box("txtStopTime");
    chkRemeberPP = new QCheckBox(QStringLiteral("Remember Playback Position"), frEditFrame);
    chkSkipWhenShuffle = new QCheckBox(QStringLiteral("Skip When Shuffle"), frEditFrame);
    chkStartPT = new QCheckBox(QStringLiteral("Start Playback Time"), frEditFrame);
    chkStopPT = new QCheckBox(QStringLiteral("Stop Playback Time"), frEditFrame);
    cmdCancelEdit = new QPushButton(QStringLiteral("Close"), frEditFrame);
    cmdCancelEdit->setObjectName(QStringLiteral("cmdCancelEdit"));
    cmdCancelEdit->setMinimumWidth(px(96));
    for (QLineEdit* time : {txtStartTime, txtStopTime}) {
        time->setEnabled(false);
        time->setMaximumWidth(px(90));
    }
    txtYear->setMaximumWidth(px(90));
    for (QLineEdit* filtered : {txtStartTime, txtStopTime, txtYear}) {
        filtered->installEventFilter(this);
        filtered->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(filtered, &QWidget::customContextMenuRequested, this,
                [this, filtered](const QPoint& position) { refuseTextBoxMenu(filtered, position); });
    }
    connect(chkStartPT, &QCheckBox::clicked, this, [this](bool on) { txtStartTime->setEnabled(on); });
    connect(chkStopPT, &QCheckBox::clicked, this, [this](bool on) { txtStopTime->setEnabled(on); });
    connect(cmdCancelEdit, &QPushButton::clicked, this, &frmMain::cmdCancelEdit_Click);

    const auto label = [this](const char* text) {
        auto* l = new QLabel(QLatin1String(text), frEditFrame);
        l->setObjectName(QStringLiteral("lblField"));
        return l;
    };
    auto* fields = new QGridLayout;
    fields->setHorizontalSpacing(px(10));
    fields->setVerticalSpacing(px(8));
    fields->addWidget(label("Title"), 0, 0);
    fields->addWidget(txtTitle, 0, 1, 1, 3);
    fields->addWidget(label("Album"), 1, 0);
    fields->addWidget(txtAlbum, 1, 1);
    fields->addWidget(label("Artist"), 1, 2);
    fields->addWidget(txtArtist, 1, 3);
    fields->addWidget(label("Composer"), 2, 0);
    fields->addWidget(txtComposer, 2, 1);
    fields->addWidget(label("Genre"), 2, 2);
    fields->addWidget(txtGenre, 2, 3);
    fields->addWidget(label("Comment"), 3, 0);
    fields->addWidget(txtComment, 3, 1, 1, 3);
    fields->addWidget(label("Year"), 4, 0);
    fields->addWidget(txtYear, 4, 1, Qt::AlignLeft);
    fields->setColumnStretch(1, 1);
    fields->setColumnStretch(3, 1);

    auto* playback = new QGridLayout;
    playback->setHorizontalSpacing(px(10));
    playback->setVerticalSpacing(px(8));
    playback->addWidget(chkRemeberPP, 0, 0);
    playback->addWidget(chkSkipWhenShuffle, 0, 2);
    playback->addWidget(chkStartPT, 1, 0);
    playback->addWidget(txtStartTime, 1, 1);
    playback->addWidget(chkStopPT, 1, 2);
    playback->addWidget(txtStopTime, 1, 3);
    playback->setColumnStretch(1, 1);
    playback->setColumnStretch(3, 1);
    auto* playbackTitle = label("Playback");
    playbackTitle->setObjectName(QStringLiteral("lblSection"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdCancelEdit);

    auto* layout = new QVBoxLayout(frEditFrame);
    layout->setContentsMargins(px(24), px(18), px(24), px(18));
    layout->setSpacing(px(8));
    layout->addWidget(heading);
    layout->addWidget(note);
    layout->addSpacing(px(6));
    layout->addLayout(fields);
    layout->addSpacing(px(8));
    layout->addWidget(playbackTitle);
    layout->addLayout(playback);
    layout->addStretch();
    layout->addLayout(buttons);
}

GridRow frmMain::highlightedRow()
{
    // The active cell counts as selected; of all rows with a selected cell the
    // lowest one is the highlighted track.
    const GridCell active = m_grid->activeCell();
    if (!active.isNull()) {
        m_grid->setCellSelected(active, true);
        m_grid->setCellSelected({active.row, TrackTableModel::CheckBox}, true);
    }
    return m_grid->lastRowWithSelection();
}

bool frmMain::ShowTrackInformation()
{
    const GridRow row = highlightedRow();
    if (row == kNoRow) {
        warn(QStringLiteral("Please, Click a track first to be highlighted then click View Track Information"));
        return false;
    }
    FillTrackPanel(m_grid->cellText(row, TrackTableModel::ID).toInt());
    return true;
}

void frmMain::FillTrackPanel(std::int32_t id)
{
    InfoTrackID = id;
    const auto found = std::find_if(TrackInfos.begin(), TrackInfos.end(), [id](const TrackInfo& t) { return t.iTrackID == id; });
    if (found == TrackInfos.end())
        return;  // the list changed meanwhile: the panel keeps what it showed
    const TrackInfo& info = *found;
    const auto text = [](const std::u16string& s) { return QString::fromStdU16String(s); };
    txtTitle->setText(text(info.sTitle));
    txtAlbum->setText(text(info.sAlbum));
    txtArtist->setText(text(info.sArtist));
    txtGenre->setText(text(info.sGenre));
    txtComment->setText(text(info.sComment));
    txtComposer->setText(text(info.sComposer));
    const int year = trackYear(info);
    txtYear->setText(year ? QString::number(year) : QString());
    chkRemeberPP->setChecked(info.iRememberPlayBackPos == 1);
    chkSkipWhenShuffle->setChecked(info.iSkipWhenShuffle == 1);
    // The time boxes are only ever ticked here, never unticked.
    if (info.iStartTime > 0) {
        chkStartPT->setChecked(true);
        txtStartTime->setEnabled(true);
    }
    txtStartTime->setText(FormatStartStopTime(info.iStartTime));
    if (info.iStopTime > 0 && info.iStopTime < info.iTrackTimLength) {
        chkStopPT->setChecked(true);
        txtStopTime->setEnabled(true);
    }
    txtStopTime->setText(FormatStartStopTime(info.iStopTime));
}

void frmMain::cmdEditTrack_Click()
{
    if (!ShowTrackInformation())
        return;
    cmdAbout->setEnabled(false);
    frContents->setEnabled(false);
    MovingPanel = frEditFrame;
    StartPanelAnimation(6);
}

void frmMain::cmdCancelEdit_Click()
{
    MovingPanel = frEditFrame;
    StartPanelAnimation(7);
}

bool frmMain::timeBoxKeyAllowed(QLineEdit* box, QKeyEvent* key) const
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
    if (box == txtStopTime && box->text().size() > 5)
        return false;
    for (const QChar c : typed)
        if (!isDigit(c) && !(c == QLatin1Char(':') && box != txtYear))
            return false;
    return true;
}

void frmMain::refuseTextBoxMenu(QLineEdit* box, const QPoint& position)
{
    // The box's own edit menu stays closed; the program's menu says why.
    box->setEnabled(false);
    box->setEnabled(true);
    m_menus->popup(m_menus->mnuTextBox, box->mapToGlobal(position));
}

}  // namespace tracklift
