#include "platform_traits.h"

namespace qn::test {

// Wine's WinINet followed a loop for about 16,000 requests before it gave
// up with a connection error, so the test server ends the loop itself.
const PlatformTraits& platform_traits() {
    static const PlatformTraits traits{true, 0, true};
    return traits;
}

}  // namespace qn::test
