#include "app/listing_url.h"

namespace qn {

const Text& listing_url() {
    static const Text url = txt_join("http://", QN_LISTING_HOST, "/forum-37-1.html");
    return url;
}

}  // namespace qn
