// The member table of each class a script can hold.
#pragma once

#include "basic/member_table.h"

namespace velmor::data {
class File;
class Converter;
class Connection;
class Fields;
class Field;
}  // namespace velmor::data

namespace velmor::basic {

const MemberTable<data::Converter>& ConverterMembers();
const MemberTable<data::File>& FileMembers();
const MemberTable<data::Connection>& ConnectionMembers();
const MemberTable<data::Fields>& FieldsMembers();
const MemberTable<data::Field>& FieldMembers();
const MemberTable<AppInfo>& AppMembers();

}  // namespace velmor::basic
