#include "app/viewer/view_options.h"

#include <string_view>

namespace quillon::app {

std::optional<ViewOptions> TakeViewOptions(int argc, char** argv) {
    ViewOptions o;
    bool asked = false;
    std::string other;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        for (const std::string_view name : {std::string_view("--view"), std::string_view("--compare")}) {
            std::string* into = name == "--view" ? &o.path : &o.compare;
            if (a == name) {
                asked = true;
                if (i + 1 >= argc) {
                    o.error = std::string(name) + " needs a file";
                    return o;
                }
                *into = argv[++i];
                goto next;
            }
            if (a.size() > name.size() && a.substr(0, name.size() + 1) == std::string(name) + "=") {
                asked = true;
                *into = std::string(a.substr(name.size() + 1));
                goto next;
            }
        }
        if (other.empty()) other = a;
    next:;
    }
    if (!asked) return std::nullopt;
    if (o.path.empty())
        o.error = "--compare needs --view FILE";
    else if (!other.empty())
        o.error = "--view takes no other argument than --compare: " + other;
    return o;
}

}  // namespace quillon::app
