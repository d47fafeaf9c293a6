// Test records as the tester sends them: realistic values, the framing of the wire (start line,
// 9-character value labels, stop line, NUL-terminated lines), the fault variants, and the one-line
// log entry that says what a correct receiver ends up with.
#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tools/ks_tester_sim/test_code.h"

namespace ks_sim {

// Longest line the tester sends before its NUL.
inline constexpr size_t kMaxLineLength = 255;
// Width of a copied text field of the receiver's record (17-byte fields).
inline constexpr size_t kTextFieldLength = 16;

enum class Fault {
    NoStop,   // the record ends without its stop line
    Garbage,  // noise lines without the start pattern before the record
    LongLine, // a 300-byte run without NUL inside the record (its NUL follows the 300th byte)
    MidStart, // the start pattern in the middle of the start line
    Blanks,   // three labels with a wrong number of blanks (their lines are skipped)
    Drop,     // the link drops after the record and comes back later
};

struct FaultKindName {
    Fault fault;
    const char *name;
    const char *help;
};
// Names of the fault kinds as the command line takes them, with a line of help each.
const std::vector<FaultKindName> &faultKinds();
bool faultFromName(const std::string &name, Fault *fault);
const char *faultName(Fault fault);

struct SimRecord {
    int number = 0;
    std::string logo0, logo1;
    std::array<std::string, 6> info;
    int sys24v = 0;
    TestCodeFields code; // set point, amps, voltage, result, system, compensation, in vehicle
    std::string jisNo;
    int btype = 0;
    int soc = 0;
    std::string tcode;
    std::string ccode;
    std::string ver;
    int b4ach = 0;
    int schrg = 0;
    int sys6v = 0;
    int testNo = 0;
    int serNo = 0;
};

// A record with values in their real ranges; date is the text of information line 2.
SimRecord makeRecord(std::mt19937 &random, int number, const std::string &date);

struct WireOptions {
    bool decimalComma = false; // voltage as "12,60" instead of "12.60"
};

// The bytes of one record on the wire, every line followed by its NUL, with the record's faults
// applied (Garbage and Drop do not change the record's own bytes; see garbageBytes).
std::string recordBytes(const SimRecord &record, const std::vector<Fault> &faults,
                        const WireOptions &options);
// Noise lines for the Garbage fault: printable junk and stray NULs, never the start pattern.
std::string garbageBytes(std::mt19937 &random);

// The log's column names, tab-separated, after a leading "#".
std::string logHeader();
// One log line: the record number and the values a correct receiver holds after the record
// (a label sent with wrong blanks leaves its field 0; a voltage sent with a decimal comma reads
// as with a point, so the wire options change nothing here), then the applied faults ("-" for
// none; "undelivered" added when the receiver did not take the bytes).
std::string logLine(const SimRecord &record, const std::vector<Fault> &faults,
                    bool delivered = true, const WireOptions &options = WireOptions());

} // namespace ks_sim
