// w4util settings show|get|set|unset|import|export --printer NAME: the device
// settings of a printer queue ("ZlvDeviceSettings" in its printer data),
// through DeviceSettingsManager. Text forms of identifiers and values are
// those of SettingsText.h. A value that does not parse, a queue that does not
// exist and stored settings that do not decode are reported on stderr with
// exit code 1, and nothing in the store changes.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/SettingsText.h"
#include "cli/StoreOption.h"
#include "cli/ValueText.h"
#include "w4util/attributes/AttributeBytesNameSpaces.h"
#include "w4util/attributes/PersistentAttributes.h"
#include "w4util/environment/DeviceSettingsManager.h"
#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/errors/Throw.h"

namespace w4cli {
namespace {

// ---- a small JSON reader and writer for the export form ----

struct Json {
  enum Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = kNull;
  bool boolean = false;
  std::string text;  // string, or the number's digits
  std::vector<Json> items;  // array items, or object member values
  std::vector<std::string> names;  // object member names, one per item

  const Json* Member(const std::string& name) const {
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (names[i] == name) return &items[i];
    }
    return nullptr;
  }
};

[[noreturn]] void BadJson(const std::string& what, std::size_t at) {
  const std::u16string message = Utf16FromUtf8(what + " at byte " + std::to_string(at));
  ZELVO_THROW(ExceptionInvalidArgument, "w4cli::ReadJson", "The settings file is not valid JSON: %s.",
              message.c_str());
}

class JsonReader {
 public:
  explicit JsonReader(const std::string& text) : text_(text) {}

  Json Document() {
    Json value = Value(0);
    Blanks();
    if (at_ != text_.size()) BadJson("text after the document", at_);
    return value;
  }

 private:
  static constexpr int kMaxDepth = 64;

  void Blanks() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r')) {
      ++at_;
    }
  }
  bool Take(char c) {
    Blanks();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  void Expect(char c) {
    if (!Take(c)) BadJson(std::string("expected '") + c + "'", at_);
  }
  bool Word(const char* word) {
    const std::string w(word);
    if (text_.compare(at_, w.size(), w) != 0) return false;
    at_ += w.size();
    return true;
  }

  Json Value(int depth) {
    if (depth > kMaxDepth) BadJson("nesting too deep", at_);
    Blanks();
    Json v;
    if (at_ >= text_.size()) BadJson("unexpected end", at_);
    const char c = text_[at_];
    if (c == '{') {
      ++at_;
      v.kind = Json::kObject;
      if (Take('}')) return v;
      do {
        Blanks();
        if (at_ >= text_.size() || text_[at_] != '"') BadJson("expected a member name", at_);
        v.names.push_back(String());
        Expect(':');
        v.items.push_back(Value(depth + 1));
      } while (Take(','));
      Expect('}');
    } else if (c == '[') {
      ++at_;
      v.kind = Json::kArray;
      if (Take(']')) return v;
      do {
        v.items.push_back(Value(depth + 1));
      } while (Take(','));
      Expect(']');
    } else if (c == '"') {
      v.kind = Json::kString;
      v.text = String();
    } else if (Word("true")) {
      v.kind = Json::kBool;
      v.boolean = true;
    } else if (Word("false")) {
      v.kind = Json::kBool;
    } else if (Word("null")) {
      v.kind = Json::kNull;
    } else if (c == '-' || (c >= '0' && c <= '9')) {
      v.kind = Json::kNumber;
      while (at_ < text_.size() && std::string("+-.eE0123456789").find(text_[at_]) != std::string::npos) {
        v.text += text_[at_++];
      }
    } else {
      BadJson("unexpected character", at_);
    }
    return v;
  }

  unsigned Hex4() {
    if (at_ + 4 > text_.size()) BadJson("short \\u escape", at_);
    unsigned value = 0;
    for (int i = 0; i < 4; ++i) {
      const char h = text_[at_++];
      value <<= 4;
      if (h >= '0' && h <= '9') value |= static_cast<unsigned>(h - '0');
      else if (h >= 'a' && h <= 'f') value |= static_cast<unsigned>(h - 'a' + 10);
      else if (h >= 'A' && h <= 'F') value |= static_cast<unsigned>(h - 'A' + 10);
      else BadJson("bad \\u escape", at_);
    }
    return value;
  }

  std::string String() {
    ++at_;  // the opening quote
    std::u16string units;
    std::string pending;  // UTF-8 bytes not yet converted
    const auto flush = [&] {
      if (!pending.empty()) {
        units += Utf16FromUtf8(pending);
        pending.clear();
      }
    };
    while (true) {
      if (at_ >= text_.size()) BadJson("unterminated string", at_);
      const char c = text_[at_++];
      if (c == '"') break;
      if (static_cast<unsigned char>(c) < 0x20) BadJson("control character in a string", at_);
      if (c != '\\') {
        pending += c;
        continue;
      }
      flush();
      if (at_ >= text_.size()) BadJson("unterminated escape", at_);
      const char e = text_[at_++];
      switch (e) {
        case '"': units += u'"'; break;
        case '\\': units += u'\\'; break;
        case '/': units += u'/'; break;
        case 'b': units += u'\b'; break;
        case 'f': units += u'\f'; break;
        case 'n': units += u'\n'; break;
        case 'r': units += u'\r'; break;
        case 't': units += u'\t'; break;
        case 'u': units += static_cast<char16_t>(Hex4()); break;
        default: BadJson("bad escape", at_);
      }
    }
    flush();
    return Utf8FromUtf16(units);
  }

  const std::string& text_;
  std::size_t at_ = 0;
};

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (const char c : utf8) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", u);
      out += buffer;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// ---- the commands ----

