#pragma once

#include "DatabaseBuilder.h"
#include "ScriptedHost.h"
#include "TempDir.h"

#include <clsSonarchive.h>

namespace testsupport {

// A device folder in a temporary place with a library object pointed at it and
// a scripted user interface that records what the library asks.
struct TestDevice {
    TempDir dir;
    ScriptedHost host;
    sonarchive::clsSonarchive db;

    TestDevice()
    {
        db.setUserInterfaceHost(&host);
        db.initlaize(0, u"Tracklift", dir.root());
    }
    void install(const DatabaseFixture& fixture) { installBytes(buildDatabase(fixture)); }
    void installBytes(const std::string& bytes) { installDatabase(dir.path(), bytes); }
    std::filesystem::path file() const { return dir.path() / "iPod_Control/iTunes/Sonarchive"; }
    std::string bytes() const { return readFile(file()); }
    bool reload() { return db.LoadiPodDB(); }
};

}  // namespace testsupport
