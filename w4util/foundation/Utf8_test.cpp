#include "w4util/foundation/Utf8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using ZelvoUtilities::UTF8_Decode;
using ZelvoUtilities::UTF8_Encode;

Bytes V(const ByteBuffer& b) { return Bytes(b.begin(), b.end()); }

Bytes Decode(const std::string& utf8) {
  return V(UTF8_Decode(utf8.data(), static_cast<std::uint32_t>(utf8.size())));
}

Bytes Encode(const std::u16string& utf16) {
  return V(UTF8_Encode(utf16.data(), static_cast<std::uint32_t>(utf16.size())));
}

Bytes Utf16Le(const std::u16string& text) {
  Bytes out;
  for (const char16_t u : text) {
    out.push_back(static_cast<unsigned char>(u & 0xFF));
    out.push_back(static_cast<unsigned char>(u >> 8));
  }
  return out;
}

std::string Hex(const Bytes& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  for (const unsigned char b : bytes) {
    s += digits[b >> 4];
    s += digits[b & 15];
  }
  return s;
}

Bytes Raw(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST(Utf8, WellFormedTextRoundTrips) {
  const std::u16string text =
      u"A\u00E9\u20AC\U0001F600\U0010FFFF" + std::u16string(1, u'\0') + u"z";
  const Bytes utf8 = Encode(text);
  EXPECT_EQ(utf8, Raw("A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF" +
                      std::string(1, '\0') + "z"));
  EXPECT_EQ(Decode(std::string(utf8.begin(), utf8.end())), Utf16Le(text));
}

TEST(Utf8, NullAndEmpty) {
  EXPECT_TRUE(UTF8_Encode(nullptr, 5).empty());
  EXPECT_TRUE(UTF8_Decode(nullptr, 5).empty());
  EXPECT_TRUE(UTF8_Encode(u"A", 0).empty());
  EXPECT_TRUE(UTF8_Decode("A", 0).empty());
}

// A one-character text, an ASCII byte and a 0 byte, gives the Int form of the
// character. The rule looks only at bytes inside the count and only at an
// ASCII first byte.
TEST(Utf8, OneCharacterRuleStaysInsideTheCount) {
  const char text[] = {'A', '\0', 'B', '\0'};
  EXPECT_EQ(V(UTF8_Decode(text, 2)), (Bytes{0x41, 0x00, 0x00, 0x00}));
  EXPECT_EQ(V(UTF8_Decode(text, 3)), (Bytes{0x41, 0x00, 0x00, 0x00}));
  // The byte after the count is 0, but it is not part of the text.
  EXPECT_EQ(V(UTF8_Decode(text, 1)), (Bytes{0x41, 0x00}));
  EXPECT_TRUE(UTF8_Decode(text + 1, 0).empty());
  // A non-ASCII first byte is decoded as UTF-8, not widened as a number.
  const char lead[] = {'\xC3', '\0'};
  EXPECT_EQ(V(UTF8_Decode(lead, 2)), (Bytes{0xFD, 0xFF, 0x00, 0x00}));
  const char zero[] = {'\0', '\0', 'x'};
  EXPECT_EQ(V(UTF8_Decode(zero, 3)), (Bytes{0x00, 0x00, 0x00, 0x00}));
}

// Python's codecs are the reference: every unpaired surrogate and every
// maximal ill-formed UTF-8 subsequence becomes one U+FFFD, as its "replace"
// handler does; for well-formed input that is the "strict" result.
class Utf8AgainstPython : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("python3 -c \"import codecs\" >/dev/null 2>&1") != 0) {
      GTEST_SKIP() << "python3 not available";
    }
  }

  // Each line of the result is the hex of Python's conversion of one input.
  static std::vector<std::string> Python(const char* conversion, const std::vector<Bytes>& inputs) {
    namespace fs = std::filesystem;
    // Several builds may run this test at once: the folder name is random.
    const fs::path dir = fs::temp_directory_path() / ("w4util-utf8-" + std::string(conversion) +
                                                      "-" + std::to_string(std::random_device()()));
    fs::create_directories(dir);
    {
      std::ofstream in(dir / "in.txt");
      for (const Bytes& b : inputs) {
        in << "x" << Hex(b) << "\n";
      }
      std::ofstream script(dir / "convert.py");
      script
          << "import sys\n"
             "conv = {\n"
             "  'encode': lambda b: b.decode('utf-16-le', 'replace').encode('utf-8', 'strict'),\n"
             "  'decode': lambda b: b.decode('utf-8', 'replace').encode('utf-16-le', 'strict'),\n"
             "}[sys.argv[1]]\n"
             "with open(sys.argv[2]) as f, open(sys.argv[3], 'w') as out:\n"
             "  for line in f:\n"
             "    out.write(conv(bytes.fromhex(line.strip()[1:])).hex() + '\\n')\n";
    }
    const std::string command = "python3 '" + (dir / "convert.py").string() + "' " + conversion +
                                " '" + (dir / "in.txt").string() + "' '" +
                                (dir / "out.txt").string() + "'";
    std::vector<std::string> lines;
    if (std::system(command.c_str()) == 0) {
      std::ifstream out(dir / "out.txt");
      for (std::string line; std::getline(out, line);) {
        lines.push_back(line);
      }
    }
    fs::remove_all(dir);
    return lines;
  }
};

