#include "app/viewer/view_options.h"

#include <string_view>

namespace quillon::app {

std::optional<ViewOptions> TakeViewOptions(int argc, char** argv) {
    ViewOptions o;
    bool asked = false;
    std::string other;
    // Takes argv[i] (and its value) when it is `name`; false when it is not.
    auto take = [&](int& i, std::string_view name, std::string& into) {
        const std::string_view a = argv[i];
        if (a == name) {
            asked = true;
            if (i + 1 >= argc) {
                o.error = std::string(name) + " needs a file";
                return true;
            }
            into = argv[++i];
            return true;
        }
        if (a.size() > name.size() && a.substr(0, name.size()) == name && a[name.size()] == '=') {
            asked = true;
            into = std::string(a.substr(name.size() + 1));
            return true;
        }
        return false;
    };
    for (int i = 1; i < argc && o.error.empty(); ++i) {
        if (take(i, "--view", o.path) || take(i, "--compare", o.compare)) continue;
        if (other.empty()) other = argv[i];
    }
    if (!asked) return std::nullopt;
    if (!o.error.empty()) return o;
    if (o.path.empty())
        o.error = "--compare needs --view FILE";
    else if (!other.empty())
        o.error = "--view takes no other argument than --compare: " + other;
    return o;
}

}  // namespace quillon::app
