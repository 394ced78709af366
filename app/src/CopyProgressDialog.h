#pragma once

#include "Dialogs.h"

#include <QDialog>

#include <atomic>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace tracklift {

// The progress window of a batch copy: the file being copied, how many files and
// bytes are done, and a Cancel button that stops between chunks. The copy runs
// on a worker thread so the program's windows stay responsive; replace prompts
// are asked here on the user-interface thread. Failures are listed at the end.
class CopyProgressDialog final : public QDialog {
    Q_OBJECT
public:
    explicit CopyProgressDialog(QWidget* parent = nullptr);
    ~CopyProgressDialog() override;

    CopyResult run(const std::vector<CopyItem>& items, const CopySettings& settings = {});

    // The prompt for a destination that exists already; the program's wording.
    static ReplaceAnswer askReplace(QWidget* parent, const std::filesystem::path& destination);

    void reject() override;  // Escape or the window's close: cancel the copy

private:
    void showProgress(const CopyProgress& progress);
    void addFailure(const CopyFailure& failure);
    void finished();

    QLabel* m_file;
    QLabel* m_count;
    QLabel* m_bytes;
    QProgressBar* m_bar;
    QPlainTextEdit* m_failures;
    QPushButton* m_button;
    std::atomic<bool> m_cancel{false};
    bool m_running = false;
};

}  // namespace tracklift
