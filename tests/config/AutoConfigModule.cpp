// A module with a registration of its own, loaded and unloaded by the tests: its load
// function leaves a mark in the configuration it is given.
#include <commonvcqx/config/AutoConfig.h>

namespace {

void LoadModule(TConfig& config, void*) {
    config.SetValue(1, "FromModule", 0);
}

TAutoConfig g_moduleConfig("/Module", LoadModule, nullptr, 4711, nullptr);

}  // namespace
