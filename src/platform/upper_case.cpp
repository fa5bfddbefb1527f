#include "platform/upper_case.h"

#include <locale.h>
#include <wctype.h>

#include "platform/text_encoding.h"

namespace morvik {

namespace {

// A UTF-8 character-type locale of our own: the case mapping must not depend
// on the operator's locale, which may be plain "C".
locale_t CaseLocale() {
    static const locale_t locale = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        if (l == static_cast<locale_t>(nullptr)) {
            l = newlocale(LC_CTYPE_MASK, "en_US.UTF-8", static_cast<locale_t>(nullptr));
        }
        return l;
    }();
    return locale;
}

}  // namespace

std::string UpperCaseUtf8(const std::string& text) {
    const locale_t locale = CaseLocale();
    std::u16string wide = FromUtf8(text);
    for (size_t i = 0; i < wide.size(); ++i) {
        const char16_t u = wide[i];
        if (u >= 0xD800 && u <= 0xDFFF) continue;  // outside the BMP: kept as it is
        wint_t upper = u;
        if (u < 0x80) {
            if (u >= u'a' && u <= u'z') upper = u - 0x20;
        } else if (locale != static_cast<locale_t>(nullptr)) {
            upper = towupper_l(u, locale);
        }
        if (upper <= 0xFFFF && !(upper >= 0xD800 && upper <= 0xDFFF)) {
            wide[i] = static_cast<char16_t>(upper);
        }
    }
    return ToUtf8(wide);
}

}  // namespace morvik
