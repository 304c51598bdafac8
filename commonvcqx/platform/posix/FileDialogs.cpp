#include <commonvcqx/platform/Messages.h>
#include <commonvcqx/platform/internal/FileDialogs.h>

#include <atomic>
#include <cerrno>

#include <poll.h>

namespace cvq::platform {

namespace {

// The portal where the session bus offers it, else a dialog program.
class TDefaultChain : public AFileDialog {
public:
    TDefaultChain() {
        if (auto portal = CreatePortalFileDialog()) m_dialogs.push_back(std::move(portal));
        m_dialogs.push_back(CreateSubprocessFileDialog());
    }
    TFileDialogAnswer Run(const TFileDialogRequest& request,
                          const std::function<void()>& serveQueue) override {
        for (const std::unique_ptr<AFileDialog>& dialog : m_dialogs) {
            TFileDialogAnswer answer = dialog->Run(request, serveQueue);
            if (answer.outcome != EDialogOutcome::kUnavailable) return answer;
        }
        return {};
    }

private:
    std::vector<std::unique_ptr<AFileDialog>> m_dialogs;
};

std::atomic<AFileDialog*> g_dialog{nullptr};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view start) {
    if (text.size() < start.size()) return false;
    for (size_t i = 0; i < start.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        if (c != start[i]) return false;
    }
    return true;
}

}  // namespace

#if !CVQ_HAVE_DBUS
std::unique_ptr<AFileDialog> CreatePortalFileDialog() {
    return nullptr;
}
#endif

AFileDialog& GetFileDialog() {
    if (AFileDialog* set = g_dialog.load(std::memory_order_acquire)) return *set;
    static TDefaultChain chain;
    return chain;
}

void SetFileDialog(AFileDialog* dialog) {
    g_dialog.store(dialog, std::memory_order_release);
}

bool WaitServingQueue(int fd, const std::function<void()>& serveQueue) {
    const int queueFd = GetMessageQueueFileDescriptor();
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {queueFd, POLLIN, 0}};
        const int ready = poll(fds, queueFd >= 0 ? 2 : 1, -1);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (queueFd >= 0 && (fds[1].revents & POLLIN)) serveQueue();
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) return true;
        if (fds[0].revents & POLLNVAL) return false;
    }
}

bool DecodeFileUri(std::string_view uri, std::string& path) {
    if (!StartsWithIgnoringCase(uri, "file://")) return false;
    uri.remove_prefix(7);
    const size_t slash = uri.find('/');
    if (slash == std::string_view::npos) return false;
    const std::string_view host = uri.substr(0, slash);
    if (!host.empty() && !(host.size() == 9 && StartsWithIgnoringCase(host, "localhost")))
        return false;
    uri.remove_prefix(slash);
    std::string decoded;
    decoded.reserve(uri.size());
    for (size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] == '\0') return false;
        if (uri[i] != '%') {
            decoded += uri[i];
            continue;
        }
        if (i + 2 >= uri.size()) return false;
        const int high = HexDigit(uri[i + 1]);
        const int low = HexDigit(uri[i + 2]);
        if (high < 0 || low < 0 || (high == 0 && low == 0)) return false;
        decoded += char(high * 16 + low);
        i += 2;
    }
    path = std::move(decoded);
    return true;
}

std::vector<std::string> SplitDialogOutput(std::string_view output, std::string_view separator) {
    if (!output.empty() && output.back() == '\n') output.remove_suffix(1);
    std::vector<std::string> names;
    if (output.empty() || separator.empty()) return names;
    for (;;) {
        const size_t cut = output.find(separator);
        names.emplace_back(output.substr(0, cut));
        if (cut == std::string_view::npos) return names;
        output.remove_prefix(cut + separator.size());
    }
}

}  // namespace cvq::platform
