// The thread list loader: the opening notice, the fetch of the listing page,
// and one row per thread anchor found in it.
#pragma once

#include <functional>

#include "app/ui.h"
#include "regex/regex_matcher.h"
#include "text/text.h"

namespace qn {

using FetchPage = std::function<Bytes(const Text& url)>;
using MakeMatcher = std::function<RegexMatcher()>;

// The fetch and the matcher of the real program: http_fetch with every
// optional argument absent, and a matcher on the platform's engine.
Bytes fetch_listing_page(const Text& url);
RegexMatcher make_platform_matcher();

// The handler of the main window's created event: opening notice, fetch of
// LISTING_URL, then fill_thread_list.
void load_thread_list(Ui& ui, const FetchPage& fetch = fetch_listing_page,
                      const MakeMatcher& make_matcher = make_platform_matcher);

// Appends one numbered row (number, title, link) per thread anchor of the
// page, skipping the two non-thread titles; a notice when nothing is found.
void fill_thread_list(Ui& ui, const Text& page,
                      const MakeMatcher& make_matcher = make_platform_matcher);

}  // namespace qn
