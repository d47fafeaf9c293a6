// Printing panels and text files (docs/printing.md).
//
// Panels are printed by drawing the run-time's own records with QPainter, so texts stay text in
// a PDF and a page never needs a full-page bitmap. The print attributes live here; the printer
// and its dialog are in the print module (platform/ui/print_job.h), loaded on the first print job,
// so nothing before it loads Qt PrintSupport.
#include "platform/io/module_loader.h"
#include "platform/ui/print_job.h"
#include "platform/ui/rt_model.h"
#include "platform/ui/rt_testing_hooks.h"

#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QStringDecoder>
#include <QTextDocument>

#include <cmath>
#include <map>

namespace rt {
namespace {

constexpr qint64 kMaxTextFileBytes = 64 * 1024 * 1024;

// ---- Print attributes -------------------------------------------------------------------------

std::map<int, int> &printAttributes() {
    static std::map<int, int> a = {
        {ATTR_PRINT_BITMAP, 1},     {ATTR_PRINT_ORIENTATION, 0},  {ATTR_PRINT_XRESOLUTION, 1800},
        {ATTR_PRINT_COPIES, 1},     {ATTR_PRINT_PAPER_WIDTH, -1}, {ATTR_PRINT_PAPER_HEIGHT, -1},
        {ATTR_PRINT_MARGIN, 200},   {ATTR_PRINT_SCALE, 100},      {ATTR_PRINT_DUPLEX, 2},
        {ATTR_PRINT_COLOR_MODE, 1}, {ATTR_PRINT_COLLATE, 1},      {ATTR_PRINT_PAGE_ORDER, 0},
    };
    return a;
}

bool validPrintValue(int attribute, int v) {
    switch (attribute) {
    case ATTR_PRINT_BITMAP:
    case ATTR_PRINT_ORIENTATION:
    case ATTR_PRINT_COLOR_MODE:
    case ATTR_PRINT_COLLATE:
    case ATTR_PRINT_PAGE_ORDER:
        return v == 0 || v == 1;
    case ATTR_PRINT_DUPLEX:
        return v >= 0 && v <= 2;
    case ATTR_PRINT_XRESOLUTION:
        return v >= 72 && v <= 10000;
    case ATTR_PRINT_COPIES:
        return v >= 1 && v <= 999;
    case ATTR_PRINT_PAPER_WIDTH:
    case ATTR_PRINT_PAPER_HEIGHT:
        return v == -1 || (v >= 100 && v <= 20000);
    case ATTR_PRINT_MARGIN:
        return v >= 0 && v <= 1000;
    case ATTR_PRINT_SCALE:
        return v >= 1 && v <= 1000;
    }
    return false;
}

// ---- Print jobs -------------------------------------------------------------------------------

// Runs a job through the print module, loading it on first use. When the module cannot be
// loaded, a job meant for the printer (an operator's command) says so in a message box;
// RT_ERR_MODULE either way.
int runPrintJob(PrintJob &job, const QString &pdf, bool prompt) {
    std::string error;
    const auto run = reinterpret_cast<RunPrintJob>(
        ks_io::moduleSymbol(kPrintModuleFile, kRunPrintJobSymbol, &error));
    if (run == nullptr) {
        if (pdf.isEmpty())
            MessagePopup("Printing", ("Printing is not available. " + error).c_str());
        return RT_ERR_MODULE;
    }
    job.attributes = &printAttributes();
    job.pdfPath = pdf.toStdString();
    if (!job.pdfPath.empty()) return run(job);
    // To the printer: a test's scripted dialog, the operator's dialog, or the tests' PDF.
    if (auto answer = test::takePrintAnswer()) {
        if (!answer->accept) return RT_ERR_CANCELLED;
        job.dialog = PrintJob::Dialog::Scripted;
        job.scriptedAttribute = answer->attribute;
        job.scriptedValue = answer->value;
        job.pdfPath = answer->pdfPath.empty() ? test::printerOutputOverride() : answer->pdfPath;
        return run(job);
    }
    job.pdfPath = test::printerOutputOverride();
    if (prompt && job.pdfPath.empty()) job.dialog = PrintJob::Dialog::Operator;
    return run(job);
}

// ---- Drawing a panel ----------------------------------------------------------------------------

QColor rgb(int v) {
    return QColor((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

// Panels are drawn in screen pixels and scaled onto the page, so fonts are sized in those
// pixels too (a point on a 1800 dpi printer would be 25 times too large after scaling).
constexpr double kScreenDpi = 96.0;
QFont pixelFont(QFont f) {
    if (f.pointSizeF() > 0)
        f.setPixelSize(
            std::max(1, static_cast<int>(std::lround(f.pointSizeF() * kScreenDpi / 72.0))));
    return f;
}

QString valueText(const Control &c) {
    if (isListKind(c.kind))
        return c.index >= 0 && c.index < static_cast<int>(c.items.size())
                   ? c.items[static_cast<size_t>(c.index)].label
                   : QString();
    if (isTextKind(c.kind)) return c.value.text;
    if (c.kind == Kind::Switch || c.kind == Kind::ToggleButton)
        return c.value.number ? c.onText : c.offText;
    return formatNumber(c, c.value.number);
}

void drawControl(QPainter &g, const Control &c) {
    const QRect r = c.rect;
    const QColor back = c.textBgColor == kThemeColor ? QColor(Qt::white) : rgb(c.textBgColor);
    const QColor ink = c.textColor == kThemeColor ? QColor(Qt::black) : rgb(c.textColor);
    g.setFont(pixelFont(controlFont(c)));
    g.setPen(ink);
    const int flags = (c.align == 1   ? Qt::AlignHCenter
                       : c.align == 2 ? Qt::AlignRight
                                      : Qt::AlignLeft);
    switch (c.kind) {
    case Kind::Ring: {
        // The chosen item as the screen shows it: its colours and its mark.
        const ItemLook look = chosenItemLook(c);
        g.fillRect(r, look.back);
        g.setPen(Qt::gray);
        g.drawRect(r.adjusted(0, 0, -1, -1));
        g.setPen(look.ink);
        g.drawText(r.adjusted(3, 0, -3, 0), flags | Qt::AlignVCenter, look.text);
        break;
    }
    case Kind::Numeric:
    case Kind::NumericDisplay:
    case Kind::String:
        g.fillRect(r, back);
        g.setPen(Qt::gray);
        g.drawRect(r.adjusted(0, 0, -1, -1));
        g.setPen(ink);
        g.drawText(
            r.adjusted(3, 0, -3, 0),
            (c.kind == Kind::Numeric || c.kind == Kind::NumericDisplay ? Qt::AlignRight : flags) |
                Qt::AlignVCenter,
            valueText(c));
        break;
    case Kind::TextMessage:
        if (c.textBgColor != kThemeColor) g.fillRect(r, back);
        g.drawText(r, flags | Qt::AlignTop | Qt::TextWordWrap, c.value.text);
        break;
    case Kind::TextBox:
        g.fillRect(r, back);
        g.setPen(Qt::gray);
        g.drawRect(r.adjusted(0, 0, -1, -1));
        g.setPen(ink);
        g.drawText(r.adjusted(4, 3, -4, -3), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                   c.value.text);
        break;
    case Kind::Button:
    case Kind::ToggleButton:
        g.fillRect(r, QColor(0xE0, 0xE0, 0xE0));
        g.setPen(Qt::darkGray);
        g.drawRect(r.adjusted(0, 0, -1, -1));
        g.setPen(ink);
        g.drawText(r, Qt::AlignCenter, c.kind == Kind::Button ? c.label : valueText(c));
        break;
    case Kind::Switch: {
        const QRect box(r.left(), r.center().y() - 6, 12, 12);
        g.drawRect(box);
        if (c.value.number)
            g.drawLine(box.topLeft(), box.bottomRight()),
                g.drawLine(box.bottomLeft(), box.topRight());
        g.drawText(r.adjusted(18, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, valueText(c));
        break;
    }
    case Kind::ListBox: {
        g.fillRect(r, back);
        g.setPen(Qt::gray);
        g.drawRect(r.adjusted(0, 0, -1, -1));
        g.setPen(ink);
        const int h = g.fontMetrics().height();
        for (size_t i = 0; i < c.items.size() && static_cast<int>(i + 1) * h <= r.height(); ++i) {
            const QRect line(r.left() + 3, r.top() + static_cast<int>(i) * h, r.width() - 6, h);
            if (static_cast<int>(i) == c.index) g.fillRect(line, QColor(0xCC, 0xDD, 0xFF));
            g.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, c.items[i].label);
        }
        break;
    }
    case Kind::ProgressBar: {
        g.setPen(Qt::gray);
        g.drawRect(r.adjusted(0, 0, -1, -1));
        const double span = c.maxValue > c.minValue ? c.maxValue - c.minValue : 1;
        const double f = std::clamp((c.value.number - c.minValue) / span, 0.0, 1.0);
        g.fillRect(
            QRect(r.left() + 1, r.top() + 1, static_cast<int>((r.width() - 2) * f), r.height() - 2),
            c.fillColor == kFillTheme ? QColor(0x30, 0x80, 0xD0) : rgb(c.fillColor));
        if (c.showDigital) {
            g.setPen(ink);
            g.drawText(r, Qt::AlignCenter,
                       QString::number(f * 100, 'f', c.progressPrecision) + '%');
        }
        break;
    }
    case Kind::Decoration:
        g.setPen(Qt::gray);
        g.drawRect(r.adjusted(0, 0, -1, -1));
        break;
    case Kind::Picture:
        if (!c.image.isNull()) {
            const QSize s = c.image.size().scaled(r.size(), Qt::KeepAspectRatio);
            g.drawImage(QRect(QPoint(r.left() + (r.width() - s.width()) / 2,
                                     r.top() + (r.height() - s.height()) / 2),
                              s),
                        c.image);
        }
        break;
    case Kind::Graph:
    case Kind::StripChart: {
        g.setPen(Qt::black);
        g.drawRect(r.adjusted(0, 0, -1, -1));
        const int h = g.fontMetrics().height();
        g.drawText(QRect(r.left(), r.bottom() - h, r.width(), h), Qt::AlignCenter, c.axisName[0]);
        g.drawText(QRect(r.left() + 2, r.top() + 2, r.width() / 2, h), Qt::AlignLeft,
                   c.axisName[1]);
        if (c.kind == Kind::Graph)
            g.drawText(QRect(r.center().x(), r.top() + 2, r.width() / 2 - 2, h), Qt::AlignRight,
                       c.axisName[2]);
        break;
    }
    case Kind::Table: {
        const int rows = static_cast<int>(c.rowLabels.size()),
                  cols = static_cast<int>(c.columnLabels.size());
        if (!rows || !cols) break;
        const int h = g.fontMetrics().height() + 4;
        const int w = std::max(20, r.width() / (cols + 1));
        g.setPen(Qt::gray);
        g.drawRect(r.adjusted(0, 0, -1, -1));
        g.setPen(ink);
        for (int col = 0; col < cols; ++col)
            g.drawText(QRect(r.left() + (col + 1) * w, r.top(), w, h), Qt::AlignCenter,
                       c.columnLabels[col]);
        for (int row = 0; row < rows && (row + 2) * h <= r.height(); ++row) {
            g.drawText(QRect(r.left(), r.top() + (row + 1) * h, w, h), Qt::AlignCenter,
                       c.rowLabels[row]);
            for (int col = 0; col < cols; ++col) {
                const Cell &cell = c.cells[static_cast<size_t>(col * rows + row)];
                g.drawText(QRect(r.left() + (col + 1) * w + 2, r.top() + (row + 1) * h, w - 4, h),
                           Qt::AlignLeft | Qt::AlignVCenter,
                           cell.type == CELL_NUMERIC ? QString::number(cell.number, 'g', 15)
                                                     : cell.text);
            }
        }
        break;
    }
    }
}

void drawPanel(QPainter &g, const Panel &p) {
    g.fillRect(QRect(QPoint(0, 0), p.rect.size()), rgb(p.backColor));
    for (const auto &c : p.controls) {
        if (!c->visible) continue;
        drawControl(g, *c);
        const QRect l = labelRect(*c);
        if (!l.isEmpty()) {
            g.setFont(pixelFont(labelFont()));
            g.setPen(Qt::black);
            g.drawText(l, Qt::AlignLeft | Qt::AlignTop, c->label);
        }
    }
    for (int child : p.children) {
        const Panel *cp = findPanel(child);
        if (!cp || !cp->displayed) continue;
        g.save();
        g.translate(cp->rect.topLeft());
        g.setClipRect(QRect(QPoint(0, 0), cp->rect.size()));
        drawPanel(g, *cp);
        g.restore();
    }
}

// Draws a panel on a page: scaled to fit (scaling 1) or at the scale attribute, as vectors or,
// when the bitmap attribute is 0, as one image of the panel at screen resolution.
void paintPanelOnPage(QPainter &g, const QPagedPaintDevice &printer, int resolution, const Panel &p,
                      int scaling) {
    const QRectF page = printer.pageLayout().paintRectPixels(resolution);
    double scale = resolution / kScreenDpi * printAttributes()[ATTR_PRINT_SCALE] / 100.0;
    const QSizeF size = p.rect.size();
    if (scaling == 1 && size.width() > 0 && size.height() > 0)
        scale = std::min(page.width() / size.width(), page.height() / size.height());
    g.scale(scale, scale);
    if (printAttributes()[ATTR_PRINT_BITMAP] == 0) {
        QImage image(p.rect.size(), QImage::Format_RGB32);
        QPainter ig(&image);
        drawPanel(ig, p);
        ig.end();
        g.drawImage(QPoint(0, 0), image);
    } else {
        drawPanel(g, p);
    }
}

} // namespace

QImage renderPanelImage(const Panel &p) {
    QImage image(p.rect.size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    QPainter g(&image);
    drawPanel(g, p);
    return image;
}

} // namespace rt

using namespace rt;

// ---- Printing -----------------------------------------------------------------------------------

int SetPrintAttributeEx(int attribute, int value) {
    auto &a = printAttributes();
    if (!a.count(attribute)) return RT_ERR_INVALID_ATTRIBUTE;
    if (!validPrintValue(attribute, value)) return RT_ERR_INVALID_VALUE;
    a[attribute] = value;
    return 0;
}

int GetPrintAttribute(int attribute, int *value) {
    if (!value) return RT_ERR_NULL_POINTER;
    auto &a = printAttributes();
    auto it = a.find(attribute);
    if (it == a.end()) return RT_ERR_INVALID_ATTRIBUTE;
    *value = it->second;
    return 0;
}

int PrintPanel(int panel, const char *fileName, int scaling, int, int prompt) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    Panel *p = findPanel(panel);
    if (!p) return RT_ERR_INVALID_PANEL;
    const QString file = fromC(fileName);
    const QString suffix = QFileInfo(file).suffix().toLower();
    if (!file.isEmpty() && suffix != QLatin1String("pdf")) {
        // Another extension: an image file of the panel as drawn.
        return renderPanelImage(*p).save(file) ? 0 : RT_ERR_PRINT;
    }
    PrintJob job;
    job.paint = [p, scaling](QPagedPaintDevice &printer, int resolution) {
        QPainter g;
        if (!g.begin(&printer)) return false;
        paintPanelOnPage(g, printer, resolution, *p, scaling);
        return g.end();
    };
    return runPrintJob(job, file, prompt != 0);
}

int PrintTextFile(const char *textFile, const char *outputFile) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    if (!textFile) return RT_ERR_NULL_POINTER;
    QFile f(fromC(textFile));
    if (!f.exists()) return RT_ERR_FILE_NOT_FOUND;
    if (!f.open(QIODevice::ReadOnly)) return RT_ERR_FILE_ACCESS;
    if (f.size() > kMaxTextFileBytes) return RT_ERR_IO;
    const QByteArray bytes = f.readAll();
    // Readme texts are UTF-8; an older file in a single-byte code page still prints.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) text = QString::fromLatin1(bytes);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    PrintJob job;
    job.paint = [&text](QPagedPaintDevice &printer, int) {
        QTextDocument doc;
        QFont font(QStringLiteral("Monospace"), 10);
        font.setStyleHint(QFont::TypeWriter);
        doc.setDefaultFont(font);
        doc.setPlainText(text);
        doc.print(&printer);
        return true;
    };
    return runPrintJob(job, fromC(outputFile), false);
}
