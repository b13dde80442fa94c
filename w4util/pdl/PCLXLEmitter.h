// PCLXLEmitter: writes PCL XL (the binary, little-endian binding) into a
// ByteBuffer, one operator with its attribute list per call.
//
// The emitter keeps a copy of the printer's current graphics state so that a
// setting already in force is not written again; callers reset that copy
// with xl_initcgs whenever the printer's state may have changed without the
// emitter (after PopGS, on a new page, after output from other code). It also
// brings 32-bit device coordinates into the 16-bit range of the language by
// moving and scaling the page coordinate system around one drawing operation,
// and encodes point lists, scan lines and raster rows compactly. The stream
// header line is the caller's.
//
// Every method returns bool: true when its bytes were appended (or nothing
// had to be written). A call whose arguments the language cannot carry (a
// count or string longer than 65535, a palette too large, a point that fits
// no point type, a negative size) returns false and appends nothing.
// xl_SetFont alone also answers false when the font is already in force.
// Memory exhaustion surfaces as the ByteBuffer's exception.
//
// An emitter is a value (copying copies the cached state); one instance is
// used by one thread at a time.
#pragma once

#include <cstdint>
#include <vector>

#include "w4util/Export.h"
#include "w4util/foundation/ByteBuffer.h"
#include "w4util/foundation/CXString.h"

class W4UTIL_EXPORT PCLXLEmitter {
 public:
  // A 32-bit device point and a 16-bit page point.
  struct POINT {
    std::int32_t x;
    std::int32_t y;
  };
  struct POINTS {
    std::int16_t x;
    std::int16_t y;
  };
  // An affine transform: x' = eM11 x + eM21 y + eDx, y' = eM12 x + eM22 y + eDy.
  struct XFORM {
    float eM11, eM12, eM21, eM22, eDx, eDy;
  };
  // Red in the low byte, green in the middle, blue in the high byte.
  using COLORREF = std::uint32_t;

  enum E_PAPER_DIRECTION : std::int32_t {
    ePaperDirectionNone = 0,
    ePaperDirection0 = 1,
    ePaperDirection180 = 2,
    ePaperDirection90 = 3,
    ePaperDirection270 = 4,
  };

  // The temporary coordinate system around one drawing operation.
  struct CONVERSION_CTM {
    std::int32_t lXOffset = 0;
    std::int32_t lYOffset = 0;
    std::int16_t sRotation = 0;
    float fXScale = 1.0f;
    float fYScale = 1.0f;
  };

  // PCL XL point types of embedded point lists.
  enum : std::uint8_t { eUByte = 0, eSByte = 1, eUInt16 = 2, eSInt16 = 3 };

  // Largest count an array, a string or a point list can carry.
  static constexpr std::uint32_t kMaxCount = 65535;

  PCLXLEmitter();
  PCLXLEmitter(const PCLXLEmitter&) = default;
  PCLXLEmitter& operator=(const PCLXLEmitter&) = default;
  ~PCLXLEmitter() = default;

  // Marks every cached setting unknown (the font state included).
  void xl_initcgs();
  // Resets the font state and sets it dirty.
  void xl_initfontcgs();

  // ---- primitives ----
  bool xl_attribute(std::uint16_t id, ByteBuffer& buf);
  bool xl_tag(std::uint8_t tag, ByteBuffer& buf);
  bool xlputubyte(std::uint8_t value, ByteBuffer& buf);
  bool xlputsint16(std::int16_t value, ByteBuffer& buf);
  bool xlputsint32(std::int32_t value, ByteBuffer& buf);
  bool xlputreal32(float value, ByteBuffer& buf);
  bool xlputbulkdata(std::uint32_t length, const std::uint8_t* bytes, ByteBuffer& buf);
  // The text in the ANSI code page, no terminator. False (nothing written)
  // when it converts to more than kMaxCount bytes.
  bool xlputstring(const CXString& text, ByteBuffer& buf);

