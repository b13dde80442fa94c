// Text forms of device settings and job parameters on the command line, and
// the printer opening the settings and job commands share.
//
// Identifiers:  172 (feature)  s:NAME (new feature)  v:N (value)
//   sv:NAME (new value)  item:N (list item)  cap:FEATURE/TYPE (capability)
//   scap:NAME/TYPE (new capability)  ns:N (name space)
// Values:  N (option: value N)  s:NAME (option: new value NAME)
//   opt:IDENTIFIER (option naming any identifier)  int:N  str:TEXT
//   bool:true|false  range:LOW..HIGH  dim:210mm (units mm, um, in, pt)
//   dimrange:10mm..20mm  res:CROSSxFEED/UNITS  blob:HEX  time:ISO-8601
//   list:KIND:HEX (the nested raw-list state)
// Shown values use the same forms, so a shown line can be set again.
//
// Text that does not fit a form throws ExceptionInvalidArgument with a
// message that names it (the tool reports it and exits with 1).
#pragma once

#include <memory>
#include <string>

#include "w4util/attributes/AttributeBytes.h"
#include "w4util/attributes/AttributeBytesId.h"
#include "w4util/attributes/AttributeBytesValue.h"
#include "w4util/environment/Printer.h"

namespace w4cli {

std::unique_ptr<AttributeBytesId> ParseIdentifier(const std::string& text);
std::string IdentifierText(const AttributeBytesId& id);
// "feature", "new-feature", "value", ...
std::string IdentifierKindName(const AttributeBytesId& id);

std::unique_ptr<AttributeBytesValue> ParseSettingValue(const std::string& text, bool specified);
std::string SettingValueText(const AttributeBytesValue& value);
// "option", "integer", "string", ...
std::string SettingTypeName(const AttributeBytesValue& value);

// "IDENTIFIER  KIND  TYPE  VALUE  specified|unspecified", padded to columns.
std::string SettingLine(const AttributeBytes& record);
std::string SettingHeaderLine();

// Splits "LEFT=RIGHT" at the first "="; ExceptionInvalidArgument without one.
void SplitAssignment(const std::string& text, std::string& left, std::string& right);

// Opens the named queue with the greatest access allowed. A queue that
// cannot be opened throws ExceptionPrinterFailure naming it and the store.
std::unique_ptr<Printer> OpenPrinterByName(const std::string& name);

std::string Hex(const unsigned char* data, std::size_t size);

}  // namespace w4cli
