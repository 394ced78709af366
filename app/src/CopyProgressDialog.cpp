#include "CopyProgressDialog.h"

#include "FormatText.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <mutex>
#include <thread>

namespace tracklift {

namespace {

QString displayPath(const std::filesystem::path& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

// Forwards the engine's events from the worker thread to the dialog.
class DialogObserver final : public CopyObserver {
public:
    DialogObserver(CopyProgressDialog* dialog, std::function<void(const CopyProgress&)> progress,
                   std::function<void(const CopyFailure&)> failure)
        : m_dialog(dialog), m_progress(std::move(progress)), m_failure(std::move(failure))
    {
        m_clock.start();
    }

    void progress(const CopyProgress& p) override
    {
        // A file's start and then at most about 20 updates a second.
        if (p.fileIndex != m_lastFile || p.fileBytesDone == 0 || m_clock.elapsed() >= 50) {
            m_lastFile = p.fileIndex;
            m_clock.restart();
            QMetaObject::invokeMethod(m_dialog, [f = m_progress, p] { f(p); }, Qt::QueuedConnection);
        }
    }

    ReplaceAnswer askReplace(const std::filesystem::path& destination) override
    {
        ReplaceAnswer answer = ReplaceAnswer::Cancel;
        QMetaObject::invokeMethod(
            m_dialog, [&] { answer = CopyProgressDialog::askReplace(m_dialog, destination); },
            Qt::BlockingQueuedConnection);
        return answer;
    }

    void failed(const CopyFailure& failure) override
    {
        QMetaObject::invokeMethod(m_dialog, [f = m_failure, failure] { f(failure); }, Qt::QueuedConnection);
    }

private:
    CopyProgressDialog* m_dialog;
    std::function<void(const CopyProgress&)> m_progress;
    std::function<void(const CopyFailure&)> m_failure;
    QElapsedTimer m_clock;
    std::size_t m_lastFile = static_cast<std::size_t>(-1);
};

}  // namespace

CopyProgressDialog::CopyProgressDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Please wait until copying files from iPod to PC..."));
    setModal(true);
    setMinimumWidth(480);

    m_file = new QLabel(this);
    m_file->setTextFormat(Qt::PlainText);
    m_file->setMinimumWidth(440);
    QFont bold = m_file->font();
    bold.setBold(true);
    m_file->setFont(bold);
    m_count = new QLabel(this);
    m_bytes = new QLabel(this);
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, 1000);
    m_bar->setTextVisible(false);
    m_failures = new QPlainTextEdit(this);
    m_failures->setReadOnly(true);
    m_failures->setVisible(false);
    m_button = new QPushButton(QStringLiteral("Cancel"), this);

    auto* counts = new QHBoxLayout;
    counts->addWidget(m_count);
    counts->addStretch();
    counts->addWidget(m_bytes);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_button);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_file);
    layout->addLayout(counts);
    layout->addWidget(m_bar);
    layout->addWidget(m_failures);
    layout->addLayout(buttons);

    connect(m_button, &QPushButton::clicked, this, [this] {
        if (m_running)
            reject();
        else
            accept();
    });
}

CopyProgressDialog::~CopyProgressDialog() = default;

ReplaceAnswer CopyProgressDialog::askReplace(QWidget* parent, const std::filesystem::path& destination)
{
    QMessageBox box(parent);
    box.setWindowTitle(QStringLiteral("Tracklift"));
    box.setIcon(QMessageBox::Question);
    const QString name = displayPath(destination.filename());
    const QString folder = QDir::toNativeSeparators(displayPath(destination.parent_path()));
    box.setText(QStringLiteral("The folder %1 already has a file named \"%2\".\nDo you want to replace it?").arg(folder, name));
    QPushButton* yes = box.addButton(QStringLiteral("Yes"), QMessageBox::YesRole);
    QPushButton* yesToAll = box.addButton(QStringLiteral("Yes to All"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("No"), QMessageBox::NoRole);
    QPushButton* keepBoth = box.addButton(QStringLiteral("Keep Both"), QMessageBox::ActionRole);
    QPushButton* cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(no);
    box.setEscapeButton(cancel);
    box.exec();
    const QAbstractButton* clicked = box.clickedButton();
    if (clicked == yes)
        return ReplaceAnswer::Yes;
    if (clicked == yesToAll)
        return ReplaceAnswer::YesToAll;
    if (clicked == no)
        return ReplaceAnswer::No;
    if (clicked == keepBoth)
        return ReplaceAnswer::KeepBoth;
    return ReplaceAnswer::Cancel;
}

CopyResult CopyProgressDialog::run(BatchCopy& batch)
{
    CopyResult result;
    m_cancel = false;
    m_running = true;
    m_count->setText(QStringLiteral("File 0 of %1").arg(batch.items().size()));
    DialogObserver observer(
        this, [this](const CopyProgress& p) { showProgress(p); }, [this](const CopyFailure& f) { addFailure(f); });
    std::thread worker([&] {
        result = batch.run(observer, m_cancel);
        QMetaObject::invokeMethod(this, [this] { finished(); }, Qt::QueuedConnection);
    });
    exec();
    worker.join();
    return result;
}

void CopyProgressDialog::showProgress(const CopyProgress& p)
{
    m_file->setText(displayPath(p.current.filename()));
    m_count->setText(QStringLiteral("File %1 of %2").arg(p.fileIndex + 1).arg(p.fileCount));
    m_bytes->setText(QStringLiteral("%1 of %2").arg(FormatFileSize(static_cast<std::int64_t>(p.bytesDone)),
                                                    FormatFileSize(static_cast<std::int64_t>(p.totalBytes))));
    m_bar->setValue(p.totalBytes ? static_cast<int>(p.bytesDone * 1000 / p.totalBytes) : 0);
}

void CopyProgressDialog::addFailure(const CopyFailure& failure)
{
    m_failures->setVisible(true);
    m_failures->appendPlainText(QStringLiteral("Not copied: ") + QString::fromStdString(failure.describe()));
}

void CopyProgressDialog::finished()
{
    m_running = false;
    // Failures stay on screen until the user has read them; otherwise the window closes.
    if (m_failures->isVisible()) {
        m_file->setText(QStringLiteral("Copying finished; some files were not copied."));
        m_bar->setValue(1000);
        m_button->setEnabled(true);
        m_button->setText(QStringLiteral("Close"));
        return;
    }
    accept();
}

void CopyProgressDialog::reject()
{
    if (!m_running) {
        QDialog::reject();
        return;
    }
    m_cancel = true;
    m_button->setEnabled(false);
    m_button->setText(QStringLiteral("Cancelling..."));
}

}  // namespace tracklift
