// Qt's own texts in the operator's language, and the picture types the run-time offers.
#include "rt_test_support.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeySequence>

#include <cstdio>
#include <string>

using namespace rtt;

namespace {

class ToolkitLanguage : public RuntimeTest {
  protected:
    void TearDown() override {
        RT_SetToolkitLanguage("English");
        RuntimeTest::TearDown();
    }
    static std::string ctrlS() {
        return QKeySequence(Qt::CTRL | Qt::Key_S).toString(QKeySequence::NativeText).toStdString();
    }
    static std::string qt(const char *context, const char *text) {
        return QCoreApplication::translate(context, text).toStdString();
    }
};

TEST_F(ToolkitLanguage, KeyNamesButtonsAndDialogsFollowTheLanguageUntilEnglishReturns) {
    ASSERT_EQ(ctrlS(), "Ctrl+S");
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(RT_SetToolkitLanguage("German"), 1);
    const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    std::printf("loading Qt's German texts took %.2f ms\n", ms);
    RecordProperty("german_load_ms", std::to_string(ms));
    EXPECT_EQ(ctrlS(), "Strg+S");
    EXPECT_EQ(qt("QPlatformTheme", "Cancel"), "Abbrechen");
    EXPECT_EQ(qt("QFileDialog", "All Files (*)"), "Alle Dateien (*)");

    // A second language replaces the first rather than stacking on it.
    ASSERT_EQ(RT_SetToolkitLanguage("French"), 1);
    EXPECT_EQ(qt("QPlatformTheme", "Cancel"), "Annuler");
    EXPECT_EQ(ctrlS(), "Ctrl+S");

    // Languages whose translations come only as the older all-in-one catalogue (file and print
    // dialogs, key names; not the newer standard-button texts), and Portugal's Portuguese
    // rather than Brazil's.
    for (const char *language : {"Swedish", "Portuguese"}) {
        ASSERT_EQ(RT_SetToolkitLanguage(language), 1) << language;
        EXPECT_NE(qt("QFileDialog", "All Files (*)"), "All Files (*)") << language;
    }

    EXPECT_EQ(RT_SetToolkitLanguage("English"), 0);
    EXPECT_EQ(ctrlS(), "Ctrl+S");
    EXPECT_EQ(qt("QPlatformTheme", "Cancel"), "Cancel");
    ASSERT_EQ(RT_SetToolkitLanguage("Dutch"), 1);
    EXPECT_EQ(RT_SetToolkitLanguage("Klingon"), 0) << "an unknown language leaves Qt English";
    EXPECT_EQ(qt("QPlatformTheme", "Cancel"), "Cancel");
    EXPECT_EQ(RT_SetToolkitLanguage(nullptr), 0);
}

TEST_F(ToolkitLanguage, TheImageTypeListHasEveryFormatTheRunTimeReads) {
    char types[1024] = "";
    ASSERT_EQ(RT_GetImageFileTypes(types), 0);
    const std::string list = std::string(";") + types + ";";
    for (const char *type : {";*.png;", ";*.jpg;", ";*.jpeg;", ";*.bmp;", ";*.ico;", ";*.gif;"})
        EXPECT_NE(list.find(type), std::string::npos) << type << " missing from " << types;

    // The list works as a file dialog's type list: every entry is one pattern.
    for (size_t at = 1; at < list.size() - 1;) {
        const size_t end = list.find(';', at);
        const std::string entry = list.substr(at, end - at);
        EXPECT_EQ(entry.rfind("*.", 0), 0u) << entry;
        at = end + 1;
    }

    char tiny[8] = "abc";
    EXPECT_EQ(RT_GetImageFileTypes(tiny, sizeof tiny), RT_ERR_INVALID_VALUE);
    EXPECT_STREQ(tiny, "");
    EXPECT_EQ(RT_GetImageFileTypes(nullptr, 8), RT_ERR_NULL_POINTER);
}

} // namespace
