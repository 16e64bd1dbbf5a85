// The mount table must recognise a pseudo file system mounted after it was read: by the file
// system's magic number, or by reading the table again for a device it does not know.
#include "scan/linux/MountTable.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

struct OpenDirectory {
    explicit OpenDirectory(const char* path) : fd(open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        struct stat status {};
        if (fd >= 0 && fstat(fd, &status) == 0)
            device = status.st_dev;
    }
    ~OpenDirectory()
    {
        if (fd >= 0)
            close(fd);
    }
    int fd;
    dev_t device = 0;
};

std::string mountLine(dev_t device, const char* type)
{
    return "99 1 " + std::to_string(major(device)) + ":" + std::to_string(minor(device)) + " / /mnt rw - " + type
        + " none rw\n";
}

} // namespace

TEST(MountTable, PseudoFileSystemsUnknownToTheTableAreStillRecognised)
{
    char pattern[] = "/tmp/velbrin-mountinfo-XXXXXX";
    int file = mkstemp(pattern);
    ASSERT_GE(file, 0);
    close(file);
    const std::string path = pattern;
    OpenDirectory proc("/proc");
    OpenDirectory temporary("/tmp");
    ASSERT_GE(proc.fd, 0);
    ASSERT_GE(temporary.fd, 0);
    // /tmp's device is known as a real file system; /proc and a later device are not in it.
    std::ofstream(path) << mountLine(temporary.device, "ext4");
    MountTable table(path);
    EXPECT_TRUE(table.isPseudo(proc.device, proc.fd)) << "proc mounted after the table was read";
    EXPECT_FALSE(table.isPseudo(temporary.device, temporary.fd));

    // A device the table did not name when it was read, mounted since as a type whose magic
    // number is shared with a real file system.
    const dev_t later = makedev(0, 4095);
    std::ofstream(path, std::ios::app) << mountLine(later, "devtmpfs");
    EXPECT_TRUE(table.isPseudo(later, temporary.fd));
    std::remove(path.c_str());
}
