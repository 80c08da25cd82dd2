#pragma once

#include <QString>

#include <functional>
#include <optional>

// Passwords for address books and calendars, kept in the desktop's secret store
// (through QtKeychain), never in the settings or the log.  Where no secret
// service runs, or no session bus to reach one, nothing is kept and the
// password is asked each time.
class Secrets {
public:
    virtual ~Secrets();
    // Calls `done` (on the event loop) with the stored password, or nothing
    // when none is stored or no store runs.
    virtual void read(const QString& key, std::function<void(std::optional<QString>)> done);
    virtual void write(const QString& key, const QString& password);
    // A password the server refused is not offered again.
    virtual void forget(const QString& key);

    // The key of an account: the user and the address without any password.
    static QString keyFor(const QString& user, const QString& shownUrl);

    static Secrets& instance();
    // Installs `secrets` (not owned); nullptr restores the desktop's store.
    static void install(Secrets* secrets);
};

// The stored password of `key`, waited for on a local event loop: nothing when
// none is stored, no store runs, or the store does not answer within `timeoutMs`
// (a locked keyring nobody unlocks is no store).
std::optional<QString> WaitForStoredPassword(const QString& key, int timeoutMs);
