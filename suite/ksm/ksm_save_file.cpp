// Replacing a file in one step: the new data goes to a file of its own in the same folder, is
// synced to the disk, and only then takes the file's name; the folder is synced after the rename.
// A save is done when both syncs succeed: until the rename the old file is untouched.
//
// The new file has no name while it is written where the file system allows it and /proc can
// name it later, so that a kill leaves nothing; it gets the name NAME.saving-XXXXXX just before
// the rename (NAME cut short where the whole would not fit a folder's entry). Its writer holds a
// lock on it from its start and marks it with the name of the file it replaces: a file of that
// name that bears the mark and that no writer holds is what a kill left, and the next save or
// open of NAME removes it. Nothing else is removed, whatever its name.
//
// The new file takes the old one's owner, group and permissions; a save that cannot give them
// is refused before the old file is touched. Where a save knows which file it replaces (as the
// session opened or last saved it), it holds that file's lock while it runs and is refused when
// another file took the name meanwhile, so that of two saves of one file the later one sees the
// earlier one's.
#include "ksm_state.h"
#include "msg.h"

#include <QIODevice>
#include <QRandomGenerator>

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/xattr.h>
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
// The extended attribute by which a writer marks its temporary: the name of the file it replaces.
constexpr char WRITER_MARK[] = "user.korvane.saving";

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
// link), so that the link stays and names the new file. Empty where the links go round in a loop
// (or deeper than the system follows): they lead to no file, and the save must not replace one.
std::string replaced_file(std::string path)
{
    for (int depth = 0; depth <= 40; ++depth) {
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
    return std::string();
}

// How the temporaries of the file named `name` begin: NAME.saving-, NAME cut at the start of a
// character where the temporary's name would be longer than a folder's entry may be.
std::string temporary_prefix(const std::string& name)
{
    size_t keep = std::min(name.size(), size_t{NAME_MAX} - TEMPORARY_MARK_SIZE - TEMPORARY_RANDOM);
    while (keep > 0 && keep < name.size() && (static_cast<unsigned char>(name[keep]) & 0xc0) == 0x80)
        --keep;  // inside a UTF-8 character
    return name.substr(0, keep) + TEMPORARY_MARK;
}

// A fresh temporary name: the prefix and six letters or digits.
std::string temporary_name(const std::string& prefix)
{
    std::string name = prefix;
    for (int i = 0; i < TEMPORARY_RANDOM; ++i)
        name += TEMPORARY_CHARS[QRandomGenerator::global()->bounded(int(sizeof TEMPORARY_CHARS) - 1)];
    return name;
}

// Whether `entry` (a name in the target's folder) has the form of a temporary of that prefix.
bool has_temporary_form(const char* entry, const std::string& prefix)
{
    const size_t size = std::strlen(entry);
    if (size != prefix.size() + TEMPORARY_RANDOM || prefix.compare(0, prefix.size(), entry, prefix.size()) != 0)
        return false;
    for (size_t i = prefix.size(); i < size; ++i)
        if (!std::strchr(TEMPORARY_CHARS, entry[i]))
            return false;
    return true;
}

std::string system_reason(const char* what, int error) { return std::string(what) + ": " + std::strerror(error); }

bool same_file(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Removes the temporary `entry` of the file named `name` when a writer marked it for that file
// and no writer holds it any more: what a kill left behind.
void remove_if_left_behind(int folder, const char* entry, const std::string& name)
{
    struct stat s, opened;
    if (::fstatat(folder, entry, &s, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(s.st_mode))
        return;
    const int fd = ::openat(folder, entry, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return;
    char mark[NAME_MAX + 1];
    const ssize_t size = ::fgetxattr(fd, WRITER_MARK, mark, sizeof mark);
    // The lock is free once its writer is gone; the name must still lead to the file looked at.
    if (size == static_cast<ssize_t>(name.size()) && std::memcmp(mark, name.data(), name.size()) == 0 &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &opened) == 0 &&
        ::fstatat(folder, entry, &s, AT_SYMLINK_NOFOLLOW) == 0 && same_file(s, opened))
        ::unlinkat(folder, entry, 0);
    ::close(fd);
}

// A user's or a group's name with its number, or the number alone where it has no name.
std::string owner_text(uid_t uid, gid_t gid)
{
    char buffer[4096];
    passwd user;
    group grp;
    passwd* found_user = nullptr;
    group* found_group = nullptr;
    ::getpwuid_r(uid, &user, buffer, sizeof buffer / 2, &found_user);
    ::getgrgid_r(gid, &grp, buffer + sizeof buffer / 2, sizeof buffer / 2, &found_group);
    const std::string u = std::to_string(uid), g = std::to_string(gid);
    return "user " + (found_user ? std::string(found_user->pw_name) + " (" + u + ")" : u) + " and group " +
           (found_group ? std::string(found_group->gr_name) + " (" + g + ")" : g);
}

// The file a save replaces, held open while the save runs. A save that knows which file it
// replaces holds that file's lock until the new one has taken its name, so that two saves of
// one file take turns and the later one sees that the earlier one replaced it. A file of a
// megabyte or more is closed on a thread of its own: the system frees the replaced file's
// blocks when its last name and descriptor go, milliseconds for a few megabytes and tens of
// them for a large capture, that would otherwise keep the save waiting.
class REPLACED_FILE {
public:
    explicit REPLACED_FILE(const std::string& path) : m_path(path)
    {
        m_exists = ::stat(path.c_str(), &m_stat) == 0 && S_ISREG(m_stat.st_mode);
        if (m_exists)
            m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    }
    ~REPLACED_FILE()
    {
        constexpr off_t LARGE = 1 << 20;
        if (m_fd < 0)
            return;
        if (m_locked)
            ::flock(m_fd, LOCK_UN);
        if (m_stat.st_size >= LARGE)
            std::thread([fd = m_fd] { ::close(fd); }).detach();
        else
            ::close(m_fd);
    }
    REPLACED_FILE(const REPLACED_FILE&) = delete;
    REPLACED_FILE& operator=(const REPLACED_FILE&) = delete;

    // Empty when the file at the path is still the one `expected` describes (or there is none
    // now), asked under the file's lock; else why the save may not replace it.
    std::string changed_since(const KSM_FILE_STAMP& expected)
    {
        if (!expected.known || !m_exists)
            return std::string();
        if (m_fd >= 0) {
            while (!(m_locked = ::flock(m_fd, LOCK_EX) == 0) && errno == EINTR) {
            }
        }
        struct stat now, held;
        if (::stat(m_path.c_str(), &now) != 0)
            return std::string();
        const bool same =
            ksm_file_stamp(now) == expected && (m_fd < 0 || (::fstat(m_fd, &held) == 0 && same_file(now, held)));
        return same ? std::string() : "it changed on disk since it was opened or last saved";
    }
    // Tells that the file's other names (hard links) keep what it held before the save.
    void tell_other_names() const
    {
        if (!m_exists || m_stat.st_nlink < 2)
            return;
        MSG_W warning;
        warning.fill_args(
            "%1!s! had %2!d! other name(s) (hard links), which keep the content it had before this "
            "save/WKSM_OTHER_NAMES_NOT_SAVED",
            m_path.c_str(), static_cast<int>(m_stat.st_nlink - 1));
        warning.post();
    }

private:
    std::string m_path;
    struct stat m_stat = {};
    bool m_exists = false;
    int m_fd = -1;
    bool m_locked = false;
};

// The new file until it replaces the target: opened in the target's folder, unnamed where the
// file system allows, locked and marked by its writer, with the owner, group and permissions
// of the file it replaces.
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
    // syncs the folder; false, with the reason, when any of them fails. `written` (when given)
    // gets the new file's stamp once it has the target's name.
    bool commit(KSM_FILE_STAMP* written);

private:
    bool refused(const std::string& reason)
    {
        m_reason = reason;
        return false;
    }
    bool may_replace(const std::string& target, bool exists, const struct stat& s);
    bool open_unnamed(mode_t mode);
    bool open_named(mode_t mode);
    void claim();
    bool take_over(const struct stat& s);
    bool give_name();

    std::string m_target_name;  // in the folder
    std::string m_prefix;       // of the temporary's names
    std::string m_name;         // the temporary's name; empty while it has none or after the rename
    int m_fd = -1;
    int m_folder = -1;
    std::string m_reason;
};

NEW_FILE::NEW_FILE(const std::string& target)
    : m_target_name(name_of(target)), m_prefix(temporary_prefix(m_target_name))
{
    struct stat s;
    const bool exists = ::stat(target.c_str(), &s) == 0;
    if (!may_replace(target, exists, s))
        return;
    m_folder = ::open(folder_of(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_folder < 0) {
        refused(system_reason("cannot open its folder", errno));
        return;
    }
    const mode_t mode = exists ? (s.st_mode & 07777) : 0666;
    if (!open_unnamed(mode) && !open_named(mode))
        return;
    claim();
    if (exists)
        take_over(s);
}

NEW_FILE::~NEW_FILE()
{
    if (!m_name.empty())
        ::unlinkat(m_folder, m_name.c_str(), 0);
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_folder >= 0)
        ::close(m_folder);
}

bool NEW_FILE::may_replace(const std::string& target, bool exists, const struct stat& s)
{
    if (exists && S_ISDIR(s.st_mode))
        return refused("it is a directory");
    // A device or a pipe would be replaced by a file; a file the user may not write stays as it is.
    if (exists && !S_ISREG(s.st_mode))
        return refused("it is not a regular file");
    if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        return refused(system_reason("the file is not writable", errno));
    return true;
}

// Unnamed only where /proc can give the file its name later.
bool NEW_FILE::open_unnamed(mode_t mode)
{
    m_fd = ::openat(m_folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    struct stat s;
    if (m_fd < 0 || ::lstat(("/proc/self/fd/" + std::to_string(m_fd)).c_str(), &s) == 0)
        return m_fd >= 0;
    ::close(m_fd);
    m_fd = -1;
    return false;
}

bool NEW_FILE::open_named(mode_t mode)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = temporary_name(m_prefix);
        m_fd = ::openat(m_folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (m_fd >= 0) {
            m_name = name;
            return true;
        }
        if (errno != EEXIST)
            return refused(system_reason("cannot create a temporary file beside it", errno));
    }
    return refused("cannot find a free temporary name beside it");
}

// The lock comes before the mark: a file that bears the mark is held until its writer is done.
// Where the file system keeps neither, nothing removes the file a kill leaves.
void NEW_FILE::claim()
{
    ::flock(m_fd, LOCK_EX);
    ::fsetxattr(m_fd, WRITER_MARK, m_target_name.data(), m_target_name.size(), 0);
}

// The old file's owner and group, then its permissions, which the change of owner or the umask
// may have narrowed.
bool NEW_FILE::take_over(const struct stat& s)
{
    if (::fchown(m_fd, s.st_uid, s.st_gid) != 0)
        return refused("the new file cannot be given its " + owner_text(s.st_uid, s.st_gid) + ": " +
                       std::strerror(errno));
    ::fchmod(m_fd, s.st_mode & 07777);
    return true;
}

// Links the unnamed file into the folder, through /proc (any user) or by its descriptor
// (where the process may).
bool NEW_FILE::give_name()
{
    const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = temporary_name(m_prefix);
        if (::linkat(AT_FDCWD, self.c_str(), m_folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
            (errno != EEXIST && ::linkat(m_fd, "", m_folder, name.c_str(), AT_EMPTY_PATH) == 0)) {
            m_name = name;
            return true;
        }
        if (errno != EEXIST)
            return refused(system_reason("cannot give the new file a name", errno));
    }
    return refused("cannot find a free temporary name beside it");
}

bool NEW_FILE::commit(KSM_FILE_STAMP* written)
{
    if (::fdatasync(m_fd) != 0)
        return refused(system_reason("the data could not be synced to the disk", errno));
    if (m_name.empty() && !give_name())
        return false;
    if (::renameat(m_folder, m_name.c_str(), m_folder, m_target_name.c_str()) != 0)
        return refused(system_reason("the new file could not replace it", errno));
    m_name.clear();
    ::fremovexattr(m_fd, WRITER_MARK);  // the saved file now, no temporary
    struct stat s;
    if (written && ::fstat(m_fd, &s) == 0)
        *written = ksm_file_stamp(s);
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

// Writes the new file and lets it replace the target; false with the reason when it could not.
bool write_new_file(const std::string& target, const std::function<bool(QIODevice*)>& write, KSM_FILE_STAMP* written,
                    std::string* reason)
{
    NEW_FILE file(target);
    *reason = file.reason();
    if (!reason->empty())
        return false;
    FILE_SINK sink(file.handle());
    if (write(&sink) && sink.finish() && file.commit(written))
        return true;
    *reason = !sink.reason().empty() ? sink.reason() : file.reason();
    if (reason->empty())
        *reason = "the data could not be encoded";
    return false;
}

}  // namespace

KSM_FILE_STAMP ksm_file_stamp(const struct stat& s)
{
    KSM_FILE_STAMP stamp;
    stamp.known = true;
    stamp.device = s.st_dev;
    stamp.inode = s.st_ino;
    stamp.size = s.st_size;
    stamp.modified_ns = static_cast<long long>(s.st_mtim.tv_sec) * 1000000000 + s.st_mtim.tv_nsec;
    return stamp;
}

KSM_FILE_STAMP ksm_file_stamp(const std::string& path)
{
    struct stat s;
    return ::stat(path.c_str(), &s) == 0 && S_ISREG(s.st_mode) ? ksm_file_stamp(s) : KSM_FILE_STAMP();
}

void ksm_remove_save_leftovers(const std::string& path)
{
    const std::string target = replaced_file(path), name = name_of(target), prefix = temporary_prefix(name);
    DIR* folder = target.empty() ? nullptr : ::opendir(folder_of(target).c_str());
    if (!folder)
        return;
    while (const dirent* entry = ::readdir(folder))
        if (has_temporary_form(entry->d_name, prefix))
            remove_if_left_behind(dirfd(folder), entry->d_name, name);
    ::closedir(folder);
}

namespace {

// Replaces the file `path` leads to; false with the reason when it could not.
bool replace_file(const std::string& path, const std::function<bool(QIODevice*)>& write, const KSM_FILE_STAMP* expected,
                  KSM_FILE_STAMP* written, std::string* reason)
{
    const std::string target = replaced_file(path);
    if (target.empty()) {
        *reason = std::strerror(ELOOP);
        return false;
    }
    ksm_remove_save_leftovers(target);
    REPLACED_FILE replaced(target);
    *reason = expected ? replaced.changed_since(*expected) : std::string();
    if (reason->empty() && write_new_file(target, write, written, reason)) {
        replaced.tell_other_names();
        return true;
    }
    return false;
}

}  // namespace

bool ksm_replace_file(const std::string& path, const std::function<bool(QIODevice*)>& write, std::string* reason)
{
    std::string why;
    const bool replaced = replace_file(path, write, nullptr, nullptr, &why);
    if (!replaced && reason)
        *reason = why;
    return replaced;
}

bool ksm_write_file(const std::string& path, const std::function<bool(QIODevice*)>& write, std::string* error,
                    const KSM_FILE_STAMP* expected, KSM_FILE_STAMP* written)
{
    std::string reason;
    if (replace_file(path, write, expected, written, &reason))
        return true;
    if (error)
        *error = "cannot write \"" + path + "\": " + reason;
    return false;
}
