/* Lurkel's Nautilus module: "Hide with Lurkel" and "Unhide with Lurkel" for a selection,
 * "Show Hidden Files" or "Hide Hidden Files" for the folder's background. It runs inside
 * Nautilus, so it uses GLib, GIO and libnautilus-extension only: the election and the state
 * are asked of lurkel-pluginkit and lurkel-finder-sync, and each item runs lurkel-finder-sync
 * with the paths as the bytes they are. Nothing is added while the integration is not elected. */
#include <gio/gio.h>
#include <glib-object.h>
#include <nautilus-extension.h>

#include <string.h>

#ifndef LURKEL_PROGRAM_DIR
#error "LURKEL_PROGRAM_DIR names the folder of lurkel-finder-sync and lurkel-pluginkit"
#endif

#define LURKEL_INTEGRATION_ID "com.brendix.Lurkel-SII.FinderSyncExt"
#define LURKEL_ICON "com.brendix.Lurkel-SII"
/* The argument vector an item runs, kept on the item (a NULL-terminated string array). */
#define LURKEL_ARGV_KEY "lurkel-argv"

typedef struct {
    GObject parent;
} LurkelMenuProvider;

typedef struct {
    GObjectClass parent_class;
} LurkelMenuProviderClass;

static GType lurkel_menu_provider_type = 0;

/* The program in the folder this module was built for, else found in PATH (an install into
 * another prefix than the one configured), else the folder's path all the same. */
static char *program(const char *name)
{
    char *path = g_build_filename(LURKEL_PROGRAM_DIR, name, NULL);
    if (g_file_test(path, G_FILE_TEST_IS_EXECUTABLE)) return path;
    char *found = g_find_program_in_path(name);
    if (found == NULL) return path;
    g_free(path);
    return found;
}

/* The first line a program prints, or NULL when it could not run. */
static char *output_of(char **argv, int *exit_status)
{
    char *out = NULL;
    int status = 0;
    GError *error = NULL;
    if (!g_spawn_sync(NULL, argv, NULL, G_SPAWN_STDERR_TO_DEV_NULL | G_SPAWN_CLOEXEC_PIPES, NULL, NULL, &out, NULL,
                      &status, &error)) {
        g_warning("lurkel: cannot run %s: %s", argv[0], error->message);
        g_error_free(error);
        return NULL;
    }
    if (exit_status != NULL) *exit_status = g_spawn_check_wait_status(status, NULL) ? 0 : 1;
    return out;
}

static gboolean integration_elected(void)
{
    char *pluginkit = program("lurkel-pluginkit");
    char *argv[] = {pluginkit, (char *)"-m", (char *)"-i", (char *)LURKEL_INTEGRATION_ID, NULL};
    char *out = output_of(argv, NULL);
    const gboolean elected = out != NULL && out[0] == '+';
    g_free(out);
    g_free(pluginkit);
    return elected;
}

static gboolean hidden_files_shown(void)
{
    char *finder_sync = program("lurkel-finder-sync");
    char *argv[] = {finder_sync, (char *)"state", NULL};
    char *out = output_of(argv, NULL);
    const gboolean shown = out != NULL && g_str_has_prefix(out, "true");
    g_free(out);
    g_free(finder_sync);
    return shown;
}

/* GIO's own answer (a dot name, or listed in the folder's .hidden); a failure counts as not
 * hidden. */
static gboolean is_hidden(GFile *location)
{
    GFileInfo *info = g_file_query_info(location, G_FILE_ATTRIBUTE_STANDARD_IS_HIDDEN,
                                        G_FILE_QUERY_INFO_NOFOLLOW_SYMLINKS, NULL, NULL);
    if (info == NULL) return FALSE;
    const gboolean hidden = g_file_info_get_is_hidden(info);
    g_object_unref(info);
    return hidden;
}

static void run_item(NautilusMenuItem *item, gpointer user_data)
{
    (void)user_data;
    char **argv = g_object_get_data(G_OBJECT(item), LURKEL_ARGV_KEY);
    GError *error = NULL;
    /* Without G_SPAWN_DO_NOT_REAP_CHILD the program is not Nautilus's child for long. */
    if (!g_spawn_async(NULL, argv, NULL, G_SPAWN_STDOUT_TO_DEV_NULL, NULL, NULL, NULL, &error)) {
        g_warning("lurkel: cannot run %s: %s", argv[0], error->message);
        g_error_free(error);
    }
}

