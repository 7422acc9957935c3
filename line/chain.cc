#include "line/chain.h"

#include <math.h>

#include "platform/digest.h"

namespace line {

std::string CanonicalEntry(const std::string& kind, int64_t seq,
                           const std::vector<FieldValue>& fields) {
  std::string text = kind + "\n" + std::to_string(seq);
  for (const FieldValue& f : fields) {
    switch (f.type) {
      case FieldValue::Type::kNull:
        text += "\n-";
        break;
      case FieldValue::Type::kInt:
        text += "\ni" + std::to_string(f.integer);
        break;
      case FieldValue::Type::kReal:
        text += "\nr" + std::to_string(llround(f.real * 1000));
        break;
      case FieldValue::Type::kText:
        text += "\nt" + std::to_string(f.text.size()) + ":" + f.text;
        break;
    }
  }
  return text;
}

std::string ChainDigest(const std::string& previous, const std::string& canonical) {
  const std::string data = previous + "\n" + canonical;
  return platform::Sha256Hex(data.data(), data.size());
}

}  // namespace line
