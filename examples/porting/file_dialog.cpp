// The desktop's file dialog, and what to do where none can be shown. Run without a
// session bus and with neither zenity nor kdialog on PATH, it takes the fallback.
#include <commonvcqx/files/FileSelector.h>

#include <cstdio>

int main() {
    int opened = 0;
    bool fallback = false;
    // guide: file-dialog
    TFileSelector selector;
    selector.title = "Open take";
    selector.filter = "Takes|*.raw;*.wav|All files|*.*|";
    selector.multiSelection = 1;
    if (selector.Select()) {
        for (TFileName& name : selector.files) opened += name.IsEmpty() ? 0 : 1;  // "C:\..."
    } else if (selector.extendedError == TFileSelector::kDialogFailure) {
        fallback = true;  // no portal, zenity nor kdialog: the toolkit's own dialog
    }
    // guide: end
    std::printf("%d files chosen; %s\n", opened, fallback ? "no dialog: fallback" : "dialog shown");
    return fallback ? 0 : 1;
}