  bool xl_data_ubyte(std::uint8_t v, ByteBuffer& buf);
  bool xl_data_uint16(std::uint16_t v, ByteBuffer& buf);
  bool xl_data_uint32(std::uint32_t v, ByteBuffer& buf);
  bool xl_data_sint16(std::int16_t v, ByteBuffer& buf);
  bool xl_data_sint32(std::int32_t v, ByteBuffer& buf);
  bool xl_data_real32(float v, ByteBuffer& buf);

  bool xl_data_ubyte_xy(std::uint8_t x, std::uint8_t y, ByteBuffer& buf);
  bool xl_data_uint16_xy(std::uint16_t x, std::uint16_t y, ByteBuffer& buf);
  bool xl_data_uint32_xy(std::uint32_t x, std::uint32_t y, ByteBuffer& buf);
  bool xl_data_sint16_xy(std::int16_t x, std::int16_t y, ByteBuffer& buf);
  bool xl_data_sint32_xy(std::int32_t x, std::int32_t y, ByteBuffer& buf);
  bool xl_data_real32_xy(float x, float y, ByteBuffer& buf);

  bool xl_data_ubyte_box(std::uint8_t l, std::uint8_t t, std::uint8_t r, std::uint8_t b, ByteBuffer& buf);
  bool xl_data_uint16_box(std::uint16_t l, std::uint16_t t, std::uint16_t r, std::uint16_t b, ByteBuffer& buf);
  bool xl_data_uint32_box(std::uint32_t l, std::uint32_t t, std::uint32_t r, std::uint32_t b, ByteBuffer& buf);
  bool xl_data_sint16_box(std::int16_t l, std::int16_t t, std::int16_t r, std::int16_t b, ByteBuffer& buf);
  bool xl_data_sint32_box(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b, ByteBuffer& buf);
  bool xl_data_real32_box(float l, float t, float r, float b, ByteBuffer& buf);

  // Array headers and arrays; counts above kMaxCount answer false.
  bool xl_data_ubyte_array_hdr(std::uint32_t count, ByteBuffer& buf);
  bool xl_data_uint16_array_hdr(std::uint32_t count, ByteBuffer& buf);
  bool xl_data_uint32_array_hdr(std::uint32_t count, ByteBuffer& buf);
  bool xl_data_sint16_array_hdr(std::uint32_t count, ByteBuffer& buf);
  bool xl_data_sint32_array_hdr(std::uint32_t count, ByteBuffer& buf);
  bool xl_data_real32_array_hdr(std::uint32_t count, ByteBuffer& buf);

  bool xl_data_ubyte_array(std::uint32_t count, const std::uint8_t* values, ByteBuffer& buf);
  bool xl_data_uint16_array(std::uint32_t count, const std::int16_t* values, ByteBuffer& buf);
  bool xl_data_uint32_array(std::uint32_t count, const std::int32_t* values, ByteBuffer& buf);
  bool xl_data_sint16_array(std::uint32_t count, const std::int16_t* values, ByteBuffer& buf);
  bool xl_data_sint32_array(std::uint32_t count, const std::int32_t* values, ByteBuffer& buf);
  bool xl_data_real32_array(std::uint32_t count, const float* values, ByteBuffer& buf);

  bool xl_data_ubyte_array_data(std::uint32_t count, const std::uint8_t* values, ByteBuffer& buf);
  bool xl_data_sint16_array_data(std::uint32_t count, const std::int16_t* values, ByteBuffer& buf);
  bool xl_data_sint32_array_data(std::uint32_t count, const std::int32_t* values, ByteBuffer& buf);
  bool xl_data_real32_array_data(std::uint32_t count, const float* values, ByteBuffer& buf);

  bool xl_data_u16or8_xy(std::uint16_t x, std::uint16_t y, ByteBuffer& buf);
  bool xl_data_u16or8_box(std::uint16_t l, std::uint16_t t, std::uint16_t r, std::uint16_t b, ByteBuffer& buf);
  bool xl_data_s16or8_xy(std::int16_t x, std::int16_t y, ByteBuffer& buf);
  bool xl_data_s16or8_box(std::int16_t l, std::int16_t t, std::int16_t r, std::int16_t b, ByteBuffer& buf);

