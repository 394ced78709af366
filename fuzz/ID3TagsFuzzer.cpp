#include <ID3Tags.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace sonarchive;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const MemorySource source(bytes);
    TagFields fields;
    ReadID3v1(source, fields);
    ReadID3v2(source, fields);
    // The same bytes as a tag in the middle of a file, and as frame content.
    ParseID3v2Tag(source, size / 2, fields);
    if (size > 4) {
        DecodeFrameText(bytes, "COMM");
        (void)RefineGenre(BytesToText(bytes.substr(1), data[0] & 3, data[0] & 4));
    }
    return 0;
}
