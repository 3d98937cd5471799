// The one text for an errno value, in both programs' messages.
#pragma once

#include <string>

namespace orvalin {

// The system's words for an errno value ("No space left on device"), in the bytes of the
// current locale.
std::string errorText(int errnoValue);

}  // namespace orvalin
