// The window icon: the program's picture at 16, 32, 48 and 128 pixels.
#pragma once

#include <gtk/gtk.h>

#include <span>

namespace qn::gtk {

// One square image, straight (not premultiplied) RGBA, rows top to bottom.
struct IconImage {
    int size;
    const unsigned char* rgba;
};

// The four images, smallest first. Drawn at build time by the same script
// that draws the Windows icon, so both builds show one picture.
std::span<const IconImage> app_icon_images();

// Sets the four images as the window's icon.
void set_app_icon(GtkWindow* window);

}  // namespace qn::gtk
