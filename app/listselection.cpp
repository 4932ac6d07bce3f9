// Selecting entries of list and combo boxes by text, item data or position.
#include <QComboBox>
#include <QListWidget>
#include <QSignalBlocker>

#include "app/global.h"
#include "util/utilities.h"

namespace velmor::Global {

namespace {

bool Matches(const QString& entryText, const QVariant& entryData, const QString& text,
             bool byItemData) {
    if (byItemData) {
        bool ok = false;
        const double data = entryData.toDouble(&ok);
        return ok && data == util::LeadingNumber(text.toStdString());
    }
    return entryText.trimmed().toUpper() == text.trimmed().toUpper();
}

void SelectRow(QListWidget* list, int row) {
    if (row >= 0 && row < list->count()) {
        list->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
        return;
    }
    list->clearSelection();
    list->setCurrentItem(nullptr);
}

int SelectedRow(const QListWidget* list) {
    const QListWidgetItem* item = list->currentItem();
    return item != nullptr && item->isSelected() ? list->currentRow() : -1;
}

}  // namespace

void SelectListItem(QWidget* list, const QString& text, bool byItemData) {
    if (auto* box = qobject_cast<QListWidget*>(list)) {
        for (int i = 0; i < box->count(); ++i) {
            const QListWidgetItem* item = box->item(i);
            if (Matches(item->text(), item->data(Qt::UserRole), text, byItemData)) {
                SelectRow(box, i);
                return;
            }
        }
        SelectRow(box, -1);
    } else if (auto* combo = qobject_cast<QComboBox*>(list)) {
        for (int i = 0; i < combo->count(); ++i) {
            if (Matches(combo->itemText(i), combo->itemData(i), text, byItemData)) {
                combo->setCurrentIndex(i);
                return;
            }
        }
        combo->setCurrentIndex(-1);
    }
}

int SetListIndex(QWidget* control, int index) {
    // Handlers of the control must not run, as when the selection is set
    // through the control's own message rather than by the user.
    if (auto* box = qobject_cast<QListWidget*>(control)) {
        const QSignalBlocker blocker(box);
        SelectRow(box, index);
        return SelectedRow(box);
    }
    if (auto* combo = qobject_cast<QComboBox*>(control)) {
        const QSignalBlocker blocker(combo);
        combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
        return combo->currentIndex();
    }
    Prompt().Message(
        QStringLiteral("SetListIndex function does not work with the supplied control."), QString(),
        UserPrompt::Buttons::Ok, UserPrompt::Icon::Information);
    return 0;
}

}  // namespace velmor::Global
