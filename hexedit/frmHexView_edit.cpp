// The hex view's keyboard, its byte writes and its find and replace.
#include <QKeyEvent>
#include <QLineEdit>

#include "app/userprompt.h"
#include "data/bytesearch.h"
#include "hexedit/bytewriter.h"
#include "hexedit/frmHexView.h"
#include "hexedit/hexviewhost.h"
#include "viewer/progressgate.h"

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
            // Letters and digits keep their codes; punctuation must not pass
            // for a cursor key ('%' has the code of Left).
            const int k = e->key();
            return (k >= '0' && k <= '9') || (k >= 'A' && k <= 'Z') ? k : 0;
    }
}

// Keys the dialog keeps for itself: focus moves and closing.
bool DialogKey(const QKeyEvent* e) {
    return e->key() == Qt::Key_Tab || e->key() == Qt::Key_Backtab || e->key() == Qt::Key_Escape;
}

}  // namespace

bool frmHexView::eventFilter(QObject* watched, QEvent* event) {
    const bool hex = watched == txtHex;
    if (!hex && watched != txtCHR) return QDialog::eventFilter(watched, event);
    if (event->type() == QEvent::FocusIn) {
        SelectOne(static_cast<QLineEdit*>(watched), 0);
        return false;
    }
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (DialogKey(key)) return false;
    const int code = KeyCode(key);
    if (event->type() == QEvent::KeyRelease) {
        if (key->isAutoRepeat()) return true;
        if (hex)
            txtHex_KeyUp(code);
        else
            SelectOne(txtCHR, 0);
        return true;
    }
    const QString text = key->text();
    if (hex) {
        const HexBoxKeys::Down down = mHexKeys.KeyDown(code, Caret(txtHex));
        if (down == HexBoxKeys::Down::MoveCursor) txtHex_KeyDown(code);
        if (down == HexBoxKeys::Down::StayInBox) txtHex->setCursorPosition(code == keys::Right);
        if (down == HexBoxKeys::Down::Type && text.size() == 1 && text[0].unicode() >= 32 &&
            text[0].unicode() < 127)
            txtHex_KeyPress(static_cast<char>(text[0].unicode()));
        return true;
    }
    txtCHR_KeyDown(code);
    if (code != keys::Backspace && text.size() == 1 && text[0].unicode() < 256 &&
        code != keys::Left && code != keys::Right && code != keys::Up && code != keys::Down)
        txtCHR_KeyPress(text[0].unicode());
    return true;
}

void frmHexView::txtHex_KeyDown(int key) {
    ProcessCursorMovement(key);
}

void frmHexView::txtHex_KeyPress(char character) {
    const int caret = Caret(txtHex);
    txtHex->setText(
        QString::fromStdString(HexBoxKeys::Typed(txtHex->text().toStdString(), caret, character)));
    txtHex->setCursorPosition(std::min(caret + 1, 2));
}

void frmHexView::txtHex_KeyUp(int key) {
    const HexBoxKeys::Up up = mHexKeys.KeyUp(key, Caret(txtHex), txtHex->text().toStdString());
    if (!up.commit) {
        SelectOne(txtHex, up.caret);
        return;
    }
    int row = mCursor.row, column = mCursor.column;
    if (!up.value) {
        ShowFailure("\"" + txtHex->text().toStdString() + "\" is not a hexadecimal number.");
        PlaceTextBox(row, column);
        return;
    }
    int value = *up.value;
    if (UpdateCharacter(row, column, value)) mCursor.AdvanceAfterHexWrite();
    row = mCursor.row;
    column = mCursor.column;
    PlaceTextBox(row, column);
    txtHex->setFocus();
    SelectOne(txtHex, 0);
}

void frmHexView::txtCHR_KeyDown(int key) {
    ProcessCursorMovement(key);
}

void frmHexView::txtCHR_KeyPress(int code) {
    int row = mCursor.row, column = mCursor.column;
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
