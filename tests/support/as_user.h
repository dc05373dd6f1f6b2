#pragma once
// For the checks of permissions: while the object lives the process acts as
// an ordinary user ("nobody") when the tests run as root, whom no folder's
// permissions stop. Only the effective user changes, so it is given back.

#include <unistd.h>

namespace quillon::test {

class AsOrdinaryUser {
  public:
    AsOrdinaryUser() {
        if (::geteuid() == 0) dropped_ = ::seteuid(kNobody) == 0;
    }
    ~AsOrdinaryUser() {
        if (dropped_) (void)::seteuid(0);
    }
    AsOrdinaryUser(const AsOrdinaryUser&) = delete;
    AsOrdinaryUser& operator=(const AsOrdinaryUser&) = delete;

  private:
    static constexpr uid_t kNobody = 65534;
    bool dropped_ = false;
};

}  // namespace quillon::test
