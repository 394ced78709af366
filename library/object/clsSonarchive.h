#pragma once

#include "DatabaseCodec.h"
#include "DevicePathResolver.h"
#include "DevicePlacement.h"
#include "ImageBuffer.h"
#include "SinceLastSync.h"
#include "TrackIdentity.h"
#include "TrackIndex.h"

#include <sonarchive/Sonarchive.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace sonarchive {

// The library object: the loaded device database, the state the operations
// share, and the policy around the codec: when to ask the user, what to say,
// when to retry. Its members are defined in the files of this folder, one
// concern each: loading, the loaded tracks, writing, editing, adding, reset and
// rebuild, finding the device, playlists.
class clsSonarchive final : public _clsSonarchive {
public:
    clsSonarchive();
    ~clsSonarchive() override;

    bool LoadiPodDB() override;
    void DeleteTrack(std::int32_t& iTrackID) override;
    void initlaize(std::int32_t hParentWindow, const std::u16string& sApplicationName,
                   const std::u16string& siPodDrive = {}) override;
    std::u16string iPodDriveLetter() const override { return siPodDrive; }
    void setiPodShuffle(bool value) override { m_iPodShuffle = value; }
    bool iPodShuffle() const override { return m_iPodShuffle; }
    void CancelUpdate() override;
    void WriteiPodDB() override;
    bool Write_FileSize(const std::u16string& sFilePath) override;
    std::int32_t AddTrack(const std::u16string& sFilePath, TrackInfo& Info, bool bSkipCopy = false,
                          const std::u16string& siPodPath = {}, bool bSkipSetInfo = false,
                          std::int32_t iModifiedTrackID = 0) override;
    bool ReBuildDB() override;
    bool ModifyTrack(std::int32_t& iTrackID, TrackInfo& Info) override;
    TrackInfo GetTrackInfo(std::int32_t iTrackID) const override;
    bool SetTrackInfo(const std::u16string& sFilePath, TrackInfo& tInfo) override;
    MHBD GetDBInfo() const override { return m_db.header; }
    MHSD_T GetAllTracks() const override { return readable().tracks; }
    MHSD_P GetAllPlayLists() const override { return readable().playlists; }
    MHSD_P GetAllPodcasts() const override { return readable().podcasts; }
    MHSD_A GetAllAlbumPlayLists() const override { return m_db.albumLists; }
    MHSD_NP GetAllNewPlayLists() const override { return m_db.newPlaylists; }
    bool ResetiPodDB() override;
    std::u16string GetiPodDriveString(std::int32_t hwndParent, const std::u16string& sApplicationName,
                                      bool bConfirm = false) override;
    void GetVideoInformation(const std::u16string& sFilePath) override;

    void setUserInterfaceHost(UserInterfaceHost* host) override { m_host = host; }
    void setEventListener(clsSonarchiveEvents* listener) override { m_events = listener; }

    Failure lastFailure() const override { return m_lastFailure; }
    bool writeDatabase() override;
    int signatureScheme() const override;
    int replacedSignatureScheme() const override { return m_replacedSignatureScheme; }
    void setAllowUnsignedWrite(bool allow) override { m_allowUnsignedWrite = allow; }
    bool AllowUnsignedWrite() const override { return m_allowUnsignedWrite; }
    std::vector<PlaylistView> playlists() const override;
    void forEachTrackInfo(const std::function<void(const TrackInfo&)>& visit) const override;
    std::optional<std::int32_t> addPlaylist(const std::u16string& name, const std::vector<std::int32_t>& trackIds) override;
    DeviceNotes deviceNotes() const override { return m_sinceSync.notes(); }
    std::vector<std::string> loadWarnings() const override { return m_sinceSync.warnings(); }

    // Decodes a database image without touching the disk or asking anything:
    // true when it decodes to its end. With `indexOnly` the records are left to
    // be decoded when first needed, as after a load. For fuzzing and measurements.
    bool decodeImage(const std::shared_ptr<const ByteBuffer>& image, bool indexOnly = false);

    // The database file the records describe now, as WriteiPodDB writes it.
    std::string assembleDatabase();
    void assembleInto(ImageBuffer& image);

    // Sections of types other than 1-5, whole, in the order read.
    const std::vector<RawBytes>& otherSections() const { return m_db.otherSections; }

    // The empty database that reset and rebuild copy to the device: the file
    // "Sonarchive" the library ships with (see libraryDataFile), unless another
    // one was chosen.
    std::filesystem::path templateDatabase() const;
    void setTemplateDatabase(std::filesystem::path path) { m_templateDatabase = std::move(path); }

private:
    // Loading.
    enum class LoadFailure { PathNotFound, FileNotFound, Unreadable, Other };
    void loadOrFail();
    bool recoverFromLoadFailure(LoadFailure failure);
    bool resetThenLoad();

