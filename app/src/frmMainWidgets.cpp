// The main window's controls: the header, the two pages with their tools,
// the player, and the information and about panels. Where they sit and how
// they look; what they do is wired in frmMain.cpp.

#include "FilterSearch.h"
#include "WindowMetrics.h"
#include "frmMain.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSizeGrip>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

namespace tracklift {

namespace {

const QString kAboutText = QStringLiteral(
    "Tracklift is very easy to use tool to Copy your iPod Device(Any Type), you can copy tracks from iPod to your local hard drive.");

// A line of text that gives way to its neighbours: shortened with "..." where
// the room it gets is too small, whole where it is not.
class ElidedLabel final : public QLabel {
public:
    ElidedLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
    {
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QRect room = contentsRect();
        painter.setPen(palette().color(foregroundRole()));
        painter.drawText(room, Qt::AlignLeft | Qt::AlignVCenter, fontMetrics().elidedText(text(), Qt::ElideRight, room.width()));
    }
};

// A new widget with its object name (what the stylesheet and the tests find it by).
template <typename Widget>
Widget* named(Widget* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

}  // namespace

int frmMain::px(int pixelsAt96Dpi) const
{
    return qRound(pixelsAt96Dpi * logicalDpiY() / 96.0);
}

void frmMain::buildStartPage()
{
    buildHeader();
    DeviceConnection::Widgets& c = m_connectionControls;
    frMainFrame = named(new QWidget(this), "frMainFrame");
    frMainFrame->setAttribute(Qt::WA_StyledBackground);
    auto* heading = named(new QLabel(QStringLiteral("Your iPod's music and videos, on this computer"), frMainFrame), "lblHeading");
    auto* intro = named(new QLabel(QStringLiteral("Connect the iPod, load its contents, tick the tracks you want and copy them to a folder."),
                                   frMainFrame),
                        "lblIntro");
    intro->setWordWrap(true);

    cmdLoadiPod = named(new QPushButton(QStringLiteral("Load iPod Contents"), frMainFrame), "cmdLoadiPod");
    c.cmdLoadiPod = cmdLoadiPod;
    cmdViewContents = named(new QPushButton(frMainFrame), "cmdViewContents");
    cmdViewContents->setFixedWidth(0);
    cmdViewContents->setVisible(false);
    lblStatus = named(new QLabel(QStringLiteral("Waiting to load iPod contents"), frMainFrame), "lblStatus");
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(px(12));
    buttons->addWidget(cmdLoadiPod);
    buttons->addWidget(cmdViewContents);
    buttons->addStretch();

    auto* page = new QVBoxLayout(frMainFrame);
    page->setContentsMargins(px(40), px(kHeaderHeight + 34), px(40), px(kFooterHeight + 24));
    page->setSpacing(px(10));
    page->addWidget(heading);
    page->addWidget(intro);
    page->addSpacing(px(18));
    page->addWidget(connectionPanel());
    page->addSpacing(px(22));
    page->addLayout(buttons);
    page->addSpacing(px(6));
    page->addWidget(lblStatus);
    page->addStretch();

    c.lblDiskSpace = named(new QLabel(QStringLiteral("...iPod Disk Space..."), this), "lblDiskSpace");
    // The window has no frame of its own: the corner grip resizes it.
    sizeGrip = named(new QSizeGrip(this), "sizeGrip");
}

// The header across the window: the title, the header's buttons and the window's own.
void frmMain::buildHeader()
{
    DeviceConnection::Widgets& c = m_connectionControls;
    frTopHeader = named(new QWidget(this), "frTopHeader");
    frTopHeader->setAttribute(Qt::WA_StyledBackground);
    lblTitle = named(new QLabel(applicationTitle(), frTopHeader), "lblTitle");
    auto* subtitle = named(new ElidedLabel(QStringLiteral("Copy tracks from your iPod to this computer"), frTopHeader), "lblSubtitle");
    const auto button = [this](const QString& text, const char* name, const QString& tip = {}) {
        auto* b = named(new QPushButton(text, frTopHeader), name);
        b->setToolTip(tip);
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    cmdMinimize = button(QStringLiteral("\u2013"), "cmdMinimize", QStringLiteral("Minimize"));
    cmdMaximize = button(QStringLiteral("\u25A1"), "cmdMaximize", QStringLiteral("Maximize"));
    cmdClose = button(QStringLiteral("\u2715"), "cmdClose", QStringLiteral("Close"));
    cmdHelp = button(QStringLiteral("Help"), "cmdHelp");
    cmdAbout = button(QStringLiteral("About"), "cmdAbout");
    c.cmdEject = button(QStringLiteral("Eject iPod"), "cmdEject", QStringLiteral("Unmount the iPod and power it off, so that it can be unplugged"));
    cmdTools = button(QStringLiteral("Tools"), "cmdTools", QStringLiteral("Back up the iPod's database before anything else"));
    for (QPushButton* b : {cmdTools, c.cmdEject, cmdHelp, cmdAbout})
        b->setProperty("headerText", true);
    auto* header = new QHBoxLayout(frTopHeader);
    header->setContentsMargins(px(20), 0, px(6), 0);
    header->setSpacing(px(12));
    header->addWidget(lblTitle);
    header->addWidget(subtitle, 1);
    header->addStretch();
    for (QPushButton* b : {cmdTools, c.cmdEject, cmdHelp, cmdAbout})
        header->addWidget(b);
    header->addSpacing(px(8));
    for (QPushButton* b : {cmdMinimize, cmdMaximize, cmdClose})
        header->addWidget(b);
}

// How the iPod is found: automatically, or the drive the user chooses; and
// what the disk service says of it.
QWidget* frmMain::connectionPanel()
{
    DeviceConnection::Widgets& c = m_connectionControls;
    auto* connection = named(new QWidget(frMainFrame), "frConnection");
    connection->setAttribute(Qt::WA_StyledBackground);
    auto* connectionTitle = named(new QLabel(QStringLiteral("Connection"), connection), "lblConnection");
    c.optAutomatic = named(new QRadioButton(QStringLiteral("Automatically detect the iPod if connected"), connection), "optAutomatic");
    c.optiPodDrive = named(new QRadioButton(QStringLiteral("Manually specify the iPod Drive"), connection), "optiPodDrive");
    c.cmdDrive = named(new QPushButton(QStringLiteral("Select Drive..."), connection), "cmdDrive");
    c.cmdDrive->setEnabled(false);
    c.cmdDrive->setMinimumWidth(px(220));
    auto* modes = new QButtonGroup(this);
    modes->addButton(c.optAutomatic);
    modes->addButton(c.optiPodDrive);
    c.lblDeviceNotice = named(new QLabel(connection), "lblDeviceNotice");
    c.lblDeviceNotice->setMinimumHeight(c.lblDeviceNotice->fontMetrics().height());  // its line is kept while empty

    auto* manualRow = new QHBoxLayout;
    manualRow->addWidget(c.optiPodDrive);
    manualRow->addSpacing(px(12));
    manualRow->addWidget(c.cmdDrive);
    manualRow->addStretch();
    auto* layout = new QVBoxLayout(connection);
    layout->setContentsMargins(px(18), px(14), px(18), px(16));
    layout->setSpacing(px(10));
    layout->addWidget(connectionTitle);
    layout->addWidget(c.optAutomatic);
    layout->addLayout(manualRow);
    layout->addWidget(c.lblDeviceNotice);
    return connection;
}

void frmMain::buildContentsPage()
{
    frContents = named(new QWidget(this), "frContents");
    frContents->setAttribute(Qt::WA_StyledBackground);
    frTools = named(new QWidget(frContents), "frTools");
    new QHBoxLayout(frTools);
    frTools->layout()->setContentsMargins(0, 0, 0, 0);
    chkSelectAll = named(new QCheckBox(QStringLiteral("Select All/ UnSelect All"), frContents), "chkSelectAll");
    frActions = named(new QWidget(frContents), "frActions");
    auto* actions = new QHBoxLayout(frActions);
    actions->setContentsMargins(0, 0, 0, 0);
    actions->setSpacing(px(6));
    actions->addWidget(chkSelectAll);
    actions->addStretch();
    buildTrackGrid();

    auto* page = new QVBoxLayout(frContents);
    page->setContentsMargins(px(16), px(kHeaderHeight + 12), px(16), px(kFooterHeight + 12));
    page->setSpacing(px(10));
    page->addLayout(listChoiceRow());
    page->addWidget(frTools);
    page->addWidget(gridView, 1);
    page->addWidget(frActions);
    page->addLayout(copyRow());
}

// Tab goes through the contents page as it is read: "Show:", the filter and
// search tools, the grid, the row under it ("Select All", the track and player
// buttons), then Back, Copy Options and the copy. Called once every part of the
// page is made.
void frmMain::orderContentsTabs()
{
    const auto tabStopsIn = [](QWidget* part) {
        QList<QWidget*> stops;
        for (QWidget* w : part->findChildren<QWidget*>())
            if (w->focusPolicy() & Qt::TabFocus)
                stops << w;
        return stops;
    };
    QList<QWidget*> order{cboPlaylist};
    order << tabStopsIn(frTools) << gridView << tabStopsIn(frActions);
    order << cmdCancel << cmdCopyOptions << cmdCopy2Computer;
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

// What the grid shows ("Show:"), and the notice of an iPod gone while loaded.
QHBoxLayout* frmMain::listChoiceRow()
{
    auto* playlistLabel = named(new QLabel(QStringLiteral("Show:"), frContents), "lblPlaylist");
    cboPlaylist = named(new QComboBox(frContents), "cboPlaylist");
    cboPlaylist->setMinimumWidth(px(260));
    cboPlaylist->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cboPlaylist->setMinimumContentsLength(24);
    playlistLabel->setBuddy(cboPlaylist);
    lblDisconnected = named(new QLabel(QStringLiteral("The iPod was disconnected; copying is off until it is back."), frContents),
                            "lblDisconnected");
    lblDisconnected->hide();
    auto* choice = new QHBoxLayout;
    choice->setSpacing(px(8));
    choice->addWidget(playlistLabel);
    choice->addWidget(cboPlaylist);
    choice->addStretch();
    choice->addWidget(lblDisconnected);
    return choice;
}

// The track grid: whole rows selected, sorted by a header click, table order until then.
void frmMain::buildTrackGrid()
{
    gridView = named(new QTableView(frContents), "Grid");
    gridView->setAlternatingRowColors(true);
    gridView->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    gridView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridView->setSortingEnabled(true);
    gridView->setWordWrap(false);
    gridView->setShowGrid(false);
    QHeaderView* header = gridView->horizontalHeader();
    header->setHighlightSections(false);
    header->setMinimumSectionSize(px(16));  // the check box column is narrow
    header->setStretchLastSection(true);     // the last column takes what is left
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    gridView->verticalHeader()->setVisible(false);
    gridView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    gridView->verticalHeader()->setDefaultSectionSize(px(24));
    gridView->sortByColumn(-1, Qt::AscendingOrder);
}

// Back, the ticked tracks' count, the copy options and the copy itself.
QHBoxLayout* frmMain::copyRow()
{
    cmdCancel = named(new QPushButton(QStringLiteral("<< Back"), frContents), "cmdCancel");
    cmdCopy2Computer = named(new QPushButton(QStringLiteral("Copy Selected Tracks to computer"), frContents), "cmdCopy2Computer");
    cmdCopyOptions = named(new QPushButton(QStringLiteral("Copy Options..."), frContents), "cmdCopyOptions");
    lblTicked = named(new QLabel(frContents), "lblTicked");
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(cmdCancel);
    bottom->addSpacing(px(12));
    bottom->addWidget(lblTicked);
    bottom->addStretch();
    bottom->addWidget(cmdCopyOptions);
    bottom->addWidget(cmdCopy2Computer);
    return bottom;
}

void frmMain::buildSearchTools()
{
    FilterSearch::Widgets& t = m_filterControls;
    t.optShowAllTracks = new QRadioButton(QStringLiteral("Show All Tracks"), frTools);
    t.optFilterTracks = new QRadioButton(QStringLiteral("Filter Tracks by"), frTools);
    t.optShowAllTracks->setObjectName(QStringLiteral("optShowAllTracks"));
    t.optFilterTracks->setObjectName(QStringLiteral("optFilterTracks"));
    auto* modes = new QButtonGroup(frTools);
    modes->addButton(t.optShowAllTracks);
    modes->addButton(t.optFilterTracks);
    t.cmdFilters = new QPushButton(QStringLiteral("Title"), frTools);
    t.cmdFilters->setObjectName(QStringLiteral("cmdFilters"));
    t.cmdFilters->setMinimumWidth(px(78));
    t.txtFilter = new QLineEdit(FilterSearch::filterPlaceholder(), frTools);
    t.txtFilter->setObjectName(QStringLiteral("txtFilter"));
    t.cmdFilter = new QPushButton(QStringLiteral("Filter"), frTools);
    t.cmdFilter->setObjectName(QStringLiteral("cmdFilter"));
    t.txtSearch = new QLineEdit(FilterSearch::searchPlaceholder(), frTools);
    t.txtSearch->setObjectName(QStringLiteral("txtSearch"));
    t.cmdSearch = new QPushButton(QStringLiteral("Search"), frTools);
    t.cmdSearch->setObjectName(QStringLiteral("cmdSearch"));
    for (QLineEdit* box : {t.txtFilter, t.txtSearch}) {
        box->setMinimumWidth(px(150));
    }

    auto* tools = static_cast<QHBoxLayout*>(frTools->layout());
    tools->setSpacing(px(6));
    tools->addWidget(t.optShowAllTracks);
    tools->addSpacing(px(8));
    tools->addWidget(t.optFilterTracks);
    tools->addWidget(t.cmdFilters);
    tools->addWidget(t.txtFilter, 1);
    tools->addWidget(t.cmdFilter);
    tools->addSpacing(px(16));
    tools->addWidget(t.txtSearch, 1);
    tools->addWidget(t.cmdSearch);
}

void frmMain::buildTrackPanel()
{
    cmdEditTrack = new QPushButton(QStringLiteral("View Highlighted Track Information"), frActions);
    cmdEditTrack->setObjectName(QStringLiteral("cmdEditTrack"));
    frActions->layout()->addWidget(cmdEditTrack);

    frEditFrame = new QWidget(this);
    frEditFrame->setObjectName(QStringLiteral("frEditFrame"));
    frEditFrame->setAttribute(Qt::WA_StyledBackground);
    frEditFrame->resize(px(660), px(460));

    auto* heading = new QLabel(QStringLiteral("Track Information"), frEditFrame);
    heading->setObjectName(QStringLiteral("lblPanelHeading"));
    auto* note = new QLabel(QStringLiteral("What the iPod's database holds for this track."), frEditFrame);
    note->setObjectName(QStringLiteral("lblPanelNote"));

    // The fields are made first and Close last: Tab goes from the title down to Close.
    auto* layout = new QVBoxLayout(frEditFrame);
    layout->setContentsMargins(px(24), px(14), px(24), px(14));
    layout->setSpacing(px(6));
    layout->addWidget(heading);
    layout->addWidget(note);
    layout->addSpacing(px(4));
    // The cover beside the texts, at the size the device shows it.
    m_infoControls.lblCover = panelLabel("No cover", "lblCover");
    m_infoControls.lblCover->setFixedSize(px(150), px(150));
    m_infoControls.lblCover->setAlignment(Qt::AlignCenter);
    auto* top = new QHBoxLayout;
    top->setSpacing(px(16));
    top->addLayout(trackFieldsLayout(), 1);
    top->addWidget(m_infoControls.lblCover, 0, Qt::AlignTop);
    layout->addLayout(top);
    layout->addSpacing(px(4));
    layout->addWidget(panelLabel("On the iPod", "lblSection"));
    layout->addLayout(recordedPlaysLayout());
    layout->addSpacing(px(4));
    layout->addWidget(panelLabel("Playback", "lblSection"));
    layout->addLayout(trackPlaybackLayout());
    layout->addStretch();
    cmdCancelEdit = new QPushButton(QStringLiteral("Close"), frEditFrame);
    cmdCancelEdit->setObjectName(QStringLiteral("cmdCancelEdit"));
    cmdCancelEdit->setMinimumWidth(px(96));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdCancelEdit);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetMinimumSize);  // never shorter than its rows need
}

QLabel* frmMain::panelLabel(const char* text, const char* objectName)
{
    auto* label = new QLabel(QLatin1String(text), frEditFrame);
    label->setObjectName(QLatin1String(objectName));
    return label;
}

// A row of the panel: one field across it, or two side by side, each after its label.
void frmMain::addPanelRow(QGridLayout* grid, int row, std::initializer_list<std::pair<const char*, QWidget*>> fields)
{
    int column = 0;
    for (const auto& [label, widget] : fields) {
        grid->addWidget(panelLabel(label, "lblField"), row, column);
        grid->addWidget(widget, row, column + 1, 1, fields.size() == 1 ? 3 : 1);
        column += 2;
    }
}

QGridLayout* frmMain::panelGrid()
{
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(px(10));
    grid->setVerticalSpacing(px(5));
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    return grid;
}

// The texts of the track, two to a row, and its year and rating.
QGridLayout* frmMain::trackFieldsLayout()
{
    TrackInformation::Widgets& f = m_infoControls;
    const auto box = [this](const char* name) {
        auto* edit = new QLineEdit(frEditFrame);
        edit->setObjectName(QLatin1String(name));
        return edit;
    };
    f.txtTitle = box("txtTitle");
    f.txtAlbum = box("txtAlbum");
    f.txtArtist = box("txtArtist");
    f.txtGenre = box("txtGenre");
    f.txtComment = box("txtComment");
    f.txtComposer = box("txtComposer");
    f.txtYear = box("txtYear");
    f.txtYear->setMaximumWidth(px(90));
    f.lblRating = panelLabel("", "lblRating");

    auto* fields = panelGrid();
    addPanelRow(fields, 0, {{"Title", f.txtTitle}});
    addPanelRow(fields, 1, {{"Album", f.txtAlbum}, {"Artist", f.txtArtist}});
    addPanelRow(fields, 2, {{"Composer", f.txtComposer}, {"Genre", f.txtGenre}});
    addPanelRow(fields, 3, {{"Comment", f.txtComment}});
    addPanelRow(fields, 4, {{"Year", f.txtYear}, {"Rating", f.lblRating}});
    fields->setAlignment(f.txtYear, Qt::AlignLeft);
    return fields;
}

// What the iPod recorded of the track: plays, last play, skips and bookmark.
QGridLayout* frmMain::recordedPlaysLayout()
{
    TrackInformation::Widgets& f = m_infoControls;
    f.lblPlays = panelLabel("", "lblPlays");
    f.lblLastPlayed = panelLabel("", "lblLastPlayed");
    f.lblSkips = panelLabel("", "lblSkips");
    f.lblBookmark = panelLabel("", "lblBookmark");
    auto* plays = panelGrid();
    addPanelRow(plays, 0, {{"Plays", f.lblPlays}, {"Last Played", f.lblLastPlayed}});
    addPanelRow(plays, 1, {{"Skips", f.lblSkips}, {"Bookmark", f.lblBookmark}});
    return plays;
}

// How the iPod plays the track: the flags and the start and stop times.
QGridLayout* frmMain::trackPlaybackLayout()
{
    TrackInformation::Widgets& f = m_infoControls;
    f.txtStartTime = new QLineEdit(frEditFrame);
    f.txtStartTime->setObjectName(QStringLiteral("txtStartTime"));
    f.txtStopTime = new QLineEdit(frEditFrame);
    f.txtStopTime->setObjectName(QStringLiteral("txtStopTime"));
    for (QLineEdit* time : {f.txtStartTime, f.txtStopTime}) {
        time->setEnabled(false);
        time->setMaximumWidth(px(90));
    }
    f.chkRemeberPP = new QCheckBox(QStringLiteral("Remember Playback Position"), frEditFrame);
    f.chkSkipWhenShuffle = new QCheckBox(QStringLiteral("Skip When Shuffle"), frEditFrame);
    f.chkStartPT = new QCheckBox(QStringLiteral("Start Playback Time"), frEditFrame);
    f.chkStopPT = new QCheckBox(QStringLiteral("Stop Playback Time"), frEditFrame);
    f.chkRemeberPP->setObjectName(QStringLiteral("chkRemeberPP"));
    f.chkSkipWhenShuffle->setObjectName(QStringLiteral("chkSkipWhenShuffle"));
    f.chkStartPT->setObjectName(QStringLiteral("chkStartPT"));
    f.chkStopPT->setObjectName(QStringLiteral("chkStopPT"));

    auto* playback = panelGrid();
    playback->addWidget(f.chkRemeberPP, 0, 0);
    playback->addWidget(f.chkSkipWhenShuffle, 0, 2);
    playback->addWidget(f.chkStartPT, 1, 0);
    playback->addWidget(f.txtStartTime, 1, 1);
    playback->addWidget(f.chkStopPT, 1, 2);
    playback->addWidget(f.txtStopTime, 1, 3);
    return playback;
}

void frmMain::buildPlayer()
{
    TrackPlayer::Widgets& p = m_playerControls;
    p.frameMovie = new QWidget(this);
    p.frameMovie->setObjectName(QStringLiteral("frameMovie"));
    p.frameMovie->hide();

    frPlayer = new QWidget(frActions);
    frPlayer->setObjectName(QStringLiteral("frPlayer"));
    frPlayer->setAttribute(Qt::WA_StyledBackground);
    const auto button = [this](const char* name, QStyle::StandardPixmap icon, const char* tip) {
        auto* b = new QPushButton(frPlayer);
        b->setObjectName(QLatin1String(name));
        b->setIcon(style()->standardIcon(icon));
        b->setToolTip(QLatin1String(tip));
        b->setProperty("playerButton", true);
        return b;
    };
    p.cmdPrevTrack = button("cmdPrevTrack", QStyle::SP_MediaSkipBackward, "Play Previous Track");
    p.cmdPlay = button("cmdPlay", QStyle::SP_MediaPlay, "Play / Pause Highlighted Track");
    p.cmdStop = button("cmdStop", QStyle::SP_MediaStop, "Stop");
    p.cmdNextTrack = button("cmdNextTrack", QStyle::SP_MediaSkipForward, "Play Next Track");
    p.lblPlayInformation = new QLabel(QStringLiteral("Play Information"), frPlayer);
    p.lblPlayInformation->setObjectName(QStringLiteral("lblPlayInformation"));
    p.lblFileName = new QLabel(QStringLiteral("."), frPlayer);
    p.lblFileName->setObjectName(QStringLiteral("lblFileName"));
    p.lblFileName->setMinimumWidth(px(140));
    p.lblFileName->setMaximumWidth(px(220));
    p.lblTime = new QLabel(QStringLiteral("00:00"), frPlayer);
    p.lblTime->setObjectName(QStringLiteral("lblTime"));
    p.lblTotalTime = new QLabel(QStringLiteral("/ 00:00"), frPlayer);
    p.lblTotalTime->setObjectName(QStringLiteral("lblTotalTime"));

    auto* layout = new QHBoxLayout(frPlayer);
    layout->setContentsMargins(px(4), px(2), px(10), px(2));
    layout->setSpacing(px(4));
    for (QPushButton* b : {p.cmdPrevTrack, p.cmdPlay, p.cmdStop, p.cmdNextTrack})
        layout->addWidget(b);
    layout->addSpacing(px(8));
    auto* info = new QVBoxLayout;
    info->setSpacing(0);
    info->addWidget(p.lblPlayInformation);
    auto* line = new QHBoxLayout;
    line->setSpacing(px(4));
    line->addWidget(p.lblFileName);
    line->addWidget(p.lblTime);
    line->addWidget(p.lblTotalTime);
    info->addLayout(line);
    layout->addLayout(info);
    auto* actions = static_cast<QHBoxLayout*>(frActions->layout());
    actions->insertWidget(2, frPlayer);
    actions->insertStretch(3);
}

void frmMain::buildAboutPanel()
{
    frAboutFrame = new QWidget(this);
    frAboutFrame->setObjectName(QStringLiteral("frAboutFrame"));
    frAboutFrame->setAttribute(Qt::WA_StyledBackground);
    frAboutFrame->resize(px(460), px(250));
    auto* heading = new QLabel(QStringLiteral("About"), frAboutFrame);
    heading->setObjectName(QStringLiteral("lblPanelHeading"));
    lblAboutProduct = new QLabel(QStringLiteral("Tracklift %1").arg(QStringLiteral(TRACKLIFT_VERSION)), frAboutFrame);
    lblAboutProduct->setObjectName(QStringLiteral("lblAboutProduct"));
    lblAboutText = new QLabel(kAboutText, frAboutFrame);
    lblAboutText->setObjectName(QStringLiteral("lblAboutText"));
    lblAboutText->setWordWrap(true);
    cmdAboutOK = new QPushButton(QStringLiteral("OK"), frAboutFrame);
    cmdAboutOK->setObjectName(QStringLiteral("cmdAboutOK"));
    cmdAboutOK->setMinimumWidth(px(96));

    auto* layout = new QVBoxLayout(frAboutFrame);
    layout->setContentsMargins(px(28), px(22), px(28), px(22));
    layout->setSpacing(px(10));
    layout->addWidget(heading);
    layout->addWidget(lblAboutProduct);
    layout->addSpacing(px(6));
    layout->addWidget(lblAboutText);
    layout->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdAboutOK);
    layout->addLayout(buttons);
}

}  // namespace tracklift
