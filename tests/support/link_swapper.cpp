// SPDX-License-Identifier: MIT
// An attacker for the tests, run as another user: watches a folder and, the moment a
// hidden temporary file there sees one of the chosen events, moves it aside (adding
// ".taken") and puts a link to the victim under its name. Prints "ready" once watching
// and one line per swap; ends when its standard input closes.
//
// Usage: link_swapper FOLDER VICTIM EVENT...   (EVENT: create open access modify close)
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

uint32_t MaskOf(const char* event) {
    const std::string name = event;
    if (name == "create")
        return IN_CREATE;
    if (name == "open")
        return IN_OPEN;
    if (name == "access")
        return IN_ACCESS;
    if (name == "modify")
        return IN_MODIFY;
    if (name == "close")
        return IN_CLOSE;
    return 0;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Swaps a regular file for the link; a name already swapped (now the link) stays.
void Swap(const std::string& folder, const std::string& name, const char* victim) {
    const std::string path = folder + "/" + name;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return;
    }
    if (::rename(path.c_str(), (path + ".taken").c_str()) == 0 &&
        ::symlink(victim, path.c_str()) == 0) {
        std::printf("swapped %s\n", name.c_str());
        std::fflush(stdout);
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: link_swapper FOLDER VICTIM EVENT...\n");
        return 2;
    }
    const std::string folder = argv[1];
    uint32_t mask = 0;
    for (int i = 3; i < argc; ++i) {
        mask |= MaskOf(argv[i]);
    }
    const int watcher = ::inotify_init1(IN_CLOEXEC);
    if (watcher < 0 || mask == 0 || ::inotify_add_watch(watcher, folder.c_str(), mask) < 0) {
        std::perror("link_swapper");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    alignas(inotify_event) char buffer[64 * 1024];
    pollfd waits[2] = {{STDIN_FILENO, POLLIN, 0}, {watcher, POLLIN, 0}};
    for (;;) {
        if (::poll(waits, 2, -1) < 0) {
            continue;
        }
        if (waits[0].revents != 0) {
            char ignored[256];
            if (::read(STDIN_FILENO, ignored, sizeof ignored) <= 0) {
                return 0;
            }
        }
        if ((waits[1].revents & POLLIN) == 0) {
            continue;
        }
        const ssize_t length = ::read(watcher, buffer, sizeof buffer);
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            const std::string name = event->len > 0 ? event->name : "";
            if (name.rfind(".velloran-", 0) == 0 && !EndsWith(name, ".taken")) {
                Swap(folder, name, argv[2]);
            }
        }
    }
}