struct Options {
  std::string printer;
  std::string assignment;
  std::string identifier;
  std::string format = "json";
  std::string file;
  std::string output;
  bool unspecified = false;
};

std::string ReadWholeFile(const std::string& path) {
  if (path == "-") return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    const std::u16string wide = Utf16FromUtf8(path);
    ZELVO_THROW(ExceptionInvalidArgument, "w4cli::ReadWholeFile", "The file %s cannot be read.", wide.c_str());
  }
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteOutput(const std::string& path, const std::string& bytes) {
  if (path.empty() || path == "-") {
    std::cout.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    std::cout.flush();
    return;
  }
  // Written beside the target and renamed over it, so a reader never sees half a file.
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
      const std::u16string wide = Utf16FromUtf8(path);
      ZELVO_THROW(ExceptionInvalidArgument, "w4cli::WriteOutput", "The file %s cannot be written.", wide.c_str());
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    const std::u16string wide = Utf16FromUtf8(path);
    ZELVO_THROW(ExceptionInvalidArgument, "w4cli::WriteOutput", "The file %s cannot be written.", wide.c_str());
  }
}

std::string StoredSummary(const DeviceSettingsManager& manager, std::size_t count) {
  ByteBuffer bytes;
  std::uint32_t crc = 0;
  if (!manager.GetDeviceSettingsDataFromStorage(bytes, crc)) return "no stored settings";
  char text[96];
  std::snprintf(text, sizeof text, "%zu attribute(s), stored in %zu bytes, CRC-32 %08x", count, bytes.size(), crc);
  return text;
}

int Show(const Options& o) {
  OpenChosenStore();
  auto printer = OpenPrinterByName(o.printer);
  DeviceSettingsManager manager(*printer);
  const AttributeBytesIndexedList& list = manager.GetAttributeBytesIndexedListRef();
  std::cout << "printer: " << o.printer << "\n" << SettingHeaderLine() << "\n";
  for (auto it = list.GetIndexedListIterator(); list.IsValidIndexedListIterator(it); list.IncrementIndexedListIterator(it)) {
    std::cout << SettingLine(list.GetAttributeBytesRefFromIndexedListIterator(it)) << "\n";
  }
  std::cout << StoredSummary(manager, list.GetNumberOfAttributeBytes()) << "\n";
  return kExitOk;
}

int Get(const Options& o) {
  const std::unique_ptr<AttributeBytesId> id = ParseIdentifier(o.identifier);
  OpenChosenStore();
  auto printer = OpenPrinterByName(o.printer);
  DeviceSettingsManager manager(*printer);
  const AttributeBytesIndexedList& list = manager.GetAttributeBytesIndexedListRef();
  const AttributeBytes* record = list.GetAttributeBytesPtr(*id);
  if (record == nullptr) {
    const std::u16string wide = Utf16FromUtf8(o.identifier), queue = Utf16FromUtf8(o.printer);
    ZELVO_THROW(ExceptionFeatureNotFound, "w4cli::SettingsGet", "The printer \"%s\" has no setting %s.", queue.c_str(),
                wide.c_str());
  }
  std::cout << SettingLine(*record) << "\n";
  return kExitOk;
}

