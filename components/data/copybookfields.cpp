#include "data/copybookfields.h"

#include "util/utilities.h"

namespace velmor::data {

bool IsCopybookName(std::string_view path) {
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos) return false;
    const std::string ext = util::ToUpper(std::string(path.substr(dot + 1)));
    return ext == "CPY" || ext == "COB" || ext == "CBL";
}

bool ImportCopybook(std::string_view text, const copybook::ResolveOptions& options, Fields& fields,
                    std::string& error, std::vector<std::string>& notes) {
    copybook::CopybookError failure;
    auto book = copybook::Copybook::Parse(text, failure);
    if (!book) {
        error = failure.Text();
        return false;
    }
    if (std::string unknown = book->UnknownAlternative(options); !unknown.empty()) {
        error = "the copybook has no REDEFINES alternative or record named " + unknown;
        return false;
    }
    notes = book->Notes();
    const copybook::Layout layout = book->Resolve(options);
    if (layout.fields.empty()) {
        error = "the copybook has no elementary fields";
        return false;
    }
    Fields imported;
    for (const copybook::CopybookField& f : layout.fields)
        imported.Add(f.name, f.format.length, {}, f.offset + 1).SetFormat(f.format);
    fields.CopyFrom(imported);
    return true;
}

}  // namespace velmor::data
