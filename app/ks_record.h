// The application's two records and the pure rules over them: the 940-byte settings record
// (its byte image is the settings file "ks.ini"), the decoded test record with the labels of the
// tester's value lines, and the unpacking of typed test codes. Nothing here touches a panel, a
// file or the serial port, so every rule can be checked on its own.
#pragma once

#include <cstddef>
#include <cstdint>

// ---- Field widths ------------------------------------------------------------------------------

enum {
    KS_INFO_LINES = 6,  // information lines of a record and of the settings
    KS_INFO_WIDTH = 17, // 16 characters + NUL
    KS_TEXT_WIDTH = 17, // the short texts of a test record
    KS_JISNO_WIDTH = 24,
    KS_VER_WIDTH = 18,
    KS_PATH_WIDTH = 260, // every path text
    KS_PRINT_SLOTS = 12,
    KS_SETTINGS_SIZE = 940, // the settings file is exactly this many bytes
    KS_LABEL_WIDTH = 9,     // every value-line label, blanks included
};

// ---- Settings record ---------------------------------------------------------------------------

// In memory the record is a plain struct whose offsets equal the file's (checked below); the file
// itself is always produced by HostConfigToBytes, which writes the integers little-endian on any
// machine.
struct HostConfigRecord {
    char InfoLines[KS_INFO_LINES][KS_INFO_WIDTH]; // offset 0, line k at 17 * k
    char reserved[2];                             // offset 102
    int32_t ComPort;                              // offset 104
    int32_t Language;                             // offset 108
    char Logo3Path[KS_PATH_WIDTH];                // offset 112, picture control 18
    char Logo1Path[KS_PATH_WIDTH];                // offset 372, picture control 16
    char Logo2Path[KS_PATH_WIDTH];                // offset 632, picture control 17
    int32_t PrintSettings[KS_PRINT_SLOTS];        // offset 892
};
static_assert(offsetof(HostConfigRecord, InfoLines) == 0);
static_assert(offsetof(HostConfigRecord, reserved) == 102);
static_assert(offsetof(HostConfigRecord, ComPort) == 104);
static_assert(offsetof(HostConfigRecord, Language) == 108);
static_assert(offsetof(HostConfigRecord, Logo3Path) == 112);
static_assert(offsetof(HostConfigRecord, Logo1Path) == 372);
static_assert(offsetof(HostConfigRecord, Logo2Path) == 632);
static_assert(offsetof(HostConfigRecord, PrintSettings) == 892);
static_assert(sizeof(HostConfigRecord) == KS_SETTINGS_SIZE);

// The print attribute of each PrintSettings slot, in slot order, and the slot defaults.
extern const int kPrintAttributes[KS_PRINT_SLOTS];
extern const int32_t kPrintDefaults[KS_PRINT_SLOTS];

// The byte image of the record (integers little-endian, texts as they are).
void HostConfigToBytes(const HostConfigRecord &config, unsigned char (&bytes)[KS_SETTINGS_SIZE]);
// Builds the record from a file image. Texts are bounded by their field even when the image has
// no NUL inside it (such a text ends with the last whole UTF-8 character before the field's last
// byte); a language number outside 0 .. 9 counts as 0. Bytes after a terminator are kept as
// read.
void HostConfigFromBytes(const unsigned char (&bytes)[KS_SETTINGS_SIZE], HostConfigRecord &config);
// A fresh record's texts and print settings: six empty information lines, the reserved bytes
// zero, the twelve print defaults. ComPort, Language and the logo paths are left to the caller.
void HostConfigStartFresh(HostConfigRecord &config);
// 0 .. 9, anything else counts as 0 (the system's language).
int32_t KsValidLanguage(int32_t language);

// ---- Test record -------------------------------------------------------------------------------

