#include "SingleInstance.h"

#include "Logging.h"
#include "Workspace.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>

namespace {
// How long a later start waits for the running instance to answer.
constexpr int handOverTimeoutMs = 10000;

// Takes the files on the bus and passes them on after the call has been
// answered, so that the caller never waits for what opening them asks.
class HandOverReceiver : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.vantrel.Documents")

public:
    explicit HandOverReceiver(SingleInstance *owner)
        : QObject(owner)
        , m_owner(owner)
    {
    }

public slots:
    Q_SCRIPTABLE void open(const QStringList &paths, bool print)
    {
        QMetaObject::invokeMethod(
                m_owner, [owner = m_owner, paths, print] { emit owner->filesReceived(paths, print); },
                Qt::QueuedConnection);
    }

private:
    SingleInstance *m_owner;
};
} // namespace

SingleInstance::SingleInstance(const QString &identifier, QObject *parent)
    : QObject(parent)
    , m_identifier(identifier)
{
}

SingleInstance::~SingleInstance()
{
    if (!m_claimed)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(objectPath());
    Workspace::sharedWorkspace().unregisterRunningApplication(m_identifier);
}

QString SingleInstance::objectPath()
{
    return QStringLiteral("/org/vantrel/Documents");
}

QString SingleInstance::interfaceName()
{
    return QStringLiteral("org.vantrel.Documents");
}

bool SingleInstance::handOver(const QStringList &paths, bool print)
{
    Workspace &workspace = Workspace::sharedWorkspace();
    if (!workspace.isApplicationRunning(m_identifier))
        return false;
    QStringList absolute;
    for (const QString &path : paths)
        absolute.append(QFileInfo(path).absoluteFilePath());
    QDBusMessage call = QDBusMessage::createMethodCall(m_identifier, objectPath(),
                                                       interfaceName(), QStringLiteral("open"));
    call << absolute << print;
    call.setAutoStartService(false);
    const QDBusMessage reply =
            QDBusConnection::sessionBus().call(call, QDBus::Block, handOverTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        qCWarning(lcPlatform, "The running \"%s\" did not take the files: %s",
                  qPrintable(m_identifier), qPrintable(reply.errorMessage()));
        return false;
    }
    return true;
}

bool SingleInstance::claim()
{
    if (m_claimed)
        return true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    // The receiver is in place before the name is, so that whoever finds the
    // name can hand files over at once.
    if (!m_receiver) {
        m_receiver = new HandOverReceiver(this);
        if (!bus.registerObject(objectPath(), m_receiver, QDBusConnection::ExportScriptableSlots)) {
            delete m_receiver;
            m_receiver = nullptr;
            return false;
        }
    }
    m_claimed = Workspace::sharedWorkspace().registerRunningApplication(m_identifier);
    if (!m_claimed) {
        bus.unregisterObject(objectPath());
        delete m_receiver;
        m_receiver = nullptr;
    }
    return m_claimed;
}

#include "SingleInstance.moc"
