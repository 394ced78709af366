#pragma once

#include "MediaBackend.h"

#include <memory>

class QAudioOutput;
class QMediaPlayer;

namespace tracklift {

// Plays files through Qt Multimedia on the default audio output.
class QtMediaBackend final : public MediaBackend {
public:
    QtMediaBackend();
    ~QtMediaBackend() override;

    bool open(const QString& path) override;
    void close() override;
    void play() override;
    void pause() override;
    void seek(std::int64_t ms) override;
    std::int64_t lengthMs() const override;
    std::int64_t positionMs() const override;

private:
    std::unique_ptr<QAudioOutput> m_output;
    std::unique_ptr<QMediaPlayer> m_player;
};

}  // namespace tracklift
