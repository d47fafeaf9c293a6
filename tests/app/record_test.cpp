// The pure rules of the application: the settings record's byte image, value-line storage and
// conversions, and test-code unpacking with its state-of-charge classes.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

#include "app/ks_record.h"
#include "tests/support/locale.h"
#include "tests/support/temp_dir.h"

namespace {

int32_t Int32At(const unsigned char *bytes, size_t offset) {
    return static_cast<int32_t>(static_cast<uint32_t>(bytes[offset]) |
                                (static_cast<uint32_t>(bytes[offset + 1]) << 8) |
                                (static_cast<uint32_t>(bytes[offset + 2]) << 16) |
                                (static_cast<uint32_t>(bytes[offset + 3]) << 24));
}

HostConfigRecord SampleConfig() {
    HostConfigRecord c{};
    HostConfigStartFresh(c);
    KsCopyField(c.InfoLines[0], "WORKSHOP");
    KsCopyField(c.InfoLines[1], "0123456789ABCDEF"); // exactly 16: fills its field
    KsCopyField(c.InfoLines[5], "last");
    c.ComPort = 0x01020304;
    c.Language = 6;
    KsCopyField(c.Logo1Path, "/prog/altrevo.BMP");
    KsCopyField(c.Logo2Path, "/prog/korrat.BMP");
    KsCopyField(c.Logo3Path, "NONE");
    return c;
}

} // namespace

TEST(SettingsRecord, ByteImageHasTheFixedLayoutLittleEndian) {
    const HostConfigRecord c = SampleConfig();
    unsigned char bytes[KS_SETTINGS_SIZE];
    HostConfigToBytes(c, bytes);

    EXPECT_STREQ(reinterpret_cast<const char *>(bytes + 0), "WORKSHOP");
    // A 16-character line fills its 17 bytes; the next line still starts 17 bytes later.
    EXPECT_EQ(0, std::memcmp(bytes + 17, "0123456789ABCDEF", 16));
    EXPECT_EQ(0, bytes[33]);
    EXPECT_STREQ(reinterpret_cast<const char *>(bytes + 85), "last");
    EXPECT_EQ(0, bytes[102]);
    EXPECT_EQ(0, bytes[103]);
    EXPECT_EQ(0x04, bytes[104]); // little-endian, lowest byte first
    EXPECT_EQ(0x01, bytes[107]);
    EXPECT_EQ(6, Int32At(bytes, 108));
    EXPECT_STREQ(reinterpret_cast<const char *>(bytes + 112), "NONE");
    EXPECT_STREQ(reinterpret_cast<const char *>(bytes + 372), "/prog/altrevo.BMP");
    EXPECT_STREQ(reinterpret_cast<const char *>(bytes + 632), "/prog/korrat.BMP");
    const int32_t defaults[KS_PRINT_SLOTS] = {0, 2, 1, 1, 1, 0, 1800, 1, 200, -1, 100, -1};
    for (int i = 0; i < KS_PRINT_SLOTS; ++i)
        EXPECT_EQ(defaults[i], Int32At(bytes, 892 + 4 * i)) << "slot " << i;
    const int attributes[KS_PRINT_SLOTS] = {1327, 1308, 1309, 1310, 1303, 1301,
                                            1302, 1300, 1306, 1304, 1307, 1305};
    for (int i = 0; i < KS_PRINT_SLOTS; ++i)
        EXPECT_EQ(attributes[i], kPrintAttributes[i]) << "slot " << i;
}

TEST(SettingsRecord, ReadBackKeepsEveryFieldAndBytesAfterTerminators) {
    HostConfigRecord c = SampleConfig();
    c.PrintSettings[11] = -7;
    c.Logo3Path[10] = 'x'; // after the terminator: carries no meaning, kept as read
    unsigned char bytes[KS_SETTINGS_SIZE];
    HostConfigToBytes(c, bytes);
    HostConfigRecord back{};
    HostConfigFromBytes(bytes, back);
    unsigned char again[KS_SETTINGS_SIZE];
    HostConfigToBytes(back, again);
    EXPECT_EQ(0, std::memcmp(bytes, again, KS_SETTINGS_SIZE));
    EXPECT_EQ(0x01020304, back.ComPort);
    EXPECT_EQ(-7, back.PrintSettings[11]);
}

