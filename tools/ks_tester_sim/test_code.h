// The tester's 8-symbol test code: packing of a result into 32 bits, and the state-of-charge
// class the receiving side derives from it.
#pragma once

#include <string>

namespace ks_sim {

// The fields a test code carries. BVolt travels as its step count: volts = 5.00 + 0.05 * steps.
struct TestCodeFields {
    int setPoint = 0;  // 0 .. 2550, a multiple of 10
    int bcca = 0;      // 0 .. 2555, a multiple of 5
    int voltSteps = 0; // 0 .. 255
    int brslt = 0;     // 0 .. 7
    int system = 4;    // 4 or 5
    int tcomp = 0;     // 0 or 1
    int inVehicle = 0; // 0 or 1
};

// The 16 symbols in value order; "D" is not one of them.
inline constexpr char kTestCodeAlphabet[] = "0123456789ABCEFG";

// The code of the fields: 8 upper-case symbols without a blank, or "" when a field lies outside
// its range or is not a multiple of its step.
std::string encodeTestCode(const TestCodeFields &fields);

// Reads a code of 8 symbols, or 9 with one blank after the 4th; lower case counts as upper case.
// False when the code is not valid (wrong length, misplaced blank, a symbol outside the alphabet).
bool decodeTestCode(const std::string &code, TestCodeFields *fields);

// Battery voltage of a step count.
double voltsOfSteps(int voltSteps);

// State-of-charge class 0 .. 5 that the receiver derives from a decoded code: 5 for a result of
// 3 or more, 0 for result 0 at 12.4 V or more, else by the ratio of measured to rated amps.
// A set point of 0 (no rating) counts as a ratio of at most 80 %: class 4.
int socClass(const TestCodeFields &fields);

} // namespace ks_sim
