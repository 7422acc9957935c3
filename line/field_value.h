// A field's value as records and statements carry it.
#ifndef VXROM_LINE_FIELD_VALUE_H_
#define VXROM_LINE_FIELD_VALUE_H_

#include <stdint.h>

#include <optional>
#include <string>

namespace line {

/// One value of a field: nothing, an integer, a real or text.
struct FieldValue {
  enum class Type { kNull,
                    kInt,
                    kReal,
                    kText };
  FieldValue() = default;
  FieldValue(int64_t v) : type(Type::kInt), integer(v) {}               // NOLINT: implicit by design
  FieldValue(double v) : type(Type::kReal), real(v) {}                  // NOLINT
  FieldValue(std::string v) : type(Type::kText), text(std::move(v)) {}  // NOLINT
  FieldValue(const char* v) : type(Type::kText), text(v) {}             // NOLINT
  /// Text, or NULL when absent.
  static FieldValue Maybe(const std::optional<std::string>& v) {
    return v ? FieldValue(*v) : FieldValue();
  }

  Type type = Type::kNull;
  int64_t integer = 0;
  double real = 0;
  std::string text;
};

}  // namespace line

#endif  // VXROM_LINE_FIELD_VALUE_H_
