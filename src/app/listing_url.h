// The one page the program lists: the forum board's first listing page.
#pragma once

#include "text/text.h"

namespace qn {

// "http://" + the forum server's host (a build setting) + "/forum-37-1.html".
const Text& listing_url();

}  // namespace qn
