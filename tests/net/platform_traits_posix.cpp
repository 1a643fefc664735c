#include "platform_traits.h"

namespace qn::test {

const PlatformTraits& platform_traits() {
    static const PlatformTraits traits{false, 20, false};
    return traits;
}

}  // namespace qn::test