/* An item that runs lurkel-finder-sync COMMAND [-- PATH...]; takes the paths' strings. */
static NautilusMenuItem *item_running(const char *id, const char *label, const char *tip, const char *command,
                                      GPtrArray *paths)
{
    NautilusMenuItem *item = nautilus_menu_item_new(id, label, tip, LURKEL_ICON);
    GPtrArray *argv = g_ptr_array_new();
    g_ptr_array_add(argv, program("lurkel-finder-sync"));
    g_ptr_array_add(argv, g_strdup(command));
    if (paths != NULL) {
        g_ptr_array_add(argv, g_strdup("--"));
        for (guint i = 0; i < paths->len; ++i)
            g_ptr_array_add(argv, g_strdup(g_ptr_array_index(paths, i)));
    }
    g_ptr_array_add(argv, NULL);
    g_object_set_data_full(G_OBJECT(item), LURKEL_ARGV_KEY, g_ptr_array_free(argv, FALSE), (GDestroyNotify)g_strfreev);
    g_signal_connect(item, "activate", G_CALLBACK(run_item), NULL);
    return item;
}

static GList *get_file_items(NautilusMenuProvider *provider, GList *files)
{
    (void)provider;
    if (files == NULL) return NULL;
    GPtrArray *paths = g_ptr_array_new_with_free_func(g_free);
    gboolean any_hidden = FALSE;
    gboolean any_visible = FALSE;
    for (GList *l = files; l != NULL; l = l->next) {
        GFile *location = nautilus_file_info_get_location(NAUTILUS_FILE_INFO(l->data));
        char *path = location != NULL ? g_file_get_path(location) : NULL;
        if (path != NULL) {
            /* Items that are not local files have no path to hide; they are left out. */
            if (is_hidden(location))
                any_hidden = TRUE;
            else
                any_visible = TRUE;
            g_ptr_array_add(paths, path);
        }
        if (location != NULL) g_object_unref(location);
    }
    GList *items = NULL;
    if (paths->len > 0 && integration_elected()) {
        if (any_hidden)
            items = g_list_append(items, item_running("Lurkel::unhide", "Unhide with Lurkel",
                                                      "Unhide the selected items", "unhide", paths));
        if (any_visible)
            items = g_list_append(
                items, item_running("Lurkel::hide", "Hide with Lurkel", "Hide the selected items", "hide", paths));
    }
    g_ptr_array_unref(paths);
    return items;
}

static GList *get_background_items(NautilusMenuProvider *provider, NautilusFileInfo *current_folder)
{
    (void)provider;
    (void)current_folder;
    if (!integration_elected()) return NULL;
    const gboolean shown = hidden_files_shown();
    NautilusMenuItem *item = item_running(
        "Lurkel::switch", shown ? "Hide Hidden Files" : "Show Hidden Files",
        shown ? "Hide hidden files in every file manager" : "Show hidden files in every file manager", "switch", NULL);
    return g_list_append(NULL, item);
}

static void menu_provider_init(NautilusMenuProviderInterface *iface, gpointer data)
{
    (void)data;
    iface->get_file_items = get_file_items;
    iface->get_background_items = get_background_items;
}

static void lurkel_menu_provider_class_init(gpointer klass, gpointer data)
{
    (void)klass;
    (void)data;
}

static void lurkel_menu_provider_instance_init(GTypeInstance *instance, gpointer klass)
{
    (void)instance;
    (void)klass;
}

static void register_type(GTypeModule *module)
{
    static const GTypeInfo info = {
        sizeof(LurkelMenuProviderClass),
        NULL,
        NULL,
        lurkel_menu_provider_class_init,
        NULL,
        NULL,
        sizeof(LurkelMenuProvider),
        0,
        lurkel_menu_provider_instance_init,
        NULL,
    };
    static const GInterfaceInfo menu_provider = {(GInterfaceInitFunc)menu_provider_init, NULL, NULL};
    lurkel_menu_provider_type = g_type_module_register_type(module, G_TYPE_OBJECT, "LurkelMenuProvider", &info, 0);
    g_type_module_add_interface(module, lurkel_menu_provider_type, NAUTILUS_TYPE_MENU_PROVIDER, &menu_provider);
}

G_MODULE_EXPORT void nautilus_module_initialize(GTypeModule *module)
{
    register_type(module);
}

G_MODULE_EXPORT void nautilus_module_shutdown(void) {}

G_MODULE_EXPORT void nautilus_module_list_types(const GType **types, int *num_types)
{
    static GType list[1];
    list[0] = lurkel_menu_provider_type;
    *types = list;
    *num_types = 1;
}
