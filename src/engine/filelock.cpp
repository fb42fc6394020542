#include "engine/filelock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <mutex>

#include "engine/error.h"

namespace engine::filelock {

namespace {

struct Entry {
    int fd = -1;
    int shared = 0;
    int exclusive = 0;
    int held = 0;  // LOCK_SH, LOCK_EX or 0
};

std::mutex mutex;
// Keyed by device and inode so that two spellings of one path meet. The
// descriptor stays open for the life of the process: closing any descriptor
// of a file drops every POSIX lock SQLite holds on it.
std::map<std::pair<dev_t, ino_t>, Entry> entries;

bool keyOf(const std::string& path, std::pair<dev_t, ino_t>& key) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    key = {st.st_dev, st.st_ino};
    return true;
}

// A forked child inherits the parent's descriptors, and with them the parent's
// locks: it starts afresh with descriptors of its own.
pid_t owner = ::getpid();

void forgetInherited() {
    if (owner == ::getpid()) return;
    for (auto& [key, e] : entries)
        if (e.fd >= 0) ::close(e.fd);
    entries.clear();
    owner = ::getpid();
}

int wanted(const Entry& e) { return e.exclusive > 0 ? LOCK_EX : e.shared > 0 ? LOCK_SH : 0; }

bool apply(Entry& e) {
    int want = wanted(e);
    if (want == e.held) return true;
    int rc = want == 0 ? ::flock(e.fd, LOCK_UN) : ::flock(e.fd, want | LOCK_NB);
    if (rc != 0) return false;
    e.held = want;
    return true;
}

}  // namespace

void acquire(const std::string& path, bool exclusive) {
    std::lock_guard<std::mutex> guard(mutex);
    forgetInherited();
    std::pair<dev_t, ino_t> key;
    if (!keyOf(path, key)) return;  // the connection reports a missing file
    Entry& e = entries[key];
    if (e.fd < 0) {
        e.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (e.fd < 0) return;
    }
    (exclusive ? e.exclusive : e.shared) += 1;
    if (!apply(e)) {
        (exclusive ? e.exclusive : e.shared) -= 1;
        throw Error(err::FileInUse, exclusive ? "Could not open '" + path +
                                                    "' exclusively: the file is already in use by another program."
                                              : "Could not use '" + path +
                                                    "': the file is opened exclusively by another program.");
    }
}

void release(const std::string& path, bool exclusive) {
    std::lock_guard<std::mutex> guard(mutex);
    forgetInherited();
    std::pair<dev_t, ino_t> key;
    if (!keyOf(path, key)) return;
    auto it = entries.find(key);
    if (it == entries.end()) return;
    Entry& e = it->second;
    int& count = exclusive ? e.exclusive : e.shared;
    if (count > 0) --count;
    apply(e);
}

}  // namespace engine::filelock
