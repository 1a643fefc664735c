#include "net/url.h"

namespace qn {
namespace {

// Cuts a ":port" suffix off a host unless the caller keeps it.
Text strip_port(const Text& host, bool keep_port) {
    if (keep_port) {
        return host;
    }
    const int32_t colon = txt_find(host, ":");
    return colon != -1 ? txt_head(host, colon - 1) : host;
}

Text host_default_mode(const Text& url, bool main_domain, bool keep_port) {
    Text t = txt_lower(url);
    if (txt_cmp(txt_tail(t, 1), "/") != 0) {
        t = txt_join(t, "/");
    }
    if (txt_cmp(txt_head(t, 8), "https://") == 0) {
        t = txt_between(t, "https://", "/");
    } else {
        if (txt_find(t, "http://") == -1) {
            t = txt_join("http://", t);
        }
        // The first "http://" anywhere in the text, not only at its start.
        t = txt_between(t, "http://", "/");
    }
    if (main_domain) {
        const TextList labels = txt_split(t, ".");
        const int32_t n = list_count(labels);
        if (n > 1) {
            t = txt_join(list_at(labels, n - 1), ".", list_at(labels, n));
        }
    }
    return strip_port(t, keep_port);
}

Text host_label_mode(const Text& url, bool main_domain, bool keep_port, int32_t levels) {
    Text t = txt_lower(url);
    t = txt_substitute(t, "http://");
    t = txt_substitute(t, "https://");
    const int32_t slash = txt_find(t, "/");
    if (slash != -1) {
        t = txt_head(t, slash - 1);
    }
    // Walk back over `levels` dots; the port, if any, still belongs to the
    // last label while counting.
    const int32_t n = txt_len(t);
    int32_t h = n;
    for (int32_t i = 0; i < levels && h != -1; ++i) {
        h = txt_rfind(t, ".", h);
    }
    const int32_t d = h == -1 ? -1 : txt_rfind(t, ".", h);
    if (main_domain) {
        t = txt_tail(t, n - d);
    } else if (d != -1) {
        const int32_t e = txt_rfind(t, ".", d);
        if (e != -1) {
            t = txt_tail(t, n - e);
        }
    }
    return strip_port(t, keep_port);
}

}  // namespace

Text url_host(const Text& url, bool main_domain, bool keep_port, std::optional<int32_t> levels) {
    if (levels.has_value()) {
        return host_label_mode(url, main_domain, keep_port, *levels);
    }
    return host_default_mode(url, main_domain, keep_port);
}

int32_t url_port(const Text& url) {
    const Text q = url_host(url, false, true);
    const int32_t colon = txt_rfind(q, ":");
    if (colon != -1) {
        return txt_parse_int(txt_tail(q, txt_len(q) - colon));
    }
    return txt_cmp(txt_head(txt_lower(url), 5), "https") == 0 ? 443 : 80;
}

Text url_path(const Text& url) {
    const Text host = url_host(url);
    const int32_t a = txt_find(url, host, 1, true);
    const int32_t b = txt_find(url, "/", a, true);
    if (b <= 0) {
        return "/";
    }
    return txt_tail(url, txt_len(url) - b + 1);
}

}  // namespace qn
