#include "WaitController.h"

#include "Assertion.h"
#include "ui_Wait.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace {
// The bar counts in whole steps; value and maximum are doubles, so the
// bar shows their ratio on this many steps.
constexpr int barSteps = 10000;
} // namespace

WaitController::WaitController(const QString &statusString, QObject *parent)
    : QObject(parent)
    , m_initialStatusString(statusString)
{
}

WaitController::~WaitController()
{
    dismiss();
    delete m_window.data();
}

QWidget *WaitController::window()
{
    if (!m_window) {
        m_ui = std::make_unique<Ui::Wait>();
        m_window = new QWidget(nullptr, Qt::Dialog);
        m_ui->setupUi(m_window);
        if (m_ui->progressBar->maximum() > 0) {
            m_value = m_ui->progressBar->value();
            m_maximum = m_ui->progressBar->maximum();
        }
        m_ui->progressBar->setRange(0, barSteps);
        updateBar();
        windowDidLoad();
    }
    return m_window;
}

void WaitController::windowDidLoad()
{
    // The level of modal panels: above the document windows.
    m_window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    m_window->adjustSize();
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = m_window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        m_window->move(frame.topLeft());
    }
    m_ui->statusText->setText(m_initialStatusString);
    connect(m_ui->cancelButtonBox, &QDialogButtonBox::rejected, this, &WaitController::cancelled);
}

void WaitController::showWindow()
{
    QWidget *panel = window();
    panel->show();
    panel->raise();
    panel->activateWindow();
}

void WaitController::dismiss()
{
    if (m_window)
        m_window->hide();
}

void WaitController::updateBar()
{
    if (!m_ui)
        return;
    if (m_indeterminate) {
        m_ui->progressBar->setRange(0, 0);
        return;
    }
    m_ui->progressBar->setRange(0, barSteps);
    const double ratio = m_maximum > 0.0 ? std::clamp(m_value / m_maximum, 0.0, 1.0) : 0.0;
    m_ui->progressBar->setValue(int(std::lround(ratio * barSteps)));
}

void WaitController::setIndeterminate()
{
    window();
    m_indeterminate = true;
    updateBar();
}

void WaitController::setDeterminate()
{
    window();
    m_indeterminate = false;
    updateBar();
}

void WaitController::setProgressBarValue(qint64 value)
{
    window();
    m_value = double(value);
    updateBar();
}

void WaitController::setProgressBarMax(qint64 maximum)
{
    window();
    m_maximum = double(maximum);
    updateBar();
}

void WaitController::setStatusString(const QString &statusString)
{
    if (!REQUIRE_VALUE(!statusString.isNull(), "KVClasses/WaitController"))
        return;
    window();
    m_ui->statusText->setText(statusString);
}

void WaitController::setCancellable(bool cancellable)
{
    window();
    m_ui->cancelButtonBox->setVisible(cancellable);
    m_window->adjustSize();
}

QString WaitController::statusString() const
{
    return m_ui ? m_ui->statusText->text() : m_initialStatusString;
}
