#pragma once

#include <QObject>
#include <QString>

class QPushButton;
class QTimer;
class QWidget;

namespace tracklift {

// The sliding layout of the main window: the start and contents pages side by
// side, moved as one; the information and about panels, waiting below the
// window and rising over the pages; and the growing view button. Positions and
// speeds are in twips (1,440 to the inch), as the slides were first drawn.
class PanelSlides final : public QObject {
    Q_OBJECT
public:
    // The kinds of StartPanelAnimation.
    enum Slide { PagesRight = 0, PagesLeft = 1, PanelUp = 6, PanelDown = 7 };

    struct Widgets {
        QWidget* window;
        QWidget* frTopHeader;
        QWidget* lblDiskSpace;
        QWidget* frMainFrame;   // the start page, hidden while the contents page is shown
        QWidget* frContents;    // the contents page, hidden while the start page is shown
        QWidget* frEditFrame;   // the information panel
        QWidget* frAboutFrame;  // the about panel
        QWidget* frameMovie;
        QWidget* gridView;      // where the focus goes once the contents page is in
        QPushButton* cmdViewContents;
        QPushButton* cmdAbout;
        QWidget* sizeGrip;      // in the bottom right corner
    };

    static constexpr int kViewButtonTwips = 3075;  // the view button's full width

    explicit PanelSlides(const Widgets& widgets, QObject* parent = nullptr);

    // The start-up layout: the start page shown, the panels below the window.
    // The design size is the window's smallest.
    void layOut();
    // After the window's size changed: the pages fill it, the page shown stays
    // in view, the panels keep their places centred or below the window.
    void fitToWindow();

    void StartPanelAnimation(int kind);
    void tmrAnimate_Timer();
    void RevealViewButton(bool show);
    void tmrShowViewButton_Timer();

    // The panels over the pages.
    void raisePanel(QWidget* panel);
    void lowerPanel(QWidget* panel);
    void cmdAbout_Click();
    void cmdAboutOK_Click();

    void showStartPage();  // at once, without sliding
    bool isContentsPageShown() const;
    bool isViewButtonGrowing() const;
    bool isSliding() const;

    // The running slide and its speed.
    QString sMoveObject() const { return m_moveObject; }
    int MoveStep() const { return m_moveStep; }
    int MoveInterval() const { return m_moveInterval; }
    QWidget* MovingPanel() const { return m_movingPanel; }
    const QTimer& tmrAnimate() const { return *m_animate; }
    const QTimer& tmrShowViewButton() const { return *m_showViewButton; }

    // Positions and sizes the slides work in.
    int startPageLeftTwips() const { return m_startLeft; }
    int panelTopTwips(const QWidget* panel) const;
    int viewButtonWidthTwips() const { return m_viewButtonWidth; }
    int windowHeightTwips() const;
    int twipsFromPixels(int pixels) const;
    int pixelsFromTwips(int twips) const;

signals:
    void viewButtonRevealed();
    void panelLowered();  // a panel has gone below the window and the pages are enabled again

private:
    int px(int pixelsAt96Dpi) const;
    void placePages();
    void placePanel(QWidget* panel);
    int& topOf(const QWidget* panel);
    QWidget* slidingPanel() const;
    void pageSlideLeft();
    void pageSlideRight();
    void panelUp();
    void panelDown();

    Widgets m_w;
    QTimer* m_animate;
    QTimer* m_showViewButton;
    QString m_moveObject;
    int m_moveStep = 0;      // twips per tick
    int m_moveInterval = 0;  // milliseconds between ticks
    QWidget* m_movingPanel = nullptr;
    int m_startLeft = 0;
    int m_editTop = 0;
    int m_aboutTop = 0;
    int m_viewButtonWidth = 0;
};

}  // namespace tracklift
