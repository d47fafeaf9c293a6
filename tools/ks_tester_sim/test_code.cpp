// Test-code packing; see test_code.h. Bit layout (symbols s1 .. s8, values d1 .. d8):
//   set point / 10  = 16 * d1 + d4
//   amps / 5        = 32 * d3 + 2 * d2 + (d5 >> 3)
//   d5 bits 0, 1, 2 = system is 5, temperature compensation, in vehicle
//   volt steps      = 16 * d7 + d6
//   result          = d8 & 7
#include "tools/ks_tester_sim/test_code.h"

#include <cctype>

namespace ks_sim {

namespace {

// 12.4 V as a step count: (12.40 - 5.00) / 0.05.
constexpr int kFullChargeSteps = 148;

int symbolValue(char c) {
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (int v = 0; v < 16; ++v)
        if (kTestCodeAlphabet[v] == upper) return v;
    return -1;
}

} // namespace

std::string encodeTestCode(const TestCodeFields &f) {
    if (f.setPoint < 0 || f.setPoint > 2550 || f.setPoint % 10 != 0 || f.bcca < 0 ||
        f.bcca > 2555 || f.bcca % 5 != 0 || f.voltSteps < 0 || f.voltSteps > 255 || f.brslt < 0 ||
        f.brslt > 7 || (f.system != 4 && f.system != 5) || (f.tcomp != 0 && f.tcomp != 1) ||
        (f.inVehicle != 0 && f.inVehicle != 1))
        return std::string();
    const int sp = f.setPoint / 10;
    const int amps = f.bcca / 5;
    int d[8];
    d[0] = sp >> 4;
    d[3] = sp & 15;
    d[2] = amps >> 5;
    d[1] = (amps >> 1) & 15;
    d[4] = ((amps & 1) << 3) | (f.inVehicle << 2) | (f.tcomp << 1) | (f.system == 5 ? 1 : 0);
    d[6] = f.voltSteps >> 4;
    d[5] = f.voltSteps & 15;
    d[7] = f.brslt;
    std::string code;
    for (int v : d)
        code.push_back(kTestCodeAlphabet[v]);
    return code;
}

bool decodeTestCode(const std::string &code, TestCodeFields *fields) {
    std::string symbols = code;
    if (symbols.size() == 9 && symbols[4] == ' ') symbols.erase(4, 1);
    if (symbols.size() != 8) return false;
    int d[8];
    for (int i = 0; i < 8; ++i) {
        d[i] = symbolValue(symbols[static_cast<size_t>(i)]);
        if (d[i] < 0) return false;
    }
    TestCodeFields f;
    f.setPoint = 10 * (16 * d[0] + d[3]);
    f.bcca = 5 * (32 * d[2] + 2 * d[1] + (d[4] >> 3));
    f.system = (d[4] & 1) ? 5 : 4;
    f.tcomp = (d[4] >> 1) & 1;
    f.inVehicle = (d[4] >> 2) & 1;
    f.voltSteps = 16 * d[6] + d[5];
    f.brslt = d[7] & 7;
    if (fields != nullptr) *fields = f;
    return true;
}

double voltsOfSteps(int voltSteps) {
    return 5.0 + 0.05 * voltSteps;
}

int socClass(const TestCodeFields &f) {
    const bool charged = f.voltSteps >= kFullChargeSteps;
    if (f.brslt >= 3) return 5;
    if (f.brslt == 0 && charged) return 0;
    if (f.setPoint == 0) return 4;
    const double ratio = 100.0 * f.bcca / f.setPoint;
    if (ratio <= 80.0) return 4;
    const int p =
        static_cast<int>(charged ? 75.0 * (ratio - 80.0) / 40.0 : 75.0 * (ratio - 80.0) / 75.0);
    if (p <= 25) return 3;
    if (p >= 50) return 1;
    return 2;
}

} // namespace ks_sim
