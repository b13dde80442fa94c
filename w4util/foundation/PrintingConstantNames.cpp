#include "w4util/foundation/PrintingConstantNames.h"

#include <iterator>

namespace ZelvoUtilities {
namespace {

struct Name {
  std::uint32_t value;
  const char16_t* name;
};

// Values as the host's printing headers publish them.
constexpr Name kCapabilities[] = {
    {1, u"DC_FIELDS"},           {2, u"DC_PAPERS"},          {3, u"DC_PAPERSIZE"},
    {4, u"DC_MINEXTENT"},        {5, u"DC_MAXEXTENT"},       {6, u"DC_BINS"},
    {7, u"DC_DUPLEX"},           {8, u"DC_SIZE"},            {9, u"DC_EXTRA"},
    {10, u"DC_VERSION"},         {11, u"DC_DRIVER"},         {12, u"DC_BINNAMES"},
    {13, u"DC_ENUMRESOLUTIONS"}, {14, u"DC_FILEDEPENDENCIES"}, {15, u"DC_TRUETYPE"},
    {16, u"DC_PAPERNAMES"},      {17, u"DC_ORIENTATION"},    {18, u"DC_COPIES"},
    {19, u"DC_BINADJUST"},       {20, u"DC_EMF_COMPLIANT"},  {21, u"DC_DATATYPE_PRODUCED"},
    {22, u"DC_COLLATE"},         {23, u"DC_MANUFACTURER"},   {24, u"DC_MODEL"},
    {25, u"DC_PERSONALITY"},     {26, u"DC_PRINTRATE"},      {27, u"DC_PRINTRATEUNIT"},
    {28, u"DC_PRINTERMEM"},      {29, u"DC_MEDIAREADY"},     {30, u"DC_STAPLE"},
    {31, u"DC_PRINTRATEPPM"},    {32, u"DC_COLORDEVICE"},    {33, u"DC_NUP"},
    {34, u"DC_MEDIATYPENAMES"},  {35, u"DC_MEDIATYPES"},
};

constexpr Name kDocumentEvents[] = {
    {1, u"DOCUMENTEVENT_CREATEDCPRE"}, {2, u"DOCUMENTEVENT_CREATEDCPOST"},
    {3, u"DOCUMENTEVENT_RESETDCPRE"},  {4, u"DOCUMENTEVENT_RESETDCPOST"},
    {5, u"DOCUMENTEVENT_STARTDOC"},    {6, u"DOCUMENTEVENT_STARTPAGE"},
    {7, u"DOCUMENTEVENT_ENDPAGE"},     {8, u"DOCUMENTEVENT_ENDDOC"},
    {9, u"DOCUMENTEVENT_ABORTDOC"},    {10, u"DOCUMENTEVENT_DELETEDC"},
    {11, u"DOCUMENTEVENT_ESCAPE"},     {12, u"DOCUMENTEVENT_ENDDOCPOST"},
    {13, u"DOCUMENTEVENT_STARTDOCPOST"}, {14, u"DOCUMENTEVENT_QUERYFILTER"},
};

constexpr Name kXpsDocumentEvents[] = {
    {15, u"DOCUMENTEVENT_XPS_ADDFIXEDDOCUMENTSEQUENCEPRE"},
    {16, u"DOCUMENTEVENT_XPS_ADDFIXEDDOCUMENTPRE"},
    {17, u"DOCUMENTEVENT_XPS_ADDFIXEDPAGEEPRE"},
    {18, u"DOCUMENTEVENT_XPS_ADDFIXEDPAGEPOST"},
    {19, u"DOCUMENTEVENT_XPS_ADDFIXEDDOCUMENTPOST"},
    {20, u"DOCUMENTEVENT_XPS_CANCELJOB"},
    {21, u"DOCUMENTEVENT_XPS_ADDFIXEDDOCUMENTSEQUENCEPRINTTICKETPRE"},
    {22, u"DOCUMENTEVENT_XPS_ADDFIXEDDOCUMENTPRINTTICKETPRE"},
    {23, u"DOCUMENTEVENT_XPS_ADDFIXEDPAGEPRINTTICKETPRE"},
    {24, u"DOCUMENTEVENT_XPS_ADDFIXEDPAGEPRINTTICKETPOST"},
    {25, u"DOCUMENTEVENT_XPS_ADDFIXEDDOCUMENTPRINTTICKETPOST"},
    {26, u"DOCUMENTEVENT_XPS_ADDFIXEDDOCUMENTSEQUENCEPRINTTICKETPOST"},
    {27, u"DOCUMENTEVENT_XPS_ADDFIXEDDOCUMENTSEQUENCEPOST"},
};

constexpr Name kDmFields[] = {
    {0x00000001, u"DM_ORIENTATION"},     {0x00000002, u"DM_PAPERSIZE"},
    {0x00000004, u"DM_PAPERLENGTH"},     {0x00000008, u"DM_PAPERWIDTH"},
    {0x00000010, u"DM_SCALE"},           {0x00000020, u"DM_POSITION"},
    {0x00000040, u"DM_NUP"},             {0x00000080, u"DM_DISPLAYORIENTATION"},
    {0x00000100, u"DM_COPIES"},          {0x00000200, u"DM_DEFAULTSOURCE"},
    {0x00000400, u"DM_PRINTQUALITY"},    {0x00000800, u"DM_COLOR"},
    {0x00001000, u"DM_DUPLEX"},          {0x00002000, u"DM_YRESOLUTION"},
    {0x00004000, u"DM_TTOPTION"},        {0x00008000, u"DM_COLLATE"},
    {0x00010000, u"DM_FORMNAME"},        {0x00020000, u"DM_LOGPIXELS"},
    {0x00040000, u"DM_BITSPERPEL"},      {0x00080000, u"DM_PELSWIDTH"},
    {0x00100000, u"DM_PELSHEIGHT"},      {0x00200000, u"DM_DISPLAYFLAGS"},
    {0x00400000, u"DM_DISPLAYFREQUENCY"}, {0x00800000, u"DM_ICMMETHOD"},
    {0x01000000, u"DM_ICMINTENT"},       {0x02000000, u"DM_MEDIATYPE"},
    {0x04000000, u"DM_DITHERTYPE"},      {0x08000000, u"DM_PANNINGWIDTH"},
    {0x10000000, u"DM_PANNINGHEIGHT"},   {0x20000000, u"DM_DISPLAYFIXEDOUTPUT"},
};

template <std::size_t N>
const char16_t* Find(const Name (&table)[N], std::uint32_t value) {
  for (const Name& entry : table) {
    if (entry.value == value) return entry.name;
  }
  return nullptr;
}

}  // namespace

CXString DeviceCapabilitiesString(std::uint32_t capability) {
  if (const char16_t* name = Find(kCapabilities, capability)) return CXString(name);
  return formatString(u"Unknown DeviceCapabilities index %lu", capability);
}

CXString DocumentEventString(std::int32_t event) {
  if (const char16_t* name = Find(kDocumentEvents, static_cast<std::uint32_t>(event))) return CXString(name);
  return formatString(u"Unknown DocumentEvent %ld", event);
}

CXString XpsDocumentEventString(std::int32_t event) {
  if (const char16_t* name = Find(kXpsDocumentEvents, static_cast<std::uint32_t>(event))) return CXString(name);
  return formatString(u"Unknown XPS DocumentEvent %ld", event);
}

CXString DevmodeDmFieldString(std::uint32_t dmFields) {
  CXString text;
  std::uint32_t unnamed = dmFields;
  for (const Name& entry : kDmFields) {
    if ((dmFields & entry.value) == 0) continue;
    if (!text.IsEmpty()) text += u" | ";
    text += entry.name;
    unnamed &= ~entry.value;
  }
  if (unnamed != 0) {
    if (!text.IsEmpty()) text += u" | ";
    text += formatString(u"0x%08lX", unnamed);
  }
  return text;
}

CXString DevmodeModeString(std::uint32_t) { return CXString(); }

}  // namespace ZelvoUtilities
