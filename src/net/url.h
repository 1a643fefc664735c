// Taking a URL apart for the fetch routine: host, port and object path, by
// plain text searches (no percent-decoding, no user information, and no
// scheme other than "http://" and "https://").
#pragma once

#include <cstdint>
#include <optional>

#include "text/text.h"

namespace qn {

// The host of `url`, lower-cased. Without `levels` (default mode) it is the
// text between the scheme and the next "/", cut down to the last two labels
// with `main_domain`. With `levels` present (label mode) the last
// `levels` + 2 labels are kept (`levels` + 1 with `main_domain`). A ":port"
// suffix is cut off unless `keep_port`.
Text url_host(const Text& url, bool main_domain = false, bool keep_port = false,
              std::optional<int32_t> levels = std::nullopt);

// The port to connect to: the number after the host's last ":", else 443
// for a URL beginning "https" in any case, else 80.
int32_t url_port(const Text& url);

// The object path from the first "/" at or after the host to the end of the
// URL, query and fragment included, in the URL's own letter case; "/" when
// there is none.
Text url_path(const Text& url);

}  // namespace qn
