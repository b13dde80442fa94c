// w4util format FORMAT [ARGS...]: the library's wide formatter from the shell.
// Each argument is taken as the conversion that consumes it asks: an integer
// for d i u x X o c and "*" fields (a single character stands for its code
// in %c), a number for f e g, text for s/S.
#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "w4util/foundation/CXString.h"
#include "w4util/foundation/WideFormat.h"
#include "w4util/platform/CodePage.h"

namespace w4cli {
namespace {

using ZelvoUtilities::FormatArgKind;

std::u16string FromUtf8(const std::string& text) {
  std::u16string wide;
  if (!w4platform::MultiByteToUtf16(w4platform::kCodePageUtf8, text.data(), text.size(), wide)) {
    throw UsageError{"cannot read argument as UTF-8: " + text};
  }
  return wide;
}

std::int64_t ParseInteger(const std::string& text, bool allowCharacter) {
  errno = 0;
  char* end = nullptr;
  long long value = std::strtoll(text.c_str(), &end, 0);
  if (!text.empty() && end != nullptr && *end == '\0' && errno == 0) return value;
  if (allowCharacter) {
    std::u16string wide = FromUtf8(text);
    if (wide.size() == 1) return wide[0];
  }
  throw UsageError{"not an integer: " + text};
}

double ParseNumber(const std::string& text) {
  errno = 0;
  char* end = nullptr;
  double value = std::strtod(text.c_str(), &end);
  if (text.empty() || end == nullptr || *end != '\0' || errno == ERANGE) {
    throw UsageError{"not a number: " + text};
  }
  return value;
}

// The values of the command line, in the order the format takes them.
class CommandLineArgs final : public ZelvoUtilities::FormatArgSource {
 public:
  struct Value {
    std::int64_t integer = 0;
    double number = 0;
    const void* pointer = nullptr;
  };

  CommandLineArgs(const std::vector<FormatArgKind>& kinds, const std::vector<std::string>& args) {
    wide_.reserve(args.size());
    narrow_.reserve(args.size());
    for (std::size_t i = 0; i < kinds.size(); ++i) {
      Value value;
      const std::string& text = args[i];
      switch (kinds[i]) {
        case FormatArgKind::kInt:
        case FormatArgKind::kInt64: value.integer = ParseInteger(text, true); break;
        case FormatArgKind::kDouble: value.number = ParseNumber(text); break;
        case FormatArgKind::kWideText:
          wide_.push_back(FromUtf8(text));
          value.pointer = wide_.back().c_str();
          break;
        case FormatArgKind::kNarrowText: {
          // Narrow arguments are ANSI text, as the library's callers pass them.
          std::u16string wide = FromUtf8(text);
          std::string ansi;
          w4platform::Utf16ToMultiByte(w4platform::kCodePageAnsi, wide.data(), wide.size(), ansi);
          narrow_.push_back(ansi);
          value.pointer = narrow_.back().c_str();
          break;
        }
        case FormatArgKind::kPointer:
          // %p prints the number given; %n never writes through it.
          value.pointer = reinterpret_cast<const void*>(  // NOLINT(performance-no-int-to-ptr): never dereferenced
              static_cast<std::uintptr_t>(ParseInteger(text, false)));
          break;
      }
      values_.push_back(value);
    }
  }

  std::int32_t NextInt() override { return static_cast<std::int32_t>(Next().integer); }
  std::int64_t NextInt64() override { return Next().integer; }
  double NextDouble() override { return Next().number; }
  const void* NextPointer() override { return Next().pointer; }

 private:
  const Value& Next() {
    static const Value none;
    return next_ < values_.size() ? values_[next_++] : none;
  }
  std::vector<std::u16string> wide_;
  std::vector<std::string> narrow_;
  std::vector<Value> values_;
  std::size_t next_ = 0;
};

int RunFormat(const std::string& format, const std::vector<std::string>& args) {
  const std::u16string wideFormat = FromUtf8(format);
  const std::vector<FormatArgKind> kinds = ZelvoUtilities::GetFormatArgumentKinds(wideFormat.c_str());
  if (kinds.size() != args.size()) {
    throw UsageError{"the format takes " + std::to_string(kinds.size()) + " argument(s), " +
                     std::to_string(args.size()) + " given"};
  }
  CommandLineArgs source(kinds, args);
  const CXString result = ZelvoUtilities::SafeFormatString(wideFormat.c_str(), source);
  std::string utf8;
  w4platform::Utf16ToMultiByte(w4platform::kCodePageUtf8, result, static_cast<std::size_t>(result.GetLength()),
                               utf8);
  std::cout << utf8 << "\n";
  return kExitOk;
}

}  // namespace

void AddFormatCommands(CLI::App& app) {
  auto* command = app.add_subcommand("format", "Format text with the library's wide printf conventions "
                                               "(%s UTF-16 text, %S narrow text, %ld 32-bit, %I64d 64-bit)");
  auto format = std::make_shared<std::string>();
  auto args = std::make_shared<std::vector<std::string>>();
  command->add_option("FORMAT", *format, "the format")->required();
  command->add_option("ARGS", *args, "the arguments, one per conversion");
  command->callback([format, args] { SetAction([format, args] { return RunFormat(*format, *args); }); });
}

}  // namespace w4cli
