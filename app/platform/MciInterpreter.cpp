#include "MciInterpreter.h"

#include <QStringList>

namespace tracklift {

namespace {

const QString kNotOpen = QStringLiteral("The specified device is not open or is not recognized by MCI.");
const QString kUnknown = QStringLiteral("Unrecognized keyword.");
const QString kCannotOpen = QStringLiteral("The specified file cannot be played on the specified MCI device.");

}  // namespace

MediaBackend& MciInterpreter::media()
{
    if (!m_backend)
        m_backend = m_factory();
    return *m_backend;
}

QString MciInterpreter::sendString(const QString& command)
{
    const QString text = command.trimmed();
    if (text.startsWith(QLatin1String("open "), Qt::CaseInsensitive))
        return open(text.mid(5));

    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() < 2)
        return kUnknown;
    const QString verb = words[0].toLower();
    if (!m_open || words[1].compare(m_alias, Qt::CaseInsensitive) != 0)
        return kNotOpen;
    const QStringList rest = words.mid(2);
    const auto restIs = [&](std::initializer_list<const char*> expected) {
        if (rest.size() != static_cast<qsizetype>(expected.size()))
            return false;
        qsizetype i = 0;
        for (const char* word : expected)
            if (rest[i++].compare(QLatin1String(word), Qt::CaseInsensitive) != 0)
                return false;
        return true;
    };

    if (verb == QLatin1String("close") && rest.isEmpty()) {
        media().close();
        m_open = false;
        m_alias.clear();
        return {};
    }
    if (verb == QLatin1String("play") && rest.isEmpty()) {
        media().play();
        return {};
    }
    if (verb == QLatin1String("play") && rest.size() == 2 && rest[0].compare(QLatin1String("from"), Qt::CaseInsensitive) == 0) {
        bool ok = false;
        const qint64 from = rest[1].toLongLong(&ok);
        if (!ok || from < 0)
            return kUnknown;
        media().seek(from);
        media().play();
        return {};
    }
    if (verb == QLatin1String("pause") && rest.isEmpty()) {
        media().pause();
        return {};
    }
    if (verb == QLatin1String("put") && rest.size() == 6 && rest[0].compare(QLatin1String("window"), Qt::CaseInsensitive) == 0 &&
        rest[1].compare(QLatin1String("at"), Qt::CaseInsensitive) == 0) {
        for (qsizetype i = 2; i < 6; ++i) {
            bool ok = false;
            rest[i].toInt(&ok);
            if (!ok)
                return kUnknown;
        }
        return {};  // audio shows no picture: the window's place changes nothing
    }
    if (verb == QLatin1String("set") && restIs({"time", "format", "ms"}))
        return {};  // milliseconds are the only format
    if (verb == QLatin1String("status") && restIs({"length"}))
        return QString::number(media().lengthMs());
    if (verb == QLatin1String("status") && (restIs({"position"}) || restIs({"position", "wait"})))
        return QString::number(media().positionMs());
    return kUnknown;
}

QString MciInterpreter::open(const QString& arguments)
{
    // "<path> type <type> alias <alias> [parent <window>] [style <style>]"
    const auto typeAt = arguments.lastIndexOf(QLatin1String(" type "), -1, Qt::CaseInsensitive);
    if (typeAt < 0)
        return kUnknown;
    const QString path = arguments.left(typeAt);
    const QStringList words = arguments.mid(typeAt + 6).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QString type, alias;
    for (qsizetype i = 0; i < words.size(); ++i) {
        if (i == 0) {
            type = words[i];
            continue;
        }
        const QString key = words[i].toLower();
        if (i + 1 >= words.size() || (key != QLatin1String("alias") && key != QLatin1String("parent") && key != QLatin1String("style")))
            return kUnknown;
        if (key == QLatin1String("alias"))
            alias = words[i + 1];
        ++i;
    }
    if (type.isEmpty() || alias.isEmpty())
        return kUnknown;
    if (m_open)
        return QStringLiteral("The specified alias is already being used in this application.");
    if (path.isEmpty() || !media().open(path))
        return kCannotOpen;
    m_open = true;
    m_alias = alias;
    m_type = type;
    m_path = path;
    return {};
}

}  // namespace tracklift
