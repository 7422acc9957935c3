// The history's chain: every record, pool change and released job carries
// a digest of itself and of the entry before it, so that a record changed,
// removed or inserted by hand shows where the chain breaks.
#ifndef VXROM_LINE_CHAIN_H_
#define VXROM_LINE_CHAIN_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "line/field_value.h"

namespace line {

/// The canonical text of one entry: its kind, its place in the chain and
/// its fields, each typed and length-prefixed, so that no two entries
/// share one.  A real counts in thousandths, as both databases give it
/// back alike.
std::string CanonicalEntry(const std::string& kind, int64_t seq,
                           const std::vector<FieldValue>& fields);

/// The digest of an entry after previous (empty before the first):
/// SHA-256 of previous, a newline and the canonical text, in hexadecimal.
std::string ChainDigest(const std::string& previous, const std::string& canonical);

}  // namespace line

#endif  // VXROM_LINE_CHAIN_H_