  bool xl_embeddeddata_hdr(std::uint32_t length, ByteBuffer& buf);
  bool xl_embeddeddata(std::uint32_t length, const std::uint8_t* bytes, ByteBuffer& buf);

  // Stream names: a ubyte array whose count is always a uint16 value.
  bool xl_data_stream_array_hdr(std::uint32_t count, ByteBuffer& buf);
  bool xl_data_stream_array(std::uint32_t count, const std::uint8_t* bytes, ByteBuffer& buf);

  // ---- session, page, data source ----
  bool xl_beginsession(std::uint16_t unitsX, std::uint16_t unitsY, std::uint8_t measure,
                       std::uint8_t errorReport, ByteBuffer& buf);
  bool xl_endsession(ByteBuffer& buf);
  // Negative enumerations are left out; duplexSide is written only when
  // duplex is requested and it is not negative.
  bool xl_beginpage(std::int32_t orientation, std::int32_t mediaSource, std::int32_t mediaSize,
                    const CXString& mediaType, std::int32_t mediaDestination, bool duplex,
                    std::int32_t duplexMode, std::int32_t duplexSide, ByteBuffer& buf);
  bool xl_beginpage(std::int32_t orientation, std::int32_t mediaSource, const CXString& mediaSizeName,
                    const CXString& mediaType, std::int32_t mediaDestination, bool duplex,
                    std::int32_t duplexMode, std::int32_t duplexSide, ByteBuffer& buf);
  bool xl_beginpage(std::int32_t orientation, std::int32_t mediaSource, float customWidth,
                    float customHeight, std::uint8_t customUnits, const CXString& mediaType,
                    std::int32_t mediaDestination, bool duplex, std::int32_t duplexMode,
                    std::int32_t duplexSide, ByteBuffer& buf);
  bool xl_endpage(std::uint16_t copies, ByteBuffer& buf);
  bool xl_comment(const CXString& text, ByteBuffer& buf);
  bool xl_opendatasource(std::uint8_t sourceType, std::uint8_t dataOrg, ByteBuffer& buf);
  bool xl_closedatasource(ByteBuffer& buf);

  // ---- fonts ----
  bool xl_BeginFontHeader(const CXString& name, ByteBuffer& buf);
  bool xl_ReadFontHeader(std::uint16_t length, const std::uint8_t* bytes, ByteBuffer& buf);
  bool xl_EndFontHeader(ByteBuffer& buf);
  bool xl_BeginChar(const CXString& name, ByteBuffer& buf);
  bool xl_ReadChar(std::uint16_t code, std::uint32_t size, const std::uint8_t* bytes, ByteBuffer& buf);
  bool xl_EndChar(ByteBuffer& buf);
  bool xl_RemoveFont(const CXString& name, ByteBuffer& buf);
  bool xl_SetCharAttributes(std::uint8_t writingMode, ByteBuffer& buf);
  bool xl_SetCharAngle(std::int16_t angle, ByteBuffer& buf);
  bool xl_SetCharScale(float x, float y, ByteBuffer& buf);
  bool xl_SetCharShear(float x, float y, ByteBuffer& buf);
  bool xl_SetCharBoldValue(float value, ByteBuffer& buf);
  bool xl_SetCharSubMode(std::uint32_t count, const std::uint8_t* modes, ByteBuffer& buf);
  // False also when the font is already in force (nothing written then).
  bool xl_SetFont(const CXString& name, float size, std::uint16_t symbolSet, ByteBuffer& buf);
  // Character codes, with optional spacing arrays of the same count.
  bool xl_Text(std::uint32_t count, const std::uint16_t* codes, const std::int16_t* xSpacing,
               const std::int16_t* ySpacing, ByteBuffer& buf);
  bool xl_Text(const CXString& text, const std::int16_t* xSpacing, const std::int16_t* ySpacing,
               ByteBuffer& buf);
  bool xl_TextPath(std::uint32_t count, const std::uint16_t* codes, const std::int16_t* xSpacing,
                   const std::int16_t* ySpacing, ByteBuffer& buf);
  bool xl_TextPath(const CXString& text, const std::int16_t* xSpacing,
                   const std::int16_t* ySpacing, ByteBuffer& buf);

