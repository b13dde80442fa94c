#include "w4util/foundation/Base64.h"

#include <unistd.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "w4util/errors/ExceptionCatalogue.h"

namespace {

using namespace ZelvoUtilities;

std::string Encode(const std::string& bytes, std::uint32_t flags) {
  const auto n = static_cast<std::int32_t>(bytes.size());
  std::int32_t length = Base64EncodeGetRequiredLength(n, flags);
  std::vector<char16_t> out(static_cast<std::size_t>(length) + 1);  // never a null pointer
  EXPECT_EQ(Base64Encode(reinterpret_cast<const unsigned char*>(bytes.data()), n, out.data(), &length, flags), 1)
      << n << " " << flags;
  return std::string(out.begin(), out.begin() + length);
}

std::string Decode(const std::u16string& text) {
  std::int32_t length = Base64DecodeGetRequiredLength(static_cast<std::int32_t>(text.size()));
  std::vector<unsigned char> out(static_cast<std::size_t>(length) + 1);
  EXPECT_EQ(Base64Decode(text.data(), static_cast<std::int32_t>(text.size()), out.data(), &length), 1);
  return std::string(out.begin(), out.begin() + length);
}

std::u16string Wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

TEST(Base64, EncodingGroupsPaddingAndLineBreaks) {
  EXPECT_EQ(Encode("abc", 0), "YWJj");
  EXPECT_EQ(Encode("ab", 0), "YWI=");
  EXPECT_EQ(Encode("ab", kBase64NoPad), "YWI");
  EXPECT_EQ(Encode("a", 0), "YQ==");
  EXPECT_EQ(Encode("", 0), "");
  const std::string e57 = Encode(std::string(57, 'x'), 0);
  EXPECT_EQ(e57.size(), 78u);
  EXPECT_EQ(e57.substr(76), "\r\n");
  const std::string e60 = Encode(std::string(60, 'x'), 0);
  EXPECT_EQ(e60.size(), 82u);
  EXPECT_EQ(e60.substr(76, 2), "\r\n");
  EXPECT_EQ(Encode(std::string(58, 'x'), 0).substr(76), "\r\neA==");
  EXPECT_EQ(Encode(std::string(60, 'x'), kBase64NoCrLf).size(), 80u);
}

TEST(Base64, RequiredLengthFormulaAndLimits) {
  const struct {
    std::int32_t n;
    std::uint32_t flags;
    std::int32_t want;
  } cases[] = {{0, 0, 2}, {3, 0, 6}, {2, 0, 6}, {2, kBase64NoPad, 6}, {2, 3, 4}, {57, 0, 80}, {60, 0, 84}, {60, 2, 80}};
  for (const auto& c : cases) EXPECT_EQ(Base64EncodeGetRequiredLength(c.n, c.flags), c.want) << c.n << " " << c.flags;
  EXPECT_EQ(Base64EncodeGetRequiredLength(536870911, 2), 715827884);
  EXPECT_THROW(Base64EncodeGetRequiredLength(536870912, 0), ExceptionInvalidArgument);
  EXPECT_THROW(Base64EncodeGetRequiredLength(-1, 0), ExceptionInvalidArgument);

  const unsigned char data[3] = {1, 2, 3};
  char16_t out[8];
  std::int32_t length = 5;  // one short of the 6 required
  EXPECT_EQ(Base64Encode(data, 3, out, &length, 0), 0);
  EXPECT_EQ(Base64Encode(nullptr, 3, out, &length, 0), 0);
  EXPECT_EQ(Base64Encode(data, 3, nullptr, &length, 0), 0);
  EXPECT_EQ(Base64Encode(data, 3, out, nullptr, 0), 0);
}

TEST(Base64, DecodingSkipsForeignCharactersAndCounts) {
  EXPECT_EQ(Decode(u"YWJj"), "abc");
  EXPECT_EQ(Decode(u"YWI="), "ab");
  EXPECT_EQ(Decode(u"YWI"), "ab");
  EXPECT_EQ(Decode(u"Y"), "");
  const std::string bytes(100, '\x9C');
  EXPECT_EQ(Decode(Wide(Encode(bytes, 0))), bytes);
  EXPECT_EQ(Decode(Wide(Encode(bytes, 0))), Decode(Wide(Encode(bytes, kBase64NoCrLf))));
  EXPECT_EQ(Decode(u"YW\r\nJj*!"), "abc");
  // A 0 character ends the text.
  EXPECT_EQ(Decode(std::u16string(u"YWJj\0YWJj", 9)), "abc");

  // Too small an output: nothing beyond it is written, the count is the full one.
  unsigned char out[4] = {0, 0, 0, 0xEE};
  std::int32_t length = 3;
  EXPECT_EQ(Base64Decode(u"YWJjZGVm", 8, out, &length), 0);
  EXPECT_EQ(length, 6);
  EXPECT_EQ(out[3], 0xEE);
  length = 0;
  EXPECT_EQ(Base64Decode(u"YWJj", 4, nullptr, &length), 0);
  EXPECT_EQ(length, 3);
  // Empty text.
  length = 9;
  EXPECT_EQ(Base64Decode(u"", 0, out, &length), 1);
  EXPECT_EQ(length, 0);
  length = 9;
  EXPECT_EQ(Base64Decode(u"", 0, nullptr, &length), 0);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(Base64Decode(nullptr, 4, out, &length), 0);
  EXPECT_EQ(Base64Decode(u"YWJj", 4, out, nullptr), 0);
}

// Python's base64 as the outside reference: b64encode for the unbroken
// form, encodebytes (LF after every 76 characters and at the end) for the
// broken one, which this encoder ends with CR LF only after a full line.
TEST(Base64, AgreesWithPython) {
  if (std::system("python3 -c 'import base64' >/dev/null 2>&1") != 0) GTEST_SKIP() << "python3 is not available";
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("w4util-base64-python-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::vector<std::size_t> sizes = {0, 1, 2, 3, 56, 57, 58, 59, 114, 115, 1000, 1026};
  std::mt19937 random(7);
  std::vector<std::string> inputs;
  for (std::size_t n : sizes) {
    std::string bytes(n, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    std::ofstream((dir / std::to_string(n)).string(), std::ios::binary) << bytes;
    inputs.push_back(bytes);
  }
  std::ofstream(dir / "enc.py") << "import base64,sys\n"
                                   "for p in sys.argv[1:]:\n"
                                   "  d=open(p,'rb').read()\n"
                                   "  open(p+'.plain','wb').write(base64.b64encode(d))\n"
                                   "  open(p+'.lines','wb').write(base64.encodebytes(d))\n";
  std::string command = "python3 '" + (dir / "enc.py").string() + "'";
  for (std::size_t n : sizes) command += " '" + (dir / std::to_string(n)).string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  auto read = [](const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  };
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    const std::size_t n = sizes[i];
    const std::string& bytes = inputs[i];
    const std::string in = (dir / std::to_string(n)).string();
    const std::string plain = read(in + ".plain");
    std::string lines;
    for (char c : read(in + ".lines")) lines += c == '\n' ? std::string("\r\n") : std::string(1, c);
    if (n % 57 != 0 && lines.size() >= 2) lines.resize(lines.size() - 2);
    EXPECT_EQ(Encode(bytes, kBase64NoCrLf), plain) << n;
    EXPECT_EQ(Encode(bytes, 0), lines) << n;
    std::string unpadded = plain;
    while (!unpadded.empty() && unpadded.back() == '=') unpadded.pop_back();
    EXPECT_EQ(Encode(bytes, kBase64NoCrLf | kBase64NoPad), unpadded) << n;
    EXPECT_EQ(Decode(Wide(lines)), bytes) << n;
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
