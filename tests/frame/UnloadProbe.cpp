// Loads the library through a module linked to it (the probe itself is not), uses it,
// unloads it, and checks that its static objects were destroyed in the reverse order
// of their construction. Exit status 0 when everything held.
#include <dlfcn.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>

namespace {

int built[64];
int builtCount = 0;
int destroyed[64];
int destroyedCount = 0;
bool checked = false;

void Observe(int step, bool isBuilt) {
    if (isBuilt) {
        std::fprintf(stderr, "step %d built again\n", step);
        _exit(5);
    }
    if (destroyedCount < 64) destroyed[destroyedCount++] = step;
}

bool ReverseOrderHeld() {
    checked = true;
    if (destroyedCount != builtCount) {
        std::fprintf(stderr, "%d steps built, %d destroyed\n", builtCount, destroyedCount);
        return false;
    }
    for (int i = 0; i < builtCount; ++i)
        if (destroyed[i] != built[builtCount - 1 - i]) {
            std::fprintf(stderr, "destroyed step %d where %d was due\n", destroyed[i],
                         built[builtCount - 1 - i]);
            return false;
        }
    return true;
}

// The library stays until exit when the loader keeps it; its destructors then run
// before this handler, which was registered before the library was loaded.
void CheckAtExit() {
    if (checked) return;
    if (!ReverseOrderHeld()) _exit(4);
    std::printf("unloaded at exit\n");
    std::fflush(stdout);
}

template <typename T>
T Symbol(void* module, const char* name) {
    void* symbol = dlsym(module, name);
    if (!symbol) {
        std::fprintf(stderr, "no %s\n", name);
        std::exit(2);
    }
    return reinterpret_cast<T>(symbol);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    std::atexit(&CheckAtExit);
    void* module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 2;
    }
    builtCount = Symbol<int (*)(int*, int)>(module, "CvqModuleStartupLog")(built, 64);
    for (int i = 0; i < builtCount; ++i)
        if (built[i] <= 0 || (i > 0 && built[i] <= built[i - 1])) {
            std::fprintf(stderr, "start-up step %d out of order\n", built[i]);
            return 3;
        }
    Symbol<void (*)(void (*)(int, bool))>(module, "CvqModuleWatchStartup")(&Observe);
    if (int failures = Symbol<int (*)()>(module, "CvqModuleExercise")()) {
        std::fprintf(stderr, "%d failures while the library was loaded\n", failures);
        return 3;
    }
    Symbol<void (*)()>(module, "CvqModuleLeaveNote")();
    if (dlclose(module) != 0) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 2;
    }
    if (destroyedCount == 0) return 0;  // kept by the loader: checked at exit
    if (!ReverseOrderHeld()) return 4;
    std::printf("unloaded at dlclose\n");
    return 0;
}
