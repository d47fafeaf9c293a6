// The print module (ks_print.so): runs a print job (platform/ui/print_job.h) on a QPrinter, with
// Qt's print dialog when asked. The only code of the program that uses Qt PrintSupport; the
// attribute table is docs/printing.md.
#include "platform/ui/print_job.h"

#include <QDialog>
#include <QPageLayout>
#include <QPrintDialog>
#include <QPrinter>

#include <cmath>
#include <type_traits>

#include "platform/ui/rt_constants.h"
#include "toolbox/core/errors.h"

namespace rt {
namespace {

constexpr int kMaxPrintResolution = 2400; // dpi; more only costs memory

// Attributes -> printer, before the dialog.
void applyPrintAttributes(QPrinter &printer, std::map<int, int> &a) {
    printer.setResolution(std::min(a[ATTR_PRINT_XRESOLUTION], kMaxPrintResolution));
    if (a[ATTR_PRINT_PAPER_WIDTH] > 0 && a[ATTR_PRINT_PAPER_HEIGHT] > 0)
        printer.setPageSize(
            QPageSize(QSizeF(a[ATTR_PRINT_PAPER_WIDTH] / 10.0, a[ATTR_PRINT_PAPER_HEIGHT] / 10.0),
                      QPageSize::Millimeter, QString(), QPageSize::ExactMatch));
    printer.setPageOrientation(a[ATTR_PRINT_ORIENTATION] ? QPageLayout::Landscape
                                                         : QPageLayout::Portrait);
    const double m = a[ATTR_PRINT_MARGIN] / 10.0;
    printer.setPageMargins(QMarginsF(m, m, m, m), QPageLayout::Millimeter);
    printer.setCopyCount(a[ATTR_PRINT_COPIES]);
    printer.setCollateCopies(a[ATTR_PRINT_COLLATE] != 0);
    printer.setDuplex(a[ATTR_PRINT_DUPLEX] == 0   ? QPrinter::DuplexNone
                      : a[ATTR_PRINT_DUPLEX] == 1 ? QPrinter::DuplexLongSide
                                                  : QPrinter::DuplexAuto);
    printer.setColorMode(a[ATTR_PRINT_COLOR_MODE] ? QPrinter::Color : QPrinter::GrayScale);
    printer.setPageOrder(a[ATTR_PRINT_PAGE_ORDER] ? QPrinter::LastPageFirst
                                                  : QPrinter::FirstPageFirst);
}

// Printer -> attributes, after the dialog: what the operator chose is kept.
void readPrintAttributes(const QPrinter &printer, std::map<int, int> &a) {
    a[ATTR_PRINT_ORIENTATION] =
        printer.pageLayout().orientation() == QPageLayout::Landscape ? 1 : 0;
    a[ATTR_PRINT_XRESOLUTION] = printer.resolution();
    a[ATTR_PRINT_COPIES] = std::max(1, printer.copyCount());
    a[ATTR_PRINT_COLLATE] = printer.collateCopies() ? 1 : 0;
    a[ATTR_PRINT_DUPLEX] = printer.duplex() == QPrinter::DuplexNone       ? 0
                           : printer.duplex() == QPrinter::DuplexLongSide ? 1
                                                                          : 2;
    a[ATTR_PRINT_COLOR_MODE] = printer.colorMode() == QPrinter::Color ? 1 : 0;
    a[ATTR_PRINT_PAGE_ORDER] = printer.pageOrder() == QPrinter::LastPageFirst ? 1 : 0;
    const QMarginsF m = printer.pageLayout().margins(QPageLayout::Millimeter);
    a[ATTR_PRINT_MARGIN] = static_cast<int>(std::lround(m.left() * 10));
    // The paper stays "the printer's default" (-1) unless a size was chosen explicitly.
    if (a[ATTR_PRINT_PAPER_WIDTH] > 0 || printer.pageLayout().pageSize().id() != QPageSize::A4) {
        const QSizeF s = printer.pageLayout().pageSize().size(QPageSize::Millimeter);
        a[ATTR_PRINT_PAPER_WIDTH] = static_cast<int>(std::lround(s.width() * 10));
        a[ATTR_PRINT_PAPER_HEIGHT] = static_cast<int>(std::lround(s.height() * 10));
    }
}

// What a scripted print dialog does to the printer: the change an operator would make there.
void applyDialogChange(QPrinter &printer, int attribute, int value) {
    switch (attribute) {
    case ATTR_PRINT_ORIENTATION:
        printer.setPageOrientation(value ? QPageLayout::Landscape : QPageLayout::Portrait);
        break;
    case ATTR_PRINT_COPIES:
        printer.setCopyCount(value);
        break;
    case ATTR_PRINT_COLLATE:
        printer.setCollateCopies(value != 0);
        break;
    case ATTR_PRINT_DUPLEX:
        printer.setDuplex(value == 0   ? QPrinter::DuplexNone
                          : value == 1 ? QPrinter::DuplexLongSide
                                       : QPrinter::DuplexAuto);
        break;
    case ATTR_PRINT_COLOR_MODE:
        printer.setColorMode(value ? QPrinter::Color : QPrinter::GrayScale);
        break;
    case ATTR_PRINT_PAGE_ORDER:
        printer.setPageOrder(value ? QPrinter::LastPageFirst : QPrinter::FirstPageFirst);
        break;
    case ATTR_PRINT_XRESOLUTION:
        printer.setResolution(value);
        break;
    case ATTR_PRINT_MARGIN: {
        const double m = value / 10.0;
        printer.setPageMargins(QMarginsF(m, m, m, m), QPageLayout::Millimeter);
        break;
    }
    case ATTR_PRINT_PAPER_WIDTH:
    case ATTR_PRINT_PAPER_HEIGHT: {
        QSizeF s = printer.pageLayout().pageSize().size(QPageSize::Millimeter);
        (attribute == ATTR_PRINT_PAPER_WIDTH ? s.rwidth() : s.rheight()) = value / 10.0;
        printer.setPageSize(QPageSize(s, QPageSize::Millimeter, QString(), QPageSize::ExactMatch));
        break;
    }
    }
}

} // namespace
} // namespace rt

extern "C" __attribute__((visibility("default"))) int ks_run_print_job(rt::PrintJob &job) {
    using rt::PrintJob;
    QPrinter printer(QPrinter::HighResolution);
    rt::applyPrintAttributes(printer, *job.attributes);
    switch (job.dialog) {
    case PrintJob::Dialog::None:
        break;
    case PrintJob::Dialog::Operator: {
        QPrintDialog dialog(&printer);
        if (dialog.exec() != QDialog::Accepted) return RT_ERR_CANCELLED;
        rt::readPrintAttributes(printer, *job.attributes);
        break;
    }
    case PrintJob::Dialog::Scripted:
        if (job.scriptedAttribute)
            rt::applyDialogChange(printer, job.scriptedAttribute, job.scriptedValue);
        rt::readPrintAttributes(printer, *job.attributes);
        if (job.pdfPath.empty()) return RT_ERR_CANCELLED; // a test that gave no file prints nowhere
        break;
    }
    if (!job.pdfPath.empty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(job.pdfPath));
    }
    return job.paint(printer, printer.resolution()) ? 0 : RT_ERR_PRINT;
}
static_assert(std::is_same_v<decltype(&ks_run_print_job), rt::RunPrintJob>,
              "the entry point must have the type the loader casts it to");
