#include "app/gtk/app_icon.h"

#include "app/gtk/gobject_ptr.h"

namespace qn::gtk {

void set_app_icon(GtkWindow* window) {
    GList* images = nullptr;
    for (const IconImage& image : app_icon_images()) {
        // The pixels are static: the image reads them in place.
        GdkPixbuf* pixbuf =
            gdk_pixbuf_new_from_data(image.rgba, GDK_COLORSPACE_RGB, TRUE, 8, image.size,
                                     image.size, image.size * 4, nullptr, nullptr);
        images = g_list_append(images, pixbuf);
    }
    gtk_window_set_icon_list(window, images);
    g_list_free_full(images, g_object_unref);
}

}  // namespace qn::gtk