  // ---- streams ----
  bool xl_beginstream(const CXString& name, ByteBuffer& buf);
  bool xl_readstream(std::uint32_t length, ByteBuffer& buf);
  bool xl_endstream(ByteBuffer& buf);
  bool xl_execstream(const CXString& name, ByteBuffer& buf);
  bool xl_removestream(const CXString& name, ByteBuffer& buf);

  // ---- graphics state ----
  bool xl_popgs(ByteBuffer& buf);
  bool xl_pushgs(ByteBuffer& buf);
  bool xl_setclipreplace(std::uint8_t region, ByteBuffer& buf);
  bool xl_setclipintersect(std::uint8_t region, ByteBuffer& buf);
  bool xl_setcliprectangle(std::uint8_t region, const POINTS& p1, const POINTS& p2, ByteBuffer& buf);
  bool xl_setcliptopage(ByteBuffer& buf);
  bool xl_setclipmode(std::uint8_t mode, ByteBuffer& buf);
  bool xl_setpathtoclip(ByteBuffer& buf);
  bool xl_setcolortreatment(std::uint8_t value, ByteBuffer& buf);
  bool xl_setcolortrapping(std::uint8_t value, ByteBuffer& buf);

  bool xl_setbrushsource_null(ByteBuffer& buf);
  bool xl_setbrushsource_gray(std::uint8_t level, ByteBuffer& buf);
  bool xl_setbrushsource_rgb(COLORREF color, ByteBuffer& buf);
  bool xl_setbrushsource_pattern(std::int16_t id, std::int16_t originX, std::int16_t originY,
                                 std::uint16_t width, std::uint16_t height, ByteBuffer& buf);
  bool xl_setpensource_null(ByteBuffer& buf);
  bool xl_setpensource_gray(std::uint8_t level, ByteBuffer& buf);
  bool xl_setpensource_rgb(COLORREF color, ByteBuffer& buf);
  bool xl_setpensource_pattern(std::int16_t id, std::int16_t originX, std::int16_t originY,
                               std::uint16_t width, std::uint16_t height, ByteBuffer& buf);

  bool xl_setcolorspace_simple(std::uint8_t space, ByteBuffer& buf);
  // The palette is padded with zeros to 6, 48 or 768 bytes for the
  // three-component spaces (RGB 2, sRGB 6), to 2, 16 or 256 otherwise;
  // a larger palette answers false.
  bool xl_setcolorspace_palette(std::uint8_t space, std::uint8_t depth, std::uint32_t length,
                                const std::uint8_t* palette, ByteBuffer& buf);

  bool xl_setcursor(const POINT& point, ByteBuffer& buf);
  bool xl_setcursorrel(const POINTS& point, ByteBuffer& buf);

  bool xl_sethalftonemethod(std::uint8_t value, std::uint16_t attributeId, ByteBuffer& buf);
  bool xl_sethalftonemethod(std::uint16_t x, std::uint16_t y, std::uint16_t attributeId, ByteBuffer& buf);
  bool xl_sethalftonemethod_text_vector_raster(std::uint8_t t, std::uint8_t v, std::uint8_t r, ByteBuffer& buf);
  bool xl_setneutralaxis(std::uint8_t value, std::uint16_t attributeId, ByteBuffer& buf);
  bool xl_setneutralaxis_text_vector_raster(std::uint8_t t, std::uint8_t v, std::uint8_t r, ByteBuffer& buf);
  bool xl_setadaptivehalftoning(std::uint8_t value, std::uint16_t attributeId, ByteBuffer& buf);
  bool xl_setadaptivehalftoning_text_vector_raster(std::uint8_t t, std::uint8_t v, std::uint8_t r,
                                                   ByteBuffer& buf);