TEST(SettingsRecord, DamagedFileIsBoundedAndLanguageOutOfRangeCountsAsZero) {
    unsigned char bytes[KS_SETTINGS_SIZE];
    std::memset(bytes, 'A', sizeof bytes); // no terminator in any text field
    for (int32_t language : {-1, 10, 0x41414141}) {
        bytes[108] = static_cast<unsigned char>(language & 0xFF);
        bytes[109] = static_cast<unsigned char>((language >> 8) & 0xFF);
        bytes[110] = static_cast<unsigned char>((language >> 16) & 0xFF);
        bytes[111] = static_cast<unsigned char>((language >> 24) & 0xFF);
        HostConfigRecord c{};
        HostConfigFromBytes(bytes, c);
        EXPECT_EQ(0, c.Language) << language;
        for (const auto &line : c.InfoLines)
            EXPECT_EQ(16u, std::strlen(line));
        EXPECT_EQ(259u, std::strlen(c.Logo1Path));
        EXPECT_EQ(259u, std::strlen(c.Logo2Path));
        EXPECT_EQ(259u, std::strlen(c.Logo3Path));
    }
    bytes[108] = 9;
    bytes[109] = bytes[110] = bytes[111] = 0;
    HostConfigRecord c{};
    HostConfigFromBytes(bytes, c);
    EXPECT_EQ(9, c.Language);
}

TEST(ValueLines, LabelsMatchExactlyAndInTableOrder) {
    TestRecord r{};
    EXPECT_EQ(1, KsStoreValueLine(r, "SETPNT : 500"));
    EXPECT_EQ(1, KsStoreValueLine(r, "B CCA  : 450"));
    EXPECT_EQ(1, KsStoreValueLine(r, "INFO 3 : Garage Nord"));
    EXPECT_EQ(1, KsStoreValueLine(r, "TCODE  : 3E225891"));
    EXPECT_EQ(1, KsStoreValueLine(r, "SER #  : 77"));
    EXPECT_EQ(1, KsStoreValueLine(r, "VER.   : 2.1"));
    EXPECT_EQ(500, r.SetPoint);
    EXPECT_EQ(450, r.BCca);
    EXPECT_STREQ("Garage Nord", r.Info[3]);
    EXPECT_STREQ("3E225891", r.TCode);
    EXPECT_EQ(77, r.SerNo);
    EXPECT_STREQ("2.1", r.Ver);

    // One blank fewer before the colon, other case, or a short line: not a value line.
    EXPECT_EQ(0, KsStoreValueLine(r, "B CCA : 999"));
    EXPECT_EQ(0, KsStoreValueLine(r, "setpnt : 999"));
    EXPECT_EQ(0, KsStoreValueLine(r, "SETPNT :"));
    EXPECT_EQ(0, KsStoreValueLine(r, ""));
    EXPECT_EQ(450, r.BCca);
    EXPECT_EQ(500, r.SetPoint);

    // A label that comes twice overwrites; a bare label stores an empty value.
    EXPECT_EQ(1, KsStoreValueLine(r, "SETPNT : 610"));
    EXPECT_EQ(610, r.SetPoint);
    EXPECT_EQ(1, KsStoreValueLine(r, "TCODE  : "));
    EXPECT_STREQ("", r.TCode);
}

TEST(ValueLines, LongValuesAreCutToTheirField) {
    TestRecord r{};
    std::memset(&r, 0x55, sizeof r);
    const TestRecord before = r;
    const std::string longText(300, 'Z');
    KsStoreValueLine(r, ("INFO 0 : " + longText).c_str());
    KsStoreValueLine(r, ("JIS No : " + longText).c_str());
    KsStoreValueLine(r, ("VER.   : " + longText).c_str());
    KsStoreValueLine(r, ("CCODE  : " + longText).c_str());
    EXPECT_EQ(std::string(16, 'Z'), r.Info[0]);
    EXPECT_EQ(std::string(23, 'Z'), r.JisNo);
    EXPECT_EQ(std::string(17, 'Z'), r.Ver);
    EXPECT_EQ(std::string(16, 'Z'), r.CCode);
    // The neighbours of the cut fields are untouched.
    EXPECT_EQ(0, std::memcmp(r.Info[1], before.Info[1], sizeof r.Info[1]));
    EXPECT_EQ(r.System, before.System);
    EXPECT_EQ(r.TComp, before.TComp);
    EXPECT_EQ(0, std::memcmp(&r.BVolt, &before.BVolt, sizeof r.BVolt));
}

