// Closed standard descriptors reopened on /dev/null: input read-only, output and error write-only,
// as a shell would give them with </dev/null and >/dev/null.
#include "engine/core/StandardStreams.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace orvex {

namespace {

bool closedAtStart[3] = { false, false, false };
bool checked = false;

} // namespace

void openStandardStreams()
{
    if (checked)
        return;
    checked = true;
    for (int descriptor = 0; descriptor < 3; ++descriptor) {
        if (fcntl(descriptor, F_GETFD) != -1 || errno != EBADF)
            continue;
        closedAtStart[descriptor] = true;
        // open() takes the lowest free number, which is this one: the lower ones are open by now.
        const int opened = open("/dev/null", descriptor == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != descriptor) {
            dup2(opened, descriptor);
            close(opened);
        }
    }
}

bool standardStreamWasClosed(StandardStream stream) { return closedAtStart[int(stream)]; }

} // namespace orvex