int Set(const Options& o) {
  std::string left, right;
  SplitAssignment(o.assignment, left, right);
  // Everything is parsed before the store is touched.
  const std::unique_ptr<AttributeBytesId> id = ParseIdentifier(left);
  const std::unique_ptr<AttributeBytesValue> value = ParseSettingValue(right, !o.unspecified);
  OpenChosenStore();
  auto printer = OpenPrinterByName(o.printer);
  DeviceSettingsManager manager(*printer);
  AttributeBytesIndexedList& list = manager.GetAttributeBytesIndexedListRef();
  list.SetAttributeBytes(*id, *value);
  manager.SaveUpdatedAttributeBytesIndexedList();
  std::cout << SettingLine(list.GetAttributeBytesRef(*id)) << "\n";
  return kExitOk;
}

int Unset(const Options& o) {
  const std::unique_ptr<AttributeBytesId> id = ParseIdentifier(o.identifier);
  OpenChosenStore();
  auto printer = OpenPrinterByName(o.printer);
  DeviceSettingsManager manager(*printer);
  AttributeBytesIndexedList& list = manager.GetAttributeBytesIndexedListRef();
  if (list.GetAttributeBytesPtr(*id) == nullptr) {
    const std::u16string wide = Utf16FromUtf8(o.identifier), queue = Utf16FromUtf8(o.printer);
    ZELVO_THROW(ExceptionFeatureNotFound, "w4cli::SettingsUnset", "The printer \"%s\" has no setting %s.",
                queue.c_str(), wide.c_str());
  }
  list.DeleteAttributesBytes(*id);
  manager.SaveUpdatedAttributeBytesIndexedList();
  std::cout << "removed " << o.identifier << "\n";
  return kExitOk;
}

void CheckFormat(const std::string& format) {
  if (format != "json" && format != "bytes") throw UsageError{"--format is json or bytes, not " + format};
}

int Export(const Options& o) {
  CheckFormat(o.format);
  OpenChosenStore();
  auto printer = OpenPrinterByName(o.printer);
  DeviceSettingsManager manager(*printer);
  // Decoding first: stored settings that do not decode are not exported.
  const AttributeBytesIndexedList& list = manager.GetAttributeBytesIndexedListRef();
  if (o.format == "bytes") {
    ByteBuffer bytes;
    std::uint32_t crc = 0;
    if (!manager.GetDeviceSettingsDataFromStorage(bytes, crc)) {
      AttributeBytesNameSpaces empty;
      empty.SetNameSpaceAttributes(PersistentAttributes::GetDataModelDocPropNameSpaceId(), AttributeBytesRawList());
      bytes = PersistentAttributes(empty).GetPersistentAttributesState();
    }
    WriteOutput(o.output, std::string(bytes.begin(), bytes.end()));
    return kExitOk;
  }
  std::ostringstream json;
  json << "{\n  \"printer\": " << JsonString(o.printer) << ",\n  \"settings\": [";
  const char* separator = "\n";
  for (auto it = list.GetIndexedListIterator(); list.IsValidIndexedListIterator(it); list.IncrementIndexedListIterator(it)) {
    const AttributeBytes& r = list.GetAttributeBytesRefFromIndexedListIterator(it);
    const AttributeBytesValue& v = r.GetAttributeBytesValue();
    json << separator << "    {\"id\": " << JsonString(IdentifierText(r.GetAttributeBytesId()))
         << ", \"kind\": " << JsonString(IdentifierKindName(r.GetAttributeBytesId()))
         << ", \"type\": " << JsonString(SettingTypeName(v)) << ", \"value\": " << JsonString(SettingValueText(v))
         << ", \"specified\": " << (v.IsSpecified() ? "true" : "false") << "}";
    separator = ",\n";
  }
  json << "\n  ]\n}\n";
  WriteOutput(o.output, json.str());
  return kExitOk;
}

// The records of a JSON export, checked whole before anything is stored.
AttributeBytesIndexedList SettingsFromJson(const std::string& text) {
  const Json document = JsonReader(text).Document();
  const Json* settings = document.kind == Json::kObject ? document.Member("settings") : nullptr;
  if (settings == nullptr || settings->kind != Json::kArray) BadJson("no \"settings\" array", 0);
  AttributeBytesIndexedList list;
  for (const Json& item : settings->items) {
    const Json* id = item.Member("id");
    const Json* value = item.Member("value");
    const Json* specified = item.Member("specified");
    if (id == nullptr || id->kind != Json::kString || value == nullptr || value->kind != Json::kString ||
        (specified != nullptr && specified->kind != Json::kBool)) {
      BadJson("a setting needs \"id\" and \"value\" strings (and \"specified\" true or false)", 0);
    }
    AttributeBytes record(ParseIdentifier(id->text),
                          ParseSettingValue(value->text, specified == nullptr || specified->boolean));
    if (const Json* type = item.Member("type");
        type != nullptr && (type->kind != Json::kString || type->text != SettingTypeName(record.GetAttributeBytesValue()))) {
      const std::u16string wide = Utf16FromUtf8(id->text);
      ZELVO_THROW(ExceptionInvalidArgument, "w4cli::SettingsFromJson",
                  "The setting %s names a type that its value does not have.", wide.c_str());
    }
    list.AddAttributeBytes(record);  // a duplicate identifier is refused
  }
  return list;
}

