#include "CopyOptions.h"

#include "CRegister.h"

namespace tracklift {

namespace {

const QString kKey = QStringLiteral("Software\\Corvane Tracklift\\Copy Options");

QString boolText(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

}  // namespace

const std::vector<CopyOptions::Preset>& CopyOptions::presets()
{
    static const std::vector<Preset> list = {
        {QStringLiteral("Title"), titlePattern()},
        {QStringLiteral("Artist/Album/NN Title"), QStringLiteral("{artist}/{album}/{track:02} {title}")},
        {QStringLiteral("Artist - Title"), QStringLiteral("{artist} - {title}")},
    };
    return list;
}

const std::vector<CopyOptions::TagChoice>& CopyOptions::tagChoices()
{
    static const std::vector<TagChoice> list = {
        {trackcopy::TagMode::Fill, QStringLiteral("Add the iPod's tags, rating and play count where the file has none")},
        {trackcopy::TagMode::Database, QStringLiteral("Replace the file's tags with the iPod's")},
        {trackcopy::TagMode::None, QStringLiteral("Copy files unchanged")},
    };
    return list;
}

std::optional<trackcopy::TrackNamePattern> CopyOptions::parsedPattern(QString* error) const
{
    if (pattern.trimmed() == titlePattern())
        return std::nullopt;
    std::string why;
    auto parsed = trackcopy::TrackNamePattern::parse(pattern.trimmed().toStdString(), why);
    if (!parsed && error)
        *error = QString::fromStdString(why);
    return parsed;
}

bool CopyOptions::patternIsValid() const
{
    QString error;
    return parsedPattern(&error) || error.isEmpty();
}

CopyOptions CopyOptions::load(const CRegister& store)
{
    CopyOptions options;
    const auto get = [&](const char* name, const QString& fallback) {
        return store.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, kKey, QLatin1String(name), fallback);
    };
    options.pattern = get("NamePattern", options.pattern);
    if (!options.patternIsValid() || options.pattern.trimmed().isEmpty())
        options.pattern = titlePattern();  // a damaged setting falls back to the plain copy
    options.skipSameSize = get("SkipSameSize", boolText(options.skipSameSize)) == QLatin1String("1");
    options.playlistFile = get("WritePlaylistFile", boolText(options.playlistFile)) == QLatin1String("1");
    options.saveCovers = get("SaveAlbumCovers", boolText(options.saveCovers)) == QLatin1String("1");
    options.embedCovers = get("EmbedCovers", boolText(options.embedCovers)) == QLatin1String("1");
    const QString tags = get("Tags", QString::fromUtf8(trackcopy::tagModeName(options.tags)));
    options.tags = trackcopy::tagModeNamed(tags.toStdString()).value_or(options.tags);  // a damaged setting: the default
    return options;
}

void CopyOptions::save(const CRegister& store) const
{
    store.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, kKey, QStringLiteral("NamePattern"), pattern);
    store.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, kKey, QStringLiteral("SkipSameSize"), boolText(skipSameSize));
    store.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, kKey, QStringLiteral("WritePlaylistFile"), boolText(playlistFile));
    store.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, kKey, QStringLiteral("SaveAlbumCovers"), boolText(saveCovers));
    store.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, kKey, QStringLiteral("EmbedCovers"), boolText(embedCovers));
    store.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, kKey, QStringLiteral("Tags"), QString::fromUtf8(trackcopy::tagModeName(tags)));
}

}  // namespace tracklift