namespace {

// Whether the text is whole UTF-8: no character cut short, no byte out of place.
bool IsWholeUtf8(const std::string &text) {
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        if ((lead >= 0x80 && lead < 0xC2) || i + length > text.size()) return false;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        i += length;
    }
    return true;
}

std::string Repeated(const std::string &unit, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i)
        text += unit;
    return text;
}

const std::string kUmlaut = "\xC3\x84";          // two bytes
const std::string kEuro = "\xE2\x82\xAC";        // three bytes
const std::string kBattery = "\xF0\x9F\x94\x8B"; // four bytes

} // namespace

TEST(ValueLines, TextsAreCutBetweenCharactersNeverInsideOne) {
    // "A" and eight two-byte letters are 17 bytes for 16: seven letters stay, not seven and a half.
    TestRecord r{};
    KsStoreValueLine(r, ("INFO 1 : A" + Repeated(kUmlaut, 8)).c_str());
    EXPECT_EQ("A" + Repeated(kUmlaut, 7), r.Info[1]);

    // Every text field, characters of every width, the cut at every place inside them: as many
    // whole characters as fit.
    struct Field {
        const char *label;
        const char *(*text)(const TestRecord &);
        size_t room;
    } const fields[] = {
        {"INFO 0 : ", [](const TestRecord &t) -> const char * { return t.Info[0]; }, 16},
        {"LOGO 1 : ", [](const TestRecord &t) -> const char * { return t.Logo1; }, 16},
        {"TCODE  : ", [](const TestRecord &t) -> const char * { return t.TCode; }, 16},
        {"JIS No : ", [](const TestRecord &t) -> const char * { return t.JisNo; }, 23},
        {"VER.   : ", [](const TestRecord &t) -> const char * { return t.Ver; }, 17},
    };
    for (const Field &field : fields)
        for (const std::string &unit : {kUmlaut, kEuro, kBattery})
            for (size_t ascii = 0; ascii < unit.size(); ++ascii) {
                const std::string text = std::string(ascii, 'x') + Repeated(unit, 30);
                TestRecord t{};
                KsStoreValueLine(t, (field.label + text).c_str());
                const std::string expected =
                    std::string(ascii, 'x') + Repeated(unit, (field.room - ascii) / unit.size());
                EXPECT_EQ(expected, field.text(t)) << field.label << unit.size() << " " << ascii;
                EXPECT_TRUE(IsWholeUtf8(field.text(t)));
            }

    // A text that fits exactly is whole; bytes of a single-byte code page are cut as before.
    char info[KS_INFO_WIDTH];
    KsCopyField(info, Repeated(kUmlaut, 8).c_str());
    EXPECT_EQ(Repeated(kUmlaut, 8), info);
    KsCopyField(info, std::string(20, '\xC4').c_str());
    EXPECT_EQ(std::string(16, '\xC4'), info);
    char path[KS_PATH_WIDTH];
    KsCopyField(path, ("/prog/" + Repeated(kEuro, 100)).c_str());
    EXPECT_EQ("/prog/" + Repeated(kEuro, 84), path);
}

