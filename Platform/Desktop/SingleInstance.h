#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// One running copy of the application per session. The first start claims
// the application's name on the session bus and takes the files that later
// starts hand over; a later start hands its files to it and ends. Without a
// session bus every start runs on its own.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(const QString &identifier, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Gives a running instance the files (made absolute here, since its
    // working folder differs) and whether to print them. True when it took
    // them; false when none runs or it did not answer.
    bool handOver(const QStringList &paths, bool print);
    // Becomes the running instance: claims the name and takes hand-overs.
    // False without a bus or when another process holds the name.
    bool claim();
    bool isClaimed() const { return m_claimed; }

    static QString objectPath();
    static QString interfaceName();

signals:
    // A later start's files (absolute paths) and whether to print them.
    // Empty when it only asked this instance to come to the front.
    void filesReceived(const QStringList &paths, bool print);

private:
    QString m_identifier;
    QObject *m_receiver = nullptr;
    bool m_claimed = false;
};