struct TestRecord {
    char Logo0[KS_TEXT_WIDTH];
    char Logo1[KS_TEXT_WIDTH];
    char Info[KS_INFO_LINES][KS_INFO_WIDTH];
    int32_t Sys24V;
    int32_t InVehicle;
    int32_t SetPoint;
    int32_t System;
    char JisNo[KS_JISNO_WIDTH];
    double BVolt;
    int32_t BCca;
    int32_t BRslt;
    int32_t BType;
    int32_t Soc;
    char TCode[KS_TEXT_WIDTH];
    char CCode[KS_TEXT_WIDTH];
    char Ver[KS_VER_WIDTH];
    int32_t TComp;
    int32_t B4aCh;
    int32_t SChrg;
    int32_t Sys6V;
    int32_t TestNo;
    int32_t SerNo;
    // When the record was shown (received, or decoded from a typed code), as RT_CurrentTime
    // counts; the log row of the record carries this date and time.
    int64_t ShownAt;
    // 1 when the record carries a measured cold-cranking value (a "B CCA  : " line, or a typed
    // code, which always holds one): BCca 0 then means a measured 0, not a missing value.
    int32_t BCcaGiven;
};

// The labels of the value lines, in the order a received line is compared with them.
enum { KS_NUM_RECORD_LABELS = 27 };
extern const char *const kRecordLabels[KS_NUM_RECORD_LABELS];
extern const char kStartPattern[]; // "START  : ", anywhere in the start line
extern const char kStopLabel[];    // "STOP   : ", at the start of the stop line

// Stores a value line into the record when its first 9 characters equal a label (the first
// equal one in table order). Returns 1 when a label matched, 0 when the line is not a value line.
// A value longer than its text field is cut to the field (see KsCopyField).
int KsStoreValueLine(TestRecord &record, const char *line);
// The measured cold-cranking amps for display: "620 A, 85 %" (the share of SetPoint, rounded to
// a whole percent), "620 A" without a rating, "" when the record carries no measured value.
// Cut to size bytes like a field.
void KsFormatMeasuredCca(const TestRecord &record, char *text, size_t size);
// 1 when the line begins with the stop label.
int KsIsStopLine(const char *line);

// The tester's integer conversion: leading blanks skipped, optional sign, decimal digits up to the
// first other character; 0 when there is no digit. Values beyond int32 saturate.
int32_t KsAtoi(const char *text);
// The tester's voltage conversion: the decimal value of the text, independent of the process
// locale. A point is the decimal separator, and so is a comma wherever it stands unless a point
// came before it ("12,05" 12.05, "12,6" 12.6, "9,50" 9.5, "6,35" 6.35). A value beyond the
// largest double reads as the largest double, one below the smallest as 0; no digits give 0.
double KsConvertVolt(const char *text);

// Copies text into a fixed field, always terminated. A longer text is cut to the field between two
// UTF-8 characters, never inside one.
void KsCopyField(char *field, size_t fieldSize, const char *text);
template <size_t N> void KsCopyField(char (&field)[N], const char *text) {
    KsCopyField(field, N, text);
}

// ---- Test codes --------------------------------------------------------------------------------

enum {
    KS_TESTCODE_MAX_TEXT = 11, // the longest typed text that is examined at all
    KS_TESTCODE_SYMBOLS = 8,
};
enum KsTestCodeStatus {
    KS_TESTCODE_OK = 0,
    KS_TESTCODE_TOO_LONG = -1,   // more than 11 characters typed
    KS_TESTCODE_BAD_LENGTH = -2, // not 8 symbols (or 9 with the blank after the 4th)
    KS_TESTCODE_BAD_SYMBOL = -3, // a character outside the alphabet ("D" included)
};

struct KsTestCode {
    int32_t SetPoint;
    int32_t BCca;
    double BVolt;
    int32_t BRslt;
    int32_t System;
    int32_t TComp;
    int32_t InVehicle;
    int32_t Soc;
    char shown[10]; // the code redisplayed: upper case, a blank after the 4th symbol
};

// Unpacks a typed test code. Returns KS_TESTCODE_OK with *result filled, or one of the negative
// statuses above with *result untouched.
int KsDecodeTestCode(const char *text, KsTestCode *result);
// Value 0 .. 15 of a test-code symbol (lower case counts as upper), or -1 for any other character.
int KsTestCodeSymbolValue(char symbol);
// The state-of-charge class 0 .. 5 of a decoded result. A set point of 0 has no ratio: class 4
// (no measurable capacity) unless the result or the voltage decides first.
int32_t KsStateOfCharge(int32_t bRslt, double bVolt, int32_t bCca, int32_t setPoint);
