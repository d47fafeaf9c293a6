// ks_langtool: language files for a UI resource, without the application.
//
//   ks_langtool export <resource> <file.lng>  template file: every panel and menu bar, each
//                                             string's own text as its translation
//   ks_langtool check <resource> <file.lng>   loads every panel and menu bar localized with the
//                                             file; per object "ok" or the error and the section
//   ks_langtool list <resource>               every localizable string with its description
//
// Exit status: 0 when everything worked, 1 on any failure, 2 for a wrong command line.
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "localization/langfileio.h"
#include "localization/localize.h"
#include "platform/runtime.h"

namespace {

struct ResourceObject {
    int id;
    std::string name;
};

struct ResourceIds {
    std::vector<ResourceObject> panels;
    std::vector<ResourceObject> menuBars;
};

// The ids and names of the panels and menu bars of a resource file; false when it cannot be read.
bool ReadResourceIds(const std::string &path, ResourceIds *ids) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return false;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) return false;
    auto collect = [](const QJsonValue &array, std::vector<ResourceObject> *out) {
        for (const QJsonValue &v : array.toArray()) {
            const QJsonObject o = v.toObject();
            out->push_back({o.value("id").toInt(), o.value("name").toString().toStdString()});
        }
    };
    collect(doc.object().value("panels"), &ids->panels);
    collect(doc.object().value("menuBars"), &ids->menuBars);
    return true;
}

std::string Quoted(const char *text) {
    std::string out = "\"";
    for (const char *p = text ? text : ""; *p; ++p) {
        switch (*p) {
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            out += *p;
        }
    }
    return out + "\"";
}

int ErrorLine(const char *what, int id, const std::string &name, int rc) {
    const char *section = LangFileLastFailedSection();
    fprintf(stdout, "%s %d %s: error %d (%s)", what, id, name.c_str(), rc, RT_GetErrorString(rc));
    if (section && *section) fprintf(stdout, " at section [%s]", section);
    fprintf(stdout, "\n");
    return 1;
}

// The captured trees of one run, released when it ends.
struct Trees : CapturedTrees {
    std::vector<int> panelHandles;
    ~Trees() {
        for (int h : panelHandles)
            DiscardPanel(h);
    }
};

// Loads and captures (with defaults) every panel and menu bar; false after reporting a failure.
bool CaptureAll(const std::string &resource, const ResourceIds &ids, int scratchPanel, Trees *t) {
    bool ok = true;
    for (const ResourceObject &p : ids.panels) {
        const int h = LoadPanel(0, resource.c_str(), p.id);
        if (h < 0) {
            ok = !ErrorLine("panel", p.id, p.name, h) && ok;
            continue;
        }
        t->panelHandles.push_back(h);
        auto *pnl = new PNL{};
        const int rc = UIPanelToPNLAndCTRLs(h, pnl, 1, 1);
        if (rc < 0) {
            delete pnl;
            ok = !ErrorLine("panel", p.id, p.name, rc) && ok;
            continue;
        }
        t->panels.push_back(pnl);
    }
    for (const ResourceObject &m : ids.menuBars) {
        const int bar = LoadMenuBar(scratchPanel, resource.c_str(), m.id);
        if (bar < 0) {
            ok = !ErrorLine("menu bar", m.id, m.name, bar) && ok;
            continue;
        }
        auto *rec = new MENUBAR{};
        const int rc = UIMenubarToMENUBARAndMENUITEMs(bar, rec, 1, 1);
        DiscardMenuBar(bar);
        if (rc < 0) {
            delete rec;
            ok = !ErrorLine("menu bar", m.id, m.name, rc) && ok;
            continue;
        }
        t->bars.push_back(rec);
    }
    return ok;
}

int CopyDefault(const LOCALSTR *s, void *) {
    if (!s->defaultString) return 0;
    const size_t n = strlen(s->defaultString);
    char *copy = static_cast<char *>(malloc(n + 1));
    if (!copy) return -12;
    memcpy(copy, s->defaultString, n + 1);
    free(*s->localString);
    *s->localString = copy;
    *s->localFlag = SLOT_VALID;
    return 0;
}

int PrintString(const LOCALSTR *s, void *) {
    fprintf(stdout, "[%s]\t%s\t%s\t%s\n", s->section, s->key, s->description,
            Quoted(s->defaultString).c_str());
    return 0;
}

