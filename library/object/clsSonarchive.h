#pragma once

#include "DevicePathResolver.h"
#include "ImageBuffer.h"
#include "TrackIdentity.h"
#include "TrackIndex.h"

#include <sonarchive/Sonarchive.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <unordered_map>
#include <string>
#include <vector>

namespace sonarchive {

class ByteReader;

// The library object: the loaded device database and the operations on it.
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
    MHBD GetDBInfo() const override { return m_MHBD; }
    MHSD_T GetAllTracks() const override { return m_index ? decodedCopy()->m_MHSD_T : m_MHSD_T; }
    MHSD_P GetAllPlayLists() const override { return m_index ? decodedCopy()->m_playlists : m_playlists; }
    MHSD_P GetAllPodcasts() const override { return m_index ? decodedCopy()->m_podcasts : m_podcasts; }
    MHSD_A GetAllAlbumPlayLists() const override { return m_MHSD_A; }
    MHSD_NP GetAllNewPlayLists() const override { return m_MHSD_NP; }
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
    std::int32_t addPlaylist(const std::u16string& name, const std::vector<std::int32_t>& trackIds) override;

    // Decodes a database image without touching the disk or asking anything:
    // true when it decodes to its end. With `indexOnly` the records are left to
    // be decoded when first needed, as after a load. For fuzzing and measurements.
    bool decodeImage(const std::shared_ptr<const ByteBuffer>& image, bool indexOnly = false);

    // The database file the records describe now, as WriteiPodDB writes it.
    std::string assembleDatabase();
    void assembleInto(ImageBuffer& image);

    // Sections of types other than 1-5, whole, in the order read.
    const std::vector<RawBytes>& otherSections() const { return m_otherSections; }

    // The empty database that reset and rebuild copy to the device: the file
    // "Sonarchive" the library ships with (see libraryDataFile), unless another
    // one was chosen.
    std::filesystem::path templateDatabase() const;
    void setTemplateDatabase(std::filesystem::path path) { m_templateDatabase = std::move(path); }

private:
    // Reader. A load reads the file whole but keeps only where each track and
    // playlist starts (the index); the records are decoded from the file when an
    // edit, a write or an accessor first needs them.
    enum class LoadFailure { PathNotFound, FileNotFound, Unreadable, Other };
    struct FileIndex {
        std::vector<std::int64_t> tracks;                          // where each track record starts
        std::vector<std::int32_t> ids;                             // and its identifier
        std::unordered_map<std::int32_t, std::size_t> firstOfId;   // identifier -> its first track
        std::vector<std::int64_t> playlists;                       // playlists of the type 2 section
        std::vector<std::int64_t> podcasts;                        // and of the type 3 section
        bool hasPlaylistSection = false;
        // The section and list headers, with no entries: what a write needs besides them.
        MHSD_T tracksHead;
        MHSD_P playlistsHead;
        MHSD_P podcastsHead;
    };
    void decodeDatabase(const std::shared_ptr<const ByteBuffer>& fileData, FileIndex* index = nullptr);
    void ReadTrackSection(ByteReader& reader, const std::shared_ptr<const ByteBuffer>& fileData, MHSD_T& target, FileIndex* index);
    void ReadPlaylistSection(ByteReader& reader, const std::shared_ptr<const ByteBuffer>& fileData, MHSD_P& target,
                             std::vector<std::int64_t>* offsets = nullptr);
    // The records of the loaded file, decoded now if they were not yet.
    void ensureRecords();
    // A copy of this object's records with those of the loaded file decoded, for accessors.
    std::unique_ptr<clsSonarchive> decodedCopy() const;
    // The track GetTrackInfo describes for an identifier, decoded from the file when
    // the records are not; null when there is none. Valid until the next call.
    const MHIT* trackForReading(std::int32_t iTrackID) const;
    bool knownTrack(std::int32_t iTrackID) const;
    void fillTrackInfo(const MHIT& track, TrackInfo& info) const;
    // One track or playlist of the loaded file, decoded from where the index says it starts.
    void decodeTrackAt(std::int64_t offset, MHIT& into) const;
    void decodePlaylistAt(std::int64_t offset, MHYP& into) const;
    bool recoverFromLoadFailure(LoadFailure failure);
    bool resetThenLoad();

