// The one text for an errno value, in both programs' messages.
#pragma once

#include <string>

#include "files/failure.h"

namespace orvalin {

// The system's words for an errno value ("No space left on device"), in the bytes of the
// current locale.
std::string errorText(int errnoValue);

// A failure of the system's: `kind`, the errno value and its words.
Failure systemFailure(FailureKind kind, int errnoValue);

}  // namespace orvalin
