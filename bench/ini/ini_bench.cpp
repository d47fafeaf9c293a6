// Parse and lookup speed and peak memory of the INI library against three INI libraries,
// all measured in this run on the same generated files:
//   (a) ~11 MB: 20,000 sections x 25 short items
//   (b) ~10 MB: 7,500 sections of long quoted values, with comment and blank lines
//   (c) ~200 KB shaped like a language file: 2,000 sections PANEL_CONTROL with Type, Flags, Label
// Then one lookup per section in a scrambled order (ours after Ini_SortInternally, with names
// in another letter case). Times are CPU times of the benchmark thread (the machine may be
// shared), medians of 5 runs. The allocator's thresholds are fixed first: left adaptive, they
// decide from what the previous run freed whether a run finds its heap pages in place or
// faults them in anew, and a parser's figure would swing with its neighbour's frees. Fixed,
// every parser runs on a warm heap. Peak memory is measured in a fresh
// process per parser and file (peak resident set minus the resident set before parsing,
// after a warm-up parse of a one-line file).
//
// Usage: ini_bench [--runs N]          prints the table
//        ini_bench --peak PARSER FILE WARMUP  (internal) peak memory in KiB of one parse
#include "ini/ini.h"

// Byte strings as they are, like ours (the header needs no Unicode converter then).
#define SI_NO_CONVERSION
#include <SimpleIni.h>
#include <glib.h>
#include <ini.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

[[noreturn]] void Fail(const char *what, const std::string &path) {
    fprintf(stderr, "ini_bench: %s failed on %s\n", what, path.c_str());
    exit(2);
}

// CPU time of this thread: the machine is shared, and time spent waiting for a processor
// would only measure the neighbours.
struct Clock {
    using duration = std::chrono::nanoseconds;
    static duration now() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return duration(static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec);
    }
};

struct Lookup {
    std::string section, item; // as written in the file
    std::string otherCaseSection, otherCaseItem;
};

struct TestFile {
    const char *label;
    std::string path;
    size_t bytes = 0;
    std::vector<Lookup> lookups; // one per section, scrambled
};

std::string FlipCase(std::string text) {
    for (char &c : text)
        c = static_cast<char>(islower(static_cast<unsigned char>(c)) ? toupper(c) : tolower(c));
    return text;
}

void Scramble(std::vector<Lookup> &lookups) {
    std::mt19937 random(12345);
    std::shuffle(lookups.begin(), lookups.end(), random);
    for (auto &lookup : lookups) {
        lookup.otherCaseSection = FlipCase(lookup.section);
        lookup.otherCaseItem = FlipCase(lookup.item);
    }
}

TestFile MakeShortItems(const std::string &path) {
    TestFile file{"(a) 20000 x 25 short items", path, 0, {}};
    std::string text;
    text.reserve(12 << 20);
    char line[128];
    for (int s = 0; s < 20000; ++s) {
        snprintf(line, sizeof line, "[Section%05d]\n", s);
        text += line;
        for (int i = 0; i < 25; ++i) {
            snprintf(line, sizeof line, "key%02d = value%05d_%02d\n", i, s, i);
            text += line;
        }
        char section[32], item[16];
        snprintf(section, sizeof section, "Section%05d", s);
        snprintf(item, sizeof item, "key%02d", (s * 7) % 25);
        file.lookups.push_back({section, item, "", ""});
    }
    std::ofstream(path, std::ios::binary) << text;
    file.bytes = text.size();
    Scramble(file.lookups);
    return file;
}

