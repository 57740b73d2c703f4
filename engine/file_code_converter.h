#pragma once
// Converts a Unicode plot file to the system code page before it is disposed:
// the reader and the label strokes work on single- and double-byte text.
// Files already in a single-byte or the system encoding are left alone.
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/result.h"

namespace plotdesk::engine {

enum class SourceEncoding {
  None = 0,     // ANSI or plain ASCII
  Utf16Le = 1,  // with signature
  Utf16Be = 2,  // with signature
  Utf8Bom = 3,  // with signature
  Utf8 = 4,     // without signature, with at least one byte of 128 or above
};

SourceEncoding detectEncoding(std::string_view bytes);

// The converted text with its trailing zero bytes (two after a signature,
// one otherwise). Characters the code page lacks, and broken sequences,
// become "?". Fails only when the code page is unknown.
Result<std::string> convertToCodePage(std::string_view bytes, SourceEncoding encoding, const std::string& codePage);

class FileCodeConverter {
 public:
  // `codePage` is an iconv name; the system code page is System_CodePage (CP936).
  FileCodeConverter(std::string source, std::string target, std::string codePage = "CP936",
                    Clock& clock = realClock());

  // True when the file needed no conversion or was converted. The target is
  // replaced only by a complete result; on failure it is untouched and
  // message() is "Open File Error" or "Conversion Fail".
  Status convert();
  SourceEncoding encoding() const { return encoding_; }
  const std::string& message() const { return message_; }

 private:
  std::string source_;
  std::string target_;
  std::string codePage_;
  Clock& clock_;
  SourceEncoding encoding_ = SourceEncoding::None;
  std::string message_;
};

}  // namespace plotdesk::engine
