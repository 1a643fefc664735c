// Modal message dialogs without owner window: the notices and the fatal
// report of the Linux build.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <string_view>

namespace qn::gtk {

// The dialog's kind for a message-box style code: its icon bits (0x10
// error, 0x20 question, 0x30 warning, 0x40 information); no icon otherwise.
GtkMessageType message_type_for_style(int32_t style);

// Shows a modal dialog with the text, the title, the icon and the buttons
// the style code asks for, centred on the screen, and returns when the user
// has closed it. Texts are UTF-8.
void run_message_dialog(std::string_view text, int32_t style, std::string_view title);

}  // namespace qn::gtk
