// Typed values: strict integer syntax, doubles, booleans, data text, puts with duplicate
// checking, removing and copying.
#include "ini/ini.h"
#include "tests/ini/ini_test_support.h"
#include "tests/support/locale.h"
#include "toolbox/core/toolbox.h"

#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <string>

using namespace ini_test;

namespace {

struct IniDeleter {
    void operator()(IniObjectRecord *ini) const { Ini_Dispose(ini); }
};
using IniPtr = std::unique_ptr<IniObjectRecord, IniDeleter>;

TEST(IniValues, StrictIntegerSyntax) {
    struct Case {
        const char *text;
        int intOk;
        int intValue;
        int uintOk;
        unsigned uintValue;
    } cases[] = {
        {"0", 1, 0, 1, 0},
        {" \t+17 \n", 1, 17, 1, 17},
        {"-5", 1, -5, 0, 0},
        {"-0", 1, 0, 0, 0},
        {"2147483647", 1, 2147483647, 1, 2147483647u},
        {"2147483648", 0, 0, 1, 2147483648u},
        {"-2147483648", 1, INT32_MIN, 0, 0},
        {"-2147483649", 0, 0, 0, 0},
        {"4294967295", 0, 0, 1, 4294967295u},
        {"4294967296", 0, 0, 0, 0},
        {"4294967300", 0, 0, 0, 0},
        {"42949672950", 0, 0, 0, 0},
        {"000000000000004294967295", 0, 0, 1, 4294967295u},
        {"1 2", 0, 0, 0, 0},
        {"- 5", 0, 0, 0, 0},
        {"+-5", 0, 0, 0, 0},
        {"+", 0, 0, 0, 0},
        {"", 0, 0, 0, 0},
        {"12a", 0, 0, 0, 0},
        {"0x10", 0, 0, 0, 0},
        {"1.0", 0, 0, 0, 0},
    };
    for (const auto &c : cases) {
        int i = 1234;
        unsigned u = 1234;
        EXPECT_EQ(StrToInt(c.text, &i), c.intOk) << c.text;
        EXPECT_EQ(i, c.intOk ? c.intValue : 1234) << c.text;
        EXPECT_EQ(StrToUInt(c.text, &u), c.uintOk) << c.text;
        EXPECT_EQ(u, c.uintOk ? c.uintValue : 1234u) << c.text;
    }
}

TEST(IniValues, TypedPutsAndGetters) {
    IniPtr ini(Ini_New(0));
    Ini_PutInt(ini.get(), "T", "x", -5);
    Ini_PutUInt(ini.get(), "T", "u", 4294967295u);
    Ini_PutDouble(ini.get(), "T", "d", 0.1);
    Ini_PutDouble(ini.get(), "T", "third", 1.0 / 3.0);
    Ini_PutBoolean(ini.get(), "T", "b", 7);
    EXPECT_EQ(WrittenText(ini.get()), "[T]\nx = -5\nu = 4294967295\nd = 0.1\n"
                                      "third = 0.3333333333333333\nb = True\n\n");
    int i = 0;
    unsigned u = 0;
    double d = 0;
    int b = 0;
    EXPECT_EQ(Ini_GetInt(ini.get(), "t", "X", &i), 1);
    EXPECT_EQ(i, -5);
    EXPECT_EQ(Ini_GetUInt(ini.get(), "T", "u", &u), 1);
    EXPECT_EQ(u, 4294967295u);
    EXPECT_EQ(Ini_GetDouble(ini.get(), "T", "third", &d), 1);
    EXPECT_EQ(d, 1.0 / 3.0); // 16 digits restore this double exactly
    EXPECT_EQ(Ini_GetBoolean(ini.get(), "T", "b", &b), 1);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(Ini_GetUInt(ini.get(), "T", "x", &u), ToolErr_InvalidUIntNumber);
    EXPECT_EQ(u, 4294967295u);
}

TEST(IniValues, GetterVerdictsOnStoredTexts) {
    IniPtr ini(Ini_New(0));
    ASSERT_EQ(ReadText(ini.get(), "[S]\nblank = \"   \"\ninf = inf\npinf = +INF\nminf = -inf\n"
                                  "bad = 1.5x\nhuge = 1e999\nt = TRUE\nf = false\nyes = yes\n"
                                  "inner = 1 2\nspaced = \" 12 \"\n"),
              0);
    int i = 99;
    unsigned u = 99;
    double d = 99;
    int b = 99;
    // A blank value is "no value": every typed getter returns 0 and leaves its destination.
    EXPECT_EQ(Ini_GetInt(ini.get(), "S", "blank", &i), 0);
    EXPECT_EQ(Ini_GetUInt(ini.get(), "S", "blank", &u), 0);
    EXPECT_EQ(Ini_GetDouble(ini.get(), "S", "blank", &d), 0);
    EXPECT_EQ(Ini_GetBoolean(ini.get(), "S", "blank", &b), 0);
    EXPECT_EQ(Ini_GetInt(ini.get(), "S", "missing", &i), 0);
    EXPECT_EQ(i, 99);
    EXPECT_EQ(u, 99u);
    EXPECT_EQ(d, 99);
    EXPECT_EQ(b, 99);

    EXPECT_EQ(Ini_GetDouble(ini.get(), "S", "inf", &d), 1);
    EXPECT_EQ(d, INFINITY);
    EXPECT_EQ(Ini_GetDouble(ini.get(), "S", "pinf", &d), 1);
    EXPECT_EQ(d, INFINITY);
    EXPECT_EQ(Ini_GetDouble(ini.get(), "S", "minf", &d), 1);
    EXPECT_EQ(d, -INFINITY);
    EXPECT_EQ(Ini_GetDouble(ini.get(), "S", "bad", &d), ToolErr_InvalidDoubleNumber);
    EXPECT_EQ(d, 1.5); // what strtod produced
    EXPECT_EQ(Ini_GetDouble(ini.get(), "S", "huge", &d), ToolErr_InvalidDoubleNumber);
    EXPECT_EQ(Ini_GetBoolean(ini.get(), "S", "t", &b), 1);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(Ini_GetBoolean(ini.get(), "S", "f", &b), 1);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(Ini_GetBoolean(ini.get(), "S", "yes", &b), ToolErr_InvalidBooleanValue);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(Ini_GetInt(ini.get(), "S", "inner", &i), ToolErr_InvalidIntNumber);
    EXPECT_EQ(Ini_GetInt(ini.get(), "S", "spaced", &i), 1);
    EXPECT_EQ(i, 12);
}

TEST(IniValues, DoublesAreWrittenShortestAndReadBackExactly) {
    IniPtr ini(Ini_New(0));
    const struct {
        double value;
        const char *text;
    } cases[] = {
        {0.1, "0.1"},
        {0.1 + 0.2, "0.30000000000000004"}, // "%.16g" lost the last digit: 0.3
        {123456789012345678.0, "123456789012345680"},
        {1e23, "1e+23"},
        {5e-324, "5e-324"},                                  // the smallest subnormal
        {2.2250738585072009e-308, "2.225073858507201e-308"}, // the largest subnormal
        {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
        {-0.0, "-0"},
        {-2.5, "-2.5"},
        {12.6, "12.6"},
        {INFINITY, "inf"},
        {-INFINITY, "-inf"},
    };
    for (const auto &c : cases)
        ASSERT_EQ(Ini_PutDouble(ini.get(), "S", c.text, c.value), 0) << c.text;
    for (const auto &c : cases) {
        EXPECT_EQ(RawValue(ini.get(), "S", c.text), c.text);
        double read = 0;
        EXPECT_EQ(Ini_GetDouble(ini.get(), "S", c.text, &read), 1) << c.text;
        EXPECT_EQ(std::bit_cast<uint64_t>(read), std::bit_cast<uint64_t>(c.value)) << c.text;
    }
    // Subnormals written by others read back too; what is out of range stays invalid.
    ASSERT_EQ(ReadText(ini.get(), "[T]\ntiny = 4.9406564584124654e-324\nsub = 1e-310\n"
                                  "zero = 1e-400\nhuge = 1e400\n"),
              0);
    double d = 0;
    EXPECT_EQ(Ini_GetDouble(ini.get(), "T", "tiny", &d), 1);
    EXPECT_EQ(d, 5e-324);
    EXPECT_EQ(Ini_GetDouble(ini.get(), "T", "sub", &d), 1);
    EXPECT_EQ(d, 1e-310);
    EXPECT_EQ(Ini_GetDouble(ini.get(), "T", "zero", &d), ToolErr_InvalidDoubleNumber);
    EXPECT_EQ(Ini_GetDouble(ini.get(), "T", "huge", &d), ToolErr_InvalidDoubleNumber);
}

TEST(IniValues, RandomDoublesOfTheWholeRangeSurviveAFileBitForBit) {
    // Every finite double (random bit patterns reach all exponents, subnormals included) and
    // the decimal-looking ones people store, written to a file and read back.
    std::mt19937_64 random(20260517);
    std::vector<double> values;
    while (values.size() < 20000) {
        double value = std::bit_cast<double>(random());
        if (values.size() % 4 == 0) // short decimals: a few digits and a power of ten
            value = static_cast<double>(random() % 100000) *
                    std::pow(10.0, static_cast<int>(random() % 41) - 20);
        if (values.size() % 8 == 1) // subnormals, beyond what random bits give often
            value = std::bit_cast<double>(random() & 0x800FFFFFFFFFFFFFull);
        if (std::isfinite(value)) values.push_back(value);
    }
    IniPtr ini(Ini_New(0));
    Ini_SetDuplicateChecking(ini.get(), 0); // the names are all new: no search for old ones
    for (size_t i = 0; i < values.size(); ++i)
        ASSERT_EQ(Ini_PutDouble(ini.get(), "D", ("d" + std::to_string(i)).c_str(), values[i]), 0);
    TempDir dir;
    const std::string path = dir.file("doubles.ini");
    ASSERT_EQ(Ini_WriteToFile(ini.get(), path.c_str()), 0);
    IniPtr again(Ini_New(0));
    ASSERT_EQ(Ini_ReadFromFile(again.get(), path.c_str()), 0);
    ASSERT_EQ(Ini_SortInternally(again.get()), 0);
    for (size_t i = 0; i < values.size(); ++i) {
        const std::string name = "d" + std::to_string(i);
        double read = 0;
        ASSERT_EQ(Ini_GetDouble(again.get(), "D", name.c_str(), &read), 1)
            << RawValue(again.get(), "D", name.c_str());
        ASSERT_EQ(std::bit_cast<uint64_t>(read), std::bit_cast<uint64_t>(values[i]))
            << RawValue(again.get(), "D", name.c_str());
    }
}

TEST(IniValues, NumbersIgnoreTheProcessLocale) {
    // A locale with a decimal comma must change neither the written text nor the reading.
    // The locale is compiled into the test's own folder when the system has none.
    TempDir dir;
    std::string saved = setlocale(LC_NUMERIC, nullptr);
    if (!setlocale(LC_NUMERIC, "de_DE.UTF-8")) {
        if (!ks_test::compileLocale(dir.path(), "de_DE"))
            GTEST_SKIP() << "no locale with a decimal comma available";
        setenv("LOCPATH", dir.path().c_str(), 1);
        const char *set = setlocale(LC_NUMERIC, "de_DE.UTF-8");
        unsetenv("LOCPATH");
        if (!set) GTEST_SKIP() << "no locale with a decimal comma available";
    }
    ASSERT_STREQ(localeconv()->decimal_point, ",");
    IniPtr ini(Ini_New(0));
    Ini_PutDouble(ini.get(), "S", "d", 2.5);
    double d = 0;
    int result = Ini_GetDouble(ini.get(), "S", "d", &d);
    std::string raw = RawValue(ini.get(), "S", "d");
    setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(raw, "2.5");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(d, 2.5);
}

TEST(IniValues, DataText) {
    const unsigned char abc[] = {'a', 'b', 'c'};
    char *text = nullptr;
    ASSERT_EQ(ConvertDataToText(abc, 3, &text), 1);
    EXPECT_STREQ(text, "EQRS");
    free(text);
    const size_t lengths[][2] = {{0, 0}, {1, 2}, {2, 3}, {3, 4}, {4, 6}, {5, 7}, {6, 8}};
    const unsigned char bytes[6] = {0xFF, 0x00, 0x80, 0x7F, 0xC0, 0x3F};
    for (const auto &pair : lengths) {
        ASSERT_EQ(ConvertDataToText(bytes, pair[0], &text), 1);
        EXPECT_EQ(strlen(text), pair[1]);
        for (const char *p = text; *p; ++p)
            EXPECT_TRUE(*p >= '0' && *p <= 'o') << static_cast<int>(*p);
        size_t count = 99;
        unsigned char *data = nullptr;
        ASSERT_EQ(ConvertTextToData(text, &count, &data), 1);
        ASSERT_EQ(count, pair[0]);
        if (count > 0) {
            EXPECT_EQ(memcmp(data, bytes, count), 0);
        }
        free(data);
        free(text);
    }
    // A 5-character text gives 3 bytes (the lone fifth character is ignored); 0 bytes leave
    // the block untouched.
    size_t count = 0;
    unsigned char *data = nullptr;
    ASSERT_EQ(ConvertTextToData("EQRSx", &count, &data), 1);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(memcmp(data, "abc", 3), 0);
    free(data);
    unsigned char marker = 0;
    data = &marker;
    ASSERT_EQ(ConvertTextToData("E", &count, &data), 1);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(data, &marker);
}

TEST(IniValues, DataItemsRoundTripRandomBytes) {
    std::mt19937 random(20261207);
    IniPtr ini(Ini_New(0));
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<unsigned char> bytes(random() % 400);
        for (auto &byte : bytes)
            byte = static_cast<unsigned char>(random());
        ASSERT_EQ(Ini_PutData(ini.get(), "D", "blob", bytes.data(), bytes.size()), 0);
        unsigned char *data = nullptr;
        size_t size = 12345;
        ASSERT_EQ(Ini_GetData(ini.get(), "D", "blob", &data, &size), 1);
        ASSERT_EQ(size, bytes.size());
        EXPECT_EQ(bytes.empty() ? data == nullptr : memcmp(data, bytes.data(), size) == 0, true);
        free(data);
    }
    unsigned char *data = reinterpret_cast<unsigned char *>(1);
    size_t size = 5;
    EXPECT_EQ(Ini_GetData(ini.get(), "D", "none", &data, &size), 0);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(size, 0u);
}

TEST(IniValues, DuplicateCheckingReplacesInPlace) {
    IniPtr ini(Ini_New(0));
    ASSERT_EQ(ReadText(ini.get(), "[S]\na = 1\nK = 2\nb = 3\nk = 4\n"), 0);
    EXPECT_EQ(Ini_SetDuplicateChecking(ini.get(), 5), 1);
    Ini_PutInt(ini.get(), "S", "  k  ", 9); // the name is trimmed; both k go, the first place kept
    EXPECT_EQ(Dump(ini.get()), "[S]\na=1\nk=9\nb=3\n");
    EXPECT_EQ(Ini_SetDuplicateChecking(ini.get(), 0), 1);
    Ini_PutInt(ini.get(), "S", "a", 7);
    EXPECT_EQ(Dump(ini.get()), "[S]\na=1\nk=9\nb=3\na=7\n");
    EXPECT_EQ(RawValue(ini.get(), "S", "A"), "1");
    EXPECT_EQ(Ini_SetDuplicateChecking(ini.get(), 1), 0);
    // A put into a new section names it as given, untrimmed.
    Ini_PutRawString(ini.get(), " N ", "x", nullptr);
    EXPECT_EQ(Ini_SectionExists(ini.get(), "N"), 0);
    EXPECT_EQ(RawValue(ini.get(), " n ", "x"), "");
}

TEST(IniValues, RemovingSectionsAndItems) {
    IniPtr ini(Ini_New(0));
    ASSERT_EQ(ReadText(ini.get(), "[A]\nx = 1\nX = 2\ny = 3\n[B]\nz = 4\n"), 0);
    EXPECT_EQ(RawValue(ini.get(), "A", "y"), "3"); // A is now the cached section
    EXPECT_EQ(Ini_RemoveItem(ini.get(), "a", "x"), 1);
    EXPECT_EQ(Ini_RemoveItem(ini.get(), "a", "x"), 0);
    EXPECT_EQ(Ini_RemoveItem(ini.get(), "nope", "x"), 0);
    EXPECT_EQ(Dump(ini.get()), "[A]\ny=3\n[B]\nz=4\n");
    EXPECT_EQ(Ini_RemoveSection(ini.get(), "A"), 1);
    // The cache must not keep the freed section.
    EXPECT_EQ(Ini_SectionExists(ini.get(), "A"), 0);
    EXPECT_EQ(Ini_RemoveSection(ini.get(), "A"), 0);
    EXPECT_EQ(Dump(ini.get()), "[B]\nz=4\n");
}

TEST(IniValues, CopySection) {
    IniPtr source(Ini_New(0));
    ASSERT_EQ(ReadText(source.get(), "[A]\nk = 1\nk = 2\nm = \"q\"\n[B]\nb = 1\n[A]\nlate = 5\n"),
              0);
    IniPtr destination(Ini_New(0));
    ASSERT_EQ(ReadText(destination.get(), "[a]\nold = 1\n[C]\nc = 1\n"), 0);
    EXPECT_EQ(Ini_CopySection(source.get(), "a", destination.get(), 0), 0);
    // Equal names: the value a lookup finds (the first) wins; with duplicate checking the
    // destination keeps one k. The item only the second [A] holds keeps its own value.
    EXPECT_EQ(Dump(destination.get()), "[a]\nold=1\nk=1\nm=q\nlate=5\n[C]\nc=1\n");

    IniPtr all(Ini_New(0));
    ASSERT_EQ(ReadText(all.get(), "[B]\nold = 1\n[D]\nd = 1\n"), 0);
    EXPECT_EQ(Ini_CopySection(source.get(), nullptr, all.get(), 1), 0);
    EXPECT_EQ(Dump(all.get()), "[D]\nd=1\n[B]\nb=1\n[A]\nlate=5\n");
    EXPECT_EQ(Ini_CopySection(all.get(), nullptr, all.get(), 1), 0); // same object: nothing
    EXPECT_EQ(Dump(all.get()), "[D]\nd=1\n[B]\nb=1\n[A]\nlate=5\n");
}

} // namespace
