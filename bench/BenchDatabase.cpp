#include "BenchDatabase.h"

#include "DatabaseBuilder.h"
#include "TempDir.h"

#include <cstdlib>
#include <memory>

namespace bench {

using namespace testsupport;

bool deviceFromEnvironment()
{
    const char* named = std::getenv("SONARCHIVE_BENCH_DEVICE");
    return named && *named;
}

const std::filesystem::path& bigDevice()
{
    static const std::filesystem::path device = [] {
        if (deviceFromEnvironment())
            return std::filesystem::path(std::getenv("SONARCHIVE_BENCH_DEVICE"));
        static const auto dir = std::make_unique<TempDir>();
        installDatabase(dir->path(), buildDatabase(largeDatabase(40000)));
        return dir->path();
    }();
    return device;
}

std::filesystem::path bigDatabaseFile()
{
    // The folders may be spelled in capitals on a real device.
    for (const char* control : {"iPod_Control", "IPOD_CONTROL"})
        for (const char* itunes : {"iTunes", "ITUNES"})
            if (std::filesystem::exists(bigDevice() / control / itunes / "Sonarchive"))
                return bigDevice() / control / itunes / "Sonarchive";
    return bigDevice() / "iPod_Control/iTunes/Sonarchive";
}

}  // namespace bench