TEST(SettingsRecord, AFieldWithoutTerminatorEndsOnAWholeCharacter) {
    unsigned char bytes[KS_SETTINGS_SIZE] = {};
    const std::string line = "A" + Repeated(kUmlaut, 8); // all 17 bytes, no terminator
    std::memcpy(bytes + 17, line.data(), 17);
    const std::string path = "/p" + Repeated(kBattery, 70); // beyond the 260 bytes
    std::memcpy(bytes + 372, path.data(), KS_PATH_WIDTH);
    HostConfigRecord c{};
    HostConfigFromBytes(bytes, c);
    EXPECT_EQ("A" + Repeated(kUmlaut, 7), c.InfoLines[1]);
    EXPECT_EQ("/p" + Repeated(kBattery, 64), c.Logo1Path);
    // The bytes after the new terminator are kept as read.
    EXPECT_EQ('\x84', c.InfoLines[1][16]);
}

TEST(ValueLines, StopLineNeedsItsFinalBlank) {
    EXPECT_EQ(1, KsIsStopLine("STOP   : "));
    EXPECT_EQ(1, KsIsStopLine("STOP   : anything"));
    EXPECT_EQ(0, KsIsStopLine("STOP   :"));
    EXPECT_EQ(0, KsIsStopLine("STOP  : x"));
    EXPECT_EQ(0, KsIsStopLine(" STOP   : "));
}

TEST(Conversions, IntegersFollowTheTestersRules) {
    EXPECT_EQ(3, KsAtoi("3x"));
    EXPECT_EQ(0, KsAtoi("x3"));
    EXPECT_EQ(0, KsAtoi(""));
    EXPECT_EQ(-42, KsAtoi("  -42 A"));
    EXPECT_EQ(17, KsAtoi("+17"));
    EXPECT_EQ(0, KsAtoi("- 5"));
    EXPECT_EQ(2147483647, KsAtoi("99999999999999999999"));
    EXPECT_EQ(-2147483647 - 1, KsAtoi("-2147483648"));
    EXPECT_EQ(-2147483647 - 1, KsAtoi("-99999999999"));
}

TEST(Conversions, VoltageReadsACommaAsTheDecimalSeparatorWhereverItStands) {
    // Exactly the value the text names, as the same text with a point gives it.
    const std::pair<const char *, double> cases[] = {
        {"9,50", 9.50},   {"6,35", 6.35},   {"12,6", 12.6}, {"12,60", 12.60}, {"12,05", 12.05},
        {"1,5", 1.5},     {"12,", 12.0},    {",5", 0.5},    {"-3,25", -3.25}, {" 11,9 V", 11.9},
        {"12.60", 12.60}, {"12.05", 12.05}, {"12", 12.0},   {" -3.5", -3.5},  {"12.5,3", 12.5},
        {"x12", 0.0},     {"nan", 0.0},     {"inf", 0.0},   {"", 0.0},        {",", 0.0},
    };
    for (const auto &[text, volts] : cases)
        EXPECT_EQ(volts, KsConvertVolt(text)) << text;
}

TEST(Conversions, VoltageOutOfTheDoubleRange) {
    // Below the smallest double reads as 0, beyond the largest as the largest; subnormals and
    // the extremes that are doubles read as themselves.
    EXPECT_EQ(0.0, KsConvertVolt("1e-400"));
    EXPECT_EQ(0.0, KsConvertVolt("-1e-400"));
    EXPECT_EQ(0.0, KsConvertVolt("0,0000001e-330"));
    EXPECT_EQ(std::numeric_limits<double>::max(), KsConvertVolt("1e400"));
    EXPECT_EQ(-std::numeric_limits<double>::max(), KsConvertVolt("-1e400"));
    EXPECT_EQ(std::numeric_limits<double>::max(),
              KsConvertVolt(("1" + std::string(320, '0')).c_str()));
    EXPECT_EQ(5e-324, KsConvertVolt("5e-324"));
    EXPECT_EQ(1e300, KsConvertVolt("1e300"));
}

TEST(Conversions, VoltageIgnoresTheProcessLocale) {
    // A locale with a decimal comma, compiled into the test's folder when the system has none.
    const ks_test::TempDir folder;
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    bool switched = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    if (!switched && ks_test::compileLocale(folder.path(), "de_DE")) {
        setenv("LOCPATH", folder.path().c_str(), 1);
        switched = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
        unsetenv("LOCPATH");
    }
    if (!switched) GTEST_SKIP() << "no locale with a decimal comma available";
    const double withPoint = KsConvertVolt("12.45");
    const double withComma = KsConvertVolt("9,45");
    const double tiny = KsConvertVolt("1.5e-400");
    const double huge = KsConvertVolt("1.5e400");
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(12.45, withPoint);
    EXPECT_EQ(9.45, withComma);
    EXPECT_EQ(0.0, tiny);
    EXPECT_EQ(std::numeric_limits<double>::max(), huge);
}

