#pragma once

#include <QString>

#include <cstdint>

namespace tracklift {

// What plays a file inside the program: the media command interpreter drives
// it. The program uses Qt Multimedia; tests use a fake that records calls.
class MediaBackend {
public:
    virtual ~MediaBackend() = default;

    // Loads the file, paused at its start; false when it cannot be played.
    virtual bool open(const QString& path) = 0;
    virtual void close() = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void seek(std::int64_t ms) = 0;
    virtual std::int64_t lengthMs() const = 0;
    // At the end of the file the position stays at its length.
    virtual std::int64_t positionMs() const = 0;
};

}  // namespace tracklift
