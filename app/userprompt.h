// Every question a window asks the user goes through one UserPrompt, so that
// windows run headless and tests answer from a script and check what was asked.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <optional>
#include <variant>
#include <vector>

class QPrinter;
class QWidget;

namespace velmor {

class UserPrompt {
public:
    enum class Icon { None, Information, Question, Exclamation, Critical };
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
    enum class Answer { Ok, Cancel, Yes, No, Retry, Abort, Ignore };

    /// Open/save dialog request; FilterIndex is 1-based, as the filter's pairs.
    struct FileRequest {
        QString title;
        QString folder;
        QString filter;  ///< "Desc|pattern|Desc|pattern"
        int filterIndex = 1;
        QString fileName;
    };

    virtual ~UserPrompt() = default;

    /// An empty title means the program's name.
    virtual Answer Message(const QString& text, const QString& title = {},
                           Buttons buttons = Buttons::Ok, Icon icon = Icon::None) = 0;
    /// nullopt when cancelled; "" when confirmed empty.
    virtual std::optional<QString> Input(const QString& prompt, const QString& title = {},
                                         const QString& defaultText = {}) = 0;
    /// The chosen path, or "" when cancelled. FilterIndex is updated.
    virtual QString OpenFile(FileRequest& request) = 0;
    virtual QString SaveFile(FileRequest& request) = 0;
    /// Lets the user choose and set up a printer; false when cancelled.
    virtual bool ChoosePrinter(QPrinter& printer) = 0;
    /// Sets Printer to the system's default printer; false when there is none.
    virtual bool UseDefaultPrinter(QPrinter& printer) = 0;
    /// Starts a program without waiting; false when it could not start.
    virtual bool StartProcess(const QString& program, const QStringList& arguments) = 0;
    /// Opens a web address in the system browser.
    virtual bool OpenUrl(const QString& url) = 0;
};

/// The real dialogs.
class QtUserPrompt : public UserPrompt {
public:
    explicit QtUserPrompt(QWidget* parent = nullptr) : parent_(parent) {}
    Answer Message(const QString& text, const QString& title, Buttons buttons, Icon icon) override;
    std::optional<QString> Input(const QString& prompt, const QString& title,
                                 const QString& defaultText) override;
    QString OpenFile(FileRequest& request) override;
    QString SaveFile(FileRequest& request) override;
    bool ChoosePrinter(QPrinter& printer) override;
    bool UseDefaultPrinter(QPrinter& printer) override;
    bool StartProcess(const QString& program, const QStringList& arguments) override;
    bool OpenUrl(const QString& url) override;

private:
    QWidget* parent_;
};

/// Answers from a queue and records every question. A question with no
/// queued answer gets the neutral answer (Cancel / No / Ok for an OK-only
/// box, nullopt, "") and is recorded as unanswered.
class ScriptedUserPrompt : public UserPrompt {
public:
    struct Asked {
        enum class Kind { Message, Input, OpenFile, SaveFile, Printer, Process, Url } kind;
        QString text;  ///< message text, input prompt, program or url
        QString title;
        Buttons buttons = Buttons::Ok;
        Icon icon = Icon::None;
        QString defaultText;  ///< input default; file dialog: folder
        QString filter;       ///< file dialogs
        int filterIndex = 0;
        QStringList arguments;  ///< processes
        bool answered = false;
    };

    void QueueAnswer(Answer a) { answers_.push_back(a); }
    void QueueInput(std::optional<QString> text) { answers_.push_back(std::move(text)); }
    /// Path to return from the next file dialog ("" = cancelled).
    void QueueFile(const QString& path) { answers_.push_back(FileAnswer{path}); }
    /// A printer accepted with PdfPath prints into that PDF file.
    void QueuePrinter(bool accept, const QString& pdfPath = {}) {
        answers_.push_back(PrinterAnswer{accept, pdfPath});
    }
    /// Result of the next StartProcess / OpenUrl.
    void SetLaunchResult(bool ok) { launchResult_ = ok; }
    /// Whether the system has a default printer (none unless set).
    void SetDefaultPrinter(bool exists) { defaultPrinter_ = exists; }

    const std::vector<Asked>& Questions() const { return asked_; }
    int PendingAnswers() const { return static_cast<int>(answers_.size()); }
    void Clear() {
        asked_.clear();
        answers_.clear();
        defaultPrinter_ = false;
    }

    Answer Message(const QString& text, const QString& title, Buttons buttons, Icon icon) override;
    std::optional<QString> Input(const QString& prompt, const QString& title,
                                 const QString& defaultText) override;
    QString OpenFile(FileRequest& request) override;
    QString SaveFile(FileRequest& request) override;
    bool ChoosePrinter(QPrinter& printer) override;
    bool UseDefaultPrinter(QPrinter& printer) override;
    bool StartProcess(const QString& program, const QStringList& arguments) override;
    bool OpenUrl(const QString& url) override;

private:
    struct FileAnswer {
        QString path;
    };
    struct PrinterAnswer {
        bool accept;
        QString pdfPath;
    };
    using Queued = std::variant<Answer, std::optional<QString>, FileAnswer, PrinterAnswer>;
    template <class T>
    std::optional<T> Take();

    std::deque<Queued> answers_;
    std::vector<Asked> asked_;
    bool launchResult_ = true;
    bool defaultPrinter_ = false;
};

/// A dialog filter "Desc|*.a;*.b|..." as Qt's name filters "Desc (*.a *.b)".
QStringList QtNameFilters(const QString& filter);

/// The program-wide prompt; a QtUserPrompt unless a test installs another.
UserPrompt& Prompt();
/// Installs Prompt (not owned); nullptr restores the Qt one.
void SetPrompt(UserPrompt* prompt);

}  // namespace velmor
