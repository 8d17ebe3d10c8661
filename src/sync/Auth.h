#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <functional>

namespace carddav {

struct Credentials {
    QString user;
    QString password;
};

// Whether the URL names this computer: a password may cross it in the
// clear (Basic) only there or over HTTPS.
bool isLoopback(const QUrl& url);

// Answers a server's challenges (401) with the user's credentials: Digest
// (RFC 7616: MD5 or SHA-256, with qop auth) where the server offers it,
// else Basic where the connection allows it, which also goes with the
// first request there.
class Authorizer {
public:
    // `clientNonce` makes Digest's client nonces (random unless given).
    explicit Authorizer(Credentials credentials, std::function<QByteArray()> clientNonce = {});

    enum class Outcome {
        Answered,    // the next request carries an answer
        Refused,     // the same answer was refused already: wrong credentials
        Insecure,    // only Basic offered, over plain HTTP to another computer
        Unsupported, // no scheme of ours offered
    };
    // Takes the WWW-Authenticate headers of a 401 to the URL.
    Outcome challenged(const QList<QByteArray>& challenges, const QUrl& url);
    // The Authorization header for a request: Basic before any challenge
    // over HTTPS or to this computer, else empty until challenged.
    QByteArray authorization(const QByteArray& method, const QUrl& url);

private:
    Credentials credentials_;
    std::function<QByteArray()> clientNonce_;
    QByteArray scheme_; // "Basic", "Digest" or none yet
    QByteArray realm_;
    QByteArray nonce_;
    QByteArray opaque_;
    QByteArray algorithm_;
    bool qopAuth_ = false;
    bool sessionKey_ = false; // MD5-sess, SHA-256-sess
    quint32 count_ = 0;       // requests answered with this nonce
    bool answered_ = false;   // an answer went out since the last challenge
};

} // namespace carddav
