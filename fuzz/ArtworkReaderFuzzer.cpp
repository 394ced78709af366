// Any bytes as an artwork database: the reader walks them, decodes the
// pictures they describe from the same bytes, and picks covers without a crash,
// a hang or an allocation beyond what the bytes can hold.
#include <ArtworkFile.h>
#include <Error.h>
#include <ThumbnailPixels.h>
#include <sonarchive/Artwork.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace sonarchive;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        for (const ImageRecord& image : readArtworkImages(bytes))
            for (const ThumbnailRecord& t : image.thumbnails)
                if (t.size <= size && holds16BitPixels(t.size, t.width, t.height))
                    (void)decodeRgb565(bytes.substr(0, t.size), t.width, t.height);
    } catch (const FormatError&) {
        // damage found and named: what the reader is for
    }
    ArtworkDatabase covers = ArtworkDatabase::decode(bytes, "/nonexistent-device");
    (void)covers.takeWarnings();
    return 0;
}
