// A strict reader of PCL XL streams, used to check what the emitter writes,
// to read streams from other producers in interop tests, and by the dump
// command of the w4util tool.
//
// The reader decodes the binding-format header line (after any UEL and PJL
// lines) and then the binary body into operators, each with its typed
// attributes and the embedded data blocks that follow it. Anything malformed
// (an unknown tag, a value without its attribute identifier, a count or a
// length past the end of the input) stops decoding with an error that names
// the byte offset; the reader never reads outside the bytes it is given.
// Everything it returns is a copy; the input may be released afterwards.
// Stateless functions; safe to call from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace w4pclxl {

// Element type of a data item, in tag order (C0 ubyte ... C5 real32).
enum class DataType : std::uint8_t { kUByte, kUInt16, kUInt32, kSInt16, kSInt32, kReal32 };

enum class Shape : std::uint8_t { kScalar, kXy, kBox, kArray };

struct Value {
  DataType type = DataType::kUByte;
  Shape shape = Shape::kScalar;
  // One number for a scalar, two for xy, four for a box (left, top, right,
  // bottom), the elements of an array. Every PCL XL number fits a double.
  std::vector<double> numbers;

  double at(std::size_t i) const { return i < numbers.size() ? numbers[i] : 0.0; }
  // The number truncated, clamped to the int64 range; 0 for NaN.
  std::int64_t integer(std::size_t i = 0) const;
  // The elements of a ubyte array as bytes (strings are written that way).
  std::string text() const;
};

struct Attribute {
  std::uint16_t id = 0;
  Value value;
};

struct Operator {
  std::uint8_t tag = 0;
  std::size_t offset = 0;  // of the operator byte in the input
  std::vector<Attribute> attributes;
  std::vector<std::vector<std::uint8_t>> data;  // embedded data blocks after it

  const Value* find(std::uint16_t id) const;
  bool has(std::uint16_t id) const { return find(id) != nullptr; }
  // The embedded data blocks joined.
  std::vector<std::uint8_t> joinedData() const;
};

struct Stream {
  char binding = ')';        // ')' little-endian, '(' big-endian
  std::string headerLine;    // without the line end
  std::vector<std::string> pjl;  // PJL lines before the header
  std::vector<Operator> operators;
  bool endedWithUel = false;
};

// Decodes a whole job: optional UEL/PJL lines, the header line, the body.
// Returns false and sets error (with the offset) when anything is malformed.
bool DecodeStream(const std::uint8_t* bytes, std::size_t size, Stream& out, std::string& error);

// Decodes a body without header (little-endian binding unless told).
bool DecodeBody(const std::uint8_t* bytes, std::size_t size, std::vector<Operator>& out,
                std::string& error, char binding = ')');

// Names from the PCL XL feature reference; "Op_xx"/"Attr_xx" when unknown.
std::string OperatorName(std::uint8_t tag);
std::string AttributeName(std::uint16_t id);
// Known operator bytes: anything else in operator position is rejected.
bool IsKnownOperator(std::uint8_t tag);

// One line per operator: offset, name, attributes, data sizes.
std::string Disassemble(const Stream& stream);
std::string Disassemble(const std::vector<Operator>& ops);

// One scan line of ScanLineRel data.
struct ScanLine {
  std::uint16_t x = 0;
  std::uint16_t y = 0;
  std::uint8_t pairType = 0;  // 0 ubyte, 2 uint16
  std::vector<std::uint32_t> values;  // gap, run, gap, run...
};

// Splits the joined data of one ScanLineRel operator: a lead byte, then
// `lines` scan-line records. False when the data does not hold exactly that.
bool DecodeScanLines(const std::vector<std::uint8_t>& data, std::uint32_t lines,
                     std::vector<ScanLine>& out, std::string& error);

}  // namespace w4pclxl
