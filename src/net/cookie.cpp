#include "net/cookie.h"

#include <string>

namespace qn {

Text cookie_merge(Text& old_cookies, Text& new_cookies) {
    old_cookies = txt_strip_spaces(old_cookies);
    new_cookies = txt_strip_spaces(new_cookies);

    const TextList old_items = txt_split(old_cookies, ";");
    TextList merged = txt_split(new_cookies, ";");
    // `merged` grows while the old items are visited, so of several old items
    // sharing one name only the first can get in.
    for (const Text& item : old_items.items()) {
        if (!cookie_has_key(merged, cookie_key(item))) {
            list_append(merged, item);
        }
    }

    std::string joined;
    for (const Text& item : merged.items()) {
        if (txt_cmp(txt_tail(item, 8), "=deleted") != 0) {
            joined.append(item.view());
            joined.append("; ");
        }
    }
    const Text kept(std::move(joined));
    old_cookies = list_dedupe_join(txt_head(kept, txt_len(kept) - 2), "; ");
    return old_cookies;
}

Text cookie_key(const Text& item) {
    const int32_t eq = txt_find(item, "=");
    return eq != -1 ? txt_trim(txt_head(item, eq - 1)) : txt_trim(item);
}

bool cookie_has_key(const TextList& list, const Text& key) {
    for (const Text& item : list.items()) {
        if (txt_cmp(cookie_key(item), key) == 0) {
            return true;
        }
    }
    return false;
}

Text list_dedupe_join(const Text& text, const Text& separator) {
    TextList seen;
    std::string joined;
    const TextList pieces = txt_split(text, separator);
    for (const Text& piece : pieces.items()) {
        if (list_index_of(seen, piece) == -1) {
            list_append(seen, piece);
            joined.append(piece.view());
            joined.append(separator.view());
        }
    }
    const Text all(std::move(joined));
    return txt_head(all, txt_len(all) - txt_len(separator));
}

int32_t list_index_of(const TextList& list, const Text& text) {
    const auto& items = list.items();
    for (size_t i = 0; i < items.size(); ++i) {
        if (txt_cmp(items[i], text) == 0) {
            return static_cast<int32_t>(i + 1);
        }
    }
    return -1;
}

}  // namespace qn
