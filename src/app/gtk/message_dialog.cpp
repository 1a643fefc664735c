#include "app/gtk/message_dialog.h"

#include <string>

namespace qn::gtk {

namespace {

constexpr int32_t MB_ICON_MASK = 0xF0;
constexpr int32_t MB_BUTTON_MASK = 0x0F;
constexpr int32_t MB_OKCANCEL = 0x01;
constexpr int32_t MB_YESNO = 0x04;

GtkButtonsType buttons_for_style(int32_t style) {
    switch (style & MB_BUTTON_MASK) {
        case MB_OKCANCEL:
            return GTK_BUTTONS_OK_CANCEL;
        case MB_YESNO:
            return GTK_BUTTONS_YES_NO;
        default:
            return GTK_BUTTONS_OK;
    }
}

const char* icon_name_for(GtkMessageType type) {
    switch (type) {
        case GTK_MESSAGE_ERROR:
            return "dialog-error";
        case GTK_MESSAGE_QUESTION:
            return "dialog-question";
        case GTK_MESSAGE_WARNING:
            return "dialog-warning";
        case GTK_MESSAGE_INFO:
            return "dialog-information";
        default:
            return nullptr;
    }
}

// GTK's own text functions want valid UTF-8.
std::string valid_utf8(std::string_view text) {
    gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
    std::string out(valid);
    g_free(valid);
    return out;
}

}  // namespace

GtkMessageType message_type_for_style(int32_t style) {
    switch (style & MB_ICON_MASK) {
        case 0x10:
            return GTK_MESSAGE_ERROR;
        case 0x20:
            return GTK_MESSAGE_QUESTION;
        case 0x30:
            return GTK_MESSAGE_WARNING;
        case 0x40:
            return GTK_MESSAGE_INFO;
        default:
            return GTK_MESSAGE_OTHER;
    }
}

void run_message_dialog(std::string_view text, int32_t style, std::string_view title) {
    const GtkMessageType type = message_type_for_style(style);
    GtkWidget* dialog = gtk_message_dialog_new(
        nullptr, GTK_DIALOG_MODAL, type, buttons_for_style(style), "%s", valid_utf8(text).c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), valid_utf8(title).c_str());
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    gtk_window_set_resizable(GTK_WINDOW(dialog), FALSE);
    if (const char* icon = icon_name_for(type)) {
        // GTK 3 no longer draws the kind's icon by itself; the image slot of
        // the dialog still shows one when given.
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        GtkWidget* image = gtk_image_new_from_icon_name(icon, GTK_ICON_SIZE_DIALOG);
        gtk_message_dialog_set_image(GTK_MESSAGE_DIALOG(dialog), image);
        G_GNUC_END_IGNORE_DEPRECATIONS
        gtk_widget_show(image);
        // Giving the image resets the kind, which tells assistive tools what
        // the dialog is about.
        g_object_set(dialog, "message-type", type, nullptr);
    }
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
}

}  // namespace qn::gtk
