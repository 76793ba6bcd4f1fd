#pragma once

#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUrl>

// A real PACS for tests and benchmarks: Orthanc on loopback with a
// configuration of its own (storage in a temporary folder, free DICOM and
// HTTP ports, any calling AE title may store, the REST API open to
// 127.0.0.1 only), stopped when this object goes.
class OrthancServer
{
public:
    static inline const QString aeTitle = QStringLiteral("ORTHANC");

    OrthancServer()
        : m_dicomPort(freePort())
        , m_httpPort(freePort())
        , m_retrievePort(freePort())
    {
        const QJsonObject configuration {
            { "Name", "MaturixTest" },
            { "StorageDirectory", m_dir.filePath("storage") },
            { "IndexDirectory", m_dir.filePath("index") },
            { "Plugins", QJsonArray() },
            { "HttpPort", m_httpPort },
            { "RemoteAccessAllowed", false },
            { "AuthenticationEnabled", false },
            { "DicomAet", aeTitle },
            { "DicomPort", m_dicomPort },
            { "DicomCheckCalledAet", true },
            { "DicomAlwaysAllowEcho", true },
            { "DicomAlwaysAllowStore", true },
            { "DicomCheckModalityHost", false },
            { "DicomModalities",
              QJsonObject { { "maturix", QJsonArray { "MATURIX", "127.0.0.1", m_retrievePort } } } },
            { "DicomScpTimeout", 5 },
        };
        QFile file(m_dir.filePath("orthanc.json"));
        if (file.open(QIODevice::WriteOnly))
            file.write(QJsonDocument(configuration).toJson());
    }

    ~OrthancServer() { stop(); }

    quint16 dicomPort() const { return m_dicomPort; }
    // Where it sends what our AE title retrieves by C-MOVE.
    quint16 retrievePort() const { return m_retrievePort; }

    // Starts Orthanc and waits until its REST API answers.
    bool start()
    {
        m_process.setStandardOutputFile(m_dir.filePath("orthanc.log"), QIODevice::Append);
        m_process.setStandardErrorFile(m_dir.filePath("orthanc.log"), QIODevice::Append);
        m_process.start(QStringLiteral("Orthanc"), { m_dir.filePath("orthanc.json") });
        if (!m_process.waitForStarted())
            return false;
        for (int attempt = 0; attempt < 300; ++attempt) {
            if (m_process.state() != QProcess::Running)
                return false;
            if (!get(QStringLiteral("/system")).isNull())
                return true;
            QThread::msleep(100);
        }
        return false;
    }

    // Stops it as a crash would: no goodbye to open associations.
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished();
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(15000))
            kill();
    }

    QJsonDocument get(const QString &path) { return request(path, {}); }
    // A stored file's bytes (".../file"); null when the server does not answer.
    QByteArray download(const QString &path) { return fetch(path, {}); }
    QJsonDocument post(const QString &path, const QJsonObject &body)
    {
        return request(path, QJsonDocument(body).toJson());
    }

    // The simplified tags of the instances stored for a patient identifier.
    QList<QJsonObject> instancesOfPatient(const QString &patientID)
    {
        const QJsonArray found = post(QStringLiteral("/tools/find"),
                                      { { "Level", "Instance" },
                                        { "Query", QJsonObject { { "PatientID", patientID } } } })
                                         .array();
        QList<QJsonObject> instances;
        for (const QJsonValue &id : found)
            instances.append(
                    get(QStringLiteral("/instances/%1/simplified-tags").arg(id.toString())).object());
        return instances;
    }

    // A loopback port that nothing listens on, as far as one can tell.
    static quint16 freePort()
    {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost);
        return server.serverPort();
    }

private:

    // Null when the server does not answer with success.
    QJsonDocument request(const QString &path, const QByteArray &body)
    {
        return QJsonDocument::fromJson(fetch(path, body));
    }

    QByteArray fetch(const QString &path, const QByteArray &body)
    {
        QNetworkRequest request(
                QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_httpPort).arg(path)));
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        QNetworkReply *reply = body.isNull() ? m_network.get(request) : m_network.post(request, body);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        reply->deleteLater();
        if (!reply->isFinished() || reply->error() != QNetworkReply::NoError) {
            reply->abort();
            return {};
        }
        return reply->readAll();
    }

    QTemporaryDir m_dir;
    quint16 m_dicomPort;
    quint16 m_httpPort;
    quint16 m_retrievePort;
    QProcess m_process;
    QNetworkAccessManager m_network;
};