TEST_F(Utf8AgainstPython, EncodeMatchesReplaceHandler) {
  const std::vector<std::u16string> cases = {
      u"plain ASCII",
      u"\u00E9t\u00E9 \u20AC \uFFFF \uFEFF",
      u"\U0001F600\U00010000\U0010FFFF",
      std::u16string(1, char16_t(0xD800)),                 // lone high at the end
      std::u16string{char16_t(0xD83D), u'A'},              // high, then no low
      std::u16string{u'a', char16_t(0xDC00), u'b'},        // lone low
      std::u16string{char16_t(0xDE00), char16_t(0xD83D)},  // pair in the wrong order
      std::u16string{char16_t(0xD83D), char16_t(0xD83D), char16_t(0xDE00)},  // high, then a pair
      std::u16string{char16_t(0xDBFF), char16_t(0xDFFF), char16_t(0xDFFF)},  // pair, then lone low
  };
  std::vector<Bytes> inputs;
  for (const auto& c : cases) {
    inputs.push_back(Utf16Le(c));
  }
  const std::vector<std::string> expected = Python("encode", inputs);
  ASSERT_EQ(expected.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(Hex(Encode(cases[i])), expected[i]) << "case " << i << " input " << Hex(inputs[i]);
  }
}

TEST_F(Utf8AgainstPython, DecodeMatchesReplaceHandler) {
  const std::vector<std::string> cases = {
      "plain ASCII",
      "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xEF\xBF\xBF",
      "\xF0\x9F\x98\x80\xF0\x90\x80\x80\xF4\x8F\xBF\xBF",
      "\x80",  // lone continuation byte
      // Split: "\x80A" would read as one hex escape.
      "\xBF\x80\x80"  // NOLINT(bugprone-suspicious-missing-comma)
      "A",
      "\xC0\x80",  // overlong NUL
      "\xC1\xBF",
      "\xE0\x80\x80",  // overlong three-byte form
      "\xE0\x9F\xBF",
      "\xED\xA0\x80",  // an encoded surrogate
      "\xED\xBF\xBF\xED\x9F\xBF",
      "\xF0\x8F\xBF\xBF",  // overlong four-byte form
      "\xF4\x90\x80\x80",  // above U+10FFFF
      "\xF5\x80\x80\x80",
      "\xFE\xFF",
      "A\xE2\x82",  // cut at the end
      "\xF0\x9F\x98",
      "\xF0\x9F\x98"
      "A\xE2\x28\xA1",  // cut before another character
      "\xC3"
      "A",
      "\xE1\x80\xC3\xA9",
  };
  std::vector<Bytes> inputs;
  for (const auto& c : cases) {
    inputs.push_back(Raw(c));
  }
  const std::vector<std::string> expected = Python("decode", inputs);
  ASSERT_EQ(expected.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(Hex(Decode(cases[i])), expected[i]) << "case " << i << " input " << Hex(inputs[i]);
  }
}

}  // namespace
