// The settings record, the test record and the test-code rules. See ks_record.h.
#include "app/ks_record.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <locale.h>
#include <string>

const int kPrintAttributes[KS_PRINT_SLOTS] = {1327, 1308, 1309, 1310, 1303, 1301,
                                              1302, 1300, 1306, 1304, 1307, 1305};
const int32_t kPrintDefaults[KS_PRINT_SLOTS] = {0, 2, 1, 1, 1, 0, 1800, 1, 200, -1, 100, -1};

const char kStartPattern[] = "START  : ";
const char kStopLabel[] = "STOP   : ";

// ---- Settings record ---------------------------------------------------------------------------

namespace {

void PutInt32(unsigned char *at, int32_t value) {
    const auto u = static_cast<uint32_t>(value);
    at[0] = static_cast<unsigned char>(u & 0xFF);
    at[1] = static_cast<unsigned char>((u >> 8) & 0xFF);
    at[2] = static_cast<unsigned char>((u >> 16) & 0xFF);
    at[3] = static_cast<unsigned char>((u >> 24) & 0xFF);
}

int32_t GetInt32(const unsigned char *at) {
    const uint32_t u = static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) |
                       (static_cast<uint32_t>(at[2]) << 16) | (static_cast<uint32_t>(at[3]) << 24);
    return static_cast<int32_t>(u);
}

constexpr int kMaxUtf8Bytes = 4; // the longest UTF-8 character

bool IsUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Bytes of the UTF-8 character that `lead` starts; 1 for any byte that starts none.
size_t Utf8CharacterLength(char lead) {
    const auto byte = static_cast<unsigned char>(lead);
    if (byte >= 0xC2 && byte <= 0xDF) return 2;
    if (byte >= 0xE0 && byte <= 0xEF) return 3;
    if (byte >= 0xF0 && byte <= 0xF4) return 4;
    return 1;
}

// Where a text that goes on past `cut` may end so that no UTF-8 character is split: at `cut`,
// or before the character that the cut would split. Bytes that are not UTF-8 (a single-byte
// code page) are cut at `cut` as they are.
size_t CharacterBoundary(const char *text, size_t cut) {
    if (!IsUtf8Continuation(text[cut])) return cut; // no character goes on across the cut
    size_t start = cut;
    while (start > 0 && cut - start < kMaxUtf8Bytes - 1 && IsUtf8Continuation(text[start - 1]))
        --start;
    if (start > 0 && Utf8CharacterLength(text[start - 1]) > cut - (start - 1)) return start - 1;
    return cut;
}

// A field read from disk may lack its terminator; it then ends where the last whole character
// before the field's last byte ends.
template <size_t N> void BoundText(char (&field)[N]) {
    if (std::memchr(field, '\0', N) == nullptr) field[CharacterBoundary(field, N - 1)] = '\0';
}

} // namespace

int32_t KsValidLanguage(int32_t language) {
    return (language >= 0 && language <= 9) ? language : 0;
}

void HostConfigToBytes(const HostConfigRecord &config, unsigned char (&bytes)[KS_SETTINGS_SIZE]) {
    std::memcpy(bytes + offsetof(HostConfigRecord, InfoLines), config.InfoLines,
                sizeof config.InfoLines);
    std::memcpy(bytes + offsetof(HostConfigRecord, reserved), config.reserved,
                sizeof config.reserved);
    PutInt32(bytes + offsetof(HostConfigRecord, ComPort), config.ComPort);
    PutInt32(bytes + offsetof(HostConfigRecord, Language), config.Language);
    std::memcpy(bytes + offsetof(HostConfigRecord, Logo3Path), config.Logo3Path, KS_PATH_WIDTH);
    std::memcpy(bytes + offsetof(HostConfigRecord, Logo1Path), config.Logo1Path, KS_PATH_WIDTH);
    std::memcpy(bytes + offsetof(HostConfigRecord, Logo2Path), config.Logo2Path, KS_PATH_WIDTH);
    for (int i = 0; i < KS_PRINT_SLOTS; ++i)
        PutInt32(bytes + offsetof(HostConfigRecord, PrintSettings) + 4 * i,
                 config.PrintSettings[i]);
}

