// w4util reg query|set|delete|export|import: the registry store from the
// shell. Keys are written with their root first, long or short
// ("HKEY_LOCAL_MACHINE\SOFTWARE\Zelvo", "HKLM\SOFTWARE\Zelvo"); "" or "@"
// names the default value. Export and import use the registry editor's text
// form ("Windows Registry Editor Version 5.00"), in UTF-8; import also reads
// the editor's UTF-16LE files.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/StoreOption.h"
#include "cli/ValueText.h"
#include "w4util/platform/RegistryStore.h"

namespace w4cli {
namespace {

using namespace w4platform;

constexpr const char* kExportHeader = "Windows Registry Editor Version 5.00";

struct Root {
  const char* longName;
  const char* shortName;
  RegHandle handle;
};
constexpr Root kRoots[] = {
    {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
    {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
    {"HKEY_USERS", "HKU", HKEY_USERS},
    {"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},
};

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

struct KeyPath {
  const Root* root = nullptr;
  std::u16string subKey;  // "" for the root itself
  std::string display;    // long root name and the path
};

KeyPath ParseKey(const std::string& text) {
  std::string path = text;
  while (!path.empty() && path.back() == '\\') path.pop_back();
  const std::size_t slash = path.find('\\');
  const std::string head = Upper(path.substr(0, slash));
  KeyPath key;
  for (const Root& root : kRoots) {
    if (head == root.longName || head == root.shortName) key.root = &root;
  }
  if (key.root == nullptr) throw UsageError{"unknown registry root in key: " + text};
  const std::string rest = slash == std::string::npos ? "" : path.substr(slash + 1);
  key.subKey = Utf16FromUtf8(rest);
  key.display = std::string(key.root->longName) + (rest.empty() ? "" : "\\" + rest);
  return key;
}

std::u16string ValueName(const std::string& name) {
  return name == "@" ? std::u16string() : Utf16FromUtf8(name);
}

std::string ErrorText(std::uint32_t code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND: return "not found";
    case ERROR_ACCESS_DENIED: return "access denied";
    case ERROR_INVALID_PARAMETER: return "invalid name or data";
    default: return "registry error " + std::to_string(code);
  }
}

// An open key, closed at scope end.
class OpenKey {
 public:
  OpenKey(const KeyPath& path, std::uint32_t access, bool create) : display_(path.display) {
    RegistryStore& store = RegistryStore::Process();
    const std::uint32_t result =
        create ? store.RegCreateKeyEx(path.root->handle, path.subKey, 0, access, &handle_, nullptr)
               : store.RegOpenKeyEx(path.root->handle, path.subKey, 0, access, &handle_);
    if (result != ERROR_SUCCESS) {
      handle_ = 0;
      throw CommandFailure{"cannot open key " + display_ + ": " + ErrorText(result)};
    }
  }
  ~OpenKey() {
    if (handle_ != 0) RegistryStore::Process().RegCloseKey(handle_);
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  RegHandle get() const { return handle_; }

 private:
  std::string display_;
  RegHandle handle_ = 0;
};

struct Value {
  std::u16string name;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

// Every value of key, each read with its own size query.
std::vector<Value> ReadValues(RegHandle key) {
  RegistryStore& store = RegistryStore::Process();
  std::vector<Value> values;
  std::vector<char16_t> name(kMaxValueNameLength + 1);
  for (std::uint32_t index = 0;; ++index) {
    std::uint32_t length = static_cast<std::uint32_t>(name.size());
    Value v;
    std::uint32_t size = 0;
    std::uint32_t result =
        store.RegEnumValue(key, index, name.data(), &length, &v.type, nullptr, &size);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) throw CommandFailure{"cannot list values: " + ErrorText(result)};
    v.name.assign(name.data(), length);
    v.data.resize(size);
    result = store.RegQueryValueEx(key, v.name, &v.type, v.data.data(), &size);
    if (result == ERROR_FILE_NOT_FOUND) continue;  // gone meanwhile
    if (result != ERROR_SUCCESS) throw CommandFailure{"cannot read value: " + ErrorText(result)};
    v.data.resize(size);
    values.push_back(std::move(v));
  }
  return values;
}

std::vector<std::u16string> ReadSubKeys(RegHandle key) {
  RegistryStore& store = RegistryStore::Process();
  std::vector<std::u16string> names;
  char16_t name[kMaxKeyNameLength + 1];
  for (std::uint32_t index = 0;; ++index) {
    std::uint32_t length = kMaxKeyNameLength + 1;
    const std::uint32_t result = store.RegEnumKeyEx(key, index, name, &length);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) throw CommandFailure{"cannot list keys: " + ErrorText(result)};
    names.emplace_back(name, length);
  }
  return names;
}

std::string ShownName(const std::u16string& name) {
  return name.empty() ? "(Default)" : Utf8FromUtf16(name);
}

int Query(const std::string& keyText, const std::string* valueText) {
  const KeyPath path = ParseKey(keyText);
  OpenKey key(path, KEY_READ, false);
  if (valueText != nullptr) {
    const std::u16string name = ValueName(*valueText);
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    RegistryStore& store = RegistryStore::Process();
    std::uint32_t result = store.RegQueryValueEx(key.get(), name, &type, nullptr, &size);
    std::vector<std::uint8_t> data(size);
    if (result == ERROR_SUCCESS) {
      result = store.RegQueryValueEx(key.get(), name, &type, data.data(), &size);
    }
    if (result != ERROR_SUCCESS) {
      throw CommandFailure{"cannot read value " + *valueText + " of " + path.display + ": " +
                         ErrorText(result)};
    }
    data.resize(size);
    std::cout << ShowValue(type, data.data(), data.size()) << "\n";
    return kExitOk;
  }
  std::cout << path.display << "\n";
  for (const Value& v : ReadValues(key.get())) {
    std::cout << "    " << ShownName(v.name) << "    " << TypeName(v.type) << "    "
              << ShowValue(v.type, v.data.data(), v.data.size()) << "\n";
  }
  for (const std::u16string& sub : ReadSubKeys(key.get())) {
    std::cout << path.display << "\\" << Utf8FromUtf16(sub) << "\n";
  }
  return kExitOk;
}

int Set(const std::string& keyText, const std::string& valueText, const std::string& dataText,
        const std::string& typeText) {
  const KeyPath path = ParseKey(keyText);
  const std::uint32_t type = ParseValueType(typeText);
  const std::vector<std::uint8_t> data = ParseValueData(type, dataText);
  OpenKey key(path, KEY_ALL_ACCESS, true);
  const std::uint32_t result = RegistryStore::Process().RegSetValueEx(
      key.get(), ValueName(valueText), type, data.data(), static_cast<std::uint32_t>(data.size()));
  if (result != ERROR_SUCCESS) {
    throw CommandFailure{"cannot write value " + valueText + ": " + ErrorText(result)};
  }
  return kExitOk;
}

int Delete(const std::string& keyText, const std::string* valueText) {
  const KeyPath path = ParseKey(keyText);
  RegistryStore& store = RegistryStore::Process();
  std::uint32_t result = 0;
  if (valueText != nullptr) {
    OpenKey key(path, KEY_ALL_ACCESS, false);
    result = store.RegDeleteValue(key.get(), ValueName(*valueText));
  } else {
    if (path.subKey.empty()) throw UsageError{"refusing to delete a registry root"};
    result = store.SHDeleteKey(path.root->handle, path.subKey);
  }
  if (result != ERROR_SUCCESS) {
    throw CommandFailure{"cannot delete " + (valueText ? *valueText + " of " : std::string()) +
                       path.display + ": " + ErrorText(result)};
  }
  return kExitOk;
}

// ---- the registry editor's text form ----

std::string Quoted(std::u16string_view text) {
  std::string out = "\"";
  for (char c : Utf8FromUtf16(text)) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

// Hex bytes after a prefix, wrapped as the editor wraps them.
std::string HexLine(const std::string& head, const std::vector<std::uint8_t>& data) {
  static const char* digits = "0123456789abcdef";
  std::string out = head;
  std::size_t column = head.size();
  for (std::size_t i = 0; i < data.size(); ++i) {
    out += digits[data[i] >> 4];
    out += digits[data[i] & 15];
    column += 2;
    if (i + 1 < data.size()) {
      out += ',';
      ++column;
      if (column > 76) {
        out += "\\\n  ";
        column = 2;
      }
    }
  }
  return out;
}

// A REG_SZ the string form can carry: terminated once, no other NUL, no
// line breaks.
bool PlainText(const Value& v, std::u16string& text) {
  if (v.type != REG_SZ || v.data.size() < 2 || v.data.size() % 2 != 0) return false;
  text.assign(v.data.size() / 2, u'\0');
  std::memcpy(text.data(), v.data.data(), v.data.size());
  if (text.back() != u'\0') return false;
  text.pop_back();
  return text.find_first_of(u"\0\r\n", 0, 3) == std::u16string::npos;
}

void ExportKey(RegHandle key, const std::string& display, std::ostream& out) {
  out << "[" << display << "]\n";
  for (const Value& v : ReadValues(key)) {
    std::string line = v.name.empty() ? "@" : Quoted(v.name);
    line += "=";
    std::u16string text;
    if (PlainText(v, text)) {
      line += Quoted(text);
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
      char buffer[16];
      std::uint32_t n = 0;
      for (int i = 3; i >= 0; --i) n = (n << 8) | v.data[i];
      std::snprintf(buffer, sizeof buffer, "dword:%08x", n);
      line += buffer;
    } else if (v.type == REG_BINARY) {
      line += "hex:";
      line = HexLine(line, v.data);
    } else {
      char type[16];
      std::snprintf(type, sizeof type, "%x", v.type);
      line.append("hex(").append(type).append("):");
      line = HexLine(line, v.data);
    }
    out << line << "\n";
  }
  out << "\n";
  for (const std::u16string& sub : ReadSubKeys(key)) {
    RegHandle child = 0;
    if (RegistryStore::Process().RegOpenKeyEx(key, sub, 0, KEY_READ, &child) != ERROR_SUCCESS) {
      continue;
    }
    ExportKey(child, display + "\\" + Utf8FromUtf16(sub), out);
    RegistryStore::Process().RegCloseKey(child);
  }
}

int Export(const std::string& keyText, const std::string* fileText) {
  const KeyPath path = ParseKey(keyText);
  OpenKey key(path, KEY_READ, false);
  std::ostringstream text;
  text << kExportHeader << "\n\n";
  ExportKey(key.get(), path.display, text);
  if (fileText == nullptr) {
    std::cout << text.str();
    return kExitOk;
  }
  std::ofstream file(*fileText, std::ios::binary | std::ios::trunc);
  file << text.str();
  file.close();
  if (!file) throw CommandFailure{"cannot write " + *fileText};
  return kExitOk;
}

// The file's text as UTF-8: UTF-8 with or without its mark, or UTF-16LE with
// its mark (the editor's own files).
std::string FileText(const std::string& bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    std::u16string wide((bytes.size() - 2) / 2, u'\0');
    std::memcpy(wide.data(), bytes.data() + 2, wide.size() * 2);
    return Utf8FromUtf16(wide);
  }
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return bytes.substr(3);
  return bytes;
}

struct ImportError {
  std::size_t line;
  std::string text;
};

// Reads a quoted string at text[at] (at the opening quote); at moves past
// the closing one.
std::string ReadQuoted(const std::string& text, std::size_t& at, std::size_t line) {
  std::string out;
  for (++at; at < text.size(); ++at) {
    const char c = text[at];
    if (c == '"') {
      ++at;
      return out;
    }
    if (c == '\\' && at + 1 < text.size()) {
      out += text[++at];
    } else {
      out += c;
    }
  }
  throw ImportError{line, "unterminated string"};
}

std::vector<std::uint8_t> ReadHex(const std::string& text, std::size_t line) {
  std::vector<std::uint8_t> out;
  std::string digits;
  for (char c : text) {
    if (c == ',' || c == ' ' || c == '\t' || c == '\r') {
      if (!digits.empty()) {
        out.push_back(static_cast<std::uint8_t>(std::strtoul(digits.c_str(), nullptr, 16)));
        digits.clear();
      }
      continue;
    }
    if (!std::isxdigit(static_cast<unsigned char>(c)) || digits.size() == 2) {
      throw ImportError{line, "bad hex bytes"};
    }
    digits += c;
  }
  if (!digits.empty()) {
    out.push_back(static_cast<std::uint8_t>(std::strtoul(digits.c_str(), nullptr, 16)));
  }
  return out;
}

int Import(const std::string& fileText) {
  std::ifstream file(fileText, std::ios::binary);
  if (!file) throw CommandFailure{"cannot read " + fileText};
  const std::string text =
      FileText(std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()));

  // Logical lines: a line ending in "\" continues on the next.
  std::vector<std::pair<std::size_t, std::string>> lines;
  {
    std::istringstream in(text);
    std::string raw;
    std::size_t number = 0;
    bool continued = false;
    while (std::getline(in, raw)) {
      ++number;
      if (!raw.empty() && raw.back() == '\r') raw.pop_back();
      if (continued) {
        const std::size_t first = raw.find_first_not_of(" \t");
        lines.back().second += first == std::string::npos ? "" : raw.substr(first);
      } else {
        lines.emplace_back(number, raw);
      }
      std::string& last = lines.back().second;
      continued = !last.empty() && last.back() == '\\' && last.find('=') != std::string::npos &&
                  last.find("hex") != std::string::npos;
      if (continued) last.pop_back();
    }
  }

  RegistryStore& store = RegistryStore::Process();
  std::unique_ptr<OpenKey> current;
  bool headerSeen = false;
  try {
    for (const auto& [number, line] : lines) {
      if (line.empty() || line[0] == ';') continue;
      if (!headerSeen) {
        if (line != kExportHeader && line != "REGEDIT4") {
          throw ImportError{number, "not a registry export (no header)"};
        }
        headerSeen = true;
        continue;
      }
      if (line[0] == '[') {
        const std::size_t close = line.rfind(']');
        if (close == std::string::npos) throw ImportError{number, "unterminated key line"};
        current.reset();
        if (line.size() > 1 && line[1] == '-') {
          const KeyPath path = ParseKey(line.substr(2, close - 2));
          const std::uint32_t r = store.SHDeleteKey(path.root->handle, path.subKey);
          if (r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND) {
            throw ImportError{number, "cannot delete key: " + ErrorText(r)};
          }
          continue;
        }
        current = std::make_unique<OpenKey>(ParseKey(line.substr(1, close - 1)), KEY_ALL_ACCESS,
                                             true);
        continue;
      }
      if (!current) throw ImportError{number, "value outside a key"};
      std::size_t at = 0;
      std::string name;
      if (line[0] == '@') {
        at = 1;
      } else if (line[0] == '"') {
        name = ReadQuoted(line, at, number);
      } else {
        throw ImportError{number, "expected a value name"};
      }
      if (at >= line.size() || line[at] != '=') throw ImportError{number, "expected \"=\""};
      const std::string data = line.substr(at + 1);
      const std::u16string wideName = Utf16FromUtf8(name);
      std::uint32_t type = REG_SZ;
      std::vector<std::uint8_t> bytes;
      if (data == "-") {
        const std::uint32_t r = store.RegDeleteValue(current->get(), wideName);
        if (r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND) {
          throw ImportError{number, "cannot delete value: " + ErrorText(r)};
        }
        continue;
      } else if (!data.empty() && data[0] == '"') {
        std::size_t pos = 0;
        const std::string value = ReadQuoted(data, pos, number);
        if (pos != data.size()) throw ImportError{number, "text after the string"};
        bytes = ParseValueData(REG_SZ, value);
      } else if (data.rfind("dword:", 0) == 0) {
        const std::string digits = data.substr(6);
        if (digits.empty() || digits.size() > 8 ||
            digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
          throw ImportError{number, "bad dword"};
        }
        type = REG_DWORD;
        const std::uint32_t n = static_cast<std::uint32_t>(std::strtoul(digits.c_str(), nullptr, 16));
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
      } else if (data.rfind("hex:", 0) == 0) {
        type = REG_BINARY;
        bytes = ReadHex(data.substr(4), number);
      } else if (data.rfind("hex(", 0) == 0) {
        const std::size_t close = data.find("):");
        const std::string digits = data.substr(4, close == std::string::npos ? 0 : close - 4);
        if (close == std::string::npos || digits.empty() || digits.size() > 8 ||
            digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
          throw ImportError{number, "bad hex(type)"};
        }
        type = static_cast<std::uint32_t>(std::strtoul(digits.c_str(), nullptr, 16));
        bytes = ReadHex(data.substr(close + 2), number);
      } else {
        throw ImportError{number, "unknown value form"};
      }
      const std::uint32_t r = store.RegSetValueEx(current->get(), wideName, type, bytes.data(),
                                                  static_cast<std::uint32_t>(bytes.size()));
      if (r != ERROR_SUCCESS) throw ImportError{number, "cannot write value: " + ErrorText(r)};
    }
  } catch (const UsageError& e) {
    throw CommandFailure{fileText + ": " + e.text};
  } catch (const ImportError& e) {
    throw CommandFailure{fileText + ":" + std::to_string(e.line) + ": " + e.text};
  }
  if (!headerSeen) throw CommandFailure{fileText + ": not a registry export (empty)"};
  return kExitOk;
}

}  // namespace

void AddRegCommands(CLI::App& app) {
  AddStoreOption(app);
  CLI::App* reg = app.add_subcommand("reg", "read and change the registry store");
  reg->require_subcommand(1);
  AddStoreOption(*reg);

  struct Args {
    std::string key, value, data, type = "sz", file;
  };
  auto args = std::make_shared<Args>();

  CLI::App* query = reg->add_subcommand("query", "show a key's values and subkeys, or one value");
  AddStoreOption(*query);
  query->add_option("KEY", args->key, "key, root first (HKLM\\SOFTWARE\\Zelvo)")->required();
  CLI::Option* queryValue = query->add_option("VALUE", args->value, "value name (@: default)");
  query->callback([args, queryValue] {
    const bool one = queryValue->count() != 0;
    SetStoreAction([args, one] { return Query(args->key, one ? &args->value : nullptr); });
  });

  CLI::App* set = reg->add_subcommand("set", "write a value (the key is created when missing)");
  AddStoreOption(*set);
  set->add_option("KEY", args->key, "key")->required();
  set->add_option("VALUE", args->value, "value name (@: default)")->required();
  set->add_option("DATA", args->data, "data in the form of its type")->required();
  set->add_option("--type", args->type, "sz|expand_sz|multi_sz|dword|qword|binary|none");
  set->callback([args] { SetStoreAction([args] { return Set(args->key, args->value, args->data, args->type); }); });

  CLI::App* del = reg->add_subcommand("delete", "delete a value, or a key with everything below");
  AddStoreOption(*del);
  del->add_option("KEY", args->key, "key")->required();
  CLI::Option* delValue = del->add_option("VALUE", args->value, "value name (@: default)");
  del->callback([args, delValue] {
    const bool one = delValue->count() != 0;
    SetStoreAction([args, one] { return Delete(args->key, one ? &args->value : nullptr); });
  });

  CLI::App* exp = reg->add_subcommand("export", "write a key and its subkeys as a .reg text");
  AddStoreOption(*exp);
  exp->add_option("KEY", args->key, "key")->required();
  CLI::Option* expFile = exp->add_option("FILE", args->file, "output file (default: stdout)");
  exp->callback([args, expFile] {
    const bool toFile = expFile->count() != 0;
    SetStoreAction([args, toFile] { return Export(args->key, toFile ? &args->file : nullptr); });
  });

  CLI::App* imp = reg->add_subcommand("import", "apply a .reg text to the store");
  AddStoreOption(*imp);
  imp->add_option("FILE", args->file, "the .reg file")->required();
  imp->callback([args] { SetStoreAction([args] { return Import(args->file); }); });
}

}  // namespace w4cli
