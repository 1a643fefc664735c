#include "app/gtk/startup.h"

#include <gtk/gtk.h>

#include <memory>

#include "app/gtk/main_window.h"
#include "app/gtk/message_dialog.h"
#include "app/gtk/ui_gtk.h"
#include "app/open_thread.h"
#include "app/thread_list.h"
#include "text/fatal.h"
#include "text/fixed_texts.h"

namespace qn::gtk {

namespace {

constexpr std::string_view START_WINDOW_FAILED = "Quennick: loading the start window failed.";

}  // namespace

void show_fatal_dialog(std::string_view message) {
    if (gdk_display_get_default() != nullptr) {
        run_message_dialog(message, MB_STYLE_ERROR, texts::CAPTION);
    }
}

int run_program() {
    // The program takes no command line: GTK gets none to read either.
    if (!gtk_init_check(nullptr, nullptr)) {
        fatal_error("Quennick: loading the start window failed: no display could be opened.");
    }
    set_fatal_dialog_hook(&show_fatal_dialog);

    const std::unique_ptr<MainWindow> window = MainWindow::create();
    if (!window) {
        fatal_error(START_WINDOW_FAILED);
    }
    GtkUi ui(*window);
    window->set_events({
        .list_right_click = [&ui] { show_row_menu(ui); },
        .open_chosen = [&ui] { open_selected_thread(ui); },
        .destroyed =
            [] {
                if (gtk_main_level() > 0) {
                    gtk_main_quit();
                }
            },
    });

    // The window's created event: the opening notice, the fetch and the
    // list, all before the window is first shown.
    load_thread_list(ui);

    if (!window->is_destroyed()) {
        window->show();
        gtk_main();
    }
    return 0;
}

}  // namespace qn::gtk