  bool xl_setfillmode(std::uint8_t mode, ByteBuffer& buf);
  bool xl_setlinedash(ByteBuffer& buf);
  // An empty pattern means solid.
  bool xl_setlinedash(const std::vector<std::uint16_t>& pattern, std::uint16_t offset, ByteBuffer& buf);
  bool xl_setlinecap(std::uint8_t cap, ByteBuffer& buf);
  bool xl_setlinejoin(std::uint8_t join, ByteBuffer& buf);
  bool xl_setmiterlimit(std::uint16_t limit, ByteBuffer& buf);
  bool xl_setpenwidth(std::uint16_t width, ByteBuffer& buf);
  bool xl_setrop(std::uint8_t rop, ByteBuffer& buf);
  bool xl_setpainttxmode(std::uint8_t mode, ByteBuffer& buf);
  bool xl_setsourcetxmode(std::uint8_t mode, ByteBuffer& buf);

  // ---- page coordinate system ----
  bool xl_setpagedefaultctm(ByteBuffer& buf);
  bool xl_setpageorigin(std::int16_t x, std::int16_t y, ByteBuffer& buf);
  // As many SetPageOrigin steps as needed, each within the sint16 range.
  bool xl_setpageorigin(std::int32_t x, std::int32_t y, ByteBuffer& buf);
  bool xl_setpagerotation(std::int32_t angle, ByteBuffer& buf);
  bool xl_setpagescale(float x, float y, ByteBuffer& buf);
  bool xl_setcoordinate(E_PAPER_DIRECTION direction, const XFORM& xform, ByteBuffer& buf);

  // ---- paths and drawing ----
  bool xl_newpath(ByteBuffer& buf);
  bool xl_closesubpath(ByteBuffer& buf);
  bool xl_paintpath(ByteBuffer& buf);
  bool xl_arcpath(const POINTS& p1, const POINTS& p2, const POINTS& start, const POINTS& end,
                  std::uint8_t direction, ByteBuffer& buf);
  bool xl_bezierpath(const POINTS& c1, const POINTS& c2, const POINTS& end, ByteBuffer& buf);
  // Point lists: absolute points; the current point is where the path is
  // when the list starts (the reference of the first delta). Written as
  // one or more BezierPath/BezierRelPath (LinePath/LineRelPath) operators.
  bool xl_bezierpath(const POINT& current, std::uint32_t count, const POINT* points, ByteBuffer& buf);
  bool xl_linepath(const POINTS& end, ByteBuffer& buf);
  bool xl_linepath(const POINT& current, std::uint32_t count, const POINT* points, ByteBuffer& buf);
  bool xl_chord(const POINTS& p1, const POINTS& p2, const POINTS& start, const POINTS& end, ByteBuffer& buf);
  bool xl_chordpath(const POINTS& p1, const POINTS& p2, const POINTS& start, const POINTS& end,
                    ByteBuffer& buf);
  bool xl_ellipse(const POINTS& p1, const POINTS& p2, ByteBuffer& buf);
  bool xl_ellipsepath(const POINTS& p1, const POINTS& p2, ByteBuffer& buf);
  // These take device points through the coordinate-range conversion.
  bool xl_pie(const POINT& p1, const POINT& p2, const POINT& start, const POINT& end, ByteBuffer& buf);
  bool xl_rectangle(const POINT& p1, const POINT& p2, ByteBuffer& buf);
  bool xl_rectanglepath(const POINT& p1, const POINT& p2, ByteBuffer& buf);
  bool xl_roundrectangle(const POINT& p1, const POINT& p2, std::uint16_t ellipseX,
                         std::uint16_t ellipseY, ByteBuffer& buf);
  bool xl_roundrectanglepath(const POINT& p1, const POINT& p2, std::uint16_t ellipseX,
                             std::uint16_t ellipseY, ByteBuffer& buf);

