// Streams written by Ghostscript's PCL XL devices must decode in our reader:
// it is the producer nobody here wrote.
#include <unistd.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "cli/pclxl/PclXlReader.h"

namespace {

namespace fs = std::filesystem;

bool HaveGhostscript() { return std::system("command -v gs >/dev/null 2>&1") == 0; }

const char* const kPages[] = {
    // text in two fonts and sizes
    "/Helvetica findfont 24 scalefont setfont 72 700 moveto (Hello PCL XL) show\n"
    "/Times-Bold findfont 11 scalefont setfont 72 650 moveto (The quick brown fox 0123456789) show\n"
    "showpage\n",
    // vectors: filled and stroked paths, curves, dashes, colours, clipping
    "newpath 100 100 moveto 300 400 lineto 500 100 lineto closepath 0.5 setgray fill\n"
    "0 0 1 setrgbcolor 4 setlinewidth [6 3] 0 setdash 100 500 moveto 200 600 300 450 400 550 curveto stroke\n"
    "1 0 0 setrgbcolor 300 300 80 0 360 arc fill\n"
    "gsave 50 50 200 200 rectclip 0 1 0 setrgbcolor 0 0 400 400 rectfill grestore\n"
    "showpage\n",
    // images: grey and colour samples
    "gsave 72 72 translate 200 200 scale 16 16 8 [16 0 0 16 0 0]\n"
    "{ <" "00112233445566778899aabbccddeeff" "> } image grestore\n"
    "gsave 300 300 translate 150 100 scale 4 2 8 [4 0 0 2 0 0]\n"
    "{ <ff000000ff000000ffffff00ff00ff0000ffffff8080800000ff> } false 3 colorimage grestore\n"
    "showpage\n",
};

TEST(GhostscriptPclXl, ReaderDecodesGhostscriptOutput) {
  if (!HaveGhostscript()) GTEST_SKIP() << "gs is not installed";
  const fs::path dir = fs::temp_directory_path() / ("w4util_pclxl_gs_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  int index = 0;
  for (const char* page : kPages) {
    const fs::path ps = dir / ("page" + std::to_string(index++) + ".ps");
    std::ofstream(ps) << "%!PS\n" << page;
    for (const char* device : {"pxlmono", "pxlcolor"}) {
      const fs::path out = dir / (ps.stem().string() + "." + device + ".pxl");
      const std::string cmd = std::string("gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=") + device +
                              " -sOutputFile='" + out.string() + "' '" + ps.string() + "' >/dev/null 2>&1";
      ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
      std::ifstream in(out, std::ios::binary);
      const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      ASSERT_FALSE(bytes.empty()) << out;
      w4pclxl::Stream stream;
      std::string error;
      ASSERT_TRUE(w4pclxl::DecodeStream(bytes.data(), bytes.size(), stream, error)) << out << ": " << error;
      std::set<std::uint8_t> seen;
      for (const auto& op : stream.operators) seen.insert(op.tag);
      for (std::uint8_t needed : {0x41, 0x43, 0x44, 0x42}) {
        EXPECT_TRUE(seen.count(needed)) << out << " lacks " << w4pclxl::OperatorName(needed);
      }
      if (index == 1) {
        EXPECT_TRUE(seen.count(0xA8)) << out << " has no Text";
      }
      if (index == 3) {
        EXPECT_TRUE(seen.count(0xB1)) << out << " has no ReadImage";
      }
      EXPECT_FALSE(w4pclxl::Disassemble(stream).empty());
    }
  }
  fs::remove_all(dir);
}

}  // namespace