TestFile MakeLongValues(const std::string &path) {
    TestFile file{"(b) 7500 sections, long quoted values", path, 0, {}};
    static const char *words[] = {"battery", "voltage", "cranking", "ampere", "tester",
                                  "result",  "charge",  "state",    "cold",   "measured",
                                  "vehicle", "record",  "line",     "value",  "report"};
    std::mt19937 random(777);
    std::string text;
    text.reserve(11 << 20);
    char line[256];
    for (int s = 0; s < 7500; ++s) {
        snprintf(line, sizeof line, "# block %d: long texts for the reader\n\n[Block%05d]\n", s, s);
        text += line;
        for (int i = 0; i < 8; ++i) {
            std::string value;
            while (value.size() < 130)
                value += std::string(words[random() % 15]) + " ";
            snprintf(line, sizeof line, "Text%d = \"%s\"\n", i, value.c_str());
            text += line;
        }
        text += "\n";
        char section[32], item[16];
        snprintf(section, sizeof section, "Block%05d", s);
        snprintf(item, sizeof item, "Text%d", s % 8);
        file.lookups.push_back({section, item, "", ""});
    }
    std::ofstream(path, std::ios::binary) << text;
    file.bytes = text.size();
    Scramble(file.lookups);
    return file;
}

TestFile MakeLanguageFile(const std::string &path) {
    TestFile file{"(c) language file, 2000 x Type/Flags/Label", path, 0, {}};
    std::string text = "[UI Language Resource File]\nVersion = 1\n\n";
    char line[256];
    for (int s = 0; s < 2000; ++s) {
        snprintf(line, sizeof line,
                 "[PANEL%02d_CONTROL%04d]\nType = %d\nFlags = %d\n"
                 "Label = \"Label of control %d on its panel, as translated\"\n\n",
                 s / 100, s, 1 + s % 14, s % 3, s);
        text += line;
        char section[32];
        snprintf(section, sizeof section, "PANEL%02d_CONTROL%04d", s / 100, s);
        file.lookups.push_back({section, "Label", "", ""});
    }
    std::ofstream(path, std::ios::binary) << text;
    file.bytes = text.size();
    Scramble(file.lookups);
    return file;
}

// ---- The parsers ----------------------------------------------------------------------------

struct Parser {
    const char *name;
    bool stores; // false: a callback parser that keeps nothing (no lookups)
    std::function<void *(const std::string &)> parse;
    std::function<size_t(void *, const std::vector<Lookup> &)> lookUp; // returns a checksum
    std::function<void(void *)> dispose;
};

int CountingHandler(void *user, const char *, const char *, const char *value) {
    *static_cast<size_t *>(user) += strlen(value);
    return 1;
}

