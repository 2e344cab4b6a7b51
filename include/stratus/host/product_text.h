// The text a product getter of WReader gives, as the lines of the page that
// a host shows.
#ifndef STRATUS_HOST_PRODUCT_TEXT_H_
#define STRATUS_HOST_PRODUCT_TEXT_H_

#include <string>

#include "stratus/export.h"
#include "stratus/foundation/string.h"

// The getters end every line with "\r\n" and put one blank before every
// line but the first (the joint between collected lines). This gives the
// lines back as the page had them: each ends with "\n" (the last one too,
// when there is text), no joint blank, no carriage return. Other bytes,
// valid UTF-8 or not, pass unchanged. Takes time linear in the text.
STRATUS_EXPORT std::string productLines(const LString& text);

#endif  // STRATUS_HOST_PRODUCT_TEXT_H_
