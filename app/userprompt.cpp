#include "app/userprompt.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QPrinter>
#include <QUrl>

#include "app/detachedstart.h"

namespace velmor {

namespace {

QString TitleOrProgramName(const QString& title) {
    if (!title.isEmpty()) return title;
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("Velmor_Dravik") : name;
}

QMessageBox::Icon ToQtIcon(UserPrompt::Icon icon) {
    switch (icon) {
        case UserPrompt::Icon::Information:
            return QMessageBox::Information;
        case UserPrompt::Icon::Question:
            return QMessageBox::Question;
        case UserPrompt::Icon::Exclamation:
            return QMessageBox::Warning;
        case UserPrompt::Icon::Critical:
            return QMessageBox::Critical;
        case UserPrompt::Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQtButtons(UserPrompt::Buttons buttons) {
    switch (buttons) {
        case UserPrompt::Buttons::Ok:
            return QMessageBox::Ok;
        case UserPrompt::Buttons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case UserPrompt::Buttons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case UserPrompt::Buttons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case UserPrompt::Buttons::RetryCancel:
            return QMessageBox::Retry | QMessageBox::Cancel;
        case UserPrompt::Buttons::AbortRetryIgnore:
            return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    }
    return QMessageBox::Ok;
}

UserPrompt::Answer FromQtButton(int button, UserPrompt::Buttons shown) {
    switch (button) {
        case QMessageBox::Ok:
            return UserPrompt::Answer::Ok;
        case QMessageBox::Yes:
            return UserPrompt::Answer::Yes;
        case QMessageBox::No:
            return UserPrompt::Answer::No;
        case QMessageBox::Retry:
            return UserPrompt::Answer::Retry;
        case QMessageBox::Abort:
            return UserPrompt::Answer::Abort;
        case QMessageBox::Ignore:
            return UserPrompt::Answer::Ignore;
        default:
            break;
    }
    // Escape or the close box on a box without Cancel.
    return shown == UserPrompt::Buttons::Ok ? UserPrompt::Answer::Ok : UserPrompt::Answer::Cancel;
}

}  // namespace

// "*.*" means every file here, where names need not hold a dot.
QStringList QtNameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& p : patterns) {
            p = p.trimmed();
            if (p == QLatin1String("*.*")) p = QStringLiteral("*");
        }
        // "CSV (*.csv)" already names its patterns; Qt reads the last brackets.
        QString description = parts[i];
        const QString shown = QStringLiteral(" (") + parts[i + 1] + QLatin1Char(')');
        if (description.endsWith(shown)) description.chop(shown.size());
        result << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                      QLatin1Char(')');
    }
    return result;
}

namespace {

QString RunFileDialog(QWidget* parent, UserPrompt::FileRequest& request, bool save) {
    QFileDialog dialog(parent, request.title, request.folder);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    const QStringList filters = QtNameFilters(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const int index = request.filterIndex - 1;
        if (index >= 0 && index < filters.size()) dialog.selectNameFilter(filters[index]);
    }
    if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    const int chosen = filters.indexOf(dialog.selectedNameFilter());
    if (chosen >= 0) request.filterIndex = chosen + 1;
    request.fileName = dialog.selectedFiles().constFirst();
    return request.fileName;
}

}  // namespace

UserPrompt::Answer QtUserPrompt::Message(const QString& text, const QString& title, Buttons buttons,
                                         Icon icon) {
    QMessageBox box(ToQtIcon(icon), TitleOrProgramName(title), text, ToQtButtons(buttons), parent_);
    return FromQtButton(box.exec(), buttons);
}

std::optional<QString> QtUserPrompt::Input(const QString& prompt, const QString& title,
                                           const QString& defaultText) {
    bool ok = false;
    QString text = QInputDialog::getText(parent_, TitleOrProgramName(title), prompt,
                                         QLineEdit::Normal, defaultText, &ok);
    if (!ok) return std::nullopt;
    return text;
}

QString QtUserPrompt::OpenFile(FileRequest& request) {
    return RunFileDialog(parent_, request, false);
}

QString QtUserPrompt::SaveFile(FileRequest& request) {
    return RunFileDialog(parent_, request, true);
}

bool QtUserPrompt::ChoosePrinter(QPrinter& printer) {
    QPrintDialog dialog(&printer, parent_);
    return dialog.exec() == QDialog::Accepted;
}

