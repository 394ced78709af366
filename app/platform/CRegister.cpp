#include "CRegister.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStringList>

#include <algorithm>
#include <optional>

namespace tracklift {

namespace {

// QSettings separates groups with "/" (and reads a backslash in a file as "/"); the
// parts of a key path and the value names carry those characters as escapes of
// their own, with "%" so that the escape reverses and "@" so that a plain "@"
// can name the unnamed value, as in registry export files.
QString encodePart(QString part)
{
    return part.replace(QLatin1Char('%'), QStringLiteral("%25"))
        .replace(QLatin1Char('/'), QStringLiteral("%2F"))
        .replace(QLatin1Char('\\'), QStringLiteral("%5C"))
        .replace(QLatin1Char('@'), QStringLiteral("%40"));
}

const QString kUnnamed = QStringLiteral("@");

QString below(const QString& path, const QString& name)
{
    return path.isEmpty() ? name : path + QLatin1Char('/') + name;
}

QStringList keyParts(QString section)
{
    if (section.startsWith(QLatin1Char('\\')))
        section.remove(0, 1);
    if (section.endsWith(QLatin1Char('\\')))
        section.chop(1);
    QStringList parts = section.split(QLatin1Char('\\'));
    for (QString& part : parts)
        part = encodePart(part);
    return parts;
}

// The value name "*" (and, as in the registry, the empty one) stands for the unnamed value.
bool isUnnamed(const QString& name)
{
    return name.isEmpty() || name == QLatin1String("*");
}

// The earlier settings writer kept `"name"="data"` and `@="data"` lines, which
// QSettings reads as keys named `"name"` and `@`. QSettings escapes both quote
// and "@" in the key names it writes, so such a line comes only from that writer.
bool isEarlierFormat(const QString& file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    while (!in.atEnd()) {
        const QByteArray line = in.readLine().trimmed();
        if (line.startsWith('"') || line.startsWith("@="))
            return true;
    }
    return false;
}

bool isQuoted(const QString& name)
{
    return name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"'));
}

std::optional<QString> matching(const QStringList& names, const QString& wanted)
{
    for (const QString& name : names)
        if (name.compare(wanted, Qt::CaseInsensitive) == 0)
            return name;
    return std::nullopt;
}

// One hive file. The value N of key path P is the QSettings key "P/N"; the unnamed value is "P/@".
class HiveStore {
public:
    explicit HiveStore(const QString& file) : m_settings(file, QSettings::IniFormat), m_earlier(isEarlierFormat(file)) {}

    // The stored spelling of the first `count` parts of a key path, found without regard to letter case.
    std::optional<QString> findKey(const QStringList& parts, qsizetype count)
    {
        QString path;
        for (qsizetype i = 0; i < count; ++i) {
            m_settings.beginGroup(path);
            const auto found = matching(m_settings.childGroups(), parts[i]);
            m_settings.endGroup();
            if (!found)
                return std::nullopt;
            path = below(path, *found);
        }
        return path;
    }

    // The QSettings key of a value of an existing key path, found without regard to letter case.
    std::optional<QString> findValue(const QString& keyPath, const QString& name)
    {
        QString stored = isUnnamed(name) ? kUnnamed : encodePart(name);
        if (m_earlier && !isUnnamed(name))
            stored = QLatin1Char('"') + name + QLatin1Char('"');
        m_settings.beginGroup(keyPath);
        const auto found = matching(m_settings.childKeys(), stored);
        m_settings.endGroup();
        if (!found)
            return std::nullopt;
        return below(keyPath, *found);
    }

    // Rewrites a hive of the earlier writer in this one's form before it is changed.
    void upgrade()
    {
        if (!m_earlier)
            return;
        QList<std::pair<QString, QVariant>> values;
        for (const QString& key : m_settings.allKeys()) {
            const auto slash = key.lastIndexOf(QLatin1Char('/'));
            const QString name = key.mid(slash + 1);
            const QString newName = isQuoted(name) ? encodePart(name.mid(1, name.size() - 2)) : name;
            values.append({below(key.left(std::max<qsizetype>(slash, 0)), newName), m_settings.value(key)});
        }
        m_settings.clear();
        for (const auto& [key, data] : values)
            m_settings.setValue(key, data);
        m_earlier = false;
    }

    QSettings& settings() { return m_settings; }

    bool commit()
    {
        m_settings.sync();
        return m_settings.status() == QSettings::NoError;
    }

private:
    QSettings m_settings;
    bool m_earlier;
};

}  // namespace

QString CRegister::folder()
{
    const QString overridden = qEnvironmentVariable("TRACKLIFT_CONFIG_DIR");
    if (!overridden.isEmpty())
        return overridden;
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!config.isEmpty() && QDir::isAbsolutePath(config))
        return config + QStringLiteral("/tracklift");
    return QDir::homePath() + QStringLiteral("/.config/tracklift");
}

QString CRegister::hiveFile(Hive hive)
{
    static const char* const names[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS"};
    return folder() + QLatin1Char('/') + QLatin1String(names[hive]) + QStringLiteral(".ini");
}

QString CRegister::REGGetSetting(Hive regHKEY, const QString& sSection, const QString& sKey, const QString& sDefault) const
{
    HiveStore hive(hiveFile(regHKEY));
    const QStringList parts = keyParts(sSection);
    const auto key = hive.findKey(parts, parts.size());
    const auto value = key ? hive.findValue(*key, sKey) : std::nullopt;
    return value ? hive.settings().value(*value).toString() : sDefault;
}

bool CRegister::REGSaveSetting(Hive regHKEY, const QString& sSection, const QString& sKey, const QString& sValue) const
{
    HiveStore hive(hiveFile(regHKEY));
    hive.upgrade();
    // Keys and values that exist keep the letter case they were first written with.
    const QStringList parts = keyParts(sSection);
    qsizetype known = parts.size();
    std::optional<QString> path;
    while (!(path = hive.findKey(parts, known)))
        --known;
    for (qsizetype i = known; i < parts.size(); ++i)
        path = below(*path, parts[i]);
    const auto existing = hive.findValue(*path, sKey);
    hive.settings().setValue(existing ? *existing : below(*path, isUnnamed(sKey) ? kUnnamed : encodePart(sKey)), sValue);
    return hive.commit();
}

bool CRegister::REGDeleteSetting(Hive regHKEY, const QString& sSection, const QString& sKey) const
{
    HiveStore hive(hiveFile(regHKEY));
    hive.upgrade();
    const QStringList parts = keyParts(sSection);
    const auto path = hive.findKey(parts, parts.size());
    if (!path)
        return false;
    QSettings& settings = hive.settings();
    if (!sKey.isEmpty()) {
        const auto value = hive.findValue(*path, sKey);
        if (!value)
            return false;
        settings.remove(*value);
        return hive.commit();
    }
    settings.beginGroup(*path);
    const bool hasKeysBelow = !settings.childGroups().isEmpty();
    settings.endGroup();
    if (hasKeysBelow)
        return false;
    settings.remove(*path);
    return hive.commit();
}

}  // namespace tracklift
