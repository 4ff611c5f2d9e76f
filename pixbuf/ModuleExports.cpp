// The two symbols gdk-pixbuf looks up in a loader module.
#include <gmodule.h>

#include "pixbuf/Loader.h"

extern "C" {

G_MODULE_EXPORT void fill_vtable(GdkPixbufModule* module) { vantrel::pixbuf::fillVtable(module); }
G_MODULE_EXPORT void fill_info(GdkPixbufFormat* info) { vantrel::pixbuf::fillInfo(info); }

}  // extern "C"
