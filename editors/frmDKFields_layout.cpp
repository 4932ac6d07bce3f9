// The layout operations of the field editor: add, insert, rename, split and
// delete, each sent to the engine at once.
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include "app/userprompt.h"
#include "data/file.h"
#include "editors/fieldrules.h"
#include "editors/frmDKFields.h"
#include "editors/textbytes.h"
#include "editors/viewerhost.h"
#include "util/utilities.h"

namespace velmor::editors {

void frmDKFields::cmdnewfield_Click() {
    data::Fields& fields = File().GetFields();
    const int n = fields.Count() + 1;
    fields.Add(std::string(), 0, std::string(), 0);
    // Without a name the empty field stays; the next rebuild of the list
    // names it.
    const std::optional<std::string> name = AskFieldName(n);
    data::Field* field = fields.Item(n);
    if (!name || field == nullptr) return;
    field->SetName(*name);
    auto* row = new QListWidgetItem(FromBytes(field->Name()), lstfieldname);
    row->setData(Qt::UserRole, n);
    const data::Field* previous = fields.Item(n - 1);
    field->SetStartingPosition(StartAfter(n, previous != nullptr ? previous->EndingPosition() : 0));
    SelectRow(lstfieldname->count() - 1);
    SetupScrollBar();
    txtlength->setFocus();
}

void frmDKFields::AfterReorder(int row) {
    File().GetFields().Sort();
    RefreshScreen();
    // Selecting writes the property boxes back into the layout: the viewer
    // draws only after that, so it shows the layout the list shows.
    SelectRow(row);
    viewer_.RefreshView();
    SetupScrollBar();
    txtlength->setFocus();
}

void frmDKFields::cmdInsertField_Click() {
    const int n = SelectedField();
    if (n < 1) return;
    data::Fields& fields = File().GetFields();
    fields.Insert(n, std::string(), 0);
    const std::optional<std::string> name = AskFieldName(n);
    data::Field* field = fields.Item(n);
    if (!name || field == nullptr) {
        // The unnamed field stays in the layout; the list is rebuilt so its
        // rows carry the right indexes again.
        RefreshScreen();
        viewer_.RefreshView();
        SelectRow(n - 1);
        return;
    }
    field->SetName(*name);
    const std::optional<QString> length =
        Prompt().Input(QStringLiteral("What is the length of this field?"));
    if (length && !length->isEmpty()) field->SetLength(editors::BoxNumber(ToBytes(*length)));
    AfterReorder(n - 1);
}

void frmDKFields::cmdrename_Click() {
    const int n = SelectedField();
    if (n < 1) return;
    const std::optional<std::string> name = AskFieldName(n);
    data::Field* field = File().GetFields().Item(n);
    if (!name || field == nullptr) return;
    field->SetName(*name);
    const QList<QListWidgetItem*> selected = lstfieldname->selectedItems();
    if (!selected.isEmpty()) selected.front()->setText(FromBytes(field->Name()));
    viewer_.RefreshView();
    if (util::FileExists(FormatFileName())) File().Refresh();
    SetupScrollBar();
}

void frmDKFields::cmdSplit_Click() {
    const int n = SelectedField();
    data::Fields& fields = File().GetFields();
    const data::Field* original = n > 0 ? fields.Item(n) : nullptr;
    if (original == nullptr || original->Length() <= 1) return;
    const std::string name = original->Name();
    const data::FilePos firstHalf = SplitHalves(original->Length()).first;
    const data::FilePos taken = fields.Insert(n, name + "A", firstHalf).Length();
    data::Field* rest = fields.Item(n + 1);
    if (rest != nullptr) {
        rest->SetLength(rest->Length() - taken);
        rest->SetName(name + "B");
    }
    AfterReorder(n - 1);
}

void frmDKFields::cmdDeleteField_Click() {
    const QList<QListWidgetItem*> selected = lstfieldname->selectedItems();
    if (selected.isEmpty()) return;
    QListWidgetItem* item = selected.front();
    data::Fields& fields = File().GetFields();
    const int d = item->data(Qt::UserRole).toInt();
    const int c = fields.Count();
    if (d < 1 || d > c) {
        Prompt().Message(QStringLiteral("Array element cannot be deleted because it is not within "
                                        "the boundaries defined for the array."),
                         QString(), UserPrompt::Buttons::Ok, UserPrompt::Icon::Information);
        return;
    }
    for (int i = d; i < c; ++i) fields.Item(i + 1)->ShiftTo(*fields.Item(i));
    for (int row = 0; row < lstfieldname->count(); ++row) {
        QListWidgetItem* other = lstfieldname->item(row);
        const int index = other->data(Qt::UserRole).toInt();
        if (index > d) other->setData(Qt::UserRole, index - 1);
    }
    if (!fields.Remove(d)) {
        Prompt().Message(QStringLiteral("Error deleting field."));
        return;
    }
    const int row = lstfieldname->row(item);
    delete lstfieldname->takeItem(row);
    SelectRow(d == c ? lstfieldname->count() - 1 : row);
    RefreshFieldProperties();
    viewer_.RefreshView();
    SetupScrollBar();
}

void frmDKFields::optShowByteBar_Click() {
    File().SetShowFieldNames(false);
    viewer_.RefreshView();
}

void frmDKFields::optShowFieldNames_Click() {
    File().SetShowFieldNames(true);
    viewer_.RefreshView();
}

void frmDKFields::HScroll1_Change() {
    if (QScrollBar* bar = viewer_.HScroll1()) bar->setValue(HScroll1->value());
}

void frmDKFields::mnuLayoutConverter_Click() {
    if (layoutConverter_) layoutConverter_();
}

void frmDKFields::cmdOK_Click() {
    accept();
}

void frmDKFields::done(int result) {
    // However the window closes (OK, Escape, its close box), the viewer
    // draws the layout the engine now holds.
    viewer_.RefreshView();
    QDialog::done(result);
}

}  // namespace velmor::editors
