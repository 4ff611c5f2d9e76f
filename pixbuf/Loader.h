// The loader's entry points as gdk-pixbuf sees them, for the module's two
// exports and for tests that drive the loader without loading the module.
#pragma once

#define GDK_PIXBUF_ENABLE_BACKEND
#include <gdk-pixbuf/gdk-pixbuf-io.h>
#undef GDK_PIXBUF_ENABLE_BACKEND

namespace vantrel::pixbuf {

// Sets the one-shot and the incremental load functions (no saving).
void fillVtable(GdkPixbufModule* module);
// Describes the format: name, signatures, MIME types, extensions.
void fillInfo(GdkPixbufFormat* info);

}  // namespace vantrel::pixbuf
