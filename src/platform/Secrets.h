#pragma once

#include <QString>

#include <memory>
#include <optional>

namespace platform {

// Passwords kept by the system (the Secret Service of the desktop, the
// Windows Credential Manager), never in the book or a settings file.
class Secrets {
public:
    virtual ~Secrets() = default;
    // None when nothing is kept under the key, or the store cannot be reached.
    virtual std::optional<QString> read(const QString& key) = 0;
    // False when the store cannot keep it.
    virtual bool write(const QString& key, const QString& secret) = 0;
    virtual void remove(const QString& key) = 0;
};

// The system's, through QtKeychain.
std::unique_ptr<Secrets> systemSecrets();

} // namespace platform
