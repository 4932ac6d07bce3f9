// The viewer's choice between UTF-8 and one-byte characters for the open
// file: settled from the file's first bytes when it opens, switched by menu.
#include <QAction>
#include <QMenu>
#include <fstream>

#include "util/utilities.h"
#include "viewer/frmFileView.h"

namespace velmor {

namespace {

constexpr std::streamsize kSampleBytes = 64 * 1024;

std::string ReadHead(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string head(static_cast<size_t>(kSampleBytes), '\0');
    in.read(head.data(), kSampleBytes);
    head.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return head;
}

bool IsEbcdic(const data::File& file) {
    return util::ToUpper(file.DatabaseType()).find("EBCDIC") != std::string::npos;
}

}  // namespace

void frmFileView::BuildDisplayMenu() {
    mnuUtf8 = AddItem(mnuViewerTop, QStringLiteral("mnuUtf8"), QStringLiteral("&UTF-8 Characters"),
                      &frmFileView::mnuUtf8_Click);
    mnuUtf8->setCheckable(true);
    mnuViewerTop->insertSeparator(mnuUtf8);
    mnutools->insertAction(mnuprint->menuAction(), mnuUtf8);
}

void frmFileView::SettleTextEncoding() {
    const std::string& path = mFile->PathAndName();
    if (path.empty() || path == mEncodingPath) return;
    mEncodingPath = path;
    mDrawer->SetDisplayEncoding(viewer::ChooseDisplayEncoding(ReadHead(path), IsEbcdic(*mFile)));
    mnuUtf8->setChecked(TextEncoding() == viewer::DisplayEncoding::Utf8);
}

void frmFileView::mnuUtf8_Click() {
    const bool utf8 = TextEncoding() != viewer::DisplayEncoding::Utf8;
    mDrawer->SetDisplayEncoding(utf8 ? viewer::DisplayEncoding::Utf8
                                     : viewer::ChooseDisplayEncoding({}, IsEbcdic(*mFile)));
    mnuUtf8->setChecked(utf8);
    RefreshView();
}

}  // namespace velmor
