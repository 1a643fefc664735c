// Quennick on Linux: lists the forum board's threads and opens one in the
// browser.
#include "app/gtk/startup.h"

int main() { return qn::gtk::run_program(); }