    // Writer.
    void writeOrFail();
    void WriteMHBD(ImageBuffer& image);
    void WriteMHSD_T(ImageBuffer& image);
    // With `offsets`, the playlists are decoded from the loaded file one by one.
    void WriteMHSD_P(ImageBuffer& image, const MHSD_P& section, const std::vector<std::int64_t>* offsets = nullptr);

    // Drive detection.
    enum class DriveOutcome { Determined, ConfirmedByUser, NotDetermined };
    void DetectiPodDrive(std::int32_t hParentWindow, const std::u16string& sApplicationName);
    DriveOutcome locateiPodDrive(std::int32_t hParentWindow, const std::u16string& sApplicationName);
    std::u16string BrowseForDrive(std::int32_t hParentWindow, const std::u16string& sTitle);

    // Reset and rebuild.
    bool RestoreDatabaseFile();

    // Adding tracks.
    struct DevicePlacement {
        std::string devicePath;                // below the drive root, starting with "/"
        std::filesystem::path createdFolder;   // the folder made for the file, if one was made
    };
    std::int32_t addNewTrack(const std::u16string& sFilePath, const TrackInfo& Info, bool bSkipCopy,
                             const std::u16string& siPodPath);
    std::int32_t rebuildTrackRecords(const std::u16string& sFilePath, const TrackInfo& Info, bool bSkipCopy,
                                     const std::u16string& siPodPath, std::int32_t iModifiedTrackID);
    std::u16string locationOnDevice(const std::u16string& siPodPath) const;
    bool copyToDevice(const std::u16string& sFilePath, const TrackInfo& Info, std::u16string& location);
    std::int32_t NextTrackID();
    std::int64_t GetLibraryID();
    char16_t RandomLetter();
    std::int32_t RandomPosition();
    DevicePlacement ChooseDevicePath(const std::u16string& extension);
    static std::vector<std::string> ListFolder(const std::filesystem::path& folder);

    // Helpers shared by the operations.
    UserInterfaceHost& host() const;
    MessageResult message(const std::u16string& prompt, const std::u16string& title, MessageButtons buttons,
                          MessageIcon icon) const;
    std::filesystem::path devicePath(std::u16string_view relative) const;
    std::filesystem::path databasePath() const { return devicePath(u"iPod_Control/iTunes/Sonarchive"); }
    const MHIT* findTrack(std::int32_t iTrackID) const;
    MHIT* findTrack(std::int32_t iTrackID);
    void tracksChanged()
    {
        m_trackIndex.invalidate();
        m_trackIds.invalidate();
    }
    bool removeMediaFile(const std::u16string& location);

    // Object state.
    bool m_iPodShuffle = false;
    std::int32_t iFilePos = 0;
    MHBD m_MHBD;
    MHSD_T m_MHSD_T;
    MHSD_P m_playlists;
    MHSD_P m_podcasts;
    MHSD_A m_MHSD_A;
    MHSD_NP m_MHSD_NP;
    std::u16string siPodDrive;
    std::int32_t iDeletedTracks = 0;
    std::u16string sApplicationName;
    std::vector<RawBytes> m_otherSections;
    bool m_databaseLoaded = false;  // the records hold a database loaded whole

    // Where each section stood in the file read, so a rewrite keeps their order.
    enum class SectionSlot { Tracks, Playlists, Podcasts, AlbumLists, NewPlaylists, Other };
    struct SectionPlace {
        SectionSlot slot;
        std::size_t otherIndex = 0;  // for SectionSlot::Other: the entry of m_otherSections
    };
    std::vector<SectionPlace> m_sectionOrder;
    std::unique_ptr<FileIndex> m_index;  // set while the loaded file's records are not decoded
    mutable MHIT m_scratchTrack;         // one track decoded from the file for reading
    mutable MHYP m_scratchPlaylist;
    mutable std::u16string m_driveRootOf;  // the drive m_driveRoot was made for
    mutable std::string m_driveRoot;
    std::shared_ptr<const ByteBuffer> m_loadedImage;  // the file as the last load read it
    Failure m_lastFailure;
    bool m_allowUnsignedWrite = false;
    int m_replacedSignatureScheme = 0;

    UserInterfaceHost* m_host = nullptr;
    clsSonarchiveEvents* m_events = nullptr;
    mutable TrackIndex m_trackIndex;
    mutable DevicePathResolver m_paths;
    TrackIdentity m_trackIds;
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