TEST(TestCodes, WorkedExamplesGiveTheTablesValues) {
    struct Example {
        const char *typed;
        int setPoint, bCca;
        double bVolt;
        int bRslt, system, tComp, inVehicle, soc;
        const char *shown;
    };
    const Example examples[] = {
        {"3E225891", 500, 450, 12.60, 1, 5, 0, 1, 3, "3E22 5891"},
        {"3e22 5891", 500, 450, 12.60, 1, 5, 0, 1, 3, "3E22 5891"},
        {"36425C81", 500, 700, 12.00, 1, 5, 0, 1, 1, "3642 5C81"},
        {"3E225890", 500, 450, 12.60, 0, 5, 0, 1, 0, "3E22 5890"},
        {"3E225893", 500, 450, 12.60, 3, 5, 0, 1, 5, "3E22 5893"},
    };
    for (const auto &e : examples) {
        SCOPED_TRACE(e.typed);
        KsTestCode c{};
        ASSERT_EQ(KS_TESTCODE_OK, KsDecodeTestCode(e.typed, &c));
        EXPECT_EQ(e.setPoint, c.SetPoint);
        EXPECT_EQ(e.bCca, c.BCca);
        EXPECT_DOUBLE_EQ(e.bVolt, c.BVolt);
        EXPECT_EQ(e.bRslt, c.BRslt);
        EXPECT_EQ(e.system, c.System);
        EXPECT_EQ(e.tComp, c.TComp);
        EXPECT_EQ(e.inVehicle, c.InVehicle);
        EXPECT_EQ(e.soc, c.Soc);
        EXPECT_STREQ(e.shown, c.shown);
    }
}

TEST(TestCodes, FieldsUseEveryBitOfTheirSymbols) {
    KsTestCode c{};
    // s5 = 'E' (13 = 1101b): bit 0 system 5, bit 1 no compensation, bit 2 in vehicle, bit 3 the
    // lowest CCA bit; s8 = 'G' (15): only bits 2..0 make the result.
    ASSERT_EQ(KS_TESTCODE_OK, KsDecodeTestCode("GGGGEGGG", &c));
    EXPECT_EQ(2550, c.SetPoint);
    EXPECT_EQ(5 * (32 * 15 + 2 * 15 + 1), c.BCca);
    EXPECT_EQ(5, c.System);
    EXPECT_EQ(0, c.TComp);
    EXPECT_EQ(1, c.InVehicle);
    EXPECT_DOUBLE_EQ(17.75, c.BVolt);
    EXPECT_EQ(7, c.BRslt);
    ASSERT_EQ(KS_TESTCODE_OK, KsDecodeTestCode("00002000", &c));
    EXPECT_EQ(4, c.System);
    EXPECT_EQ(1, c.TComp);
    EXPECT_EQ(0, c.InVehicle);
    EXPECT_EQ(0, c.BCca);
    EXPECT_DOUBLE_EQ(5.0, c.BVolt);
    EXPECT_EQ(0, c.SetPoint);
}

