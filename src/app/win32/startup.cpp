#include "app/win32/startup.h"

#include <ole2.h>

#include <string>

#include "app/open_thread.h"
#include "app/thread_list.h"
#include "app/win32/ui_win32.h"
#include "text/fatal.h"

namespace qn {

namespace {

// OLE for the user-interface thread, from start-up to the exit step.
class OleSession {
public:
    OleSession() : result_(OleInitialize(nullptr)) {}
    ~OleSession() {
        if (SUCCEEDED(result_)) {
            OleUninitialize();
        }
    }
    OleSession(const OleSession&) = delete;
    OleSession& operator=(const OleSession&) = delete;

private:
    HRESULT result_;
};

// The module file name up to its last backslash becomes the working directory.
void enter_program_folder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return;
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.assign(path.size() * 2, L'\0');  // the name was cut: read it again
    }
    const size_t backslash = path.rfind(L'\\');
    if (backslash == std::wstring::npos) {
        return;
    }
    path.resize(backslash);
    SetCurrentDirectoryW(path.c_str());
}

int run_message_loop() {
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

}  // namespace

int run_quennick(HINSTANCE instance, const MainWindowFactory& make_window) {
    const OleSession ole;
    enter_program_folder();

    const std::unique_ptr<MainWindow> window = make_window(instance);
    if (!window) {
        fatal_error(START_WINDOW_FAILED);
    }
    Win32Ui ui(*window);
    window->set_events({
        .list_right_click = [&ui] { show_row_menu(ui); },
        .menu_command =
            [&ui](UINT command) {
                if (command == ID_MENU_OPEN) {
                    open_selected_thread(ui);
                }
            },
    });

    // The created event: the list is loaded while the window is still hidden.
    load_thread_list(ui);
    if (window->exists()) {
        ShowWindow(window->hwnd(), SW_SHOW);
    }
    return run_message_loop();
}

}  // namespace qn
