#include "NautilusHost.h"

#include <nautilus-extension.h>

typedef struct {
    GObject parent;
    GFile *location;
} LurkelTestFileInfo;

typedef struct {
    GObjectClass parent_class;
} LurkelTestFileInfoClass;

static void file_info_iface_init(NautilusFileInfoInterface *iface);

G_DEFINE_TYPE_WITH_CODE(LurkelTestFileInfo, lurkel_test_file_info, G_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(NAUTILUS_TYPE_FILE_INFO, file_info_iface_init))

static GFile *get_location(NautilusFileInfo *info)
{
    return g_object_ref(((LurkelTestFileInfo *)info)->location);
}

static char *get_name(NautilusFileInfo *info)
{
    return g_file_get_basename(((LurkelTestFileInfo *)info)->location);
}

static char *get_uri(NautilusFileInfo *info)
{
    return g_file_get_uri(((LurkelTestFileInfo *)info)->location);
}

static char *get_uri_scheme(NautilusFileInfo *info)
{
    (void)info;
    return g_strdup("file");
}

static gboolean is_gone(NautilusFileInfo *info)
{
    (void)info;
    return FALSE;
}

static void file_info_iface_init(NautilusFileInfoInterface *iface)
{
    iface->get_location = get_location;
    iface->get_name = get_name;
    iface->get_uri = get_uri;
    iface->get_uri_scheme = get_uri_scheme;
    iface->is_gone = is_gone;
}

static void lurkel_test_file_info_finalize(GObject *object)
{
    g_clear_object(&((LurkelTestFileInfo *)object)->location);
    G_OBJECT_CLASS(lurkel_test_file_info_parent_class)->finalize(object);
}

static void lurkel_test_file_info_class_init(LurkelTestFileInfoClass *klass)
{
    G_OBJECT_CLASS(klass)->finalize = lurkel_test_file_info_finalize;
}

static void lurkel_test_file_info_init(LurkelTestFileInfo *self)
{
    self->location = NULL;
}

GObject *lurkel_test_file_info_new(const char *path)
{
    LurkelTestFileInfo *info = g_object_new(lurkel_test_file_info_get_type(), NULL);
    info->location = g_file_new_for_path(path);
    return G_OBJECT(info);
}

typedef struct {
    GTypeModule parent;
} LurkelTestTypeModule;

typedef struct {
    GTypeModuleClass parent_class;
} LurkelTestTypeModuleClass;

G_DEFINE_TYPE(LurkelTestTypeModule, lurkel_test_type_module, G_TYPE_TYPE_MODULE)

static gboolean module_load(GTypeModule *module)
{
    (void)module;
    return TRUE;
}

static void module_unload(GTypeModule *module)
{
    (void)module;
}

static void lurkel_test_type_module_class_init(LurkelTestTypeModuleClass *klass)
{
    G_TYPE_MODULE_CLASS(klass)->load = module_load;
    G_TYPE_MODULE_CLASS(klass)->unload = module_unload;
}

static void lurkel_test_type_module_init(LurkelTestTypeModule *self)
{
    (void)self;
}

GTypeModule *lurkel_test_type_module_new(void)
{
    return G_TYPE_MODULE(g_object_new(lurkel_test_type_module_get_type(), NULL));
}
