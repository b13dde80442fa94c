#include "cli/SettingsText.h"

#include <charconv>
#include <cstdint>
#include <iomanip>
#include <sstream>

#include "cli/StoreOption.h"
#include "cli/ValueText.h"
#include "w4util/attributes/AttributeBytesRawList.h"
#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/errors/Throw.h"
#include "w4util/foundation/Dimension.h"
#include "w4util/foundation/UtcTime.h"

namespace w4cli {
namespace {

[[noreturn]] void Malformed(const std::string& what, const std::string& text) {
  const std::u16string message = Utf16FromUtf8(what + " \"" + text + "\"");
  ZELVO_THROW(ExceptionInvalidArgument, "w4cli::ParseSettingText", "%s", message.c_str());
}

bool StartsWith(const std::string& text, const char* prefix, std::string& rest) {
  const std::string p(prefix);
  if (text.compare(0, p.size(), p) != 0) return false;
  rest = text.substr(p.size());
  return true;
}

template <typename Int>
bool ToInt(const std::string& text, Int& out) {
  if (text.empty()) return false;
  const char* first = text.data();
  if (*first == '+') ++first;
  const auto [end, error] = std::from_chars(first, text.data() + text.size(), out);
  return error == std::errc() && end == text.data() + text.size();
}

std::int32_t Int32Of(const std::string& text, const std::string& whole, const char* what) {
  std::int32_t n = 0;
  if (!ToInt(text, n)) Malformed(std::string("not a 32-bit number in ") + what, whole);
  return n;
}

CXString Wide(const std::string& utf8) {
  const std::u16string w = Utf16FromUtf8(utf8);
  return CXString(w.data(), static_cast<std::int32_t>(w.size()));
}

std::string Narrow(const CXString& text) {
  return Utf8FromUtf16(std::u16string_view(static_cast<const char16_t*>(text), static_cast<std::size_t>(text.GetLength())));
}

void SplitPair(const std::string& text, const char* separator, const std::string& whole, std::string& a,
               std::string& b) {
  const std::size_t at = text.find(separator);
  if (at == std::string::npos) Malformed(std::string("expected \"") + separator + "\" in", whole);
  a = text.substr(0, at);
  b = text.substr(at + std::char_traits<char>::length(separator));
}

Dimension ParseDimension(const std::string& text, const std::string& whole) {
  static const struct {
    const char* suffix;
    Dimension::UnitsEnum units;
  } kUnits[] = {{"mm", Dimension::ZLV_MMS},
                {"um", Dimension::ZLV_THOUSANDTHS_OF_MMS},
                {"in", Dimension::ZLV_INCHES},
                {"pt", Dimension::ZLV_POINTS}};
  for (const auto& u : kUnits) {
    const std::size_t n = std::char_traits<char>::length(u.suffix);
    if (text.size() > n && text.compare(text.size() - n, n, u.suffix) == 0) {
      const std::string number = text.substr(0, text.size() - n);
      double value = 0;
      const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
      if (error != std::errc() || end != number.data() + number.size()) {
        Malformed("not a length (number and mm, um, in or pt) in", whole);
      }
      const Dimension d(value, u.units);
      d.GetThousandthsOfMMs();  // refuses a length the byte form cannot carry
      return d;
    }
  }
  Malformed("a length needs a unit (mm, um, in or pt) in", whole);
}

std::string DimensionText(const Dimension& d) {
  const std::int64_t t = d.GetThousandthsOfMMs();
  const std::int64_t magnitude = t < 0 ? -t : t;
  std::string text = (t < 0 ? "-" : "") + std::to_string(magnitude / 1000);
  if (const std::int64_t fraction = magnitude % 1000) {
    std::string digits = std::to_string(1000 + fraction).substr(1);
    while (digits.back() == '0') digits.pop_back();
    text += "." + digits;
  }
  return text + "mm";
}

std::vector<unsigned char> FromHex(const std::string& text, const std::string& whole) {
  if (text.size() % 2 != 0) Malformed("an odd number of hex digits in", whole);
  std::vector<unsigned char> bytes;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data() + i, text.data() + i + 2, value, 16);
    if (error != std::errc() || end != text.data() + i + 2) Malformed("not hex digits in", whole);
    bytes.push_back(static_cast<unsigned char>(value));
  }
  return bytes;
}

}  // namespace

std::string Hex(const unsigned char* data, std::size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(size * 2);
  for (std::size_t i = 0; i < size; ++i) {
    text += kDigits[data[i] >> 4];
    text += kDigits[data[i] & 15];
  }
  return text;
}