  // ---- images and patterns ----
  bool xl_beginimage(std::uint8_t colorMapping, std::uint8_t colorDepth, std::uint16_t sourceWidth,
                     std::uint16_t sourceHeight, std::uint16_t destWidth, std::uint16_t destHeight,
                     ByteBuffer& buf);
  bool xl_readimage_hdr(std::uint16_t startLine, std::uint16_t blockHeight, std::uint8_t compressMode,
                        std::uint8_t padBytes, std::uint32_t length, ByteBuffer& buf);
  bool xl_readimage(std::uint16_t startLine, std::uint16_t blockHeight, std::uint8_t compressMode,
                    std::uint8_t padBytes, std::uint32_t length, const std::uint8_t* bytes, ByteBuffer& buf);
  bool xl_endimage(ByteBuffer& buf);
  bool xl_beginrastpattern(std::uint8_t colorMapping, std::uint8_t colorDepth, std::uint16_t sourceWidth,
                           std::uint16_t sourceHeight, std::uint16_t destWidth, std::uint16_t destHeight,
                           std::int16_t patternId, std::uint8_t persistence, ByteBuffer& buf);
  bool xl_readrastpattern_hdr(std::uint16_t startLine, std::uint16_t blockHeight, std::uint8_t compressMode,
                              std::uint8_t padBytes, std::uint32_t length, ByteBuffer& buf);
  bool xl_readrastpattern_data(std::uint32_t length, const std::uint8_t* bytes, ByteBuffer& buf);
  bool xl_readrastpattern(std::uint16_t startLine, std::uint16_t blockHeight, std::uint8_t compressMode,
                          std::uint8_t padBytes, std::uint32_t length, const std::uint8_t* bytes,
                          ByteBuffer& buf);
  bool xl_endrastpattern(ByteBuffer& buf);
  // Colour space, pattern definition and data, then the brush (pen) source
  // selecting it; nothing is written when the same pattern is in force.
  // paletteLength 0 selects the simple colour space.
  bool xl_setpatternbrush(std::uint8_t colorSpace, std::uint8_t paletteDepth, std::uint32_t paletteLength,
                          const std::uint8_t* palette, std::uint8_t colorMapping, std::uint8_t colorDepth,
                          std::uint16_t width, std::uint16_t height, std::uint16_t destWidth,
                          std::uint16_t destHeight, std::int16_t patternId, std::uint8_t persistence,
                          std::uint32_t length, const std::uint8_t* bytes, ByteBuffer& buf);
  bool xl_setpatternpen(std::uint8_t colorSpace, std::uint8_t paletteDepth, std::uint32_t paletteLength,
                        const std::uint8_t* palette, std::uint8_t colorMapping, std::uint8_t colorDepth,
                        std::uint16_t width, std::uint16_t height, std::uint16_t destWidth,
                        std::uint16_t destHeight, std::int16_t patternId, std::uint8_t persistence,
                        std::uint32_t length, const std::uint8_t* bytes, ByteBuffer& buf);

  // ---- scan lines ----
  bool xl_beginscan(ByteBuffer& buf);
  bool xl_endscan(ByteBuffer& buf);
  bool xl_scanlinerel(std::uint16_t count, ByteBuffer& buf);
  // One scan line of (gap, run) pairs, 2 * pairCount values, starting at
  // point. The lead byte of the operator's data goes with the first line
  // after xl_scanlinerel only.
  bool xl_scanlinerel_data(const POINTS& point, std::uint32_t pairCount, const std::uint16_t* pairs,
                           ByteBuffer& buf);
  // As above from absolute (start, end) pairs in increasing order.
  bool xl_scanline_data(const POINTS& point, std::uint32_t pairCount, const std::uint16_t* pairs,
                        ByteBuffer& buf);

