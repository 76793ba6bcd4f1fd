#include "AboutController.h"

#include "Bundle.h"
#include "Scheduler.h"
#include "Workspace.h"
#include "ui_About.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QShortcut>
#include <QWindow>

namespace {
// The splash shows itself for this long after loading.
constexpr double splashSeconds = 3.0;
// A release later than this after a drag ends a move, not a click.
constexpr double dragSeconds = 0.1;
constexpr int iconSize = 64;
// The build date of this library as the compiler writes it (Jul 15 2015,
// Dec  8 2026: single days are padded with a space, which is not shown).
constexpr const char buildDate[] = __DATE__;
} // namespace

AboutController::AboutController(QObject *parent)
    : QObject(parent)
{
}

AboutController::~AboutController()
{
    delete m_window.data();
}

QWidget *AboutController::window()
{
    if (!m_window) {
        m_ui = std::make_unique<Ui::About>();
        m_window = new QWidget(nullptr, Qt::Dialog | Qt::FramelessWindowHint);
        m_ui->setupUi(m_window);
        windowDidLoad();
    }
    return m_window;
}

void AboutController::windowDidLoad()
{
    setBackgroundGradient();
    const Bundle &bundle = Bundle::mainBundle();
    // The application's icon, as on its other windows.
    m_ui->iconField->setPixmap(m_window->windowIcon().pixmap(iconSize, iconSize));
    m_ui->nameField->setText(QStringLiteral("%1 %2").arg(bundle.name(), bundle.shortVersion()));
    m_ui->versionField->setText(
            tr("Build %1 (%2)")
                    .arg(bundle.buildVersion(), QString::fromLatin1(buildDate).simplified()));
    m_ui->copyrightField->setText(bundle.copyright());

    m_window->installEventFilter(this);
    auto *help = new QShortcut(QKeySequence::HelpContents, m_window);
    connect(help, &QShortcut::activated, this, &AboutController::doHelp);
    auto *close = new QShortcut(QKeySequence::Cancel, m_window);
    connect(close, &QShortcut::activated, this, &AboutController::closeWindow);
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = m_window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        m_window->move(frame.topLeft());
    }
    Scheduler::shared().performAfterDelay(splashSeconds, this, [this] { mouseUp(); });
}

void AboutController::setBackgroundGradient()
{
    // Light grey at the top edge darkening downwards, drawn once at the
    // window's size and used as its background.
    const QSize size = m_window->size();
    QPixmap background(size);
    QLinearGradient gradient(0, 0, 0, size.height());
    gradient.setColorAt(0.0, QColor::fromRgbF(0.8f, 0.8f, 0.8f));
    gradient.setColorAt(0.1, QColor::fromRgbF(0.7f, 0.7f, 0.7f));
    gradient.setColorAt(1.0, QColor::fromRgbF(0.5f, 0.5f, 0.5f));
    QPainter painter(&background);
    painter.fillRect(QRect(QPoint(0, 0), size), gradient);
    painter.end();

    QPalette palette = m_window->palette();
    palette.setBrush(QPalette::Window, QBrush(background));
    // Dark text whatever the desktop's colour scheme, since the background
    // is always light.
    palette.setColor(QPalette::WindowText, Qt::black);
    m_window->setPalette(palette);
    m_window->setAutoFillBackground(true);
}

void AboutController::showWindow()
{
    QWidget *about = window();
    about->show();
    about->raise();
    about->activateWindow();
}

void AboutController::showStatusString(const QString &status)
{
    window();
    m_ui->statusField->setText(status);
}

QString AboutController::statusString() const
{
    return m_ui ? m_ui->statusField->text() : QString();
}

void AboutController::windowDidBecomeKey()
{
    showStatusString(QString());
}

void AboutController::mouseDown(double time)
{
    m_mouseDownTime = time;
    m_dragging = false;
}

void AboutController::mouseDragged()
{
    m_dragging = true;
}

void AboutController::mouseUp(double time)
{
    if (m_dragging && time - m_mouseDownTime > dragSeconds)
        return;
    closeWindow();
}

void AboutController::mouseUp()
{
    closeWindow();
}

void AboutController::closeWindow()
{
    if (m_window)
        m_window->close();
}

void AboutController::doHelp()
{
    Workspace::sharedWorkspace().openURL(QUrl(Bundle::mainBundle().webSite()));
}

bool AboutController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::WindowActivate:
        windowDidBecomeKey();
        break;
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            break;
        m_grabOffset = mouse->globalPosition().toPoint() - m_window->frameGeometry().topLeft();
        mouseDown(Scheduler::shared().now());
        return true;
    }
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (!(mouse->buttons() & Qt::LeftButton))
            break;
        // The window has no title bar: it moves by its background. Wayland
        // lets only the compositor move windows.
        QWindow *handle = m_window->windowHandle();
        if (!m_dragging && handle && QGuiApplication::platformName() == u"wayland")
            handle->startSystemMove();
        else
            m_window->move(mouse->globalPosition().toPoint() - m_grabOffset);
        mouseDragged();
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            break;
        mouseUp(Scheduler::shared().now());
        return true;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
