#pragma once

#include "exchange/Secrets.h"

#include <QHash>

// A secret store in memory for the test's life; `running` false is a desktop without one.
class MemorySecrets : public Secrets {
public:
    MemorySecrets() { Secrets::install(this); }
    ~MemorySecrets() override { Secrets::install(nullptr); }
    void read(const QString& key, std::function<void(std::optional<QString>)> done) override {
        done(running && kept.contains(key) ? std::optional<QString>(kept.value(key)) : std::nullopt);
    }
    void write(const QString& key, const QString& password) override {
        if (running)
            kept.insert(key, password);
    }
    void forget(const QString& key) override { kept.remove(key); }
    bool running = true;
    QHash<QString, QString> kept;
};
