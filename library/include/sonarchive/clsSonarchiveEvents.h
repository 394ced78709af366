#pragma once

#include <cstdint>
#include <string>

namespace sonarchive {

// Observer of the library's events; raised synchronously from inside the running method.
class clsSonarchiveEvents {
public:
    virtual ~clsSonarchiveEvents() = default;
    virtual void CurrentStatus(const std::u16string& sStatus, std::int16_t iPercent) { (void)sStatus; (void)iPercent; }
    virtual void RebuildStatus(const std::u16string& sStatus) { (void)sStatus; }
};

}  // namespace sonarchive