std::vector<Parser> Parsers() {
    return {
        {"ours (IniObject)", true,
         [](const std::string &path) -> void * {
             IniObject ini = Ini_New(0);
             Ini_SetTokens(ini, 0, 0, nullptr, "#"); // the comment style every peer reads
             if (Ini_ReadFromFile(ini, path.c_str()) != 0 || Ini_SortInternally(ini) != 0)
                 Fail("Ini_ReadFromFile", path);
             return ini;
         },
         [](void *object, const std::vector<Lookup> &lookups) {
             size_t sum = 0;
             char *value = nullptr;
             for (const auto &l : lookups)
                 if (Ini_GetPointerToRawString(static_cast<IniObject>(object),
                                               l.otherCaseSection.c_str(), l.otherCaseItem.c_str(),
                                               &value) == 1)
                     sum += static_cast<unsigned char>(value[0]);
             return sum;
         },
         [](void *object) { Ini_Dispose(static_cast<IniObject>(object)); }},
        {"inih (callback, stores nothing)", false,
         [](const std::string &path) -> void * {
             static size_t total;
             if (ini_parse(path.c_str(), CountingHandler, &total) != 0) Fail("ini_parse", path);
             return &total;
         },
         nullptr, [](void *) {}},
        {"SimpleIni", true,
         [](const std::string &path) -> void * {
             auto *ini = new CSimpleIniA(false, false, false);
             if (ini->LoadFile(path.c_str()) < 0) Fail("LoadFile", path);
             return ini;
         },
         [](void *object, const std::vector<Lookup> &lookups) {
             size_t sum = 0;
             auto *ini = static_cast<CSimpleIniA *>(object);
             for (const auto &l : lookups)
                 if (const char *value = ini->GetValue(l.otherCaseSection.c_str(),
                                                       l.otherCaseItem.c_str(), nullptr))
                     sum += static_cast<unsigned char>(value[0]);
             return sum;
         },
         [](void *object) { delete static_cast<CSimpleIniA *>(object); }},
        {"GLib GKeyFile", true,
         [](const std::string &path) -> void * {
             GKeyFile *keyFile = g_key_file_new();
             if (!g_key_file_load_from_file(keyFile, path.c_str(), G_KEY_FILE_NONE, nullptr))
                 Fail("g_key_file_load_from_file", path);
             return keyFile;
         },
         [](void *object, const std::vector<Lookup> &lookups) {
             size_t sum = 0;
             auto *keyFile = static_cast<GKeyFile *>(object);
             // GLib compares names exactly: it is given the names as written.
             for (const auto &l : lookups) {
                 gchar *value =
                     g_key_file_get_value(keyFile, l.section.c_str(), l.item.c_str(), nullptr);
                 if (value) sum += static_cast<unsigned char>(value[0]);
                 g_free(value);
             }
             return sum;
         },
         [](void *object) { g_key_file_free(static_cast<GKeyFile *>(object)); }},
    };
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

long StatusKiB(const char *field) {
    FILE *status = fopen("/proc/self/status", "r");
    char line[256];
    long value = -1;
    size_t length = strlen(field);
    while (status && fgets(line, sizeof line, status))
        if (strncmp(line, field, length) == 0) value = strtol(line + length + 1, nullptr, 10);
    if (status) fclose(status);
    return value;
}

// In a fresh process: the peak memory one parse adds, in KiB.
long PeakKiB(const std::string &self, int parser, const std::string &path,
             const std::string &emptyPath) {
    std::string command =
        "'" + self + "' --peak " + std::to_string(parser) + " '" + path + "' '" + emptyPath + "'";
    FILE *pipe = popen(command.c_str(), "r");
    long kib = -1;
    if (pipe) {
        if (fscanf(pipe, "%ld", &kib) != 1) kib = -1;
        pclose(pipe);
    }
    return kib;
}

struct Result {
    double parseSeconds = 0; // parse (ours: read + Ini_SortInternally)
    double lookupNs = 0;     // per lookup
    double totalSeconds = 0; // parse + all lookups
    long peakKiB = 0;
};

Result Measure(const Parser &parser, int index, const TestFile &file, int runs,
               const std::string &self, const std::string &emptyPath) {
    std::vector<double> parseTimes, lookupTimes, totals;
    size_t checksum = 0;
    for (int run = 0; run < runs; ++run) {
        auto start = Clock::now();
        void *object = parser.parse(file.path);
        auto parsed = Clock::now();
        if (parser.lookUp) checksum += parser.lookUp(object, file.lookups);
        auto looked = Clock::now();
        parser.dispose(object);
        parseTimes.push_back(Seconds(parsed - start));
        lookupTimes.push_back(Seconds(looked - parsed) * 1e9 / file.lookups.size());
        totals.push_back(Seconds(looked - start));
    }
    if (parser.lookUp && checksum == 0) // the lookups found nothing: no comparison
        Fail(parser.name, file.path + " (lookups)");
    Result result;
    result.parseSeconds = Median(parseTimes);
    result.lookupNs = parser.lookUp ? Median(lookupTimes) : 0;
    result.totalSeconds = Median(totals);
    result.peakKiB = PeakKiB(self, index, file.path, emptyPath);
    return result;
}

} // namespace

// The lookup of one item in the large file of short items, by a program that reads a
// settings-sized file many times a second.
constexpr double kShortItemsLookupTargetNs = 300.0;

