// A plug-in module for the modules sample; its texts and version sit beside it.
extern "C" __attribute__((visibility("default"))) int PluginAnswer() {
    return 42;
}
