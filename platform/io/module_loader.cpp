// Loading the program's modules. See platform/io/module_loader.h.
#include "platform/io/module_loader.h"

#include <QtGlobal>

#include <dlfcn.h>
#include <map>
#include <mutex>
#include <set>
#include <unistd.h>

#include "platform/io/io_internal.h"

namespace ks_io {
namespace {

std::mutex &loaderMutex() {
    static std::mutex mutex;
    return mutex;
}

// Loaded modules by file name; the handles are never closed (code of a module may still be on
// the stack, or its objects alive, until the process ends).
std::map<std::string, void *> &loaded() {
    static std::map<std::string, void *> modules;
    return modules;
}

// Each failure is told once on the warning channel; retries that fail alike stay quiet.
bool firstTimeTold(const std::string &message) {
    static std::set<std::string> told;
    return told.insert(message).second;
}

// The error text: what is wrong, short enough for one line of a notice, then on a line of its
// own the detail, which names the module's path.
std::string failure(const std::string &fileName, const char *what, const std::string &detail) {
    return "The module " + fileName + " " + what + "; install the program again.\n" + detail;
}

// The module's handle, opened on first use from the executable's folder. nullptr and *error
// when that fails.
void *handleOf(const std::string &fileName, std::string *error) {
    if (const auto it = loaded().find(fileName); it != loaded().end()) return it->second;
    const std::string folder = executableDir();
    if (folder.empty()) {
        *error = failure(fileName, "cannot be found", "The program's own folder is unknown.");
        return nullptr;
    }
    const std::string path = folder + "/" + fileName;
    if (::access(path.c_str(), F_OK) != 0) {
        *error = failure(fileName, "is missing", path);
        return nullptr;
    }
    // A full path, so dlopen searches nowhere else. RTLD_LOCAL: a module's symbols stay its own.
    void *handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char *reason = ::dlerror(); // names the path
        *error = failure(fileName, "cannot be loaded", reason != nullptr ? reason : path);
        return nullptr;
    }
    loaded()[fileName] = handle;
    return handle;
}

} // namespace

void *moduleSymbol(const char *fileName, const char *symbol, std::string *error) {
    const std::lock_guard<std::mutex> lock(loaderMutex());
    std::string why;
    void *entry = nullptr;
    if (void *handle = handleOf(fileName, &why); handle != nullptr) {
        entry = ::dlsym(handle, symbol);
        if (entry == nullptr)
            why = failure(fileName, "cannot be loaded",
                          executableDir() + "/" + fileName + " lacks its entry point " + symbol);
    }
    if (entry == nullptr) {
        if (firstTimeTold(why)) qWarning("%s", why.c_str());
        if (error != nullptr) *error = why;
    }
    return entry;
}

} // namespace ks_io