int Export(const std::string &resource, const ResourceIds &ids, int scratch, const char *out) {
    Trees t;
    bool ok = CaptureAll(resource, ids, scratch, &t);
    for (PNL *p : t.panels)
        ok = EnumPNLAndCTRLLocals(p, CopyDefault, nullptr) == 0 && ok;
    for (MENUBAR *b : t.bars)
        ok = EnumMENUBARAndMENUITEMLocals(b, CopyDefault, nullptr) == 0 && ok;
    if (!ok) return 1;
    ListHandle panels = ListCreate(sizeof(PNL *)), bars = ListCreate(sizeof(MENUBAR *));
    for (PNL *p : t.panels)
        ListInsertItem(panels, &p, LIST_POS_END);
    for (MENUBAR *b : t.bars)
        ListInsertItem(bars, &b, LIST_POS_END);
    const int rc = ExportAllObjectsToLangFile(&panels, &bars, out);
    ListDispose(panels);
    ListDispose(bars);
    if (rc != 0) {
        fprintf(stderr, "ks_langtool: could not write %s (%d)\n", out, rc);
        return 1;
    }
    fprintf(stdout, "%s: %zu panels, %zu menu bars\n", out, t.panels.size(), t.bars.size());
    return 0;
}

int Check(const std::string &resource, const ResourceIds &ids, int scratch, const char *lang) {
    int failures = 0;
    for (const ResourceObject &p : ids.panels) {
        int h = 0;
        const int rc = LoadLocalizedPanel(0, resource.c_str(), p.id, lang, &h);
        if (rc < 0) {
            failures += ErrorLine("panel", p.id, p.name, rc);
            continue;
        }
        fprintf(stdout, "panel %d %s: ok\n", p.id, p.name.c_str());
        DiscardPanel(h);
    }
    for (const ResourceObject &m : ids.menuBars) {
        int bar = 0;
        const int rc = LoadLocalizedMenuBar(scratch, resource.c_str(), m.id, lang, &bar);
        if (rc < 0) {
            failures += ErrorLine("menu bar", m.id, m.name, rc);
            continue;
        }
        fprintf(stdout, "menu bar %d %s: ok\n", m.id, m.name.c_str());
        DiscardMenuBar(bar);
    }
    return failures ? 1 : 0;
}

int List(const std::string &resource, const ResourceIds &ids, int scratch) {
    Trees t;
    bool ok = CaptureAll(resource, ids, scratch, &t);
    for (PNL *p : t.panels)
        ok = EnumPNLAndCTRLLocals(p, PrintString, nullptr) == 0 && ok;
    for (MENUBAR *b : t.bars)
        ok = EnumMENUBARAndMENUITEMLocals(b, PrintString, nullptr) == 0 && ok;
    return ok ? 0 : 1;
}

int Usage() {
    fprintf(stderr, "usage: ks_langtool export <resource> <file.lng>\n"
                    "       ks_langtool check <resource> <file.lng>\n"
                    "       ks_langtool list <resource>\n");
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 3) return Usage();
    const std::string command = argv[1];
    if ((command == "export" || command == "check") ? argc != 4 : (command != "list" || argc != 3))
        return Usage();
    // The run-time resolves relative resource names against the program folder; the operator
    // means the current one.
    const std::string resource =
        QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath().toStdString();
    ResourceIds ids;
    if (!ReadResourceIds(resource, &ids)) {
        fprintf(stderr, "ks_langtool: cannot read the resource %s\n", resource.c_str());
        return 1;
    }
    // A command-line tool never shows a window.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    RT_AllowUnboundCallbacks(1);
    if (!InitRuntime(0, argv, 0)) {
        fprintf(stderr, "ks_langtool: the run-time did not start\n");
        return 1;
    }
    // Menu bars load onto a panel; this one is never shown.
    const int scratch = NewPanel(0, "", 0, 0, 10, 10);
    int rc = 1;
    if (command == "export")
        rc = Export(resource, ids, scratch, argv[3]);
    else if (command == "check")
        rc = Check(resource, ids, scratch, argv[3]);
    else
        rc = List(resource, ids, scratch);
    DiscardPanel(scratch);
    return rc;
}
