#include "platform/instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/paths.h"

namespace {

int g_lockFd = -1;
pid_t g_lockOwner = 0;  // the process that took the lock (a forked child inherits the descriptor)
std::string g_lockPath;
int g_lockError = 0;

// Closes the descriptor; unlocks only in the process that locked, since a forked child shares
// the lock with its parent and must not release it.
void Drop() {
    if (g_lockFd < 0) return;
    if (g_lockOwner == getpid()) flock(g_lockFd, LOCK_UN);
    close(g_lockFd);
    g_lockFd = -1;
    g_lockOwner = 0;
    g_lockPath.clear();
}

}  // namespace

bool Plat_AcquireInstanceLock(const char* name) {
    if (!name || !*name) return false;
    const std::string path = Plat_ProfilePath(name);
    if (g_lockFd >= 0 && g_lockOwner == getpid() && g_lockPath == path) return true;
    Drop();
    g_lockError = 0;
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        g_lockError = errno ? errno : EACCES;
        return false;
    }
    int rc;
    do rc = flock(fd, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        if (errno != EWOULDBLOCK) g_lockError = errno;
        close(fd);
        return false;
    }
    g_lockFd = fd;
    g_lockOwner = getpid();
    g_lockPath = path;
    return true;
}

void Plat_ReleaseInstanceLock() { Drop(); }
int Plat_InstanceLockError() { return g_lockError; }