TEST(TestCodes, InvalidCodesAreRefusedAndLeaveTheResultAlone) {
    KsTestCode c{};
    c.SetPoint = 1234;
    EXPECT_EQ(KS_TESTCODE_BAD_SYMBOL, KsDecodeTestCode("3E22589D", &c));
    EXPECT_EQ(KS_TESTCODE_BAD_SYMBOL, KsDecodeTestCode("3e2d5891", &c));
    EXPECT_EQ(KS_TESTCODE_BAD_SYMBOL, KsDecodeTestCode("3E22 58H1", &c));
    EXPECT_EQ(KS_TESTCODE_BAD_LENGTH, KsDecodeTestCode("3E2 25891", &c));  // blank after the 3rd
    EXPECT_EQ(KS_TESTCODE_BAD_LENGTH, KsDecodeTestCode("3E225 891", &c));  // blank after the 5th
    EXPECT_EQ(KS_TESTCODE_BAD_LENGTH, KsDecodeTestCode("3E22589", &c));    // 7
    EXPECT_EQ(KS_TESTCODE_BAD_LENGTH, KsDecodeTestCode("3E2258910A", &c)); // 10
    EXPECT_EQ(KS_TESTCODE_BAD_LENGTH, KsDecodeTestCode("3E22  5891", &c));
    EXPECT_EQ(KS_TESTCODE_BAD_LENGTH, KsDecodeTestCode("", &c));
    EXPECT_EQ(KS_TESTCODE_BAD_SYMBOL, KsDecodeTestCode("3E22 589 ", &c));  // blank as a symbol
    EXPECT_EQ(KS_TESTCODE_TOO_LONG, KsDecodeTestCode("3E22 5891 00", &c)); // 12
    EXPECT_EQ(KS_TESTCODE_TOO_LONG, KsDecodeTestCode(std::string(400, '1').c_str(), &c));
    EXPECT_EQ(1234, c.SetPoint);
}

TEST(TestCodes, StateOfChargeBoundaries) {
    KsTestCode c{};
    // Voltage byte 148 (s7 = 9, s6 = 4): exactly 12.40 V, which counts as at least 12.4.
    ASSERT_EQ(KS_TESTCODE_OK, KsDecodeTestCode("3E22 5490", &c));
    EXPECT_EQ(12.4, c.BVolt);
    EXPECT_EQ(0, c.Soc);
    // 400 CCA against 500: ratio exactly 80 gives class 4.
    EXPECT_EQ(4, KsStateOfCharge(1, 12.6, 400, 500));
    EXPECT_EQ(4, KsStateOfCharge(0, 12.0, 400, 500));
    // Below 12.4 V p = ratio - 80: p 25 is class 3, 26 class 2, 49 class 2, 50 class 1.
    EXPECT_EQ(3, KsStateOfCharge(1, 12.0, 525, 500));
    EXPECT_EQ(2, KsStateOfCharge(1, 12.0, 530, 500));
    EXPECT_EQ(2, KsStateOfCharge(1, 12.0, 645, 500));
    EXPECT_EQ(1, KsStateOfCharge(1, 12.0, 650, 500));
    // At 12.4 V and above p = 75 (ratio - 80) / 40, truncated: ratio 94 gives 26.25 -> class 2.
    EXPECT_EQ(3, KsStateOfCharge(1, 12.4, 465, 500)); // 93 -> 24.375
    EXPECT_EQ(2, KsStateOfCharge(1, 12.4, 470, 500)); // 94 -> 26.25
    EXPECT_EQ(1, KsStateOfCharge(2, 12.7, 1000, 500));
    // Rules 1 and 2 come first; results 3 and above are class 5 whatever the ratio.
    EXPECT_EQ(5, KsStateOfCharge(3, 12.0, 0, 0));
    EXPECT_EQ(5, KsStateOfCharge(7, 13.0, 2555, 10));
    EXPECT_EQ(0, KsStateOfCharge(0, 12.4, 0, 0));
}

TEST(TestCodes, SetPointZeroHasNoMeasurableCapacity) {
    KsTestCode c{};
    // s1 = s4 = 0: no set point. Result 1 at 12.6 V: class 4, never a division by zero.
    ASSERT_EQ(KS_TESTCODE_OK, KsDecodeTestCode("0E20 5891", &c));
    EXPECT_EQ(0, c.SetPoint);
    EXPECT_EQ(4, c.Soc);
    ASSERT_EQ(KS_TESTCODE_OK, KsDecodeTestCode("0E20 5890", &c)); // rule 2 still applies
    EXPECT_EQ(0, c.Soc);
    ASSERT_EQ(KS_TESTCODE_OK, KsDecodeTestCode("0E20 5893", &c)); // rule 1 still applies
    EXPECT_EQ(5, c.Soc);
}
