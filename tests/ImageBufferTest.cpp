// The new database's image, whole in memory or streamed to its file through a
// small window: the same positioned writes give the same bytes either way.
#include "TempDir.h"

#include <ImageBuffer.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <random>
#include <unistd.h>

using namespace sonarchive;
using namespace testsupport;

TEST(ImageBuffer, StreamedThroughASmallWindowGivesTheSameBytesAsWholeInMemory)
{
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        TempDir dir;
        const auto path = dir.path() / "image";
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ImageBuffer whole;
        {
            ImageBuffer streamed(fd, path.string(), 64 + static_cast<std::size_t>(rng() % 200));
            std::int64_t end = 0;
            for (int step = 0; step < 300; ++step) {
                // Mostly on at the end, sometimes a gap, a count filled in far behind, or a chunk larger than the window.
                const auto kind = rng() % 10;
                std::int64_t pos = end;
                std::size_t count = 1 + static_cast<std::size_t>(rng() % 40);
                if (kind == 0)
                    pos = end + static_cast<std::int64_t>(rng() % 100);
                else if (kind == 1 && end > 0)
                    pos = static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(end));
                else if (kind == 2)
                    count = 300 + static_cast<std::size_t>(rng() % 500);
                std::string bytes(count, '\0');
                for (char& c : bytes)
                    c = static_cast<char>('a' + rng() % 26);
                whole.write(pos, bytes);
                if (kind == 3)
                    std::memcpy(streamed.at(pos, count), bytes.data(), count);
                else
                    streamed.write(pos, bytes);
                end = std::max<std::int64_t>(end, pos + static_cast<std::int64_t>(count));
            }
            EXPECT_EQ(streamed.size(), whole.size());
            streamed.finish();
        }
        ::close(fd);
        EXPECT_EQ(readFile(path), std::string(whole.view()));
    }
}