void HostConfigFromBytes(const unsigned char (&bytes)[KS_SETTINGS_SIZE], HostConfigRecord &config) {
    std::memcpy(config.InfoLines, bytes + offsetof(HostConfigRecord, InfoLines),
                sizeof config.InfoLines);
    std::memcpy(config.reserved, bytes + offsetof(HostConfigRecord, reserved),
                sizeof config.reserved);
    config.ComPort = GetInt32(bytes + offsetof(HostConfigRecord, ComPort));
    config.Language = KsValidLanguage(GetInt32(bytes + offsetof(HostConfigRecord, Language)));
    std::memcpy(config.Logo3Path, bytes + offsetof(HostConfigRecord, Logo3Path), KS_PATH_WIDTH);
    std::memcpy(config.Logo1Path, bytes + offsetof(HostConfigRecord, Logo1Path), KS_PATH_WIDTH);
    std::memcpy(config.Logo2Path, bytes + offsetof(HostConfigRecord, Logo2Path), KS_PATH_WIDTH);
    for (int i = 0; i < KS_PRINT_SLOTS; ++i)
        config.PrintSettings[i] =
            GetInt32(bytes + offsetof(HostConfigRecord, PrintSettings) + 4 * i);
    for (auto &line : config.InfoLines)
        BoundText(line);
    BoundText(config.Logo1Path);
    BoundText(config.Logo2Path);
    BoundText(config.Logo3Path);
}

void HostConfigStartFresh(HostConfigRecord &config) {
    std::memset(config.InfoLines, 0, sizeof config.InfoLines);
    std::memset(config.reserved, 0, sizeof config.reserved);
    for (int i = 0; i < KS_PRINT_SLOTS; ++i)
        config.PrintSettings[i] = kPrintDefaults[i];
}

// ---- Conversions -------------------------------------------------------------------------------

void KsCopyField(char *field, size_t fieldSize, const char *text) {
    if (fieldSize == 0) return;
    size_t length = text ? strnlen(text, fieldSize - 1) : 0;
    // A longer text is cut between two characters, never inside one: a dangling lead byte would
    // be kept in the settings file and shown as a replacement character.
    if (length == fieldSize - 1 && text[length] != '\0') length = CharacterBoundary(text, length);
    if (length > 0) std::memcpy(field, text, length);
    field[length] = '\0';
}

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Steps over leading blanks and one optional sign, the start of every number the tester sends.
const char *SkipBlanksAndSign(const char *text, bool *negative) {
    while (IsBlank(*text))
        ++text;
    *negative = *text == '-';
    if (*text == '+' || *text == '-') ++text;
    return text;
}

// Whether a decimal number that is out of the range of a double is too large (rather than too
// small): strtod of the "C" locale gives infinity for the one and at most the smallest double
// for the other.
bool BeyondLargestDouble(const char *number, const char *end) {
    static const locale_t cLocale = newlocale(LC_NUMERIC_MASK, "C", locale_t{});
    const std::string text(number, end);
    return std::fabs(strtod_l(text.c_str(), nullptr, cLocale)) > 1.0;
}

// The leading decimal number of a text the way atof reads it, but always with a point as the
// decimal separator whatever the process locale says; 0 when no number starts the text. A
// number beyond the largest double reads as the largest double, one below the smallest as 0.
double LeadingDouble(const char *text) {
    bool negative = false;
    text = SkipBlanksAndSign(text, &negative);
    // Only digits, a point and an exponent belong to a decimal number; "inf", "nan" and hex
    // forms have no decimal digits and give 0 like any other text without digits.
    if (!((*text >= '0' && *text <= '9') || (*text == '.' && text[1] >= '0' && text[1] <= '9')))
        return 0.0;
    double value = 0.0;
    const char *end = text + std::strlen(text);
    const auto parsed = std::from_chars(text, end, value, std::chars_format::general);
    if (parsed.ec == std::errc::result_out_of_range)
        value = BeyondLargestDouble(text, parsed.ptr) ? std::numeric_limits<double>::max() : 0.0;
    else if (parsed.ec != std::errc())
        value = 0.0;
    if (!std::isfinite(value)) value = 0.0;
    return negative ? -value : value;
}

} // namespace

