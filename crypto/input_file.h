// Bounded reading of the files a user names on a command line (purchase files, password files,
// key files): only regular files, only up to a stated size, and never waiting on a FIFO or a
// device.
#pragma once

#include <cstddef>
#include <string>

#include "crypto/exception.h"
#include "crypto/secure.h"

namespace pelvane {

// A named input that is missing, unreadable, not a regular file or too large. The message names
// the file (and the limit, where that is the reason).
class EInputFile : public Exception {
  using Exception::Exception;
};

// Size limits of the inputs.
inline constexpr std::size_t kPurchaseFileLimit = 64 * 1024;
inline constexpr std::size_t kSecretFileLimit = 4 * 1024;  // keys and passwords

// The limit as a message states it: "64 KiB", "4 KiB" or "N bytes".
std::string DescribeLimit(std::size_t limit);

// A path as a message names it (Windows-1250, like every message): converted from UTF-8 where it
// converts, otherwise with every byte outside ASCII shown as "?"; control bytes escaped.
std::string PathForMessage(const std::string& path);

// The whole of the file at path, which must be a regular file of at most limit bytes. The file is
// opened without blocking (a FIFO is refused at once rather than waited on) and checked before
// anything is read. Throws EInputFile: "Cannot open file <path>" (missing, unreadable or a
// folder), "Cannot open file <path>: not a regular file", "Cannot open file <path>: larger than
// <limit>".
std::string ReadBoundedFile(const std::string& path, std::size_t limit);

// The same into a wiping buffer, for passwords and keys, with the system's reason after an open
// failure ("Cannot open file <path>: <reason>"); "-" reads standard input instead (up to the same
// limit; a longer input is refused).
SecretString ReadSecretInput(const std::string& path, std::size_t limit);

// True when users other than the owner may read the file at path (group or others have the read
// bit). False when the file cannot be examined (reading it reports that).
bool ReadableByOthers(const std::string& path);

}  // namespace pelvane