std::unique_ptr<AttributeBytesId> ParseIdentifier(const std::string& text) {
  std::string rest, a, b;
  if (StartsWith(text, "s:", rest)) {
    if (rest.empty()) Malformed("an empty name in", text);
    return std::make_unique<AttributeBytesNewFeatureId>(Wide(rest));
  }
  if (StartsWith(text, "sv:", rest)) {
    if (rest.empty()) Malformed("an empty name in", text);
    return std::make_unique<AttributeBytesNewValueId>(Wide(rest));
  }
  if (StartsWith(text, "v:", rest)) return std::make_unique<AttributeBytesValueId>(Int32Of(rest, text, "value id"));
  if (StartsWith(text, "item:", rest)) {
    return std::make_unique<AttributeBytesListOfValuesItemId>(Int32Of(rest, text, "list item"));
  }
  if (StartsWith(text, "ns:", rest)) return std::make_unique<AttributeBytesNameSpacesId>(Int32Of(rest, text, "name space"));
  if (StartsWith(text, "cap:", rest)) {
    SplitPair(rest, "/", text, a, b);
    std::int16_t type = 0;
    if (!ToInt(b, type)) Malformed("not a 16-bit capability type in", text);
    return std::make_unique<AttributeBytesCapabilityId>(Int32Of(a, text, "capability"), type);
  }
  if (StartsWith(text, "scap:", rest)) {
    const std::size_t at = rest.rfind('/');
    if (at == std::string::npos || at == 0) Malformed("expected NAME/TYPE in", text);
    std::int16_t type = 0;
    if (!ToInt(rest.substr(at + 1), type)) Malformed("not a 16-bit capability type in", text);
    return std::make_unique<AttributeBytesNewCapabilityId>(Wide(rest.substr(0, at)), type);
  }
  std::int32_t feature = 0;
  if (!ToInt(text, feature)) Malformed("not a feature (a number, or s:NAME for a new one):", text);
  return std::make_unique<AttributeBytesFeatureId>(feature);
}

std::string IdentifierText(const AttributeBytesId& id) {
  switch (id.GetAttributeBytesIdType()) {
    case AttributeBytesId::ABIDE_FEATURE:
      return std::to_string(static_cast<const AttributeBytesFeatureId&>(id).GetFeatureId());
    case AttributeBytesId::ABIDE_NEWFEATURE:
      return "s:" + Narrow(static_cast<const AttributeBytesNewFeatureId&>(id).GetNewFeatureId());
    case AttributeBytesId::ABIDE_VALUE:
      return "v:" + std::to_string(static_cast<const AttributeBytesValueId&>(id).GetValueId());
    case AttributeBytesId::ABIDE_NEWVALUE:
      return "sv:" + Narrow(static_cast<const AttributeBytesNewValueId&>(id).GetNewValueId());
    case AttributeBytesId::ABIDE_LISTOFVALUESITEM:
      return "item:" + std::to_string(static_cast<const AttributeBytesListOfValuesItemId&>(id).GetIndexValue());
    case AttributeBytesId::ABIDE_CAPABILITY: {
      const auto& c = static_cast<const AttributeBytesCapabilityId&>(id);
      return "cap:" + std::to_string(c.GetFeatureId()) + "/" + std::to_string(c.GetCapabilityTypeEnum());
    }
    case AttributeBytesId::ABIDE_NEWCAPABILITY: {
      const auto& c = static_cast<const AttributeBytesNewCapabilityId&>(id);
      return "scap:" + Narrow(c.GetNewFeatureId()) + "/" + std::to_string(c.GetCapabilityTypeEnum());
    }
    case AttributeBytesId::ABIDE_NAMESPACE:
      return "ns:" + std::to_string(static_cast<const AttributeBytesNameSpacesId&>(id).GetNameSpaceId());
    default:
      return "?";
  }
}

std::string IdentifierKindName(const AttributeBytesId& id) {
  switch (id.GetAttributeBytesIdType()) {
    case AttributeBytesId::ABIDE_FEATURE: return "feature";
    case AttributeBytesId::ABIDE_NEWFEATURE: return "new-feature";
    case AttributeBytesId::ABIDE_VALUE: return "value";
    case AttributeBytesId::ABIDE_NEWVALUE: return "new-value";
    case AttributeBytesId::ABIDE_LISTOFVALUESITEM: return "list-item";
    case AttributeBytesId::ABIDE_CAPABILITY: return "capability";
    case AttributeBytesId::ABIDE_NEWCAPABILITY: return "new-capability";
    case AttributeBytesId::ABIDE_NAMESPACE: return "name-space";
    default: return "unknown";
  }
}

