#include <Error.h>
#include <MpegAudio.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace sonarchive;
    const MemorySource source(std::string_view(reinterpret_cast<const char*>(data), size));
    MpegInfo info;
    try {
        AnalyseMpegAudio(source, info);
    } catch (const Error&) {
        // A division by zero or an out-of-range value is a reported error, not a crash.
    }
    return 0;
}