int32_t KsAtoi(const char *text) {
    bool negative = false;
    text = SkipBlanksAndSign(text, &negative);
    int64_t value = 0;
    const int64_t limit = static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > limit) value = limit; // saturate; the digits that follow cannot bring it back
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int32_t>::max()) value = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(value);
}

double KsConvertVolt(const char *text) {
    // A comma is the decimal separator wherever it stands ("9,50", "6,35", "12,6"), unless a
    // point came first; texts without a comma read exactly as before.
    const char *comma = std::strchr(text, ',');
    if (comma == nullptr || std::memchr(text, '.', static_cast<size_t>(comma - text)) != nullptr)
        return LeadingDouble(text);
    std::string withPoint(text);
    withPoint[static_cast<size_t>(comma - text)] = '.';
    return LeadingDouble(withPoint.c_str());
}

// ---- Value lines -------------------------------------------------------------------------------

const char *const kRecordLabels[KS_NUM_RECORD_LABELS] = {
    "LOGO 0 : ", "LOGO 1 : ", "INFO 0 : ", "INFO 1 : ", "INFO 2 : ", "INFO 3 : ", "INFO 4 : ",
    "INFO 5 : ", "24VSYS : ", "IN-VEH : ", "SETPNT : ", "SYSTEM : ", "JIS No : ", "B VOLT : ",
    "B CCA  : ", "B RSLT : ", "B TYPE : ", "SOC    : ", "TCODE  : ", "CCODE  : ", "VER.   : ",
    "T COMP : ", "B4A CH : ", "S CHRG : ", "6V SYS : ", "TEST # : ", "SER #  : ",
};

namespace {

// Stores the value of label number `index` (an index into kRecordLabels).
void StoreValue(TestRecord &r, int index, const char *value) {
    switch (index) {
    case 0:
        KsCopyField(r.Logo0, value);
        break;
    case 1:
        KsCopyField(r.Logo1, value);
        break;
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 7:
        KsCopyField(r.Info[index - 2], value);
        break;
    case 8:
        r.Sys24V = KsAtoi(value);
        break;
    case 9:
        r.InVehicle = KsAtoi(value);
        break;
    case 10:
        r.SetPoint = KsAtoi(value);
        break;
    case 11:
        r.System = KsAtoi(value);
        break;
    case 12:
        KsCopyField(r.JisNo, value);
        break;
    case 13:
        r.BVolt = KsConvertVolt(value);
        break;
    case 14:
        r.BCca = KsAtoi(value);
        r.BCcaGiven = 1;
        break;
    case 15:
        r.BRslt = KsAtoi(value);
        break;
    case 16:
        r.BType = KsAtoi(value);
        break;
    case 17:
        r.Soc = KsAtoi(value);
        break;
    case 18:
        KsCopyField(r.TCode, value);
        break;
    case 19:
        KsCopyField(r.CCode, value);
        break;
    case 20:
        KsCopyField(r.Ver, value);
        break;
    case 21:
        r.TComp = KsAtoi(value);
        break;
    case 22:
        r.B4aCh = KsAtoi(value);
        break;
    case 23:
        r.SChrg = KsAtoi(value);
        break;
    case 24:
        r.Sys6V = KsAtoi(value);
        break;
    case 25:
        r.TestNo = KsAtoi(value);
        break;
    case 26:
        r.SerNo = KsAtoi(value);
        break;
    default:
        break;
    }
}

} // namespace

int KsStoreValueLine(TestRecord &record, const char *line) {
    for (int i = 0; i < KS_NUM_RECORD_LABELS; ++i) {
        if (std::strncmp(line, kRecordLabels[i], KS_LABEL_WIDTH) == 0) {
            // A match means the line has at least the 9 label characters.
            StoreValue(record, i, line + KS_LABEL_WIDTH);
            return 1;
        }
    }
    return 0;
}

