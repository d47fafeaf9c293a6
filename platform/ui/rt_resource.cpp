// The UI resource loader: JSON panels and menu bars (docs/ui-resource.md).
//
// A load reads and checks the whole description first and builds the run-time objects only
// when every part of it is valid, so a failed load leaves nothing behind.
#include "platform/ui/rt_model.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <set>

#include "platform/io/files.h"

namespace rt {
namespace {

constexpr qint64 kMaxResourceBytes = 32 * 1024 * 1024; // far above any real resource
constexpr int kMaxCoordinate = 100000;                 // geometry beyond this is a typo

struct LoadError {
    int code;
};

[[noreturn]] void fail(int code) {
    throw LoadError{code};
}

void checkKeys(const QJsonObject &o, std::initializer_list<const char *> allowed) {
    for (auto it = o.begin(); it != o.end(); ++it) {
        const QString key = it.key();
        if (key.startsWith('_')) continue;
        bool ok = false;
        for (const char *a : allowed)
            ok = ok || key == QLatin1String(a);
        if (!ok) fail(RT_ERR_RESOURCE_FILE);
    }
}

QJsonObject asObject(const QJsonValue &v) {
    if (!v.isObject()) fail(RT_ERR_RESOURCE_FILE);
    return v.toObject();
}

QJsonArray arrayOf(const QJsonObject &o, const char *key) {
    if (!o.contains(QLatin1String(key))) return {};
    QJsonValue v = o.value(QLatin1String(key));
    if (!v.isArray()) fail(RT_ERR_RESOURCE_FILE);
    return v.toArray();
}

int toInt(const QJsonValue &v, int lo = -kMaxCoordinate, int hi = kMaxCoordinate) {
    if (!v.isDouble()) fail(RT_ERR_RESOURCE_FILE);
    const double d = v.toDouble();
    if (d != static_cast<double>(static_cast<long long>(d)) || d < lo || d > hi)
        fail(RT_ERR_RESOURCE_FILE);
    return static_cast<int>(d);
}

int intOf(const QJsonObject &o, const char *key, int dflt, int lo = -kMaxCoordinate,
          int hi = kMaxCoordinate) {
    if (!o.contains(QLatin1String(key))) return dflt;
    return toInt(o.value(QLatin1String(key)), lo, hi);
}

int requiredInt(const QJsonObject &o, const char *key, int lo, int hi) {
    if (!o.contains(QLatin1String(key))) fail(RT_ERR_RESOURCE_FILE);
    return toInt(o.value(QLatin1String(key)), lo, hi);
}

double numberOf(const QJsonValue &v) {
    if (!v.isDouble()) fail(RT_ERR_RESOURCE_FILE);
    return v.toDouble();
}

QString stringOf(const QJsonObject &o, const char *key, const QString &dflt = {}) {
    if (!o.contains(QLatin1String(key))) return dflt;
    QJsonValue v = o.value(QLatin1String(key));
    if (!v.isString()) fail(RT_ERR_RESOURCE_FILE);
    return v.toString();
}

QString requiredString(const QJsonObject &o, const char *key) {
    if (!o.contains(QLatin1String(key))) fail(RT_ERR_RESOURCE_FILE);
    return stringOf(o, key);
}

bool boolOf(const QJsonObject &o, const char *key, bool dflt) {
    if (!o.contains(QLatin1String(key))) return dflt;
    QJsonValue v = o.value(QLatin1String(key));
    if (!v.isBool()) fail(RT_ERR_RESOURCE_FILE);
    return v.toBool();
}

int colorOf(const QJsonObject &o, const char *key, int dflt) {
    if (!o.contains(QLatin1String(key))) return dflt;
    QJsonValue v = o.value(QLatin1String(key));
    if (v.isDouble()) return toInt(v, 0, 0xFFFFFF);
    const QString s = v.toString();
    if (!v.isString() || s.size() != 7 || s[0] != '#') fail(RT_ERR_RESOURCE_FILE);
    bool ok = false;
    const int c = s.mid(1).toInt(&ok, 16);
    if (!ok) fail(RT_ERR_RESOURCE_FILE);
    return c;
}

void *callbackOf(const QJsonObject &o, RT_CallbackKind kind) {
    void *fn = nullptr;
    if (int r = bindCallback(stringOf(o, "callback"), kind, &fn)) fail(r);
    return fn;
}

int styleOf(const QJsonValue &v) {
    static const std::pair<const char *, int> names[] = {
        {"numeric", 100},       {"numericDisplay", 101}, {"progressBar", 112},
        {"string", 150},        {"textMessage", 160},    {"textBox", 170},
        {"commandButton", 200}, {"binarySwitch", 231},   {"toggleButton", 280},
        {"ring", 300},          {"listBox", 340},        {"decoration", 380},
        {"graph", 440},         {"stripChart", 460},     {"picture", 480},
        {"table", 510},
    };
    int style = 0;
    if (v.isString()) {
        for (const auto &[name, number] : names)
            if (v.toString() == QLatin1String(name)) style = number;
        if (!style) fail(RT_ERR_UNKNOWN_STYLE);
    } else if (v.isDouble()) {
        style = toInt(v, -1000000, 1000000);
    } else {
        fail(RT_ERR_RESOURCE_FILE);
    }
    bool known = false;
    kindOfStyle(style, &known);
    if (!known) fail(RT_ERR_UNKNOWN_STYLE);
    return style;
}

int dataTypeOf(const QJsonObject &o, const Control &c) {
    if (o.contains(QLatin1String("dataType"))) {
        const QString t = stringOf(o, "dataType");
        if (t == QLatin1String("int")) return VAL_INTEGER;
        if (t == QLatin1String("double")) return VAL_DOUBLE;
        if (t == QLatin1String("string")) return VAL_STRING;
        fail(RT_ERR_RESOURCE_FILE);
    }
    // Lists take the type of their item values when none is given.
    if (isListKind(c.kind)) {
        int type = VAL_INTEGER;
        for (const QJsonValue &item : arrayOf(o, "items")) {
            const QJsonValue v = item.toObject().value(QLatin1String("value"));
            if (v.isString()) return VAL_STRING;
            if (v.isDouble() &&
                v.toDouble() != static_cast<double>(static_cast<long long>(v.toDouble())))
                type = VAL_DOUBLE;
        }
        return type;
    }
    return c.dataType;
}

Value valueOf(const QJsonValue &v, int dataType) {
    Value out;
    if (dataType == VAL_STRING) {
        if (!v.isString()) fail(RT_ERR_RESOURCE_FILE);
        out.text = v.toString();
    } else {
        out.number = numberOf(v);
        if (dataType != VAL_DOUBLE && dataType != VAL_FLOAT) out.number = std::trunc(out.number);
    }
    return out;
}

std::vector<AxisItem> axisItemsOf(const QJsonObject &o, const char *key) {
    std::vector<AxisItem> items;
    for (const QJsonValue &v : arrayOf(o, key)) {
        QJsonObject item = asObject(v);
        checkKeys(item, {"label", "value"});
        items.push_back({stringOf(item, "label"), item.contains(QLatin1String("value"))
                                                      ? numberOf(item.value(QLatin1String("value")))
                                                      : 0.0});
    }
    return items;
}

QStringList stringsOf(const QJsonObject &o, const char *key) {
    QStringList out;
    for (const QJsonValue &v : arrayOf(o, key)) {
        if (!v.isString()) fail(RT_ERR_RESOURCE_FILE);
        out << v.toString();
    }
    return out;
}

std::unique_ptr<Control> controlOf(const QJsonObject &o) {
    checkKeys(o, {"id",        "name",         "style",     "label",       "top",       "left",
                  "width",     "height",       "labelLeft", "labelTop",    "mode",      "dataType",
                  "value",     "items",        "min",       "max",         "precision", "maxLength",
                  "lines",     "readOnly",     "callback",  "textBgColor", "textColor", "font",
                  "pointSize", "bold",         "align",     "onText",      "offText",   "image",
                  "xName",     "yName",        "ryName",    "xItems",      "yItems",    "ryItems",
                  "rowLabels", "columnLabels", "cells",     "visible"});
    if (!o.contains(QLatin1String("id")) || !o.contains(QLatin1String("style")))
        fail(RT_ERR_RESOURCE_FILE);
    const int id = toInt(o.value(QLatin1String("id")), -1000000, 1000000);
    if (id < 2) fail(RT_ERR_DUPLICATE_ID);
    auto c = std::make_unique<Control>();
    c->id = id;
    c->style = styleOf(o.value(QLatin1String("style")));
    bool known;
    c->kind = kindOfStyle(c->style, &known);
    c->dataType = defaultDataType(c->kind);
    if (c->kind == Kind::NumericDisplay || c->kind == Kind::Decoration ||
        c->kind == Kind::TextMessage || c->kind == Kind::ProgressBar || c->kind == Kind::Graph ||
        c->kind == Kind::StripChart)
        c->mode = MODE_INDICATOR;
    if (c->kind == Kind::ProgressBar) c->minValue = 0, c->maxValue = 100;
    c->name = requiredString(o, "name");
    c->label = stringOf(o, "label");
    const QSize size = defaultSize(c->kind);
    c->sizeSet = o.contains(QLatin1String("width")) || o.contains(QLatin1String("height"));
    c->rect = QRect(intOf(o, "left", 0), intOf(o, "top", 0), intOf(o, "width", size.width(), 0),
                    intOf(o, "height", size.height(), 0));
    if (o.contains(QLatin1String("labelLeft")))
        c->labelLeft = intOf(o, "labelLeft", 0), c->labelLeftAuto = false;
    if (o.contains(QLatin1String("labelTop"))) {
        const QJsonValue v = o.value(QLatin1String("labelTop"));
        c->labelTopAuto = false;
        if (v.isString() && v.toString() == QLatin1String("center"))
            c->labelTopCentred = true;
        else
            c->labelTop = toInt(v);
    }
    if (o.contains(QLatin1String("mode"))) {
        const QString m = stringOf(o, "mode");
        if (m == QLatin1String("normal"))
            c->mode = MODE_NORMAL;
        else if (m == QLatin1String("indicator"))
            c->mode = MODE_INDICATOR;
        else if (m == QLatin1String("hot"))
            c->mode = MODE_HOT;
        else if (m == QLatin1String("validate"))
            c->mode = MODE_VALIDATE;
        else
            fail(RT_ERR_RESOURCE_FILE);
    }
    c->dataType = dataTypeOf(o, *c);
    if (isTextKind(c->kind) && c->dataType != VAL_STRING) fail(RT_ERR_RESOURCE_FILE);
    if (!isTextKind(c->kind) && !isListKind(c->kind) && c->dataType == VAL_STRING)
        fail(RT_ERR_RESOURCE_FILE);
    c->precision = intOf(o, "precision", c->dataType == VAL_DOUBLE ? 2 : 0, 0, 15);
    if (o.contains(QLatin1String("min"))) c->minValue = numberOf(o.value(QLatin1String("min")));
    if (o.contains(QLatin1String("max"))) c->maxValue = numberOf(o.value(QLatin1String("max")));
    if (c->minValue > c->maxValue) fail(RT_ERR_RESOURCE_FILE);
    c->maxLength = intOf(o, "maxLength", 0, 0, 1000000);
    c->lines = intOf(o, "lines", 0, 0, 1000000);
    c->readOnly = boolOf(o, "readOnly", false);
    c->visible = boolOf(o, "visible", true);
    c->callback = reinterpret_cast<CtrlCallbackPtr>(callbackOf(o, RT_CTRL_CALLBACK));
    c->textBgColor = colorOf(o, "textBgColor", kThemeColor);
    c->textColor = colorOf(o, "textColor", kThemeColor);
    c->font = stringOf(o, "font");
    c->pointSize = intOf(o, "pointSize", 0, 0, 500);
    c->bold = boolOf(o, "bold", false);
    const QString align = stringOf(o, "align", QStringLiteral("left"));
    if (align == QLatin1String("left"))
        c->align = 0;
    else if (align == QLatin1String("center"))
        c->align = 1;
    else if (align == QLatin1String("right"))
        c->align = 2;
    else
        fail(RT_ERR_RESOURCE_FILE);
    c->onText = stringOf(o, "onText", c->onText);
    c->offText = stringOf(o, "offText", c->offText);
    c->axisName[0] = stringOf(o, "xName");
    c->axisName[1] = stringOf(o, "yName");
    c->axisName[2] = stringOf(o, "ryName");
    c->axisItems[0] = axisItemsOf(o, "xItems");
    c->axisItems[1] = axisItemsOf(o, "yItems");
    c->axisItems[2] = axisItemsOf(o, "ryItems");
    if (c->kind == Kind::StripChart && !c->axisItems[2].empty()) fail(RT_ERR_RESOURCE_FILE);

    for (const QJsonValue &v : arrayOf(o, "items")) {
        QJsonObject item = asObject(v);
        checkKeys(item, {"label", "value", "textColor", "backColor", "mark"});
        ListItem li;
        li.label = stringOf(item, "label");
        li.textColor = colorOf(item, "textColor", kThemeColor);
        li.backColor = colorOf(item, "backColor", kThemeColor);
        li.mark = stringOf(item, "mark");
        li.value = item.contains(QLatin1String("value"))
                       ? valueOf(item.value(QLatin1String("value")), c->dataType)
                       : Value{};
        c->items.push_back(li);
    }
    if (!c->items.empty() && !isListKind(c->kind)) fail(RT_ERR_RESOURCE_FILE);

    const QJsonValue value = o.value(QLatin1String("value"));
    if (isListKind(c->kind)) {
        c->index = c->items.empty() ? -1 : 0;
        if (!value.isUndefined()) {
            const Value v = valueOf(value, c->dataType);
            c->index = -1;
            for (size_t i = 0; i < c->items.size() && c->index < 0; ++i)
                if (c->dataType == VAL_STRING ? c->items[i].value.text == v.text
                                              : c->items[i].value.number == v.number)
                    c->index = static_cast<int>(i);
            if (c->index < 0) fail(RT_ERR_RESOURCE_FILE);
        }
    } else if (isTextKind(c->kind)) {
        if (!value.isUndefined()) c->value = valueOf(value, VAL_STRING);
        c->dflt = c->value;
        c->caret = static_cast<int>(c->value.text.size());
    } else if (!value.isUndefined()) {
        c->value = valueOf(value, c->dataType == VAL_STRING ? VAL_DOUBLE : c->dataType);
        c->value.number = std::clamp(c->value.number, c->minValue, c->maxValue);
        c->dflt = c->value;
    }

    c->rowLabels = stringsOf(o, "rowLabels");
    c->columnLabels = stringsOf(o, "columnLabels");
    const qsizetype rows = c->rowLabels.size(), cols = c->columnLabels.size();
    if (rows > kMaxTableCells || cols > kMaxTableCells || rows * cols > kMaxTableCells)
        fail(RT_ERR_RESOURCE_FILE);
    if ((rows || cols) && c->kind != Kind::Table) fail(RT_ERR_RESOURCE_FILE);
    c->cells.assign(static_cast<size_t>(rows * cols), Cell{});
    const QJsonArray cellRows = arrayOf(o, "cells");
    if (cellRows.size() > rows) fail(RT_ERR_RESOURCE_FILE);
    for (qsizetype r = 0; r < cellRows.size(); ++r) {
        if (!cellRows[r].isArray()) fail(RT_ERR_RESOURCE_FILE);
        const QJsonArray row = cellRows[r].toArray();
        if (row.size() > cols) fail(RT_ERR_RESOURCE_FILE);
        for (qsizetype col = 0; col < row.size(); ++col) {
            QJsonObject cell = asObject(row[col]);
            checkKeys(cell, {"type", "value"});
            Cell &out = c->cells[static_cast<size_t>(col * rows + r)];
            out.type = intOf(cell, "type", CELL_STRING, CELL_STRING, CELL_BUTTON);
            const QJsonValue v = cell.value(QLatin1String("value"));
            if (v.isUndefined()) continue;
            if (out.type == CELL_NUMERIC)
                out.number = numberOf(v);
            else if (v.isString())
                out.text = v.toString();
            else
                fail(RT_ERR_RESOURCE_FILE);
        }
    }

    c->imagePath = stringOf(o, "image");
    if (!c->imagePath.isEmpty() && c->kind != Kind::Picture) fail(RT_ERR_RESOURCE_FILE);
    return c;
}

struct PanelSpec {
    std::unique_ptr<Panel> panel;
    std::unique_ptr<MenuBar> menuBar;
};

// The last resource parsed, kept so that loading many panels from one file parses it once. The
// file is still read each time: the copy is used only while its bytes are the same.
struct ParsedResource {
    QByteArray bytes;
    QJsonObject root;
};

QJsonObject readResource(const char *file) {
    if (!file || !*file) fail(RT_ERR_RESOURCE_FILE);
    QFile f(resolveProgramPath(file));
    if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxResourceBytes) fail(RT_ERR_RESOURCE_FILE);
    const QByteArray bytes = f.readAll();
    static ParsedResource cached;
    if (!cached.bytes.isNull() && bytes == cached.bytes) return cached.root;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) fail(RT_ERR_RESOURCE_FILE);
    QJsonObject root = doc.object();
    checkKeys(root, {"panels", "menuBars"});
    cached = ParsedResource{bytes, root};
    return root;
}

