#pragma once

#include "MediaBackend.h"

#include <QString>

#include <functional>
#include <memory>

namespace tracklift {

// Where media command strings go; answers the command's return text.
class MciDevice {
public:
    virtual ~MciDevice() = default;
    virtual QString sendString(const QString& command) = 0;
};

// Carries out the media command strings the program sends, on one device
// opened under an alias:
//   open <path> type <type> alias <alias> parent <window> style <style>
//   close|play|pause <alias>, play <alias> from <ms>
//   put <alias> window at <x> <y> <w> <h>, set <alias> time format ms
//   status <alias> length, status <alias> position [wait]
// Paths are not quoted: everything between "open " and the last " type " is
// the path, so paths with blanks open. Unknown commands and commands for a
// device that is not open answer an error text and change nothing.
class MciInterpreter final : public MciDevice {
public:
    using BackendFactory = std::function<std::unique_ptr<MediaBackend>()>;
    explicit MciInterpreter(BackendFactory factory) : m_factory(std::move(factory)) {}

    QString sendString(const QString& command) override;

    bool isOpen() const { return m_open; }
    QString deviceType() const { return m_type; }
    QString path() const { return m_path; }

private:
    MediaBackend& media();
    QString open(const QString& arguments);

    BackendFactory m_factory;
    std::unique_ptr<MediaBackend> m_backend;  // made on first use
    bool m_open = false;
    QString m_alias, m_type, m_path;
};

}  // namespace tracklift
