#include "QtMediaBackend.h"

#include <QAudioOutput>
#include <QEventLoop>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QTimer>
#include <QUrl>

namespace tracklift {

namespace {

constexpr int kLoadWaitMs = 3000;

bool isSettled(QMediaPlayer::MediaStatus status)
{
    return status == QMediaPlayer::LoadedMedia || status == QMediaPlayer::InvalidMedia || status == QMediaPlayer::BufferedMedia ||
           status == QMediaPlayer::EndOfMedia;
}

}  // namespace

QtMediaBackend::QtMediaBackend() : m_output(std::make_unique<QAudioOutput>()), m_player(std::make_unique<QMediaPlayer>())
{
    m_player->setAudioOutput(m_output.get());
}

QtMediaBackend::~QtMediaBackend()
{
    m_player->stop();
}

bool QtMediaBackend::open(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return false;
    m_player->setSource(QUrl::fromLocalFile(path));
    // Opening answers once the file's length is known, as the command language expects;
    // the wait is bounded so that a stuck back end cannot hang the window.
    if (!isSettled(m_player->mediaStatus())) {
        QEventLoop loop;
        QTimer timeout;
        timeout.setSingleShot(true);
        QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(m_player.get(), &QMediaPlayer::mediaStatusChanged, &loop, [&loop](QMediaPlayer::MediaStatus status) {
            if (isSettled(status))
                loop.quit();
        });
        QObject::connect(m_player.get(), &QMediaPlayer::errorOccurred, &loop, &QEventLoop::quit);
        timeout.start(kLoadWaitMs);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    return m_player->mediaStatus() != QMediaPlayer::InvalidMedia && m_player->error() == QMediaPlayer::NoError;
}

void QtMediaBackend::close()
{
    m_player->stop();
    m_player->setSource(QUrl());
}

void QtMediaBackend::play()
{
    m_player->play();
}

void QtMediaBackend::pause()
{
    m_player->pause();
}

void QtMediaBackend::seek(std::int64_t ms)
{
    if (m_player->mediaStatus() == QMediaPlayer::EndOfMedia)
        m_player->pause();  // leaves the end so that the position can move again
    m_player->setPosition(ms);
}

std::int64_t QtMediaBackend::lengthMs() const
{
    return m_player->duration();
}

std::int64_t QtMediaBackend::positionMs() const
{
    if (m_player->mediaStatus() == QMediaPlayer::EndOfMedia)
        return m_player->duration();
    return m_player->position();
}

}  // namespace tracklift
