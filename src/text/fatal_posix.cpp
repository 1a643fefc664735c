// The fatal report on Linux: always one line on stderr, then the dialog of
// the program's user interface when it has installed one.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "text/fatal.h"

namespace qn {

namespace {
std::atomic<FatalDialogHook> dialog_hook{nullptr};

void write_all(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t k = ::write(fd, data, size);
        if (k <= 0) return;
        data += k;
        size -= static_cast<size_t>(k);
    }
}
}  // namespace

void fatal_report(std::string_view message) {
    // One write for the whole line, so that it is not interleaved.
    char line[1024];
    const std::string_view prefix = "quennick: fatal: ";
    size_t len = 0;
    auto put = [&](std::string_view s) {
        const size_t k = std::min(s.size(), sizeof line - 1 - len);
        std::memcpy(line + len, s.data(), k);
        len += k;
    };
    put(prefix);
    put(message);
    line[len++] = '\n';
    write_all(STDERR_FILENO, line, len);

    if (const FatalDialogHook hook = dialog_hook.load()) hook(message);
}

void set_fatal_dialog_hook(FatalDialogHook hook) noexcept { dialog_hook.store(hook); }

}  // namespace qn
