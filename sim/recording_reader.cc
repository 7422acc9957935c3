// Reading a recording: line by line as the bytes come, each line's digest
// checked against the recording up to it, then its shape; and the writing
// side of the same digest.
#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "platform/files.h"
#include "sim/formats.h"
#include "sim/recording.h"

namespace sim {
namespace {

const char kHeaderWord[] = "vxctl-recording ";
const int kVersion = 2;

/// " #" and eight hexadecimal digits end every line after the header.
const size_t kDigestChars = 10;

/// A number as a message shows it.
std::string Number(uint64_t value) { return std::to_string(value); }

/// The end of a line whose digest is crc.
std::string DigestToken(uint32_t crc) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text = " #";
  for (int shift = 28; shift >= 0; shift -= 4) text += kDigits[(crc >> shift) & 15];
  return text;
}

/// CRC-32 of text, continued from crc.
uint32_t Crc(const std::string& text, uint32_t crc) {
  return Crc32(reinterpret_cast<const uint8_t*>(text.data()), text.size(), crc);
}

}  // namespace

/// Reads a recording's bytes as they come, line by line: every check is
/// made as its line completes, so a file is refused at its first fault
/// however it is fed, and never more than one line is held unparsed.
class RecordingReader {
 public:
  RecordingReader(Recording* recording, std::string* error)
      : recording_(recording), error_(error) {
    *recording_ = Recording();
    error_->clear();
  }

  /// Room for the calls of a file of size bytes, so that they are held
  /// without the slack of a growing buffer.
  void Reserve(uint64_t size) {
    recording_->text_.reserve(static_cast<size_t>(std::min<uint64_t>(size, kMaxRecordingBytes)));
  }

  /// The next size bytes; false once the recording is refused.
  bool Feed(const char* data, size_t size) {
    while (ok_ && size > 0) {
      const char* feed = static_cast<const char*>(memchr(data, '\n', size));
      const size_t part = feed ? static_cast<size_t>(feed - data) : size;
      if (pending_.size() + part > kMaxRecordingLine) {
        number_++;
        return Fail("longer than " + Number(kMaxRecordingLine >> 20) +
                    " MiB, more than any line a recorder writes");
      }
      pending_.append(data, part);
      if (!feed) break;
      Take(pending_.size() + 1);
      data += part + 1;
      size -= part + 1;
    }
    return ok_;
  }

  /// The end of the recording; false when it is refused.
  bool Finish() {
    if (ok_ && !pending_.empty()) Take(pending_.size());
    if (ok_ && number_ == 0) return Fail("empty, not a recording");
    return ok_;
  }

 private:
  bool Fail(const std::string& reason) {
    ok_ = false;
    *error_ = (number_ ? "line " + Number(number_) + ": " : "") + reason;
    *recording_ = Recording();
    return false;
  }

  /// The line in pending_, which took bytes of the file with its line end.
  void Take(size_t bytes) {
    ++number_;
    total_ += bytes;
    std::string line;
    line.swap(pending_);
    if (total_ > kMaxRecordingBytes) {
      number_ = 0;
      Fail("larger than " + Number(kMaxRecordingBytes >> 20) +
           " MiB, more than any run records");
      return;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (number_ == 1) {
      Header(line);
      return;
    }
    if (!Digest(&line)) return;
    std::string why;
    if (line.compare(0, 5, "file ") == 0) {
      RecordedFile file;
      if (!ParseFileLine(line, &file, &why)) {
        Fail(why);
        return;
      }
      recording_->files_.push_back(std::move(file));
    } else if (line.compare(0, 5, "call ") == 0) {
      RecordedCall call;
      if (!ParseCallLine(line, &call, &why)) {
        Fail(why);
        return;
      }
      recording_->text_ += line;
      recording_->ends_.push_back(static_cast<uint32_t>(recording_->text_.size()));
    } else {
      Fail("unknown line '" + Excerpt(line) + "'");
    }
  }

  void Header(const std::string& line) {
    const size_t prefix = sizeof kHeaderWord - 1;
    const std::string digits = line.substr(std::min(prefix, line.size()));
    if (line.compare(0, prefix, kHeaderWord) != 0 || digits.empty() || digits.size() > 6 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
      Fail("not a recording: it begins '" + Excerpt(line) + "'");
      return;
    }
    const int version = std::stoi(digits);
    if (version < kVersion) {
      Fail("version " + digits + " has no digests, so damage in it cannot be found: record the run again");
    } else if (version > kVersion) {
      Fail("version " + digits + " is newer than this reader's (" + std::to_string(kVersion) + ")");
    } else {
      crc_ = Crc(line + "\n", 0);
    }
  }

  /// Checks the digest at the end of *line and strips it; false when it
  /// does not match (damage, or a line cut short).
  bool Digest(std::string* line) {
    const size_t size = line->size();
    if (size >= kDigestChars) {
      std::string body = line->substr(0, size - kDigestChars);
      const uint32_t crc = Crc(body, crc_);
      if (line->compare(size - kDigestChars, kDigestChars, DigestToken(crc)) == 0) {
        crc_ = Crc(line->substr(size - kDigestChars) + "\n", crc);
        line->swap(body);
        return true;
      }
    }
    Fail("damaged or cut short: its digest does not match");
    return false;
  }

  Recording* recording_;
  std::string* error_;
  std::string pending_;
  size_t number_ = 0;
  uint64_t total_ = 0;
  uint32_t crc_ = 0;
  bool ok_ = true;
};

RecordedCall Recording::Call(size_t index) const {
  const size_t begin = index ? ends_[index - 1] : 0;
  RecordedCall call;
  std::string why;
  // Checked when read: a failure here cannot happen, and would leave a
  // call named by no operation, which no program call matches.
  if (!ParseCallLine(text_.substr(begin, ends_[index] - begin), &call, &why))
    call = RecordedCall();
  return call;
}

bool ParseRecording(const std::string& text, Recording* recording,
                    std::string* error) {
  RecordingReader reader(recording, error);
  return reader.Feed(text.data(), text.size()) && reader.Finish();
}

bool ReadRecording(const std::string& path, Recording* recording,
                   std::string* error) {
  RecordingReader reader(recording, error);
  bool not_regular = false;
  FILE* file = platform::OpenRegularFile(path, nullptr, &not_regular);
  if (!file) {
    *error = not_regular ? "not a regular file" : "cannot be read";
    return false;
  }
  if (fseek(file, 0, SEEK_END) == 0) {
    const long size = ftell(file);
    if (size > 0) reader.Reserve(static_cast<uint64_t>(size));
    rewind(file);
  }
  std::vector<char> chunk(1 << 16);
  bool ok = true;
  for (;;) {
    const size_t n = fread(chunk.data(), 1, chunk.size(), file);
    if (n == 0) {
      if (ferror(file)) {
        *error = "cannot be read";
        ok = false;
      }
      break;
    }
    if (!reader.Feed(chunk.data(), n)) {
      ok = false;
      break;
    }
  }
  fclose(file);
  if (!ok) {
    *recording = Recording();
    return false;
  }
  return reader.Finish();
}

std::string RecordingWriter::Header() {
  crc_ = Crc(std::string(kRecordingHeader) + "\n", 0);
  return kRecordingHeader;
}

std::string RecordingWriter::Sealed(const std::string& line) {
  const std::string digest = DigestToken(Crc(line, crc_));
  crc_ = Crc(line + digest + "\n", crc_);
  return line + digest;
}

}  // namespace sim
