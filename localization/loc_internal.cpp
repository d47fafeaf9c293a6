// The test seam of the localization library and its shared helpers. See loc_internal.h and
// loc_testing.h.
#include "localization/loc_internal.h"

#include <cstring>

#include "localization/loc_testing.h"

namespace {

struct Injection {
    int skip = 0;
    int fail = 0;
};

Injection g_allocations;
Injection g_runtimeCalls;
int g_injected = 0;

// True for the calls the current injection makes fail.
bool Inject(Injection &injection) {
    if (injection.fail <= 0) return false;
    if (injection.skip > 0) {
        --injection.skip;
        return false;
    }
    --injection.fail;
    ++g_injected;
    return true;
}

} // namespace

void LocTestFailAllocations(int skip, int count) {
    g_allocations = {skip, count};
    g_injected = 0;
}

void LocTestFailRuntimeCalls(int skip, int count) {
    g_runtimeCalls = {skip, count};
    g_injected = 0;
}

int LocTestInjectedFailures(void) {
    return g_injected;
}

namespace loc {

void *Malloc(size_t size) {
    if (Inject(g_allocations)) return nullptr;
    return malloc(size ? size : 1);
}

void *Calloc(size_t count, size_t size) {
    if (Inject(g_allocations)) return nullptr;
    return calloc(count ? count : 1, size ? size : 1);
}

char *StrDup(const char *text) {
    if (!text) text = "";
    size_t n = strlen(text);
    char *copy = static_cast<char *>(Malloc(n + 1));
    if (copy) memcpy(copy, text, n + 1);
    return copy;
}

bool InjectRuntimeFailure() {
    return Inject(g_runtimeCalls);
}

char *JoinSection(const char *parent, const char *name) {
    if (!parent) parent = "";
    if (!name) name = "";
    size_t a = strlen(parent), b = strlen(name);
    char *s = static_cast<char *>(Malloc(a + b + 2));
    if (!s) return nullptr;
    memcpy(s, parent, a);
    s[a] = '_';
    memcpy(s + a + 1, name, b + 1);
    return s;
}

} // namespace loc