QJsonObject findById(const QJsonObject &root, const char *key, int id) {
    QJsonObject found;
    bool have = false;
    for (const QJsonValue &v : arrayOf(root, key)) {
        QJsonObject o = asObject(v);
        if (!o.value(QLatin1String("id")).isDouble()) fail(RT_ERR_RESOURCE_FILE);
        if (toInt(o.value(QLatin1String("id")), -1000000, 1000000) != id) continue;
        if (have) fail(RT_ERR_DUPLICATE_ID);
        found = o;
        have = true;
    }
    if (!have) fail(RT_ERR_RESOURCE_ID);
    return found;
}

std::unique_ptr<MenuBar> menuBarOf(const QJsonObject &root, int id) {
    const QJsonObject o = findById(root, "menuBars", id);
    checkKeys(o, {"id", "name", "menus"});
    auto m = std::make_unique<MenuBar>();
    m->resourceId = id;
    m->name = requiredString(o, "name");
    std::set<int> ids;
    std::vector<MenuNode *> generated; // separators and submenus: ids given after the file's
    auto addNode = [&](MenuNode node, bool fileId) -> MenuNode & {
        if (fileId) {
            if (node.id < 2 || !ids.insert(node.id).second) fail(RT_ERR_DUPLICATE_ID);
        }
        static int provisional = 0;
        const int key = fileId ? node.id : -(++provisional);
        node.id = key;
        MenuNode &stored = m->nodes[key];
        stored = std::move(node);
        if (!fileId) generated.push_back(&stored);
        return stored;
    };
    // Items are read depth first; children hold the keys of their nodes.
    std::function<void(const QJsonArray &, int)> readItems = [&](const QJsonArray &items,
                                                                 int parentKey) {
        for (const QJsonValue &v : items) {
            QJsonObject item = asObject(v);
            checkKeys(item, {"id", "name", "text", "callback", "shortcut", "separator", "submenu",
                             "dimmed"});
            MenuNode node;
            node.parent = parentKey;
            if (boolOf(item, "separator", false)) {
                node.kind = MenuNodeKind::Separator;
                node.name = stringOf(item, "name");
                int key = addNode(std::move(node), false).id;
                m->nodes[parentKey].children.push_back(key);
                continue;
            }
            node.kind = MenuNodeKind::Item;
            node.id = requiredInt(item, "id", -1000000, 1000000);
            node.name = requiredString(item, "name");
            node.text = stringOf(item, "text");
            node.shortcut = stringOf(item, "shortcut");
            node.dimmed = boolOf(item, "dimmed", false);
            node.callback = reinterpret_cast<MenuCallbackPtr>(callbackOf(item, RT_MENU_CALLBACK));
            const bool hasSub = item.contains(QLatin1String("submenu"));
            const QJsonArray sub = arrayOf(item, "submenu");
            const int key = addNode(std::move(node), true).id;
            m->nodes[parentKey].children.push_back(key);
            if (hasSub) {
                MenuNode subNode;
                subNode.kind = MenuNodeKind::Submenu;
                subNode.parent = key;
                subNode.name = m->nodes[key].name + QStringLiteral("_SUBMENU");
                subNode.text = m->nodes[key].text;
                const int subKey = addNode(std::move(subNode), false).id;
                m->nodes[key].submenu = subKey;
                readItems(sub, subKey);
            }
        }
    };
    for (const QJsonValue &v : arrayOf(o, "menus")) {
        QJsonObject menu = asObject(v);
        checkKeys(menu, {"id", "name", "text", "items", "callback", "dimmed"});
        MenuNode node;
        node.kind = MenuNodeKind::Menu;
        node.id = requiredInt(menu, "id", -1000000, 1000000);
        node.name = requiredString(menu, "name");
        node.text = stringOf(menu, "text");
        node.dimmed = boolOf(menu, "dimmed", false);
        node.callback = reinterpret_cast<MenuCallbackPtr>(callbackOf(menu, RT_MENU_CALLBACK));
        const int key = addNode(std::move(node), true).id;
        m->menus.push_back(key);
        readItems(arrayOf(menu, "items"), key);
    }
    // Give generated nodes real ids above the file's, then rewrite every reference.
    int next = ids.empty() ? 2 : *ids.rbegin() + 1;
    std::map<int, int> rename;
    for (MenuNode *n : generated)
        rename[n->id] = next++;
    auto fix = [&](int id) {
        auto it = rename.find(id);
        return it == rename.end() ? id : it->second;
    };
    std::map<int, MenuNode> nodes;
    for (auto &[key, node] : m->nodes) {
        node.id = fix(node.id);
        node.parent = fix(node.parent);
        node.submenu = fix(node.submenu);
        for (int &child : node.children)
            child = fix(child);
        nodes[node.id] = std::move(node);
    }
    m->nodes = std::move(nodes);
    return m;
}

