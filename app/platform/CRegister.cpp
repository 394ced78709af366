#include "CRegister.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <QTextStream>

#include <vector>

namespace tracklift {

namespace {

struct Value {
    QString name;  // "*" for the unnamed value
    QString data;
};

struct Key {
    QString path;
    std::vector<Value> values;
};

// A hive file held in memory, keys in file order.
struct HiveContents {
    std::vector<Key> keys;

    Key* find(const QString& path)
    {
        for (Key& key : keys)
            if (key.path.compare(path, Qt::CaseInsensitive) == 0)
                return &key;
        return nullptr;
    }
};

QString normaliseSection(QString section)
{
    if (section.startsWith(QLatin1Char('\\')))
        section.remove(0, 1);
    if (section.endsWith(QLatin1Char('\\')))
        section.chop(1);
    return section;
}

QString quoted(const QString& text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"'))
            out += QLatin1Char('\\');
        if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c == QLatin1Char('\r'))
            out += QStringLiteral("\\r");
        else
            out += c;
    }
    return out + QLatin1Char('"');
}

// Reads a quoted text starting at `pos` (at the opening quote); false when malformed.
bool unquote(const QString& line, qsizetype& pos, QString& text)
{
    if (pos >= line.size() || line[pos] != QLatin1Char('"'))
        return false;
    text.clear();
    for (++pos; pos < line.size(); ++pos) {
        const QChar c = line[pos];
        if (c == QLatin1Char('"')) {
            ++pos;
            return true;
        }
        if (c == QLatin1Char('\\') && pos + 1 < line.size()) {
            const QChar e = line[++pos];
            text += e == QLatin1Char('n') ? QChar(u'\n') : e == QLatin1Char('r') ? QChar(u'\r') : e;
        } else {
            text += c;
        }
    }
    return false;
}

bool readHive(const QString& file, HiveContents& hive)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    QTextStream stream(&in);
    stream.setEncoding(QStringConverter::Utf8);
    Key* current = nullptr;
    while (!stream.atEnd()) {
        const QString line = stream.readLine();
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char(';')))
            continue;
        if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'))) {
            const QString path = trimmed.mid(1, trimmed.size() - 2);
            current = hive.find(path);
            if (!current) {
                hive.keys.push_back({path, {}});
                current = &hive.keys.back();
            }
            continue;
        }
        if (!current)
            continue;  // a value outside any key is not ours to interpret
        Value value;
        qsizetype pos = 0;
        if (trimmed.startsWith(QLatin1Char('@'))) {
            value.name = QStringLiteral("*");
            pos = 1;
        } else if (!unquote(trimmed, pos, value.name)) {
            continue;
        }
        if (pos >= trimmed.size() || trimmed[pos] != QLatin1Char('='))
            continue;
        ++pos;
        if (!unquote(trimmed, pos, value.data))
            continue;
        current->values.push_back(value);
    }
    return true;
}

bool writeHive(const QString& file, const HiveContents& hive)
{
    if (!QDir().mkpath(QFileInfo(file).absolutePath()))
        return false;
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QString text;
    for (const Key& key : hive.keys) {
        text += QLatin1Char('[') + key.path + QStringLiteral("]\n");
        for (const Value& value : key.values)
            text += (value.name == QLatin1String("*") ? QStringLiteral("@") : quoted(value.name)) + QLatin1Char('=') +
                    quoted(value.data) + QLatin1Char('\n');
        text += QLatin1Char('\n');
    }
    out.write(text.toUtf8());
    return out.commit();
}

bool isValidPath(const QString& path)
{
    return !path.contains(QLatin1Char('[')) && !path.contains(QLatin1Char(']')) && !path.contains(QLatin1Char('\n'));
}

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
    HiveContents hive;
    if (!readHive(hiveFile(regHKEY), hive))
        return sDefault;
    const Key* key = hive.find(normaliseSection(sSection));
    if (!key)
        return sDefault;
    for (const Value& value : key->values)
        if (value.name.compare(sKey, Qt::CaseInsensitive) == 0)
            return value.data;
    return sDefault;
}

bool CRegister::REGSaveSetting(Hive regHKEY, const QString& sSection, const QString& sKey, const QString& sValue) const
{
    const QString path = normaliseSection(sSection);
    if (!isValidPath(path))
        return false;
    HiveContents hive;
    readHive(hiveFile(regHKEY), hive);  // a missing hive starts empty
    Key* key = hive.find(path);
    if (!key) {
        hive.keys.push_back({path, {}});
        key = &hive.keys.back();
    }
    bool replaced = false;
    for (Value& value : key->values) {
        if (value.name.compare(sKey, Qt::CaseInsensitive) == 0) {
            value.data = sValue;
            replaced = true;
        }
    }
    if (!replaced)
        key->values.push_back({sKey, sValue});
    return writeHive(hiveFile(regHKEY), hive);
}

bool CRegister::REGDeleteSetting(Hive regHKEY, const QString& sSection, const QString& sKey) const
{
    const QString path = normaliseSection(sSection);
    HiveContents hive;
    if (!readHive(hiveFile(regHKEY), hive))
        return false;
    Key* key = hive.find(path);
    if (!key)
        return false;
    if (!sKey.isEmpty()) {
        const auto before = key->values.size();
        std::erase_if(key->values, [&](const Value& v) { return v.name.compare(sKey, Qt::CaseInsensitive) == 0; });
        if (key->values.size() == before)
            return false;
    } else {
        const QString below = path + QLatin1Char('\\');
        for (const Key& other : hive.keys)
            if (other.path.startsWith(below, Qt::CaseInsensitive))
                return false;
        std::erase_if(hive.keys, [&](const Key& k) { return k.path.compare(path, Qt::CaseInsensitive) == 0; });
    }
    return writeHive(hiveFile(regHKEY), hive);
}

}  // namespace tracklift
