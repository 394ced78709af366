#include "PanelSlides.h"

#include "WindowMetrics.h"

#include <QGraphicsDropShadowEffect>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

namespace tracklift {

namespace {

// The names of the slides, as sMoveObject holds them.
constexpr const char* kPagesRightName = "Main 2 Right";
constexpr const char* kPagesLeftName = "Main 2 Left";
constexpr const char* kPanelUpName = "Edit Frame 2 Up";
constexpr const char* kPanelDownName = "Edit Frame 2 Down";

// Each slide as StartPanelAnimation starts it: its name and first speed.
struct SlideStart {
    int kind;
    const char* name;
    int step;      // twips per tick
    int interval;  // milliseconds between ticks
};
constexpr SlideStart kSlideStarts[] = {
    {PanelSlides::PagesRight, kPagesRightName, 800, 5},
    {PanelSlides::PagesLeft, kPagesLeftName, 800, 5},
    {PanelSlides::PanelUp, kPanelUpName, 300, 10},
    {PanelSlides::PanelDown, kPanelDownName, 500, 5},
};

constexpr int kTimerDesignIntervalMs = 10;

// The pages slow down for their last stretch.
constexpr int kPageSlowStretchTwips = 1200;
constexpr int kPageSlowStep = 100;
constexpr int kPageSlowInterval = 10;

// A rising panel halves its step (twice at most) below kPanelSlowTop, and rests at kPanelRestTop.
constexpr int kPanelSlowTopTwips = 2100;
constexpr int kPanelMinHalvingStep = 100;
constexpr int kPanelStopBelowTwips = 1450;
constexpr int kPanelRestTopTwips = 1515;

// The view button grows fast, then slower once past kViewButtonSlowTwips.
constexpr int kViewButtonStep = 200;
constexpr int kViewButtonInterval = 5;
constexpr int kViewButtonSlowTwips = 2600;
constexpr int kViewButtonSlowStep = 50;
constexpr int kViewButtonSlowInterval = 5;

// The hidden movie panel the media device draws into.
constexpr int kMovieLeftTwips = 6210;
constexpr int kMovieTopTwips = 2130;
constexpr int kMovieWidthTwips = 2895;
constexpr int kMovieHeightTwips = 1695;

const QString kViewButtonCaption = QStringLiteral("View && Copy iPod Contents>> ");

}  // namespace

PanelSlides::PanelSlides(const Widgets& widgets, QObject* parent)
    : QObject(parent), m_w(widgets), m_animate(new QTimer(this)), m_showViewButton(new QTimer(this))
{
    m_animate->setInterval(kTimerDesignIntervalMs);
    connect(m_animate, &QTimer::timeout, this, &PanelSlides::tmrAnimate_Timer);
    m_showViewButton->setInterval(kTimerDesignIntervalMs);
    connect(m_showViewButton, &QTimer::timeout, this, &PanelSlides::tmrShowViewButton_Timer);
}

int PanelSlides::px(int pixelsAt96Dpi) const
{
    return qRound(pixelsAt96Dpi * m_w.window->logicalDpiY() / 96.0);
}

int PanelSlides::pixelsFromTwips(int twips) const
{
    return qRound(twips * m_w.window->logicalDpiX() / 1440.0);
}

int PanelSlides::twipsFromPixels(int pixels) const
{
    return qRound(pixels * 1440.0 / m_w.window->logicalDpiX());
}

int PanelSlides::windowHeightTwips() const
{
    return twipsFromPixels(m_w.window->height());
}

void PanelSlides::layOut()
{
    // The start page at the origin, the contents page just right of it; the
    // window shows one page at a time. The header and the capacity line stay on
    // top; the information and about panels wait just below the window.
    const QSize page(px(kPageWidth), px(kPageHeight));
    m_w.window->setMinimumSize(page);
    m_w.window->resize(page);
    m_startLeft = 0;
    fitToWindow();
    m_w.frContents->hide();  // out of view: its controls take no Tab until the pages slide
    RevealViewButton(false);
    m_w.frameMovie->resize(pixelsFromTwips(kMovieWidthTwips), pixelsFromTwips(kMovieHeightTwips));
    m_w.frameMovie->move(pixelsFromTwips(kMovieLeftTwips), pixelsFromTwips(kMovieTopTwips));
    for (QWidget* panel : {m_w.frEditFrame, m_w.frAboutFrame}) {
        topOf(panel) = windowHeightTwips();
        placePanel(panel);
        panel->hide();  // its shadow would reach into the window
    }
    for (QWidget* panel : {m_w.frEditFrame, m_w.frAboutFrame}) {
        auto* shadow = new QGraphicsDropShadowEffect(panel);
        shadow->setBlurRadius(px(28));
        shadow->setOffset(0, px(6));
        shadow->setColor(QColor(15, 23, 42, 90));
        panel->setGraphicsEffect(shadow);
    }
    m_w.frTopHeader->raise();
    m_w.lblDiskSpace->raise();
    m_w.sizeGrip->raise();
    m_w.frEditFrame->raise();
    m_w.frAboutFrame->raise();
}

void PanelSlides::fitToWindow()
{
    const QSize page = m_w.window->size();
    const bool contentsShown = !isSliding() && m_startLeft < 0;
    m_w.frMainFrame->resize(page);
    m_w.frContents->resize(page);
    if (contentsShown)
        m_startLeft = -twipsFromPixels(page.width());
    placePages();
    m_w.frTopHeader->setGeometry(0, 0, page.width(), px(kHeaderHeight));
    m_w.lblDiskSpace->setGeometry(0, page.height() - px(kFooterHeight), page.width(), px(kFooterHeight));
    const QSize grip = m_w.sizeGrip->sizeHint();
    m_w.sizeGrip->setGeometry(page.width() - grip.width(), page.height() - grip.height(), grip.width(), grip.height());
    for (QWidget* panel : {m_w.frEditFrame, m_w.frAboutFrame}) {
        if (panel->isHidden())
            topOf(panel) = windowHeightTwips();
        placePanel(panel);
    }
}

void PanelSlides::placePages()
{
    m_w.frMainFrame->move(pixelsFromTwips(m_startLeft), 0);
    m_w.frContents->move(m_w.frMainFrame->x() + m_w.frMainFrame->width(), 0);
}

int& PanelSlides::topOf(const QWidget* panel)
{
    return panel == m_w.frAboutFrame ? m_aboutTop : m_editTop;
}

int PanelSlides::panelTopTwips(const QWidget* panel) const
{
    return panel == m_w.frAboutFrame ? m_aboutTop : m_editTop;
}

void PanelSlides::placePanel(QWidget* panel)
{
    panel->move(m_w.window->width() / 2 - panel->width() / 2, pixelsFromTwips(topOf(panel)));
}

QWidget* PanelSlides::slidingPanel() const
{
    return m_movingPanel ? m_movingPanel : m_w.frEditFrame;
}

bool PanelSlides::isViewButtonGrowing() const
{
    return m_showViewButton->isActive();
}

bool PanelSlides::isSliding() const
{
    return m_animate->isActive();
}

// ---- Slides -------------------------------------------------------------------------

void PanelSlides::StartPanelAnimation(int kind)
{
    const SlideStart* start = nullptr;
    for (const SlideStart& s : kSlideStarts)
        if (s.kind == kind)
            start = &s;
    if (!start)
        return;
    m_moveObject = QLatin1String(start->name);
    m_moveStep = start->step;
    m_moveInterval = start->interval;
    if (kind == PanelUp)
        slidingPanel()->show();
    if (kind == PagesLeft || kind == PagesRight) {
        m_w.frMainFrame->show();  // both in view while the pages move
        m_w.frContents->show();
    }
    m_animate->start();
}

void PanelSlides::tmrAnimate_Timer()
{
    m_animate->setInterval(m_moveInterval);
    if (m_moveObject == QLatin1String(kPagesLeftName))
        pageSlideLeft();
    else if (m_moveObject == QLatin1String(kPagesRightName))
        pageSlideRight();
    else if (m_moveObject == QLatin1String(kPanelUpName))
        panelUp();
    else if (m_moveObject == QLatin1String(kPanelDownName))
        panelDown();
    else
        m_animate->stop();
}

void PanelSlides::pageSlideLeft()
{
    const int pageWidth = twipsFromPixels(m_w.frMainFrame->width());
    if (m_startLeft < -pageWidth) {
        m_animate->stop();
        m_startLeft = -pageWidth;
        placePages();
        // Out of view, the start page's controls take no focus: Tab stays on the contents page.
        m_w.frMainFrame->hide();
        m_w.gridView->setFocus();
        return;
    }
    if (m_startLeft + pageWidth < kPageSlowStretchTwips) {
        m_moveStep = kPageSlowStep;
        m_moveInterval = kPageSlowInterval;
    }
    m_startLeft -= m_moveStep;
    placePages();
}

void PanelSlides::pageSlideRight()
{
    if (m_startLeft > 0) {
        m_animate->stop();
        m_startLeft = 0;
        placePages();
        // Out of view, the contents page's controls take no focus: Tab stays on the start page.
        m_w.frContents->hide();
        return;
    }
    if (m_startLeft > -kPageSlowStretchTwips) {
        m_moveStep = kPageSlowStep;
        m_moveInterval = kPageSlowInterval;
    }
    m_startLeft += m_moveStep;
    placePages();
}

void PanelSlides::panelUp()
{
    QWidget* panel = slidingPanel();
    int& top = topOf(panel);
    if (top < kPanelStopBelowTwips) {
        m_animate->stop();
        top = kPanelRestTopTwips;
        placePanel(panel);
        return;
    }
    if (top < kPanelSlowTopTwips && m_moveStep > kPanelMinHalvingStep) {
        m_moveStep = qRound(m_moveStep / 2.0);
        m_moveInterval *= 2;
    }
    top -= m_moveStep;
    placePanel(panel);
}

void PanelSlides::panelDown()
{
    QWidget* panel = slidingPanel();
    int& top = topOf(panel);
    if (top < windowHeightTwips()) {
        top += m_moveStep;
        placePanel(panel);
        return;
    }
    m_animate->stop();
    top = windowHeightTwips();
    placePanel(panel);
    panel->hide();
    m_w.frContents->setEnabled(true);
    m_w.frMainFrame->setEnabled(true);
    if (panel == m_w.frEditFrame || panel == m_w.frAboutFrame)
        emit panelLowered();
    m_w.cmdAbout->setEnabled(true);
}

// ---- The panels over the pages ---------------------------------------------------------

void PanelSlides::raisePanel(QWidget* panel)
{
    m_movingPanel = panel;
    StartPanelAnimation(PanelUp);
}

void PanelSlides::lowerPanel(QWidget* panel)
{
    m_movingPanel = panel;
    StartPanelAnimation(PanelDown);
}

void PanelSlides::cmdAbout_Click()
{
    if (m_animate->isActive())
        return;
    m_w.frContents->setEnabled(false);
    m_w.frMainFrame->setEnabled(false);
    raisePanel(m_w.frAboutFrame);
}

void PanelSlides::cmdAboutOK_Click()
{
    StartPanelAnimation(PanelDown);
}

// ---- The pages and the view button ---------------------------------------------------------

void PanelSlides::RevealViewButton(bool show)
{
    if (!show) {
        m_showViewButton->stop();
        m_viewButtonWidth = 0;
        m_w.cmdViewContents->setFixedWidth(0);
        m_w.cmdViewContents->setVisible(false);
        return;
    }
    m_w.cmdViewContents->setText(QString());
    m_moveStep = kViewButtonStep;
    m_moveInterval = kViewButtonInterval;
    m_w.cmdViewContents->setVisible(true);
    m_showViewButton->start();
}

void PanelSlides::tmrShowViewButton_Timer()
{
    m_showViewButton->setInterval(m_moveInterval);
    if (m_viewButtonWidth > kViewButtonTwips) {
        m_showViewButton->stop();
        m_viewButtonWidth = kViewButtonTwips;
        m_w.cmdViewContents->setFixedWidth(pixelsFromTwips(m_viewButtonWidth));
        m_w.cmdViewContents->setText(kViewButtonCaption);
        m_w.cmdViewContents->setFocus();
        m_w.cmdAbout->setEnabled(true);
        emit viewButtonRevealed();
        return;
    }
    if (m_viewButtonWidth > kViewButtonSlowTwips) {
        m_moveStep = kViewButtonSlowStep;
        m_moveInterval = kViewButtonSlowInterval;
    }
    m_viewButtonWidth += m_moveStep;
    m_w.cmdViewContents->setFixedWidth(pixelsFromTwips(m_viewButtonWidth));
}

void PanelSlides::showStartPage()
{
    m_animate->stop();
    m_startLeft = 0;
    placePages();
    m_w.frMainFrame->show();
    m_w.frContents->hide();
}

bool PanelSlides::isContentsPageShown() const
{
    return m_w.frContents->x() == 0;
}

}  // namespace tracklift
