// String lists ('STR#' resources): a big-endian count followed by Pascal strings.
// GetIndString reads one entry through the resource chain; the helpers build and
// take apart the resource's bytes for tools and tests.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "MacTypes.h"

enum : ResType { kStringListResourceType = FOUR_CHAR_CODE("STR#") };

// Entry `index` (from 1) of list `strListID`, or the empty string when the list or the
// entry is missing or the list is damaged. A damaged list is never read past its end.
void GetIndString(Str255 theString, SInt16 strListID, SInt16 index);

namespace toolbox {

// The strings (Mac Roman bytes) of a list's resource data; none when the data is
// shorter than its count says or longer than its strings.
std::optional<std::vector<std::string>> ParseStringList(std::span<const UInt8> data);
// The resource data of a list; none for more than 32767 strings or one over 255 bytes.
std::optional<std::vector<UInt8>> BuildStringList(const std::vector<std::string>& strings);

}  // namespace toolbox
