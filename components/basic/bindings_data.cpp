// The members of the engine classes as scripts reach them.
#include "basic/bindings_tables.h"
#include "data/connection.h"
#include "data/converter.h"
#include "data/fields.h"
#include "data/file.h"

namespace velmor::basic {
namespace {

using data::Connection;
using data::Converter;
using data::Field;
using data::Fields;
using data::File;
using Args = std::vector<Value>;

// Engine calls that answer false have failed; the engine has usually said why
// through its Error event already, which the interpreter reports first.
Value Succeeded(bool ok, const char* what) {
    if (!ok) Fail(std::string(what) + " failed.");
    return Value(true);
}

template <class T>
Object SubObject(const Object& self, T& part) {
    return Object{std::shared_ptr<T>(self.owner, &part), self.owner};
}

Value FieldObject(const Object& self, Field& field) {
    const auto& owner = std::get<std::shared_ptr<Fields>>(self.target);
    return Value(Object{FieldRef{owner, &field}, self.owner});
}

Fields& FieldsOf(const Value& value, const char* what) {
    const Object& object = ToObject(value, what);
    const auto* fields = std::get_if<std::shared_ptr<Fields>>(&object.target);
    if (fields == nullptr) Fail(std::string(what) + " expects a Fields object.");
    return **fields;
}

Connection& ConnectionOf(const Value& value, const char* what) {
    const Object& object = ToObject(value, what);
    const auto* connection = std::get_if<std::shared_ptr<Connection>>(&object.target);
    if (connection == nullptr) Fail(std::string(what) + " expects a Connection object.");
    return **connection;
}

Field& FieldOf(const Value& value, const char* what) {
    const Object& object = ToObject(value, what);
    const auto* ref = std::get_if<FieldRef>(&object.target);
    if (ref == nullptr) Fail(std::string(what) + " expects a Field object.");
    Field* field = ref->Resolve();
    if (field == nullptr) Fail(std::string(what) + ": that field is no longer part of its layout.");
    return *field;
}

Value ItemOf(const Object& self, Fields& fields, const Value& key, const char* what) {
    Field* field = nullptr;
    if (std::holds_alternative<std::string>(key.Get())) {
        field = fields.Item(std::get<std::string>(key.Get()));
        if (field == nullptr)
            Fail(std::string(what) + ": no field is named \"" + ToText(key, what) + "\".");
    } else {
        int index = ToIndex(key, what);
        field = fields.Item(index);
        if (field == nullptr) {
            Fail(std::string(what) + ": there is no field " + std::to_string(index) +
                 " (the layout has " + std::to_string(fields.Count()) + ").");
        }
    }
    return FieldObject(self, *field);
}

Value FindRecord(File& file, Args& a, const char* what) {
    data::RecordNo position = ToWhole(a[2], what);
    data::RecordNo found = file.Find(ToText(a[0], what), ToText(a[1], what), position);
    a[2] = Value(position);
    return Value(found);
}

}  // namespace

const MemberTable<Converter>& ConverterMembers() {
    static const MemberTable<Converter> table(
        "Converter",
        {
            Property("IsFixed", &Converter::IsFixed, &Converter::SetIsFixed),
            Property("IsDelimited", &Converter::IsDelimited, &Converter::SetIsDelimited),
            Property("FirstRecordContainsFieldNames", &Converter::FirstRecordContainsFieldNames,
                     &Converter::SetFirstRecordContainsFieldNames),
            Property("RecordDelimiterRepresentation", &Converter::RecordDelimiterRepresentation,
                     &Converter::SetRecordDelimiterRepresentation),
            Property("FieldDelimiterRepresentation", &Converter::FieldDelimiterRepresentation,
                     &Converter::SetFieldDelimiterRepresentation),
            Property("TextQualifierRepresentation", &Converter::TextQualifierRepresentation,
                     &Converter::SetTextQualifierRepresentation),
            Property("SourceConnection", &Converter::SourceConnection,
                     &Converter::SetSourceConnection),
            Method<Converter>(
                "AddSourceConnectionLine", 1, 1,
                [](const Object&, Converter& c, Args& a, const char* w) {
                    c.AddSourceConnectionLine(ToText(a[0], w));
                    return Value();
                }),
            Method<Converter>(
                "Convert", 2, 2,
                [](const Object&, Converter& c, Args& a, const char* w) {
                    return Succeeded(c.Convert(ToText(a[0], w), ToText(a[1], w)), w);
                },
                true),
        });
    return table;
}

const MemberTable<File>& FileMembers() {
    static const MemberTable<File> table(
        "File", {
                    WriteOnly("StoreConnectionAndIndexingFilesInDataPath",
                              &File::SetStoreConnectionAndIndexingFilesInDataPath),
                    WriteOnly("SecondaryConnectionAndIndexingPath",
                              &File::SetSecondaryConnectionAndIndexingPath),
                    Property("Loading", &File::Loading, &File::SetLoading),
                    Method<File>(
                        "Open", 1, 1,
                        [](const Object&, File& f, Args& a, const char* w) {
                            return Succeeded(f.Open(ToText(a[0], w)), w);
                        },
                        true),
                    Action("CloseFile", &File::CloseFile),
                    Property("Connected", &File::Connected),
                    Action("LaunchConnectionWizard", &File::LaunchConnectionWizard),
                    Action("Refresh", &File::Refresh),
                    Property("PathAndName", &File::PathAndName),
                    Property("FilePath", &File::FilePath),
                    Property("FileTitle", &File::FileTitle),
                    Property("FileExtension", &File::FileExtension),
                    Property("FileLength", &File::FileLength),
                    Property("ConnectionPathAndName", &File::ConnectionPathAndName),
                    Property("ConversionSource", &File::ConversionSource),
                    ObjectProperty<File>("Connection",
                                         [](const Object& self, File& f) {
                                             return Value(SubObject(self, f.GetConnection()));
                                         }),
                    ObjectProperty<File>("Fields",
                                         [](const Object& self, File& f) {
                                             return Value(SubObject(self, f.GetFields()));
                                         }),
                    Method<File>("CopyConnectionTo", 1, 1,
                                 [](const Object&, File& f, Args& a, const char* w) {
                                     Connection& target = ConnectionOf(a[0], w);
                                     if (&target != &f.GetConnection()) f.CopyConnectionTo(target);
                                     return Value();
                                 }),
                    Method<File>("CopyConnectionFrom", 1, 1,
                                 [](const Object&, File& f, Args& a, const char* w) {
                                     Connection& source = ConnectionOf(a[0], w);
                                     if (&source != &f.GetConnection())
                                         f.CopyConnectionFrom(source);
                                     return Value();
                                 }),
                    Property("DatabaseType", &File::DatabaseType, &File::SetDatabaseType),
                    WriteOnly("EstimatedRecordCount", &File::SetEstimatedRecordCount),
                    Property("FixedLayout", &File::FixedLayout, &File::SetFixedLayout),
                    Property("ShowFieldNames", &File::ShowFieldNames, &File::SetShowFieldNames),
                    Property("RedrawPending", &File::RedrawPending, &File::SetRedrawPending),
                    Method<File>(
                        "SaveConnection", 0, 2,
                        [](const Object&, File& f, Args& a, const char* w) {
                            std::string path = a.empty() ? std::string() : ToText(a[0], w);
                            bool format = a.size() > 1 && ToBoolean(a[1], w);
                            return Succeeded(f.SaveConnection(path, format), w);
                        },
                        true),
                    Method<File>(
                        "CreateFormatFile", 0, 0,
                        [](const Object&, File& f, Args&, const char* w) {
                            return Succeeded(f.CreateFormatFile(), w);
                        },
                        true),
                    Property("RecordCount", &File::RecordCount),
                    Property("RecordNumber", &File::RecordNumber, &File::SetRecordNumber),
                    Method<File>("MoveTo", 1, 1,
                                 [](const Object&, File& f, Args& a, const char* w) {
                                     f.MoveTo(ToWhole(a[0], w));
                                     return Value();
                                 }),
                    Action("MoveLast", &File::MoveLast),
                    Property("AtEnd", &File::AtEnd),
                    Property("RecordText", &File::RecordText),
                    Method<File>("GetBytes", 2, 2,
                                 [](const Object&, File& f, Args& a, const char* w) {
                                     return Value(f.GetBytes(ToWhole(a[0], w), ToWhole(a[1], w)));
                                 }),
                    Property("RecordStartByte", &File::RecordStartByte),
                    Property("BytePosition", &File::BytePosition, &File::SetBytePosition),
                    Method<File>("Find", 3, 3,
                                 [](const Object&, File& f, Args& a, const char* w) {
                                     return FindRecord(f, a, w);
                                 }),
                    Method<File>("FieldValue", 1, 1,
                                 [](const Object&, File& f, Args& a, const char* w) {
                                     return Value(f.FieldValue(ToIndex(a[0], w)));
                                 }),
                });
    return table;
}

const MemberTable<Connection>& ConnectionMembers() {
    static const MemberTable<Connection> table(
        "Connection",
        {
            Property("IsFixed", &Connection::IsFixed, &Connection::SetIsFixed),
            Property("IsDelimited", &Connection::IsDelimited, &Connection::SetIsDelimited),
            Property("FirstRecordContainsFieldNames", &Connection::FirstRecordContainsFieldNames,
                     &Connection::SetFirstRecordContainsFieldNames),
            Property("RecordLength", &Connection::RecordLength, &Connection::SetRecordLength),
            Property("ByteOffset", &Connection::ByteOffset, &Connection::SetByteOffset),
            Property("RecordDelimiterRepresentation", &Connection::RecordDelimiterRepresentation,
                     &Connection::SetRecordDelimiterRepresentation),
            Property("FieldDelimiterRepresentation", &Connection::FieldDelimiterRepresentation,
                     &Connection::SetFieldDelimiterRepresentation),
            Property("TextQualifierRepresentation", &Connection::TextQualifierRepresentation,
                     &Connection::SetTextQualifierRepresentation),
            Property("DatabaseTypeName", &Connection::DatabaseTypeName,
                     &Connection::SetDatabaseTypeName),
            Property("AuxiliaryText", &Connection::AuxiliaryText),
            Action("Reset", &Connection::Reset),
        });
    return table;
}

const MemberTable<Fields>& FieldsMembers() {
    static const MemberTable<Fields> table(
        "Fields",
        {
            Property("Count", &Fields::Count),
            Method<Fields>("Item", 1, 1,
                           [](const Object& self, Fields& f, Args& a, const char* w) {
                               return ItemOf(self, f, a[0], w);
                           }),
            Method<Fields>("Add", 2, 4,
                           [](const Object& self, Fields& f, Args& a, const char* w) {
                               std::string format = a.size() > 2 ? ToText(a[2], w) : std::string();
                               data::FilePos start = a.size() > 3 ? ToWhole(a[3], w) : 0;
                               return FieldObject(
                                   self, f.Add(ToText(a[0], w), ToWhole(a[1], w), format, start));
                           }),
            Method<Fields>("Insert", 3, 3,
                           [](const Object& self, Fields& f, Args& a, const char* w) {
                               return FieldObject(self, f.Insert(ToIndex(a[0], w), ToText(a[1], w),
                                                                 ToWhole(a[2], w)));
                           }),
            Method<Fields>("Remove", 1, 1,
                           [](const Object&, Fields& f, Args& a, const char* w) {
                               int index = ToIndex(a[0], w);
                               if (!f.Remove(index))
                                   Fail(std::string(w) + ": there is no field " +
                                        std::to_string(index) + ".");
                               return Value();
                           }),
            Action("Clear", &Fields::Clear),
            Method<Fields>("Exists", 1, 1,
                           [](const Object&, Fields& f, Args& a, const char* w) {
                               return Value(f.Exists(ToText(a[0], w)));
                           }),
            Method<Fields>("IndexOf", 1, 1,
                           [](const Object&, Fields& f, Args& a, const char* w) {
                               return Value(f.IndexOf(ToText(a[0], w)));
                           }),
            Action("Sort", &Fields::Sort),
            Property("LastField", &Fields::LastField),
            Method<Fields>("CopyFrom", 1, 1,
                           [](const Object&, Fields& f, Args& a, const char* w) {
                               Fields& other = FieldsOf(a[0], w);
                               if (&other != &f) f.CopyFrom(other);
                               return Value();
                           }),
        });
    return table;
}

const MemberTable<Field>& FieldMembers() {
    static const MemberTable<Field> table(
        "Field",
        {
            Property("Name", &Field::Name, &Field::SetName),
            Property("StartingPosition", &Field::StartingPosition, &Field::SetStartingPosition),
            Property("Length", &Field::Length, &Field::SetLength),
            Property("EndingPosition", &Field::EndingPosition, &Field::SetEndingPosition),
            Property("Value", &Field::Value),
            Method<Field>("ShiftTo", 1, 1,
                          [](const Object&, Field& f, Args& a, const char* w) {
                              Field& previous = FieldOf(a[0], w);
                              if (&previous != &f) f.ShiftTo(previous);
                              return Value();
                          }),
        });
    return table;
}

const MemberTable<AppInfo>& AppMembers() {
    static const MemberTable<AppInfo> table(
        "App", {
                   ObjectProperty<AppInfo>(
                       "Path", [](const Object&, AppInfo& app) { return Value(app.path); }),
               });
    return table;
}

}  // namespace velmor::basic