AttributeBytesIndexedList SettingsFromBytes(const std::string& text) {
  const ByteBuffer state(reinterpret_cast<const unsigned char*>(text.data()), static_cast<std::uint32_t>(text.size()));
  const PersistentAttributes persisted(state, false, nullptr);
  AttributeBytesRawList raw;
  persisted.GetAttributeBytesListForNameSpace(PersistentAttributes::GetDataModelDocPropNameSpaceId(), raw);
  AttributeBytesIndexedList list;
  list.ImportFromRawList(raw);  // decodes every record
  return list;
}

int Import(const Options& o) {
  CheckFormat(o.format);
  const std::string text = ReadWholeFile(o.file);
  const AttributeBytesIndexedList list = o.format == "json" ? SettingsFromJson(text) : SettingsFromBytes(text);
  OpenChosenStore();
  auto printer = OpenPrinterByName(o.printer);
  DeviceSettingsManager manager(*printer);
  AttributeBytesRawList raw;
  raw.ImportFromIndexedList(list);
  // Replaces whatever is stored, also settings that no longer decode.
  manager.SaveUpdatedDeviceSettingsFromDataModel(raw);
  std::cout << "imported " << list.GetNumberOfAttributeBytes() << " attribute(s) into " << o.printer << "\n";
  return kExitOk;
}

}  // namespace

void AddSettingsCommands(CLI::App& app) {
  CLI::App* group = app.add_subcommand(
      "settings",
      "device settings of a printer queue. IDENTIFIER: 172 (feature), s:NAME (new feature), v:N, sv:NAME, item:N, "
      "cap:F/T, scap:NAME/T, ns:N. VALUE: N (option value), s:NAME (new value), int:N, str:TEXT, bool:true|false, "
      "range:A..B, dim:210mm (mm, um, in, pt), dimrange:A..B, res:CROSSxFEED/UNITS, blob:HEX, time:ISO-8601, "
      "list:KIND:HEX, opt:IDENTIFIER");
  group->require_subcommand(1);
  auto o = std::make_shared<Options>();

  CLI::App* show = AddQueueCommand(
      *group, "show", "list every setting: identifier, kind, type, value, specified", o->printer);
  show->callback([o] { SetAction([o] { return Show(*o); }); });

  CLI::App* get = AddQueueCommand(*group, "get", "show one setting", o->printer);
  get->add_option("IDENTIFIER", o->identifier, "the setting")->required();
  get->callback([o] { SetAction([o] { return Get(*o); }); });

  CLI::App* set =
      AddQueueCommand(*group, "set", "set one setting and store the settings", o->printer);
  set->add_option("ASSIGNMENT", o->assignment, "IDENTIFIER=VALUE, e.g. 172=dim:210mm or s:MyFeature=str:Hello")
      ->required();
  set->add_flag("--unspecified", o->unspecified, "store the value as not specified");
  set->callback([o] { SetAction([o] { return Set(*o); }); });

  CLI::App* unset =
      AddQueueCommand(*group, "unset", "remove one setting and store the settings", o->printer);
  unset->add_option("IDENTIFIER", o->identifier, "the setting")->required();
  unset->callback([o] { SetAction([o] { return Unset(*o); }); });

  CLI::App* exporter = AddQueueCommand(
      *group, "export", "write the whole set as JSON or as the stored bytes", o->printer);
  exporter->add_option("--format", o->format, "json (default) or bytes");
  exporter->add_option("--output,-o", o->output, "file to write (default: standard output)");
  exporter->callback([o] { SetAction([o] { return Export(*o); }); });

  CLI::App* importer = AddQueueCommand(
      *group, "import", "replace the whole set from JSON or stored bytes", o->printer);
  importer->add_option("--format", o->format, "json (default) or bytes");
  importer->add_option("FILE", o->file, "file to read, - for standard input")->required();
  importer->callback([o] { SetAction([o] { return Import(*o); }); });
}

}  // namespace w4cli
