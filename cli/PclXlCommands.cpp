// w4util pclxl testpage OUT.pxl: writes a complete PCL XL job with the
// library's emitter (text, vectors, a raster image, and a page drawn in a
// very fine coordinate system that needs the emitter's range conversion).
// w4util pclxl dump FILE: disassembles a PCL XL job with the strict reader.
#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/pclxl/PclXlReader.h"
#include "w4util/foundation/ByteBuffer.h"
#include "w4util/foundation/CXString.h"
#include "w4util/pdl/PCLXLEmitter.h"

namespace w4cli {
namespace {

// Enumerations of the PCL XL feature reference used by the test page.
constexpr std::uint8_t eInch = 0, eBackChAndErrPage = 3, eDefaultDataSource = 0, eBinaryLowByteFirst = 1;
constexpr std::uint8_t eGray = 1, eRGB = 2, eDirectPixel = 0, e8Bit = 2, eDeltaRowCompression = 3;
constexpr std::int32_t ePortrait = 0, eA4Paper = 2, eAutoSelect = 1;
constexpr std::uint8_t eRoundCap = 1, eRoundJoin = 1;
constexpr std::uint16_t kRoman8 = 277;
constexpr char kUel[] = "\x1b%-12345X";

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("the emitter refused ") + what);
}

ByteBuffer TestPage() {
  using POINT = PCLXLEmitter::POINT;
  PCLXLEmitter xl;
  ByteBuffer b;
  const std::string head = std::string(kUel) + "@PJL ENTER LANGUAGE = PCLXL\n" +
                           ") HP-PCL XL;2;0;Comment w4util test page\n";
  b.insert(b.end(), head.begin(), head.end());

  Check(xl.xl_beginsession(600, 600, eInch, eBackChAndErrPage, b), "BeginSession");
  Check(xl.xl_opendatasource(eDefaultDataSource, eBinaryLowByteFirst, b), "OpenDataSource");

  // Page 1: text, vectors and a delta-row compressed colour image.
  Check(xl.xl_beginpage(ePortrait, eAutoSelect, eA4Paper, CXString(), -1, false, 0, 0, b), "BeginPage");
  Check(xl.xl_comment(CXString(u"w4util PCL XL test page"), b), "Comment");
  Check(xl.xl_setcolorspace_simple(eRGB, b), "SetColorSpace");
  Check(xl.xl_setbrushsource_rgb(0x000000, b), "SetBrushSource");
  Check(xl.xl_setpensource_null(b), "SetPenSource");
  xl.xl_SetFont(CXString(u"Courier         "), 72.0f, kRoman8, b);
  Check(xl.xl_setcursor(POINT{300, 500}, b), "SetCursor");
  Check(xl.xl_Text(CXString(u"w4util PCL XL"), nullptr, nullptr, b), "Text");
  xl.xl_SetFont(CXString(u"Courier         "), 36.0f, kRoman8, b);
  Check(xl.xl_setcursor(POINT{300, 650}, b), "SetCursor");
  Check(xl.xl_Text(CXString(u"text, vectors, raster"), nullptr, nullptr, b), "Text");

  Check(xl.xl_setpenwidth(12, b), "SetPenWidth");
  Check(xl.xl_setlinecap(eRoundCap, b), "SetLineCap");
  Check(xl.xl_setlinejoin(eRoundJoin, b), "SetLineJoin");
  Check(xl.xl_setpensource_rgb(0xC00000, b), "SetPenSource");
  Check(xl.xl_setbrushsource_rgb(0x40C0FF, b), "SetBrushSource");
  Check(xl.xl_rectangle(POINT{300, 900}, POINT{2400, 1500}, b), "Rectangle");
  Check(xl.xl_setbrushsource_rgb(0x2020E0, b), "SetBrushSource");
  Check(xl.xl_ellipse({1600, 1000}, {2300, 1400}, b), "Ellipse");
  Check(xl.xl_setbrushsource_null(b), "SetBrushSource");
  Check(xl.xl_newpath(b), "NewPath");
  Check(xl.xl_setcursor(POINT{300, 1700}, b), "SetCursor");
  std::vector<POINT> zigzag;
  for (int i = 1; i <= 40; ++i) zigzag.push_back({300 + i * 50, (i % 2) ? 1900 : 1700});
  Check(xl.xl_linepath(POINT{300, 1700}, static_cast<std::uint32_t>(zigzag.size()), zigzag.data(), b),
        "LinePath");
  const POINT curve[6] = {{2300, 2000}, {300, 2200}, {2300, 2400}, {2300, 2600}, {300, 2400}, {300, 2700}};
  Check(xl.xl_bezierpath(zigzag.back(), 6, curve, b), "BezierPath");
  Check(xl.xl_paintpath(b), "PaintPath");

  // A 256 x 128 colour ramp, drawn 4 times its size.
  const std::int32_t w = 256, h = 128;
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(w) * 3 * h);
  for (std::int32_t y = 0; y < h; ++y) {
    for (std::int32_t x = 0; x < w; ++x) {
      std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * w + x) * 3];
      p[0] = static_cast<std::uint8_t>(x);
      p[1] = static_cast<std::uint8_t>(y * 2);
      p[2] = static_cast<std::uint8_t>((x / 32 + y / 32) % 2 ? 255 : 0);
    }
  }
  ByteBuffer rows;
  Check(xl.Compress(true, true, w, h, pixels.data(), rows), "Compress");
  Check(xl.xl_setcursor(POINT{300, 2900}, b), "SetCursor");
  Check(xl.xl_beginimage(eDirectPixel, e8Bit, w, h, w * 4, h * 4, b), "BeginImage");
  Check(xl.xl_readimage(0, h, eDeltaRowCompression, 0, static_cast<std::uint32_t>(rows.size()), rows.data(), b),
        "ReadImage");
  Check(xl.xl_endimage(b), "EndImage");
  Check(xl.xl_endpage(1, b), "EndPage");

  // Page 2: drawn in a 1,000,000 units-per-inch system, far beyond the
  // 16-bit coordinates of the language, through the range conversion.
  xl.xl_initcgs();
  Check(xl.xl_beginpage(ePortrait, eAutoSelect, eA4Paper, CXString(), -1, false, 0, 0, b), "BeginPage");
  Check(xl.xl_setpagescale(600.0f / 1000000.0f, 600.0f / 1000000.0f, b), "SetPageScale");
  Check(xl.xl_setcolorspace_simple(eGray, b), "SetColorSpace");
  Check(xl.xl_setpensource_null(b), "SetPenSource");
  for (int i = 0; i < 10; ++i) {
    const std::int32_t inset = 500000 + i * 300000;
    Check(xl.xl_setbrushsource_gray(static_cast<std::uint8_t>(i * 25), b), "SetBrushSource");
    Check(xl.xl_rectangle(POINT{inset, inset}, POINT{8000000 - inset, 11000000 - inset}, b), "Rectangle");
  }
  Check(xl.xl_setbrushsource_gray(0, b), "SetBrushSource");
  Check(xl.xl_pie(POINT{2000000, 4000000}, POINT{6000000, 8000000}, POINT{6000000, 6000000},
                  POINT{4000000, 4000000}, b),
        "Pie");
  Check(xl.xl_setpagedefaultctm(b), "SetPageDefaultCTM");
  Check(xl.xl_endpage(1, b), "EndPage");

  Check(xl.xl_closedatasource(b), "CloseDataSource");
  Check(xl.xl_endsession(b), "EndSession");
  b.insert(b.end(), kUel, kUel + sizeof(kUel) - 1);
  return b;
}

