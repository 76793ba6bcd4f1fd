#pragma once

#include "KVClassesExport.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

namespace Ui {
class Wait;
}

// A progress panel: a status text and a progress bar, centred on the screen
// and kept above other windows like a modal panel. Destroying the
// controller hides the panel.
class KVCLASSES_EXPORT WaitController : public QObject
{
    Q_OBJECT

public:
    explicit WaitController(const QString &statusString, QObject *parent = nullptr);
    ~WaitController() override;

    // The panel, loaded from the "Wait" interface file on first use.
    QWidget *window();
    void showWindow();
    void dismiss();

    void setIndeterminate();
    void setDeterminate();
    void setProgressBarValue(qint64 value);
    void setProgressBarMax(qint64 maximum);
    // A null string is an internal consistency failure.
    void setStatusString(const QString &statusString);

    // A Cancel button under the bar, hidden unless asked for; pressing it
    // emits cancelled() and leaves the panel up.
    void setCancellable(bool cancellable);

    QString statusString() const;
    double progressBarValue() const { return m_value; }
    double progressBarMax() const { return m_maximum; }
    bool isIndeterminate() const { return m_indeterminate; }

signals:
    void cancelled();

protected:
    virtual void windowDidLoad();

private:
    void updateBar();

    QString m_initialStatusString;
    std::unique_ptr<Ui::Wait> m_ui;
    QPointer<QWidget> m_window;
    double m_value = 0.0;
    double m_maximum = 100.0;
    bool m_indeterminate = false;
};
