#pragma once

#include <sonarchive/Export.h>
#include <sonarchive/Failure.h>
#include "DeviceNotes.h"
#include "PlaylistRecords.h"
#include "PlaylistView.h"
#include "TrackInfo.h"
#include "TrackRecords.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace sonarchive {

class UserInterfaceHost;
class clsSonarchiveEvents;

// Identities the class had when it was registered as a component.
inline constexpr std::string_view kClassIdClsSonarchive = "{DEB7CFE2-EAFA-4D96-93A5-0BD55B1C1DD5}";
inline constexpr std::string_view kInterfaceIdClsSonarchive = "{86721246-BEB1-4163-82A0-87B74F312D44}";
inline constexpr std::string_view kEventInterfaceIdClsSonarchive = "{3F08AC06-9BF8-4303-B73C-CD346B0AE615}";

// The library's interface, members in slot order. A method changes a by-reference
// parameter only where its behaviour says so. Methods whose result is "empty"
// return void.
class _clsSonarchive {
public:
    virtual ~_clsSonarchive() = default;

    virtual bool LoadiPodDB() = 0;                                                    // 1
    virtual void DeleteTrack(std::int32_t& iTrackID) = 0;                             // 2
    virtual void initlaize(std::int32_t hParentWindow, const std::u16string& sApplicationName,
                           const std::u16string& siPodDrive = {}) = 0;               // 3
    virtual std::u16string iPodDriveLetter() const = 0;                               // 4
    virtual void setiPodShuffle(bool value) = 0;                                      // 5
    virtual bool iPodShuffle() const = 0;                                             // 6
    virtual void CancelUpdate() = 0;                                                  // 7
    virtual void WriteiPodDB() = 0;                                                   // 8
    virtual bool Write_FileSize(const std::u16string& sFilePath) = 0;                 // 9
    virtual std::int32_t AddTrack(const std::u16string& sFilePath, TrackInfo& Info, bool bSkipCopy = false,
                                  const std::u16string& siPodPath = {}, bool bSkipSetInfo = false,
                                  std::int32_t iModifiedTrackID = 0) = 0;             // 10
    virtual bool ReBuildDB() = 0;                                                     // 11
    virtual bool ModifyTrack(std::int32_t& iTrackID, TrackInfo& Info) = 0;            // 12
    virtual TrackInfo GetTrackInfo(std::int32_t iTrackID) const = 0;                  // 13
    virtual bool SetTrackInfo(const std::u16string& sFilePath, TrackInfo& tInfo) = 0; // 14
    virtual MHBD GetDBInfo() const = 0;                                               // 15
    virtual MHSD_T GetAllTracks() const = 0;                                          // 16
    virtual MHSD_P GetAllPlayLists() const = 0;                                       // 17
    virtual MHSD_P GetAllPodcasts() const = 0;                                        // 18
    virtual MHSD_A GetAllAlbumPlayLists() const = 0;                                  // 19
    virtual MHSD_NP GetAllNewPlayLists() const = 0;                                   // 20
    virtual bool ResetiPodDB() = 0;                                                   // 21
    virtual std::u16string GetiPodDriveString(std::int32_t hwndParent, const std::u16string& sApplicationName,
                                              bool bConfirm = false) = 0;             // 22
    virtual void GetVideoInformation(const std::u16string& sFilePath) = 0;            // 23

    // Connection points: the client's user interface and its event listener.
    // Neither is owned; pass nullptr to disconnect.
    virtual void setUserInterfaceHost(UserInterfaceHost* host) = 0;
    virtual void setEventListener(clsSonarchiveEvents* listener) = 0;

    // Beyond the interface: what the library's own clients need to report
    // failures and to decide about signed databases.

    // The failure that ended the last LoadiPodDB, WriteiPodDB, AddTrack,
    // ResetiPodDB or ReBuildDB; empty after one that succeeded.
    virtual Failure lastFailure() const = 0;
    // WriteiPodDB with its result: true when the new database is in place.
    virtual bool writeDatabase() = 0;
    // The signature scheme the loaded database's header names (16 bits at
    // offset 48); 0 when the database is not signed.
    virtual int signatureScheme() const = 0;
    // The same for the database that the last reset or rebuild replaced.
    virtual int replacedSignatureScheme() const = 0;
    // A signed database is written only as it was loaded, unless this is set:
    // its header is then kept as it is, stale signature included.
    virtual void setAllowUnsignedWrite(bool allow) = 0;
    virtual bool AllowUnsignedWrite() const = 0;

    // The playlists in file order: those of the playlist section, or of the
    // podcast section when the file has no playlist section. Items whose track
    // is unknown or marked deleted are left out (so are podcast group headers,
    // which name no track). Kind: master by its flag, podcasts by its flag,
    // smart when it carries smart-rule records (kinds 50 and 51).
    virtual std::vector<PlaylistView> playlists() const = 0;

    // Every track in list order, as GetTrackInfo of its identifier describes
    // it, without copying the records: how the library's own clients list a
    // device. The record passed is valid during the call only.
    virtual void forEachTrackInfo(const std::function<void(const TrackInfo&)>& visit) const = 0;

    // Appends a normal playlist to every playlist section (types 2 and 3): its
    // title, then one item per identifier in this order, repeats kept. The file
    // changes only on the next write. Returns the new playlist's index in the
    // type 2 section; nothing when it can't be added (lastFailure says why: no
    // playlist section, an unknown track, no name).
    virtual std::optional<std::int32_t> addPlaylist(const std::u16string& name, const std::vector<std::int32_t>& trackIds) = 0;

    // What the device recorded since its last sync, as the last load found it
    // beside the database ("Play Counts", the On-The-Go files). GetTrackInfo and
    // forEachTrackInfo already merge it into each track; playlists() lists the
    // On-The-Go playlists after the database's own. The next write folds it into
    // the records and renames the files to "<name>.bak".
    virtual DeviceNotes deviceNotes() const = 0;
    // Problems the last load read past without failing: a damaged play-count or
    // On-The-Go file (named, with the byte), counts that disagree with the track list.
    virtual std::vector<std::string> loadWarnings() const = 0;
};

// Creates the library object (the direct binding of the class).
SONARCHIVE_EXPORT std::unique_ptr<_clsSonarchive> createSonarchive();

}  // namespace sonarchive
