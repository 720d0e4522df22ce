#pragma once

/* What a test host needs to load a Nautilus module without Nautilus: file infos of its own
 * (NautilusFileInfo implemented over a GFile) and a type module to register the module's
 * types in. */
#include <glib-object.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A NautilusFileInfo for the local file at path (bytes, as the file system has them). */
GObject *lurkel_test_file_info_new(const char *path);
/* A type module that is always loaded: the host loads the module's code itself. */
GTypeModule *lurkel_test_type_module_new(void);

#ifdef __cplusplus
}
#endif
