// Showing a job's parameter list on the terminal (job commands and demo).
#pragma once

#include <ostream>
#include <string>

#include "w4util/foundation/CXString.h"
#include "w4util/jobs/ClientJobDataReaderWriter.h"

namespace w4cli {

// The stored text with everything outside printable ASCII as \uXXXX.
std::string EscapedParameterText(const CXString& text);
// One line per entry ("string 7 = Hello"), then the stored text.
void PrintParameters(const ClientJobDataReaderWriter& data, std::ostream& out);

}  // namespace w4cli