PanelSpec panelOf(int parent, const char *file, int id) {
    const QJsonObject root = readResource(file);
    const QJsonObject o = findById(root, "panels", id);
    checkKeys(o, {"id", "name", "title", "top", "left", "width", "height", "backColor", "callback",
                  "menuBar", "sizable", "closeBox", "default", "cancel", "controls"});
    PanelSpec spec;
    spec.panel = std::make_unique<Panel>();
    Panel &p = *spec.panel;
    p.parent = parent;
    p.resourceId = id;
    p.name = requiredString(o, "name");
    p.title = stringOf(o, "title");
    p.positionSet = o.contains(QLatin1String("top")) && o.contains(QLatin1String("left"));
    p.rect =
        QRect(intOf(o, "left", 0), intOf(o, "top", 0), requiredInt(o, "width", 0, kMaxCoordinate),
              requiredInt(o, "height", 0, kMaxCoordinate));
    p.backColor = colorOf(o, "backColor", kDefaultPanelBack);
    p.callback = reinterpret_cast<PanelCallbackPtr>(callbackOf(o, RT_PANEL_CALLBACK));
    p.sizable = boolOf(o, "sizable", false);
    p.closeBoxHidden = !boolOf(o, "closeBox", true);
    std::set<int> ids;
    for (const QJsonValue &v : arrayOf(o, "controls")) {
        auto c = controlOf(asObject(v));
        if (!ids.insert(c->id).second) fail(RT_ERR_DUPLICATE_ID);
        p.nextCtrlId = std::max(p.nextCtrlId, c->id + 1);
        p.controls.push_back(std::move(c));
    }
    // The default and cancel controls must be controls of this panel.
    auto controlOfPanel = [&](const char *key) {
        if (!o.contains(QLatin1String(key))) return 0;
        const int id = toInt(o.value(QLatin1String(key)), 2, 1000000);
        if (!ids.count(id)) fail(RT_ERR_RESOURCE_FILE);
        return id;
    };
    p.defaultCtrl = controlOfPanel("default");
    p.cancelCtrl = controlOfPanel("cancel");
    if (o.contains(QLatin1String("menuBar")))
        spec.menuBar = menuBarOf(root, intOf(o, "menuBar", 0, 1, 1000000));
    return spec;
}