int main(int argc, char **argv) {
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    if (argc == 5 && strcmp(argv[1], "--peak") == 0) {
        auto parsers = Parsers();
        const Parser &parser = parsers.at(static_cast<size_t>(atoi(argv[2])));
        // A first parse of an empty file touches the code and sets up the allocator, so
        // that the figure is the memory the file's content takes.
        parser.dispose(parser.parse(argv[4]));
        long before = StatusKiB("VmRSS:");
        void *object = parser.parse(argv[3]);
        long peak = StatusKiB("VmHWM:");
        printf("%ld\n", peak - before);
        parser.dispose(object);
        return 0;
    }
    setvbuf(stdout, nullptr, _IOLBF, 0);
    int runs = 5;
    if (argc == 3 && strcmp(argv[1], "--runs") == 0) runs = std::max(1, atoi(argv[2]));

    char self[4096];
    ssize_t selfLength = readlink("/proc/self/exe", self, sizeof self - 1);
    if (selfLength <= 0) return 1;
    self[selfLength] = '\0';

    char folder[] = "/tmp/ks_ini_bench_XXXXXX";
    if (!mkdtemp(folder)) return 1;
    std::vector<TestFile> files = {MakeShortItems(std::string(folder) + "/a.ini"),
                                   MakeLongValues(std::string(folder) + "/b.ini"),
                                   MakeLanguageFile(std::string(folder) + "/c.ini")};
    auto parsers = Parsers();
    const std::string emptyPath = std::string(folder) + "/empty.ini";
    std::ofstream(emptyPath, std::ios::binary) << "[Empty]\n";

    printf("INI parse and lookup, medians of %d runs (ours: read + Ini_SortInternally; lookups "
           "one per section, scrambled)\n\n",
           runs);
    for (const auto &file : files) {
        printf("%s: %.2f MB, %zu lookups\n", file.label, file.bytes / 1e6, file.lookups.size());
        printf("  %-32s %10s %10s %12s %12s %12s\n", "parser", "MB/s", "parse ms", "ns/lookup",
               "total ms", "peak/file");
        std::vector<Result> results;
        for (size_t p = 0; p < parsers.size(); ++p) {
            Result r = Measure(parsers[p], static_cast<int>(p), file, runs, self, emptyPath);
            results.push_back(r);
            char lookup[32] = "-";
            if (parsers[p].lookUp) snprintf(lookup, sizeof lookup, "%.0f", r.lookupNs);
            printf("  %-32s %10.1f %10.2f %12s %12.2f %11.2fx\n", parsers[p].name,
                   file.bytes / 1e6 / r.parseSeconds, r.parseSeconds * 1e3, lookup,
                   r.totalSeconds * 1e3, r.peakKiB * 1024.0 / file.bytes);
        }
        const Result &ours = results[0];
        if (&file == &files.front())
            printf("  our case-insensitive lookup: %.0f ns (target <= %.0f ns, ratio %.2f)\n",
                   ours.lookupNs, kShortItemsLookupTargetNs,
                   ours.lookupNs / kShortItemsLookupTargetNs);
        printf("  ratios, ours against each peer (speed: >1 means ours is faster; memory: <1 "
               "means ours uses less)\n");
        for (size_t p = 1; p < parsers.size(); ++p) {
            printf("    %-30s parse speed %5.2fx", parsers[p].name,
                   results[p].parseSeconds / ours.parseSeconds);
            if (parsers[p].lookUp)
                printf("   lookup speed %5.2fx   parse+lookups %5.2fx",
                       results[p].lookupNs / ours.lookupNs,
                       results[p].totalSeconds / ours.totalSeconds);
            if (parsers[p].stores)
                printf("   peak memory %5.2fx\n",
                       static_cast<double>(ours.peakKiB) / std::max(1L, results[p].peakKiB));
            else
                printf("   (keeps nothing: no lookups, no memory to compare)\n");
        }
        printf("\n");
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
