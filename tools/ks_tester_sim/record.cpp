// Record generation, wire framing and log lines of the tester simulator; see record.h.
#include "tools/ks_tester_sim/record.h"

#include <algorithm>
#include <cstdio>

namespace ks_sim {

namespace {

int uniform(std::mt19937 &random, int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
}

bool chance(std::mt19937 &random, int percent) {
    return uniform(random, 1, 100) <= percent;
}

template <size_t N> const char *pick(std::mt19937 &random, const char *const (&items)[N]) {
    return items[static_cast<size_t>(uniform(random, 0, static_cast<int>(N) - 1))];
}

bool has(const std::vector<Fault> &faults, Fault fault) {
    return std::find(faults.begin(), faults.end(), fault) != faults.end();
}

std::string fitField(std::string text, size_t width = kTextFieldLength) {
    if (text.size() > width) text.resize(width);
    return text;
}

std::string voltText(int steps, bool comma) {
    char text[16];
    const int hundredths = 500 + 5 * steps;
    std::snprintf(text, sizeof text, "%d%c%02d", hundredths / 100, comma ? ',' : '.',
                  hundredths % 100);
    return text;
}

std::string line(const char *label, const std::string &value) {
    std::string text = std::string(label) + value;
    if (text.size() > kMaxLineLength) text.resize(kMaxLineLength);
    text.push_back('\0');
    return text;
}

std::string line(const char *label, int value) {
    return line(label, std::to_string(value));
}

const std::vector<FaultKindName> kFaults = {
    {Fault::NoStop, "no-stop",
     "a record without its stop line (the receiver's 10 s deadline passes)"},
    {Fault::Garbage, "garbage", "noise lines without the start pattern before the record"},
    {Fault::LongLine, "long-line", "a 300-byte line without NUL inside the record"},
    {Fault::MidStart, "mid-start", "the start pattern in the middle of the start line"},
    {Fault::Blanks, "blanks", "the B VOLT, B CCA and SOC labels with a wrong number of blanks"},
    {Fault::Drop, "drop",
     "the link drops after the record (pty closed, link removed) and comes back"},
};

} // namespace

const std::vector<FaultKindName> &faultKinds() {
    return kFaults;
}

bool faultFromName(const std::string &name, Fault *fault) {
    for (const auto &kind : kFaults)
        if (name == kind.name) {
            *fault = kind.fault;
            return true;
        }
    return false;
}

const char *faultName(Fault fault) {
    for (const auto &kind : kFaults)
        if (kind.fault == fault) return kind.name;
    return "?";
}

SimRecord makeRecord(std::mt19937 &random, int number, const std::string &date) {
    static const char *const kOperators[] = {"OP A.MEYER",  "OP J.SILVA", "OP K.NOWAK",
                                             "OP L.DUPONT", "OP M.ROSSI", "OP S.JANSEN"};
    static const char *const kWorkshops[] = {"GARAGE NORD", "AUTO SERVICE 24", "FLEET DEPOT 3",
                                             "WERKSTATT OST", "TALLER CENTRO"};
    static const char *const kJis[] = {"55B24L", "80D26R", "95D31L", "115D31R", "46B19L", ""};
    static const char *const kLetters[] = {"AB", "KX", "ZT", "MR", "PL", "HN", "GV"};

    SimRecord r;
    r.number = number;
    r.logo0 = "LOGO-A";
    r.logo1 = "LOGO-B";
    char plate[32];
    std::snprintf(plate, sizeof plate, "%s-%03d-%s", pick(random, kLetters),
                  uniform(random, 1, 999), pick(random, kLetters));
    r.info = {fitField("BT-SIM 500"), fitField("SW V2.14"),
              fitField(date),         fitField(pick(random, kOperators)),
              fitField(plate),        fitField(pick(random, kWorkshops))};

    TestCodeFields &c = r.code;
    // Most batteries are rated 300 .. 1000 A; now and then a truck battery up to the code's limit.
    c.setPoint = 10 * (chance(random, 90) ? uniform(random, 30, 100) : uniform(random, 101, 255));
    const int measuredPercent = uniform(random, 35, 130);
    c.bcca = std::min(2555, c.setPoint * measuredPercent / 100 / 5 * 5);
    // Mostly 11.50 .. 13.00 V (steps 130 .. 160); a flat or an overcharged battery sometimes.
    c.voltSteps = chance(random, 85) ? uniform(random, 130, 160) : uniform(random, 0, 255);
    c.brslt = chance(random, 75) ? uniform(random, 0, 2) : uniform(random, 3, 7);
    c.system = chance(random, 50) ? 5 : 4;
    c.tcomp = uniform(random, 0, 1);
    c.inVehicle = uniform(random, 0, 1);

    r.sys24v = chance(random, 10) ? 1 : 0;
    r.sys6v = r.sys24v == 0 && chance(random, 5) ? 1 : 0;
    r.jisNo = pick(random, kJis);
    r.btype = uniform(random, 0, 3);
    r.soc = socClass(c);
    r.tcode = encodeTestCode(c);
    r.ccode = r.tcode.substr(4) + r.tcode.substr(0, 4);
    r.ver = "V2.14";
    r.b4ach = uniform(random, 0, 1);
    // A result that asks for charging (1 good-recharge, 2 charge-and-retest) sets the charge flag.
    r.schrg = c.brslt == 1 || c.brslt == 2 ? 1 : 0;
    r.testNo = number;
    r.serNo = 40000 + number % 1000;
    return r;
}

std::string recordBytes(const SimRecord &r, const std::vector<Fault> &faults,
                        const WireOptions &options) {
    const bool blanks = has(faults, Fault::Blanks);
    char number[16];
    std::snprintf(number, sizeof number, "%04d", r.number % 10000);

    std::string out;
    out += has(faults, Fault::MidStart) ? line("BT-SIM 500 TEST START  : ", number)
                                        : line("START  : ", number);
    if (has(faults, Fault::LongLine)) {
        out += std::string(300, 'X');
        out.push_back('\0');
    }
    out += line("LOGO 0 : ", r.logo0);
    out += line("LOGO 1 : ", r.logo1);
    for (int k = 0; k < 6; ++k) {
        const std::string label = "INFO " + std::to_string(k) + " : ";
        out += line(label.c_str(), r.info[static_cast<size_t>(k)]);
    }
    out += line("24VSYS : ", r.sys24v);
    out += line("IN-VEH : ", r.code.inVehicle);
    out += line("SETPNT : ", r.code.setPoint);
    out += line("SYSTEM : ", r.code.system);
    out += line("JIS No : ", r.jisNo);
    out +=
        line(blanks ? "B VOLT  : " : "B VOLT : ", voltText(r.code.voltSteps, options.decimalComma));
    out += line(blanks ? "B CCA : " : "B CCA  : ", r.code.bcca);
    out += line("B RSLT : ", r.code.brslt);
    out += line("B TYPE : ", r.btype);
    out += line(blanks ? "SOC   : " : "SOC    : ", r.soc);
    out += line("TCODE  : ", r.tcode);
    out += line("CCODE  : ", r.ccode);
    out += line("VER.   : ", r.ver);
    out += line("T COMP : ", r.code.tcomp);
    out += line("B4A CH : ", r.b4ach);
    out += line("S CHRG : ", r.schrg);
    out += line("6V SYS : ", r.sys6v);
    out += line("TEST # : ", r.testNo);
    out += line("SER #  : ", r.serNo);
    if (!has(faults, Fault::NoStop)) out += line("STOP   : ", number);
    return out;
}

std::string garbageBytes(std::mt19937 &random) {
    std::string out;
    const int lines = uniform(random, 2, 5);
    for (int i = 0; i < lines; ++i) {
        const int length = uniform(random, 0, 60);
        for (int k = 0; k < length; ++k)
            out.push_back(static_cast<char>(uniform(random, 0x21, 0x7E)));
        out.push_back('\0');
    }
    // A run of junk that happens to look like a label stays harmless outside a record.
    out += std::string("B VOLT : 99.99") + '\0';
    return out;
}

std::string logHeader() {
    return "#record\tTCode\tSetPoint\tBVolt\tBRslt\tSystem\tTComp\tInVehicle\tSoc\tInfo0\tInfo1"
           "\tInfo2\tInfo3\tInfo4\tInfo5\tFaults";
}

std::string logLine(const SimRecord &r, const std::vector<Fault> &faults, bool delivered,
                    const WireOptions &) {
    const bool blanks = has(faults, Fault::Blanks);
    const double volts = voltsOfSteps(r.code.voltSteps);
    char values[160];
    std::snprintf(values, sizeof values, "%d\t%s\t%d\t%.2f\t%d\t%d\t%d\t%d\t%d", r.number,
                  r.tcode.c_str(), r.code.setPoint, blanks ? 0.0 : volts, r.code.brslt,
                  r.code.system, r.code.tcomp, r.code.inVehicle, blanks ? 0 : r.soc);
    std::string out = values;
    for (const auto &info : r.info)
        out += "\t" + info;
    std::string notes;
    for (Fault fault : faults)
        notes += (notes.empty() ? "" : ",") + std::string(faultName(fault));
    if (!delivered) notes += notes.empty() ? "undelivered" : ",undelivered";
    return out + "\t" + (notes.empty() ? "-" : notes);
}

} // namespace ks_sim
