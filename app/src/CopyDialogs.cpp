#include "CopyDialogs.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextCursor>
#include <QVBoxLayout>

namespace tracklift {

namespace {

QString customCaption()
{
    return QStringLiteral("Custom");
}

QString plural(std::size_t n, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

}  // namespace

// ---- Copy options ----------------------------------------------------------------------

CopyOptionsDialog::CopyOptionsDialog(const CopyOptions& options, Preview preview, bool playlistShown, QWidget* parent)
    : QDialog(parent), m_preview(std::move(preview))
{
    setObjectName(QStringLiteral("dlgCopyOptions"));
    setWindowTitle(QStringLiteral("Copy Options"));
    // Made in their tab order: the names first (the dialog opens on them), OK and Cancel last.
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(namesForm(options));
    layout->addSpacing(8);
    layout->addLayout(copyChoices(options, playlistShown));
    layout->addStretch();
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(m_buttons);

    connect(m_presets, &QComboBox::activated, this, &CopyOptionsDialog::choosePreset);
    connect(m_pattern, &QLineEdit::textChanged, this, &CopyOptionsDialog::patternEdited);
    patternEdited();
}

// How the copies are named: a preset or a pattern, with the fields it may use
// and the name the first ticked track would get.
QFormLayout* CopyOptionsDialog::namesForm(const CopyOptions& options)
{
    m_presets = new QComboBox(this);
    m_presets->setObjectName(QStringLiteral("cboNamePreset"));
    for (const CopyOptions::Preset& preset : CopyOptions::presets())
        m_presets->addItem(preset.caption, preset.pattern);
    m_presets->addItem(customCaption());
    m_pattern = new QLineEdit(options.pattern, this);
    m_pattern->setObjectName(QStringLiteral("txtNamePattern"));
    m_pattern->setMinimumWidth(380);
    auto* fields = new QLabel(QStringLiteral("Fields: {title} {artist} {album} {genre} {composer} {year} {track} {disc} "
                                             "{rating} {plays} {type} {id} {playlist} {index}; {track:02} pads with zeros; "
                                             "/ makes folders."),
                              this);
    fields->setObjectName(QStringLiteral("lblNameFields"));
    fields->setWordWrap(true);
    m_previewLabel = new QLabel(this);
    m_previewLabel->setObjectName(QStringLiteral("lblNamePreview"));
    m_previewLabel->setWordWrap(true);
    m_previewLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Names:"), m_presets);
    form->addRow(QStringLiteral("&Pattern:"), m_pattern);
    form->addRow(QString(), fields);
    form->addRow(QStringLiteral("Preview:"), m_previewLabel);
    return form;
}

// What else a copy does: skip what is there, a playlist file, covers, and what
// the copies carry of the database.
QVBoxLayout* CopyOptionsDialog::copyChoices(const CopyOptions& options, bool playlistShown)
{
    const auto box = [this](const char* text, const char* name, bool checked, const char* tip = nullptr) {
        auto* b = new QCheckBox(QLatin1String(text), this);
        b->setObjectName(QLatin1String(name));
        b->setChecked(checked);
        if (tip)
            b->setToolTip(QLatin1String(tip));
        return b;
    };
    m_skipSameSize = box("Skip files already copied (same size)", "chkSkipSameSize", options.skipSameSize);
    m_playlistFile = box("Write a playlist file", "chkPlaylistFile", options.playlistFile);
    m_playlistFile->setVisible(playlistShown);
    m_saveCovers = box("Save album covers as cover.jpg", "chkSaveCovers", options.saveCovers,
                       "Into each folder that holds the tracks of one album, the cover the iPod keeps for it");
    m_embedCovers = box("Embed covers in the copies", "chkEmbedCovers", options.embedCovers,
                        "A copy that carries tags and has no picture of its own gets its album's cover");
    auto* layout = new QVBoxLayout;
    for (QCheckBox* b : {m_skipSameSize, m_playlistFile, m_saveCovers, m_embedCovers})
        layout->addWidget(b);
    layout->addSpacing(8);
    layout->addWidget(new QLabel(QStringLiteral("Tags of the copies:"), this));
    const char* const tagNames[] = {"optTagsFill", "optTagsReplace", "optTagsNone"};
    for (const CopyOptions::TagChoice& choice : CopyOptions::tagChoices()) {
        auto* button = new QRadioButton(choice.caption, this);
        button->setObjectName(QLatin1String(tagNames[m_tagChoices.size()]));
        button->setChecked(choice.mode == options.tags);
        m_tagChoices.push_back(button);
        layout->addWidget(button);
    }
    // Covers ride in the tags: nothing to embed them in while the files are copied unchanged.
    const auto tagsChosen = [this] { m_embedCovers->setEnabled(!m_tagChoices.back()->isChecked()); };
    for (QRadioButton* button : m_tagChoices)
        connect(button, &QRadioButton::toggled, this, tagsChosen);
    tagsChosen();
    return layout;
}

void CopyOptionsDialog::choosePreset(int index)
{
    const QVariant pattern = m_presets->itemData(index);
    if (pattern.isValid())
        m_pattern->setText(pattern.toString());  // the custom entry keeps the pattern as typed
    m_presets->setCurrentIndex(index);
}

void CopyOptionsDialog::patternEdited()
{
    const int preset = m_presets->findData(m_pattern->text().trimmed());
    m_presets->setCurrentIndex(preset >= 0 ? preset : m_presets->count() - 1);

    CopyOptions current = options();
    QString error;
    const bool empty = current.pattern.trimmed().isEmpty();
    current.parsedPattern(&error);
    const bool valid = !empty && error.isEmpty();
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(valid);
    if (empty) {
        m_previewLabel->setText(QStringLiteral("Type a pattern, or choose one from the list."));
    } else if (!valid) {
        m_previewLabel->setText(QStringLiteral("This pattern cannot be used: ") + error);
    } else {
        const QString name = m_preview ? m_preview(current) : QString();
        m_previewLabel->setText(name.isEmpty() ? QStringLiteral("Tick a track to see its name here.") : name);
    }
}

CopyOptions CopyOptionsDialog::options() const
{
    CopyOptions options;
    options.pattern = m_pattern->text().trimmed();
    options.skipSameSize = m_skipSameSize->isChecked();
    options.playlistFile = m_playlistFile->isChecked();
    options.saveCovers = m_saveCovers->isChecked();
    options.embedCovers = m_embedCovers->isChecked();
    for (std::size_t i = 0; i < m_tagChoices.size(); ++i)
        if (m_tagChoices[i]->isChecked())
            options.tags = CopyOptions::tagChoices()[i].mode;
    return options;
}

QString CopyOptionsDialog::previewText() const
{
    return m_previewLabel->text();
}

// ---- Copy summary ----------------------------------------------------------------------

namespace {

QString summaryOf(const CopyResult& result, std::size_t failed, CopySummaryDialog::Kind kind)
{
    const bool backup = kind == CopySummaryDialog::Kind::Backup;
    QString text;
    if (result.disconnected)
        text = backup ? QStringLiteral("The iPod was disconnected; %1 of %2 files were backed up; back up again to finish.\n")
                      : QStringLiteral("The iPod was disconnected; %1 of %2 files were copied; copy again with the same options "
                                       "to finish.\n");
    else if (result.cancelled)
        text = backup ? QStringLiteral("The backup was cancelled.\n") : QStringLiteral("The copy was cancelled.\n");
    else
        text = backup ? QStringLiteral("The backup is finished.\n") : QStringLiteral("The copy is finished.\n");
    if (result.disconnected)
        text = text.arg(result.inPlace()).arg(result.items.size());
    if (backup)
        return text + QStringLiteral("Backed up: %1\nFailed: %2").arg(plural(result.copied, "file", "files"), plural(failed, "file", "files"));
    return text + QStringLiteral("Copied: %1\nSkipped: %2\nFailed: %3")
                      .arg(plural(result.copied, "file", "files"), plural(result.skipped, "file", "files"), plural(failed, "file", "files"));
}

}  // namespace

CopySummaryDialog::CopySummaryDialog(const CopyResult& result, const std::vector<std::string>& otherFailures,
                                     std::function<void()> openFolder, QWidget* parent, Kind kind)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgCopySummary"));
    setWindowTitle(applicationTitle());
    setSizeGripEnabled(true);

