// Replacing a file in one step: the new data goes to a file of its own in the same folder, is
// synced to the disk, and only then takes the file's name; the folder is synced after the rename.
// A save is done when both syncs succeed: until the rename the old file is untouched.
//
// The new file has no name while it is written where the file system allows it, so that a kill
// leaves nothing; it gets the name NAME.saving-XXXXXX just before the rename. A kill between the
// two leaves that file, which the next save or open of NAME removes.
#include "ksm_state.h"

#include <QIODevice>
#include <QRandomGenerator>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <thread>

namespace {

constexpr char TEMPORARY_MARK[] = ".saving-";
constexpr size_t TEMPORARY_MARK_SIZE = sizeof(TEMPORARY_MARK) - 1;
constexpr char TEMPORARY_CHARS[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr int TEMPORARY_RANDOM = 6;

std::string folder_of(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string name_of(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a save replaces: where `path` is a symbolic link, the file it leads to (through every
// link), so that the link stays and names the new file.
std::string replaced_file(std::string path)
{
    for (int depth = 0; depth < 40; ++depth) {
        struct stat s;
        char target[PATH_MAX];
        if (::lstat(path.c_str(), &s) != 0 || !S_ISLNK(s.st_mode))
            return path;
        const ssize_t size = ::readlink(path.c_str(), target, sizeof target - 1);
        if (size <= 0)
            return path;
        const std::string next(target, static_cast<size_t>(size));
        path = next[0] == '/' ? next : folder_of(path) + "/" + next;
    }
    return path;
}

// A fresh temporary name for `target`: NAME.saving- and six letters or digits.
std::string temporary_name(const std::string& target)
{
    std::string name = target + TEMPORARY_MARK;
    for (int i = 0; i < TEMPORARY_RANDOM; ++i)
        name += TEMPORARY_CHARS[QRandomGenerator::global()->bounded(int(sizeof TEMPORARY_CHARS) - 1)];
    return name;
}

// Whether `entry` (a name in the target's folder) is a temporary this writer makes for `name`.
bool is_temporary_of(const char* entry, const std::string& name)
{
    const size_t size = std::strlen(entry), prefix = name.size() + TEMPORARY_MARK_SIZE;
    if (size != prefix + TEMPORARY_RANDOM || name.compare(0, name.size(), entry, name.size()) != 0 ||
        std::strncmp(entry + name.size(), TEMPORARY_MARK, TEMPORARY_MARK_SIZE) != 0)
        return false;
    for (size_t i = prefix; i < size; ++i)
        if (!std::strchr(TEMPORARY_CHARS, entry[i]))
            return false;
    return true;
}

std::string system_reason(const char* what, int error) { return std::string(what) + ": " + std::strerror(error); }

// The new file until it replaces the target: opened in the target's folder, unnamed where the
// file system allows, with the permissions of the file it replaces.
class NEW_FILE {
public:
    explicit NEW_FILE(const std::string& target);
    ~NEW_FILE();
    NEW_FILE(const NEW_FILE&) = delete;
    NEW_FILE& operator=(const NEW_FILE&) = delete;

    int handle() const { return m_fd; }
    // Why the file could not be made or could not replace the target; empty while all is well.
    const std::string& reason() const { return m_reason; }
    // Syncs the data, names the file when it has no name yet, renames it over the target and
    // syncs the folder; false, with the reason, when any of them fails.
    bool commit();

private:
    bool refused(const std::string& reason)
    {
        m_reason = reason;
        return false;
    }
    bool open_unnamed(mode_t mode);
    bool open_named(mode_t mode);
    bool give_name();

    std::string m_target;
    std::string m_name;  // the temporary's name; empty while it has none or after the rename
    int m_fd = -1;
    int m_folder = -1;
    std::string m_reason;
};

NEW_FILE::NEW_FILE(const std::string& target) : m_target(target)
{
    struct stat s;
    const bool exists = ::stat(target.c_str(), &s) == 0;
    if (exists && S_ISDIR(s.st_mode)) {
        refused("it is a directory");
        return;
    }
    // A device or a pipe would be replaced by a file; a file the user may not write stays as it is.
    if (exists && !S_ISREG(s.st_mode)) {
        refused("it is not a regular file");
        return;
    }
    if (exists && ::access(target.c_str(), W_OK) != 0) {
        refused(system_reason("the file is not writable", errno));
        return;
    }
    m_folder = ::open(folder_of(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_folder < 0) {
        refused(system_reason("cannot open its folder", errno));
        return;
    }
    const mode_t mode = exists ? (s.st_mode & 07777) : 0666;
    if ((open_unnamed(mode) || open_named(mode)) && exists)
        ::fchmod(m_fd, mode);  // the old file's permissions, which the umask may have narrowed
}

NEW_FILE::~NEW_FILE()
{
    if (!m_name.empty())
        ::unlink(m_name.c_str());
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_folder >= 0)
        ::close(m_folder);
}

bool NEW_FILE::open_unnamed(mode_t mode)
{
    m_fd = ::openat(m_folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    return m_fd >= 0;
}

bool NEW_FILE::open_named(mode_t mode)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = temporary_name(m_target);
        m_fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (m_fd >= 0) {
            m_name = name;
            return true;
        }
        if (errno != EEXIST)
            return refused(system_reason("cannot create a temporary file beside it", errno));
    }
    return refused("cannot find a free temporary name beside it");
}

// Links the unnamed file into the folder, through /proc (any user) or by its descriptor
// (where the process may).
bool NEW_FILE::give_name()
{
    const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = temporary_name(m_target);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
            (errno != EEXIST && ::linkat(m_fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0)) {
            m_name = name;
            return true;
        }
        if (errno != EEXIST)
            return refused(system_reason("cannot give the new file a name", errno));
    }
    return refused("cannot find a free temporary name beside it");
}

bool NEW_FILE::commit()
{
    if (::fdatasync(m_fd) != 0)
        return refused(system_reason("the data could not be synced to the disk", errno));
    if (m_name.empty() && !give_name())
        return false;
    if (::rename(m_name.c_str(), m_target.c_str()) != 0)
        return refused(system_reason("the new file could not replace it", errno));
    m_name.clear();
    // Some file systems cannot sync a folder; there the rename is as durable as they make it.
    if (::fsync(m_folder) != 0 && errno != EINVAL && errno != ENOTSUP)
        return refused(system_reason("the file was replaced, but its folder could not be synced to the disk", errno));
    return true;
}

// Passes what is written on to a file in blocks that each start where a block of the file
// starts: the system can then keep each block in one large page of its cache instead of in many
// small ones. What the next block lacks waits here; the rest of a large piece goes out in the same
// call as what waited, from where the piece is, so that it is not copied on the way. Each call is
// written out to its end: a write that the system cuts short tells no reason, the next one fails
// with it.
class FILE_SINK : public QIODevice {
public:
    explicit FILE_SINK(int fd) : m_fd(fd)
    {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        m_pending.reserve(BLOCK_SIZE);  // kept when the block is written out
    }
    bool finish() { return write_out(m_pending.constData(), m_pending.size(), nullptr, 0); }
    // The system's reason after a failed write.
    const std::string& reason() const { return m_reason; }

protected:
    qint64 readData(char*, qint64) override { return -1; }  // opened for writing only
    qint64 writeData(const char* data, qint64 size) override
    {
        const qint64 waiting = m_pending.size(), blocks = (waiting + size) / BLOCK_SIZE * BLOCK_SIZE;
        if (blocks == 0) {
            m_pending.append(data, static_cast<int>(size));
            return size;
        }
        if (!write_out(m_pending.constData(), waiting, data, blocks - waiting))
            return -1;
        m_pending.resize(0);
        m_pending.append(data + blocks - waiting, static_cast<int>(size - (blocks - waiting)));
        return size;
    }

private:
    // Small enough that the sync before the rename waits for little more than the last block to
    // reach the disk, large enough that handing the blocks to the disk costs little: each block
    // handed over is finished by the system's own worker, which holds the file's block map for a
    // while, and a write meanwhile waits for it (ext4 at 256 KB: a wait of 3 ms in one save of four).
    static constexpr qint64 BLOCK_SIZE = 1 << 19;

    // Writes `first` then `second` and has the system start writing them to the disk, so that
    // the sync before the file replaces the old one has little left to wait for (a hint: where it
    // cannot, nothing changes).
    bool write_out(const char* first, qint64 first_size, const char* second, qint64 second_size)
    {
        iovec parts[] = {{const_cast<char*>(first), size_t(first_size)},
                         {const_cast<char*>(second), size_t(second_size)}};
        iovec* part = parts;
        for (size_t left = size_t(first_size + second_size); left > 0;) {
            while (part->iov_len == 0)
                ++part;
            const ssize_t n = ::writev(m_fd, part, int(std::end(parts) - part));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                m_reason = n < 0 ? std::strerror(errno) : "the file could not grow";
                return false;
            }
            left -= size_t(n);
            for (size_t written = size_t(n); written > 0;) {  // past what the call took
                const size_t taken = std::min(written, part->iov_len);
                part->iov_base = static_cast<char*>(part->iov_base) + taken;
                part->iov_len -= taken;
                written -= taken;
                if (part->iov_len == 0 && written > 0)
                    ++part;
            }
        }
        const qint64 size = first_size + second_size;
        sync_file_range(m_fd, m_written, size, SYNC_FILE_RANGE_WRITE);
        m_written += size;
        return true;
    }

    int m_fd;
    off64_t m_written = 0;  // bytes written to the file
    QByteArray m_pending;
    std::string m_reason;
};

// Holds a file of a megabyte or more that a save replaces open while the new one takes its name,
// and closes it on a thread of its own: the system frees the replaced file's blocks when its
// last name and descriptor go, milliseconds for a few megabytes and tens of them for a large
// capture, that would otherwise keep the save waiting.
class REPLACED_FILE {
public:
    explicit REPLACED_FILE(const std::string& path)
    {
        constexpr off_t LARGE = 1 << 20;
        struct stat s;
        if (::stat(path.c_str(), &s) == 0 && S_ISREG(s.st_mode) && s.st_size >= LARGE)
            m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    }
    ~REPLACED_FILE()
    {
        if (m_fd >= 0)
            std::thread([fd = m_fd] { ::close(fd); }).detach();
    }
    REPLACED_FILE(const REPLACED_FILE&) = delete;
    REPLACED_FILE& operator=(const REPLACED_FILE&) = delete;

private:
    int m_fd = -1;
};

}  // namespace

void ksm_remove_save_leftovers(const std::string& path)
{
    const std::string target = replaced_file(path), name = name_of(target);
    DIR* folder = ::opendir(folder_of(target).c_str());
    if (!folder)
        return;
    while (const dirent* entry = ::readdir(folder)) {
        struct stat s;
        if (is_temporary_of(entry->d_name, name) &&
            ::fstatat(dirfd(folder), entry->d_name, &s, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(s.st_mode))
            ::unlinkat(dirfd(folder), entry->d_name, 0);
    }
    ::closedir(folder);
}

bool ksm_write_file(const std::string& path, const std::function<bool(QIODevice*)>& write, std::string* error)
{
    const std::string target = replaced_file(path);
    ksm_remove_save_leftovers(target);
    const REPLACED_FILE replaced(target);
    NEW_FILE file(target);
    std::string reason = file.reason();
    if (reason.empty()) {
        FILE_SINK sink(file.handle());
        if (write(&sink) && sink.finish() && file.commit())
            return true;
        reason = !sink.reason().empty() ? sink.reason() : file.reason();
    }
    if (error)
        *error = "cannot write \"" + path + "\": " + (reason.empty() ? "the data could not be encoded" : reason);
    return false;
}