void showImage(Control &c) {
    if (c.imagePath.isEmpty()) return;
    const QString path = resolveProgramPath(c.imagePath.toUtf8().constData());
    // Only regular files: a device named here must not block or feed the load forever.
    if (!QFileInfo(path).isFile()) {
        c.imagePath.clear();
        return;
    }
    c.image = readImageFile(path);
    // A logo that cannot be read leaves the picture empty; the load itself goes on.
    c.imagePath = c.image.isNull() ? QString() : path;
}

int registerMenuBar(std::unique_ptr<MenuBar> m, Panel &p) {
    m->handle = newHandle();
    m->panel = p.handle;
    const int handle = m->handle;
    MenuBar &ref = *m;
    menuBars()[handle] = std::move(m);
    p.menuBar = handle;
    buildMenuBarWidget(ref, p);
    return handle;
}

} // namespace

QString resolveProgramPath(const char *file) {
    const QString name = fromC(file);
    if (name.isEmpty() || QFileInfo(name).isAbsolute()) return name;
    char dir[4096];
    if (GetProjectDir(dir, sizeof dir) == 0) return QDir(QString::fromUtf8(dir)).filePath(name);
    return QDir(QCoreApplication::applicationDirPath()).filePath(name);
}

int loadPanelFromResource(int parent, const char *file, int id) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    if (parent != 0 && !findPanel(parent)) return RT_ERR_INVALID_PANEL;
    PanelSpec spec;
    try {
        spec = panelOf(parent, file, id);
    } catch (const LoadError &e) {
        return e.code;
    } catch (const std::bad_alloc &) {
        return RT_ERR_OUT_OF_MEMORY;
    }
    // Everything is valid: build.
    std::unique_ptr<Panel> owned = std::move(spec.panel);
    owned->handle = newHandle();
    Panel &p = *owned;
    panels()[p.handle] = std::move(owned);
    if (Panel *pp = findPanel(parent)) pp->children.push_back(p.handle);
    buildPanelWindow(p);
    for (auto &c : p.controls) {
        placeLabel(*c);
        if (c->kind == Kind::Picture) showImage(*c);
        buildControlWidget(p, *c);
    }
    if (spec.menuBar) registerMenuBar(std::move(spec.menuBar), p);
    return p.handle;
}

