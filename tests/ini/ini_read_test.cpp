// Reading and lookup: classification, quoting, pieces, filters, sorting, getters, errors.
#include "ini/ini.h"
#include "tests/ini/ini_test_support.h"
#include "toolbox/core/toolbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <random>
#include <string>

using namespace ini_test;

namespace {

struct IniDeleter {
    void operator()(IniObjectRecord *ini) const { Ini_Dispose(ini); }
};
using IniPtr = std::unique_ptr<IniObjectRecord, IniDeleter>;

IniPtr Parse(const std::string &text, int sorting = 0) {
    IniPtr ini(Ini_New(sorting));
    EXPECT_EQ(ReadText(ini.get(), text), 0);
    return ini;
}

TEST(IniRead, LineClassification) {
    auto ini = Parse("orphan = dropped\n"
                     "; only a comment\n"
                     "   ;indented comment = no item\n"
                     "[ A ] B ]  \n"
                     "key = a = b\n"
                     "= x\n"
                     "key2 =\n"
                     "no separator here\n"
                     "  spaced name   =   spaced value  \n"
                     "[Next] ; comment makes it no header\n"
                     "late = still A\n"
                     "[]\n"
                     "[ unclosed\n"
                     "  [Second]\n"
                     "[x=y\n"
                     "k = v\n");
    EXPECT_EQ(Dump(ini.get()), "[A ] B]\n"
                               "key=a = b\n"
                               "spaced name=spaced value\n"
                               "late=still A\n"
                               "[Second]\n"
                               "k=v\n");
    // Only comments and blank lines: no sections, result 0.
    EXPECT_EQ(Ini_NumberOfSections(Parse("; c\n\n   \n;x\n").get()), 0);
}

TEST(IniRead, QuotedValuesKeepInnerSpaceAndEscapes) {
    auto ini = Parse("[S]\n"
                     "q = \"  x  \"\n"
                     "one = \"unbalanced\n"
                     "empty = \"\"\n"
                     "esc = a\\tb\\x41\\q\\\n");
    EXPECT_EQ(RawValue(ini.get(), "S", "q"), "  x  ");
    EXPECT_EQ(RawValue(ini.get(), "S", "one"), "\"unbalanced");
    EXPECT_EQ(RawValue(ini.get(), "S", "empty"), "");
    // a \t b \x41 \q and a final lone backslash: a, tab, b, A, q.
    EXPECT_EQ(RawValue(ini.get(), "S", "esc"), "a\\tb\\x41\\q\\");
    EXPECT_EQ(Value(ini.get(), "S", "esc"), "a\tbAq");
}

TEST(IniRead, EscapeResolution) {
    IniPtr ini(Ini_New(0));
    struct Case {
        const char *raw, *resolved;
    } cases[] = {
        {"\\n\\r\\t", "\n\r\t"},
        {"\\x4a\\x4A", "JJ"},
        {"\\x4", "x4"},
        {"\\xg1", "xg1"},
        {"\\\\\\\"", "\\\""},
        {"\\", ""},
        {"caf\xc3\xa9 \\\xc3\xa9", "caf\xc3\xa9 \xc3\xa9"},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(Ini_PutRawString(ini.get(), "S", "v", c.raw), 0);
        EXPECT_EQ(Value(ini.get(), "S", "v"), c.resolved) << c.raw;
        char *copy = nullptr;
        EXPECT_EQ(Ini_GetStringCopy(ini.get(), "S", "v", &copy), 1);
        EXPECT_STREQ(copy, c.resolved);
        free(copy);
    }
    // A long value grows the scratch buffer beyond its first 1024 bytes.
    std::string longText(5000, 'z');
    Ini_PutRawString(ini.get(), "S", "long", (longText + "\\n").c_str());
    EXPECT_EQ(Value(ini.get(), "S", "long"), longText + "\n");
}

TEST(IniRead, MultiLinePiecesAreJoined) {
    auto ini = Parse("[S]\n"
                     "Text Line0001 = \"ab\"\n"
                     "Text Line0002 = cd\n"
                     "Other Line0007 = ef\n" // joins too: base names are not compared
                     "Note Line0001 = lone\n"
                     "Split Line0001 = x\n"
                     "between = 1\n"
                     "Split Line0002 = y\n"
                     "Zero Line0 = z\n"
                     "Two Line2 = w\n"
                     "Huge Line99999999999999999999 = h\n"
                     "Lower line0001 = l\n"
                     "Line0001 = nospace\n");
    EXPECT_EQ(Dump(ini.get()), "[S]\n"
                               "Text=abcdef\n"
                               "Note=lone\n"
                               "Split=x\n"
                               "between=1\n"
                               "Split Line0002=y\n"
                               "Zero Line0=z\n"
                               "Two Line2=w\n"
                               "Huge Line99999999999999999999=h\n"
                               "Lower line0001=l\n"
                               "Line0001=nospace\n");
}

TEST(IniRead, LookupIgnoresCaseAndFindsTheFirstOfEqualNames) {
    auto ini = Parse("[Section]\nItem = 1\nitem = 2\n[SECTION]\nItem = 3\nonly = 4\n");
    EXPECT_EQ(Ini_NumberOfSections(ini.get()), 2);
    EXPECT_EQ(Ini_SectionExists(ini.get(), "section"), 1);
    EXPECT_EQ(RawValue(ini.get(), "SECTION", "ITEM"), "1");
    EXPECT_EQ(Ini_ItemExists(ini.get(), "section", "only"), 0);
    EXPECT_EQ(Ini_NumberOfItems(ini.get(), "sEcTiOn"), 2);
    EXPECT_EQ(Ini_NumberOfItems(ini.get(), "missing"), 0);
    char *name = nullptr;
    EXPECT_EQ(Ini_NthSectionName(ini.get(), 2, &name), 1);
    EXPECT_STREQ(name, "SECTION");
    EXPECT_EQ(Ini_NthSectionName(ini.get(), 3, &name), 0);
    EXPECT_EQ(name, nullptr);
    EXPECT_EQ(Ini_NthItemName(ini.get(), "Section", 2, &name), 1);
    EXPECT_STREQ(name, "item");
    EXPECT_EQ(Ini_NthItemName(ini.get(), "Section", 0, &name), 0);
    // Only letters are folded: '{' is not '[' although they differ in the same bit as a, A.
    auto other = Parse("[a{b]\nx = 1\n");
    EXPECT_EQ(Ini_SectionExists(other.get(), "A{B"), 1);
    EXPECT_EQ(Ini_SectionExists(other.get(), "A[B"), 0);
}

TEST(IniRead, LineOfLastAccessFollowsTheFileLines) {
    IniPtr ini(Ini_New(0));
    EXPECT_EQ(Ini_LineOfLastAccess(ini.get()), -1);
    ASSERT_EQ(ReadText(ini.get(), "; header\r\n\r\n[S]\r\n  \r\na = 1\r\nb = 2\r\n"), 0);
    EXPECT_EQ(Ini_ItemExists(ini.get(), "S", "b"), 1);
    EXPECT_EQ(Ini_LineOfLastAccess(ini.get()), 6);
    int value = 0;
    EXPECT_EQ(Ini_GetInt(ini.get(), "S", "a", &value), 1);
    EXPECT_EQ(Ini_LineOfLastAccess(ini.get()), 5);
    EXPECT_EQ(Ini_ItemExists(ini.get(), "S", "zzz"), 0); // a miss keeps the last line
    EXPECT_EQ(Ini_LineOfLastAccess(ini.get()), 5);
    Ini_PutInt(ini.get(), "S", "c", 3);
    EXPECT_EQ(Ini_ItemOrMultiLineItemExists(ini.get(), "S", "c"), 1);
    EXPECT_EQ(Ini_LineOfLastAccess(ini.get()), 0);
}

int RejectSkip(IniObject, void *callbackData, const char *name) {
    ++*static_cast<int *>(callbackData);
    return strcmp(name, "Skip") != 0;
}

TEST(IniRead, SectionFilterDropsRejectedSections) {
    IniPtr ini(Ini_New(0));
    int calls = 0;
    Ini_SetSectionFilter(ini.get(), RejectSkip, &calls);
    ASSERT_EQ(ReadText(ini.get(), "[Keep]\na = 1\n[Skip]\nb = 2\n[After]\nc = 3\n"), 0);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(Dump(ini.get()), "[Keep]\na=1\n[After]\nc=3\n");
}

TEST(IniRead, TokensCanBeChanged) {
    IniPtr ini(Ini_New(0));
    // Long tokens are cut to 7 bytes, never inside a UTF-8 character: "::::::\xc3\xa9" would
    // cut the two-byte character, so the separator is the six colons only.
    Ini_SetTokens(ini.get(), '<', '>', "::::::\xc3\xa9", "#");
    Ini_SetTokens(ini.get(), 0, 0, "", nullptr); // nothing given: nothing changes
    ASSERT_EQ(ReadText(ini.get(), "<S>\n# comment :::::: x\n; k ::::::\xc3\xa9 v\n"), 0);
    EXPECT_EQ(Dump(ini.get()), "[S]\n; k=\xc3\xa9 v\n");
    EXPECT_EQ(WrittenText(ini.get()), "<S>\n; k :::::: \xc3\xa9 v\n\n");
}

TEST(IniRead, SeparatorIsMatchedOnCharacterBoundariesOnly) {
    IniPtr ini(Ini_New(0));
    // The separator byte 0xA9 is also the second byte of U+00E9; only a standalone one counts.
    Ini_SetTokens(ini.get(), 0, 0, "\xa9", nullptr);
    ASSERT_EQ(ReadText(ini.get(), "[S]\ncaf\xc3\xa9 \xa9 value\n"), 0);
    EXPECT_EQ(RawValue(ini.get(), "S", "caf\xc3\xa9"), "value");
}

TEST(IniRead, BufferGettersCutWholeCharacters) {
    auto ini = Parse("[S]\nv = abcdef\nu = a\xc3\xa9\xe2\x82\xac!\n");
    char buffer[16];
    EXPECT_EQ(Ini_GetStringIntoBuffer(ini.get(), "S", "v", buffer, 4), 1);
    EXPECT_STREQ(buffer, "abc");
    const char *expectations[] = {"",
                                  "a",
                                  "a",
                                  "a\xc3\xa9",
                                  "a\xc3\xa9",
                                  "a\xc3\xa9",
                                  "a\xc3\xa9\xe2\x82\xac",
                                  "a\xc3\xa9\xe2\x82\xac!"};
    for (size_t size = 1; size <= 8; ++size) {
        EXPECT_EQ(Ini_GetRawStringIntoBuffer(ini.get(), "S", "u", buffer, size), 1);
        EXPECT_STREQ(buffer, expectations[size - 1]) << size;
    }
    strcpy(buffer, "stale");
    EXPECT_EQ(Ini_GetStringIntoBuffer(ini.get(), "S", "missing", buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");
    char *pointer = buffer;
    EXPECT_EQ(Ini_GetPointerToString(ini.get(), "S", "missing", &pointer), 0);
    EXPECT_EQ(pointer, nullptr);
    EXPECT_EQ(Ini_GetRawStringCopy(ini.get(), "nope", "v", &pointer), 0);
    EXPECT_EQ(pointer, nullptr);
}

TEST(IniRead, SortedObjectsAndInternalSortingFindEverything) {
    const std::string text = "[b]\nz = 1\ny = 2\n[C]\nx = 3\n[a]\nw = 4\nv = 5\n";
    // Sorting on from the start: lists sorted after reading, additions in order.
    auto sorted = Parse(text, 1);
    EXPECT_EQ(Dump(sorted.get()), "[a]\nv=5\nw=4\n[b]\ny=2\nz=1\n[C]\nx=3\n");
    Ini_PutInt(sorted.get(), "b", "a", 0);
    Ini_PutInt(sorted.get(), "B2", "k", 0);
    EXPECT_EQ(Dump(sorted.get()), "[a]\nv=5\nw=4\n[b]\na=0\ny=2\nz=1\n[B2]\nk=0\n[C]\nx=3\n");
    Ini_DisableSorting(sorted.get());
    Ini_PutInt(sorted.get(), "A0", "k", 0);
    Ini_PutInt(sorted.get(), "a", "a", 0);
    EXPECT_EQ(RawValue(sorted.get(), "a0", "K"), "0");
    EXPECT_EQ(Dump(sorted.get()).substr(0, 20), "[a]\nv=5\nw=4\na=0\n[b]\n");

    // Internal sorting: list order unchanged, lookups by binary search of the copies, which
    // later puts and removals keep in step.
    auto internal = Parse(text);
    ASSERT_EQ(Ini_SortInternally(internal.get()), 0);
    EXPECT_EQ(Dump(internal.get()), Dump(Parse(text).get()));
    Ini_PutInt(internal.get(), "C", "a", 7);
    Ini_PutInt(internal.get(), "0new", "k", 8);
    Ini_RemoveSection(internal.get(), "a");
    Ini_RemoveItem(internal.get(), "b", "y");
    EXPECT_EQ(RawValue(internal.get(), "c", "A"), "7");
    EXPECT_EQ(RawValue(internal.get(), "0NEW", "k"), "8");
    EXPECT_EQ(RawValue(internal.get(), "b", "z"), "1");
    EXPECT_EQ(Ini_ItemExists(internal.get(), "b", "y"), 0);
    EXPECT_EQ(Ini_SectionExists(internal.get(), "a"), 0);
    // Reading more into an internally sorted object rebuilds the copies, joins included.
    ASSERT_EQ(ReadText(internal.get(), "[late]\nP Line0001 = 1\nP Line0002 = 2\n"), 0);
    EXPECT_EQ(RawValue(internal.get(), "LATE", "p"), "12");
    Ini_DisableInternalSorting(internal.get());
    EXPECT_EQ(RawValue(internal.get(), "late", "P"), "12");
}

TEST(IniRead, ManySectionsSortedLookups) {
    // Enough names for the binary searches to take many steps; every name must be found.
    std::string text;
    for (int i = 999; i >= 0; --i)
        text += "[Sec" + std::to_string(i * 7919 % 1000) + "]\nK" + std::to_string(i) + " = " +
                std::to_string(i) + "\n";
    for (int mode = 0; mode < 2; ++mode) {
        auto ini = Parse(text, mode);
        if (mode == 0) {
            ASSERT_EQ(Ini_SortInternally(ini.get()), 0);
        }
        for (int i = 0; i < 1000; ++i) {
            std::string section = "SEC" + std::to_string(i * 7919 % 1000);
            std::string key = "k" + std::to_string(i);
            EXPECT_EQ(RawValue(ini.get(), section.c_str(), key.c_str()), std::to_string(i));
        }
    }
}

struct ScriptedLines {
    std::vector<std::string> lines;
    size_t next = 0;
    int failCode = -42; // given after the last line
};

int ScriptedSource(void *callbackData, char *lineBuffer, int maxChars, int *endOfFile,
                   int *lineNumber) {
    auto *script = static_cast<ScriptedLines *>(callbackData);
    if (script->next >= script->lines.size()) {
        *endOfFile = script->failCode == 0;
        return script->failCode;
    }
    const std::string &line = script->lines[script->next];
    if (line == "<overrun>") {
        // A careless source: fills the whole buffer and writes no terminator.
        memcpy(lineBuffer, "k = ", 4);
        memset(lineBuffer + 4, 'v', maxChars + 1 - 4);
    } else {
        snprintf(lineBuffer, maxChars + 1, "%s", line.c_str());
    }
    *lineNumber = static_cast<int>(++script->next) * 10;
    return 0;
}

TEST(IniRead, AFailingLineSourceKeepsWhatWasRead) {
    IniPtr ini(Ini_New(0));
    ASSERT_EQ(Ini_PutInt(ini.get(), "Old", "k", 1), 0);
    ASSERT_EQ(Ini_SortInternally(ini.get()), 0);
    ScriptedLines script{{"[New]", "a = 1", "P Line0001 = x", "P Line0002 = y"}};
    EXPECT_EQ(Ini_ReadGeneric(ini.get(), ScriptedSource, &script), -42);
    // Content before the error stays, found through the rebuilt sorted copies; pieces are
    // joined only at the end of the data, so they stay apart here.
    EXPECT_EQ(RawValue(ini.get(), "new", "A"), "1");
    EXPECT_EQ(Ini_LineOfLastAccess(ini.get()), 20);
    EXPECT_EQ(RawValue(ini.get(), "new", "P Line0002"), "y");
    EXPECT_EQ(RawValue(ini.get(), "old", "k"), "1");

    // A source that writes no terminator is cut at the 255 characters it may deliver.
    ScriptedLines clean{{"[S]", "<overrun>"}, 0, 0};
    IniPtr other(Ini_New(0));
    EXPECT_EQ(Ini_ReadGeneric(other.get(), ScriptedSource, &clean), 0);
    EXPECT_EQ(RawValue(other.get(), "S", "k").size(), 255u - 4u);
}

TEST(IniRead, FromFile) {
    TempDir dir;
    IniPtr ini(Ini_New(0));
    EXPECT_EQ(Ini_ReadFromFile(ini.get(), dir.file("missing.ini").c_str()),
              ToolErr_CantOpenFileForReading);
    EXPECT_EQ(Ini_ReadFromFile(ini.get(), dir.path().c_str()), ToolErr_ErrorReadingFile);
    std::string path = dir.file("a.ini");
    writeFile(path, "\n[S]\r\n\r\nk = v\r\n");
    ASSERT_EQ(Ini_ReadFromFile(ini.get(), path.c_str()), 0);
    EXPECT_EQ(RawValue(ini.get(), "S", "k"), "v");
    // The leading LF is taken as half of a line end: "k" is on line 3, not 4.
    EXPECT_EQ(Ini_LineOfLastAccess(ini.get()), 3);
}

TEST(IniRead, AByteOrderMarkAtTheStartOfAFileIsNotText) {
    TempDir dir;
    const std::string mark = "\xEF\xBB\xBF";
    const std::string text = "[UI Language Resource File]\r\nVersion = 100\r\n[S]\r\nk = v\r\n";
    const std::string path = dir.file("marked.lng");
    writeFile(path, mark + text);
    IniPtr ini(Ini_New(0));
    ASSERT_EQ(Ini_ReadFromFile(ini.get(), path.c_str()), 0);
    EXPECT_EQ(Dump(ini.get()), "[UI Language Resource File]\nVersion=100\n[S]\nk=v\n");
    int version = 0;
    EXPECT_EQ(Ini_GetInt(ini.get(), "UI Language Resource File", "Version", &version), 1);
    EXPECT_EQ(version, 100);
    EXPECT_EQ(Ini_LineOfLastAccess(ini.get()), 2);
    // Written back without a mark.
    const std::string copy = dir.file("copy.lng");
    ASSERT_EQ(Ini_WriteToFile(ini.get(), copy.c_str()), 0);
    EXPECT_EQ(readFile(copy).substr(0, 28), "[UI Language Resource File]\r");

    // The same object as the file without the mark, whatever follows the mark; a mark
    // anywhere else is text.
    for (const std::string &rest :
         {std::string("\n[S]\nk = v\n"), std::string("k = v\n[S]\nk = w"), std::string(""),
          std::string("[S]\nk = ") + mark + "v\n", std::string(3000, ' ') + "\n[S]\nk = v\n"}) {
        writeFile(path, mark + rest);
        const std::string plainPath = dir.file("plain.ini");
        writeFile(plainPath, rest);
        IniPtr marked(Ini_New(0)), plain(Ini_New(0));
        ASSERT_EQ(Ini_ReadFromFile(marked.get(), path.c_str()), 0);
        ASSERT_EQ(Ini_ReadFromFile(plain.get(), plainPath.c_str()), 0);
        EXPECT_EQ(Dump(marked.get()), Dump(plain.get())) << rest;
        EXPECT_EQ(Ini_ItemExists(marked.get(), "S", "k"), Ini_ItemExists(plain.get(), "S", "k"));
        EXPECT_EQ(Ini_LineOfLastAccess(marked.get()), Ini_LineOfLastAccess(plain.get())) << rest;
    }
    writeFile(path, mark);
    IniPtr empty(Ini_New(0));
    EXPECT_EQ(Ini_ReadFromFile(empty.get(), path.c_str()), 0);
    EXPECT_EQ(Ini_NumberOfSections(empty.get()), 0);
}

TEST(IniRead, NullArgumentsAreRefusedNotFollowed) {
    EXPECT_EQ(Ini_ReadGeneric(nullptr, ScriptedSource, nullptr), -65);
    IniPtr ini(Ini_New(0));
    EXPECT_EQ(Ini_ReadGeneric(ini.get(), nullptr, nullptr), -65);
    EXPECT_EQ(Ini_SectionExists(ini.get(), nullptr), 0);
    EXPECT_EQ(Ini_ItemExists(nullptr, "a", "b"), 0);
    EXPECT_EQ(Ini_PutInt(ini.get(), nullptr, "k", 1), -65);
    EXPECT_EQ(Ini_PutInt(ini.get(), "s", nullptr, 1), -65);
    EXPECT_EQ(Ini_NumberOfSections(ini.get()), 0);
}

} // namespace

namespace {

// The first section of that name in list order, and the first item of that name in a section's
// list: what a lookup must find.
ini_detail::IniSection *FirstSection(IniObject ini, const std::string &name) {
    for (int s = 1; s <= ListNumItems(ini->sections); ++s) {
        auto *section = *static_cast<ini_detail::IniSection **>(ListGetPtrToItem(ini->sections, s));
        if (ini_detail::StrICmp(section->name, name.c_str()) == 0) return section;
    }
    return nullptr;
}

ini_detail::IniItem *FirstItem(const ini_detail::IniSection *section, const std::string &name) {
    for (int i = 1; section && i <= ListNumItems(section->items); ++i) {
        auto *item = *static_cast<ini_detail::IniItem **>(ListGetPtrToItem(section->items, i));
        if (ini_detail::StrICmp(ini_detail::ItemName(item), name.c_str()) == 0) return item;
    }
    return nullptr;
}

TEST(IniRead, TheLookupIndexFindsTheFirstOfEqualNames) {
    // Many sections and items whose names repeat in other letter cases: the index built by
    // Ini_SortInternally must pick the first record of each name in list order.
    std::mt19937 random(99);
    std::string text;
    const char *variants[] = {"dup", "DUP", "Dup", "dUp", "duP"};
    for (int s = 0; s < 400; ++s) {
        text += "[" +
                std::string(random() % 3 ? "S" + std::to_string(random() % 150)
                                         : variants[random() % 5]) +
                "]\n";
        for (int i = 0; i < 12; ++i)
            text += (random() % 2 ? std::string(variants[random() % 5])
                                  : "k" + std::to_string(random() % 8)) +
                    " = " + std::to_string(s * 100 + i) + "\n";
    }
    auto ini = Parse(text);
    ASSERT_EQ(Ini_SortInternally(ini.get()), 0);
    ASSERT_NE(ini->sectionIndex, nullptr);
    std::vector<std::string> names = {"dup", "DUP", "nothing", "k3", "K7", "s"};
    for (int i = 0; i < 150; ++i)
        names.push_back("s" + std::to_string(i));
    for (const auto &section : names) {
        const char *key = section.c_str();
        auto *expected = FirstSection(ini.get(), section);
        ini->lastSection = nullptr; // the cache would answer first
        ASSERT_EQ(ini_detail::FindSection(ini.get(), key), expected) << section;
        if (!expected) continue;
        ASSERT_NE(expected->itemIndex, nullptr);
        for (const auto &item : names) {
            const char *itemKey = item.c_str();
            auto *expectedItem = FirstItem(expected, item);
            EXPECT_EQ(ini_detail::FindItem(expected, itemKey), expectedItem) << item;
            // The combined pass of the getters, from an empty cache, agrees as well.
            ini->lastSection = nullptr;
            EXPECT_EQ(ini_detail::LookupItem(ini.get(), key, itemKey), expectedItem) << item;
            EXPECT_EQ(ini->lastSection, expected);
        }
    }
    // Any change drops the index; lookups stay right.
    Ini_PutInt(ini.get(), "DUP", "new", 1);
    EXPECT_EQ(ini->sectionIndex, nullptr);
    EXPECT_EQ(RawValue(ini.get(), "dup", "NEW"), "1");
}

TEST(IniRead, RepeatedNamesFindTheFirstInListOrderWithOrWithoutSorting) {
    // Names that repeat up to letter case, in order already ([S], so the copies take the list
    // as it is) and out of order ([T], so the copies are sorted); enough items for an index.
    const std::string text = "[S]\na = 1\nA = 2\na = 3\nb = 4\nc = 5\n"
                             "[T]\nz = 6\nZ = 7\ny = 8\nZ = 9\nx = 10\nz = 11\n"
                             "[s]\na = 12\n";
    auto expect = [](IniObject ini, const char *what) {
        SCOPED_TRACE(what);
        for (const char *name : {"a", "A"}) {
            EXPECT_EQ(RawValue(ini, "s", name), "1");
            EXPECT_EQ(RawValue(ini, "S", name), "1");
        }
        EXPECT_EQ(RawValue(ini, "T", "Z"), "6");
        EXPECT_EQ(RawValue(ini, "t", "z"), "6");
        EXPECT_EQ(Ini_LineOfLastAccess(ini), 8); // the line of "z = 6"
    };
    auto plain = Parse(text);
    expect(plain.get(), "no sorting");
    auto internal = Parse(text);
    ASSERT_EQ(Ini_SortInternally(internal.get()), 0);
    ASSERT_NE(internal->sectionIndex, nullptr);
    expect(internal.get(), "sorted internally, with the index");
    // Later repeats put with duplicate checking off come after the first, in the list and in
    // the copies alike; the index is gone, the copies answer.
    for (IniObject ini : {plain.get(), internal.get()}) {
        Ini_SetDuplicateChecking(ini, 0);
        ASSERT_EQ(Ini_PutInt(ini, "t", "z", 13), 0);
        ASSERT_EQ(Ini_PutInt(ini, "S", "A", 14), 0);
    }
    EXPECT_EQ(internal->sectionIndex, nullptr);
    expect(plain.get(), "no sorting, after puts");
    expect(internal.get(), "sorted internally, after puts");
    Ini_DisableInternalSorting(internal.get());
    expect(internal.get(), "copies discarded");

    // A sorting object: the lists themselves are sorted (not stably); the first of equal names
    // in the sorted list is found, also after more is read and the sections sorted anew.
    auto sorted = Parse(text, 1);
    EXPECT_EQ(RawValue(sorted.get(), "S", "a"),
              FirstItem(FirstSection(sorted.get(), "S"), "a")->value);
    ASSERT_EQ(ReadText(sorted.get(), "[s]\na = 15\n[S]\na = 16\n"), 0);
    for (const char *section : {"S", "s"})
        EXPECT_EQ(RawValue(sorted.get(), section, "a"),
                  FirstItem(FirstSection(sorted.get(), "S"), "a")->value);
}

TEST(IniRead, RandomRepeatedNamesAreFoundAlikeWithOrWithoutSorting) {
    // Lookups of an internally sorted object give what the same object without copies gives,
    // before and after puts that add repeats, over random files of mixed-case repeats.
    std::mt19937 random(6172026);
    const char *names[] = {"a", "A", "b", "B", "dup", "DUP", "Dup", "k", "K", "z"};
    for (int trial = 0; trial < 200; ++trial) {
        std::string text;
        for (int s = 0, sections = 1 + random() % 6; s < sections; ++s) {
            text += std::string("[") + names[random() % std::size(names)] + "]\n";
            for (int i = 0, items = random() % 12; i < items; ++i)
                text += std::string(names[random() % std::size(names)]) + " = " +
                        std::to_string(s * 100 + i) + "\n";
        }
        auto plain = Parse(text);
        auto internal = Parse(text);
        ASSERT_EQ(Ini_SortInternally(internal.get()), 0);
        for (int round = 0; round < 2; ++round) {
            for (const char *section : names)
                for (const char *item : names) {
                    ASSERT_EQ(RawValue(internal.get(), section, item),
                              RawValue(plain.get(), section, item))
                        << "[" << section << "] " << item << " round " << round << "\n"
                        << text;
                    ASSERT_EQ(Ini_LineOfLastAccess(internal.get()),
                              Ini_LineOfLastAccess(plain.get()));
                }
            for (IniObject ini : {plain.get(), internal.get()}) {
                Ini_SetDuplicateChecking(ini, 0);
                Ini_PutInt(ini, names[trial % std::size(names)], names[round], 1000 + round);
            }
        }
    }
}

std::string RandomName(std::mt19937 &random) {
    std::string name(random() % 50, ' ');
    for (char &c : name) {
        // Letters often, so that case variants are common; any byte but NUL otherwise.
        c = static_cast<char>(random() % 4 == 0 ? 1 + random() % 255 : 'a' + random() % 26);
    }
    return name;
}

std::string OtherCase(std::string name, std::mt19937 &random) {
    for (char &c : name)
        if (random() % 2 && static_cast<unsigned char>(c) < 0x80 &&
            isalpha(static_cast<unsigned char>(c)))
            c = static_cast<char>(c ^ 0x20);
    return name;
}

TEST(IniRead, NameKeysAgreeWithTheNameComparison) {
    // The index compares and hashes names a word at a time; it must judge exactly as the
    // byte-wise comparison does, for every length (short, word-sized, long beyond the
    // prepared words) and every byte.
    std::mt19937 random(2024);
    for (int round = 0; round < 20000; ++round) {
        std::string a = RandomName(random);
        std::string b = random() % 2 ? OtherCase(a, random) : RandomName(random);
        if (random() % 4 == 0 && !b.empty())
            b[random() % b.size()] ^= static_cast<char>(1 << (random() % 8) | 1);
        if (b.find('\0') != std::string::npos) continue;
        const bool equal = ini_detail::StrICmp(a.c_str(), b.c_str()) == 0;
        ini_detail::NameKey keyA = ini_detail::MakeNameKey(a.c_str());
        ini_detail::NameKey keyB = ini_detail::MakeNameKey(b.c_str());
        ASSERT_EQ(ini_detail::SameName({a.c_str(), a.size()}, keyB), equal) << a << " | " << b;
        ASSERT_EQ(ini_detail::SameName({b.c_str(), b.size()}, keyA), equal) << a << " | " << b;
        if (equal) {
            ASSERT_EQ(keyA.hash, keyB.hash) << a << " | " << b;
        }
    }
}

TEST(IniRead, IndexedLookupsOfLongAndShortNames) {
    // Sections with item tables, names from 1 to 72 bytes, looked up in other letter cases,
    // each answer checked against an object that keeps no index.
    std::mt19937 random(7);
    std::vector<std::pair<std::string, std::string>> wanted;
    std::string text;
    for (int s = 0; s < 300; ++s) {
        std::string section(random() % 70, 'x');
        for (char &c : section)
            c = static_cast<char>('a' + random() % 26);
        section += std::to_string(s); // no two sections alike
        text += "[" + section + "]\n";
        for (int i = 0; i < 9; ++i) {
            std::string item =
                section.substr(0, 1 + random() % section.size()) + "_" + std::to_string(i);
            text += item + " = " + std::to_string(s * 10 + i) + "\n";
            wanted.push_back({section, item});
        }
    }
    auto indexed = Parse(text);
    auto plain = Parse(text);
    ASSERT_EQ(Ini_SortInternally(indexed.get()), 0);
    ASSERT_NE(indexed->sectionIndex, nullptr);
    std::shuffle(wanted.begin(), wanted.end(), random);
    for (const auto &[section, item] : wanted) {
        std::string s = OtherCase(section, random), i = OtherCase(item, random);
        ASSERT_EQ(RawValue(indexed.get(), s.c_str(), i.c_str()),
                  RawValue(plain.get(), s.c_str(), i.c_str()))
            << s << " " << i;
        // A near miss (one more or one less character; no such names exist) is no match.
        ASSERT_EQ(Ini_ItemExists(indexed.get(), (s + "_").c_str(), i.c_str()), 0);
        ASSERT_EQ(Ini_ItemExists(indexed.get(), s.c_str(), i.substr(0, i.size() - 1).c_str()), 0);
    }
}

} // namespace