std::unique_ptr<AttributeBytesValue> ParseSettingValue(const std::string& text, bool specified) {
  std::string rest, a, b;
  std::unique_ptr<AttributeBytesValue> value;
  if (StartsWith(text, "int:", rest)) {
    value = std::make_unique<AttributeBytesIntegerValue>(Int32Of(rest, text, "integer"), specified);
  } else if (StartsWith(text, "str:", rest)) {
    value = std::make_unique<AttributeBytesStringValue>(Wide(rest), specified);
  } else if (StartsWith(text, "bool:", rest)) {
    if (rest != "true" && rest != "false" && rest != "1" && rest != "0") Malformed("not true or false:", text);
    value = std::make_unique<AttributeBytesBooleanValue>(rest == "true" || rest == "1", specified);
  } else if (StartsWith(text, "range:", rest)) {
    SplitPair(rest, "..", text, a, b);
    value = std::make_unique<AttributeBytesRangeValue>(Int32Of(a, text, "range"), Int32Of(b, text, "range"), specified);
  } else if (StartsWith(text, "dimrange:", rest)) {
    SplitPair(rest, "..", text, a, b);
    value = std::make_unique<AttributeBytesRangeOfDimensionValue>(ParseDimension(a, text), ParseDimension(b, text),
                                                                  specified);
  } else if (StartsWith(text, "dim:", rest)) {
    value = std::make_unique<AttributeBytesDimensionValue>(ParseDimension(rest, text), specified);
  } else if (StartsWith(text, "res:", rest)) {
    std::string units;
    SplitPair(rest, "x", text, a, b);
    std::string feed;
    SplitPair(b, "/", text, feed, units);
    std::int16_t u = 0;
    if (!ToInt(units, u)) Malformed("not 16-bit resolution units in", text);
    value = std::make_unique<AttributeBytesResolutionValue>(Int32Of(a, text, "resolution"),
                                                            Int32Of(feed, text, "resolution"), u, specified);
  } else if (StartsWith(text, "blob:", rest)) {
    const std::vector<unsigned char> bytes = FromHex(rest, text);
    value = std::make_unique<AttributeBytesDataBlobValue>(
        ByteBuffer(bytes.data(), static_cast<std::uint32_t>(bytes.size())), specified);
  } else if (StartsWith(text, "time:", rest)) {
    UtcTime time;
    if (!time.SetWithIso8601String(Wide(rest), true)) Malformed("not an ISO 8601 time:", text);
    value = std::make_unique<AttributeBytesDateTimeValue>(time, specified);
  } else if (StartsWith(text, "list:", rest)) {
    SplitPair(rest, ":", text, a, b);
    std::uint8_t kind = 0;
    if (!ToInt(a, kind)) Malformed("not a kind of list (0-255) in", text);
    const std::vector<unsigned char> bytes = FromHex(b, text);
    const AttributeBytesRawList nested(ByteBuffer(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
    value = std::make_unique<AttributeBytesListValue>(kind, nested);
    value->SetIsSpecified(specified);
  } else if (StartsWith(text, "opt:", rest)) {
    value = std::make_unique<AttributeBytesOptionValue>(ParseIdentifier(rest), specified);
  } else if (StartsWith(text, "s:", rest)) {
    if (rest.empty()) Malformed("an empty name in", text);
    value = std::make_unique<AttributeBytesOptionValue>(AttributeBytesNewValueId(Wide(rest)), specified);
  } else {
    std::int32_t n = 0;
    if (!ToInt(text, n)) {
      Malformed("not a value (a value number, s:NAME, or TYPE:VALUE with int, str, bool, range, dim, "
                "dimrange, res, blob, time, list, opt):",
                text);
    }
    value = std::make_unique<AttributeBytesOptionValue>(AttributeBytesValueId(n), specified);
  }
  return value;
}

std::string SettingValueText(const AttributeBytesValue& value) {
  switch (value.GetAttributeBytesValueType()) {
    case AttributeBytesValue::ABVTE_OPTION: {
      const AttributeBytesId& id = static_cast<const AttributeBytesOptionValue&>(value).GetValue();
      if (id.GetAttributeBytesIdType() == AttributeBytesId::ABIDE_VALUE) {
        return std::to_string(static_cast<const AttributeBytesValueId&>(id).GetValueId());
      }
      if (id.GetAttributeBytesIdType() == AttributeBytesId::ABIDE_NEWVALUE) {
        return "s:" + Narrow(static_cast<const AttributeBytesNewValueId&>(id).GetNewValueId());
      }
      return "opt:" + IdentifierText(id);
    }
    case AttributeBytesValue::ABVTE_INTEGER:
      return "int:" + std::to_string(static_cast<const AttributeBytesIntegerValue&>(value).GetValue());
    case AttributeBytesValue::ABVTE_STRING:
      return "str:" + Narrow(static_cast<const AttributeBytesStringValue&>(value).GetValue());
    case AttributeBytesValue::ABVTE_BOOLEAN:
      return static_cast<const AttributeBytesBooleanValue&>(value).GetValue() ? "bool:true" : "bool:false";
    case AttributeBytesValue::ABVTE_RANGE: {
      std::int32_t low = 0, high = 0;
      static_cast<const AttributeBytesRangeValue&>(value).GetValue(low, high);
      return "range:" + std::to_string(low) + ".." + std::to_string(high);
    }
    case AttributeBytesValue::ABVTE_RANGEOFDIMENSION: {
      Dimension low, high;
      static_cast<const AttributeBytesRangeOfDimensionValue&>(value).GetValue(low, high);
      return "dimrange:" + DimensionText(low) + ".." + DimensionText(high);
    }
    case AttributeBytesValue::ABVTE_DIMENSION:
      return "dim:" + DimensionText(static_cast<const AttributeBytesDimensionValue&>(value).GetValue());
    case AttributeBytesValue::ABVTE_RESOLUTION: {
      std::int32_t cross = 0, feed = 0;
      std::int16_t units = 0;
      static_cast<const AttributeBytesResolutionValue&>(value).GetValue(cross, feed, units);
      return "res:" + std::to_string(cross) + "x" + std::to_string(feed) + "/" + std::to_string(units);
    }
    case AttributeBytesValue::ABVTE_DATABLOB: {
      ByteBuffer bytes;
      static_cast<const AttributeBytesDataBlobValue&>(value).GetValue(bytes);
      return "blob:" + Hex(bytes.data(), bytes.size());
    }
    case AttributeBytesValue::ABVTE_LIST: {
      const auto& list = static_cast<const AttributeBytesListValue&>(value);
      const ByteBuffer state = list.GetRawList().GetAttributeBytesRawListState();
      return "list:" + std::to_string(list.GetKindOfList()) + ":" + Hex(state.data(), state.size());
    }
    case AttributeBytesValue::ABVTE_DATETIME:
      return "time:" + Narrow(static_cast<const AttributeBytesDateTimeValue&>(value).GetValue().GetAsIso8601StringInUTC());
    default:
      return "?";
  }
}

std::string SettingTypeName(const AttributeBytesValue& value) {
  switch (value.GetAttributeBytesValueType()) {
    case AttributeBytesValue::ABVTE_OPTION: return "option";
    case AttributeBytesValue::ABVTE_INTEGER: return "integer";
    case AttributeBytesValue::ABVTE_STRING: return "string";
    case AttributeBytesValue::ABVTE_BOOLEAN: return "boolean";
    case AttributeBytesValue::ABVTE_RANGE: return "range";
    case AttributeBytesValue::ABVTE_RANGEOFDIMENSION: return "dimension-range";
    case AttributeBytesValue::ABVTE_DIMENSION: return "dimension";
    case AttributeBytesValue::ABVTE_RESOLUTION: return "resolution";
    case AttributeBytesValue::ABVTE_DATABLOB: return "blob";
    case AttributeBytesValue::ABVTE_LIST: return "list";
    case AttributeBytesValue::ABVTE_DATETIME: return "date-time";
    default: return "unknown";
  }
}

namespace {

std::string Columns(const std::string& id, const std::string& kind, const std::string& type,
                    const std::string& value, const std::string& specified) {
  std::ostringstream line;
  line << std::left << std::setw(22) << id << ' ' << std::setw(14) << kind << ' ' << std::setw(15) << type << ' '
       << std::setw(24) << value << ' ' << specified;
  return line.str();
}

}  // namespace

std::string SettingHeaderLine() { return Columns("IDENTIFIER", "KIND", "TYPE", "VALUE", "SPECIFIED"); }

std::string SettingLine(const AttributeBytes& record) {
  const AttributeBytesValue& value = record.GetAttributeBytesValue();
  return Columns(IdentifierText(record.GetAttributeBytesId()), IdentifierKindName(record.GetAttributeBytesId()),
                 SettingTypeName(value), SettingValueText(value), value.IsSpecified() ? "specified" : "unspecified");
}

void SplitAssignment(const std::string& text, std::string& left, std::string& right) {
  const std::size_t at = text.find('=');
  if (at == std::string::npos || at == 0) Malformed("expected IDENTIFIER=VALUE, got", text);
  left = text.substr(0, at);
  right = text.substr(at + 1);
}

std::unique_ptr<Printer> OpenPrinterByName(const std::string& name) {
  const std::u16string wide = Utf16FromUtf8(name);
  try {
    return std::make_unique<Printer>(wide.c_str(), true);
  } catch (const ExceptionPrinterFailure&) {
    const std::u16string folder = Utf16FromUtf8(ChosenStoreFolder());
    ZELVO_THROW(ExceptionPrinterFailure, "w4cli::OpenPrinterByName",
                "There is no printer queue \"%s\" in the store %s (or it cannot be opened).", wide.c_str(),
                folder.c_str());
  }
}

}  // namespace w4cli