    // The loaded tracks and playlists. A load reads the file whole but keeps only
    // where each track and playlist starts (the index); the records are decoded
    // from the file when an edit, a write or an accessor first needs them.
    // Decodes the records of the loaded file now, if they were not yet.
    void ensureRecords();
    // The records, decoded: this object's, or a decoded copy kept for reading.
    const DatabaseRecords& readable() const;
    std::size_t trackCount() const;
    // The track at a place of the track list (decoded from the file when the
    // records are not; valid until the next call), and the place of the first
    // track with an identifier (-1 when there is none).
    const MHIT& trackAt(std::size_t position) const;
    std::int64_t positionOf(std::int32_t iTrackID) const;
    std::int32_t trackIdAt(std::size_t position) const;
    bool knownTrack(std::int32_t iTrackID) const { return positionOf(iTrackID) >= 0; }
    // The playlists of a section in order, decoded as for tracks.
    void forEachPlaylist(const MHSD_P& section, const std::function<void(const MHYP&)>& visit) const;
    // `position` is the track's place in the track list, where the device's notes find it.
    void fillTrackInfo(const MHIT& track, std::size_t position, TrackInfo& info) const;
    void fillTexts(const MHIT& track, TrackInfo& info) const;
    PlaylistView onTheGoView(const OnTheGoFile& list, std::int32_t index) const;
    MHIT* findTrack(std::int32_t iTrackID);
    void tracksChanged()
    {
        m_trackIndex.invalidate();
        m_trackIds.invalidate();
    }

    // Writing: the private operations the writer has always had, each placing
    // its chunk at iFilePos and leaving iFilePos one past it.
    void writeOrFail();
    void showWriteFailure() const;
    void WriteMHBD(ImageBuffer& image);
    void WriteMHSD_T(ImageBuffer& image);
    void WriteMHSD_P(ImageBuffer& image, const MHSD_P& section);
    // Writes the section of a slot, when the records hold one.
    bool writeSection(ImageBuffer& image, SectionPlace place);
    // Puts what the device recorded since its last sync into the records, once:
    // counts, ratings and times into the tracks, each On-The-Go list as a playlist.
    void foldSinceLastSync();
    // A playlist of these tracks appended to every playlist section, as its
    // neighbours there; returns its index in the type 2 section.
    std::int32_t appendPlaylist(std::u16string title, const std::vector<std::int32_t>& trackIds);

    // Finding the device.
    enum class DriveOutcome { Determined, ConfirmedByUser, NotDetermined };
    void DetectiPodDrive(std::int32_t hParentWindow, const std::u16string& sApplicationName);
    DriveOutcome locateiPodDrive(std::int32_t hParentWindow, const std::u16string& sApplicationName);
    std::u16string BrowseForDrive(std::int32_t hParentWindow, const std::u16string& sTitle);

    // Reset and rebuild.
    bool RestoreDatabaseFile();
    void restoreTemplate();
    bool addEveryMediaFile();

    // Adding tracks.
    std::int32_t addOrFail(const std::u16string& sFilePath, TrackInfo& Info, bool bSkipCopy, const std::u16string& siPodPath,
                           std::int32_t iModifiedTrackID);
    std::int32_t addNewTrack(const std::u16string& sFilePath, const TrackInfo& Info, bool bSkipCopy,
                             const std::u16string& siPodPath);
    std::int32_t rebuildTrackRecords(const std::u16string& sFilePath, const TrackInfo& Info, bool bSkipCopy,
                                     const std::u16string& siPodPath, std::int32_t iModifiedTrackID);
    std::u16string locationOnDevice(const std::u16string& siPodPath) const;
    bool copyToDevice(const std::u16string& sFilePath, const TrackInfo& Info, std::u16string& location);
    std::int32_t NextTrackID();
    std::int64_t GetLibraryID();
    std::int32_t RandomPosition();
    DevicePlacement ChooseDevicePath(const std::u16string& extension);

    // Helpers shared by the operations.
    UserInterfaceHost& host() const;
    MessageResult message(const std::u16string& prompt, const std::u16string& title, MessageButtons buttons,
                          MessageIcon icon) const;
    std::filesystem::path devicePath(std::u16string_view relative) const;
    std::filesystem::path databasePath() const { return devicePath(u"iPod_Control/iTunes/Sonarchive"); }
    bool removeMediaFile(const std::u16string& location);

    // Object state.
    bool m_iPodShuffle = false;
    std::int32_t iFilePos = 0;       // one-based position in the file being read or written
    std::int32_t iDeletedTracks = 0; // tracks marked deleted since the load
    std::u16string siPodDrive;
    std::u16string sApplicationName;
    DatabaseRecords m_db;
    bool m_databaseLoaded = false;   // the records hold a database loaded whole
    std::unique_ptr<DatabaseIndex> m_index;  // set while the loaded file's records are not decoded
    mutable std::unique_ptr<DatabaseRecords> m_readable;  // a decoded copy for readers, while m_index is set
    mutable MHIT m_scratchTrack;           // one track decoded from the file for reading
    mutable MHYP m_scratchPlaylist;
    mutable std::u16string m_driveRootOf;  // the drive m_driveRoot was made for
    mutable std::string m_driveRoot;
    std::shared_ptr<const ByteBuffer> m_loadedImage;  // the file as the last load read it
    Failure m_lastFailure;
    std::u16string m_failedSection;  // the section a failed write stopped in, for its message
    bool m_allowUnsignedWrite = false;
    int m_replacedSignatureScheme = 0;

    UserInterfaceHost* m_host = nullptr;
    clsSonarchiveEvents* m_events = nullptr;
    mutable TrackIndex m_trackIndex;
    mutable DevicePathResolver m_paths;
    TrackIdentity m_trackIds;
    SinceLastSync m_sinceSync;
    std::mt19937_64 m_random;
    std::filesystem::path m_templateDatabase;
};

// The signature scheme a database header names (16 bits at offset 48); 0 when
// the database is not signed.
int signatureSchemeOf(std::string_view header);

// The process-wide cancel flag shared by every instance.
bool cancelRequested();
void clearCancelRequest();

}  // namespace sonarchive
