// Any file the reader accepts is walked, written again, and read back: the
// second reading must give the same records.
#include <clsSonarchive.h>

#include <sonarchive/RecordFields.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace sonarchive;

namespace {

template <typename Record, typename Fields>
void expectSameFields(const Record& a, const Record& b, const Fields& fields)
{
    forEachField(fields, [&](const auto& field) {
        if (!(a.*(field.member) == b.*(field.member)))
            std::abort();
    });
}

void expectSame(const MHSD_T& a, const MHSD_T& b)
{
    if (a.m_mhlt.iNumberOfllTracks != b.m_mhlt.iNumberOfllTracks)
        std::abort();
    for (int i = 0; i < a.m_mhlt.iNumberOfllTracks; ++i) {
        const MHIT& x = a.m_mhlt.m_mhit[static_cast<std::size_t>(i)];
        const MHIT& y = b.m_mhlt.m_mhit[static_cast<std::size_t>(i)];
        expectSameFields(x, y, kMHITFields);
        for (int j = 0; j < x.iNumberOfMHODS; ++j) {
            expectSameFields(x.m_mhod[static_cast<std::size_t>(j)], y.m_mhod[static_cast<std::size_t>(j)], kMHOD_SFields);
            if (x.m_mhod[static_cast<std::size_t>(j)].sString != y.m_mhod[static_cast<std::size_t>(j)].sString)
                std::abort();
        }
    }
}

void expectSame(const MHSD_P& a, const MHSD_P& b)
{
    if (a.m_mhlp.iNumberOfPlaylists != b.m_mhlp.iNumberOfPlaylists)
        std::abort();
    for (int k = 0; k < a.m_mhlp.iNumberOfPlaylists; ++k) {
        const MHYP& x = a.m_mhlp.m_mhyp[static_cast<std::size_t>(k)];
        const MHYP& y = b.m_mhlp.m_mhyp[static_cast<std::size_t>(k)];
        expectSameFields(x, y, kMHYPFields);
        for (int j = 0; j < x.iPlaylistItemsCount; ++j) {
            expectSameFields(x.m_mhip[static_cast<std::size_t>(j)], y.m_mhip[static_cast<std::size_t>(j)], kMHIPFields);
            expectSameFields(x.m_mhod_poe[static_cast<std::size_t>(j)], y.m_mhod_poe[static_cast<std::size_t>(j)], kMHOD_POEFields);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    clsSonarchive db;
    auto image = std::make_shared<const ByteBuffer>(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!db.decodeImage(image))
        return 0;
    const MHSD_T tracks = db.GetAllTracks();
    for (int i = 0; i < tracks.m_mhlt.iNumberOfllTracks; ++i)
        (void)db.GetTrackInfo(tracks.m_mhlt.m_mhit[static_cast<std::size_t>(i)].iUniqueID);

    const std::string written = db.assembleDatabase();
    clsSonarchive again;
    if (!again.decodeImage(std::make_shared<const ByteBuffer>(written)))
        std::abort();
    expectSame(tracks, again.GetAllTracks());
    expectSame(db.GetAllPlayLists(), again.GetAllPlayLists());
    expectSame(db.GetAllPodcasts(), again.GetAllPodcasts());
    return 0;
}
