#include "ToolRun.h"

#include "TempDir.h"

#include <cstdlib>
#include <sys/wait.h>

namespace testsupport {

ToolRun runCommand(const std::string& command)
{
    const TempDir dir;
    const std::filesystem::path out = dir.path() / "out";
    const std::filesystem::path errors = dir.path() / "errors";
    const std::string wrapped = "( " + command + " ) </dev/null >'" + out.string() + "' 2>'" + errors.string() + "'";
    const int status = std::system(wrapped.c_str());
    ToolRun run;
    if (status != -1 && WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    run.out = readFile(out);
    run.errors = readFile(errors);
    return run;
}

}  // namespace testsupport
