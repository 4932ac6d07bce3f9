// velmor-data convert SOURCE TARGET ... --script: the conversion, then the
// file's script and the folder script exactly as the data converter window
// writes them, so velmor-basic can repeat the conversion.
#include <filesystem>

#include "cli/data_options.h"
#include "cli/tools_command.h"
#include "data/carriedconnection.h"
#include "data/converter.h"
#include "data/file.h"
#include "datatools/conversionscript.h"
#include "util/utilities.h"

namespace velmor::cli {

namespace {

bool SamePath(const std::string& a, const std::string& b) {
    std::error_code ec;
    const auto x = std::filesystem::weakly_canonical(std::filesystem::absolute(a, ec), ec);
    const auto y = std::filesystem::weakly_canonical(std::filesystem::absolute(b, ec), ec);
    return !ec && x == y;
}

// The settings the conversion used, so that the script repeats it.
datatools::ConversionSettings SettingsOf(const data::Converter& c) {
    return {c.IsFixed(), c.FirstRecordContainsFieldNames(), c.RecordDelimiterRepresentation(),
            c.FieldDelimiterRepresentation(), c.TextQualifierRepresentation(),
            c.SourceConnection()};
}

}  // namespace

int ConvertScriptCommand(const std::vector<std::string>& args) {
    std::vector<std::string> rest;
    for (const std::string& a : args) {
        if (a != "--script") rest.push_back(a);
    }
    DataOptions options;
    std::string error;
    if (!ParseDataOptions(rest, options, error) || !ApplySideFileOptions(options, error)) {
        return tool::UsageError(error);
    }
    if (!tool::ReadProfiles(options)) return tool::kFailed;
    // The script names its files after its own folder, so the target must be
    // the one the script would convert to.
    // The folder script is named after the source's folder, so the source
    // is named with its whole path.
    std::error_code ec;
    const std::string source = std::filesystem::absolute(options.file, ec).lexically_normal();
    datatools::ConversionNames names = datatools::ConversionNames::Of(ec ? options.file : source);
    std::string folder, title, extension;
    util::SplitPath(options.target, folder, title, extension);
    names.targetExtension = extension;
    if (!SamePath(options.target, names.Target())) {
        return tool::UsageError("With --script the target must be \"" + names.Target() +
                                "\" (the source's folder and name, \"Cf.\" and the target's "
                                "extension), which is what the script converts to.");
    }
    if (!datatools::CanWriteConversionScripts(names, error)) {
        tool::PrintError(error);
        return tool::kFailed;
    }
    data::Converter converter;
    ApplyConverterSettings(converter, options);
    converter.OnError = [](const std::string& description, bool& cancel) {
        tool::PrintError(description);
        cancel = true;
    };
    // The layout the source is read with goes into the script, as the
    // window's does.
    data::File read;
    read.OnError = [](const std::string&, bool& cancel) { cancel = true; };
    if (read.Open(options.file) && read.Connected())
        converter.SetSourceConnection(data::CarriedConnection(read));
    read.CloseFile();
    if (!converter.Convert(options.file, options.target)) return tool::kFailed;
    if (!datatools::WriteConversionScripts(names, SettingsOf(converter), error)) {
        tool::PrintError(error);
        return tool::kFailed;
    }
    return 0;
}

}  // namespace velmor::cli
