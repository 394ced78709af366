#pragma once

#include "CRegister.h"
#include "CopyOptions.h"
#include "Dialogs.h"

#include <QObject>

#include <functional>
#include <optional>

class QUrl;
class QWidget;

namespace trackcopy {
class CopyPlan;
}

namespace tracklift {

class TrackList;

// Copies the ticked tracks into a folder the user picks, in one batch, named as
// the copy options say (by default each under its cleaned title and the
// extension of its file on the device) and carrying the database's tags as
// they say, then says what became of them.
class TrackCopier final : public QObject {
    Q_OBJECT
public:
    TrackCopier(TrackList& tracks, Dialogs& dialogs, QWidget* owner);

    void CopyCheckedTracks();

    // The copy options dialog; accepted options are kept in the settings store.
    void cmdCopyOptions_Click();
    const CopyOptions& options() const { return m_options; }
    void setOptions(const CopyOptions& options);  // and stores them
    // The name the first ticked track would be copied under; "" when none is ticked.
    QString previewName(const CopyOptions& options) const;

    // How the destination folder is opened from the summary (the desktop's file manager by default).
    void setUrlOpener(std::function<bool(const QUrl&)> opener) { m_urlOpener = std::move(opener); }

private:
    // The batch for the ticked rows; rows without a file are reported by the plan.
    std::optional<trackcopy::CopyPlan> plan(const QString& folder) const;
    void openFolder(const QString& folder) const;

    TrackList& m_tracks;
    Dialogs& m_dialogs;
    QWidget* m_owner;
    CRegister m_register;
    CopyOptions m_options;
    std::function<bool(const QUrl&)> m_urlOpener;
};

}  // namespace tracklift