    const std::size_t failed = result.failures.size() + otherFailures.size();
    QString text = summaryOf(result, failed, kind);
    if (!result.untagged.empty())
        text += QStringLiteral("\nCopied without tags: %1").arg(plural(result.untagged.size(), "file", "files"));
    m_summary = new QLabel(text, this);
    m_summary->setObjectName(QStringLiteral("lblCopySummary"));
    m_summary->setWordWrap(true);
    // A copy that did not finish is finished by copying again what is missing.
    const bool unfinished = kind == Kind::Copy && (!result.failures.empty() || result.disconnected);
    m_hint = new QLabel(unfinished ? QStringLiteral("To copy only the files that are missing, copy again with \"Skip files "
                                                    "already copied (same size)\" ticked in Copy Options.")
                                   : QString(),
                        this);
    m_hint->setObjectName(QStringLiteral("lblCopyHint"));
    m_hint->setWordWrap(true);
    m_hint->setVisible(unfinished);

    m_failures = new QPlainTextEdit(this);
    m_failures->setObjectName(QStringLiteral("txtCopyFailures"));
    m_failures->setReadOnly(true);
    m_failures->setLineWrapMode(QPlainTextEdit::NoWrap);
    for (const CopyFailure& failure : result.failures)
        m_failures->appendPlainText(QString::fromStdString(failure.describe()));
    for (const std::string& failure : otherFailures)
        m_failures->appendPlainText(QString::fromStdString(failure));
    for (const CopyFailure& note : result.untagged)
        m_failures->appendPlainText(QStringLiteral("Copied without tags: %1 (%2)")
                                        .arg(QFile::decodeName(QByteArray::fromStdString(note.item.destination.string())),
                                             QString::fromStdString(note.reason)));
    m_failures->moveCursor(QTextCursor::Start);  // the list from its first line, left edge in view
    const bool listed = failed > 0 || !result.untagged.empty();
    m_failures->setVisible(listed);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* copyList = buttons->addButton(QStringLiteral("Copy List"), QDialogButtonBox::ActionRole);
    copyList->setObjectName(QStringLiteral("cmdCopyFailureList"));
    copyList->setToolTip(QStringLiteral("Put the list of files not copied on the clipboard"));
    copyList->setVisible(failed > 0);
    QPushButton* open = buttons->addButton(QStringLiteral("Open Destination Folder"), QDialogButtonBox::ActionRole);
    open->setObjectName(QStringLiteral("cmdOpenDestination"));
    QPushButton* ok = buttons->addButton(QDialogButtonBox::Ok);
    ok->setObjectName(QStringLiteral("cmdSummaryOK"));
    ok->setDefault(true);
    connect(copyList, &QPushButton::clicked, this, &CopySummaryDialog::copyFailureList);
    connect(open, &QPushButton::clicked, this, [openFolder = std::move(openFolder)] {
        if (openFolder)
            openFolder();
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(m_failures, 1);
    layout->addWidget(m_hint);
    layout->addWidget(buttons);
    resize(listed ? 720 : 420, listed ? 420 : 160);
}

QString CopySummaryDialog::hintText() const
{
    return m_hint->text();
}

void CopySummaryDialog::copyFailureList() const
{
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(failureText() + QLatin1Char('\n'));
}

QString CopySummaryDialog::summaryText() const
{
    return m_summary->text();
}

QString CopySummaryDialog::failureText() const
{
    return m_failures->toPlainText();
}

}  // namespace tracklift
