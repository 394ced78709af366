#pragma once

#include "CopyOptions.h"
#include "Dialogs.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QFormLayout;
class QVBoxLayout;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace tracklift {

// The copy options: a name pattern with its presets and a live preview, the
// switches, and what the copies carry of the database (three choices). The
// playlist-file switch shows only while a playlist is shown.
class CopyOptionsDialog final : public QDialog {
    Q_OBJECT
public:
    // The preview's name for these options ("" when no track is ticked).
    using Preview = std::function<QString(const CopyOptions&)>;

    CopyOptionsDialog(const CopyOptions& options, Preview preview, bool playlistShown, QWidget* parent = nullptr);

    CopyOptions options() const;
    QString previewText() const;
    void choosePreset(int index);  // as choosing it from the list does

private:
    QFormLayout* namesForm(const CopyOptions& options);
    QVBoxLayout* copyChoices(const CopyOptions& options, bool playlistShown);
    void patternEdited();

    Preview m_preview;
    QComboBox* m_presets;
    QLineEdit* m_pattern;
    QLabel* m_previewLabel;
    QCheckBox* m_skipSameSize;
    QCheckBox* m_playlistFile;
    QCheckBox* m_saveCovers;
    QCheckBox* m_embedCovers;
    std::vector<QRadioButton*> m_tagChoices;  // in the order of CopyOptions::tagChoices()
    QDialogButtonBox* m_buttons;
};

// What became of a copy: how many files were copied, skipped and failed, each
// failure with its track, its file and its reason (a list however long, which
// a button puts on the clipboard), the copies that could not carry tags with
// why, how to finish a copy that did not complete, and a button that opens the
// destination folder. A device that went away is said once, at the top.
class CopySummaryDialog final : public QDialog {
    Q_OBJECT
public:
    enum class Kind { Copy, Backup };

    CopySummaryDialog(const CopyResult& result, const std::vector<std::string>& otherFailures,
                      std::function<void()> openFolder, QWidget* parent = nullptr, Kind kind = Kind::Copy);

    QString summaryText() const;
    QString failureText() const;
    QString hintText() const;  // how to finish; "" when all went well
    void copyFailureList() const;  // the "Copy List" button

private:
    QLabel* m_summary;
    QLabel* m_hint;
    QPlainTextEdit* m_failures;
};

}  // namespace tracklift