  // ---- coordinate helpers ----
  // Makes the points fit the sint16 range: the identity when they already
  // do, else centre and, when needed, scale. Points are changed in place.
  bool xl_check_range(std::uint32_t count, POINT* points, CONVERSION_CTM* ctm);
  bool xl_set_convctm(const CONVERSION_CTM* ctm, ByteBuffer& buf);
  bool xl_restore_convctm(const CONVERSION_CTM* ctm, ByteBuffer& buf);
  bool xl_convert_point(const CONVERSION_CTM* ctm, const POINT& in, POINT& out);
  bool xl_convert_point(const CONVERSION_CTM* ctm, const POINT& in, const POINT& previous, POINT& out);
  // Encodes the longest run of points (at most kMaxCount) that one point
  // type holds, absolute or relative to current; curve advances the delta
  // reference every third point. Returns the number of points taken (0 when
  // the first point fits no type) and sets the type, the form and the bytes.
  std::uint32_t xl_convert_points_range(const POINT& current, std::uint32_t count, const POINT* points,
                                        bool curve, std::uint8_t& pointType, bool& relative,
                                        ByteBuffer& bytes);
  static std::uint8_t xl_make_typemask(std::int32_t value);
  static bool xl_get_type(std::uint8_t mask, std::uint8_t& pointType, std::uint32_t& pointSize);
  // Clamps a device point into the sint16 range.
  static POINTS xl_point_to_bpoint(const POINT& point);
  static float fHypot(float a, float b);

  // ---- raster rows ----
  // PackBits run-length encoding; returns the encoded size, or the negated
  // input length when capacity is too small.
  static std::int32_t EncodeRunLengthRow(const std::uint8_t* row, std::int32_t length,
                                         std::uint8_t* out, std::int32_t capacity);
  // Delta row against seed (same length); returns the encoded size, or the
  // negated length when capacity is too small.
  static std::int32_t EncodeDeltaRow(const std::uint8_t* row, const std::uint8_t* seed,
                                     std::int32_t length, std::uint8_t* out, std::int32_t capacity);
  // Encodes height rows of width pixels (1 byte a pixel, 3 when color) and
  // appends them to out in order. With color and deltaRow both set, bits
  // holds rows of 3 * width bytes, written as delta rows (against the row
  // before, zeros at first), each after its uint16 byte count; otherwise
  // bits holds rows padded to 4 bytes, written as run-length rows. False
  // (nothing appended) for a negative size or a row the encoding cannot
  // frame.
  bool Compress(bool color, bool deltaRow, std::int32_t width, std::int32_t height,
                const std::uint8_t* bits, ByteBuffer& out);

 private:
  enum ClipState : std::uint8_t { kClipPage, kClipRectangle, kClipReplaced, kClipIntersected, kClipUnknown };
  enum SourceKind : std::uint8_t { kSourceNull, kSourceGray, kSourceRgb, kSourcePattern, kSourceUnknown };
  static constexpr std::int32_t kUnknown = -1;

  struct SourceState {
    SourceKind kind = kSourceUnknown;
    std::uint8_t gray = 0;
    COLORREF rgb = 0;
    std::int32_t colorSpace = kUnknown;
    std::int32_t paletteDepth = kUnknown;
    std::vector<std::uint8_t> palette;
    std::vector<std::uint8_t> pattern;
  };

  struct FontState {
    bool dirty = true;
    std::int16_t angle = 0;
    float scaleX = 1.0f, scaleY = 1.0f;
    float shearX = 0.0f, shearY = 0.0f;
    float bold = 0.0f;
    std::uint8_t subMode = 0;
    std::uint8_t attributes = 0;
    std::vector<std::uint8_t> name;
    float size = 0.0f;
    std::uint16_t symbolSet = 0;
  };

