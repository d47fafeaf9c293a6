// Message boxes and the file dialog.
#include "platform/ui/rt_model.h"
#include "platform/ui/rt_testing_hooks.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>

using namespace rt;

int MessagePopup(const char *title, const char *message) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    QMessageBox box(QMessageBox::Information, fromC(title), fromC(message), QMessageBox::Ok);
    box.exec();
    return 0;
}

// ---- File dialog --------------------------------------------------------------------------------

namespace {

// "*.BMP;*.DIB" -> "*.BMP *.bmp *.DIB *.dib": the operator's files match whatever their case.
QString patternsOf(const QString &list) {
    QStringList out;
    for (const QString &raw :
         list.split(QRegularExpression(QStringLiteral("[;\\s]+")), Qt::SkipEmptyParts)) {
        out << raw;
        if (raw.toLower() != raw) out << raw.toLower();
        if (raw.toUpper() != raw) out << raw.toUpper();
    }
    out.removeDuplicates();
    return out.join(' ');
}

int answerPath(const QString &path, char *pathName, size_t size) {
    if (static_cast<size_t>(path.toUtf8().size()) >= size) {
        pathName[0] = '\0';
        return RT_ERR_INVALID_VALUE; // a cut path would name another file
    }
    copyOut(path, pathName, size);
    return QFileInfo::exists(path) ? VAL_EXISTING_FILE_SELECTED : VAL_NEW_FILE_SELECTED;
}

} // namespace

int FileSelectPopup(const char *defaultDirectory, const char *defaultFileSpec,
                    const char *fileTypeList, const char *title, int buttonLabel,
                    int restrictDirectory, int restrictExtension, int, int allowMakeDirectory,
                    char *pathName, size_t pathNameSize) {
    if (!pathName || pathNameSize == 0) return RT_ERR_NULL_POINTER;
    pathName[0] = '\0';
    test::recordFileDialog(title, fileTypeList);
    if (auto answer = test::takeFileAnswer()) {
        if (answer->cancel) return VAL_NO_FILE_SELECTED;
        return answerPath(QString::fromStdString(answer->path), pathName, pathNameSize);
    }
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    QFileDialog dialog(nullptr, fromC(title), fromC(defaultDirectory));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    const bool saving = buttonLabel == VAL_SAVE_BUTTON;
    dialog.setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // The accept button keeps Qt's own label ("Save" or "Open"), the title Qt's own caption when
    // none is given, and the filters no words of ours: all of them then come in the operator's
    // language from Qt's translations (RT_SetToolkitLanguage).
    QStringList filters;
    const QString types = patternsOf(fromC(fileTypeList));
    if (!types.isEmpty()) filters << types;
    if (!restrictExtension || filters.isEmpty())
        filters << QCoreApplication::translate("QFileDialog", "All Files (*)");
    dialog.setNameFilters(filters);
    const QString spec = fromC(defaultFileSpec);
    if (!spec.isEmpty() && !spec.contains('*') && !spec.contains('?')) dialog.selectFile(spec);
    if (!allowMakeDirectory) dialog.setOption(QFileDialog::ReadOnly);
    if (restrictDirectory) {
        const QString home = fromC(defaultDirectory);
        QObject::connect(&dialog, &QFileDialog::directoryEntered, &dialog,
                         [&dialog, home](const QString &dir) {
                             if (QFileInfo(dir) != QFileInfo(home)) dialog.setDirectory(home);
                         });
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return VAL_NO_FILE_SELECTED;
    QString path = dialog.selectedFiles().front();
    // A saved file gets the extension of the type list when the operator typed none.
    if (saving && restrictExtension && QFileInfo(path).suffix().isEmpty()) {
        const QString first = fromC(fileTypeList).section(';', 0, 0).trimmed();
        if (first.startsWith(QLatin1String("*.")) && first.count('*') == 1) path += first.mid(1);
    }
    return answerPath(path, pathName, pathNameSize);
}