int loadMenuBarFromResource(int panel, const char *file, int id) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    Panel *p = findPanel(panel);
    if (!p) return RT_ERR_INVALID_PANEL;
    std::unique_ptr<MenuBar> m;
    try {
        m = menuBarOf(readResource(file), id);
    } catch (const LoadError &e) {
        return e.code;
    } catch (const std::bad_alloc &) {
        return RT_ERR_OUT_OF_MEMORY;
    }
    // A panel shows one menu bar: a new one replaces the old.
    if (p->menuBar) DiscardMenuBar(p->menuBar);
    return registerMenuBar(std::move(m), *p);
}

} // namespace rt

int LoadPanel(int parentPanel, const char *resourceFile, int panelResourceId) {
    return rt::loadPanelFromResource(parentPanel, resourceFile, panelResourceId);
}

int RT_CheckPanelResource(const char *resourceFile, int panelResourceId) {
    if (!rt::runtimeReady()) return RT_ERR_NOT_INITIALISED;
    try {
        rt::panelOf(0, resourceFile, panelResourceId);
    } catch (const rt::LoadError &e) {
        return e.code;
    } catch (const std::bad_alloc &) {
        return RT_ERR_OUT_OF_MEMORY;
    }
    return 0;
}

int LoadMenuBar(int panel, const char *resourceFile, int menuBarResourceId) {
    return rt::loadMenuBarFromResource(panel, resourceFile, menuBarResourceId);
}
