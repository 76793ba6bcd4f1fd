#pragma once

#include "VantrelExport.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

namespace Ui {
class About;
}

// The About window, which is also the splash window at launch: name and
// version, build line, copyright and a status line on which the
// application controller reports launch progress. It closes itself three
// seconds after it is loaded, on a click and on Esc; dragging it by its
// background moves it and leaves it open.
class VANTREL_EXPORT AboutController : public QObject
{
    Q_OBJECT

public:
    explicit AboutController(QObject *parent = nullptr);
    ~AboutController() override;

    // The window, loaded from the "About" interface file on first use.
    QWidget *window();
    void showWindow();

    void showStatusString(const QString &status);
    QString statusString() const;

    // Mouse handling, timed on the scheduler's clock (seconds).
    void mouseDown(double time);
    void mouseDragged();
    // Without a time (the scheduled close) the window always closes.
    void mouseUp(double time);
    void mouseUp();
    bool isDragging() const { return m_dragging; }

    // The application's help, from any window.
    static void doHelp();

protected:
    virtual void windowDidLoad();
    void windowDidBecomeKey();
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setBackgroundGradient();
    void closeWindow();

    std::unique_ptr<Ui::About> m_ui;
    QPointer<QWidget> m_window;
    bool m_dragging = false;
    double m_mouseDownTime = 0.0;
    // Where the window was grabbed, relative to its top left corner.
    QPoint m_grabOffset;
};
