// The right-click menu of the thread list and its one command, "打开".
#pragma once

#include <optional>

#include "app/ui.h"
#include "text/text.h"

namespace qn {

// The handler of the list's right click: pops up "打开" beside the pointer.
void show_row_menu(Ui& ui);

// The handler of "打开": opens the selected row's link in the browser when
// it resolves to an absolute http or https URL; otherwise does nothing.
void open_selected_thread(Ui& ui);

// Resolves a link as the listing page wrote it against the page's URL
// (RFC 3986). The result only when it is an absolute http or https URL that
// is safe to hand to another program; nothing otherwise.
std::optional<Text> resolve_thread_link(const Text& base_url, const Text& link);

}  // namespace qn
