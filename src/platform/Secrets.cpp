#include "Secrets.h"

#include <qt6keychain/keychain.h>

#include <QEventLoop>

namespace platform {

namespace {

const QString service = QStringLiteral("yanshubu");

// Runs a keychain job to its end; whether it succeeded.
bool finished(QKeychain::Job& job, const QString& key) {
    job.setAutoDelete(false);
    job.setKey(key);
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return job.error() == QKeychain::NoError;
}

class Keychain final : public Secrets {
public:
    std::optional<QString> read(const QString& key) override {
        QKeychain::ReadPasswordJob job(service);
        return finished(job, key) ? std::optional(job.textData()) : std::nullopt;
    }
    bool write(const QString& key, const QString& secret) override {
        QKeychain::WritePasswordJob job(service);
        job.setTextData(secret);
        return finished(job, key);
    }
    void remove(const QString& key) override {
        QKeychain::DeletePasswordJob job(service);
        finished(job, key);
    }
};

} // namespace

std::unique_ptr<Secrets> systemSecrets() {
    return std::make_unique<Keychain>();
}

} // namespace platform
