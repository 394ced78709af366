#pragma once

#include "MciInterpreter.h"

#include <QString>

#include <cstdint>

namespace tracklift {

// Playback inside the program through media command strings, on one device
// opened under the alias "animation".
class modMCI {
public:
    explicit modMCI(MciDevice* device) : m_device(device) {}
    void setDevice(MciDevice* device) { m_device = device; }

    // The window the device draws into, the file being played and its device type.
    quint64 MovieWindow = 0;
    QString MovieFile;
    QString MovieDevice;

    // Sends the text and one blank; the answer is not looked at.
    void MciCommand(const QString& text);
    void OpenMovie();
    // Fits the device's window to the movie panel, given in twips.
    void PositionMovie(int widthTwips, int heightTwips, int twipsPerPixelX, int twipsPerPixelY);
    std::int32_t MovieLengthMs();
    std::int32_t MoviePositionMs();

    static QString GetDeviceType(const QString& path);
    static QString FormatPlayTime(std::int32_t ms);

private:
    std::int32_t statusNumber(const QString& command);

    MciDevice* m_device;
};

}  // namespace tracklift
