#pragma once
#include <cstdint>
#include <string>

#include "app/program.h"

namespace morvik {

// The number at the start of a field's text: leading white space skipped,
// an optional sign, digits with "." as the decimal point and an optional
// exponent; the rest is ignored. Held in single precision, then rounded to
// the nearest integer with halves to even, and clamped to the 64-bit range.
// A text without a leading decimal number gives 0 ("inf", "nan" and
// hexadecimal notation are not decimal numbers).
int64_t FieldNumber(const std::u16string& text);

// Fills the run parameters from the seven run fields, in their order.
void ReadRunParameters(Program& program);

}  // namespace morvik
