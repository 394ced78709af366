// Any file the reader accepts is walked, written again, and read back: the
// second reading must give the same records. Only what a chunk holds in its own
// bytes is compared: a text running past its record shows bytes of whatever
// chunk follows, and the writer may place a different chunk there (a section
// read twice is written once).
#include <clsSonarchive.h>

#include <sonarchive/RecordFields.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace sonarchive;

namespace {

[[noreturn]] void differs(const char* what)
{
    std::fprintf(stderr, "%s differs after a rewrite\n", what);
    std::abort();
}

template <typename Record, typename Fields>
void expectSameFields(const Record& a, const Record& b, const Fields& fields, std::int64_t ownBytes)
{
    std::int64_t offset = 0;
    forEachField(fields, [&](const auto& field) {
        if (offset + field.width <= ownBytes && !(a.*(field.member) == b.*(field.member)))
            differs(field.name);
        offset += field.width;
    });
}

void expectSame(const MHOD_S& a, const MHOD_S& b)
{
    expectSameFields(a, b, kMHOD_SFields, a.iTotalSize);
    if (a.iLength <= a.iTotalSize - 40 && a.sString != b.sString)
        differs("sString");
}

// Both lists must claim the same count; `check` then compares their entries pair by pair.
template <typename Entry, typename Check>
void expectSameEntries(const std::vector<Entry>& a, const std::vector<Entry>& b, std::int32_t countA, std::int32_t countB,
                       const char* countName, Check check)
{
    if (countA != countB)
        differs(countName);
    for (std::size_t i = 0; i < static_cast<std::size_t>(countA); ++i)
        check(a[i], b[i]);
}

void expectSame(const MHSD_T& a, const MHSD_T& b)
{
    expectSameEntries(a.m_mhlt.m_mhit, b.m_mhlt.m_mhit, a.m_mhlt.iNumberOfllTracks, b.m_mhlt.iNumberOfllTracks, "iNumberOfllTracks",
                      [](const MHIT& x, const MHIT& y) {
                          expectSameFields(x, y, kMHITFields, x.iHeaderSize);
                          for (std::size_t j = 0; j < static_cast<std::size_t>(x.iNumberOfMHODS); ++j)
                              expectSame(x.m_mhod[j], y.m_mhod[j]);
                      });
}

void expectSame(const MHSD_P& a, const MHSD_P& b)
{
    expectSameEntries(a.m_mhlp.m_mhyp, b.m_mhlp.m_mhyp, a.m_mhlp.iNumberOfPlaylists, b.m_mhlp.iNumberOfPlaylists, "iNumberOfPlaylists",
                      [](const MHYP& x, const MHYP& y) {
                          expectSameFields(x, y, kMHYPFields, x.iHeaderSize);
                          if (x.iChildsCount > 0)
                              expectSame(x.m_mhod_s, y.m_mhod_s);
                          for (std::size_t j = 0; j < static_cast<std::size_t>(x.iPlaylistItemsCount); ++j) {
                              expectSameFields(x.m_mhip[j], y.m_mhip[j], kMHIPFields, x.m_mhip[j].iHeaderSize);
                              expectSameFields(x.m_mhod_poe[j], y.m_mhod_poe[j], kMHOD_POEFields, x.m_mhod_poe[j].iTotalSize);
                          }
                      });
}

// Identifier -1 is the library's own deletion mark; a file that stores it has
// those records left out by a rewrite, so it can't read back the same.
bool storesDeletionMarks(const MHSD_T& tracks, const MHSD_P& playlists, const MHSD_P& podcasts)
{
    for (std::size_t i = 0; i < static_cast<std::size_t>(tracks.m_mhlt.iNumberOfllTracks); ++i)
        if (tracks.m_mhlt.m_mhit[i].iUniqueID == -1)
            return true;
    for (const MHSD_P* section : {&playlists, &podcasts})
        for (std::size_t k = 0; k < static_cast<std::size_t>(section->m_mhlp.iNumberOfPlaylists); ++k)
            for (std::size_t j = 0; j < static_cast<std::size_t>(section->m_mhlp.m_mhyp[k].iPlaylistItemsCount); ++j)
                if (section->m_mhlp.m_mhyp[k].m_mhip[j].iTrackID == -1)
                    return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    clsSonarchive db;
    auto image = std::make_shared<const ByteBuffer>(std::string_view(reinterpret_cast<const char*>(data), size));
    // A load keeps only an index of the file; it must find the same damage a full read finds.
    clsSonarchive indexed;
    const bool indexAccepts = indexed.decodeImage(image, true);
    const bool accepts = db.decodeImage(image);
    if (indexAccepts != accepts || (!accepts && indexed.lastFailure().message != db.lastFailure().message)) {
        std::fprintf(stderr, "index: %s\nrecords: %s\n", indexed.lastFailure().message.c_str(), db.lastFailure().message.c_str());
        differs("the index's verdict");
    }
    if (!accepts)
        return 0;
    // And what it reads straight from the file is what the records say.
    std::vector<TrackInfo> fromIndex, fromRecords;
    indexed.forEachTrackInfo([&](const TrackInfo& info) { fromIndex.push_back(info); });
    db.forEachTrackInfo([&](const TrackInfo& info) { fromRecords.push_back(info); });
    if (fromIndex != fromRecords)
        differs("track information read through the index");
    if (indexed.playlists() != db.playlists())
        differs("playlists read through the index");
    const MHSD_T tracks = db.GetAllTracks();
    for (std::size_t i = 0; i < static_cast<std::size_t>(tracks.m_mhlt.iNumberOfllTracks); ++i)
        (void)db.GetTrackInfo(tracks.m_mhlt.m_mhit[i].iUniqueID);
    const MHSD_P playlists = db.GetAllPlayLists();
    const MHSD_P podcasts = db.GetAllPodcasts();
    // A file that declares no sections carries nothing a rewrite could keep.
    if (db.GetDBInfo().iNumberOfMHSD == 0 || storesDeletionMarks(tracks, playlists, podcasts))
        return 0;

    const std::string written = db.assembleDatabase();
    // A write straight from the file gives the same bytes as one from the records.
    if (indexed.assembleDatabase() != written)
        differs("the file written through the index");
    clsSonarchive again;
    if (!again.decodeImage(std::make_shared<const ByteBuffer>(written)))
        differs("the whole file");
    expectSame(tracks, again.GetAllTracks());
    expectSame(playlists, again.GetAllPlayLists());
    expectSame(podcasts, again.GetAllPodcasts());
    return 0;
}