void KsFormatMeasuredCca(const TestRecord &record, char *text, size_t size) {
    if (size == 0) return;
    std::string shown;
    if (record.BCcaGiven != 0) {
        shown = std::to_string(record.BCca) + " A";
        if (record.SetPoint > 0)
            shown +=
                ", " + std::to_string(std::lround(100.0 * record.BCca / record.SetPoint)) + " %";
    }
    KsCopyField(text, size, shown.c_str());
}

int KsIsStopLine(const char *line) {
    return std::strncmp(line, kStopLabel, KS_LABEL_WIDTH) == 0 ? 1 : 0;
}

// ---- Test codes --------------------------------------------------------------------------------

int KsTestCodeSymbolValue(char symbol) {
    if (symbol >= '0' && symbol <= '9') return symbol - '0';
    switch (symbol) {
    case 'A':
    case 'a':
        return 10;
    case 'B':
    case 'b':
        return 11;
    case 'C':
    case 'c':
        return 12;
    case 'E':
    case 'e':
        return 13; // "D" is not a symbol
    case 'F':
    case 'f':
        return 14;
    case 'G':
    case 'g':
        return 15;
    default:
        return -1;
    }
}

int32_t KsStateOfCharge(int32_t bRslt, double bVolt, int32_t bCca, int32_t setPoint) {
    if (bRslt >= 3) return 5;
    if (bRslt == 0 && bVolt >= 12.4) return 0;
    if (setPoint == 0) return 4;
    const double ratio = 100.0 * bCca / setPoint;
    if (ratio <= 80.0) return 4;
    const double scaled =
        bVolt >= 12.4 ? 75.0 * (ratio - 80.0) / 40.0 : 75.0 * (ratio - 80.0) / 75.0;
    const int p = static_cast<int>(scaled); // truncation toward zero; ratio <= 25550 keeps it small
    if (p <= 25) return 3;
    if (p >= 50) return 1;
    return 2;
}

int KsDecodeTestCode(const char *text, KsTestCode *result) {
    const size_t length = strnlen(text, KS_TESTCODE_MAX_TEXT + 1);
    if (length > KS_TESTCODE_MAX_TEXT) return KS_TESTCODE_TOO_LONG;
    char symbols[KS_TESTCODE_SYMBOLS];
    if (length == 9 && text[4] == ' ') {
        std::memcpy(symbols, text, 4);
        std::memcpy(symbols + 4, text + 5, 4);
    } else if (length == KS_TESTCODE_SYMBOLS) {
        std::memcpy(symbols, text, KS_TESTCODE_SYMBOLS);
    } else {
        return KS_TESTCODE_BAD_LENGTH;
    }
    int d[KS_TESTCODE_SYMBOLS + 1] = {}; // d[1] .. d[8] as the symbols are numbered
    for (int i = 0; i < KS_TESTCODE_SYMBOLS; ++i) {
        d[i + 1] = KsTestCodeSymbolValue(symbols[i]);
        if (d[i + 1] < 0) return KS_TESTCODE_BAD_SYMBOL;
    }
    KsTestCode out{};
    out.SetPoint = 10 * (16 * d[1] + d[4]);
    out.BCca = 5 * (32 * d[3] + 2 * d[2] + (d[5] >> 3));
    out.System = (d[5] & 1) ? 5 : 4;
    out.TComp = (d[5] >> 1) & 1;
    out.InVehicle = (d[5] >> 2) & 1;
    // 0.05 V steps written as a division by 20, so that a voltage byte of 148 is exactly 12.40.
    out.BVolt = (16 * d[7] + d[6]) / 20.0 + 5.0;
    out.BRslt = d[8] & 7;
    out.Soc = KsStateOfCharge(out.BRslt, out.BVolt, out.BCca, out.SetPoint);
    static const char kUpper[] = "0123456789ABCEFG";
    for (int i = 0, j = 0; i < KS_TESTCODE_SYMBOLS; ++i) {
        out.shown[j++] = kUpper[d[i + 1]];
        if (i == 3) out.shown[j++] = ' ';
    }
    out.shown[9] = '\0';
    *result = out;
    return KS_TESTCODE_OK;
}
