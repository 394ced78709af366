#include "clsSonarchive.h"

#include <stdexcept>

namespace sonarchive {

// Writing is not built yet: it refuses rather than pretending to succeed.
void clsSonarchive::WriteiPodDB()
{
    message(u"Error occured while writting iPod DB.\r\nErr Number:0,writing is not available in this build",
            {}, MessageButtons::OK, MessageIcon::Critical);
}

bool clsSonarchive::Write_FileSize(const std::u16string&)
{
    throw std::logic_error("writing is not available in this build");
}

}  // namespace sonarchive