bool QtUserPrompt::UseDefaultPrinter(QPrinter& printer) {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) return false;
    printer.setPrinterName(info.printerName());
    return true;
}

bool QtUserPrompt::StartProcess(const QString& program, const QStringList& arguments) {
    return StartDetached(program, arguments);
}

bool QtUserPrompt::OpenUrl(const QString& url) {
    return QDesktopServices::openUrl(QUrl::fromUserInput(url));
}

template <class T>
std::optional<T> ScriptedUserPrompt::Take() {
    if (answers_.empty()) return std::nullopt;
    T* value = std::get_if<T>(&answers_.front());
    if (value == nullptr) return std::nullopt;  // scripted for another kind of question
    std::optional<T> result(std::move(*value));
    answers_.pop_front();
    return result;
}

UserPrompt::Answer ScriptedUserPrompt::Message(const QString& text, const QString& title,
                                               Buttons buttons, Icon icon) {
    Asked asked{Asked::Kind::Message, text, title, buttons, icon, {}, {}, 0, {}, false};
    std::optional<Answer> answer = Take<Answer>();
    asked.answered = answer.has_value();
    asked_.push_back(asked);
    if (answer) return *answer;
    switch (buttons) {
        case Buttons::Ok:
            return Answer::Ok;
        case Buttons::YesNo:
            return Answer::No;
        case Buttons::AbortRetryIgnore:
            return Answer::Abort;
        default:
            return Answer::Cancel;
    }
}

std::optional<QString> ScriptedUserPrompt::Input(const QString& prompt, const QString& title,
                                                 const QString& defaultText) {
    Asked asked{Asked::Kind::Input,
                prompt,
                title,
                Buttons::OkCancel,
                Icon::None,
                defaultText,
                {},
                0,
                {},
                false};
    std::optional<std::optional<QString>> answer = Take<std::optional<QString>>();
    asked.answered = answer.has_value();
    asked_.push_back(asked);
    return answer ? *answer : std::nullopt;
}

QString ScriptedUserPrompt::OpenFile(FileRequest& request) {
    Asked asked{Asked::Kind::OpenFile,
                request.fileName,
                request.title,
                Buttons::OkCancel,
                Icon::None,
                request.folder,
                request.filter,
                request.filterIndex,
                {},
                false};
    std::optional<FileAnswer> answer = Take<FileAnswer>();
    asked.answered = answer.has_value();
    asked_.push_back(asked);
    if (!answer) return {};
    if (!answer->path.isEmpty()) request.fileName = answer->path;
    return answer->path;
}

QString ScriptedUserPrompt::SaveFile(FileRequest& request) {
    QString path = OpenFile(request);
    asked_.back().kind = Asked::Kind::SaveFile;
    return path;
}

bool ScriptedUserPrompt::ChoosePrinter(QPrinter& printer) {
    Asked asked{Asked::Kind::Printer, {}, {}, Buttons::OkCancel, Icon::None, {}, {}, 0, {}, false};
    std::optional<PrinterAnswer> answer = Take<PrinterAnswer>();
    asked.answered = answer.has_value();
    asked_.push_back(asked);
    if (answer && answer->accept && !answer->pdfPath.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(answer->pdfPath);
    }
    return answer && answer->accept;
}

bool ScriptedUserPrompt::UseDefaultPrinter(QPrinter&) {
    return defaultPrinter_;
}

bool ScriptedUserPrompt::StartProcess(const QString& program, const QStringList& arguments) {
    asked_.push_back(
        {Asked::Kind::Process, program, {}, Buttons::Ok, Icon::None, {}, {}, 0, arguments, true});
    return launchResult_;
}

bool ScriptedUserPrompt::OpenUrl(const QString& url) {
    asked_.push_back({Asked::Kind::Url, url, {}, Buttons::Ok, Icon::None, {}, {}, 0, {}, true});
    return launchResult_;
}

namespace {
UserPrompt* installedPrompt = nullptr;
}

UserPrompt& Prompt() {
    if (installedPrompt != nullptr) return *installedPrompt;
    static QtUserPrompt qtPrompt;
    return qtPrompt;
}

void SetPrompt(UserPrompt* prompt) {
    installedPrompt = prompt;
}

}  // namespace velmor
