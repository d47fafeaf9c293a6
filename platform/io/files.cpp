// File services of the run-time on POSIX: program folder, legacy root, file information,
// folders, copying and deleting, and numbered file handles. See platform/files.h.
#include "platform/io/files.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/io/io_internal.h"
#include "toolbox/core/errors.h"
#include "platform/io/testing_io.h"

namespace {

// Open files at one time; more is almost certainly a leak in the caller.
constexpr int kMaxOpenFiles = 256;
// Copy block size of RT_CopyFile.
constexpr size_t kCopyBlock = 64 * 1024;

std::string &programDirOverride() {
    static std::string dir;
    return dir;
}
std::string &legacyRootOverride() {
    static std::string dir;
    return dir;
}

struct OpenFile {
    int fd;
};
std::map<int, OpenFile> &openFiles() {
    static std::map<int, OpenFile> files;
    return files;
}

std::string stripTrailingSeparators(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string folderOf(const std::string &path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string baseNameOf(const std::string &path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Space left for writes in tests (RT_TestSetFreeSpace); negative: no limit.
long long freeSpaceForTests = -1;

// Writes all of data, retrying after interruptions and short writes.
bool writeAll(int fd, const char *data, size_t count) {
    while (count > 0) {
        size_t chunk = count;
        if (freeSpaceForTests >= 0) {
            if (freeSpaceForTests == 0) {
                errno = ENOSPC;
                return false;
            }
            chunk = std::min<size_t>(chunk, static_cast<size_t>(freeSpaceForTests));
        }
        const ssize_t n = ::write(fd, data, chunk);
        if (n > 0 && freeSpaceForTests >= 0) freeSpaceForTests -= n;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        count -= static_cast<size_t>(n);
    }
    return true;
}

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// The file a path finally names: each symbolic link on the way is followed (a relative target
// from the link's own folder). A chain that does not end is returned as it stands, so opening it
// fails as the system fails it.
std::string followLinks(std::string path) {
    constexpr int kMaxLinkHops = 40;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::string target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<size_t>(n) >= target.size()) return path;
        target.resize(static_cast<size_t>(n));
        path = target.front() == '/' ? target : folderOf(path) + "/" + target;
    }
    return path;
}

} // namespace

namespace ks_io {

int errnoToError(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
        return RT_ERR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
    case EBUSY:
        return RT_ERR_FILE_ACCESS;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return RT_ERR_DISK_FULL;
    case EEXIST:
        return RT_ERR_FILE_EXISTS;
    case EMFILE:
    case ENFILE:
        return RT_ERR_TOO_MANY_FILES;
    case ENOMEM:
        return RT_ERR_OUT_OF_MEMORY;
    default:
        return RT_ERR_IO;
    }
}

int copyOut(const std::string &text, char *buffer, size_t bufferSize) {
    if (buffer == nullptr) return RT_ERR_NULL_POINTER;
    if (bufferSize == 0) return RT_ERR_INVALID_VALUE;
    if (text.size() >= bufferSize) {
        buffer[0] = '\0';
        return RT_ERR_INVALID_VALUE;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return 0;
}

std::string executableDir() {
    std::string exe(PATH_MAX, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", exe.data(), exe.size());
    if (n <= 0 || static_cast<size_t>(n) >= exe.size()) return std::string();
    exe.resize(static_cast<size_t>(n));
    return folderOf(exe);
}

std::string programDir() {
    if (!programDirOverride().empty()) return programDirOverride();
    return executableDir();
}

std::string legacyRoot() {
    if (!legacyRootOverride().empty()) return legacyRootOverride();
    const char *config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') return stripTrailingSeparators(config) + "/ks_read";
    const char *home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/')
        return stripTrailingSeparators(home) + "/.config/ks_read";
    return std::string();
}

} // namespace ks_io

void RT_TestSetProgramDir(const char *directory) {
    programDirOverride() = directory ? stripTrailingSeparators(directory) : std::string();
}

void RT_TestSetFreeSpace(long long bytes) {
    freeSpaceForTests = bytes < 0 ? -1 : bytes;
}

void RT_TestSetLegacyRoot(const char *directory) {
    legacyRootOverride() = directory ? stripTrailingSeparators(directory) : std::string();
}

int GetProjectDir(char *directory, size_t directorySize) {
    const std::string dir = ks_io::programDir();
    if (dir.empty()) {
        if (directory != nullptr && directorySize > 0) directory[0] = '\0';
        return RT_ERR_IO;
    }
    return ks_io::copyOut(dir, directory, directorySize);
}

int RT_GetLegacyRoot(char *directory, size_t directorySize) {
    const std::string dir = ks_io::legacyRoot();
    if (dir.empty()) {
        if (directory != nullptr && directorySize > 0) directory[0] = '\0';
        return RT_ERR_FILE_NOT_FOUND;
    }
    return ks_io::copyOut(dir, directory, directorySize);
}

int RT_MapLegacyPath(const char *path, char *mapped, size_t mappedSize) {
    if (path == nullptr) return RT_ERR_NULL_POINTER;
    std::string rest(path);
    for (char &c : rest)
        if (c == '\\') c = '/';
    const bool hasDrive =
        rest.size() >= 2 && rest[1] == ':' &&
        ((rest[0] >= 'A' && rest[0] <= 'Z') || (rest[0] >= 'a' && rest[0] <= 'z'));
    if (!hasDrive) return ks_io::copyOut(rest, mapped, mappedSize);

    const char drive = static_cast<char>(rest[0] & ~0x20);
    rest.erase(0, 2);
    // A drive path must stay inside the legacy root: refuse any ".." component.
    size_t pos = 0;
    while (pos <= rest.size()) {
        const size_t end = rest.find('/', pos);
        const std::string part =
            rest.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        if (part == "..") {
            if (mapped != nullptr && mappedSize > 0) mapped[0] = '\0';
            return RT_ERR_INVALID_VALUE;
        }
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    std::string root = ks_io::legacyRoot();
    if (root.empty()) {
        if (mapped != nullptr && mappedSize > 0) mapped[0] = '\0';
        return RT_ERR_FILE_NOT_FOUND;
    }
    if (drive != 'C') root += std::string("/") + static_cast<char>(drive | 0x20);
    while (!rest.empty() && rest.front() == '/')
        rest.erase(0, 1);
    return ks_io::copyOut(rest.empty() ? root : root + "/" + rest, mapped, mappedSize);
}

int GetFileInfo(const char *path, int *size) {
    if (path == nullptr) return RT_ERR_NULL_POINTER;
    if (size != nullptr) *size = 0;
    struct stat st {};
    if (::stat(path, &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return 0;
        return ks_io::errnoToError(errno);
    }
    if (size != nullptr && S_ISREG(st.st_mode))
        *size = st.st_size > INT_MAX ? INT_MAX : static_cast<int>(st.st_size);
    return 1;
}

int MakeDir(const char *path) {
    if (path == nullptr) return RT_ERR_NULL_POINTER;
    if (::mkdir(path, 0777) == 0) return 0;
    const int error = errno;
    struct stat st {};
    if (error == EEXIST && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode)) return 0;
    return ks_io::errnoToError(error);
}

int RT_GetFileSize(const char *path, int *size) {
    if (path == nullptr || size == nullptr) return RT_ERR_NULL_POINTER;
    *size = 0;
    struct stat st {};
    if (::stat(path, &st) != 0) return ks_io::errnoToError(errno);
    if (S_ISDIR(st.st_mode)) return RT_ERR_FILE_ACCESS;
    if (st.st_size > INT_MAX) return RT_ERR_IO;
    *size = static_cast<int>(st.st_size);
    return 0;
}

int RT_DeleteFile(const char *path) {
    if (path == nullptr) return RT_ERR_NULL_POINTER;
    if (::unlink(path) != 0) return ks_io::errnoToError(errno);
    return 0;
}

int RT_CopyFile(const char *source, const char *target) {
    if (source == nullptr || target == nullptr) return RT_ERR_NULL_POINTER;
    const ks_io::Fd in(::open(source, O_RDONLY | O_CLOEXEC));
    if (!in.valid()) return ks_io::errnoToError(errno);
    struct stat st {};
    if (::fstat(in.get(), &st) != 0) return ks_io::errnoToError(errno);
    if (S_ISDIR(st.st_mode)) return RT_ERR_FILE_ACCESS;

    const std::string targetPath(target);
    struct stat targetSt {};
    if (::stat(target, &targetSt) == 0) {
        if (S_ISDIR(targetSt.st_mode)) return RT_ERR_FILE_ACCESS;
        // A read-only target is refused, as writing into it would be.
        if (::access(target, W_OK) != 0) return RT_ERR_FILE_ACCESS;
    }

    // Copy into a temporary file beside the target and rename it into place, so that a copy
    // that fails part-way never leaves a truncated file under the target's name.
    std::string temp = folderOf(targetPath) + "/." + baseNameOf(targetPath) + ".XXXXXX";
    const ks_io::Fd out(::mkostemp(temp.data(), O_CLOEXEC));
    if (!out.valid()) return ks_io::errnoToError(errno);
    auto fail = [&temp](int error) {
        ::unlink(temp.c_str());
        return ks_io::errnoToError(error);
    };
    std::string block(kCopyBlock, '\0');
    for (;;) {
        const ssize_t n = ::read(in.get(), block.data(), block.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(errno);
        }
        if (n == 0) break;
        if (!writeAll(out.get(), block.data(), static_cast<size_t>(n))) return fail(errno);
    }
    if (::fchmod(out.get(), 0666 & ~currentUmask()) != 0 || ::fsync(out.get()) != 0)
        return fail(errno);
    if (::rename(temp.c_str(), target) != 0) return fail(errno);
    return 0;
}

int RT_ReplaceFile(const char *path, const void *data, size_t size) {
    if (path == nullptr || (data == nullptr && size > 0)) return RT_ERR_NULL_POINTER;
    const std::string target = followLinks(path);
    struct stat targetSt {};
    const bool exists = ::stat(target.c_str(), &targetSt) == 0;
    if (exists && S_ISDIR(targetSt.st_mode)) return RT_ERR_FILE_ACCESS;
    if (exists && ::access(target.c_str(), W_OK) != 0) return RT_ERR_FILE_ACCESS;

    // mkostemp creates the name exclusively: an existing entry of that name, a link included, is
    // never opened, so nothing is written through a link planted beside the file.
    std::string temp = folderOf(target) + "/." + baseNameOf(target) + ".XXXXXX";
    const ks_io::Fd out(::mkostemp(temp.data(), O_CLOEXEC));
    if (!out.valid()) return ks_io::errnoToError(errno);
    auto fail = [&temp](int error) {
        ::unlink(temp.c_str());
        return ks_io::errnoToError(error);
    };
    const mode_t mode = exists ? (targetSt.st_mode & 07777) : (0666 & ~currentUmask());
    if (!writeAll(out.get(), static_cast<const char *>(data), size)) return fail(errno);
    if (::fchmod(out.get(), mode) != 0 || ::fsync(out.get()) != 0) return fail(errno);
    if (::rename(temp.c_str(), target.c_str()) != 0) return fail(errno);
    return 0;
}

int RT_AppendWhole(const char *path, const void *data, size_t size) {
    if (path == nullptr || (data == nullptr && size > 0)) return RT_ERR_NULL_POINTER;
    const ks_io::Fd fd(::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666));
    if (!fd.valid()) return ks_io::errnoToError(errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return ks_io::errnoToError(errno);
    if (S_ISDIR(st.st_mode)) return RT_ERR_FILE_ACCESS;
    if (writeAll(fd.get(), static_cast<const char *>(data), size)) return 0;
    const int error = errno;
    // A part of the data may be on disk: cut it off, so the file never ends in a broken piece.
    if (::ftruncate(fd.get(), st.st_size) != 0) return ks_io::errnoToError(errno);
    return ks_io::errnoToError(error);
}

int RT_OpenFile(const char *path, int access, int action, int type) {
    if (path == nullptr) return RT_ERR_NULL_POINTER;
    if (access < RT_FILE_READWRITE || access > RT_FILE_WRITE || action < RT_FILE_TRUNCATE ||
        action > RT_FILE_OPEN || type < RT_FILE_BINARY || type > RT_FILE_ASCII)
        return RT_ERR_INVALID_VALUE;
    auto &files = openFiles();
    if (files.size() >= static_cast<size_t>(kMaxOpenFiles)) return RT_ERR_TOO_MANY_FILES;

    int flags = O_CLOEXEC;
    if (access == RT_FILE_READ) {
        flags |= O_RDONLY;
    } else {
        flags |= (access == RT_FILE_WRITE ? O_WRONLY : O_RDWR) | O_CREAT;
        if (action == RT_FILE_TRUNCATE)
            flags |= O_TRUNC;
        else if (action == RT_FILE_APPEND)
            flags |= O_APPEND;
    }
    const int fd = ::open(path, flags, 0666);
    if (fd < 0) return ks_io::errnoToError(errno);
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        return RT_ERR_FILE_ACCESS;
    }
    // Handles count up from 1; a closed handle is not reused until the counter wraps.
    static int nextHandle = 1;
    while (files.count(nextHandle) != 0 || nextHandle <= 0)
        nextHandle = nextHandle >= INT_MAX - 1 ? 1 : nextHandle + 1;
    const int handle = nextHandle;
    nextHandle = nextHandle >= INT_MAX - 1 ? 1 : nextHandle + 1;
    files[handle] = OpenFile{fd};
    return handle;
}

int RT_CloseFile(int fileHandle) {
    auto &files = openFiles();
    const auto it = files.find(fileHandle);
    if (it == files.end()) return RT_ERR_INVALID_VALUE;
    const int fd = it->second.fd;
    files.erase(it);
    if (::close(fd) != 0 && errno != EINTR) return ks_io::errnoToError(errno);
    return 0;
}

int RT_WriteFile(int fileHandle, const char *data, int count) {
    if (data == nullptr) return RT_ERR_NULL_POINTER;
    const auto &files = openFiles();
    const auto it = files.find(fileHandle);
    if (it == files.end()) return RT_ERR_INVALID_VALUE;
    const size_t length = count < 0 ? std::strlen(data) : static_cast<size_t>(count);
    if (length > static_cast<size_t>(INT_MAX)) return RT_ERR_INVALID_VALUE;
    if (!writeAll(it->second.fd, data, length)) return ks_io::errnoToError(errno);
    return static_cast<int>(length);
}
