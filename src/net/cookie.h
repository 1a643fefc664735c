// Merging the cookies a response set into a caller's cookie text, by name.
#pragma once

#include <cstdint>

#include "text/text.h"

namespace qn {

// Rewrites `old_cookies` into the merged cookie text (the new items as
// received, then the old ones whose name was not received again; items
// ending "=deleted" dropped; repeated items once; separated by "; ") and
// `new_cookies` into itself without blanks. Returns a copy of the merged
// text.
Text cookie_merge(Text& old_cookies, Text& new_cookies);

// The name of one cookie item: the trimmed text before its first "=", or
// the whole item trimmed.
Text cookie_key(const Text& item);

// Whether some item of `list` has the name `key`.
bool cookie_has_key(const TextList& list, const Text& key);

// `text` split at `separator`, each distinct piece kept once at its first
// place, joined again with `separator`.
Text list_dedupe_join(const Text& text, const Text& separator);

// The index of the first item equal to `text`, or -1.
int32_t list_index_of(const TextList& list, const Text& text);

}  // namespace qn
