// Ownership of GLib and GObject references by value: each holder releases
// what it owns when it goes out of scope.
#pragma once

#include <glib-object.h>

#include <memory>

namespace qn::gtk {

struct GObjectUnref {
    void operator()(gpointer object) const noexcept { g_object_unref(object); }
};

// Owns one reference to a GObject.
template <class T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

// Takes ownership of a reference the caller already holds.
template <class T>
GObjectPtr<T> adopt(T* object) noexcept {
    return GObjectPtr<T>(object);
}

// Adds a reference of its own (sinking a floating one).
template <class T>
GObjectPtr<T> ref_sink(T* object) noexcept {
    return GObjectPtr<T>(static_cast<T*>(g_object_ref_sink(object)));
}

struct GFreeDeleter {
    void operator()(gpointer memory) const noexcept { g_free(memory); }
};
// A string GLib allocated and the caller must free.
using GCharPtr = std::unique_ptr<gchar, GFreeDeleter>;

struct GErrorFree {
    void operator()(GError* error) const noexcept { g_error_free(error); }
};
using GErrorPtr = std::unique_ptr<GError, GErrorFree>;

struct GMainLoopUnref {
    void operator()(GMainLoop* loop) const noexcept { g_main_loop_unref(loop); }
};
using GMainLoopPtr = std::unique_ptr<GMainLoop, GMainLoopUnref>;

}  // namespace qn::gtk
