#include "kit/Store.h"

#include <QSettings>

namespace {
const QString group = QStringLiteral("Defaults");

QSettings open() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Brolt");
}

// The stored spelling of `name`, or empty when no value matches it.
QString storedName(QSettings& settings, const QString& name) {
    const QStringList names = settings.childKeys();
    for (const QString& candidate : names)
        if (candidate.compare(name, Qt::CaseInsensitive) == 0)
            return candidate;
    return {};
}

// A list or anything else that is no plain text counts as missing.
bool plainText(const QVariant& v, QString& value) {
    if (!v.canConvert<QString>() || v.typeId() == QMetaType::QStringList)
        return false;
    value = v.toString();
    return true;
}

bool readStored(const QString& name, QString& value) {
    QSettings settings = open();
    settings.beginGroup(group);
    const QString stored = storedName(settings, name);
    return !stored.isEmpty() && plainText(settings.value(stored), value);
}

int toInteger(const QString& value, int defaultValue) {
    bool ok = false;
    const int n = value.trimmed().toInt(&ok);
    return ok ? n : defaultValue;
}
} // namespace

QString Store::readText(const QString& name, const QString& defaultValue) {
    QString value;
    return readStored(name, value) ? value : defaultValue;
}

int Store::readInteger(const QString& name, int defaultValue) {
    QString value;
    return readStored(name, value) ? toInteger(value, defaultValue) : defaultValue;
}

bool Store::readBool(const QString& name, bool defaultValue) {
    return readInteger(name, defaultValue ? 1 : 0) != 0;
}

void Store::writeText(const QString& name, const QString& value) {
    QSettings settings = open();
    settings.beginGroup(group);
    const QString stored = storedName(settings, name);
    if (!stored.isEmpty() && stored != name)
        settings.remove(stored);
    settings.setValue(name, value);
}

void Store::writeInteger(const QString& name, int value) {
    writeText(name, QString::number(value));
}

void Store::writeBool(const QString& name, bool value) {
    writeText(name, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void Store::remove(const QString& name) {
    QSettings settings = open();
    settings.beginGroup(group);
    const QString stored = storedName(settings, name);
    if (!stored.isEmpty())
        settings.remove(stored);
}

bool Store::contains(const QString& name) {
    QSettings settings = open();
    settings.beginGroup(group);
    return !storedName(settings, name).isEmpty();
}

QString Store::readText(const StoreKey& key) {
    return readText(key.name, key.defaultValue);
}

int Store::readInteger(const StoreKey& key) {
    return readInteger(key.name, QString(key.defaultValue).toInt());
}

bool Store::readBool(const StoreKey& key) {
    return readBool(key.name, QString(key.defaultValue) == "1");
}

StoreSnapshot::StoreSnapshot() {
    QSettings settings = open();
    settings.beginGroup(group);
    // The first spelling of a name counts, as for a single read.
    for (const QString& name : settings.childKeys()) {
        const QString folded = name.toCaseFolded();
        if (m_values.contains(folded))
            continue;
        QString value;
        m_values.insert(folded, plainText(settings.value(name), value) ? std::optional<QString>(value)
                                                                       : std::nullopt);
    }
}

bool StoreSnapshot::find(const QString& name, QString& value) const {
    const auto it = m_values.constFind(name.toCaseFolded());
    if (it == m_values.constEnd() || !it->has_value())
        return false;
    value = **it;
    return true;
}

QString StoreSnapshot::readText(const QString& name, const QString& defaultValue) const {
    QString value;
    return find(name, value) ? value : defaultValue;
}

int StoreSnapshot::readInteger(const QString& name, int defaultValue) const {
    QString value;
    return find(name, value) ? toInteger(value, defaultValue) : defaultValue;
}

bool StoreSnapshot::readBool(const QString& name, bool defaultValue) const {
    return readInteger(name, defaultValue ? 1 : 0) != 0;
}

QString StoreSnapshot::readText(const StoreKey& key) const {
    return readText(key.name, key.defaultValue);
}

int StoreSnapshot::readInteger(const StoreKey& key) const {
    return readInteger(key.name, QString(key.defaultValue).toInt());
}

bool StoreSnapshot::readBool(const StoreKey& key) const {
    return readBool(key.name, QString(key.defaultValue) == "1");
}
