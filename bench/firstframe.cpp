// Starts a program on the X display and times, from outside, its first frame: the first
// drawing into a mapped top-level window that leaves it showing more than one colour (the
// server painting a plain background does not count). Then, 5 s after the start (or
// --rss-after-ms), reads the program's resident set size and ends it.
//
//   firstframe [--rss-after-ms N] [--timeout-ms N] -- program [args...]
// Prints one line: "startup_ms=<ms> rss_kib=<KiB> anon_kib=<KiB>" (anon: the part of the
// resident set that is not file pages such as shared libraries and fonts).
#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

[[nodiscard]] double nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

[[noreturn]] void die(const std::string &what)
{
    std::fprintf(stderr, "firstframe: %s\n", what.c_str());
    std::exit(2);
}

// One "Name: value kB" field of /proc/<pid>/status.
[[nodiscard]] long statusKiB(pid_t pid, const std::string &field)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    while (status >> key) {
        if (key == field) {
            long kib = 0;
            status >> kib;
            return kib;
        }
        status.ignore(4096, '\n');
    }
    return -1;
}

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

// True when the window's pixels are not all one value: something was really drawn.
[[nodiscard]] bool showsContent(xcb_connection_t *c, xcb_window_t window)
{
    Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr), &std::free);
    if (!geometry)
        return false;
    Reply<xcb_get_image_reply_t> image(
        xcb_get_image_reply(c,
                            xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0, geometry->width,
                                          geometry->height, ~0u),
                            nullptr),
        &std::free);
    if (!image)
        return false;
    const int length = xcb_get_image_data_length(image.get());
    const uint8_t *data = xcb_get_image_data(image.get());
    const int pixelBytes = image->depth > 16 ? 4 : image->depth > 8 ? 2 : 1;
    for (int i = pixelBytes; i + pixelBytes <= length; i += pixelBytes) {
        if (std::memcmp(data, data + i, size_t(pixelBytes)) != 0)
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    double rssAfterMs = 5000;
    double timeoutMs = 30000;
    int first = 1;
    for (; first < argc; ++first) {
        const std::string arg = argv[first];
        if (arg == "--") {
            ++first;
            break;
        }
        if (first + 1 >= argc)
            die("missing value after " + arg);
        if (arg == "--rss-after-ms")
            rssAfterMs = std::atof(argv[++first]);
        else if (arg == "--timeout-ms")
            timeoutMs = std::atof(argv[++first]);
        else
            die("unknown option " + arg);
    }
    if (first >= argc)
        die("usage: firstframe [--rss-after-ms N] [--timeout-ms N] -- program [args...]");

    int screenNumber = 0;
    xcb_connection_t *c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c))
        die("cannot connect to the X display");
    const xcb_query_extension_reply_t *damage = xcb_get_extension_data(c, &xcb_damage_id);
    if (!damage || !damage->present)
        die("the X server has no DAMAGE extension");
    std::free(xcb_damage_query_version_reply(c, xcb_damage_query_version(c, 1, 1), nullptr));
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    const xcb_window_t root = screens.data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    // A round trip, so the server applies the event mask before the program can create a window.
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));

    const double start = nowMs();
    const pid_t child = fork();
    if (child < 0)
        die("fork failed");
    if (child == 0) {
        execvp(argv[first], argv + first);
        std::fprintf(stderr, "firstframe: cannot run %s: %s\n", argv[first], std::strerror(errno));
        _exit(127);
    }

    std::set<xcb_window_t> mapped;
    double firstFrame = -1;
    const int fd = xcb_get_file_descriptor(c);
    while (firstFrame < 0) {
        xcb_generic_event_t *event = xcb_poll_for_event(c);
        if (!event) {
            if (xcb_connection_has_error(c))
                die("lost the X connection");
            const double left = start + timeoutMs - nowMs();
            int status = 0;
            if (waitpid(child, &status, WNOHANG) == child)
                die("the program ended before showing a frame");
            if (left <= 0) {
                kill(child, SIGKILL);
                die("no frame within the time-out");
            }
            pollfd waitFor{fd, POLLIN, 0};
            poll(&waitFor, 1, std::min(100, int(left) + 1));
            continue;
        }
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_CREATE_NOTIFY) {
            const auto *created = reinterpret_cast<xcb_create_notify_event_t *>(event);
            // Report on every change to the window; a window gone meanwhile only makes an error.
            if (created->parent == root && !created->override_redirect)
                xcb_damage_create(c, xcb_generate_id(c), created->window,
                                  XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
            xcb_flush(c);
        } else if (type == XCB_MAP_NOTIFY) {
            mapped.insert(reinterpret_cast<xcb_map_notify_event_t *>(event)->window);
        } else if (type == damage->first_event + XCB_DAMAGE_NOTIFY) {
            const double at = nowMs();
            const auto *notify = reinterpret_cast<xcb_damage_notify_event_t *>(event);
            xcb_damage_subtract(c, notify->damage, XCB_NONE, XCB_NONE);
            if (mapped.count(notify->drawable) && showsContent(c, notify->drawable))
                firstFrame = at;
        }
        std::free(event);
    }

    const double rssAt = start + rssAfterMs;
    while (nowMs() < rssAt)
        usleep(useconds_t(std::min(100.0, rssAt - nowMs()) * 1000));
    const long rss = statusKiB(child, "VmRSS:");
    const long anonymous = statusKiB(child, "RssAnon:");
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    xcb_disconnect(c);
    std::printf("startup_ms=%.2f rss_kib=%ld anon_kib=%ld\n", firstFrame - start, rss, anonymous);
    return rss < 0 ? 2 : 0;
}
