#pragma once

#include "Engine.h"

#include "platform/Aside.h"

#include <QString>

namespace carddav {

// A sync of the book in `databaseFile` with its account, as work aside:
// its own connection to the book and its own HTTP, which its cancel ends
// at once. `report` gets what it did, or `failure` a sentence for the user
// (nothing half done is kept). `confirm` is asked on the work's thread.
platform::Aside::Work syncWork(const QString& databaseFile, const Credentials& credentials,
                               const SyncEngine::Confirm& confirm, SyncReport& report,
                               QString& failure);

} // namespace carddav
