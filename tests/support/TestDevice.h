#pragma once

#include "DatabaseBuilder.h"
#include "ScriptedHost.h"
#include "TempDir.h"

#include <AtomicFile.h>
#include <clsSonarchive.h>

#include <string>
#include <system_error>

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
    bool load(const DatabaseFixture& fixture)
    {
        install(fixture);
        return reload();
    }
    // The library takes the identifier by reference.
    void deleteTrack(std::int32_t id) { db.DeleteTrack(id); }
};

// While it lives, the step of a file write named `step` throws `error`, the way
// a full or read-only device fails.
class FailingStep {
public:
    FailingStep(std::string step, std::system_error error)
    {
        sonarchive::setFileFaultHook([step = std::move(step), error = std::move(error)](const char* now) {
            if (now == step)
                throw error;
        });
    }
    ~FailingStep() { sonarchive::setFileFaultHook(nullptr); }
    FailingStep(const FailingStep&) = delete;
    FailingStep& operator=(const FailingStep&) = delete;
};

}  // namespace testsupport
