// What both kinds of database share: their errors, and passwords kept
// out of every message.
#include "vxrom/db.h"

#include <cctype>

const char kSqlStateBusy[] = "55P03";

bool DbError::ConnectionLost() const {
  // 57P01-57P03: the server shuts down, crashed, or is not yet taking
  // connections; the session ends with it.
  return sqlstate.compare(0, 2, "08") == 0 || sqlstate == "57P01" ||
         sqlstate == "57P02" || sqlstate == "57P03";
}

bool DbError::Retryable() const {
  return ConnectionLost() || sqlstate == "40001" || sqlstate == "40P01";
}

std::string DbError::Text() const {
  return message + " (SQLSTATE " + sqlstate + ")";
}

std::string MaskCredentials(const std::string& text) {
  std::string out = text;
  std::string upper = text;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const char* key : {"PWD=", "PASSWORD="}) {
    size_t at = 0;
    while ((at = upper.find(key, at)) != std::string::npos) {
      const size_t start = at + std::string(key).size();
      size_t end = start;
      if (end < out.size() && out[end] == '{') {
        end = out.find('}', end);
        end = end == std::string::npos ? out.size() : end + 1;
      } else {
        while (end < out.size() && out[end] != ';' && out[end] != ' ') ++end;
      }
      out.replace(start, end - start, "***");
      upper.replace(start, end - start, "***");
      at = start + 3;
    }
  }
  return out;
}
