// The hex view's keyboard, its byte writes and its find and replace.
#include <QKeyEvent>
#include <QLineEdit>

#include "app/userprompt.h"
#include "data/bytesearch.h"
#include "hexedit/bytewriter.h"
#include "hexedit/frmHexView.h"
#include "hexedit/hexviewhost.h"
#include "viewer/progressgate.h"
#include "viewer/typedtext.h"

namespace velmor::hexedit {

namespace {

const QString kReadOnlyTitle = QStringLiteral("Read Only File");
const QString kReadOnlyText = QStringLiteral(
    "The file cannot be altered because it has been marked as a 'Read Only' file.  Would you "
    "like to attempt to alter this setting and continue with the edit?");

bool AskClearReadOnly() {
    return Prompt().Message(kReadOnlyText, kReadOnlyTitle, UserPrompt::Buttons::YesNo,
                            UserPrompt::Icon::Information) == UserPrompt::Answer::Yes;
}

// The navigation code of a key, 0 for every other key: what a key types is
// read from its text, never from its code ('%' has the code of Left).
int KeyCode(const QKeyEvent* e) {
    switch (e->key()) {
        case Qt::Key_Backspace:
            return keys::Backspace;
        case Qt::Key_PageUp:
            return keys::PageUp;
        case Qt::Key_PageDown:
            return keys::PageDown;
        case Qt::Key_End:
            return keys::End;
        case Qt::Key_Home:
            return keys::Home;
        case Qt::Key_Left:
            return keys::Left;
        case Qt::Key_Up:
            return keys::Up;
        case Qt::Key_Right:
            return keys::Right;
        case Qt::Key_Down:
            return keys::Down;
        default:
            return 0;
    }
}

// The one character a key types, 0 for none (control keys, composed text).
char32_t TypedCharacter(const QKeyEvent* e) {
    const QString text = e->text();
    if (text.isEmpty()) return 0;
    const QList<uint> codes = text.toUcs4();
    return codes.size() == 1 && codes[0] >= 32 && codes[0] != 127 ? codes[0] : 0;
}

// Keys the dialog keeps for itself: focus moves and closing.
bool DialogKey(const QKeyEvent* e) {
    return e->key() == Qt::Key_Tab || e->key() == Qt::Key_Backtab || e->key() == Qt::Key_Escape;
}

bool IsMouse(QEvent::Type type) {
    return type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
           type == QEvent::MouseButtonDblClick || type == QEvent::MouseMove;
}

}  // namespace

bool frmHexView::eventFilter(QObject* watched, QEvent* event) {
    const bool hex = watched == txtHex;
    if (!hex && watched != txtCHR) return QDialog::eventFilter(watched, event);
    auto* box = static_cast<QLineEdit*>(watched);
    if (IsMouse(event->type())) {
        // The boxes only show the cell: a click never moves their caret or
        // selection, it gives the box the focus on its first character.
        if (event->type() == QEvent::MouseButtonPress) {
            box->setFocus(Qt::MouseFocusReason);
            if (hex) mHexKeys.Mouse();
            ShowBoxes();
        }
        return true;
    }
    if (event->type() == QEvent::FocusIn) {
        if (hex) mHexKeys.Mouse();
        ShowBoxes();
        return false;
    }
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (DialogKey(key)) return false;
    if (event->type() == QEvent::KeyRelease) return true;
    const int code = KeyCode(key);
    const char32_t character = code ? 0 : TypedCharacter(key);
    if (hex) {
        txtHex_KeyPress(code, character);
        return true;
    }
    txtCHR_KeyDown(code);
    if (code == 0 && character != 0) txtCHR_KeyPress(character);
    return true;
}

void frmHexView::ShowBoxes() {
    txtHex->setText(QString::fromStdString(mHexKeys.Text()));
    SelectOne(txtHex, mHexKeys.Caret());
    SelectOne(txtCHR, 0);
}

void frmHexView::txtHex_KeyPress(int key, char32_t character) {
    const HexBoxKeys::Result result = mHexKeys.Key(key, character);
    switch (result.action) {
        case HexBoxKeys::Action::None:
            return;
        case HexBoxKeys::Action::InBox:
            ShowBoxes();
            return;
        case HexBoxKeys::Action::MoveCursor:
            ProcessCursorMovement(key);
            return;
        case HexBoxKeys::Action::Write:
            break;
    }
    int row = mCursor.row, column = mCursor.column;
    int value = result.value;
    if (UpdateCharacter(row, column, value)) mCursor.AdvanceAfterHexWrite();
    row = mCursor.row;
    column = mCursor.column;
    PlaceTextBox(row, column);
    txtHex->setFocus();
}

void frmHexView::txtCHR_KeyDown(int key) {
    ProcessCursorMovement(key);
}

void frmHexView::txtCHR_KeyPress(char32_t character) {
    // The character becomes its byte in the file's encoding; one that needs
    // more than one byte (or none) belongs in the hex pane.
    std::string bytes;
    QString refusal;
    const QString typed = QString::fromUcs4(&character, 1);
    if (!viewer::TypedBytes(typed, mHost.TextEncoding(), bytes, refusal) || bytes.size() != 1) {
        if (refusal.isEmpty())
            refusal = QStringLiteral(
                          "\"%1\" takes more than one byte in the file's encoding; "
                          "type its bytes in the hex pane.")
                          .arg(typed);
        Prompt().Message(refusal);
        int row = mCursor.row, column = mCursor.column;
        PlaceTextBox(row, column);
        return;
    }
    int row = mCursor.row, column = mCursor.column;
    int code = static_cast<unsigned char>(bytes[0]);
    if (!UpdateCharacter(row, column, code)) return;
    if (mCursor.AdvanceAfterCharacterWrite()) RefreshHexBox();
    row = mCursor.row;
    column = mCursor.column;
    PlaceTextBox(row, column);
}

void frmHexView::ProcessCursorMovement(int& KeyCode) {
    const CursorMove move = mCursor.Move(KeyCode, mFileLength);
    if (!move.navigation) return;
    if (move.refresh) RefreshHexBox();
    int row = mCursor.row, column = mCursor.column;
    PlaceTextBox(row, column);
}

bool frmHexView::UpdateCharacter(int& Row, int& Column, int& ASCIIValue) {
    const ByteWriteOutcome outcome =
        WriteByte(mHost.PathAndName(), mCursor.Position(Row, Column),
                  static_cast<unsigned char>(ASCIIValue), AskClearReadOnly);
    if (!outcome.error.empty()) {
        ShowFailure(outcome.error);
        return false;
    }
    if (!outcome.written) {
        // Past the end nothing is written and nothing changes on screen.
        return mCursor.Position(Row, Column) > mFileLength;
    }
    DrawCell(Column, Row, ASCIIValue & 0xFF);
    mHost.RefreshView();
    return true;
}

void frmHexView::SearchAndOrReplace(const std::string& FindString, const std::string& ReplaceString,
                                    std::int64_t& BytePosition) {
    const std::string path = mHost.PathAndName();
    if (!ReplaceString.empty()) {
        if (FindString.empty()) {
            Prompt().Message(QStringLiteral("Enter the bytes to find before replacing them."), {},
                             UserPrompt::Buttons::Ok, UserPrompt::Icon::Exclamation);
            return;
        }
        std::string error;
        const Writable writable = EnsureWritable(path, AskClearReadOnly, error);
        if (writable == Writable::Failed) ShowFailure(error);
        if (writable != Writable::Yes) return;
        data::ByteReplaceResult result;
        {
            viewer::ProgressGate progress(this, QStringLiteral("Replacing..."));
            result = data::ReplaceAllBytes(path, FindString, ReplaceString,
                                           [&progress](std::int64_t done, std::int64_t total) {
                                               return progress.Report(done, total);
                                           });
        }
        if (!result.error.empty()) ShowFailure(result.error);
        if (result.cancelled)
            Prompt().Message(
                result.rewritten || FindString.size() == ReplaceString.size()
                    ? QStringLiteral("Replacing was cancelled after %1 occurrences.")
                          .arg(result.replaced)
                    : QStringLiteral("Replacing was cancelled; the file was not changed."),
                {}, UserPrompt::Buttons::Ok, UserPrompt::Icon::Information);
        if (result.rewritten) mHost.ReloadFile();
        if (result.replaced > 0) mHost.RefreshView();
        RefreshHexBox();
        return;
    }
    data::ByteFindResult found;
    if (!FindString.empty()) {
        viewer::ProgressGate progress(this, QStringLiteral("Searching..."));
        found = data::FindBytes(path, FindString, BytePosition + 1,
                                [&progress](std::int64_t done, std::int64_t total) {
                                    return progress.Report(done, total);
                                });
    }
    if (found.cancelled) return;
    if (found.position > 0) {
        BytePosition = found.position;
        mCursor.startingByte = found.position;
        mCursor.row = 1;
        mCursor.column = 1;
        RefreshHexBox();
        return;
    }
    Prompt().Message(QStringLiteral("No Matches Found"), QStringLiteral("Find Results"),
                     UserPrompt::Buttons::Ok, UserPrompt::Icon::Information);
}

}  // namespace velmor::hexedit
