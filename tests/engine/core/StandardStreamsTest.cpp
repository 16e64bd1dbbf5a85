// openStandardStreams in a child started with some standard descriptors closed: each closed one is
// open afterwards (so the next file opened does not take its number), is remembered as closed, and
// an open one is left alone.
#include "engine/core/StandardStreams.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using orvex::StandardStream;

TEST(StandardStreams, ClosedDescriptorsAreOpenedAndRemembered)
{
    struct Row {
        const char* name;
        bool closed[3];
    };
    const Row rows[] = {
        { "input", { true, false, false } },
        { "output and error", { false, true, true } },
        { "all three", { true, true, true } },
        { "none", { false, false, false } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Each failed check exits with its own status, since the child cannot report through gtest.
            for (int descriptor = 0; descriptor < 3; ++descriptor) {
                if (row.closed[descriptor])
                    close(descriptor);
            }
            orvex::openStandardStreams();
            for (int descriptor = 0; descriptor < 3; ++descriptor) {
                if (fcntl(descriptor, F_GETFD) == -1)
                    _exit(10 + descriptor);
                if (orvex::standardStreamWasClosed(StandardStream(descriptor)) != row.closed[descriptor])
                    _exit(20 + descriptor);
            }
            const int next = open("/dev/null", O_RDONLY);
            _exit(next > 2 ? 0 : 30);
        }
        int raw = 0;
        ASSERT_EQ(waitpid(child, &raw, 0), child);
        ASSERT_TRUE(WIFEXITED(raw));
        EXPECT_EQ(WEXITSTATUS(raw), 0) << "1x: descriptor x is not open; 2x: x's closed flag is wrong; 30: a file took "
                                          "a standard descriptor's number";
    }
}
