#include "ui/field_number.h"

#include <cmath>
#include <cstdlib>

#include "platform/window_system.h"
#include "ui/controls.h"

namespace morvik {

namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

bool IsSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

// The longest leading decimal number, as plain ASCII; empty when there is none.
std::string LeadingNumber(const std::u16string& text) {
    size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    std::string number;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) number += char(text[i++]);
    size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) number += char(text[i++]), ++digits;
    if (i < text.size() && text[i] == u'.') {
        number += '.';
        ++i;
        while (i < text.size() && IsDigit(text[i])) number += char(text[i++]), ++digits;
    }
    if (digits == 0) return {};
    // An exponent counts only when digits follow it.
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == u'+' || text[j] == u'-')) exponent += char(text[j++]);
        if (j < text.size() && IsDigit(text[j])) {
            while (j < text.size() && IsDigit(text[j])) exponent += char(text[j++]);
            number += exponent;
        }
    }
    return number;
}

}  // namespace

int64_t FieldNumber(const std::u16string& text) {
    const std::string number = LeadingNumber(text);
    if (number.empty()) return 0;
    // Only decimal digits reach strtof, so the locale's and the hexadecimal
    // forms cannot; LC_NUMERIC is "C" all the same.
    const float value = std::nearbyint(std::strtof(number.c_str(), nullptr));
    if (std::isnan(value)) return 0;
    if (value >= 9223372036854775808.0f) return INT64_MAX;
    if (value <= -9223372036854775808.0f) return INT64_MIN;
    return static_cast<int64_t>(value);
}

void ReadRunParameters(Program& program) {
    WindowSystem& w = *program.platform.window;
    RunValues& run = program.RunParameters;
    run.ToneHz = FieldNumber(w.FieldText(ToneField));
    run.UnitMs = FieldNumber(w.FieldText(UnitField));
    run.MessageText = w.FieldText(TextField);
    run.CarrierMs = FieldNumber(w.FieldText(CarrierField));
    run.CarrierPauseMs = FieldNumber(w.FieldText(CarrierPauseField));
    run.TransmissionPauseMs = FieldNumber(w.FieldText(TransmissionPauseField));
    run.TransmissionCount = FieldNumber(w.FieldText(CountField));
}

}  // namespace morvik
