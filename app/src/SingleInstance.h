#pragma once

#include <QString>

namespace tracklift {

// The program-wide lock named "Corvanetracklift": a lock file in the user's
// runtime folder ($XDG_RUNTIME_DIR, else the temporary folder). The lock is held
// while this object lives and goes with the process, however it ends.
class SingleInstance {
public:
    explicit SingleInstance(const QString& name = QStringLiteral("Corvanetracklift"));
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when another running instance holds the lock.
    bool anotherInstanceRunning() const { return m_otherInstance; }
    QString lockFile() const { return m_path; }

private:
    QString m_path;
    int m_fd = -1;
    bool m_otherInstance = false;
};

}  // namespace tracklift
