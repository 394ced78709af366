#include <clsSonarchive.h>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace sonarchive;
    clsSonarchive db;
    auto image = std::make_shared<const ByteBuffer>(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!db.decodeImage(image))
        return 0;
    const MHSD_T tracks = db.GetAllTracks();
    const auto count = std::min<std::size_t>(static_cast<std::size_t>(std::max(tracks.m_mhlt.iNumberOfllTracks, 0)),
                                             tracks.m_mhlt.m_mhit.size());
    for (std::size_t i = 0; i < count; ++i)
        (void)db.GetTrackInfo(tracks.m_mhlt.m_mhit[i].iUniqueID);
    (void)db.GetAllPlayLists();
    (void)db.GetAllPodcasts();
    return 0;
}