  bool CachedUByteOp(std::int32_t& cache, std::uint8_t value, std::uint8_t attr, std::uint8_t op,
                     ByteBuffer& buf);
  // Character scale and shear: an XY pair cached in cacheX/cacheY.
  bool CharPairOp(float& cacheX, float& cacheY, float x, float y, std::uint16_t attr, std::uint8_t op,
                  ByteBuffer& buf);
  bool SourceNull(SourceState& s, std::uint8_t attr, std::uint8_t op, ByteBuffer& buf);
  bool SourceGray(SourceState& s, std::uint8_t level, std::uint8_t op, ByteBuffer& buf);
  bool SourceRgb(SourceState& s, COLORREF color, std::uint8_t op, ByteBuffer& buf);
  bool SourcePattern(SourceState& s, std::int16_t id, std::int16_t ox, std::int16_t oy,
                     std::uint16_t w, std::uint16_t h, std::uint8_t op, ByteBuffer& buf);
  bool PatternSource(SourceState& s, bool pen, std::uint8_t colorSpace, std::uint8_t paletteDepth,
                     std::uint32_t paletteLength, const std::uint8_t* palette, std::uint8_t colorMapping,
                     std::uint8_t colorDepth, std::uint16_t width, std::uint16_t height,
                     std::uint16_t destWidth, std::uint16_t destHeight, std::int16_t patternId,
                     std::uint8_t persistence, std::uint32_t length, const std::uint8_t* bytes,
                     ByteBuffer& buf);
  bool TextOp(std::uint8_t op, std::uint32_t count, const std::uint16_t* codes,
              const std::uint8_t* narrow, const std::int16_t* xSpacing, const std::int16_t* ySpacing,
              ByteBuffer& buf);
  bool TextOp(std::uint8_t op, const CXString& text, const std::int16_t* xSpacing,
              const std::int16_t* ySpacing, ByteBuffer& buf);
  bool StreamNameOp(const CXString& name, std::uint8_t op, ByteBuffer& buf);
  bool BoxOp(const POINTS& p1, const POINTS& p2, const POINTS* start, const POINTS* end,
             std::uint8_t op, ByteBuffer& buf);
  bool ConvertedBoxOp(std::uint8_t op, const POINT& p1, const POINT& p2, const POINT* start,
                      const POINT* end, const std::uint16_t* ellipse, ByteBuffer& buf);
  bool PointListOp(const POINT& current, std::uint32_t count, const POINT* points, bool curve,
                   ByteBuffer& buf);
  bool ReadDataOp(std::uint8_t op, std::uint16_t startLine, std::uint16_t blockHeight,
                  std::uint8_t compressMode, std::uint8_t padBytes, std::uint32_t length,
                  const std::uint8_t* bytes, ByteBuffer& buf);
  bool BeginRasterOp(std::uint8_t op, std::uint8_t colorMapping, std::uint8_t colorDepth,
                     std::uint16_t sourceWidth, std::uint16_t sourceHeight, std::uint16_t destWidth,
                     std::uint16_t destHeight, const std::int16_t* patternId, std::uint8_t persistence,
                     ByteBuffer& buf);
  bool ObjectTypesOp(std::uint8_t op, std::uint8_t t, std::uint8_t v, std::uint8_t r, ByteBuffer& buf);
  bool PageCtmChanged();

  std::int32_t m_fillMode;
  std::int32_t m_miterLimit;
  std::int32_t m_lineCap;
  std::int32_t m_lineJoin;
  std::int32_t m_paintTxMode;
  std::int32_t m_sourceTxMode;
  std::int32_t m_rop;
  std::int32_t m_clipMode;
  std::int32_t m_penWidth;
  bool m_pageDefaultCtm;
  FontState m_font;
  ClipState m_clipState;
  std::int32_t m_clipRegion;
  POINTS m_clipP1;
  POINTS m_clipP2;
  std::int32_t m_colorSpace;
  std::int32_t m_paletteDepth;
  std::vector<std::uint8_t> m_palette;
  SourceState m_brush;
  SourceState m_pen;
  bool m_dashKnown;
  std::vector<std::uint16_t> m_dash;
  std::uint16_t m_dashOffset;
  // Set by xl_scanlinerel: the next scan line opens the operator's data.
  bool m_scanLeadPending;
};