int WriteTestPage(const std::string& path) {
  const ByteBuffer job = TestPage();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(job.data()), static_cast<std::streamsize>(job.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path);
  std::cout << "wrote " << job.size() << " bytes to " << path << "\n";
  return kExitOk;
}

int Dump(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw UsageError{"cannot open " + path};
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  w4pclxl::Stream stream;
  std::string error;
  const bool ok = w4pclxl::DecodeStream(bytes.data(), bytes.size(), stream, error);
  std::cout << w4pclxl::Disassemble(stream);
  if (!ok) {
    std::cerr << "w4util: " << path << ": " << error << "\n";
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace

void AddPclXlCommands(CLI::App& app) {
  CLI::App* group = app.add_subcommand("pclxl", "PCL XL streams: write a test job, disassemble a job");
  group->require_subcommand(1);

  auto path = std::make_shared<std::string>();
  CLI::App* testpage = group->add_subcommand("testpage", "write a PCL XL test job");
  testpage->add_option("OUT", *path, "output file")->required();
  testpage->callback([path] { SetAction([path] { return WriteTestPage(*path); }); });

  auto input = std::make_shared<std::string>();
  CLI::App* dump = group->add_subcommand("dump", "disassemble a PCL XL job, one operator a line");
  dump->add_option("FILE", *input, "PCL XL file")->required();
  dump->callback([input] { SetAction([input] { return Dump(*input); }); });
}

}  // namespace w4cli
