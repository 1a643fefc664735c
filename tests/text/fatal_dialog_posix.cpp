#include "fatal_dialog.h"

namespace qn::test {

void dismiss_fatal_dialog_when_shown() {}

}  // namespace qn::test
