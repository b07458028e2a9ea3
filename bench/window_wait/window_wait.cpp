// Waits on the X display for a window of the given title to be mapped and prints the wall clock
// (nanoseconds since the epoch) at that moment. Told by the display itself, it costs the
// measured program nothing, where asking again and again would cost a process a time.
//   window_wait TITLE    prints "ready" once it listens, then the time; exits 1 on a lost display

#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    auto* reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t a = reply ? reply->atom : XCB_ATOM_NONE;
    std::free(reply);
    return a;
}

std::string property(xcb_connection_t* c, xcb_window_t w, xcb_atom_t name) {
    auto* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, w, name, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr);
    std::string text;
    if (reply)
        text.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                    size_t(xcb_get_property_value_length(reply)));
    std::free(reply);
    return text;
}

bool titled(xcb_connection_t* c, xcb_window_t w, const std::string& title, xcb_atom_t netName) {
    return property(c, w, netName) == title || property(c, w, XCB_ATOM_WM_NAME) == title;
}

bool viewable(xcb_connection_t* c, xcb_window_t w) {
    auto* reply = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr);
    const bool shown = reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(reply);
    return shown;
}

long long nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: window_wait TITLE\n");
        return 2;
    }
    const std::string title = argv[1];
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t netName = atom(c, "_NET_WM_NAME");
    std::printf("ready\n");
    std::fflush(stdout);
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
        const xcb_window_t w =
            mapped ? reinterpret_cast<xcb_map_notify_event_t*>(event)->window : 0;
        const long long at = nowNs();
        std::free(event);
        if (mapped && viewable(c, w) && titled(c, w, title, netName)) {
            std::printf("%lld\n", at);
            return 0;
        }
    }
    return 1;
}
