#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

namespace test {

// A CardDAV server of its own for a test: Debian's Radicale on 127.0.0.1,
// storing into a throwaway folder (in memory, /dev/shm, where the host has
// one: Radicale syncs every card it writes to disk), with the users given (user name and
// password each). Started on the Linux host under Wine too. Stopped, and
// its folder removed, when it goes; ended by itself after `lifetimeS`, if
// a test dies first.
class Radicale {
public:
    explicit Radicale(const QStringList& users, const QStringList& options = {},
                      int lifetimeS = 600);
    ~Radicale();
    Radicale(const Radicale&) = delete;
    Radicale& operator=(const Radicale&) = delete;

    // Whether it runs: a test without one is skipped (no Radicale here).
    bool running() const { return port_ > 0; }
    QUrl url(const QString& path = QStringLiteral("/")) const;
    // Where it keeps the collection at that path of url(), on the host: a
    // benchmark puts cards there directly, as adding each over HTTP costs
    // Radicale more the more cards the collection has.
    QString folderOf(const QString& path) const;
    // Stops it, keeping its storage; start() brings it back on the same port.
    void stop();
    void start();

private:
    QTemporaryDir folder_;
    QStringList options_;
    int lifetimeS_;
    int port_ = 0;
};

} // namespace test
