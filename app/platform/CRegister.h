#pragma once

#include <QString>

namespace tracklift {

// The settings store: named string values under key paths, grouped in hives as
// in a registry. Each hive is an INI file kept through QSettings in the user's
// configuration folder ($TRACKLIFT_CONFIG_DIR, else $XDG_CONFIG_HOME/tracklift,
// else ~/.config/tracklift). The key path's parts are its groups, the value
// names its keys and "@" its unnamed value:
//
//   [Software]
//   Corvane%20Tracklift\Settings\AutoDetect=True
//
// Files of the earlier writer ([Software\Corvane Tracklift\Settings] then
// "AutoDetect"="True" and @="...") are read as they are and rewritten in this
// form the first time they are changed. Key paths and value names compare
// without regard to letter case.
class CRegister {
public:
    enum Hive { HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS };

    // The stored string, or sDefault when the key or value cannot be read. The
    // value name "*" stands for the key's unnamed value.
    QString REGGetSetting(Hive regHKEY, const QString& sSection, const QString& sKey, const QString& sDefault) const;
    // Creates the key as needed; true when the value was written.
    bool REGSaveSetting(Hive regHKEY, const QString& sSection, const QString& sKey, const QString& sValue) const;
    // A non-empty sKey deletes that value; an empty one deletes the key sSection
    // with its values (not when it has keys below it). True on success.
    bool REGDeleteSetting(Hive regHKEY, const QString& sSection, const QString& sKey) const;

    // Where the hives are kept.
    static QString folder();
    static QString hiveFile(Hive hive);
};

}  // namespace tracklift
